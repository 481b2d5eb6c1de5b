#include "tools/ProjectImages.h"

#include "project/FullResolutionPicture.h"
#include "project/FullResolutionRecord.h"
#include "project/FullResolutionRender.h"
#include "project/ProjectSideFiles.h"
#include "tools/OpaqueRgbImage.h"

bool ProjectImages::read(const QString& projectPath, QString* error)
{
    path = projectPath;
    return document.loadFile(projectPath, error, &photoFile);
}

QImage ProjectImages::pictureArea(const std::uint8_t* buffer) const
{
    if (!buffer)
        return QImage();
    ProjectCodec::Header header;
    header.width = document.bufferWidth();
    header.height = document.bufferHeight();
    header.picsize = document.pictureSize();
    const ProjectCodec::PictureExtent extent = ProjectCodec::pictureExtent(header);
    return opaqueRgbImage(buffer, header.width, extent.columns, extent.rows);
}

bool ProjectImages::fullPng(const PngFileStart& start, QString* why) const
{
    why->clear();
    if (!ProjectSideFiles::hasRecord(path))
        return false;  // a project without its photo
    if (photoFile.isEmpty()) {
        *why = QStringLiteral("the photo or drawing record beside it is damaged or of another save");
        return false;
    }
    FullResolutionRecord record;
    record.picsize = document.pictureSize();
    record.startSource = document.startSource();
    record.dabs = document.history().recordedDabs();
    if (!replayGivesWorking(document.originalBuffer(), document.workingBuffer(), document.bufferWidth(),
                            document.bufferHeight(), record.picsize, record.startSource, record.dabs)) {
        *why = QStringLiteral("the drawing record does not give the working image");
        return false;
    }
    return fullResolutionPng(photoFile, record, start, why);
}
