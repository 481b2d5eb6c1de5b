#include "imageio/HeifPicture.h"

#include <QIODevice>
#include <cstring>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>
#include <libheif/heif.h>

#include "imageio/HdrToSdr.h"
#include "imageio/HeifColour.h"
#include "imageio/HeifDecoderPlugin.h"
#include "imageio/ImageFile.h"
#include "imageio/YcbcrShrink.h"

namespace {

// libheif reads the file through these, from the device's current contents.
int64_t readerPosition(void* device) { return static_cast<QIODevice*>(device)->pos(); }

int readerRead(void* data, size_t size, void* device)
{
    auto* file = static_cast<QIODevice*>(device);
    return file->read(static_cast<char*>(data), qint64(size)) == qint64(size) ? 0 : 1;
}

int readerSeek(int64_t position, void* device) { return static_cast<QIODevice*>(device)->seek(position) ? 0 : 1; }

heif_reader_grow_status readerWaitForSize(int64_t size, void* device)
{
    // A regular file does not grow while it is read.
    return size <= static_cast<QIODevice*>(device)->size() ? heif_reader_grow_status_size_reached
                                                           : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader kReader{1, readerPosition, readerRead, readerSeek, readerWaitForSize};

const QString kDamagedReason = QStringLiteral("cannot be decoded: the file is damaged or incomplete");

// libheif's own words on one line, without the full stop or line end they may carry.
QString said(const heif_error& error)
{
    QString text = QString::fromUtf8(error.message ? error.message : "").simplified().toLower();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString reason(const heif_error& error)
{
    switch (error.code) {
    case heif_error_Ok:
        return QString();
    case heif_error_Memory_allocation_error:
        // libheif's message here can name another of its errors: the limit is what counts.
        if (error.subcode == heif_suberror_Security_limit_exceeded)
            return QStringLiteral("picture too large: more than the HEIF reader takes (at most %1 pixels a side)")
                .arg(ImageFile::kMaxSide);
        return QStringLiteral("out of memory");
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature: {
        const QString text = said(error);
        return text.isEmpty() ? kDamagedReason : QStringLiteral("cannot be decoded: %1").arg(text);
    }
    default:
        return QStringLiteral("cannot be decoded: the file is damaged or incomplete");
    }
}

void initOnce()
{
    // Loads the decoders once for the process; never undone (pictures are read until the end).
    static const bool initialised = [] {
        heif_init(nullptr);
        HeifDecoderPlugin::registerOnce();
        return true;
    }();
    (void)initialised;
}

}  // namespace

HeifPicture::HeifPicture(QIODevice& file) : mFile(file)
{
    initOnce();
    mContext = heif_context_alloc();
    if (!mContext) {
        mError = QStringLiteral("out of memory");
        return;
    }
    heif_error error = heif_context_read_from_reader(mContext, &kReader, &mFile, nullptr);
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(mContext, &mHandle);
    mError = reason(error);
    if (mError.isEmpty() && !mHandle)
        mError = QStringLiteral("cannot be decoded: the file is damaged or incomplete");
}

HeifPicture::~HeifPicture()
{
    if (mHandle)
        heif_image_handle_release(mHandle);
    if (mContext)
        heif_context_free(mContext);
}

QSize HeifPicture::size() const
{
    if (!mHandle)
        return QSize();
    return QSize(heif_image_handle_get_width(mHandle), heif_image_handle_get_height(mHandle));
}

bool HeifPicture::hasAlpha() const { return mHandle && heif_image_handle_has_alpha_channel(mHandle); }

bool HeifPicture::deep() const { return mHandle && heif_image_handle_get_luma_bits_per_pixel(mHandle) > 8; }

QImage HeifPicture::decode(QString* error) const
{
    Decoded decoded = decode(std::function<QSize(QSize)>());
    *error = decoded.error;
    return decoded.image;
}

namespace {

const QString kDamaged = QStringLiteral("cannot be decoded: the file is damaged or incomplete");

// The largest coded stream a picture of `header` size may have: tiles of a grid
// can overhang its edge.
QSize largestStream(QSize header)
{
    constexpr int kTile = 512;
    const int longer = std::max(header.width(), header.height());
    const int side = int(std::min<qint64>((qint64(longer) + kTile - 1) / kTile * kTile, ImageFile::kMaxSide));
    return QSize(side, side);
}

// libheif's own decoders, by name.
std::vector<const char*> fallbackDecoders()
{
    const heif_decoder_descriptor* descriptors[16] = {};
    const int count = heif_get_decoder_descriptors(heif_compression_undefined, descriptors, 16);
    std::vector<const char*> ids;
    for (int i = 0; i < count; ++i) {
        const char* id = heif_decoder_descriptor_get_id_name(descriptors[i]);
        if (id && std::strcmp(id, HeifDecoderPlugin::kHevcId) != 0 && std::strcmp(id, HeifDecoderPlugin::kAv1Id) != 0)
            ids.push_back(id);
    }
    return ids;
}

struct Released {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
using DecodedImage = std::unique_ptr<heif_image, Released>;

// The 8-bit YCbCr or grey planes of a decoded picture; false for any other layout.
bool planesOf(const heif_image* image, YcbcrPlanes* planes)
{
    const heif_colorspace space = heif_image_get_colorspace(image);
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    int stride = 0;
    planes->y = heif_image_get_plane_readonly(image, heif_channel_Y, &stride);
    planes->yStride = stride;
    planes->width = heif_image_get_width(image, heif_channel_Y);
    planes->height = heif_image_get_height(image, heif_channel_Y);
    if (!planes->y || planes->width <= 0 || planes->height <= 0 ||
        heif_image_get_bits_per_pixel_range(image, heif_channel_Y) != 8)
        return false;
    if (space == heif_colorspace_monochrome)
        return true;
    if (space != heif_colorspace_YCbCr ||
        (chroma != heif_chroma_420 && chroma != heif_chroma_422 && chroma != heif_chroma_444))
        return false;
    planes->shiftX = chroma == heif_chroma_444 ? 0 : 1;
    planes->shiftY = chroma == heif_chroma_420 ? 1 : 0;
    int crStride = 0;
    planes->cb = heif_image_get_plane_readonly(image, heif_channel_Cb, &stride);
    planes->cr = heif_image_get_plane_readonly(image, heif_channel_Cr, &crStride);
    planes->chromaStride = stride;
    const int chromaWidth = (planes->width + (1 << planes->shiftX) - 1) >> planes->shiftX;
    const int chromaHeight = (planes->height + (1 << planes->shiftY) - 1) >> planes->shiftY;
    return planes->cb && planes->cr && stride == crStride &&
           heif_image_get_bits_per_pixel_range(image, heif_channel_Cb) == 8 &&
           heif_image_get_bits_per_pixel_range(image, heif_channel_Cr) == 8 &&
           heif_image_get_width(image, heif_channel_Cb) >= chromaWidth &&
           heif_image_get_height(image, heif_channel_Cb) >= chromaHeight &&
           heif_image_get_width(image, heif_channel_Cr) >= chromaWidth &&
           heif_image_get_height(image, heif_channel_Cr) >= chromaHeight;
}

// The colour matrix of a decoded picture or of the file (an nclx box); BT.601
// at full range, the HEIF default, when neither tells.
std::optional<YcbcrMatrix> matrixOf(const heif_image* image, const heif_image_handle* handle)
{
    // A call that fails can still hand back a profile (one with a value libheif
    // does not know): it is freed all the same.
    heif_color_profile_nclx* nclx = nullptr;
    const auto refused = [&nclx](heif_error error) {
        if (error.code == heif_error_Ok)
            return false;
        heif_nclx_color_profile_free(nclx);
        nclx = nullptr;
        return true;
    };
    if (image)
        refused(heif_image_get_nclx_color_profile(image, &nclx));
    if (!nclx)
        refused(heif_image_handle_get_nclx_color_profile(handle, &nclx));
    if (!nclx)
        return YcbcrMatrix{};
    const std::optional<YcbcrMatrix> matrix = ycbcrMatrix(int(nclx->matrix_coefficients), nclx->full_range_flag != 0);
    heif_nclx_color_profile_free(nclx);
    return matrix;
}

// How a picture is asked of libheif.
enum class Layout {
    Planes,  // 8-bit YCbCr 4:2:0 planes
    Rgba,    // interleaved 8-bit RGBA
    Deep,    // interleaved RGB (RGBA with alpha) at the picture's own depth, for HDR
};

// Decodes the picture in `layout`. A stream that libavcodec cannot take goes to
// libheif's own decoders (its size was checked before, so it is no larger than allowed).
DecodedImage decodeImage(const heif_image_handle* handle, Layout layout, heif_error* result)
{
    heif_decoding_options* options = heif_decoding_options_alloc();
    if (!options) {
        *result = heif_error{heif_error_Memory_allocation_error, heif_suberror_Unspecified, "Out of memory"};
        return DecodedImage();
    }
    options->convert_hdr_to_8bit = layout == Layout::Deep ? 0 : 1;
    constexpr bool kLittleEndian = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    heif_colorspace space = heif_colorspace_RGB;
    heif_chroma chroma = heif_chroma_interleaved_RGBA;
    if (layout == Layout::Planes) {
        space = heif_colorspace_YCbCr;
        chroma = heif_chroma_420;
    } else if (layout == Layout::Deep) {
        chroma = alpha ? (kLittleEndian ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBBAA_BE)
                       : (kLittleEndian ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RRGGBB_BE);
    }
    const auto decode = [&](const char* decoder) {
        options->decoder_id = decoder;
        heif_image* decoded = nullptr;
        *result = heif_decode_image(handle, &decoded, space, chroma, options);
        if (result->code != heif_error_Ok && decoded) {
            heif_image_release(decoded);
            decoded = nullptr;
        }
        return DecodedImage(decoded);
    };
    DecodedImage decoded = decode(nullptr);
    if (result->code == heif_error_Decoder_plugin_error)
        for (const char* id : fallbackDecoders()) {
            decoded = decode(id);
            if (result->code != heif_error_Unsupported_feature)
                break;
        }
    heif_decoding_options_free(options);
    return decoded;
}

// A PQ or HLG picture decoded at its own depth, mapped to 8-bit sRGB; null when
// the decoded picture is not the layout asked for.
QImage mappedToSdr(const heif_image* decoded, const HeifColour& colour, bool alpha)
{
    int stride = 0;
    HdrSamples in;
    in.data = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    in.stride = stride;
    in.width = heif_image_get_width(decoded, heif_channel_interleaved);
    in.height = heif_image_get_height(decoded, heif_channel_interleaved);
    in.bits = heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
    // 8 bits come as RGBA, deeper as RGB or RGBA at their depth.
    in.channels = in.bits == 8 || alpha ? 4 : 3;
    const int sampleBytes = in.bits == 8 ? 1 : 2;
    if (!in.data || in.width <= 0 || in.height <= 0 || in.bits < 8 || in.bits > 16 || stride % sampleBytes != 0 ||
        stride < in.width * in.channels * sampleBytes)
        return QImage();
    QImage::Format format = QImage::Format_RGBX8888;
    if (alpha)
        format = heif_image_is_premultiplied_alpha(const_cast<heif_image*>(decoded))
                     ? QImage::Format_RGBA8888_Premultiplied
                     : QImage::Format_RGBA8888;
    QImage image(in.width, in.height, format);
    if (!image.isNull())
        hdrToSdr(in, *colour.hdr, colour.hdrToSrgb, image.bits(), image.bytesPerLine());
    return image;
}

}  // namespace

HeifPicture::Decoded HeifPicture::decode(const std::function<QSize(QSize)>& sizeFor) const
{
    Decoded out;
    if (!mHandle) {
        out.error = mError;
        return out;
    }
    const QSize header = size();
    const QSize wanted = sizeFor ? sizeFor(header) : header;
    const bool shrinks = !wanted.isEmpty() && wanted != header;
    const HeifDecoderPlugin::Scope scope(largestStream(header), shrinks && wanted.width() * 2 <= header.width() &&
                                                                    wanted.height() * 2 <= header.height());
    HeifColour colour = HeifColour::of(mHandle);
    // An 8-bit picture without alpha that is shrunk stays in its YCbCr planes; PQ
    // and HLG come at their own depth.
    const auto layoutFor = [&](const HeifColour& c) {
        if (c.hdr)
            return deep() ? Layout::Deep : Layout::Rgba;
        return shrinks && !hasAlpha() && !deep() && matrixOf(nullptr, mHandle) ? Layout::Planes : Layout::Rgba;
    };
    Layout layout = layoutFor(colour);
    heif_error result{};
    DecodedImage decoded = decodeImage(mHandle, layout, &result);
    if (!scope.refused().isEmpty()) {
        out.refusedStream = scope.refused();
        out.error = QStringLiteral("picture too large: its coded picture is %1 x %2 pixels, its header gives %3 x %4")
                     .arg(scope.refused().width())
                     .arg(scope.refused().height())
                     .arg(header.width())
                     .arg(header.height());
        return out;
    }
    if (decoded && !colour.described && scope.streamColour()) {
        // No colour box: the coded stream's own description.
        colour = HeifColour::of(mHandle, scope.streamColour());
        if (colour.hdr) {
            layout = layoutFor(colour);
            decoded = decodeImage(mHandle, layout, &result);
        }
    }
    YcbcrPlanes planes;
    const std::optional<YcbcrMatrix> matrix = matrixOf(decoded.get(), mHandle);
    if (decoded && layout == Layout::Planes && (!planesOf(decoded.get(), &planes) || !matrix)) {
        // Not what was asked for: libheif converts it.
        layout = Layout::Rgba;
        decoded = decodeImage(mHandle, layout, &result);
    }
    if (result.code != heif_error_Ok || !decoded) {
        out.error = result.code != heif_error_Ok ? reason(result) : kDamaged;
        return out;
    }
    out.colourNote = colour.note;

    if (layout == Layout::Planes) {
        out.decodedSize = QSize(planes.width, planes.height);
        QSize target = sizeFor ? sizeFor(out.decodedSize) : out.decodedSize;
        if (target.isEmpty() || target.width() > planes.width || target.height() > planes.height)
            target = out.decodedSize;
        QImage shrunk(target, QImage::Format_RGBX8888);
        if (shrunk.isNull()) {
            out.error = QStringLiteral("out of memory");
            return out;
        }
        shrinkYcbcrToRgbx(planes, *matrix, shrunk.bits(), shrunk.bytesPerLine(), target.width(), target.height());
        if (colour.space.isValid())
            shrunk.setColorSpace(colour.space);
        out.image = shrunk;
        return out;
    }

    if (colour.hdr) {
        out.image = mappedToSdr(decoded.get(), colour, hasAlpha());
        if (out.image.isNull())
            out.error = kDamaged;
        out.decodedSize = out.image.size();
        return out;
    }

    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4) {
        out.error = kDamaged;
        return out;
    }
    QImage::Format format = QImage::Format_RGBX8888;
    if (hasAlpha())
        format = heif_image_is_premultiplied_alpha(decoded.get()) ? QImage::Format_RGBA8888_Premultiplied
                                                                  : QImage::Format_RGBA8888;
    // The decoded memory becomes the picture's own: released with the last copy.
    out.decodedSize = QSize(width, height);
    out.image = QImage(
        pixels, width, height, stride, format, [](void* image) { heif_image_release(static_cast<heif_image*>(image)); },
        decoded.release());
    if (colour.space.isValid())
        out.image.setColorSpace(colour.space);
    return out;
}
