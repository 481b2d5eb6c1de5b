#pragma once

// Straightforward readers of the picture sizes that HEVC sequence parameter sets
// and AV1 sequence headers give, written from the two codecs' syntax tables for
// the fuzzers and their regression tests to hold the program's readers against:
// each unit is first turned into a string of '0' and '1' characters, which is then
// read field by field. Slow, and meant to be obviously right.
//
// Both answer what the program's readers promise: the largest width and the
// largest height over the stream (0 x 0 when it holds no such unit), each side at
// most 2^31 - 1, or no answer when a length runs past the end or a unit ends
// before its size.
#include <QSize>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace StreamHeaderReference {

class Bits {
public:
    explicit Bits(std::string bits) : mBits(std::move(bits)) {}

    bool failed() const { return mFailed; }

    // f(n) / u(n): n bits, most significant first.
    std::uint64_t read(int n)
    {
        std::uint64_t value = 0;
        for (int i = 0; i < n; ++i) {
            if (mAt >= mBits.size()) {
                mFailed = true;
                return 0;
            }
            value = value * 2 + (mBits[mAt++] == '1' ? 1 : 0);
        }
        return value;
    }

    // The number of '0' before the next '1' (which is consumed); fails past the end.
    int leadingZeros()
    {
        int zeros = 0;
        while (!mFailed && read(1) == 0 && !mFailed)
            ++zeros;
        return zeros;
    }

private:
    std::string mBits;
    std::size_t mAt = 0;
    bool mFailed = false;
};

inline std::string bitString(const std::uint8_t* data, std::size_t size)
{
    std::string bits;
    for (std::size_t i = 0; i < size; ++i)
        for (int b = 7; b >= 0; --b)
            bits += (data[i] >> b) & 1 ? '1' : '0';
    return bits;
}

inline int clampedSide(std::uint64_t side) { return int(std::min<std::uint64_t>(side, 0x7fffffff)); }

// HEVC: a NAL unit (two-byte header, then the payload with emulation prevention
// bytes: every 00 00 03 stands for 00 00).
inline std::optional<QSize> hevcSpsSize(const std::uint8_t* nal, std::size_t size)
{
    std::string rbsp;
    for (std::size_t i = 2; i < size;) {
        if (i + 2 < size && nal[i] == 0 && nal[i + 1] == 0 && nal[i + 2] == 3) {
            rbsp += std::string(2, '\0');
            i += 3;
        } else {
            rbsp += char(nal[i++]);
        }
    }
    Bits in(bitString(reinterpret_cast<const std::uint8_t*>(rbsp.data()), rbsp.size()));
    const auto ue = [&in]() -> std::optional<std::uint64_t> {
        const int zeros = in.leadingZeros();
        if (zeros > 31)
            return std::nullopt;  // beyond 2^32 - 2
        const std::uint64_t rest = in.read(zeros);
        return (std::uint64_t(1) << zeros) - 1 + rest;
    };
    in.read(4);  // sps_video_parameter_set_id
    const int subLayers = int(in.read(3));  // sps_max_sub_layers_minus1
    in.read(1);
    // profile_tier_level(1, subLayers)
    in.read(2 + 1 + 5 + 32 + 4 + 43 + 1 + 8);
    bool profile[8] = {}, level[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profile[i] = in.read(1);
        level[i] = in.read(1);
    }
    if (subLayers > 0)
        for (int i = subLayers; i < 8; ++i)
            in.read(2);  // reserved_zero_2bits
    for (int i = 0; i < subLayers; ++i) {
        if (profile[i])
            in.read(2 + 1 + 5 + 32 + 4 + 43 + 1);
        if (level[i])
            in.read(8);
    }
    if (!ue())  // sps_seq_parameter_set_id
        return std::nullopt;
    const std::optional<std::uint64_t> chroma = ue();
    if (!chroma)
        return std::nullopt;
    if (*chroma == 3)
        in.read(1);  // separate_colour_plane_flag
    const std::optional<std::uint64_t> width = ue();
    const std::optional<std::uint64_t> height = width ? ue() : std::nullopt;
    if (!height || in.failed() || *chroma > 3)
        return std::nullopt;
    return QSize(clampedSide(*width), clampedSide(*height));
}

