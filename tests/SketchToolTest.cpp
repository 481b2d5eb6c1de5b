// The command-line tool, run as a separate process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "project/ImportFile.h"
#include "project/ProjectCodec.h"
#include "filter/SketchFilter.h"
#include "project/UprightImage.h"
#include "system/DocumentsDirectory.h"
#include "imageio/PictureUnpack.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/ImportTestFiles.h"
#include "support/ToolRun.h"

using namespace ImportTestFiles;

namespace {

// The picture area of a buffer as the program shows it and the PNG file holds
// it: the stored R, G, B of each pixel, opaque.
QImage savedForm(const std::uint8_t* buffer, int bufferWidth, int w, int h)
{
    QImage image(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = buffer + (std::size_t(y) * bufferWidth + x) * 4;
            image.setPixel(x, y, qRgb(p[0], p[1], p[2]));
        }
    return image;
}

QImage loaded(const QString& path) { return QImage(path).convertToFormat(QImage::Format_RGBA8888); }

}  // namespace

TEST(SketchTool, TurnedPhotoGivesUprightOriginalAndSketches)
{
    QTemporaryDir dir;
    // Stored 1600 x 1200, EXIF orientation 6: shown turned right, 768 x 1024.
    const QString photo = dir.filePath("turned.jpg");
    ASSERT_TRUE(writeFile(photo, withExifOrientation(jpegBytes(photoLikePicture(1600, 1200), 90), 6)));
    const QString out = dir.filePath("new/sketches");

    const ToolRun run = runTool({photo, "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    // What the program's own import and filter give for the same file.
    const UnpackedPicture imported = unpackPicture(uprightImage(readImportFile(photo).image).bitmap);
    ASSERT_TRUE(imported.buffer);
    ASSERT_EQ(imported.imageSize, (FloatSize{768.0f, 1024.0f}));
    const std::size_t bytes = std::size_t(imported.width) * imported.height * 4;
    std::vector<std::uint8_t> working(bytes), black(bytes), color(bytes);
    SketchBuffers buffers;
    buffers.original = imported.buffer.get();
    buffers.working = working.data();
    buffers.black = black.data();
    buffers.color = color.data();
    buffers.width = int(imported.width);
    buffers.height = int(imported.height);
    buffers.picsize = imported.imageSize;
    buildSketch(buffers);

    const int w = 768;
    const int bw = int(imported.width);
    const QImage original = loaded(out + "/original.png");
    ASSERT_EQ(original.size(), QSize(768, 1024));  // upright: sides swapped
    EXPECT_EQ(original, savedForm(imported.buffer.get(), bw, w, 1024));
    EXPECT_EQ(loaded(out + "/black.png"), savedForm(black.data(), bw, w, 1024));
    EXPECT_EQ(loaded(out + "/color.png"), savedForm(color.data(), bw, w, 1024));
    EXPECT_FALSE(QImage(out + "/black.png").hasAlphaChannel());

    // Turned right: the stored picture's left edge is now the top edge.
    const QImage stored = photoLikePicture(1600, 1200);
    const QRgb storedLeftMiddle = stored.pixel(5, 600);
    const QRgb uprightTopMiddle = original.convertToFormat(QImage::Format_ARGB32).pixel(384, 3);
    EXPECT_LT(std::abs(qRed(storedLeftMiddle) - qRed(uprightTopMiddle)), 20);
    EXPECT_LT(std::abs(qBlue(storedLeftMiddle) - qBlue(uprightTopMiddle)), 20);
}

TEST(SketchTool, UnusablePhotoGivesOneLineAndWritesNothing)
{
    QTemporaryDir dir;
    const QString text = dir.filePath("letter.jpg");
    ASSERT_TRUE(writeFile(text, "Dear reader, this is not a picture.\n"));
    const QString huge = dir.filePath("huge.jpg");
    ASSERT_TRUE(writeFile(huge, withJpegFrameSize(jpegBytes(quadrantPicture(16, 16)), 60000, 60000)));
    // A FIFO with no writer: a blocking open would wait here forever (the run
    // then times out and fails).
    const QString fifo = dir.filePath("fifo.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // libpng reports the cut with a line of its own unless the tool keeps it quiet.
    const QString cut = dir.filePath("cut.png");
    ASSERT_TRUE(photoLikePicture(200, 150).save(cut, "PNG"));
    ASSERT_TRUE(QFile::resize(cut, QFileInfo(cut).size() / 2));

    for (const QString& photo : {text, huge, dir.filePath("missing.png"), fifo, cut}) {
        SCOPED_TRACE(photo.toStdString());
        const QString out = dir.filePath("out");
        const ToolRun run = runTool({photo, "-o", out});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.endsWith('\n'));
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(photo)) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
    EXPECT_TRUE(runTool({text, "-o", dir.filePath("out")}).err.contains("not a picture"));
    EXPECT_TRUE(runTool({huge, "-o", dir.filePath("out")}).err.contains("too large"));
}

TEST(SketchTool, CutJpegIsUsedWithOneWarningLine)
{
    QTemporaryDir dir;
    const QByteArray jpeg = jpegBytes(photoLikePicture(200, 150), 90);
    const QString photo = dir.filePath("cut.jpg");
    ASSERT_TRUE(writeFile(photo, jpeg.left(jpeg.size() * 2 / 3)));
    const QString out = dir.filePath("out");

    const ToolRun run = runTool({photo, "-o", out});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, QStringLiteral("charcolino-sketch: %1: warning: the picture is incomplete (truncated file)\n").arg(photo));
    EXPECT_EQ(QImage(out + "/original.png").size(), QSize(200, 150));
}

TEST(SketchTool, OutputThatCannotBeMadeGivesOneLine)
{
    QTemporaryDir dir;
    const QString photo = dir.filePath("small.jpg");
    ASSERT_TRUE(writeFile(photo, jpegBytes(quadrantPicture(40, 30))));
    const QString file = dir.filePath("plain-file");
    ASSERT_TRUE(writeFile(file, "x"));

    // A directory below a plain file can be made by no one, root included.
    for (const QString& out : {file, file + "/sub"}) {
        const ToolRun run = runTool({photo, "-o", out});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(out)) << run.err.toStdString();
    }
    QFile check(file);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "x");

    // A write cut short (here by a file size limit the tool inherits) names the
    // system's reason and leaves no output file behind.
    const QString large = dir.filePath("large.jpg");
    ASSERT_TRUE(writeFile(large, jpegBytes(photoLikePicture(300, 200))));
    rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;  // below each output PNG
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ToolRun cut = runTool({large, "-o", dir.filePath("cut")});
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_EQ(cut.err, QStringLiteral("charcolino-sketch: %1: File too large\n").arg(dir.filePath("cut/original.png")));
    EXPECT_TRUE(QDir(dir.filePath("cut")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Several photos: each into its own folder, the same files as alone; a photo that
// fails has its one line and the others are still written.
TEST(SketchTool, SeveralPhotosEachGetTheirFolderAndAFailureStopsOnlyItsOwn)
{
    QTemporaryDir dir;
    const QByteArray jpeg = jpegBytes(photoLikePicture(120, 90), 90);
    struct Case {
        const char* file;
        QByteArray bytes;
        const char* line;  // what its line on standard error says, if it has one
    } cases[] = {
        {"first.jpg", jpeg, nullptr},
        {"letter.jpg", "Dear reader, this is not a picture.\n", "not a picture"},
        {"cut.jpg", jpeg.left(jpeg.size() * 2 / 3), "warning: the picture is incomplete"},
        {"missing.jpg", QByteArray(), "missing.jpg: "},
        {"last.photo.jpg", jpegBytes(quadrantPicture(64, 48)), nullptr},
    };
    QStringList arguments;
    for (const Case& c : cases) {
        if (!c.bytes.isEmpty()) {
            ASSERT_TRUE(writeFile(dir.filePath(c.file), c.bytes));
        }
        arguments << dir.filePath(c.file);
    }
    const QString out = dir.filePath("out");
    const ToolRun run = runTool(arguments + QStringList{"-o", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.count('\n'), 3) << run.err.toStdString();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString photo = dir.filePath(c.file);
        const QString folder = out + '/' + QFileInfo(photo).completeBaseName();
        if (c.line) {
            EXPECT_TRUE(run.err.contains(photo + ": ") && run.err.contains(c.line)) << run.err.toStdString();
        }
        const bool written = !c.line || QByteArray(c.line).startsWith("warning");
        EXPECT_EQ(QDir(folder).exists(), written);
        if (!written)
            continue;
        const QString alone = dir.filePath(QStringLiteral("alone-%1").arg(c.file));
        ASSERT_EQ(runTool({photo, "-o", alone}).exitCode, 0);
        for (const char* name : {"original.png", "black.png", "color.png"})
            EXPECT_EQ(loaded(folder + '/' + name), loaded(alone + '/' + name)) << name;
    }

    // Two photos that would share a folder: a usage error before anything is made.
    ASSERT_TRUE(QDir(dir.path()).mkdir("again"));
    ASSERT_TRUE(writeFile(dir.filePath("again/first.jpg"), jpeg));
    const ToolRun clash =
        runTool({dir.filePath("first.jpg"), dir.filePath("again/first.jpg"), "-o", dir.filePath("clash")});
    EXPECT_EQ(clash.exitCode, 2);
    EXPECT_EQ(clash.err.count('\n'), 1) << clash.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("clash")));
}

