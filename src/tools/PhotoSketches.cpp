#include "tools/PhotoSketches.h"

#include "project/ImportFile.h"
#include "filter/SketchFilter.h"
#include "project/UprightImage.h"
#include "imageio/PictureUnpack.h"
#include "tools/OpaqueRgbImage.h"

bool PhotoSketches::make(const QString& photoPath, QString* error, int filterThreads)
{
    const ImageFileResult read = readImportFile(photoPath);
    if (!read.ok()) {
        *error = read.error;
        return false;
    }
    mWarning = read.warning.isEmpty() ? read.note : read.warning;
    UnpackedPicture unpacked = unpackPicture(uprightImage(read.image).bitmap);
    if (unpacked.pixelFormat != kUnpackedRGBA8888) {
        *error = QStringLiteral("unsupported picture format");
        return false;
    }
    width = int(unpacked.width);
    height = int(unpacked.height);
    // The upright picture is never larger than a texture: its size is whole pixels.
    pictureWidth = int(unpacked.imageSize.width);
    pictureHeight = int(unpacked.imageSize.height);

    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    originalbuff = std::move(unpacked.buffer);
    blacksketchbuff = PixelMemory::allocate(bytes);
    colorsketchbuff = PixelMemory::allocate(bytes);
    workingbuff = PixelMemory::allocate(bytes);
    if (!originalbuff || !blacksketchbuff || !colorsketchbuff || !workingbuff) {
        *error = QStringLiteral("out of memory");
        return false;
    }

    buildSketchOnThreads(SketchBuffers{originalbuff.get(), workingbuff.get(), blacksketchbuff.get(),
                                       colorsketchbuff.get(), width, height, unpacked.imageSize},
                         filterThreads);
    return true;
}

QImage PhotoSketches::pictureArea(const PixelBlock& buffer) const
{
    return opaqueRgbImage(buffer.get(), width, pictureWidth, pictureHeight);
}
