#include "support/HeifColourFiles.h"

#include <cstdint>
#include <cstring>
#include <libheif/heif.h>

namespace HeifColourFiles {

namespace {

heif_error appended(heif_context*, const void* data, size_t size, void* out)
{
    static_cast<QByteArray*>(out)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

heif_color_profile_nclx* nclxOf(int primaries, int transfer, int matrix)
{
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    heif_nclx_color_profile_set_color_primaries(nclx, std::uint16_t(primaries));
    heif_nclx_color_profile_set_transfer_characteristics(nclx, std::uint16_t(transfer));
    heif_nclx_color_profile_set_matrix_coefficients(nclx, std::uint16_t(matrix));
    nclx->full_range_flag = 1;
    return nclx;
}

// Encodes `image` (released here) into a file of its own; empty on failure.
QByteArray encoded(heif_image* image, Codec codec, int quality, bool nclxBox = true)
{
    QByteArray bytes;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(
            context, codec == Codec::Hevc ? heif_compression_HEVC : heif_compression_AV1, &encoder)
            .code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, quality);
        heif_encoding_options* options = heif_encoding_options_alloc();
        // Both colour boxes are written when the picture has both.
        options->macOS_compatibility_workaround_no_nclx_profile = nclxBox ? 0 : 1;
        options->save_two_colr_boxes_when_ICC_and_nclx_available = 1;
        heif_writer writer{1, appended};
        if (heif_context_encode_image(context, image, encoder, options, nullptr).code == heif_error_Ok)
            heif_context_write(context, &writer, &bytes);
        heif_encoding_options_free(options);
        heif_encoder_release(encoder);
    }
    heif_image_release(image);
    heif_context_free(context);
    return bytes;
}

}  // namespace

QByteArray described(const QImage& picture, Codec codec, const Description& description)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    if (!description.icc.isEmpty())
        heif_image_set_raw_color_profile(image, "prof", description.icc.constData(), size_t(description.icc.size()));
    if (description.primaries) {
        heif_color_profile_nclx* nclx = nclxOf(description.primaries, description.transfer, description.matrix);
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    return encoded(image, codec, 90, !description.nclxInStreamOnly);
}

QByteArray greyPatches(const std::vector<int>& codes, int bits, Codec codec, int primaries, int transfer,
                       bool nclxInStreamOnly)
{
    constexpr int kPatch = 8;
    const int width = int(codes.size()) * kPatch;
    heif_image* image = nullptr;
    heif_image_create(width, kPatch, heif_colorspace_YCbCr, heif_chroma_420, &image);
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (const heif_channel channel : channels) {
        const int shift = channel == heif_channel_Y ? 0 : 1;
        heif_image_add_plane(image, channel, width >> shift, kPatch >> shift, bits);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, channel, &stride);
        for (int y = 0; y < kPatch >> shift; ++y)
            for (int x = 0; x < width >> shift; ++x) {
                const int code = channel == heif_channel_Y ? codes[size_t((x << shift) / kPatch)] : 1 << (bits - 1);
                if (bits == 8)
                    plane[y * stride + x] = std::uint8_t(code);
                else
                    reinterpret_cast<std::uint16_t*>(plane + y * stride)[x] = std::uint16_t(code);
            }
    }
    heif_color_profile_nclx* nclx = nclxOf(primaries, transfer, 9);
    heif_image_set_nclx_color_profile(image, nclx);
    heif_nclx_color_profile_free(nclx);
    return encoded(image, codec, 95, !nclxInStreamOnly);
}

}  // namespace HeifColourFiles
