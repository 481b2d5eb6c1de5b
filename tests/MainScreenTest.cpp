// The main screen on the offscreen platform, built as the program builds it: the
// menu and its four commands, the photo picker, the toolbar's dimming and reload,
// the slot browser's failures, and files dropped on the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QSignalSpy>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMimeData>
#include <QScopeGuard>
#include <QSettings>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <cerrno>
#include <cstring>

#include "app/ApplicationShell.h"
#include "app/BrushPopup.h"
#include "app/ControlSettings.h"
#include "app/FeedbackLabel.h"
#include "app/KeysBox.h"
#include "app/MenuHistoryRow.h"
#include "canvas/CanvasView.h"
#include "project/PictureImage.h"
#include "widgets/ActionSheet.h"
#include "system/DocumentsDirectory.h"
#include "widgets/SegmentedControl.h"
#include "storage/FileListViewController.h"
#include "support/CanvasTestAccess.h"
#include "support/ImportTestFiles.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

namespace {

constexpr std::uint32_t kRed = 0xff0000ffu;   // R, G, B, A = 255, 0, 0, 255
constexpr std::uint32_t kBlue = 0xffff0000u;  // 0, 0, 255, 255
constexpr std::uint32_t kGreen = 0xff00ff00u;

// Slot 0 holds a 256 x 256 project with a 200 x 150 picture whose working image is
// plain red, so the program starts without asking for a start image.
class MainScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearDocuments();
        ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"),
                               projectFileBytes(256, 256, FloatSize{200, 150}, [](int buffer, int x, int y) {
                                   return buffer == 3 ? kRed : 0xff000000u | std::uint32_t(x * 7 + y * 3);
                               })));
        pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        ASSERT_TRUE(QDir().mkpath(pictures));
        shell = std::make_unique<ApplicationShell>();
        shell->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell->window()));
        canvas = controller().canvas();
        ASSERT_NE(canvas, nullptr);
        ASSERT_TRUE(canvas->isLoaded()) << "slot 0 reopened";
    }
    void TearDown() override
    {
        takeAlerts();
        shell.reset();
        QApplication::processEvents();
    }

    CharcolinoViewController& controller() { return shell->controller(); }
    // A photo is read on a worker: until what follows it has run here.
    void waitForOpen()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !controller().isOpeningImageFile(); }, 30000));
    }
    QList<QPushButton*> menu()
    {
        return {controller().newButton(), controller().saveButton(), controller().loadButton(),
                controller().exportButton()};
    }
    bool menuHidden()
    {
        for (QPushButton* b : menu())
            if (!b->isHidden())
                return false;
        return true;
    }
    bool menuShown()
    {
        for (QPushButton* b : menu())
            if (b->isHidden())
                return false;
        return true;
    }
    void tapMenuButton(QPushButton* button)
    {
        QTest::mouseClick(controller().menuButton(), Qt::LeftButton);
        ASSERT_TRUE(menuShown());
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }
    // The colour at the middle of the canvas's surface after a full redraw.
    QRgb screenCentre()
    {
        canvas->UpdateScreen();
        const QImage& shown = canvas->presentedImage();
        return shown.pixel(shown.width() / 2, shown.height() / 2);
    }
    void fillWorking(std::uint32_t colour)
    {
        std::uint8_t* p = CanvasTestAccess::buffer(*canvas, 3);
        for (int i = 0; i < canvas->bufferWidth() * canvas->bufferHeight(); ++i)
            std::memcpy(p + 4 * i, &colour, 4);
    }
    QString writePhoto(const QString& name, int w, int h)
    {
        const QString path = QDir(pictures).filePath(name);
        EXPECT_TRUE(ImportTestFiles::quadrantPicture(w, h).save(path, "PNG"));
        return path;
    }

    // A stroke of one dab in the middle of the canvas: Black first when in Move.
    void paintStroke()
    {
        if (controller().toolbar()->selectedSegmentIndex() == 3)
            clickSegment(controller().toolbar(), 0);
        QTest::mouseClick(controller().canvas(), Qt::LeftButton, {}, QPoint(160, 195));
    }

    QString pictures;
    std::unique_ptr<ApplicationShell> shell;
    CanvasView* canvas = nullptr;
};

bool near(QRgb c, int r, int g, int b)
{
    return std::abs(qRed(c) - r) <= 8 && std::abs(qGreen(c) - g) <= 8 && std::abs(qBlue(c) - b) <= 8;
}

// Notes, at the first showing of each dialog, whether the menu was hidden by then.
struct ShowRecorder : QObject {
    std::function<bool()> menuHidden;
    QStringList shownWithMenu;
    int dialogsShown = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
            ++dialogsShown;
            if (!menuHidden())
                shownWithMenu << o->metaObject()->className();
        }
        return false;
    }
};

}  // namespace

