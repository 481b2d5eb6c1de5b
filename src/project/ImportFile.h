#pragma once

#include <QString>

#include "imageio/ImageFile.h"

// Reads a photo for import: the picture as stored (with its orientation tag), but
// already at its import size (importScaledSize), shrunk while decoding where the
// format allows. uprightImage then only has to turn it.
ImageFileResult readImportFile(const QString& path);
