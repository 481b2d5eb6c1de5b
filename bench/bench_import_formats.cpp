// Photo import of the same 12-megapixel photo as JPEG and as HEIC (and AVIF):
// the whole import into the upright 1024-side buffer. The HEIC and AVIF files are
// encoded from the JPEG's pixels at start (libheif's default quality 50, which
// gives a file of a phone photo's size; 4:2:0), the HEIC once as one coded
// picture and once as the grid of 512-pixel tiles that phones write, which takes
// two minutes. Times
// are wall-clock; the CPU column counts every thread of the process (the
// decoders work on every core). Beside them, the one-pass shrink and YCbCr to
// RGB conversion of a decoded 12-megapixel picture against converting every
// pixel first and shrinking after. Run from the build folder:
//   ./bench_import_formats --benchmark_min_time=2
// CHARCOLINO_BENCH_AVIF=1 adds the AVIF file (its encoding takes minutes). The
// HEIC once more with a Display P3 profile: its import converts the 1024-side
// picture to sRGB. Beside them the mapping of an HDR picture to sRGB, with its
// tables and straightforwardly.
#include <benchmark/benchmark.h>

#include "BenchmarkRunner.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <libheif/heif.h>
#include <vector>

#include "project/ImportFile.h"
#include "project/UprightImage.h"
#include "imageio/HdrToSdr.h"
#include "imageio/HeifModule.h"
#include "imageio/NclxColour.h"
#include "imageio/PictureUnpack.h"
#include "imageio/YcbcrShrink.h"

namespace {

// An RGB picture as libheif's interleaved RGB image, for the encoder.
heif_image* heifImageOf(const QImage& rgb)
{
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return image;
}

const QString kPhoto = QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo12mp.jpg");
QString gHeic;
QString gHeicP3;
QString gHeicGrid;
QString gAvif;

// The photo's pixels encoded as HEIC or AVIF into `path`, with the ICC profile
// when one is given; false when no encoder.
bool encodeHeif(const QImage& photo, heif_compression_format compression, const QString& path,
                const QByteArray& icc = QByteArray())
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(context, compression, &encoder).code != heif_error_Ok) {
        heif_context_free(context);
        return false;
    }
    heif_encoder_set_lossy_quality(encoder, 50);
    if (compression == heif_compression_AV1)
        heif_encoder_set_parameter(encoder, "speed", "8");
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB888);
    heif_image* image = heifImageOf(rgb);
    if (!icc.isEmpty())
        heif_image_set_raw_color_profile(image, "prof", icc.constData(), size_t(icc.size()));
    bool ok = heif_context_encode_image(context, image, encoder, nullptr, nullptr).code == heif_error_Ok;
    ok = ok && heif_context_write_to_file(context, QFile::encodeName(path).constData()).code == heif_error_Ok;
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return ok;
}

// The grid HEIC of phones, made by hand (libheif 1.15 writes no grids): the
// photo in 512-pixel tiles, each coded on its own, under a grid item of the
// photo's size.
QByteArray bigEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xff));
    return out;
}

QByteArray box(const char* type, const QByteArray& payload)
{
    return bigEndian(quint32(8 + payload.size()), 4) + type + payload;
}

QByteArray fullBox(const char* type, int version, int flags, const QByteArray& payload)
{
    return box(type, bigEndian(quint32(version), 1) + bigEndian(quint32(flags), 3) + payload);
}

// A box of a file that libheif wrote (its first of that type), whole.
QByteArray boxOf(const QByteArray& file, const char* type)
{
    const qsizetype at = file.indexOf(type) - 4;
    const quint32 size = (quint32(quint8(file[at])) << 24) | (quint32(quint8(file[at + 1])) << 16) |
                         (quint32(quint8(file[at + 2])) << 8) | quint32(quint8(file[at + 3]));
    return file.mid(at, size);
}

QByteArray encodeTile(const QImage& rgb, heif_encoder* encoder)
{
    heif_context* context = heif_context_alloc();
    heif_image* image = heifImageOf(rgb);
    QByteArray file;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<QByteArray*>(out)->append(static_cast<const char*>(data), qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code == heif_error_Ok)
        heif_context_write(context, &writer, &file);
    heif_image_release(image);
    heif_context_free(context);
    return file;
}

