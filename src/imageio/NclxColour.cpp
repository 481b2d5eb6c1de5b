#include "imageio/NclxColour.h"

#include <QList>
#include <QPointF>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

using Matrix = std::array<double, 9>;

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix m{};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            for (int k = 0; k < 3; ++k)
                m[row * 3 + column] += a[row * 3 + k] * b[k * 3 + column];
    return m;
}

Matrix inverse(const Matrix& m)
{
    const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
            (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
            (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

std::array<double, 3> transformed(const Matrix& m, const std::array<double, 3>& v)
{
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

std::array<double, 3> xyzOf(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

// Linear RGB to CIE XYZ (Y of the white 1).
Matrix rgbToXyz(const Chromaticities& c)
{
    const auto r = xyzOf(c.rx, c.ry), g = xyzOf(c.gx, c.gy), b = xyzOf(c.bx, c.by);
    const Matrix primaries{r[0], g[0], b[0], r[1], g[1], b[1], r[2], g[2], b[2]};
    const auto s = transformed(inverse(primaries), xyzOf(c.wx, c.wy));
    Matrix m = primaries;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            m[row * 3 + column] *= s[column];
    return m;
}

// XYZ under one white to XYZ under another (Bradford).
Matrix adaptation(double fromX, double fromY, double toX, double toY)
{
    const Matrix bradford{0.8951, 0.2664, -0.1614, -0.7502, 1.7135, 0.0367, 0.0389, -0.0685, 1.0296};
    const auto from = transformed(bradford, xyzOf(fromX, fromY));
    const auto to = transformed(bradford, xyzOf(toX, toY));
    const Matrix scale{to[0] / from[0], 0, 0, 0, to[1] / from[1], 0, 0, 0, to[2] / from[2]};
    return multiply(inverse(bradford), multiply(scale, bradford));
}

// The BT.709 camera curve decoded (also BT.601's, BT.2020's and, over 0 to 1,
// xvYCC's and BT.1361's): code value to linear light.
double bt709Decoded(double v) { return v < 4.5 * 0.018 ? v / 4.5 : std::pow((v + 0.099) / 1.099, 1.0 / 0.45); }

double smpte240Decoded(double v) { return v < 4.0 * 0.0228 ? v / 4.0 : std::pow((v + 0.1115) / 1.1115, 1.0 / 0.45); }

// The decoding of `transfer` as Qt's table (4096 steps from code 0 to 1).
QList<std::uint16_t> transferTable(const std::function<double(double)>& decoded)
{
    constexpr int kSteps = 4096;
    QList<std::uint16_t> table(kSteps);
    for (int i = 0; i < kSteps; ++i) {
        const double linear = std::clamp(decoded(double(i) / (kSteps - 1)), 0.0, 1.0);
        table[i] = std::uint16_t(std::lround(linear * 65535.0));
    }
    return table;
}

}  // namespace

std::optional<Chromaticities> nclxPrimaries(int colourPrimaries)
{
    constexpr double kD65x = 0.3127, kD65y = 0.3290;
    constexpr double kCx = 0.310, kCy = 0.316;  // illuminant C
    switch (colourPrimaries) {
    case 1:                                                                        // BT.709
    case 2: return kSrgbPrimaries;                                                 // unspecified
    case 4: return Chromaticities{0.67, 0.33, 0.21, 0.71, 0.14, 0.08, kCx, kCy};    // BT.470 M
    case 5: return Chromaticities{0.64, 0.33, 0.29, 0.60, 0.15, 0.06, kD65x, kD65y}; // BT.470 B/G
    case 6:                                                                        // BT.601 (SMPTE 170M)
    case 7: return Chromaticities{0.630, 0.340, 0.310, 0.595, 0.155, 0.070, kD65x, kD65y};  // SMPTE 240M
    case 8: return Chromaticities{0.681, 0.319, 0.243, 0.692, 0.145, 0.049, kCx, kCy};      // generic film
    case 9: return Chromaticities{0.708, 0.292, 0.170, 0.797, 0.131, 0.046, kD65x, kD65y};  // BT.2020, BT.2100
    case 11: return Chromaticities{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.314, 0.351}; // DCI-P3
    case 12: return Chromaticities{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, kD65x, kD65y}; // Display P3
    case 22: return Chromaticities{0.630, 0.340, 0.295, 0.605, 0.155, 0.077, kD65x, kD65y}; // EBU 3213
    default: return std::nullopt;                                                  // reserved, CIE XYZ (10)
    }
}

QColorSpace nclxColourSpace(int colourPrimaries, int transferCharacteristics)
{
    const std::optional<Chromaticities> primaries = nclxPrimaries(colourPrimaries);
    if (!primaries)
        return QColorSpace();
    const bool srgbPrimaries = colourPrimaries == 1 || colourPrimaries == 2;
    const QPointF white(primaries->wx, primaries->wy), red(primaries->rx, primaries->ry),
        green(primaries->gx, primaries->gy), blue(primaries->bx, primaries->by);
    const auto withCurve = [&](QColorSpace::TransferFunction curve, float gamma = 0.0f) {
        if (srgbPrimaries)
            return QColorSpace(QColorSpace::Primaries::SRgb, curve, gamma);
        if (colourPrimaries == 12)
            return QColorSpace(QColorSpace::Primaries::DciP3D65, curve, gamma);
        return QColorSpace(white, red, green, blue, curve, gamma);
    };
    // Given as a curve first: Qt's constructor from points and a table makes an
    // invalid colour space.
    const auto withTable = [&](const std::function<double(double)>& decoded) {
        return withCurve(QColorSpace::TransferFunction::Linear).withTransferFunction(transferTable(decoded));
    };
    switch (transferCharacteristics) {
    case 1:   // BT.709
    case 6:   // BT.601
    case 11:  // IEC 61966-2-4 (xvYCC)
    case 12:  // BT.1361
    case 14:  // BT.2020, 10 bits
    case 15:  // BT.2020, 12 bits
        return withTable(bt709Decoded);
    case 2:   // unspecified
    case 13:  // sRGB
        return withCurve(QColorSpace::TransferFunction::SRgb);
    case 4: return withCurve(QColorSpace::TransferFunction::Gamma, 2.2f);  // BT.470 M
    case 5: return withCurve(QColorSpace::TransferFunction::Gamma, 2.8f);  // BT.470 B/G
    case 7: return withTable(smpte240Decoded);
    case 8: return withCurve(QColorSpace::TransferFunction::Linear);
    case 9: return withTable([](double v) { return v <= 0.0 ? 0.0 : std::pow(10.0, 2.0 * (v - 1.0)); });
    case 10: return withTable([](double v) { return v <= 0.0 ? 0.0 : std::pow(10.0, 2.5 * (v - 1.0)); });
    default: return QColorSpace();  // reserved, PQ, HLG, SMPTE ST 428
    }
}

std::array<float, 9> rgbToRgbMatrix(const Chromaticities& from, const Chromaticities& to)
{
    Matrix m = rgbToXyz(from);
    if (from.wx != to.wx || from.wy != to.wy)
        m = multiply(adaptation(from.wx, from.wy, to.wx, to.wy), m);
    m = multiply(inverse(rgbToXyz(to)), m);
    std::array<float, 9> out{};
    for (int i = 0; i < 9; ++i)
        out[i] = float(m[i]);
    return out;
}
