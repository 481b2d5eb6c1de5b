#include "widgets/FittingFont.h"

#include <QFontMetricsF>

QFont fittingFont(const QFont& font, const QString& text, int width, qreal smallest)
{
    if (QFontMetricsF(font).horizontalAdvance(text) <= width)
        return font;
    const bool inPixels = font.pointSizeF() <= 0;
    const qreal size = inPixels ? qreal(font.pixelSize()) : font.pointSizeF();
    const qreal step = inPixels ? 1.0 : 0.25;
    QFont smaller = font;
    for (qreal s = size - step; s >= size * smallest; s -= step) {
        if (inPixels)
            smaller.setPixelSize(int(s));
        else
            smaller.setPointSizeF(s);
        if (QFontMetricsF(smaller).horizontalAdvance(text) <= width)
            return smaller;
    }
    return smaller;
}
