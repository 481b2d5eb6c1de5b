#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "canvas/CanvasView.h"
#include "base/PixelMemory.h"

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

// What the buffers hold and when is the document's (ProjectDocumentTest); the view
// adds the low-memory alert.
TEST(CanvasBuffers, AnyFailedAllocationReleasesAllFourAndAlertsOnce)
{
    for (int failing = 1; failing <= 3; ++failing) {
        CanvasView canvas;
        canvas.document().startNewProject(PixelMemory::allocate(8 * 8 * 4), 8, 8, {8, 8}, QByteArray());
        canvas.document().setLoaded(true);
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
    CanvasView canvas;
    canvas.document().setGeometry(4, 4, {4, 4});
    ASSERT_TRUE(canvas.PrepareBuff(true));
    EXPECT_EQ(openErrorAlerts(), 0);
}
