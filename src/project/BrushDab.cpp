#include "project/BrushDab.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace BrushDab {

namespace {

// Float to int by truncation toward zero. Values beyond the int range (a touch far
// away at a tiny zoom) saturate instead of being undefined; inside the range this
// is the plain conversion.
int truncated(float v)
{
    if (v < -2147483648.0f)
        return INT_MIN;
    if (v >= 2147483648.0f)
        return INT_MAX;
    return static_cast<int>(v);
}

}  // namespace

FloatPoint centreInPicture(FloatPoint touch, const Placement& p)
{
    const float z = p.zoomlevel;
    const float px = ((z * p.picsize.width * 0.5f - float(p.centerx)) + touch.x) / z;
    const float py = (((z * p.picsize.height * 0.5f + float(p.centery)) + touch.y) - p.boundsHeight) / z;
    return FloatPoint{px, py};
}

float radiusInPixels(int sizeIndex, float zoomlevel)
{
    return static_cast<float>((double(sizeIndex) * 5.0 + 10.0) / double(zoomlevel));
}

Box boundingBox(FloatPoint c, float r, FloatSize picsize, int bufferWidth, int bufferHeight)
{
    // A centre or radius that is not a number (a zoom of 0) covers nothing.
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(r))
        return Box{};

    const int x0 = truncated(c.x - r);
    const int y0 = truncated(c.y - r);
    const int y1 = truncated(c.y + r);

    Box box;
    box.xs = x0 < 0 ? 0 : x0;
    box.ys = y0 < 0 ? 0 : y0;
    // Clipped against the picture, compared as floats.
    box.xe = truncated(std::min(float(truncated(c.x + r)), picsize.width - 1.0f));
    box.ye = truncated(std::min(float(y1), picsize.height - 1.0f));
    // A picture never exceeds its buffer; should the sizes disagree, the buffer
    // bounds the writes.
    box.xe = std::min(box.xe, bufferWidth - 1);
    box.ye = std::min(box.ye, bufferHeight - 1);
    return box;
}

bool columnRun(const Dab& dab, const Box& box, int x, ColumnRun* run)
{
    if (dab.shape == Square) {
        if (box.ys > box.ye)
            return false;
        *run = ColumnRun{x, box.ys, box.ye};
        return true;
    }
    if (dab.shape != Round)
        return false;

    // Squared distances in float, in the order (y - py)^2 + (x - px)^2. The pixels
    // inside form one unbroken run about the row nearest the centre, because the
    // distance only grows away from it (each float step is monotonic). So the run's
    // ends are found from where the circle crosses the column, worked out in
    // double, and settled with the float test itself a row or two either way.
    const float dx = float(x) - dab.centre.x;
    const float dx2 = dx * dx;
    const float r2 = dab.radius * dab.radius;
    const auto inside = [&](int y) {
        const float dy = float(y) - dab.centre.y;
        return dy * dy + dx2 < r2;
    };
    if (box.ys > box.ye || !(dx2 < r2))
        return false;
    const double cy = double(dab.centre.y);
    const int mid = int(std::clamp(std::floor(cy + 0.5), double(box.ys), double(box.ye)));
    if (!inside(mid))
        return false;
    const double half = std::sqrt(double(r2) - double(dx2));
    int first = int(std::clamp(std::ceil(cy - half), double(box.ys), double(mid)));
    if (inside(first)) {
        while (first > box.ys && inside(first - 1))
            --first;
    } else {
        while (!inside(first))
            ++first;
    }
    int last = int(std::clamp(std::floor(cy + half), double(mid), double(box.ye)));
    if (inside(last)) {
        while (last < box.ye && inside(last + 1))
            ++last;
    } else {
        while (!inside(last))
            --last;
    }
    *run = ColumnRun{x, first, last};
    return true;
}

void rowSpans(const std::vector<ColumnRun>& runs, const Box& box, std::vector<int>& left, std::vector<int>& right)
{
    left.assign(box.empty() ? 0 : std::size_t(box.ye - box.ys + 1), INT_MAX);
    right.assign(left.size(), INT_MIN);
    // A row's span is found where it enters and leaves the runs: rows of a run
    // outside the run before it start there, rows of that run outside this one
    // ended at that run's column. That walks the outline, not the area.
    const auto enter = [&](int x, int from, int to) {
        for (int y = from; y <= to; ++y)
            left[std::size_t(y - box.ys)] = std::min(left[std::size_t(y - box.ys)], x);
    };
    const auto leave = [&](int x, int from, int to) {
        for (int y = from; y <= to; ++y)
            right[std::size_t(y - box.ys)] = std::max(right[std::size_t(y - box.ys)], x);
    };
    ColumnRun before{0, 0, -1};  // empty
    for (const ColumnRun& run : runs) {
        enter(run.x, run.first, std::min(run.last, before.first - 1));
        enter(run.x, std::max(run.first, before.last + 1), run.last);
        leave(before.x, before.first, std::min(before.last, run.first - 1));
        leave(before.x, std::max(before.first, run.last + 1), before.last);
        before = run;
    }
    leave(before.x, before.first, before.last);
}

bool paint(const Dab& dab, const std::uint8_t* source, std::uint8_t* working, std::vector<ColumnRun>& runs)
{
    runs.clear();
    if (!source || !working || dab.bufferWidth <= 0 || dab.bufferHeight <= 0)
        return false;
    if (dab.shape != Round && dab.shape != Square)
        return false;

    const Box box = boundingBox(dab.centre, dab.radius, dab.picsize, dab.bufferWidth, dab.bufferHeight);
    if (box.empty())
        return false;

    // The runs first; then the copy row by row, because the columns a row crosses
    // lie side by side in memory while a column's pixels are a whole row apart.
    // Both shapes are unbroken along rows as well, so each row is one span.
    for (int x = box.xs; x <= box.xe; ++x) {
        ColumnRun run;
        if (columnRun(dab, box, x, &run))
            runs.push_back(run);
    }
    std::vector<int> left, right;
    rowSpans(runs, box, left, right);

    const std::size_t stride = std::size_t(dab.bufferWidth) * 4;
    for (int y = box.ys; y <= box.ye; ++y) {
        const std::size_t row = std::size_t(y - box.ys);
        if (left[row] > right[row])
            continue;
        const std::size_t offset = std::size_t(y) * stride + std::size_t(left[row]) * 4;
        std::memcpy(working + offset, source + offset, std::size_t(right[row] - left[row] + 1) * 4);
    }
    return !runs.empty();
}

}  // namespace BrushDab
