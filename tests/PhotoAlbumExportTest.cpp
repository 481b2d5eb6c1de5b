// Export to the photo album: what the PNG holds, the completion on the GUI thread
// with its log lines, unique names, and the failures the user is told about.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "canvas/CanvasView.h"
#include "imageio/FastPng.h"
#include "imageio/PhotoAlbum.h"
#include "base/PixelMemory.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"

namespace {

// The program's console lines (info messages), from any thread.
QMutex logMutex;
QStringList logLines;
void captureLog(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    QMutexLocker lock(&logMutex);
    if (type == QtInfoMsg)
        logLines << message;
}
std::string logText()
{
    QMutexLocker lock(&logMutex);
    return logLines.join(" | ").toStdString();
}
int logCount(const QString& line)
{
    QMutexLocker lock(&logMutex);
    return int(logLines.count(line));
}

// Runs the event loop until `done` holds or a generous deadline has passed.
bool waitUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] { if (done()) loop.quit(); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    poll.start(5);
    if (!done())
        loop.exec();
    return done();
}

QStringList alertTexts()
{
    QStringList texts;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->windowTitle() == "Error")
            texts << box->text();
    return texts;
}

void closeAlerts()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w))
            w->close();
    QApplication::processEvents();
}

// RGB from the position, alpha well below 255 and unrelated to the colour, so
// that any premultiplication or blending would show.
std::uint32_t workingPixel(int x, int y)
{
    const std::uint32_t r = (x * 7 + y) & 0xff, g = (y * 5 + 3) & 0xff, b = (x ^ y) & 0xff, a = 40 + (x + y) % 150;
    return r | g << 8 | b << 16 | a << 24;
}

QStringList pngsIn(const QString& folder) { return QDir(folder).entryList({"*.png"}, QDir::Files, QDir::Name); }

class PhotoAlbumExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        PhotoAlbum::setFolderForTesting(album);  // missing: the export makes it
        canvas.reset(CanvasTestAccess::makeBare());
        if (!canvas)
            NO_GL_CONTEXT();
        // A 320 x 480 picture in a 512 x 512 buffer; green outside the picture.
        ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 512, 512, {320, 480}, [](int which, int x, int y) {
            return which == 3 && x < 320 && y < 480 ? workingPixel(x, y) : 0xff00ff00u;
        }));
        logLines.clear();
        previousHandler = qInstallMessageHandler(captureLog);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previousHandler);
        closeAlerts();
        PhotoAlbum::setFolderForTesting(QString());
    }

    QTemporaryDir temp;
    const QString album = temp.filePath("Pictures/album");
    std::unique_ptr<CanvasView> canvas;
    QtMessageHandler previousHandler = nullptr;
};

TEST_F(PhotoAlbumExport, WritesThePictureAreaAsAnOpaquePngFromItsOwnCopy)
{
    canvas->ExportToPhotoAlbum();
    // Painting over the working image while the album writes does not reach it.
    std::memset(CanvasTestAccess::buffer(*canvas, 3), 0, 512 * 512 * 4);
    ASSERT_TRUE(waitUntil([] { return logCount("Save finished") == 1; }));
    // The completion logs, then lets go of the copy, which goes at once.
    EXPECT_EQ(logText(), "Save finished | releaseData");
    EXPECT_TRUE(alertTexts().isEmpty());

    ASSERT_EQ(pngsIn(album).size(), 1);
    EXPECT_TRUE(pngsIn(album)[0].startsWith("Charcolino "));
    QFile png(QDir(album).filePath(pngsIn(album)[0]));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    const QByteArray bytes = png.readAll();
    ASSERT_GT(bytes.size(), 26);
    EXPECT_EQ(int(bytes[25]), 2) << "PNG colour type: truecolour without alpha";
    const QImage image = QImage::fromData(bytes, "PNG");
    ASSERT_EQ(image.size(), QSize(320, 480));
    int mismatches = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 320; ++x) {
            const std::uint32_t p = workingPixel(x, y);
            mismatches += image.pixel(x, y) != qRgb(p & 0xff, p >> 8 & 0xff, p >> 16 & 0xff);
        }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(PhotoAlbumExport, TwoExportsInARowGiveTwoFilesAndTwoCompletions)
{
    canvas->ExportToPhotoAlbum();
    canvas->ExportToPhotoAlbum();
    ASSERT_TRUE(waitUntil([] { return logCount("Save finished") == 2; }));
    EXPECT_EQ(logCount("releaseData"), 2);
    ASSERT_EQ(pngsIn(album).size(), 2);
    for (const QString& name : pngsIn(album))
        EXPECT_EQ(QImage(QDir(album).filePath(name)).size(), QSize(320, 480));
}

