#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "widgets/SegmentedControl.h"

namespace {

struct Segments : ::testing::Test {
    SegmentedControl control{QStringList{"Black", "Color", "Photo", "Move"}};
    QSignalSpy user{&control, &SegmentedControl::valueChanged};
    QSignalSpy any{&control, &SegmentedControl::selectedSegmentIndexChanged};

    void SetUp() override
    {
        control.resize(245, 30);
        control.show();
    }
    void click(int segment)
    {
        QTest::mouseClick(&control, Qt::LeftButton, {}, control.segmentRect(segment).center());
    }
};

TEST_F(Segments, ClicksAreUserChangesReportedOnceAndReclickingDoesNothing)
{
    EXPECT_EQ(control.selectedSegmentIndex(), -1);
    click(2);
    click(2);
    EXPECT_EQ(control.selectedSegmentIndex(), 2);
    ASSERT_EQ(user.count(), 1);
    EXPECT_EQ(user.at(0).at(0).toInt(), 2);
    EXPECT_EQ(any.count(), 1);

    QTest::mouseClick(&control, Qt::RightButton, {}, control.segmentRect(0).center());
    EXPECT_EQ(control.selectedSegmentIndex(), 2);
    // The edges belong to the outer segments; outside belongs to none.
    EXPECT_EQ(control.segmentAt(QPoint(0, 15)), 0);
    EXPECT_EQ(control.segmentAt(QPoint(control.width() - 1, 15)), 3);
    EXPECT_EQ(control.segmentAt(QPoint(control.width(), 15)), -1);
}

TEST_F(Segments, CodeChangesAreNotUserChanges)
{
    control.setSelectedSegmentIndex(3);
    control.setSelectedSegmentIndex(3);
    EXPECT_EQ(control.selectedSegmentIndex(), 3);
    EXPECT_EQ(any.count(), 1);
    EXPECT_EQ(user.count(), 0);

    // A segment that does not exist selects nothing.
    for (int bad : {4, 99, -7}) {
        control.setSelectedSegmentIndex(1);
        control.setSelectedSegmentIndex(bad);
        EXPECT_EQ(control.selectedSegmentIndex(), -1) << bad;
    }
    // Fewer titles drop a selection beyond them; more keep it.
    control.setSelectedSegmentIndex(3);
    control.setTitles({"S", "M", "L", "XL", "XXL"});
    EXPECT_EQ(control.selectedSegmentIndex(), 3);
    control.setTitles({"Round", "Square"});
    EXPECT_EQ(control.selectedSegmentIndex(), -1);
    EXPECT_EQ(control.numberOfSegments(), 2);
    EXPECT_EQ(user.count(), 0);

    control.setAlpha(1.5);
    EXPECT_EQ(control.alpha(), 1.0);
    control.setAlpha(0.4);
    EXPECT_NEAR(control.alpha(), 0.4, 1e-9);
    click(1); // a dimmed control still takes clicks
    EXPECT_EQ(user.count(), 1);
}

TEST_F(Segments, ArrowKeysStepAsUserChangesWithoutWrapping)
{
    QTest::keyClick(&control, Qt::Key_Left);
    EXPECT_EQ(control.selectedSegmentIndex(), 3);
    QTest::keyClick(&control, Qt::Key_Right);
    EXPECT_EQ(control.selectedSegmentIndex(), 3);
    QTest::keyClick(&control, Qt::Key_Left);
    QTest::keyClick(&control, Qt::Key_Left);
    EXPECT_EQ(control.selectedSegmentIndex(), 1);
    EXPECT_EQ(user.count(), 3);
    EXPECT_EQ(user.last().at(0).toInt(), 1);
}

} // namespace
