// Every input that ever upset the drawing-record reader, and the record fuzzer's
// seeds: the reader accepts exactly what the straightforward reader does, with the
// same fields, from bytes and from a pipe alike, and an accepted record encodes
// again to the bytes it came from.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "../fuzz/RecordReference.h"
#include "../fuzz/SequentialBytes.h"
#include "project/FullResolutionRecord.h"

#include "support/FuzzInputs.h"

namespace {

QFileInfoList inputs()
{
    return fuzzInputs("tests/fuzz-regressions/record", "fuzz/corpus/record");
}

}  // namespace

TEST(RecordFuzzRegression, ReaderAgreesWithTheStraightforwardOne)
{
    int accepted = 0, refused = 0;
    for (const QFileInfo& info : inputs()) {
        SCOPED_TRACE(info.fileName().toStdString());
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const std::optional<FullResolutionRecord> expected = RecordReference::read(bytes);
        FullResolutionRecord record;
        record.width = 7;
        const bool read = FullResolutionRecord::decode(bytes, &record);
        ASSERT_EQ(read, expected.has_value());
        SequentialBytes pipe(bytes);
        FullResolutionRecord piped;
        EXPECT_EQ(FullResolutionRecord::read(pipe, &piped), read);
        if (!read) {
            EXPECT_EQ(record.width, 7) << "a refused record leaves the one given alone";
            ++refused;
            continue;
        }
        EXPECT_TRUE(RecordReference::sameBits(record, *expected));
        EXPECT_TRUE(RecordReference::sameBits(piped, *expected));
        EXPECT_EQ(record.encode(), bytes);
        ++accepted;
    }
    EXPECT_GE(accepted, 5);
    EXPECT_GE(refused, 3);
}

// The straightforward reader is itself held to records built field by field.
TEST(RecordFuzzRegression, StraightforwardReaderReadsWhatTheEncoderWrites)
{
    FullResolutionRecord r;
    r.width = 640;
    r.height = 480;
    r.picsize = FloatSize{600.5f, 479.0f};
    r.startSource = FullResolutionRecord::ColorSketch;
    r.originalChecksum = 0x0102030405060708ull;
    r.workingChecksum = ~0ull;
    r.photoBytes = 1;
    r.photoChecksum = 42;
    r.dabs = {{FloatPoint{-0.0f, 3.5f}, 9.25f, 1, 2}, {FloatPoint{1e30f, -7.0f}, 0.0f, 0, 0}};
    const std::optional<FullResolutionRecord> read = RecordReference::read(r.encode());
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(RecordReference::sameBits(*read, r));

    struct Broken {
        const char* what;
        int at;
        std::uint8_t byte;
    };
    // One byte changed at a time, each breaking one rule.
    const Broken broken[] = {{"magic", 7, '2'},           {"width", 11, 0x80},       {"picture height", 23, 0xff},
                             {"start source", 24, 3},     {"reserved", 31, 1},       {"dab count", 64, 3},
                             {"dab x", 71, 0x7f},         {"dab shape", 80, 2},      {"dab source", 84, 3}};
    for (const Broken& b : broken) {
        SCOPED_TRACE(b.what);
        QByteArray bytes = r.encode();
        if (b.at == 71)
            bytes[70] = char(0x80);  // with 0x7f in the top byte: an infinity's exponent
        bytes[b.at] = char(b.byte);
        EXPECT_FALSE(RecordReference::read(bytes).has_value());
        FullResolutionRecord ignored;
        EXPECT_FALSE(FullResolutionRecord::decode(bytes, &ignored));
    }
}
