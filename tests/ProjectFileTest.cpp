// Project files and slots: the byte layout, saving and loading on a canvas with GL,
// and every way a save or a load can fail.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "project/ProjectCodec.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "system/DocumentsDirectory.h"
#include "widgets/SegmentedControl.h"
#include "support/Alerts.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/GlTestFramebuffer.h"

namespace {

QString slotPath(int slot)
{
    return DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(slot));
}

QString thumbnailPath(int slot)
{
    return DocumentsDirectory::filePath(ProjectSlotFiles::thumbnailFileName(slot));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Little-endian fields written by hand, independently of the codec.
QByteArray le32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}
QByteArray leFloat(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return le32(bits);
}
QByteArray header(std::int32_t height, std::int32_t width, float pictureHeight, float pictureWidth)
{
    return QByteArray("2009-06-30 17:05:42") + le32(std::uint32_t(height)) + le32(std::uint32_t(width)) +
           leFloat(pictureHeight) + leFloat(pictureWidth);
}

// A distinct opaque-ish pixel for every buffer, column and row.
std::uint32_t pattern(int which, int x, int y)
{
    return std::uint32_t((x * 7 + which * 50) & 255) | std::uint32_t((y * 5 + which * 30) & 255) << 8 |
           std::uint32_t((x + y + which * 90) & 255) << 16 | std::uint32_t(200 + which) << 24;
}

QByteArray patternBuffer(int width, int height, int which)
{
    QByteArray b(width * height * 4, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pattern(which, x, y);
            std::memcpy(b.data() + (y * width + x) * 4, &p, 4);  // x86-64: bytes R, G, B, A
        }
    return b;
}

QByteArray bytesOf(const std::uint8_t* p, int count)
{
    return p ? QByteArray(reinterpret_cast<const char*>(p), count) : QByteArray();
}

class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(DocumentsDirectory::path()).removeRecursively();
        canvas.reset(CanvasTestAccess::makeBare());
        if (!canvas)
            NO_GL_CONTEXT();
        toolbar = std::make_unique<SegmentedControl>(
            QStringList{"Black", "Color", "Original", "Navigate"});
        toolbar->setSelectedSegmentIndex(0);
        canvas->setToolbar(toolbar.get());
    }

    bool install(int width, int height, FloatSize picsize, int shift = 0)
    {
        return CanvasTestAccess::installProject(*canvas, width, height, picsize, [shift](int which, int x, int y) {
            return pattern(which, x + shift, y);
        });
    }

    QByteArray original() const { return bufferBytes(canvas->originalBuffer()); }
    QByteArray working() const { return bufferBytes(canvas->workingBuffer()); }
    QByteArray bufferBytes(const std::uint8_t* p) const
    {
        return bytesOf(p, canvas->bufferWidth() * canvas->bufferHeight() * 4);
    }

    std::unique_ptr<SegmentedControl> toolbar;
    std::unique_ptr<CanvasView> canvas;
};

}  // namespace

TEST(ProjectCodec, SaveTimeTextAndPictureExtent)
{
    using namespace ProjectCodec;
    EXPECT_EQ(std::string(formatSaveTime(2009, 6, 30, 17, 5, 42).data(), 19), "2009-06-30 17:05:42");
    // Whatever the clock says, the text stays 19 ASCII characters.
    EXPECT_EQ(std::string(formatSaveTime(12345, 13, 0, 24, -1, 60).data(), 19), "9999-12-01 23:00:59");
    EXPECT_EQ(std::string(formatSaveTime(7, 1, 2, 3, 4, 5).data(), 19), "0007-01-02 03:04:05");
    const QByteArray h = header(4, 8, 3, 5);
    EXPECT_FALSE(saveTimeText(reinterpret_cast<const std::uint8_t*>(h.constData()), 18).has_value());
    EXPECT_EQ(saveTimeText(reinterpret_cast<const std::uint8_t*>(h.constData()), 19), "2009-06-30 17:05:42");

    // A fractional side takes in its partly covered last column or row.
    Header fractional;
    fractional.width = 16;
    fractional.height = 1;
    fractional.picsize = {10.5f, 0.25f};
    EXPECT_EQ(pictureExtent(fractional).columns, 11);
    EXPECT_EQ(pictureExtent(fractional).rows, 1);
}

