// Loading a 1024 x 1024 project on a canvas with GL (read, both sketches, the four
// textures, the redraw) beside what it cannot avoid: reading the same file into
// memory, the four texture uploads and the sketch filter. The load reads the file
// on a thread of its own, band by band, while this thread uploads each band and
// then draws the picture; the filter starts on the original's bands as they come
// in, on the reader once it is through and on any further cores, and its bands go
// up as they are published. It should come close to the larger of the two chains:
// read + uploads, the filter. BM_LoadFloor times all of them in turn, each
// iteration, and reports that floor beside the load and their ratio. The load's
// CPU time is the whole process's, its threads included. Run from the
// build folder:
//   QT_QPA_PLATFORM=offscreen ./bench_project_load --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include "BenchmarkRunner.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "canvas/CanvasView.h"
#include "project/ProjectCodec.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "system/DocumentsDirectory.h"

namespace {

constexpr int kSide = 1024;
constexpr std::size_t kBufferBytes = std::size_t(kSide) * kSide * 4;

CanvasView* g_canvas = nullptr;
QString g_projectPath;
std::vector<std::uint8_t> g_original;

// The real photo when it is there, else a smooth picture with edges of its own.
std::vector<std::uint8_t> photoBuffer()
{
    std::vector<std::uint8_t> buffer(kBufferBytes);
    QImage photo(QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo1024.png"));
    if (photo.isNull()) {
        photo = QImage(kSide, kSide, QImage::Format_RGB32);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                photo.setPixel(x, y, qRgb((x * y / 61) & 255, (x + 3 * y) & 255, ((x ^ y) * 3) & 255));
    }
    photo = photo.scaled(kSide, kSide).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < kSide; ++y)
        std::memcpy(buffer.data() + std::size_t(y) * kSide * 4, photo.constScanLine(y), std::size_t(kSide) * 4);
    return buffer;
}

bool writeProject()
{
    g_original = photoBuffer();
    std::vector<std::uint8_t> working(g_original.rbegin(), g_original.rend());
    ProjectCodec::Header header;
    header.saveTime = ProjectCodec::formatSaveTime(2009, 6, 30, 17, 5, 42);
    header.width = kSide;
    header.height = kSide;
    header.picsize = FloatSize{float(kSide), float(kSide)};
    const std::vector<std::uint8_t> file = ProjectCodec::encodeProject(header, g_original.data(), working.data());
    g_projectPath = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(0));
    QSaveFile out(g_projectPath);
    return out.open(QIODevice::WriteOnly) &&
           out.write(reinterpret_cast<const char*>(file.data()), qint64(file.size())) == qint64(file.size()) &&
           out.commit();
}

// The whole project file into memory; false (and the benchmark skipped) when it
// cannot be opened.
bool readProjectFile(benchmark::State& state)
{
    QFile file(g_projectPath);
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("project file not readable");
        return false;
    }
    const QByteArray bytes = file.readAll();
    benchmark::DoNotOptimize(bytes.constData());
    return true;
}

// The whole file into memory, as any reader has to do.
void BM_ReadFile(benchmark::State& state)
{
    for (auto _ : state) {
        if (!readProjectFile(state))
            return;
    }
    state.SetBytesProcessed(state.iterations() * qint64(ProjectCodec::kMaxFileSize));
}

// The pencil sketch filter alone over the stored original, with its grey scratch
// in a working buffer as a new project runs it (the yardstick of the load), or
// with the greys kept to the filter, as the load runs it on its worker.
void runSketchFilter(benchmark::State& state, bool greyScratch)
{
    std::vector<std::uint8_t> working(kBufferBytes), black(kBufferBytes), color(kBufferBytes);
    const SketchBuffers buffers{g_original.data(), greyScratch ? working.data() : nullptr, black.data(),
                                color.data(),      kSide,
                                kSide,             FloatSize{float(kSide), float(kSide)}};
    for (auto _ : state) {
        buildSketch(buffers);
        benchmark::ClobberMemory();
    }
}

void BM_SketchFilter(benchmark::State& state) { runSketchFilter(state, true); }
void BM_SketchFilterOwnGrey(benchmark::State& state) { runSketchFilter(state, false); }

// LoadProject: read, sketches, textures, redraw.
void BM_LoadProject(benchmark::State& state)
{
    if (!g_canvas) {
        state.SkipWithError("no GL ES context");
        return;
    }
    for (auto _ : state) {
        if (!g_canvas->LoadProject(0)) {
            state.SkipWithError("load failed");
            return;
        }
    }
}

// The parts of the load beyond the read and the filter, one by one.
void BM_PartFreshBuffers(benchmark::State& state)
{
    if (!g_canvas) {
        state.SkipWithError("no GL ES context");
        return;
    }
    for (auto _ : state) {
        g_canvas->FreeBuff();
        g_canvas->PrepareBuff(true);
    }
    g_canvas->LoadProject(0);
}

