#include "tools/PngFiles.h"

#include <QDir>
#include <QFileInfo>
#include <system_error>
#include <thread>

#include "imageio/FastPng.h"
#include "system/ReplaceFile.h"

namespace {

std::vector<QByteArray> encodeAll(const std::vector<NamedImage>& images, bool inParallel)
{
    std::vector<QByteArray> pngs(images.size());
    // Images 1 .. helpers.size() on threads of their own while any can be had, the
    // others on this one.
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; inParallel && i < images.size(); ++i) {
        try {
            helpers.emplace_back([&images, &pngs, i] { pngs[i] = fastPngBytes(images[i].image); });
        } catch (const std::system_error&) {
            break;
        }
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (i == 0 || i > helpers.size())
            pngs[i] = fastPngBytes(images[i].image);
    }
    for (std::thread& helper : helpers)
        helper.join();
    return pngs;
}

}  // namespace

bool writePngFiles(const QString& directory, const std::vector<NamedImage>& images, bool inParallel,
                   QString* subject, QString* reason, const std::vector<NamedFile>& encoded)
{
    const std::vector<QByteArray> pngs = encodeAll(images, inParallel);
    std::vector<NamedFile> files;
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (pngs[i].isEmpty()) {
            *subject = QString::fromLatin1(images[i].name);
            *reason = QStringLiteral("cannot encode the PNG");
            return false;
        }
        files.push_back({images[i].name, pngs[i]});
    }
    files.insert(files.end(), encoded.begin(), encoded.end());
    return writeFiles(directory, files, subject, reason);
}

bool writeFiles(const QString& directory, const std::vector<NamedFile>& files, QString* subject, QString* reason)
{
    if (!QDir().mkpath(directory) || !QFileInfo(directory).isDir()) {
        *subject = directory;
        *reason = QStringLiteral("cannot create the output directory");
        return false;
    }
    const QDir dir(directory);
    for (const NamedFile& file : files) {
        const QString path = dir.filePath(QString::fromLatin1(file.name));
        const QByteArray& bytes = file.bytes;
        QString why;
        if (!replaceFile(path, [&bytes](QFileDevice& f) { return writeAll(f, bytes.constData(), bytes.size()); },
                         &why)) {
            *subject = path;
            *reason = why.isEmpty() ? QStringLiteral("cannot be written") : why;
            return false;
        }
    }
    return true;
}
