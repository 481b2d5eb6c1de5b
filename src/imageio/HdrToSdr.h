#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A decoded high-dynamic-range picture: interleaved RGB or RGBA samples of `bits`
// bits (8 to 16), a byte each at 8 bits, else a 16-bit word each in the
// machine's byte order; full range, alpha not premultiplied; rows top to bottom,
// `stride` bytes apart.
struct HdrSamples {
    const std::uint8_t* data = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
    int channels = 3;
    int bits = 10;
};

enum class HdrTransfer { Pq, Hlg };

// The light of graphics white (BT.2408), and the display light up to which the
// picture's light is kept as it is.
inline constexpr double kHdrReferenceWhite = 203.0;  // cd/m²
inline constexpr double kHdrKnee = 0.6;

// The tone curve: light relative to the reference white (1) to display light
// from 0 to 1. Kept as it is up to the knee, above it rolled off towards 1 as
// t / (1 + t) (t the light past the knee in units of the room left above it),
// which meets the straight part at the same slope and never reaches 1: the
// reference white lands at 0.8 (sRGB 231), 1000 cd/m² at 0.966 (251).
double hdrToneCurve(double relativeLight);

// Maps a PQ or HLG picture to 8-bit sRGB, RGBX8888 (RGBA8888, alpha straight, for
// four channels), `outStride` bytes a row. Each pixel: its code values decoded
// to light in cd/m² (HLG through its system gamma 1.2 for a display of 1000
// cd/m²), divided by the reference white, turned into sRGB's primaries by
// `toSrgb` (see rgbToRgbMatrix; light outside sRGB cut at 0), its largest channel
// through hdrToneCurve and the other two scaled by the same factor (hue and
// saturation kept, nothing cut at white), then sRGB encoded. Tables for the
// decoding and the encoding; within one level of hdrToSdrStraightforward.
void hdrToSdr(const HdrSamples& in, HdrTransfer transfer, const std::array<float, 9>& toSrgb, std::uint8_t* out,
              std::ptrdiff_t outStride);

// The same, every sample through the formulas in double precision.
void hdrToSdrStraightforward(const HdrSamples& in, HdrTransfer transfer, const std::array<float, 9>& toSrgb,
                             std::uint8_t* out, std::ptrdiff_t outStride);
