// libFuzzer target for the project file reader. Any input must decode cleanly or
// fail with a reason; a decoded project must satisfy every invariant the canvas
// relies on and encode back to the bytes it came from.
//
// Build and run (clang; work on a copy of the seed corpus so that it stays small):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCHARCOLINO_BUILD_FUZZERS=ON \
//       -DCHARCOLINO_BUILD_TESTS=OFF -DCHARCOLINO_BUILD_BENCHMARKS=OFF
//   cmake --build build-fuzz --target fuzz_project_file
//   corpus=$(mktemp -d) && cp fuzz/corpus/project/* "$corpus"
//   build-fuzz/fuzz_project_file -max_total_time=600 -max_len=5000000 "$corpus"
// Every input that ever failed goes into tests/fuzz-regressions/, which
// ProjectFuzzRegressionTest runs through the decoder and the canvas.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "canvas/ProjectCodec.h"
#include "canvas/ThumbnailGeometry.h"

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkDecoded(const std::uint8_t* data, std::size_t size, const ProjectCodec::Project& project)
{
    using namespace ProjectCodec;
    const Header& h = project.header;
    require(checkHeader(h) == Error::None);
    require(h.width >= 1 && h.width <= kMaxSide && h.height >= 1 && h.height <= kMaxSide);
    const std::size_t n = imageBytes(h);
    require(n == std::size_t(h.width) * std::size_t(h.height) * 4 && n <= kMaxImageBytes);
    require(project.original.size() == n && project.working.size() == n);
    require(fileSize(h) <= size);

    const PictureExtent extent = pictureExtent(h);
    require(extent.columns >= 1 && extent.columns <= h.width);
    require(extent.rows >= 1 && extent.rows <= h.height);
    require(float(extent.columns - 1) < h.picsize.width && float(extent.rows - 1) < h.picsize.height);

    const ThumbnailGeometry::PixelSize thumb = ThumbnailGeometry::pixelSize(h.picsize);
    require(thumb.width >= 1 && thumb.width <= 80 && thumb.height >= 1 && thumb.height <= 80);

    const std::vector<std::uint8_t> again = encodeProject(h, project.original.data(), project.working.data());
    require(again.size() == fileSize(h));
    require(std::memcmp(again.data(), data, again.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ProjectCodec;

    const auto time = saveTimeText(data, size);
    require(time.has_value() == (size >= kSaveTimeLength));
    if (time)
        require(time->size() == kSaveTimeLength && std::memcmp(time->data(), data, kSaveTimeLength) == 0);

    Header header;
    const Error headerError = decodeHeader(data, size, &header);
    Project project;
    const Error projectError = decodeProject(data, size, &project);
    if (headerError != Error::None) {
        require(projectError == headerError);
        return 0;
    }
    require(projectError == Error::None || projectError == Error::ShortPixelData);
    require((projectError == Error::None) == (size >= fileSize(header)));
    if (projectError == Error::None)
        checkDecoded(data, size, project);
    return 0;
}