bool encodeGrid(const QImage& photo, const QString& path)
{
    constexpr int kTile = 512;
    const int columns = (photo.width() + kTile - 1) / kTile, rows = (photo.height() + kTile - 1) / kTile;
    const int tiles = columns * rows;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    const bool haveEncoder =
        heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok;
    heif_context_free(context);
    if (!haveEncoder)
        return false;
    heif_encoder_set_lossy_quality(encoder, 50);
    QByteArray hvcC;
    QList<QByteArray> coded;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const QImage tile = photo.copy(column * kTile, row * kTile, kTile, kTile).convertToFormat(QImage::Format_RGB888);
            const QByteArray file = encodeTile(tile, encoder);
            if (file.isEmpty())
                break;
            if (hvcC.isEmpty())
                hvcC = boxOf(file, "hvcC");  // the same parameter sets for every tile
            coded << boxOf(file, "mdat").mid(8);
        }
    heif_encoder_release(encoder);
    if (coded.size() != tiles)
        return false;

    // Items: 1 the grid, 2... the tiles. Properties: 1 hvcC, 2 a tile's size, 3 the grid's.
    const QByteArray ipco = box("ipco", hvcC + fullBox("ispe", 0, 0, bigEndian(kTile, 4) + bigEndian(kTile, 4)) +
                                            fullBox("ispe", 0, 0, bigEndian(quint32(photo.width()), 4) +
                                                                  bigEndian(quint32(photo.height()), 4)));
    QByteArray ipma = bigEndian(quint32(tiles + 1), 4) + bigEndian(1, 2) + bigEndian(1, 1) + bigEndian(3, 1);
    QByteArray infe = fullBox("infe", 2, 0, bigEndian(1, 2) + bigEndian(0, 2) + "grid" + QByteArray(1, '\0'));
    QByteArray dimg = bigEndian(1, 2) + bigEndian(quint32(tiles), 2);
    for (int i = 0; i < tiles; ++i) {
        ipma += bigEndian(quint32(2 + i), 2) + bigEndian(2, 1) + bigEndian(0x81, 1) + bigEndian(2, 1);
        infe += fullBox("infe", 2, 1, bigEndian(quint32(2 + i), 2) + bigEndian(0, 2) + "hvc1" + QByteArray(1, '\0'));
        dimg += bigEndian(quint32(2 + i), 2);
    }
    const auto iloc = [&](quint32 mdatPayload) {
        QByteArray items = bigEndian(1, 2) + bigEndian(1, 2) + bigEndian(0, 2) + bigEndian(1, 2) + bigEndian(0, 4) +
                           bigEndian(8, 4);  // the grid's 8 bytes in idat
        for (int i = 0; i < tiles; ++i) {
            items += bigEndian(quint32(2 + i), 2) + bigEndian(0, 2) + bigEndian(0, 2) + bigEndian(1, 2) +
                     bigEndian(mdatPayload, 4) + bigEndian(quint32(coded[i].size()), 4);
            mdatPayload += quint32(coded[i].size());
        }
        return fullBox("iloc", 1, 0, bigEndian(0x44, 1) + bigEndian(0, 1) + bigEndian(quint32(tiles + 1), 2) + items);
    };
    const QByteArray grid = bigEndian(0, 2) + bigEndian(quint32(rows - 1), 1) + bigEndian(quint32(columns - 1), 1) +
                            bigEndian(quint32(photo.width()), 2) + bigEndian(quint32(photo.height()), 2);
    const auto meta = [&](quint32 mdatPayload) {
        return fullBox("meta", 0, 0,
                       fullBox("hdlr", 0, 0, bigEndian(0, 4) + "pict" + QByteArray(13, '\0')) +
                           fullBox("pitm", 0, 0, bigEndian(1, 2)) + iloc(mdatPayload) +
                           fullBox("iinf", 0, 0, bigEndian(quint32(tiles + 1), 2) + infe) +
                           fullBox("iref", 0, 0, box("dimg", dimg)) +
                           box("iprp", ipco + fullBox("ipma", 0, 0, ipma)) + box("idat", grid));
    };
    const QByteArray ftyp = box("ftyp", QByteArray("heic") + bigEndian(0, 4) + "mif1heic");
    const quint32 mdatPayload = quint32(ftyp.size() + meta(0).size() + 8);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(ftyp + meta(mdatPayload) + box("mdat", coded.join())) > 0;
}

