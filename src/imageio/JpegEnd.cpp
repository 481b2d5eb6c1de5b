#include "imageio/JpegEnd.h"

#include <QByteArray>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

bool readByte(QIODevice& device, unsigned char* byte)
{
    char c;
    if (!device.getChar(&c))
        return false;
    *byte = static_cast<unsigned char>(c);
    return true;
}

bool skip(QIODevice& device, qint64 bytes)
{
    const qint64 to = device.pos() + bytes;
    return to <= device.size() && device.seek(to);
}

// From the current position: whether the bytes FF D9 follow anywhere.
bool endMarkerFollows(QIODevice& device)
{
    bool afterMarkerByte = false;
    QByteArray chunk;
    while (!(chunk = device.read(64 * 1024)).isEmpty()) {
        for (const char c : chunk) {
            const auto byte = static_cast<unsigned char>(c);
            if (afterMarkerByte && byte == kEndOfImage)
                return true;
            afterMarkerByte = byte == kMarker;
        }
    }
    return false;
}

}  // namespace

bool jpegReachesEndMarker(QIODevice& device)
{
    unsigned char a = 0;
    unsigned char b = 0;
    if (!device.seek(0) || !readByte(device, &a) || !readByte(device, &b) || a != kMarker || b != kStartOfImage)
        return true;
    for (;;) {
        unsigned char byte = 0;
        if (!readByte(device, &byte))
            return false;
        if (byte != kMarker)
            return true;  // not a marker where one belongs: the decoder judged that
        do {
            if (!readByte(device, &byte))
                return false;
        } while (byte == kMarker);  // fill bytes
        if (byte == kEndOfImage)
            return true;
        if (byte == 0x01 || (byte >= 0xD0 && byte <= 0xD7))
            continue;  // markers without a length
        unsigned char high = 0;
        unsigned char low = 0;
        if (!readByte(device, &high) || !readByte(device, &low))
            return false;
        const int length = (high << 8) | low;
        if (length < 2)
            return true;
        if (!skip(device, length - 2))
            return false;
        if (byte == kStartOfScan)
            break;
    }
    // Entropy-coded data never holds FF D9 (a data byte FF is followed by 00), so
    // the first one is the end of the picture.
    return endMarkerFollows(device);
}
