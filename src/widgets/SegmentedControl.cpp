#include "widgets/SegmentedControl.h"

#include "widgets/FittingFont.h"
#include "widgets/SegmentedControlAccessible.h"

#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>

namespace {

const QColor kTint(38, 110, 214);
const QColor kDisabledTint(150, 156, 165);
const QColor kLightFill(248, 249, 251);
const QColor kDarkText(32, 36, 42);
const QColor kFocusRing(143, 180, 236);
constexpr qreal kCornerRadius = 6.0;

} // namespace

SegmentedControl::SegmentedControl(QWidget* parent) : QWidget(parent), mOpacity(new QGraphicsOpacityEffect(this))
{
    mOpacity->setOpacity(1.0);
    setGraphicsEffect(mOpacity);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    SegmentedControlAccessible::install();
}

SegmentedControl::SegmentedControl(const QStringList& titles, QWidget* parent) : SegmentedControl(parent)
{
    setTitles(titles);
}

void SegmentedControl::setTitles(const QStringList& titles)
{
    mTitles = titles;
    if (mSelected >= numberOfSegments())
        changeSelection(-1, false);
    updateGeometry();
    update();
}

void SegmentedControl::setSelectedSegmentIndex(int index)
{
    if (index < 0 || index >= numberOfSegments())
        index = -1;
    changeSelection(index, false);
}

void SegmentedControl::selectSegmentAsUser(int index)
{
    if (index >= 0 && index < numberOfSegments())
        changeSelection(index, true);
}

void SegmentedControl::changeSelection(int index, bool byUser)
{
    if (index == mSelected)
        return;
    const int previous = mSelected;
    mSelected = index;
    update();
    SegmentedControlAccessible::notifyChecked(this, previous);
    SegmentedControlAccessible::notifyChecked(this, index);
    emit selectedSegmentIndexChanged(index);
    if (byUser)
        emit valueChanged(index);
}

void SegmentedControl::setAlpha(qreal alpha)
{
    mOpacity->setOpacity(std::clamp<qreal>(alpha, 0.0, 1.0));
}

qreal SegmentedControl::alpha() const
{
    return mOpacity->opacity();
}

QRect SegmentedControl::segmentRect(int index) const
{
    const int n = numberOfSegments();
    if (index < 0 || index >= n)
        return {};
    // Integer edges so neighbouring segments share a border without gaps.
    const int left = width() * index / n;
    const int right = width() * (index + 1) / n;
    return QRect(left, 0, right - left, height());
}

int SegmentedControl::segmentAt(const QPoint& pos) const
{
    const int n = numberOfSegments();
    if (n == 0 || !rect().contains(pos))
        return -1;
    for (int i = 0; i < n; ++i)
        if (segmentRect(i).contains(pos))
            return i;
    return -1;
}

QSize SegmentedControl::sizeHint() const
{
    const QFontMetrics fm(font());
    int widest = 0;
    for (const QString& title : mTitles)
        widest = std::max(widest, fm.horizontalAdvance(title));
    const int n = std::max(1, numberOfSegments());
    return QSize(n * (widest + 20), std::max(30, fm.height() + 12));
}

QSize SegmentedControl::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(std::max(1, numberOfSegments()) * 16, fm.height() + 6);
}

bool SegmentedControl::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int index = segmentAt(help->pos());
    const QString tip = segmentToolTip(index);
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, this, segmentRect(index));
    return true;
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const QColor tint = isEnabled() ? kTint : kDisabledTint;
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(outline, kCornerRadius, kCornerRadius);

    p.fillPath(shape, kLightFill);
    p.save();
    p.setClipPath(shape);
    if (mSelected >= 0)
        p.fillRect(segmentRect(mSelected), tint);
    p.restore();

    // Separators between neighbouring segments.
    p.setPen(QPen(tint, 1.0));
    for (int i = 1; i < numberOfSegments(); ++i) {
        const qreal x = segmentRect(i).left() + 0.5;
        p.drawLine(QPointF(x, outline.top()), QPointF(x, outline.bottom()));
    }

    p.setPen(QPen(tint, hasFocus() ? 2.0 : 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    if (hasFocus()) {
        // The focus ring: a light band just inside the outline, seen on any segment.
        QPainterPath ring;
        ring.addRoundedRect(outline.adjusted(2.0, 2.0, -2.0, -2.0), kCornerRadius - 2.0, kCornerRadius - 2.0);
        p.setPen(QPen(kFocusRing, 2.0));
        p.drawPath(ring);
    }

    for (int i = 0; i < numberOfSegments(); ++i) {
        const QRect r = segmentRect(i).adjusted(4, 0, -4, 0);
        // A title too long for its segment (in some languages) is set smaller first.
        const QFont titleFont = fittingFont(font(), mTitles.at(i), r.width());
        p.setFont(titleFont);
        p.setPen(i == mSelected ? QColor(Qt::white) : (isEnabled() ? kDarkText : kDisabledTint));
        p.drawText(r, Qt::AlignCenter, QFontMetrics(titleFont).elidedText(mTitles.at(i), Qt::ElideRight, r.width()));
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int index = segmentAt(event->position().toPoint());
    if (index >= 0)
        changeSelection(index, true);
    event->accept();
}

void SegmentedControl::keyPressEvent(QKeyEvent* event)
{
    const int n = numberOfSegments();
    const bool left = event->key() == Qt::Key_Left;
    const bool right = event->key() == Qt::Key_Right;
    if ((!left && !right) || n == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    // From no selection, Right starts at the first segment and Left at the last;
    // the ends do not wrap around.
    int index = mSelected;
    if (index < 0)
        index = right ? 0 : n - 1;
    else
        index = std::clamp(index + (right ? 1 : -1), 0, n - 1);
    changeSelection(index, true);
    event->accept();
}
