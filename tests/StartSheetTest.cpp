// The first minute: a photo at a first start is the first project, with one sheet
// over it; the sheet shows the new picture, can be cancelled when it replaces a
// project (which then stays exactly as it was), and the first choice is followed
// by a line on how to paint.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <cmath>

#include "app/ApplicationShell.h"
#include "app/FeedbackLabel.h"
#include "canvas/CanvasView.h"
#include "imageio/Image.h"
#include "system/DocumentsDirectory.h"
#include "widgets/ActionSheet.h"
#include "widgets/SegmentedControl.h"
#include "support/ImportTestFiles.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

namespace {

QByteArray bytes(const std::uint8_t* data, const CanvasView* c)
{
    return QByteArray(reinterpret_cast<const char*>(data), c->bufferWidth() * c->bufferHeight() * 4);
}

// The picture area only: the rows of the picture, its columns of each.
QByteArray pictureBytes(const std::uint8_t* data, const CanvasView* c)
{
    QByteArray out;
    const int columns = int(std::ceil(c->pictureSize().width));
    for (int y = 0; y < int(std::ceil(c->pictureSize().height)); ++y)
        out.append(reinterpret_cast<const char*>(data) + std::size_t(y) * c->bufferWidth() * 4, columns * 4);
    return out;
}

QStringList sheetButtons(ActionSheet* sheet)
{
    QStringList titles;
    for (QPushButton* b : sheet->findChildren<QPushButton*>())
        titles << b->text();
    return titles;
}

class StartSheet : public ::testing::Test {
protected:
    void SetUp() override { clearDocuments(); }
    void TearDown() override
    {
        takeAlerts();
        shell.reset();
        CanvasView::setSkipStartPicture(false);
        QApplication::processEvents();
    }
    void launch()
    {
        shell = std::make_unique<ApplicationShell>();
        shell->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell->window()));
        canvas = shell->controller().canvas();
        ASSERT_NE(canvas, nullptr);
    }
    QString photo(const QString& name, int w, int h)
    {
        const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(ImportTestFiles::quadrantPicture(w, h).save(path, "PNG"));
        return path;
    }
    // The surface's colour at a point of the canvas (points).
    QColor shown(QPoint at)
    {
        const QImage& image = canvas->presentedImage();
        const qreal r = canvas->devicePixelRatioF();
        return image.pixelColor(int(at.x() * r), int(at.y() * r));
    }

    std::unique_ptr<ApplicationShell> shell;
    CanvasView* canvas = nullptr;
};

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 && std::abs(a.blue() - b.blue()) <= 8;
}

}  // namespace

TEST_F(StartSheet, APhotoAtAFirstStartIsTheFirstProjectWithOneSheetOverIt)
{
    const QString path = photo("first.png", 300, 200);
    CanvasView::setSkipStartPicture(true);
    launch();
    EXPECT_FALSE(canvas->isLoaded());
    EXPECT_EQ(openSheet(), nullptr) << "no sheet for the built-in picture";
    shell->openPhoto(path);
    ASSERT_TRUE(QTest::qWaitFor([] { return openSheet() != nullptr; }, 5000));
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{300, 200}));
    // The very first project replaces none: the phone's sheet, without Cancel.
    EXPECT_EQ(sheetButtons(openSheet()), (QStringList{"Black Pencil Sketch", "Color Pencil Sketch", "Original Picture"}));
    // The photo is behind it: its top-left quadrant at the top left of the picture.
    const float z = canvas->zoomLevel();
    const QPoint topLeft(int(canvas->centerX() - z * 150 + z * 30), int(390 - canvas->centerY() - z * 100 + z * 30));
    EXPECT_TRUE(near(shown(topLeft), ImportTestFiles::kTopLeft)) << shown(topLeft).name().toStdString();
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    EXPECT_TRUE(canvas->isLoaded());
    QApplication::processEvents();
    EXPECT_EQ(openSheet(), nullptr) << "one sheet only";
    // The line on how to paint, after the first choice of the run only.
    EXPECT_TRUE(shell->controller().feedback()->isVisible());
    EXPECT_EQ(shell->controller().feedback()->text(), CharcolinoViewController::kPaintHint);
    shell->controller().feedback()->hide();
    shell->controller().useImage(Image{ImportTestFiles::quadrantPicture(100, 100)});
    ASSERT_TRUE(chooseOnSheet("Black Pencil Sketch"));
    EXPECT_FALSE(shell->controller().feedback()->isVisible());
}

