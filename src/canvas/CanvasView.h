#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "gl/EAGLView.h"
#include "gl/Texture2D.h"
#include "widgets/ActionSheetDelegate.h"
#include "base/Geometry.h"
#include "imageio/Image.h"
#include "base/PixelMemory.h"
#include "widgets/TouchResponder.h"
#include "widgets/NavigationResponder.h"
#include "project/ProjectDocument.h"
#include "canvas/BrushStyle.h"
#include "canvas/SketchWorker.h"
#include "project/StrokeHistory.h"

#include "widgets/SegmentedControl.h"

namespace BrushDab {
struct Placement;
}

// The view that shows and edits the picture. It owns the project (a
// ProjectDocument: the four pixel buffers, the photo, the drawing record and undo
// history) and one texture for each of the buffers, and hands the project's work
// to it. Drawing coordinates are points with the origin at the bottom left of the
// view, y upwards; touches arrive in view coordinates, y downwards.
class CanvasView : public EAGLView, public TouchResponder, public NavigationResponder, public ActionSheetDelegate {
    Q_OBJECT
public:
    explicit CanvasView(QWidget* parent = nullptr);
    ~CanvasView() override;

    // Creation: the GL surface with the fixed drawing state, then the working
    // project of slot 0 or, failing that, a new project from the start picture.
    // `bandHeight` is the height of the control band above the view (see startY).
    // Null when the GL surface cannot be made.
    static CanvasView* create(const QRectF& frame, QWidget* parent = nullptr,
                              float bandHeight = kDefaultBandHeight);
    bool initWithFrame(const QRectF& frame);

    // Buffers. PrepareBuff allocates blacksketchbuff, colorsketchbuff, workingbuff
    // (and originalbuff when withOriginal) of width x height x 4 uncleared bytes;
    // on any failure it frees all four, shows the low-memory alert and answers NO.
    bool PrepareBuff(bool withOriginal);
    void FreeBuff();

    // Sketch filter over the picture area, then the three source textures anew.
    void BuildSketchBuff();

    // Photo import, step 1: the picture upright, at most 1024 pixels a side.
    // Throws InternalInconsistency("Invalid image orientation") for a tag outside 0..7.
    static Image scaleAndRotateImage(const Image& image);

    // New project from a picture; the start image is chosen on the sheet. A picture
    // that cannot be imported leaves the current project as it was. Until the
    // choice the project being replaced is kept aside, and saves write that one.
    // `photoPath`, when given, is the file the picture was read from: its bytes are
    // kept with the project for the drawing at the photo's full resolution.
    // The sheet shows over the new picture; when the new project replaces one it
    // has a Cancel button (and Escape), which brings that project back as it was,
    // shown where it was (cancelNewProject).
    void NewProject(const Image& image, const QString& photoPath = QString());
    void actionSheetClickedButtonAtIndex(ActionSheet* sheet, int buttonIndex) override;
    bool cancelNewProject();
signals:
    void startImageChosen();
    void newProjectCancelled();
public:

    // Project files, slots and thumbnails.
    // Why a save answered NO: an empty reason when there was no complete project
    // to save, else the file that could not be written and the system's reason.
    using SaveFailure = ProjectDocument::SaveFailure;
    // Saves the complete project (see projectToSave) into the slot's file and, for
    // slots above 0, its thumbnail. A thumbnail that cannot be written is logged;
    // the save still answers YES, as the project itself was saved.
    bool SaveProject(int slot, SaveFailure* failure = nullptr);
    // Checks the whole file (regular file, header, size) before anything of the
    // current project is touched: a file that fails the check answers NO and leaves
    // the current project as it was.
    bool LoadProject(int slot);
    // The rest of a load that left its sketches: the original's texture, and the
    // sketch textures as the filter's bands come in. Nothing when none is pending.
    // Whatever reads the sketches or the original's texture, or replaces the
    // buffers, calls it first.
    void finishLoading();
    // Whether the project a canvas opens while it is made leaves its sketches to
    // finishLoading(), so that its picture is shown sooner (the program's start).
    static void setLeaveStartSketches(bool leave) { sLeaveStartSketches = leave; }
    // Whether a canvas made without a working project waits, without any, for a
    // photo the program was started with, instead of starting the built-in
    // picture; startWithStartPicture() starts it later when that photo fails.
    static void setSkipStartPicture(bool skip) { sSkipStartPicture = skip; }
    void startWithStartPicture();
    // JPEG of the working picture fitted into 80 x 80; empty when no project is loaded.
    QByteArray CreateThumbNail() const;

