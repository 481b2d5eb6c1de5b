#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

// The row of the menu between Load Project and Export: Undo, Redo and the key
// list, for those who use the mouse alone. It shows and hides with the menu (it
// follows `anchor`, the menu's first button, and sits 170 points below it); Undo
// and Redo leave the menu open, so that they can be clicked again, and are dimmed
// while there is nothing to take back or bring back.
class MenuHistoryRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kOffsetY = 170;
    static constexpr int kWidth = 220;
    static constexpr int kHeight = 40;
    // Room a button keeps beside its title.
    static constexpr int kTitleMargin = 20;

    MenuHistoryRow(QWidget* parent, QWidget* anchor);

    QPushButton* undoButton() const { return mUndo; }
    QPushButton* redoButton() const { return mRedo; }
    QPushButton* keysButton() const { return mKeys; }

    // Whether Undo and Redo can be clicked.
    void setAvailable(bool canUndo, bool canRedo);
    // Every button's style sheet (the menu's pictures).
    void setButtonStyleSheet(const QString& sheet);

signals:
    void undoClicked();
    void redoClicked();
    void keysClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QPointer<QWidget> mAnchor;
    QPushButton* mUndo = nullptr;
    QPushButton* mRedo = nullptr;
    QPushButton* mKeys = nullptr;
};
