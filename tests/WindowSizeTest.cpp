// The window at sizes other than the phone's: what follows the view's size (the
// canvas, its surface, the centring, the band and the menu, the slot browser), the
// size kept between runs, and the canvas at a device pixel ratio above 1.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <memory>

#include "app/ApplicationShell.h"
#include "app/ZoomIndicator.h"
#include "app/ControlSettings.h"
#include "canvas/CanvasView.h"
#include "canvas/NavigationSteps.h"
#include "system/DocumentsDirectory.h"
#include "storage/FileListViewController.h"
#include "support/CanvasTestAccess.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

namespace {

constexpr std::uint32_t kRed = 0xff0000ffu;

TEST(ResizedAxis, KeepsTheMiddlePointThenRecentres)
{
    struct Row {
        int centre;
        float oldView, newView, half;
        int start, expected;
        const char* what;
    };
    const Row rows[] = {
        {160, 320, 420, 400, 210, 210, "overhanging: moves by half the growth"},
        {160, 320, 421, 500, 210, 211, "half a point rounds up"},
        {400, 1600, 320, 600, 160, -240, "shrinking: moves by half the loss"},
        {100, 320, 520, 200, 260, 260, "fits the view: back to the start"},
        {420, 320, 420, 420, 210, 420, "near edge came inside: snapped to the view's near edge"},
        {-100, 320, 420, 420, 210, 0, "far edge came inside: snapped to the view's far edge"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(NavigationSteps::resizedAxis(r.centre, r.oldView, r.newView, r.half, r.start), r.expected) << r.what;
}

// The program as started, on slot 0's 200 x 150 red picture.
class WindowSize : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearDocuments();
        ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"),
                               projectFileBytes(256, 256, FloatSize{200, 150}, [](int buffer, int, int) {
                                   return buffer == 3 ? kRed : 0xff808080u;
                               })));
        shell = std::make_unique<ApplicationShell>();
        shell->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell->window()));
        canvas = shell->controller().canvas();
        ASSERT_NE(canvas, nullptr);
        ASSERT_TRUE(canvas->isLoaded());
    }
    void TearDown() override
    {
        shell.reset();
        QApplication::processEvents();
    }
    void resizeWindow(int w, int h)
    {
        shell->window().resize(w, h);
        QApplication::processEvents();
    }

    std::unique_ptr<ApplicationShell> shell;
    CanvasView* canvas = nullptr;
};

TEST_F(WindowSize, EverythingFollowsTheWindowAndBack)
{
    struct Row {
        QSize window;
        QRect canvas;
        int menuRight;
        QPoint newButton;
        QSize browser;
    };
    const Row rows[] = {
        {QSize(320, 460), QRect(0, 70, 320, 390), 315, QPoint(50, 120), QSize(320, 460)},
        {QSize(901, 700), QRect(0, 70, 901, 630), 896, QPoint(340, 240), QSize(320, 700)},
        {QSize(320, 460), QRect(0, 70, 320, 390), 315, QPoint(50, 120), QSize(320, 460)},
    };
    EXPECT_EQ(shell->window().size(), QSize(320, 460)) << "first start";
    EXPECT_EQ(shell->window().minimumSize(), QSize(320, 460));
    for (const Row& r : rows) {
        resizeWindow(r.window.width(), r.window.height());
        SCOPED_TRACE(r.window.width());
        EXPECT_EQ(canvas->geometry(), r.canvas);
        EXPECT_EQ(canvas->presentedImage().size(), r.canvas.size()) << "the surface is the view";
        EXPECT_EQ(shell->controller().menuButton()->geometry().right() + 1, r.menuRight);
        EXPECT_EQ(shell->controller().newButton()->pos(), r.newButton);
        // The picture fits: it sits in the middle of the view, black around it.
        EXPECT_EQ(canvas->centerX(), r.canvas.width() / 2);
        EXPECT_EQ(canvas->centerY(), r.canvas.height() / 2);
        const QImage shown = canvas->presentedImage();
        EXPECT_EQ(shown.pixel(r.canvas.width() / 2 + 60, r.canvas.height() / 2), qRgb(255, 0, 0));
        EXPECT_EQ(shown.pixel(r.canvas.width() - 1, r.canvas.height() - 1), qRgb(0, 0, 0));
        // A dab at the middle of the view lands on the picture's middle pixel.
        std::uint8_t* middle = CanvasTestAccess::buffer(*canvas, 3) + (75 * 256 + 100) * 4;
        middle[1] = 0;  // red again, whatever an earlier row painted
        ASSERT_TRUE(canvas->DrawCanvas(FloatPoint{r.canvas.width() / 2.0f, r.canvas.height() / 2.0f}, 2));
        EXPECT_EQ(middle[1], 0x80) << "the photo's grey under the dab";
        FileListViewController* browser = shell->controller().slotBrowser();
        browser->fitInto(&shell->window());
        EXPECT_EQ(browser->size(), r.browser);
        EXPECT_LE(std::abs(browser->geometry().center().x() - shell->window().geometry().center().x()), 1);
        EXPECT_LE(std::abs(browser->geometry().center().y() - shell->window().geometry().center().y()), 1);
    }
}

