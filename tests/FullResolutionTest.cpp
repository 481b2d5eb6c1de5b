// The drawing at the photo's full resolution: the replay of the dab record in
// bands, the files kept beside a project for it, and the export that uses them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <memory>
#include <vector>

#include "project/BrushDab.h"
#include "canvas/CanvasView.h"
#include "project/FullResolutionRecord.h"
#include "project/FullResolutionRender.h"
#include "project/ImportFile.h"
#include "project/ProjectSideFiles.h"
#include "project/ProjectSlotFiles.h"
#include "filter/SketchFilter.h"
#include "filter/SketchFilterScaled.h"
#include "widgets/ActionSheet.h"
#include "system/DocumentsDirectory.h"
#include "imageio/PhotoAlbum.h"
#include "widgets/SegmentedControl.h"
#include "support/MouseDrag.h"
#include "support/ControlledCanvas.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/ImportTestFiles.h"

namespace {

std::uint32_t photoPixel(int x, int y)
{
    // Soft shapes and edges, so that the sketches are not flat.
    const int r = (x * 3 + (y / 9) * 40) & 255;
    const int g = ((x - 300) * (x - 300) + (y - 200) * (y - 200)) / 300 & 255;
    const int b = std::abs(((x + 2 * y) / 3) % 400 - 200) + 20;
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16 | 0xff000000u;
}

// A project as painting leaves it: sketches of the original, the start image,
// then dabs laid by the brush kernel from every source.
struct PaintedProject {
    int width;
    int height;
    FloatSize picsize;
    std::vector<std::uint8_t> original, black, color, working;
    std::vector<StrokeHistory::Dab> dabs;

    PaintedProject(int w, int h, FloatSize pic, int start) : width(w), height(h), picsize(pic)
    {
        const std::size_t n = std::size_t(w) * std::size_t(h) * 4;
        original.resize(n);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = photoPixel(x * 7, y * 5);
                std::memcpy(&original[(std::size_t(y) * w + x) * 4], &p, 4);
            }
        black.assign(n, 0);
        color.assign(n, 0);
        working.assign(n, 0x5a);  // the spare area keeps whatever it holds
        buildSketch(SketchBuffers{original.data(), nullptr, black.data(), color.data(), w, h, pic});
        const std::vector<std::uint8_t>* sources[3] = {&black, &color, &original};
        for (int y = 0; float(y) < pic.height; ++y)
            for (int x = 0; float(x) < pic.width; ++x)
                std::memcpy(&working[(std::size_t(y) * w + x) * 4], &(*sources[start])[(std::size_t(y) * w + x) * 4], 4);
        // Dabs over the edges, across band seams, overlapping, of fractional sizes.
        std::vector<BrushDab::ColumnRun> runs;
        for (int i = 0; i < 60; ++i) {
            const StrokeHistory::Dab dab{FloatPoint{float((i * 37) % (w + 20)) - 10.3f + 0.1f * float(i % 7),
                                                    float((i * 23) % (h + 16)) - 8.7f},
                                         2.3f + float(i % 5) * 1.7f, i % 3 == 2 ? 1 : 0, i % 3};
            const BrushDab::Dab kernel{dab.centre, dab.radius, dab.shape, pic, w, h};
            if (BrushDab::paint(kernel, sources[dab.drawType]->data(), working.data(), runs))
                dabs.push_back(dab);
        }
    }
};

