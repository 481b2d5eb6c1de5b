#include "app/FeedbackLabel.h"

FeedbackLabel::FeedbackLabel(QWidget* parent, const QRect& area) : QLabel(parent), mArea(area)
{
    setObjectName(QStringLiteral("feedback"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgba(0, 0, 0, 170);"
                                 " border-radius: 8px; padding: 6px 10px; }"));
    hide();
    mHideTimer.setSingleShot(true);
    mHideTimer.setInterval(kShownMs);
    connect(&mHideTimer, &QTimer::timeout, this, &QWidget::hide);
}

void FeedbackLabel::showMessage(const QString& text)
{
    setText(text);
    const int width = mArea.width() - 20;
    const int height = heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height();
    setGeometry(mArea.x() + 10, mArea.bottom() - 10 - height, width, height);
    show();
    raise();
    mHideTimer.start();
}
