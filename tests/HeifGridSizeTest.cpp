// A HEIF grid whose header declares a picture beyond what is read: refused for
// its size, on one line that says so, whatever stale words the HEIF reader's
// error carries.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include "imageio/HeifModule.h"
#include "imageio/ImageFile.h"
#include "support/ImportTestFiles.h"

namespace {

QByteArray be16(int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xff); }
QByteArray be32(quint32 v) { return be16(int(v >> 16)) + be16(int(v & 0xffff)); }

QByteArray box(const char* type, const QByteArray& body) { return be32(quint32(8 + body.size())) + type + body; }
QByteArray fullBox(const char* type, int version, const QByteArray& body)
{
    return box(type, QByteArray(1, char(version)) + QByteArray(3, '\0') + body);
}

QByteArray infe(int id, const char* itemType)
{
    return fullBox("infe", 2, be16(id) + be16(0) + itemType + QByteArray(1, '\0'));
}

// A HEIF file of one grid (item 1, one tile) of `side` x `side` pixels, its tile
// (item 2) a 16 x 16 HEVC picture of a few bytes that are no picture: nothing
// in it is decoded before its size is judged.
QByteArray gridFile(int side)
{
    // HEVC configuration: main profile, 8-bit 4:2:0, 4-byte lengths, no units.
    const QByteArray hvcC =
        box("hvcC", QByteArray::fromHex("01" "01" "60000000" "900000000000" "5a" "f000" "fc" "fd" "f8" "f8" "0000"
                                        "0f" "00"));
    const QByteArray ipco = box("ipco", hvcC + fullBox("ispe", 0, be32(quint32(side)) + be32(quint32(side))) +
                                            fullBox("ispe", 0, be32(16) + be32(16)));
    // Item 1 has property 2 (its extents); item 2 has 1 (essential) and 3.
    const QByteArray ipma =
        fullBox("ipma", 0, be32(2) + be16(1) + char(1) + char(0x02) + be16(2) + char(2) + char(0x81) + char(0x03));
    const QByteArray grid = QByteArray(2, '\0') + QByteArray(2, '\0') + be16(side) + be16(side);
    const QByteArray tile = be32(4) + QByteArray::fromHex("26010af0");

    const QByteArray ftyp = box("ftyp", QByteArray("heic") + be32(0) + "mif1heic");
    const auto meta = [&](quint32 dataAt) {
        const QByteArray iloc = fullBox("iloc", 0, QByteArray::fromHex("4400") + be16(2) + be16(1) + be16(0) + be16(1) +
                                                       be32(dataAt) + be32(quint32(grid.size())) + be16(2) + be16(0) +
                                                       be16(1) + be32(dataAt + quint32(grid.size())) +
                                                       be32(quint32(tile.size())));
        return fullBox("meta", 0,
                       fullBox("hdlr", 0, be32(0) + "pict" + QByteArray(13, '\0')) + fullBox("pitm", 0, be16(1)) +
                           iloc + fullBox("iinf", 0, be16(2) + infe(1, "grid") + infe(2, "hvc1")) +
                           fullBox("iref", 0, box("dimg", be16(1) + be16(1) + be16(2))) + box("iprp", ipco + ipma));
    };
    const quint32 dataAt = quint32(ftyp.size() + meta(0).size() + 8);
    return ftyp + meta(dataAt) + box("mdat", grid + tile);
}

}  // namespace

TEST(HeifGridSize, AGridDeclaringMoreThanIsReadIsRefusedForItsSizeOnOneLine)
{
    if (!HeifModule::installed())
        GTEST_SKIP() << "no HEIF module";
    QTemporaryDir dir;
    struct Case {
        int side;
        QString error;
    };
    const Case cases[] = {
        {65535, "picture too large: more than the HEIF reader takes (at most 32768 pixels a side)"},
        {40000, "picture too large: more than the HEIF reader takes (at most 32768 pixels a side)"},
        // Within the HEIF reader's limits: the grid's own size is judged.
        {20000, "picture too large: 20000 x 20000 pixels (at most 100 megapixels and 32768 pixels a side)"},
        {16, "cannot be decoded: the file is damaged or incomplete"},  // the tile is no picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        const QString path = dir.filePath(QStringLiteral("grid-%1.heic").arg(c.side));
        ASSERT_TRUE(ImportTestFiles::writeFile(path, gridFile(c.side)));
        EXPECT_EQ(ImageFile::read(path).error.toStdString(), c.error.toStdString());
    }
}
