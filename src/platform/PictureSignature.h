#pragma once

#include <QFile>

// Whether `file` starts as a picture of a format that is read (WebP, TIFF, or an
// uncompressed TGA named so, which has no signature of its own) although no reader
// took it: then it is damaged or incomplete rather than of an unknown format.
// Only peeks: the file's position is kept.
bool looksLikeReadablePicture(QFile& file);
