#pragma once

#include <QIODevice>

// Whether the GIF stream in `device` (read from its start) holds the whole of its
// first picture, the one read: its blocks are walked by their lengths up to the
// empty block that closes that picture's data. False when the file stops before,
// as a cut-off download or copy does. A stream that does not start like a GIF, or
// whose blocks are not as a GIF's are, is not judged (true): the decoder judged
// that. Leaves the device at an unspecified position.
bool gifHoldsFirstPicture(QIODevice& device);