TEST_F(ProjectFileTest, SavedFileHasTheByteLayout)
{
    // Width 512, height 512, picture 320 x 480: 35 + 8 x 512 x 512 bytes.
    ASSERT_TRUE(install(512, 512, {320, 480}));
    ASSERT_TRUE(canvas->SaveProject(0));
    const QByteArray file = readFile(slotPath(0));
    ASSERT_EQ(file.size(), 2097187);
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(QString::fromLatin1(file.left(19)))
                    .hasMatch())
        << file.left(19).toStdString();
    EXPECT_EQ(file.mid(19, 4), le32(512));
    EXPECT_EQ(file.mid(23, 4), le32(512));
    EXPECT_EQ(file.mid(27, 4), leFloat(480.0f));
    EXPECT_EQ(file.mid(31, 4), leFloat(320.0f));
    // The whole buffers, the area outside the picture included.
    EXPECT_TRUE(file.mid(35, 512 * 512 * 4) == original());
    EXPECT_TRUE(file.mid(35 + 512 * 512 * 4) == working());
    EXPECT_FALSE(QFileInfo::exists(thumbnailPath(0)));

    // Height before width, picture height before picture width.
    ASSERT_TRUE(install(8, 2, {5, 1}));
    ASSERT_TRUE(canvas->SaveProject(0));
    const QByteArray small = readFile(slotPath(0));
    EXPECT_EQ(small.mid(19, 16), le32(2) + le32(8) + leFloat(1.0f) + leFloat(5.0f));
    EXPECT_EQ(small.size(), 35 + 2 * 64);
    EXPECT_EQ(QDir(DocumentsDirectory::path()).entryList(QDir::Files), QStringList{"project0.dat"});
}

TEST_F(ProjectFileTest, HandBuiltFileLoadsAsTheCurrentProject)
{
    // Width 64, height 32, picture 50 x 30, followed by bytes that are never read.
    const QByteArray original = patternBuffer(64, 32, 2);
    const QByteArray working = patternBuffer(64, 32, 3);
    ASSERT_TRUE(writeFile(slotPath(5), header(32, 64, 30, 50) + original + working + QByteArray(999, '\x5a')));
    CanvasTestAccess::setView(*canvas, 3, 4, 9.0f);

    ASSERT_TRUE(canvas->LoadProject(5));
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_EQ(canvas->bufferHeight(), 32);
    EXPECT_EQ(canvas->bufferWidth(), 64);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{50.0f, 30.0f}));
    EXPECT_TRUE(this->original() == original);
    EXPECT_TRUE(this->working() == working);

    // The sketches are the filter's, from the stored original.
    std::vector<std::uint8_t> scratch(original.size()), black(original.size()), color(original.size());
    const SketchBuffers expected{reinterpret_cast<const std::uint8_t*>(original.constData()), scratch.data(),
                               black.data(), color.data(), 64, 32, FloatSize{50.0f, 30.0f}};
    buildSketch(expected);
    for (int y = 0; y < 30; ++y) {
        const int row = y * 64 * 4;
        ASSERT_EQ(std::memcmp(canvas->blackSketchBuffer() + row, black.data() + row, 50 * 4), 0) << y;
        ASSERT_EQ(std::memcmp(canvas->colorSketchBuffer() + row, color.data() + row, 50 * 4), 0) << y;
    }

    // Start position, fitted zoom, navigation mode, textures of the new size.
    EXPECT_EQ(canvas->centerX(), 160);
    EXPECT_EQ(canvas->centerY(), 195);
    EXPECT_EQ(canvas->zoomLevel(), canvas->ZoomToFit());
    EXPECT_EQ(toolbar->selectedSegmentIndex(), 3);
    for (const Texture2D* t : {canvas->workingTexture(), canvas->originalTexture(), canvas->blackSketchTexture(),
                               canvas->colorSketchTexture()}) {
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->pixelsWide(), 64u);
        EXPECT_EQ(t->pixelsHigh(), 32u);
    }
}

