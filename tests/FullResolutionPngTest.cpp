// The drawing at the photo's size handed to the PNG writer band by band as it is
// drawn, against the whole drawing encoded afterwards.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "imageio/FastPng.h"
#include "project/FullResolutionPicture.h"
#include "project/FullResolutionRecord.h"
#include "project/FullResolutionRender.h"
#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

// A record over the photo's import size: strokes of every source and shape.
FullResolutionRecord paintedRecord(FloatSize picsize, int startSource)
{
    FullResolutionRecord record;
    record.picsize = picsize;
    record.startSource = startSource;
    for (int i = 0; i < 40; ++i) {
        const FloatPoint centre{float((i * 53) % int(picsize.width)), float((i * 97) % int(picsize.height))};
        record.dabs.push_back(StrokeHistory::Dab{centre, 6.0f + float(i % 5) * 9.0f, i % 4 == 3 ? 1 : 0, i % 3});
    }
    return record;
}

}  // namespace

TEST(FullResolutionPng, TheBandsGiveTheFileOfTheWholeDrawing)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int width, height, orientation, startSource;
        FloatSize imported;  // upright
    } cases[] = {
        {"turned.jpg", 1600, 1200, 6, 1, {768, 1024}},  // 1200 x 1600 upright: a last band of 64 rows
        {"wide.jpg", 1500, 700, 1, 0, {1024, 478}},     // a last band of 188 rows: a strip ended part way
        {"own.jpg", 900, 500, 1, 2, {900, 500}},         // at the project's own size
        {"mirrored.jpg", 1300, 900, 2, 1, {1024, 709}},  // decoded in strips, each row mirrored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString photo = dir.filePath(c.name);
        ASSERT_TRUE(writeFile(photo, withExifOrientation(jpegBytes(photoLikePicture(c.width, c.height), 90),
                                                         c.orientation)));
        const FullResolutionRecord record = paintedRecord(c.imported, c.startSource);
        QString error;
        const QImage whole = fullResolutionPicture(photo, record, &error);
        ASSERT_FALSE(whole.isNull()) << error.toStdString();
        const QByteArray png = fullResolutionPng(photo, record, &error);
        ASSERT_FALSE(png.isEmpty()) << error.toStdString();
        EXPECT_EQ(png, fastPngBytes(whole));
    }
    QString error;
    EXPECT_TRUE(fullResolutionPng(dir.filePath("missing.jpg"), paintedRecord({768, 1024}, 1), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(FullResolutionPng, EachBandIsToldOnceDrawnTopToBottomAndNoStopsTheDrawing)
{
    const int w = 90, h = 300;
    std::vector<std::uint8_t> photo(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < photo.size(); ++i)
        photo[i] = std::uint8_t(i % 4 == 3 ? 255 : (i * 37 + i / 360) % 256);
    const std::vector<StrokeHistory::Dab> dabs = paintedRecord({45, 150}, 0).dabs;
    FullResolutionJob job{nullptr, w, h, {float(w), float(h)}, {45, 150}, 1, &dabs, 64};

    std::vector<std::uint8_t> drawn = photo;
    job.pixels = drawn.data();
    std::vector<std::uint8_t> told(photo.size(), 0);
    int next = 0;
    ASSERT_TRUE(renderFullResolution(job, [&](int first, int end) {
        EXPECT_EQ(first, next);
        next = end;
        const std::size_t from = std::size_t(first) * w * 4, to = std::size_t(end) * w * 4;
        std::memcpy(told.data() + from, drawn.data() + from, to - from);
        return true;
    }));
    EXPECT_EQ(next, h);
    EXPECT_TRUE(told == drawn) << "rows told are final";

    std::vector<std::uint8_t> stopped = photo;
    job.pixels = stopped.data();
    int bands = 0;
    EXPECT_FALSE(renderFullResolution(job, [&](int, int) { return ++bands < 2; }));
    EXPECT_EQ(bands, 2);
}

TEST(FullResolutionPng, ThePhotoReadInStripsGivesTheDrawingInPlaceByteForByte)
{
    const int w = 70, h = 260;
    std::vector<std::uint8_t> photo(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < photo.size(); ++i)
        photo[i] = std::uint8_t(i % 4 == 3 ? 255 : (i * 29 + i / 280) % 256);
    const std::vector<StrokeHistory::Dab> dabs = paintedRecord({35, 130}, 0).dabs;
    struct Case {
        int startSource, bandRows;
        FloatSize project;
    } cases[] = {
        {1, 64, {35, 130}},   // the filter at twice the scale: bands overlap by its reach
        {0, 7, {35, 130}},    // bands narrower than the filter's reach
        {2, 1000, {35, 130}}, // one band
        {1, 50, {70, 260}},   // the project's own size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.startSource << ", bands of " << c.bandRows);
        FullResolutionJob job{nullptr, w, h, {float(w), float(h)}, c.project, c.startSource, &dabs, c.bandRows};
        std::vector<std::uint8_t> inPlace = photo;
        job.pixels = inPlace.data();
        ASSERT_TRUE(renderFullResolution(job));

        job.pixels = nullptr;
        const std::size_t stride = std::size_t(w) * 4;
        std::vector<std::uint8_t> streamed(photo.size(), 0);
        int given = 0, next = 0;
        ASSERT_TRUE(renderFullResolutionStreamed(
            job,
            [&](std::uint8_t* rows, int count) {
                EXPECT_LE(given + count, h);
                std::memcpy(rows, photo.data() + stride * std::size_t(given), stride * std::size_t(count));
                given += count;
                return true;
            },
            [&](const std::uint8_t* rows, int first, int end) {
                EXPECT_EQ(first, next);
                next = end;
                std::memcpy(streamed.data() + stride * std::size_t(first), rows, stride * std::size_t(end - first));
                return true;
            }));
        EXPECT_EQ(given, h);
        EXPECT_EQ(next, h);
        EXPECT_TRUE(streamed == inPlace);

        // A photo that stops short (its last rows not read), or a writer that does,
        // stops the drawing.
        int read = 0;
        EXPECT_FALSE(renderFullResolutionStreamed(
            job, [&](std::uint8_t*, int count) { return (read += count) < h; },
            [](const std::uint8_t*, int, int) { return true; }));
        EXPECT_FALSE(renderFullResolutionStreamed(
            job, [](std::uint8_t*, int) { return true; }, [](const std::uint8_t*, int, int) { return false; }));
    }
}
