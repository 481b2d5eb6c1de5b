#include "app/BrushCursor.h"

#include <QGuiApplication>

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>

#include "app/CursorHotSpot.h"
#include "project/BrushDab.h"

namespace BrushCursor {

QImage outline(double radius, int shape, qreal devicePixelRatio, double innerRadius)
{
    const double r = std::max(1.0, radius * devicePixelRatio);
    const int side = 2 * int(std::ceil(r)) + 4;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const QPointF centre(side / 2.0, side / 2.0);
    const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    for (const QPen& pen : {QPen(QColor(255, 255, 255, 200), 3.0), QPen(Qt::black, 1.0)}) {
        p.setPen(pen);
        if (shape == BrushDab::Square)
            p.drawRect(box);
        else
            p.drawEllipse(box);
    }
    const double inner = innerRadius * devicePixelRatio;
    if (inner >= 1.0 && inner < r - 2.0) {
        const QRectF core(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);
        p.setPen(QPen(QColor(0, 0, 0, 160), 1.0, Qt::DotLine));
        if (shape == BrushDab::Square)
            p.drawRect(core);
        else
            p.drawEllipse(core);
    }
    p.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QCursor cursor(double radius, int shape, qreal devicePixelRatio, double innerRadius)
{
    const QPixmap pixmap = QPixmap::fromImage(outline(radius, shape, devicePixelRatio, innerRadius));
    const QPoint hot = CursorHotSpot::centre(pixmap.size(), devicePixelRatio, QGuiApplication::platformName());
    return QCursor(pixmap, hot.x(), hot.y());
}

}  // namespace BrushCursor
