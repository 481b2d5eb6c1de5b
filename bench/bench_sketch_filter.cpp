// The pencil sketch filter on a real 1024x1024 photo: the straightforward version,
// the fast one on one core and on all of them, beside the floor of the memory
// traffic it needs (read 4 bytes a pixel, write 12) moved on the same threads, and
// a plain copy of the 16 MiB (four 4 MiB buffers) that the filter touches. The
// CPU column of the runs on several threads is the whole process's: on a busy
// machine, where wall time waits for a free core, it still compares the work.
//
// BM_DivisionsOnly times the filter's four divisions a pixel alone on the same
// threads: the part of the filter no other work can hide.
//
// The 16 MiB stay in the last-level cache from one iteration to the next; the Cold
// variants empty the caches before each iteration, outside the timing, as after a
// photo has just been decoded or a project read.
#include <benchmark/benchmark.h>

#include <QImage>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <immintrin.h>
#include <thread>
#include <vector>

#include "filter/FilterThreads.h"
#include "filter/SketchFilter.h"

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
BENCHMARK(BM_SketchFast)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

int coresUsed()
{
    return int(std::max(1u, std::min(4u, std::thread::hardware_concurrency())));
}

// Runs part(t) for t in 0 .. threads - 1 at the same time, on threads kept parked
// between runs as the filter's are.
void onThreads(int threads, const std::function<void(int)>& part)
{
    static FilterThreads parked;
    std::atomic<int> next{0};
    parked.run(threads - 1, [&] { part(next.fetch_add(1, std::memory_order_relaxed)); });
}

// Empties the caches of every core the runs use by reading 128 MiB (four times
// the last-level cache), a share on each thread. Reading only: the dirty lines of
// the last iteration are written back here, not in the timed part.
void emptyCaches()
{
    constexpr std::size_t kWords = (std::size_t(128) << 20) / sizeof(std::uint64_t);
    static const std::vector<std::uint64_t> sweep(kWords, 1);
    const int threads = coresUsed();
    onThreads(threads, [threads](int t) {
        std::uint64_t sum = 0;
        for (std::size_t i = kWords * t / threads, end = kWords * (t + 1) / threads; i < end; i += 8)
            sum += sweep[i];  // one word a cache line is enough
        benchmark::DoNotOptimize(sum);
    });
}

// Runs `body` once per iteration with the caches emptied before it.
template <typename Body>
void runCold(benchmark::State& state, Body body)
{
    for (auto _ : state) {
        state.PauseTiming();
        emptyCaches();
        state.ResumeTiming();
        body();
        benchmark::ClobberMemory();
    }
}

void BM_SketchFastCold(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    runCold(state, [&] {
        buildSketch(buffers);
        benchmark::DoNotOptimize(buffers.color);
    });
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_SketchFastCold)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(60);

void BM_SketchFastOneCore(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    for (auto _ : state) {
        buildSketchOnThreads(buffers, 1);
        benchmark::DoNotOptimize(buffers.color);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_SketchFastOneCore)->Unit(benchmark::kMillisecond)->UseRealTime();

// The portable row loops, which processors without AVX2 run, on one core.
void BM_SketchPortableOneCore(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    setSketchRowLoops(SketchRowLoops::Portable);
    for (auto _ : state) {
        buildSketchOnThreads(buffers, 1);
        benchmark::DoNotOptimize(buffers.color);
        benchmark::ClobberMemory();
    }
    setSketchRowLoops(SketchRowLoops::Fastest);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_SketchPortableOneCore)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rows [first, end): each pixel's 4 bytes read, 12 bytes written (a grey byte's
// cache line and the two sketches), with as little work as the compiler allows.
void moveRows(const SketchBuffers& b, int first, int end)
{
    const std::size_t from = std::size_t(first) * kSide, to = std::size_t(end) * kSide;
    const auto* __restrict in = reinterpret_cast<const std::uint32_t*>(b.original);
    auto* __restrict working = reinterpret_cast<std::uint32_t*>(b.working);
    auto* __restrict black = reinterpret_cast<std::uint32_t*>(b.black);
    auto* __restrict color = reinterpret_cast<std::uint32_t*>(b.color);
    for (std::size_t i = from; i < to; ++i) {
        const std::uint32_t px = in[i];
        working[i] = px;
        black[i] = px ^ 0x00ffffffu;
        color[i] = px + 0x010101u;
    }
}

// The filter's memory traffic and nothing else, split between the calling thread
// and one more for each further core, as the filter does.
void moveAllRows(const SketchBuffers& buffers)
{
    const int threads = coresUsed();
    onThreads(threads, [&buffers, threads](int t) { moveRows(buffers, kSide * t / threads, kSide * (t + 1) / threads); });
    benchmark::DoNotOptimize(buffers.color);
}

void BM_TrafficFloor(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    for (auto _ : state) {
        moveAllRows(buffers);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSide) * kSide * 16);
}
BENCHMARK(BM_TrafficFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_TrafficFloorCold(benchmark::State& state)
{
    const SketchBuffers buffers = photoProject().buffers();
    runCold(state, [&] { moveAllRows(buffers); });
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSide) * kSide * 16);
}
BENCHMARK(BM_TrafficFloorCold)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(60);

// Rows [first, end): the filter's four exact divisions a pixel, eight pixels at a
// time in float on the divider as the AVX2 rows do, and nothing else worth naming
// (an add per quotient keeps the operands changing and the results used). A lower
// bound for the filter on this processor, printed beside the traffic floor.
__attribute__((target("avx2"))) float divideRows(int first, int end)
{
    __m256 numerators[4], sums[4];
    const __m256 step = _mm256_set1_ps(1.0f);
    const __m256 divisor = _mm256_setr_ps(1, 2, 3, 5, 7, 11, 13, 17);
    for (int j = 0; j < 4; ++j) {
        numerators[j] = _mm256_set1_ps(float(256 * j));
        sums[j] = _mm256_setzero_ps();
    }
    for (std::size_t i = std::size_t(first) * kSide, to = std::size_t(end) * kSide; i < to; i += 8) {
        for (int j = 0; j < 4; ++j) {
            sums[j] = _mm256_add_ps(sums[j], _mm256_div_ps(numerators[j], divisor));
            numerators[j] = _mm256_add_ps(numerators[j], step);
        }
    }
    const __m256 all = _mm256_add_ps(_mm256_add_ps(sums[0], sums[1]), _mm256_add_ps(sums[2], sums[3]));
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, all);
    return lanes[0] + lanes[7];
}

void BM_DivisionsOnly(benchmark::State& state)
{
    if (!__builtin_cpu_supports("avx2")) {
        state.SkipWithError("no AVX2");
        return;
    }
    const int threads = coresUsed();
    for (auto _ : state) {
        onThreads(threads, [threads](int t) {
            benchmark::DoNotOptimize(divideRows(kSide * t / threads, kSide * (t + 1) / threads));
        });
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_DivisionsOnly)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

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
