#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstring>
#include <memory>

#include "canvas/CanvasView.h"
#include "project/ProjectSlotFiles.h"
#include "widgets/ActionSheet.h"
#include "system/DocumentsDirectory.h"
#include "base/PixelMemory.h"
#include "widgets/SegmentedControl.h"
#include "support/CanvasTestAccess.h"

namespace {

// A picture whose every pixel differs from its neighbours, opaque.
QImage patternPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor((x * 7 + y) % 256, (y * 5 + x * 3) % 256, (x ^ y) % 256));
    return img;
}

ActionSheet* visibleSheet()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* sheet = qobject_cast<ActionSheet*>(w); sheet && sheet->isVisible())
            return sheet;
    return nullptr;
}

QString openAlertTexts()
{
    QStringList texts;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->windowTitle() == "Error")
            texts << box->text();
    return texts.join(" | ");
}

void closeTopLevelDialogs()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) || qobject_cast<ActionSheet*>(w)) {
            w->hide();
            w->deleteLater();
        }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class NewProjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(320, 460);
        canvas = CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390), window.get());
        ASSERT_NE(canvas, nullptr);
        toolbar = new SegmentedControl(window.get());
        toolbar->setTitles({"Black", "Color", "Photo", "Move"});
        toolbar->setSelectedSegmentIndex(0);
        canvas->setToolbar(toolbar);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        PixelMemory::failAllocation(0);
        closeTopLevelDialogs();
    }

    // Starts a project from `picture` and answers the sheet with button `choice`.
    void startAndChoose(const QImage& picture, int choice)
    {
        canvas->NewProject(Image{picture, ImageOrientationUp});
        QApplication::processEvents();
        ActionSheet* sheet = visibleSheet();
        ASSERT_NE(sheet, nullptr);
        canvas->actionSheetClickedButtonAtIndex(sheet, choice);
    }

    std::unique_ptr<QWidget> window;
    CanvasView* canvas = nullptr;  // owned by window
    SegmentedControl* toolbar = nullptr;
};

}  // namespace

TEST_F(NewProjectTest, NewProjectPreparesBuffersSketchesAndAsksForTheStartImage)
{
    canvas->NewProject(Image{patternPicture(320, 480), ImageOrientationUp});
    QApplication::processEvents();

    EXPECT_EQ(canvas->bufferWidth(), 512);
    EXPECT_EQ(canvas->bufferHeight(), 512);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{320, 480}));
    EXPECT_NE(canvas->blackSketchBuffer(), nullptr);
    EXPECT_NE(canvas->colorSketchTexture(), nullptr);
    EXPECT_FALSE(canvas->isLoaded()) << "loaded keeps its earlier value until the choice";

    ActionSheet* sheet = visibleSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    QStringList titles;
    for (QPushButton* b : sheet->findChildren<QPushButton*>())
        titles << b->text();
    EXPECT_EQ(titles, (QStringList{"Black Pencil Sketch", "Color Pencil Sketch", "Original Picture"}));
    EXPECT_TRUE(openAlertTexts().isEmpty());
}

TEST_F(NewProjectTest, EachChoiceCopiesItsSourceOverThePictureAreaOnly)
{
    struct Case {
        int choice;
        int source;  // CanvasTestAccess buffer number: 0 black, 1 colour, 2 original
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{7, 2}}) {
        canvas->NewProject(Image{patternPicture(320, 480), ImageOrientationUp});
        QApplication::processEvents();
        ASSERT_NE(visibleSheet(), nullptr);
        // Mark the spare area of the working buffer: the choice must not copy it.
        std::uint8_t* working = CanvasTestAccess::buffer(*canvas, 3);
        for (int y = 0; y < 512; ++y)
            for (int x = (y < 480 ? 320 : 0); x < 512; ++x)
                std::memset(working + (std::size_t(y) * 512 + x) * 4, 0xA5, 4);
        toolbar->setSelectedSegmentIndex(0);

        canvas->actionSheetClickedButtonAtIndex(visibleSheet(), c.choice);

        const std::uint8_t* source = CanvasTestAccess::buffer(*canvas, c.source);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const std::size_t o = (std::size_t(y) * 512 + x) * 4;
                if (x < 320 && y < 480) {
                    ASSERT_EQ(0, std::memcmp(working + o, source + o, 4)) << c.choice << " at " << x << "," << y;
                } else {
                    ASSERT_EQ(working[o], 0xA5) << "spare area written at " << x << "," << y;
                }
            }
        EXPECT_TRUE(canvas->isLoaded());
        EXPECT_EQ(toolbar->selectedSegmentIndex(), 3);
        EXPECT_EQ(canvas->centerX(), 160);
        EXPECT_EQ(canvas->centerY(), 195);
        EXPECT_FLOAT_EQ(canvas->zoomLevel(), 1.0f) << "320 wide fits the view";
        ASSERT_NE(canvas->workingTexture(), nullptr);
        closeTopLevelDialogs();
    }
}

