#pragma once

#include <QByteArray>
#include <QIODevice>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "project/StrokeHistory.h"
#include "base/Geometry.h"

// What a project needs besides its project file to be drawn again at the photo's
// full resolution: the start image chosen, the photo it was made from (kept as a
// file of its own, named here by its length and checksum) and every dab on the
// picture in the order laid. The record also names the project it belongs to -
// its geometry and checksums of its original and working images as saved - so a
// record left beside a project file it does not belong to (a save that failed
// half-way, a file copied by hand) is recognised and ignored.
//
// Stored as a small binary file, little-endian: the 8-byte magic "CHRSTRK1",
// the fields below in order (int32, float and uint32/uint64 as declared), then
// 20 bytes a dab (centre x, centre y, radius as float; shape, source as int32).
// A record with soft or partial dabs is stored as "CHRSTRK2": the same, with 24
// bytes a dab, the four more being hardness (0..100), alpha (1..255), flags (1:
// the dab starts a stroke) and a zero byte. A record of hard dabs only is still
// written as the first kind, byte for byte as before; both kinds are read (the
// second only with a soft, partial or marked dab in it, as written).
struct FullResolutionRecord {
    enum StartSource : std::int32_t { BlackSketch = 0, ColorSketch = 1, Photo = 2 };

    std::int32_t width = 0;   // the project's buffers
    std::int32_t height = 0;
    FloatSize picsize;        // the project's picture
    std::int32_t startSource = Photo;
    std::uint64_t originalChecksum = 0;
    std::uint64_t workingChecksum = 0;
    std::uint64_t photoBytes = 0;
    std::uint64_t photoChecksum = 0;
    std::vector<StrokeHistory::Dab> dabs;

    QByteArray encode() const;
    // Reads a record from `device`'s position to its end in one pass, checking
    // every field (magic, sizes, finite numbers, known shapes and sources, the
    // dab count and the length against it, the bounds below) as it goes, before
    // filling `record`; NO leaves it alone. A device of known size (a file) whose
    // length does not fit the dab count is refused from its header alone, and
    // nothing but the dabs themselves is held: one read of the file, no copy of it.
    static bool read(QIODevice& device, FullResolutionRecord* record);
    // The same over bytes in memory.
    static bool decode(const QByteArray& bytes, FullResolutionRecord* record);

    static constexpr std::size_t kHeaderSize = 8 + 4 * 6 + 8 * 4 + 4;
    static constexpr std::size_t kDabSize = 20;
    static constexpr std::size_t kBlendedDabSize = 24;
    // The bounds of a record (those the program keeps while painting): beyond
    // them a record is refused as damaged. See StrokeHistory.
    static constexpr std::size_t kMaxDabs = StrokeHistory::kMaxRecordDabs;
    static constexpr std::uint64_t kMaxCost = StrokeHistory::kMaxRecordCost;
    static constexpr std::uint64_t kMaxBytes = kHeaderSize + kBlendedDabSize * std::uint64_t(kMaxDabs);
};

// A 64-bit checksum of `bytes` bytes, to tell one saved image or photo from another
// (not a cryptographic hash).
std::uint64_t contentChecksum(const void* data, std::size_t bytes);
