#pragma once

#include <QImage>

// Orientation tags: how the stored bitmap must be turned to appear upright.
enum ImageOrientation : int {
    ImageOrientationUp = 0,
    ImageOrientationDown = 1,
    ImageOrientationLeft = 2,
    ImageOrientationRight = 3,
    ImageOrientationUpMirrored = 4,
    ImageOrientationDownMirrored = 5,
    ImageOrientationLeftMirrored = 6,
    ImageOrientationRightMirrored = 7,
};

// A picture as the canvas receives it: a bitmap, which may be missing (a null
// QImage: the file could not be read), and the orientation tag 0..7.
struct Image {
    QImage bitmap;
    int orientation = ImageOrientationUp;

    bool hasBitmap() const { return !bitmap.isNull(); }
};