class FullResolution : public ::testing::Test, protected ControlledCanvas {
protected:
    QTemporaryDir temp;
    QString photoPath;

    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        PhotoAlbum::setFolderForTesting(temp.filePath("album"));
        if (!makeCanvas()) {
            NO_GL_CONTEXT();
        }
        window.show();
        // A 1600 x 1200 photo: the project is 1024 x 768.
        QImage photo(1600, 1200, QImage::Format_RGBA8888);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x) {
                const std::uint32_t p = photoPixel(x, y);
                std::memcpy(photo.scanLine(y) + x * 4, &p, 4);
            }
        photoPath = temp.filePath("photo.png");
        ASSERT_TRUE(photo.save(photoPath));
    }
    void TearDown() override { PhotoAlbum::setFolderForTesting(QString()); }

    void startFromPhoto(int choice)
    {
        canvas->NewProject(readImportFile(photoPath).image, photoPath);
        QApplication::processEvents();
        canvas->actionSheetClickedButtonAtIndex(nullptr, choice);
        for (ActionSheet* sheet : window.findChildren<ActionSheet*>())
            delete sheet;
    }

    void drag(const std::vector<QPoint>& path) { mouseDrag(canvas, path); }

    void paintSome()
    {
        toolbar.setSelectedSegmentIndex(0);
        size.setSelectedSegmentIndex(2);
        drag({{20, 90}, {300, 300}, {150, 420}});
        toolbar.setSelectedSegmentIndex(2);
        shape.setSelectedSegmentIndex(1);
        drag({{300, 100}, {30, 400}});
        ASSERT_TRUE(canvas->undo());
        ASSERT_TRUE(canvas->redo());
        toolbar.setSelectedSegmentIndex(1);
        shape.setSelectedSegmentIndex(0);
        size.setSelectedSegmentIndex(0);
        drag({{100, 250}, {220, 260}});
        ASSERT_TRUE(canvas->undo());  // undone: not on the picture, not in the drawing
    }

    std::vector<std::uint8_t> workingPicture() const
    {
        std::vector<std::uint8_t> out;
        const int w = int(std::ceil(canvas->pictureSize().width));
        for (int y = 0; float(y) < canvas->pictureSize().height; ++y) {
            const std::uint8_t* row = canvas->workingBuffer() + std::size_t(y) * canvas->bufferWidth() * 4;
            out.insert(out.end(), row, row + std::size_t(w) * 4);
        }
        return out;
    }

    // The one picture the album got.
    QImage exported()
    {
        QSignalSpy done(canvas, &CanvasView::exported);
        canvas->ExportToPhotoAlbum();
        if (!done.wait(20000))
            return QImage();
        const QString path = done.takeFirst().at(0).toString();
        QImage image(path);
        QFile::remove(path);
        return image;
    }
};

// Over the pixels of `mask` (row by row; empty: all).
double psnr(const QImage& a, const QImage& b, const std::vector<bool>& mask)
{
    double sum = 0;
    double count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (!mask.empty() && !mask[std::size_t(y) * std::size_t(a.width()) + std::size_t(x)])
                continue;
            count += 3;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += double(d * d);
        }
    const double mse = sum / count;
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

TEST(FullResolutionReplay, AtTheProjectSizeEveryBandingGivesThePaintedPictureByteForByte)
{
    struct Case {
        FloatSize picsize;
        int start;
        int bandRows;
    };
    for (const Case c : {Case{{97, 61}, 0, 5}, Case{{97, 61}, 1, 1}, Case{{97, 61}, 2, 256},
                         Case{{96.5f, 60.25f}, 1, 7}, Case{{128, 64}, 0, 3}}) {
        SCOPED_TRACE(testing::Message() << c.picsize.width << "x" << c.picsize.height << " start " << c.start
                                        << " bands " << c.bandRows);
        PaintedProject project(128, 64, c.picsize, c.start);
        ASSERT_GT(project.dabs.size(), 20u);
        std::vector<std::uint8_t> replay = project.original;
        FullResolutionJob job{replay.data(), 128, 64, c.picsize, c.picsize, c.start, &project.dabs, c.bandRows};
        ASSERT_TRUE(renderFullResolution(job));
        for (int y = 0; float(y) < c.picsize.height; ++y)
            ASSERT_EQ(std::memcmp(&replay[std::size_t(y) * 128 * 4], &project.working[std::size_t(y) * 128 * 4],
                                  std::size_t(std::ceil(c.picsize.width)) * 4),
                      0)
                << "row " << y;
        if (c.picsize.width < 127.0f) {  // outside the picture nothing is written
            EXPECT_EQ(std::memcmp(&replay[127 * 4], &project.original[127 * 4], 4), 0);
        }
        EXPECT_TRUE(replayGivesWorking(project.original.data(), project.working.data(), 128, 64, c.picsize, c.start,
                                       project.dabs));
        project.dabs.pop_back();  // a record that misses a dab is told
        EXPECT_FALSE(replayGivesWorking(project.original.data(), project.working.data(), 128, 64, c.picsize, c.start,
                                        project.dabs));
    }
}

