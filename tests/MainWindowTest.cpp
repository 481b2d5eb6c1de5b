#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "app/ApplicationShell.h"
#include "app/CharcolinoAppDelegate.h"
#include "app/CharcolinoViewController.h"
#include "app/MainWindow.h"
#include "canvas/CanvasView.h"
#include "project/ProjectCodec.h"
#include "widgets/ActionSheet.h"
#include "system/DocumentsDirectory.h"
#include "widgets/SegmentedControl.h"

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

namespace {

// Notes what the canvas holds when the window is shown for the first time.
class FirstShowWatch : public QObject {
public:
    explicit FirstShowWatch(ApplicationShell& shell) : mShell(shell) { shell.window().installEventFilter(this); }
    int shows = 0;
    bool loadedAtFirstShow = false;
    FloatSize pictureAtFirstShow;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &mShell.window() && event->type() == QEvent::Show && shows++ == 0) {
            const CanvasView* canvas = mShell.controller().canvas();
            loadedAtFirstShow = canvas && canvas->isLoaded();
            pictureAtFirstShow = canvas ? canvas->pictureSize() : FloatSize{};
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ApplicationShell& mShell;
};

}  // namespace

// The working project saved at the last quit is on the canvas before the window
// first appears: no empty frame, no sheet.
TEST(MainWindow, SavedProjectIsLoadedBeforeTheWindowIsFirstShown)
{
    ProjectCodec::Header header;
    header.saveTime = ProjectCodec::formatSaveTime(2009, 6, 30, 17, 5, 42);
    header.width = 64;
    header.height = 32;
    header.picsize = {60, 30};
    const std::vector<std::uint8_t> pixels(64 * 32 * 4, 0x80);
    const std::vector<std::uint8_t> bytes = ProjectCodec::encodeProject(header, pixels.data(), pixels.data());
    ASSERT_TRUE(QDir().mkpath(DocumentsDirectory::path()));
    QFile file(DocumentsDirectory::filePath("project0.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())), qint64(bytes.size()));
    file.close();

    {
        ApplicationShell shell;
        FirstShowWatch watch(shell);
        shell.launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
        EXPECT_GE(watch.shows, 1);
        EXPECT_TRUE(watch.loadedAtFirstShow);
        EXPECT_EQ(watch.pictureAtFirstShow, (FloatSize{60, 30}));
        EXPECT_EQ(openSheet(), nullptr);
    }
    QFile::remove(file.fileName());
}