    // Photo album export.
    // Saves the picture area of the working image into the photo album in the
    // background; "No data in the working space." when there is no project.
    void ExportToPhotoAlbum();
    // Completion of an album save, on the GUI thread: logs "Save finished" and lets
    // go of the image, whose pixels are then freed. A failed save is told to the
    // user with the error alert carrying `error`.
    void imageDidFinishSavingWithError(QImage image, const QString& error, void* contextInfo);
    static const char* const kNoDataMessage;
signals:
    // After the completion of an album save that wrote `path`. `fallback` is
    // empty when the picture is the drawing at the photo's size, else why the
    // working picture was written instead.
    void exported(const QString& path, const QString& fallback);
    // The share of a drawing at the photo's size made so far, in whole percents
    // rising by steps to 100, before its `exported`.
    void exportProgress(int percent);
public:
    // A progress reporter for a worker: each percent is handed to this view's
    // thread as exportProgress, in order, none once the view is gone.
    std::function<void(int)> exportProgressReporter();
    // Presentation.
    void ReloadCanvas();
    void ReloadFixTexture();
    void UpdateScreen();
    void UpdateScreenRect(int drawType, int x1, int y1, int x2, int y2);

    // Brush: one dab at a touch point (view coordinates) from source drawType.
    bool DrawCanvas(FloatPoint point, int drawType);
    // Dabs along the segment from one position of a finger to the next, at most a
    // quarter of the brush's width on screen apart, the last one at `to`; a segment
    // no longer than that spacing lays the one dab at `to`. Presents once when
    // anything was painted; answers whether anything was.
    bool DrawSegment(FloatPoint from, FloatPoint to, int drawType);
    // The spacing of those dabs, in points: a quarter of the brush's width (an
    // eighth for a soft brush, whose edge would otherwise show the dabs), of the
    // width the pen's pressure gives when `pressure` is 0..1.
    float dabSpacing(float pressure = -1.0f) const;

    // The brush beyond the band's segmented controls: a size between the presets,
    // hardness, strength, pressure. Soft and partial dabs go through the stroke's
    // mask (StrokeMask); the default style paints exactly as the hard brush.
    const BrushStyle& brushStyle() const { return mBrushStyle; }
    void setBrushStyle(const BrushStyle& style) { mBrushStyle = style; }
    // The radius in points: the style's, else the size control's preset.
    double brushRadiusPoints() const;

    // Peek: while on, the view shows the source of the given tool (0 black sketch,
    // 1 colour sketch, 2 the photo) in place of the working image, and touches
    // paint nothing; off shows the working image again. Nothing is changed.
    void setPeekSource(int drawType);
    void endPeek() { setPeekSource(-1); }
    int peekSource() const { return mPeekSource; }

    // Strokes and their undo.
    // A stroke is everything painted from a press to the lift of the last finger.
    // Undo and redo redraw only the rectangles that changed. Both answer NO when
    // there is nothing to take back (or no project); an open stroke is ended first.
    bool undo();
    bool redo();
    bool canUndo() const;
    bool canRedo() const;
    // Starts a new history (a new or loaded project).
    void resetHistory();
    const StrokeHistory& strokeHistory() const { return mDocument.history(); }
signals:
    void historyChanged();  // after a stroke ends, undo, redo, or the history is reset
    void zoomed(float zoom);  // after a zoom of the wheel, pinch, keys or the fit
    void strokeFinished();  // a stroke that painted at least one dab ended
public:
    // Desktop navigation.
    // Zoom steps of the touch navigation, each keeping the picture point at
    // `viewPoint` (view coordinates) in place where the pan and re-centring limits
    // allow. Positive steps zoom in. Used by the wheel and the trackpad pinch.
    void zoomStepsAt(int steps, FloatPoint viewPoint) override;
    // Pans by the touch navigation's pan rule, without painting, in any tool.
    void panBegan(FloatPoint viewPoint) override;
    void panMoved(FloatPoint viewPoint) override;
    void panEnded() override;
public slots:
    // One zoom step about the view's centre; the largest zoom step at which the
    // whole picture fits the view, centred at the start position.
    void zoomIn();
    void zoomOut();
    void zoomToFitWhole() override;
public:
    // Touches and navigation.
    void touchesBegan(const TouchEvent& event) override;
    void touchesMoved(const TouchEvent& event) override;
    void touchesEnded(const TouchEvent& event) override;
    void touchesCanceled();
    void resetTouches();
    void setPanningModeWithLocation(FloatPoint location);
    void setZoomingModeWithSpacing(float spacing);
    bool isPanning() const;
    bool isZooming() const;
    static float eucledianDistanceFromPoint(FloatPoint a, FloatPoint b);
    float ZoomToFit() const;

