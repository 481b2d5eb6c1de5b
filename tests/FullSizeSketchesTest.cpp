// charcolino-sketch --full-size: the sketches at the photo's own size, run as a
// separate process and checked against the drawing at full resolution, which
// makes the same sketches band by band from a project of the photo.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

#include "project/FullResolutionPicture.h"
#include "project/FullResolutionRecord.h"
#include "support/HeifColourFiles.h"
#include "support/ImportTestFiles.h"
#include "support/ToolRun.h"

using namespace ImportTestFiles;

namespace {

QImage loaded(const QString& path) { return QImage(path).convertToFormat(QImage::Format_RGB888); }

// The drawing at the photo's size of a project of `picsize` made from the photo
// that starts from one of its sketches (0 black, 1 colour) and has no strokes:
// that sketch at the photo's size.
QImage drawnSketch(const QString& photo, FloatSize picsize, int which)
{
    FullResolutionRecord record;
    record.picsize = picsize;
    record.startSource = which;
    QString error;
    const QImage drawing = fullResolutionPicture(photo, record, &error);
    EXPECT_FALSE(drawing.isNull()) << error.toStdString();
    return drawing.convertToFormat(QImage::Format_RGB888);
}

}  // namespace

TEST(FullSizeSketches, TurnedPhotoGivesTheDrawingsSketchesAtItsOwnSize)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int width, height, orientation;
        FloatSize imported;  // upright
    } cases[] = {
        {"turned.jpg", 1600, 1200, 6, {768, 1024}},  // shown turned right: 1200 x 1600
        {"wide.jpg", 2100, 700, 3, {1024, 341}},     // upside down; a scale of 2.05 across, 2.05 down
        {"odd.jpg", 1301, 1025, 1, {1024, 807}},     // sides' scales a little apart; read in strips
        {"mirrored.jpg", 800, 1600, 2, {512, 1024}}, // read in strips, each row mirrored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString photo = dir.filePath(c.name);
        ASSERT_TRUE(writeFile(photo, withExifOrientation(jpegBytes(photoLikePicture(c.width, c.height), 90),
                                                         c.orientation)));
        const QString out = dir.filePath(QStringLiteral("out-%1").arg(c.name));
        const ToolRun run = runTool({"--full-size", photo, "-o", out});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"black.png", "color.png"}));

        const QImage black = loaded(out + "/black.png");
        const bool swapped = c.orientation >= 5;
        EXPECT_EQ(black.size(), swapped ? QSize(c.height, c.width) : QSize(c.width, c.height));
        EXPECT_EQ(black, drawnSketch(photo, c.imported, 0));
        EXPECT_EQ(loaded(out + "/color.png"), drawnSketch(photo, c.imported, 1));
        EXPECT_FALSE(QImage(out + "/color.png").hasAlphaChannel());
    }
}

TEST(FullSizeSketches, PhotoNoLargerThanTheImportGivesTheImportedSketches)
{
    QTemporaryDir dir;
    const QString photo = dir.filePath("small.jpg");
    ASSERT_TRUE(writeFile(photo, withExifOrientation(jpegBytes(photoLikePicture(640, 400), 90), 8)));
    ASSERT_EQ(runTool({photo, "-o", dir.filePath("imported")}).exitCode, 0);
    ASSERT_EQ(runTool({"--full-size", photo, "-o", dir.filePath("full")}).exitCode, 0);
    for (const char* name : {"black.png", "color.png"})
        EXPECT_EQ(loaded(dir.filePath("full/") + name), loaded(dir.filePath("imported/") + name)) << name;
}

