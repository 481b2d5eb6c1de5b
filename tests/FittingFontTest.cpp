// Titles too long for a small control (a longer translation) are set smaller,
// down to a floor; titles that fit keep the font.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>

#include <cmath>

#include "widgets/FittingFont.h"

TEST(FittingFont, ATitleThatDoesNotFitIsSetSmallerDownToTheFloor)
{
    QFont font = QApplication::font();
    font.setPointSizeF(12.0);
    const QString title = QStringLiteral("Wiederholen");
    const qreal full = QFontMetricsF(font).horizontalAdvance(title);
    const struct {
        qreal width;  // as a share of the title's width at full size
        bool fits;    // at some size no smaller than the floor
    } cases[] = {{1.5, true}, {1.0, true}, {0.9, true}, {0.8, true}, {0.5, false}};
    for (const auto& c : cases) {
        const int width = int(std::ceil(full * c.width));
        const QFont fitted = fittingFont(font, title, width);
        SCOPED_TRACE(c.width);
        EXPECT_GE(fitted.pointSizeF(), 12.0 * 0.75);
        EXPECT_LE(fitted.pointSizeF(), 12.0);
        if (c.width >= 1.0) {
            EXPECT_TRUE(fitted == font) << "a title that fits keeps its font";
        }
        if (c.fits) {
            EXPECT_LE(QFontMetricsF(fitted).horizontalAdvance(title), width);
            // The largest size that fits: a quarter point more does not.
            if (fitted != font) {
                QFont larger = fitted;
                larger.setPointSizeF(fitted.pointSizeF() + 0.25);
                EXPECT_GT(QFontMetricsF(larger).horizontalAdvance(title), width);
            }
        } else {
            EXPECT_DOUBLE_EQ(fitted.pointSizeF(), 9.0) << "no smaller than three quarters";
        }
    }
}