    // The controls handed over by the main screen. A control not handed over reads
    // as index 0, as a request to no object answers zero.
    SegmentedControl* toolbar() const { return mToolbar; }
    void setToolbar(SegmentedControl* control) { mToolbar = control; }
    SegmentedControl* brushsize() const { return mBrushsize; }
    void setBrushsize(SegmentedControl* control) { mBrushsize = control; }
    SegmentedControl* brushshape() const { return mBrushshape; }
    void setBrushshape(SegmentedControl* control) { mBrushshape = control; }

    // The centre of the view's frame in its parent's coordinates.
    FloatPoint center() const;

    // Read access for the rest of the program and for tests.
    const ProjectDocument& document() const { return mDocument; }
    ProjectDocument& document() { return mDocument; }
    int bufferHeight() const { return mDocument.bufferHeight(); }
    int bufferWidth() const { return mDocument.bufferWidth(); }
    FloatSize pictureSize() const { return mDocument.pictureSize(); }
    int centerX() const { return centerx; }
    int centerY() const { return centery; }
    float zoomLevel() const { return zoomlevel; }
    FloatPoint lastTouchLocation() const { return mLastTouchLocation; }
    float lastTouchSpacing() const { return mLastTouchSpacing; }
    const std::uint8_t* originalBuffer() const { return mDocument.originalBuffer(); }
    const std::uint8_t* blackSketchBuffer() const { return mDocument.blackSketchBuffer(); }
    const std::uint8_t* colorSketchBuffer() const { return mDocument.colorSketchBuffer(); }
    const std::uint8_t* workingBuffer() const { return mDocument.workingBuffer(); }
    const Texture2D* workingTexture() const { return pic.get(); }
    const Texture2D* originalTexture() const { return originalpic.get(); }
    const Texture2D* blackSketchTexture() const { return blacksketchpic.get(); }
    const Texture2D* colorSketchTexture() const { return colorsketchpic.get(); }
    bool isLoaded() const { return mDocument.isLoaded(); }
    // YES while a new project waits for its start image: saves then write the
    // project it replaces.
    bool isChoosingStartImage() const { return mDocument.isChoosingStartImage(); }

    // The start position's y is the view's centre less the height of the control
    // band above the view, which the app hands over (70 points unless told).
    static constexpr float kDefaultBandHeight = 70.0f;
    void setBandHeight(float bandHeight) { mBandHeight = bandHeight; }

