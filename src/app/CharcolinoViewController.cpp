#include "app/CharcolinoViewController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <cstdio>

#include "app/BandPrepaint.h"
#include "app/FeedbackLabel.h"
#include "app/MenuHistoryRow.h"
#include "canvas/CanvasView.h"
#include "widgets/ErrorAlert.h"
#include "widgets/Question.h"
#include "widgets/SegmentedControl.h"
#include "storage/FileListViewController.h"
#include "ui_CharcolinoViewController.h"

// The menu buttons, at their places in the phone-sized view.
const CharcolinoViewController::MenuEntry CharcolinoViewController::kMenuEntries[4] = {
    {&CharcolinoViewController::NewButton, QT_TR_NOOP("New Project"), QRectF(50, 120, 220, 40), "NewButton"},
    {&CharcolinoViewController::SaveButton, QT_TR_NOOP("Save Project"), QRectF(50, 180, 220, 40), "SaveButton"},
    {&CharcolinoViewController::LoadButton, QT_TR_NOOP("Load Project"), QRectF(50, 240, 220, 40), "LoadButton"},
    {&CharcolinoViewController::ExportButton, QT_TR_NOOP("Export to Photo Album"), QRectF(50, 340, 220, 40),
     "ExportButton"},
};

const char* const CharcolinoViewController::kSaveFailedMessage = QT_TR_NOOP("Failed! No data in the current project.");
const char* const CharcolinoViewController::kLoadFailedMessage = QT_TR_NOOP("Failed! Cannot load the project.");

namespace {

const QString kWhiteButton = QStringLiteral(":/whiteButton.png");
const QString kBlueButton = QStringLiteral(":/blueButton.png");

// A stretchable background with a 12-point left cap: the left 12 and the right
// 12 points of the picture stay as they are, the column between them stretches
// over the rest of the button.
QString backgroundRule(const QString& picture)
{
    if (picture.isEmpty() || !QFile::exists(picture))
        return QStringLiteral("border-image: none;");
    return QStringLiteral("border-image: url(%1) 0 12 0 12 stretch stretch;").arg(picture);
}

}  // namespace

CharcolinoViewController::CharcolinoViewController(QObject* parent) : QObject(parent) {}

CharcolinoViewController::~CharcolinoViewController()
{
    delete mView.data();  // the canvas, the menu buttons and the slot browser go with it
}

QPushButton* CharcolinoViewController::buttonWithTitle(const QString& title, CharcolinoViewController* target,
                                                       Action selector, const QRectF& frame, const QString& image,
                                                       const QString& imagePressed, bool darkTextColor)
{
    auto* button = new QPushButton;
    button->setGeometry(frame.toRect());
    button->setText(title);  // QPushButton centres its title both ways
    button->setStyleSheet(buttonStyleSheet(image, imagePressed, darkTextColor));
    button->setFocusPolicy(Qt::TabFocus);
    if (target && selector)
        QObject::connect(button, &QPushButton::clicked, target,
                         [target, selector, button] { (target->*selector)(button); });
    return button;
}

QString CharcolinoViewController::buttonStyleSheet(const QString& image, const QString& imagePressed,
                                                  bool darkTextColor)
{
    const QString textColour = darkTextColor ? QStringLiteral("black") : QStringLiteral("white");
    return QStringLiteral("QPushButton { %1 border-width: 0 12px 0 12px; padding: 0;"
                          " color: %2; background-color: transparent; }"
                          "QPushButton:pressed { %3 }")
        .arg(backgroundRule(image), textColour, backgroundRule(imagePressed));
}

QWidget* CharcolinoViewController::view()
{
    if (!mView) {
        mView = new QWidget;
        mView->setObjectName(QStringLiteral("mainScreen"));
        mUi = std::make_unique<Ui::CharcolinoViewController>();
        mUi->setupUi(mView);
        // The segments' titles in the user's language (the form keeps its own
        // untranslated, so that its selections find their segments).
        mUi->toolbar->setTitles({tr("Black"), tr("Color"), tr("Photo"), tr("Move")});
        mUi->brushshape->setTitles({tr("Round"), tr("Square")});
        mView->setMinimumSize(kApplicationFrame.size().toSize());
        mView->resize(kApplicationFrame.size().toSize());
        connect(mUi->toolbar, &SegmentedControl::valueChanged, this, &CharcolinoViewController::ToolbarChange);
        connect(mUi->toolbar, &SegmentedControl::selectedSegmentIndexChanged, this,
                &CharcolinoViewController::updateBrushControlsAlpha);
        connect(mUi->menuButton, &QPushButton::clicked, this, &CharcolinoViewController::MenuClick);
        for (SegmentedControl* control : {mUi->toolbar, mUi->brushsize, mUi->brushshape})
            connect(control, &SegmentedControl::selectedSegmentIndexChanged, this, [this] {
                updateCursor();
                rememberControls();
            });
        viewDidLoad();
    }
    return mView;
}