TEST_F(ProjectFileTest, SavedSlotLoadsBackAndUserSlotsGetAThumbnail)
{
    ASSERT_TRUE(install(128, 64, {100, 60}));
    const QByteArray savedOriginal = original();
    const QByteArray savedWorking = working();
    ASSERT_TRUE(canvas->SaveProject(3));
    ASSERT_TRUE(QFileInfo::exists(slotPath(3)));
    const QByteArray thumbnail = readFile(thumbnailPath(3));
    EXPECT_EQ(QImage::fromData(thumbnail, "JPEG").size(), QSize(80, 48));
    EXPECT_TRUE(thumbnail == canvas->CreateThumbNail());

    ASSERT_TRUE(install(32, 32, {20, 20}, 11));
    ASSERT_TRUE(canvas->LoadProject(3));
    EXPECT_EQ(canvas->bufferWidth(), 128);
    EXPECT_EQ(canvas->bufferHeight(), 64);
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{100.0f, 60.0f}));
    EXPECT_TRUE(original() == savedOriginal);
    EXPECT_TRUE(working() == savedWorking);

    // Saving again replaces the slot whole; slot 0 never gets a thumbnail.
    ASSERT_TRUE(install(16, 16, {16, 9}, 3));
    ASSERT_TRUE(canvas->SaveProject(3));
    EXPECT_EQ(readFile(slotPath(3)).size(), 35 + 2 * 16 * 16 * 4);
    EXPECT_EQ(QImage(thumbnailPath(3)).size(), QSize(80, 45));
    ASSERT_TRUE(canvas->SaveProject(0));
    EXPECT_FALSE(QFileInfo::exists(thumbnailPath(0)));
    ASSERT_TRUE(canvas->SaveProject(10));
    EXPECT_EQ(QDir(DocumentsDirectory::path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"project0.dat", "project10.dat", "project3.dat", "thumbnail10.jpg", "thumbnail3.jpg"}));
}

TEST_F(ProjectFileTest, SaveWithoutProjectTouchesNoFile)
{
    ASSERT_TRUE(writeFile(slotPath(1), "earlier project"));
    EXPECT_FALSE(canvas->SaveProject(1));
    EXPECT_FALSE(canvas->SaveProject(0));
    EXPECT_EQ(readFile(slotPath(1)), "earlier project");
    EXPECT_EQ(QDir(DocumentsDirectory::path()).entryList(QDir::Files), QStringList{"project1.dat"});

    // Loaded but failed later: the same.
    ASSERT_TRUE(install(4, 4, {4, 4}));
    canvas->document().setLoaded(false);
    EXPECT_FALSE(canvas->SaveProject(1));
    EXPECT_TRUE(canvas->CreateThumbNail().isEmpty());
    EXPECT_EQ(readFile(slotPath(1)), "earlier project");
}

TEST_F(ProjectFileTest, MissingSlotLeavesTheProjectEditable)
{
    ASSERT_TRUE(install(16, 8, {10, 8}));
    const std::uint8_t* before = canvas->workingBuffer();
    const QByteArray working = this->working();
    const Texture2D* texture = canvas->workingTexture();
    EXPECT_FALSE(canvas->LoadProject(7));
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_EQ(canvas->workingBuffer(), before);
    EXPECT_TRUE(this->working() == working);
    EXPECT_EQ(canvas->workingTexture(), texture);
    EXPECT_EQ(toolbar->selectedSegmentIndex(), 0);
    EXPECT_TRUE(canvas->SaveProject(7));
}

