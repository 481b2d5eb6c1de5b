#include "imageio/Av1SequenceHeader.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int kSequenceHeader = 1;

class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

    bool ok() const { return mOk; }

    std::uint32_t bits(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (mAt >= mSize * 8) {
                mOk = false;
                return 0;
            }
            value = (value << 1) | ((mData[mAt / 8] >> (7 - mAt % 8)) & 1u);
            ++mAt;
        }
        return value;
    }

    // uvlc(): leading zeros, a one, then as many bits.
    void skipUvlc()
    {
        int zeros = 0;
        while (mOk && bits(1) == 0)
            ++zeros;
        if (zeros < 32)
            bits(zeros);
    }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mAt = 0;
    bool mOk = true;
};

std::optional<QSize> frameSize(const std::uint8_t* payload, std::size_t size)
{
    BitReader in(payload, size);
    in.bits(3);  // profile
    in.bits(1);  // still picture
    if (in.bits(1)) {  // reduced still picture header
        in.bits(5);    // level
    } else {
        bool decoderModel = false;
        int bufferDelayLength = 0;
        if (in.bits(1)) {  // timing info
            in.bits(32);
            in.bits(32);
            if (in.bits(1))  // equal picture interval
                in.skipUvlc();
            decoderModel = in.bits(1);
            if (decoderModel) {
                bufferDelayLength = int(in.bits(5)) + 1;
                in.bits(32);
                in.bits(10);  // removal and presentation time lengths
            }
        }
        const bool displayDelay = in.bits(1);
        const int operatingPoints = int(in.bits(5)) + 1;
        for (int i = 0; i < operatingPoints && in.ok(); ++i) {
            in.bits(12);  // operating point idc
            if (in.bits(5) > 7)
                in.bits(1);  // tier
            if (decoderModel && in.bits(1)) {
                in.bits(bufferDelayLength);
                in.bits(bufferDelayLength);
                in.bits(1);
            }
            if (displayDelay && in.bits(1))
                in.bits(4);
        }
    }
    const int widthBits = int(in.bits(4)) + 1;
    const int heightBits = int(in.bits(4)) + 1;
    const std::uint64_t width = std::uint64_t(in.bits(widthBits)) + 1;
    const std::uint64_t height = std::uint64_t(in.bits(heightBits)) + 1;
    if (!in.ok())
        return std::nullopt;
    const auto side = [](std::uint64_t v) { return int(std::min<std::uint64_t>(v, 0x7fffffff)); };
    return QSize(side(width), side(height));
}

}  // namespace

namespace Av1SequenceHeader {

bool largestFrameSize(const std::uint8_t* data, std::size_t size, QSize* largest)
{
    *largest = QSize(0, 0);
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t header = data[at++];
        const int type = (header >> 3) & 0xf;
        if (header & 4) {  // extension byte
            if (at >= size)
                return false;
            ++at;
        }
        std::uint64_t length = size - at;  // without a size field, the OBU runs to the end
        for (int i = 0; header & 2; ++i) {  // leb128
            if (i == 0)
                length = 0;
            if (at >= size || i == 8)
                return false;
            const std::uint8_t byte = data[at++];
            length |= std::uint64_t(byte & 0x7f) << (7 * i);
            if (!(byte & 0x80))
                break;
        }
        if (length > size - at)
            return false;
        if (type == kSequenceHeader) {
            const std::optional<QSize> frame = frameSize(data + at, std::size_t(length));
            if (!frame)
                return false;
            *largest = largest->expandedTo(*frame);
        }
        at += std::size_t(length);
    }
    return true;
}

}  // namespace Av1SequenceHeader
