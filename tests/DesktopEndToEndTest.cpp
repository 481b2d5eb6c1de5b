// The built program on a virtual X display (Xvfb), driven by real X input
// (xdotool) as a desktop user drives it, and judged only by what it shows
// (screenshots taken with ImageMagick's import) and the files it writes (slot
// files read back with charcolino-sketch --project).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>

#include "support/DisplayEnvironment.h"
#include "support/ImportTestFiles.h"
#include "support/MainScreenTestSupport.h"
#include "support/ProcessLine.h"

using namespace MainScreenTestSupport;

namespace {

constexpr int kBand = 70;  // the control band above the canvas, in window points
constexpr int kWaitMs = 30000;

// The working image is red with a blue band down the middle, over a white photo:
// every sketch is white, so whatever the brush touches turns white, and the band's
// width on screen tells the zoom.
constexpr std::uint32_t kRed = 0xff0000ffu;
constexpr std::uint32_t kBlue = 0xffff0000u;
constexpr std::uint32_t kWhite = 0xffffffffu;

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isBlue(QRgb c) { return qBlue(c) > 200 && qGreen(c) < 60 && qRed(c) < 60; }
bool isWhite(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200; }

int count(const QImage& image, const std::function<bool(QRgb)>& test, QRect area = QRect())
{
    if (area.isNull())
        area = image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

class DesktopEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "xdotool", "import"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                if (qEnvironmentVariableIntValue("CHARCOLINO_REQUIRE_GL") == 1)
                    FAIL() << tool << " is missing, and CHARCOLINO_REQUIRE_GL=1 requires the X test to run";
                GTEST_SKIP() << tool << " is missing (scripts/setup installs it)";
            }
        ASSERT_TRUE(home.isValid());
        xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        ASSERT_TRUE(xvfb.waitForStarted(kWaitMs));
        ASSERT_TRUE(waitForLine(xvfb, kWaitMs)) << "Xvfb gave no display: " << xvfb.readAllStandardError().toStdString();
        display = QLatin1Char(':') + QString::fromLatin1(xvfb.readLine().trimmed());

        env = displayEnvironment(display, home);
    }

    void TearDown() override
    {
        for (QProcess* p : {&app, &xvfb})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kWaitMs);
            }
    }

    QString documents(const QString& name) const { return home.filePath(".local/share/Charcolino/Charcolino/" + name); }

    // Runs a helper program on the display; its standard output.
    QByteArray x(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!p.waitForFinished(kWaitMs) || p.exitCode() != 0)
            ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << ": "
                          << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput();
    }
    void xdotool(const QString& commands) { x("xdotool", commands.split(' ', Qt::SkipEmptyParts)); }

    // The window as it is on the display, in window points.
    QImage screenshot()
    {
        const QString file = home.filePath("shot.png");
        x("import", {"-window", window, file});
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }
    // Waits for the window to show what `shows` looks for; the last screenshot.
    QImage waitForScreen(const std::function<bool(const QImage&)>& shows)
    {
        QImage shot;
        (void)QTest::qWaitFor([&] { return shows(shot = screenshot()); }, kWaitMs);
        return shot;
    }
    // A point of the canvas (canvas points) on the display.
    QString at(int cx, int cy) const
    {
        return QStringLiteral("%1 %2").arg(origin.x() + cx).arg(origin.y() + kBand + cy);
    }
    // One motion from start to end with the button held: as fast as a drag gets.
    void fastDrag(QPoint from, QPoint to)
    {
        xdotool(QStringLiteral("mousemove %1 mousedown 1 mousemove %2 mouseup 1")
                    .arg(at(from.x(), from.y()), at(to.x(), to.y())));
    }
    // The working image of a project file, as the sketch tool writes it.
    QImage storedWorking(const QString& project)
    {
        const QString out = home.filePath("images-" + QFileInfo(project).baseName());
        x(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {"--project", project, "-o", out});
        return QImage(out + "/working.png").convertToFormat(QImage::Format_RGB32);
    }

    // Starts the program with `args` and waits for its ready line and its window;
    // the window's id and place are kept. No window manager: nothing focuses it.
    void startProgram(const QStringList& args)
    {
        QProcessEnvironment appEnv = env;
        appEnv.insert("QT_QPA_PLATFORM", "xcb");
        appEnv.insert("CHARCOLINO_READY_LINE", "1");
        app.setProcessEnvironment(appEnv);
        app.start(QStringLiteral(CHARCOLINO_APP), args);
        ASSERT_TRUE(app.waitForStarted(kWaitMs));
        ASSERT_TRUE(waitForLine(app, kWaitMs)) << "no ready line: " << app.readAllStandardError().toStdString();
        window = QString::fromLatin1(
            x("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Charcolino"}).split('\n').first().trimmed());
        ASSERT_FALSE(window.isEmpty());
        for (const QByteArray& line : x("xdotool", {"getwindowgeometry", "--shell", window}).split('\n')) {
            if (line.startsWith("X="))
                origin.setX(line.mid(2).toInt());
            if (line.startsWith("Y="))
                origin.setY(line.mid(2).toInt());
        }
    }
    // The start sheets on the display.
    int sheetsShown()
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start("xdotool", {"search", "--onlyvisible", "--name", "^Start New Project With$"});
        p.waitForFinished(kWaitMs);
        int n = 0;
        for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
            n += line.trimmed().isEmpty() ? 0 : 1;
        return n;
    }

    QTemporaryDir home;
    QProcess xvfb;
    QProcess app;
    QString display;
    QProcessEnvironment env;
    QString window;  // X window id of the main window
    QPoint origin;   // its top-left corner on the display
};

}  // namespace