TEST_F(MainScreen, MenuStartsHiddenAboveTheCanvasAndToggles)
{
    EXPECT_EQ(shell->window().windowTitle(), "Charcolino");
    EXPECT_FALSE(shell->window().windowIcon().isNull());
    ASSERT_NE(controller().slotBrowser(), nullptr) << "made at launch";
    EXPECT_FALSE(controller().slotBrowser()->isVisible());

    const QStringList titles{"New Project", "Save Project", "Load Project", "Export to Photo Album"};
    const QList<QRect> frames{{50, 120, 220, 40}, {50, 180, 220, 40}, {50, 240, 220, 40}, {50, 340, 220, 40}};
    for (int i = 0; i < 4; ++i) {
        QPushButton* b = menu()[i];
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), titles[i]);
        EXPECT_EQ(b->geometry(), frames[i]);
        EXPECT_TRUE(b->isHidden()) << "the menu starts hidden";
    }

    QTest::mouseClick(controller().menuButton(), Qt::LeftButton);
    EXPECT_TRUE(menuShown());
    // Each button lies above the canvas, with its pictures (given only once it is needed).
    QWidget* screen = controller().view();
    for (QPushButton* b : menu()) {
        EXPECT_EQ(screen->childAt(b->geometry().center()), b) << b->text().toStdString();
        EXPECT_TRUE(b->styleSheet().contains(":/whiteButton.png") && b->styleSheet().contains(":/blueButton.png"));
    }
    QTest::mouseClick(controller().menuButton(), Qt::LeftButton);
    EXPECT_TRUE(menuHidden());
}

TEST_F(MainScreen, EveryMenuCommandHidesTheMenuBeforeItRuns)
{
    ShowRecorder recorder;
    recorder.menuHidden = [this] { return menuHidden(); };
    qApp->installEventFilter(&recorder);

    tapMenuButton(controller().newButton());  // the picker
    ASSERT_NE(controller().picker(), nullptr);
    controller().picker()->reject();
    QApplication::processEvents();

    tapMenuButton(controller().saveButton());  // the browser, saving
    EXPECT_TRUE(controller().slotBrowser()->isVisible());
    EXPECT_TRUE(controller().slotBrowser()->isSaveMode());
    controller().slotBrowser()->cancelButton()->click();

    tapMenuButton(controller().loadButton());  // the browser, loading
    EXPECT_TRUE(controller().slotBrowser()->isVisible());
    EXPECT_FALSE(controller().slotBrowser()->isSaveMode());
    controller().slotBrowser()->cancelButton()->click();

    canvas->document().setLoaded(false);
    tapMenuButton(controller().exportButton());  // nothing to export: the canvas's alert
    qApp->removeEventFilter(&recorder);

    EXPECT_GE(recorder.dialogsShown, 4);
    EXPECT_TRUE(recorder.shownWithMenu.isEmpty()) << recorder.shownWithMenu.join(", ").toStdString();
    EXPECT_EQ(takeAlerts(), QStringList{"Error: No data in the working space."});
    EXPECT_TRUE(menuHidden());
}

TEST_F(MainScreen, NewProjectOpensThePickerOnPicturesAndCancelKeepsTheProject)
{
    const QByteArray before(reinterpret_cast<const char*>(canvas->workingBuffer()),
                            canvas->bufferWidth() * canvas->bufferHeight() * 4);
    tapMenuButton(controller().newButton());
    QFileDialog* picker = controller().picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->windowModality(), Qt::WindowModal);
    EXPECT_EQ(QDir(picker->directory()).canonicalPath(), QDir(pictures).canonicalPath());
    EXPECT_EQ(picker->fileMode(), QFileDialog::ExistingFile);
    const QString filter = picker->nameFilters().join(' ');
    for (const char* pattern : {"*.png", "*.jpg", "*.jpeg", "*.JPG"})
        EXPECT_TRUE(filter.contains(pattern)) << pattern;

    picker->reject();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(controller().picker(), nullptr);
    EXPECT_EQ(openSheet(), nullptr);
    ASSERT_TRUE(canvas->isLoaded());
    EXPECT_EQ(QByteArray::fromRawData(reinterpret_cast<const char*>(canvas->workingBuffer()), before.size()), before);

    // No camera here, and nothing without a delegate or presenter.
    CharcolinoViewController& c = controller();
    EXPECT_FALSE(CharcolinoViewController::startCameraPickerFromViewController(&c, 1, &c));
    EXPECT_FALSE(CharcolinoViewController::startCameraPickerFromViewController(&c, 0, nullptr));
    EXPECT_FALSE(CharcolinoViewController::startCameraPickerFromViewController(nullptr, 0, &c));
    EXPECT_EQ(controller().picker(), nullptr);
}

