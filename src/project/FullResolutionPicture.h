#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

#include "project/FullResolutionRecord.h"
#include "imageio/PngStripEncoder.h"

// The drawing of `record` at the full resolution of the photo in `photoPath`: the
// photo read at its own size (no shrinking), turned upright, its sketches and the
// recorded dabs painted over it. An opaque picture (RGBX8888) of the photo's
// upright size, packed, drawn in the decoded photo's own memory (turned upright
// there), whose release logs "releaseData" as every exported picture's does: the
// photo is held once, the drawing's bands aside. Null, with a short reason, when
// the photo cannot be read or is read only in part (a file that stops short),
// memory runs short, or the photo is not the one the project was made from (its
// import size differs from the project's picture).
//
// `bandsDone`, when given, is told after each band of rows is drawn how many rows
// of the picture's height are done, on the calling thread.
using RowsDone = std::function<void(int rows, int height)>;
QImage fullResolutionPicture(const QString& photoPath, const FullResolutionRecord& record, QString* error,
                             const RowsDone& bandsDone = {});

// The same drawing as a PNG file (RGB) whose bytes go out as they are made: each
// band of rows compressed as soon as it is drawn (on other threads while the next
// is drawn) and put out, so that neither the picture nor its file is held whole.
// A JPEG stored upright or mirrored is read in strips; when that fails part way
// the file is started again from the photo read whole. The pixels of
// fullResolutionPicture's, and the bytes fastPngBytes makes of it unless every
// pixel is grey. False, with a short reason, where that is null or the file's
// bytes could not go out.
// `bandsDone` as for fullResolutionPicture.
bool fullResolutionPng(const QString& photoPath, const FullResolutionRecord& record, const PngFileStart& start,
                       QString* error, const RowsDone& bandsDone = {});

// The same file in memory; empty, with the reason, on failure.
QByteArray fullResolutionPng(const QString& photoPath, const FullResolutionRecord& record, QString* error);