TEST(FullResolutionReplay, DabsLandScaledOnTheLargerPicture)
{
    // One square dab of the black sketch at (10, 10), radius 3, on a picture four
    // times the project's size: it covers the same part of the picture.
    const std::vector<StrokeHistory::Dab> dabs{{FloatPoint{10, 10}, 3.0f, BrushDab::Square, 0}};
    std::vector<std::uint8_t> photo(std::size_t(200) * 160 * 4);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) {
            const std::uint32_t p = photoPixel(x * 9, y * 11);
            std::memcpy(&photo[(std::size_t(y) * 200 + std::size_t(x)) * 4], &p, 4);
        }
    std::vector<std::uint8_t> pixels = photo;
    ASSERT_TRUE(renderFullResolution({pixels.data(), 200, 160, {200, 160}, {50, 40}, 2, &dabs, 16}));
    const auto painted = [&](int x, int y) {
        const std::size_t at = (std::size_t(y) * 200 + std::size_t(x)) * 4;
        return std::memcmp(&pixels[at], &photo[at], 4) != 0;
    };
    // Project pixels 7..13 become 4 x 7 + 1.5 - 12 ... : centre 41.5, radius 12.
    for (const auto& [x, y, want] : {std::tuple{30, 30, true}, {53, 53, true}, {41, 41, true}, {28, 41, false},
                                     {55, 41, false}, {41, 28, false}, {10, 10, false}})
        EXPECT_EQ(painted(x, y), want) << x << "," << y;
}

// A picture of w x h pixels with each n x n block averaged into one pixel.
std::vector<std::uint8_t> shrunk(const std::vector<std::uint8_t>& pixels, int w, int h, int n)
{
    std::vector<std::uint8_t> out(std::size_t(w / n) * std::size_t(h / n) * 4);
    for (int y = 0; y < h / n; ++y)
        for (int x = 0; x < w / n; ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int j = 0; j < n; ++j)
                    for (int i = 0; i < n; ++i)
                        sum += pixels[(std::size_t(y * n + j) * std::size_t(w) + std::size_t(x * n + i)) * 4 + c];
                out[(std::size_t(y) * std::size_t(w / n) + std::size_t(x)) * 4 + c] = std::uint8_t((sum + n * n / 2) / (n * n));
            }
    return out;
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3)
            sum += (double(a[i]) - double(b[i])) * (double(a[i]) - double(b[i]));
    const double mse = sum / double(a.size() / 4 * 3);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TEST(FullResolutionReplay, SketchesOfALargerPictureShrinkToTheProjectsAndDoNotDependOnTheBands)
{
    const int w = 96, h = 72;
    std::vector<std::uint8_t> original(std::size_t(w) * h * 4), black(original.size()), color(original.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = photoPixel(x * 3, y * 2);
            std::memcpy(&original[(std::size_t(y) * w + x) * 4], &p, 4);
        }
    buildSketchReference({original.data(), nullptr, black.data(), color.data(), w, h, {float(w), float(h)}});
    for (const int n : {2, 4}) {
        SCOPED_TRACE(n);
        // A photo n times the project's size whose n x n blocks average to the
        // project's pixels, its own pixels a checkerboard about them.
        const int bw = w * n, bh = h * n;
        std::vector<std::uint8_t> photo(std::size_t(bw) * bh * 4);
        for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x)
                for (int c = 0; c < 4; ++c) {
                    const int v = original[(std::size_t(y / n) * w + std::size_t(x / n)) * 4 + c];
                    const int spread = c == 3 ? 0 : std::min({v, 255 - v, 5});
                    photo[(std::size_t(y) * bw + x) * 4 + c] = std::uint8_t(v + ((x + y) % 2 ? spread : -spread));
                }
        const auto drawn = [&](int start, int bandRows) {
            std::vector<std::uint8_t> pixels = photo;
            const std::vector<StrokeHistory::Dab> none;
            EXPECT_TRUE(renderFullResolution(
                {pixels.data(), bw, bh, {float(bw), float(bh)}, {float(w), float(h)}, start, &none, bandRows}));
            return pixels;
        };
        const std::vector<std::uint8_t> bigBlack = drawn(0, 256);
        const std::vector<std::uint8_t> bigColor = drawn(1, 256);
        for (const int bandRows : {1, 5, 64})
            EXPECT_EQ(drawn(1, bandRows), bigColor) << "bands of " << bandRows;

        // Shrunk back, the sketches are close to the project's, far closer than the
        // plain filter's thin lines.
        std::vector<std::uint8_t> plainBlack(photo.size()), plainColor(photo.size());
        buildSketchReference({photo.data(), nullptr, plainBlack.data(), plainColor.data(), bw, bh, {float(bw), float(bh)}});
        const double scaled[2] = {psnr(shrunk(bigBlack, bw, bh, n), black), psnr(shrunk(bigColor, bw, bh, n), color)};
        const double plain[2] = {psnr(shrunk(plainBlack, bw, bh, n), black), psnr(shrunk(plainColor, bw, bh, n), color)};
        for (int i = 0; i < 2; ++i) {
            EXPECT_GT(scaled[i], 23.0) << (i ? "colour" : "black");
            EXPECT_GT(scaled[i], plain[i] + 4.0) << (i ? "colour" : "black");
        }
    }
}

