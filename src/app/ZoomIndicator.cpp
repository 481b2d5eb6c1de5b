#include "app/ZoomIndicator.h"

#include <cmath>

ZoomIndicator::ZoomIndicator(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("zoomIndicator"));
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgba(0, 0, 0, 170);"
                                 " border-radius: 6px; padding: 3px 8px; }"));
    hide();
    mHideTimer.setSingleShot(true);
    mHideTimer.setInterval(kShownMs);
    connect(&mHideTimer, &QTimer::timeout, this, &QWidget::hide);
}

QString ZoomIndicator::percentage(float zoom)
{
    return QStringLiteral("%1 %").arg(std::lround(double(zoom) * 100.0));
}

void ZoomIndicator::showZoom(float zoom, const QRect& canvas)
{
    setText(percentage(zoom));
    adjustSize();
    move(canvas.x() + canvas.width() - width() - 8, canvas.y() + 8);
    show();
    raise();
    mHideTimer.start();
}