TEST_F(NewProjectTest, ChoiceShowsTheWorkingImageFittedAndCentred)
{
    startAndChoose(patternPicture(1024, 768), 2);
    EXPECT_NEAR(canvas->zoomLevel(), 0.4096f, 1e-6f) << "fitted to the height";
    // The centre pixel of the picture is on screen at the canvas centre.
    const QImage shown = canvas->presentedImage();
    const QColor expected = patternPicture(1024, 768).pixelColor(512, 384);
    const QColor got = shown.pixelColor(160, 195);
    EXPECT_NEAR(got.red(), expected.red(), 40);
    EXPECT_NEAR(got.green(), expected.green(), 40);
}

// The start position is the view's centre, y less the band the app hands over:
// after a start choice, a load and a fit of the whole picture alike.
TEST_F(NewProjectTest, StartPositionIsTheCentreLessTheBandHandedOver)
{
    const FloatPoint c = canvas->center();  // (160, 265) in the window
    for (const float band : {70.0f, 0.0f, 25.5f, 120.0f}) {
        SCOPED_TRACE(band);
        canvas->setBandHeight(band);
        const int expectedY = int(std::trunc(double(c.y) - double(band)));
        startAndChoose(patternPicture(64, 48), 2);
        EXPECT_EQ(canvas->centerX(), 160);
        EXPECT_EQ(canvas->centerY(), expectedY);
        canvas->zoomIn();
        canvas->zoomToFitWhole();
        EXPECT_EQ(canvas->centerY(), expectedY);
        ASSERT_TRUE(canvas->SaveProject(7));
        ASSERT_TRUE(canvas->LoadProject(7));
        EXPECT_EQ(canvas->centerY(), expectedY);
    }
}

TEST_F(NewProjectTest, PictureWithoutBitmapLeavesTheCurrentProjectWithAnAlert)
{
    startAndChoose(patternPicture(64, 64), 1);
    ASSERT_TRUE(canvas->isLoaded());
    closeTopLevelDialogs();
    const std::uint8_t* working = canvas->workingBuffer();
    const QByteArray before(reinterpret_cast<const char*>(working), 64 * 64 * 4);
    const Texture2D* texture = canvas->workingTexture();

    canvas->NewProject(Image{});
    EXPECT_EQ(openAlertTexts(), CanvasView::kUnsupportedImageMessage);
    EXPECT_EQ(visibleSheet(), nullptr);
    EXPECT_TRUE(canvas->isLoaded()) << "the current project stays, paintable and saved at quit";
    EXPECT_EQ(canvas->workingBuffer(), working);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(working), before.size()), before);
    EXPECT_NE(canvas->originalBuffer(), nullptr);
    EXPECT_NE(canvas->colorSketchBuffer(), nullptr);
    EXPECT_EQ(canvas->workingTexture(), texture);
    EXPECT_TRUE(canvas->SaveProject(1));
    closeTopLevelDialogs();

    // With no project at all: the alert, and nothing released twice.
    std::unique_ptr<CanvasView> empty(CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390)));
    ASSERT_NE(empty, nullptr);
    empty->NewProject(Image{});
    EXPECT_EQ(openAlertTexts(), CanvasView::kUnsupportedImageMessage);
    EXPECT_FALSE(empty->isLoaded());
    EXPECT_EQ(empty->originalBuffer(), nullptr);
}

