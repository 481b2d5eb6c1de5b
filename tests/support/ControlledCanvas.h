#pragma once

#include <QWidget>

#include "canvas/CanvasView.h"
#include "widgets/SegmentedControl.h"

// A canvas of the application's size (320 x 390 points at (0, 70)) in a window of
// its own, with no project yet, and the toolbar, brush size and brush shape
// controls handed to it, for tests that paint through the canvas's own controls.
struct ControlledCanvas {
    QWidget window;
    CanvasView* canvas = nullptr;
    SegmentedControl toolbar{QStringList{"Black", "Colour", "Photo", "Move"}};
    SegmentedControl size{QStringList{"S", "M", "L", "XL"}};
    SegmentedControl shape{QStringList{"Round", "Square"}};

    // Makes the canvas; false when there is no GL context.
    bool makeCanvas();
};