// HEVC as HEIF stores it: NAL units each after a 4-byte big-endian length.
inline std::optional<QSize> hevcLargest(const std::uint8_t* data, std::size_t size)
{
    QSize largest(0, 0);
    std::size_t at = 0;
    while (at != size) {
        if (size - at < 4)
            return std::nullopt;
        const std::uint64_t length = std::uint64_t(data[at]) * 16777216 + data[at + 1] * 65536u + data[at + 2] * 256u +
                                     data[at + 3];
        at += 4;
        if (length > size - at)
            return std::nullopt;
        const bool sps = length >= 2 && ((data[at] >> 1) & 63) == 33;
        if (sps) {
            const std::optional<QSize> found = hevcSpsSize(data + at, std::size_t(length));
            if (!found)
                return std::nullopt;
            largest = QSize(std::max(largest.width(), found->width()), std::max(largest.height(), found->height()));
        }
        at += std::size_t(length);
    }
    return largest;
}

// AV1: the payload of a sequence header OBU.
inline std::optional<QSize> av1SequenceHeaderSize(const std::uint8_t* payload, std::size_t size)
{
    Bits in(bitString(payload, size));
    in.read(3);  // seq_profile
    in.read(1);  // still_picture
    const bool reduced = in.read(1);
    if (reduced) {
        in.read(5);  // seq_level_idx[0]
    } else {
        bool decoderModelInfo = false;
        int bufferDelayLength = 0;
        const bool timingInfo = in.read(1);
        if (timingInfo) {
            in.read(32);  // num_units_in_display_tick
            in.read(32);  // time_scale
            if (in.read(1)) {  // equal_picture_interval
                const int zeros = in.leadingZeros();  // num_ticks_per_picture_minus_1, uvlc()
                if (zeros < 32)
                    in.read(zeros);
            }
            decoderModelInfo = in.read(1);
            if (decoderModelInfo) {
                bufferDelayLength = int(in.read(5)) + 1;
                in.read(32);  // num_units_in_decoding_tick
                in.read(5);   // buffer_removal_time_length_minus_1
                in.read(5);   // frame_presentation_time_length_minus_1
            }
        }
        const bool initialDisplayDelay = in.read(1);
        const int operatingPoints = int(in.read(5)) + 1;
        for (int i = 0; i < operatingPoints; ++i) {
            in.read(12);  // operating_point_idc
            if (in.read(5) > 7)  // seq_level_idx
                in.read(1);      // seq_tier
            if (decoderModelInfo && in.read(1)) {  // decoder_model_present_for_this_op
                in.read(bufferDelayLength);        // decoder_buffer_delay
                in.read(bufferDelayLength);        // encoder_buffer_delay
                in.read(1);                        // low_delay_mode_flag
            }
            if (initialDisplayDelay && in.read(1))
                in.read(4);  // initial_display_delay_minus_1
        }
    }
    const int widthBits = int(in.read(4)) + 1;
    const int heightBits = int(in.read(4)) + 1;
    const std::uint64_t width = in.read(widthBits) + 1;
    const std::uint64_t height = in.read(heightBits) + 1;
    if (in.failed())
        return std::nullopt;
    return QSize(clampedSide(width), clampedSide(height));
}

// AV1 as HEIF stores it: OBUs in the low-overhead format (a size field, or none
// for an OBU that runs to the end).
inline std::optional<QSize> av1Largest(const std::uint8_t* data, std::size_t size)
{
    QSize largest(0, 0);
    std::size_t at = 0;
    while (at != size) {
        const std::uint8_t header = data[at++];
        const int type = (header >> 3) & 15;
        const bool extension = header & 4;
        const bool hasSize = header & 2;
        if (extension) {
            if (at == size)
                return std::nullopt;
            ++at;
        }
        std::uint64_t length = size - at;
        if (hasSize) {
            // leb128(): at most 8 bytes, the last without its continuation bit.
            length = 0;
            for (int i = 0;; ++i) {
                if (i == 8 || at == size)
                    return std::nullopt;
                const std::uint8_t byte = data[at++];
                length += std::uint64_t(byte & 127) << (7 * i);
                if (byte < 128)
                    break;
            }
        }
        if (length > size - at)
            return std::nullopt;
        if (type == 1) {  // OBU_SEQUENCE_HEADER
            const std::optional<QSize> found = av1SequenceHeaderSize(data + at, std::size_t(length));
            if (!found)
                return std::nullopt;
            largest = QSize(std::max(largest.width(), found->width()), std::max(largest.height(), found->height()));
        }
        at += std::size_t(length);
    }
    return largest;
}

}  // namespace StreamHeaderReference
