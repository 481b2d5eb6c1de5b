#include <gtest/gtest.h>

#include <QPushButton>

#include "widgets/SegmentedControl.h"
#include "../src/app/ui_CharcolinoViewController.h"

namespace {

TEST(ControlBand, FormSuppliesTheNamedControlsInsideTheBand)
{
    QWidget view;
    Ui::CharcolinoViewController band;
    band.setupUi(&view);

    auto* toolbar = view.findChild<SegmentedControl*>("toolbar");
    auto* brushsize = view.findChild<SegmentedControl*>("brushsize");
    auto* brushshape = view.findChild<SegmentedControl*>("brushshape");
    auto* menu = view.findChild<QPushButton*>("menuButton");
    ASSERT_TRUE(toolbar && brushsize && brushshape && menu);
    EXPECT_EQ(band.toolbar, toolbar);
    EXPECT_EQ(menu->text(), "Menu");

    EXPECT_EQ(toolbar->titles(), QStringList({"Black", "Color", "Photo", "Move"}));
    EXPECT_GE(brushsize->numberOfSegments(), 4);
    EXPECT_EQ(brushshape->numberOfSegments(), 2);

    // Starts navigating, with a 15-point round brush dimmed as in navigation.
    EXPECT_EQ(toolbar->selectedSegmentIndex(), 3);
    EXPECT_EQ(brushsize->selectedSegmentIndex(), 1);
    EXPECT_EQ(brushshape->selectedSegmentIndex(), 0);
    EXPECT_NEAR(brushsize->alpha(), 0.4, 1e-9);
    EXPECT_NEAR(brushshape->alpha(), 0.4, 1e-9);
    EXPECT_FALSE(brushsize->isEnabled() || brushshape->isEnabled()) << "dimmed controls take no input";

    const QList<QWidget*> controls{toolbar, brushsize, brushshape, menu};
    for (QWidget* c : controls) {
        EXPECT_TRUE(QRect(0, 0, 320, 70).contains(c->geometry())) << c->objectName().toStdString();
        EXPECT_GE(c->height(), 26) << c->objectName().toStdString();
        for (QWidget* other : controls)
            EXPECT_TRUE(c == other || !c->geometry().intersects(other->geometry()));
    }
}

} // namespace
