#include "canvas/CanvasView.h"

#include "widgets/NavigationAdapter.h"
#include "widgets/SegmentedControl.h"
#include "widgets/TouchAdapter.h"

CanvasView::CanvasView(QWidget* parent) : EAGLView(parent)
{
    // Touches from the touch screen and the mouse reach the touch handlers; the
    // wheel, a pinch and pan drags (seen first) reach the navigation.
    new TouchAdapter(this, this);
    new NavigationAdapter(this, this);
}

CanvasView::~CanvasView()
{
    if (context())
        setCurrentContext();
    pic.reset();
    originalpic.reset();
    blacksketchpic.reset();
    colorsketchpic.reset();
    FreeBuff();
}

FloatPoint CanvasView::center() const
{
    const QRectF f = frame();
    return FloatPoint{float(f.x() + f.width() / 2.0), float(f.y() + f.height() / 2.0)};
}

int CanvasView::selectedIndex(const SegmentedControl* control)
{
    return control ? control->selectedSegmentIndex() : 0;
}

const Texture2D* CanvasView::sourceTexture(int drawType) const
{
    const_cast<CanvasView*>(this)->finishLoading();  // a load that left its sketches completes first
    switch (drawType) {
    case 0: return blacksketchpic.get();
    case 1: return colorsketchpic.get();
    default: return originalpic.get();
    }
}

const std::uint8_t* CanvasView::sourceBuffer(int drawType) const
{
    const_cast<CanvasView*>(this)->finishLoading();
    return mDocument.sourceBuffer(drawType);
}
