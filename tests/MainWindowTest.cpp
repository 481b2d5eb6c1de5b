#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include "app/CharcolinoAppDelegate.h"
#include "app/CharcolinoViewController.h"
#include "app/MainWindow.h"
#include "canvas/CanvasView.h"
#include "platform/ActionSheet.h"
#include "platform/SegmentedControl.h"

namespace {

ActionSheet* openSheet()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* sheet = qobject_cast<ActionSheet*>(w); sheet && sheet->isVisible())
            return sheet;
    return nullptr;
}

QPushButton* sheetButton(ActionSheet* sheet, const QString& title)
{
    for (QPushButton* b : sheet->findChildren<QPushButton*>())
        if (b->text() == title)
            return b;
    return nullptr;
}

void clickSegment(SegmentedControl* control, int index)
{
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->segmentRect(index).center());
}

}  // namespace

// The first start as a user sees it: the sheet asks for the start image of the
// butterfly project, the colour sketch is chosen, a stroke is painted from the
// black sketch. CHARCOLINO_SCREENSHOT_DIR, when set, receives the window as PNGs.
TEST(MainWindow, FirstStartChooseColourSketchAndPaint)
{
    MainWindow window;
    CharcolinoViewController controller;
    CharcolinoAppDelegate delegate;
    delegate.setWindow(&window);
    delegate.setViewController(&controller);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    CanvasView* canvas = controller.canvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->geometry(), QRect(0, 70, 320, 390));
    EXPECT_FALSE(canvas->isLoaded()) << "the start image is not chosen yet";

    ActionSheet* sheet = openSheet();
    ASSERT_NE(sheet, nullptr) << "first start asks for the start image";
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    const QString shotDir = qEnvironmentVariable("CHARCOLINO_SCREENSHOT_DIR");
    if (!shotDir.isEmpty()) {
        QDir().mkpath(shotDir);
        QApplication::processEvents();
        window.grab().save(shotDir + "/first-start-sheet.png");
        sheet->grab().save(shotDir + "/first-start-sheet-only.png");
    }
    QPushButton* colour = sheetButton(sheet, "Color Pencil Sketch");
    ASSERT_NE(colour, nullptr);
    QTest::mouseClick(colour, Qt::LeftButton);
    QApplication::processEvents();

    ASSERT_TRUE(canvas->isLoaded());
    EXPECT_EQ(controller.toolbar()->selectedSegmentIndex(), 3);
    EXPECT_DOUBLE_EQ(controller.brushsize()->alpha(), 0.4) << "brush controls dimmed in navigation";
    const std::size_t bytes = std::size_t(canvas->bufferWidth()) * canvas->bufferHeight() * 4;
    const int w = canvas->bufferWidth();
    const int pw = int(canvas->pictureSize().width);
    for (int y = 0; y < int(canvas->pictureSize().height); y += 37)
        ASSERT_EQ(0, std::memcmp(canvas->workingBuffer() + std::size_t(y) * w * 4,
                                 canvas->colorSketchBuffer() + std::size_t(y) * w * 4, std::size_t(pw) * 4));
    (void)bytes;

    clickSegment(controller.toolbar(), 0);
    EXPECT_EQ(controller.toolbar()->selectedSegmentIndex(), 0);
    EXPECT_DOUBLE_EQ(controller.brushsize()->alpha(), 1.0);

    const QImage before = canvas->presentedImage().copy();
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(60, 120));
    for (int x = 60; x <= 260; x += 10)
        QTest::mouseMove(canvas, QPoint(x, 120 + (x - 60) / 4));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(260, 170));
    QApplication::processEvents();
    EXPECT_TRUE(canvas->presentedImage() != before) << "the stroke reached the screen";

    if (!shotDir.isEmpty())
        window.grab().save(shotDir + "/after-stroke.png");
}
