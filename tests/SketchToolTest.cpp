// The command-line tool, run as a separate process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "canvas/ImportFile.h"
#include "canvas/PictureUnpack.h"
#include "canvas/SketchFilter.h"
#include "canvas/UprightImage.h"
#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), arguments);
    ToolRun run;
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = tool.exitCode();
    run.out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(tool.readAllStandardError());
    return run;
}

// The picture area of a buffer as the PNG file stores it (not premultiplied).
QImage savedForm(const std::uint8_t* buffer, int bufferWidth, int w, int h)
{
    return QImage(buffer, w, h, bufferWidth * 4, QImage::Format_RGBA8888_Premultiplied)
        .convertToFormat(QImage::Format_RGBA8888);
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
    EXPECT_TRUE(QImage(out + "/black.png").hasAlphaChannel());

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

    for (const QString& photo : {text, huge, dir.filePath("missing.png")}) {
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
}

TEST(SketchTool, HelpAndUsage)
{
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("PHOTO -o DIR"));
    EXPECT_TRUE(help.out.contains("black.png"));
    EXPECT_TRUE(help.out.contains("color.png"));

    const ToolRun noOutput = runTool({"photo.jpg"});
    EXPECT_EQ(noOutput.exitCode, 2);
    EXPECT_EQ(noOutput.err.count('\n'), 1);
    EXPECT_NE(runTool({}).exitCode, 0);
}
