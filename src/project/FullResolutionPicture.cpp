#include "project/FullResolutionPicture.h"

#include <cmath>
#include <cstdlib>

#include "project/FullResolutionRender.h"
#include "project/FullSizePhoto.h"
#include "base/ConsoleLog.h"

namespace {

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

QImage fullResolutionPicture(const QString& photoPath, const FullResolutionRecord& record, QString* error)
{
    FullSizePhoto photo = readFullSizePhoto(photoPath, error);
    if (photo.upright.isNull())
        return QImage();
    // A photo read only in part would give a drawing with a blank band.
    if (!photo.warning.isEmpty())
        return failed(error, QStringLiteral("the photo does not decode completely: %1").arg(photo.warning));
    // The photo the project was made from imports at the project's picture size.
    if (std::abs(double(photo.imported.width) - double(record.picsize.width)) > 1.0 ||
        std::abs(double(photo.imported.height) - double(record.picsize.height)) > 1.0)
        return failed(error, QStringLiteral("the photo is not the project's"));

    const int w = photo.upright.width(), h = photo.upright.height();
    FullResolutionJob job;
    job.pixels = photo.upright.bits();  // not shared: no copy
    job.bufferWidth = w;
    job.bufferHeight = h;
    job.picsize = FloatSize{float(w), float(h)};
    job.projectPicsize = record.picsize;
    job.startSource = record.startSource;
    job.dabs = &record.dabs;
    if (!renderFullResolution(job))
        return failed(error, QStringLiteral("not enough memory"));
    auto* holder = new QImage(std::move(photo.upright));
    return QImage(holder->bits(), w, h, qsizetype(w) * 4, QImage::Format_RGBX8888, releaseDecoded, holder);
}
