// The bounds of the drawing record: what laying a dab again costs, the reader
// that checks a record in one pass against the bounds, and the history that gives
// the record up when painting passes them.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <vector>

#include "project/FullResolutionRecord.h"
#include "project/StrokeHistory.h"

namespace {

using Dab = StrokeHistory::Dab;

FullResolutionRecord recordOf(std::vector<Dab> dabs)
{
    FullResolutionRecord record;
    record.width = 1024;
    record.height = 1024;
    record.picsize = {1024, 768};
    record.startSource = FullResolutionRecord::Photo;
    record.photoBytes = 1;
    record.dabs = std::move(dabs);
    return record;
}

// A square dab over the top edge whose box is columns 44..555 and rows 0..7 of a
// 1024 x 1024 buffer: (512 + 512) x 8 = 8192, so 2^20 of them cost 2^33, both
// bounds at once.
const Dab kStrip{FloatPoint{300.0f, -248.0f}, 255.5f, 1, 2};

// A device of `size` bytes that holds `head` and then zeros, counting the bytes
// read (unbuffered: each read the reader asks for), without keeping them.
class CountingDevice : public QIODevice {
public:
    CountingDevice(QByteArray head, qint64 size) : mHead(std::move(head)), mSize(size) { open(ReadOnly | Unbuffered); }
    qint64 size() const override { return mSize; }
    qint64 bytesRead = 0;

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const qint64 n = std::min(max, mSize - pos());
        for (qint64 i = 0; i < n; ++i)
            data[i] = pos() + i < mHead.size() ? mHead[pos() + i] : '\0';
        bytesRead += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray mHead;
    qint64 mSize;
};

}  // namespace

