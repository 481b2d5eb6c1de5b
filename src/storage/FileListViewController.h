#pragma once

#include <QDialog>
#include <QImage>
#include <QSize>
#include <QString>

class FileListViewControllerDelegate;
class QListView;
class QPushButton;
class SlotListModel;

// The slot browser: a window-modal dialog the size of the application frame that
// lists the user's project slots 1 to 10 with their save times and thumbnails and
// hands the chosen slot to its delegate for saving or loading. Present it with
// open(); it closes itself after a save or load, or on Cancel.
//
// Each presentation starts with no row chosen and the list focused; the Save/Load
// button is enabled only while a row is chosen. Up and Down choose rows (the first
// press the first or last row), Enter and a double-click on a row press the button.
class FileListViewController : public QDialog {
    Q_OBJECT
public:
    static constexpr QSize kApplicationFrameSize{320, 460};

    explicit FileListViewController(QWidget* parent = nullptr, QSize frameSize = kApplicationFrameSize);
    ~FileListViewController() override;

    // YES: the button saves into the chosen slot and is titled "Save"; NO: it loads
    // and is titled "Load". A new browser saves.
    void SetSaveLoad(bool save);
    // Before a presentation over `window`: as tall as the window (never shorter
    // than made), as wide as made, centred on it, so a larger window shows more rows.
    void fitInto(const QWidget* window);
    bool isSaveMode() const { return isSave; }

    // A slot's save time as stored in the first 19 bytes of its project file; a
    // null text when the file is missing or shorter (the slot is empty).
    static QString TimeOfProject(int slot);
    // A slot's thumbnail; a null image when its file is missing or unreadable.
    static QImage ThumbNailOfProject(int slot);

    // The handler of both buttons.
    void action(QObject* sender);

    // Receives the chosen slot. Not owned: the presenting controller sets itself
    // and outlives the browser.
    FileListViewControllerDelegate* delegate() const { return mDelegate; }
    void setDelegate(FileListViewControllerDelegate* delegate) { mDelegate = delegate; }

    QListView* tableView() const { return myTableView; }
    QPushButton* saveLoadButton() const { return SaveLoadButton; }
    QPushButton* cancelButton() const { return CancelButton; }

    static const char* const kSelectSlotMessage;
    static const char* const kEmptySlotMessage;

protected:
    // Every presentation lists the slots as their files are now, nothing selected.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadView(QSize frameSize);
    void layoutForSize(QSize size);
    // The selected row, or -1 when none is.
    int selectedRow() const;
    void dismiss();
    void updateSaveLoadButton();

    bool isSave = true;
    QListView* myTableView = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* SaveLoadButton = nullptr;
    FileListViewControllerDelegate* mDelegate = nullptr;
    SlotListModel* mModel = nullptr;
    QSize mFrameSize;  // the size it was made with
};
