#include "imageio/ImageFile.h"

#include <QColor>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QPixelFormat>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "imageio/DecoderInput.h"
#include "imageio/DecoderWorkingMemory.h"
#include "imageio/ExifOrientation.h"
#include "imageio/GifEnd.h"
#include "imageio/HeifBrand.h"
#include "imageio/HeifModule.h"
#include "imageio/JpegEnd.h"
#include "imageio/PictureSignature.h"
#include "system/RegularFile.h"
#include "base/ConsoleLog.h"

namespace {

using ImageFile::Limits;

// Sets the decoders' own allocation limit to the largest picture accepted: a file
// whose header does not tell its size, or tells a wrong one, still cannot
// exhaust memory.
// Qt's limit is one for the whole process: set once, so that reads on several
// threads (the tool's batch) never write it while another reads it.
void setDecoderAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr qint64 kLimitMiB = (ImageFile::kPictureLimits.maxBytes + (1 << 20) - 1) >> 20;
        QImageReader::setAllocationLimit(int(kLimitMiB));
    });
}

int bytesPerPixel(QImage::Format format)
{
    if (format == QImage::Format_Invalid)
        return 4;  // the decoder does not say: the common 32-bit formats
    return std::max(1, int(QImage::toPixelFormat(format).bitsPerPixel() + 7) / 8);
}

// The format a smooth scale works in: a picture in any other is first converted
// (premultiplied alpha, 8 bytes a pixel for deep colour, else 4).
QImage::Format scalingFormat(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Invalid:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64_Premultiplied:
        return format;
    default:
        break;
    }
    const QPixelFormat pixel = QImage::toPixelFormat(format);
    const bool alpha = pixel.alphaUsage() == QPixelFormat::UsesAlpha;
    if (pixel.bitsPerPixel() > 32)
        return alpha ? QImage::Format_RGBA64_Premultiplied : QImage::Format_RGBX64;
    return alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

// How a shrinking read converts the decoded picture for the scale.
enum class Conversion {
    None,     // the picture is not shrunk
    InPlace,  // converted in its own memory where the sizes allow (our own scale)
    Copy,     // converted into a second picture (the decoder's own scale)
};

// Bytes that decoding a picture of `size` in `format` takes at its peak, with the
// conversion a smooth shrink makes (the small result is not counted) and the
// decoder's own working memory (`workingBytes` a pixel, and `heldBytes` whatever
// the size: see decoderWorkingBytes).
qint64 decodeBytes(QSize size, QImage::Format format, Conversion conversion, int workingBytes, qint64 heldBytes)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    const int decoded = bytesPerPixel(format);
    const int converted = bytesPerPixel(scalingFormat(format));
    const bool converts = scalingFormat(format) != format;
    int extra = 0;
    if (conversion == Conversion::Copy && converts)
        extra = converted;
    else if (conversion == Conversion::InPlace && converts && converted != decoded)
        extra = converted;  // grown: the old and the new memory at once at worst
    return pixels * (decoded + extra + workingBytes) + heldBytes;
}

QString tooLargeReason(QSize size, const Limits& limits)
{
    if (size.width() <= limits.maxSide && size.height() <= limits.maxSide &&
        qint64(size.width()) * size.height() <= limits.maxPixels)
        return QString();
    const qint64 megapixels = limits.maxPixels / 1'000'000;
    return QStringLiteral("picture too large: %1 x %2 pixels (at most %3 and %4 pixels a side)")
        .arg(size.width())
        .arg(size.height())
        .arg(megapixels == 1 ? QStringLiteral("1 megapixel") : QStringLiteral("%1 megapixels").arg(megapixels))
        .arg(limits.maxSide);
}

