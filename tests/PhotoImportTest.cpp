// Photo import without files: the upright picture (orientation and scaling), the
// unpacking into a power-of-two buffer, and the texture made from a picture.
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <vector>

#include "canvas/CanvasView.h"
#include "project/ImportFile.h"
#include "project/UprightImage.h"
#include "gl/EglContext.h"
#include "gl/Texture2D.h"
#include "base/InternalInconsistency.h"
#include "imageio/PictureUnpack.h"
#include "support/GlContextTest.h"
#include "support/ImportTestFiles.h"

namespace {

// Opaque pixel with a value of its own for each stored position.
QRgb distinctPixel(int u, int v) { return qRgba(10 + 60 * u, 20 + 70 * v, 100 + 13 * (u + 3 * v), 255); }

QImage distinctPicture(int w, int h, QImage::Format format = QImage::Format_RGBA8888_Premultiplied)
{
    QImage picture(w, h, format);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u)
            picture.setPixel(u, v, distinctPixel(u, v));
    return picture;
}

QImage filled(int w, int h, QColor colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage picture(w, h, format);
    picture.fill(colour);
    return picture;
}

// Where the centre of stored pixel (u, v) of a W x H picture lands at scale 1,
// written out from the orientation table in continuous positions.
QPoint tableMapping(int tag, int u, int v, int W, int H)
{
    const double x = u + 0.5, y = v + 0.5;
    const double X[8] = {x, W - x, y, H - y, W - x, x, y, H - y};
    const double Y[8] = {y, H - y, W - x, x, y, H - y, x, W - x};
    return QPoint(int(std::floor(X[tag])), int(std::floor(Y[tag])));
}

std::vector<int> bytesAt(const UnpackedPicture& p, int x, int y, int count = 4)
{
    const std::uint8_t* at = p.buffer.get() + (std::size_t(y) * p.width + std::size_t(x)) * count;
    return std::vector<int>(at, at + count);
}

}  // namespace

TEST(UprightImage, EveryTagMapsEveryPixelAsTheTableSays)
{
    const QStringList names{"Up", "Down", "Left", "Right", "UpMirrored", "DownMirrored", "LeftMirrored",
                            "RightMirrored"};
    for (QImage::Format format : {QImage::Format_RGBA8888_Premultiplied, QImage::Format_RGB32})
        for (const QSize stored : {QSize(3, 2), QSize(2, 3), QSize(4, 4)})
            for (int tag = 0; tag < 8; ++tag) {
                const int W = stored.width(), H = stored.height();
                SCOPED_TRACE(QStringLiteral("%1 %2x%3 format %4").arg(names[tag]).arg(W).arg(H).arg(format).toStdString());
                const Image upright = uprightImage(Image{distinctPicture(W, H, format), tag});
                const bool swapped = tag == 2 || tag == 3 || tag == 6 || tag == 7;
                ASSERT_EQ(upright.bitmap.size(), swapped ? QSize(H, W) : QSize(W, H));
                EXPECT_EQ(upright.bitmap.format(), QImage::Format_RGBA8888_Premultiplied);
                EXPECT_EQ(upright.orientation, ImageOrientationUp);
                for (int v = 0; v < H; ++v)
                    for (int u = 0; u < W; ++u)
                        EXPECT_EQ(upright.bitmap.pixel(tableMapping(tag, u, v, W, H)), distinctPixel(u, v))
                            << "stored " << u << "," << v;
            }
}

