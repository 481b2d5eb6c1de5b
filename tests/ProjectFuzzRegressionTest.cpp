// Every input that ever upset the project file reader, and the fuzzer's seeds: each
// must decode cleanly or fail with a reason, and the canvas must load exactly the
// files that the decoder accepts, with their pixels and the sketches of them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfoList>
#include <cstring>
#include <memory>
#include <vector>

#include "project/ProjectCodec.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "project/ThumbnailGeometry.h"
#include "system/DocumentsDirectory.h"
#include "support/FuzzInputs.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"

namespace {

QFileInfoList inputs()
{
    return fuzzInputs("tests/fuzz-regressions", "fuzz/corpus/project");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(ProjectFuzzRegression, EveryInputDecodesOrFailsCleanly)
{
    const QFileInfoList files = inputs();
    ASSERT_GE(files.size(), 10);
    for (const QFileInfo& info : files) {
        SCOPED_TRACE(info.fileName().toStdString());
        const QByteArray bytes = readFile(info.filePath());
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const std::size_t size = std::size_t(bytes.size());

        ProjectCodec::Project project;
        const ProjectCodec::Error error = ProjectCodec::decodeProject(data, size, &project);
        if (error != ProjectCodec::Error::None) {
            EXPECT_STRNE(ProjectCodec::errorText(error), "unknown error");
            EXPECT_TRUE(project.original.empty());
            continue;
        }
        const ProjectCodec::Header& h = project.header;
        EXPECT_EQ(project.original.size(), ProjectCodec::imageBytes(h));
        EXPECT_EQ(project.working.size(), ProjectCodec::imageBytes(h));
        EXPECT_LE(ProjectCodec::fileSize(h), size);
        const ProjectCodec::PictureExtent extent = ProjectCodec::pictureExtent(h);
        EXPECT_TRUE(extent.columns >= 1 && extent.columns <= h.width);
        EXPECT_TRUE(extent.rows >= 1 && extent.rows <= h.height);
        const ThumbnailGeometry::PixelSize thumb = ThumbnailGeometry::pixelSize(h.picsize);
        EXPECT_TRUE(thumb.width >= 1 && thumb.width <= 80 && thumb.height >= 1 && thumb.height <= 80);
    }
}

TEST(ProjectFuzzRegression, CanvasLoadsWhatTheDecoderAccepts)
{
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        NO_GL_CONTEXT();
    const QString slot = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(9));
    for (const QFileInfo& info : inputs()) {
        SCOPED_TRACE(info.fileName().toStdString());
        const QByteArray bytes = readFile(info.filePath());
        ProjectCodec::Project project;
        const bool valid = ProjectCodec::decodeProject(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                       std::size_t(bytes.size()), &project) ==
                           ProjectCodec::Error::None;
        QFile::remove(slot);
        ASSERT_TRUE(QFile::copy(info.filePath(), slot));
        const bool wasLoaded = canvas->isLoaded();
        EXPECT_EQ(canvas->LoadProject(9), valid);
        EXPECT_EQ(canvas->isLoaded(), valid || wasLoaded) << "a refused file leaves the project as it was";
        if (valid) {
            const ProjectCodec::Header& h = project.header;
            const std::size_t n = ProjectCodec::imageBytes(h);
            ASSERT_EQ(canvas->bufferWidth(), h.width);
            ASSERT_EQ(canvas->bufferHeight(), h.height);
            EXPECT_EQ(std::memcmp(canvas->originalBuffer(), project.original.data(), n), 0);
            EXPECT_EQ(std::memcmp(canvas->workingBuffer(), project.working.data(), n), 0);
            // The sketches made while the working image was read are the filter's own.
            std::vector<std::uint8_t> black(canvas->blackSketchBuffer(), canvas->blackSketchBuffer() + n);
            std::vector<std::uint8_t> color(canvas->colorSketchBuffer(), canvas->colorSketchBuffer() + n);
            buildSketchReference(SketchBuffers{canvas->originalBuffer(), nullptr, black.data(), color.data(), h.width,
                                               h.height, h.picsize});
            EXPECT_EQ(std::memcmp(canvas->blackSketchBuffer(), black.data(), n), 0);
            EXPECT_EQ(std::memcmp(canvas->colorSketchBuffer(), color.data(), n), 0);
            // Saving again and making a thumbnail work on whatever was accepted.
            EXPECT_TRUE(canvas->SaveProject(9));
            EXPECT_EQ(ProjectCodec::decodeHeader(reinterpret_cast<const std::uint8_t*>(readFile(slot).constData()),
                                                 ProjectCodec::kHeaderSize, &project.header),
                      ProjectCodec::Error::None);
        }
    }
}
