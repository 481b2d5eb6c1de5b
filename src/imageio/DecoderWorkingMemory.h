#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QSize>

// The memory a decoder holds while it decodes a picture of `size` from `file` (of
// Qt's format name `format`), beside the picture it decodes into, from the file's
// headers alone:
// - WebP: the file's bytes (the reader takes them whole), a lossless picture's
//   own 4-byte ARGB copy, a lossy one's alpha plane, an animation's canvas;
// - JPEG: the whole picture's coefficients (2 bytes a sample) when it is
//   progressive or its first scan does not hold every component, whatever size
//   it is decoded at;
// - TIFF: a compressed strip or tile, as stored and decoded (a picture stored in
//   one strip is held once more whole);
// - HEIF/AVIF: the file's bytes.
// 0 for the other formats (they decode row by row into the picture). Leaves the
// file's position where it was.
qint64 decoderWorkingBytes(QIODevice& file, const QByteArray& format, QSize size);
