#include "app/MenuHistoryRow.h"

#include "widgets/FittingFont.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>

MenuHistoryRow::MenuHistoryRow(QWidget* parent, QWidget* anchor) : QWidget(parent), mAnchor(anchor)
{
    setObjectName(QStringLiteral("menuHistoryRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const auto make = [&](const QString& title, const char* name, void (MenuHistoryRow::*clicked)()) {
        auto* button = new QPushButton(title, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setFocusPolicy(Qt::TabFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QPushButton::clicked, this, clicked);
        // Its title set smaller where a translation is too long for the button.
        button->installEventFilter(this);
        layout->addWidget(button);
        return button;
    };
    mUndo = make(tr("Undo"), "UndoButton", &MenuHistoryRow::undoClicked);
    mRedo = make(tr("Redo"), "RedoButton", &MenuHistoryRow::redoClicked);
    mKeys = make(tr("Keys"), "KeysButton", &MenuHistoryRow::keysClicked);
    mKeys->setAccessibleName(tr("List of keys"));
    setAvailable(false, false);
    if (mAnchor)
        mAnchor->installEventFilter(this);
    follow();
}

void MenuHistoryRow::setAvailable(bool canUndo, bool canRedo)
{
    mUndo->setEnabled(canUndo);
    mRedo->setEnabled(canRedo);
}

void MenuHistoryRow::setButtonStyleSheet(const QString& sheet)
{
    // Dimmed lettering while a button has nothing to do.
    const QString dimmed = QStringLiteral("QPushButton:disabled { color: rgba(0, 0, 0, 90); }");
    for (QPushButton* button : {mUndo, mRedo, mKeys})
        button->setStyleSheet(sheet + dimmed);
}

bool MenuHistoryRow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        for (QPushButton* button : {mUndo, mRedo, mKeys})
            if (watched == button) {
                const QFont fitted = fittingFont(font(), button->text(), button->width() - kTitleMargin);
                if (fitted != button->font())
                    button->setFont(fitted);
            }
    if (watched == mAnchor) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::ShowToParent ||
            type == QEvent::HideToParent || type == QEvent::Move || type == QEvent::Resize)
            follow();
    }
    return QWidget::eventFilter(watched, event);
}

void MenuHistoryRow::follow()
{
    if (!mAnchor)
        return;
    setGeometry(mAnchor->x(), mAnchor->y() + kOffsetY, kWidth, kHeight);
    setVisible(!mAnchor->isHidden());
    if (isVisible())
        raise();
}
