// libFuzzer target for HEIC and AVIF photos, from the file's bytes to the
// sketches, through the HEIF module (libheif and libavcodec, loaded from beside
// the fuzzer) as the program takes them:
//  - readImportFile reads the file, or fails with a one-line reason;
//  - read again, the file gives the same picture, pixel for pixel, and the same
//    warning (no memory the decoder left unwritten, no race among its threads);
//  - the picture is upright, at most 1024 a side, and the fast filter makes of it
//    what the straightforward one makes, byte for byte.
//
// Build and run (see scripts/fuzz):
//   build-fuzz/fuzz_heif_import -max_total_time=600 -max_len=65536 -timeout=30 <copy of fuzz/corpus/heif>
// Every input that ever failed goes into tests/fuzz-regressions/heif/, which
// HeifFuzzRegressionTest runs through the same steps.
#include <QFile>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzEnvironment.h"
#include "project/ImportFile.h"
#include "filter/SketchFilter.h"
#include "project/UprightImage.h"
#include "imageio/PictureUnpack.h"

namespace {

QString inputPath;

// Black and colour sketches after `filter` ran on buffers of junk.
std::vector<std::uint8_t> sketches(void (*filter)(const SketchBuffers&), const UnpackedPicture& p)
{
    const std::size_t n = std::size_t(p.width) * p.height * 4;
    std::vector<std::uint8_t> out(2 * n);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::uint8_t(i * 151 + 17);
    filter(SketchBuffers{p.buffer.get(), nullptr, out.data(), out.data() + n, int(p.width), int(p.height),
                         p.imageSize});
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::start();
    inputPath = FuzzEnvironment::scratchPath(QStringLiteral("input.heic"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzEnvironment::writeInput(inputPath, data, size);
    const ImageFileResult read = readImportFile(inputPath);
    if (!read.ok()) {
        FUZZ_REQUIRE(!read.error.isEmpty());
        FUZZ_REQUIRE(!read.error.contains(QLatin1Char('\n')) && read.error == read.error.trimmed());
        FUZZ_REQUIRE(!read.error.endsWith(QLatin1Char(':')));
        return 0;
    }
    const QImage& bitmap = read.image.bitmap;
    FUZZ_REQUIRE(read.image.orientation == ImageOrientationUp);
    FUZZ_REQUIRE(bitmap.width() >= 1 && bitmap.width() <= kImportMaxSide);
    FUZZ_REQUIRE(bitmap.height() >= 1 && bitmap.height() <= kImportMaxSide);
    FUZZ_REQUIRE(!read.warning.contains(QLatin1Char('\n')));

    const ImageFileResult again = readImportFile(inputPath);
    FUZZ_REQUIRE(again.ok());
    FUZZ_REQUIRE(again.warning == read.warning);
    FUZZ_REQUIRE(again.image.bitmap.size() == bitmap.size() && again.image.bitmap.format() == bitmap.format());
    FUZZ_REQUIRE(again.image.bitmap == bitmap);

    const Image upright = uprightImage(read.image);
    FUZZ_REQUIRE(upright.bitmap.size() == bitmap.size());
    const UnpackedPicture unpacked = unpackPicture(upright.bitmap);
    FUZZ_REQUIRE(unpacked.buffer);
    FUZZ_REQUIRE(sketches(buildSketch, unpacked) == sketches(buildSketchReference, unpacked));
    return 0;
}
