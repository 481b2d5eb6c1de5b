#pragma once

#include <QSize>
#include <cstddef>
#include <cstdint>

// What an AV1 stream says about its frames before any of them is decoded.
namespace Av1SequenceHeader {

// The largest frame size (max_frame_width/height_minus_1 plus one) that any
// sequence header among the stream's OBUs allows (low-overhead format: every OBU
// with its size, as HEIF stores them), an empty size when none does. False when
// an OBU runs past the end or a sequence header ends before its size.
bool largestFrameSize(const std::uint8_t* data, std::size_t size, QSize* largest);

}  // namespace Av1SequenceHeader
