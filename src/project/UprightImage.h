#pragma once

#include <QSize>

#include "imageio/Image.h"

// Neither side of an imported picture exceeds this many pixels.
inline constexpr int kImportMaxSide = 1024;

// The size a picture of `stored` size is imported at, in the same axes (before any
// quarter turn). A picture with no side above 1024 keeps its size. A larger one is
// scaled to 1024 on its longer side, keeping its ratio (a square one becomes
// 1024 x 1024); the shorter side is rounded to the nearest whole pixel, at least 1.
QSize importScaledSize(QSize stored);

// The picture upright and at its import size: scaled smoothly to importScaledSize,
// then turned by its orientation tag as an exact pixel remap (scaling and the
// axis permutations commute). The bitmap is RGBA8888 premultiplied, sRGB when the
// picture carried another colour space; the orientation is Up. A picture without a
// bitmap gives one without a bitmap. Throws InternalInconsistency("Invalid image
// orientation") for a tag outside 0..7.
Image uprightImage(const Image& image);
