// The main screen as assistive technology sees it, through Qt's accessibility
// interfaces: names, roles and states of every control, the canvas's
// description, the sheet's buttons and the feedback announced; the focus ring
// and the Tab order.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/ApplicationShell.h"
#include "app/CanvasAccessible.h"
#include "app/FeedbackLabel.h"
#include "app/MenuHistoryRow.h"
#include "canvas/CanvasView.h"
#include "imageio/Image.h"
#include "system/DocumentsDirectory.h"
#include "widgets/ActionSheet.h"
#include "widgets/FocusRing.h"
#include "widgets/SegmentedControl.h"
#include "support/ImportTestFiles.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

namespace {

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearDocuments();
        ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"),
                               projectFileBytes(256, 256, FloatSize{200, 150},
                                                [](int, int x, int y) { return 0xff000000u | std::uint32_t(x + y); })));
        shell = std::make_unique<ApplicationShell>();
        shell->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell->window()));
        canvas = shell->controller().canvas();
        ASSERT_NE(canvas, nullptr);
    }
    void TearDown() override
    {
        takeAlerts();
        shell.reset();
    }
    static QAccessibleInterface* of(QObject* o) { return QAccessible::queryAccessibleInterface(o); }

    std::unique_ptr<ApplicationShell> shell;
    CanvasView* canvas = nullptr;
};

}  // namespace

TEST_F(Accessibility, SegmentedControlsAreGroupsOfCheckableNamedButtons)
{
    CharcolinoViewController& c = shell->controller();
    const struct {
        SegmentedControl* control;
        const char* name;
        QStringList segments;
    } controls[] = {
        {c.toolbar(), "Tool", {"Black", "Color", "Photo", "Move"}},
        {c.brushsize(), "Brush size", {"S", "M", "L", "XL"}},
        {c.brushshape(), "Brush shape", {"Round", "Square"}},
    };
    clickSegment(c.toolbar(), 0);
    for (const auto& control : controls) {
        SCOPED_TRACE(control.name);
        QAccessibleInterface* group = of(control.control);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->role(), QAccessible::Grouping);
        EXPECT_EQ(group->text(QAccessible::Name), control.name);
        ASSERT_EQ(group->childCount(), control.segments.size());
        for (int i = 0; i < group->childCount(); ++i) {
            QAccessibleInterface* segment = group->child(i);
            ASSERT_NE(segment, nullptr);
            EXPECT_EQ(segment->role(), QAccessible::CheckBox);
            EXPECT_EQ(segment->text(QAccessible::Name), control.segments[i]);
            EXPECT_TRUE(segment->state().checkable);
            EXPECT_EQ(bool(segment->state().checked), control.control->selectedSegmentIndex() == i) << i;
            EXPECT_EQ(segment->parent(), group);
            EXPECT_EQ(group->indexOfChild(segment), i);
            EXPECT_EQ(segment->rect().center(), control.control->mapToGlobal(control.control->segmentRect(i).center()));
        }
        // Pressing a segment selects it as a click does, and says so.
        const int target = control.control->selectedSegmentIndex() == 1 ? 0 : 1;
        QSignalSpy byUser(control.control, &SegmentedControl::valueChanged);
        QAccessibleActionInterface* press = group->child(target)->actionInterface();
        ASSERT_NE(press, nullptr);
        press->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(control.control->selectedSegmentIndex(), target);
        EXPECT_EQ(byUser.count(), 1);
        EXPECT_TRUE(group->child(target)->state().checked);
        EXPECT_EQ(group->child(1 - target)->state().checked, false);
    }
    // In Move the brush controls take no input: their segments say so.
    clickSegment(c.toolbar(), 3);
    EXPECT_TRUE(of(c.brushsize())->child(0)->state().disabled);
    EXPECT_FALSE(of(c.toolbar())->child(0)->state().disabled);
}

