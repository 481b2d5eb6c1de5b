// libFuzzer target for project files, from the bytes to a real canvas. Each input
// goes through the decoder and then, written as a slot's file, through
// CanvasView::LoadProject into a canvas on a headless GL surface:
//  - the decoder decodes it cleanly or fails with a reason; a decoded project
//    satisfies what the canvas relies on and encodes back to the same bytes;
//  - the canvas loads exactly the files the decoder accepts. A loaded project has
//    its four buffers and textures in the header's sizes, the stored pixels, and
//    sketches equal to the straightforward filter's; a failed load leaves the
//    current project as it was;
//  - bytes after the project (which the loader never reads) paint a few brush
//    dabs, which change nothing but the picture area of the working buffer;
//  - saving into another slot writes the header's sizes and the canvas's pixels.
//
// Build and run (clang; work on a copy of the seed corpus so that it stays small):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCHARCOLINO_BUILD_FUZZERS=ON \
//       -DCHARCOLINO_BUILD_TESTS=OFF -DCHARCOLINO_BUILD_BENCHMARKS=OFF
//   cmake --build build-fuzz --target fuzz_project_file
//   corpus=$(mktemp -d) && cp fuzz/corpus/project/* "$corpus"
//   build-fuzz/fuzz_project_file -max_total_time=600 -max_len=300000 "$corpus"
// Every input that ever failed goes into tests/fuzz-regressions/, which
// ProjectFuzzRegressionTest runs through the decoder and the canvas.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzEnvironment.h"
#include "canvas/CanvasView.h"
#include "project/ProjectCodec.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "project/ThumbnailGeometry.h"
#include "system/DocumentsDirectory.h"
#include "widgets/SegmentedControl.h"

