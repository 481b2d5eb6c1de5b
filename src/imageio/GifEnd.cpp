#include "imageio/GifEnd.h"

#include <QByteArray>

namespace {

constexpr unsigned char kExtension = 0x21;
constexpr unsigned char kImage = 0x2C;
constexpr unsigned char kHasColourTable = 0x80;

// The colour table a packed field announces, in bytes.
qint64 colourTableBytes(unsigned char packed)
{
    return (packed & kHasColourTable) ? 3 * (qint64(2) << (packed & 7)) : 0;
}

bool skip(QIODevice& device, qint64 bytes)
{
    const qint64 to = device.pos() + bytes;
    return to <= device.size() && device.seek(to);
}

// Skips sub-blocks (a length byte, then that many bytes) up to the empty one.
bool skipSubBlocks(QIODevice& device)
{
    for (;;) {
        char length = 0;
        if (!device.getChar(&length))
            return false;
        if (length == 0)
            return true;
        if (!skip(device, static_cast<unsigned char>(length)))
            return false;
    }
}

}  // namespace

bool gifHoldsFirstPicture(QIODevice& device)
{
    if (!device.seek(0))
        return true;
    const QByteArray header = device.read(13);
    if (header.size() < 6 || !(header.startsWith("GIF87a") || header.startsWith("GIF89a")))
        return true;
    if (header.size() < 13 || !skip(device, colourTableBytes(static_cast<unsigned char>(header[10]))))
        return false;
    for (;;) {
        char c = 0;
        if (!device.getChar(&c))
            return false;
        const auto block = static_cast<unsigned char>(c);
        if (block == kExtension) {
            if (!skip(device, 1) || !skipSubBlocks(device))  // the label, then its data
                return false;
        } else if (block == kImage) {
            const QByteArray descriptor = device.read(9);
            if (descriptor.size() < 9 || !skip(device, colourTableBytes(static_cast<unsigned char>(descriptor[8]))))
                return false;
            return skip(device, 1) && skipSubBlocks(device);  // the code size, then the data
        } else {
            return true;  // a trailer before any picture, or no GIF block: not judged
        }
    }
}
