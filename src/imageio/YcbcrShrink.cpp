#include "imageio/YcbcrShrink.h"

#include <algorithm>
#include <vector>

namespace {

struct Coefficients {
    float rCr, gCb, gCr, bCb;
    float yScale, yOffset, cScale;
};

Coefficients coefficients(const YcbcrMatrix& m)
{
    const float kg = 1.0f - m.kr - m.kb;
    Coefficients c{2.0f * (1.0f - m.kr), -2.0f * m.kb * (1.0f - m.kb) / kg, -2.0f * m.kr * (1.0f - m.kr) / kg,
                   2.0f * (1.0f - m.kb), 1.0f, 0.0f, 1.0f};
    if (!m.fullRange) {
        c.yScale = 255.0f / 219.0f;
        c.yOffset = 16.0f;
        c.cScale = 255.0f / 224.0f;
    }
    return c;
}

std::uint8_t channel(float v) { return std::uint8_t(std::clamp(v, 0.0f, 255.0f) + 0.5f); }

// Y, Cb and Cr as floats (samples or means of samples) to one RGBX pixel.
void toRgbx(const Coefficients& c, float y, float cb, float cr, std::uint8_t* out)
{
    const float l = (y - c.yOffset) * c.yScale;
    const float u = (cb - 128.0f) * c.cScale;
    const float v = (cr - 128.0f) * c.cScale;
    out[0] = channel(l + c.rCr * v);
    out[1] = channel(l + c.gCb * u + c.gCr * v);
    out[2] = channel(l + c.bCb * u);
    out[3] = 255;
}

// Where box i of n over `size` samples starts.
int boxStart(int i, int size, int n) { return int(std::int64_t(i) * size / n); }

}  // namespace

std::optional<YcbcrMatrix> ycbcrMatrix(int matrixCoefficients, bool fullRange)
{
    switch (matrixCoefficients) {
    case 1: return YcbcrMatrix{0.2126f, 0.0722f, fullRange};        // BT.709
    case 2:                                                        // unspecified
    case 5:                                                        // BT.470 B/G
    case 6: return YcbcrMatrix{0.299f, 0.114f, fullRange};          // BT.601
    case 4: return YcbcrMatrix{0.30f, 0.11f, fullRange};            // FCC
    case 7: return YcbcrMatrix{0.212f, 0.087f, fullRange};          // SMPTE 240M
    case 9:
    case 10: return YcbcrMatrix{0.2627f, 0.0593f, fullRange};       // BT.2020
    default: return std::nullopt;
    }
}

void shrinkYcbcrToRgbx(const YcbcrPlanes& in, const YcbcrMatrix& matrix, std::uint8_t* out, std::ptrdiff_t outStride,
                       int outWidth, int outHeight)
{
    const Coefficients c = coefficients(matrix);
    const bool grey = !in.cb || !in.cr;
    const int chromaWidth = (in.width + (1 << in.shiftX) - 1) >> in.shiftX;
    // Column sums over the rows of one output row's boxes.
    std::vector<std::uint32_t> ySums(size_t(in.width));
    std::vector<std::uint32_t> cbSums(grey ? 0 : size_t(chromaWidth));
    std::vector<std::uint32_t> crSums(grey ? 0 : size_t(chromaWidth));
    for (int j = 0; j < outHeight; ++j) {
        const int y0 = boxStart(j, in.height, outHeight);
        const int y1 = boxStart(j + 1, in.height, outHeight);
        std::fill(ySums.begin(), ySums.end(), 0u);
        std::fill(cbSums.begin(), cbSums.end(), 0u);
        std::fill(crSums.begin(), crSums.end(), 0u);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = in.y + y * in.yStride;
            for (int x = 0; x < in.width; ++x)
                ySums[size_t(x)] += row[x];
            if (grey)
                continue;
            // A chroma row counts once for every luma row it stands for.
            const std::uint8_t* cbRow = in.cb + (y >> in.shiftY) * in.chromaStride;
            const std::uint8_t* crRow = in.cr + (y >> in.shiftY) * in.chromaStride;
            for (int x = 0; x < chromaWidth; ++x) {
                cbSums[size_t(x)] += cbRow[x];
                crSums[size_t(x)] += crRow[x];
            }
        }
        std::uint8_t* to = out + j * outStride;
        for (int i = 0; i < outWidth; ++i) {
            const int x0 = boxStart(i, in.width, outWidth);
            const int x1 = boxStart(i + 1, in.width, outWidth);
            std::uint64_t ySum = 0, cbSum = 0, crSum = 0;
            for (int x = x0; x < x1; ++x)
                ySum += ySums[size_t(x)];
            if (!grey)
                for (int x = x0; x < x1; ++x) {
                    cbSum += cbSums[size_t(x >> in.shiftX)];
                    crSum += crSums[size_t(x >> in.shiftX)];
                }
            const float count = float(std::int64_t(x1 - x0) * (y1 - y0));
            const float cb = grey ? 128.0f : float(cbSum) / count;
            const float cr = grey ? 128.0f : float(crSum) / count;
            toRgbx(c, float(ySum) / count, cb, cr, to + 4 * i);
        }
    }
}

void ycbcrToRgbx(const YcbcrPlanes& in, const YcbcrMatrix& matrix, std::uint8_t* rgbx, std::ptrdiff_t rgbxStride)
{
    const Coefficients c = coefficients(matrix);
    const bool grey = !in.cb || !in.cr;
    for (int y = 0; y < in.height; ++y) {
        const std::uint8_t* row = in.y + y * in.yStride;
        const std::uint8_t* cbRow = grey ? nullptr : in.cb + (y >> in.shiftY) * in.chromaStride;
        const std::uint8_t* crRow = grey ? nullptr : in.cr + (y >> in.shiftY) * in.chromaStride;
        for (int x = 0; x < in.width; ++x)
            toRgbx(c, row[x], grey ? 128.0f : cbRow[x >> in.shiftX], grey ? 128.0f : crRow[x >> in.shiftX],
                   rgbx + y * rgbxStride + 4 * x);
    }
}

void shrinkRgbx(const std::uint8_t* rgbx, std::ptrdiff_t rgbxStride, int width, int height, std::uint8_t* out,
                std::ptrdiff_t outStride, int outWidth, int outHeight)
{
    for (int j = 0; j < outHeight; ++j) {
        const int y0 = boxStart(j, height, outHeight);
        const int y1 = boxStart(j + 1, height, outHeight);
        for (int i = 0; i < outWidth; ++i) {
            const int x0 = boxStart(i, width, outWidth);
            const int x1 = boxStart(i + 1, width, outWidth);
            std::uint64_t sums[3] = {};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    for (int k = 0; k < 3; ++k)
                        sums[k] += rgbx[y * rgbxStride + 4 * x + k];
            const std::uint64_t count = std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0);
            for (int k = 0; k < 3; ++k)
                out[j * outStride + 4 * i + k] = std::uint8_t((sums[k] + count / 2) / count);
            out[j * outStride + 4 * i + 3] = 255;
        }
    }
}