TEST(SketchTool, HelpAndUsage)
{
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("PHOTO -o DIR"));
    EXPECT_TRUE(help.out.contains("black.png"));
    EXPECT_TRUE(help.out.contains("color.png"));

    EXPECT_TRUE(help.out.contains("--project FILE -o DIR"));
    EXPECT_TRUE(help.out.contains("working.png"));

    for (const QStringList& wrong : {QStringList{"photo.jpg"}, QStringList{"--unknown", "photo.jpg", "-o", "out"}}) {
        const ToolRun run = runTool(wrong);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
    EXPECT_NE(runTool({}).exitCode, 0);
    EXPECT_EQ(runTool({"photo.jpg", "--project", "project1.dat", "-o", "out"}).exitCode, 2);
    EXPECT_EQ(runTool({"--project", "project1.dat"}).exitCode, 2);
}

// --project: the images of a saved project.

namespace {

// Opaque picture pixels but for a translucent patch; the spare area loud.
QByteArray projectBuffer(int width, int height, int pictureWidth, int pictureHeight, int which)
{
    QByteArray b(width * height * 4, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto* p = reinterpret_cast<std::uint8_t*>(b.data()) + (y * width + x) * 4;
            const bool inside = x < pictureWidth && y < pictureHeight;
            const int alpha = inside && x < 8 && y < 8 ? 128 : 255;
            p[0] = std::uint8_t(inside ? (x * 5 + which * 40) * alpha / 255 : 255);
            p[1] = std::uint8_t(inside ? (y * 3 + which * 70) * alpha / 255 : 0);
            p[2] = std::uint8_t(inside ? ((x ^ y) + which * 20) * alpha / 255 : 255);
            p[3] = std::uint8_t(alpha);
        }
    return b;
}

QByteArray projectFile(const QByteArray& original, const QByteArray& working, int width, int height,
                       FloatSize picsize)
{
    ProjectCodec::Header header;
    header.saveTime = ProjectCodec::formatSaveTime(2009, 6, 30, 17, 5, 42);
    header.width = width;
    header.height = height;
    header.picsize = picsize;
    const std::vector<std::uint8_t> bytes =
        ProjectCodec::encodeProject(header, reinterpret_cast<const std::uint8_t*>(original.constData()),
                                    reinterpret_cast<const std::uint8_t*>(working.constData()));
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace

TEST(SketchTool, ProjectGivesItsFourImages)
{
    QTemporaryDir dir;
    // A 128 x 64 buffer holding a 100 x 50 picture.
    const QByteArray original = projectBuffer(128, 64, 100, 50, 0);
    const QByteArray working = projectBuffer(128, 64, 100, 50, 1);
    const QString file = dir.filePath("project3.dat");
    ASSERT_TRUE(writeFile(file, projectFile(original, working, 128, 64, {100, 50}) + "appended"));

    const QString out = dir.filePath("slot3");
    const ToolRun run = runTool({"--project", file, "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    std::vector<std::uint8_t> scratch(original.size()), black(original.size()), color(original.size());
    const SketchBuffers buffers{reinterpret_cast<const std::uint8_t*>(original.constData()), scratch.data(),
                               black.data(), color.data(), 128, 64, FloatSize{100, 50}};
    buildSketch(buffers);

    const auto* o = reinterpret_cast<const std::uint8_t*>(original.constData());
    const auto* w = reinterpret_cast<const std::uint8_t*>(working.constData());
    EXPECT_EQ(loaded(out + "/original.png"), savedForm(o, 128, 100, 50));
    EXPECT_EQ(loaded(out + "/working.png"), savedForm(w, 128, 100, 50));
    EXPECT_EQ(loaded(out + "/black.png"), savedForm(black.data(), 128, 100, 50));
    EXPECT_EQ(loaded(out + "/color.png"), savedForm(color.data(), 128, 100, 50));
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 4);
}

// The screen draws the buffers without blending, so a pixel shows its stored
// R, G, B whatever its fourth byte; the tool writes exactly that, opaque.
TEST(SketchTool, ProjectPixelsComeOutAsTheirStoredColourWhateverTheirAlpha)
{
    const std::uint8_t table[][4] = {
        {200, 100, 50, 0},     // colour under alpha 0
        {100, 50, 25, 128},    // half transparent, premultiplied
        {251, 251, 251, 128},  // colour above its alpha: not premultiplied
        {0, 0, 0, 0},
        {12, 34, 56, 255},
    };
    QByteArray original = projectBuffer(16, 8, 16, 8, 0), working = projectBuffer(16, 8, 16, 8, 1);
    for (int i = 0; i < 5; ++i)
        for (QByteArray* b : {&original, &working})
            std::memcpy(b->data() + (2 * 16 + i) * 4, table[i], 4);
    QTemporaryDir dir;
    const QString file = dir.filePath("project1.dat");
    ASSERT_TRUE(writeFile(file, projectFile(original, working, 16, 8, {16, 8})));
    const QString out = dir.filePath("out");
    const ToolRun run = runTool({"--project", file, "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    std::vector<std::uint8_t> scratch(original.size()), black(original.size()), color(original.size());
    buildSketch({reinterpret_cast<const std::uint8_t*>(original.constData()), scratch.data(), black.data(),
                 color.data(), 16, 8, FloatSize{16, 8}});
    for (const char* name : {"original.png", "working.png"}) {
        const QImage image = loaded(out + '/' + name);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(image.pixel(i, 2), qRgb(table[i][0], table[i][1], table[i][2])) << name << " pixel " << i;
    }
    EXPECT_EQ(loaded(out + "/black.png"), savedForm(black.data(), 16, 16, 8));
    EXPECT_EQ(loaded(out + "/color.png"), savedForm(color.data(), 16, 16, 8));
    for (const char* name : {"original.png", "working.png", "black.png", "color.png"}) {
        QFile png(out + '/' + name);
        ASSERT_TRUE(png.open(QIODevice::ReadOnly));
        EXPECT_EQ(int(png.read(26).at(25)), 2) << name << ": PNG colour type truecolour without alpha";
    }
}

TEST(SketchTool, ProjectSavedByTheCanvasGivesItsWorkingImage)
{
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        NO_GL_CONTEXT();
    ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 64, 64, {60, 33}, [](int which, int x, int y) {
        return 0xFF000000u | std::uint32_t(x * 4 + which) | std::uint32_t(y * 7) << 8 | std::uint32_t(which * 60) << 16;
    }));
    ASSERT_TRUE(canvas->SaveProject(1));

    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const ToolRun run = runTool({"--project", DocumentsDirectory::filePath("project1.dat"), "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(loaded(out + "/working.png"), savedForm(canvas->workingBuffer(), 64, 60, 33));
    EXPECT_EQ(loaded(out + "/original.png"), savedForm(canvas->originalBuffer(), 64, 60, 33));
}

TEST(SketchTool, DamagedProjectGivesOneLineAndWritesNothing)
{
    QTemporaryDir dir;
    const QByteArray good = projectFile(projectBuffer(16, 8, 10, 8, 0), projectBuffer(16, 8, 10, 8, 1), 16, 8, {10, 8});
    QByteArray hostile = good;
    hostile[23] = char(0x2C);  // width 300: not a power of two
    QByteArray outside = good;
    outside.replace(31, 4, QByteArray("\x00\x00\x90\x41", 4));  // picture width 18 in a 16-wide buffer
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"thirty.dat", good.left(30), "header"},
        {"truncated.dat", good.left(good.size() - 1), "truncated"},
        {"hostile.dat", hostile, "power of two"},
        {"outside.dat", outside, "picture size"},
        {"missing.dat", QByteArray(), "file not found"},
        {"fifo.dat", QByteArray(), "not a regular file"},  // a blocking open would wait for a writer
    };
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.dat")).constData(), 0600), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(c.name);
        if (!c.bytes.isEmpty()) {
            ASSERT_TRUE(writeFile(file, c.bytes));
        }
        const QString out = dir.filePath("out");
        const ToolRun run = runTool({"--project", file, "-o", out});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(file)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}
