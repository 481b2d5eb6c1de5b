#pragma once

#include <QImage>
#include <QString>
#include <vector>

struct NamedImage {
    const char* name;  // file name in the output directory
    QImage image;
    bool grey = false;  // all its pixels grey: written as a greyscale PNG (fastGreyPngBytes)
};

// Encodes every image as a lossless PNG first (on a thread each when
// `inParallel`), so that nothing is written when one cannot be; then creates
// `directory` and replaces each file whole, in order, stopping at the first that
// cannot be written. On failure false, with what failed in *subject (an image's
// name, the directory or a file's path) and why in *reason.
bool writePngFiles(const QString& directory, const std::vector<NamedImage>& images, bool inParallel,
                   QString* subject, QString* reason);
