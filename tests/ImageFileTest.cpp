// Reading picture files: the EXIF orientation, refusals with a reason, and the
// shrink-on-load read of the import.
#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>

#include "canvas/ImportFile.h"
#include "canvas/UprightImage.h"
#include "platform/ImageFile.h"
#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

class ImageFileTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    QTemporaryDir dir;
};

// True when the pixel is within JPEG noise of the colour.
bool near(QRgb pixel, const QColor& colour)
{
    return std::abs(qRed(pixel) - colour.red()) < 24 && std::abs(qGreen(pixel) - colour.green()) < 24 &&
           std::abs(qBlue(pixel) - colour.blue()) < 24;
}

struct Quadrants {
    QColor topLeft, topRight, bottomLeft, bottomRight;
};

}  // namespace

TEST_F(ImageFileTest, EveryExifOrientationBecomesItsTagAndTurnsUpright)
{
    // EXIF value -> tag, and where the stored quadrants must appear once upright,
    // written from the EXIF definitions (which corner row 0 / column 0 show).
    const QColor R = kTopLeft, G = kTopRight, B = kBottomLeft, W = kBottomRight;
    struct Case {
        int exif;
        int tag;
        Quadrants upright;
    };
    const Case cases[] = {
        {1, ImageOrientationUp, {R, G, B, W}},
        {2, ImageOrientationUpMirrored, {G, R, W, B}},
        {3, ImageOrientationDown, {W, B, G, R}},
        {4, ImageOrientationDownMirrored, {B, W, R, G}},
        {5, ImageOrientationLeftMirrored, {R, B, G, W}},
        {6, ImageOrientationRight, {B, R, W, G}},
        {7, ImageOrientationRightMirrored, {W, G, B, R}},
        {8, ImageOrientationLeft, {G, W, R, B}},
    };
    const QByteArray plain = jpegBytes(quadrantPicture(64, 32));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exif);
        const QString path = write(QStringLiteral("exif%1.jpg").arg(c.exif), withExifOrientation(plain, c.exif));
        const ImageFileResult read = ImageFile::read(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.image.orientation, c.tag);
        EXPECT_EQ(read.image.bitmap.size(), QSize(64, 32));  // pixels as stored

        const QImage upright = uprightImage(read.image).bitmap;
        const bool swapped = c.exif >= 5;
        ASSERT_EQ(upright.size(), swapped ? QSize(32, 64) : QSize(64, 32));
        const int w = upright.width();
        const int h = upright.height();
        EXPECT_TRUE(near(upright.pixel(w / 4, h / 4), c.upright.topLeft));
        EXPECT_TRUE(near(upright.pixel(3 * w / 4, h / 4), c.upright.topRight));
        EXPECT_TRUE(near(upright.pixel(w / 4, 3 * h / 4), c.upright.bottomLeft));
        EXPECT_TRUE(near(upright.pixel(3 * w / 4, 3 * h / 4), c.upright.bottomRight));

        // Pixel for pixel what Qt's own EXIF handling shows.
        QImageReader turning(path);
        turning.setAutoTransform(true);
        EXPECT_EQ(upright, turning.read().convertToFormat(QImage::Format_RGBA8888_Premultiplied));
    }
}

TEST_F(ImageFileTest, FilesThatAreNoPictureGiveAReason)
{
    const ImageFileResult missing = ImageFile::read(dir.filePath("nothing-here.jpg"));
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error, "file not found");

    const ImageFileResult text = ImageFile::read(write("notes.jpg", "just some words, no picture\n"));
    EXPECT_FALSE(text.ok());
    EXPECT_TRUE(text.error.contains("not a picture")) << text.error.toStdString();

    const ImageFileResult folder = ImageFile::read(dir.path());
    EXPECT_FALSE(folder.ok());
    EXPECT_FALSE(folder.error.isEmpty());

    const ImageFileResult cut = ImageFile::read(write("cut.jpg", jpegBytes(quadrantPicture(64, 32)).left(120)));
    EXPECT_FALSE(cut.ok());
    EXPECT_FALSE(cut.error.isEmpty());

    // The import read says the same.
    EXPECT_EQ(readImportFile(dir.filePath("nothing-here.jpg")).error, "file not found");
}

TEST_F(ImageFileTest, HugePicturesAreRefusedFromTheirHeader)
{
    const QByteArray small = jpegBytes(quadrantPicture(16, 16));
    struct Case {
        QString name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"huge.jpg", withJpegFrameSize(small, 60000, 60000)},
        {"tall.jpg", withJpegFrameSize(small, 8, 40000)},        // few pixels, but a side above 32768
        {"wide.jpg", withJpegFrameSize(small, 20000, 6000)},      // 120 megapixels
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ASSERT_FALSE(c.bytes.isEmpty());
        const QString path = write(c.name, c.bytes);
        // The files hold the data of a 16 x 16 picture: a decode would fail, or give
        // a mostly grey picture, never this answer.
        for (const ImageFileResult& r : {ImageFile::read(path), readImportFile(path)}) {
            EXPECT_FALSE(r.ok());
            EXPECT_TRUE(r.error.startsWith("picture too large")) << r.error.toStdString();
        }
    }
}

TEST_F(ImageFileTest, ImportReadShrinksOnLoadLikeAFullDecodeAndScale)
{
    const QImage photo = photoLikePicture(2400, 1800);
    const QString path = write("photo.jpg", withExifOrientation(jpegBytes(photo, 92), 6));

    const ImageFileResult fast = readImportFile(path);
    ASSERT_TRUE(fast.ok()) << fast.error.toStdString();
    EXPECT_EQ(fast.image.orientation, ImageOrientationRight);
    EXPECT_EQ(fast.image.bitmap.size(), QSize(1024, 768));  // stored axes, already at import size

    const ImageFileResult full = ImageFile::read(path);
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full.image.bitmap.size(), QSize(2400, 1800));

    const QImage a = uprightImage(fast.image).bitmap;
    const QImage b = uprightImage(full.image).bitmap;
    ASSERT_EQ(a.size(), QSize(768, 1024));
    ASSERT_EQ(b.size(), a.size());
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pb = b.constScanLine(y);
        for (int i = 0; i < a.width() * 4; ++i) {
            const int d = std::abs(int(pa[i]) - int(pb[i]));
            sum += d;
            worst = std::max(worst, d);
        }
    }
    const double mean = sum / (double(a.width()) * a.height() * 4);
    EXPECT_LT(mean, 0.5);
    EXPECT_LT(worst, 48);

    // A format that cannot shrink while decoding still arrives at the import size.
    const QString png = write("photo.png", QByteArray());
    ASSERT_TRUE(photo.save(png, "PNG"));
    const ImageFileResult scaled = readImportFile(png);
    ASSERT_TRUE(scaled.ok());
    EXPECT_EQ(scaled.image.bitmap.size(), QSize(1024, 768));
    EXPECT_EQ(scaled.image.orientation, ImageOrientationUp);

    // A picture within the limit is read untouched.
    const QString smallPath = write("small.jpg", jpegBytes(quadrantPicture(300, 200)));
    EXPECT_EQ(readImportFile(smallPath).image.bitmap, ImageFile::read(smallPath).image.bitmap);
}
