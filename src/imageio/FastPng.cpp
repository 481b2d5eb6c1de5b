// The PNG file is written here directly (signature, IHDR, IDAT, IEND), so that
// its one zlib stream can be compressed in strips of rows on several cores: each
// strip is a raw deflate stream of its own, ended by a full flush on a byte
// boundary (the last by the final block), so the strips laid end to end, after a
// zlib header and before the adler32 of all rows (combined from the strips'),
// are one valid stream. Each strip's compressed bytes become one IDAT chunk.
// A strip starts without the previous strip's 32 KB of history, which costs a
// few hundred bytes a strip.
#include "imageio/FastPng.h"

#include "base/RunOnThreads.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <thread>
#include <vector>
#include <zlib.h>

namespace {

// Grey: RGB rows whose pixels all have R = G = B. GreyChannel: the same pixels
// written as one grey byte each (a greyscale PNG).
enum class Layout { Grey, Rgb, Rgba, GreyChannel };

constexpr int kStripRows = 128;
constexpr int kMaxThreads = 4;
constexpr std::size_t kMaxChunk = std::size_t(1) << 30;

// The picture as rows of PNG pixels (3 or 4 bytes), read from `image` as it is
// when its format allows, else from a converted copy.
struct Source {
    QImage image;
    Layout layout = Layout::Rgb;
    int inBytes = 3;  // bytes a pixel in image's rows: 4 for RGBX8888 read as RGB

    int outBytes() const { return layout == Layout::Rgba ? 4 : layout == Layout::GreyChannel ? 1 : 3; }

    // The PNG pixels of row y; false when the row does not fit the layout (a
    // pixel that is not grey for GreyChannel).
    bool row(int y, std::uint8_t* out) const
    {
        const std::uint8_t* p = image.constScanLine(y);
        const int width = image.width();
        if (layout == Layout::GreyChannel) {
            bool grey = true;
            for (int x = 0; x < width; ++x, p += inBytes) {
                out[x] = p[0];
                grey &= p[1] == p[0] && p[2] == p[0];
            }
            return grey;
        }
        if (inBytes == outBytes()) {
            std::memcpy(out, p, std::size_t(width) * std::size_t(inBytes));
            return true;
        }
        for (int x = 0; x < width; ++x, p += 4, out += 3)
            out[0] = p[0], out[1] = p[1], out[2] = p[2];
        return true;
    }
};

bool everyPixelGrey(const QImage& image, int bytes)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* p = image.constScanLine(y);
        for (int x = 0; x < width; ++x, p += bytes) {
            if (p[0] != p[1] || p[0] != p[2])
                return false;
        }
    }
    return true;
}

bool prepare(const QImage& image, bool greyChannel, Source* source)
{
    if (greyChannel) {
        if (image.hasAlphaChannel())
            return false;
        source->image = image.format() == QImage::Format_RGBX8888 ? image : image.convertToFormat(QImage::Format_RGB888);
        source->inBytes = image.format() == QImage::Format_RGBX8888 ? 4 : 3;
        source->layout = Layout::GreyChannel;
        return !source->image.isNull();
    }
    if (image.hasAlphaChannel()) {
        source->image = image.convertToFormat(QImage::Format_RGBA8888);
        source->layout = Layout::Rgba;
        source->inBytes = 4;
        return !source->image.isNull();
    }
    if (image.format() == QImage::Format_RGBX8888) {
        source->image = image;  // shared, not copied
        source->inBytes = 4;
    } else {
        source->image = image.convertToFormat(QImage::Format_RGB888);
        source->inBytes = 3;
        if (source->image.isNull())
            return false;
    }
    source->layout = everyPixelGrey(source->image, source->inBytes) ? Layout::Grey : Layout::Rgb;
    return true;
}

// One strip's rows, filtered and deflated.
struct Strip {
    std::vector<std::uint8_t> bytes;
    uLong adler = 1;
    uLong length = 0;  // bytes given to deflate
    bool ok = false;
};

