// Reading picture files: the EXIF orientation, refusals with a reason (hostile
// files too), the shrink-on-load read of the import and of thumbnails.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>

#include "project/ImportFile.h"
#include "project/UprightImage.h"
#include "imageio/ImageFile.h"
#include "support/ImportTestFiles.h"
#include "support/NonBlockingRead.h"

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

TEST_F(ImageFileTest, HostileFilesAreRefusedWithTheirReasonWithoutBlocking)
{
    const QString fifo = dir.filePath("photo.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray png;
    {
        QBuffer buffer(&png);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && photoLikePicture(300, 200).save(&buffer, "PNG"));
    }
    const QSize box(80, 80);
    enum Reader { Plain, Import, Thumbnail };
    struct Case {
        const char* what;
        QString path;
        Reader reader;
        const char* reason;  // how the reason starts
    };
    const Case cases[] = {
        {"FIFO as a photo", fifo, Import, "not a regular file"},
        {"FIFO as a thumbnail", fifo, Thumbnail, "not a regular file"},
        {"directory", dir.path(), Plain, "is a directory"},
        {"GIF with no rows", write("flat.gif", gifWithSize(12, 0)), Import, "the picture has no pixels"},
        // 64 megapixels pass the pixel cap, but at 8 bytes a pixel take 512 MB.
        {"16-bit PNG", write("deep.png", pngHeaderOnly(8000, 8000, 16, 6)), Plain, "picture too large: 8000 x 8000 pixels at 8 bytes"},
        // 81 MB of grey, but shrinking it needs a 324 MB colour copy first.
        {"grey PNG shrunk", write("grey.png", pngHeaderOnly(9000, 9000, 8, 0)), Import, "picture too large"},
        {"wide thumbnail", write("wide.png", pngHeaderOnly(5000, 100, 8, 2)), Thumbnail, "picture too large"},
        {"16-bit thumbnail", write("deep-thumb.png", pngHeaderOnly(1000, 1000, 16, 6)), Thumbnail, "picture too large"},
        {"cut PNG", write("cut.png", png.left(png.size() / 2)), Plain, "cannot be decoded: the file is damaged"},
        {"empty file", write("empty.jpg", QByteArray()), Plain, "not a picture file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ImageFileResult r = readWithoutHanging(fifo, [&] {
            switch (c.reader) {
            case Plain: return ImageFile::read(c.path);
            case Import: return readImportFile(c.path);
            case Thumbnail: return ImageFile::readThumbnail(c.path, box);
            }
            return ImageFileResult{};
        });
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.error.startsWith(c.reason)) << r.error.toStdString();
    }
}

TEST_F(ImageFileTest, AJpegThatStopsShortIsReadWithAWarning)
{
    const QByteArray jpeg = jpegBytes(photoLikePicture(200, 150), 90);
    ASSERT_TRUE(jpeg.startsWith("\xff\xd8") && jpeg.endsWith("\xff\xd9"));
    // An embedded preview, as cameras store in their EXIF segment, holds end
    // markers of its own before the picture's scan.
    const QByteArray preview = jpegBytes(quadrantPicture(16, 16));
    QByteArray segment("\xff\xe1", 2);
    segment.append(char((preview.size() + 2) >> 8)).append(char((preview.size() + 2) & 0xff)).append(preview);
    const QByteArray withPreview = jpeg.left(2) + segment + jpeg.mid(2);
    const QString warning = QStringLiteral("the picture is incomplete (truncated file)");
    struct Case {
        const char* what;
        QByteArray bytes;
        QString warning;
    };
    const Case cases[] = {
        {"whole", jpeg, QString()},
        {"whole, with bytes after its end", jpeg + "trailing data", QString()},
        {"cut", jpeg.left(jpeg.size() * 2 / 3), warning},
        {"cut, with a whole preview", withPreview.left(withPreview.size() * 2 / 3), warning},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = write("photo.jpg", c.bytes);
        for (const ImageFileResult& r : {ImageFile::read(path), readImportFile(path)}) {
            ASSERT_TRUE(r.ok()) << r.error.toStdString();  // the part that is there is used
            EXPECT_EQ(r.image.bitmap.size(), QSize(200, 150));
            EXPECT_EQ(r.warning, c.warning);
        }
    }
}

TEST_F(ImageFileTest, ThumbnailsAreDecodedWithinTheirBox)
{
    struct Case {
        QString name;
        QSize stored;
        QSize read;
    };
    const Case cases[] = {
        {"wide.jpg", {800, 400}, {80, 40}},
        {"tall.png", {400, 800}, {40, 80}},
        {"small.jpg", {40, 60}, {40, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(quadrantPicture(c.stored.width(), c.stored.height()).save(path));
        const ImageFileResult r = ImageFile::readThumbnail(path, QSize(80, 80));
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_EQ(r.image.bitmap.size(), c.read);
    }
}
