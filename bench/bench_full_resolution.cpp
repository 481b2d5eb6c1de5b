// The drawing at the photo's full resolution: export of a painted project made
// from a 12-megapixel JPEG (the picture drawn again at 4000 x 3000 and written as
// PNG to the album's file as it is drawn, and drawn whole then encoded, as
// Export As does for JPEG and WebP), of hard dabs and of soft ones at half strength,
// and from the same photo at 48 megapixels (8000 x 6000, made at the start by
// scaling it up), with the memory each adds at its peak (counter peakMB); the
// tool's drawing of both (the photo decoded in strips, the bands handed to the PNG
// writer) and its full-size sketches of both photos; the parts
// (the sketches at the photo's scale beside the plain filter over the same
// pixels; the PNG on one thread and on every core), and the cost of a save with
// the files kept beside the project against the project file alone. Run from the
// build folder:
//   ./bench_full_resolution --benchmark_min_time=2
// Peak memory of the export beside the painted project alone, for the whole process:
//   /usr/bin/time -v ./bench_full_resolution --benchmark_filter=BM_ExportFullResolution/soft:0/MP:12
//   /usr/bin/time -v ./bench_full_resolution --benchmark_filter=BM_ProjectOnly
#include <benchmark/benchmark.h>

#include "BenchmarkRunner.h"
#include "PeakMemory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <vector>

#include "project/BlendedDab.h"
#include "project/BrushDab.h"
#include "project/FullResolutionPicture.h"
#include "project/FullResolutionRecord.h"
#include "project/ImportFile.h"
#include "project/ProjectCodec.h"
#include "project/ProjectSideFiles.h"
#include "filter/SketchFilter.h"
#include "filter/SketchFilterScaled.h"
#include "project/SlotSave.h"
#include "project/StrokeMask.h"
#include "project/UprightImage.h"
#include "imageio/FastPng.h"
#include "imageio/PhotoAlbum.h"
#include "imageio/PictureUnpack.h"
#include "system/ReplaceFile.h"
#include "tools/FullSizeSketches.h"
#include "tools/StreamedFiles.h"
#include "tools/PngFiles.h"

namespace {

const QString kPhoto = QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo12mp.jpg");

// The project as the program has it after an hour of painting: the photo imported,
// its colour sketch as the start, and strokes of every source over the picture.
struct PaintedProject {
    UnpackedPicture original;
    std::vector<std::uint8_t> black, color, working;
    FullResolutionRecord record;
    QByteArray photo;
    bool ok = false;

