#include "app/CursorHotSpot.h"

namespace CursorHotSpot {

QPoint centre(QSize pixels, double devicePixelRatio, const QString& platform)
{
    if (platform == QLatin1String("xcb") || devicePixelRatio <= 0.0)
        return QPoint(pixels.width() / 2, pixels.height() / 2);
    return QPoint(int(pixels.width() / devicePixelRatio / 2), int(pixels.height() / devicePixelRatio / 2));
}

}  // namespace CursorHotSpot
