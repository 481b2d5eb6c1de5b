// The project document on its own: no GL context, no view, no friend access.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "project/ProjectDocument.h"
#include "project/ProjectSideFiles.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "system/DocumentsDirectory.h"
#include "base/PixelMemory.h"
#include "support/ImportTestFiles.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A byte of buffer `b` (0 black, 1 colour, 2 original, 3 working) at index i.
std::uint8_t patternByte(int b, std::size_t i)
{
    return std::uint8_t(i * 7 + std::size_t(b) * 61 + (i >> 9) * 3);
}

PixelBlock patternBlock(int b, int width, int height)
{
    const std::size_t n = std::size_t(width) * std::size_t(height) * 4;
    PixelBlock block = PixelMemory::allocate(n);
    for (std::size_t i = 0; i < n; ++i)
        block[i] = patternByte(b, i);
    return block;
}

Bytes copyOf(const std::uint8_t* data, const ProjectDocument& d)
{
    return data ? Bytes(data, data + std::size_t(d.bufferWidth()) * std::size_t(d.bufferHeight()) * 4) : Bytes();
}

void fill(std::uint8_t* data, const ProjectDocument& d, int b)
{
    const std::size_t n = std::size_t(d.bufferWidth()) * std::size_t(d.bufferHeight()) * 4;
    for (std::size_t i = 0; i < n; ++i)
        data[i] = patternByte(b, i);
}

// A loaded project of patterned buffers, made the way a new project is.
void makeProject(ProjectDocument& d, int width, int height, FloatSize picsize, QByteArray photo = {})
{
    d.startNewProject(patternBlock(2, width, height), width, height, picsize, std::move(photo));
    ASSERT_TRUE(d.allocateBuffers(false));
    fill(d.blackSketchBuffer(), d, 0);
    fill(d.colorSketchBuffer(), d, 1);
    fill(d.workingBuffer(), d, 3);
    d.awaitStartImage();
    ASSERT_TRUE(d.chooseStartImage(2));
}

// Everything of the document a failed load must leave as it was.
struct Snapshot {
    int width, height;
    FloatSize picsize;
    bool loaded, choosing;
    const std::uint8_t* pointers[4];
    Bytes contents[4];
    static Snapshot of(const ProjectDocument& d)
    {
        const std::uint8_t* p[4] = {d.originalBuffer(), d.blackSketchBuffer(), d.colorSketchBuffer(),
                                    d.workingBuffer()};
        Snapshot s{d.bufferWidth(), d.bufferHeight(), d.pictureSize(), d.isLoaded(), d.isChoosingStartImage(),
                   {p[0], p[1], p[2], p[3]}, {}};
        for (int i = 0; i < 4; ++i)
            s.contents[i] = copyOf(p[i], d);
        return s;
    }
    void expectSame(const Snapshot& o) const
    {
        EXPECT_EQ(width, o.width);
        EXPECT_EQ(height, o.height);
        EXPECT_EQ(picsize, o.picsize);
        EXPECT_EQ(loaded, o.loaded);
        EXPECT_EQ(choosing, o.choosing);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(pointers[i], o.pointers[i]) << i;
            EXPECT_TRUE(contents[i] == o.contents[i]) << i;
        }
    }
};

QString slotFile(int slot)
{
    return DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(slot));
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace

TEST(ProjectDocument, BuffersAreAllocatedAtTheGeometryAndFreedWithoutTouchingIt)
{
    ProjectDocument d;
    d.setGeometry(1024, 1024, {1024, 1024});
    ASSERT_TRUE(d.allocateBuffers(true));
    d.workingBuffer()[1024 * 1024 * 4 - 1] = 7;  // the whole 4 MiB block is writable
    EXPECT_NE(d.originalBuffer(), nullptr);
    EXPECT_NE(d.blackSketchBuffer(), nullptr);
    EXPECT_NE(d.colorSketchBuffer(), nullptr);

    // Without the original, the imported one stays.
    ProjectDocument imported;
    imported.startNewProject(patternBlock(2, 4, 4), 4, 4, {4, 4}, {});
    const std::uint8_t* original = imported.originalBuffer();
    ASSERT_TRUE(imported.allocateBuffers(false));
    EXPECT_EQ(imported.originalBuffer(), original);

    d.freeBuffers();
    d.freeBuffers();
    EXPECT_EQ(d.originalBuffer(), nullptr);
    EXPECT_EQ(d.workingBuffer(), nullptr);
    EXPECT_EQ(d.pictureSize(), (FloatSize{1024, 1024}));
}

