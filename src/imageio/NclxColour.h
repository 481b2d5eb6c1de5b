#pragma once

#include <QColorSpace>
#include <array>
#include <optional>

// The chromaticities (CIE xy) of three RGB primaries and their white.
struct Chromaticities {
    double rx, ry, gx, gy, bx, by, wx, wy;
};

// The colour primaries and transfer_characteristics codes of ITU-T H.273, as an
// nclx box or a coded stream gives them (2: unspecified).
struct NclxCodes {
    int primaries = 2;
    int transfer = 2;
};

// sRGB's (and BT.709's) primaries, white D65.
inline constexpr Chromaticities kSrgbPrimaries{0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};

// The primaries of an ITU-T H.273 colour_primaries code (a HEIF nclx box, an AV1
// or HEVC stream's colour description). Unspecified (2) is sRGB's. Empty for a
// reserved code and for CIE XYZ (10), which no RGB primaries stand for.
std::optional<Chromaticities> nclxPrimaries(int colourPrimaries);

// The high-dynamic-range transfer_characteristics codes: PQ (16) and HLG (18).
inline constexpr int kTransferPq = 16;
inline constexpr int kTransferHlg = 18;
inline bool isHdrTransfer(int transferCharacteristics)
{
    return transferCharacteristics == kTransferPq || transferCharacteristics == kTransferHlg;
}

// The colour space of nclx primaries and a standard-dynamic-range transfer, for Qt
// to convert: the BT.709 camera curve and its kin, SMPTE 240M's and the log curves
// as a table of their decoding (code value to linear light), the gamma ones as
// gammas. Unspecified (2) is sRGB's. Invalid when either code cannot be expressed:
// a reserved code, CIE XYZ primaries, PQ or HLG (mapped apart, see HdrToSdr), and
// SMPTE ST 428's transfer, whose light runs above the white.
QColorSpace nclxColourSpace(int colourPrimaries, int transferCharacteristics);

// Linear light in one set of primaries to linear light in another, the whites
// matched by a Bradford adaptation when they differ: a row-major 3 x 3 matrix
// (r, g, b in; each row one channel out).
std::array<float, 9> rgbToRgbMatrix(const Chromaticities& from, const Chromaticities& to);