    // `soft`: every dab at hardness 50 % and strength 50 %, through each stroke's
    // mask, as the canvas lays them.
    PaintedProject(const QString& photoPath, bool soft)
    {
        const ImageFileResult read = readImportFile(photoPath);
        QFile file(photoPath);
        if (!read.ok() || !file.open(QIODevice::ReadOnly))
            return;
        photo = file.readAll();
        original = unpackPicture(uprightImage(read.image).bitmap);
        const int w = int(original.width), h = int(original.height);
        const std::size_t n = std::size_t(w) * std::size_t(h) * 4;
        black.resize(n);
        color.resize(n);
        working.resize(n);
        buildSketch(SketchBuffers{original.buffer.get(), nullptr, black.data(), color.data(), w, h,
                                  original.imageSize});
        std::memcpy(working.data(), color.data(), n);
        record.width = w;
        record.height = h;
        record.picsize = original.imageSize;
        record.startSource = FullResolutionRecord::ColorSketch;
        // 60 strokes of 80 dabs, a quarter of the brush's width apart, radius 32 to 80.
        const std::uint8_t* sources[3] = {black.data(), color.data(), original.buffer.get()};
        std::vector<BrushDab::ColumnRun> runs;
        StrokeMask mask;
        for (int s = 0; s < 60; ++s) {
            mask.reset(w, h);
            bool first = true;
            const float radius = 32.0f + float(s % 4) * 16.0f;
            const float angle = float(s) * 0.7f;
            FloatPoint p{float((s * 173) % 1024), float((s * 97) % 768)};
            for (int d = 0; d < 80; ++d) {
                p.x += std::cos(angle + float(d) * 0.05f) * radius * 0.5f;
                p.y += std::sin(angle + float(d) * 0.05f) * radius * 0.5f;
                StrokeHistory::Dab dab{p, radius, s % 5 == 4 ? 1 : 0, s % 3};
                const BrushDab::Dab kernel{dab.centre, dab.radius, dab.shape, record.picsize, w, h};
                if (soft) {
                    dab.hardness = 50;
                    dab.alpha = 128;
                    dab.startsStroke = first;
                    mask.activate();
                    if (BlendedDab::paint(kernel, BlendedDab::Reveal{50, 128}, sources[dab.drawType], working.data(),
                                          mask)) {
                        record.dabs.push_back(dab);
                        first = false;
                    }
                } else if (BrushDab::paint(kernel, sources[dab.drawType], working.data(), runs)) {
                    record.dabs.push_back(dab);
                }
            }
        }
        record.originalChecksum = contentChecksum(original.buffer.get(), n);
        record.workingChecksum = contentChecksum(working.data(), n);
        record.photoBytes = std::uint64_t(photo.size());
        record.photoChecksum = contentChecksum(photo.constData(), std::size_t(photo.size()));
        ok = true;
    }
};

const PaintedProject& project(bool soft = false)
{
    static const PaintedProject hard(kPhoto, false);
    if (!soft)
        return hard;
    static const PaintedProject painted(kPhoto, true);
    return painted;
}

// The bench photo at 12 megapixels, or scaled up to 48 (twice its sides; it
// imports at the same size, so the painted project's record fits it too).
QString photoOf(std::int64_t megapixels)
{
    if (megapixels != 48)
        return kPhoto;
    static QTemporaryDir dir;
    static const QString big = [] {
        const QString path = dir.filePath(QStringLiteral("photo48mp.jpg"));
        const QImage photo(kPhoto);
        const QImage scaled = photo.scaled(photo.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return scaled.save(path, "JPEG", 90) ? path : QString();
    }();
    return big;
}

// Runs `work` once an iteration (it answers an error, empty when all went well),
// the memory it adds measured from the iteration's start: the counter peakMB is
// the most it added in any iteration.
template <typename Work>
void measurePeak(benchmark::State& state, Work work)
{
    PeakMemory memory;
    double peak = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        memory.start();
        state.ResumeTiming();
        const QString error = work();
        if (!error.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        peak = std::max(peak, memory.addedMB());
    }
    state.counters["peakMB"] = peak;
}

// Only the painted project: the baseline of the export's peak memory.
void BM_ProjectOnly(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(project().ok);
}

// The program's export of the drawing at the photo's size into the album: drawn
// from the photo file and written to a new file in the album's way as it is
// drawn (ProjectDocument::fullResolutionPngExport, PhotoAlbum::saveStreamed), of
// the hard dabs (arg soft 0) and of the same dabs soft and at half strength
// (soft 1), over the photo at 12 or 48 megapixels (arg MP); peakMB: the most
// memory it added.
void BM_ExportFullResolution(benchmark::State& state)
{
    const PaintedProject& painted = project(state.range(0) == 1);
    const QString photo = photoOf(state.range(1));
    QTemporaryDir album(QDir::current().filePath(QStringLiteral("bench-album-XXXXXX")));  // on the disk of the build
    if (!painted.ok || photo.isEmpty() || !album.isValid()) {
        state.SkipWithError("photo not readable");
        return;
    }
    measurePeak(state, [&] {
        QString drawError, path;
        const QString error = PhotoAlbum::writeStreamedPng(
            [&](const PngFileStart& start) { return fullResolutionPng(photo, painted.record, start, &drawError); },
            album.path(), QDateTime::currentDateTime(), &path);
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
        return error.isEmpty() ? error : error + drawError;
    });
    state.counters["dabs"] = double(painted.record.dabs.size());
}

// The same drawn whole and encoded afterwards (the program's export before it was
// written as drawn, and still Export As in JPEG or WebP); args and peakMB as above.
void BM_ExportWholePicture(benchmark::State& state)
{
    const PaintedProject& painted = project(state.range(0) == 1);
    const QString photo = photoOf(state.range(1));
    if (!painted.ok || photo.isEmpty()) {
        state.SkipWithError("photo not readable");
        return;
    }
    measurePeak(state, [&] {
        QString error;
        const QImage full = fullResolutionPicture(photo, painted.record, &error);
        if (full.isNull())
            return error.isEmpty() ? QStringLiteral("not drawn") : error;
        const QByteArray png = fastPngBytes(full);
        benchmark::DoNotOptimize(png.constData());
        return QString();
    });
}

// The tool's drawing (its --project full.png): the same drawing handed to the PNG
// writer band by band as it is drawn (fullResolutionPng), the JPEG photo decoded
// in strips, the file written as its strips are compressed, so that neither the
// photo, the drawing nor the file is held whole; args and peakMB as above.
void BM_FullResolutionPng(benchmark::State& state)
{
    const PaintedProject& painted = project(state.range(0) == 1);
    const QString photo = photoOf(state.range(1));
    QTemporaryDir out(QDir::current().filePath(QStringLiteral("bench-full-XXXXXX")));  // on the disk of the build
    if (!painted.ok || photo.isEmpty() || !out.isValid()) {
        state.SkipWithError("photo not readable");
        return;
    }
    measurePeak(state, [&] {
        QString error;
        StreamedFiles files(out.path(), {"full.png"});
        const auto start = [&files]() -> PngStripEncoder::Out {
            std::vector<PngStripEncoder::Out> outs;
            return files.start(&outs) ? outs[0] : PngStripEncoder::Out();
        };
        const bool written = fullResolutionPng(photo, painted.record, start, &error) && files.commit();
        return written ? QString() : error.isEmpty() ? QStringLiteral("not written") : error;
    });
}

// The tool's --full-size work for one photo (arg: 12 or 48 megapixels): the
// photo read, both sketches at its size, their PNG files written as they are
// made; peakMB as above.
void BM_FullSizeSketches(benchmark::State& state)
{
    const QString photo = photoOf(state.range(0));
    QTemporaryDir out(QDir::current().filePath(QStringLiteral("bench-sketches-XXXXXX")));  // on the disk of the build
    if (photo.isEmpty() || !out.isValid()) {
        state.SkipWithError("photo not readable");
        return;
    }
    measurePeak(state, [&] {
        QString error;
        StreamedFiles files(out.path(), {"black.png", "color.png"});
        FullSizeSketches sketches;
        const bool written = sketches.make(
                                 photo,
                                 [&files](PngStripEncoder::Out* black, PngStripEncoder::Out* color) {
                                     std::vector<PngStripEncoder::Out> outs;
                                     if (!files.start(&outs))
                                         return false;
                                     *black = outs[0];
                                     *color = outs[1];
                                     return true;
                                 },
                                 &error) &&
                             files.commit();
        return written ? QString() : error.isEmpty() ? QStringLiteral("not written") : error;
    });
}

// The drawing alone, without the PNG: of the hard dabs (arg 0) and of the same
// dabs soft and at half strength (arg 1).
void BM_DrawFullResolution(benchmark::State& state)
{
    const PaintedProject& painted = project(state.range(0) == 1);
    if (!painted.ok) {
        state.SkipWithError("photo not readable");
        return;
    }
    for (auto _ : state) {
        QString error;
        const QImage full = fullResolutionPicture(kPhoto, painted.record, &error);
        benchmark::DoNotOptimize(full.constBits());
    }
    state.counters["dabs"] = double(painted.record.dabs.size());
}

// The photo upright at its own size, and its drawing: inputs of the parts below.
struct FullSize {
    QImage photo;  // premultiplied RGBA, as the drawing reads it
    QImage drawing;
};

const FullSize& fullSize()
{
    static const FullSize full = [] {
        FullSize f;
        const ImageFileResult read = ImageFile::read(kPhoto, [](QSize stored) { return stored; });
        if (read.ok())
            f.photo = read.image.bitmap.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        QString error;
        if (project().ok)
            f.drawing = fullResolutionPicture(kPhoto, project().record, &error);
        return f;
    }();
    return full;
}

// Both sketches of the 4000 x 3000 photo: the plain filter (arg 0) and the
// filter at the project's scale (arg 1; its portable row loops: arg 2), on every
// core.
void BM_SketchesAtPhotoSize(benchmark::State& state)
{
    const QImage& photo = fullSize().photo;
    if (photo.isNull() || !project().ok) {
        state.SkipWithError("photo not readable");
        return;
    }
    const int w = photo.width(), h = photo.height();
    std::vector<std::uint8_t> black(std::size_t(w) * std::size_t(h) * 4), color(black.size());
    const SketchBuffers buffers{photo.constBits(), nullptr, black.data(), color.data(), w, h, {float(w), float(h)}};
    const double scale = double(w) / double(project().record.picsize.width);
    setSketchRowLoops(state.range(0) == 2 ? SketchRowLoops::Portable : SketchRowLoops::Fastest);
    for (auto _ : state) {
        if (state.range(0) == 0)
            buildSketch(buffers);
        else
            buildSketchScaled(buffers, scale, 0, h);
        benchmark::DoNotOptimize(black.data());
    }
    setSketchRowLoops(SketchRowLoops::Fastest);
}

// The drawing's PNG bytes on one thread (arg 1) and on up to two (arg 2).
void BM_EncodeFullResolution(benchmark::State& state)
{
    const QImage& drawing = fullSize().drawing;
    if (drawing.isNull()) {
        state.SkipWithError("photo not readable");
        return;
    }
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray png = fastPngBytesOnThreads(drawing, int(state.range(0)));
        bytes = png.size();
        benchmark::DoNotOptimize(png.constData());
    }
    state.counters["MB"] = double(bytes) / 1e6;
}

// The project file as a save writes it: a header's worth of bytes, then the
// original and the working image.
bool writeProjectFile(QFileDevice& file)
{
    const PaintedProject& p = project();
    const qint64 n = qint64(p.working.size());
    const char header[35] = {};
    return writeAll(file, header, sizeof header) && writeAll(file, p.original.buffer.get(), n) &&
           writeAll(file, p.working.data(), n);
}

// A save as the program makes it: the project file alone (arg 0), then with the
// photo and the record beside it, both already there from an earlier save, so
// only compared (arg 1), or the photo written anew (arg 2).
void BM_SaveProject(benchmark::State& state)
{
    if (!project().ok) {
        state.SkipWithError("photo not readable");
        return;
    }
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("bench-save-XXXXXX")));  // on the disk of the build
    const QString path = dir.filePath(QStringLiteral("project1.dat"));
    SlotSave::Contents contents;
    contents.writeProject = writeProjectFile;
    if (state.range(0) > 0) {
        contents.photo = project().photo;
        contents.record = project().record.encode();
    }
    QString file, reason;
    for (auto _ : state) {
        if (state.range(0) == 2) {
            state.PauseTiming();
            QFile::remove(ProjectSideFiles::photoPath(path));
            state.ResumeTiming();
        }
        if (SlotSave::write(path, contents, &file, &reason) != SlotSave::Outcome::Saved) {
            state.SkipWithError("save failed");
            return;
        }
    }
}

