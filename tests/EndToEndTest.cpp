// The whole program with a temporary HOME: a session driven in-process through the
// same objects main() builds, and the built program itself ended by signals.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "app/ApplicationShell.h"
#include "canvas/CanvasView.h"
#include "project/ProjectCodec.h"
#include "system/DocumentsDirectory.h"
#include "imageio/PhotoAlbum.h"
#include "widgets/SegmentedControl.h"
#include "storage/FileListViewController.h"
#include "support/MainScreenTestSupport.h"
#include "support/ProcessLine.h"

using namespace MainScreenTestSupport;

namespace {

QByteArray workingBytes(const CanvasView& canvas)
{
    return QByteArray(reinterpret_cast<const char*>(canvas.workingBuffer()),
                      qsizetype(canvas.bufferWidth()) * canvas.bufferHeight() * 4);
}

// The working buffer as stored in a project file.
QByteArray storedWorking(const QByteArray& file, int bufferWidth, int bufferHeight)
{
    const qsizetype n = qsizetype(bufferWidth) * bufferHeight * 4;
    return file.mid(qsizetype(ProjectCodec::kHeaderSize) + n, n);
}

void drag(QWidget* canvas, QPoint from, QPoint to)
{
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(canvas, from + (to - from) * i / 10);
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, to);
    QApplication::processEvents();
}

void tapMenu(CharcolinoViewController& c, QPushButton* button)
{
    QTest::mouseClick(c.menuButton(), Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QApplication::processEvents();
}

// Ends the running application the way closing the window does.
int closeWindowAndRun(ApplicationShell& shell)
{
    QTimer::singleShot(0, &shell.window(), [&shell] { shell.window().close(); });
    return runEventLoop();
}

QStringList albumPictures()
{
    return QDir(PhotoAlbum::folder()).entryList({"*.png"}, QDir::Files);
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearDocuments();
        QDir album(PhotoAlbum::folder());
        for (const QString& name : albumPictures())
            album.remove(name);
    }
    void TearDown() override { takeAlerts(); }
};

}  // namespace

TEST_F(EndToEnd, PaintSaveQuitRestartLoadAndExport)
{
    QByteArray slot3Working;
    QByteArray slot0Working;
    int w = 0;
    int h = 0;
    {
        ApplicationShell shell;
        shell.launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
        CharcolinoViewController& c = shell.controller();
        CanvasView* canvas = c.canvas();
        ASSERT_NE(canvas, nullptr);
        ASSERT_FALSE(canvas->isLoaded());
        ASSERT_TRUE(chooseOnSheet("Color Pencil Sketch")) << "the butterfly project asks for its start image";
        ASSERT_TRUE(canvas->isLoaded());
        w = canvas->bufferWidth();
        h = canvas->bufferHeight();
        const QByteArray colourStart = workingBytes(*canvas);

        clickSegment(c.toolbar(), 0);
        drag(canvas, QPoint(60, 120), QPoint(260, 170));
        ASSERT_NE(workingBytes(*canvas), colourStart) << "the stroke reached the working image";

        tapMenu(c, c.saveButton());
        ASSERT_TRUE(c.slotBrowser()->isVisible());
        chooseSlot(c.slotBrowser(), 3);
        EXPECT_TRUE(takeAlerts().isEmpty());
        EXPECT_FALSE(c.slotBrowser()->isVisible());
        EXPECT_TRUE(QFile::exists(DocumentsDirectory::filePath("project3.dat")));
        EXPECT_TRUE(QFile::exists(DocumentsDirectory::filePath("thumbnail3.jpg")));
        slot3Working = workingBytes(*canvas);

        clickSegment(c.toolbar(), 2);
        drag(canvas, QPoint(80, 300), QPoint(240, 260));
        slot0Working = workingBytes(*canvas);
        ASSERT_NE(slot0Working, slot3Working);

        EXPECT_EQ(closeWindowAndRun(shell), 0) << "closing the window ends the program";
        const QByteArray slot0 = readBytes(DocumentsDirectory::filePath("project0.dat"));
        EXPECT_EQ(storedWorking(slot0, w, h), slot0Working) << "the working project went to slot 0";
        EXPECT_FALSE(QFile::exists(DocumentsDirectory::filePath("thumbnail0.jpg")));
    }
    {
        ApplicationShell shell;
        shell.launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
        CharcolinoViewController& c = shell.controller();
        CanvasView* canvas = c.canvas();
        ASSERT_NE(canvas, nullptr);
        EXPECT_EQ(openSheet(), nullptr) << "slot 0 reopened, nothing to ask";
        ASSERT_TRUE(canvas->isLoaded());
        EXPECT_EQ(workingBytes(*canvas), slot0Working);
        EXPECT_EQ(c.toolbar()->selectedSegmentIndex(), 3);
        EXPECT_DOUBLE_EQ(c.brushsize()->alpha(), 0.4);

        tapMenu(c, c.loadButton());
        chooseSlot(c.slotBrowser(), 3);
        EXPECT_TRUE(takeAlerts().isEmpty());
        ASSERT_TRUE(canvas->isLoaded());
        EXPECT_EQ(workingBytes(*canvas), slot3Working);
        EXPECT_EQ(c.toolbar()->selectedSegmentIndex(), 3);

        // The export lands in the Pictures folder as the picture area, pixel for pixel.
        EXPECT_EQ(QDir(PhotoAlbum::folder()).absolutePath(),
                  QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).absolutePath());
        tapMenu(c, c.exportButton());
        QImage exported;
        const bool saved = QTest::qWaitFor(
            [&] {
                const QStringList files = albumPictures();
                if (files.size() != 1)
                    return false;
                exported = QImage(QDir(PhotoAlbum::folder()).filePath(files.first()));
                return !exported.isNull();
            },
            30000);
        ASSERT_TRUE(saved) << "no picture in the album";
        const FloatSize picsize = canvas->pictureSize();
        ASSERT_EQ(exported.size(), QSize(int(picsize.width), int(picsize.height)));
        exported = exported.convertToFormat(QImage::Format_RGBA8888);
        for (int y = 0; y < exported.height(); ++y)
            ASSERT_EQ(0, std::memcmp(exported.constScanLine(y), canvas->workingBuffer() + std::size_t(y) * w * 4,
                                     std::size_t(exported.width()) * 4))
                << "row " << y;
        EXPECT_TRUE(takeAlerts().isEmpty());
    }
}