TEST(FullResolutionRecordFile, DecodesWhatItEncodesAndRefusesEveryDamage)
{
    FullResolutionRecord record;
    record.width = 1024;
    record.height = 1024;
    record.picsize = {1024, 768};
    record.startSource = 1;
    record.originalChecksum = 11;
    record.workingChecksum = 22;
    record.photoBytes = 333;
    record.photoChecksum = 44;
    record.dabs = {{FloatPoint{1.5f, 2.5f}, 3.5f, 1, 2}, {FloatPoint{-4, 5}, 6, 0, 0}};
    const QByteArray good = record.encode();
    FullResolutionRecord back;
    ASSERT_TRUE(FullResolutionRecord::decode(good, &back));
    EXPECT_EQ(back.encode(), good);
    EXPECT_EQ(back.dabs, record.dabs);

    const auto nan = [](QByteArray b, int at) {
        const float f = std::nanf("");
        std::memcpy(b.data() + at, &f, 4);
        return b;
    };
    const auto set = [](QByteArray b, int at, std::int32_t v) {
        std::memcpy(b.data() + at, &v, 4);
        return b;
    };
    const int dab0 = int(FullResolutionRecord::kHeaderSize);
    for (const QByteArray& bad :
         {good.left(good.size() - 1), good + QByteArray(1, '\0'), set(good, 0, 0x30303030), set(good, 8, 0),
          nan(good, 16), set(good, 24, 3), set(good, 28, 1), set(good, dab0 - 4, 3), nan(good, dab0 + 8),
          set(good, dab0 + 12, 2), set(good, dab0 + 16, 3), set(good, dab0 + 16, -1), QByteArray()}) {
        FullResolutionRecord untouched;
        EXPECT_FALSE(FullResolutionRecord::decode(bad, &untouched));
        EXPECT_TRUE(untouched.dabs.empty());
    }
}

