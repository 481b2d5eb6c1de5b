#include "project/ImportFile.h"

#include "project/UprightImage.h"

ImageFileResult readImportFile(const QString& path) { return ImageFile::read(path, importScaledSize); }
