// The slot browser over fake slot files: the ten rows and what each shows, the
// buttons in both modes with their alerts, and the delegate calls.
#include <gtest/gtest.h>

#include "support/Alerts.h"

#include <QApplication>
#include <QBrush>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "system/DocumentsDirectory.h"
#include "storage/FileListViewController.h"
#include "storage/FileListViewControllerDelegate.h"
#include "support/NonBlockingRead.h"

namespace {

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(DocumentsDirectory::filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << name.toStdString();
}

// A project file as far as the browser reads it: the 19-byte save time, then anything.
void writeProject(int slot, const QByteArray& time, const QByteArray& rest = QByteArray(40, '\x7f'))
{
    writeFile(QStringLiteral("project%1.dat").arg(slot), time + rest);
}

void writeThumbnail(int slot, QSize size, QColor colour)
{
    QImage thumbnail(size, QImage::Format_RGB32);
    thumbnail.fill(colour);
    ASSERT_TRUE(thumbnail.save(DocumentsDirectory::filePath(QStringLiteral("thumbnail%1.jpg").arg(slot)), "JPG", 100));
}


using Calls = std::vector<std::pair<char, int>>;

// Records the requests; a save writes the slot's files as the canvas would.
struct RecordingDelegate : FileListViewControllerDelegate {
    void LoadProject(int slot) override { calls.emplace_back('L', slot); }
    void SaveProject(int slot) override
    {
        calls.emplace_back('S', slot);
        writeProject(slot, "2011-01-02 03:04:05");
        writeThumbnail(slot, QSize(80, 60), Qt::red);
    }
    Calls calls;
};

class SlotBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir documents(DocumentsDirectory::path());
        ASSERT_TRUE(documents.exists());
        for (const QString& name : documents.entryList({"project*.dat", "thumbnail*.jpg"}, QDir::Files))
            ASSERT_TRUE(documents.remove(name));
        window.resize(320, 460);
        window.show();
        browser->setDelegate(&delegate);
    }
    void TearDown() override { takeAlerts(); }

    QModelIndex row(int r) const { return browser->tableView()->model()->index(r, 0); }
    QImage rowImage(int r) const { return row(r).data(Qt::DecorationRole).value<QImage>(); }
    void select(int r) { browser->tableView()->selectionModel()->select(row(r), QItemSelectionModel::ClearAndSelect); }

    QWidget window;
    FileListViewController* browser = new FileListViewController(&window);
    RecordingDelegate delegate;
};

TEST_F(SlotBrowser, ListsSlotsOneToTenWithTimesThumbnailsAndEmptyRows)
{
    writeProject(0, "1999-09-09 09:09:09");   // the working project is never listed
    writeProject(11, "1999-09-09 09:09:09");  // nor anything past slot 10
    writeProject(1, "2009-06-30 17:05:42");
    writeThumbnail(1, QSize(40, 80), Qt::blue);
    writeProject(3, "2009-07-01 08:00:00");
    writeFile("thumbnail3.jpg", "not a picture");
    writeProject(5, "2010-12-31 23:59:59");             // no thumbnail file
    writeFile("project7.dat", "2010-12-31 23:59:5");     // 18 bytes: empty
    writeProject(10, "2010-01-01 00:00:00", QByteArray());  // exactly 19 bytes: occupied
    browser->open();

    ASSERT_EQ(browser->tableView()->model()->rowCount(), 10);
    const QStringList expected{"2009-06-30 17:05:42", "Empty", "2009-07-01 08:00:00", "Empty", "2010-12-31 23:59:59",
                               "Empty", "Empty", "Empty", "Empty", "2010-01-01 00:00:00"};
    for (int r = 0; r < 10; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(row(r).data().toString(), QStringLiteral("Slot %1: %2").arg(r + 1).arg(expected[r]));
        const QColor black = QColor::fromRgbF(0, 0, 0, expected[r] == "Empty" ? 0.5 : 1.0);
        EXPECT_EQ(row(r).data(Qt::ForegroundRole).value<QBrush>().color(), black);
        EXPECT_EQ(rowImage(r).isNull(), r != 0);
        EXPECT_EQ(browser->tableView()->visualRect(row(r)).height(), 80);
    }
    ASSERT_EQ(rowImage(0).size(), QSize(40, 80));
    EXPECT_GE(QColor(rowImage(0).pixel(20, 40)).blue(), 240);  // JPEG: close to the colour saved
    EXPECT_TRUE(FileListViewController::TimeOfProject(7).isNull());
}

TEST_F(SlotBrowser, FillsTheApplicationFrameAndTitlesTheButtonByMode)
{
    EXPECT_EQ(browser->saveLoadButton()->text(), "Save");
    browser->SetSaveLoad(false);
    EXPECT_EQ(browser->saveLoadButton()->text(), "Load");
    browser->SetSaveLoad(true);
    EXPECT_EQ(browser->saveLoadButton()->text(), "Save");

    browser->open();
    EXPECT_EQ(browser->windowModality(), Qt::WindowModal);
    EXPECT_EQ(browser->size(), QSize(320, 460));
    EXPECT_EQ(browser->tableView()->geometry(), QRect(0, 0, 320, 400));
    EXPECT_EQ(browser->saveLoadButton()->geometry(), QRect(40, 410, 100, 40));
    EXPECT_EQ(browser->cancelButton()->geometry(), QRect(180, 410, 100, 40));
    EXPECT_EQ(browser->cancelButton()->text(), "Cancel");
}