TEST_F(StartSheet, APhotoThatCannotBeReadAtAFirstStartFallsBackToTheBuiltInPicture)
{
    const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).filePath("bad.png");
    ASSERT_TRUE(writeBytes(path, QByteArray("not a picture")));
    CanvasView::setSkipStartPicture(true);
    launch();
    shell->openPhoto(path);
    ASSERT_TRUE(QTest::qWaitFor([] { return openSheet() != nullptr; }, 5000));
    EXPECT_EQ(takeAlerts().size(), 1);
    EXPECT_TRUE(canvas->isChoosingStartImage());
    EXPECT_EQ(sheetButtons(openSheet()).size(), 3);
}

TEST_F(StartSheet, CancelLeavesTheReplacedProjectExactlyAsItWas)
{
    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"),
                           projectFileBytes(256, 256, FloatSize{200, 150}, [](int buffer, int x, int y) {
                               return buffer == 3 ? 0xff0000ffu : 0xff000000u | std::uint32_t(x * 7 + y * 3);
                           })));
    launch();
    ASSERT_TRUE(canvas->isLoaded());
    CharcolinoViewController& c = shell->controller();
    // A stroke, a zoom and a pan: all of it is to come back.
    clickSegment(c.toolbar(), 1);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(160, 195));
    canvas->zoomIn();
    ASSERT_TRUE(c.hasUnsavedStrokes());
    const QByteArray working = bytes(canvas->workingBuffer(), canvas);
    const QByteArray original = bytes(canvas->originalBuffer(), canvas);
    // The sketches are made again: the same in the picture (the rest of their
    // buffers is never read).
    const QByteArray black = pictureBytes(canvas->blackSketchBuffer(), canvas);
    const QByteArray colour = pictureBytes(canvas->colorSketchBuffer(), canvas);
    const auto view = std::tuple(canvas->centerX(), canvas->centerY(), canvas->zoomLevel());
    canvas->UpdateScreen();
    const QImage screen = canvas->presentedImage().copy();

    for (const char* how : {"Escape", "Cancel button", "a second photo, then Escape"}) {
        SCOPED_TRACE(how);
        c.useImage(Image{ImportTestFiles::quadrantPicture(120, 80)});
        ActionSheet* sheet = openSheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheetButtons(sheet).last(), "Cancel");
        EXPECT_FALSE(c.hasUnsavedStrokes()) << "the new project has none";
        EXPECT_EQ(canvas->pictureSize(), (FloatSize{120, 80}));
        if (std::string(how) == "Cancel button") {
            ASSERT_TRUE(chooseOnSheet("Cancel"));
        } else {
            if (std::string(how) != "Escape") {
                c.useImage(Image{ImportTestFiles::quadrantPicture(90, 60)});
                sheet = openSheet();  // the newest sheet
                ASSERT_NE(sheet, nullptr);
            }
            QTest::keyClick(sheet, Qt::Key_Escape);
        }
        QApplication::processEvents();
        EXPECT_FALSE(canvas->isChoosingStartImage());
        EXPECT_EQ(canvas->pictureSize(), (FloatSize{200, 150}));
        EXPECT_EQ(bytes(canvas->workingBuffer(), canvas), working);
        EXPECT_EQ(bytes(canvas->originalBuffer(), canvas), original);
        EXPECT_EQ(pictureBytes(canvas->blackSketchBuffer(), canvas), black);
        EXPECT_EQ(pictureBytes(canvas->colorSketchBuffer(), canvas), colour);
        EXPECT_EQ(std::tuple(canvas->centerX(), canvas->centerY(), canvas->zoomLevel()), view);
        EXPECT_EQ(canvas->presentedImage(), screen);
        EXPECT_TRUE(c.hasUnsavedStrokes()) << "its mark came back";
        EXPECT_EQ(c.toolbar()->selectedSegmentIndex(), 1);
        while (openSheet())
            chooseOnSheet("Cancel");
    }
    // Its undo history too.
    ASSERT_TRUE(canvas->canUndo());
    canvas->undo();
    EXPECT_NE(bytes(canvas->workingBuffer(), canvas), working);
    EXPECT_FALSE(canvas->canUndo());
}