// Until the user zooms or pans, a window that grows (or starts larger) shows the
// whole picture as large as it fits, as the fit key does; afterwards a resize
// keeps the user's view. A zoom shows its percentage for a moment; a fit of a
// resize does not.
TEST_F(WindowSize, AnUntouchedViewFitsThePictureToTheWindowAndZoomsShowTheirPercentage)
{
    ZoomIndicator* indicator = shell->controller().zoomIndicator();
    ASSERT_NE(indicator, nullptr);
    const struct {
        QSize window;
        float zoom;
    } rows[] = {
        {QSize(1000, 800), float(std::pow(1.25f, 7))},  // 4.77 x 150 = 715 fits 730
        {QSize(700, 500), float(std::pow(1.25f, 4))},   // 2.44 x 150 = 366 fits 430
        {QSize(320, 460), float(std::pow(1.25f, 2))},   // 1.56 x 200 = 312 fits 320
    };
    for (const auto& r : rows) {
        resizeWindow(r.window.width(), r.window.height());
        SCOPED_TRACE(r.window.width());
        EXPECT_FLOAT_EQ(canvas->zoomLevel(), r.zoom);
        EXPECT_FLOAT_EQ(canvas->zoomLevel(), NavigationSteps::wholeFitZoom(
                                                 FloatSize{200, 150}, FloatSize{float(r.window.width()),
                                                                                float(r.window.height() - 70)}));
        EXPECT_EQ(canvas->centerX(), r.window.width() / 2);
        EXPECT_EQ(canvas->centerY(), (r.window.height() - 70) / 2);
        EXPECT_FALSE(indicator->isVisible());
    }
    canvas->zoomIn();
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_EQ(indicator->text(), "195 %");
    EXPECT_TRUE(indicator->hideTimer().isActive());
    EXPECT_EQ(indicator->x() + indicator->width(), canvas->x() + canvas->width() - 8) << "8 points from the right";
    const float zoomed = canvas->zoomLevel();
    resizeWindow(900, 700);
    EXPECT_FLOAT_EQ(canvas->zoomLevel(), zoomed) << "the user's zoom stays";
    // The fit key makes the view the program's again.
    canvas->zoomToFitWhole();
    resizeWindow(1000, 800);
    EXPECT_FLOAT_EQ(canvas->zoomLevel(), std::pow(1.25f, 7));
}

TEST_F(WindowSize, ResizeKeepsThePointInTheMiddle)
{
    // Zoomed in fully about a point off the middle: the picture overhangs a view
    // of 420 points by more than its width, and a view of 490 points by less.
    canvas->zoomStepsAt(10, FloatPoint{120.0f, 150.0f});
    const int x = canvas->centerX();
    ASSERT_NE(x, 160);
    resizeWindow(420, 560);
    EXPECT_EQ(canvas->centerX(), x + 50) << "the middle point stays in the middle";
    EXPECT_EQ(canvas->centerY(), 245) << "re-centred as after zooming out";
    resizeWindow(320, 460);
    EXPECT_EQ(canvas->centerX(), x);
    EXPECT_EQ(canvas->centerY(), 195);
}

