#include "project/FullResolutionRecord.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'C', 'H', 'R', 'S', 'T', 'R', 'K', '1'};
constexpr char kBlendedMagic[8] = {'C', 'H', 'R', 'S', 'T', 'R', 'K', '2'};
constexpr std::uint32_t kStartsStroke = 1;

template <typename T>
void put(QByteArray& out, T value)
{
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    U bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < sizeof bits; ++i)
        out.append(char((bits >> (8 * i)) & 0xff));
}

template <typename T>
T take(const unsigned char*& p)
{
    using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    U bits = 0;
    for (std::size_t i = 0; i < sizeof bits; ++i)
        bits |= U(p[i]) << (8 * i);
    p += sizeof bits;
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

QByteArray FullResolutionRecord::encode() const
{
    const bool blended = std::any_of(dabs.begin(), dabs.end(), [](const StrokeHistory::Dab& dab) {
        return !dab.plain() || dab.startsStroke;
    });
    QByteArray out;
    out.reserve(qsizetype(kHeaderSize + (blended ? kBlendedDabSize : kDabSize) * dabs.size()));
    out.append(blended ? kBlendedMagic : kMagic, sizeof kMagic);
    put(out, width);
    put(out, height);
    put(out, picsize.width);
    put(out, picsize.height);
    put(out, startSource);
    put(out, std::int32_t(0));  // reserved
    put(out, originalChecksum);
    put(out, workingChecksum);
    put(out, photoBytes);
    put(out, photoChecksum);
    put(out, std::uint32_t(dabs.size()));
    for (const StrokeHistory::Dab& dab : dabs) {
        put(out, dab.centre.x);
        put(out, dab.centre.y);
        put(out, dab.radius);
        put(out, std::int32_t(dab.shape));
        put(out, std::int32_t(dab.drawType == 0 || dab.drawType == 1 ? dab.drawType : 2));  // any other paints the photo
        if (blended)
            put(out, std::uint32_t(std::min<int>(dab.hardness, 100)) | std::uint32_t(std::max<int>(dab.alpha, 1)) << 8 |
                         (dab.startsStroke ? kStartsStroke : 0u) << 16);
    }
    return out;
}

bool FullResolutionRecord::read(QIODevice& device, FullResolutionRecord* record)
{
    unsigned char header[kHeaderSize];
    if (device.read(reinterpret_cast<char*>(header), qint64(kHeaderSize)) != qint64(kHeaderSize))
        return false;
    const bool blended = std::memcmp(header, kBlendedMagic, sizeof kBlendedMagic) == 0;
    if (!blended && std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return false;
    const std::size_t dabSize = blended ? kBlendedDabSize : kDabSize;
    const unsigned char* p = header + sizeof kMagic;
    FullResolutionRecord r;
    r.width = take<std::int32_t>(p);
    r.height = take<std::int32_t>(p);
    r.picsize.width = take<float>(p);
    r.picsize.height = take<float>(p);
    r.startSource = take<std::int32_t>(p);
    const auto reserved = take<std::int32_t>(p);
    r.originalChecksum = take<std::uint64_t>(p);
    r.workingChecksum = take<std::uint64_t>(p);
    r.photoBytes = take<std::uint64_t>(p);
    r.photoChecksum = take<std::uint64_t>(p);
    const std::uint64_t count = take<std::uint32_t>(p);
    if (r.width <= 0 || r.height <= 0 || !std::isfinite(r.picsize.width) || !std::isfinite(r.picsize.height) ||
        !(r.picsize.width > 0.0f) || !(r.picsize.height > 0.0f) || r.startSource < BlackSketch ||
        r.startSource > Photo || reserved != 0 || r.photoBytes == 0 || count > kMaxDabs)
        return false;
    if (!device.isSequential() && std::uint64_t(device.size()) != kHeaderSize + dabSize * count)
        return false;

    // The dabs in blocks, each checked as it comes, their cost summed as they come.
    r.dabs.resize(std::size_t(count));
    constexpr std::size_t kBlockDabs = 4096;
    std::vector<unsigned char> block(dabSize * std::min<std::size_t>(kBlockDabs, std::size_t(count)));
    std::uint64_t cost = 0;
    for (std::size_t first = 0; first < r.dabs.size(); first += kBlockDabs) {
        const std::size_t n = std::min(kBlockDabs, r.dabs.size() - first);
        if (device.read(reinterpret_cast<char*>(block.data()), qint64(dabSize * n)) != qint64(dabSize * n))
            return false;
        p = block.data();
        for (std::size_t i = first; i < first + n; ++i) {
            StrokeHistory::Dab& dab = r.dabs[i];
            dab.centre.x = take<float>(p);
            dab.centre.y = take<float>(p);
            dab.radius = take<float>(p);
            dab.shape = take<std::int32_t>(p);
            dab.drawType = take<std::int32_t>(p);
            if (blended) {
                const auto look = take<std::uint32_t>(p);
                dab.hardness = std::uint8_t(look & 0xff);
                dab.alpha = std::uint8_t((look >> 8) & 0xff);
                dab.startsStroke = ((look >> 16) & kStartsStroke) != 0;
                if (dab.hardness > 100 || dab.alpha == 0 || (look >> 16) > kStartsStroke)
                    return false;
            }
            if (!std::isfinite(dab.centre.x) || !std::isfinite(dab.centre.y) || !std::isfinite(dab.radius) ||
                dab.shape < 0 || dab.shape > 1 || dab.drawType < 0 || dab.drawType > 2)
                return false;
            cost += StrokeHistory::dabCost(dab, r.width, r.height);
            if (cost > kMaxCost)
                return false;
        }
    }
    // The second kind is written only for a record with a soft or partial dab;
    // one without is not one this program writes.
    if (blended && std::none_of(r.dabs.begin(), r.dabs.end(), [](const StrokeHistory::Dab& dab) {
            return !dab.plain() || dab.startsStroke;
        }))
        return false;
    // Nothing may follow the last dab (a file that grew since its size was seen).
    char more;
    if (device.read(&more, 1) != 0)
        return false;
    *record = std::move(r);
    return true;
}

bool FullResolutionRecord::decode(const QByteArray& bytes, FullResolutionRecord* record)
{
    QBuffer buffer;
    buffer.setData(bytes);  // shared, not copied
    return buffer.open(QIODevice::ReadOnly) && read(buffer, record);
}

std::uint64_t contentChecksum(const void* data, std::size_t bytes)
{
    // Words of 8 bytes mixed in four lanes (so the multiplies overlap), the tail
    // byte by byte, then the lanes and the length folded together.
    const auto* p = static_cast<const unsigned char*>(data);
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t lane[4] = {1, 2, 3, 4};
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32)
        for (int k = 0; k < 4; ++k) {
            std::uint64_t w;
            std::memcpy(&w, p + i + 8 * std::size_t(k), 8);
            lane[k] = (lane[k] ^ w) * kMul;
            lane[k] ^= lane[k] >> 29;
        }
    std::uint64_t h = std::uint64_t(bytes) * kMul;
    for (std::uint64_t l : lane)
        h = (h ^ l) * kMul, h ^= h >> 31;
    for (; i < bytes; ++i)
        h = (h ^ p[i]) * kMul, h ^= h >> 31;
    return h;
}
