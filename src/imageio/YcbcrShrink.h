#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// A decoded YCbCr picture in planes: 8 bits a sample, the chroma planes at
// 1 / 2^shift of the luma plane's size along each axis (4:2:0 is 1, 1), a
// chroma sample standing for the luma samples it covers. No chroma planes: grey.
struct YcbcrPlanes {
    const std::uint8_t* y = nullptr;
    const std::uint8_t* cb = nullptr;
    const std::uint8_t* cr = nullptr;
    std::ptrdiff_t yStride = 0;
    std::ptrdiff_t chromaStride = 0;
    int width = 0;
    int height = 0;
    int shiftX = 1;
    int shiftY = 1;
};

// How YCbCr becomes RGB: the luma weights of red and blue, and whether the
// samples use the full 0-255 range or the video range (16-235, 16-240).
struct YcbcrMatrix {
    float kr = 0.299f;
    float kb = 0.114f;
    bool fullRange = true;
};

// The matrix for an ITU-T H.273 matrix_coefficients code (a HEIF nclx box);
// empty for the codes that are no plain weighting of red and blue (identity,
// YCgCo, chromaticity-derived, ICtCp). Unspecified is BT.601, the HEIF default.
std::optional<YcbcrMatrix> ycbcrMatrix(int matrixCoefficients, bool fullRange);

// Shrinks the picture to outWidth x outHeight (at most its own size) and converts
// it to RGBX8888 in one pass: each output pixel is the mean of the pixels in its
// box (whole pixels from x * width / outWidth up to the next one's start, the same
// along y), averaged in YCbCr and then converted.
void shrinkYcbcrToRgbx(const YcbcrPlanes& in, const YcbcrMatrix& matrix, std::uint8_t* out, std::ptrdiff_t outStride,
                       int outWidth, int outHeight);

// The straightforward way to the same picture: every pixel converted to RGBX8888
// at full size (`rgbx`, width x height), then box-averaged in RGB.
void ycbcrToRgbx(const YcbcrPlanes& in, const YcbcrMatrix& matrix, std::uint8_t* rgbx, std::ptrdiff_t rgbxStride);
void shrinkRgbx(const std::uint8_t* rgbx, std::ptrdiff_t rgbxStride, int width, int height, std::uint8_t* out,
                std::ptrdiff_t outStride, int outWidth, int outHeight);