TEST(FullSizeSketches, SeveralPhotosEachGetTheirFolderAndAFailureStopsOnlyItsOwn)
{
    QTemporaryDir dir;
    const QByteArray jpeg = jpegBytes(photoLikePicture(1500, 1100), 90);
    struct Case {
        const char* file;
        QByteArray bytes;
        const char* line;  // what its line on standard error says, if it has one
    } cases[] = {
        {"first.jpg", jpeg, nullptr},
        {"letter.jpg", "Dear reader, this is not a picture.\n", "not a picture"},
        {"cut.jpg", jpeg.left(jpeg.size() * 2 / 3), "warning: the picture is incomplete"},
        {"last.jpg", jpegBytes(quadrantPicture(1100, 1300)), nullptr},
    };
    QStringList arguments{"--full-size"};
    for (const Case& c : cases) {
        ASSERT_TRUE(writeFile(dir.filePath(c.file), c.bytes));
        arguments << dir.filePath(c.file);
    }
    const QString out = dir.filePath("out");
    const ToolRun run = runTool(arguments + QStringList{"-o", out});
    EXPECT_EQ(run.exitCode, 1);
    // One line for each photo that has one, and no progress line off a terminal.
    EXPECT_EQ(run.err.count('\n'), 2) << run.err.toStdString();
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
        ASSERT_EQ(runTool({"--full-size", photo, "-o", alone}).exitCode, 0);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"black.png", "color.png"}));
        for (const char* name : {"black.png", "color.png"})
            EXPECT_EQ(loaded(folder + '/' + name), loaded(alone + '/' + name)) << name;
    }
    EXPECT_EQ(QImage(out + "/cut/black.png").size(), QSize(1500, 1100));
}

TEST(FullSizeSketches, ColoursTakenAsSrgbAreSaidInOneLineAndTheSketchesStillMade)
{
    QTemporaryDir dir;
    const QByteArray heic = HeifColourFiles::described(photoLikePicture(1200, 900), HeifColourFiles::Codec::Hevc,
                                                       HeifColourFiles::Description{{}, 10, 13});
    if (heic.isEmpty())
        GTEST_SKIP() << "no HEVC encoder";
    const QString photo = dir.filePath("xyz.heic");
    ASSERT_TRUE(writeFile(photo, heic));
    const ToolRun run = runTool({"--full-size", photo, "-o", dir.filePath("out")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, QStringLiteral("charcolino-sketch: %1: warning: its colours (nclx primaries 10, transfer 13) "
                                      "cannot be converted: they are taken as sRGB\n")
                           .arg(photo));
    EXPECT_EQ(QImage(dir.filePath("out/color.png")).size(), QSize(1200, 900));
}

// The files are written as the sketches are made, under temporary names: a write
// cut short (here by a file size limit the tool inherits) names the file and the
// system's reason, and leaves nothing behind, the files there before as they were.
TEST(FullSizeSketches, WriteCutShortLeavesNoFileAndTheEarlierFilesAsTheyWere)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int width, height, orientation;  // read in strips, or whole
    } cases[] = {{"upright.jpg", 1500, 1100, 1}, {"turned.jpg", 1500, 1100, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString photo = dir.filePath(c.name);
        ASSERT_TRUE(writeFile(photo, withExifOrientation(jpegBytes(photoLikePicture(c.width, c.height), 90),
                                                         c.orientation)));
        const QString out = dir.filePath(QStringLiteral("out-%1").arg(c.name));
        ASSERT_TRUE(QDir().mkpath(out));
        ASSERT_TRUE(writeFile(out + "/black.png", "earlier"));
        rlimit previous {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit small = previous;
        small.rlim_cur = 65536;  // below either PNG, above its first strips
        const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const ToolRun cut = runTool({"--full-size", photo, "-o", out});
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousSignal);
        EXPECT_EQ(cut.exitCode, 1);
        EXPECT_TRUE(cut.err == QStringLiteral("charcolino-sketch: %1/black.png: File too large\n").arg(out) ||
                    cut.err == QStringLiteral("charcolino-sketch: %1/color.png: File too large\n").arg(out))
            << cut.err.toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"black.png"});
        QFile earlier(out + "/black.png");
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), "earlier");
    }
}

TEST(FullSizeSketches, HelpAndUsage)
{
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--full-size PHOTO... -o DIR")) << help.out.toStdString();

    const ToolRun withProject = runTool({"--full-size", "--project", "project1.dat", "-o", "out"});
    EXPECT_EQ(withProject.exitCode, 2);
    EXPECT_EQ(withProject.err.count('\n'), 1) << withProject.err.toStdString();
    EXPECT_EQ(runTool({"--full-size", "photo.jpg"}).exitCode, 2);
}
