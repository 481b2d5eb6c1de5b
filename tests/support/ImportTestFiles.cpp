#include "support/ImportTestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QLinearGradient>
#include <cstdint>

namespace ImportTestFiles {

namespace {

void appendBigEndian16(QByteArray& out, int value)
{
    out.append(char((value >> 8) & 0xff));
    out.append(char(value & 0xff));
}

void appendBigEndian32(QByteArray& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xff));
}

void appendLittleEndian16(QByteArray& out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

std::uint32_t crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

void appendPngChunk(QByteArray& out, const QByteArray& type, const QByteArray& data)
{
    appendBigEndian32(out, std::uint32_t(data.size()));
    out.append(type + data);
    appendBigEndian32(out, crc32(type + data));
}

QByteArray pngHeaderOnly(int width, int height, int bitDepth, int colourType)
{
    QByteArray header;
    appendBigEndian32(header, std::uint32_t(width));
    appendBigEndian32(header, std::uint32_t(height));
    header.append(char(bitDepth));
    header.append(char(colourType));
    header.append(QByteArray(3, '\0'));  // deflate, adaptive filtering, no interlace
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendPngChunk(png, "IHDR", header);
    appendPngChunk(png, "IDAT", QByteArray("\x78\x9c\x01\x02", 4));
    appendPngChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray gifWithSize(int width, int height)
{
    QByteArray gif("GIF89a");
    appendLittleEndian16(gif, width);
    appendLittleEndian16(gif, height);
    gif.append(QByteArray("\x80\x00\x00\x00\x00\x00\xff\xff\xff,", 10));  // two colours, then the image
    gif.append(QByteArray(4, '\0'));
    appendLittleEndian16(gif, width);
    appendLittleEndian16(gif, height);
    gif.append(QByteArray("\x00\x02\x02\x44\x01\x00;", 7));
    return gif;
}

QImage quadrantPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    const int halfW = width / 2;
    const int halfH = height / 2;
    QPainter painter(&picture);
    painter.fillRect(0, 0, halfW, halfH, kTopLeft);
    painter.fillRect(halfW, 0, width - halfW, halfH, kTopRight);
    painter.fillRect(0, halfH, halfW, height - halfH, kBottomLeft);
    painter.fillRect(halfW, halfH, width - halfW, height - halfH, kBottomRight);
    return picture;
}

QImage photoLikePicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient light(0, 0, width, height);
    light.setColorAt(0.0, QColor(40, 90, 160));
    light.setColorAt(0.5, QColor(230, 200, 120));
    light.setColorAt(1.0, QColor(60, 120, 50));
    painter.fillRect(picture.rect(), light);
    painter.fillRect(QRectF(width * 0.6, height * 0.5, width * 0.25, height * 0.4), QColor(30, 30, 40));
    painter.setPen(QPen(QColor(200, 40, 40), height / 100.0));
    for (int i = 1; i <= 6; ++i)
        painter.drawEllipse(QPointF(width * 0.3, height * 0.3), i * height * 0.03, i * height * 0.03);
    return picture;
}

QByteArray jpegBytes(const QImage& picture, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", quality);
    return bytes;
}

QByteArray withExifOrientation(const QByteArray& jpeg, int exifOrientation)
{
    QByteArray tiff("MM\0\x2a", 4);
    appendBigEndian32(tiff, 8);  // first IFD right after the TIFF header
    appendBigEndian16(tiff, 1);  // one entry
    appendBigEndian16(tiff, 0x0112);  // Orientation
    appendBigEndian16(tiff, 3);       // SHORT
    appendBigEndian32(tiff, 1);       // one value
    appendBigEndian16(tiff, exifOrientation);
    appendBigEndian16(tiff, 0);       // value field padding
    appendBigEndian32(tiff, 0);       // no next IFD

    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1", 2);
    appendBigEndian16(segment, int(payload.size()) + 2);
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray withJpegFrameSize(const QByteArray& jpeg, int width, int height)
{
    QByteArray out = jpeg;
    qsizetype i = 2;
    while (i + 4 <= out.size()) {
        if (std::uint8_t(out[i]) != 0xff)
            break;
        const std::uint8_t marker = std::uint8_t(out[i + 1]);
        const int length = (std::uint8_t(out[i + 2]) << 8) | std::uint8_t(out[i + 3]);
        if (marker >= 0xc0 && marker <= 0xc3) {
            out[i + 5] = char((height >> 8) & 0xff);
            out[i + 6] = char(height & 0xff);
            out[i + 7] = char((width >> 8) & 0xff);
            out[i + 8] = char(width & 0xff);
            return out;
        }
        i += 2 + length;
    }
    return QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace ImportTestFiles