TEST_F(WindowSize, FitWholeUsesTheViewSize)
{
    canvas->zoomToFitWhole();
    EXPECT_FLOAT_EQ(canvas->zoomLevel(), 1.5625f) << "1.25^2 x 200 = 312.5 fits 320";
    resizeWindow(1000, 800);
    // The mouse way: a double-click with the middle button.
    QTest::mouseDClick(canvas, Qt::MiddleButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_FLOAT_EQ(canvas->zoomLevel(), std::pow(1.25f, 7)) << "the largest step: 4.77 x 150 = 715 fits 730";
    EXPECT_EQ(canvas->centerX(), 500);
    EXPECT_EQ(canvas->centerY(), 365);
}

TEST_F(WindowSize, GeometryComesBackWhenSettingsAreOn)
{
    resizeWindow(700, 500);
    shell->window().storeGeometry();
    shell.reset();
    struct Restore {
        bool enabled;
        QSize expected;
    };
    for (const Restore& r : {Restore{false, QSize(320, 460)}, Restore{true, QSize(700, 500)}}) {
        ControlSettings::setEnabled(r.enabled);
        shell = std::make_unique<ApplicationShell>();
        shell->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell->window()));
        EXPECT_EQ(shell->window().size(), r.expected) << r.enabled;
        EXPECT_EQ(shell->controller().canvas()->presentedImage().size(), r.expected - QSize(0, 70));
        ControlSettings::setEnabled(false);
        shell.reset();
    }
    QSettings().remove(QLatin1String(MainWindow::kGeometryKey));
}

// At a device pixel ratio of 1.5 (this test in a child process with Qt's scale
// factor): the surface has the view's device pixels, and a picture drawn in
// patches of odd sizes equals the same picture drawn whole, without seams.
TEST(WindowSizeHiDpi, PatchesEqualAFullRedrawAtRatio1_5)
{
    if (qEnvironmentVariable("QT_SCALE_FACTOR") != QLatin1String("1.5")) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1.5"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=WindowSizeHiDpi.*")});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        return;
    }
    QWidget window;
    window.resize(320, 460);
    CanvasView* canvas = CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390), &window);
    ASSERT_NE(canvas, nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_DOUBLE_EQ(canvas->devicePixelRatioF(), 1.5);
    auto pattern = [](int x, int y) { return 0xff000000u | std::uint32_t((x * 37) & 255) | std::uint32_t((y * 91) & 255) << 8; };
    ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 256, 256, FloatSize{201, 157}, [&](int buffer, int x, int y) {
        return buffer == 3 ? 0xffffffffu : pattern(x, y);
    }));
    CanvasTestAccess::setView(*canvas, 157, 201, 1.25f);
    canvas->UpdateScreen();  // white picture
    for (int y = 0; y < 157; y += 7)
        for (int x = 0; x < 201; x += 5)
            canvas->UpdateScreenRect(2, x, y, std::min(x + 5, 201), std::min(y + 7, 157));
    canvas->swapBuffers();
    const QImage patched = canvas->presentedImage().copy();
    EXPECT_EQ(patched.size(), QSize(480, 585));

    std::uint8_t* working = CanvasTestAccess::buffer(*canvas, 3);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const std::uint32_t v = pattern(x, y);
            std::uint8_t* p = working + (y * 256 + x) * 4;
            p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8), p[2] = std::uint8_t(v >> 16), p[3] = 255;
        }
    canvas->ReloadCanvas();
    canvas->UpdateScreen();
    const QImage whole = canvas->presentedImage();
    int differing = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            differing += whole.pixel(x, y) != patched.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

}  // namespace
