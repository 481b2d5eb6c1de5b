#include "app/FeedbackLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// An alert to assistive technology, its text the message.
class FeedbackAccessible : public QAccessibleWidget {
public:
    explicit FeedbackAccessible(FeedbackLabel* label) : QAccessibleWidget(label, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const FeedbackLabel*>(object())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* feedbackFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("FeedbackLabel") && object && object->isWidgetType())
        return new FeedbackAccessible(static_cast<FeedbackLabel*>(object));
    return nullptr;
}

}  // namespace

FeedbackLabel::FeedbackLabel(QWidget* parent, const QRect& area) : QLabel(parent), mArea(area)
{
    setObjectName(QStringLiteral("feedback"));
    static const bool accessible = [] {
        QAccessible::installFactory(&feedbackFactory);
        return true;
    }();
    (void)accessible;
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
    // Read out by screen readers as it shows: nothing takes the focus to it.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}