namespace {

constexpr int kInputSlot = 1;
constexpr int kSaveSlot = 2;
constexpr std::size_t kDabBytes = 6;
constexpr std::size_t kMaxDabs = 8;

CanvasView* canvas = nullptr;
SegmentedControl* brushSize = nullptr;
SegmentedControl* brushShape = nullptr;

bool writeFile(const QString& path, const void* data, std::size_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool sameBytes(const std::uint8_t* a, const void* b, std::size_t n) { return a && std::memcmp(a, b, n) == 0; }

std::vector<std::uint8_t> copyOf(const std::uint8_t* buffer, std::size_t n)
{
    return buffer ? std::vector<std::uint8_t>(buffer, buffer + n) : std::vector<std::uint8_t>();
}

// The project the canvas holds, copied.
struct Held {
    bool loaded = false;
    int width = 0;
    int height = 0;
    FloatSize picsize;
    std::vector<std::uint8_t> original, working, black, color;

    static Held of(const CanvasView& c)
    {
        Held h;
        h.loaded = c.isLoaded();
        h.width = c.bufferWidth();
        h.height = c.bufferHeight();
        h.picsize = c.pictureSize();
        const std::size_t n = std::size_t(h.width) * std::size_t(h.height) * 4;
        h.original = copyOf(c.originalBuffer(), n);
        h.working = copyOf(c.workingBuffer(), n);
        h.black = copyOf(c.blackSketchBuffer(), n);
        h.color = copyOf(c.colorSketchBuffer(), n);
        return h;
    }

    bool operator==(const Held&) const = default;
};

bool textureFits(const Texture2D* texture, const ProjectCodec::Header& h)
{
    return texture && texture->pixelsWide() == std::uint32_t(h.width) &&
           texture->pixelsHigh() == std::uint32_t(h.height) && texture->pixelFormat() == Texture2D::RGBA8888 &&
           texture->contentSize().width == h.picsize.width && texture->contentSize().height == h.picsize.height;
}

void checkDecoded(const std::uint8_t* data, std::size_t size, const ProjectCodec::Project& project)
{
    using namespace ProjectCodec;
    const Header& h = project.header;
    FUZZ_REQUIRE(checkHeader(h) == Error::None);
    FUZZ_REQUIRE(h.width >= 1 && h.width <= kMaxSide && h.height >= 1 && h.height <= kMaxSide);
    const std::size_t n = imageBytes(h);
    FUZZ_REQUIRE(n == std::size_t(h.width) * std::size_t(h.height) * 4 && n <= kMaxImageBytes);
    FUZZ_REQUIRE(project.original.size() == n && project.working.size() == n);
    FUZZ_REQUIRE(fileSize(h) <= size);

    const PictureExtent extent = pictureExtent(h);
    FUZZ_REQUIRE(extent.columns >= 1 && extent.columns <= h.width);
    FUZZ_REQUIRE(extent.rows >= 1 && extent.rows <= h.height);
    FUZZ_REQUIRE(float(extent.columns - 1) < h.picsize.width && float(extent.rows - 1) < h.picsize.height);

    const ThumbnailGeometry::PixelSize thumb = ThumbnailGeometry::pixelSize(h.picsize);
    FUZZ_REQUIRE(thumb.width >= 1 && thumb.width <= 80 && thumb.height >= 1 && thumb.height <= 80);

    const std::vector<std::uint8_t> again = encodeProject(h, project.original.data(), project.working.data());
    FUZZ_REQUIRE(again.size() == fileSize(h));
    FUZZ_REQUIRE(std::memcmp(again.data(), data, again.size()) == 0);
}

// The canvas after loading `data`, a file the decoder accepted.
void checkLoaded(const std::uint8_t* data, const ProjectCodec::Header& h)
{
    const CanvasView& c = *canvas;
    const std::size_t n = ProjectCodec::imageBytes(h);
    FUZZ_REQUIRE(c.isLoaded());
    FUZZ_REQUIRE(c.bufferWidth() == h.width && c.bufferHeight() == h.height);
    FUZZ_REQUIRE(c.pictureSize().width == h.picsize.width && c.pictureSize().height == h.picsize.height);
    FUZZ_REQUIRE(sameBytes(c.originalBuffer(), data + ProjectCodec::kHeaderSize, n));
    FUZZ_REQUIRE(sameBytes(c.workingBuffer(), data + ProjectCodec::kHeaderSize + n, n));
    FUZZ_REQUIRE(c.blackSketchBuffer() && c.colorSketchBuffer());
    for (const Texture2D* texture :
         {c.workingTexture(), c.originalTexture(), c.blackSketchTexture(), c.colorSketchTexture()})
        FUZZ_REQUIRE(textureFits(texture, h));
    FUZZ_REQUIRE(std::isfinite(c.zoomLevel()) && c.zoomLevel() > 0.0f);

    // The sketches the load made on its worker equal the straightforward filter's
    // over the picture area; outside it both leave the bytes as they were.
    std::vector<std::uint8_t> black = copyOf(c.blackSketchBuffer(), n);
    std::vector<std::uint8_t> color = copyOf(c.colorSketchBuffer(), n);
    buildSketchReference(SketchBuffers{c.originalBuffer(), nullptr, black.data(), color.data(), h.width, h.height,
                                       h.picsize});
    FUZZ_REQUIRE(sameBytes(c.blackSketchBuffer(), black.data(), n));
    FUZZ_REQUIRE(sameBytes(c.colorSketchBuffer(), color.data(), n));
}

// Brush dabs from the bytes after the project: view x and y (16 bits each, from
// a little left of the view to a little right of it), source, size and shape.
void paintDabs(const std::uint8_t* tail, std::size_t size, const ProjectCodec::Header& h)
{
    const Held before = Held::of(*canvas);
    for (std::size_t i = 0; i < kMaxDabs && (i + 1) * kDabBytes <= size; ++i) {
        const std::uint8_t* d = tail + i * kDabBytes;
        const float x = float(d[0] | (d[1] << 8)) / 65535.0f * 400.0f - 40.0f;
        const float y = float(d[2] | (d[3] << 8)) / 65535.0f * 470.0f - 40.0f;
        brushSize->setSelectedSegmentIndex(d[5] & 3);
        brushShape->setSelectedSegmentIndex((d[5] >> 2) & 1);
        canvas->DrawCanvas(FloatPoint{x, y}, d[4] % 3);
    }
    const Held after = Held::of(*canvas);
    FUZZ_REQUIRE(after.original == before.original && after.black == before.black && after.color == before.color);
    const ProjectCodec::PictureExtent extent = ProjectCodec::pictureExtent(h);
    for (int y = 0; y < extent.rows; ++y) {
        const std::size_t right = (std::size_t(y) * h.width + extent.columns) * 4;
        const std::size_t end = std::size_t(y + 1) * h.width * 4;
        FUZZ_REQUIRE(std::memcmp(after.working.data() + right, before.working.data() + right, end - right) == 0);
    }
    const std::size_t below = std::size_t(extent.rows) * h.width * 4;
    FUZZ_REQUIRE(std::equal(after.working.begin() + std::ptrdiff_t(below), after.working.end(),
                            before.working.begin() + std::ptrdiff_t(below)));
}

void checkSaved(const ProjectCodec::Header& h)
{
    const QString thumbnailPath = DocumentsDirectory::filePath(ProjectSlotFiles::thumbnailFileName(kSaveSlot));
    QFile::remove(thumbnailPath);
    FUZZ_REQUIRE(canvas->SaveProject(kSaveSlot));
    const QByteArray saved = readFile(DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(kSaveSlot)));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(saved.constData());
    ProjectCodec::Project project;
    FUZZ_REQUIRE(ProjectCodec::decodeProject(bytes, std::size_t(saved.size()), &project) ==
                 ProjectCodec::Error::None);
    FUZZ_REQUIRE(std::size_t(saved.size()) == ProjectCodec::fileSize(h));
    const ProjectCodec::Header& s = project.header;
    FUZZ_REQUIRE(s.width == h.width && s.height == h.height && s.picsize.width == h.picsize.width &&
                 s.picsize.height == h.picsize.height);
    const std::size_t n = ProjectCodec::imageBytes(h);
    FUZZ_REQUIRE(sameBytes(canvas->originalBuffer(), project.original.data(), n));
    FUZZ_REQUIRE(sameBytes(canvas->workingBuffer(), project.working.data(), n));

    // A picture less than a pixel wide or high has no thumbnail.
    const QImage thumbnail(thumbnailPath);
    const ThumbnailGeometry::PixelSize size = ThumbnailGeometry::pixelSize(h.picsize);
    if (h.picsize.width >= 1.0f && h.picsize.height >= 1.0f)
        FUZZ_REQUIRE(thumbnail.width() == size.width && thumbnail.height() == size.height);
    else
        FUZZ_REQUIRE(thumbnail.isNull());
}

// A small valid project in slot 0, so that creation loads it: the canvas starts
// with a project, as after any start of the program.
void writeStartProject()
{
    ProjectCodec::Header h;
    h.saveTime = ProjectCodec::formatSaveTime(2000, 1, 1, 0, 0, 0);
    h.width = 8;
    h.height = 4;
    h.picsize = FloatSize{7.5f, 3.25f};
    std::vector<std::uint8_t> original(ProjectCodec::imageBytes(h)), working(original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        original[i] = std::uint8_t(i * 37);
        working[i] = std::uint8_t(i * 11 + 5);
    }
    const std::vector<std::uint8_t> file = ProjectCodec::encodeProject(h, original.data(), working.data());
    FUZZ_REQUIRE(writeFile(DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(0)), file.data(),
                           file.size()));
}

