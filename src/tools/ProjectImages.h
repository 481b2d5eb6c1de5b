#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

#include "project/FullResolutionPicture.h"
#include "project/ProjectDocument.h"

// A project file of the painting program read without a window, through the
// project document: its original and working images as stored, and the two
// pencil sketches computed again from the original, as the program computes them
// when it loads the project.
class ProjectImages {
public:
    // Reads and checks `projectPath`. False with a one-line reason in *error when
    // the file cannot be read or is damaged (short, or a header that no saved
    // project has).
    bool read(const QString& projectPath, QString* error);

    // The picture area of each buffer as the program shows it: an opaque RGB
    // image of the stored R, G, B (see opaqueRgbImage), every column and row that
    // the picture covers, a partly covered last one included.
    QImage original() const { return pictureArea(document.originalBuffer()); }
    QImage working() const { return pictureArea(document.workingBuffer()); }
    QImage black() const { return pictureArea(document.blackSketchBuffer()); }
    QImage color() const { return pictureArea(document.colorSketchBuffer()); }
    // The drawing at the photo's full resolution as a PNG file (opaque RGB; see
    // fullResolutionPng) whose bytes go out as they are made, when the photo and
    // drawing record kept beside the project file belong to it and replay to its
    // working image; else false, with the reason in *why (empty when there are no
    // such files).
    bool fullPng(const PngFileStart& start, QString* why) const;

private:
    QImage pictureArea(const std::uint8_t* buffer) const;

    QString path;
    QString photoFile;  // the photo read beside the project, when it belongs to it
    ProjectDocument document;
};
