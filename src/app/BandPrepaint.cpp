#include "app/BandPrepaint.h"

#include <QImage>
#include <QWidget>

void BandPrepaint::run(QWidget* view)
{
    const qreal ratio = view->devicePixelRatioF();
    // The backing store's format, so the glyphs cached are the ones the screen uses.
    QImage scratch(view->size() * ratio, QImage::Format_RGB32);
    if (scratch.isNull())
        return;
    scratch.setDevicePixelRatio(ratio);
    view->render(&scratch);
}
