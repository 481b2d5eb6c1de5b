#include "tools/FullSizeSketches.h"

#include "project/FullSizePhoto.h"
#include "filter/SketchFilterScaled.h"

bool FullSizeSketches::make(const QString& photoPath, QString* error)
{
    mBlack = mColor = QImage();
    mWarning.clear();
    {
        const FullSizePhoto photo = readFullSizePhoto(photoPath, error);
        if (photo.upright.isNull())
            return false;
        const int w = photo.upright.width(), h = photo.upright.height();
        mBlack = QImage(w, h, QImage::Format_RGBX8888);
        mColor = QImage(w, h, QImage::Format_RGBX8888);
        const SketchBuffers buffers{photo.upright.constBits(), nullptr, mBlack.bits(), mColor.bits(), w, h,
                                    FloatSize{float(w), float(h)}};
        if (mBlack.isNull() || mColor.isNull() ||
            !buildSketchScaled(buffers, fullSizeSketchScale(buffers.picsize, photo.imported), 0, h)) {
            mBlack = mColor = QImage();
            *error = QStringLiteral("out of memory");
            return false;
        }
        mWarning = photo.warning;
    }
    return true;
}
