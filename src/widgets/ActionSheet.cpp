#include "widgets/ActionSheet.h"

#include "widgets/ActionSheetDelegate.h"

#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const kSheetStyle =
    "QLabel#actionSheetTitle { color: #e8eaed; }"
    "QPushButton { background: #fbfbfc; color: #1d1f23; border: 1px solid #1c1f24;"
    " border-radius: 8px; min-height: 34px; font-weight: bold; }"
    "QPushButton:focus { border: 2px solid #8fb4ec; }"
    "QPushButton:pressed { background: #266ed6; color: white; }";

} // namespace

ActionSheet::ActionSheet(const QString& title, ActionSheetDelegate* delegate, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), mTitle(title), mDelegate(delegate)
{
    if (auto* object = dynamic_cast<QObject*>(delegate)) {
        mDelegateObject = object;
        mDelegateIsObject = true;
    }

    setObjectName(QStringLiteral("actionSheet"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(58, 63, 71));
    setPalette(pal);
    setAutoFillBackground(true);
    setStyleSheet(QString::fromLatin1(kSheetStyle));

    mLayout = new QVBoxLayout(this);
    mLayout->setContentsMargins(18, 12, 18, 16);
    mLayout->setSpacing(8);

    mTitleLabel = new QLabel(title, this);
    mTitleLabel->setObjectName(QStringLiteral("actionSheetTitle"));
    mTitleLabel->setAlignment(Qt::AlignCenter);
    mTitleLabel->setWordWrap(true);
    mTitleLabel->setVisible(!title.isEmpty());
    mLayout->addWidget(mTitleLabel);
}

int ActionSheet::addButtonWithTitle(const QString& title)
{
    const int index = int(mButtons.size());
    auto* button = new QPushButton(title, this);
    button->setObjectName(QStringLiteral("actionSheetButton%1").arg(index));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(button, &QPushButton::clicked, this, [this, index] { choose(index); });
    mButtons.append(button);
    mLayout->addWidget(button);
    if (isVisible())
        placeInView();
    return index;
}

int ActionSheet::addCancelButtonWithTitle(const QString& title)
{
    mCancelIndex = addButtonWithTitle(title);
    return mCancelIndex;
}

void ActionSheet::reject()
{
    if (mCancelIndex >= 0)
        choose(mCancelIndex);
}

void ActionSheet::showInView(QWidget* view)
{
    mView = view;
    if (view && !parentWidget())
        setParent(view, windowFlags()); // a window-modal sheet needs a window to block
    setWindowModality(parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    // The sheet follows its view: it rises once the view is shown (e.g. a canvas
    // asking while it is being built) and keeps to its bottom when it is resized
    // or moved, or when its window moves (a window manager places a new window
    // only after it is shown, and the user may drag it while the sheet is up).
    if (view)
        watchView();
    if (view && !view->isVisible())
        return;
    present();
}

void ActionSheet::watchView()
{
    // The view and every widget above it up to its window: a move of any of them
    // moves the view on screen, and only the moved widget hears of it.
    for (QWidget* w = mView; w; w = w->isWindow() ? nullptr : w->parentWidget())
        w->installEventFilter(this); // installing twice keeps one filter
}

bool ActionSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (mView && !mChosen) {
        const QEvent::Type type = event->type();
        if (watched == mView) {
            if (type == QEvent::Show && !isVisible()) {
                // Children hear of the show before their window is on screen.
                QMetaObject::invokeMethod(this, &ActionSheet::present, Qt::QueuedConnection);
            } else if ((type == QEvent::Resize || type == QEvent::Move) && isVisible()) {
                placeInView();
            } else if (type == QEvent::ParentChange) {
                watchView();
            }
        } else if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isAncestorOf(mView)) {
            // Widgets the view has since left fail the test above. An ancestor
            // that joins a window (a view built before its window) brings new
            // ancestors to watch.
            if (type == QEvent::Move && isVisible())
                placeInView();
            else if (type == QEvent::ParentChange)
                watchView();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ActionSheet::present()
{
    if (mChosen)
        return;
    placeInView();
    show();
    activateWindow();
    if (!mButtons.isEmpty())
        mButtons.first()->setFocus();
}

void ActionSheet::placeInView()
{
    QWidget* host = mView ? mView.data() : parentWidget();
    mLayout->activate();
    if (!host) {
        adjustSize();
        return;
    }
    const int w = std::max(host->width(), minimumSizeHint().width());
    const int h = std::max(heightForWidth(w), sizeHint().height());
    // Bottom-aligned in the view; a view lower than the sheet gets it at its top so
    // the title stays in sight.
    const QPoint topLeft = host->mapToGlobal(QPoint(0, std::max(0, host->height() - h)));
    setGeometry(QRect(topLeft, QSize(w, h)));
}

void ActionSheet::closeEvent(QCloseEvent* event)
{
    // Only a choice closes the sheet; closing it is one when it can be cancelled.
    if (!mChosen && mCancelIndex >= 0)
        choose(mCancelIndex);
    if (mChosen)
        event->accept();
    else
        event->ignore();
}

void ActionSheet::choose(int index)
{
    if (mChosen)
        return; // a second click before the sheet is gone is not a second answer
    mChosen = true;
    setResult(index);
    close(); // hides now; WA_DeleteOnClose deletes it later from the event loop

    if (mDelegateIsObject && !mDelegateObject)
        return;
    if (mDelegate)
        mDelegate->actionSheetClickedButtonAtIndex(this, index);
}
