// Slot saves stopped right after each of their steps, as the program dying there
// would leave them: the slot must load as the save before or as the save being
// made, its full-size drawing included, never without it. And a save leaves the
// record and photo it would write unchanged alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "canvas/CanvasView.h"
#include "project/ImportFile.h"
#include "project/ProjectSideFiles.h"
#include "project/ProjectSlotFiles.h"
#include "project/SlotSave.h"
#include "widgets/ActionSheet.h"
#include "system/DocumentsDirectory.h"
#include "widgets/SegmentedControl.h"
#include "support/MouseDrag.h"
#include "support/ControlledCanvas.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"

namespace {

constexpr int kSlot = 4;

QString projectPath()
{
    return DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(kSlot));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The Documents folder's files by name, and putting them back.
using Folder = std::map<QString, QByteArray>;
Folder takeFolder()
{
    Folder folder;
    const QDir dir(DocumentsDirectory::path());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        folder[name] = readFile(dir.filePath(name));
    return folder;
}
void putFolder(const Folder& folder)
{
    QDir(DocumentsDirectory::path()).removeRecursively();
    const QDir dir(DocumentsDirectory::path());
    for (const auto& [name, bytes] : folder) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
}

ino_t inode(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

// How one project comes about: from which photo (1, 2, 3: photos of one byte
// size and different pixels), whether the photo's file is kept with it (else it
// has no full-size drawing), and how many of the strokes below are painted.
struct Recipe {
    int photo;
    bool keepPhoto;
    int strokes;
};

// What a load must give back of one save: the working image, and the dabs of its
// full-size drawing (none when it has none).
struct Saved {
    QByteArray working;
    std::vector<StrokeHistory::Dab> dabs;
    bool operator==(const Saved&) const = default;
};

// A canvas in a window of its own, with its controls.
class Painter : public ControlledCanvas {
public:
    Painter()
    {
        if (makeCanvas())
            window.show();
    }

    void make(const QString& photoFolder, const Recipe& recipe)
    {
        const QString photo = QDir(photoFolder).filePath(QStringLiteral("photo%1.bmp").arg(recipe.photo));
        canvas->NewProject(readImportFile(photo).image, recipe.keepPhoto ? photo : QString());
        QApplication::processEvents();
        canvas->actionSheetClickedButtonAtIndex(nullptr, recipe.photo % 3);
        for (ActionSheet* sheet : window.findChildren<ActionSheet*>())
            delete sheet;
        const std::vector<std::vector<QPoint>> strokes{
            {{30, 150}, {290, 230}}, {{160, 110}, {170, 300}, {60, 280}}, {{280, 120}, {40, 260}}};
        for (int i = 0; i < recipe.strokes; ++i) {
            toolbar.setSelectedSegmentIndex(i % 3);
            size.setSelectedSegmentIndex(1 + i % 2);
            shape.setSelectedSegmentIndex(i % 2);
            drag(strokes[std::size_t(i)]);
        }
        hasPhoto = recipe.keepPhoto;
    }

    void drag(const std::vector<QPoint>& path) { mouseDrag(canvas, path); }

    // The project as a load of its save gives it back.
    Saved saved() const
    {
        return {working(), hasPhoto ? canvas->strokeHistory().recordedDabs() : std::vector<StrokeHistory::Dab>()};
    }
    // The project just loaded.
    Saved loaded() const { return {working(), canvas->strokeHistory().dabs()}; }


private:
    QByteArray working() const
    {
        return QByteArray(reinterpret_cast<const char*>(canvas->workingBuffer()),
                          canvas->bufferWidth() * canvas->bufferHeight() * 4);
    }
    bool hasPhoto = false;
};

class SlotSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        QDir(DocumentsDirectory::path()).removeRecursively();
        // Uncompressed 96 x 64 pictures: one byte size, other pixels.
        for (int seed = 1; seed <= 3; ++seed) {
            QImage photo(96, 64, QImage::Format_RGB32);
            for (int y = 0; y < photo.height(); ++y)
                for (int x = 0; x < photo.width(); ++x)
                    photo.setPixel(x, y, qRgb((x * 5 * seed + y) & 255, (y * 7 + seed * 60) & 255, (x ^ y * seed) & 255));
            ASSERT_TRUE(photo.save(temp.filePath(QStringLiteral("photo%1.bmp").arg(seed)), "BMP"));
        }
        ASSERT_EQ(QFileInfo(temp.filePath("photo1.bmp")).size(), QFileInfo(temp.filePath("photo2.bmp")).size());
    }
    void TearDown() override { SlotSave::stopAfterStep(0); }

    // A painter holding the project of `recipe`; null without GL.
    std::unique_ptr<Painter> painter(const Recipe& recipe)
    {
        auto p = std::make_unique<Painter>();
        if (!p->canvas)
            return nullptr;
        p->make(temp.path(), recipe);
        return p;
    }