// Alerts are shown without blocking; none is answered here.
void closeAlerts()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(widget))
            delete widget;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::start();
    writeStartProject();
    canvas = CanvasView::create(QRectF(0, 70, 320, 390));
    FUZZ_REQUIRE(canvas && canvas->isLoaded());
    brushSize = new SegmentedControl({"S", "M", "L", "XL"});
    brushShape = new SegmentedControl({"Round", "Square"});
    canvas->setBrushsize(brushSize);
    canvas->setBrushshape(brushShape);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ProjectCodec;

    const auto time = saveTimeText(data, size);
    FUZZ_REQUIRE(time.has_value() == (size >= kSaveTimeLength));
    if (time)
        FUZZ_REQUIRE(time->size() == kSaveTimeLength && std::memcmp(time->data(), data, kSaveTimeLength) == 0);

    Header header;
    const Error headerError = decodeHeader(data, size, &header);
    Project project;
    const Error projectError = decodeProject(data, size, &project);
    if (headerError != Error::None) {
        FUZZ_REQUIRE(projectError == headerError);
    } else {
        FUZZ_REQUIRE(projectError == Error::None || projectError == Error::ShortPixelData);
        FUZZ_REQUIRE((projectError == Error::None) == (size >= fileSize(header)));
    }
    if (projectError == Error::None)
        checkDecoded(data, size, project);
    else
        FUZZ_REQUIRE(std::strcmp(errorText(projectError), "unknown error") != 0);

    const QString slot = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(kInputSlot));
    FUZZ_REQUIRE(writeFile(slot, data, size));
    const Held before = Held::of(*canvas);
    const bool loaded = canvas->LoadProject(kInputSlot);
    closeAlerts();
    FUZZ_REQUIRE(loaded == (projectError == Error::None));
    if (!loaded) {
        FUZZ_REQUIRE(Held::of(*canvas) == before);
        return 0;
    }
    checkLoaded(data, header);
    const std::size_t used = fileSize(header);
    paintDabs(data + used, size - used, header);
    checkSaved(header);
    return 0;
}