TEST_F(Accessibility, CanvasIsANamedCanvasDescribingToolAndZoom)
{
    QAccessibleInterface* face = of(canvas);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Canvas);
    EXPECT_EQ(face->text(QAccessible::Name), "Picture");
    clickSegment(shell->controller().toolbar(), 1);
    const QString zoom = QStringLiteral(" Zoom %1 %.").arg(std::lround(canvas->zoomLevel() * 100.0));
    EXPECT_EQ(face->text(QAccessible::Description), "Paints from the colour pencil sketch." + zoom);
    canvas->zoomIn();
    EXPECT_EQ(face->text(QAccessible::Description),
              QStringLiteral("Paints from the colour pencil sketch. Zoom %1 %.").arg(std::lround(canvas->zoomLevel() * 100.0)));
    clickSegment(shell->controller().toolbar(), 3);
    EXPECT_TRUE(face->text(QAccessible::Description).startsWith("Moves and zooms the picture. Zoom "));

    const struct {
        int tool;
        float zoom;
        bool loaded;
        const char* text;
    } cases[] = {
        {0, 1.0f, true, "Paints from the black pencil sketch. Zoom 100 %."},
        {2, 0.64f, true, "Paints from the photo. Zoom 64 %."},
        {3, 2.44140625f, true, "Moves and zooms the picture. Zoom 244 %."},
        {-1, 1.0f, true, "No tool. Zoom 100 %."},
        {0, 1.0f, false, "No picture."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CanvasAccessible::describe(c.tool, c.zoom, c.loaded), c.text);
}

TEST_F(Accessibility, MenuSheetAndFeedbackAreNamedAndTheFeedbackIsAnnounced)
{
    CharcolinoViewController& c = shell->controller();
    EXPECT_EQ(of(c.menuButton())->text(QAccessible::Name), "Menu");
    EXPECT_EQ(of(c.menuButton())->role(), QAccessible::Button);
    for (QPushButton* b : {c.newButton(), c.saveButton(), c.loadButton(), c.exportButton(), c.historyRow()->undoButton(),
                           c.historyRow()->redoButton()})
        EXPECT_EQ(of(b)->text(QAccessible::Name), b->text());
    EXPECT_EQ(of(c.historyRow()->keysButton())->text(QAccessible::Name), "List of keys");
    EXPECT_TRUE(of(c.historyRow()->undoButton())->state().disabled) << "nothing to undo";

    c.useImage(Image{ImportTestFiles::quadrantPicture(120, 80)});
    ActionSheet* sheet = openSheet();
    ASSERT_NE(sheet, nullptr);
    QAccessibleInterface* face = of(sheet);
    EXPECT_EQ(face->role(), QAccessible::Dialog);
    QStringList buttons;
    for (int i = 0; i < face->childCount(); ++i)
        if (face->child(i)->role() == QAccessible::Button)
            buttons << face->child(i)->text(QAccessible::Name);
    EXPECT_EQ(buttons, (QStringList{"Black Pencil Sketch", "Color Pencil Sketch", "Original Picture", "Cancel"}));
    ASSERT_TRUE(chooseOnSheet("Original Picture"));

    // The feedback is an alert whose name is the message.
    c.feedback()->showMessage(QStringLiteral("Saved to slot 3"));
    EXPECT_EQ(of(c.feedback())->role(), QAccessible::AlertMessage);
    EXPECT_EQ(of(c.feedback())->text(QAccessible::Name), "Saved to slot 3");
}

TEST_F(Accessibility, TabGoesMenuToolbarSizeShapeCanvasAndTheCanvasShowsAFocusRing)
{
    CharcolinoViewController& c = shell->controller();
    clickSegment(c.toolbar(), 0);  // the brush controls take the focus only in a painting tool
    shell->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shell->window()));
    c.menuButton()->setFocus(Qt::TabFocusReason);
    const QWidget* expected[] = {c.toolbar(), c.brushsize(), c.brushshape(), canvas};
    for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    auto* ring = shell->window().findChild<FocusRing*>();
    ASSERT_NE(ring, nullptr);
    EXPECT_TRUE(ring->isVisible());
    EXPECT_EQ(ring->geometry(), canvas->geometry());
    QTest::mousePress(canvas, Qt::MiddleButton, {}, QPoint(100, 100));
    QTest::mouseRelease(canvas, Qt::MiddleButton, {}, QPoint(100, 100));
    EXPECT_FALSE(ring->isVisible()) << "a click takes the ring away";

    // A focused segmented control draws the ring's colour; unfocused, it does not.
    const auto ringPixels = [](QWidget* w) {
        const QImage image = w->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == QColor(143, 180, 236);
        return n;
    };
    c.brushshape()->setFocus(Qt::TabFocusReason);
    EXPECT_GT(ringPixels(c.brushshape()), 20);
    canvas->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ringPixels(c.brushshape()), 0);
}