TEST(UprightImage, KeepsTransparencyAndRefusesUnknownTags)
{
    QImage clear(5, 3, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixel(0, 0, qRgba(200, 100, 50, 128));
    const QImage turned = uprightImage(Image{clear, ImageOrientationRight}).bitmap;
    EXPECT_EQ(qAlpha(turned.pixel(2, 0)), 128);  // stored (0, 0) is now top right
    EXPECT_EQ(qAlpha(turned.pixel(0, 0)), 0);

    for (int tag : {-1, 8}) {
        try {
            uprightImage(Image{clear, tag});
            ADD_FAILURE() << "tag " << tag << " accepted";
        } catch (const InternalInconsistency& e) {
            EXPECT_STREQ(e.what(), "Invalid image orientation");
        }
    }
    EXPECT_THROW(uprightImage(Image{QImage(), 9}), InternalInconsistency);
    EXPECT_FALSE(uprightImage(Image{QImage(), ImageOrientationLeft}).hasBitmap());
}

TEST(UprightImage, ColourProfilesAreConvertedToSrgb)
{
    QImage wideGamut = filled(2, 2, QColor(100, 150, 50));
    wideGamut.setColorSpace(QColorSpace::DisplayP3);
    const QImage upright = uprightImage(Image{wideGamut, ImageOrientationUp}).bitmap;
    EXPECT_EQ(upright.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(upright.pixel(0, 0), wideGamut.convertedToColorSpace(QColorSpace::SRgb).pixel(0, 0));
    EXPECT_NE(upright.pixel(0, 0), qRgb(100, 150, 50));
}

TEST(UprightImage, ImportSizeFollowsTheScalingRule)
{
    EXPECT_EQ(importScaledSize(QSize(1024, 768)), QSize(1024, 768));  // 1024 is not above the limit
    EXPECT_EQ(importScaledSize(QSize(1600, 1200)), QSize(1024, 768));  // 1024 / 1.3333334 is just below 768
    EXPECT_EQ(importScaledSize(QSize(1200, 1600)), QSize(768, 1024));
    EXPECT_EQ(importScaledSize(QSize(3000, 2000)), QSize(1024, 683));  // 682.67 to the nearest pixel
    EXPECT_EQ(importScaledSize(QSize(1025, 1025)), QSize(1024, 1024));  // square: second branch
    EXPECT_EQ(importScaledSize(QSize(30000, 2)), QSize(1024, 1));      // never below one pixel
}

TEST(PhotoImport, PicturesLandUprightAtTheTopLeftOfPowerOfTwoBuffers)
{
    struct Case {
        QSize stored;
        int tag;
        QSize picture;
        std::uint32_t side;  // both sides of the buffer
    };
    const Case cases[] = {
        {{1600, 1200}, ImageOrientationRight, {768, 1024}, 1024}, {{3000, 2000}, ImageOrientationUp, {1024, 683}, 1024},
        {{2000, 2000}, ImageOrientationUp, {1024, 1024}, 1024},   {{1024, 768}, ImageOrientationUp, {1024, 768}, 1024},
        {{320, 480}, ImageOrientationUp, {320, 480}, 512},        {{512, 300}, ImageOrientationUp, {512, 300}, 512},
        {{300, 512}, ImageOrientationLeft, {512, 300}, 512},      {{1, 1}, ImageOrientationDown, {1, 1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(c.stored.width()).arg(c.stored.height()).toStdString());
        const Image upright =
            CanvasView::scaleAndRotateImage(Image{distinctPicture(c.stored.width(), c.stored.height()), c.tag});
        ASSERT_EQ(upright.bitmap.size(), c.picture);
        const UnpackedPicture p = unpackPicture(upright.bitmap);
        ASSERT_TRUE(p.buffer);
        EXPECT_EQ(p.pixelFormat, Texture2D::RGBA8888);
        EXPECT_EQ(p.width, c.side);
        EXPECT_EQ(p.height, c.side);
        EXPECT_EQ(p.imageSize, (FloatSize{float(c.picture.width()), float(c.picture.height())}));
        const std::size_t row = std::size_t(c.side) * 4;
        const std::size_t pictureRow = std::size_t(c.picture.width()) * 4;
        const std::vector<std::uint8_t> zeros(row, 0);
        for (int y = 0; y < int(c.side); ++y) {
            const std::uint8_t* line = p.buffer.get() + row * y;
            if (y < c.picture.height()) {
                ASSERT_EQ(std::memcmp(line, upright.bitmap.constScanLine(y), pictureRow), 0) << "row " << y;
                ASSERT_EQ(std::memcmp(line + pictureRow, zeros.data(), row - pictureRow), 0) << "row " << y;
            } else {
                ASSERT_EQ(std::memcmp(line, zeros.data(), row), 0) << "row " << y;
            }
        }
    }
}

// A photo larger than the tiles of the quarter-turn copy, in each EXIF
// orientation, comes out pixel for pixel as Qt's own automatic orientation
// shows the same file.
TEST(PhotoImport, EveryExifOrientationMatchesQtsOwnTransform)
{
    using namespace ImportTestFiles;
    QTemporaryDir dir;
    const QByteArray jpeg = jpegBytes(photoLikePicture(97, 131), 100);
    for (int exif = 1; exif <= 8; ++exif) {
        SCOPED_TRACE(::testing::Message() << "EXIF orientation " << exif);
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(exif));
        ASSERT_TRUE(writeFile(path, withExifOrientation(jpeg, exif)));
        const ImageFileResult read = readImportFile(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        const QImage ours = uprightImage(read.image).bitmap.convertToFormat(QImage::Format_RGB32);
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage qts = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(ours.size(), qts.size());
        long differing = 0;
        for (int y = 0; y < qts.height(); ++y)
            for (int x = 0; x < qts.width(); ++x)
                differing += ours.pixel(x, y) != qts.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

TEST(PhotoImport, ScalingHappensInStoredAxesBeforeTheQuarterTurn)
{
    // Left half red, right half blue, turned right: the stored left column becomes
    // the top row, so red ends up on top.
    QImage stored = filled(2048, 1536, Qt::red);
    for (int y = 0; y < 1536; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(stored.scanLine(y)) + 1024, 1024, qRgb(0, 0, 255));
    const UnpackedPicture p = unpackPicture(uprightImage(Image{stored, ImageOrientationRight}).bitmap);
    ASSERT_EQ(p.imageSize, (FloatSize{768.0f, 1024.0f}));
    EXPECT_EQ(bytesAt(p, 384, 100), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(bytesAt(p, 384, 900), (std::vector<int>{0, 0, 255, 255}));
}

TEST(PictureUnpack, BytesPerBitmapKind)
{
    QImage translucent(2, 1, QImage::Format_ARGB32);  // not premultiplied
    translucent.setPixel(0, 0, qRgba(200, 100, 50, 128));
    translucent.setPixel(1, 0, qRgba(10, 20, 30, 255));
    const UnpackedPicture p = unpackPicture(translucent);
    EXPECT_EQ(p.pixelFormat, Texture2D::RGBA8888);
    EXPECT_EQ(bytesAt(p, 0, 0), (std::vector<int>{100, 50, 25, 128}));
    EXPECT_EQ(bytesAt(p, 1, 0), (std::vector<int>{10, 20, 30, 255}));

    // Without alpha: the same 4-byte layout, with an opaque 4th byte.
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Grayscale8}) {
        const UnpackedPicture opaque = unpackPicture(filled(3, 3, QColor(90, 90, 90), format));
        EXPECT_EQ(opaque.pixelFormat, Texture2D::RGBA8888) << format;
        EXPECT_EQ(bytesAt(opaque, 2, 2), (std::vector<int>{90, 90, 90, 255})) << format;
    }

    // Alpha only: one byte per pixel.
    QImage mask(3, 2, QImage::Format_Alpha8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            mask.scanLine(y)[x] = std::uint8_t(40 * (x + 3 * y) + 1);
    const UnpackedPicture alpha = unpackPicture(mask);
    EXPECT_EQ(alpha.pixelFormat, Texture2D::A8);
    EXPECT_EQ(alpha.width, 4u);
    EXPECT_EQ(bytesAt(alpha, 0, 0, 8), (std::vector<int>{1, 41, 81, 0, 121, 161, 201, 0}));
}

TEST(PictureUnpack, OversizedBitmapsAreHalvedAndFailedAllocationsReported)
{
    // Not reachable from the upright picture, but the unpacking stands on its own.
    const UnpackedPicture wide = unpackPicture(filled(3000, 1000, QColor(0, 200, 0)));
    EXPECT_EQ(wide.width, 1024u);
    EXPECT_EQ(wide.height, 256u);
    EXPECT_EQ(wide.imageSize, (FloatSize{750.0f, 250.0f}));
    EXPECT_EQ(bytesAt(wide, 700, 200), (std::vector<int>{0, 200, 0, 255}));
    EXPECT_EQ(bytesAt(wide, 800, 200), (std::vector<int>{0, 0, 0, 0}));

    // A one-pixel side stays one pixel instead of halving to an empty buffer.
    const UnpackedPicture thin = unpackPicture(filled(1, 2000, Qt::white));
    ASSERT_TRUE(thin.buffer);
    EXPECT_EQ(thin.width, 1u);
    EXPECT_EQ(thin.height, 1024u);

    PixelMemory::failAllocation(1);
    const UnpackedPicture starved = unpackPicture(filled(320, 480, Qt::white));
    PixelMemory::failAllocation(0);
    EXPECT_FALSE(starved.buffer);
    EXPECT_EQ(starved.width, 512u);
}

namespace {
QStringList g_log;
void captureLog(QtMsgType, const QMessageLogContext&, const QString& message) { g_log << message; }
}  // namespace

TEST(TextureFromImage, PictureWithoutBitmapGivesNothing)
{
    PixelBlock buffer = PixelMemory::allocate(16);
    std::uint8_t* const before = buffer.get();
    g_log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    const std::unique_ptr<Texture2D> texture = Texture2D::initWithImage(Image{}, &buffer);
    qInstallMessageHandler(previous);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(buffer.get(), before);
    EXPECT_EQ(g_log, QStringList{"Image is Null"});
}

TEST(TextureFromImage, HandsOverTheUnpackedBuffer)
{
    std::unique_ptr<EglContext> context = EglContext::create();
    if (!context || !context->makeCurrent())
        NO_GL_CONTEXT();
    const Image upright = CanvasView::scaleAndRotateImage(Image{distinctPicture(320, 480), ImageOrientationUp});

    PixelBlock buffer;
    std::unique_ptr<Texture2D> texture = Texture2D::initWithImage(upright, &buffer);
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->name(), 0u);
    EXPECT_EQ(texture->pixelFormat(), Texture2D::RGBA8888);
    EXPECT_EQ(texture->pixelsWide(), 512u);
    EXPECT_EQ(texture->pixelsHigh(), 512u);
    EXPECT_EQ(texture->contentSize(), (FloatSize{320.0f, 480.0f}));
    ASSERT_TRUE(buffer);
    EXPECT_EQ(std::memcmp(buffer.get() + 479 * 512 * 4, upright.bitmap.constScanLine(479), 320 * 4), 0);

    // Without a place to hand the buffer to, only the texture remains.
    EXPECT_NE(Texture2D::initWithImage(upright, nullptr), nullptr);
}