TEST(ProjectDocument, AnyFailedAllocationFreesAllFourAndKeepsGeometryAndLoaded)
{
    for (int failing = 1; failing <= 3; ++failing) {
        ProjectDocument d;
        d.startNewProject(patternBlock(2, 8, 8), 8, 8, {8, 8}, {});
        d.setLoaded(true);
        PixelMemory::failAllocation(failing);
        EXPECT_FALSE(d.allocateBuffers(false)) << failing;
        PixelMemory::failAllocation(0);
        EXPECT_EQ(d.originalBuffer(), nullptr) << "the imported original goes too";
        EXPECT_EQ(d.blackSketchBuffer(), nullptr);
        EXPECT_EQ(d.colorSketchBuffer(), nullptr);
        EXPECT_EQ(d.workingBuffer(), nullptr);
        EXPECT_EQ(d.bufferWidth(), 8);
        EXPECT_TRUE(d.isLoaded());
    }
}

// The start image goes into the picture area only, every column and row it
// touches (a fractional side included); the rest keeps what it held.
TEST(ProjectDocument, StartImageCopiesThePictureAreaOnly)
{
    struct Case {
        int width, height;
        FloatSize picsize;
        int source;  // 0 black, 1 colour, 2 photo; the buffer it copies from
        int copied;
    };
    const Case cases[] = {
        {8, 8, {5.5f, 3.0f}, 0, 0}, {8, 8, {8, 8}, 1, 1}, {16, 4, {1, 4}, 2, 2}, {4, 8, {3.25f, 7.5f}, 7, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        ProjectDocument d;
        d.startNewProject(patternBlock(2, c.width, c.height), c.width, c.height, c.picsize, QByteArray("photo"));
        ASSERT_TRUE(d.allocateBuffers(false));
        fill(d.blackSketchBuffer(), d, 0);
        fill(d.colorSketchBuffer(), d, 1);
        std::memset(d.workingBuffer(), 0xEE, std::size_t(c.width) * std::size_t(c.height) * 4);
        EXPECT_FALSE(d.chooseStartImage(c.source)) << "no start awaited yet";
        d.awaitStartImage();
        ASSERT_TRUE(d.chooseStartImage(c.source));

        const int columns = int(std::ceil(c.picsize.width));
        const int rows = int(std::ceil(c.picsize.height));
        Bytes expected(std::size_t(c.width) * std::size_t(c.height) * 4, 0xEE);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                for (int k = 0; k < 4; ++k) {
                    const std::size_t i = (std::size_t(y) * std::size_t(c.width) + std::size_t(x)) * 4 + std::size_t(k);
                    expected[i] = patternByte(c.copied, i);
                }
        EXPECT_TRUE(copyOf(d.workingBuffer(), d) == expected);
        EXPECT_TRUE(d.isLoaded());
        EXPECT_FALSE(d.isChoosingStartImage());
        EXPECT_EQ(d.startSource(), c.copied);
        EXPECT_TRUE(d.hasPhoto());
        EXPECT_FALSE(d.chooseStartImage(c.source)) << "the start is chosen once";
    }
}

TEST(ProjectDocument, WhileChoosingTheProjectToSaveIsTheOneReplaced)
{
    ProjectDocument d;
    makeProject(d, 8, 4, {6, 3});
    const Bytes original = copyOf(d.originalBuffer(), d);
    const Bytes working = copyOf(d.workingBuffer(), d);
    const auto savedIsFirst = [&](const ProjectDocument::ProjectImages& p) {
        ASSERT_NE(p.original, nullptr);
        EXPECT_EQ(p.width, 8);
        EXPECT_EQ(p.height, 4);
        EXPECT_EQ(p.picsize, (FloatSize{6, 3}));
        EXPECT_TRUE(Bytes(p.original, p.original + original.size()) == original);
        EXPECT_TRUE(Bytes(p.working, p.working + working.size()) == working);
    };

    // A new project of another size, and a second one before the choice.
    for (int width : {16, 2}) {
        d.startNewProject(patternBlock(1, width, width), width, width, {float(width), float(width)}, {});
        ASSERT_TRUE(d.allocateBuffers(false));
        d.awaitStartImage();
        EXPECT_EQ(d.bufferWidth(), width);
        savedIsFirst(d.projectToSave());
    }
    ASSERT_TRUE(d.chooseStartImage(1));
    EXPECT_EQ(d.projectToSave().width, 2);
    EXPECT_EQ(d.projectToSave().working, d.workingBuffer());

    // A new project that finds no memory gives up the one set aside too.
    d.startNewProject(patternBlock(1, 4, 4), 4, 4, {4, 4}, {});
    d.abandonNewProject();
    EXPECT_EQ(d.projectToSave().original, nullptr);
    EXPECT_FALSE(d.isLoaded());
}

// Saved, then loaded by the plain load into another document: the stored buffers
// come back byte for byte, the spare area included; the sketches are the
// filter's over the original; the photo and drawing record come back with them.
TEST(ProjectDocument, SaveThenLoadGivesTheProjectBackByteForByte)
{
    const QByteArray photo = ImportTestFiles::jpegBytes(ImportTestFiles::photoLikePicture(40, 30));
    ProjectDocument saved;
    makeProject(saved, 64, 32, {40.0f, 30.0f}, photo);
    saved.history().beginStroke(saved.historyPixels());
    saved.recordDab(StrokeHistory::Dab{{10.0f, 12.0f}, 4.0f, 0, 1});
    saved.recordDab(StrokeHistory::Dab{{20.5f, 7.0f}, 3.0f, 1, 0});
    saved.history().endStroke(saved.historyPixels());
    ASSERT_TRUE(saved.saveSlot(3));

    // The file is the codec's encoding of the two buffers (the save time aside).
    QFile file(slotFile(3));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ProjectCodec::Header header;
    header.width = 64;
    header.height = 32;
    header.picsize = {40.0f, 30.0f};
    const std::vector<std::uint8_t> encoded =
        ProjectCodec::encodeProject(header, saved.originalBuffer(), saved.workingBuffer());
    ASSERT_EQ(std::size_t(bytes.size()), encoded.size());
    EXPECT_EQ(std::memcmp(bytes.constData() + 19, encoded.data() + 19, encoded.size() - 19), 0);
    EXPECT_FALSE(saved.thumbnail().isEmpty());
    EXPECT_TRUE(QFile::exists(DocumentsDirectory::filePath(ProjectSlotFiles::thumbnailFileName(3))));

    ProjectDocument loaded;
    makeProject(loaded, 8, 8, {8, 8});
    QString reason, photoFile;
    ASSERT_TRUE(loaded.loadFile(ProjectDocument::slotPath(3), &reason, &photoFile)) << reason.toStdString();
    EXPECT_EQ(loaded.bufferWidth(), 64);
    EXPECT_EQ(loaded.bufferHeight(), 32);
    EXPECT_EQ(loaded.pictureSize(), (FloatSize{40.0f, 30.0f}));
    EXPECT_TRUE(copyOf(loaded.originalBuffer(), loaded) == copyOf(saved.originalBuffer(), saved));
    EXPECT_TRUE(copyOf(loaded.workingBuffer(), loaded) == copyOf(saved.workingBuffer(), saved))
        << "the sketches leave the working image as stored";
    Bytes black(copyOf(loaded.blackSketchBuffer(), loaded).size()), color(black.size()), grey(black.size());
    SketchBuffers reference{loaded.originalBuffer(), grey.data(), black.data(), color.data(), 64, 32, {40, 30}};
    buildSketchReference(reference);
    const Bytes loadedBlack = copyOf(loaded.blackSketchBuffer(), loaded);
    const Bytes loadedColor = copyOf(loaded.colorSketchBuffer(), loaded);
    for (int y = 0; y < 30; ++y) {
        const std::size_t row = std::size_t(y) * 64 * 4;
        ASSERT_EQ(std::memcmp(loadedBlack.data() + row, black.data() + row, 40 * 4), 0) << y;
        ASSERT_EQ(std::memcmp(loadedColor.data() + row, color.data() + row, 40 * 4), 0) << y;
    }
    EXPECT_TRUE(loaded.isLoaded());
    EXPECT_TRUE(loaded.hasPhoto());
    EXPECT_EQ(photoFile, ProjectSideFiles::photoPath(slotFile(3)));
    EXPECT_EQ(loaded.startSource(), 2);
    EXPECT_EQ(loaded.history().recordedDabs(), saved.history().recordedDabs());
    EXPECT_EQ(loaded.history().recordedDabs().size(), 2u);
    EXPECT_FALSE(loaded.history().canUndo());

    // Another save of the loaded project gives the same file (save time aside).
    ASSERT_TRUE(loaded.saveSlot(4));
    QFile again(slotFile(4));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll().mid(19), bytes.mid(19));
}

