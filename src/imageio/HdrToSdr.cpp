#include "imageio/HdrToSdr.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// BT.2100 PQ: code value (0 to 1) to light in cd/m².
double pqLight(double code)
{
    constexpr double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 4096.0 * 128.0;
    constexpr double c1 = 3424.0 / 4096.0, c2 = 2413.0 / 4096.0 * 32.0, c3 = 2392.0 / 4096.0 * 32.0;
    const double p = std::pow(std::clamp(code, 0.0, 1.0), 1.0 / m2);
    return 10000.0 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1.0 / m1);
}

// BT.2100 HLG: code value to scene light (0 to 1).
double hlgSceneLight(double code)
{
    constexpr double a = 0.17883277, b = 1.0 - 4.0 * a, c = 0.55991072953;
    code = std::clamp(code, 0.0, 1.0);
    return code <= 0.5 ? code * code / 3.0 : (std::exp((code - c) / a) + b) / 12.0;
}

// HLG's system: scene light to display light in cd/m² on a 1000 cd/m² display
// (gamma 1.2), from the scene luminance of BT.2100's primaries.
constexpr double kHlgPeak = 1000.0;
constexpr double kHlgGammaLess1 = 0.2;
double hlgLuminance(double r, double g, double b) { return 0.2627 * r + 0.6780 * g + 0.0593 * b; }

double srgbEncoded(double light)
{
    light = std::clamp(light, 0.0, 1.0);
    return light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1.0 / 2.4) - 0.055;
}

std::uint8_t level(double v) { return std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

std::uint8_t alphaLevel(unsigned a, unsigned maximum) { return std::uint8_t((a * 255u + maximum / 2) / maximum); }

constexpr int kEncodeSteps = 65536;

// Sample `i` of row `y`, at most `maximum`.
unsigned sampleAt(const HdrSamples& in, int y, std::ptrdiff_t i, unsigned maximum)
{
    const std::uint8_t* row = in.data + y * in.stride;
    const unsigned v = in.bits == 8 ? row[i] : reinterpret_cast<const std::uint16_t*>(row)[i];
    return std::min(v, maximum);
}

}  // namespace

double hdrToneCurve(double x)
{
    if (!(x > kHdrKnee))
        return std::max(x, 0.0);
    const double t = (x - kHdrKnee) / (1.0 - kHdrKnee);
    return kHdrKnee + (1.0 - kHdrKnee) * t / (1.0 + t);
}

void hdrToSdrStraightforward(const HdrSamples& in, HdrTransfer transfer, const std::array<float, 9>& toSrgb,
                             std::uint8_t* out, std::ptrdiff_t outStride)
{
    const unsigned maximum = (1u << in.bits) - 1;
    for (int y = 0; y < in.height; ++y) {
        std::uint8_t* to = out + y * outStride;
        for (int x = 0; x < in.width; ++x) {
            const std::ptrdiff_t at = std::ptrdiff_t(x) * in.channels;
            double light[3];
            for (int c = 0; c < 3; ++c) {
                const double code = double(sampleAt(in, y, at + c, maximum)) / maximum;
                light[c] = transfer == HdrTransfer::Pq ? pqLight(code) : hlgSceneLight(code);
            }
            if (transfer == HdrTransfer::Hlg) {
                const double system = kHlgPeak * std::pow(hlgLuminance(light[0], light[1], light[2]), kHlgGammaLess1);
                for (double& l : light)
                    l *= system;
            }
            double rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = std::max(0.0, (double(toSrgb[c * 3]) * light[0] + double(toSrgb[c * 3 + 1]) * light[1] +
                                        double(toSrgb[c * 3 + 2]) * light[2]) /
                                           kHdrReferenceWhite);
            const double largest = std::max({rgb[0], rgb[1], rgb[2]});
            const double scale = largest > 0.0 ? hdrToneCurve(largest) / largest : 0.0;
            for (int c = 0; c < 3; ++c)
                to[x * 4 + c] = level(srgbEncoded(rgb[c] * scale));
            to[x * 4 + 3] = in.channels == 4 ? alphaLevel(sampleAt(in, y, at + 3, maximum), maximum) : 255;
        }
    }
}

