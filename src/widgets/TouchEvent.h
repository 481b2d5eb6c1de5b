#pragma once

#include "base/Geometry.h"

#include <vector>

// One touch event as the canvas sees it: the positions of every finger on the
// widget at this moment, in the widget's coordinates (points, origin top-left,
// y downwards). Fingers that did not move and fingers being lifted are included.
struct TouchEvent {
    std::vector<FloatPoint> allTouches;
    // The finger of each touch, in the same order: a number that stays the same
    // while that finger is down. Empty: the index tells the fingers apart.
    std::vector<int> fingerIds = {};
    // A pen's pressure (0..1) for each touch, in the same order; empty for
    // fingers and the mouse, which have none.
    std::vector<float> pressures = {};
    // For an end: no finger stays down (the last one was lifted).
    bool lastFingerLifted = true;
    // For a begin: the first finger of a new gesture was put down.
    bool firstFingerDown = false;
};
