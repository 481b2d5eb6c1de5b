// The HEIF module's entry point: HeifPicture behind the table the program loads.
#include <QtGlobal>

#include "imageio/HeifModuleInterface.h"
#include "imageio/HeifPicture.h"

namespace {

HeifPicture* picture(HeifModulePicture* p) { return reinterpret_cast<HeifPicture*>(p); }
const HeifPicture* picture(const HeifModulePicture* p) { return reinterpret_cast<const HeifPicture*>(p); }

HeifModulePicture* open(QIODevice* file) { return reinterpret_cast<HeifModulePicture*>(new HeifPicture(*file)); }

void close(HeifModulePicture* p) { delete picture(p); }

QString error(const HeifModulePicture* p) { return picture(p)->error(); }

QSize size(const HeifModulePicture* p) { return picture(p)->size(); }

bool hasAlpha(const HeifModulePicture* p) { return picture(p)->hasAlpha(); }

bool deep(const HeifModulePicture* p) { return picture(p)->deep(); }

HeifModuleDecoded decode(const HeifModulePicture* p, QSize (*sizeFor)(QSize, const void*), const void* context)
{
    std::function<QSize(QSize)> wanted;
    if (sizeFor)
        wanted = [sizeFor, context](QSize size) { return sizeFor(size, context); };
    HeifPicture::Decoded decoded = picture(p)->decode(wanted);
    return HeifModuleDecoded{std::move(decoded.image), decoded.decodedSize, decoded.error, decoded.refusedStream,
                              decoded.colourNote};
}

const HeifModuleInterface kInterface{kHeifModuleVersion, open, close, error, size, hasAlpha, deep, decode};

}  // namespace

extern "C" Q_DECL_EXPORT const HeifModuleInterface* charcolino_heif_module() { return &kInterface; }