namespace {

// The tables of one mapping.
struct Tables {
    std::vector<float> decoded;       // code value to light: reference whites for PQ, scene light for HLG
    std::vector<float> system;        // HLG: its system gamma by scene luminance, in reference whites
    std::vector<std::uint8_t> encoded;  // display light (0 to 1 in kEncodeSteps) to sRGB levels
};

template <typename Sample>
void mapRows(const HdrSamples& in, HdrTransfer transfer, const std::array<float, 9>& toSrgb, const Tables& tables,
             std::uint8_t* out, std::ptrdiff_t outStride)
{
    const unsigned maximum = (1u << in.bits) - 1;
    const float scaleSteps = float(kEncodeSteps - 1);
    const float knee = float(kHdrKnee), room = float(1.0 - kHdrKnee);
    for (int y = 0; y < in.height; ++y) {
        const Sample* s = reinterpret_cast<const Sample*>(in.data + y * in.stride);
        std::uint8_t* to = out + y * outStride;
        for (int x = 0; x < in.width; ++x, s += in.channels, to += 4) {
            float r = tables.decoded[std::min<unsigned>(s[0], maximum)];
            float g = tables.decoded[std::min<unsigned>(s[1], maximum)];
            float b = tables.decoded[std::min<unsigned>(s[2], maximum)];
            if (transfer == HdrTransfer::Hlg) {
                const float luminance = std::clamp(0.2627f * r + 0.6780f * g + 0.0593f * b, 0.0f, 1.0f);
                const float gain = tables.system[size_t(luminance * scaleSteps + 0.5f)];
                r *= gain;
                g *= gain;
                b *= gain;
            }
            const float sr = std::max(0.0f, toSrgb[0] * r + toSrgb[1] * g + toSrgb[2] * b);
            const float sg = std::max(0.0f, toSrgb[3] * r + toSrgb[4] * g + toSrgb[5] * b);
            const float sb = std::max(0.0f, toSrgb[6] * r + toSrgb[7] * g + toSrgb[8] * b);
            const float largest = std::max({sr, sg, sb});
            float scale = scaleSteps;
            if (largest > knee) {
                const float t = (largest - knee) / room;
                scale *= (knee + room * t / (1.0f + t)) / largest;
            }
            to[0] = tables.encoded[size_t(std::min(int(sr * scale + 0.5f), kEncodeSteps - 1))];
            to[1] = tables.encoded[size_t(std::min(int(sg * scale + 0.5f), kEncodeSteps - 1))];
            to[2] = tables.encoded[size_t(std::min(int(sb * scale + 0.5f), kEncodeSteps - 1))];
            to[3] = in.channels == 4 ? alphaLevel(std::min<unsigned>(s[3], maximum), maximum) : 255;
        }
    }
}

}  // namespace

void hdrToSdr(const HdrSamples& in, HdrTransfer transfer, const std::array<float, 9>& toSrgb, std::uint8_t* out,
              std::ptrdiff_t outStride)
{
    const unsigned maximum = (1u << in.bits) - 1;
    Tables tables;
    tables.decoded.resize(maximum + 1);
    for (unsigned code = 0; code <= maximum; ++code)
        tables.decoded[code] = transfer == HdrTransfer::Pq
                                   ? float(pqLight(double(code) / maximum) / kHdrReferenceWhite)
                                   : float(hlgSceneLight(double(code) / maximum));
    if (transfer == HdrTransfer::Hlg) {
        tables.system.resize(kEncodeSteps);
        for (int i = 0; i < kEncodeSteps; ++i)
            tables.system[size_t(i)] =
                float(kHlgPeak * std::pow(double(i) / (kEncodeSteps - 1), kHlgGammaLess1) / kHdrReferenceWhite);
    }
    tables.encoded.resize(kEncodeSteps);
    for (int i = 0; i < kEncodeSteps; ++i)
        tables.encoded[size_t(i)] = level(srgbEncoded(double(i) / (kEncodeSteps - 1)));
    if (in.bits == 8)
        mapRows<std::uint8_t>(in, transfer, toSrgb, tables, out, outStride);
    else
        mapRows<std::uint16_t>(in, transfer, toSrgb, tables, out, outStride);
}