TEST_F(PhotoAlbumExport, WithoutAProjectTellsTheUserAndStartsNothing)
{
    canvas.reset(CanvasTestAccess::makeBare());
    const long allocations = PixelMemory::allocationCount();
    canvas->ExportToPhotoAlbum();
    EXPECT_EQ(alertTexts(), QStringList{"No data in the working space."});
    EXPECT_EQ(PixelMemory::allocationCount(), allocations);
    EXPECT_FALSE(QFileInfo::exists(album));
    EXPECT_EQ(logText(), "");
}

TEST_F(PhotoAlbumExport, AFailedSaveIsToldWithTheFolderAndStillFreesTheCopy)
{
    QFile blocker(temp.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly) && blocker.write("x") == 1);
    blocker.close();
    // A plain file where the folder should be, and a folder below such a file.
    for (const QString& folder : {blocker.fileName(), blocker.fileName() + "/album"}) {
        SCOPED_TRACE(folder.toStdString());
        logLines.clear();
        PhotoAlbum::setFolderForTesting(folder);
        canvas->ExportToPhotoAlbum();
        ASSERT_TRUE(waitUntil([] { return logCount("Save finished") == 1; }));
        EXPECT_EQ(logText(), "Save finished | releaseData");
        const QStringList alerts = alertTexts();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].contains('"' + folder + '"')) << alerts[0].toStdString();
        EXPECT_TRUE(alerts[0].contains("file of that name") || alerts[0].contains("cannot be created"));
        closeAlerts();
    }
    ASSERT_TRUE(blocker.open(QIODevice::ReadOnly));
    EXPECT_EQ(blocker.readAll(), "x");
}

TEST_F(PhotoAlbumExport, ACanvasGoneBeforeTheCompletionIsSkippedAndTheCopyStillFreed)
{
    canvas->ExportToPhotoAlbum();
    canvas.reset();
    ASSERT_TRUE(waitUntil([] { return logCount("releaseData") == 1; }));
    EXPECT_EQ(logCount("Save finished"), 0);
    EXPECT_EQ(pngsIn(album).size(), 1);
}

TEST(PhotoAlbumFile, NeverReplacesAFileAndCountsUpFromATakenName)
{
    QTemporaryDir temp, elsewhere;
    const QDateTime when(QDate(2009, 6, 30), QTime(17, 5, 42));
    QFile taken(temp.filePath("Charcolino 2009-06-30 17-05-42.png"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly) && taken.write("keep") == 4);
    taken.close();
    // A link to nowhere takes its name too: it is neither replaced nor written through.
    const QString link = temp.filePath("Charcolino 2009-06-30 17-05-42 2.png");
    ASSERT_TRUE(QFile::link(elsewhere.filePath("outside.png"), link));

    QImage picture(3, 2, QImage::Format_RGBX8888);
    picture.fill(QColor(10, 20, 30));
    QString first, second;
    EXPECT_EQ(PhotoAlbum::writePng(picture, temp.path(), when, &first), "");
    EXPECT_EQ(PhotoAlbum::writePng(picture, temp.path(), when, &second), "");
    EXPECT_EQ(QFileInfo(first).fileName(), "Charcolino 2009-06-30 17-05-42 3.png");
    EXPECT_EQ(QFileInfo(second).fileName(), "Charcolino 2009-06-30 17-05-42 4.png");
    EXPECT_EQ(QImage(second).pixel(2, 1), qRgb(10, 20, 30));
    ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.readAll(), "keep");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath("outside.png")));
    // Pictures are written under a hidden temporary name and renamed when whole:
    // nothing else is left behind.
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

// Pictures are made as any new file: the user's umask decides their mode, not
// the private mode of a temporary file.
TEST(PhotoAlbumFile, TheNewFileHasTheModeTheUmaskGives)
{
    QTemporaryDir temp;
    QImage picture(4, 4, QImage::Format_RGBX8888);
    picture.fill(Qt::white);
    const struct {
        mode_t umask;
        mode_t mode;
    } cases[] = {{022, 0644}, {002, 0664}, {077, 0600}};
    for (const auto& c : cases) {
        const mode_t previous = ::umask(c.umask);
        QString saved;
        const QString error = PhotoAlbum::writePng(picture, temp.path(), &saved);
        ::umask(previous);
        ASSERT_EQ(error, "");
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(saved).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode) << "umask 0" << std::oct << c.umask;
    }
}