    // The save of `painter`, stopped after its `step`-th step (0: not stopped);
    // YES when it was stopped.
    static bool saveStopped(Painter& painter, int step)
    {
        SlotSave::stopAfterStep(step);
        const bool saved = painter.canvas->SaveProject(kSlot);
        SlotSave::stopAfterStep(0);
        const bool stopped = step > 0 && SlotSave::stepsTaken() == step;
        EXPECT_TRUE(saved || stopped);
        return stopped;
    }

    // The tool, from the slot's files as they are: whether it drew full.png.
    bool toolDrawsFullSize()
    {
        const QString out = QStringLiteral("out");
        QDir(temp.filePath(out)).removeRecursively();
        QProcess tool;
        tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {"--project", projectPath(), "-o", temp.filePath(out)});
        return tool.waitForFinished(60000) && tool.exitCode() == 0 &&
               QImage(temp.filePath(out + "/full.png")).size() == QSize(96, 64);
    }

    QTemporaryDir temp;
};

::testing::AssertionResult isOneOf(const Saved& got, const std::vector<Saved>& allowed)
{
    for (std::size_t i = 0; i < allowed.size(); ++i)
        if (got == allowed[i])
            return ::testing::AssertionSuccess() << "save " << i;
    return ::testing::AssertionFailure() << "the slot loads as none of the saves (" << got.dabs.size() << " dabs)";
}

}  // namespace

