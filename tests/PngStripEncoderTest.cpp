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
    PngStripEncoder encoder(image.width(), image.height(), pixels);
    int y = 0;
    for (const int rows : bands) {
        EXPECT_TRUE(encoder.add(image.constScanLine(y), image.bytesPerLine(), rows, threads));
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
    PngStripEncoder cut(20, 200, PngStripEncoder::Pixels::Grey);
    ASSERT_TRUE(cut.add(image.constBits(), image.bytesPerLine(), 199, 2));
    EXPECT_TRUE(cut.finish().isEmpty());

    PngStripEncoder over(20, 200, PngStripEncoder::Pixels::Grey);
    ASSERT_TRUE(over.add(image.constBits(), image.bytesPerLine(), 150, 2));
    EXPECT_FALSE(over.add(image.constBits(), image.bytesPerLine(), 51, 2));
    EXPECT_TRUE(over.finish().isEmpty());

    QImage colour = image;
    colour.setPixel(3, 150, qRgb(1, 2, 1));  // in the strip finished by the last call
    PngStripEncoder notGrey(20, 200, PngStripEncoder::Pixels::Grey);
    ASSERT_TRUE(notGrey.add(colour.constBits(), colour.bytesPerLine(), 140, 2));
    EXPECT_FALSE(notGrey.add(colour.constScanLine(140), colour.bytesPerLine(), 60, 2));
    EXPECT_TRUE(notGrey.finish().isEmpty());
}