// Every file that fails to load is refused before anything of the current project
// is touched: the project stays whole, paintable and saved.
TEST_F(ProjectFileTest, FilesThatFailToLoadLeaveTheCurrentProjectWhole)
{
    const int n = 16 * 8 * 4;
    const QByteArray full = header(8, 16, 8, 10) + patternBuffer(16, 8, 2) + patternBuffer(16, 8, 3);
    ASSERT_TRUE(writeFile(slotPath(2), full));
    struct Case {
        const char* what;
        QByteArray bytes;  // empty with fifo
        bool fifo = false;
    };
    const Case cases[] = {
        {"empty", {}},
        {"30 bytes", full.left(30)},
        {"header only", full.left(35)},
        {"original one byte short", full.left(35 + n - 1)},
        {"working one byte short", full.left(35 + 2 * n - 1)},
        {"a FIFO, which must not block", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(install(4, 4, {4, 4}));
        const std::uint8_t* buffer = canvas->workingBuffer();
        const QByteArray before = working();
        QFile::remove(slotPath(1));
        if (c.fifo)
            ASSERT_EQ(::mkfifo(QFile::encodeName(slotPath(1)).constData(), 0600), 0);
        else
            ASSERT_TRUE(writeFile(slotPath(1), c.bytes));
        const long allocations = PixelMemory::allocationCount();
        EXPECT_FALSE(canvas->LoadProject(1));
        EXPECT_EQ(PixelMemory::allocationCount(), allocations);
        EXPECT_TRUE(canvas->isLoaded());
        EXPECT_EQ(canvas->workingBuffer(), buffer);
        EXPECT_TRUE(working() == before);
        EXPECT_EQ(canvas->bufferWidth(), 4);
        EXPECT_EQ(toolbar->selectedSegmentIndex(), 0);
        if (!c.fifo) {
            EXPECT_EQ(readFile(slotPath(1)), c.bytes);  // the failed load wrote nothing
        }
        EXPECT_TRUE(canvas->SaveProject(3));

        ASSERT_TRUE(canvas->LoadProject(2));
        EXPECT_TRUE(canvas->isLoaded());
        EXPECT_TRUE(working() == full.mid(35 + n));
        toolbar->setSelectedSegmentIndex(0);
    }
}

// A project of another size gets all its buffers before the current ones go: when
// memory runs out the alert is shown and the current project stays.
TEST_F(ProjectFileTest, ShortageOfMemoryOnLoadLeavesTheCurrentProjectWhole)
{
    ASSERT_TRUE(writeFile(slotPath(2), header(8, 16, 8, 10) + patternBuffer(16, 8, 2) + patternBuffer(16, 8, 3)));
    for (int failing = 1; failing <= 4; ++failing) {
        SCOPED_TRACE(failing);
        ASSERT_TRUE(install(4, 4, {4, 4}));
        const std::uint8_t* buffer = canvas->workingBuffer();
        PixelMemory::failAllocation(failing);
        const bool loaded = canvas->LoadProject(2);
        PixelMemory::failAllocation(0);
        EXPECT_FALSE(loaded);
        EXPECT_EQ(takeAlerts(), QStringList{QStringLiteral("Error: ") + CanvasView::kLowMemoryMessage});
        EXPECT_TRUE(canvas->isLoaded());
        EXPECT_EQ(canvas->workingBuffer(), buffer);
        EXPECT_NE(canvas->blackSketchBuffer(), nullptr);
        EXPECT_EQ(canvas->bufferWidth(), 4);
    }
    EXPECT_TRUE(canvas->LoadProject(2));
}

TEST_F(ProjectFileTest, HostileHeadersFailBeforeAnyAllocation)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::int32_t height, width;
        float pictureHeight, pictureWidth;
    };
    const Case cases[] = {
        {0, 0, 1, 1},           {-512, 512, 1, 1},      {512, -512, 1, 1},  {300, 200, 100, 100},
        {2048, 2048, 100, 100}, {1 << 30, 4, 1, 1},     {4, 1 << 30, 1, 1}, {64, 64, nan, 10},
        {64, 64, 10, inf},      {64, 64, -inf, 10},     {64, 64, 0, 10},    {64, 64, 10, -5},
        {64, 64, 64, 65},       {64, 64, 64.5f, 64},    {64, 64, 10, -0.0f},
        {4, -2147483647 - 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.height << " x " << c.width << " picture " << c.pictureHeight
                                          << " x " << c.pictureWidth);
        ASSERT_TRUE(install(4, 4, {4, 4}));
        const std::uint8_t* original = canvas->originalBuffer();
        // Enough pixel bytes follow whenever the sides could be had at all, so only
        // the header check can refuse the file.
        const qint64 n = qint64(c.height) * c.width * 4;
        const int pixels = n > 0 && n <= 1024 * 1024 * 4 ? int(2 * n) : 64;
        ASSERT_TRUE(writeFile(slotPath(4), header(c.height, c.width, c.pictureHeight, c.pictureWidth) +
                                               QByteArray(pixels, '\x11')));
        const long allocations = PixelMemory::allocationCount();
        EXPECT_FALSE(canvas->LoadProject(4));
        EXPECT_EQ(PixelMemory::allocationCount(), allocations);
        EXPECT_TRUE(canvas->isLoaded());
        EXPECT_EQ(canvas->originalBuffer(), original);
        EXPECT_EQ(canvas->bufferHeight(), 4);
        EXPECT_EQ(canvas->pictureSize(), (FloatSize{4, 4}));
        EXPECT_EQ(toolbar->selectedSegmentIndex(), 0);
    }
}

