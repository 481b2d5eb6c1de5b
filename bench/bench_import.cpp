// Photo import of a 12-megapixel JPEG into the upright 1024-side buffer, against a
// plain full decode of the same file. Run from the build folder:
//   ./bench_import --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include "BenchmarkRunner.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QString>

#include "project/ImportFile.h"
#include "project/UprightImage.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureUnpack.h"

namespace {

const QString kPhoto = QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo12mp.jpg");

// Only a decode, as a viewer would do it: the whole 4000 x 3000 picture.
void BM_PlainFullDecode(benchmark::State& state)
{
    for (auto _ : state) {
        QImageReader reader(kPhoto);
        QImage image = reader.read();
        if (image.isNull()) {
            state.SkipWithError("photo not readable");
            return;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The straightforward import: decode everything, then scale, turn and unpack.
void BM_ImportAfterFullDecode(benchmark::State& state)
{
    for (auto _ : state) {
        const ImageFileResult read = ImageFile::read(kPhoto);
        if (!read.ok()) {
            state.SkipWithError("photo not readable");
            return;
        }
        UnpackedPicture picture = unpackPicture(uprightImage(read.image).bitmap);
        benchmark::DoNotOptimize(picture.buffer.get());
    }
}

// The import as the program does it: shrunk while decoding, then turned and unpacked.
void BM_Import(benchmark::State& state)
{
    for (auto _ : state) {
        const ImageFileResult read = readImportFile(kPhoto);
        if (!read.ok()) {
            state.SkipWithError("photo not readable");
            return;
        }
        UnpackedPicture picture = unpackPicture(uprightImage(read.image).bitmap);
        benchmark::DoNotOptimize(picture.buffer.get());
    }
}

}  // namespace

BENCHMARK(BM_PlainFullDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportAfterFullDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The image format plugins are found through the application object.
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
