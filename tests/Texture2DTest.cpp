#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gl/Texture2D.h"
#include "base/InternalInconsistency.h"
#include "support/GlContextTest.h"
#include "support/GlTestFramebuffer.h"

namespace {

GLint boundTexture()
{
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint textureParameter(GLuint name, GLenum parameter)
{
    const GLint saved = boundTexture();
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    glBindTexture(GL_TEXTURE_2D, GLuint(saved));
    return value;
}

}  // namespace

class Texture2DTest : public GlContextTest {};

struct CoordinateCase {
    float contentWidth, contentHeight;
    std::uint32_t width, height;
    float maxS, maxT;
};

TEST_F(Texture2DTest, CoordinatesAndSizesOfTheContentCorner)
{
    const CoordinateCase cases[] = {
        {320, 480, 512, 512, 0.625f, 0.9375f},
        {1, 1, 1, 1, 1.0f, 1.0f},
        {1024, 768, 1024, 1024, 1.0f, 0.75f},
    };
    for (const CoordinateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.contentWidth << "x" << c.contentHeight << " in " << c.width << "x"
                                        << c.height);
        // No data: storage of undefined contents, as for a canvas without buffers.
        auto texture = Texture2D::initWithData(nullptr, Texture2D::RGBA8888, c.width, c.height,
                                               FloatSize{c.contentWidth, c.contentHeight});
        ASSERT_NE(texture, nullptr);
        EXPECT_NE(texture->name(), 0u);
        EXPECT_EQ(texture->pixelsWide(), c.width);
        EXPECT_EQ(texture->pixelsHigh(), c.height);
        EXPECT_EQ(texture->contentSize(), (FloatSize{c.contentWidth, c.contentHeight}));
        EXPECT_EQ(texture->pixelFormat(), Texture2D::RGBA8888);
        EXPECT_FLOAT_EQ(texture->maxS(), c.maxS);
        EXPECT_FLOAT_EQ(texture->maxT(), c.maxT);
    }
}

TEST_F(Texture2DTest, TextureWithoutPixelsHasZeroCoordinatesNotNaN)
{
    auto texture = Texture2D::initWithData(nullptr, Texture2D::RGBA8888, 0, 0, FloatSize{0, 0});
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->maxS(), 0.0f);
    EXPECT_EQ(texture->maxT(), 0.0f);
}