// The four textures refilled from the buffers, as a load of the same size does.
void BM_PartTextures(benchmark::State& state)
{
    if (!g_canvas) {
        state.SkipWithError("no GL ES context");
        return;
    }
    for (auto _ : state) {
        g_canvas->ReloadFixTexture();
        g_canvas->ReloadCanvas();
    }
}

// For comparison with BM_PartTextures: four 1024 x 1024 textures made anew, as
// every load did before textures were refilled in place; the renderer allocates
// and clears fresh storage for each.
void BM_PartTexturesRemade(benchmark::State& state)
{
    if (!g_canvas) {
        state.SkipWithError("no GL ES context");
        return;
    }
    const FloatSize content{float(kSide), float(kSide)};
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i) {
            auto texture = Texture2D::initWithData(g_original.data(), Texture2D::RGBA8888, kSide, kSide, content);
            benchmark::DoNotOptimize(texture.get());
        }
        glFinish();
    }
}

void BM_PartRedraw(benchmark::State& state)
{
    if (!g_canvas) {
        state.SkipWithError("no GL ES context");
        return;
    }
    for (auto _ : state)
        g_canvas->UpdateScreen();
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// One iteration: the load, then its parts one after another (the read, the four
// uploads, the redraw, the filter), so a busy machine weighs on all alike. The
// time reported is the floor, max(read + uploads, filter); the counters give the
// load, the parts, and load / floor (also with the redraw counted on the read's
// side, as the load shows the picture), and the bound that the load's work puts
// on it: the parts' CPU time over the cores, against the floor.
void BM_LoadFloor(benchmark::State& state)
{
    if (!g_canvas) {
        state.SkipWithError("no GL ES context");
        return;
    }
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::vector<std::uint8_t> working(kBufferBytes), black(kBufferBytes), color(kBufferBytes);
    const SketchBuffers buffers{g_original.data(), working.data(), black.data(), color.data(), kSide, kSide,
                                FloatSize{float(kSide), float(kSide)}};
    double load = 0, read = 0, uploads = 0, redraw = 0, filter = 0, filterCpu = 0, floor = 0, floorWithRedraw = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!g_canvas->LoadProject(0)) {
            state.SkipWithError("load failed");
            return;
        }
        const auto t1 = Clock::now();
        if (!readProjectFile(state))
            return;
        const auto t2 = Clock::now();
        g_canvas->ReloadFixTexture();
        g_canvas->ReloadCanvas();
        const auto t3 = Clock::now();
        g_canvas->UpdateScreen();
        const auto t4 = Clock::now();
        const double filterCpu0 = processCpuMs();
        buildSketch(buffers);
        benchmark::ClobberMemory();
        const auto t5 = Clock::now();
        filterCpu += processCpuMs() - filterCpu0;
        const double chain = ms(t2 - t1) + ms(t3 - t2);
        const double iterationFloor = std::max(chain, ms(t5 - t4));
        state.SetIterationTime(iterationFloor / 1000.0);
        load += ms(t1 - t0);
        read += ms(t2 - t1);
        uploads += ms(t3 - t2);
        redraw += ms(t4 - t3);
        filter += ms(t5 - t4);
        floor += iterationFloor;
        floorWithRedraw += std::max(chain + ms(t4 - t3), ms(t5 - t4));
    }
    const double n = double(state.iterations());
    state.counters["load_ms"] = load / n;
    state.counters["read_ms"] = read / n;
    state.counters["uploads_ms"] = uploads / n;
    state.counters["redraw_ms"] = redraw / n;
    state.counters["filter_ms"] = filter / n;
    state.counters["load/floor"] = load / floor;
    state.counters["load/floor+redraw"] = load / floorWithRedraw;
    // The load's own work, read, uploads, redraw and the filter's CPU time, spread
    // evenly over the cores: no schedule of the load ends sooner.
    const double cores = std::max(1u, std::thread::hardware_concurrency());
    state.counters["work/cores/floor"] = (read + uploads + redraw + filterCpu) / cores / floor;
}

BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SketchFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SketchFilterOwnGrey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_PartFreshBuffers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PartTextures)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PartTexturesRemade)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PartRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFloor)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv)
{
    // A home of its own: the project goes into a Documents directory that is
    // thrown away afterwards.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/share").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("charcolino-bench"));

    if (!writeProject()) {
        std::fprintf(stderr, "cannot write the project file\n");
        return 1;
    }
    // Creation opens the working project of slot 0 written above.
    std::unique_ptr<CanvasView> canvas(CanvasView::create(QRectF(0, 70, 320, 390)));
    g_canvas = canvas.get();

    return runBenchmarks(argc, argv);
}