// A write that fails names the system's reason, not the PNG writer's "Unknown
// error", and leaves nothing behind: a full device, and a file size limit reached
// after a first part of the picture was written.
TEST(PhotoAlbumFile, AFailedWriteNamesTheSystemsReasonAndLeavesNothing)
{
    QImage noise(256, 256, QImage::Format_RGBX8888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            noise.setPixel(x, y, qRgb((x * 131 + y * 71) & 255, (x * y) & 255, (x ^ (y * 3)) & 255));

    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_EQ(PhotoAlbum::writeWhole(full, QByteArray(100000, 'x')).toStdString(), "No space left on device");
    ::close(full);

    QTemporaryDir temp;
    rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;  // the PNG of the noise is far larger
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = PhotoAlbum::writePng(noise, temp.path());
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_EQ(error.toStdString(), QStringLiteral("The picture could not be saved in the folder \"%1\": File too large.")
                                       .arg(temp.path())
                                       .toStdString());
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// A file written as it is made: started again, it holds only what came after;
// one that cannot be made or written leaves nothing and names the reason.
TEST(PhotoAlbumFile, AStreamedFileHoldsWhatCameAfterItsLastStartAndAFailureLeavesNothing)
{
    QImage noise(256, 256, QImage::Format_RGBX8888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            noise.setPixel(x, y, qRgb((x * 131 + y * 71) & 255, (x * y) & 255, (x ^ (y * 3)) & 255));
    const QByteArray png = fastPngBytes(noise);
    const QDateTime when(QDate(2009, 6, 30), QTime(17, 5, 42));
    QTemporaryDir temp;
    QString saved;
    const QString written = PhotoAlbum::writeStreamedPng(
        [&png](const PngFileStart& start) {
            const PngStripEncoder::Out first = start();
            if (!first || !first(png.constData(), png.size() / 2))
                return false;
            const PngStripEncoder::Out again = start();  // a drawing given up: the file anew
            return again && again(png.constData(), 100) && again(png.constData() + 100, png.size() - 100);
        },
        temp.path(), when, &saved);
    EXPECT_EQ(written, QString());
    EXPECT_EQ(saved, temp.filePath("Charcolino 2009-06-30 17-05-42.png"));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), png);
    file.remove();

    const QString notMade =
        PhotoAlbum::writeStreamedPng([](const PngFileStart& start) { return bool(start()) && false; }, temp.path(), when);
    EXPECT_EQ(notMade, QStringLiteral("The picture could not be saved in the folder \"%1\": the picture could not be made.")
                           .arg(temp.path()));

    rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool tookAll = true;
    const QString cut = PhotoAlbum::writeStreamedPng(
        [&](const PngFileStart& start) {
            const PngStripEncoder::Out out = start();
            for (qsizetype at = 0; out && tookAll && at < png.size(); at += 1000)
                tookAll = out(png.constData() + at, std::min<qsizetype>(1000, png.size() - at));
            return tookAll;
        },
        temp.path(), when);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_FALSE(tookAll);
    EXPECT_EQ(cut, QStringLiteral("The picture could not be saved in the folder \"%1\": File too large.").arg(temp.path()));
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace

TEST(PhotoAlbumFile, PngStripsMadeOnSeveralCoresJoinIntoOneValidStreamOfTheSamePixels)
{
    struct Case {
        const char* what;
        QImage image;
        int channels;
    };
    QImage alpha(130, 300, QImage::Format_ARGB32);  // three strips, the last partial
    QImage grey(7, 129, QImage::Format_RGB32);       // a last strip of one row
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 130; ++x) {
            const std::uint32_t p = workingPixel(x, y);
            alpha.setPixel(x, y, qRgba(p & 0xff, p >> 8 & 0xff, p >> 16 & 0xff, int(p >> 24)));
            if (x < 7 && y < 129)
                grey.setPixel(x, y, qRgb(x * y % 256, x * y % 256, x * y % 256));
        }
    QImage single(1, 1, QImage::Format_RGBX8888);
    single.fill(qRgb(1, 2, 3));
    for (const Case& c : {Case{"alpha", alpha, 4}, Case{"grey", grey, 3}, Case{"one pixel", single, 3}}) {
        SCOPED_TRACE(c.what);
        const QByteArray png = fastPngBytes(c.image);
        EXPECT_EQ(fastPngBytesOnThreads(c.image, 1), png) << "the bytes do not depend on the threads";
        const QImage back = QImage::fromData(png, "PNG");
        EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32), c.image.convertToFormat(QImage::Format_ARGB32));

        // The IDAT chunks hold one zlib stream whose checksum covers every row.
        QByteArray stream;
        for (qsizetype at = 8; at + 12 <= png.size();) {
            const quint32 length = quint32(quint8(png[at])) << 24 | quint32(quint8(png[at + 1])) << 16 |
                                   quint32(quint8(png[at + 2])) << 8 | quint32(quint8(png[at + 3]));
            if (png.mid(at + 4, 4) == "IDAT")
                stream += png.mid(at + 8, qsizetype(length));
            at += 12 + qsizetype(length);
        }
        uLongf size = uLongf(c.image.height()) * (1 + uLongf(c.image.width()) * uLongf(c.channels));
        QByteArray rows(qsizetype(size), '\0');
        EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                             reinterpret_cast<const Bytef*>(stream.constData()), uLong(stream.size())),
                  Z_OK);
        EXPECT_EQ(qsizetype(size), rows.size());
    }
}
