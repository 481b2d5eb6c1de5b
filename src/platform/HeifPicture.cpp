#include "platform/HeifPicture.h"

#include <QIODevice>
#include <array>
#include <cstring>
#include <libheif/heif.h>

namespace {

// Brands of still HEIF pictures (and of sequences, whose primary picture is read).
constexpr std::array<const char*, 14> kHeifBrands{"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm",
                                                  "hevs", "mif1", "mif2", "msf1", "miaf", "avif", "avis"};

bool isHeifBrand(QByteArrayView brand)
{
    for (const char* b : kHeifBrands)
        if (brand == QByteArrayView(b, 4))
            return true;
    return false;
}

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return (quint32(quint8(bytes[at])) << 24) | (quint32(quint8(bytes[at + 1])) << 16) |
           (quint32(quint8(bytes[at + 2])) << 8) | quint32(quint8(bytes[at + 3]));
}

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

QString reason(const heif_error& error)
{
    switch (error.code) {
    case heif_error_Ok:
        return QString();
    case heif_error_Memory_allocation_error:
        if (error.subcode == heif_suberror_Security_limit_exceeded)
            return QStringLiteral("picture too large: %1").arg(QString::fromUtf8(error.message).toLower());
        return QStringLiteral("out of memory");
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
        return QStringLiteral("cannot be decoded: %1").arg(QString::fromUtf8(error.message).toLower());
    default:
        return QStringLiteral("cannot be decoded: the file is damaged or incomplete");
    }
}

void initOnce()
{
    // Loads the decoders once for the process; never undone (pictures are read until the end).
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)initialised;
}

}  // namespace

bool HeifPicture::isHeifFile(QByteArrayView head)
{
    // A box: its size (big-endian, including these 8 bytes), "ftyp", the major
    // brand, a minor version, then compatible brands.
    if (head.size() < 16 || head.sliced(4, 4) != QByteArrayView("ftyp"))
        return false;
    const qsizetype boxSize = qsizetype(bigEndian32(head, 0));
    if (boxSize < 16)
        return false;
    const qsizetype end = std::min(boxSize, head.size());
    if (isHeifBrand(head.sliced(8, 4)))
        return true;
    for (qsizetype at = 16; at + 4 <= end; at += 4)
        if (isHeifBrand(head.sliced(at, 4)))
            return true;
    return false;
}

QStringList HeifPicture::suffixes()
{
    initOnce();
    QStringList suffixes;
    if (heif_have_decoder_for_format(heif_compression_HEVC))
        suffixes << QStringLiteral("heic") << QStringLiteral("heif") << QStringLiteral("hif");
    if (heif_have_decoder_for_format(heif_compression_AV1))
        suffixes << QStringLiteral("avif");
    return suffixes;
}

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
    if (!mHandle) {
        *error = mError;
        return QImage();
    }
    heif_decoding_options* options = heif_decoding_options_alloc();
    if (!options) {
        *error = QStringLiteral("out of memory");
        return QImage();
    }
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    const heif_error result =
        heif_decode_image(mHandle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options);
    heif_decoding_options_free(options);
    if (result.code != heif_error_Ok || !decoded) {
        if (decoded)
            heif_image_release(decoded);
        *error = result.code != heif_error_Ok ? reason(result)
                                              : QStringLiteral("cannot be decoded: the file is damaged or incomplete");
        return QImage();
    }

    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4) {
        heif_image_release(decoded);
        *error = QStringLiteral("cannot be decoded: the file is damaged or incomplete");
        return QImage();
    }
    QImage::Format format = QImage::Format_RGBX8888;
    if (hasAlpha())
        format = heif_image_is_premultiplied_alpha(decoded) ? QImage::Format_RGBA8888_Premultiplied
                                                            : QImage::Format_RGBA8888;
    // The decoded memory becomes the picture's own: released with the last copy.
    return QImage(
        pixels, width, height, stride, format, [](void* image) { heif_image_release(static_cast<heif_image*>(image)); },
        decoded);
}
