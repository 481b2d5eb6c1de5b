#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/ShortcutTable.h"
#include "canvas/BrushStyle.h"
#include "imageio/Image.h"
#include "storage/FileListViewControllerDelegate.h"

class CanvasView;
class FeedbackLabel;
class FileListViewController;
class MenuHistoryRow;
struct ExportOptions;
struct ImageFileResult;
class QDialog;
class ZoomIndicator;
class ShowInFolderButton;
class QAction;

class BrushPopup;
class QPushButton;
class QToolButton;
class QWidget;
class SegmentedControl;
namespace Ui {
class CharcolinoViewController;
}

// The main screen's controller. Its view is loaded on first request: the control
// band of the .ui form at the top (toolbar, brush size, brush shape, menu), the
// four menu buttons (hidden until the menu control shows them), then the canvas
// below the band, stacked under the menu buttons. It also owns the slot browser
// and routes the browser's save and load requests to the canvas.
class CharcolinoViewController : public QObject, public FileListViewControllerDelegate {
    Q_OBJECT
public:
    // The application frame of the phone-sized screen, in points.
    static constexpr QRectF kApplicationFrame{0, 0, 320, 460};
    // Height of the control band above the canvas; the canvas is told it for its
    // start position.
    static constexpr double kBandHeight = 70.0;

    // Picker source types: the photo library (the user's Pictures folder here) and
    // the saved photos album; a desktop has no camera.
    static constexpr unsigned kSourceTypePhotoLibrary = 0;
    static constexpr unsigned kSourceTypeSavedPhotosAlbum = 2;

    static const char* const kSaveFailedMessage;
    static const char* const kLoadFailedMessage;
    // Shown after the first start image of a run.
    static constexpr const char* kPaintHint = QT_TR_NOOP("To paint, choose Black, Color or Photo (B, C, P)");

    using Action = void (CharcolinoViewController::*)(QObject* sender);

    explicit CharcolinoViewController(QObject* parent = nullptr);
    ~CharcolinoViewController() override;

    // A menu button of `frame`: centred title, black (darkTextColor) or white
    // lettering, the two pictures (resource paths) stretched with a 12-point left
    // cap as the normal and pressed backgrounds, a clear background colour, and
    // `selector` of `target` called with the button when it is clicked (released
    // inside). A missing picture leaves that state without a background image.
    static QPushButton* buttonWithTitle(const QString& title, CharcolinoViewController* target, Action selector,
                                        const QRectF& frame, const QString& image, const QString& imagePressed,
                                        bool darkTextColor);
    // The style sheet buttonWithTitle gives its button.
    static QString buttonStyleSheet(const QString& image, const QString& imagePressed, bool darkTextColor);

    // The controller's view; the first call loads it and runs viewDidLoad.
    QWidget* view();
    bool isViewLoaded() const { return mView != nullptr; }

    CanvasView* canvas() const { return myview; }
    SegmentedControl* toolbar() const;
    SegmentedControl* brushsize() const;
    SegmentedControl* brushshape() const;
    QPushButton* menuButton() const;
    QPushButton* newButton() const { return NewButton; }
    QPushButton* saveButton() const { return SaveButton; }
    QPushButton* loadButton() const { return LoadButton; }
    QPushButton* exportButton() const { return ExportButton; }
    FileListViewController* slotBrowser() const { return fileListController; }
    // The photo picker while it is presented, else null.
    QFileDialog* picker() const { return mPicker; }

