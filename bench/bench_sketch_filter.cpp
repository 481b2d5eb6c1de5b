// The pencil sketch filter on a real 1024x1024 photo: the straightforward version,
// the fast one, and a plain copy of the 16 MiB (four 4 MiB buffers) that the
// filter has to touch, side by side in one run.
#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "canvas/SketchFilter.h"

namespace {

constexpr int kSide = 1024;
constexpr std::size_t kBufferBytes = std::size_t(kSide) * kSide * 4;

struct Project {
    std::vector<std::uint8_t> original = std::vector<std::uint8_t>(kBufferBytes);
    std::vector<std::uint8_t> working = std::vector<std::uint8_t>(kBufferBytes);
    std::vector<std::uint8_t> black = std::vector<std::uint8_t>(kBufferBytes);
    std::vector<std::uint8_t> color = std::vector<std::uint8_t>(kBufferBytes);

    SketchBuffers buffers()
    {
        return SketchBuffers{original.data(), working.data(), black.data(), color.data(),
                             kSide,           kSide,          FloatSize{float(kSide), float(kSide)}};
    }
};

Project& photoProject()
{
    static Project* project = [] {
        const QImage photo = QImage(QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo1024.png"))
                                 .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        if (photo.width() != kSide || photo.height() != kSide) {
            std::fprintf(stderr, "bench/photos/photo1024.png is missing or not 1024x1024\n");
            std::exit(1);
        }
        auto* p = new Project;
        for (int y = 0; y < kSide; ++y)
            std::memcpy(p->original.data() + std::size_t(y) * kSide * 4, photo.constScanLine(y), kSide * 4);
        return p;
    }();
    return *project;
}

void BM_SketchReference(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    for (auto _ : state) {
        buildSketchReference(buffers);
        benchmark::DoNotOptimize(buffers.color);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_SketchReference)->Unit(benchmark::kMillisecond);

void BM_SketchFast(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    for (auto _ : state) {
        buildSketch(buffers);
        benchmark::DoNotOptimize(buffers.color);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_SketchFast)->Unit(benchmark::kMillisecond);

void BM_Copy16MiB(benchmark::State& state)
{
    std::vector<std::uint8_t> from(4 * kBufferBytes, 1);
    std::vector<std::uint8_t> to(4 * kBufferBytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(from.size()));
}
BENCHMARK(BM_Copy16MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