SegmentedControl* CharcolinoViewController::toolbar() const { return mUi ? mUi->toolbar : nullptr; }
SegmentedControl* CharcolinoViewController::brushsize() const { return mUi ? mUi->brushsize : nullptr; }
SegmentedControl* CharcolinoViewController::brushshape() const { return mUi ? mUi->brushshape : nullptr; }
QPushButton* CharcolinoViewController::menuButton() const { return mUi ? mUi->menuButton : nullptr; }

void CharcolinoViewController::viewDidLoad()
{
    // The canvas is made last: it waits for the GL driver, which loads on a thread
    // of its own meanwhile, so everything made before it costs the start nothing.
    // The menu, hidden; its pictures come with its style, before it is first shown.
    for (const MenuEntry& entry : kMenuEntries) {
        QPushButton* button = buttonWithTitle(tr(entry.title), this, &CharcolinoViewController::action,
                                              entry.frame, QString(), QString(), true);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setParent(mView);
        button->show();
        button->raise();
        this->*entry.field = button;
    }
    ToggleMenu();

    // Made once, ready before it is first presented; it is window-modal over the
    // window that holds this view.
    fileListController = new FileListViewController(mView);

    installDesktopLayer();
    installBrushControls();
    BandPrepaint::run(mView);

    const QRectF a = kApplicationFrame;
    // The canvas opens the first project while it is made; it has no controls yet.
    myview = CanvasView::create(QRectF(a.x(), a.y() + kBandHeight, a.width(), a.height() - kBandHeight), mView,
                                float(kBandHeight));
    if (myview) {
        myview->setAttribute(Qt::WA_AcceptTouchEvents);
        myview->setToolbar(mUi->toolbar);
        myview->setBrushsize(mUi->brushsize);
        myview->setBrushshape(mUi->brushshape);
        myview->show();
        myview->stackUnder(NewButton);  // above the controls of the band, below the menu and the message
        attachCanvasToDesktopLayer();
    }
    updateBrushControlsAlpha();
    restoreControls();
    layoutView();
}

void CharcolinoViewController::styleMenu()
{
    if (mMenuStyled)
        return;
    mMenuStyled = true;
    // Reading the pictures asks every image format plugin about PNG first, which
    // is why this waits until the menu is needed or the first frame is out.
    for (QPushButton* button : {NewButton, SaveButton, LoadButton, ExportButton})
        if (button)
            button->setStyleSheet(buttonStyleSheet(kWhiteButton, kBlueButton, true));
    if (mHistoryRow)
        mHistoryRow->setButtonStyleSheet(buttonStyleSheet(kWhiteButton, kBlueButton, true));
}

void CharcolinoViewController::layoutView()
{
    const QSize size = mView->size();
    const QSizeF phone = kApplicationFrame.size();
    // The band keeps its height and layout, Menu at its right edge; the canvas
    // takes everything below it.
    const QRect form = mUi->menuButton->geometry();
    mUi->menuButton->move(size.width() - int(phone.width()) + kMenuButtonX, form.y());
    if (mBrushButton)
        mBrushButton->move(size.width() - int(phone.width()) + kMenuButtonX, mBrushButton->y());
    const QRectF canvasFrame(0, kBandHeight, size.width(), size.height() - kBandHeight);
    if (myview)
        myview->setFrame(canvasFrame);
    if (mFeedback)
        mFeedback->setArea(canvasFrame.toRect());
    // The menu keeps its shape, centred in the view.
    const QPoint shift((size.width() - int(phone.width())) / 2, (size.height() - int(phone.height())) / 2);
    for (const MenuEntry& entry : kMenuEntries)
        if (QPushButton* button = this->*entry.field)
            button->move(entry.frame.topLeft().toPoint() + shift);
}

