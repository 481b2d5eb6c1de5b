#pragma once

#include <QSize>
#include <cstddef>
#include <cstdint>
#include <optional>

// What an HEVC stream says about its pictures before any of them is decoded.
namespace HevcParameterSets {

// The coded picture size a sequence parameter set gives (pic_width/height_in_luma_samples,
// what a decoder allocates by, before the conformance window crops it), from one
// NAL unit as stored (its two-byte header first, emulation-prevention bytes still
// in). Empty when the unit is no sequence parameter set or ends before the size.
std::optional<QSize> pictureSize(const std::uint8_t* nal, std::size_t size);

// The same over every sequence parameter set of a stream of NAL units, each after
// a four-byte big-endian length (as HEIF stores them): the largest width and the
// largest height any of them gives, an empty size when none does. False when the
// lengths run past the end or a parameter set ends before its size.
bool largestPictureSize(const std::uint8_t* data, std::size_t size, QSize* largest);

}  // namespace HevcParameterSets
