// The brush beyond the band's segmented controls: a size between the presets,
// hardness and strength, a pen's pressure, and the peek at the source. The Brush
// button at the right of the band's lower row opens a popup of sliders; keys step
// each setting; the canvas paints with the style handed to it.
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

#include "app/BrushPopup.h"
#include "app/BrushSizes.h"
#include "app/CharcolinoViewController.h"
#include "canvas/CanvasView.h"
#include "project/BlendedDab.h"
#include "widgets/SegmentedControl.h"
#include "ui_CharcolinoViewController.h"

namespace {

constexpr int kMoveTool = 3;

// A dab of the style on a light ground, as the button's picture: its edge shows
// the hardness, its depth the strength.
QIcon dabIcon(const BrushStyle& style, qreal ratio)
{
    const int side = int(22 * ratio);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    BrushDab::Dab dab;
    dab.centre = FloatPoint{float(side - 1) / 2.0f, float(side - 1) / 2.0f};
    dab.radius = float(side) / 2.0f;
    dab.shape = BrushDab::Round;
    const BlendedDab::Reveal reveal{style.hardness, BlendedDab::alphaForStrength(style.strength)};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int share = (BlendedDab::coverage(dab, reveal.hardness, x, y) * reveal.alpha + 127) / 255;
            image.setPixel(x, y, qRgba(0, 0, 0, share));  // black premultiplied: only alpha
        }
    image.setDevicePixelRatio(ratio);
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

void CharcolinoViewController::installBrushControls()
{
    mBrushButton = new QToolButton(mView);
    mBrushButton->setObjectName(QStringLiteral("brushButton"));
    mBrushButton->setFocusPolicy(Qt::NoFocus);
    mBrushButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    mBrushButton->setGeometry(kMenuButtonX, 37, 60, 30);
    mBrushButton->setAccessibleName(tr("Brush settings"));
    mBrushButton->show();
    mBrushPopup = new BrushPopup(mView);
    connect(mBrushButton, &QToolButton::clicked, this, &CharcolinoViewController::showBrushPopup);
    connect(mBrushPopup, &BrushPopup::styleEdited, this, [this](const BrushStyle& style) { setBrushStyle(style); });
    // A preset chosen on the size control replaces a size between them.
    connect(mUi->brushsize, &SegmentedControl::selectedSegmentIndexChanged, this, [this](int index) {
        if (index >= 0 && mBrushStyle.radiusPoints > 0.0) {
            BrushStyle style = mBrushStyle;
            style.radiusPoints = 0.0;
            setBrushStyle(style);
        }
    });
}

double CharcolinoViewController::brushRadius() const
{
    if (mBrushStyle.radiusPoints > 0.0)
        return mBrushStyle.radiusPoints;
    return BrushSizes::presetRadius(std::max(0, mUi->brushsize->selectedSegmentIndex()));
}

void CharcolinoViewController::setBrushStyle(BrushStyle style)
{
    style.hardness = std::clamp(style.hardness / 25 * 25, 0, 100);
    style.strength = std::clamp(style.strength / 10 * 10, 10, 100);
    if (style.radiusPoints > 0.0) {
        style.radiusPoints = std::clamp(style.radiusPoints, BrushSizes::kSmallest, BrushSizes::kLargest);
        const int preset = BrushSizes::presetIndex(style.radiusPoints);
        if (preset >= 0) {
            style.radiusPoints = 0.0;
            mBrushStyle = style;  // before the segment's signal, which reads it
            mUi->brushsize->setSelectedSegmentIndex(preset);
        } else {
            mBrushStyle = style;
            mUi->brushsize->setSelectedSegmentIndex(-1);  // between presets: none shown
        }
    } else if (mUi->brushsize->selectedSegmentIndex() < 0) {
        style.radiusPoints = 0.0;
        mUi->brushsize->setSelectedSegmentIndex(1);
    }
    mBrushStyle = style;
    if (myview)
        myview->setBrushStyle(style);
    if (mBrushPopup)
        mBrushPopup->setStyle(style, brushRadius());
    updateBrushButton();
    updateCursor();
    rememberControls();
}

void CharcolinoViewController::updateBrushButton()
{
    if (!mBrushButton)
        return;
    mBrushButton->setText(QStringLiteral("%1%").arg(mBrushStyle.strength));
    mBrushButton->setIcon(dabIcon(mBrushStyle, mBrushButton->devicePixelRatioF()));
    mBrushButton->setIconSize(QSize(14, 14));
    const QString tip = tr("Brush: %1 pt, hardness %2 %, strength %3 %")
                            .arg(brushRadius(), 0, 'f', 1)
                            .arg(mBrushStyle.hardness)
                            .arg(mBrushStyle.strength);
    mBrushButton->setToolTip(tip);
    mBrushButton->setAccessibleDescription(tip);
}

void CharcolinoViewController::showBrushPopup()
{
    if (!mBrushPopup || !mBrushButton)
        return;
    mBrushPopup->setStyle(mBrushStyle, brushRadius());
    mBrushPopup->adjustSize();
    // Under the button, its right edge at the button's, inside the window.
    QPoint at = mBrushButton->mapToGlobal(QPoint(mBrushButton->width(), mBrushButton->height()));
    at.rx() -= mBrushPopup->width();
    const QPoint windowLeft = mView->mapToGlobal(QPoint(0, 0));
    at.rx() = std::max(at.x(), windowLeft.x());
    mBrushPopup->move(at);
    mBrushPopup->show();
}

void CharcolinoViewController::stepBrushSize(int step)
{
    SegmentedControl* size = mUi->brushsize;
    const int n = size->numberOfSegments();
    if (!size->isEnabled() || n == 0)
        return;
    const int current = size->selectedSegmentIndex();
    if (current < 0 && mBrushStyle.radiusPoints > 0.0) {
        // Between presets: the next one that way.
        const int preset = step > 0 ? BrushSizes::presetAbove(mBrushStyle.radiusPoints)
                                    : BrushSizes::presetBelow(mBrushStyle.radiusPoints);
        if (preset < 0)
            return;
        BrushStyle style = mBrushStyle;
        style.radiusPoints = BrushSizes::presetRadius(preset);
        setBrushStyle(style);
        return;
    }
    size->setSelectedSegmentIndex(current < 0 ? (step > 0 ? 0 : n - 1) : std::clamp(current + step, 0, n - 1));
}

void CharcolinoViewController::stepRadius(int step)
{
    if (!mUi->brushsize->isEnabled())
        return;
    BrushStyle style = mBrushStyle;
    style.radiusPoints = step > 0 ? BrushSizes::larger(brushRadius()) : BrushSizes::smaller(brushRadius());
    setBrushStyle(style);
}

void CharcolinoViewController::stepHardness(int step)
{
    if (!mUi->brushsize->isEnabled())
        return;
    BrushStyle style = mBrushStyle;
    style.hardness = std::clamp(style.hardness + 25 * step, 0, 100);
    setBrushStyle(style);
}

void CharcolinoViewController::stepStrength(int step)
{
    if (!mUi->brushsize->isEnabled())
        return;
    BrushStyle style = mBrushStyle;
    style.strength = std::clamp(style.strength + 10 * step, 10, 100);
    setBrushStyle(style);
}

bool CharcolinoViewController::peekKey(QEvent* event)
{
    const QEvent::Type type = event->type();
    // A window that goes to the background ends a peek. Only a peek under way
    // is ended: while the window is taken down its canvas is gone already.
    if (type == QEvent::WindowDeactivate) {
        if (mPeeking && myview)
            myview->endPeek();
        mPeeking = false;
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_V || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if (!key->isAutoRepeat() && myview) {
        const int tool = mUi->toolbar->selectedSegmentIndex();
        mPeeking = type == QEvent::KeyPress && tool >= 0 && tool < kMoveTool;
        myview->setPeekSource(mPeeking ? tool : -1);
    }
    return true;
}
