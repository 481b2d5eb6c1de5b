// Thumbnails: the fit into 80 x 80 and the JPEG made from the working picture.
#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "project/ThumbnailGeometry.h"
#include "base/PixelMemory.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"

namespace {

QStringList g_log;
void captureLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_log << message;
}

// Top half of the picture one green, bottom half another; the spare area of the
// buffer loud magenta; the alpha byte all over the place.
constexpr std::uint32_t kTop = 0x003CC81Eu;     // R 30, G 200, B 60
constexpr std::uint32_t kBottom = 0x001EA03Cu;  // R 60, G 160, B 30
constexpr std::uint32_t kSpare = 0xFFFF00FFu;

std::function<std::uint32_t(int, int, int)> twoGreens(FloatSize picsize)
{
    return [picsize](int, int x, int y) {
        if (float(x) >= picsize.width || float(y) >= picsize.height)
            return kSpare;
        const std::uint32_t alpha = std::uint32_t((x * 37 + y * 11) & 255) << 24;
        return (float(y) < picsize.height / 2 ? kTop : kBottom) | alpha;
    };
}

bool near(QRgb p, std::uint32_t want, int tolerance)
{
    return std::abs(qRed(p) - int(want & 255)) <= tolerance && std::abs(qGreen(p) - int(want >> 8 & 255)) <= tolerance &&
           std::abs(qBlue(p) - int(want >> 16 & 255)) <= tolerance;
}

// Every pixel green-ish (no magenta from beyond the picture), the top rows the
// top colour and the bottom rows the bottom one: upright and alpha-blind.
void expectTwoGreens(const QImage& thumbnail)
{
    const QImage t = thumbnail.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < t.height(); ++y)
        for (int x = 0; x < t.width(); ++x) {
            const QRgb p = t.pixel(x, y);
            ASSERT_TRUE(qGreen(p) > 140 && qRed(p) < 80 && qBlue(p) < 80)
                << x << "," << y << ": " << qRed(p) << " " << qGreen(p) << " " << qBlue(p);
            if (y < t.height() / 2 - 2) {
                ASSERT_TRUE(near(p, kTop, 8)) << x << "," << y;
            }
            if (y > t.height() / 2 + 2) {
                ASSERT_TRUE(near(p, kBottom, 8)) << x << "," << y;
            }
        }
}

// Every entry of the quantisation tables (DQT segments) of a JPEG, in order.
// At quality 100 each one is 1; any lower quality makes some larger.
std::vector<int> quantisers(const QByteArray& jpeg)
{
    const auto byte = [&jpeg](qsizetype i) { return i < jpeg.size() ? int(std::uint8_t(jpeg[i])) : 0; };
    std::vector<int> entries;
    for (qsizetype at = 2; byte(at) == 0xFF && byte(at + 1) != 0xDA && at + 4 <= jpeg.size();) {
        const qsizetype end = at + 2 + (byte(at + 2) << 8 | byte(at + 3));
        if (byte(at + 1) == 0xDB)
            for (qsizetype t = at + 4; t < end;) {
                const bool sixteenBits = byte(t++) >> 4;
                for (int k = 0; k < 64; ++k, t += sixteenBits ? 2 : 1)
                    entries.push_back(sixteenBits ? byte(t) << 8 | byte(t + 1) : byte(t));
            }
        at = end;
    }
    return entries;
}

}  // namespace

TEST(ThumbnailGeometry, LongerSideBecomesEighty)
{
    using namespace ThumbnailGeometry;
    EXPECT_FLOAT_EQ(scale({320, 480}), 80.0f / 480.0f);
    EXPECT_NEAR(size({320, 480}).width, 53.333f, 0.001f);
    EXPECT_FLOAT_EQ(size({320, 480}).height, 80.0f);
    EXPECT_EQ(pixelSize({320, 480}), (PixelSize{53, 80}));
    EXPECT_EQ(pixelSize({512, 512}), (PixelSize{80, 80}));
    EXPECT_EQ(pixelSize({1024, 700}), (PixelSize{80, 55}));  // 54.69 rounds up
    // Enlarged when smaller than 80 both ways.
    EXPECT_FLOAT_EQ(scale({40, 20}), 2.0f);
    EXPECT_EQ(pixelSize({40, 20}), (PixelSize{80, 40}));
    EXPECT_EQ(pixelSize({1, 1}), (PixelSize{80, 80}));
    // A sliver keeps at least one pixel; a vanishing side never overflows.
    EXPECT_EQ(pixelSize({1024, 1}), (PixelSize{80, 1}));
    EXPECT_EQ(pixelSize({1e-44f, 1.0f}), (PixelSize{1, 80}));
}

TEST(Thumbnail, FitsThePictureAreaOnly)
{
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        NO_GL_CONTEXT();
    struct Case {
        int width, height;
        FloatSize picsize;
        QSize expected;
    };
    const Case cases[] = {
        {512, 512, {320, 480}, {53, 80}},
        {64, 32, {40, 20}, {80, 40}},
        {1024, 512, {1000, 300}, {80, 24}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.picsize.width << " x " << c.picsize.height);
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, c.width, c.height, c.picsize, twoGreens(c.picsize)));
        g_log.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureLog);
        const QByteArray jpeg = canvas->CreateThumbNail();
        qInstallMessageHandler(previous);
        EXPECT_EQ(g_log, QStringList{"releaseData"});  // the packed copy is freed once

        ASSERT_TRUE(jpeg.startsWith("\xFF\xD8\xFF"));
        const std::vector<int> q = quantisers(jpeg);
        EXPECT_GE(q.size(), 64u);
        EXPECT_EQ(std::count(q.begin(), q.end(), 1), qsizetype(q.size())) << "written at quality 100";
        const QImage thumbnail = QImage::fromData(jpeg, "JPEG");
        ASSERT_EQ(thumbnail.size(), c.expected);
        expectTwoGreens(thumbnail);
    }
}

TEST(Thumbnail, NothingWithoutAProject)
{
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        NO_GL_CONTEXT();
    const long before = PixelMemory::allocationCount();
    EXPECT_TRUE(canvas->CreateThumbNail().isEmpty());
    EXPECT_EQ(PixelMemory::allocationCount(), before);
    ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 8, 8, {8, 8}, twoGreens({8, 8})));
    canvas->document().setLoaded(false);
    const long installed = PixelMemory::allocationCount();
    EXPECT_TRUE(canvas->CreateThumbNail().isEmpty());
    EXPECT_EQ(PixelMemory::allocationCount(), installed);
}
