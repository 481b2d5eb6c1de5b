#include "project/ProjectIdentity.h"

#include "project/FullResolutionRecord.h"

ProjectIdentity ProjectIdentity::of(const ProjectCodec::Header& header, const std::uint8_t* original,
                                    const std::uint8_t* working, std::size_t imageBytes)
{
    ProjectIdentity identity;
    identity.width = header.width;
    identity.height = header.height;
    identity.picsize = header.picsize;
    identity.originalChecksum = contentChecksum(original, imageBytes);
    identity.workingChecksum = contentChecksum(working, imageBytes);
    return identity;
}

bool ProjectIdentity::owns(const FullResolutionRecord& record) const
{
    return record.width == width && record.height == height && record.picsize == picsize &&
           record.originalChecksum == originalChecksum && record.workingChecksum == workingChecksum;
}