TEST_F(MainScreen, PickedPhotoStartsANewProjectWhileThePickerIsStillUp)
{
    const QString photo = writePhoto("quadrants.png", 300, 200);
    tapMenuButton(controller().newButton());
    QFileDialog* picker = controller().picker();
    ASSERT_NE(picker, nullptr);

    // When the sheet rises the picker must still be on screen.
    bool pickerUpAtSheet = false;
    struct SheetWatch : QObject {
        std::function<void()> onSheet;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && qobject_cast<ActionSheet*>(o))
                onSheet();
            return false;
        }
    } watch;
    QPointer<QFileDialog> guard(picker);
    watch.onSheet = [&] { pickerUpAtSheet = guard && guard->isVisible(); };
    qApp->installEventFilter(&watch);
    pickFile(picker, photo);
    waitForOpen();
    QApplication::processEvents();
    qApp->removeEventFilter(&watch);

    EXPECT_TRUE(pickerUpAtSheet);
    EXPECT_TRUE(!guard || !guard->isVisible()) << "the picker is dismissed after the pick";
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{300, 200}));
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    ASSERT_TRUE(canvas->isLoaded());
    const std::uint8_t* px = canvas->workingBuffer();  // pixel (10, 10): the top-left quadrant
    const QColor tl = ImportTestFiles::kTopLeft;
    const std::uint8_t* p = px + (10 * canvas->bufferWidth() + 10) * 4;
    EXPECT_NEAR(p[0], tl.red(), 6);
    EXPECT_NEAR(p[1], tl.green(), 6);
    EXPECT_NEAR(p[2], tl.blue(), 6);
    EXPECT_EQ(controller().toolbar()->selectedSegmentIndex(), 3);
    EXPECT_TRUE(takeAlerts().isEmpty());
}

// A photo cut short opens as far as it goes, and an alert over the start sheet says so.
TEST_F(MainScreen, PhotoCutShortOpensWithAnAlert)
{
    const QString path = QDir(pictures).filePath("cut.jpg");
    ASSERT_TRUE(ImportTestFiles::quadrantPicture(120, 80).save(path, "JPG"));
    const QByteArray whole = readBytes(path);
    const qsizetype scan = whole.indexOf("\xff\xda");  // cut in the middle of the picture's data
    ASSERT_GT(scan, 0);
    ASSERT_TRUE(writeBytes(path, whole.left((scan + whole.size()) / 2)));
    controller().openImageFile(path);
    waitForOpen();
    QApplication::processEvents();
    EXPECT_NE(openSheet(), nullptr);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{120, 80}));
    EXPECT_EQ(takeAlerts(), QStringList{"Error: Only part of the photo could be read; the rest is left grey.\n"
                                        "cut.jpg: the picture is incomplete (truncated file)"});
}

// A photo is read off the window's thread: the project on screen stays until it is
// read, a line says what is opening, and a second photo meanwhile replaces the first.
TEST_F(MainScreen, PhotosOpenOffTheWindowAndASecondOneReplacesAPendingOne)
{
    const QString first = writePhoto("first.png", 300, 200);
    const QString second = writePhoto("second.png", 120, 80);
    QSignalSpy opened(&controller(), &CharcolinoViewController::imageFileOpened);
    controller().openImageFile(first);
    EXPECT_TRUE(controller().isOpeningImageFile());
    EXPECT_EQ(controller().feedback()->text(), "Opening first.png …");
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{200, 150})) << "the project stays while the photo is read";
    EXPECT_EQ(openSheet(), nullptr);
    controller().openImageFile(second);
    EXPECT_EQ(controller().feedback()->text(), "Opening second.png …");
    waitForOpen();
    QApplication::processEvents();
    ASSERT_EQ(opened.size(), 1) << "the first photo is dropped";
    EXPECT_EQ(opened.first().at(0).toString(), second);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{120, 80}));
    EXPECT_FALSE(controller().feedback()->isVisible()) << "the opening line goes with the read";
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    EXPECT_EQ(openSheet(), nullptr) << "one sheet";
    EXPECT_TRUE(takeAlerts().isEmpty());
}

TEST_F(MainScreen, UnreadablePickedFileGivesTheImportAlert)
{
    const QString broken = QDir(pictures).filePath("broken.jpg");
    ASSERT_TRUE(writeBytes(broken, QByteArray("this is not a picture")));
    tapMenuButton(controller().newButton());
    ASSERT_NE(controller().picker(), nullptr);
    pickFile(controller().picker(), broken);
    waitForOpen();
    QApplication::processEvents();
    const QStringList alerts = takeAlerts();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Error: Unsupported image format or image file.\nbroken.jpg: "))
        << alerts[0].toStdString();
    EXPECT_GT(alerts[0].size(), QStringLiteral("Error: Unsupported image format or image file.\nbroken.jpg: ").size())
        << "a reason follows the name";
    EXPECT_EQ(openSheet(), nullptr);
    EXPECT_TRUE(canvas->isLoaded()) << "the current project stays";
    EXPECT_TRUE(near(screenCentre(), 255, 0, 0));
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{200, 150}));
}

TEST_F(MainScreen, ToolbarNavigationDimsTheBrushAndRebuildsTheWorkingTexture)
{
    EXPECT_TRUE(near(screenCentre(), 255, 0, 0));

    // A painting segment: opaque brush controls, the texture is left as it is.
    fillWorking(kBlue);
    clickSegment(controller().toolbar(), 0);
    EXPECT_DOUBLE_EQ(controller().brushsize()->alpha(), 1.0);
    EXPECT_DOUBLE_EQ(controller().brushshape()->alpha(), 1.0);
    EXPECT_TRUE(near(screenCentre(), 255, 0, 0)) << "no reload outside navigation";

    // Navigation: dimmed, and the texture shows the working buffer again.
    clickSegment(controller().toolbar(), 3);
    EXPECT_DOUBLE_EQ(controller().brushsize()->alpha(), 0.4);
    EXPECT_DOUBLE_EQ(controller().brushshape()->alpha(), 0.4);
    EXPECT_TRUE(near(screenCentre(), 0, 0, 255));

    // Back to painting, and no selection at all: opaque, nothing reloaded.
    fillWorking(kGreen);
    clickSegment(controller().toolbar(), 2);
    EXPECT_DOUBLE_EQ(controller().brushsize()->alpha(), 1.0);
    controller().toolbar()->setSelectedSegmentIndex(-1);
    controller().ToolbarChange();
    EXPECT_DOUBLE_EQ(controller().brushsize()->alpha(), 1.0);
    EXPECT_DOUBLE_EQ(controller().brushshape()->alpha(), 1.0);
    EXPECT_TRUE(near(screenCentre(), 0, 0, 255));
}