    // The photo picker (CharcolinoViewControllerPicker.cpp). Presents a window-modal
    // file dialog over `presenter`'s view on the user's Pictures folder, listing
    // the image formats this program reads; answers NO and presents nothing when
    // the source type is not available here or either controller is missing.
    static bool isSourceTypeAvailable(unsigned sourceType);
    static bool startCameraPickerFromViewController(CharcolinoViewController* presenter, unsigned sourceType,
                                                    CharcolinoViewController* delegate);
    // The folder the picker opens on.
    static QString picturesFolder();
    // The name filter of the picker: every format QImageReader reads, in both cases.
    static QString imageNameFilter();
    // The picture in a file, read as for import; a file that cannot be read gives a
    // picture without a bitmap and, in `failure`, the alert text that names it. A
    // picture read only in part (a cut-short file) comes with, in `warning`, the
    // alert text that says so; otherwise `warning` is left empty.
    static Image imageFromFile(const QString& path, QString* failure = nullptr, QString* warning = nullptr);
    // The same from what reading the file gave.
    static Image imageFromResult(const QString& path, const ImageFileResult& result, QString* failure,
                                 QString* warning);
    // The alert after a photo opened in part: what is shown, below it the file's
    // name and what is wrong with it.
    static QString importIncompleteMessage(const QString& path, const QString& reason);
    // The import alert: the unsupported-image sentence, below it the file's name
    // and the reason it could not be read.
    static QString importFailedMessage(const QString& path, const QString& reason);
    // A picked file: its picture goes on as picked, or the import alert names it
    // and the picker is dismissed, the current project left alone.
    void imagePickerControllerDidFinishPickingFile(QFileDialog* picker, const QString& path);
    void imagePickerControllerDidFinishPickingImage(QFileDialog* picker, const Image& image);
    void imagePickerControllerDidCancel(QFileDialog* picker);
    // `photoPath`: the file the image was read from, kept for the full-size drawing.
    void useImage(const Image& image, const QString& photoPath = QString());
    // The photo of a file as a new project, then the alert of a photo read only in
    // part, once the new project has started; the import alert when it cannot be read.
    // The file is read on a worker thread, the window going on meanwhile with
    // "Opening <name> …" in the feedback line; what follows runs on this thread once
    // it is read. A second file while one is being read replaces it: the first
    // one's picture is dropped unused. `afterUse` runs then on this thread, even for
    // a file replaced.
    void useImageFile(const QString& path, std::function<void()> afterUse = {});
    // The rest of useImageFile, on this thread, once the file is read.
    void useReadImageFile(const QString& path, const ImageFileResult& result);
    // Whether a file given to useImageFile is still being read.
    bool isOpeningImageFile() const { return mOpeningPath.has_value(); }
signals:
    // After a file given to useImageFile was read and used, or told unreadable
    // (not for one replaced while it was read).
    void imageFileOpened(const QString& path);
public:

    // FileListViewControllerDelegate: the canvas saves or loads; a NO is an alert.
    void SaveProject(int slot) override;
    void LoadProject(int slot) override;
    // The text of the failed-save alert: kSaveFailedMessage when there was nothing to
    // save (empty reason), else the folder of `file` and the reason.
    static QString saveFailedMessage(const QString& file, const QString& reason);

    // The working project into slot 0, at exit. Nothing is shown; a write that
    // fails prints one line on standard error naming the file and the reason, and
    // answers false (nothing to save is no failure).
    bool SaveWorkingProject();

    // --- Desktop layer (CharcolinoViewControllerDesktop.cpp) ---
    // The action behind a keyboard command; its shortcuts work while the window
    // holding the view, or the key list, is active and no dialog is up over it.
    QAction* shortcutAction(ShortcutTable::Command command) const;
    void runCommand(ShortcutTable::Command command);
    // YES while the working image has strokes that are in no slot; the window's
    // title then shows a star.
    bool hasUnsavedStrokes() const { return mUnsaved; }
    // The message over the canvas after a save or an export.
    FeedbackLabel* feedback() const { return mFeedback; }
    bool isMenuShown() const;
    // Export As (CharcolinoViewControllerExport.cpp): the dialog, then the picture
    // written as it says, on a worker thread, told in the feedback line (an alert
    // when it fails). The dialog while it is shown, else null.
    void exportAs();
    void exportWith(const ExportOptions& options);
    QDialog* exportDialog() const { return mExportDialog; }
signals:
    // After an Export As, with the file written or the reason it was not.
    void exportAsFinished(const QString& path, const QString& error);
public:
    // The key list box while it is shown, else null.
    QMessageBox* keysBox() const { return mKeysBox; }
    // The menu's row of Undo, Redo and the key list.
    MenuHistoryRow* historyRow() const { return mHistoryRow; }
    // The zoom shown for a moment after each zoom.
    ZoomIndicator* zoomIndicator() const { return mZoomIndicator; }
    // "Show in folder" beside the message after an export.
    ShowInFolderButton* showInFolderButton() const { return mShowInFolder; }

