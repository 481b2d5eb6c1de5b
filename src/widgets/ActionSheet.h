#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

class ActionSheetDelegate;
class QLabel;
class QPushButton;
class QVBoxLayout;

// A sheet of choices that rises from the bottom of a view: a title on top and one
// full-width button a row. It is window-modal over the view's window and never
// blocks the caller: showInView() returns at once and the answer arrives later.
//
// Without a cancel button there is no way to dismiss it without a choice: Escape
// and the window's close button do nothing; with one, they choose it. Clicking button i closes the sheet, then calls the delegate's
// actionSheetClickedButtonAtIndex(sheet, i) exactly once; the sheet deletes itself
// when control returns to the event loop.
//
// Object names: the sheet "actionSheet", its title label "actionSheetTitle", its
// buttons "actionSheetButton<i>" (QPushButtons titled as added).
class ActionSheet : public QDialog {
    Q_OBJECT

public:
    // The delegate is not owned. When it is also a QObject, a delegate destroyed
    // before the choice is not called.
    ActionSheet(const QString& title, ActionSheetDelegate* delegate, QWidget* parent = nullptr);

    // Appends a button below the others and answers its index.
    int addButtonWithTitle(const QString& title);
    // Appends the cancel button, a choice like the others (its index goes to the
    // delegate), also made by Escape and the window's close button.
    int addCancelButtonWithTitle(const QString& title);
    int cancelButtonIndex() const { return mCancelIndex; }
    int numberOfButtons() const { return int(mButtons.size()); }
    QString title() const { return mTitle; }

    // The sheet looks the same for every style.
    void setActionSheetStyle(int /*style*/) {}

    // Shows the sheet at the bottom of `view`, as wide as it, over the view's window,
    // and keeps it there when the view is resized or moved or its window moves.
    // A view that is not visible yet gets the sheet as soon as it is shown. Without a
    // view the sheet is shown over its parent, or on its own, application-modal, when
    // it has none.
    void showInView(QWidget* view);

public slots:
    // Escape and window-close requests land here: the cancel button, if any.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void present();
    void choose(int index);
    void placeInView();
    void watchView();

    QString mTitle;
    ActionSheetDelegate* mDelegate = nullptr;
    QPointer<QObject> mDelegateObject; // set when the delegate is a QObject
    bool mDelegateIsObject = false;
    QPointer<QWidget> mView;
    QLabel* mTitleLabel = nullptr;
    QVBoxLayout* mLayout = nullptr;
    QList<QPushButton*> mButtons;
    bool mChosen = false;
    int mCancelIndex = -1;
};