TEST_F(ProjectFileTest, FailedWriteKeepsTheEarlierFileWhole)
{
    ASSERT_TRUE(install(512, 512, {400, 300}));
    ASSERT_TRUE(canvas->SaveProject(2));
    const QByteArray earlier = readFile(slotPath(2));
    const QByteArray earlierThumbnail = readFile(thumbnailPath(2));
    ASSERT_EQ(earlier.size(), 2097187);

    // The second save runs out of room part way through the original image: the
    // process may write no file beyond 600,000 bytes (root included).
    ASSERT_TRUE(install(512, 512, {400, 300}, 5));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 600000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CanvasView::SaveFailure failure;
    const bool result = canvas->SaveProject(2, &failure);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(result);
    EXPECT_EQ(failure.file, slotPath(2));
    EXPECT_EQ(failure.reason, "File too large") << "the system's reason";
    EXPECT_TRUE(readFile(slotPath(2)) == earlier);
    EXPECT_TRUE(readFile(thumbnailPath(2)) == earlierThumbnail);
    EXPECT_EQ(QDir(DocumentsDirectory::path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"project2.dat", "thumbnail2.jpg"}));  // no temporary file left
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_TRUE(canvas->SaveProject(2));
}

namespace {

QStringList g_log;
void captureLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_log << message;
}

// Points the data location elsewhere for one test.
class DataHome {
public:
    explicit DataHome(const QString& path) : previous(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", path.toUtf8());
    }
    ~DataHome() { qputenv("XDG_DATA_HOME", previous); }

private:
    QByteArray previous;
};

}  // namespace

TEST_F(ProjectFileTest, TargetsThatCannotBeReplacedAnswerNo)
{
    ASSERT_TRUE(install(8, 8, {8, 8}));
    const QDir documents(DocumentsDirectory::path());
    ASSERT_TRUE(documents.mkpath("project4.dat/inside"));
    CanvasView::SaveFailure failure;
    EXPECT_FALSE(canvas->SaveProject(4, &failure));
    EXPECT_EQ(failure.file, slotPath(4));
    EXPECT_FALSE(failure.reason.isEmpty()) << "a write failure is no missing project";
    EXPECT_TRUE(QFileInfo(slotPath(4)).isDir());
    EXPECT_FALSE(QFileInfo::exists(thumbnailPath(4)));
    EXPECT_FALSE(canvas->LoadProject(4));  // a directory is no project file
    EXPECT_TRUE(canvas->isLoaded());
}

// The project is written but its thumbnail cannot be: the project is saved, and the
// thumbnail's failure is logged.
TEST_F(ProjectFileTest, ThumbnailThatCannotBeWrittenStillSavesTheProject)
{
    ASSERT_TRUE(install(8, 8, {8, 8}));
    ASSERT_TRUE(QDir(DocumentsDirectory::path()).mkpath("thumbnail5.jpg/inside"));
    g_log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    const bool saved = canvas->SaveProject(5);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(slotPath(5)).size(), 35 + 2 * 8 * 8 * 4);
    EXPECT_TRUE(QFileInfo(thumbnailPath(5)).isDir());
    EXPECT_EQ(g_log.filter(thumbnailPath(5)).size(), 1) << g_log.join('\n').toStdString();
}