TEST_F(MainScreen, SaveAndLoadFailuresAlertWhileTheBrowserCloses)
{
    canvas->document().setLoaded(false);
    tapMenuButton(controller().saveButton());
    chooseSlot(controller().slotBrowser(), 4);
    EXPECT_FALSE(controller().slotBrowser()->isVisible());
    EXPECT_EQ(takeAlerts(), QStringList{"Error: Failed! No data in the current project."});
    EXPECT_FALSE(QFile::exists(DocumentsDirectory::filePath("project4.dat")));

    // A project that cannot be written (a folder in the slot file's place): the
    // alert names the data folder and the system's reason, not a missing project.
    canvas->document().setLoaded(true);
    ASSERT_TRUE(QDir().mkpath(DocumentsDirectory::filePath("project6.dat")));
    controller().SaveProject(6);
    EXPECT_EQ(takeAlerts(), QStringList{"Error: Failed! Cannot save the project in the folder " +
                                        QDir::toNativeSeparators(DocumentsDirectory::path()) +
                                        ": " + QString::fromLocal8Bit(std::strerror(EISDIR)) + "."});

    // A slot whose file holds a save time but no project.
    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project5.dat"), QByteArray("2010-10-10 10:10:10\x01\x02")));
    tapMenuButton(controller().loadButton());
    chooseSlot(controller().slotBrowser(), 5);
    EXPECT_FALSE(controller().slotBrowser()->isVisible());
    EXPECT_EQ(takeAlerts(), QStringList{"Error: Failed! Cannot load the project."});
}

TEST_F(MainScreen, SavingTheWorkingProjectWithoutAnImageShowsNothing)
{
    const QByteArray before = readBytes(DocumentsDirectory::filePath("project0.dat"));
    canvas->document().setLoaded(false);
    shell->delegate().applicationWillTerminate();
    QApplication::processEvents();
    EXPECT_TRUE(takeAlerts().isEmpty());
    EXPECT_EQ(readBytes(DocumentsDirectory::filePath("project0.dat")), before) << "slot 0 left as it was";
}

TEST_F(MainScreen, DroppedImageFileStartsANewProject)
{
    const QString photo = writePhoto("dropped.png", 120, 80);
    const QString notes = QDir(pictures).filePath("notes.txt");
    ASSERT_TRUE(writeBytes(notes, "text"));

    QMimeData mime;
    mime.setUrls({QUrl("https://example.org/remote.png"), QUrl::fromLocalFile(notes), QUrl::fromLocalFile(photo)});
    EXPECT_EQ(MainWindow::droppedImagePath(&mime), QFileInfo(photo).absoluteFilePath());
    QMimeData textOnly;
    textOnly.setUrls({QUrl::fromLocalFile(notes), QUrl::fromLocalFile(QDir(pictures).filePath("missing.png"))});
    EXPECT_TRUE(MainWindow::droppedImagePath(&textOnly).isEmpty());

    MainWindow& window = shell->window();
    QDragEnterEvent refused(QPoint(160, 200), Qt::CopyAction, &textOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &refused);
    EXPECT_FALSE(refused.isAccepted());
    QDragEnterEvent enter(QPoint(160, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());

    QTest::mouseClick(controller().menuButton(), Qt::LeftButton);  // menu up, as a user may leave it
    QDropEvent drop(QPointF(160, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QApplication::processEvents();
    waitForOpen();
    EXPECT_TRUE(menuHidden());
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{120, 80}));
    ASSERT_NE(openSheet(), nullptr);

    // While the sheet waits for its answer nothing more is taken.
    QDropEvent second(QPointF(160, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &second);
    EXPECT_FALSE(second.isAccepted());

    // Quitting now saves the project the drop replaces, never the half-made new one.
    const QString slot0 = DocumentsDirectory::filePath("project0.dat");
    const QByteArray before = readBytes(slot0);
    shell->delegate().applicationWillTerminate();
    const QByteArray after = readBytes(slot0);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_TRUE(after.mid(19) == before.mid(19)) << "the red project of slot 0, not the dropped photo";
    ASSERT_TRUE(chooseOnSheet("Black Pencil Sketch"));
    EXPECT_TRUE(canvas->isLoaded());
}

namespace {

// The visible question box ("question"), or null.
QMessageBox* openQuestion()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->objectName() == "question")
            return box;
    return nullptr;
}

bool answerQuestion(const QString& button)
{
    QMessageBox* box = openQuestion();
    if (!box)
        return false;
    for (QAbstractButton* b : box->buttons())
        if (b->text() == button) {
            b->click();
            QApplication::processEvents();
            return true;
        }
    return false;
}

}  // namespace

