#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

struct NamedImage {
    const char* name;  // file name in the output directory
    QImage image;
};

struct NamedFile {
    const char* name;  // file name in the output directory
    QByteArray bytes;
};

// Encodes every image as a lossless PNG first (on a thread each when
// `inParallel`), so that nothing is written when one cannot be; then creates
// `directory` and replaces each file whole, in order, stopping at the first that
// cannot be written. On failure false, with what failed in *subject (an image's
// name, the directory or a file's path) and why in *reason.
// `encoded`: files already encoded, written after the images.
bool writePngFiles(const QString& directory, const std::vector<NamedImage>& images, bool inParallel,
                   QString* subject, QString* reason, const std::vector<NamedFile>& encoded = {});

// The second half of writePngFiles, for files already encoded: creates
// `directory` and replaces each file whole, in order, stopping at the first that
// cannot be written; false with *subject and *reason as above.
bool writeFiles(const QString& directory, const std::vector<NamedFile>& files, QString* subject, QString* reason);