void CharcolinoViewController::ToggleMenu()
{
    if (!isMenuShown())
        styleMenu();
    for (QPushButton* button : {NewButton, SaveButton, LoadButton, ExportButton})
        if (button)
            button->setHidden(!button->isHidden());
}

void CharcolinoViewController::MenuClick() { ToggleMenu(); }

void CharcolinoViewController::action(QObject* sender)
{
    // Only a shown menu can be clicked: this hides it before the command runs.
    ToggleMenu();
    if (!sender)
        return;
    if (sender == NewButton)
        proceedDiscarding([this] { startCameraPickerFromViewController(this, kSourceTypePhotoLibrary, this); });
    else if (sender == ExportButton) {
        if (myview)
            myview->ExportToPhotoAlbum();
    } else if (sender == SaveButton)
        presentFileList(true);
    else if (sender == LoadButton)
        proceedDiscarding([this] { presentFileList(false); });
}

void CharcolinoViewController::presentFileList(bool save)
{
    if (!fileListController)
        return;
    fileListController->fitInto(mView->window());
    fileListController->SetSaveLoad(save);
    fileListController->setDelegate(this);
    fileListController->open();
}

void CharcolinoViewController::ToolbarChange()
{
    updateBrushControlsAlpha();
    if (mUi->toolbar->selectedSegmentIndex() == 3 && myview)
        myview->ReloadCanvas();
}

void CharcolinoViewController::updateBrushControlsAlpha()
{
    const bool navigating = mUi->toolbar->selectedSegmentIndex() == 3;
    const qreal alpha = navigating ? 0.4 : 1.0;
    mUi->brushsize->setAlpha(alpha);
    mUi->brushshape->setAlpha(alpha);
    // Dimmed controls take no clicks or keys either.
    mUi->brushsize->setEnabled(!navigating);
    mUi->brushshape->setEnabled(!navigating);
    if (mBrushButton)
        mBrushButton->setEnabled(!navigating);
}

QString CharcolinoViewController::saveFailedMessage(const QString& file, const QString& reason)
{
    // No reason: there was nothing to save (a missing canvas answers as one without
    // a project). Otherwise the slot file's folder and the system's reason.
    if (reason.isEmpty())
        return tr(kSaveFailedMessage);
    return tr("Failed! Cannot save the project in the folder %1: %2.")
        .arg(QDir::toNativeSeparators(QFileInfo(file).absolutePath()), reason);
}

void CharcolinoViewController::SaveProject(int slot)
{
    // A project already in the slot is replaced only when the user says so.
    const QString savedAt = slot > 0 ? FileListViewController::TimeOfProject(slot) : QString();
    if (savedAt.isNull()) {
        saveIntoSlot(slot);
        return;
    }
    askBeforeProceeding(mView, tr("Replace Project"),
                        tr("Slot %1 holds a project saved on %2. Replace it?").arg(slot).arg(savedAt),
                        tr("Replace"), [this, slot] { saveIntoSlot(slot); });
}

void CharcolinoViewController::saveIntoSlot(int slot)
{
    CanvasView::SaveFailure failure;
    if (!myview || !myview->SaveProject(slot, &failure)) {
        showErrorAlert(mView, saveFailedMessage(failure.file, failure.reason));
        return;
    }
    setUnsaved(false);
    if (mFeedback)
        mFeedback->showMessage(tr("Saved to slot %1").arg(slot));
}

void CharcolinoViewController::LoadProject(int slot)
{
    if (!myview || !myview->LoadProject(slot)) {
        showErrorAlert(mView, tr(kLoadFailedMessage));
        return;
    }
    setUnsaved(false);
}

bool CharcolinoViewController::SaveWorkingProject()
{
    rememberControls();  // with whether the work saved here is also in a slot
    // Nothing to save is no failure; a write that failed is told in one line.
    CanvasView::SaveFailure failure;
    if (!myview || myview->SaveProject(0, &failure) || failure.reason.isEmpty())
        return true;
    QString line = QStringLiteral("Cannot save the working project %1: %2")
                       .arg(QDir::toNativeSeparators(failure.file), failure.reason);
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    return false;
}
