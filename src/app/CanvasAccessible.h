#pragma once

#include <QAccessibleWidget>
#include <QString>

class CanvasView;

// What assistive technology sees of the canvas: a canvas named "Picture" whose
// description tells what the pointer does (the tool) and the zoom, read anew on
// every request.
class CanvasAccessible : public QAccessibleWidget {
public:
    explicit CanvasAccessible(CanvasView* canvas);

    QString text(QAccessible::Text t) const override;

    // The description for a tool (toolbar index, -1 none) and zoom, e.g. "Paints
    // from the black pencil sketch. Zoom 80 %."; `loaded` NO: no picture.
    static QString describe(int tool, float zoom, bool loaded);
    // Installs the factory that gives every CanvasView this interface; once.
    static void install();
};
