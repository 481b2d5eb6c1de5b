#include "tools/ProjectImages.h"

#include <QFile>

#include "canvas/FullResolutionPicture.h"
#include "canvas/FullResolutionRender.h"
#include "canvas/ProjectSideFiles.h"
#include "canvas/SketchFilter.h"
#include "platform/RegularFile.h"
#include "tools/OpaqueRgbImage.h"

bool ProjectImages::read(const QString& projectPath, QString* error)
{
    path = projectPath;
    QFile file(projectPath);
    if (!openRegularFileForReading(file, error))  // a FIFO or device is refused, never waited on
        return false;
    // Bytes after the largest project are never needed.
    const QByteArray bytes = file.read(qint64(ProjectCodec::kMaxFileSize));
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    const ProjectCodec::Error decoded = ProjectCodec::decodeProject(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), &project);
    if (decoded != ProjectCodec::Error::None) {
        *error = QString::fromLatin1(ProjectCodec::errorText(decoded));
        return false;
    }

    // The filter's grey scratch is a buffer of its own: the stored working image
    // stays as it is.
    const std::size_t n = project.original.size();
    std::vector<std::uint8_t> scratch(n);
    blacksketch.assign(n, 0);
    colorsketch.assign(n, 0);
    SketchBuffers buffers;
    buffers.original = project.original.data();
    buffers.working = scratch.data();
    buffers.black = blacksketch.data();
    buffers.color = colorsketch.data();
    buffers.width = project.header.width;
    buffers.height = project.header.height;
    buffers.picsize = project.header.picsize;
    buildSketch(buffers);
    return true;
}

QImage ProjectImages::pictureArea(const std::vector<std::uint8_t>& buffer) const
{
    const ProjectCodec::PictureExtent extent = ProjectCodec::pictureExtent(project.header);
    if (buffer.empty())
        return QImage();
    return opaqueRgbImage(buffer.data(), project.header.width, extent.columns, extent.rows);
}

QImage ProjectImages::full(QString* why) const
{
    why->clear();
    FullResolutionRecord record;
    QByteArray photo;
    QString photoFile;
    if (!ProjectSideFiles::hasRecord(path))
        return QImage();  // a project without its photo
    if (!ProjectSideFiles::read(path, project.header, project.original.data(), project.working.data(),
                                project.original.size(), &record, &photo, &photoFile)) {
        *why = QStringLiteral("the photo or drawing record beside it is damaged or of another save");
        return QImage();
    }
    if (!replayGivesWorking(project.original.data(), project.working.data(), project.header.width,
                            project.header.height, project.header.picsize, record.startSource, record.dabs)) {
        *why = QStringLiteral("the drawing record does not give the working image");
        return QImage();
    }
    return fullResolutionPicture(photoFile, record, why);
}
