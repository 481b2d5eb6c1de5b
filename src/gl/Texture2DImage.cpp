#include <QtGlobal>

#include "gl/Texture2D.h"
#include "base/ConsoleLog.h"
#include "imageio/Image.h"
#include "imageio/PictureUnpack.h"

static_assert(kUnpackedRGBA8888 == Texture2D::RGBA8888 && kUnpackedA8 == Texture2D::A8,
              "an unpacked picture is uploaded in its own layout");

std::unique_ptr<Texture2D> Texture2D::initWithImage(const Image& image, PixelBlock* imageBuffer)
{
    if (!image.hasBitmap()) {
        qCInfo(consoleLog, "Image is Null");
        return nullptr;
    }
    UnpackedPicture unpacked = unpackPicture(image.bitmap);
    std::unique_ptr<Texture2D> texture =
        initWithData(unpacked.buffer.get(), unpacked.pixelFormat, unpacked.width, unpacked.height, unpacked.imageSize);
    if (imageBuffer)
        *imageBuffer = std::move(unpacked.buffer);
    return texture;
}