// Keys reach the controls as clicks would; the dimmed brush controls ignore them.
TEST_F(MainScreen, KeysChooseToolsBrushAndMenuCommandsAndShowInTooltips)
{
    MainWindow& window = shell->window();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    SegmentedControl* tool = controller().toolbar();
    SegmentedControl* size = controller().brushsize();
    SegmentedControl* shape = controller().brushshape();
    struct Step {
        QKeySequence key;
        int tool, size, shape;
    };
    const Step steps[] = {
        {QKeySequence("]"), 3, 1, 0},  // Move: the brush controls are disabled
        {QKeySequence("X"), 3, 1, 0},
        {QKeySequence("B"), 0, 1, 0},
        {QKeySequence("]"), 0, 2, 0},
        {QKeySequence("]"), 0, 3, 0},
        {QKeySequence("]"), 0, 3, 0},  // no larger brush
        {QKeySequence("X"), 0, 3, 1},
        {QKeySequence("C"), 1, 3, 1},
        {QKeySequence("["), 1, 2, 1},
        {QKeySequence("P"), 2, 2, 1},
        {QKeySequence("X"), 2, 2, 0},
        {QKeySequence("M"), 3, 2, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key.toString().toStdString());
        QTest::keySequence(&window, step.key);
        EXPECT_EQ(tool->selectedSegmentIndex(), step.tool);
        EXPECT_EQ(size->selectedSegmentIndex(), step.size);
        EXPECT_EQ(shape->selectedSegmentIndex(), step.shape);
        EXPECT_EQ(size->isEnabled(), step.tool != 3);
        EXPECT_EQ(size->alpha(), step.tool != 3 ? 1.0 : 0.4);
    }
    EXPECT_TRUE(tool->segmentToolTip(0).contains("(B)"));
    EXPECT_TRUE(controller().newButton()->toolTip().contains("Ctrl+N"));

    QTest::mouseClick(controller().menuButton(), Qt::LeftButton);
    ASSERT_TRUE(menuShown());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(menuHidden());
    QTest::keySequence(&window, QKeySequence("Ctrl+S"));
    EXPECT_TRUE(controller().slotBrowser()->isVisible());
    EXPECT_TRUE(controller().slotBrowser()->isSaveMode());
    EXPECT_TRUE(menuHidden());
    controller().slotBrowser()->cancelButton()->click();

    // The key list opens beside the window; the keys work in it, and Esc closes it.
    QTest::keyClick(&window, Qt::Key_F1);
    QPointer<QMessageBox> keys = controller().keysBox();
    ASSERT_NE(keys, nullptr);
    EXPECT_TRUE(keys->text().contains("Ctrl+Z"));
    EXPECT_FALSE(keys->frameGeometry().intersects(window.frameGeometry()));
    EXPECT_TRUE(window.screen()->availableGeometry().contains(keys->frameGeometry()));
    keys->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == keys; }));
    QTest::keyClick(keys, Qt::Key_C);
    EXPECT_EQ(tool->selectedSegmentIndex(), 1);
    QTest::keyClick(keys, Qt::Key_Escape);  // the Close button's animated click, then the box goes
    EXPECT_TRUE(QTest::qWaitFor([&] { return keys.isNull(); }));
}

// No room right of the window: the key list goes left, else to the roomier screen edge.
TEST(KeysBoxPlacement, LeftOrOnTheScreenWhenTheRightHasNoRoom)
{
    const QRect screen(0, 0, 1280, 900);
    const QSize box(300, 400);
    const struct {
        QRect window;
        QPoint at;
    } cases[] = {
        {{900, 50, 320, 460}, {592, 50}},  // room on the left
        {{200, 50, 800, 460}, {980, 50}},  // on neither side: against the right edge
        {{250, 700, 900, 460}, {0, 500}},  // more room left; moved up
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window.x());
        EXPECT_EQ(KeysBox::placeBeside(c.window, box, screen), c.at);
    }
}

// A press beside the shown menu only closes it: nothing is painted, to its release.
TEST_F(MainScreen, APressBesideTheMenuClosesItWithoutPainting)
{
    clickSegment(controller().toolbar(), 0);
    QTest::mouseClick(controller().menuButton(), Qt::LeftButton);
    ASSERT_TRUE(menuShown());
    const QByteArray before(reinterpret_cast<const char*>(canvas->workingBuffer()),
                            canvas->bufferWidth() * canvas->bufferHeight() * 4);
    const QPoint beside(160, 300 - 70);  // between Load Project and Export, over the picture
    QTest::mousePress(canvas, Qt::LeftButton, {}, beside);
    QTest::mouseMove(canvas, beside + QPoint(20, 5));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, beside + QPoint(20, 5));
    EXPECT_TRUE(menuHidden());
    EXPECT_EQ(QByteArray::fromRawData(reinterpret_cast<const char*>(canvas->workingBuffer()), before.size()), before);

    QTest::mouseClick(canvas, Qt::LeftButton, {}, beside);  // the menu is gone: this paints
    EXPECT_NE(QByteArray::fromRawData(reinterpret_cast<const char*>(canvas->workingBuffer()), before.size()), before);
}