TEST_F(SlotBrowser, SaveOrLoadWithoutASelectionAsksForASlotAndStaysOpen)
{
    for (bool save : {true, false}) {
        browser->SetSaveLoad(save);
        browser->open();
        EXPECT_FALSE(browser->saveLoadButton()->isEnabled()) << "no row chosen yet";
        browser->action(browser->saveLoadButton());
        EXPECT_EQ(takeAlerts(), QStringList{"Error: Please select a project slot."});
        EXPECT_TRUE(browser->isVisible());
    }
    EXPECT_TRUE(delegate.calls.empty());
}

TEST_F(SlotBrowser, SavingIntoTheFourthRowReachesSlotFourAndShowsItsNewTime)
{
    writeProject(4, "2009-06-30 17:05:42");  // the browser hands an occupied slot on; its delegate asks
    browser->open();
    ASSERT_EQ(row(3).data().toString(), "Slot 4: 2009-06-30 17:05:42");
    const QListView* list = browser->tableView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row(3)).center());
    browser->saveLoadButton()->click();

    EXPECT_EQ(delegate.calls, (Calls{{'S', 4}}));
    EXPECT_FALSE(browser->isVisible());
    EXPECT_TRUE(takeAlerts().isEmpty());
    EXPECT_EQ(row(3).data().toString(), "Slot 4: 2011-01-02 03:04:05");
    EXPECT_EQ(rowImage(3).size(), QSize(80, 60));
}

TEST_F(SlotBrowser, LoadRefusesAnEmptySlotAndHandsAnOccupiedOneToTheDelegate)
{
    writeFile("project2.dat", "2009-06-30");  // too short for a save time
    writeProject(6, "2009-06-30 17:05:42");
    browser->SetSaveLoad(false);
    browser->open();
    for (int empty : {0, 1}) {
        select(empty);
        browser->saveLoadButton()->click();
        EXPECT_EQ(takeAlerts(), QStringList{"Error: No data in the selected project slot."});
        EXPECT_TRUE(browser->isVisible());
    }
    EXPECT_TRUE(delegate.calls.empty());

    select(5);
    browser->saveLoadButton()->click();
    EXPECT_EQ(delegate.calls, (Calls{{'L', 6}}));
    EXPECT_FALSE(browser->isVisible());
}

// The keyboard and the mouse reach the same action as the button: the first Down
// chooses slot 1, Enter presses the button; a double-click on a row does too.
TEST_F(SlotBrowser, ArrowsEnterAndDoubleClickChooseAndPressTheButton)
{
    window.activateWindow();
    browser->open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(browser));
    QListView* list = browser->tableView();
    EXPECT_FALSE(list->selectionModel()->hasSelection());
    EXPECT_TRUE(list->hasFocus());
    EXPECT_FALSE(list->currentIndex().isValid()) << "no row highlighted";
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(browser->saveLoadButton()->isEnabled());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(delegate.calls, (Calls{{'S', 2}}));
    EXPECT_FALSE(browser->isVisible());

    browser->open();
    EXPECT_FALSE(browser->saveLoadButton()->isEnabled()) << "each presentation starts unchosen";
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->selectionModel()->selectedIndexes().value(0).row(), 9);
    const QPoint fifth = list->visualRect(row(4)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, fifth);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, fifth);
    EXPECT_EQ(delegate.calls, (Calls{{'S', 2}, {'S', 5}}));
    EXPECT_FALSE(browser->isVisible());
}

TEST_F(SlotBrowser, CancelClosesWithoutTheDelegateAndTheNextPresentationRereadsTheSlots)
{
    browser->open();
    select(2);
    browser->cancelButton()->click();
    EXPECT_FALSE(browser->isVisible());
    EXPECT_TRUE(delegate.calls.empty());

    writeProject(3, "2012-02-02 02:02:02");
    browser->open();
    EXPECT_EQ(row(2).data().toString(), "Slot 3: 2012-02-02 02:02:02");
    EXPECT_FALSE(browser->tableView()->selectionModel()->hasSelection());
}

}  // namespace

TEST_F(SlotBrowser, FifosInTheFolderReadAsNothingWithoutBlocking)
{
    writeProject(1, "2009-06-30 17:05:42");
    const QString project = DocumentsDirectory::filePath("project2.dat");
    const QString thumbnail = DocumentsDirectory::filePath("thumbnail1.jpg");
    for (const QString& fifo : {project, thumbnail})
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(readWithoutHanging(project, [] { return FileListViewController::TimeOfProject(2); }).isNull());
    EXPECT_TRUE(readWithoutHanging(thumbnail, [] { return FileListViewController::ThumbNailOfProject(1); }).isNull());
    for (const QString& fifo : {project, thumbnail})
        QFile::remove(fifo);
}