// Until the start image is chosen the working buffer holds the filter's scratch,
// not a picture: a save then writes the project being replaced, or nothing.
TEST_F(NewProjectTest, SavesWhileTheStartImageIsChosenWriteTheReplacedProject)
{
    QDir(DocumentsDirectory::path()).removeRecursively();
    const QString slot0 = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(0));
    const QString slot2 = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(2));
    const auto fileBytes = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    };

    // No project before the sheet: nothing is written, slot 0 stays as it was.
    {
        std::unique_ptr<CanvasView> fresh(CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390)));
        ASSERT_NE(fresh, nullptr);
        QFile earlier(slot0);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        fresh->NewProject(Image{patternPicture(30, 20), ImageOrientationUp});
        EXPECT_FALSE(fresh->SaveProject(0));
        EXPECT_EQ(fileBytes(slot0), "earlier");
        closeTopLevelDialogs();
    }
    canvas->setCurrentContext();

    // A painted project, then a new one whose sheet is up.
    startAndChoose(patternPicture(64, 64), 0);
    std::uint8_t* working = CanvasTestAccess::buffer(*canvas, 3);
    std::memset(working + 4 * 64 * 10, 0x5C, 4 * 64 * 3);  // a stroke over rows 10 to 12
    const QByteArray images = QByteArray(reinterpret_cast<const char*>(canvas->originalBuffer()), 64 * 64 * 4) +
                              QByteArray(reinterpret_cast<const char*>(working), 64 * 64 * 4);
    canvas->NewProject(Image{patternPicture(100, 60), ImageOrientationUp});
    ASSERT_NE(visibleSheet(), nullptr);
    for (int slot : {0, 2}) {
        SCOPED_TRACE(slot);
        ASSERT_TRUE(canvas->SaveProject(slot));
        const QByteArray saved = fileBytes(DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(slot)));
        EXPECT_EQ(saved.size(), 35 + images.size());
        EXPECT_TRUE(saved.mid(35) == images) << "the replaced project, stroke included";
    }
    EXPECT_FALSE(canvas->CreateThumbNail().isEmpty());

    // The choice makes the new project the one that is saved.
    canvas->actionSheetClickedButtonAtIndex(visibleSheet(), 2);
    ASSERT_TRUE(canvas->SaveProject(2));
    EXPECT_EQ(fileBytes(slot2).size(), 35 + 2 * 128 * 64 * 4);
}

TEST_F(NewProjectTest, AlphaOnlyPictureBecomesAnRgbaProject)
{
    // The upright step renders every picture with colour and alpha, so an
    // alpha-only bitmap reaches the buffers as RGBA, not as an alpha texture.
    QImage mask(40, 30, QImage::Format_Alpha8);
    mask.fill(200);
    canvas->NewProject(Image{mask, ImageOrientationUp});
    EXPECT_TRUE(openAlertTexts().isEmpty());
    ASSERT_NE(canvas->originalBuffer(), nullptr);
    EXPECT_EQ(canvas->originalBuffer()[3], 200);
    ASSERT_NE(visibleSheet(), nullptr);
}

TEST_F(NewProjectTest, AllocationFailureLeavesNoBuffersAndTheLowMemoryAlert)
{
    const long before = PixelMemory::allocationCount();
    canvas->NewProject(Image{patternPicture(100, 60), ImageOrientationUp});
    const int allocations = int(PixelMemory::allocationCount() - before);
    ASSERT_GE(allocations, 4) << "the original and three more buffers";
    closeTopLevelDialogs();

    for (int failing = 1; failing <= allocations; ++failing) {
        startAndChoose(patternPicture(64, 64), 0);
        ASSERT_TRUE(canvas->isLoaded());
        closeTopLevelDialogs();

        PixelMemory::failAllocation(failing);
        canvas->NewProject(Image{patternPicture(100, 60), ImageOrientationUp});
        PixelMemory::failAllocation(0);

        EXPECT_EQ(openAlertTexts(), CanvasView::kLowMemoryMessage) << "allocation " << failing;
        EXPECT_FALSE(canvas->isLoaded());
        EXPECT_EQ(canvas->originalBuffer(), nullptr);
        EXPECT_EQ(canvas->blackSketchBuffer(), nullptr);
        EXPECT_EQ(canvas->colorSketchBuffer(), nullptr);
        EXPECT_EQ(canvas->workingBuffer(), nullptr);
        EXPECT_NE(canvas->workingTexture(), nullptr) << "the imported picture's texture stays";
        EXPECT_EQ(canvas->bufferWidth(), 128) << "the new geometry is kept";
        EXPECT_EQ(visibleSheet(), nullptr);
        closeTopLevelDialogs();
    }
}

TEST_F(NewProjectTest, EmptyCanvasIsDestroyedCleanly)
{
    CanvasView* empty = CanvasTestAccess::makeBare(QRectF(0, 70, 320, 390));
    ASSERT_NE(empty, nullptr);
    delete empty;
    canvas->setCurrentContext();
    startAndChoose(patternPicture(16, 16), 2);
    EXPECT_TRUE(canvas->isLoaded());
}
