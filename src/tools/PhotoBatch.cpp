#include "tools/PhotoBatch.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "base/RunOnThreads.h"
#include "tools/FullSizeSketches.h"
#include "tools/PhotoSketches.h"
#include "tools/PngFiles.h"
#include "tools/StreamedFiles.h"
#include "tools/ToolConsole.h"

namespace {

constexpr int kAllCores = 1 << 10;

struct Effort {
    int filterThreads;
    bool parallelEncodes;
};

// The sketches at the photo's own size, each of its steps on every core.
bool sketchPhotoFullSize(const QString& photo, const QString& outputDir)
{
    // The files are written as the sketches are made, under temporary names.
    StreamedFiles files(outputDir, {"black.png", "color.png"});
    FullSizeSketches sketches;
    QString error;
    const auto start = [&files](PngStripEncoder::Out* black, PngStripEncoder::Out* color) {
        std::vector<PngStripEncoder::Out> outs;
        if (!files.start(&outs))
            return false;
        *black = outs[0];
        *color = outs[1];
        return true;
    };
    if (!sketches.make(photo, start, &error)) {
        if (files.failed())
            ToolConsole::line(QStringLiteral("%1: %2").arg(files.subject(), files.reason()));
        else
            ToolConsole::line(QStringLiteral("%1: %2").arg(photo, error));
        return false;
    }
    if (!sketches.warning().isEmpty())
        ToolConsole::line(QStringLiteral("%1: warning: %2").arg(photo, sketches.warning()));
    if (!files.commit()) {
        ToolConsole::line(QStringLiteral("%1: %2").arg(files.subject(), files.reason()));
        return false;
    }
    return true;
}

bool sketchPhoto(const QString& photo, const QString& outputDir, Effort effort)
{
    PhotoSketches sketches;
    QString error;
    if (!sketches.make(photo, &error, effort.filterThreads)) {
        ToolConsole::line(QStringLiteral("%1: %2").arg(photo, error));
        return false;
    }
    if (!sketches.warning().isEmpty())
        ToolConsole::line(QStringLiteral("%1: warning: %2").arg(photo, sketches.warning()));
    QString subject, reason;
    if (!writePngFiles(outputDir,
                       {{"original.png", sketches.original()},
                        {"black.png", sketches.black()},
                        {"color.png", sketches.color()}},
                       effort.parallelEncodes, &subject, &reason)) {
        ToolConsole::line(QStringLiteral("%1: %2").arg(subject, reason));
        return false;
    }
    return true;
}

bool usableName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

}  // namespace

QStringList batchFolderNames(const QStringList& photos, QString* clash)
{
    QStringList names;
    QHash<QString, QString> photoOfName;
    for (const QString& photo : photos) {
        const QFileInfo info(photo);
        QString name = info.completeBaseName();
        if (!usableName(name))
            name = info.fileName();
        const auto earlier = photoOfName.constFind(name);
        if (earlier != photoOfName.cend()) {
            *clash = QStringLiteral("%1 and %2 would both be written to the folder %3")
                         .arg(earlier.value(), photo, name);
            return {};
        }
        photoOfName.insert(name, photo);
        names.append(name);
    }
    return names;
}

bool sketchPhotos(const QStringList& photos, const QString& outputDir, PhotoSize size)
{
    const bool fullSize = size == PhotoSize::Full;
    if (photos.size() == 1)
        return fullSize ? sketchPhotoFullSize(photos.first(), outputDir)
                        : sketchPhoto(photos.first(), outputDir, Effort{kAllCores, true});

    QString clash;
    const QStringList names = batchFolderNames(photos, &clash);
    if (names.isEmpty()) {
        ToolConsole::line(clash);
        return false;
    }
    const QDir dir(outputDir);
    const int total = int(photos.size());
    std::atomic<int> next{0};
    std::atomic<bool> allWritten{true};
    std::mutex progressMutex;
    int finished = 0;
    ToolConsole::progress(QStringLiteral("0/%1 photos").arg(total));

    // Each thread takes the next photo until none is left; one core each. At full
    // size one photo at a time on every core: a photo's pictures take hundreds of
    // megabytes.
    auto work = [&] {
        for (int i = next.fetch_add(1); i < total; i = next.fetch_add(1)) {
            const QString& name = names[i];
            bool written = false;
            if (usableName(name))
                written = fullSize ? sketchPhotoFullSize(photos[i], dir.filePath(name))
                                   : sketchPhoto(photos[i], dir.filePath(name), Effort{1, false});
            else
                ToolConsole::line(QStringLiteral("%1: the photo has no name to give its folder").arg(photos[i]));
            if (!written)
                allWritten = false;
            const std::lock_guard lock(progressMutex);
            ToolConsole::progress(QStringLiteral("%1/%2 photos").arg(++finished).arg(total));
        }
    };
    const int threads = fullSize ? 1 : std::min(total, int(std::max(1u, std::thread::hardware_concurrency())));
    runOnNewThreads(threads - 1, work);
    ToolConsole::endProgress();
    return allWritten;
}