// A symbolic link planted in the data folder is replaced by the saved file; the
// file it points to (or the place where nothing is) stays as it was.
TEST_F(ProjectFileTest, SavesReplaceSymbolicLinksInsteadOfWritingThroughThem)
{
    ASSERT_TRUE(install(8, 8, {8, 8}));
    const QString outside = QDir::homePath() + "/outside";
    QDir(outside).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(writeFile(outside + "/victim", "keep me"));
    struct Case {
        QString link;
        QString target;
    };
    const Case cases[] = {
        {slotPath(3), outside + "/victim"},
        {thumbnailPath(3), outside + "/victim"},
        {slotPath(0), outside + "/absent"},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(QFile::link(c.target, c.link));
    ASSERT_TRUE(canvas->SaveProject(3));
    ASSERT_TRUE(canvas->SaveProject(0));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        const QFileInfo saved(c.link);
        EXPECT_FALSE(saved.isSymLink());
        EXPECT_TRUE(saved.isFile());
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(c.link).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask) << "the mode of a new file";
    }
    EXPECT_EQ(readFile(outside + "/victim"), "keep me");
    EXPECT_FALSE(QFileInfo::exists(outside + "/absent"));
    EXPECT_EQ(QDir(DocumentsDirectory::path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"project0.dat", "project3.dat", "thumbnail3.jpg"}));  // no temporary file left
    EXPECT_TRUE(canvas->LoadProject(3));
    QDir(outside).removeRecursively();
}


TEST_F(ProjectFileTest, NonAsciiDocumentsPathWorks)
{
    const QString home = QDir::homePath() + QString::fromUtf8("/Dätä ünïcödé ✎");
    DataHome dataHome(home);
    ASSERT_TRUE(DocumentsDirectory::path().startsWith(home));
    ASSERT_TRUE(install(32, 16, {30, 12}));
    const QByteArray saved = working();
    ASSERT_TRUE(canvas->SaveProject(6));
    EXPECT_TRUE(QFileInfo::exists(slotPath(6)));
    EXPECT_TRUE(QFileInfo::exists(thumbnailPath(6)));
    ASSERT_TRUE(install(4, 4, {4, 4}));
    ASSERT_TRUE(canvas->LoadProject(6));
    EXPECT_TRUE(working() == saved);
    QDir(home).removeRecursively();
}

TEST_F(ProjectFileTest, NoDocumentsDirectoryIsLoggedAndAnswersNo)
{
    const QString blocker = QDir::homePath() + "/plain-file";
    ASSERT_TRUE(writeFile(blocker, "x"));
    ASSERT_TRUE(install(4, 4, {4, 4}));
    {
        DataHome dataHome(blocker + "/share");
        g_log.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureLog);
        CanvasView::SaveFailure failure;
        const bool saved = canvas->SaveProject(1, &failure);
        const bool loaded = canvas->LoadProject(1);
        qInstallMessageHandler(previous);
        EXPECT_FALSE(saved);
        EXPECT_TRUE(failure.file.startsWith(blocker + "/share/")) << "the folder that cannot be made";
        EXPECT_FALSE(failure.reason.isEmpty());
        EXPECT_FALSE(loaded);
        EXPECT_EQ(g_log, (QStringList{"Documents directory not found!", "Documents directory not found!"}));
    }
    EXPECT_TRUE(canvas->isLoaded());
    QFile::remove(blocker);
}