TEST(DrawingRecordBounds, DabCostIsTheClippedBoxWithEachRowCountedLonger)
{
    struct Case {
        const char* what;
        Dab dab;
        int width, height;
        std::uint64_t cost;  // worked out by hand from the box
    };
    const Case cases[] = {
        // Box columns trunc(90.5)..trunc(110.5) = 90..110, rows alike: 21 x 21.
        {"inside", {{100.5f, 100.5f}, 10.0f, 0, 0}, 1024, 1024, (21 + 512) * 21},
        {"round counts its box", {{100.5f, 100.5f}, 10.0f, 1, 0}, 1024, 1024, (21 + 512) * 21},
        // Columns trunc(-7.5) = -7 clipped to 0 .. 12, rows 40..60.
        {"over the left edge", {{2.5f, 50.0f}, 10.0f, 0, 0}, 1024, 1024, (13 + 512) * 21},
        // Columns 118..127 and rows 54..63 of a 128 x 64 buffer.
        {"over the right and bottom edges", {{128.0f, 64.0f}, 10.0f, 0, 0}, 128, 64, (10 + 512) * 10},
        {"the whole buffer", {{512.0f, 512.0f}, 5000.0f, 1, 0}, 1024, 1024, (1024 + 512) * 1024},
        {"the strip", kStrip, 1024, 1024, 8192},
        {"outside", {{-20.0f, 5.0f}, 10.0f, 0, 0}, 1024, 1024, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrokeHistory::dabCost(c.dab, c.width, c.height), c.cost) << c.what;
}

TEST(DrawingRecordBounds, ARecordAtBothBoundsIsReadAndOnePastEitherIsRefused)
{
    ASSERT_EQ(FullResolutionRecord::kMaxDabs, std::size_t(1) << 20);
    ASSERT_EQ(FullResolutionRecord::kMaxCost, std::uint64_t(1) << 33);
    const QByteArray atBounds = recordOf(std::vector<Dab>(FullResolutionRecord::kMaxDabs, kStrip)).encode();
    const int last = atBounds.size() - int(FullResolutionRecord::kDabSize);

    QByteArray wider = atBounds;  // the last dab a column wider: 8 more
    const float radius = 256.0f;
    std::memcpy(wider.data() + last + 8, &radius, 4);
    QByteArray oneMore = atBounds;  // a dab that costs nothing, past the count
    const std::uint32_t count = std::uint32_t(FullResolutionRecord::kMaxDabs + 1);
    std::memcpy(oneMore.data() + FullResolutionRecord::kHeaderSize - 4, &count, 4);
    const Dab outside{{-20.0f, 5.0f}, 10.0f, 0, 0};
    oneMore += recordOf({outside}).encode().mid(int(FullResolutionRecord::kHeaderSize));

    struct Case {
        const char* what;
        const QByteArray& bytes;
        bool read;
    };
    for (const Case& c : {Case{"at both bounds", atBounds, true}, Case{"cost one column past", wider, false},
                          Case{"one dab past", oneMore, false}}) {
        FullResolutionRecord back;
        EXPECT_EQ(FullResolutionRecord::decode(c.bytes, &back), c.read) << c.what;
        EXPECT_EQ(back.dabs.size(), c.read ? FullResolutionRecord::kMaxDabs : 0u) << c.what;
    }
}

TEST(DrawingRecordBounds, ARecordIsJudgedAsItIsReadAndNeverReadPastItsFault)
{
    const QByteArray header = recordOf({}).encode();
    const auto withCount = [&](std::uint32_t count) {
        QByteArray h = header;
        std::memcpy(h.data() + FullResolutionRecord::kHeaderSize - 4, &count, 4);
        return h;
    };
    const qint64 headerSize = qint64(FullResolutionRecord::kHeaderSize);
    const auto length = [&](std::uint64_t dabs) { return headerSize + qint64(20 * dabs); };
    // Zeros as dabs are at the origin, radius 0: they cost nothing and are well
    // formed. A NaN radius in dab 5000 (the second block of 4096) is damage.
    QByteArray nanAt5000 = withCount(1 << 20);
    nanAt5000.resize(length(5001));
    const float nan = std::nanf("");
    std::memcpy(nanAt5000.data() + length(5000) + 8, &nan, 4);

    struct Case {
        const char* what;
        QByteArray head;
        qint64 size;
        bool read;
        qint64 mostRead;
    };
    const Case cases[] = {
        {"2^24 dabs, the file that long: the header only", withCount(1 << 24), length(1 << 24), false, headerSize},
        {"a length that does not fit the count: the header only", withCount(10), length(11), false, headerSize},
        {"damage in the second block: two blocks", nanAt5000, length(1 << 20), false, length(2 * 4096)},
        {"whole: every byte and one more asked for", withCount(9000), length(9000), true, length(9000)},
    };
    for (const Case& c : cases) {
        CountingDevice device(c.head, c.size);
        FullResolutionRecord back;
        EXPECT_EQ(FullResolutionRecord::read(device, &back), c.read) << c.what;
        EXPECT_LE(device.bytesRead, c.mostRead) << c.what;
        if (c.read) {
            EXPECT_EQ(device.bytesRead, c.mostRead) << c.what;
        }
    }

    // A file read through the same path as bytes in memory.
    QTemporaryDir dir;
    QFile file(dir.filePath("r.strokes"));
    const QByteArray bytes = recordOf({kStrip, {{3.0f, 4.0f}, 2.0f, 0, 1}}).encode();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    FullResolutionRecord back;
    ASSERT_TRUE(FullResolutionRecord::read(file, &back));
    EXPECT_EQ(back.encode(), bytes);
}

namespace {

struct Picture {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(std::size_t(1024) * 1024 * 4, 7);
    StrokeHistory::Pixels pixels() { return {bytes.data(), 1024, 1024, 1024, 768}; }
};

// A stroke of `dabs` dabs over the whole buffer, each costing (1024 + 512) x 1024.
void wholeStroke(StrokeHistory& h, Picture& p, int dabs, std::uint8_t value, bool end = true)
{
    h.beginStroke(p.pixels());
    h.aboutToChange(p.pixels(), 0, 0, 9, 0);
    for (int i = 0; i < 10; ++i)
        p.bytes[std::size_t(i) * 4] = value;
    for (int i = 0; i < dabs; ++i)
        h.addDab({{512.0f, 512.0f}, 5000.0f, 1, 2});
    if (end)
        h.endStroke(p.pixels());
}

}  // namespace

TEST(DrawingRecordBounds, PaintingPastTheBoundGivesTheRecordUpAndKeepsEveryStroke)
{
    // 2^33 / (1536 x 1024) = 5461.3: dab 5462 passes the cost bound.
    constexpr int kFit = 5461;
    struct Case {
        const char* what;
        int first;        // dabs of a first stroke
        bool undoFirst;   // undone before the second
        int second;       // dabs of the second stroke
        bool kept;
    };
    const Case cases[] = {
        {"one stroke at the bound", kFit, false, 0, true},
        {"one stroke past it", kFit + 1, false, 0, false},
        {"two strokes past it", 3000, false, kFit - 2999, false},
        {"two at the bound", 3000, false, kFit - 3000, true},
        {"the first undone makes room", 3000, true, kFit - 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Picture p;
        StrokeHistory h;
        wholeStroke(h, p, c.first, 1);
        if (c.undoFirst) {
            ASSERT_TRUE(h.undo(p.pixels(), nullptr));
        }
        if (c.second > 0)
            wholeStroke(h, p, c.second, 2, false);  // still open
        EXPECT_EQ(h.recordKept(), c.kept);
        const std::size_t dabs = std::size_t(c.undoFirst ? 0 : c.first) + std::size_t(c.second);
        EXPECT_EQ(h.recordedDabs().size(), c.kept ? dabs : 0u);
        EXPECT_EQ(h.recordedDabCount(), c.kept ? dabs : 0u);
        EXPECT_EQ(h.recordedCost(), c.kept ? dabs * 1536 * 1024 : 0u);
        if (c.second > 0) {
            EXPECT_TRUE(h.endStroke(p.pixels()));
        }
        // Every stroke stays undoable, its pixels restored.
        const std::size_t strokes = (c.undoFirst ? 0u : 1u) + (c.second > 0 ? 1u : 0u);
        EXPECT_EQ(h.undoCount(), strokes);
        while (h.undo(p.pixels(), nullptr)) {
        }
        EXPECT_EQ(p.bytes[0], 7);
        EXPECT_EQ(h.recordKept(), c.kept) << "given up for good";
        EXPECT_TRUE(h.dabs().empty());
    }

    // A new history keeps its record again.
    Picture p;
    StrokeHistory h;
    wholeStroke(h, p, kFit + 1, 1);
    ASSERT_FALSE(h.recordKept());
    h.restoreRecord(p.pixels(), std::vector<Dab>(kFit, Dab{{512.0f, 512.0f}, 5000.0f, 1, 2}));
    EXPECT_TRUE(h.recordKept());
    EXPECT_EQ(h.dabs().size(), std::size_t(kFit));
    h.restoreRecord(p.pixels(), std::vector<Dab>(kFit + 1, Dab{{512.0f, 512.0f}, 5000.0f, 1, 2}));
    EXPECT_FALSE(h.recordKept());
}