void import(benchmark::State& state, const QString& path)
{
    if (path.isEmpty()) {
        state.SkipWithError("no encoder for this format");
        return;
    }
    for (auto _ : state) {
        const ImageFileResult read = readImportFile(path);
        if (!read.ok()) {
            state.SkipWithError("photo not readable");
            return;
        }
        UnpackedPicture picture = unpackPicture(uprightImage(read.image).bitmap);
        benchmark::DoNotOptimize(picture.buffer.get());
    }
}

void BM_ImportJpeg(benchmark::State& state) { import(state, kPhoto); }
void BM_ImportHeic(benchmark::State& state) { import(state, gHeic); }
void BM_ImportHeicP3(benchmark::State& state) { import(state, gHeicP3); }
void BM_ImportHeicGrid(benchmark::State& state) { import(state, gHeicGrid); }
void BM_ImportAvif(benchmark::State& state) { import(state, gAvif); }

// The HEVC decode and colour conversion alone, upright at full size: the floor
// under the HEIC import.
void BM_HeicDecodeOnly(benchmark::State& state)
{
    if (gHeic.isEmpty()) {
        state.SkipWithError("no encoder for this format");
        return;
    }
    QString unavailable;
    const HeifModuleInterface* heif = HeifModule::interface(&unavailable);
    if (!heif) {
        state.SkipWithError(unavailable.toUtf8().constData());
        return;
    }
    for (auto _ : state) {
        QFile file(gHeic);
        file.open(QIODevice::ReadOnly);
        HeifModulePicture* picture = heif->open(&file);
        const QImage decoded = heif->decode(picture, nullptr, nullptr).image;
        heif->close(picture);
        if (decoded.isNull()) {
            state.SkipWithError("photo not readable");
            return;
        }
        benchmark::DoNotOptimize(decoded.constBits());
    }
}

// A decoded 4000 x 3000 4:2:0 picture with some texture, and its 1024 x 768 shrink.
struct Planes {
    static constexpr int kWidth = 4000, kHeight = 3000, kOutWidth = 1024, kOutHeight = 768;
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(size_t(kWidth) * kHeight);
    std::vector<std::uint8_t> cb = std::vector<std::uint8_t>(size_t(kWidth / 2) * (kHeight / 2));
    std::vector<std::uint8_t> cr = cb;
    std::vector<std::uint8_t> out = std::vector<std::uint8_t>(size_t(kOutWidth) * kOutHeight * 4);
    YcbcrPlanes planes;

    Planes()
    {
        for (int row = 0; row < kHeight; ++row)
            for (int x = 0; x < kWidth; ++x)
                y[size_t(row) * kWidth + x] = std::uint8_t((x * 7 + row * 3 + ((x ^ row) & 31)) & 255);
        for (size_t i = 0; i < cb.size(); ++i) {
            cb[i] = std::uint8_t(96 + (i * 5) % 64);
            cr[i] = std::uint8_t(160 - (i * 3) % 64);
        }
        planes = YcbcrPlanes{y.data(), cb.data(), cr.data(), kWidth, kWidth / 2, kWidth, kHeight, 1, 1};
    }
};

void BM_ShrinkYcbcrOnePass(benchmark::State& state)
{
    Planes p;
    for (auto _ : state) {
        shrinkYcbcrToRgbx(p.planes, YcbcrMatrix{}, p.out.data(), Planes::kOutWidth * 4, Planes::kOutWidth,
                          Planes::kOutHeight);
        benchmark::DoNotOptimize(p.out.data());
    }
}

void BM_ShrinkYcbcrConvertThenShrink(benchmark::State& state)
{
    Planes p;
    std::vector<std::uint8_t> rgbx(size_t(Planes::kWidth) * Planes::kHeight * 4);
    for (auto _ : state) {
        ycbcrToRgbx(p.planes, YcbcrMatrix{}, rgbx.data(), Planes::kWidth * 4);
        shrinkRgbx(rgbx.data(), Planes::kWidth * 4, Planes::kWidth, Planes::kHeight, p.out.data(),
                   Planes::kOutWidth * 4, Planes::kOutWidth, Planes::kOutHeight);
        benchmark::DoNotOptimize(p.out.data());
    }
}

