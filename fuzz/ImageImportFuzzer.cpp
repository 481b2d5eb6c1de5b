// libFuzzer target for photo import, from the file's bytes to the sketches. Each
// input is written to a file and taken the way a new project takes a photo:
//  - readImportFile reads it, or fails with a reason;
//  - uprightImage turns it upright: RGBA premultiplied, at most 1024 a side, and
//    (when it was decoded at its stored size) the same pixels as Qt's own
//    automatic orientation gives;
//  - unpackPicture lays it into a cleared power-of-two buffer;
//  - buildSketch makes the sketches, byte for byte what buildSketchReference
//    makes, with and without the grey scratch, and neither writes a byte outside
//    the picture.
//
// Build and run (clang; work on a copy of the seed corpus so that it stays small):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCHARCOLINO_BUILD_FUZZERS=ON \
//       -DCHARCOLINO_BUILD_TESTS=OFF -DCHARCOLINO_BUILD_BENCHMARKS=OFF
//   cmake --build build-fuzz --target fuzz_image_import
//   corpus=$(mktemp -d) && cp fuzz/corpus/image/* "$corpus"
//   build-fuzz/fuzz_image_import -max_total_time=600 -max_len=65536 -timeout=30 "$corpus"
// Every input that ever failed goes into tests/fuzz-regressions/image/, which
// ImageFuzzRegressionTest runs through the same steps.
#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzEnvironment.h"
#include "project/ImportFile.h"
#include "project/OrientPixels.h"
#include "filter/SketchFilter.h"
#include "project/UprightImage.h"
#include "gl/Texture2D.h"
#include "imageio/ExifOrientation.h"
#include "imageio/PictureUnpack.h"

namespace {

QString inputPath;

// What Qt makes of the file with its own automatic orientation, in the upright
// picture's pixel format and colour space.
QImage qtUpright(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.isNull())
        return picture;
    if (picture.colorSpace().isValid() && picture.colorSpace() != QColorSpace::SRgb)
        picture.convertToColorSpace(QColorSpace::SRgb);
    return picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

bool samePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const std::size_t rowBytes = std::size_t(a.width()) * std::size_t(a.depth() / 8);
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), rowBytes) != 0)
            return false;
    return true;
}

void checkUpright(const Image& read, const Image& upright, bool complete)
{
    const QImage& bitmap = upright.bitmap;
    FUZZ_REQUIRE(upright.orientation == ImageOrientationUp);
    FUZZ_REQUIRE(bitmap.format() == QImage::Format_RGBA8888_Premultiplied);
    QSize expected = read.bitmap.size();
    if (orientationSwapsSides(read.orientation))
        expected.transpose();
    FUZZ_REQUIRE(bitmap.size() == expected);
    FUZZ_REQUIRE(bitmap.width() <= kImportMaxSide && bitmap.height() <= kImportMaxSide);

    // Decoded at its stored size, the picture is exactly what Qt shows of it. Qt's
    // readers leave the EXIF chunk of a PNG or WebP alone, the import turns by it:
    // such a picture is compared elsewhere (with the same photo as an oriented JPEG).
    // Nor is a picture cut short compared: Qt leaves the rest as the heap held it,
    // the import makes it grey.
    QFile file(inputPath);
    const bool orientationQtIgnores =
        file.open(QIODevice::ReadOnly) && ExifOrientation::ofPngOrWebp(file) != QImageIOHandler::TransformationNone;
    if (complete && QImageReader(inputPath).size() == read.bitmap.size() && !orientationQtIgnores)
        FUZZ_REQUIRE(samePixels(bitmap, qtUpright(inputPath)));
}

