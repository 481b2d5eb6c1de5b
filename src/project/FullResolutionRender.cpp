#include "project/FullResolutionRender.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>

#include "project/BlendedDab.h"
#include "project/BrushDab.h"
#include "project/FullSizePhoto.h"
#include "project/StrokeMask.h"
#include "filter/SketchFilterScaled.h"
#include "base/PixelMemory.h"
#include "base/RunOnThreads.h"

namespace {

// Inside the brush: BrushDab's test for a round dab, the same float operations in
// the same order, so that both give the same pixels.
bool insideRound(const BrushDab::Dab& dab, int x, float dy2, float r2)
{
    const float dx = float(x) - dab.centre.x;
    const float dx2 = dx * dx;
    return dy2 + dx2 < r2;
}

// For each row of the box, the leftmost and rightmost column the dab covers there
// (left > right: none): exactly BrushDab::columnRun's pixels, found row by row.
// A round dab's test only grows with the distance from the centre column, so each
// row is one span; its ends are estimated and then settled by the exact test,
// which costs a few tests a row instead of one a pixel of the box.
void rowSpans(const BrushDab::Dab& dab, const BrushDab::Box& box, int* left, int* right)
{
    for (int y = box.ys; y <= box.ye; ++y) {
        int& l = left[y - box.ys];
        int& r = right[y - box.ys];
        if (dab.shape == BrushDab::Square) {
            l = box.xs;
            r = box.xe;
            continue;
        }
        l = INT_MAX;
        r = INT_MIN;
        const float dy = float(y) - dab.centre.y;
        const float dy2 = dy * dy;
        const float r2 = dab.radius * dab.radius;
        const double nearest = std::clamp(std::round(double(dab.centre.x)), double(box.xs), double(box.xe));
        const int middle = int(nearest);
        if (!insideRound(dab, middle, dy2, r2))
            continue;
        const double half = std::sqrt(std::max(double(r2) - double(dy2), 0.0));
        int a = int(std::clamp(std::floor(double(dab.centre.x) - half), double(box.xs), double(middle)));
        while (a > box.xs && insideRound(dab, a - 1, dy2, r2))
            --a;
        while (!insideRound(dab, a, dy2, r2))
            ++a;
        int b = int(std::clamp(std::ceil(double(dab.centre.x) + half), double(middle), double(box.xe)));
        while (b < box.xe && insideRound(dab, b + 1, dy2, r2))
            ++b;
        while (!insideRound(dab, b, dy2, r2))
            --b;
        l = a;
        r = b;
    }
}

}  // namespace

StrokeHistory::Dab scaledDab(const StrokeHistory::Dab& dab, double scaleX, double scaleY)
{
    // In double, so that a scale of 1 gives back exactly the float it was given.
    StrokeHistory::Dab out = dab;
    out.centre.x = float((double(dab.centre.x) + 0.5) * scaleX - 0.5);
    out.centre.y = float((double(dab.centre.y) + 0.5) * scaleY - 0.5);
    out.radius = float(double(dab.radius) * std::sqrt(scaleX * scaleY));
    return out;
}