// A 10-bit BT.2020 PQ picture of 1024 x 768 with some texture, mapped to sRGB.
struct HdrPicture {
    static constexpr int kWidth = 1024, kHeight = 768;
    std::vector<std::uint16_t> samples = std::vector<std::uint16_t>(size_t(kWidth) * kHeight * 3);
    std::vector<std::uint8_t> out = std::vector<std::uint8_t>(size_t(kWidth) * kHeight * 4);
    HdrSamples in{reinterpret_cast<const std::uint8_t*>(samples.data()), kWidth * 3 * 2, kWidth, kHeight, 3, 10};
    std::array<float, 9> toSrgb = rgbToRgbMatrix(*nclxPrimaries(9), kSrgbPrimaries);

    HdrPicture()
    {
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = std::uint16_t((i * 7 + (i / 3) % 251) % 1024);
    }
};

void BM_HdrToSdr(benchmark::State& state)
{
    HdrPicture p;
    for (auto _ : state) {
        hdrToSdr(p.in, HdrTransfer::Pq, p.toSrgb, p.out.data(), HdrPicture::kWidth * 4);
        benchmark::DoNotOptimize(p.out.data());
    }
}

void BM_HdrToSdrStraightforward(benchmark::State& state)
{
    HdrPicture p;
    for (auto _ : state) {
        hdrToSdrStraightforward(p.in, HdrTransfer::Pq, p.toSrgb, p.out.data(), HdrPicture::kWidth * 4);
        benchmark::DoNotOptimize(p.out.data());
    }
}

// What a profile adds to an import: the 1024 x 768 picture converted from Display P3.
void BM_ConvertP3ToSrgb(benchmark::State& state)
{
    QImage picture(1024, 768, QImage::Format_RGBX8888);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    picture.setColorSpace(QColorSpace::DisplayP3);
    for (auto _ : state) {
        QImage converted = picture;
        converted.convertToColorSpace(QColorSpace::SRgb);
        benchmark::DoNotOptimize(converted.constBits());
    }
}

}  // namespace

BENCHMARK(BM_ConvertP3ToSrgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HdrToSdr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HdrToSdrStraightforward)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShrinkYcbcrOnePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShrinkYcbcrConvertThenShrink)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportJpeg)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ImportHeic)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ImportHeicP3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ImportHeicGrid)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_HeicDecodeOnly)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

int main(int argc, char** argv)
{
    // The image format plugins are found through the application object.
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QImage photo(kPhoto);
    if (photo.isNull() || !dir.isValid()) {
        std::fputs("bench_import_formats: the bench photo cannot be read\n", stderr);
        return 1;
    }
    if (encodeHeif(photo, heif_compression_HEVC, dir.filePath(QStringLiteral("photo12mp.heic"))))
        gHeic = dir.filePath(QStringLiteral("photo12mp.heic"));
    if (encodeHeif(photo, heif_compression_HEVC, dir.filePath(QStringLiteral("photo12mp-p3.heic")),
                   QColorSpace(QColorSpace::DisplayP3).iccProfile()))
        gHeicP3 = dir.filePath(QStringLiteral("photo12mp-p3.heic"));
    if (encodeGrid(photo, dir.filePath(QStringLiteral("grid12mp.heic"))))
        gHeicGrid = dir.filePath(QStringLiteral("grid12mp.heic"));
    if (const QByteArray keep = qgetenv("CHARCOLINO_BENCH_KEEP_GRID"); !keep.isEmpty())
        QFile::copy(gHeicGrid, QString::fromLocal8Bit(keep));
    if (qEnvironmentVariableIntValue("CHARCOLINO_BENCH_AVIF") == 1) {
        if (encodeHeif(photo, heif_compression_AV1, dir.filePath(QStringLiteral("photo12mp.avif"))))
            gAvif = dir.filePath(QStringLiteral("photo12mp.avif"));
        benchmark::RegisterBenchmark("BM_ImportAvif", BM_ImportAvif)
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime()
            ->UseRealTime();
    }
    return runBenchmarks(argc, argv);
}
