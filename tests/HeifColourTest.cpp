// The colour conversions of HEIF pictures without a file: nclx codes to Qt's
// colour spaces and to matrices between primaries, and the mapping of PQ and HLG
// pictures to sRGB against its straightforward version.
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QColorTransform>
#include <QPointF>
#include <QtGui/qrgbafloat.h>
#include <cmath>
#include <vector>

#include "imageio/HdrToSdr.h"
#include "imageio/NclxColour.h"
#include "support/SplitMix.h"

namespace {

double srgbEncoded(double light) { return light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1 / 2.4) - 0.055; }

// Linear light of `primaries` to linear sRGB, as Qt converts it.
QRgbaFloat32 qtLinearToSrgb(const Chromaticities& c, QRgbaFloat32 colour)
{
    const QColorSpace from(QPointF(c.wx, c.wy), QPointF(c.rx, c.ry), QPointF(c.gx, c.gy), QPointF(c.bx, c.by),
                           QColorSpace::TransferFunction::Linear);
    const QColorSpace to(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear);
    return from.transformationToColorSpace(to).map(colour);
}

}  // namespace

TEST(NclxColourTest, PrimariesBecomeSrgbsAsPublishedAndAsQtConvertsThem)
{
    const struct {
        int code;
        std::array<float, 9> published;  // all zero: none checked
    } cases[] = {
        {1, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
        {12, {1.2249401f, -0.2249404f, 0, -0.0420569f, 1.0420571f, 0, -0.0196376f, -0.0786361f, 1.0982735f}},
        {9, {1.6604910f, -0.5876411f, -0.0728499f, -0.1245505f, 1.1328999f, -0.0083494f, -0.0181508f, -0.1005789f,
              1.1187297f}},
        {4, {}}, {5, {}}, {6, {}}, {8, {}}, {11, {}}, {22, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const std::optional<Chromaticities> primaries = nclxPrimaries(c.code);
        ASSERT_TRUE(primaries);
        const std::array<float, 9> m = rgbToRgbMatrix(*primaries, kSrgbPrimaries);
        if (c.published != std::array<float, 9>{}) {
            for (int i = 0; i < 9; ++i)
                EXPECT_NEAR(m[i], c.published[i], 1e-5) << i;
        }
        // White stays white, whatever the white of the primaries (DCI-P3's, C).
        for (int row = 0; row < 3; ++row)
            EXPECT_NEAR(m[row * 3] + m[row * 3 + 1] + m[row * 3 + 2], 1.0f, 1e-5f);
        const QRgbaFloat32 in{0.5f, 0.4f, 0.3f, 1.0f};
        const QRgbaFloat32 qt = qtLinearToSrgb(*primaries, in);
        EXPECT_NEAR(m[0] * in.r + m[1] * in.g + m[2] * in.b, qt.r, 2e-3);
        EXPECT_NEAR(m[3] * in.r + m[4] * in.g + m[5] * in.b, qt.g, 2e-3);
        EXPECT_NEAR(m[6] * in.r + m[7] * in.g + m[8] * in.b, qt.b, 2e-3);
    }
    // Unspecified is sRGB's; CIE XYZ and reserved codes have none.
    EXPECT_TRUE(nclxPrimaries(2));
    for (const int none : {0, 3, 10, 13, 21, 23, 255})
        EXPECT_FALSE(nclxPrimaries(none)) << none;
}

TEST(NclxColourTest, TransfersDecodeTheirCodeValues)
{
    const struct {
        int primaries;
        int transfer;
        double (*decoded)(double);  // null: invalid
    } cases[] = {
        {1, 13, [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }},
        {2, 2, [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }},
        {1, 1, [](double v) { return v < 0.081 ? v / 4.5 : std::pow((v + 0.099) / 1.099, 1 / 0.45); }},
        {1, 15, [](double v) { return v < 0.081 ? v / 4.5 : std::pow((v + 0.099) / 1.099, 1 / 0.45); }},
        {1, 4, [](double v) { return std::pow(v, 2.2); }},
        {1, 5, [](double v) { return std::pow(v, 2.8); }},
        {1, 7, [](double v) { return v < 0.0912 ? v / 4.0 : std::pow((v + 0.1115) / 1.1115, 1 / 0.45); }},
        {1, 8, [](double v) { return v; }},
        {1, 9, [](double v) { return std::pow(10.0, 2.0 * (v - 1.0)); }},
        {1, 10, [](double v) { return std::pow(10.0, 2.5 * (v - 1.0)); }},
        {1, 16, nullptr},
        {1, 17, nullptr},
        {1, 18, nullptr},
        {1, 0, nullptr},
        {10, 13, nullptr},
        {3, 13, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.primaries).arg(c.transfer).toStdString());
        const QColorSpace space = nclxColourSpace(c.primaries, c.transfer);
        ASSERT_EQ(space.isValid(), c.decoded != nullptr);
        if (!c.decoded)
            continue;
        const QColorTransform toSrgb = space.transformationToColorSpace(QColorSpace::SRgb);
        for (const float v : {0.02f, 0.1f, 0.25f, 0.5f, 0.75f, 0.95f}) {
            const QRgbaFloat32 out = toSrgb.map(QRgbaFloat32{v, v, v, 1.0f});
            EXPECT_NEAR(out.g, srgbEncoded(c.decoded(v)), 2e-3) << v;
        }
    }
    EXPECT_EQ(nclxColourSpace(1, 13), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(nclxColourSpace(12, 13), QColorSpace(QColorSpace::DisplayP3));
}

TEST(HdrToSdrTest, TheToneCurveKeepsTheMidTonesAndRollsOffTheHighlights)
{
    const struct {
        double in, out;
    } cases[] = {{0.0, 0.0}, {0.18, 0.18}, {0.6, 0.6}, {1.0, 0.8}, {1.4, 0.6 + 0.4 * 2.0 / 3.0}, {4.6, 0.6 + 0.4 * 10.0 / 11.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(hdrToneCurve(c.in), c.out, 1e-12) << c.in;
    // It meets the straight part at its slope, and never reaches white.
    EXPECT_NEAR((hdrToneCurve(0.6 + 1e-7) - 0.6) / 1e-7, 1.0, 1e-5);
    EXPECT_LT(hdrToneCurve(1e9), 1.0);
    EXPECT_LT(hdrToneCurve(49.0), hdrToneCurve(50.0));
}

TEST(HdrToSdrTest, TheTablesGiveTheFormulasToALevel)
{
    SplitMix random{26};
    const std::array<float, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    const std::array<float, 9> bt2020 = rgbToRgbMatrix(*nclxPrimaries(9), kSrgbPrimaries);
    for (const HdrTransfer transfer : {HdrTransfer::Pq, HdrTransfer::Hlg})
        for (const int bits : {8, 10, 12, 16})
            for (const int channels : {3, 4})
                for (const auto* matrix : {&identity, &bt2020}) {
                    SCOPED_TRACE(QStringLiteral("%1 %2 bits %3 channels").arg(int(transfer)).arg(bits).arg(channels)
                                     .toStdString());
                    // Every grey, then random colours.
                    const int maximum = (1 << bits) - 1;
                    const int width = 64;
                    const int height = (maximum + 1 + 4096) / width + 1;
                    const int sampleBytes = bits == 8 ? 1 : 2;
                    std::vector<std::uint16_t> samples(size_t(width) * height * channels + 5);
                    std::vector<std::uint8_t> bytes(samples.size());
                    for (size_t p = 0; p < size_t(width) * height; ++p)
                        for (int c = 0; c < channels; ++c) {
                            const size_t i = p * channels + size_t(c);
                            samples[i] = std::uint16_t(p <= size_t(maximum) && c < 3 ? p : random.next() & maximum);
                            bytes[i] = std::uint8_t(samples[i]);
                        }
                    const auto* data = bits == 8 ? bytes.data() : reinterpret_cast<const std::uint8_t*>(samples.data());
                    HdrSamples in{data, width * channels * sampleBytes, width, height, channels, bits};
                    const std::ptrdiff_t stride = width * 4 + 3;
                    std::vector<std::uint8_t> fast(size_t(stride) * height), slow(size_t(stride) * height);
                    hdrToSdr(in, transfer, *matrix, fast.data(), stride);
                    hdrToSdrStraightforward(in, transfer, *matrix, slow.data(), stride);
                    int differing = 0;
                    for (int y = 0; y < height; ++y)
                        for (int x = 0; x < width * 4; ++x) {
                            const int a = fast[size_t(y * stride + x)], b = slow[size_t(y * stride + x)];
                            ASSERT_LE(std::abs(a - b), x % 4 == 3 ? 0 : 1) << x << ", " << y;
                            differing += a != b;
                        }
                    EXPECT_LT(differing, width * height * 3 / 100);
                }
}

TEST(HdrToSdrTest, AHighlightKeepsItsHue)
{
    // PQ code values of light in cd/m², at 12 bits.
    const auto pqCode = [](double light) {
        const double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 32.0, c1 = 3424.0 / 4096.0, c2 = 2413.0 / 128.0,
                     c3 = 2392.0 / 128.0;
        const double y = std::pow(light / 10000.0, m1);
        return std::uint16_t(std::lround(std::pow((c1 + c2 * y) / (1.0 + c3 * y), m2) * 4095.0));
    };
    const auto linear = [](int level) {
        const double v = level / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const std::array<float, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    // An orange at twice, four and eight times the reference white: the largest
    // channel rolls off, the others keep their share of it.
    for (const double white : {2.0, 4.0, 8.0}) {
        SCOPED_TRACE(white);
        const std::uint16_t samples[3] = {pqCode(203.0 * white), pqCode(203.0 * white / 2), pqCode(203.0 * white / 4)};
        std::uint8_t out[4];
        hdrToSdr(HdrSamples{reinterpret_cast<const std::uint8_t*>(samples), 6, 1, 1, 3, 12}, HdrTransfer::Pq, identity,
                 out, 4);
        EXPECT_NEAR(linear(out[0]), hdrToneCurve(white), 0.005);
        EXPECT_NEAR(linear(out[1]) / linear(out[0]), 0.5, 0.01);
        EXPECT_NEAR(linear(out[2]) / linear(out[0]), 0.25, 0.01);
    }
}
