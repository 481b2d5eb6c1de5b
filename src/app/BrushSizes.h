#pragma once

// The brush's sizes as the controls step through them: radii in points on
// screen. The four presets are the size control's segments (10 + 5 x index);
// between 2 and 200 points the radius also goes in steps of 10 %, kept to a
// tenth of a point, and a slider spans that range evenly in ratio.
namespace BrushSizes {

constexpr double kSmallest = 2.0;
constexpr double kLargest = 200.0;
constexpr int kPresets = 4;
constexpr int kSliderSteps = 1000;

double presetRadius(int index);
// The preset index of this radius, or -1 when it is none of them.
int presetIndex(double radius);
// 10 % larger or smaller, to a tenth of a point, within the range; always a
// step away from `radius` unless at the end of the range.
double larger(double radius);
double smaller(double radius);
// The preset after or before `radius` (which may lie between presets), or -1
// when there is none that way.
int presetAbove(double radius);
int presetBelow(double radius);
// Slider position 0..kSliderSteps and the radius there.
int sliderPosition(double radius);
double radiusAtSlider(int position);

}  // namespace BrushSizes