void compressStrip(const Source& source, int first, int end, bool last, Strip* strip)
{
    const int bpp = source.outBytes();
    const std::size_t rowBytes = std::size_t(source.image.width()) * std::size_t(bpp);
    z_stream z{};
    // Raw deflate at the fastest level. Left-filtered colour rows are matched
    // in runs only; grey rows, unfiltered, by plain matching, or in runs only
    // as one byte a pixel.
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8,
                     source.layout == Layout::Grey ? Z_DEFAULT_STRATEGY : Z_RLE) != Z_OK)
        return;
    try {
        std::vector<std::uint8_t> raw(rowBytes);
        std::vector<std::uint8_t> filtered(rowBytes + 1);
        strip->bytes.resize(deflateBound(&z, uLong(filtered.size()) * uLong(end - first)) + 16);
        z.next_out = strip->bytes.data();
        z.avail_out = uInt(strip->bytes.size());
        for (int y = first; y < end; ++y) {
            if (!source.row(y, raw.data())) {
                deflateEnd(&z);
                return;  // not ok: the picture cannot be written so
            }
            if (source.layout == Layout::Grey || source.layout == Layout::GreyChannel) {
                filtered[0] = 0;  // none
                std::memcpy(filtered.data() + 1, raw.data(), rowBytes);
            } else {
                filtered[0] = 1;  // sub: each byte less the one a pixel to its left
                std::memcpy(filtered.data() + 1, raw.data(), std::size_t(bpp));
                for (std::size_t i = std::size_t(bpp); i < rowBytes; ++i)
                    filtered[i + 1] = std::uint8_t(raw[i] - raw[i - std::size_t(bpp)]);
            }
            strip->adler = adler32(strip->adler, filtered.data(), uInt(filtered.size()));
            strip->length += uLong(filtered.size());
            z.next_in = filtered.data();
            z.avail_in = uInt(filtered.size());
            const int flush = y + 1 < end ? Z_NO_FLUSH : last ? Z_FINISH : Z_FULL_FLUSH;
            const int status = deflate(&z, flush);
            if (z.avail_in != 0 || (status != Z_OK && status != Z_STREAM_END) || (flush == Z_FINISH && status != Z_STREAM_END))
                throw std::bad_alloc();  // the bound was not enough: never expected
        }
        strip->bytes.resize(strip->bytes.size() - z.avail_out);
        strip->bytes.shrink_to_fit();
        strip->ok = true;
    } catch (const std::bad_alloc&) {
        strip->bytes = {};
    }
    deflateEnd(&z);
}

void putBigEndian(QByteArray& out, std::uint32_t v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void putChunk(QByteArray& out, const char type[4], const std::uint8_t* data, std::size_t length)
{
    putBigEndian(out, std::uint32_t(length));
    const qsizetype at = out.size();
    out.append(type, 4);
    if (length > 0)
        out.append(reinterpret_cast<const char*>(data), qsizetype(length));
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.constData() + at), uInt(length + 4));
    putBigEndian(out, std::uint32_t(crc));
}

// The strips' bytes as IDAT chunks, the zlib header ahead of the first and the
// checksum after the last, each strip let go once copied.
void putStream(QByteArray& out, std::vector<Strip>& strips)
{
    uLong adler = 1;
    for (std::size_t i = 0; i < strips.size(); ++i) {
        Strip& s = strips[i];
        adler = i == 0 ? s.adler : adler32_combine(adler, s.adler, z_off_t(s.length));
        if (i == 0)
            s.bytes.insert(s.bytes.begin(), {0x78, 0x01});  // deflate, 32 KB window, fastest
        if (i + 1 == strips.size())
            for (int shift = 24; shift >= 0; shift -= 8)
                s.bytes.push_back(std::uint8_t(adler >> shift));
        for (std::size_t at = 0; at < s.bytes.size(); at += kMaxChunk)
            putChunk(out, "IDAT", s.bytes.data() + at, std::min(kMaxChunk, s.bytes.size() - at));
        s.bytes = {};
    }
}

}  // namespace

namespace {

QByteArray pngBytes(const QImage& image, int threads, bool greyChannel)
{
    if (image.isNull())
        return QByteArray();
    try {
        Source source;
        if (!prepare(image, greyChannel, &source))
            return QByteArray();
        const int height = source.image.height();
        const int count = (height + kStripRows - 1) / kStripRows;
        std::vector<Strip> strips(static_cast<std::size_t>(count));
        std::atomic<int> next{0};
        const auto work = [&] {
            for (int i = next++; i < count; i = next++)
                compressStrip(source, i * kStripRows, std::min(height, (i + 1) * kStripRows), i + 1 == count,
                              &strips[std::size_t(i)]);
        };
        const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
        runOnNewThreads(std::min({cores, threads, count}) - 1, work);
        std::size_t total = 0;
        for (const Strip& s : strips) {
            if (!s.ok)
                return QByteArray();
            total += s.bytes.size() + 12;
        }

        QByteArray out;
        out.reserve(qsizetype(total + 64));
        out.append("\x89PNG\r\n\x1a\n", 8);
        std::uint8_t header[13];
        const std::uint32_t w = std::uint32_t(source.image.width()), h = std::uint32_t(height);
        for (int i = 0; i < 4; ++i) {
            header[i] = std::uint8_t(w >> (24 - 8 * i));
            header[4 + i] = std::uint8_t(h >> (24 - 8 * i));
        }
        header[8] = 8;                                          // bits a channel
        header[9] = source.layout == Layout::Rgba ? 6 : source.layout == Layout::GreyChannel ? 0 : 2;  // RGBA, grey, RGB
        header[10] = header[11] = header[12] = 0;               // deflate, adaptive filters, no interlace
        putChunk(out, "IHDR", header, sizeof header);
        putStream(out, strips);
        putChunk(out, "IEND", nullptr, 0);
        return out;
    } catch (const std::bad_alloc&) {
        return QByteArray();
    }
}

}  // namespace

QByteArray fastPngBytes(const QImage& image) { return pngBytes(image, kMaxThreads, false); }

QByteArray fastPngBytesOnThreads(const QImage& image, int threads) { return pngBytes(image, threads, false); }

QByteArray fastGreyPngBytes(const QImage& image) { return pngBytes(image, kMaxThreads, true); }