    static const char* const kLowMemoryMessage;
    static const char* const kUnsupportedImageMessage;

protected:
    // The fixed drawing state: orthographic projection in points, texturing and
    // the vertex and texture-coordinate arrays on, no dithering, no blending.
    void setFixedGLState(const QRectF& frame);
    // A new view size: the surface and the projection follow it, the picture point
    // at the view's middle stays there, re-centred as after a zoom-out step, and
    // the picture is drawn anew.
    void resizeEvent(QResizeEvent* event) override;
    std::unique_ptr<Texture2D> makeBufferTexture(const std::uint8_t* buffer) const;
    // Whether the texture has the buffers' size, the picture size and RGBA8888, so
    // that a buffer's pixels can be uploaded into it in place.
    bool bufferTextureFits(const Texture2D* texture) const;
    // A texture that fits, its pixels left as they were (or undefined when made).
    void makeFittingTexture(std::unique_ptr<Texture2D>& texture) const;
    // The texture from the buffer: its pixels replaced in place when it fits,
    // otherwise a new texture.
    void refillBufferTexture(std::unique_ptr<Texture2D>& texture, const std::uint8_t* buffer);
    const Texture2D* sourceTexture(int drawType) const;
    const std::uint8_t* sourceBuffer(int drawType) const;
    static int selectedIndex(const SegmentedControl* control);
    // Shared start of touch-down and move: in a painting position every finger
    // paints; answers YES only when the touches are for navigation (with no
    // project, no position or an unknown one they are ignored).
    bool navigates(const TouchEvent& event);
    // Under every finger, the dabs from its previous position in this stroke (one
    // dab for a finger new to it) from the selected source.
    void paintTouches(const TouchEvent& event);
    // One dab, or the dabs of DrawSegment, drawn without presenting; recorded with
    // the open stroke. presentDabArea presents what they drew since the last one.
    // `pressure` 0..1 from a pen, or negative without one.
    bool layDab(FloatPoint point, int drawType, float pressure = -1.0f);
    bool laySegment(FloatPoint from, FloatPoint to, int drawType, float fromPressure = -1.0f,
                    float toPressure = -1.0f);
    // A soft or partial dab's box of workingbuff (inclusive) uploaded into the
    // working texture with a pixel of margin and drawn from it.
    void drawBlendedDab(int xs, int ys, int xe, int ye);
    // Rectangle x0..x1-1, y0..y1-1 of workingbuff into the working texture.
    void uploadWorkingRect(int x0, int y0, int x1, int y1, std::vector<std::uint8_t>& packed);
    void presentDabArea();
    // Ends the open stroke: history and signals.
    void finishStroke();
    // One pan step from the previous position: the touch navigation's pan rule.
    void panStep(FloatPoint from, FloatPoint to);
    // The position at which a new or loaded picture is shown, in drawing
    // coordinates: the view's centre, y less the band height.
    std::int32_t startX() const;
    std::int32_t startY() const;
    // The view centred at the start position with the zoom that fits the picture.
    void showAtStart();
    // Full redraw after a change of view from desktop input: the working texture is
    // brought up to date first when strokes were painted since it was made.
    void redrawView();
    void redrawViewFrom(const BrushDab::Placement& before);
    // Rectangles of workingbuff shown after undo or redo: uploaded into the working
    // texture (with a pixel of margin, for filtering) and drawn from it; one present.
    void drawWorkingRects(const std::vector<StrokeHistory::Rect>& rects);
    // The patch of UpdateScreenRect from any texture of the buffers' size.
    void drawPatch(const Texture2D* texture, int x1, int y1, int x2, int y2);

    std::int32_t centerx = 0;
    std::int32_t centery = 0;
    float zoomlevel = 0.0f;
    std::unique_ptr<Texture2D> pic;
    std::unique_ptr<Texture2D> originalpic;
    std::unique_ptr<Texture2D> blacksketchpic;
    std::unique_ptr<Texture2D> colorsketchpic;
    ProjectDocument mDocument;
    QPointer<SegmentedControl> mToolbar;
    QPointer<SegmentedControl> mBrushsize;
    QPointer<SegmentedControl> mBrushshape;
    FloatPoint mLastTouchLocation;
    float mLastTouchSpacing = 0.0f;
    // Strokes: whether the open stroke laid a dab, each finger's last position in
    // it (by finger id), and whether the working texture lags behind workingbuff
    // since painting.
    bool mStrokePainted = false;
    struct Finger {
        int id = 0;
        FloatPoint at;
        float pressure = -1.0f;
    };
    std::vector<Finger> mFingers;
    bool mWorkingTextureStale = false;
    QRect mDabArea;  // picture pixels drawn by dabs and not yet presented
    // The view size, in points, the projection was last set for, and the surface
    // size in pixels the viewport was last set for.
    FloatSize mViewSize;
    FloatSize mViewportSize;
    float mBandHeight = kDefaultBandHeight;
    // Desktop panning: whether it is on, and the pointer position of its last step.
    bool mDesktopPanning = false;
    BrushStyle mBrushStyle;
    int mPeekSource = -1;
    // Where the project a new one replaces was shown, for a cancelled start.
    std::int32_t mReplacedCenterX = 0, mReplacedCenterY = 0;
    float mReplacedZoom = 1.0f;
    bool mReplacedAtFit = false;
    // The placement the program last chose (start or fit): while the view is still
    // there, the user has not moved it, and a resize fits the picture anew.
    std::int32_t mFitCenterX = 0, mFitCenterY = 0;
    float mFitZoom = -1.0f;
    void rememberFitPlacement();
    bool isAtFitPlacement() const;
    FloatPoint mPanLocation;
    // The sketch filter of the last load until finishLoading(); declared after the
    // buffers, so it is joined before they go.
    std::unique_ptr<SketchWorker> mSketchWorker;
    static bool sLeaveStartSketches;
    static bool sSkipStartPicture;
    // A load in steps: the document checks the file and adopts its geometry; the
    // view reads and uploads the bands; the document reads the side files.
    bool loadProject(int slot, bool leaveSketches);
    bool readAndUploadBands(ProjectDocument::PendingLoad& load, bool leaveSketches);

    friend class CanvasTestAccess;
};
