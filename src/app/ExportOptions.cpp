#include "app/ExportOptions.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <optional>

#include "system/PendingFile.h"

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

QString ExportOptions::writeStreamed(const std::function<bool(const PngFileStart& start)>& write) const
{
    std::optional<PendingFile> file;
    QString why;
    const PngFileStart start = [this, &file, &why]() -> PngStripEncoder::Out {
        file.emplace(path());  // a file begun before is removed
        if (!file->open(&why))
            return {};
        return [&file](const char* bytes, qint64 size) { return file->write(bytes, size); };
    };
    if (!write(start)) {
        if (why.isEmpty() && file)
            why = file->reason();
        return why.isEmpty() ? QStringLiteral("the picture could not be made") : why;
    }
    if (!file->commit(&why))
        return why;
    return QString();
}
