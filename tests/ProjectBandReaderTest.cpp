#include <gtest/gtest.h>

#include <QTemporaryFile>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "project/ProjectBandReader.h"

namespace {

// A file of a 16-byte header and two 8 x 130 images (bands of 64, 64 and 2 rows),
// whole or cut short: every row that is there arrives, in order, and a cut makes
// the first row past the last whole band fail; only a whole read goes on to the
// work after it. The thread waiting reads bands too, so the original's rows are
// told growing but not necessarily band by band.
TEST(ProjectBandReader, ReadsBothImagesBandByBandAndTellsWhereAShortFileEnds)
{
    constexpr int kWidth = 8, kHeight = 130, kHeader = 16;
    constexpr std::size_t kImage = std::size_t(kWidth) * kHeight * 4;
    QByteArray bytes(int(kHeader + 2 * kImage), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 251);
    const struct {
        int fileRows;       // image rows in the file, both images counted
        int lastWholeBand;  // rows, both images counted, that awaitRows reports
    } cases[] = {{2 * kHeight, 2 * kHeight}, {kHeight + 70, kHeight + 64}, {100, 64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileRows);
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        file.write(bytes.constData(), kHeader + qint64(c.fileRows) * kWidth * 4);
        file.flush();
        std::vector<std::uint8_t> original(kImage), working(kImage);
        std::vector<int> originalRows;
        std::atomic<int> afterwards{0};
        ProjectBandReader reader({file.handle(), kHeader, original.data(), working.data(), kWidth, kHeight},
                                 [&](int rows) { originalRows.push_back(rows); }, [&] { ++afterwards; });
        EXPECT_TRUE(reader.awaitRows(c.lastWholeBand));
        if (c.lastWholeBand < 2 * kHeight) {
            EXPECT_FALSE(reader.awaitRows(c.lastWholeBand + 1));
        }
        reader.stop();
        EXPECT_EQ(afterwards.load(), c.lastWholeBand == 2 * kHeight ? 1 : 0);
        // Growing, up to the last whole band of the original.
        ASSERT_FALSE(originalRows.empty());
        EXPECT_EQ(originalRows.back(), std::min(c.lastWholeBand, kHeight));
        EXPECT_EQ(std::adjacent_find(originalRows.begin(), originalRows.end(), std::greater_equal<int>()),
                  originalRows.end());
        const auto* source = reinterpret_cast<const std::uint8_t*>(bytes.constData()) + kHeader;
        const std::size_t rowBytes = kWidth * 4;
        const std::size_t originalBytes = std::min<std::size_t>(c.lastWholeBand, kHeight) * rowBytes;
        const std::size_t workingBytes = std::size_t(std::max(0, c.lastWholeBand - kHeight)) * rowBytes;
        EXPECT_TRUE(std::equal(source, source + originalBytes, original.begin()));
        EXPECT_TRUE(std::equal(source + kImage, source + kImage + workingBytes, working.begin()));
    }
}

}  // namespace