// Strokes in no slot: a star in the title and a question before New, Load and a
// drop; a save clears it and says where it went; a save over a slot asks first.
TEST_F(MainScreen, UnsavedStrokesAreAskedAboutAndSavesAreReported)
{
    MainWindow& window = shell->window();
    paintStroke();
    EXPECT_EQ(window.windowTitle(), "* Unsaved strokes");

    tapMenuButton(controller().newButton());
    ASSERT_TRUE(answerQuestion("Cancel"));
    EXPECT_EQ(controller().picker(), nullptr);
    tapMenuButton(controller().loadButton());
    ASSERT_TRUE(answerQuestion("Cancel"));
    EXPECT_FALSE(controller().slotBrowser()->isVisible());
    const QString photo = writePhoto("dropped.png", 120, 80);
    controller().openImageFile(photo);
    ASSERT_TRUE(answerQuestion("Cancel"));
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{200, 150})) << "the project stays";
    tapMenuButton(controller().newButton());
    ASSERT_TRUE(answerQuestion("Discard"));
    ASSERT_NE(controller().picker(), nullptr);
    controller().picker()->reject();
    QApplication::processEvents();

    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project2.dat"), QByteArray("2010-10-10 10:10:10\x01\x02")));
    const QByteArray occupied = readBytes(DocumentsDirectory::filePath("project2.dat"));
    for (const char* answer : {"Cancel", "Replace"}) {
        tapMenuButton(controller().saveButton());
        chooseSlot(controller().slotBrowser(), 2);
        ASSERT_NE(openQuestion(), nullptr);
        EXPECT_TRUE(openQuestion()->text().contains("2010-10-10 10:10:10"));
        ASSERT_TRUE(answerQuestion(answer));
    }
    EXPECT_NE(readBytes(DocumentsDirectory::filePath("project2.dat")), occupied);
    EXPECT_EQ(window.windowTitle(), "Charcolino");
    EXPECT_TRUE(controller().feedback()->isVisible());
    EXPECT_EQ(controller().feedback()->text(), "Saved to slot 2");
    EXPECT_TRUE(controller().feedback()->hideTimer().isActive()) << "it goes by itself";

    tapMenuButton(controller().exportButton());
    ASSERT_TRUE(QTest::qWaitFor([this] { return controller().feedback()->text().startsWith("Exported"); }, 30000));
    // This project keeps no photo: the feedback says the picture is at its own size.
    const QString shown = controller().feedback()->text();
    const QString ownSize = " at its own size: the project has no full-size drawing";
    EXPECT_TRUE(shown.startsWith("Exported to ~/Pictures/Charcolino ") && shown.endsWith(".png" + ownSize))
        << shown.toStdString();
    const QString file = shown.mid(QString("Exported to ~").size()).chopped(ownSize.size());
    EXPECT_TRUE(QFile::exists(QDir::homePath() + file));

    controller().openImageFile(photo);  // nothing unsaved now: no question
    waitForOpen();
    EXPECT_EQ(openQuestion(), nullptr);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{120, 80}));
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    EXPECT_TRUE(takeAlerts().isEmpty());
}

// The star follows the undo position: back where the slot has the work, it goes,
// and nothing is asked before the project is replaced; away from it, it is back.
TEST_F(MainScreen, UnsavedMarkFollowsTheUndoPosition)
{
    MainWindow& window = shell->window();
    const auto undo = [&] { controller().runCommand(ShortcutTable::Undo); };
    const auto redo = [&] { controller().runCommand(ShortcutTable::Redo); };
    const struct Step {
        const char* name;
        std::function<void()> act;
        bool unsaved;
    } steps[] = {
        {"stroke", [&] { paintStroke(); }, true},
        {"undo to the loaded picture", undo, false},
        {"redo", redo, true},
        {"save into slot 1", [&] {
             tapMenuButton(controller().saveButton());
             chooseSlot(controller().slotBrowser(), 1);
         }, false},
        {"second stroke", [&] { paintStroke(); }, true},
        {"undo to the saved picture", undo, false},
        {"undo past it", undo, true},
        {"redo to it", redo, false},
        {"undo, then a stroke that drops the saved one from redo", [&] { undo(); paintStroke(); }, true},
        {"undo to the state before it", undo, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(controller().hasUnsavedStrokes(), step.unsaved);
        EXPECT_EQ(window.windowTitle(), step.unsaved ? "* Unsaved strokes" : "Charcolino");
    }

    // Saved again, a stroke and its undo: a new photo replaces the project without
    // a question.
    tapMenuButton(controller().saveButton());
    chooseSlot(controller().slotBrowser(), 2);
    paintStroke();
    ASSERT_TRUE(controller().hasUnsavedStrokes());
    undo();
    ASSERT_FALSE(controller().hasUnsavedStrokes());
    controller().openImageFile(writePhoto("next.png", 120, 80));
    waitForOpen();
    EXPECT_EQ(openQuestion(), nullptr);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{120, 80}));
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    // A fresh project: a stroke and its undo leave nothing unsaved.
    paintStroke();
    EXPECT_TRUE(controller().hasUnsavedStrokes());
    undo();
    EXPECT_FALSE(controller().hasUnsavedStrokes());
}