TEST_F(FullResolution, SavedLoadedAndExportedAtThePhotosSizeMatchingTheWorkingPicture)
{
    startFromPhoto(1);
    paintSome();
    ASSERT_EQ(canvas->pictureSize(), (FloatSize{1024, 768}));
    const std::vector<std::uint8_t> painted = workingPicture();
    CanvasView::SaveFailure failure;
    ASSERT_TRUE(canvas->SaveProject(2, &failure)) << failure.file.toStdString() << failure.reason.toStdString();
    const QString project = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(2));
    EXPECT_EQ(QFileInfo(ProjectSideFiles::photoPath(project)).size(), QFileInfo(photoPath).size());
    // The tool draws it too, from the files alone.
    QProcess tool;
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {"--project", project, "-o", temp.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(QImage(temp.filePath("out/full.png")).size(), QSize(1600, 1200));
    // full.png is written as it is drawn: one that cannot be made has its line,
    // the four pictures are still written and no temporary file is left.
    ASSERT_TRUE(QDir().mkpath(temp.filePath("blocked/full.png")));
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {"--project", project, "-o", temp.filePath("blocked")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(tool.readAllStandardError()),
              QStringLiteral("charcolino-sketch: %1: Is a directory\n").arg(temp.filePath("blocked/full.png")));
    EXPECT_EQ(QDir(temp.filePath("blocked")).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"black.png", "color.png", "original.png", "working.png"}));

    // A new start: another project, then the slot.
    startFromPhoto(0);
    ASSERT_TRUE(canvas->LoadProject(2));
    ASSERT_EQ(workingPicture(), painted);
    EXPECT_TRUE(replayGivesWorking(canvas->originalBuffer(), canvas->workingBuffer(), canvas->bufferWidth(),
                                   canvas->bufferHeight(), canvas->pictureSize(), 1,
                                   canvas->strokeHistory().dabs()));
    // Painting goes on after the load, into the same drawing.
    size.setSelectedSegmentIndex(3);
    toolbar.setSelectedSegmentIndex(2);
    drag({{60, 380}, {260, 120}});

    const QImage full = exported();
    ASSERT_EQ(full.size(), QSize(1600, 1200));
    QImage working(1024, 768, QImage::Format_RGBX8888);
    const std::vector<std::uint8_t> now = workingPicture();
    std::memcpy(working.bits(), now.data(), now.size());
    const QImage small = full.convertToFormat(QImage::Format_RGBX8888).scaled(1024, 768, Qt::IgnoreAspectRatio,
                                                                             Qt::SmoothTransformation);
    // Overall the sketches, made at the photo's scale, come close (the plain
    // filter's thinner lines gave 20 dB); where the strokes laid the photo itself
    // (away from their edges) the two agree closely, which they do only when the
    // dabs land where they did on the project.
    EXPECT_GT(psnr(small, working, {}), 25.0);
    std::vector<bool> photoInside(std::size_t(1024) * 768, false);
    const auto photoPainted = [&](int x, int y) {
        const std::size_t at = (std::size_t(y) * canvas->bufferWidth() + std::size_t(x)) * 4;
        return std::memcmp(canvas->workingBuffer() + at, canvas->originalBuffer() + at, 4) == 0 &&
               std::memcmp(canvas->workingBuffer() + at, canvas->colorSketchBuffer() + at, 4) != 0;
    };
    std::size_t inside = 0;
    for (int y = 2; y < 766; ++y)
        for (int x = 2; x < 1022; ++x) {
            bool all = true;
            for (int dy = -2; dy <= 2 && all; ++dy)
                for (int dx = -2; dx <= 2 && all; ++dx)
                    all = photoPainted(x + dx, y + dy);
            photoInside[std::size_t(y) * 1024 + std::size_t(x)] = all;
            inside += all;
        }
    ASSERT_GT(inside, 20000u);
    EXPECT_GT(psnr(small, working, photoInside), 35.0);
}

// The album's file is written while the drawing is made (the photo read in
// strips where it is an upright JPEG, else whole): its pixels are those of the
// drawing made whole and encoded afterwards, and it is an RGB PNG.
TEST_F(FullResolution, TheAlbumsFileWrittenWhileDrawnHoldsThePixelsOfTheWholeDrawing)
{
    // A grey photo gives an all-grey drawing: still RGB, as the album's pictures
    // are, though the picture writer would have matched its rows another way.
    enum Photo { Png, Jpeg, GreyJpeg };
    for (const Photo kind : {Png, Jpeg, GreyJpeg}) {
        SCOPED_TRACE(kind);
        const QImage source(temp.filePath("photo.png"));
        if (kind != Png) {
            photoPath = temp.filePath("photo.jpg");
            ASSERT_TRUE(ImportTestFiles::writeFile(
                photoPath, ImportTestFiles::jpegBytes(kind == Jpeg ? source : source.convertToFormat(QImage::Format_Grayscale8)
                                                                             .convertToFormat(QImage::Format_RGB32))));
        }
        startFromPhoto(1);
        paintSome();
        auto fallback = std::make_shared<QString>();
        const auto whole = canvas->document().fullResolutionExport(fallback);
        ASSERT_TRUE(whole);
        const QImage drawn = whole().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(drawn.size(), QSize(1600, 1200));

        QSignalSpy done(canvas, &CanvasView::exported);
        canvas->ExportToPhotoAlbum();
        ASSERT_TRUE(done.wait(20000));
        const QList<QVariant> told = done.takeFirst();
        EXPECT_EQ(told.at(1).toString(), QString()) << "no fallback";
        QFile file(told.at(0).toString());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray png = file.readAll();
        ASSERT_GT(png.size(), 26);
        EXPECT_EQ(int(png[25]), 2) << "PNG colour type: truecolour without alpha";
        EXPECT_EQ(QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB888), drawn);
        file.remove();
    }
}