TEST_F(EndToEnd, DamagedSlotZeroStartsTheButterflyProject)
{
    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"),
                           QByteArray("2012-12-12 12:12:12") + QByteArray(40, '\xff')));
    ApplicationShell shell;
    shell.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
    CanvasView* canvas = shell.controller().canvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_FALSE(canvas->isLoaded());
    ASSERT_TRUE(chooseOnSheet("Black Pencil Sketch"));
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{640, 780})) << "the start picture";
    EXPECT_TRUE(takeAlerts().isEmpty());
}

// The start sheet refuses to close without an answer; closing the window still
// ends the program, and with no project there is nothing to save.
TEST_F(EndToEnd, ClosingTheWindowWhileTheStartSheetWaitsStillQuits)
{
    ApplicationShell shell;
    shell.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
    ASSERT_NE(openSheet(), nullptr);
    EXPECT_EQ(closeWindowAndRun(shell), 0);
    EXPECT_FALSE(QFile::exists(DocumentsDirectory::filePath("project0.dat")));
}

// A camera-sized photo through the picker: shrunk to at most 1024 pixels a side,
// painted and saved. (Run alone under /usr/bin/time -v for the session's peak memory.)
TEST_F(EndToEnd, LargePhotoFromThePickerPaintAndSave)
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    ASSERT_TRUE(QDir().mkpath(pictures));
    const QString photo = QDir(pictures).filePath("photo12mp.jpg");
    QFile::remove(photo);
    ASSERT_TRUE(QFile::copy(QStringLiteral(CHARCOLINO_SOURCE_DIR "/bench/photos/photo12mp.jpg"), photo));

    ApplicationShell shell;
    shell.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    CharcolinoViewController& c = shell.controller();
    tapMenu(c, c.newButton());
    ASSERT_NE(c.picker(), nullptr);
    pickFile(c.picker(), photo);
    // Read on a worker: the sheet comes once it is read.
    ASSERT_TRUE(QTest::qWaitFor([&c] { return !c.isOpeningImageFile(); }, 30000));
    EXPECT_EQ(c.picker(), nullptr) << "the picker goes once the photo is in use";
    ASSERT_TRUE(chooseOnSheet("Black Pencil Sketch"));
    CanvasView* canvas = c.canvas();
    ASSERT_TRUE(canvas->isLoaded());
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{1024, 768}));

    clickSegment(c.toolbar(), 1);
    const QByteArray before = workingBytes(*canvas);
    drag(canvas, QPoint(40, 150), QPoint(280, 250));
    EXPECT_NE(workingBytes(*canvas), before);
    tapMenu(c, c.saveButton());
    chooseSlot(c.slotBrowser(), 1);
    EXPECT_TRUE(takeAlerts().isEmpty());
    EXPECT_EQ(storedWorking(readBytes(DocumentsDirectory::filePath("project1.dat")), 1024, 1024),
              workingBytes(*canvas));
}