// Undo, Redo and the key list by mouse, from the menu: the row shows with the
// menu, Undo and Redo dimmed when there is nothing, and the menu stays open for
// the next click.
TEST_F(MainScreen, MenuRowUndoesRedoesAndListsTheKeysByMouse)
{
    MenuHistoryRow* row = controller().historyRow();
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(row->isVisible());
    const QByteArray start(reinterpret_cast<const char*>(canvas->workingBuffer()), 256 * 256 * 4);
    paintStroke();
    const QByteArray painted(reinterpret_cast<const char*>(canvas->workingBuffer()), start.size());
    ASSERT_NE(painted, start);

    QTest::mouseClick(controller().menuButton(), Qt::LeftButton);
    ASSERT_TRUE(row->isVisible());
    const auto state = [&] { return std::pair(row->undoButton()->isEnabled(), row->redoButton()->isEnabled()); };
    EXPECT_EQ(state(), std::pair(true, false));
    const QByteArray* expected[] = {&start, &painted, &start};
    QPushButton* clicks[] = {row->undoButton(), row->redoButton(), row->undoButton()};
    const std::pair<bool, bool> states[] = {{false, true}, {true, false}, {false, true}};
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(clicks[i], Qt::LeftButton);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(canvas->workingBuffer()), start.size()), *expected[i]) << i;
        EXPECT_EQ(state(), states[i]) << i;
        EXPECT_TRUE(menuShown() && row->isVisible()) << "the menu stays open";
    }
    QTest::mouseClick(row->undoButton(), Qt::LeftButton);  // dimmed: nothing happens
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(canvas->workingBuffer()), start.size()), start);

    QTest::mouseClick(row->keysButton(), Qt::LeftButton);
    EXPECT_TRUE(menuHidden());
    EXPECT_FALSE(row->isVisible());
    ASSERT_NE(controller().keysBox(), nullptr);
    EXPECT_TRUE(controller().keysBox()->isVisible());
    controller().keysBox()->close();
}

// The pointer outlines the brush, at its size and in its shape; a hand in Move.
TEST_F(MainScreen, PointerOutlinesTheBrushAndIsAHandInMove)
{
    EXPECT_EQ(canvas->cursor().shape(), Qt::OpenHandCursor);
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(160, 200));
    EXPECT_EQ(canvas->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(160, 200));
    EXPECT_EQ(canvas->cursor().shape(), Qt::OpenHandCursor);

    clickSegment(controller().toolbar(), 1);
    struct Case {
        int size, shape, side;
        bool corner;
    };
    for (const Case& c : {Case{0, 0, 24, false}, Case{3, 1, 54, true}, Case{3, 0, 54, false}}) {
        clickSegment(controller().brushsize(), c.size);
        clickSegment(controller().brushshape(), c.shape);
        const QImage outline = canvas->cursor().pixmap().toImage();
        const qreal ratio = outline.devicePixelRatio();
        EXPECT_EQ(canvas->cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(outline.width(), int(c.side * ratio)) << c.size;
        EXPECT_EQ(qAlpha(outline.pixel(int(2 * ratio), int(2 * ratio))) > 0, c.corner) << c.size << c.shape;
        EXPECT_GT(qAlpha(outline.pixel(outline.width() / 2, int(2 * ratio))), 0) << "top of the outline";
    }

    // Space held in a painting tool: the open hand, closed while its drag pans;
    // let go, the brush again. Auto-repeats change nothing.
    const QByteArray before(reinterpret_cast<const char*>(canvas->workingBuffer()), 256 * 256 * 4);
    canvas->setFocus();
    QTest::keyPress(canvas, Qt::Key_Space);
    EXPECT_EQ(canvas->cursor().shape(), Qt::OpenHandCursor);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(canvas, &repeat);
    EXPECT_EQ(canvas->cursor().shape(), Qt::OpenHandCursor);
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(160, 200));
    EXPECT_EQ(canvas->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(200, 240));
    EXPECT_EQ(canvas->cursor().shape(), Qt::OpenHandCursor);
    QTest::keyRelease(canvas, Qt::Key_Space);
    EXPECT_EQ(canvas->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(canvas->workingBuffer()), before.size()), before)
        << "the drag did not paint";
}

// With remembering on (the program turns it on), the tool and brush come back, and
// so does the star of strokes saved at quit into the working project only.
TEST_F(MainScreen, ToolBrushAndUnsavedStrokesAreRememberedAcrossStarts)
{
    ControlSettings::setEnabled(true);
    clickSegment(controller().toolbar(), 2);
    clickSegment(controller().brushsize(), 3);
    clickSegment(controller().brushshape(), 1);
    paintStroke();
    shell->delegate().applicationWillTerminate();
    shell.reset();
    shell = std::make_unique<ApplicationShell>();
    shell->launch();
    ControlSettings::setEnabled(false);
    QSettings().clear();
    EXPECT_EQ(controller().toolbar()->selectedSegmentIndex(), 2);
    EXPECT_EQ(controller().brushsize()->selectedSegmentIndex(), 3);
    EXPECT_EQ(controller().brushshape()->selectedSegmentIndex(), 1);
    EXPECT_TRUE(controller().brushsize()->isEnabled());
    EXPECT_TRUE(controller().hasUnsavedStrokes());
    EXPECT_EQ(shell->window().windowTitle(), "* Unsaved strokes");
}