TEST_F(FullResolution, AnExportAtThePhotosSizeToldInRisingPercentsBeforeItIsDone)
{
    startFromPhoto(1);
    // Both on this thread, in the order the worker sent them.
    std::vector<int> percents;
    bool exportedSeen = false;
    QObject::connect(canvas, &CanvasView::exportProgress, canvas, [&](int percent) {
        EXPECT_FALSE(exportedSeen) << percent;
        percents.push_back(percent);
    });
    QObject::connect(canvas, &CanvasView::exported, canvas, [&] { exportedSeen = true; });
    ASSERT_EQ(exported().size(), QSize(1600, 1200));
    // 1200 rows in bands of 256.
    EXPECT_EQ(percents, (std::vector<int>{21, 42, 64, 85, 100}));
    EXPECT_TRUE(exportedSeen);
}

TEST_F(FullResolution, DamagedOrForeignSideFilesLeaveTheProjectAtItsStoredSize)
{
    startFromPhoto(2);
    paintSome();
    ASSERT_TRUE(canvas->SaveProject(3));
    const QString project = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(3));
    const QString strokes = ProjectSideFiles::recordPath(project);
    const QString photo = ProjectSideFiles::photoPath(project);
    QFile::copy(strokes, temp.filePath("good.strokes"));
    QFile::copy(photo, temp.filePath("good.photo"));
    // The record of a later save of the same project, beside the earlier file.
    drag({{40, 100}, {80, 140}});
    ASSERT_TRUE(canvas->SaveProject(4));
    const QString later = ProjectSideFiles::recordPath(DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(4)));

    const auto flipLastByte = [](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - 1);
        char c;
        f.getChar(&c);
        f.seek(f.size() - 1);
        f.putChar(char(c ^ 1));
    };
    struct Case {
        const char* what;
        std::function<void()> damage;
    };
    const std::vector<Case> cases{
        {"intact (the control)", [] {}},
        {"record cut short", [&] { QFile(strokes).resize(QFileInfo(strokes).size() - 3); }},
        {"photo changed", [&] { flipLastByte(photo); }},
        {"photo missing", [&] { QFile::remove(photo); }},
        {"record of another save", [&] { QFile::remove(strokes), QFile::copy(later, strokes); }},
        {"both missing (an older build's save)", [&] { QFile::remove(strokes), QFile::remove(photo); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(strokes), QFile::remove(photo);
        ASSERT_TRUE(QFile::copy(temp.filePath("good.strokes"), strokes));
        ASSERT_TRUE(QFile::copy(temp.filePath("good.photo"), photo));
        c.damage();
        startFromPhoto(0);
        ASSERT_TRUE(canvas->LoadProject(3));
        const bool intact = std::string(c.what).starts_with("intact");
        EXPECT_EQ(exported().size(), intact ? QSize(1600, 1200) : QSize(1024, 768));
        EXPECT_EQ(canvas->strokeHistory().dabs().empty(), !intact);
    }
}

TEST_F(FullResolution, ASideFileThatCannotBeWrittenIsToldAfterTheProjectFileIsSaved)
{
    startFromPhoto(0);
    paintSome();
    const QString project = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(5));
    ASSERT_TRUE(QDir().mkpath(ProjectSideFiles::recordPath(project) + "/in-the-way"));
    CanvasView::SaveFailure failure;
    EXPECT_FALSE(canvas->SaveProject(5, &failure));
    EXPECT_EQ(failure.file, ProjectSideFiles::recordPath(project));
    EXPECT_FALSE(failure.reason.isEmpty());
    const std::vector<std::uint8_t> painted = workingPicture();
    startFromPhoto(1);
    ASSERT_TRUE(canvas->LoadProject(5));
    EXPECT_EQ(workingPicture(), painted);
}