TEST_F(DesktopEndToEnd, DragHalfStrengthUndoWheelSaveExportAndTerminate)
{
    // A 1000 x 700 picture: red working image with a blue band at x 480..519, white photo.
    ASSERT_TRUE(writeBytes(documents("project0.dat"),
                           projectFileBytes(1024, 1024, FloatSize{1000, 700}, [](int buffer, int x, int) {
                               return buffer != 3 ? kWhite : x >= 480 && x < 520 ? kBlue : kRed;
                           })));
    QProcessEnvironment appEnv = env;
    appEnv.insert("QT_QPA_PLATFORM", "xcb");
    appEnv.insert("CHARCOLINO_READY_LINE", "1");
    app.setProcessEnvironment(appEnv);
    app.start(QStringLiteral(CHARCOLINO_APP), {});
    ASSERT_TRUE(app.waitForStarted(kWaitMs));
    ASSERT_TRUE(waitForLine(app, kWaitMs)) << "no ready line: " << app.readAllStandardError().toStdString();

    window = QString::fromLatin1(x("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Charcolino"})
                                     .split('\n')
                                     .first()
                                     .trimmed());
    ASSERT_FALSE(window.isEmpty());
    for (const QByteArray& line : x("xdotool", {"getwindowgeometry", "--shell", window}).split('\n')) {
        if (line.startsWith("X="))
            origin.setX(line.mid(2).toInt());
        if (line.startsWith("Y="))
            origin.setY(line.mid(2).toInt());
    }
    xdotool("windowfocus " + window);

    // The canvas (320 x 390) shows the whole picture width; its middle row is red.
    const int row = 195;
    const QRect line(40, kBand + row, 241, 1);  // from x 40 to 280
    QImage shot = waitForScreen([&](const QImage& s) { return count(s, isRed, line) > line.width() / 2; });
    ASSERT_EQ(count(shot, isRed, line) + count(shot, isBlue, line), line.width()) << "the picture is on screen";
    const int redBefore = count(shot, isRed);
    const int blueBefore = count(shot, isBlue);
    ASSERT_GT(blueBefore, 0);

    // B, then one fast drag: a continuous white line, no red left along it.
    xdotool("key b");
    fastDrag({40, row}, {280, row});
    shot = waitForScreen([&](const QImage& s) { return count(s, isWhite, line) == line.width(); });
    EXPECT_EQ(count(shot, isWhite, line), line.width()) << "a gap in the line";
    EXPECT_TRUE(QTest::qWaitFor([&] { return x("xdotool", {"getwindowname", window}).startsWith('*'); },
                                kWaitMs))
        << "unsaved strokes";

    // Ctrl+Z takes the whole stroke back, and with it the star: the picture is
    // the one in slot 0 again. Ctrl+Y brings both back, Ctrl+Z takes them again.
    xdotool("key ctrl+z");
    shot = waitForScreen([&](const QImage& s) { return count(s, isRed) == redBefore; });
    EXPECT_EQ(count(shot, isRed), redBefore);
    const auto titled = [&](bool star) {
        return QTest::qWaitFor(
            [&] { return x("xdotool", {"getwindowname", window}).startsWith('*') == star; }, kWaitMs);
    };
    EXPECT_TRUE(titled(false)) << "back at the saved picture";
    xdotool("key ctrl+y");
    EXPECT_TRUE(titled(true)) << "redone";
    xdotool("key ctrl+z");
    EXPECT_TRUE(titled(false));

    // I five times: 50 % strength. A stroke there and back over itself reveals
    // half of the white photo over the red (or blue) picture: green 128 all along
    // it; a second stroke half of what is left: 191.
    for (int i = 0; i < 5; ++i)
        xdotool("key i");
    const QRect half(40, kBand + row + 60, 241, 1);
    const auto greenAbout = [](int green) {
        return [green](QRgb c) { return qGreen(c) >= green - 2 && qGreen(c) <= green + 2; };
    };
    xdotool(QStringLiteral("mousemove %1 mousedown 1 mousemove %2 mousemove %1 mouseup 1")
                .arg(at(40, row + 60), at(280, row + 60)));
    shot = waitForScreen([&](const QImage& s) { return count(s, greenAbout(128), half) == half.width(); });
    EXPECT_EQ(count(shot, greenAbout(128), half), half.width()) << "half revealed, however often painted over";
    fastDrag({40, row + 60}, {280, row + 60});
    shot = waitForScreen([&](const QImage& s) { return count(s, greenAbout(191), half) == half.width(); });
    EXPECT_EQ(count(shot, greenAbout(191), half), half.width()) << "a second stroke: half of what was left";
    xdotool("key ctrl+z ctrl+z");
    for (int i = 0; i < 5; ++i)
        xdotool("key o");
    shot = waitForScreen([&](const QImage& s) { return count(s, isRed) == redBefore; });
    EXPECT_EQ(count(shot, isRed), redBefore);

    // One wheel notch up over the canvas: the band grows.
    xdotool("mousemove " + at(160, row) + " click 4");
    shot = waitForScreen([&](const QImage& s) { return count(s, isBlue) > blueBefore * 11 / 10; });
    EXPECT_GT(count(shot, isBlue), blueBefore * 11 / 10) << "the wheel zooms";

    // A stroke, saved into slot 1 through the browser (Ctrl+S, Down, Enter).
    fastDrag({60, row}, {260, row});
    waitForScreen([&](const QImage& s) { return count(s, isWhite, QRect(60, kBand + row, 201, 1)) == 201; });
    xdotool("key ctrl+s");
    const QByteArray browser = x("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Save Project$"});
    ASSERT_FALSE(browser.trimmed().isEmpty());
    xdotool("windowfocus " + QString::fromLatin1(browser.split('\n').first().trimmed()));
    xdotool("key Down Return");
    (void)QTest::qWaitFor([&] { return QFile::exists(documents("thumbnail1.jpg")); }, kWaitMs);
    ASSERT_TRUE(QFile::exists(documents("project1.dat")));
    ASSERT_TRUE(QFile::exists(documents("thumbnail1.jpg")));
    const QImage slot1 = storedWorking(documents("project1.dat"));
    ASSERT_EQ(slot1.size(), QSize(1000, 700));
    const int slot1White = count(slot1, isWhite);
    EXPECT_GT(slot1White, 5000) << "the stroke is in the slot";
    EXPECT_EQ(slot1White + count(slot1, isRed) + count(slot1, isBlue), 1000 * 700);

    // Ctrl+E: the picture as a new PNG in the Pictures folder. There is no window
    // manager: the program gives the keyboard back to its window when the browser
    // goes.
    xdotool("key ctrl+e");
    QDir pictures(home.filePath("Pictures"));
    (void)QTest::qWaitFor([&] { return !pictures.entryList({"Charcolino *.png"}, QDir::Files).isEmpty(); }, kWaitMs);
    const QStringList exported = pictures.entryList({"Charcolino *.png"}, QDir::Files);
    ASSERT_EQ(exported.size(), 1);
    const QImage picture = QImage(pictures.filePath(exported.first())).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(picture.size(), QSize(1000, 700));
    EXPECT_EQ(count(picture, isWhite), slot1White);

    // Resized to 760 x 560: the canvas fills the view below the band (black where
    // the picture is not, none of the window's grey), and 0 then shows the whole
    // picture at 0.64, 640 x 448 points in the middle of the 760 x 490 view.
    auto isBlack = [](QRgb c) { return c == qRgb(0, 0, 0); };
    xdotool("windowsize " + window + " 760 560");
    xdotool("windowfocus " + window);
    xdotool("key 0");
    const QRect wide(60, kBand + 245, 640, 1);
    shot = waitForScreen([&](const QImage& s) { return s.size() == QSize(760, 560) && count(s, isBlack, wide) == 0; });
    ASSERT_EQ(shot.size(), QSize(760, 560));
    EXPECT_EQ(count(shot, isBlack, wide), 0) << "the whole picture width across the view";
    EXPECT_EQ(count(shot, isBlack, QRect(55, kBand + 245, 5, 1)) + count(shot, isBlack, QRect(700, kBand + 245, 5, 1)),
              10)
        << "nothing beside it";
    for (const QPoint corner : {QPoint(5, kBand + 2), QPoint(754, kBand + 2), QPoint(754, 557), QPoint(5, 557)})
        EXPECT_TRUE(isBlack(shot.pixel(corner))) << corner.x() << "," << corner.y() << ": canvas, not padding";
    // Back to the first size: the middle point stays, the picture re-centred
    // vertically; the middle row is picture from edge to edge.
    xdotool("windowsize " + window + " 320 460");
    const QRect across(0, kBand + row, 320, 1);
    shot = waitForScreen([&](const QImage& s) { return s.size() == QSize(320, 460) && count(s, isBlack, across) == 0; });
    ASSERT_EQ(shot.size(), QSize(320, 460));
    EXPECT_EQ(count(shot, isBlack, across), 0);

    // A last stroke, then SIGTERM: the working project keeps it.
    fastDrag({160, 20}, {160, 370});
    waitForScreen([&](const QImage& s) { return isWhite(s.pixel(160, kBand + 100)); });
    ASSERT_EQ(::kill(pid_t(app.processId()), SIGTERM), 0);
    ASSERT_TRUE(app.waitForFinished(kWaitMs));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_GT(count(storedWorking(documents("project0.dat")), isWhite), slot1White);
}

