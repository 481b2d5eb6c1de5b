// The PNG file is written here directly (signature, IHDR, IDAT, IEND), so that
// its one zlib stream can be compressed in strips of rows on several cores: each
// strip is a raw deflate stream of its own, ended by a full flush on a byte
// boundary (the last by the final block), so the strips laid end to end, after a
// zlib header and before the adler32 of all rows (combined from the strips'),
// are one valid stream. Each strip's compressed bytes become one IDAT chunk.
// A strip starts without the previous strip's 32 KB of history, which costs a
// few hundred bytes a strip.
#include "imageio/PngStrips.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::size_t kMaxChunk = std::size_t(1) << 30;

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

}  // namespace

void compressPngStrip(const PngSource& source, int first, int end, bool last, PngStrip* strip, PngMatching matching)
{
    const int bpp = source.outBytes();
    const std::size_t rowBytes = std::size_t(source.width) * std::size_t(bpp);
    z_stream z{};
    // Raw deflate at the fastest level. Left-filtered colour rows are matched
    // in runs only; grey rows, unfiltered, by plain matching, or in runs only
    // as one byte a pixel.
    const int strategy = matching == PngMatching::LiteralsOnly ? Z_HUFFMAN_ONLY
                         : source.layout == PngLayout::Grey    ? Z_DEFAULT_STRATEGY
                                                               : Z_RLE;
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, strategy) != Z_OK)
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
            if (source.layout == PngLayout::Grey || source.layout == PngLayout::GreyChannel) {
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


void pngFileStart(QByteArray& out, int width, int height, PngLayout layout)
{
    out.append("\x89PNG\r\n\x1a\n", 8);
    std::uint8_t header[13];
    const std::uint32_t w = std::uint32_t(width), h = std::uint32_t(height);
    for (int i = 0; i < 4; ++i) {
        header[i] = std::uint8_t(w >> (24 - 8 * i));
        header[4 + i] = std::uint8_t(h >> (24 - 8 * i));
    }
    header[8] = 8;  // bits a channel
    header[9] = layout == PngLayout::Rgba ? 6 : layout == PngLayout::GreyChannel ? 0 : 2;  // RGBA, grey, RGB
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filters, no interlace
    putChunk(out, "IHDR", header, sizeof header);
}

void pngFilePutStrip(QByteArray& out, PngStrip& strip, bool first, bool last, uLong* adler)
{
    *adler = first ? strip.adler : adler32_combine(*adler, strip.adler, z_off_t(strip.length));
    if (first)
        strip.bytes.insert(strip.bytes.begin(), {0x78, 0x01});  // deflate, 32 KB window, fastest
    if (last)
        for (int shift = 24; shift >= 0; shift -= 8)
            strip.bytes.push_back(std::uint8_t(*adler >> shift));
    for (std::size_t at = 0; at < strip.bytes.size(); at += kMaxChunk)
        putChunk(out, "IDAT", strip.bytes.data() + at, std::min(kMaxChunk, strip.bytes.size() - at));
    strip.bytes = {};
}

void pngFileEnd(QByteArray& out) { putChunk(out, "IEND", nullptr, 0); }

QByteArray pngFile(int width, int height, PngLayout layout, std::vector<PngStrip>& strips)
{
    std::size_t total = 0;
    for (const PngStrip& s : strips) {
        if (!s.ok)
            return QByteArray();
        total += s.bytes.size() + 12;
    }
    QByteArray out;
    out.reserve(qsizetype(total + 64));
    pngFileStart(out, width, height, layout);
    uLong adler = 1;
    for (std::size_t i = 0; i < strips.size(); ++i)
        pngFilePutStrip(out, strips[i], i == 0, i + 1 == strips.size(), &adler);
    pngFileEnd(out);
    return out;
}
