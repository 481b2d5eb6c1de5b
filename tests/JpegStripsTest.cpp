// A JPEG decoded a few rows at a time against the whole decode, byte for byte.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "imageio/ImageFile.h"
#include "imageio/JpegStrips.h"
#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

// The whole decode as the full-size drawing takes it: sRGB, RGBA premultiplied.
QImage wholeDecode(const QString& path, int* orientation)
{
    ImageFileResult result = ImageFile::read(path, [](QSize stored) { return stored; });
    QImage image = std::move(result.image.bitmap);
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace::SRgb)
        image.convertToColorSpace(QColorSpace::SRgb);
    image.convertTo(QImage::Format_RGBA8888_Premultiplied);
    *orientation = result.image.orientation;
    return image;
}

QByteArray written(const QImage& picture, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.write(picture);
    return bytes;
}

}  // namespace

TEST(JpegStrips, RowsInStripsAreTheWholeDecodesByteForByte)
{
    QTemporaryDir dir;
    struct Case {
        int width, height;
        bool grey;
        int exifOrientation;
        int strip;  // rows read at a time
    } cases[] = {
        {1, 1, false, 1, 1},       {17, 9, false, 1, 4},    {333, 250, false, 1, 16},
        {640, 481, false, 2, 100}, {1001, 7, false, 1, 3},  {250, 333, false, 6, 33},
        {401, 300, false, 3, 300}, {129, 130, true, 1, 17}, {300, 200, true, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << (c.grey ? " grey" : "") << " exif "
                                        << c.exifOrientation << " strips of " << c.strip);
        QImage picture = photoLikePicture(c.width, c.height);
        if (c.grey)
            picture.convertTo(QImage::Format_Grayscale8);
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        ASSERT_TRUE(writeFile(path, withExifOrientation(written(picture, false), c.exifOrientation)));
        int orientation = -1;
        const QImage whole = wholeDecode(path, &orientation);
        ASSERT_FALSE(whole.isNull());

        JpegStrips strips;
        ASSERT_TRUE(strips.open(path));
        EXPECT_EQ(strips.size(), whole.size());
        EXPECT_EQ(strips.orientation(), orientation);
        const std::size_t stride = std::size_t(c.width) * 4;
        std::vector<std::uint8_t> rows(stride * std::size_t(c.height), 0);
        for (int y = 0; y < c.height; y += c.strip)
            ASSERT_TRUE(strips.read(rows.data() + stride * std::size_t(y), std::ptrdiff_t(stride),
                                    std::min(c.strip, c.height - y)));
        std::uint8_t spare[4];
        EXPECT_FALSE(strips.read(spare, 4, 1));  // past the last row
        for (int y = 0; y < c.height; ++y)
            ASSERT_EQ(std::memcmp(rows.data() + stride * std::size_t(y), whole.constScanLine(y), stride), 0)
                << "row " << y;
    }
}

TEST(JpegStrips, LeavesToTheWholeDecodeWhatItCannotGiveInStrips)
{
    QTemporaryDir dir;
    const QImage picture = photoLikePicture(160, 120);
    QImage p3 = picture;
    p3.setColorSpace(QColorSpace::DisplayP3);
    QImage sRgb = picture;
    sRgb.setColorSpace(QColorSpace::SRgb);
    const QByteArray plain = written(picture, false);
    struct Case {
        const char* name;
        QByteArray bytes;
        bool taken;
    } cases[] = {
        {"plain.jpg", plain, true},
        {"srgb.jpg", written(sRgb, false), true},                  // the profile changes nothing
        {"p3.jpg", written(p3, false), false},                     // converted by the whole decode
        {"progressive.jpg", written(picture, true), false},        // would be held whole by libjpeg
        {"short.jpg", plain.left(plain.size() - 300), false},      // the whole decode says it stops short
        {"empty.jpg", QByteArray(), false},
        {"png.jpg", [&] {
             QByteArray png;
             QBuffer buffer(&png);
             buffer.open(QIODevice::WriteOnly);
             picture.save(&buffer, "PNG");
             return png;
         }(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(writeFile(path, c.bytes));
        JpegStrips strips;
        EXPECT_EQ(strips.open(path), c.taken);
        EXPECT_EQ(strips.size().isValid(), c.taken);
    }
    JpegStrips strips;
    EXPECT_FALSE(strips.open(dir.filePath(QStringLiteral("missing.jpg"))));
    std::uint8_t spare[4];
    EXPECT_FALSE(strips.read(spare, 4, 1));
}