// A first start with a photo: one sheet, over the photo, with the keyboard; then a
// second start with another photo replaces the project on a sheet that Escape
// cancels, the first photo's project staying. No window manager, no clicks.
TEST_F(DesktopEndToEnd, FirstStartWithAPhotoThenACancelledSecondPhoto)
{
    QDir().mkpath(home.filePath("Pictures"));
    const QString first = home.filePath("Pictures/first.png");
    const QString second = home.filePath("Pictures/second.png");
    ASSERT_TRUE(ImportTestFiles::quadrantPicture(400, 300).save(first, "PNG"));
    ASSERT_TRUE(ImportTestFiles::quadrantPicture(100, 400).save(second, "PNG"));
    startProgram({first});
    const auto topLeftRed = [](QRgb c) { return qRed(c) > 190 && qGreen(c) < 70 && qBlue(c) < 70; };
    // At 0.8 the photo is 320 x 240 points from canvas row 75: its red quadrant
    // at the top left, above the sheet.
    const QRect red(10, kBand + 85, 140, 100);
    QImage shot = waitForScreen([&](const QImage& s) { return count(s, topLeftRed, red) == red.width() * red.height(); });
    EXPECT_EQ(count(shot, topLeftRed, red), red.width() * red.height()) << "the photo behind the sheet";
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheetsShown() == 1; }, kWaitMs));
    QTest::qWait(300);
    EXPECT_EQ(sheetsShown(), 1) << "one sheet";

    // Original Picture, by keys alone: the sheet has the keyboard.
    xdotool("key Down Down Return");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheetsShown() == 0; }, kWaitMs));
    const QRect below(10, kBand + 205, 140, 100);  // the blue quadrant, where the sheet was
    const auto blue = [](QRgb c) { return qBlue(c) > 190 && qRed(c) < 70 && qGreen(c) < 80; };
    shot = waitForScreen([&](const QImage& s) { return count(s, blue, below) == below.width() * below.height(); });
    EXPECT_EQ(count(shot, blue, below), below.width() * below.height());

    // A second start hands its photo over; the sheet shows it and has the keyboard.
    QProcess later;
    QProcessEnvironment laterEnv = env;
    laterEnv.insert("QT_QPA_PLATFORM", "xcb");
    later.setProcessEnvironment(laterEnv);
    later.start(QStringLiteral(CHARCOLINO_APP), {second});
    ASSERT_TRUE(later.waitForFinished(kWaitMs));
    EXPECT_EQ(later.exitCode(), 0);
    // 100 x 400 at 0.8: 80 points wide in the middle; the left of the canvas black.
    const auto black = [](QRgb c) { return qRed(c) < 10 && qGreen(c) < 10 && qBlue(c) < 10; };
    const QRect left(10, kBand + 100, 100, 60);
    shot = waitForScreen([&](const QImage& s) { return count(s, black, left) == left.width() * left.height(); });
    EXPECT_EQ(count(shot, black, left), left.width() * left.height()) << "the second photo behind its sheet";
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheetsShown() == 1; }, kWaitMs));

    // Escape: the first photo's project is back, as it was.
    xdotool("key Escape");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheetsShown() == 0; }, kWaitMs));
    shot = waitForScreen([&](const QImage& s) {
        return count(s, topLeftRed, red) == red.width() * red.height() &&
               count(s, blue, below) == below.width() * below.height();
    });
    EXPECT_EQ(count(shot, topLeftRed, red), red.width() * red.height());
    EXPECT_EQ(count(shot, blue, below), below.width() * below.height());
    EXPECT_EQ(x("xdotool", {"getwindowname", window}).trimmed(), "Charcolino");
}