// The painted project of `photoPath` saved as the program saves it, its photo and
// drawing record beside it, for timing the tool's --project on it
// (scripts/compare-full-size).
bool writePaintedProject(const QString& photoPath, const QString& projectPath)
{
    const PaintedProject painted(photoPath, false);
    if (!painted.ok)
        return false;
    ProjectCodec::Header header;
    header.saveTime = ProjectCodec::formatSaveTime(2001, 2, 3, 4, 5, 6);
    header.width = painted.record.width;
    header.height = painted.record.height;
    header.picsize = painted.record.picsize;
    const std::vector<std::uint8_t> bytes =
        ProjectCodec::encodeProject(header, painted.original.buffer.get(), painted.working.data());
    SlotSave::Contents contents;
    contents.writeProject = [&bytes](QFileDevice& file) {
        return writeAll(file, bytes.data(), qint64(bytes.size()));
    };
    contents.photo = painted.photo;
    contents.record = painted.record.encode();
    QString file, reason;
    return !bytes.empty() && SlotSave::write(projectPath, contents, &file, &reason) == SlotSave::Outcome::Saved;
}

}  // namespace

BENCHMARK(BM_ProjectOnly)->Iterations(1);
BENCHMARK(BM_ExportFullResolution)
    ->ArgNames({"soft", "MP"})
    ->Args({0, 12})
    ->Args({1, 12})
    ->Args({0, 48})
    ->Args({1, 48})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ExportWholePicture)
    ->ArgNames({"soft", "MP"})
    ->Args({0, 12})
    ->Args({0, 48})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FullResolutionPng)
    ->ArgNames({"soft", "MP"})
    ->Args({0, 12})
    ->Args({0, 48})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FullSizeSketches)->Arg(12)->Arg(48)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawFullResolution)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SketchesAtPhotoSize)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeFullResolution)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveProject)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // bench_full_resolution --write-project PHOTO FILE: the painted project of
    // PHOTO into FILE (a projectN.dat path) with its side files, nothing timed.
    if (argc == 4 && qstrcmp(argv[1], "--write-project") == 0)
        return writePaintedProject(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    return runBenchmarks(argc, argv);
}
