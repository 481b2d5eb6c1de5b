// The greyscale PNG writer for pictures known to be grey (the black sketch).
#include <gtest/gtest.h>

#include <QImage>

#include "imageio/FastPng.h"

namespace {

QImage greyPicture(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = (x * 7 + y * y) % 256;
            image.setPixel(x, y, qRgb(v, v, v));
        }
    return image;
}

}  // namespace

TEST(FastGreyPng, GreyPicturesComeBackAsTheSamePixelsFromAGreyscaleFile)
{
    struct Case {
        const char* what;
        QImage image;
    } cases[] = {
        {"RGBX, three strips, the last partial", greyPicture(130, 300, QImage::Format_RGBX8888)},
        {"RGB32, a last strip of one row", greyPicture(7, 129, QImage::Format_RGB32)},
        {"one pixel", greyPicture(1, 1, QImage::Format_RGBX8888)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray png = fastGreyPngBytes(c.image);
        ASSERT_GT(png.size(), 33);
        EXPECT_EQ(png[25], '\0') << "colour type: grey";
        const QImage back = QImage::fromData(png, "PNG");
        EXPECT_EQ(back.format(), QImage::Format_Grayscale8);
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), c.image.convertToFormat(QImage::Format_RGB32));
    }
}

TEST(FastGreyPng, APictureThatIsNotAllGreyOrHasAlphaGivesNothing)
{
    QImage colour = greyPicture(40, 200, QImage::Format_RGBX8888);
    colour.setPixel(39, 199, qRgb(10, 10, 11));  // the last pixel of the last strip
    EXPECT_TRUE(fastGreyPngBytes(colour).isEmpty());
    colour.setPixel(39, 199, qRgb(10, 11, 10));
    EXPECT_TRUE(fastGreyPngBytes(colour).isEmpty());
    EXPECT_TRUE(fastGreyPngBytes(greyPicture(4, 4, QImage::Format_ARGB32)).isEmpty());
    EXPECT_TRUE(fastGreyPngBytes(QImage()).isEmpty());
}
