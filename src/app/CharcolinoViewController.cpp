#include "app/CharcolinoViewController.h"

#include <QPushButton>
#include <QWidget>

#include "canvas/CanvasView.h"
#include "platform/SegmentedControl.h"
#include "ui_CharcolinoViewController.h"

CharcolinoViewController::CharcolinoViewController(QObject* parent) : QObject(parent) {}

CharcolinoViewController::~CharcolinoViewController()
{
    delete mView.data();  // the canvas goes with its parent view
}

QWidget* CharcolinoViewController::view()
{
    if (!mView) {
        mView = new QWidget;
        mView->setObjectName(QStringLiteral("mainScreen"));
        mUi = std::make_unique<Ui::CharcolinoViewController>();
        mUi->setupUi(mView);
        mView->setFixedSize(kApplicationFrame.size().toSize());
        connect(mUi->toolbar, &SegmentedControl::valueChanged, this, &CharcolinoViewController::ToolbarChange);
        connect(mUi->toolbar, &SegmentedControl::selectedSegmentIndexChanged, this,
                &CharcolinoViewController::updateBrushControlsAlpha);
        connect(mUi->menuButton, &QPushButton::clicked, this, &CharcolinoViewController::MenuClick);
        viewDidLoad();
    }
    return mView;
}

SegmentedControl* CharcolinoViewController::toolbar() const { return mUi ? mUi->toolbar : nullptr; }
SegmentedControl* CharcolinoViewController::brushsize() const { return mUi ? mUi->brushsize : nullptr; }
SegmentedControl* CharcolinoViewController::brushshape() const { return mUi ? mUi->brushshape : nullptr; }

void CharcolinoViewController::viewDidLoad()
{
    const QRectF a = kApplicationFrame;
    // The canvas opens the first project while it is made; it has no controls yet.
    myview = CanvasView::create(QRectF(a.x(), a.y() + kBandHeight, a.width(), a.height() - kBandHeight), mView);
    if (myview) {
        myview->setAttribute(Qt::WA_AcceptTouchEvents);
        myview->setToolbar(mUi->toolbar);
        myview->setBrushsize(mUi->brushsize);
        myview->setBrushshape(mUi->brushshape);
        myview->show();
        myview->raise();  // above the controls of the band
    }
    updateBrushControlsAlpha();
}

void CharcolinoViewController::ToolbarChange()
{
    updateBrushControlsAlpha();
    if (mUi->toolbar->selectedSegmentIndex() == 3 && myview)
        myview->ReloadCanvas();
}

void CharcolinoViewController::updateBrushControlsAlpha()
{
    const qreal alpha = mUi->toolbar->selectedSegmentIndex() == 3 ? 0.4 : 1.0;
    mUi->brushsize->setAlpha(alpha);
    mUi->brushshape->setAlpha(alpha);
}

void CharcolinoViewController::MenuClick()
{
    // The menu and its commands come with the menu buttons.
}
