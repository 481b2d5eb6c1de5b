#include "imageio/HeifBrand.h"

#include <QtGlobal>
#include <algorithm>
#include <array>

namespace {

// Brands of still HEIF pictures (and of sequences, whose primary picture is read).
constexpr std::array<const char*, 14> kHeifBrands{"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm",
                                                  "hevs", "mif1", "mif2", "msf1", "miaf", "avif", "avis"};

bool isHeifBrand(QByteArrayView brand)
{
    for (const char* b : kHeifBrands)
        if (brand == QByteArrayView(b, 4))
            return true;
    return false;
}

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return (quint32(quint8(bytes[at])) << 24) | (quint32(quint8(bytes[at + 1])) << 16) |
           (quint32(quint8(bytes[at + 2])) << 8) | quint32(quint8(bytes[at + 3]));
}

}  // namespace

bool HeifBrand::isHeifFile(QByteArrayView head)
{
    // A box: its size (big-endian, including these 8 bytes), "ftyp", the major
    // brand, a minor version, then compatible brands.
    if (head.size() < 16 || head.sliced(4, 4) != QByteArrayView("ftyp"))
        return false;
    const qsizetype boxSize = qsizetype(bigEndian32(head, 0));
    if (boxSize < 16)
        return false;
    const qsizetype end = std::min(boxSize, head.size());
    if (isHeifBrand(head.sliced(8, 4)))
        return true;
    for (qsizetype at = 16; at + 4 <= end; at += 4)
        if (isHeifBrand(head.sliced(at, 4)))
            return true;
    return false;
}
