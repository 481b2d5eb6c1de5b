// Every input that ever upset the HEVC parameter-set or AV1 sequence-header
// reader, and their fuzzers' seeds (the streams of small HEIC and AVIF files): each
// reader answers what the straightforward one in the fuzzers answers. For a seed,
// the AV1 reader finds the picture's size (named in the seed's file name) and the
// HEVC reader a coded size that holds it (the encoder pads to whole blocks, the
// file crops them off).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "../fuzz/StreamHeaderReference.h"
#include "imageio/Av1SequenceHeader.h"
#include "imageio/HevcParameterSets.h"
#include "support/FuzzInputs.h"

namespace {

QFileInfoList inputs(const char* name)
{
    const QByteArray kept = QByteArray("tests/fuzz-regressions/") + name;
    const QByteArray seeds = QByteArray("fuzz/corpus/") + name;
    return fuzzInputs(kept.constData(), seeds.constData());
}

QByteArray bytesOf(const QFileInfo& info)
{
    QFile file(info.filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture size a seed's name ends with.
std::optional<QSize> seedSize(const QFileInfo& info)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("-(\\d+)x(\\d+)$")).match(info.fileName());
    if (!info.filePath().contains(QStringLiteral("/corpus/")) || !m.hasMatch())
        return std::nullopt;
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

}  // namespace

TEST(StreamHeaderFuzzRegression, HevcReaderAgreesWithTheStraightforwardOne)
{
    int seeds = 0;
    for (const QFileInfo& info : inputs("hevc")) {
        SCOPED_TRACE(info.fileName().toStdString());
        const QByteArray bytes = bytesOf(info);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const std::size_t size = std::size_t(bytes.size());
        QSize largest;
        const bool read = HevcParameterSets::largestPictureSize(data, size, &largest);
        const std::optional<QSize> expected = StreamHeaderReference::hevcLargest(data, size);
        ASSERT_EQ(read, expected.has_value());
        if (read) {
            EXPECT_EQ(largest, *expected);
        }
        if (const std::optional<QSize> seed = seedSize(info)) {
            EXPECT_TRUE(read);
            EXPECT_EQ(largest.expandedTo(*seed), largest);
            ++seeds;
        }
        const bool sps = size >= 2 && ((data[0] >> 1) & 63) == 33;
        EXPECT_EQ(HevcParameterSets::pictureSize(data, size),
                  sps ? StreamHeaderReference::hevcSpsSize(data, size) : std::optional<QSize>());
    }
    EXPECT_GE(seeds, 5);
}

TEST(StreamHeaderFuzzRegression, Av1ReaderAgreesWithTheStraightforwardOne)
{
    int seeds = 0;
    for (const QFileInfo& info : inputs("av1")) {
        SCOPED_TRACE(info.fileName().toStdString());
        const QByteArray bytes = bytesOf(info);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        QSize largest;
        const bool read = Av1SequenceHeader::largestFrameSize(data, std::size_t(bytes.size()), &largest);
        const std::optional<QSize> expected = StreamHeaderReference::av1Largest(data, std::size_t(bytes.size()));
        ASSERT_EQ(read, expected.has_value());
        if (read) {
            EXPECT_EQ(largest, *expected);
        }
        if (const std::optional<QSize> seed = seedSize(info)) {
            EXPECT_TRUE(read);
            EXPECT_EQ(largest, *seed);
            ++seeds;
        }
    }
    EXPECT_GE(seeds, 4);
}

// Hand-made units the seeds do not hold: an emulation prevention byte inside the
// size, sub-layers, and the AV1 header's timing and decoder model.
TEST(StreamHeaderFuzzRegression, StraightforwardReadersReadHandMadeUnits)
{
    // SPS, no sub-layers: 4 + 3 + 1 bits, 96 of profile and level, then ue(v)s:
    // id 0 ("1"), chroma 1 ("010"), width 2^15 - 1 + 2^15 - 1 (15 zeros, 1, 15
    // ones) and height 1 ("010").
    std::string bits = "0000" "000" "1" + std::string(96, '0') + "1" + "010" + std::string(15, '0') + "1" +
                       std::string(15, '1') + "010";
    bits += std::string((8 - bits.size() % 8) % 8, '1');
    QByteArray nal("\x42\x01", 2);
    for (std::size_t i = 0; i < bits.size(); i += 8)
        nal += char(std::stoi(bits.substr(i, 8), nullptr, 2));
    // The 96 zero bits make runs of zero bytes: each pair followed by a 3 as stored.
    QByteArray stored = nal.left(3);
    int zeros = 0;
    for (qsizetype i = 3; i < nal.size(); ++i) {
        if (zeros == 2 && std::uint8_t(nal[i]) <= 3) {
            stored += '\x03';
            zeros = 0;
        }
        stored += nal[i];
        zeros = nal[i] == 0 ? zeros + 1 : 0;
    }
    const auto* unit = reinterpret_cast<const std::uint8_t*>(stored.constData());
    EXPECT_EQ(StreamHeaderReference::hevcSpsSize(unit, std::size_t(stored.size())), QSize(65534, 1));
    EXPECT_EQ(HevcParameterSets::pictureSize(unit, std::size_t(stored.size())), QSize(65534, 1));

    // AV1 sequence header with timing info, a decoder model and two operating
    // points, one of them above level 7 (with a tier bit).
    std::string av1 = "000" "0" "0" "1" + std::string(64, '0') + "0" "1" "00011" + std::string(32, '0') + "00000" +
                      "00000" + "0" "00001" + std::string(12, '0') + "01000" "1" "1" "0110" "1001" "1" +
                      std::string(12, '0') + "00001" "0" + "1001" "1001" + "0000011111" "0000000011";
    av1 += std::string((8 - av1.size() % 8) % 8, '0');
    QByteArray obu;
    for (std::size_t i = 0; i < av1.size(); i += 8)
        obu += char(std::stoi(av1.substr(i, 8), nullptr, 2));
    obu.prepend(char(obu.size()));
    obu.prepend('\x0a');  // sequence header, with a size field
    const auto* stream = reinterpret_cast<const std::uint8_t*>(obu.constData());
    EXPECT_EQ(StreamHeaderReference::av1Largest(stream, std::size_t(obu.size())), QSize(32, 4));
    QSize largest;
    EXPECT_TRUE(Av1SequenceHeader::largestFrameSize(stream, std::size_t(obu.size()), &largest));
    EXPECT_EQ(largest, QSize(32, 4));
}
