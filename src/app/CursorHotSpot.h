#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

// Where the hot spot of a cursor picture is given. The X backend takes it in the
// picture's own device pixels; the other window systems take it in points, as
// QCursor documents it.
namespace CursorHotSpot {

// The centre of a picture of `pixels` device pixels made for `devicePixelRatio`,
// in the unit of the platform named `platform` (QGuiApplication::platformName()).
QPoint centre(QSize pixels, double devicePixelRatio, const QString& platform);

}  // namespace CursorHotSpot
