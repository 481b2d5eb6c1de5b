#include "project/FullResolutionPicture.h"

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

// The PNG of the drawing made while a JPEG photo is decoded in strips: neither
// the photo nor the drawing is held whole. Only for a photo stored upright or
// mirrored left to right (its rows are the upright picture's rows, top to
// bottom), of the project's size. False when the photo is not one of those or
// anything fails: the whole decode then makes the picture, or says what is wrong.
bool streamedPng(const QString& photoPath, const FullResolutionRecord& record, QByteArray* bytes)
{
    UprightJpegRows photo;
    if (!photo.open(photoPath))
        return false;
    const int w = photo.size().width(), h = photo.size().height();
    const QSize imported = importScaledSize(photo.size());
    if (std::abs(double(imported.width()) - double(record.picsize.width)) > 1.0 ||
        std::abs(double(imported.height()) - double(record.picsize.height)) > 1.0)
        return false;

    FullResolutionJob job;
    job.bufferWidth = w;
    job.bufferHeight = h;
    job.picsize = FloatSize{float(w), float(h)};
    job.projectPicsize = record.picsize;
    job.startSource = record.startSource;
    job.dabs = &record.dabs;
    job.bandRows = 128;  // one PNG strip: half the band memory, for a little more filtering
    const std::ptrdiff_t stride = std::ptrdiff_t(w) * 4;
    PngStripEncoder png(w, h, PngStripEncoder::Pixels::Rgb);
    const bool drawn = renderFullResolutionStreamed(
        job,
        [&](std::uint8_t* rows, int count) { return photo.read(rows, stride, count); },
        [&](const std::uint8_t* rows, int first, int end) {
            return png.add(rows, stride, end - first, kEncodeThreads);
        });
    if (!drawn)
        return false;
    *bytes = png.finish();
    return !bytes->isEmpty();
}

}  // namespace

QByteArray fullResolutionPng(const QString& photoPath, const FullResolutionRecord& record, QString* error)
{
    QByteArray streamed;
    if (streamedPng(photoPath, record, &streamed))
        return streamed;
    FullSizePhoto photo = projectPhoto(photoPath, record, error);
    if (photo.upright.isNull())
        return QByteArray();
    const int w = photo.upright.width(), h = photo.upright.height();
    PngStripEncoder png(w, h, PngStripEncoder::Pixels::Rgb);
    const FullResolutionJob job = jobOf(photo.upright, record);
    const std::uint8_t* pixels = job.pixels;
    const bool drawn = renderFullResolution(job, [&png, pixels, w](int first, int end) {
        return png.add(pixels + std::size_t(first) * std::size_t(w) * 4, std::ptrdiff_t(w) * 4, end - first,
                       kEncodeThreads);
    });
    photo.upright = QImage();  // let go before the file is put together
    const QByteArray bytes = drawn ? png.finish() : QByteArray();
    if (bytes.isEmpty()) {
        failed(error, QStringLiteral("not enough memory"));
        return QByteArray();
    }
    return bytes;
}
