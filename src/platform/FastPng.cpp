#include "platform/FastPng.h"

#include <csetjmp>
#include <cstdint>
#include <new>
#include <png.h>
#include <zlib.h>

namespace {

// Grey: RGB rows whose pixels all have R = G = B.
enum class Layout { Grey, Rgb, Rgba };

struct Sink {
    QByteArray bytes;
};

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    bool full = false;
    try {
        sink->bytes.append(reinterpret_cast<const char*>(data), qsizetype(length));
    } catch (const std::bad_alloc&) {
        full = true;
    }
    if (full)
        png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

// libpng's own handlers print; these only end the write (or let it go on).
[[noreturn]] void stopWriting(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

bool everyPixelGrey(const QImage& rgb)
{
    for (int y = 0; y < rgb.height(); ++y) {
        const std::uint8_t* p = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x, p += 3) {
            if (p[0] != p[1] || p[0] != p[2])
                return false;
        }
    }
    return true;
}

// The rows of `image` (RGB888, or RGBA8888 for Rgba) through `png`. Returns only
// when all were written: a failure jumps back to the caller's setjmp, so nothing
// here may need destroying.
void writeRows(png_structp png, png_infop info, const QImage& image, Layout layout)
{
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
                 layout == Layout::Rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, Z_BEST_SPEED);
    if (layout == Layout::Grey) {
        // Repeated bytes that plain matching finds; a filter would only break them up.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    } else {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
        png_set_compression_strategy(png, Z_RLE);
    }
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, image.constScanLine(y));
    png_write_end(png, info);
}

}  // namespace

QByteArray fastPngBytes(const QImage& image)
{
    if (image.isNull())
        return QByteArray();
    QImage pixels;
    Layout layout = Layout::Rgba;
    try {
        if (image.hasAlphaChannel()) {
            pixels = image.convertToFormat(QImage::Format_RGBA8888);
        } else {
            pixels = image.convertToFormat(QImage::Format_RGB888);
            layout = !pixels.isNull() && everyPixelGrey(pixels) ? Layout::Grey : Layout::Rgb;
        }
    } catch (const std::bad_alloc&) {
        return QByteArray();
    }
    if (pixels.isNull())
        return QByteArray();

    Sink sink;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopWriting, ignoreWarning);
    if (!png)
        return QByteArray();
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return QByteArray();
    }
    volatile bool written = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &sink, appendBytes, flushNothing);
        writeRows(png, info, pixels, layout);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return written ? sink.bytes : QByteArray();
}
