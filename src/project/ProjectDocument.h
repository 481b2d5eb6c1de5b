#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "project/ProjectCodec.h"
#include "project/StrokeHistory.h"
#include "project/StrokeMask.h"
#include "base/Geometry.h"
#include "base/PixelMemory.h"
#include "imageio/PngStripEncoder.h"

struct SketchBuffers;
struct FullResolutionRecord;

// The project itself, without any view: the four pixel buffers (width x height
// pixels, 4 bytes R, G, B, A premultiplied, rows top to bottom without gaps; the
// picture is the top-left picsize area), the photo the project was made from, the
// drawing record with the undo history, and the project kept aside while the start
// image of a new one is chosen. Nothing here shows an alert: operations that can
// fail answer NO and the caller tells the user.
class ProjectDocument {
public:
    ProjectDocument();
    ~ProjectDocument();
    ProjectDocument(const ProjectDocument&) = delete;
    ProjectDocument& operator=(const ProjectDocument&) = delete;

    // Geometry. The buffers' sides must be set before they are allocated.
    std::int32_t bufferWidth() const { return width; }
    std::int32_t bufferHeight() const { return height; }
    FloatSize pictureSize() const { return picsize; }
    void setGeometry(std::int32_t bufferWidth, std::int32_t bufferHeight, FloatSize pictureSize);

    const std::uint8_t* originalBuffer() const { return originalbuff.get(); }
    const std::uint8_t* blackSketchBuffer() const { return blacksketchbuff.get(); }
    const std::uint8_t* colorSketchBuffer() const { return colorsketchbuff.get(); }
    const std::uint8_t* workingBuffer() const { return workingbuff.get(); }
    std::uint8_t* originalBuffer() { return originalbuff.get(); }
    std::uint8_t* blackSketchBuffer() { return blacksketchbuff.get(); }
    std::uint8_t* colorSketchBuffer() { return colorsketchbuff.get(); }
    std::uint8_t* workingBuffer() { return workingbuff.get(); }
    // The source a brush of drawType copies: 0 black sketch, 1 colour sketch,
    // anything else the original.
    const std::uint8_t* sourceBuffer(int drawType) const;

    // YES while the document holds a complete project that may be painted, saved,
    // exported and thumbnailed.
    bool isLoaded() const { return loaded; }
    void setLoaded(bool value) { loaded = value; }
    // YES while a new project waits for its start image: saves then write the
    // project it replaces.
    bool isChoosingStartImage() const { return mChoosing; }

    // Allocates blacksketchbuff, colorsketchbuff, workingbuff (and originalbuff when
    // withOriginal) of width x height x 4 uncleared bytes; on any failure frees all
    // four and answers NO.
    bool allocateBuffers(bool withOriginal);
    void freeBuffers();

    // The buffers as the sketch filter takes them; with greyScratch NO the filter
    // leaves workingbuff alone.
    SketchBuffers sketchBuffers(bool greyScratch) const;
    // Both sketches from the original, workingbuff used as the grey scratch.
    void buildSketches();

    // The drawing record and undo history over workingbuff's picture area.
    StrokeHistory& history() { return mHistory; }
    const StrokeHistory& history() const { return mHistory; }
    StrokeHistory::Pixels historyPixels() const;
    // The start image the drawing record replays from (0 black sketch, 1 colour
    // sketch, 2 the photo), and whether the photo is kept for the full-size drawing.
    int startSource() const { return mStartSource; }
    bool hasPhoto() const { return !mPhoto.isEmpty(); }
    // Records a painted dab. Once the record has passed its bounds the photo goes:
    // the project is then saved and exported at its own size only.
    void recordDab(const StrokeHistory::Dab& dab);
    // Opens a stroke: the history's, and a fresh mask for its soft and partial
    // dabs over workingbuff.
    void beginStroke();
    StrokeMask& strokeMask() { return mStrokeMask; }

    // New project from an imported picture (the original, of the given geometry,
    // zero outside the picture). The complete project is set aside first for the
    // saves made until the start image is chosen; a second new project before the
    // choice keeps the one already set aside. `photo` is the photo file's bytes,
    // kept for the full-resolution drawing once the start is chosen. The buffers
    // other than the original are still to be allocated.
    void startNewProject(PixelBlock original, std::int32_t bufferWidth, std::int32_t bufferHeight,
                         FloatSize pictureSize, QByteArray photo);
    // After the allocation failed: memory is short, the project set aside goes too.
    void abandonNewProject();
    // Whether a new project waiting for its start image replaces a complete one.
    bool hasReplacedProject() const { return mChoosing && mReplacedProject; }
    // The new project given up before its start image: the project it replaced
    // comes back as it was (its sketches made again from its original; its photo,
    // record and history were never let go). NO, changing nothing, when there is
    // none, or when the sketches' memory cannot be had (the new project then goes
    // too, as after a failed allocation).
    bool restoreReplacedProject();
    // After the sketches are built: the start image is awaited.
    void awaitStartImage() { mChoosing = true; }
    // Copies the chosen source (0 black sketch, 1 colour sketch, else the photo)
    // into the picture area of workingbuff, the spare area keeping what it holds,
    // and makes the project the loaded one, with the photo kept. NO, changing
    // nothing, when no start image is awaited.
    bool chooseStartImage(int source);

