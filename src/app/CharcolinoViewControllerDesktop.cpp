// The desktop layer of the main screen: keyboard commands, the question before
// unsaved strokes are lost, the message after a save, the pointer over the canvas,
// the menu closing on Esc or a click beside it, and the controls remembered
// between starts.
#include <QAction>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <utility>

#include "app/BrushCursor.h"
#include "app/CharcolinoViewController.h"
#include "app/ControlSettings.h"
#include "app/FeedbackLabel.h"
#include "app/KeysBox.h"
#include "app/MainWindow.h"
#include "app/MenuHistoryRow.h"
#include "app/ShowInFolderButton.h"
#include "app/ZoomIndicator.h"
#include "project/BrushDab.h"
#include "canvas/CanvasView.h"
#include "widgets/Question.h"
#include "widgets/SegmentedControl.h"
#include "ui_CharcolinoViewController.h"

namespace {

constexpr int kMoveTool = 3;

// A file's path with the home folder written as ~.
QString shownPath(const QString& path)
{
    const QString home = QDir::homePath();
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return QDir::toNativeSeparators(path);
}

}  // namespace

void CharcolinoViewController::installDesktopLayer()
{
    using T = ShortcutTable;
    for (const T::Entry& entry : T::entries()) {
        if (T::isHeld(entry.command))
            continue;
        auto* action = new QAction(entry.description, mView);
        action->setShortcuts(entry.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const T::Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        mView->addAction(action);
        mActions.append({command, action});
    }

    mUi->toolbar->setSegmentToolTips({T::withKeys(tr("Black"), T::Black),
                                      T::withKeys(tr("Color"), T::Color),
                                      T::withKeys(tr("Photo"), T::Photo),
                                      T::withKeys(tr("Move"), T::Move)});
    const QString size = tr("Brush size (%1 smaller, %2 larger)")
                             .arg(T::keyText(T::SmallerBrush), T::keyText(T::LargerBrush));
    mUi->brushsize->setSegmentToolTips(QStringList(mUi->brushsize->numberOfSegments(), size));
    mUi->brushshape->setSegmentToolTips({T::withKeys(tr("Round"), T::ToggleShape),
                                         T::withKeys(tr("Square"), T::ToggleShape)});
    mUi->menuButton->setToolTip(tr("Menu (%1 closes it)").arg(T::keyText(T::CloseMenu)));
    const QPair<QPushButton*, T::Command> buttons[] = {
        {NewButton, T::NewProject}, {SaveButton, T::SaveProject}, {LoadButton, T::LoadProject}, {ExportButton, T::Export}};
    for (const auto& [button, command] : buttons)
        button->setToolTip(T::withKeys(button->text(), command));

    mHistoryRow = new MenuHistoryRow(mView, NewButton);
    mHistoryRow->undoButton()->setToolTip(T::withKeys(tr("Undo the last stroke"), T::Undo));
    mHistoryRow->redoButton()->setToolTip(T::withKeys(tr("Redo"), T::Redo));
    mHistoryRow->keysButton()->setToolTip(T::withKeys(tr("The list of keys"), T::ShowKeys));
    connect(mHistoryRow, &MenuHistoryRow::undoClicked, this, [this] { runCommand(T::Undo); });
    connect(mHistoryRow, &MenuHistoryRow::redoClicked, this, [this] { runCommand(T::Redo); });
    connect(mHistoryRow, &MenuHistoryRow::keysClicked, this, [this] {
        ToggleMenu();
        showKeys();
    });

    const QRectF a = kApplicationFrame;
    mFeedback = new FeedbackLabel(mView, QRectF(a.x(), a.y() + kBandHeight, a.width(), a.height() - kBandHeight).toRect());

    installAccessibility();
    mView->installEventFilter(this);
    for (QWidget* control : {static_cast<QWidget*>(mUi->toolbar), static_cast<QWidget*>(mUi->brushsize),
                             static_cast<QWidget*>(mUi->brushshape)})
        control->installEventFilter(this);
}

void CharcolinoViewController::attachCanvasToDesktopLayer()
{
    // After the canvas's own input handling was installed, so this sees events first.
    myview->installEventFilter(this);
    connect(myview, &CanvasView::strokeFinished, this, &CharcolinoViewController::followHistory);
    // A cancelled start sheet: the project it would have replaced is back, mark and all.
    connect(myview, &CanvasView::newProjectCancelled, this, [this] {
        mSavedPosition = mReplacedSavedPosition;
        showUnsaved(mReplacedUnsaved);
    });
    // The toolbar is on Move after the choice, and a first drag would pan.
    connect(myview, &CanvasView::startImageChosen, this, [this] {
        if (std::exchange(mPaintHintShown, true))
            return;
        mFeedback->showMessage(tr(kPaintHint));
    });
    mZoomIndicator = new ZoomIndicator(mView);
    mShowInFolder = new ShowInFolderButton(mView);
    connect(&mFeedback->hideTimer(), &QTimer::timeout, mShowInFolder, &QWidget::hide);
    connect(myview, &CanvasView::zoomed, this, [this](float zoom) { mZoomIndicator->showZoom(zoom, myview->geometry()); });
    connect(myview, &CanvasView::historyChanged, this,
            [this] { mHistoryRow->setAvailable(myview->canUndo(), myview->canRedo()); });
    connect(myview, &CanvasView::exportProgress, this, [this](int percent) {
        const QString line = mExportingLine.isEmpty() ? tr("Exporting …") : mExportingLine;
        mFeedback->showMessage(QStringLiteral("%1 %2 %").arg(line).arg(percent));
    });
    connect(myview, &CanvasView::exported, this, [this](const QString& path, const QString& fallback) {
        mExportingLine.clear();
        const QString shown = tr("Exported to %1").arg(shownPath(path));
        mFeedback->showMessage(fallback.isEmpty() ? shown
                                                  : tr("%1 at its own size: %2").arg(shown, fallback));
        mShowInFolder->showFor(path, myview->geometry(), mFeedback->y());
    });
    attachCanvasAccessibility();
    updateCursor();
}

QAction* CharcolinoViewController::shortcutAction(ShortcutTable::Command command) const
{
    for (const auto& [c, action] : mActions)
        if (c == command)
            return action;
    return nullptr;
}

bool CharcolinoViewController::isMenuShown() const { return NewButton && !NewButton->isHidden(); }

void CharcolinoViewController::runCommand(ShortcutTable::Command command)
{
    using T = ShortcutTable;
    const auto menuCommand = [this](QPushButton* button) {
        // As if the button were clicked on the shown menu: action() hides it first.
        if (!isMenuShown())
            ToggleMenu();
        action(button);
    };
    switch (command) {
    case T::Black:
    case T::Color:
    case T::Photo:
    case T::Move:
        chooseTool(int(command) - int(T::Black));
        break;
    case T::SmallerBrush:
        stepBrushSize(-1);
        break;
    case T::LargerBrush:
        stepBrushSize(+1);
        break;
    case T::SmallerRadius:
        stepRadius(-1);
        break;
    case T::LargerRadius:
        stepRadius(+1);
        break;
    case T::SofterBrush:
        stepHardness(-1);
        break;
    case T::HarderBrush:
        stepHardness(+1);
        break;
    case T::WeakerStroke:
        stepStrength(-1);
        break;
    case T::StrongerStroke:
        stepStrength(+1);
        break;
    case T::Peek:
        break;  // held: see peekKey
    case T::ToggleShape:
        if (mUi->brushshape->isEnabled())
            mUi->brushshape->setSelectedSegmentIndex(mUi->brushshape->selectedSegmentIndex() == 0 ? 1 : 0);
        break;
    case T::NewProject:
        menuCommand(NewButton);
        break;
    case T::SaveProject:
        menuCommand(SaveButton);
        break;
    case T::LoadProject:
        menuCommand(LoadButton);
        break;
    case T::Export:
        menuCommand(ExportButton);
        break;
    case T::ExportAs:
        if (isMenuShown())
            ToggleMenu();
        exportAs();
        break;
    case T::Undo:
        if (myview && myview->undo())
            followHistory();
        break;
    case T::Redo:
        if (myview && myview->redo())
            followHistory();
        break;
    case T::ZoomIn:
        if (myview)
            myview->zoomIn();
        break;
    case T::ZoomOut:
        if (myview)
            myview->zoomOut();
        break;
    case T::ZoomToFit:
        if (myview)
            myview->zoomToFitWhole();
        break;
    case T::CloseMenu:
        if (isMenuShown())
            ToggleMenu();
        break;
    case T::ShowKeys:
        showKeys();
        break;
    }
}

void CharcolinoViewController::chooseTool(int index)
{
    if (mUi->toolbar->selectedSegmentIndex() == index)
        return;
    mUi->toolbar->setSelectedSegmentIndex(index);
    ToolbarChange();  // as a click on the segment does
}

void CharcolinoViewController::updateCursor()
{
    if (!myview)
        return;
    const int tool = mUi->toolbar->selectedSegmentIndex();
    if (mGrabbing || tool == kMoveTool || mSpaceHeld) {
        myview->setCursor(mGrabbing ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    } else if (tool >= 0) {
        // The brush is sized in points on screen, so this outline fits it at every
        // zoom; a soft brush also shows where its falloff starts.
        const double radius = brushRadius();
        const double inner = mBrushStyle.hardness < 100 ? radius * mBrushStyle.hardness / 100.0 : -1.0;
        myview->setCursor(BrushCursor::cursor(radius, std::max(0, mUi->brushshape->selectedSegmentIndex()),
                                              myview->devicePixelRatioF(), inner));
    } else {
        myview->unsetCursor();
    }
}

void CharcolinoViewController::setUnsaved(bool unsaved)
{
    mSavedPosition.reset();
    if (!unsaved && myview)
        mSavedPosition = myview->strokeHistory().position();
    showUnsaved(unsaved);
}

void CharcolinoViewController::followHistory()
{
    showUnsaved(!myview || !mSavedPosition || *mSavedPosition != myview->strokeHistory().position());
}

void CharcolinoViewController::showUnsaved(bool unsaved)
{
    mUnsaved = unsaved;
    if (auto* window = mView ? qobject_cast<MainWindow*>(mView->window()) : nullptr)
        window->setUnsaved(unsaved);
}

void CharcolinoViewController::proceedDiscarding(std::function<void()> then)
{
    if (!mUnsaved) {
        then();
        return;
    }
    askBeforeProceeding(mView, tr("Unsaved Strokes"),
                        tr("The picture has strokes that are in no project slot. Discard them?"),
                        tr("Discard"), std::move(then));
}

void CharcolinoViewController::rememberControls()
{
    // The mark goes with the project the quit save writes.
    const bool unsaved = myview && myview->isChoosingStartImage() ? mReplacedUnsaved : mUnsaved;
    ControlSettings::Controls controls{mUi->toolbar->selectedSegmentIndex(), mUi->brushsize->selectedSegmentIndex(),
                                       mUi->brushshape->selectedSegmentIndex(), unsaved};
    controls.brushRadius = mBrushStyle.radiusPoints;
    controls.hardness = mBrushStyle.hardness;
    controls.strength = mBrushStyle.strength;
    controls.pressureSetsStrength = mBrushStyle.pressureSetsStrength;
    ControlSettings::save(controls);
}

void CharcolinoViewController::restoreControls()
{
    const ControlSettings::Controls stored =
        ControlSettings::load({mUi->toolbar->selectedSegmentIndex(), mUi->brushsize->selectedSegmentIndex(),
                               mUi->brushshape->selectedSegmentIndex(), false});
    mUi->brushsize->setSelectedSegmentIndex(stored.brushSize);
    BrushStyle style;
    style.radiusPoints = stored.brushRadius;
    style.hardness = stored.hardness;
    style.strength = stored.strength;
    style.pressureSetsStrength = stored.pressureSetsStrength;
    setBrushStyle(style);
    mUi->brushshape->setSelectedSegmentIndex(stored.brushShape);
    mUi->toolbar->setSelectedSegmentIndex(stored.tool);
    updateBrushControlsAlpha();
    // Unsaved strokes come back only with the working project they were on.
    setUnsaved(stored.unsaved && myview && myview->isLoaded());
    rememberControls();
    updateCursor();
}

void CharcolinoViewController::showKeys()
{
    if (mKeysBox) {
        mKeysBox->raise();
        return;
    }
    auto* box = new KeysBox(ShortcutTable::helpText(), mView);
    box->setObjectName(QStringLiteral("keysBox"));
    box->setTextFormat(Qt::RichText);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Beside the window, leaving it the keyboard; clicked, the box runs the same
    // commands as the window, except that Esc closes the box.
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    for (const auto& [command, action] : mActions)
        if (command != ShortcutTable::CloseMenu)
            box->addAction(action);
    mKeysBox = box;
    box->show();
}

bool CharcolinoViewController::spaceHeldChanged(QEvent* event)
{
    // Space held over the canvas pans with the left button (the canvas's input):
    // the pointer says so.
    bool held = mSpaceHeld;
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && !key->isAutoRepeat())
            held = event->type() == QEvent::KeyPress;
    } else if (event->type() == QEvent::FocusOut) {
        held = false;
    }
    if (held == mSpaceHeld)
        return false;
    mSpaceHeld = held;
    return true;
}

