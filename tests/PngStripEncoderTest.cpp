// The PNG writer fed by bands of rows against the writer of whole pictures.
#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "imageio/FastPng.h"
#include "imageio/PngStripEncoder.h"
#include "support/SplitMix.h"

namespace {

QImage picture(int width, int height, bool grey)
{
    QImage image(width, height, QImage::Format_RGBX8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = (x * 5 + y * y) % 256;
            image.setPixel(x, y, grey ? qRgb(v, v, v) : qRgb(v, (v * 3) % 256, x % 7 == 0 ? 255 : v / 2));
        }
    return image;
}

QByteArray encodedInBands(const QImage& image, PngStripEncoder::Pixels pixels, const std::vector<int>& bands,
                          int threads)
{
    PngStripEncoder encoder(image.width(), image.height(), pixels, threads);
    int y = 0;
    for (const int rows : bands) {
        EXPECT_TRUE(encoder.add(image.constScanLine(y), image.bytesPerLine(), rows));
        y += rows;
    }
    return encoder.finish();
}

}  // namespace

TEST(PngStripEncoder, BandsOfAnySizeGiveTheBytesOfTheWholePicture)
{
    struct Case {
        int width, height;
        std::vector<int> bands;
    } cases[] = {
        {37, 300, {300}},
        {37, 300, {128, 128, 44}},
        {37, 300, {127, 1, 1, 127, 44}},   // a strip finished across calls
        {37, 300, {129, 171}},
        {37, 300, {0, 256, 0, 44}},
        {5, 128, {128}},                   // exactly one strip
        {5, 128, {64, 64}},
        {1, 1, {1}},
        {64, 700, {}},                     // random bands below
    };
    SplitMix random{7};
    for (Case& c : cases) {
        if (c.bands.empty())
            for (int left = c.height; left > 0;) {
                const int rows = std::min(left, 1 + int(random.below(300)));
                c.bands.push_back(rows);
                left -= rows;
            }
        for (const bool grey : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " in " << c.bands.size() << " bands"
                                            << (grey ? " grey" : " colour"));
            const QImage image = picture(c.width, c.height, grey);
            const QByteArray whole = grey ? fastGreyPngBytes(image) : fastPngBytes(image);
            ASSERT_FALSE(whole.isEmpty());
            const auto pixels = grey ? PngStripEncoder::Pixels::Grey : PngStripEncoder::Pixels::Rgb;
            EXPECT_EQ(encodedInBands(image, pixels, c.bands, 4), whole);
            EXPECT_EQ(encodedInBands(image, pixels, c.bands, 1), whole);
        }
    }
}

TEST(PngStripEncoder, RowsMissingOrTooManyOrNotGreyGiveNoFile)
{
    const QImage image = picture(20, 200, true);
    PngStripEncoder cut(20, 200, PngStripEncoder::Pixels::Grey, 2);
    ASSERT_TRUE(cut.add(image.constBits(), image.bytesPerLine(), 199));
    EXPECT_TRUE(cut.finish().isEmpty());

    PngStripEncoder over(20, 200, PngStripEncoder::Pixels::Grey, 2);
    ASSERT_TRUE(over.add(image.constBits(), image.bytesPerLine(), 150));
    EXPECT_FALSE(over.add(image.constBits(), image.bytesPerLine(), 51));
    EXPECT_TRUE(over.finish().isEmpty());

    QImage colour = image;
    colour.setPixel(3, 150, qRgb(1, 2, 1));  // in the strip finished by the last call
    PngStripEncoder notGrey(20, 200, PngStripEncoder::Pixels::Grey, 2);
    ASSERT_TRUE(notGrey.add(colour.constBits(), colour.bytesPerLine(), 140));
    EXPECT_FALSE(notGrey.add(colour.constScanLine(140), colour.bytesPerLine(), 60));
    EXPECT_TRUE(notGrey.finish().isEmpty());
}

// The file goes out as its strips are done, a few at most under way: never held
// whole, and stopped by an out that takes no more.
TEST(PngStripEncoder, TheFileGoesOutStripByStripAndStopsWhereItIsNotTaken)
{
    const QImage image = picture(50, 6 * 128 + 20, false);
    const QByteArray whole = fastPngBytes(image);
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        QByteArray out;
        int calls = 0;
        PngStripEncoder encoder(image.width(), image.height(), PngStripEncoder::Pixels::Rgb, threads,
                                [&](const char* bytes, qint64 size) {
                                    out.append(bytes, size);
                                    ++calls;
                                    return true;
                                });
        ASSERT_TRUE(encoder.add(image.constBits(), image.bytesPerLine(), 5 * 128));
        // Five strips handed in: at most one a thread and one more still under way.
        EXPECT_GE(calls, 5 - threads - 1);
        EXPECT_EQ(out, whole.left(out.size()));
        ASSERT_TRUE(encoder.add(image.constScanLine(5 * 128), image.bytesPerLine(), 148));
        EXPECT_EQ(out, whole.left(whole.size() - 12)) << "all but the end once the last row is in";
        EXPECT_TRUE(encoder.end());
        EXPECT_EQ(out, whole);
    }

    for (const int takes : {0, 1, 3}) {
        SCOPED_TRACE(takes);
        int calls = 0;
        PngStripEncoder encoder(image.width(), image.height(), PngStripEncoder::Pixels::Rgb, 2,
                                [&](const char*, qint64) { return calls++ < takes; });
        bool added = true;
        for (int y = 0; added && y < image.height(); y += 100)
            added = encoder.add(image.constScanLine(y), image.bytesPerLine(), std::min(100, image.height() - y));
        EXPECT_FALSE(added);
        EXPECT_FALSE(encoder.end());
        EXPECT_EQ(calls, takes + 1) << "nothing more after the out that failed";
    }
}

// Coded without matching: other bytes, the same pixels, grey or colour.
TEST(PngStripEncoder, LiteralsOnlyGiveOtherBytesOfTheSamePixels)
{
    for (const bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "colour");
        QImage image = picture(90, 300, grey);
        for (int y = 0; y < 300; ++y)  // runs to match on the left
            for (int x = 0; x < 40; ++x)
                image.setPixel(x, y, qRgb(200, 200, 200));
        const auto pixels = grey ? PngStripEncoder::Pixels::Grey : PngStripEncoder::Pixels::Rgb;
        PngStripEncoder literals(image.width(), image.height(), pixels, 2, {}, PngMatching::LiteralsOnly);
        ASSERT_TRUE(literals.add(image.constBits(), image.bytesPerLine(), image.height()));
        const QByteArray file = literals.finish();
        EXPECT_NE(file, encodedInBands(image, pixels, {300}, 2));
        const QImage back = QImage::fromData(file, "PNG");
        EXPECT_EQ(back.format(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image.convertToFormat(QImage::Format_RGB32));
    }
}