    // The images a save writes and their geometry.
    struct ProjectImages {
        const std::uint8_t* original = nullptr;
        const std::uint8_t* working = nullptr;
        std::int32_t width = 0;
        std::int32_t height = 0;
        FloatSize picsize;
    };
    // The complete project: the current one when loaded, or, while the start image
    // of a new project is being chosen, the project that one replaces. Null
    // buffers when there is none (a save then writes nothing).
    ProjectImages projectToSave() const;

    // Why a save answered NO: an empty reason when there was no complete project
    // to save, else the file that could not be written and the system's reason.
    struct SaveFailure {
        QString file;
        QString reason;
    };
    // Saves the complete project into the slot's file, with its photo and drawing
    // record beside it, and, for slots above 0, its thumbnail. A thumbnail that
    // cannot be written is logged; the save still answers YES.
    bool saveSlot(int slot, SaveFailure* failure = nullptr) const;
    // JPEG of the project to save fitted into 80 x 80; empty when there is none.
    QByteArray thumbnail() const;

    // What makes the drawing at the photo's full resolution (opaque), on any
    // thread, when the project has its photo and its record replays to the
    // working image; else empty, with the reason in *fallback. Should the drawing
    // fail, it gives the working picture as it was when asked, the reason in
    // *fallback. `percentDone`, when given, is called on that thread as the
    // drawing goes, with whole percents rising by steps and ending at 100.
    std::function<QImage()> fullResolutionExport(const std::shared_ptr<QString>& fallback,
                                                 std::function<void(int percent)> percentDone = {}) const;
    // The same drawing as a PNG file written while it is drawn (fullResolutionPng):
    // neither the picture nor its file is held whole. The function, run on a
    // worker thread, starts the file and fills it; when the drawing cannot be made
    // it starts the file again with the working picture as it was when asked, the
    // reason in *fallback. False when the file could not take its bytes. Null, and
    // `percentDone`, as for fullResolutionExport.
    std::function<bool(const PngFileStart& start)> fullResolutionPngExport(
        const std::shared_ptr<QString>& fallback, std::function<void(int percent)> percentDone = {}) const;
    // The record saved beside the project file (checksums of these images).
    FullResolutionRecord fullResolutionRecord(const ProjectImages& project) const;

    // Loading, in steps, so that a view can read and show the pixels its own way
    // between them. checkLoad opens and checks the whole file (regular file,
    // header, size) and has the buffers a load needs, touching nothing of the
    // current project; adoptLoad then makes the file's geometry and buffers the
    // document's (no project loaded until the pixels are in); readSideFiles, after
    // the pixels are in, takes the photo and drawing record kept beside the file
    // when they belong to it.
    struct PendingLoad {
        QString path;
        QFile file;
        ProjectCodec::Header header;
        std::size_t imageBytes = 0;
        bool sameBuffers = false;
        PixelBlock fresh[4];
        QString photoFile;  // where readSideFiles read the photo from, when it did
    };
    enum class LoadCheck { Refused, LowMemory, Ready };
    LoadCheck checkLoad(const QString& path, PendingLoad& load, QString* reason = nullptr) const;
    void adoptLoad(PendingLoad& load);
    void readSideFiles(PendingLoad& load);
    // The whole load on the calling thread: pixels, sketches (the filter's own grey
    // scratch, so the working image stays as stored) and side files. A file that
    // fails the checks leaves the document as it was; NO with a one-line reason.
    // `photoFile`, when given, receives where the photo was read from (empty when
    // the project has none).
    bool loadFile(const QString& path, QString* reason = nullptr, QString* photoFile = nullptr);
    // The project file of a slot in the Documents directory; empty when there is none.
    static QString slotPath(int slot);

private:
    // What both exports take along: the record, checked to give the working
    // picture, and a copy of the working picture; false with *fallback set when
    // the drawing at the photo's size cannot be made.
    bool fullResolutionExportParts(const std::shared_ptr<QString>& fallback,
                                   std::shared_ptr<FullResolutionRecord>* record,
                                   std::shared_ptr<std::vector<std::uint8_t>>* working) const;
    std::int32_t height = 0;
    std::int32_t width = 0;
    FloatSize picsize;
    PixelBlock originalbuff;
    PixelBlock blacksketchbuff;
    PixelBlock colorsketchbuff;
    PixelBlock workingbuff;
    bool loaded = false;
    // YES from a successful new project until the start image is chosen (or a load
    // replaces the new project): workingbuff then holds no picture yet.
    bool mChoosing = false;
    // A complete project set aside by a new project until the start image is chosen.
    struct ReplacedProject {
        PixelBlock original;
        PixelBlock working;
        std::int32_t width = 0;
        std::int32_t height = 0;
        FloatSize picsize;
    };
    std::unique_ptr<ReplacedProject> mReplacedProject;
    StrokeMask mStrokeMask;
    StrokeHistory mHistory;
    // The full-resolution drawing: the bytes of the photo file the project was made
    // from (empty when not known), the start image chosen (0 black sketch, 1 colour
    // sketch, 2 the photo), and the photo of a new project until its start is chosen.
    QByteArray mPhoto;
    int mStartSource = 2;
    QByteArray mPendingPhoto;
};
