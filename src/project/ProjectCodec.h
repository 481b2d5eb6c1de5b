#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Geometry.h"

// The project file: a 35-byte header, then two whole pixel buffers. Numbers are
// little-endian, floats IEEE 754 single precision, nothing is padded:
//
//   offset  0  19 bytes   save time, ASCII "yyyy-MM-dd HH:mm:ss", no terminator
//   offset 19  int32      height: rows of each buffer
//   offset 23  int32      width: pixels a row
//   offset 27  float32    picture height
//   offset 31  float32    picture width
//   offset 35  N bytes    original buffer, N = width x height x 4 (R, G, B, A,
//                         rows top to bottom without gaps)
//   35 + N     N bytes    working buffer, the same layout
//
// Bytes after the working buffer are never read. Plain functions over bytes, with
// no dependency beyond the standard library, so that the fuzzer links them alone.
namespace ProjectCodec {

constexpr std::size_t kSaveTimeLength = 19;
constexpr std::size_t kHeaderSize = 35;
constexpr std::int32_t kMaxSide = 1024;
constexpr std::size_t kMaxImageBytes = std::size_t(kMaxSide) * kMaxSide * 4;
constexpr std::size_t kMaxFileSize = kHeaderSize + 2 * kMaxImageBytes;

using SaveTime = std::array<char, kSaveTimeLength>;

struct Header {
    SaveTime saveTime{};
    std::int32_t height = 0;
    std::int32_t width = 0;
    FloatSize picsize;
};

enum class Error {
    None,
    ShortHeader,     // fewer than 35 bytes
    BadBufferSize,   // a side that is not a power of two from 1 to 1024
    BadPictureSize,  // a picture side not finite, not positive or beyond the buffer
    ShortPixelData,  // fewer than 2 x N bytes after the header
};

// One lower-case phrase for messages, e.g. "pixel data is truncated".
const char* errorText(Error error);

// "yyyy-MM-dd HH:mm:ss" with a 24-hour clock; always 19 ASCII characters: each
// field is clamped into its range (the year into 0..9999) before it is printed.
SaveTime formatSaveTime(int year, int month, int day, int hour, int minute, int second);

// What a saved project always satisfies: sides powers of two from 1 to 1024,
// 0 < picture width <= width and 0 < picture height <= height.
Error checkHeader(const Header& header);

// Bytes of one buffer (width x height x 4) and of the whole file (35 + 2 x that)
// for a header that passes checkHeader; 0 for any other.
std::size_t imageBytes(const Header& header);
std::size_t fileSize(const Header& header);

// The header's 35 bytes, whatever its values (tests build hostile files with it).
std::array<std::uint8_t, kHeaderSize> encodeHeader(const Header& header);

// Reads the header from the first `size` bytes of a file and checks it. Nothing
// is allocated; *header is written only when the result is Error::None.
Error decodeHeader(const std::uint8_t* data, std::size_t size, Header* header);

// A project held in memory: the header and the two stored buffers.
struct Project {
    Header header;
    std::vector<std::uint8_t> original;
    std::vector<std::uint8_t> working;
};

// Decodes a whole file held in memory. The header is checked before anything is
// allocated, so no input makes the buffers larger than a 1024 x 1024 project;
// *project is written only when the result is Error::None.
Error decodeProject(const std::uint8_t* data, std::size_t size, Project* project);

// The file for a header that passes checkHeader and its two buffers of
// imageBytes(header) each; empty for any other header.
std::vector<std::uint8_t> encodeProject(const Header& header, const std::uint8_t* original,
                                        const std::uint8_t* working);

// The save time held in the first 19 bytes of a project file, as stored; none
// when the file is shorter than that (such a slot counts as empty).
std::optional<std::string> saveTimeText(const std::uint8_t* data, std::size_t size);

// The columns x with float(x) < picture width and the rows y with
// float(y) < picture height: every pixel that belongs to the picture. For a
// header that passes checkHeader both are at least 1 and within the buffer.
struct PictureExtent {
    int columns = 0;
    int rows = 0;
};
PictureExtent pictureExtent(const Header& header);

}  // namespace ProjectCodec
