#include "support/MouseDrag.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTest>
#include <QWidget>

void mouseDrag(QWidget* widget, const std::vector<QPoint>& path, Qt::MouseButton button)
{
    QTest::mousePress(widget, button, {}, path.front());
    for (std::size_t i = 1; i < path.size(); ++i) {
        QMouseEvent move(QEvent::MouseMove, path[i], path[i], widget->mapToGlobal(QPointF(path[i])), Qt::NoButton,
                         button, {}, QPointingDevice::primaryPointingDevice());
        QCoreApplication::sendEvent(widget, &move);
    }
    QTest::mouseRelease(widget, button, {}, path.back());
}
