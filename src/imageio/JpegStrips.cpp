#include "imageio/JpegStrips.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "imageio/ImageFile.h"
#include "imageio/JpegEnd.h"

// libjpeg reports errors by calling error_exit, which must not return: it jumps
// back to the setjmp of the call that failed. The functions that call libjpeg hold
// no objects with destructors across those calls.
struct JpegStrips::Decoder {
    jpeg_decompress_struct info{};
    struct Errors {
        jpeg_error_mgr manager{};
        std::jmp_buf back{};
    } errors;
    std::FILE* file = nullptr;
    bool created = false;
    bool started = false;
};

namespace {

void jumpBack(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegStrips::Decoder::Errors*>(info->err);
    std::longjmp(errors->back, 1);
}

void quiet(j_common_ptr, int) {}

// The header read and the decode started, or false.
bool startDecode(JpegStrips::Decoder& d)
{
    if (setjmp(d.errors.back))
        return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_stdio_src(&d.info, d.file);
    jpeg_save_markers(&d.info, JPEG_APP0 + 2, 0xffff);  // the colour profile
    if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (jpeg_has_multiple_scans(&d.info))
        return false;  // progressive: libjpeg would hold the whole picture's coefficients
    if (!(d.info.jpeg_color_space == JCS_YCbCr && d.info.num_components == 3) &&
        !(d.info.jpeg_color_space == JCS_GRAYSCALE && d.info.num_components == 1))
        return false;
    d.info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&d.info);
    d.started = true;
    return d.info.output_components == 4;
}

bool readRows(JpegStrips::Decoder& d, std::uint8_t* rows, std::ptrdiff_t stride, int count)
{
    if (setjmp(d.errors.back))
        return false;
    for (int done = 0; done < count;) {
        JSAMPROW row = rows + stride * done;
        const JDIMENSION got = jpeg_read_scanlines(&d.info, &row, 1);
        if (got != 1)
            return false;
        ++done;
    }
    return true;
}

void finishDecode(JpegStrips::Decoder& d)
{
    if (setjmp(d.errors.back) == 0 && d.started)
        jpeg_abort_decompress(&d.info);
    if (d.created)
        jpeg_destroy_decompress(&d.info);
    d.created = d.started = false;
}

bool sRgbProfile(jpeg_decompress_struct& info)
{
    JOCTET* icc = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(&info, &icc, &length) || !icc)
        return true;  // none: taken as sRGB, as the whole decode takes it
    const QColorSpace space = QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(icc), int(length)));
    std::free(icc);
    return !space.isValid() || space == QColorSpace::SRgb;
}

}  // namespace

JpegStrips::JpegStrips() = default;

JpegStrips::~JpegStrips() { close(); }

void JpegStrips::close()
{
    if (!mDecoder)
        return;
    finishDecode(*mDecoder);
    if (mDecoder->file)
        std::fclose(mDecoder->file);
    mDecoder.reset();
    mSize = QSize();
    mRowsRead = 0;
}

bool JpegStrips::open(const QString& path)
{
    close();
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.peek(3).startsWith("\xff\xd8\xff"))
            return false;
        QImageReader reader(&file);
        reader.setAutoTransform(false);
        if (reader.format() != "jpeg")
            return false;
        mOrientation = ImageFile::orientationFromTransformation(reader.transformation());
        file.seek(0);
        if (!jpegReachesEndMarker(file))
            return false;
    }
    mDecoder = std::make_unique<Decoder>();
    mDecoder->file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!mDecoder->file) {
        mDecoder.reset();
        return false;
    }
    mDecoder->info.err = jpeg_std_error(&mDecoder->errors.manager);
    mDecoder->errors.manager.error_exit = jumpBack;
    mDecoder->errors.manager.emit_message = quiet;
    const bool started = startDecode(*mDecoder);
    const qint64 w = started ? qint64(mDecoder->info.output_width) : 0;
    const qint64 h = started ? qint64(mDecoder->info.output_height) : 0;
    if (!started || w <= 0 || h <= 0 || w > ImageFile::kMaxSide || h > ImageFile::kMaxSide ||
        w * h > ImageFile::kMaxPixels || !sRgbProfile(mDecoder->info)) {
        close();
        return false;
    }
    mSize = QSize(int(w), int(h));
    return true;
}

bool JpegStrips::read(std::uint8_t* rows, std::ptrdiff_t stride, int count)
{
    if (!mDecoder || count < 0 || count > mSize.height() - mRowsRead)
        return false;
    if (!readRows(*mDecoder, rows, stride, count))
        return false;
    mRowsRead += count;
    return true;
}
