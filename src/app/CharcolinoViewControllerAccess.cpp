// The main screen for everyone: names for assistive technology, the canvas's
// description, focus rings and the order Tab goes through the controls.
#include <QAccessible>
#include <QPushButton>

#include "app/CanvasAccessible.h"
#include "app/CharcolinoViewController.h"
#include "canvas/CanvasView.h"
#include "widgets/FocusRing.h"
#include "widgets/SegmentedControl.h"
#include "ui_CharcolinoViewController.h"

void CharcolinoViewController::installAccessibility()
{
    CanvasAccessible::install();
    mUi->toolbar->setAccessibleName(tr("Tool"));
    mUi->brushsize->setAccessibleName(tr("Brush size"));
    mUi->brushshape->setAccessibleName(tr("Brush shape"));
    mUi->menuButton->setAccessibleName(tr("Menu"));
    mUi->menuButton->setAccessibleDescription(tr("New, save, load and export the project"));
    mView->setAccessibleName(tr("Main screen"));
}

void CharcolinoViewController::attachCanvasAccessibility()
{
    new FocusRing(myview);
    // Menu, toolbar, size, shape, canvas.
    QWidget::setTabOrder(mUi->menuButton, mUi->toolbar);
    QWidget::setTabOrder(mUi->toolbar, mUi->brushsize);
    QWidget::setTabOrder(mUi->brushsize, mUi->brushshape);
    QWidget::setTabOrder(mUi->brushshape, myview);
    // The description follows the tool.
    connect(mUi->toolbar, &SegmentedControl::selectedSegmentIndexChanged, this, [this] {
        QAccessibleEvent changed(myview, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    });
}
