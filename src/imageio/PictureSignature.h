#pragma once

#include <QFile>
#include <QString>

// Whether `file` starts as a picture of a format that is read (WebP, TIFF, or an
// uncompressed TGA whose `path` ends in .tga, as it has no signature of its own)
// although no reader took it: then it is damaged or incomplete rather than of an
// unknown format. Only peeks: the file's position is kept.
bool looksLikeReadablePicture(QFile& file, const QString& path);

// Whether `path` names a TGA file (.tga in any case): the only way to tell one.
bool namedAsTga(const QString& path);
