#pragma once

#include <QImage>
#include <cstdint>

#include "base/Geometry.h"

// The picture area of a pixel buffer (width pixels a row, 4 bytes R, G, B, A),
// packed into a block of its own (trunc(picsize.width) x 4 bytes a row, rows
// without gaps) and wrapped as an image that reads the block in place: RGB, the
// fourth byte of each pixel unused. The block lives as long as the last copy of
// the image; then releaseData writes "releaseData\n" to the log and frees it.
// A null image when there is no buffer, no picture or no memory for the copy.
QImage makePictureImage(const std::uint8_t* buffer, int width, FloatSize picsize);

// Release callback of the packed copy: logs "releaseData\n" and frees `data`.
void releaseData(void* data);