TEST_F(SlotSaveTest, SaveStoppedAfterAnyStepLoadsAsTheEarlierOrTheNewSave)
{
    struct Case {
        const char* what;
        Recipe earlier;
        Recipe later;
    };
    const Case cases[] = {
        {"more strokes on the same photo", {1, true, 1}, {1, true, 2}},
        {"a new photo of the same byte size", {1, true, 2}, {2, true, 1}},
        {"the same drawing saved again", {2, true, 2}, {2, true, 2}},
        {"a project without its photo", {1, true, 1}, {2, false, 2}},
        {"a photo where there was none", {1, false, 1}, {2, true, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(DocumentsDirectory::path()).removeRecursively();
        const std::unique_ptr<Painter> earlier = painter(c.earlier);
        if (!earlier)
            NO_GL_CONTEXT();
        ASSERT_TRUE(earlier->canvas->SaveProject(kSlot));
        const Folder before = takeFolder();
        const std::unique_ptr<Painter> later = painter(c.later);
        const std::vector<Saved> saves{earlier->saved(), later->saved()};
        ASSERT_NE(saves[0].dabs.empty() && saves[1].dabs.empty(), true);

        Painter& reader = *earlier;
        bool stoppedAsEarlier = false, stoppedAsLater = false;
        for (int step = 1;; ++step) {
            SCOPED_TRACE(::testing::Message() << "stopped after step " << step);
            putFolder(before);
            const bool stopped = saveStopped(*later, step);
            if (c.earlier.keepPhoto && c.later.keepPhoto) {
                EXPECT_TRUE(toolDrawsFullSize());
            }
            ASSERT_TRUE(reader.canvas->LoadProject(kSlot));
            const Saved got = reader.loaded();
            EXPECT_TRUE(isOneOf(got, saves));
            // The load settled what the stopped save left under the second names.
            EXPECT_FALSE(QFileInfo::exists(ProjectSideFiles::nextRecordPath(projectPath())));
            EXPECT_FALSE(QFileInfo::exists(ProjectSideFiles::nextPhotoPath(projectPath())));
            if (!stopped) {
                EXPECT_TRUE(got == saves[1]) << "a save run to its end";
                break;
            }
            (got == saves[0] ? stoppedAsEarlier : stoppedAsLater) = true;
            ASSERT_LT(step, 20);
        }
        // Two saves of one drawing cannot be told apart by what they load.
        if (!(saves[0] == saves[1])) {
            EXPECT_TRUE(stoppedAsLater) << "a stop after the project file";
            if (c.later.keepPhoto) {
                EXPECT_TRUE(stoppedAsEarlier) << "a stop before the project file (after a side file)";
            }
        }
    }
}

// A save stopped with files left under the second names, then the next save of
// the slot stopped too, before any load settled them: the slot loads as whichever
// save the first stop left, or as the second.
TEST_F(SlotSaveTest, SaveAfterAStoppedSaveKeepsWhatThatOneLeft)
{
    const std::unique_ptr<Painter> first = painter({1, true, 1});
    if (!first)
        NO_GL_CONTEXT();
    ASSERT_TRUE(first->canvas->SaveProject(kSlot));
    const Folder start = takeFolder();
    const std::unique_ptr<Painter> second = painter({2, true, 2});
    const std::unique_ptr<Painter> third = painter({3, true, 3});
    const std::vector<Saved> saves{first->saved(), second->saved(), third->saved()};
    Painter& reader = *first;

    for (int step = 1;; ++step) {
        putFolder(start);
        const bool stopped = saveStopped(*second, step);
        const Folder left = takeFolder();
        ASSERT_TRUE(reader.canvas->LoadProject(kSlot));
        const Saved afterFirstStop = reader.loaded();
        for (int nextStep = 1;; ++nextStep) {
            SCOPED_TRACE(::testing::Message() << "stopped after steps " << step << " and " << nextStep);
            putFolder(left);
            const bool nextStopped = saveStopped(*third, nextStep);
            ASSERT_TRUE(reader.canvas->LoadProject(kSlot));
            EXPECT_TRUE(isOneOf(reader.loaded(), {afterFirstStop, saves[2]}));
            if (!nextStopped)
                break;
            ASSERT_LT(nextStep, 20);
        }
        if (!stopped)
            break;
        ASSERT_LT(step, 20);
    }
}

// The quit save writes the same drawing again and again: its record and photo
// stay the files they are. A changed record, or a new photo even of the same byte
// size, is written, and the slot loads with it.
TEST_F(SlotSaveTest, UnchangedSideFilesAreLeftAloneChangedOnesReplaced)
{
    const std::unique_ptr<Painter> p = painter({1, true, 1});
    if (!p)
        NO_GL_CONTEXT();
    const std::unique_ptr<Painter> reader = painter({3, false, 0});
    const QString record = ProjectSideFiles::recordPath(projectPath());
    const QString photo = ProjectSideFiles::photoPath(projectPath());
    struct Step {
        const char* what;
        std::function<void()> change;
        int photo;  // the photo file the slot then keeps
        bool recordWritten;
        bool photoWritten;
    };
    const std::vector<Step> steps{
        {"the first save", [] {}, 1, true, true},
        {"saved again unchanged", [] {}, 1, false, false},
        {"another stroke", [&] { p->drag({{40, 300}, {250, 140}}); }, 1, true, false},
        {"saved again unchanged", [] {}, 1, false, false},
        {"a new photo of the same byte size", [&] { p->make(temp.path(), {2, true, 2}); }, 2, true, true},
        {"saved again unchanged", [] {}, 2, false, false},
    };
    ino_t recordInode = 0, photoInode = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.change();
        ASSERT_TRUE(p->canvas->SaveProject(kSlot));
        EXPECT_EQ(inode(record) != recordInode, s.recordWritten);
        EXPECT_EQ(inode(photo) != photoInode, s.photoWritten);
        recordInode = inode(record);
        photoInode = inode(photo);
        EXPECT_TRUE(readFile(photo) == readFile(temp.filePath(QStringLiteral("photo%1.bmp").arg(s.photo))));
        ASSERT_TRUE(reader->canvas->LoadProject(kSlot));
        EXPECT_TRUE(reader->loaded() == p->saved());
        EXPECT_FALSE(p->saved().dabs.empty());
    }
}

// A save whose project file cannot be written (the disk full part way) answers
// NO and leaves the slot as it was: the earlier save loads with its full-size
// drawing, and nothing written for the failed one stays behind.
TEST_F(SlotSaveTest, ProjectFileThatCannotBeWrittenLeavesTheEarlierSaveWhole)
{
    const std::unique_ptr<Painter> earlier = painter({1, true, 1});
    if (!earlier)
        NO_GL_CONTEXT();
    ASSERT_TRUE(earlier->canvas->SaveProject(kSlot));
    const Folder before = takeFolder();
    const std::unique_ptr<Painter> later = painter({2, true, 2});

    // Room for the photo and the record (some 18 KB each at most), not for the
    // 64 KB project file.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 40000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CanvasView::SaveFailure failure;
    const bool result = later->canvas->SaveProject(kSlot, &failure);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(result);
    EXPECT_EQ(failure.file, projectPath());
    EXPECT_TRUE(takeFolder() == before) << "no file changed, none left";
    ASSERT_TRUE(earlier->canvas->LoadProject(kSlot));
    EXPECT_TRUE(earlier->loaded() == earlier->saved());
}

// The second names are the slot's own files, settled by a load or save; only the
// temporary files that writing them leaves when cut off are removed at start.
TEST(SlotSaveNames, TemporariesOfTheSecondNamesAreLeftoversTheSecondNamesAreNot)
{
    const struct {
        const char* name;
        bool leftover;
    } cases[] = {
        {"project4.next.strokes", false},      {"project4.next.photo", false},
        {"project4.next.strokes.aB3dE9", true}, {".project4.next.photo.Zz0099", true},
        {"project4.next.dat.aB3dE9", false},
        {"project12.dat.abc123", true},         {"thumbnail3.jpg.ABCdef", true},
        {"project.dat.abc123", false},          {"thumbnail3.jpgx.abc123", false},
        {"..project1.dat.abc123", false},       {"project1.dat.abc12\u00e9", false},
        {"project1.dat-abc123", false},         {"project1.dat.abc_12", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DocumentsDirectory::isLeftoverTemporary(QString::fromUtf8(c.name)), c.leftover) << c.name;
    EXPECT_EQ(ProjectSideFiles::nextRecordPath("/d/project4.dat"), "/d/project4.next.strokes");
    EXPECT_EQ(ProjectSideFiles::nextPhotoPath("/d/project4.dat"), "/d/project4.next.photo");
}
