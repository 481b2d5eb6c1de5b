// The brush ring's hot spot sits on the point that paints, at every screen scale,
// in the unit each window system takes it.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>

#include "app/BrushCursor.h"
#include "app/CursorHotSpot.h"

namespace {

// The middle of the drawn outline, in device pixels of the picture, doubled so
// that a centre between two pixels stays whole.
QPoint doubledRingCentre(const QImage& image)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return QPoint(left + right + 1, top + bottom + 1);
}

}  // namespace

TEST(BrushCursor, HotSpotIsTheRingsCentreInDevicePixelsOnXAndInPointsElsewhere)
{
    struct Case {
        double radius;
        int shape;
        double ratio;
    };
    const Case cases[] = {{5.0, 0, 1.0},  {5.0, 0, 1.25}, {5.0, 0, 1.5},  {5.0, 0, 2.0},  {12.5, 1, 1.0},
                          {12.5, 1, 1.25}, {12.5, 1, 1.5}, {12.5, 1, 2.0}, {20.0, 0, 1.5}, {20.0, 1, 2.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "radius " << c.radius << " shape " << c.shape << " ratio " << c.ratio);
        const QImage outline = BrushCursor::outline(c.radius, c.shape, c.ratio);
        const QPoint ring = doubledRingCentre(outline);
        ASSERT_EQ(ring.x(), outline.width()) << "the ring is centred in its picture";
        ASSERT_EQ(ring.y(), outline.height());

        // X: device pixels, exactly the ring's centre.
        EXPECT_EQ(CursorHotSpot::centre(outline.size(), c.ratio, QStringLiteral("xcb")) * 2, ring);
        // Elsewhere: points, within a device pixel of it once scaled back.
        const QPoint points = CursorHotSpot::centre(outline.size(), c.ratio, QStringLiteral("wayland"));
        EXPECT_LE(std::abs(points.x() * c.ratio * 2 - ring.x()), 2.0 * c.ratio);
        EXPECT_LE(std::abs(points.y() * c.ratio * 2 - ring.y()), 2.0 * c.ratio);
    }
    // At a ratio of 1 both units agree.
    EXPECT_EQ(CursorHotSpot::centre(QSize(30, 30), 1.0, QStringLiteral("xcb")),
              CursorHotSpot::centre(QSize(30, 30), 1.0, QStringLiteral("wayland")));
}
