#include "imageio/ExifOrientation.h"

#include <QIODevice>

namespace {

// An EXIF block larger than this is not read (a JPEG's EXIF segment holds at most 64 KB).
constexpr qint64 kMaxExifBytes = 1 << 20;
// A file with more chunks than this before its EXIF data is not looked through further.
constexpr int kMaxChunks = 100000;

quint32 readUnsigned(QByteArrayView bytes, qsizetype at, int size, bool bigEndian)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        const quint32 byte = quint8(bytes[at + (bigEndian ? i : size - 1 - i)]);
        value = (value << 8) | byte;
    }
    return value;
}

QByteArray readExactly(QIODevice& file, qint64 size)
{
    QByteArray bytes = file.read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

// PNG: after the signature, chunks of a big-endian length, a type, the data and a CRC.
QImageIOHandler::Transformations pngOrientation(QIODevice& file)
{
    if (!file.seek(8))
        return QImageIOHandler::TransformationNone;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        const QByteArray header = readExactly(file, 8);
        if (header.isEmpty())
            break;
        const qint64 length = readUnsigned(header, 0, 4, true);
        const QByteArrayView type = QByteArrayView(header).sliced(4, 4);
        if (type == QByteArrayView("eXIf"))
            return length <= kMaxExifBytes ? ExifOrientation::fromExif(readExactly(file, length))
                                           : QImageIOHandler::TransformationNone;
        if (type == QByteArrayView("IEND") || !file.seek(file.pos() + length + 4))
            break;
    }
    return QImageIOHandler::TransformationNone;
}

// WebP: a RIFF file of chunks with a four-character name, a little-endian length,
// the data and a pad byte when the length is odd.
QImageIOHandler::Transformations webpOrientation(QIODevice& file)
{
    if (!file.seek(12))
        return QImageIOHandler::TransformationNone;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        const QByteArray header = readExactly(file, 8);
        if (header.isEmpty())
            break;
        const qint64 length = readUnsigned(header, 4, 4, false);
        if (QByteArrayView(header).first(4) == QByteArrayView("EXIF"))
            return length <= kMaxExifBytes ? ExifOrientation::fromExif(readExactly(file, length))
                                           : QImageIOHandler::TransformationNone;
        if (!file.seek(file.pos() + length + (length & 1)))
            break;
    }
    return QImageIOHandler::TransformationNone;
}

}  // namespace

namespace ExifOrientation {

QImageIOHandler::Transformations fromValue(int exifOrientation)
{
    switch (exifOrientation) {
    case 2: return QImageIOHandler::TransformationMirror;
    case 3: return QImageIOHandler::TransformationRotate180;
    case 4: return QImageIOHandler::TransformationFlip;
    case 5: return QImageIOHandler::TransformationFlipAndRotate90;
    case 6: return QImageIOHandler::TransformationRotate90;
    case 7: return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8: return QImageIOHandler::TransformationRotate270;
    default: return QImageIOHandler::TransformationNone;
    }
}

QImageIOHandler::Transformations fromExif(QByteArrayView exif)
{
    if (exif.startsWith(QByteArrayView("Exif\0\0", 6)))
        exif = exif.sliced(6);
    if (exif.size() < 8)
        return QImageIOHandler::TransformationNone;
    bool bigEndian;
    if (exif.startsWith(QByteArrayView("MM\0\x2a", 4)))
        bigEndian = true;
    else if (exif.startsWith(QByteArrayView("II\x2a\0", 4)))
        bigEndian = false;
    else
        return QImageIOHandler::TransformationNone;

    // The first IFD: a count of 12-byte entries (tag, type, count, value).
    const qint64 ifd = readUnsigned(exif, 4, 4, bigEndian);
    if (ifd < 8 || ifd + 2 > exif.size())
        return QImageIOHandler::TransformationNone;
    const qint64 entries = readUnsigned(exif, ifd, 2, bigEndian);
    for (qint64 i = 0; i < entries; ++i) {
        const qint64 entry = ifd + 2 + 12 * i;
        if (entry + 12 > exif.size())
            break;
        if (readUnsigned(exif, entry, 2, bigEndian) != 0x0112)
            continue;
        const quint32 type = readUnsigned(exif, entry + 2, 2, bigEndian);
        const quint32 count = readUnsigned(exif, entry + 4, 4, bigEndian);
        if (type != 3 || count != 1)  // one SHORT, held in the entry itself
            return QImageIOHandler::TransformationNone;
        return fromValue(int(readUnsigned(exif, entry + 8, 2, bigEndian)));
    }
    return QImageIOHandler::TransformationNone;
}

QImageIOHandler::Transformations ofPngOrWebp(QIODevice& file)
{
    QImageIOHandler::Transformations found = QImageIOHandler::TransformationNone;
    if (!file.seek(0))
        return found;
    const QByteArray head = file.peek(16);
    if (head.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n", 8)))
        found = pngOrientation(file);
    else if (head.size() >= 12 && head.startsWith("RIFF") && QByteArrayView(head).sliced(8, 4) == "WEBP")
        found = webpOrientation(file);
    file.seek(0);
    return found;
}

}  // namespace ExifOrientation
