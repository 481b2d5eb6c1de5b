// Every HEIC or AVIF file that ever upset photo import, and the HEIF fuzzer's
// seeds, taken through the HEIF module the way a new project takes a photo: read
// (or refused with a one-line reason), read again to the same pixels each time, and
// filtered by the fast filter to the straightforward one's bytes. A seed is a
// valid picture and imports at the size its name gives.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <vector>

#include "project/ImportFile.h"
#include "filter/SketchFilter.h"
#include "project/UprightImage.h"
#include "imageio/PictureUnpack.h"

#include "support/FuzzInputs.h"

namespace {

QFileInfoList inputs()
{
    return fuzzInputs("tests/fuzz-regressions/heif", "fuzz/corpus/heif");
}

std::vector<std::uint8_t> sketches(void (*filter)(const SketchBuffers&), const UnpackedPicture& p)
{
    const std::size_t n = std::size_t(p.width) * p.height * 4;
    std::vector<std::uint8_t> out(2 * n, 0x5a);
    filter(SketchBuffers{p.buffer.get(), nullptr, out.data(), out.data() + n, int(p.width), int(p.height),
                         p.imageSize});
    return out;
}

}  // namespace

TEST(HeifFuzzRegression, EveryFileImportsOrFailsWithAOneLineReason)
{
    int seeds = 0;
    for (const QFileInfo& info : inputs()) {
        SCOPED_TRACE(info.fileName().toStdString());
        const ImageFileResult read = readImportFile(info.filePath());
        const QRegularExpressionMatch seed =
            QRegularExpression(QStringLiteral("-(\\d+)x(\\d+)\\.(heic|avif)$")).match(info.fileName());
        if (info.filePath().contains(QStringLiteral("/corpus/")) && seed.hasMatch()) {
            ASSERT_TRUE(read.ok()) << read.error.toStdString();
            EXPECT_EQ(read.image.bitmap.size(), QSize(seed.captured(1).toInt(), seed.captured(2).toInt()));
            ++seeds;
        }
        if (!read.ok()) {
            EXPECT_FALSE(read.error.isEmpty());
            EXPECT_EQ(read.error, read.error.trimmed());
            EXPECT_FALSE(read.error.contains(QLatin1Char('\n')) || read.error.endsWith(QLatin1Char(':')))
                << read.error.toStdString();
            continue;
        }
        // Read again, the same pixels: a race among the decoder's threads shows only
        // now and then, so the file is read several times.
        for (int time = 0; time < 24; ++time) {
            const ImageFileResult again = readImportFile(info.filePath());
            ASSERT_TRUE(again.ok());
            ASSERT_TRUE(again.image.bitmap == read.image.bitmap) << "read " << time + 2;
        }
        const Image upright = uprightImage(read.image);
        ASSERT_LE(std::max(upright.bitmap.width(), upright.bitmap.height()), kImportMaxSide);
        const UnpackedPicture unpacked = unpackPicture(upright.bitmap);
        ASSERT_TRUE(unpacked.buffer);
        EXPECT_TRUE(sketches(buildSketch, unpacked) == sketches(buildSketchReference, unpacked));
    }
    EXPECT_GE(seeds, 9);
}
