#pragma once

#include <QIODevice>

// Whether the JPEG stream in `device` (read from its start) reaches its end
// marker: false when the file stops short, as a cut-off download or copy does.
// The segments before the first scan are skipped by their lengths, so markers in
// an embedded preview do not count; bytes after the end marker are allowed. A
// stream that does not start like a JPEG is not judged (true). Leaves the device
// at an unspecified position.
bool jpegReachesEndMarker(QIODevice& device);
