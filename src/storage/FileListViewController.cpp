#include "storage/FileListViewController.h"

#include <QColor>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QPalette>
#include <QPushButton>
#include <algorithm>

#include "project/ProjectCodec.h"
#include "project/ProjectSlotFiles.h"
#include "system/DocumentsDirectory.h"
#include "widgets/ErrorAlert.h"
#include "imageio/ImageFile.h"
#include "system/RegularFile.h"
#include "storage/FileListViewControllerDelegate.h"
#include "storage/SlotListModel.h"

const char* const FileListViewController::kSelectSlotMessage = QT_TR_NOOP("Please select a project slot.");
const char* const FileListViewController::kEmptySlotMessage = QT_TR_NOOP("No data in the selected project slot.");

FileListViewController::FileListViewController(QWidget* parent, QSize frameSize) : QDialog(parent)
{
    loadView(frameSize);
}

FileListViewController::~FileListViewController() = default;

void FileListViewController::loadView(QSize frameSize)
{
    mFrameSize = frameSize;
    setObjectName(QStringLiteral("FileListViewController"));
    setWindowModality(Qt::WindowModal);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f));
    setPalette(background);
    setAutoFillBackground(true);

    mModel = new SlotListModel(&FileListViewController::TimeOfProject, &FileListViewController::ThumbNailOfProject,
                               this);
    myTableView = new QListView(this);
    myTableView->setObjectName(QStringLiteral("myTableView"));
    myTableView->setModel(mModel);
    myTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    myTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    myTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    myTableView->setUniformItemSizes(true);
    myTableView->setIconSize(QSize(SlotListModel::kRowHeight, SlotListModel::kRowHeight));
    myTableView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    SaveLoadButton = new QPushButton(tr("Save"), this);
    SaveLoadButton->setObjectName(QStringLiteral("SaveLoadButton"));
    SaveLoadButton->setAutoDefault(false);
    SaveLoadButton->setDefault(true);  // Enter presses it, while it is enabled
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(SaveLoadButton, &QPushButton::clicked, this, [this] { action(SaveLoadButton); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { action(CancelButton); });
    connect(myTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListViewController::updateSaveLoadButton);
    connect(myTableView, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && selectedRow() == index.row())
            action(SaveLoadButton);
    });
    myTableView->installEventFilter(this);

    layoutForSize(frameSize);
    SetSaveLoad(true);
}

void FileListViewController::layoutForSize(QSize size)
{
    const int W = size.width();
    const int H = size.height();
    setFixedSize(W, H);
    myTableView->setGeometry(0, 0, W, H - 60);
    SaveLoadButton->setGeometry(40, H - 50, 100, 40);
    CancelButton->setGeometry(W - 40 - 100, H - 50, 100, 40);
}

void FileListViewController::fitInto(const QWidget* window)
{
    if (!window)
        return;
    layoutForSize(QSize(mFrameSize.width(), std::max(mFrameSize.height(), window->height())));
    const QRect area = window->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void FileListViewController::SetSaveLoad(bool save)
{
    isSave = save;
    SaveLoadButton->setText(isSave ? tr("Save") : tr("Load"));
    setWindowTitle(isSave ? tr("Save Project") : tr("Load Project"));
}

QString FileListViewController::TimeOfProject(int slot)
{
    const QString path = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(slot));
    if (path.isEmpty())
        return QString();
    QFile file(path);
    if (!openRegularFileForReading(file, nullptr))  // a FIFO in the folder must not block the list
        return QString();
    const QByteArray head = file.read(qint64(ProjectCodec::kSaveTimeLength));
    const std::optional<std::string> time =
        ProjectCodec::saveTimeText(reinterpret_cast<const std::uint8_t*>(head.constData()), std::size_t(head.size()));
    if (!time)
        return QString();
    // Byte for byte: the stored text is ASCII, and any other byte still shows as
    // one character, so the row always holds the 19 stored characters.
    return QString::fromLatin1(time->data(), qsizetype(time->size()));
}

QImage FileListViewController::ThumbNailOfProject(int slot)
{
    const QString path = DocumentsDirectory::filePath(ProjectSlotFiles::thumbnailFileName(slot));
    if (path.isEmpty())
        return QImage();
    // Decoded no larger than the row's box; large or deep pictures are refused.
    return ImageFile::readThumbnail(path, QSize(SlotListModel::kRowHeight, SlotListModel::kRowHeight)).image.bitmap;
}

int FileListViewController::selectedRow() const
{
    const QModelIndexList selected = myTableView->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileListViewController::action(QObject* sender)
{
    if (sender == SaveLoadButton) {
        const int row = selectedRow();
        if (row < 0) {
            showErrorAlert(this, tr(kSelectSlotMessage));
            return;
        }
        const int slot = SlotListModel::slotOfRow(row);
        if (isSave) {
            if (mDelegate)
                mDelegate->SaveProject(slot);
            mModel->reload();
            dismiss();
        } else {
            if (TimeOfProject(slot).isNull()) {
                showErrorAlert(this, tr(kEmptySlotMessage));
                return;
            }
            if (mDelegate)
                mDelegate->LoadProject(slot);
            dismiss();
        }
    } else if (sender == CancelButton) {
        reject();
    }
}

void FileListViewController::dismiss() { done(QDialog::Accepted); }

void FileListViewController::updateSaveLoadButton() { SaveLoadButton->setEnabled(selectedRow() >= 0); }

void FileListViewController::showEvent(QShowEvent* event)
{
    mModel->reload();
    myTableView->selectionModel()->clear();
    updateSaveLoadButton();
    myTableView->setFocus();
    QDialog::showEvent(event);
}

bool FileListViewController::eventFilter(QObject* watched, QEvent* event)
{
    // Taking the focus, the list puts its cursor on the first row, which the style
    // then highlights: with no row chosen it is taken off again.
    if (watched == myTableView && event->type() == QEvent::FocusIn && selectedRow() < 0) {
        static_cast<QObject*>(myTableView)->event(event);
        myTableView->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return true;
    }
    // With no row chosen the list's own cursor may sit on the first row unchosen;
    // the first Up or Down then chooses the last or the first row itself.
    if (watched == myTableView && event->type() == QEvent::KeyPress && selectedRow() < 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            const QModelIndex row = mModel->index(key == Qt::Key_Down ? 0 : mModel->rowCount() - 1, 0);
            myTableView->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
