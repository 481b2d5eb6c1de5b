#include "imageio/HevcParameterSets.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kSequenceParameterSet = 33;
// Only the first bytes of a parameter set are read: the size comes early.
constexpr std::size_t kHeadBytes = 256;

// Reads bits most significant first from the unit's payload, the emulation
// prevention bytes (the 3 of every 00 00 03) removed.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size)
    {
        mBytes.reserve(std::min(size, kHeadBytes));
        int zeros = 0;
        for (std::size_t i = 0; i < size && mBytes.size() < kHeadBytes; ++i) {
            if (zeros >= 2 && data[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = data[i] == 0 ? zeros + 1 : 0;
            mBytes.push_back(data[i]);
        }
    }

    bool ok() const { return mOk; }

    std::uint32_t bits(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (mAt >= mBytes.size() * 8) {
                mOk = false;
                return 0;
            }
            value = (value << 1) | ((mBytes[mAt / 8] >> (7 - mAt % 8)) & 1u);
            ++mAt;
        }
        return value;
    }

    void skip(int count) { bits(count); }

    // ue(v): leading zeros, a one, then as many bits.
    std::uint32_t unsignedGolomb()
    {
        int zeros = 0;
        while (mOk && bits(1) == 0)
            if (++zeros > 31) {
                mOk = false;
                return 0;
            }
        if (!mOk)
            return 0;
        return std::uint32_t((std::uint64_t(1) << zeros) - 1 + bits(zeros));
    }

private:
    std::vector<std::uint8_t> mBytes;
    std::size_t mAt = 0;
    bool mOk = true;
};

void skipProfileTierLevel(BitReader& in, int maxSubLayersMinus1)
{
    // General profile space, tier, profile, compatibility flags, constraint flags
    // and level: 96 bits.
    in.skip(96);
    bool profilePresent[8] = {};
    bool levelPresent[8] = {};
    for (int i = 0; i < maxSubLayersMinus1; ++i) {
        profilePresent[i] = in.bits(1);
        levelPresent[i] = in.bits(1);
    }
    if (maxSubLayersMinus1 > 0)
        for (int i = maxSubLayersMinus1; i < 8; ++i)
            in.skip(2);
    for (int i = 0; i < maxSubLayersMinus1; ++i) {
        if (profilePresent[i])
            in.skip(88);
        if (levelPresent[i])
            in.skip(8);
    }
}

}  // namespace

namespace HevcParameterSets {

std::optional<QSize> pictureSize(const std::uint8_t* nal, std::size_t size)
{
    if (size < 2 || ((nal[0] >> 1) & 0x3f) != kSequenceParameterSet)
        return std::nullopt;
    BitReader in(nal + 2, size - 2);
    in.skip(4);  // video parameter set id
    const int maxSubLayersMinus1 = int(in.bits(3));
    in.skip(1);  // temporal id nesting
    skipProfileTierLevel(in, maxSubLayersMinus1);
    in.unsignedGolomb();  // sequence parameter set id
    const std::uint32_t chromaFormat = in.unsignedGolomb();
    if (chromaFormat == 3)
        in.skip(1);  // separate colour planes
    const std::uint64_t width = in.unsignedGolomb();
    const std::uint64_t height = in.unsignedGolomb();
    if (!in.ok() || chromaFormat > 3)
        return std::nullopt;
    const auto side = [](std::uint64_t coded) { return int(std::min<std::uint64_t>(coded, 0x7fffffff)); };
    return QSize(side(width), side(height));
}

bool largestPictureSize(const std::uint8_t* data, std::size_t size, QSize* largest)
{
    *largest = QSize(0, 0);
    std::size_t at = 0;
    while (at < size) {
        if (size - at < 4)
            return false;
        const std::size_t length = (std::size_t(data[at]) << 24) | (std::size_t(data[at + 1]) << 16) |
                                   (std::size_t(data[at + 2]) << 8) | std::size_t(data[at + 3]);
        at += 4;
        if (length > size - at)
            return false;
        const std::uint8_t* nal = data + at;
        if (length >= 2 && ((nal[0] >> 1) & 0x3f) == kSequenceParameterSet) {
            const std::optional<QSize> picture = pictureSize(nal, length);
            if (!picture)
                return false;
            *largest = largest->expandedTo(*picture);
        }
        at += length;
    }
    return true;
}

}  // namespace HevcParameterSets