namespace {

// The dabs at the picture's scale that reach it, each with its box.
struct PlacedDabs {
    std::vector<StrokeHistory::Dab> dabs;
    std::vector<BrushDab::Box> boxes;
};

PlacedDabs placeDabs(const FullResolutionJob& job, double scaleX, double scaleY)
{
    PlacedDabs placed;
    if (!job.dabs)
        return placed;
    placed.dabs.reserve(job.dabs->size());
    bool startPending = false;  // of a stroke whose first dab misses this picture
    for (const StrokeHistory::Dab& dab : *job.dabs) {
        StrokeHistory::Dab d = (scaleX == 1.0 && scaleY == 1.0) ? dab : scaledDab(dab, scaleX, scaleY);
        const BrushDab::Box box = BrushDab::boundingBox(d.centre, d.radius, job.picsize, job.bufferWidth, job.bufferHeight);
        if (box.empty() || (d.shape != BrushDab::Round && d.shape != BrushDab::Square)) {
            startPending = startPending || d.startsStroke;
            continue;
        }
        d.startsStroke = d.startsStroke || startPending;
        startPending = false;
        placed.dabs.push_back(d);
        placed.boxes.push_back(box);
    }
    return placed;
}

// One band's rows [first, end) of the picture, its three sources holding the
// band's rows from inFirst on: the start image, then each dab as the brush lays
// it (BrushDab's coverage; soft and partial dabs through the stroke's mask, as
// the canvas lays them), limited to the band's rows.
struct Band {
    int first = 0;
    int end = 0;
    int inFirst = 0;
    const std::uint8_t* sources[3] = {};  // black sketch, colour sketch, photo
};

// Rows [first, end), columns [from, to) of the band: every pixel's drawing
// depends on that pixel alone, so the band can be drawn in pieces, each with a
// mask of its own. A piece small enough to stay in the processor's cache while
// every stroke is laid over it.
void drawPiece(const FullResolutionJob& job, const PlacedDabs& placed, const Band& band, int first, int end,
               int from, int to, std::vector<int>& left, std::vector<int>& right, StrokeMask& mask)
{
    const std::size_t stride = std::size_t(job.bufferWidth) * 4;
    const auto bandRow = [&](const std::uint8_t* source, int y) {
        return source + stride * std::size_t(y - band.inFirst);
    };
    for (int y = first; y < end; ++y)
        std::memcpy(job.pixels + stride * std::size_t(y) + std::size_t(from) * 4,
                    bandRow(band.sources[job.startSource], y) + std::size_t(from) * 4, std::size_t(to - from) * 4);

    // Every piece lays the strokes from their start: the mask follows each
    // stroke's start and first soft or partial dab, wherever they fall.
    // The soft and partial dabs of a stroke are marked and blended once, when
    // the stroke ends (StrokeMask::mark).
    mask.reset();
    mask.limitRows(first, end - 1);
    std::optional<BlendedDab::Shares> shares;
    const auto bandSources = [&] {
        return std::array<const std::uint8_t*, 3>{band.sources[0], band.sources[1], band.sources[2]};
    }();
    for (std::size_t i = 0; i < placed.dabs.size(); ++i) {
        const StrokeHistory::Dab& d = placed.dabs[i];
        if (d.startsStroke)
            mask.flush(bandSources.data(), band.inFirst, job.pixels);
        if (!d.plain())
            mask.activate();
        BrushDab::Box box = placed.boxes[i];
        if (box.ye < first || box.ys >= end || box.xe < from || box.xs >= to)
            continue;
        box.ys = std::max(box.ys, first);
        box.ye = std::min(box.ye, end - 1);
        box.xs = std::max(box.xs, from);
        box.xe = std::min(box.xe, to - 1);
        BrushDab::Dab dab;
        dab.centre = d.centre;
        dab.radius = d.radius;
        dab.shape = d.shape;
        dab.picsize = job.picsize;
        dab.bufferWidth = job.bufferWidth;
        dab.bufferHeight = job.bufferHeight;
        const int sourceIndex = d.drawType == 0 || d.drawType == 1 ? d.drawType : 2;
        const std::uint8_t* source = band.sources[sourceIndex];
        if (mask.active()) {
            // Strokes keep their hardness and alpha: their shares are made once.
            if (!shares || shares->reveal.hardness != d.hardness || shares->reveal.alpha != d.alpha)
                shares.emplace(BlendedDab::Reveal{d.hardness, d.alpha});
            BlendedDab::markRows(dab, *shares, box, sourceIndex, mask);
            continue;
        }
        rowSpans(dab, box, left.data(), right.data());
        for (int y = box.ys; y <= box.ye; ++y) {
            const int l = left[std::size_t(y - box.ys)];
            const int r = right[std::size_t(y - box.ys)];
            if (l > r)
                continue;
            std::memcpy(job.pixels + stride * std::size_t(y) + std::size_t(l) * 4,
                        bandRow(source, y) + std::size_t(l) * 4, std::size_t(r - l + 1) * 4);
        }
    }
    mask.flush(bandSources.data(), band.inFirst, job.pixels);
}

// The band in pieces of whole mask tiles' rows and columns, shared out between
// this thread and the processor's others.
void drawBand(const FullResolutionJob& job, const PlacedDabs& placed, const Band& band)
{
    constexpr int kPiece = StrokeMask::kTileSide;
    // 32 rows of 512 pixels: 64 KB of the drawing and of each source.
    constexpr int kPieceColumns = 16 * StrokeMask::kTileSide;
    const int columns = pictureExtent(job.picsize.width, job.bufferWidth);
    const int across = (columns + kPieceColumns - 1) / kPieceColumns;
    const int start = band.first / kPiece * kPiece;
    const int pieces = (band.end - start + kPiece - 1) / kPiece * across;
    std::atomic<int> next{0};
    const auto work = [&] {
        std::vector<int> left(kPiece), right(kPiece);
        StrokeMask mask;
        mask.reset(job.bufferWidth, job.bufferHeight);
        for (int k = next++; k < pieces; k = next++) {
            const int down = k / across, side = k % across;
            drawPiece(job, placed, band, std::max(band.first, start + down * kPiece),
                      std::min(band.end, start + (down + 1) * kPiece), side * kPieceColumns,
                      std::min(columns, (side + 1) * kPieceColumns), left, right, mask);
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    runOnNewThreads(std::min(int(cores) - 1, pieces - 1), work);
}

bool validJob(const FullResolutionJob& job)
{
    return job.pixels && job.bufferWidth > 0 && job.bufferHeight > 0 && job.startSource >= 0 &&
           job.startSource <= 2 && job.projectPicsize.width > 0.0f && job.projectPicsize.height > 0.0f &&
           job.bandRows > 0;
}

}  // namespace

namespace {

// Where the bands' photo rows come from and their drawing goes: `readRows` gives
// the next rows of the upright photo, top to bottom; band [first, end) is drawn
// into `drawnRows(first)`, the buffer's row `first` (rows first .. end - 1 of the
// picture, a stride apart).
struct BandFlow {
    std::function<bool(std::uint8_t* rows, int first, int count)> readRows;
    std::function<std::uint8_t*(int first)> drawnRows;
    std::function<bool(const std::uint8_t* rows, int first, int end)> bandDrawn;
};

bool validFlowJob(const FullResolutionJob& job)
{
    return job.bufferWidth > 0 && job.bufferHeight > 0 && job.startSource >= 0 && job.startSource <= 2 &&
           job.projectPicsize.width > 0.0f && job.projectPicsize.height > 0.0f && job.bandRows > 0;
}

bool renderBands(const FullResolutionJob& job, const BandFlow& flow)
{
    if (!validFlowJob(job))
        return false;
    const int columns = pictureExtent(job.picsize.width, job.bufferWidth);
    const int rows = pictureExtent(job.picsize.height, job.bufferHeight);
    if (columns <= 0 || rows <= 0)
        return false;

    const double scaleX = double(job.picsize.width) / double(job.projectPicsize.width);
    const double scaleY = double(job.picsize.height) / double(job.projectPicsize.height);
    // On a larger picture the sketches' lines widen with it, as the dabs do.
    const double sketchScale = fullSizeSketchScale(job.picsize, job.projectPicsize);
    const int reach = scaledSketchReach(sketchScale);  // rows the filter looks up and down

    const std::size_t stride = std::size_t(job.bufferWidth) * 4;
    const int bandRows = std::min(job.bandRows, rows);
    const std::size_t bandBytes = stride * std::size_t(bandRows + 2 * reach);
    PixelBlock input = PixelMemory::allocate(bandBytes);
    PixelBlock black = PixelMemory::allocate(bandBytes);
    PixelBlock color = PixelMemory::allocate(bandBytes);
    if (!input || !black || !color)
        return false;

    const PlacedDabs placed = placeDabs(job, scaleX, scaleY);
    const bool sketched = job.startSource != 2 || !placed.dabs.empty();

    // Band [first, end) reads the photo's rows first - reach .. end + reach - 1.
    // `input` holds the photo's rows from the band's inFirst up to `read` (the
    // rows read so far): those above `first` carried over from the band before,
    // with the rows it looked down to.
    int read = 0;
    for (int first = 0; first < rows; first += bandRows) {
        Band band;
        band.first = first;
        band.end = std::min(first + bandRows, rows);
        band.inFirst = std::max(0, first - reach);
        const int inEnd = std::min(band.end + reach, rows);
        if (inEnd > read &&
            !flow.readRows(input.get() + stride * std::size_t(read - band.inFirst), read, inEnd - read))
            return false;
        read = std::max(read, inEnd);

        SketchBuffers sketch;
        sketch.original = input.get();
        sketch.black = black.get();
        sketch.color = color.get();
        sketch.width = job.bufferWidth;
        sketch.height = inEnd - band.inFirst;
        sketch.picsize = FloatSize{job.picsize.width, float(inEnd - band.inFirst)};
        if (sketched && !buildSketchScaled(sketch, sketchScale, first - band.inFirst, band.end - band.inFirst))
            return false;
        band.sources[0] = black.get();
        band.sources[1] = color.get();
        band.sources[2] = input.get();
        // The dabs are laid at the picture's rows: the job's buffer seen so that
        // its row `first` is where this band is drawn.
        std::uint8_t* drawn = flow.drawnRows(first);
        FullResolutionJob bandJob = job;
        bandJob.pixels = reinterpret_cast<std::uint8_t*>(reinterpret_cast<std::uintptr_t>(drawn) -
                                                         stride * std::size_t(first));
        drawBand(bandJob, placed, band);
        if (flow.bandDrawn && !flow.bandDrawn(drawn, band.first, band.end))
            return false;

        // The photo rows the next band looks up and down to.
        const int nextInFirst = std::max(0, band.end - reach);
        std::memmove(input.get(), input.get() + stride * std::size_t(nextInFirst - band.inFirst),
                     stride * std::size_t(read - nextInFirst));
    }
    return true;
}

}  // namespace

bool renderFullResolution(const FullResolutionJob& job, const BandDrawn& bandDrawn)
{
    if (!validJob(job))
        return false;
    const std::size_t stride = std::size_t(job.bufferWidth) * 4;
    BandFlow flow;
    // Rows from the band's first down are still the photo when they are read.
    flow.readRows = [&](std::uint8_t* rows, int first, int count) {
        std::memcpy(rows, job.pixels + stride * std::size_t(first), stride * std::size_t(count));
        return true;
    };
    flow.drawnRows = [&](int first) { return job.pixels + stride * std::size_t(first); };
    if (bandDrawn)
        flow.bandDrawn = [&](const std::uint8_t*, int first, int end) { return bandDrawn(first, end); };
    return renderBands(job, flow);
}

bool renderFullResolutionStreamed(const FullResolutionJob& job, const PhotoRows& photoRows,
                                  const BandRowsDrawn& bandDrawn)
{
    if (!validFlowJob(job) || !photoRows || !bandDrawn)
        return false;
    const std::size_t stride = std::size_t(job.bufferWidth) * 4;
    const int rows = std::min(pictureExtent(job.picsize.height, job.bufferHeight), job.bandRows);
    PixelBlock out = PixelMemory::allocate(stride * std::size_t(std::max(rows, 1)));
    if (!out)
        return false;
    BandFlow flow;
    flow.readRows = [&](std::uint8_t* into, int, int count) { return photoRows(into, count); };
    flow.drawnRows = [&](int) { return out.get(); };
    flow.bandDrawn = bandDrawn;
    return renderBands(job, flow);
}

bool replayGivesWorking(const std::uint8_t* original, const std::uint8_t* working, int width, int height,
                        FloatSize picsize, int startSource, const std::vector<StrokeHistory::Dab>& dabs)
{
    if (!original || !working || width <= 0 || height <= 0)
        return false;
    const std::size_t stride = std::size_t(width) * 4;
    PixelBlock replay = PixelMemory::allocate(stride * std::size_t(height));
    if (!replay)
        return false;
    std::memcpy(replay.get(), original, stride * std::size_t(height));
    FullResolutionJob job;
    job.pixels = replay.get();
    job.bufferWidth = width;
    job.bufferHeight = height;
    job.picsize = picsize;
    job.projectPicsize = picsize;
    job.startSource = startSource;
    job.dabs = &dabs;
    if (!renderFullResolution(job))
        return false;
    const std::size_t rowBytes = std::size_t(pictureExtent(picsize.width, width)) * 4;
    const int rows = pictureExtent(picsize.height, height);
    for (int y = 0; y < rows; ++y)
        if (std::memcmp(replay.get() + stride * std::size_t(y), working + stride * std::size_t(y), rowBytes) != 0)
            return false;
    return true;
}