// `stored` names the picture; `decoded` is the size the decoder makes of it.
QString tooMuchMemoryReason(QSize stored, QSize decoded, QImage::Format format, Conversion conversion,
                            const Limits& limits, int workingBytes = 0, qint64 heldBytes = 0)
{
    const qint64 bytes = decodeBytes(decoded, format, conversion, workingBytes, heldBytes);
    if (bytes <= limits.maxBytes)
        return QString();
    // Told a pixel of the stored picture, rounded up, when the decoder holds more.
    const qint64 storedPixels = qint64(stored.width()) * stored.height();
    const int perPixel = heldBytes == 0 ? bytesPerPixel(format) + workingBytes
                                        : int((bytes + storedPixels - 1) / storedPixels);
    return QStringLiteral("picture too large: %1 x %2 pixels at %3 a pixel take %4 MB to read (at most %5 MB)")
        .arg(stored.width())
        .arg(stored.height())
        .arg(perPixel == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(perPixel))
        .arg((bytes + 999'999) / 1'000'000)
        .arg(limits.maxBytes / 1'000'000);
}

// The size the JPEG decoder decodes at when asked for `wanted`: it shrinks by
// n/8 (n from 1 to 8) to the smallest size not below the wanted one.
QSize jpegDecodeSize(QSize stored, QSize wanted)
{
    const double f = std::min(double(stored.width()) / wanted.width(), double(stored.height()) / wanted.height());
    const int n = std::clamp(int(std::ceil(8.0 / f)), 1, 8);
    const auto side = [n](int s) { return int((qint64(s) * n + 7) / 8); };
    return QSize(side(stored.width()), side(stored.height()));
}

const QString kDamaged = QStringLiteral("cannot be decoded: the file is damaged or incomplete");

// Readers that decode into the picture they are given when its size and format
// are the ones they decode (BMP, TIFF, PNM), so that it can be cleared first.
bool fillsGivenTarget(const QByteArray& format)
{
    return format == "bmp" || format == "tif" || format == "tiff" || format == "pbm" || format == "pgm" ||
           format == "ppm";
}

// Readers that ask for exactly the bytes the file's structure gives: one that
// asks for more than the file holds has met a file that stops short.
bool readsByItsStructure(const QByteArray& format)
{
    return fillsGivenTarget(format) || format == "ico" || format == "cur" || format == "tga" ||
           format == "wbmp" || format == "xbm";
}

// Readers that write every pixel of a picture that stops short themselves
// (libjpeg grey, GIF its background, XBM blank bits).
bool clearsUnreadPixels(const QByteArray& format) { return format == "jpeg" || format == "gif" || format == "xbm"; }

// A picture of `size` and `format` whose every pixel is mid grey (index 0 for
// a colour-table format): what a decoder leaves unwritten stays so.
QImage clearedTarget(QSize size, QImage::Format format)
{
    QImage target(size, format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format);
    if (target.isNull())
        return target;
    if (target.format() == QImage::Format_Mono || target.format() == QImage::Format_MonoLSB ||
        target.format() == QImage::Format_Indexed8)
        target.fill(0u);
    else
        target.fill(QColor(0x80, 0x80, 0x80));
    return target;
}

// The reader that tells the format of `file`, opened from `path`. Qt tells a
// format without a signature (TGA) by the file's name, which a file opened from
// its descriptor does not have: a file named .tga is offered to the TGA reader
// first, and goes to the others by its content when that reader does not take it.
std::unique_ptr<QImageReader> readerFor(QFile& file, const QString& path)
{
    if (namedAsTga(path)) {
        auto tga = std::make_unique<QImageReader>(&file, QByteArrayLiteral("tga"));
        if (tga->canRead())
            return tga;
        file.seek(0);
    }
    return std::make_unique<QImageReader>(&file);
}

ImageFileResult failure(const QString& error)
{
    return ImageFileResult{Image{}, error.isEmpty() ? QStringLiteral("cannot be read") : error, QString(), QString()};
}

// The decoder's own words when it has any worth showing.
QString decoderReason(const QImageReader& reader)
{
    const QString said = reader.errorString();
    if (reader.error() == QImageReader::InvalidDataError || said.isEmpty() || said == QLatin1String("Unknown error"))
        return kDamaged;
    return QStringLiteral("cannot be decoded: %1").arg(said);
}

// Qt resources (":/name") are compiled into the program; everything else must be
// a regular file, checked before anything is read.
bool openPicture(QFile& file, QString* reason)
{
    const QString path = file.fileName();
    if (path.startsWith(QLatin1Char(':')) || path.startsWith(QLatin1String("qrc:"))) {
        if (file.open(QIODevice::ReadOnly))
            return true;
        *reason = QStringLiteral("file not found");
        return false;
    }
    return openRegularFileForReading(file, reason);
}

// Shrinks a picture that a decoder gave whole: converted in its own memory where
// it can be, then resampled smoothly.
QImage shrunk(QImage bitmap, QSize size)
{
    bitmap.convertTo(scalingFormat(bitmap.format()));
    return bitmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The size wanted of a picture of `stored` size (the stored size when the caller
// wants no other).
QSize wantedSize(QSize stored, const std::function<QSize(QSize)>& decodeSize)
{
    const QSize wanted = decodeSize ? decodeSize(stored) : stored;
    return wanted.isEmpty() ? stored : wanted;
}

// The working memory of HEVC and AV1 decoding a pixel: the decoded colour planes
// (three full ones at worst, twice as large above 8 bits) and an alpha plane.
int heifWorkingBytes(bool deep) { return deep ? 8 : 4; }

// A picture opened by the HEIF module, closed with it.
struct HeifModuleClose {
    const HeifModuleInterface* heif;
    void operator()(HeifModulePicture* picture) const { heif->close(picture); }
};

// HEIF and AVIF pictures, through the HEIF module: decoded upright (libheif
// applies the file's turns and mirrors; an EXIF orientation in them only repeats
// those) and shrunk, most in one pass from their YCbCr planes, the rest smoothly
// after the decode.
ImageFileResult readHeif(QFile& file, const QString& path, const Limits& limits,
                         const std::function<QSize(QSize)>& decodeSize)
{
    QString unavailable;
    const HeifModuleInterface* heif = HeifModule::interface(&unavailable);
    if (!heif)
        return failure(unavailable);
    const std::unique_ptr<HeifModulePicture, HeifModuleClose> picture(heif->open(&file), HeifModuleClose{heif});
    const QString error = heif->error(picture.get());
    if (!error.isEmpty())
        return failure(error);
    const QSize stored = heif->size(picture.get());
    if (stored.isEmpty())
        return failure(QStringLiteral("the picture has no pixels (its header gives %1 x %2)")
                           .arg(stored.width())
                           .arg(stored.height()));
    QSize wanted = wantedSize(stored, decodeSize);
    const QImage::Format format = heif->hasAlpha(picture.get()) ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
    QString tooLarge = tooLargeReason(stored, limits);
    if (tooLarge.isEmpty())
        tooLarge = tooMuchMemoryReason(stored, stored, format, wanted != stored ? Conversion::InPlace : Conversion::None,
                                       limits, heifWorkingBytes(heif->deep(picture.get())),
                                       decoderWorkingBytes(file, "heif", stored));
    if (!tooLarge.isEmpty())
        return failure(tooLarge);

    const auto sizeFor = [](QSize size, const void* wanted) {
        return wantedSize(size, *static_cast<const std::function<QSize(QSize)>*>(wanted));
    };
    HeifModuleDecoded decoded = heif->decode(picture.get(), sizeFor, &decodeSize);
    if (decoded.image.isNull()) {
        // A coded stream beyond the largest picture read is named as any picture is.
        const QString beyond =
            decoded.refusedStream.isEmpty() ? QString() : tooLargeReason(decoded.refusedStream, limits);
        return failure(beyond.isEmpty() ? decoded.error : beyond);
    }
    QImage bitmap = std::move(decoded.image);
    if (decoded.decodedSize != stored) {
        // Cropped on decoding: the picture decoded is judged.
        tooLarge = tooLargeReason(decoded.decodedSize, limits);
        if (!tooLarge.isEmpty())
            return failure(tooLarge);
        wanted = wantedSize(decoded.decodedSize, decodeSize);
    }
    if (bitmap.size() != wanted)
        bitmap = shrunk(std::move(bitmap), wanted);
    // Converted after the shrink, as the other formats are after theirs.
    if (bitmap.colorSpace().isValid() && bitmap.colorSpace() != QColorSpace::SRgb)
        bitmap.convertToColorSpace(QColorSpace::SRgb);
    if (bitmap.isNull())
        return failure(QStringLiteral("out of memory"));
    if (!decoded.colourNote.isEmpty())
        qCInfo(consoleLog).noquote() << QStringLiteral("%1: %2").arg(path, decoded.colourNote);
    return ImageFileResult{Image{bitmap, ImageOrientationUp}, QString(), QString(), decoded.colourNote};
}

// What the header decides before anything is decoded: the size stored and the
// size wanted, whether the decoder shrinks while decoding, or why the picture is
// refused.
struct DecodePlan {
    QSize stored;  // invalid when the header gives no size
    QSize wanted;
    bool decoderShrinks = false;
    QString refusal;
};

DecodePlan planDecode(QFile& file, QImageReader& reader, const QByteArray& format, const Limits& limits,
                      const std::function<QSize(QSize)>& decodeSize)
{
    DecodePlan plan;
    plan.stored = reader.size();
    if (!plan.stored.isValid())
        return plan;
    if (plan.stored.isEmpty()) {
        plan.refusal = QStringLiteral("the picture has no pixels (its header gives %1 x %2)")
                           .arg(plan.stored.width())
                           .arg(plan.stored.height());
        return plan;
    }
    plan.refusal = tooLargeReason(plan.stored, limits);
    plan.wanted = wantedSize(plan.stored, decodeSize);
    // The JPEG decoder shrinks while decoding (by n/8, then smoothly to exactly
    // the wanted size): only the smaller picture is ever held.
    plan.decoderShrinks = format == "jpeg" && plan.wanted != plan.stored;
    if (!plan.refusal.isEmpty())
        return plan;
    const qint64 held = decoderWorkingBytes(file, format, plan.stored);
    plan.refusal = plan.decoderShrinks
                       ? tooMuchMemoryReason(plan.stored, jpegDecodeSize(plan.stored, plan.wanted),
                                             reader.imageFormat(), Conversion::Copy, limits, 0, held)
                       : tooMuchMemoryReason(plan.stored, plan.stored, reader.imageFormat(),
                                             plan.wanted != plan.stored ? Conversion::InPlace : Conversion::None,
                                             limits, 0, held);
    return plan;
}

// The decode, through a watch on what it asks for, with the reader the header
// chose. A file that stops short is used as far as it goes, the rest grey, when
// what the decoder did not write is known to hold no stray memory; else refused.
QString decodeWatched(QFile& file, const QByteArray& format, QImage::Format decodedFormat, const DecodePlan& plan,
                      QImage* bitmap, bool* cutShort)
{
    DecoderInput input(file);
    QImageReader decoder(&input, format);
    decoder.setAutoTransform(false);
    if (plan.decoderShrinks) {
        decoder.setScaledSize(plan.wanted);
        decoder.setQuality(100);  // smooth resampling after the n/8 decode
    }
    const uchar* cleared = nullptr;
    if (plan.stored.isValid() && !plan.decoderShrinks && fillsGivenTarget(format)) {
        *bitmap = clearedTarget(plan.stored, decodedFormat);
        if (bitmap->isNull())
            return QStringLiteral("out of memory");
        cleared = bitmap->constBits();
    }
    input.watch();
    if (!decoder.read(bitmap) || bitmap->isNull())
        return decoderReason(decoder);

    *cutShort = false;
    if (format == "jpeg")
        *cutShort = !jpegReachesEndMarker(file);
    else if (format == "gif")
        *cutShort = !gifHoldsFirstPicture(file);
    else if (readsByItsStructure(format))
        *cutShort = input.wantedMore();
    if (*cutShort && !clearsUnreadPixels(format) && (!cleared || bitmap->constBits() != cleared))
        return kDamaged;
    return QString();
}

// A picture whose header gave no size, or not the one decoded, is judged as
// decoded (the allocation limit kept the decode itself within memory); then it is
// shrunk to the size wanted.
QString finishDecoded(QImage* bitmap, const DecodePlan& plan, const Limits& limits,
                      const std::function<QSize(QSize)>& decodeSize)
{
    QSize wanted = plan.wanted;
    if (!plan.stored.isValid() || bitmap->size() != (plan.decoderShrinks ? plan.wanted : plan.stored)) {
        if (bitmap->size().isEmpty())
            return QStringLiteral("the picture has no pixels");
        wanted = wantedSize(bitmap->size(), decodeSize);
        QString tooLarge = tooLargeReason(bitmap->size(), limits);
        if (tooLarge.isEmpty())
            tooLarge = tooMuchMemoryReason(bitmap->size(), bitmap->size(), bitmap->format(),
                                           wanted != bitmap->size() ? Conversion::InPlace : Conversion::None, limits);
        if (!tooLarge.isEmpty())
            return tooLarge;
    }
    if (bitmap->size() != wanted)
        *bitmap = shrunk(std::move(*bitmap), wanted);
    if (bitmap->isNull())
        return QStringLiteral("out of memory");
    return QString();
}

ImageFileResult readWithin(const QString& path, const Limits& limits, const std::function<QSize(QSize)>& decodeSize)
{
    QFile file(path);
    QString reason;
    if (!openPicture(file, &reason))
        return failure(reason);
    if (HeifBrand::isHeifFile(file.peek(256)))
        return readHeif(file, path, limits, decodeSize);
    // PNG and WebP readers do not report the EXIF orientation these files can hold.
    const QImageIOHandler::Transformations embedded = ExifOrientation::ofPngOrWebp(file);

    setDecoderAllocationLimit();
    const std::unique_ptr<QImageReader> probe = readerFor(file, path);
    QImageReader& reader = *probe;
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        if (reader.error() == QImageReader::UnsupportedFormatError && !looksLikeReadablePicture(file, path))
            return failure(QStringLiteral("not a picture file of a known format"));
        if (reader.error() == QImageReader::UnsupportedFormatError)
            return failure(kDamaged);  // the start of a format read, the rest not
        return failure(decoderReason(reader));
    }
    const QByteArray format = reader.format();
    const DecodePlan plan = planDecode(file, reader, format, limits, decodeSize);
    if (!plan.refusal.isEmpty())
        return failure(plan.refusal);
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const int orientation = ImageFile::orientationFromTransformation(
        transformation == QImageIOHandler::TransformationNone ? embedded : transformation);

    QImage bitmap;
    bool cutShort = false;
    reason = decodeWatched(file, format, reader.imageFormat(), plan, &bitmap, &cutShort);
    if (reason.isEmpty())
        reason = finishDecoded(&bitmap, plan, limits, decodeSize);
    if (!reason.isEmpty())
        return failure(reason);
    const QString warning = cutShort ? QStringLiteral("the picture is incomplete (truncated file)") : QString();
    return ImageFileResult{Image{bitmap, orientation}, QString(), warning, QString()};
}

}  // namespace

namespace ImageFile {

int orientationFromTransformation(QImageIOHandler::Transformations transformation)
{
    switch (int(transformation)) {
    case QImageIOHandler::TransformationRotate180:          return ImageOrientationDown;          // EXIF 3
    case QImageIOHandler::TransformationRotate270:          return ImageOrientationLeft;          // EXIF 8
    case QImageIOHandler::TransformationRotate90:           return ImageOrientationRight;         // EXIF 6
    case QImageIOHandler::TransformationMirror:             return ImageOrientationUpMirrored;    // EXIF 2
    case QImageIOHandler::TransformationFlip:               return ImageOrientationDownMirrored;  // EXIF 4
    case QImageIOHandler::TransformationFlipAndRotate90:    return ImageOrientationLeftMirrored;  // EXIF 5
    case QImageIOHandler::TransformationMirrorAndRotate90:  return ImageOrientationRightMirrored; // EXIF 7
    default:                                                return ImageOrientationUp;            // EXIF 1 or none
    }
}

QStringList readableSuffixes()
{
    QStringList suffixes;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        suffixes << QString::fromLatin1(format).toLower();
    // Offered when the HEIF module is there (it is loaded only when such a file is read).
    if (HeifModule::installed())
        for (const char* suffix : {"heic", "heif", "hif", "avif"})
            if (!suffixes.contains(QLatin1String(suffix)))
                suffixes << QLatin1String(suffix);
    return suffixes;
}

ImageFileResult read(const QString& path) { return readWithin(path, kPictureLimits, {}); }

ImageFileResult read(const QString& path, const std::function<QSize(QSize)>& decodeSize)
{
    return readWithin(path, kPictureLimits, decodeSize);
}

ImageFileResult readThumbnail(const QString& path, QSize box)
{
    return readWithin(path, kThumbnailLimits, [box](QSize stored) {
        if (stored.width() <= box.width() && stored.height() <= box.height())
            return stored;
        const QSize fitted = stored.scaled(box, Qt::KeepAspectRatio);
        return QSize(std::max(1, fitted.width()), std::max(1, fitted.height()));
    });
}

}  // namespace ImageFile
