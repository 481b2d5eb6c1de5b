#include "app/CanvasAccessible.h"

#include <QCoreApplication>
#include <cmath>

#include "canvas/CanvasView.h"

namespace {

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CanvasView") && object && object->isWidgetType())
        return new CanvasAccessible(static_cast<CanvasView*>(object));
    return nullptr;
}

}  // namespace

CanvasAccessible::CanvasAccessible(CanvasView* canvas) : QAccessibleWidget(canvas, QAccessible::Canvas) {}

QString CanvasAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return QCoreApplication::translate("CanvasAccessible", "Picture");
    if (t == QAccessible::Description) {
        const auto* canvas = static_cast<const CanvasView*>(object());
        const SegmentedControl* toolbar = canvas->toolbar();
        return describe(toolbar ? toolbar->selectedSegmentIndex() : -1, canvas->zoomLevel(), canvas->isLoaded());
    }
    return QAccessibleWidget::text(t);
}

QString CanvasAccessible::describe(int tool, float zoom, bool loaded)
{
    if (!loaded)
        return QCoreApplication::translate("CanvasAccessible", "No picture.");
    static const char* const kTools[] = {QT_TRANSLATE_NOOP("CanvasAccessible", "Paints from the black pencil sketch."),
                                         QT_TRANSLATE_NOOP("CanvasAccessible", "Paints from the colour pencil sketch."),
                                         QT_TRANSLATE_NOOP("CanvasAccessible", "Paints from the photo."),
                                         QT_TRANSLATE_NOOP("CanvasAccessible", "Moves and zooms the picture.")};
    const QString what = tool >= 0 && tool < 4 ? QCoreApplication::translate("CanvasAccessible", kTools[tool])
                                               : QCoreApplication::translate("CanvasAccessible", "No tool.");
    return QCoreApplication::translate("CanvasAccessible", "%1 Zoom %2 %.")
        .arg(what)
        .arg(std::lround(double(zoom) * 100.0));
}

void CanvasAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    (void)installed;
}