namespace {

// The threads of this process right now.
int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// What the texture holds, whole, against the whole buffer it was made from.
::testing::AssertionResult holdsBuffer(const Texture2D* texture, const std::uint8_t* buffer, int width, int height)
{
    if (!texture || !buffer)
        return ::testing::AssertionFailure() << "no texture or no buffer";
    if (texture->pixelsWide() != std::uint32_t(width) || texture->pixelsHigh() != std::uint32_t(height))
        return ::testing::AssertionFailure() << "texture of " << texture->pixelsWide() << " x "
                                             << texture->pixelsHigh();
    const QImage image = GlTestFramebuffer::readTexture(texture->name(), width, height);
    if (image.isNull() || std::memcmp(image.constBits(), buffer, std::size_t(width) * height * 4) != 0)
        return ::testing::AssertionFailure() << "texels differ from the buffer";
    return ::testing::AssertionSuccess();
}

// The sketches of the original over the picture area, as the filter gives them.
void expectSketchesOf(const CanvasView& canvas, const QByteArray& original)
{
    const int width = canvas.bufferWidth(), height = canvas.bufferHeight();
    std::vector<std::uint8_t> black(original.size()), color(original.size());
    buildSketch(SketchBuffers{reinterpret_cast<const std::uint8_t*>(original.constData()), nullptr, black.data(),
                              color.data(), width, height, canvas.pictureSize()});
    const int columns = int(std::ceil(canvas.pictureSize().width)), rows = int(std::ceil(canvas.pictureSize().height));
    for (int y = 0; y < rows; ++y) {
        const std::size_t at = std::size_t(y) * width * 4;
        ASSERT_EQ(std::memcmp(canvas.blackSketchBuffer() + at, black.data() + at, std::size_t(columns) * 4), 0) << y;
        ASSERT_EQ(std::memcmp(canvas.colorSketchBuffer() + at, color.data() + at, std::size_t(columns) * 4), 0) << y;
    }
}

}  // namespace

TEST_F(ProjectFileTest, TexturesHoldTheLoadedBuffersWhetherRefilledOrMadeAnew)
{
    // Two projects of one geometry, then one whose picture is narrower: the
    // textures are refilled in place for the second and made anew for the third.
    // Rows 30 and 31 lie below the picture and reach the textures too.
    ASSERT_TRUE(writeFile(slotPath(5), header(32, 64, 30, 50) + patternBuffer(64, 32, 2) + patternBuffer(64, 32, 3)));
    ASSERT_TRUE(writeFile(slotPath(6), header(32, 64, 30, 50) + patternBuffer(64, 32, 4) + patternBuffer(64, 32, 5)));
    ASSERT_TRUE(writeFile(slotPath(7), header(32, 64, 30, 40) + patternBuffer(64, 32, 6) + patternBuffer(64, 32, 1)));
    const auto textures = [this] {
        return std::vector<const Texture2D*>{canvas->workingTexture(), canvas->originalTexture(),
                                             canvas->blackSketchTexture(), canvas->colorSketchTexture()};
    };
    const auto expectTexturesHoldTheBuffers = [this, &textures] {
        const std::vector<const std::uint8_t*> buffers{canvas->workingBuffer(), canvas->originalBuffer(),
                                                       canvas->blackSketchBuffer(), canvas->colorSketchBuffer()};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(holdsBuffer(textures()[i], buffers[i], 64, 32)) << "texture " << i;
            EXPECT_EQ(textures()[i]->contentSize(), canvas->pictureSize()) << "texture " << i;
        }
    };

    ASSERT_TRUE(canvas->LoadProject(5));
    expectTexturesHoldTheBuffers();
    const std::vector<const Texture2D*> first = textures();

    ASSERT_TRUE(canvas->LoadProject(6));
    EXPECT_EQ(textures(), first);
    expectTexturesHoldTheBuffers();
    expectSketchesOf(*canvas, patternBuffer(64, 32, 4));

    ASSERT_TRUE(canvas->LoadProject(7));
    expectTexturesHoldTheBuffers();
    for (const Texture2D* t : textures())
        EXPECT_FLOAT_EQ(t->maxS(), 40.0f / 64.0f);
    expectSketchesOf(*canvas, patternBuffer(64, 32, 6));
    EXPECT_EQ(toolbar->selectedSegmentIndex(), 3);
}