// The built program with `home` as HOME, started and past its first frame.
::testing::AssertionResult startProgram(QProcess& app, const QTemporaryDir& home)
{
    const QString data = home.filePath(".local/share");
    QDir().mkpath(home.filePath("runtime"));
    QFile::setPermissions(home.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_PICTURES_DIR", "XDG_DOCUMENTS_DIR", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", data);
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    env.insert("XDG_CACHE_HOME", home.filePath(".cache"));
    env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CHARCOLINO_READY_LINE", "1");

    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::SeparateChannels);
    app.start(QStringLiteral(CHARCOLINO_APP), {});
    if (!app.waitForStarted(30000))
        return ::testing::AssertionFailure() << "not started";
    if (!waitForLine(app, 60000))
        return ::testing::AssertionFailure() << "no ready line; stderr: " << app.readAllStandardError().toStdString();
    if (app.readLine().trimmed() != "ready")
        return ::testing::AssertionFailure() << "no ready line";
    return ::testing::AssertionSuccess();
}

QString slot0Of(const QTemporaryDir& home)
{
    return home.filePath(".local/share") + "/Charcolino/Charcolino/project0.dat";
}

// The built program, ended by a signal once its first frame is out.
class EndToEndProcess : public ::testing::TestWithParam<int> {};

TEST_P(EndToEndProcess, SignalSavesTheWorkingProjectUnlessKilled)
{
    const int signalNumber = GetParam();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString slot0 = slot0Of(home);
    const char* oldTime = "2001-02-03 04:05:06";
    const QByteArray prepared = projectFileBytes(
        1024, 1024, FloatSize{1000, 700},
        [](int buffer, int x, int y) { return 0xff000000u | std::uint32_t((x * 3 + y * 5 + buffer * 77) & 0xffffff); },
        oldTime);
    ASSERT_TRUE(writeBytes(slot0, prepared));

    QProcess app;
    ASSERT_TRUE(startProgram(app, home));
    ASSERT_EQ(::kill(pid_t(app.processId()), signalNumber), 0);
    ASSERT_TRUE(app.waitForFinished(60000));
    const QByteArray after = readBytes(slot0);
    if (signalNumber == SIGKILL) {
        EXPECT_EQ(app.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(after, prepared) << "without the end of the event loop slot 0 stays as it was";
        return;
    }
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
    ASSERT_EQ(after.size(), prepared.size());
    EXPECT_NE(after.left(19), QByteArray(oldTime)) << "slot 0 written anew at the end";
    EXPECT_TRUE(after.mid(19) == prepared.mid(19)) << "the same project, geometry and both buffers";
}

// A quit save that cannot be written says so in exactly one line on standard error,
// naming the file and the reason.
TEST(EndToEndQuit, FailedQuitSaveSaysWhyInOneLine)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString slot0 = slot0Of(home);
    ASSERT_TRUE(writeBytes(slot0, projectFileBytes(64, 64, FloatSize{64, 64},
                                                   [](int, int x, int y) { return 0xff000000u | std::uint32_t(x + y); })));
    QProcess app;
    ASSERT_TRUE(startProgram(app, home));
    // A folder takes the place of slot 0 while the program runs.
    ASSERT_TRUE(QFile::remove(slot0));
    ASSERT_TRUE(QDir().mkpath(slot0 + "/inside"));
    ASSERT_EQ(::kill(pid_t(app.processId()), SIGTERM), 0);
    ASSERT_TRUE(app.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(app.readAllStandardError());
    EXPECT_EQ(errors.count(QLatin1Char('\n')), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(slot0)) << errors.toStdString();
    EXPECT_TRUE(errors.trimmed().endsWith(QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EISDIR))))
        << errors.toStdString();
    EXPECT_EQ(app.exitCode(), 1) << "a failed quit save exits non-zero";
}

INSTANTIATE_TEST_SUITE_P(Signals, EndToEndProcess, ::testing::Values(SIGTERM, SIGINT, SIGKILL),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == SIGTERM ? std::string("Term")
                                    : info.param == SIGINT ? std::string("Int")
                                                           : std::string("Kill");
                         });
