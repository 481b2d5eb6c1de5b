#include "support/MainScreenTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>

#include "project/ProjectCodec.h"
#include "widgets/ActionSheet.h"
#include "system/DocumentsDirectory.h"
#include "widgets/SegmentedControl.h"
#include "storage/FileListViewController.h"
#include "storage/SlotListModel.h"

namespace MainScreenTestSupport {

ActionSheet* openSheet()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* sheet = qobject_cast<ActionSheet*>(w); sheet && sheet->isVisible())
            return sheet;
    return nullptr;
}

bool chooseOnSheet(const QString& title)
{
    ActionSheet* sheet = openSheet();
    if (!sheet)
        return false;
    for (QPushButton* b : sheet->findChildren<QPushButton*>())
        if (b->text() == title) {
            QTest::mouseClick(b, Qt::LeftButton);
            QApplication::processEvents();
            return true;
        }
    return false;
}

void pickFile(QFileDialog* picker, const QString& path)
{
    picker->selectFile(path);
    // selectFile leaves the name field alone while it has the focus: type the name.
    if (auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(path);
    static_cast<QDialog*>(picker)->accept();  // Open
}

void clickSegment(SegmentedControl* control, int index)
{
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->segmentRect(index).center());
}

void chooseSlot(FileListViewController* browser, int slot)
{
    QListView* table = browser->tableView();
    const QModelIndex row = table->model()->index(slot - 1, 0);
    Q_ASSERT(SlotListModel::slotOfRow(row.row()) == slot);
    table->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(browser->saveLoadButton(), Qt::LeftButton);
    QApplication::processEvents();
}

QByteArray projectFileBytes(int bufferWidth, int bufferHeight, FloatSize picsize,
                            const std::function<std::uint32_t(int buffer, int x, int y)>& fill, const char* saveTime)
{
    ProjectCodec::Header header;
    std::memcpy(header.saveTime.data(), saveTime, ProjectCodec::kSaveTimeLength);
    header.width = bufferWidth;
    header.height = bufferHeight;
    header.picsize = picsize;
    const auto head = ProjectCodec::encodeHeader(header);
    QByteArray bytes(reinterpret_cast<const char*>(head.data()), qsizetype(head.size()));
    for (int buffer : {2, 3}) {
        QByteArray pixels(qsizetype(bufferWidth) * bufferHeight * 4, Qt::Uninitialized);
        auto* p = reinterpret_cast<std::uint8_t*>(pixels.data());
        for (int y = 0; y < bufferHeight; ++y)
            for (int x = 0; x < bufferWidth; ++x) {
                const std::uint32_t v = fill(buffer, x, y);
                for (int c = 0; c < 4; ++c)
                    *p++ = std::uint8_t(v >> (8 * c));
            }
        bytes += pixels;
    }
    return bytes;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void clearDocuments()
{
    QDir documents(DocumentsDirectory::path());
    for (const QString& name : documents.entryList({"project*.dat", "thumbnail*.jpg"}, QDir::Files))
        documents.remove(name);
}

int runEventLoop(int limitMs)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-99); });
    guard.start(limitMs);
    return QCoreApplication::exec();
}

}  // namespace MainScreenTestSupport