bool CharcolinoViewController::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == mView && peekKey(event))
        return true;
    if (watched == mView) {
        if (type == QEvent::ParentChange)
            showUnsaved(mUnsaved);  // the title of the window the view went into
        if (type == QEvent::Resize)
            layoutView();
        return false;
    }
    if (watched == myview && peekKey(event))
        return true;
    if (watched == myview) {
        const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                           type == QEvent::TouchBegin;
        if (press && isMenuShown()) {
            // A press beside the menu closes it and paints nothing, to its release.
            ToggleMenu();
            mSwallowingPress = true;
            return true;
        }
        if (mSwallowingPress) {
            if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton)
                return true;
            if (type == QEvent::MouseButtonRelease || type == QEvent::TouchEnd || type == QEvent::TouchCancel) {
                mSwallowingPress = false;
                return true;
            }
            if (type == QEvent::MouseMove || type == QEvent::TouchUpdate || press)
                return true;
        }
        if (spaceHeldChanged(event)) {
            updateCursor();
        } else if (type == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::MiddleButton || mUi->toolbar->selectedSegmentIndex() == kMoveTool ||
                (mSpaceHeld && mouse->button() == Qt::LeftButton)) {
                mGrabbing = true;
                updateCursor();
            }
        } else if (type == QEvent::MouseButtonRelease && mGrabbing &&
                   static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
            mGrabbing = false;
            updateCursor();
        }
        return false;
    }
    // A click on the band's controls closes the menu and still works on the control.
    if (type == QEvent::MouseButtonPress && isMenuShown())
        ToggleMenu();
    return false;
}
