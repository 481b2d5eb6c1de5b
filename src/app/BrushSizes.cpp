#include "app/BrushSizes.h"

#include <algorithm>
#include <cmath>

namespace BrushSizes {

namespace {

double tenths(double radius)
{
    return std::clamp(std::round(radius * 10.0) / 10.0, kSmallest, kLargest);
}

}  // namespace

double presetRadius(int index)
{
    return 10.0 + 5.0 * double(std::clamp(index, 0, kPresets - 1));
}

int presetIndex(double radius)
{
    for (int i = 0; i < kPresets; ++i)
        if (std::fabs(radius - presetRadius(i)) < 0.05)
            return i;
    return -1;
}

double larger(double radius)
{
    const double next = tenths(radius * 1.1);
    return next > radius ? next : tenths(radius + 0.1);
}

double smaller(double radius)
{
    const double next = tenths(radius / 1.1);
    return next < radius ? next : tenths(radius - 0.1);
}

int presetAbove(double radius)
{
    for (int i = 0; i < kPresets; ++i)
        if (presetRadius(i) > radius + 0.05)
            return i;
    return -1;
}

int presetBelow(double radius)
{
    for (int i = kPresets - 1; i >= 0; --i)
        if (presetRadius(i) < radius - 0.05)
            return i;
    return -1;
}

int sliderPosition(double radius)
{
    const double r = std::clamp(radius, kSmallest, kLargest);
    return int(std::lround(double(kSliderSteps) * std::log(r / kSmallest) / std::log(kLargest / kSmallest)));
}

double radiusAtSlider(int position)
{
    const double t = double(std::clamp(position, 0, kSliderSteps)) / double(kSliderSteps);
    return tenths(kSmallest * std::pow(kLargest / kSmallest, t));
}

}  // namespace BrushSizes
