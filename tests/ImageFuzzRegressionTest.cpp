// Every input that ever upset photo import, and the image fuzzer's seeds, taken
// the way a new project takes a photo: read, turned upright, unpacked, filtered.
// Reading fails with a reason or gives a picture that Qt's own automatic
// orientation agrees with pixel for pixel; the fast filter equals the
// straightforward one byte for byte.
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <vector>

#include "project/ImportFile.h"
#include "filter/SketchFilter.h"
#include "project/UprightImage.h"
#include "imageio/ExifOrientation.h"
#include "imageio/PictureUnpack.h"

#include "support/FuzzInputs.h"

namespace {

QFileInfoList inputs()
{
    return fuzzInputs("tests/fuzz-regressions/image", "fuzz/corpus/image");
}

QImage qtUpright(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.colorSpace().isValid() && picture.colorSpace() != QColorSpace::SRgb)
        picture.convertToColorSpace(QColorSpace::SRgb);
    return picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

// Working, black and colour buffers after `filter` ran on buffers of junk.
std::vector<std::vector<std::uint8_t>> filtered(void (*filter)(const SketchBuffers&), const UnpackedPicture& p)
{
    std::vector<std::vector<std::uint8_t>> buffers(3, std::vector<std::uint8_t>(std::size_t(p.width) * p.height * 4));
    for (auto& buffer : buffers)
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = std::uint8_t(i * 151 + 17);
    filter(SketchBuffers{p.buffer.get(), buffers[0].data(), buffers[1].data(), buffers[2].data(), int(p.width),
                         int(p.height), p.imageSize});
    return buffers;
}

}  // namespace

TEST(ImageFuzzRegression, EveryInputImportsOrFailsWithAReason)
{
    const QFileInfoList files = inputs();
    ASSERT_GE(files.size(), 20);
    int compared = 0;
    for (const QFileInfo& info : files) {
        SCOPED_TRACE(info.fileName().toStdString());
        const ImageFileResult read = readImportFile(info.filePath());
        if (!read.ok()) {
            EXPECT_FALSE(read.error.isEmpty() || read.error.endsWith(QStringLiteral(": "))) << read.error.toStdString();
            continue;
        }
        const Image upright = uprightImage(read.image);
        ASSERT_EQ(upright.bitmap.format(), QImage::Format_RGBA8888_Premultiplied);
        ASSERT_LE(std::max(upright.bitmap.width(), upright.bitmap.height()), kImportMaxSide);
        // Qt's own reader does not turn a PNG or WebP by its EXIF chunk, the import
        // does (compared with the oriented JPEG in ImageFormatsTest).
        QFile file(info.filePath());
        const bool orientationQtIgnores =
            file.open(QIODevice::ReadOnly) &&
            ExifOrientation::ofPngOrWebp(file) != QImageIOHandler::TransformationNone;
        // Nor one cut short: Qt leaves the rest as the heap held it, the import makes it grey.
        if (read.warning.isEmpty() && QImageReader(info.filePath()).size() == read.image.bitmap.size() &&
            !orientationQtIgnores) {
            EXPECT_TRUE(upright.bitmap == qtUpright(info.filePath()));
            ++compared;
        }

        const UnpackedPicture unpacked = unpackPicture(upright.bitmap);
        ASSERT_TRUE(unpacked.buffer);
        EXPECT_EQ(unpacked.imageSize.width, float(upright.bitmap.width()));
        EXPECT_EQ(unpacked.imageSize.height, float(upright.bitmap.height()));
        EXPECT_TRUE(filtered(buildSketch, unpacked) == filtered(buildSketchReference, unpacked));
    }
    EXPECT_GE(compared, 20);  // most seeds are read at their stored size
}
