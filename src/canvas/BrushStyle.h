#pragma once

// How the brush reveals, beside the source, size preset and shape that the band's
// segmented controls hold: a size between the presets, the hardness of its edge,
// the strength of a stroke, and what a pen's pressure changes. The default is
// the hard brush of the presets at full strength.
struct BrushStyle {
    // The radius in points on screen; 0 takes the size control's preset
    // (10 + 5 x its index).
    double radiusPoints = 0.0;
    // Percent: 100 the hard edge, 0 fully soft.
    int hardness = 100;
    // Percent of the source a stroke reveals at most, 10 .. 100.
    int strength = 100;
    // With a pen, whether its pressure scales the strength too (it always scales
    // the radius).
    bool pressureSetsStrength = false;

    friend bool operator==(const BrushStyle&, const BrushStyle&) = default;
};
