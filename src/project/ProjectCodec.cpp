#include "project/ProjectCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ProjectCodec {

namespace {

constexpr std::size_t kHeightOffset = 19;
constexpr std::size_t kWidthOffset = 23;
constexpr std::size_t kPictureHeightOffset = 27;
constexpr std::size_t kPictureWidthOffset = 31;

std::uint32_t readU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void writeU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

float floatFromBits(std::uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::uint32_t bitsFromFloat(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

bool isSide(std::int32_t side)
{
    return side >= 1 && side <= kMaxSide && (side & (side - 1)) == 0;
}

bool isPictureSide(float side, std::int32_t bufferSide)
{
    return std::isfinite(side) && side > 0.0f && side <= float(bufferSide);
}

int clampInt(int v, int lo, int hi)
{
    return std::min(std::max(v, lo), hi);
}

int pictureCount(float side, std::int32_t bufferSide)
{
    // float(x) < side for whole x: x < ceil(side). Only called for checked sides.
    return clampInt(int(std::ceil(double(side))), 0, int(bufferSide));
}

}  // namespace

const char* errorText(Error error)
{
    switch (error) {
    case Error::None: return "no error";
    case Error::ShortHeader: return "file is shorter than the 35-byte header";
    case Error::BadBufferSize: return "buffer size is not a power of two from 1 to 1024";
    case Error::BadPictureSize: return "picture size is not within the buffer";
    case Error::ShortPixelData: return "pixel data is truncated";
    }
    return "unknown error";
}

SaveTime formatSaveTime(int year, int month, int day, int hour, int minute, int second)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", clampInt(year, 0, 9999),
                  clampInt(month, 1, 12), clampInt(day, 1, 31), clampInt(hour, 0, 23), clampInt(minute, 0, 59),
                  clampInt(second, 0, 59));
    SaveTime time;
    std::memcpy(time.data(), text, kSaveTimeLength);
    return time;
}

Error checkHeader(const Header& header)
{
    if (!isSide(header.width) || !isSide(header.height))
        return Error::BadBufferSize;
    if (!isPictureSide(header.picsize.width, header.width) || !isPictureSide(header.picsize.height, header.height))
        return Error::BadPictureSize;
    return Error::None;
}

std::size_t imageBytes(const Header& header)
{
    if (checkHeader(header) != Error::None)
        return 0;
    return std::size_t(header.width) * std::size_t(header.height) * 4;
}

std::size_t fileSize(const Header& header)
{
    const std::size_t n = imageBytes(header);
    return n == 0 ? 0 : kHeaderSize + 2 * n;
}

std::array<std::uint8_t, kHeaderSize> encodeHeader(const Header& header)
{
    std::array<std::uint8_t, kHeaderSize> bytes{};
    std::memcpy(bytes.data(), header.saveTime.data(), kSaveTimeLength);
    writeU32(bytes.data() + kHeightOffset, std::uint32_t(header.height));
    writeU32(bytes.data() + kWidthOffset, std::uint32_t(header.width));
    writeU32(bytes.data() + kPictureHeightOffset, bitsFromFloat(header.picsize.height));
    writeU32(bytes.data() + kPictureWidthOffset, bitsFromFloat(header.picsize.width));
    return bytes;
}

Error decodeHeader(const std::uint8_t* data, std::size_t size, Header* header)
{
    if (!data || size < kHeaderSize)
        return Error::ShortHeader;
    Header read;
    std::memcpy(read.saveTime.data(), data, kSaveTimeLength);
    read.height = std::int32_t(readU32(data + kHeightOffset));
    read.width = std::int32_t(readU32(data + kWidthOffset));
    read.picsize.height = floatFromBits(readU32(data + kPictureHeightOffset));
    read.picsize.width = floatFromBits(readU32(data + kPictureWidthOffset));
    const Error error = checkHeader(read);
    if (error == Error::None)
        *header = read;
    return error;
}

Error decodeProject(const std::uint8_t* data, std::size_t size, Project* project)
{
    Header header;
    const Error error = decodeHeader(data, size, &header);
    if (error != Error::None)
        return error;
    const std::size_t n = imageBytes(header);
    if (size - kHeaderSize < 2 * n)
        return Error::ShortPixelData;
    const std::uint8_t* original = data + kHeaderSize;
    project->header = header;
    project->original.assign(original, original + n);
    project->working.assign(original + n, original + 2 * n);
    return Error::None;
}

std::vector<std::uint8_t> encodeProject(const Header& header, const std::uint8_t* original,
                                        const std::uint8_t* working)
{
    const std::size_t n = imageBytes(header);
    if (n == 0 || !original || !working)
        return {};
    std::vector<std::uint8_t> file(kHeaderSize + 2 * n);
    const auto head = encodeHeader(header);
    std::memcpy(file.data(), head.data(), kHeaderSize);
    std::memcpy(file.data() + kHeaderSize, original, n);
    std::memcpy(file.data() + kHeaderSize + n, working, n);
    return file;
}

std::optional<std::string> saveTimeText(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < kSaveTimeLength)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), kSaveTimeLength);
}

PictureExtent pictureExtent(const Header& header)
{
    if (checkHeader(header) != Error::None)
        return {};
    return {pictureCount(header.picsize.width, header.width), pictureCount(header.picsize.height, header.height)};
}

}  // namespace ProjectCodec
