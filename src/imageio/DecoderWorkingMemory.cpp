#include "imageio/DecoderWorkingMemory.h"

#include <algorithm>

namespace {

// Headers are looked through this far, no further: a file with more is not
// charged for what lies beyond.
constexpr int kMaxChunks = 10000;
constexpr int kMaxMarkers = 10000;
constexpr int kMaxTiffEntries = 4096;
constexpr qint64 kMaxTiffArray = 1 << 22;  // strip and tile byte counts read, in entries

QByteArray readAt(QIODevice& file, qint64 at, qint64 size)
{
    if (at < 0 || size < 0 || !file.seek(at))
        return QByteArray();
    QByteArray bytes = file.read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

quint64 unsignedAt(const QByteArray& bytes, qsizetype at, int size, bool bigEndian)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes[at + (bigEndian ? i : size - 1 - i)]);
    return value;
}

qint64 pixels(QSize size) { return qint64(size.width()) * size.height(); }

// RIFF chunks: a four-letter type, a little-endian length, the data padded to an
// even length. An animation's frames (ANMF) hold chunks of their own after 16
// bytes of placement.
qint64 webpBytes(QIODevice& file, QSize size)
{
    bool lossless = false;
    bool alpha = false;
    bool animated = false;
    qint64 at = 12;
    qint64 end = file.size();
    qint64 resumeAt = -1;  // after the frame being looked into
    for (int n = 0; n < kMaxChunks; ++n) {
        if (at + 8 > end) {
            if (resumeAt < 0)
                break;
            at = resumeAt;
            end = file.size();
            resumeAt = -1;
            continue;
        }
        const QByteArray head = readAt(file, at, 8);
        if (head.isEmpty())
            break;
        const QByteArray type = head.left(4);
        const qint64 length = qint64(unsignedAt(head, 4, 4, false));
        lossless = lossless || type == "VP8L";
        alpha = alpha || type == "ALPH";
        if (type == "ANMF" && resumeAt < 0) {
            animated = true;
            resumeAt = at + 8 + length + (length & 1);
            end = std::min(resumeAt, file.size());
            at += 8 + 16;
            continue;
        }
        at += 8 + length + (length & 1);
    }
    // The reader holds the file, a lossless decoder its ARGB words, a lossy one an
    // alpha plane and the alpha's own decoding bytes, an animation its canvas.
    return file.size() + pixels(size) * ((lossless ? 4 : 0) + (alpha ? 1 : 0) + (animated ? 4 : 0));
}

bool isStartOfFrame(int marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

// Segments before the first scan: a frame header (SOFn) names the components
// and their sampling; the first scan header (SOS) how many it holds.
qint64 jpegBytes(QIODevice& file, QSize size)
{
    qint64 at = 2;
    bool progressive = false;
    QByteArray frame;
    for (int n = 0; n < kMaxMarkers; ++n) {
        const QByteArray head = readAt(file, at, 4);
        if (head.isEmpty() || quint8(head[0]) != 0xff)
            return 0;
        const int marker = quint8(head[1]);
        if (marker == 0xff) {  // fill byte
            ++at;
            continue;
        }
        const qint64 length = qint64(unsignedAt(head, 2, 2, true));
        if (isStartOfFrame(marker)) {
            progressive = (marker & 3) == 2;  // SOF2, SOF6, SOF10, SOF14
            frame = readAt(file, at + 4, length - 2);
        } else if (marker == 0xda) {
            const QByteArray scan = readAt(file, at + 4, 1);
            if (frame.size() < 6 || scan.isEmpty())
                return 0;
            const int components = quint8(frame[5]);
            if (frame.size() < 6 + 3 * components)
                return 0;
            if (!progressive && quint8(scan[0]) >= components)
                return 0;  // decoded a row of blocks at a time
            int hMax = 1;
            int vMax = 1;
            for (int c = 0; c < components; ++c) {
                hMax = std::max(hMax, quint8(frame[6 + 3 * c + 1]) >> 4);
                vMax = std::max(vMax, quint8(frame[6 + 3 * c + 1]) & 15);
            }
            // Each component's blocks, rounded up to whole units of its sampling,
            // 64 coefficients of 2 bytes each.
            qint64 bytes = 0;
            for (int c = 0; c < components; ++c) {
                const int h = std::max(1, quint8(frame[6 + 3 * c + 1]) >> 4);
                const int v = std::max(1, quint8(frame[6 + 3 * c + 1]) & 15);
                const qint64 across = (qint64(size.width()) * h + 8 * hMax - 1) / (8 * hMax);
                const qint64 down = (qint64(size.height()) * v + 8 * vMax - 1) / (8 * vMax);
                bytes += (across + h - 1) / h * h * ((down + v - 1) / v * v) * 128;
            }
            return bytes;
        } else if (marker == 0xd9) {
            return 0;
        }
        if (length < 2)
            return 0;
        at += 2 + length;
    }
    return 0;
}

// The first directory of a TIFF or BigTIFF file: entries of a tag, a type, a
// count and the value itself when it fits in the entry, else where it is.
struct TiffEntry {
    quint64 count = 0;
    int typeSize = 0;
    QByteArray inlineValue;
    quint64 offset = 0;
};

int tiffTypeSize(int type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;
    default: return 0;
    }
}

