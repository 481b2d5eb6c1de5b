// The EXIF orientation of a WebP behind chunks of odd length: RIFF pads every
// chunk's data to an even length, and the pad byte is not counted in its length.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>
#include <vector>

#include "imageio/ExifOrientation.h"
#include "imageio/ImageFile.h"

namespace {

QByteArray le32(quint32 v)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(v, bytes.data());
    return bytes;
}

QByteArray chunk(const char* name, const QByteArray& data)
{
    QByteArray bytes = QByteArray(name, 4) + le32(quint32(data.size())) + data;
    if (data.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray riff(const QByteArray& chunks) { return "RIFF" + le32(quint32(4 + chunks.size())) + "WEBP" + chunks; }

// A TIFF block whose first IFD holds one entry, the orientation, and `extra` bytes
// after it.
QByteArray exifBlock(int orientation, bool bigEndian, bool prefixed, int extra)
{
    const auto u16 = [&](int v) {
        QByteArray b(2, '\0');
        bigEndian ? qToBigEndian(quint16(v), b.data()) : qToLittleEndian(quint16(v), b.data());
        return b;
    };
    const auto u32 = [&](quint32 v) {
        QByteArray b(4, '\0');
        bigEndian ? qToBigEndian(v, b.data()) : qToLittleEndian(v, b.data());
        return b;
    };
    QByteArray tiff = bigEndian ? QByteArray("MM\0\x2a", 4) : QByteArray("II\x2a\0", 4);
    tiff += u32(8) + u16(1) + u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0) + u32(0);
    tiff += QByteArray(extra, '\x55');
    return (prefixed ? QByteArray("Exif\0\0", 6) : QByteArray()) + tiff;
}

QImageIOHandler::Transformations orientationOf(const QByteArray& file)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    return ExifOrientation::ofPngOrWebp(buffer);
}

}  // namespace

TEST(WebpExif, OrientationIsFoundBehindChunksOfOddAndEvenLength)
{
    struct Case {
        std::vector<int> before;  // lengths of the chunks before the EXIF chunk
        int orientation;
        bool bigEndian;
        int extra;  // bytes after the IFD: an odd EXIF chunk when odd
        QImageIOHandler::Transformations want;
    };
    const Case cases[] = {
        {{1}, 6, false, 0, QImageIOHandler::TransformationRotate90},
        {{3, 5}, 8, true, 0, QImageIOHandler::TransformationRotate270},
        {{10, 7}, 3, false, 1, QImageIOHandler::TransformationRotate180},
        {{0, 13, 2, 1}, 2, true, 3, QImageIOHandler::TransformationMirror},
        {{2, 4}, 6, false, 0, QImageIOHandler::TransformationRotate90},
        {{255}, 5, false, 0, QImageIOHandler::TransformationFlipAndRotate90},
    };
    for (const Case& c : cases) {
        for (const bool prefixed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "first chunk " << c.before.front() << " of " << c.before.size()
                                            << " exif " << c.orientation << (prefixed ? " with Exif prefix" : ""));
            QByteArray chunks;
            for (std::size_t i = 0; i < c.before.size(); ++i)
                // Filler that a reader off by a pad byte takes for a huge length.
                chunks += chunk(i % 2 ? "ICCP" : "VP8L", QByteArray(c.before[i], 'E'));
            chunks += chunk("EXIF", exifBlock(c.orientation, c.bigEndian, prefixed, c.extra));
            chunks += chunk("XMP ", QByteArray(3, 'x'));
            EXPECT_EQ(orientationOf(riff(chunks)), c.want);
        }
    }
}

TEST(WebpExif, AReadWebpGetsTheOrientationOfItsExifChunkAfterTheOddImageData)
{
    // A lossless WebP made by Qt, its image data put in the extended layout
    // with an EXIF chunk after it, as cameras and editors write them.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    if (!QImageWriter::supportedImageFormats().contains("webp"))
        GTEST_SKIP() << "no WebP writer";
    QByteArray image;
    int width = 0;
    for (int w = 5; w < 40 && image.isEmpty(); ++w) {
        QImage picture(w, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x)
                picture.setPixel(x, y, qRgb(x * 37 % 256, y * 90, (x * y * 11) % 256));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "webp");
        writer.setQuality(100);
        ASSERT_TRUE(writer.write(picture));
        const QByteArray bytes = buffer.data();
        ASSERT_GT(bytes.size(), 20);
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + 16);
        if (length % 2 == 1) {  // the image chunk with its pad byte
            image = bytes.mid(12, 8 + qsizetype(length) + 1);
            width = w;
        }
    }
    ASSERT_FALSE(image.isEmpty()) << "no picture gave image data of odd length";

    QByteArray vp8x(10, '\0');
    vp8x[0] = 0x08;  // EXIF present
    vp8x[4] = char(width - 1);
    vp8x[7] = char(3 - 1);
    const QByteArray file = riff(chunk("VP8X", vp8x) + image + chunk("EXIF", exifBlock(6, false, false, 0)));
    const QString path = dir.filePath(QStringLiteral("turned.webp"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();

    const ImageFileResult read = ImageFile::read(path);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_EQ(read.image.bitmap.size(), QSize(width, 3));
    EXPECT_EQ(read.image.orientation, ImageOrientationRight);
}