TEST_F(Texture2DTest, CreationLeavesThePreviousBindingAndSetsLinearMinificationAndEdgeClamping)
{
    GLuint previous = 0;
    glGenTextures(1, &previous);
    glBindTexture(GL_TEXTURE_2D, previous);

    auto texture = Texture2D::initWithData(nullptr, Texture2D::RGBA8888, 4, 4, FloatSize{4, 4});
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->name(), previous);
    EXPECT_EQ(boundTexture(), GLint(previous));

    glBindTexture(GL_TEXTURE_2D, 0);
    auto second = Texture2D::initWithData(nullptr, Texture2D::RGBA8888, 4, 4, FloatSize{4, 4});
    EXPECT_EQ(boundTexture(), 0);

    // Linear minification, so no mipmap levels are needed; edges clamped, so that
    // filtering never reaches the opposite edge; magnification stays GL's default.
    EXPECT_EQ(textureParameter(texture->name(), GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(texture->name(), GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(texture->name(), GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(texture->name(), GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    glDeleteTextures(1, &previous);
}

TEST_F(Texture2DTest, InvalidFormatThrowsAndLeavesNoTextureBehind)
{
    GLuint previous = 0;
    glGenTextures(1, &previous);
    glBindTexture(GL_TEXTURE_2D, previous);
    // GL hands out names in sequence here; the failed creation would take the next one.
    const GLuint next = previous + 1;
    const std::uint8_t pixels[4] = {1, 2, 3, 4};

    for (int format : {0, 4, -1}) {
        SCOPED_TRACE(format);
        try {
            Texture2D::initWithData(pixels, format, 1, 1, FloatSize{1, 1});
            ADD_FAILURE() << "no exception";
        } catch (const InternalInconsistency& e) {
            EXPECT_STREQ(e.what(), "");
        }
        EXPECT_EQ(boundTexture(), GLint(previous));
        EXPECT_FALSE(glIsTexture(next)) << "the generated name was left behind";
    }
    glDeleteTextures(1, &previous);
}

TEST_F(Texture2DTest, DestructionDeletesTheTexture)
{
    auto texture = Texture2D::initWithData(nullptr, Texture2D::RGBA8888, 2, 2, FloatSize{2, 2});
    const GLuint name = texture->name();
    ASSERT_TRUE(glIsTexture(name));
    texture.reset();
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(Texture2DTest, UploadedRgbaPixelsArriveInRowOrder)
{
    // 2 x 2, rows top to bottom: red, green / blue, half-transparent white.
    const std::uint8_t pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
    auto texture = Texture2D::initWithData(pixels, Texture2D::RGBA8888, 2, 2, FloatSize{2, 2});
    ASSERT_NE(texture, nullptr);

    const QImage held = GlTestFramebuffer::readTexture(texture->name(), 2, 2);
    ASSERT_FALSE(held.isNull());
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(std::memcmp(held.constScanLine(row), pixels + row * 8, 8), 0) << "row " << row;
}

TEST_F(Texture2DTest, NarrowRowsAreReadWithoutPaddingAndTheUnpackAlignmentIsKept)
{
    // One RGB565 pixel a row is 2 bytes: rows must not be taken as padded to 4.
    const std::uint16_t pixels[2] = {0xF800 /* red */, 0x001F /* blue */};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    auto texture = Texture2D::initWithData(pixels, Texture2D::RGB565, 1, 2, FloatSize{1, 2});
    ASSERT_NE(texture, nullptr);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);

    const QImage held = GlTestFramebuffer::readTexture(texture->name(), 1, 2);
    ASSERT_FALSE(held.isNull());
    EXPECT_EQ(held.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(held.pixelColor(0, 1), QColor(0, 0, 255));
}

TEST_F(Texture2DTest, DescriptionNamesClassAddressNameSizeAndCoordinates)
{
    auto texture = Texture2D::initWithData(nullptr, Texture2D::RGBA8888, 512, 256, FloatSize{300, 200});
    const QString text = texture->description();
    const QRegularExpression pattern(QStringLiteral(
        R"(^<Texture2D = ([0-9A-F]{8,}) \| Name = (\d+) \| Dimensions = 512x256 \| Coordinates = \(0\.59, 0\.78\)>$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    EXPECT_EQ(match.captured(1).toULongLong(nullptr, 16), reinterpret_cast<std::uintptr_t>(texture.get()));
    EXPECT_EQ(match.captured(2).toUInt(), texture->name());
}

namespace {

// w x h RGBA pixels, different for every texel and every `seed`.
std::vector<std::uint8_t> rgbaPattern(int w, int h, int seed)
{
    std::vector<std::uint8_t> pixels(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::uint8_t(i * 7 + std::size_t(seed) * 61 + i / 4 / std::size_t(w) * 13);
    return pixels;
}

std::vector<std::uint8_t> held(const Texture2D& texture)
{
    const QImage image =
        GlTestFramebuffer::readTexture(texture.name(), int(texture.pixelsWide()), int(texture.pixelsHigh()));
    if (image.isNull())
        return {};
    return std::vector<std::uint8_t>(image.constBits(), image.constBits() + image.sizeInBytes());
}

}  // namespace

TEST_F(Texture2DTest, ReplacedContentsAreWhatANewTextureWouldHold)
{
    const auto first = rgbaPattern(8, 4, 1), second = rgbaPattern(8, 4, 2);
    auto texture = Texture2D::initWithData(first.data(), Texture2D::RGBA8888, 8, 4, FloatSize{5, 3});
    ASSERT_NE(texture, nullptr);
    const GLuint name = texture->name();
    GLuint previous = 0;
    glGenTextures(1, &previous);
    glBindTexture(GL_TEXTURE_2D, previous);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);

    texture->replaceContents(second.data());
    EXPECT_EQ(boundTexture(), GLint(previous));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(texture->name(), name);

    auto fresh = Texture2D::initWithData(second.data(), Texture2D::RGBA8888, 8, 4, FloatSize{5, 3});
    EXPECT_EQ(held(*texture), second);
    EXPECT_EQ(held(*texture), held(*fresh));

    texture->replaceContents(nullptr);  // nothing to upload: the pixels stay
    EXPECT_EQ(held(*texture), second);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteTextures(1, &previous);
}

TEST_F(Texture2DTest, ReplacedRowsComeFromTheSameRowsOfTheImage)
{
    const auto first = rgbaPattern(4, 6, 3), second = rgbaPattern(4, 6, 4);
    auto texture = Texture2D::initWithData(first.data(), Texture2D::RGBA8888, 4, 6, FloatSize{4, 6});
    ASSERT_NE(texture, nullptr);
    const std::size_t row = 4 * 4;
    auto expected = first;

    texture->replaceRows(second.data(), 2, 3);
    std::copy_n(second.begin() + 2 * row, 3 * row, expected.begin() + 2 * row);
    EXPECT_EQ(held(*texture), expected);

    texture->replaceRows(second.data(), 5, 100);  // clipped to the last row
    std::copy_n(second.begin() + 5 * row, row, expected.begin() + 5 * row);
    EXPECT_EQ(held(*texture), expected);

    texture->replaceRows(second.data(), 6, 1);  // past the texture: nothing
    texture->replaceRows(second.data(), 0, 0);
    EXPECT_EQ(held(*texture), expected);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Two-byte pixels: the rows are found by the format's own pixel size.
    const std::uint16_t red = 0xF800, green = 0x07E0, blue = 0x001F;
    const std::uint16_t before[3] = {red, red, red}, after[3] = {green, blue, green};
    auto narrow = Texture2D::initWithData(before, Texture2D::RGB565, 1, 3, FloatSize{1, 3});
    narrow->replaceRows(after, 1, 1);
    const QImage image = GlTestFramebuffer::readTexture(narrow->name(), 1, 3);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(0, 1), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(0, 2), QColor(255, 0, 0));
}
