// Export As: the options and the files they write, the dialog, and the export run
// from the main screen on a worker thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/ApplicationShell.h"
#include "app/ExportDialog.h"
#include "app/ExportOptions.h"
#include "app/FeedbackLabel.h"
#include "app/ShortcutTable.h"
#include "app/ShowInFolderButton.h"
#include "canvas/CanvasView.h"
#include "system/DocumentsDirectory.h"
#include "support/ImportTestFiles.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

TEST(ExportOptions, WritesEachFormatUnderItsSuffixWithItsQuality)
{
    QTemporaryDir dir;
    const QImage picture = ImportTestFiles::photoLikePicture(160, 120).convertToFormat(QImage::Format_RGB32);
    const struct {
        ExportOptions::Format format;
        int quality;
        const char* file;
        const char* readAs;
    } cases[] = {
        {ExportOptions::Png, 90, "a.png", "png"},   {ExportOptions::Jpeg, 95, "a.jpg", "jpeg"},
        {ExportOptions::Jpeg, 20, "a.jpg", "jpeg"}, {ExportOptions::Webp, 95, "a.webp", "webp"},
        {ExportOptions::Webp, 20, "a.webp", "webp"},
    };
    qint64 previousSize = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const ExportOptions o{dir.path(), QStringLiteral("a"), c.format, c.quality, false};
        EXPECT_EQ(o.path(), dir.filePath(c.file));
        ASSERT_EQ(o.write(picture), QString());
        QImageReader reader(o.path());
        EXPECT_EQ(reader.format(), QByteArray(c.readAs));
        const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), picture.size());
        if (c.format == ExportOptions::Png) {
            EXPECT_EQ(back, picture) << "PNG keeps every pixel";
        }
        // A lower quality, a smaller file.
        const qint64 size = QFileInfo(o.path()).size();
        if (c.quality == 20) {
            EXPECT_LT(size, previousSize);
        }
        previousSize = size;
    }
    const ExportOptions nowhere{dir.filePath("missing/folder"), QStringLiteral("a"), ExportOptions::Png, 90, false};
    EXPECT_FALSE(nowhere.write(picture).isEmpty()) << "the reason it cannot";
}

// A PNG written as it is made: the file there is replaced only by a complete one,
// which holds what came after the last start; a failure leaves the earlier file.
TEST(ExportOptions, AStreamedPngReplacesTheFileOnlyWhenCompleteWithWhatCameAfterItsLastStart)
{
    QTemporaryDir dir;
    const ExportOptions o{dir.path(), QStringLiteral("a"), ExportOptions::Png, 90, true};
    const auto contents = [&o] {
        QFile file(o.path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
    };
    ASSERT_TRUE(ImportTestFiles::writeFile(o.path(), "earlier"));
    const auto put = [](const PngFileStart& start, const QByteArray& bytes) {
        const PngStripEncoder::Out out = start();
        return out && out(bytes.constData(), bytes.size());
    };
    EXPECT_EQ(o.writeStreamed([&](const PngFileStart& start) { return put(start, "begun") && false; }),
              QStringLiteral("the picture could not be made"));
    EXPECT_EQ(contents(), "earlier");
    EXPECT_EQ(o.writeStreamed([&](const PngFileStart& start) { return put(start, "first") && put(start, "second"); }),
              QString());
    EXPECT_EQ(contents(), "second");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.png"});

    const ExportOptions nowhere{dir.filePath("missing/folder"), QStringLiteral("a"), ExportOptions::Png, 90, true};
    EXPECT_FALSE(nowhere.writeStreamed([&](const PngFileStart& start) { return put(start, "x"); }).isEmpty());
}

TEST(ExportDialog, OffersQualityForLossyFormatsAndFullSizeOnlyWithAPhoto)
{
    const ExportOptions initial{QStringLiteral("/pictures"), QStringLiteral("name"), ExportOptions::Png, 80, true};
    for (const bool photo : {true, false}) {
        ExportDialog dialog(nullptr, initial, photo);
        EXPECT_FALSE(dialog.qualityBox()->isEnabled()) << "PNG";
        dialog.formatBox()->setCurrentIndex(1);
        EXPECT_TRUE(dialog.qualityBox()->isEnabled()) << "JPEG";
        EXPECT_EQ(dialog.fullSizeButton()->isEnabled(), photo);
        EXPECT_EQ(dialog.fullSizeButton()->isChecked(), photo);
        dialog.qualityBox()->setValue(42);
        dialog.nameEdit()->setText(QStringLiteral(" picture "));
        const ExportOptions o = dialog.options();
        EXPECT_EQ(o.folder, "/pictures");
        EXPECT_EQ(o.name, "picture");
        EXPECT_EQ(o.format, ExportOptions::Jpeg);
        EXPECT_EQ(o.quality, 42);
        EXPECT_EQ(o.fullSize, photo);
    }
}

TEST(ExportAs, WritesTheProjectSizedPictureOffTheWindowAndSaysWhere)
{
    clearDocuments();
    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"),
                           projectFileBytes(256, 256, FloatSize{200, 150},
                                            [](int buffer, int, int) { return buffer == 3 ? 0xff0000ffu : 0xff808080u; })));
    ApplicationShell shell;
    shell.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
    CharcolinoViewController& c = shell.controller();

    // The key opens the dialog, on the Pictures folder.
    c.runCommand(ShortcutTable::ExportAs);
    ASSERT_NE(c.exportDialog(), nullptr);
    EXPECT_TRUE(c.exportDialog()->isVisible());
    c.exportDialog()->reject();
    QApplication::processEvents();

    QTemporaryDir dir;
    QSignalSpy finished(&c, &CharcolinoViewController::exportAsFinished);
    c.exportWith(ExportOptions{dir.path(), QStringLiteral("out"), ExportOptions::Png, 90, false});
    EXPECT_TRUE(c.feedback()->text().startsWith("Exporting to ")) << c.feedback()->text().toStdString();
    // A drawing at the photo's size tells its share as it goes (none here: no photo).
    emit c.canvas()->exportProgress(40);
    EXPECT_EQ(c.feedback()->text(),
              QStringLiteral("Exporting to %1 … 40 %").arg(dir.filePath("out.png")));
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.first().at(1).toString(), QString());
    const QImage written(dir.filePath("out.png"));
    ASSERT_EQ(written.size(), QSize(200, 150));
    for (int y = 0; y < 150; y += 7)
        for (int x = 0; x < 200; x += 7)
            ASSERT_EQ(written.pixel(x, y), qRgb(255, 0, 0)) << x << "," << y;
    EXPECT_EQ(c.feedback()->text(), "Exported to " + QDir::toNativeSeparators(dir.filePath("out.png")));

    // "Show in folder" opens the folder written to, through the desktop's services.
    ShowInFolderButton* show = c.showInFolderButton();
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(show->isVisible());
    QList<QUrl> opened;
    ShowInFolderButton::setOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    QTest::mouseClick(show, Qt::LeftButton);
    ShowInFolderButton::setOpener(nullptr);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(dir.path()).absoluteFilePath())});
    EXPECT_FALSE(show->isVisible());
}
