#pragma once

#include "platform/Geometry.h"

#include <vector>

// One touch event as the canvas sees it: the positions of every finger on the
// widget at this moment, in the widget's coordinates (points, origin top-left,
// y downwards). Fingers that did not move and fingers being lifted are included.
struct TouchEvent {
    std::vector<FloatPoint> allTouches;
};