qint64 tiffBytes(QIODevice& file, QSize size)
{
    const QByteArray header = readAt(file, 0, 16);
    if (header.size() < 16)
        return 0;
    const bool big = header.startsWith("MM");
    const bool bigTiff = unsignedAt(header, 2, 2, big) == 43;
    const int countSize = bigTiff ? 8 : 2;
    const int entrySize = bigTiff ? 20 : 12;
    const int valueSize = bigTiff ? 8 : 4;
    const qint64 directory = qint64(bigTiff ? unsignedAt(header, 8, 8, big) : unsignedAt(header, 4, 4, big));
    const QByteArray countBytes = readAt(file, directory, countSize);
    if (countBytes.isEmpty())
        return 0;
    const qint64 entries = std::min<qint64>(qint64(unsignedAt(countBytes, 0, countSize, big)), kMaxTiffEntries);
    const QByteArray table = readAt(file, directory + countSize, entries * entrySize);
    if (table.isEmpty())
        return 0;

    // The largest value of an entry (its first for one value).
    const auto largest = [&](quint16 tag, quint64 fallback) -> quint64 {
        for (qint64 e = 0; e < entries; ++e) {
            const qsizetype at = qsizetype(e * entrySize);
            if (unsignedAt(table, at, 2, big) != tag)
                continue;
            const int typeSize = tiffTypeSize(int(unsignedAt(table, at + 2, 2, big)));
            const quint64 count = std::min<quint64>(unsignedAt(table, at + 4, valueSize, big), kMaxTiffArray);
            if (typeSize == 0 || typeSize > 8 || count == 0)
                return fallback;
            const qsizetype valueAt = at + 4 + valueSize;
            QByteArray values = table.mid(valueAt, valueSize);
            if (count * quint64(typeSize) > quint64(valueSize))
                values = readAt(file, qint64(unsignedAt(table, valueAt, valueSize, big)), qint64(count) * typeSize);
            if (values.isEmpty())
                return fallback;
            quint64 most = 0;
            for (quint64 i = 0; i < count; ++i)
                most = std::max(most, unsignedAt(values, qsizetype(i) * typeSize, typeSize, big));
            return most;
        }
        return fallback;
    };
    const quint64 compression = largest(259, 1);
    if (compression == 1)
        return 0;  // read straight into the picture's rows
    const quint64 bits = std::clamp<quint64>(largest(258, 1), 1, 64);
    const quint64 separate = largest(284, 1) == 2;
    const quint64 samples = separate ? 1 : std::clamp<quint64>(largest(277, 1), 1, 64);
    const quint64 width = quint64(size.width());
    const quint64 height = quint64(size.height());
    const quint64 tileWidth = largest(322, 0);
    const quint64 tileLength = largest(323, 0);
    const bool tiled = tileWidth > 0 && tileLength > 0;
    const quint64 across = tiled ? std::min<quint64>(tileWidth, 1 << 20) : width;
    const quint64 down = tiled ? std::min<quint64>(tileLength, 1 << 20) : std::clamp<quint64>(largest(278, height), 1, height);
    const quint64 decoded = (across * samples * bits + 7) / 8 * down;
    const quint64 stored = std::min<quint64>(largest(tiled ? 325 : 279, 0), quint64(file.size()));
    return qint64(std::min<quint64>(decoded + stored, quint64(1) << 50));
}

}  // namespace

qint64 decoderWorkingBytes(QIODevice& file, const QByteArray& format, QSize size)
{
    if (!size.isValid())
        return 0;
    const qint64 position = file.pos();
    qint64 bytes = 0;
    if (format == "webp")
        bytes = webpBytes(file, size);
    else if (format == "jpeg")
        bytes = jpegBytes(file, size);
    else if (format == "tif" || format == "tiff")
        bytes = tiffBytes(file, size);
    else if (format == "heif")
        bytes = file.size();
    file.seek(position);
    return bytes;
}