void checkUnpacked(const QImage& bitmap, const UnpackedPicture& unpacked)
{
    FUZZ_REQUIRE(unpacked.buffer);
    FUZZ_REQUIRE(unpacked.pixelFormat == Texture2D::RGBA8888);
    FUZZ_REQUIRE(unpacked.width == texturePowerOfTwo(std::uint32_t(bitmap.width())));
    FUZZ_REQUIRE(unpacked.height == texturePowerOfTwo(std::uint32_t(bitmap.height())));
    FUZZ_REQUIRE(unpacked.imageSize.width == float(bitmap.width()) &&
                 unpacked.imageSize.height == float(bitmap.height()));
    const std::size_t rowBytes = std::size_t(unpacked.width) * 4;
    const std::size_t pictureBytes = std::size_t(bitmap.width()) * 4;
    const std::uint8_t* buffer = unpacked.buffer.get();
    for (std::uint32_t y = 0; y < unpacked.height; ++y) {
        const std::uint8_t* row = buffer + rowBytes * y;
        const bool inPicture = y < std::uint32_t(bitmap.height());
        if (inPicture)
            FUZZ_REQUIRE(std::memcmp(row, bitmap.constScanLine(int(y)), pictureBytes) == 0);
        for (std::size_t i = inPicture ? pictureBytes : 0; i < rowBytes; ++i)
            FUZZ_REQUIRE(row[i] == 0);
    }
}

// The bytes every filter buffer starts out with.
std::uint8_t junk(std::size_t i) { return std::uint8_t(i * 151 + 17); }

// Working, black and colour buffers after a filter run on buffers of junk.
struct FilterResult {
    std::vector<std::uint8_t> working, black, color;
    bool operator==(const FilterResult&) const = default;
};

FilterResult runFilter(void (*filter)(const SketchBuffers&), const UnpackedPicture& unpacked, bool greyScratch)
{
    const std::size_t n = std::size_t(unpacked.width) * unpacked.height * 4;
    FilterResult r;
    for (std::vector<std::uint8_t>* buffer : {&r.working, &r.black, &r.color}) {
        buffer->resize(n);
        for (std::size_t i = 0; i < n; ++i)
            (*buffer)[i] = junk(i);
    }
    filter(SketchBuffers{unpacked.buffer.get(), greyScratch ? r.working.data() : nullptr, r.black.data(),
                         r.color.data(), int(unpacked.width), int(unpacked.height), unpacked.imageSize});
    return r;
}

void checkSketches(const UnpackedPicture& unpacked)
{
    const FilterResult reference = runFilter(buildSketchReference, unpacked, true);
    FUZZ_REQUIRE(runFilter(buildSketch, unpacked, true) == reference);
    const FilterResult untouched = runFilter(buildSketchReference, unpacked, false);
    FUZZ_REQUIRE(untouched.black == reference.black && untouched.color == reference.color);
    FUZZ_REQUIRE(runFilter(buildSketch, unpacked, false) == untouched);

    // Nothing outside the picture was written.
    const std::size_t rowBytes = std::size_t(unpacked.width) * 4;
    const std::size_t pictureBytes = std::size_t(unpacked.imageSize.width) * 4;
    for (std::size_t y = 0; y < unpacked.height; ++y) {
        const std::size_t from = y * rowBytes + (y < std::size_t(unpacked.imageSize.height) ? pictureBytes : 0);
        for (std::size_t i = from; i < (y + 1) * rowBytes; ++i)
            FUZZ_REQUIRE(reference.black[i] == junk(i) && reference.color[i] == junk(i) &&
                         reference.working[i] == junk(i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::start();
    inputPath = FuzzEnvironment::scratchPath(QStringLiteral("input"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzEnvironment::writeInput(inputPath, data, size);
    const ImageFileResult read = readImportFile(inputPath);
    if (!read.ok()) {
        FUZZ_REQUIRE(!read.error.isEmpty() && !read.error.endsWith(QStringLiteral(": ")));
        return 0;
    }
    FUZZ_REQUIRE(read.image.orientation >= ImageOrientationUp &&
                 read.image.orientation <= ImageOrientationRightMirrored);
    FUZZ_REQUIRE(read.image.bitmap.width() >= 1 && read.image.bitmap.width() <= kImportMaxSide);
    FUZZ_REQUIRE(read.image.bitmap.height() >= 1 && read.image.bitmap.height() <= kImportMaxSide);

    const Image upright = uprightImage(read.image);
    checkUpright(read.image, upright, read.warning.isEmpty());
    const UnpackedPicture unpacked = unpackPicture(upright.bitmap);
    checkUnpacked(upright.bitmap, unpacked);
    checkSketches(unpacked);
    return 0;
}