namespace {

// The picture the album got and why it is the working picture, when it is.
std::pair<QImage, QString> exportedWithReason(CanvasView* canvas)
{
    QSignalSpy done(canvas, &CanvasView::exported);
    canvas->ExportToPhotoAlbum();
    if (!done.wait(20000))
        return {};
    const QList<QVariant> args = done.takeFirst();
    QImage image(args.at(0).toString());
    QFile::remove(args.at(0).toString());
    return {image, args.at(1).toString()};
}

QStringList gWarnings;
void keepWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        gWarnings << text;
}

}  // namespace

TEST_F(FullResolution, AStrokeStillOpenIsInTheRecordOfASaveAndOfAnExport)
{
    startFromPhoto(1);
    toolbar.setSelectedSegmentIndex(0);
    size.setSelectedSegmentIndex(3);
    shape.setSelectedSegmentIndex(0);
    // The button held: the stroke is open while the project is saved and exported.
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(40, 100));
    for (const QPoint p : {QPoint(120, 200), QPoint(260, 380)}) {
        QMouseEvent move(QEvent::MouseMove, p, p, canvas->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::LeftButton, {},
                         QPointingDevice::primaryPointingDevice());
        QCoreApplication::sendEvent(canvas, &move);
    }
    ASSERT_TRUE(canvas->strokeHistory().strokeOpen());
    ASSERT_TRUE(canvas->strokeHistory().dabs().empty());
    ASSERT_FALSE(canvas->strokeHistory().recordedDabs().empty());
    const std::vector<std::uint8_t> painted = workingPicture();
    ASSERT_TRUE(canvas->SaveProject(2));
    const auto [mid, reason] = exportedWithReason(canvas);
    EXPECT_EQ(mid.size(), QSize(1600, 1200)) << reason.toStdString();
    EXPECT_TRUE(reason.isEmpty());
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(260, 380));

    startFromPhoto(0);
    ASSERT_TRUE(canvas->LoadProject(2));
    ASSERT_EQ(workingPicture(), painted);
    const auto [loaded, why] = exportedWithReason(canvas);
    EXPECT_EQ(loaded.size(), QSize(1600, 1200)) << why.toStdString();
}

TEST_F(FullResolution, AnExportAtTheProjectsOwnSizeSaysWhy)
{
    struct Case {
        const char* what;
        std::function<void()> before;
        QString reason;
    };
    const QString project = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(3));
    const std::vector<Case> cases{
        {"intact", [] {}, QString()},
        {"a record that does not give the picture",
         [&] { canvas->document().history().restoreRecord(canvas->document().historyPixels(), {}); },
         "the drawing record does not give the picture"},
        {"a project loaded without its side files",
         [&] {
             ASSERT_TRUE(canvas->SaveProject(3));
             QFile::remove(ProjectSideFiles::recordPath(project));
             ASSERT_TRUE(canvas->LoadProject(3));
         },
         "the project has no full-size drawing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startFromPhoto(2);
        paintSome();
        c.before();
        const auto [image, reason] = exportedWithReason(canvas);
        EXPECT_EQ(image.size(), c.reason.isEmpty() ? QSize(1600, 1200) : QSize(1024, 768));
        EXPECT_EQ(reason, c.reason);
    }
}

