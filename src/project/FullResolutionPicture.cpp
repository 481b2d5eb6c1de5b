#include "project/FullResolutionPicture.h"

#include <atomic>
#include <cmath>
#include <cstdlib>

#include "project/FullResolutionRender.h"
#include "project/FullSizePhoto.h"
#include "base/ConsoleLog.h"
#include "imageio/PngStripEncoder.h"
#include "project/UprightImage.h"
#include "project/UprightJpegRows.h"

namespace {

constexpr int kEncodeThreads = 4;

// Release callback of a picture drawn in a decoded photo's memory: logs
// "releaseData" as every exported picture's release does, and lets the photo go.
void releaseDecoded(void* holder)
{
    qCInfo(consoleLog).noquote() << "releaseData";
    delete static_cast<QImage*>(holder);
}

QImage failed(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return QImage();
}

}  // namespace

namespace {

// The photo of `record` read at its own size and upright, or null with the reason.
FullSizePhoto projectPhoto(const QString& photoPath, const FullResolutionRecord& record, QString* error)
{
    FullSizePhoto photo = readFullSizePhoto(photoPath, error);
    if (photo.upright.isNull())
        return photo;
    // A photo read only in part would give a drawing with a blank band.
    if (!photo.warning.isEmpty()) {
        failed(error, QStringLiteral("the photo does not decode completely: %1").arg(photo.warning));
        return FullSizePhoto{};
    }
    // The photo the project was made from imports at the project's picture size.
    if (std::abs(double(photo.imported.width) - double(record.picsize.width)) > 1.0 ||
        std::abs(double(photo.imported.height) - double(record.picsize.height)) > 1.0) {
        failed(error, QStringLiteral("the photo is not the project's"));
        return FullSizePhoto{};
    }
    return photo;
}

FullResolutionJob jobOf(QImage& upright, const FullResolutionRecord& record)
{
    FullResolutionJob job;
    job.pixels = upright.bits();  // not shared: no copy
    job.bufferWidth = upright.width();
    job.bufferHeight = upright.height();
    job.picsize = FloatSize{float(upright.width()), float(upright.height())};
    job.projectPicsize = record.picsize;
    job.startSource = record.startSource;
    job.dabs = &record.dabs;
    return job;
}

}  // namespace

QImage fullResolutionPicture(const QString& photoPath, const FullResolutionRecord& record, QString* error,
                             const RowsDone& bandsDone)
{
    FullSizePhoto photo = projectPhoto(photoPath, record, error);
    if (photo.upright.isNull())
        return QImage();
    const int w = photo.upright.width(), h = photo.upright.height();
    BandDrawn told;
    if (bandsDone)
        told = [&bandsDone, h](int, int end) {
            bandsDone(end, h);
            return true;
        };
    if (!renderFullResolution(jobOf(photo.upright, record), told))
        return failed(error, QStringLiteral("not enough memory"));
    auto* holder = new QImage(std::move(photo.upright));
    return QImage(holder->bits(), w, h, qsizetype(w) * 4, QImage::Format_RGBX8888, releaseDecoded, holder);
}

namespace {

enum class Streamed {
    Not,     // the photo is not one to read in strips, or its strips failed part way
    Done,
    Failed,  // the file could not be started or its bytes could not go out
};

// The PNG of the drawing made while a JPEG photo is decoded in strips: neither
// the photo nor the drawing is held whole. Only for a photo stored upright or
// mirrored left to right (its rows are the upright picture's rows, top to
// bottom), of the project's size. Not when the photo is not one of those or the
// drawing fails: the whole decode then makes the picture, or says what is wrong.
Streamed streamedPng(const QString& photoPath, const FullResolutionRecord& record, const PngFileStart& start,
                     const RowsDone& bandsDone)
{
    UprightJpegRows photo;
    if (!photo.open(photoPath))
        return Streamed::Not;
    const int w = photo.size().width(), h = photo.size().height();
    const QSize imported = importScaledSize(photo.size());
    if (std::abs(double(imported.width()) - double(record.picsize.width)) > 1.0 ||
        std::abs(double(imported.height()) - double(record.picsize.height)) > 1.0)
        return Streamed::Not;

    FullResolutionJob job;
    job.bufferWidth = w;
    job.bufferHeight = h;
    job.picsize = FloatSize{float(w), float(h)};
    job.projectPicsize = record.picsize;
    job.startSource = record.startSource;
    job.dabs = &record.dabs;
    job.bandRows = 128;  // one PNG strip: half the band memory, for a little more filtering
    const std::ptrdiff_t stride = std::ptrdiff_t(w) * 4;
    PngStripEncoder::Out out = start();
    if (!out)
        return Streamed::Failed;
    std::atomic<bool> outFailed{false};
    PngStripEncoder png(w, h, PngStripEncoder::Pixels::Rgb, kEncodeThreads,
                        [&out, &outFailed](const char* bytes, qint64 size) {
                            outFailed = !out(bytes, size);
                            return !outFailed;
                        });
    const bool drawn = renderFullResolutionStreamed(
        job,
        [&](std::uint8_t* rows, int count) { return photo.read(rows, stride, count); },
        [&](const std::uint8_t* rows, int first, int end) {
            if (!png.add(rows, stride, end - first))
                return false;
            if (bandsDone)
                bandsDone(end, h);
            return true;
        });
    const bool ended = drawn && png.end();
    return ended ? Streamed::Done : outFailed ? Streamed::Failed : Streamed::Not;
}

}  // namespace

bool fullResolutionPng(const QString& photoPath, const FullResolutionRecord& record, const PngFileStart& start,
                       QString* error, const RowsDone& bandsDone)
{
    const auto cannotWrite = [error] {
        failed(error, QStringLiteral("the file cannot be written"));
        return false;
    };
    switch (streamedPng(photoPath, record, start, bandsDone)) {
    case Streamed::Done:
        return true;
    case Streamed::Failed:
        return cannotWrite();
    case Streamed::Not:
        break;
    }
    FullSizePhoto photo = projectPhoto(photoPath, record, error);
    if (photo.upright.isNull())
        return false;
    PngStripEncoder::Out out = start();
    if (!out)
        return cannotWrite();
    std::atomic<bool> outFailed{false};
    const int w = photo.upright.width(), h = photo.upright.height();
    PngStripEncoder png(w, h, PngStripEncoder::Pixels::Rgb, kEncodeThreads,
                        [&out, &outFailed](const char* bytes, qint64 size) {
                            outFailed = !out(bytes, size);
                            return !outFailed;
                        });
    const FullResolutionJob job = jobOf(photo.upright, record);
    const std::uint8_t* pixels = job.pixels;
    const bool drawn = renderFullResolution(job, [&](int first, int end) {
        if (!png.add(pixels + std::size_t(first) * std::size_t(w) * 4, std::ptrdiff_t(w) * 4, end - first))
            return false;
        if (bandsDone)
            bandsDone(end, h);
        return true;
    });
    photo.upright = QImage();  // let go before the last strips are written
    if (drawn && png.end())
        return true;
    if (outFailed)
        return cannotWrite();
    failed(error, QStringLiteral("not enough memory"));
    return false;
}

QByteArray fullResolutionPng(const QString& photoPath, const FullResolutionRecord& record, QString* error)
{
    QByteArray file;
    const auto start = [&file]() -> PngStripEncoder::Out {
        file.clear();
        return [&file](const char* bytes, qint64 size) {
            file.append(bytes, size);
            return true;
        };
    };
    if (!fullResolutionPng(photoPath, record, start, error))
        return QByteArray();
    return file;
}