// A file that fails the checks, or a load that finds no memory, leaves the
// document exactly as it was, with the tool's one-line reason.
TEST(ProjectDocument, AFailedLoadLeavesTheDocumentAsItWas)
{
    const QString dir = DocumentsDirectory::path();
    ProjectDocument source;
    makeProject(source, 16, 16, {12, 10});
    ASSERT_TRUE(source.saveSlot(5));
    QFile whole(slotFile(5));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray good = whole.readAll();
    ProjectCodec::Header wide;
    wide.width = 3;
    wide.height = 4;
    wide.picsize = {3, 4};
    const auto wideHeader = ProjectCodec::encodeHeader(wide);

    struct Case {
        const char* name;
        QByteArray bytes;  // none: made below
        int failAllocation;
        const char* reason;
    };
    const Case cases[] = {
        {"short.dat", good.left(20), 0, "file is shorter than the 35-byte header"},
        {"cut.dat", good.left(good.size() - 1), 0, "pixel data is truncated"},
        {"wide.dat", QByteArray(reinterpret_cast<const char*>(wideHeader.data()), 35) + QByteArray(96, 0), 0,
         "buffer size is not a power of two from 1 to 1024"},
        {"missing.dat", {}, 0, "file not found"},
        {"fifo.dat", {}, 0, "not a regular file"},
        {"memory.dat", good, 3, "not enough memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QDir(dir).filePath(c.name);
        if (QByteArray(c.name) == "fifo.dat") {
            ASSERT_EQ(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        } else if (!c.bytes.isEmpty()) {
            ASSERT_TRUE(writeBytes(path, c.bytes));
        }
        ProjectDocument d;
        makeProject(d, 8, 8, {7, 5});
        const Snapshot before = Snapshot::of(d);
        QString reason;
        PixelMemory::failAllocation(c.failAllocation);
        EXPECT_FALSE(d.loadFile(path, &reason));
        PixelMemory::failAllocation(0);
        EXPECT_EQ(reason, QString::fromLatin1(c.reason));
        Snapshot::of(d).expectSame(before);
        EXPECT_EQ(d.projectToSave().working, d.workingBuffer());
    }

    // The view's steps tell a shortage of memory apart from a refused file.
    ProjectDocument d;
    ProjectDocument::PendingLoad load;
    PixelMemory::failAllocation(1);
    EXPECT_EQ(d.checkLoad(slotFile(5), load), ProjectDocument::LoadCheck::LowMemory);
    PixelMemory::failAllocation(0);
    ProjectDocument::PendingLoad refused;
    EXPECT_EQ(d.checkLoad(QDir(dir).filePath("short.dat"), refused), ProjectDocument::LoadCheck::Refused);
}

// A load into buffers of the same size takes them over instead of allocating.
TEST(ProjectDocument, ALoadOfTheSameSizeKeepsTheBuffers)
{
    ProjectDocument saved;
    makeProject(saved, 16, 8, {16, 8});
    ASSERT_TRUE(saved.saveSlot(6));
    ProjectDocument d;
    makeProject(d, 16, 8, {9, 2});
    const std::uint8_t* working = d.workingBuffer();
    const std::uint8_t* original = d.originalBuffer();
    ASSERT_TRUE(d.loadFile(ProjectDocument::slotPath(6)));
    EXPECT_EQ(d.workingBuffer(), working);
    EXPECT_EQ(d.originalBuffer(), original);
    EXPECT_EQ(d.pictureSize(), (FloatSize{16, 8}));
    EXPECT_FALSE(d.hasPhoto()) << "a project saved without its photo";
}