    // --- The brush beyond the segmented controls (CharcolinoViewControllerBrush.cpp) ---
    // The band's Brush button (showing the strength and a dab of the hardness) and
    // its popup of sliders.
    QToolButton* brushButton() const { return mBrushButton; }
    BrushPopup* brushPopup() const { return mBrushPopup; }
    // The style the canvas paints with; a radius on a preset selects that segment
    // and is kept as the preset (radiusPoints 0).
    const BrushStyle& brushStyle() const { return mBrushStyle; }
    void setBrushStyle(BrushStyle style);
    // The brush radius in points: the style's or the selected preset's.
    double brushRadius() const;

public slots:
    void ToolbarChange();
    void MenuClick();
    void ToggleMenu();
    // The menu buttons' pictures and colours; made while the menu is hidden, they
    // get them here once, before the menu is first shown. The program calls it as
    // soon as its first frame is out.
    void styleMenu();
    // The handler of the four menu buttons.
    void action(QObject* sender);
    // An image file dropped on the window: a new project, as if picked.
    void openImageFile(const QString& path);

private:
    void viewDidLoad();
    // Dims the brush controls while the toolbar is in navigation, so they always
    // match the toolbar as it is shown, whoever changed it.
    void updateBrushControlsAlpha();
    void presentFileList(bool save);
    // The band, the canvas, the menu and the feedback placed for the view's size.
    void layoutView();

    // Desktop layer.
    void installDesktopLayer();
    // Accessibility (CharcolinoViewControllerAccess.cpp): names, then, once the
    // canvas is there, its focus ring and the Tab order.
    void installAccessibility();
    void attachCanvasAccessibility();
    // The desktop layer's hold on the canvas: its input first, its strokes and exports.
    void attachCanvasToDesktopLayer();
    // The mark and the window's title; NO also records the undo position as the
    // one in a slot, YES forgets it (unsaved whatever undo does).
    void setUnsaved(bool unsaved);
    // After strokes, undo and redo: unsaved unless back at the recorded position.
    void followHistory();
    void showUnsaved(bool unsaved);
    // Runs `then` at once when nothing unsaved would be lost, else after the user
    // chose Discard.
    void proceedDiscarding(std::function<void()> then);
    // The save itself, once any question is answered.
    void saveIntoSlot(int slot);
    void chooseTool(int index);
    void stepBrushSize(int step);
    void installBrushControls();
    void stepRadius(int step);
    void stepHardness(int step);
    void stepStrength(int step);
    void showBrushPopup();
    void updateBrushButton();
    // Peek while the key is held: the canvas shows the selected tool's source.
    bool peekKey(QEvent* event);
    void updateCursor();
    // Whether `event` (to the canvas) pressed or let go of Space; follows it.
    bool spaceHeldChanged(QEvent* event);
    void rememberControls();
    void restoreControls();
    void showKeys();
    bool eventFilter(QObject* watched, QEvent* event) override;

    struct MenuEntry {
        QPushButton* CharcolinoViewController::*field;
        const char* title;
        QRectF frame;
        const char* name;
    };
    static const MenuEntry kMenuEntries[4];
    // The Menu button's x in the phone-sized band.
    static constexpr int kMenuButtonX = 255;

    std::unique_ptr<Ui::CharcolinoViewController> mUi;
    QPointer<QWidget> mView;
    CanvasView* myview = nullptr;
    // The menu buttons and the browser are children of the view and go with it.
    QPushButton* NewButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* LoadButton = nullptr;
    QPushButton* ExportButton = nullptr;
    FileListViewController* fileListController = nullptr;
    QPointer<QFileDialog> mPicker;
    QList<QPair<ShortcutTable::Command, QAction*>> mActions;
    FeedbackLabel* mFeedback = nullptr;
    MenuHistoryRow* mHistoryRow = nullptr;
    ZoomIndicator* mZoomIndicator = nullptr;
    ShowInFolderButton* mShowInFolder = nullptr;
    QPointer<QMessageBox> mKeysBox;
    QPointer<QDialog> mExportDialog;
    // The feedback line of the export under way, its percent added as it goes.
    QString mExportingLine;
    // The file being read for useImageFile, and which of its calls that is.
    std::optional<QString> mOpeningPath;
    std::uint64_t mOpenSerial = 0;
    bool mUnsaved = false;
    // The undo position of the work that is in a slot (or a fresh new project).
    std::optional<std::uint64_t> mSavedPosition;
    // The mark of the project a new one replaces, stored at quit in place of the new
    // one's while the quit save writes that project (its start image unchosen).
    bool mReplacedUnsaved = false;
    std::optional<std::uint64_t> mReplacedSavedPosition;
    // The line on how to paint is shown after the first start image of a run.
    bool mPaintHintShown = false;
    bool mMenuStyled = false;
    // A press that closed the menu: the rest of it (moves, release) is not painting.
    bool mSwallowingPress = false;
    bool mGrabbing = false;  // a drag in Move is under way
    BrushStyle mBrushStyle;
    QToolButton* mBrushButton = nullptr;
    BrushPopup* mBrushPopup = nullptr;
    bool mPeeking = false;  // V is held over a painting tool
    bool mSpaceHeld = false;  // over the canvas: a left drag pans
};