TEST_F(ProjectFileTest, WorkingImageCutShortIsRefusedBeforeTheSketchesStart)
{
    const QByteArray original = patternBuffer(64, 32, 2);
    const QByteArray full = header(32, 64, 30, 50) + original + patternBuffer(64, 32, 3);
    ASSERT_TRUE(writeFile(slotPath(2), full));
    ASSERT_TRUE(writeFile(slotPath(1), full.left(full.size() - 1000)));
    ASSERT_TRUE(canvas->LoadProject(2));  // whatever the first load starts for good is running now
    toolbar->setSelectedSegmentIndex(0);
    ASSERT_TRUE(install(16, 8, {16, 8}));
    const std::vector<const Texture2D*> textures{canvas->workingTexture(), canvas->originalTexture(),
                                                 canvas->blackSketchTexture(), canvas->colorSketchTexture()};
    const QByteArray black = bufferBytes(canvas->blackSketchBuffer());
    const int threads = threadCount();

    EXPECT_FALSE(canvas->LoadProject(1));
    EXPECT_EQ(threadCount(), threads);
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_EQ(toolbar->selectedSegmentIndex(), 0);
    EXPECT_EQ(canvas->bufferWidth(), 16);
    EXPECT_TRUE(bufferBytes(canvas->blackSketchBuffer()) == black) << "no sketch of the refused file";
    EXPECT_EQ((std::vector<const Texture2D*>{canvas->workingTexture(), canvas->originalTexture(),
                                             canvas->blackSketchTexture(), canvas->colorSketchTexture()}),
              textures);
    EXPECT_TRUE(holdsBuffer(canvas->workingTexture(), canvas->workingBuffer(), 16, 8));

    ASSERT_TRUE(canvas->LoadProject(2));
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_TRUE(working() == full.mid(35 + original.size()));
    EXPECT_TRUE(holdsBuffer(canvas->workingTexture(), canvas->workingBuffer(), 64, 32));
}

TEST_F(ProjectFileTest, StartLoadLeavesItsSketchesUntilTheyAreNeeded)
{
    // The program's start: the canvas opens slot 0 and shows its working picture,
    // leaving the sketches and the original's texture to finishLoading() or to
    // the first thing that needs them (here a dab from the black sketch, or a
    // buffer replacement). Either way the canvas ends as a whole load leaves it.
    ASSERT_TRUE(writeFile(slotPath(0), header(32, 64, 30, 50) + patternBuffer(64, 32, 2) + patternBuffer(64, 32, 3)));
    const auto start = [] {
        CanvasView::setLeaveStartSketches(true);
        std::unique_ptr<CanvasView> started(CanvasView::create(QRectF(0, 70, 320, 390)));
        CanvasView::setLeaveStartSketches(false);
        return started;
    };
    const auto finishedAsAWholeLoad = [](CanvasView& c) {
        c.setCurrentContext();
        const std::vector<std::pair<const Texture2D*, const std::uint8_t*>> textures{
            {c.originalTexture(), c.originalBuffer()},
            {c.blackSketchTexture(), c.blackSketchBuffer()},
            {c.colorSketchTexture(), c.colorSketchBuffer()}};
        for (const auto& [texture, buffer] : textures)
            EXPECT_TRUE(holdsBuffer(texture, buffer, 64, 32));
        expectSketchesOf(c, patternBuffer(64, 32, 2));
    };

    std::unique_ptr<CanvasView> shown = start();
    ASSERT_TRUE(shown && shown->isLoaded());
    shown->setCurrentContext();
    EXPECT_TRUE(holdsBuffer(shown->workingTexture(), shown->workingBuffer(), 64, 32)) << "shown before the rest";
    shown->finishLoading();
    finishedAsAWholeLoad(*shown);

    std::unique_ptr<CanvasView> painted = start();
    ASSERT_TRUE(painted);
    std::unique_ptr<CanvasView> reference(CanvasView::create(QRectF(0, 70, 320, 390)));
    ASSERT_TRUE(reference);
    for (CanvasView* c : {painted.get(), reference.get()}) {
        c->setCurrentContext();
        ASSERT_TRUE(c->DrawCanvas(FloatPoint{160, 195}, 0));
    }
    EXPECT_TRUE(bytesOf(painted->workingBuffer(), 64 * 32 * 4) == bytesOf(reference->workingBuffer(), 64 * 32 * 4));
    finishedAsAWholeLoad(*painted);

    std::unique_ptr<CanvasView> replaced = start();
    ASSERT_TRUE(replaced);
    replaced->FreeBuff();  // joins the filter before its buffers go
    EXPECT_EQ(replaced->blackSketchBuffer(), nullptr);
}
