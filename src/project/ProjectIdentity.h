#pragma once

#include <cstddef>
#include <cstdint>

#include "project/ProjectCodec.h"
#include "base/Geometry.h"

struct FullResolutionRecord;

// What names the contents of one saved project file for the files kept beside it:
// its geometry and checksums of its two stored images. A drawing record belongs to
// the project file whose identity it repeats.
struct ProjectIdentity {
    std::int32_t width = 0;
    std::int32_t height = 0;
    FloatSize picsize;
    std::uint64_t originalChecksum = 0;
    std::uint64_t workingChecksum = 0;

    // Of a project whose header is `header` and whose images, `imageBytes` each,
    // are `original` and `working`.
    static ProjectIdentity of(const ProjectCodec::Header& header, const std::uint8_t* original,
                              const std::uint8_t* working, std::size_t imageBytes);

    // Whether `record` was saved with this project file.
    bool owns(const FullResolutionRecord& record) const;
};
