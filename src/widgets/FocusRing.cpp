#include "widgets/FocusRing.h"

#include <QFocusEvent>
#include <QPainter>

FocusRing::FocusRing(QWidget* target) : QWidget(target ? target->parentWidget() : nullptr), mTarget(target)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    if (mTarget)
        mTarget->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mTarget) {
        switch (event->type()) {
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            mShown = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                     reason == Qt::ShortcutFocusReason;
            follow();
            break;
        }
        case QEvent::FocusOut:
        case QEvent::MouseButtonPress:
        case QEvent::TouchBegin:
            mShown = false;
            follow();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            follow();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::follow()
{
    if (!mTarget)
        return;
    setGeometry(mTarget->geometry());
    const bool visible = mShown && mTarget->isVisible();
    setVisible(visible);
    if (visible)
        raise();
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(143, 180, 236), kWidth));
    p.setBrush(Qt::NoBrush);
    const qreal half = kWidth / 2.0;
    p.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 4.0, 4.0);
}
