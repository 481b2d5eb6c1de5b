#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "widgets/ActionSheet.h"
#include "widgets/ActionSheetDelegate.h"

namespace {

struct Choice {
    int index;
    bool sheetVisible;
};

struct Recorder : QObject, ActionSheetDelegate {
    std::vector<Choice> choices;
    void actionSheetClickedButtonAtIndex(ActionSheet* sheet, int index) override
    {
        choices.push_back({index, sheet->isVisible()});
    }
};

// A window with a canvas-sized view below a 70-point band.
struct Sheet : ::testing::Test {
    QWidget window;
    QWidget* view = new QWidget(&window);
    QPushButton* behind = new QPushButton("behind", &window);
    Recorder recorder;
    QPointer<ActionSheet> sheet;

    void SetUp() override
    {
        window.resize(320, 460);
        view->setGeometry(0, 70, 320, 390);
        behind->setGeometry(10, 10, 80, 30);
        sheet = new ActionSheet("Start New Project With", &recorder, view);
        for (const char* title : {"Black Pencil Sketch", "Color Pencil Sketch", "Original Picture"})
            sheet->addButtonWithTitle(title);
    }
    void TearDown() override { delete sheet.data(); }
    QPushButton* button(int i) { return sheet->findChild<QPushButton*>(QStringLiteral("actionSheetButton%1").arg(i)); }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

TEST_F(Sheet, ShowsWindowModalAtTheBottomOfTheViewWithoutBlocking)
{
    window.show();
    sheet->showInView(view);
    // We are here, so showInView returned while the sheet waits.
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->isWindow());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(QApplication::activeModalWidget(), sheet.data());
    EXPECT_EQ(sheet->findChild<QLabel*>("actionSheetTitle")->text(), "Start New Project With");
    QStringList titles;
    for (auto* b : sheet->findChildren<QPushButton*>())
        titles << b->text();
    EXPECT_EQ(titles, QStringList({"Black Pencil Sketch", "Color Pencil Sketch", "Original Picture"}));
    EXPECT_LT(button(0)->y(), button(2)->y());
    const QRect viewArea(view->mapToGlobal(QPoint(0, 0)), view->size());
    EXPECT_EQ(sheet->geometry().bottom(), viewArea.bottom());
    EXPECT_EQ(sheet->width(), view->width());

    // Input to the window under the sheet is held back until the choice is made.
    QSignalSpy clicks(behind, &QPushButton::clicked);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, behind->geometry().center());
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseClick(button(0), Qt::LeftButton);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, behind->geometry().center());
    EXPECT_EQ(clicks.count(), 1);
}

// The sheet keeps across the view's bottom as it, its page or its window moves or is
// resized. Like the canvas, the view is in a page that joins its window later.
TEST_F(Sheet, FollowsTheViewWhenItOrItsWindowMovesOrIsResized)
{
    auto* page = new QWidget;
    page->resize(window.size());
    view->setParent(page);
    sheet->showInView(view);
    page->setParent(&window);
    window.show();
    QCoreApplication::processEvents(); // the sheet rises with the view
    const struct { const char* what; QRect windowAt, pageAt, viewAt; } steps[] = {
        {"window moved", {931, 247, 320, 460}, {0, 0, 320, 460}, {0, 70, 320, 390}},
        {"window and view resized", {931, 247, 900, 700}, {0, 0, 900, 700}, {0, 70, 900, 630}},
        {"view moved in its page", {931, 247, 900, 700}, {0, 0, 900, 700}, {40, 60, 900, 630}},
        {"page moved in its window", {931, 247, 900, 700}, {10, 5, 900, 700}, {40, 60, 900, 630}},
    };
    const auto edges = [](const QRect& r) { return QList<int>{r.left(), r.right(), r.bottom()}; };
    for (const auto& step : steps) {
        window.setGeometry(step.windowAt);
        page->setGeometry(step.pageAt);
        view->move(step.viewAt.topLeft()); // apart: setGeometry sends a move with a resize
        view->resize(step.viewAt.size());
        EXPECT_EQ(edges(sheet->geometry()), edges({view->mapToGlobal(QPoint(0, 0)), view->size()})) << step.what;
    }
}

TEST_F(Sheet, OnlyAChoiceClosesItAndTheDelegateHearsOfItOnceAfterwards)
{
    window.show();
    sheet->showInView(view);
    QTest::keyClick(sheet.data(), Qt::Key_Escape);
    sheet->close();
    flushDeletes();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_TRUE(recorder.choices.empty());

    QTest::mouseClick(button(2), Qt::LeftButton);
    button(1)->click(); // a late second click is not a second answer
    ASSERT_EQ(recorder.choices.size(), 1u);
    EXPECT_EQ(recorder.choices[0].index, 2);
    EXPECT_FALSE(recorder.choices[0].sheetVisible);
    flushDeletes();
    EXPECT_TRUE(sheet.isNull()) << "the sheet deletes itself after a choice";
}

TEST_F(Sheet, WaitsForAViewNotYetShownAndSkipsADelegateAlreadyGone)
{
    auto* gone = new Recorder;
    delete sheet.data();
    sheet = new ActionSheet("Start New Project With", gone, view);
    sheet->addButtonWithTitle("Original Picture");
    sheet->showInView(view);
    EXPECT_FALSE(sheet->isVisible());
    window.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->geometry().bottom(), view->mapToGlobal(QPoint(0, view->height() - 1)).y());

    delete gone;
    QTest::mouseClick(button(0), Qt::LeftButton); // must not reach the deleted delegate
    EXPECT_FALSE(sheet->isVisible());
}

} // namespace
