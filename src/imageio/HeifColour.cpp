#include "imageio/HeifColour.h"

#include <QByteArray>
#include <libheif/heif.h>

#include "imageio/NclxColour.h"

namespace {

// The primaries and transfer of the file's nclx box.
std::optional<NclxCodes> boxColour(const heif_image_handle* handle)
{
    // A call that fails can still hand back a profile: it is freed all the same.
    heif_color_profile_nclx* nclx = nullptr;
    const bool read = heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx;
    std::optional<NclxCodes> codes;
    if (read)
        codes = NclxCodes{int(nclx->color_primaries), int(nclx->transfer_characteristics)};
    heif_nclx_color_profile_free(nclx);
    return codes;
}

}  // namespace

HeifColour HeifColour::of(const heif_image_handle* handle, std::optional<NclxCodes> stream)
{
    HeifColour colour;
    const size_t iccSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (iccSize > 0 && iccSize < (size_t(1) << 26)) {
        QByteArray icc(qsizetype(iccSize), '\0');
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
            colour.described = true;
            colour.space = QColorSpace::fromIccProfile(icc);
            if (!colour.space.isValid())
                colour.note = QStringLiteral("its ICC colour profile cannot be used: its colours are taken as sRGB");
            return colour;
        }
    }
    std::optional<NclxCodes> codes = boxColour(handle);
    if (!codes)
        codes = stream;
    if (!codes)
        return colour;
    colour.described = true;
    const int primaries = codes->primaries;
    const int transfer = codes->transfer;
    if (isHdrTransfer(transfer)) {
        colour.hdr = transfer == kTransferPq ? HdrTransfer::Pq : HdrTransfer::Hlg;
        const std::optional<Chromaticities> from = nclxPrimaries(primaries);
        colour.hdrToSrgb = rgbToRgbMatrix(from.value_or(kSrgbPrimaries), kSrgbPrimaries);
        if (!from)
            colour.note = QStringLiteral("its colour primaries (nclx %1) cannot be converted: they are taken as sRGB's")
                              .arg(primaries);
        return colour;
    }
    colour.space = nclxColourSpace(primaries, transfer);
    if (!colour.space.isValid())
        colour.note = QStringLiteral("its colours (nclx primaries %1, transfer %2) cannot be converted: they are "
                                     "taken as sRGB")
                          .arg(primaries)
                          .arg(transfer);
    return colour;
}
