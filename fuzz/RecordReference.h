#pragma once

// A straightforward reader of the drawing record (see FullResolutionRecord): each
// field taken from its byte offset, little-endian, and every rule checked in the
// order the layout gives, and the record's bounds: at most kMaxDabs dabs, whose
// cost of laying (StrokeHistory::dabCost, taken as given) is at most kMaxCost in
// all. For the record fuzzer and its regression test, which hold the
// program's reader against it.
#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "project/FullResolutionRecord.h"

namespace RecordReference {

inline std::uint64_t littleEndian(const QByteArray& bytes, std::size_t at, int length)
{
    std::uint64_t value = 0;
    for (int i = length - 1; i >= 0; --i)
        value = value * 256 + std::uint8_t(bytes[qsizetype(at) + i]);
    return value;
}

inline std::int32_t int32At(const QByteArray& bytes, std::size_t at)
{
    return std::int32_t(std::uint32_t(littleEndian(bytes, at, 4)));
}

inline float floatAt(const QByteArray& bytes, std::size_t at)
{
    const std::uint32_t bits = std::uint32_t(littleEndian(bytes, at, 4));
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

// The record the bytes hold, or none when any rule is broken.
inline std::optional<FullResolutionRecord> read(const QByteArray& bytes)
{
    const std::size_t size = std::size_t(bytes.size());
    // The second kind adds hardness, alpha, flags and a zero byte to each dab.
    const bool blended = bytes.startsWith("CHRSTRK2");
    if (size < 68 || (!bytes.startsWith("CHRSTRK1") && !blended))
        return std::nullopt;
    const std::size_t dabSize = blended ? 24 : 20;
    FullResolutionRecord r;
    r.width = int32At(bytes, 8);
    r.height = int32At(bytes, 12);
    r.picsize = FloatSize{floatAt(bytes, 16), floatAt(bytes, 20)};
    r.startSource = int32At(bytes, 24);
    const std::int32_t reserved = int32At(bytes, 28);
    r.originalChecksum = littleEndian(bytes, 32, 8);
    r.workingChecksum = littleEndian(bytes, 40, 8);
    r.photoBytes = littleEndian(bytes, 48, 8);
    r.photoChecksum = littleEndian(bytes, 56, 8);
    const std::uint64_t count = littleEndian(bytes, 64, 4);
    if (r.width < 1 || r.height < 1)
        return std::nullopt;
    for (float side : {r.picsize.width, r.picsize.height})
        if (std::isnan(side) || std::isinf(side) || side <= 0.0f)
            return std::nullopt;
    if (r.startSource != 0 && r.startSource != 1 && r.startSource != 2)
        return std::nullopt;
    if (reserved != 0 || r.photoBytes == 0 || count > FullResolutionRecord::kMaxDabs || size != 68 + dabSize * count)
        return std::nullopt;
    std::uint64_t cost = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t at = 68 + dabSize * std::size_t(i);
        StrokeHistory::Dab dab;
        dab.centre = FloatPoint{floatAt(bytes, at), floatAt(bytes, at + 4)};
        dab.radius = floatAt(bytes, at + 8);
        dab.shape = int32At(bytes, at + 12);
        dab.drawType = int32At(bytes, at + 16);
        for (float v : {dab.centre.x, dab.centre.y, dab.radius})
            if (std::isnan(v) || std::isinf(v))
                return std::nullopt;
        if ((dab.shape != 0 && dab.shape != 1) || (dab.drawType != 0 && dab.drawType != 1 && dab.drawType != 2))
            return std::nullopt;
        if (blended) {
            const std::uint8_t hardness = std::uint8_t(bytes[qsizetype(at) + 20]);
            const std::uint8_t alpha = std::uint8_t(bytes[qsizetype(at) + 21]);
            const std::uint8_t flags = std::uint8_t(bytes[qsizetype(at) + 22]);
            if (hardness > 100 || alpha == 0 || flags > 1 || bytes[qsizetype(at) + 23] != 0)
                return std::nullopt;
            dab.hardness = hardness;
            dab.alpha = alpha;
            dab.startsStroke = flags == 1;
        }
        // Kept from wrapping: only whether it passes the bound matters.
        cost = std::min(cost + StrokeHistory::dabCost(dab, r.width, r.height), FullResolutionRecord::kMaxCost + 1);
        r.dabs.push_back(dab);
    }
    if (cost > FullResolutionRecord::kMaxCost)
        return std::nullopt;
    // The second kind holds at least one dab that is not a full hard one.
    bool anyBlended = false;
    for (const StrokeHistory::Dab& dab : r.dabs)
        anyBlended = anyBlended || dab.hardness != 100 || dab.alpha != 255 || dab.startsStroke;
    if (blended && !anyBlended)
        return std::nullopt;
    return r;
}

// Whether two records hold the same fields, bit for bit (a float's sign of zero
// included).
inline bool sameBits(const FullResolutionRecord& a, const FullResolutionRecord& b)
{
    const auto floatBits = [](float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return bits;
    };
    if (a.width != b.width || a.height != b.height || floatBits(a.picsize.width) != floatBits(b.picsize.width) ||
        floatBits(a.picsize.height) != floatBits(b.picsize.height) || a.startSource != b.startSource ||
        a.originalChecksum != b.originalChecksum || a.workingChecksum != b.workingChecksum ||
        a.photoBytes != b.photoBytes || a.photoChecksum != b.photoChecksum || a.dabs.size() != b.dabs.size())
        return false;
    for (std::size_t i = 0; i < a.dabs.size(); ++i) {
        const StrokeHistory::Dab& x = a.dabs[i];
        const StrokeHistory::Dab& y = b.dabs[i];
        if (floatBits(x.centre.x) != floatBits(y.centre.x) || floatBits(x.centre.y) != floatBits(y.centre.y) ||
            floatBits(x.radius) != floatBits(y.radius) || x.shape != y.shape || x.drawType != y.drawType ||
            x.hardness != y.hardness || x.alpha != y.alpha || x.startsStroke != y.startsStroke)
            return false;
    }
    return true;
}

}  // namespace RecordReference