TEST_F(FullResolution, PaintingPastTheRecordsBoundsKeepsEveryStrokeAndGivesUpOnlyTheFullSizeDrawing)
{
    startFromPhoto(1);
    // A record 9,410 short of its cost bound: 5461 whole-buffer dabs (1536 x 1024
    // each) and 46 of 21 x 21 pixels (533 x 21 each). Any dab of the brush passes it.
    StrokeHistory& history = canvas->document().history();
    std::vector<StrokeHistory::Dab> dabs(5461, StrokeHistory::Dab{{512, 512}, 5000, 1, 2});
    dabs.resize(5461 + 46, StrokeHistory::Dab{{100.5f, 100.5f}, 10, 1, 2});
    history.restoreRecord(canvas->document().historyPixels(), dabs);
    ASSERT_EQ(history.recordedCost(), FullResolutionRecord::kMaxCost - 9410);
    ASSERT_TRUE(history.recordKept());
    gWarnings.clear();
    const QtMessageHandler before = qInstallMessageHandler(keepWarning);
    toolbar.setSelectedSegmentIndex(0);
    size.setSelectedSegmentIndex(3);
    shape.setSelectedSegmentIndex(0);
    drag({{20, 90}, {300, 300}, {150, 420}});
    drag({{300, 100}, {30, 400}});
    qInstallMessageHandler(before);
    EXPECT_FALSE(history.recordKept());
    EXPECT_EQ(gWarnings.filter("drawing record passed its bounds").size(), 1) << gWarnings.join('\n').toStdString();

    const std::vector<std::uint8_t> painted = workingPicture();
    const auto [image, reason] = exportedWithReason(canvas);
    EXPECT_EQ(image.size(), QSize(1024, 768));
    EXPECT_EQ(reason, "the drawing record passed its bounds");
    ASSERT_TRUE(canvas->SaveProject(4));
    const QString project = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(4));
    EXPECT_FALSE(QFile::exists(ProjectSideFiles::recordPath(project)));
    ASSERT_TRUE(canvas->undo());
    ASSERT_TRUE(canvas->undo());
    startFromPhoto(0);
    ASSERT_TRUE(canvas->LoadProject(4));
    EXPECT_EQ(workingPicture(), painted);
}

// A project made from a JPEG that stops short keeps that file as its photo, with
// the length and checksum its record names: the photo matches, but decodes only
// in part. No full-size drawing then (it would carry a grey band), one line
// saying why, and the project is as usable as any.
TEST_F(FullResolution, AStoredPhotoThatStopsShortGivesNoFullSizeDrawing)
{
    QImage photo(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, photoPixel(x, y) | 0xff000000u);
    const QByteArray whole = ImportTestFiles::jpegBytes(photo);
    const QByteArray cut = whole.left(whole.size() * 3 / 4);
    photoPath = temp.filePath("cut.jpg");
    ASSERT_TRUE(ImportTestFiles::writeFile(photoPath, cut));
    ASSERT_EQ(readImportFile(photoPath).warning, "the picture is incomplete (truncated file)");
    startFromPhoto(2);
    paintSome();
    ASSERT_TRUE(canvas->SaveProject(6));
    const QString project = DocumentsDirectory::filePath(ProjectSlotFiles::projectFileName(6));
    ASSERT_TRUE(ProjectSideFiles::holdsBytes(ProjectSideFiles::photoPath(project), cut));
    const std::vector<std::uint8_t> painted = workingPicture();
    const QString why = "the photo does not decode completely: the picture is incomplete (truncated file)";

    // The tool: its four pictures, no full.png, one line.
    QProcess tool;
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {"--project", project, "-o", temp.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(tool.readAllStandardError()),
              QStringLiteral("charcolino-sketch: %1: no full.png: %2\n").arg(project, why));
    EXPECT_TRUE(QFile::exists(temp.filePath("out/working.png")));
    EXPECT_FALSE(QFile::exists(temp.filePath("out/full.png")));

    // The program: the project loads whole, its export is at the project's size
    // with the reason, and painting and saving go on.
    startFromPhoto(0);
    ASSERT_TRUE(canvas->LoadProject(6));
    ASSERT_EQ(workingPicture(), painted);
    gWarnings.clear();
    const QtMessageHandler before = qInstallMessageHandler(keepWarning);
    const auto [image, reason] = exportedWithReason(canvas);
    qInstallMessageHandler(before);
    EXPECT_EQ(image.size(), QSize(1024, 768));
    EXPECT_EQ(reason, "the full-size drawing failed: " + why);
    // (libjpeg's own note on the cut data aside)
    EXPECT_EQ(gWarnings.filter("photo"), QStringList{"Cannot draw the picture at the photo's size: " + why});
    toolbar.setSelectedSegmentIndex(1);
    drag({{60, 380}, {260, 120}});
    EXPECT_TRUE(canvas->SaveProject(6));
}
