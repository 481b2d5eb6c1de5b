#include "canvas/ImportFile.h"

#include "canvas/UprightImage.h"

ImageFileResult readImportFile(const QString& path) { return ImageFile::read(path, importScaledSize); }
