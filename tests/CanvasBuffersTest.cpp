#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "canvas/CanvasView.h"
#include "platform/PixelMemory.h"
#include "support/CanvasTestAccess.h"

namespace {

int openErrorAlerts()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->isVisible() && box->windowTitle() == "Error" &&
            box->text() == QString::fromLatin1(CanvasView::kLowMemoryMessage))
            ++n;
    }
    return n;
}

void closeAlerts()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w))
            w->close();
    QApplication::processEvents();
}

}  // namespace

TEST(CanvasBuffers, PrepareAllocatesFourBuffersOfTheProjectSize)
{
    CanvasView canvas;
    CanvasTestAccess::setGeometry(canvas, 1, 1, {1, 1});
    ASSERT_TRUE(canvas.PrepareBuff(true));
    EXPECT_NE(canvas.originalBuffer(), nullptr);
    EXPECT_NE(canvas.blackSketchBuffer(), nullptr);
    EXPECT_NE(canvas.colorSketchBuffer(), nullptr);
    EXPECT_NE(canvas.workingBuffer(), nullptr);

    CanvasTestAccess::setGeometry(canvas, 1024, 1024, {1024, 1024});
    canvas.FreeBuff();
    ASSERT_TRUE(canvas.PrepareBuff(true));
    // The whole 4 MiB block is writable.
    const_cast<std::uint8_t*>(canvas.workingBuffer())[1024 * 1024 * 4 - 1] = 7;
    EXPECT_EQ(openErrorAlerts(), 0);
}

TEST(CanvasBuffers, PrepareWithoutOriginalKeepsTheImportedOne)
{
    CanvasView canvas;
    CanvasTestAccess::setGeometry(canvas, 4, 4, {4, 4});
    CanvasTestAccess::giveOriginal(canvas);
    const std::uint8_t* imported = canvas.originalBuffer();
    ASSERT_TRUE(canvas.PrepareBuff(false));
    EXPECT_EQ(canvas.originalBuffer(), imported);
}

TEST(CanvasBuffers, AnyFailedAllocationReleasesAllFourAndAlertsOnce)
{
    for (int failing = 1; failing <= 3; ++failing) {
        CanvasView canvas;
        CanvasTestAccess::setGeometry(canvas, 8, 8, {8, 8});
        CanvasTestAccess::giveOriginal(canvas);
        CanvasTestAccess::setLoaded(canvas, true);
        PixelMemory::failAllocation(failing);
        EXPECT_FALSE(canvas.PrepareBuff(false)) << failing;
        PixelMemory::failAllocation(0);
        EXPECT_EQ(canvas.originalBuffer(), nullptr) << "the imported original goes too";
        EXPECT_EQ(canvas.blackSketchBuffer(), nullptr);
        EXPECT_EQ(canvas.colorSketchBuffer(), nullptr);
        EXPECT_EQ(canvas.workingBuffer(), nullptr);
        EXPECT_EQ(openErrorAlerts(), 1);
        // Dimensions and the loaded flag are not FreeBuff's business.
        EXPECT_EQ(canvas.bufferWidth(), 8);
        EXPECT_EQ(canvas.bufferHeight(), 8);
        EXPECT_TRUE(canvas.isLoaded());
        closeAlerts();
    }
}

TEST(CanvasBuffers, FreeTwiceIsHarmless)
{
    CanvasView canvas;
    CanvasTestAccess::setGeometry(canvas, 2, 2, {2, 2});
    ASSERT_TRUE(canvas.PrepareBuff(true));
    canvas.FreeBuff();
    canvas.FreeBuff();
    EXPECT_EQ(canvas.originalBuffer(), nullptr);
    EXPECT_EQ(canvas.workingBuffer(), nullptr);
    EXPECT_EQ(canvas.pictureSize(), (FloatSize{2.0f, 2.0f}));
}
