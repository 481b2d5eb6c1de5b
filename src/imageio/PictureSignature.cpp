#include "imageio/PictureSignature.h"

#include <QByteArray>
#include <QFileInfo>

namespace {

constexpr int kTgaHeaderBytes = 18;
constexpr unsigned char kTgaTrueColour = 2;  // uncompressed, the kind read

unsigned char byteAt(const QByteArray& bytes, int at) { return static_cast<unsigned char>(bytes[at]); }

bool tgaHeader(const QByteArray& head)
{
    if (head.size() < kTgaHeaderBytes)
        return false;
    const unsigned char colourMap = byteAt(head, 1);
    const unsigned char depth = byteAt(head, 16);
    const int width = byteAt(head, 12) | (byteAt(head, 13) << 8);
    const int height = byteAt(head, 14) | (byteAt(head, 15) << 8);
    return colourMap <= 1 && byteAt(head, 2) == kTgaTrueColour && (depth == 16 || depth == 24 || depth == 32) &&
           width > 0 && height > 0;
}

}  // namespace

bool namedAsTga(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("tga"), Qt::CaseInsensitive) == 0;
}

bool looksLikeReadablePicture(QFile& file, const QString& path)
{
    const QByteArray head = file.peek(kTgaHeaderBytes);
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return true;
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)) ||
        head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4)))
        return true;
    return namedAsTga(path) && tgaHeader(head);
}