// The star stored at quit goes with the project the quit save writes: the one a
// new photo replaces until its start image is chosen. A picture that cannot be
// imported leaves the project, and its star, as they were.
TEST_F(MainScreen, UnsavedStarStoredAtQuitIsThatOfTheProjectSaved)
{
    const Image photo{ImportTestFiles::quadrantPicture(120, 80)};
    const struct {
        const char* name;
        Image picture;
        bool choose;
        bool unsavedAfter;
    } cases[] = {
        {"quit on the start sheet", photo, false, true},
        {"picture not imported", Image{}, false, true},
        {"quit after the start image", photo, true, false},
    };
    ControlSettings::setEnabled(true);
    const auto off = qScopeGuard([] {
        ControlSettings::setEnabled(false);
        QSettings().clear();
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        paintStroke();
        controller().useImage(c.picture);
        if (c.choose) {
            ASSERT_TRUE(chooseOnSheet("Black Pencil Sketch"));
        }
        takeAlerts();
        shell->delegate().applicationWillTerminate();
        shell.reset();
        shell = std::make_unique<ApplicationShell>();
        shell->launch();
        EXPECT_EQ(controller().hasUnsavedStrokes(), c.unsavedAfter);
    }
}

// The console texts go through one category, on by default, that can be turned off.
TEST(ConsoleLog, TextsGoThroughTheConsoleCategoryThatCanBeTurnedOff)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
            lines << QString::fromLatin1(context.category) + ": " + text;
        });
    releaseData(std::malloc(16));
    QLoggingCategory::setFilterRules(QStringLiteral("charcolino.console=false"));
    releaseData(std::malloc(16));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    EXPECT_EQ(lines, QStringList{"charcolino.console: releaseData"});
}

// The brush beyond the segmented controls: keys step size, hardness and strength,
// the band's Brush button and its popup follow, a size between the presets shows
// no preset, V held peeks, and everything comes back at the next start.
TEST_F(MainScreen, BrushKeysStepSizeHardnessAndStrengthAndAreRemembered)
{
    ControlSettings::setEnabled(true);
    const auto off = qScopeGuard([] {
        ControlSettings::setEnabled(false);
        QSettings().clear();
    });
    clickSegment(controller().toolbar(), 1);
    clickSegment(controller().brushsize(), 1);  // 15 points
    QWidget* view = controller().view();
    const auto keys = [view](const QString& sequence) {
        for (const QString& key : sequence.split(' '))
            QTest::keySequence(view->window(), QKeySequence(key));
        QApplication::processEvents();
    };
    keys("I I I Shift+[ Ctrl+] Ctrl+]");
    EXPECT_EQ(canvas->brushStyle().strength, 70);
    EXPECT_EQ(canvas->brushStyle().hardness, 75);
    EXPECT_DOUBLE_EQ(canvas->brushRadiusPoints(), 18.2);  // 15 x 1.1 = 16.5, x 1.1 = 18.15
    EXPECT_EQ(controller().brushsize()->selectedSegmentIndex(), -1) << "no preset between them";
    EXPECT_EQ(controller().brushButton()->text(), "70%");
    EXPECT_EQ(controller().brushPopup()->strengthSlider()->value(), 7);
    keys("]");  // the next preset up: 20 points
    EXPECT_EQ(controller().brushsize()->selectedSegmentIndex(), 2);
    EXPECT_DOUBLE_EQ(canvas->brushRadiusPoints(), 20.0);
    keys("Ctrl+[ Ctrl+[ O");
    EXPECT_DOUBLE_EQ(canvas->brushRadiusPoints(), 16.5);  // 20 / 1.1 = 18.18.., / 1.1 = 16.53..
    EXPECT_EQ(canvas->brushStyle().strength, 80);
    // Limits: never below 10 % or 2 points, never harder than 100 %.
    keys("I I I I I I I I I I Shift+] Shift+] Shift+]");
    EXPECT_EQ(canvas->brushStyle().strength, 10);
    EXPECT_EQ(canvas->brushStyle().hardness, 100);
    // The popup's sliders set the style too.
    controller().brushPopup()->hardnessSlider()->setValue(1);
    EXPECT_EQ(canvas->brushStyle().hardness, 25);

    // V held: the canvas shows the colour sketch, then the working image again.
    QTest::keyPress(canvas, Qt::Key_V);
    EXPECT_EQ(canvas->peekSource(), 1);
    QTest::keyRelease(canvas, Qt::Key_V);
    EXPECT_EQ(canvas->peekSource(), -1);

    shell->delegate().applicationWillTerminate();
    shell.reset();
    shell = std::make_unique<ApplicationShell>();
    shell->launch();
    canvas = controller().canvas();
    EXPECT_EQ(canvas->brushStyle().strength, 10);
    EXPECT_EQ(canvas->brushStyle().hardness, 25);
    EXPECT_DOUBLE_EQ(canvas->brushRadiusPoints(), 16.5);
    EXPECT_EQ(controller().brushsize()->selectedSegmentIndex(), -1);
}
