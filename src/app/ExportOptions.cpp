#include "app/ExportOptions.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>

QString ExportOptions::path() const
{
    return QDir(folder).filePath(name + QLatin1Char('.') + suffix(format));
}

QByteArray ExportOptions::formatName(Format format)
{
    switch (format) {
    case Jpeg:
        return "jpeg";
    case Webp:
        return "webp";
    case Png:
        break;
    }
    return "png";
}

QString ExportOptions::suffix(Format format)
{
    return format == Jpeg ? QStringLiteral("jpg") : QString::fromLatin1(formatName(format));
}

QString ExportOptions::write(const QImage& image) const
{
    QImageWriter writer(path(), formatName(format));
    if (format != Png)
        writer.setQuality(quality);
    // JPEG has no alpha: the picture is opaque anyway.
    const QImage out = format == Jpeg ? image.convertToFormat(QImage::Format_RGB32) : image;
    if (writer.write(out))
        return QString();
    return writer.errorString();
}
