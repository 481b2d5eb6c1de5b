#include "imageio/HeifDecoderPlugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include <libheif/heif_plugin.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include "imageio/Av1SequenceHeader.h"
#include "imageio/HevcParameterSets.h"
#include "imageio/ImageFile.h"

namespace {

// Above libheif's own decoders (100 for libde265, below 200 for the AV1 ones).
constexpr int kPriority = 200;

std::mutex gTurn;
// The scope of the picture being decoded; set and cleared under gTurn, read by
// the decoders libheif makes while it lives.
std::atomic<HeifDecoderPlugin::Scope*> gScope{nullptr};
std::mutex gRefusal;

heif_error ok() { return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"}; }

heif_error decoderError(const char* message)
{
    return heif_error{heif_error_Decoder_plugin_error, heif_suberror_Unspecified, message};
}

struct Decoder {
    AVCodecID codec = AV_CODEC_ID_NONE;
    std::vector<std::uint8_t> stream;  // the units with Annex B start codes (HEVC) or as pushed (AV1)
    QSize largestStream;
    bool reducedDetail = false;
    HeifDecoderPlugin::Scope* scope = nullptr;
};

heif_error newDecoder(AVCodecID codec, void** out)
{
    auto* decoder = new (std::nothrow) Decoder;
    if (!decoder)
        return heif_error{heif_error_Memory_allocation_error, heif_suberror_Unspecified, "Out of memory"};
    decoder->codec = codec;
    decoder->scope = gScope.load();
    if (decoder->scope) {
        decoder->largestStream = decoder->scope->largestStream();
        decoder->reducedDetail = decoder->scope->reducedDetail();
    } else {
        decoder->largestStream = QSize(ImageFile::kMaxSide, ImageFile::kMaxSide);
    }
    *out = decoder;
    return ok();
}

heif_error newHevcDecoder(void** out) { return newDecoder(AV_CODEC_ID_HEVC, out); }
heif_error newAv1Decoder(void** out) { return newDecoder(AV_CODEC_ID_AV1, out); }

void freeDecoder(void* decoder) { delete static_cast<Decoder*>(decoder); }

bool withinBound(QSize coded, QSize largest)
{
    return coded.width() <= largest.width() && coded.height() <= largest.height() &&
           qint64(coded.width()) * coded.height() <= ImageFile::kMaxPixels;
}

heif_error pushData(void* raw, const void* data, size_t size)
{
    auto* decoder = static_cast<Decoder*>(raw);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    // Every parameter set or sequence header is judged before the decoder sees any.
    const bool hevc = decoder->codec == AV_CODEC_ID_HEVC;
    QSize coded;
    if (!(hevc ? HevcParameterSets::largestPictureSize(bytes, size, &coded)
               : Av1SequenceHeader::largestFrameSize(bytes, size, &coded)))
        return heif_error{heif_error_Invalid_input, heif_suberror_End_of_data, "The coded stream is damaged"};
    if (!withinBound(coded, decoder->largestStream)) {
        if (decoder->scope)
            decoder->scope->refuse(coded);
        return heif_error{heif_error_Memory_allocation_error, heif_suberror_Security_limit_exceeded,
                          "The coded picture is larger than the file says"};
    }
    if (!hevc) {
        decoder->stream.insert(decoder->stream.end(), bytes, bytes + size);
        return ok();
    }
    // HEIF stores each unit after its length; libavcodec takes start codes.
    static constexpr std::uint8_t kStartCode[4] = {0, 0, 0, 1};
    decoder->stream.reserve(decoder->stream.size() + size);
    for (size_t at = 0; at + 4 <= size;) {
        const size_t length = (size_t(bytes[at]) << 24) | (size_t(bytes[at + 1]) << 16) |
                              (size_t(bytes[at + 2]) << 8) | size_t(bytes[at + 3]);
        at += 4;
        decoder->stream.insert(decoder->stream.end(), kStartCode, kStartCode + 4);
        decoder->stream.insert(decoder->stream.end(), bytes + at, bytes + at + length);
        at += length;
    }
    return ok();
}

struct Layout {
    heif_colorspace colorspace;
    heif_chroma chroma;
    int bits;
};

bool layoutOf(int format, Layout* layout)
{
    switch (format) {
    case AV_PIX_FMT_YUV420P: case AV_PIX_FMT_YUVJ420P: *layout = {heif_colorspace_YCbCr, heif_chroma_420, 8}; return true;
    case AV_PIX_FMT_YUV422P: case AV_PIX_FMT_YUVJ422P: *layout = {heif_colorspace_YCbCr, heif_chroma_422, 8}; return true;
    case AV_PIX_FMT_YUV444P: case AV_PIX_FMT_YUVJ444P: *layout = {heif_colorspace_YCbCr, heif_chroma_444, 8}; return true;
    case AV_PIX_FMT_GRAY8: *layout = {heif_colorspace_monochrome, heif_chroma_monochrome, 8}; return true;
    case AV_PIX_FMT_YUV420P10LE: *layout = {heif_colorspace_YCbCr, heif_chroma_420, 10}; return true;
    case AV_PIX_FMT_YUV422P10LE: *layout = {heif_colorspace_YCbCr, heif_chroma_422, 10}; return true;
    case AV_PIX_FMT_YUV444P10LE: *layout = {heif_colorspace_YCbCr, heif_chroma_444, 10}; return true;
    case AV_PIX_FMT_GRAY10LE: *layout = {heif_colorspace_monochrome, heif_chroma_monochrome, 10}; return true;
    case AV_PIX_FMT_YUV420P12LE: *layout = {heif_colorspace_YCbCr, heif_chroma_420, 12}; return true;
    case AV_PIX_FMT_YUV422P12LE: *layout = {heif_colorspace_YCbCr, heif_chroma_422, 12}; return true;
    case AV_PIX_FMT_YUV444P12LE: *layout = {heif_colorspace_YCbCr, heif_chroma_444, 12}; return true;
    case AV_PIX_FMT_GRAY12LE: *layout = {heif_colorspace_monochrome, heif_chroma_monochrome, 12}; return true;
    default: return false;
    }
}

// The decoded frame as libheif's picture: its planes copied, the stream's colour
// description kept when it has one.
heif_error toHeifImage(const AVFrame& frame, heif_image** out)
{
    Layout layout{};
    if (!layoutOf(frame.format, &layout))
        return heif_error{heif_error_Unsupported_feature, heif_suberror_Unsupported_color_conversion,
                          "Unsupported pixel layout"};
    heif_image* image = nullptr;
    heif_error error = heif_image_create(frame.width, frame.height, layout.colorspace, layout.chroma, &image);
    if (error.code != heif_error_Ok)
        return error;
    const bool mono = layout.chroma == heif_chroma_monochrome;
    const int shiftX = layout.chroma == heif_chroma_420 || layout.chroma == heif_chroma_422 ? 1 : 0;
    const int shiftY = layout.chroma == heif_chroma_420 ? 1 : 0;
    const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const size_t sampleBytes = layout.bits > 8 ? 2 : 1;
    for (int plane = 0; plane < (mono ? 1 : 3); ++plane) {
        const int width = plane ? (frame.width + shiftX) >> shiftX : frame.width;
        const int height = plane ? (frame.height + shiftY) >> shiftY : frame.height;
        error = heif_image_add_plane(image, channels[plane], width, height, layout.bits);
        int stride = 0;
        std::uint8_t* to =
            error.code == heif_error_Ok ? heif_image_get_plane(image, channels[plane], &stride) : nullptr;
        if (!to) {
            heif_image_release(image);
            return error.code != heif_error_Ok ? error : decoderError("No plane");
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(to + size_t(y) * size_t(stride), frame.data[plane] + ptrdiff_t(y) * frame.linesize[plane],
                        size_t(width) * sampleBytes);
    }
    // The stream's colour description; what it leaves out is the HEIF default
    // (BT.601 at full range), so that libheif finds the picture already in the
    // form it is asked for.
    if (heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc()) {
        // The codes are those of ITU-T H.273 in both libraries.
        if (frame.colorspace != AVCOL_SPC_UNSPECIFIED)
            heif_nclx_color_profile_set_matrix_coefficients(nclx, std::uint16_t(frame.colorspace));
        if (frame.color_primaries != AVCOL_PRI_UNSPECIFIED)
            heif_nclx_color_profile_set_color_primaries(nclx, std::uint16_t(frame.color_primaries));
        if (frame.color_trc != AVCOL_TRC_UNSPECIFIED)
            heif_nclx_color_profile_set_transfer_characteristics(nclx, std::uint16_t(frame.color_trc));
        nclx->full_range_flag = frame.color_range != AVCOL_RANGE_MPEG;
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    *out = image;
    return ok();
}

heif_error decodeImage(void* raw, heif_image** out)
{
    auto* decoder = static_cast<Decoder*>(raw);
    const AVCodec* codec = avcodec_find_decoder(decoder->codec);
    if (!codec)
        return heif_error{heif_error_Unsupported_feature, heif_suberror_Unsupported_codec, "No decoder"};
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    // A stream that fails here goes to libheif's own decoders, its size having
    // been checked.
    heif_error result = decoderError("The coded stream cannot be decoded");
    if (context && packet && frame) {
        // One picture: its rows (or tiles) on every core, not several frames at once.
        // Not for HEVC: libavcodec's rows on several threads race on a damaged stream
        // (the same file decoded to other pixels each time); libheif decodes the
        // tiles of a grid, as phones store their photos, on threads of its own.
        context->thread_count = decoder->codec == AV_CODEC_ID_HEVC ? 1 : 0;
        context->thread_type = FF_THREAD_SLICE;
        // The decoders refuse a frame beyond this before allocating it (AV1 through
        // dav1d's frame size limit).
        context->max_pixels = std::min<qint64>(qint64(decoder->largestStream.width()) * decoder->largestStream.height(),
                                               ImageFile::kMaxPixels);
        if (decoder->reducedDetail)
            context->skip_loop_filter = AVDISCARD_ALL;
        if (avcodec_open2(context, codec, nullptr) == 0 && av_new_packet(packet, int(decoder->stream.size())) == 0 &&
            !decoder->stream.empty()) {
            std::memcpy(packet->data, decoder->stream.data(), decoder->stream.size());
            if (avcodec_send_packet(context, packet) == 0 && avcodec_send_packet(context, nullptr) == 0 &&
                avcodec_receive_frame(context, frame) == 0) {
                if (!withinBound(QSize(frame->width, frame->height), decoder->largestStream)) {
                    if (decoder->scope)
                        decoder->scope->refuse(QSize(frame->width, frame->height));
                    result = heif_error{heif_error_Memory_allocation_error, heif_suberror_Security_limit_exceeded,
                                        "The coded picture is larger than the file says"};
                } else {
                    result = toHeifImage(*frame, out);
                    if (decoder->scope &&
                        (frame->color_primaries != AVCOL_PRI_UNSPECIFIED || frame->color_trc != AVCOL_TRC_UNSPECIFIED))
                        decoder->scope->describe(NclxCodes{int(frame->color_primaries), int(frame->color_trc)});
                }
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return result;
}

void setStrictDecoding(void*, int) {}

int supportsHevc(heif_compression_format format)
{
    return format == heif_compression_HEVC && avcodec_find_decoder(AV_CODEC_ID_HEVC) ? kPriority : 0;
}

int supportsAv1(heif_compression_format format)
{
    return format == heif_compression_AV1 && avcodec_find_decoder(AV_CODEC_ID_AV1) ? kPriority : 0;
}

const char* hevcName() { return "HEVC decoder (libavcodec)"; }
const char* av1Name() { return "AV1 decoder (libavcodec)"; }

const heif_decoder_plugin kHevcPlugin{3,           hevcName,   nullptr,      nullptr,           supportsHevc,
                                      newHevcDecoder, freeDecoder, pushData, decodeImage,       setStrictDecoding,
                                      HeifDecoderPlugin::kHevcId};
const heif_decoder_plugin kAv1Plugin{3,          av1Name,     nullptr,  nullptr,     supportsAv1,      newAv1Decoder,
                                     freeDecoder, pushData, decodeImage, setStrictDecoding, HeifDecoderPlugin::kAv1Id};

}  // namespace

bool HeifDecoderPlugin::registerOnce()
{
    static const bool registered = [] {
        av_log_set_level(AV_LOG_QUIET);
        bool any = false;
        if (avcodec_find_decoder(AV_CODEC_ID_HEVC))
            any = heif_register_decoder_plugin(&kHevcPlugin).code == heif_error_Ok || any;
        if (avcodec_find_decoder(AV_CODEC_ID_AV1))
            any = heif_register_decoder_plugin(&kAv1Plugin).code == heif_error_Ok || any;
        return any;
    }();
    return registered;
}

HeifDecoderPlugin::Scope::Scope(QSize largestStream, bool reducedDetail)
    : mLargestStream(largestStream), mReducedDetail(reducedDetail), mTurn(gTurn)
{
    gScope.store(this);
}

HeifDecoderPlugin::Scope::~Scope() { gScope.store(nullptr); }

void HeifDecoderPlugin::Scope::refuse(QSize coded)
{
    const std::lock_guard<std::mutex> lock(gRefusal);
    mRefused = coded;
}

void HeifDecoderPlugin::Scope::describe(NclxCodes codes)
{
    const std::lock_guard<std::mutex> lock(gRefusal);
    if (!mStreamColour)
        mStreamColour = codes;
}

std::optional<NclxCodes> HeifDecoderPlugin::Scope::streamColour() const
{
    const std::lock_guard<std::mutex> lock(gRefusal);
    return mStreamColour;
}

QSize HeifDecoderPlugin::Scope::refused() const
{
    const std::lock_guard<std::mutex> lock(gRefusal);
    return mRefused;
}
