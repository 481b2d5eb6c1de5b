#pragma once

#include <cstdint>
#include <memory>

#include "gl/EAGLView.h"
#include "gl/Texture2D.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/PixelMemory.h"

// The view that shows and edits the picture. It owns the project's four pixel
// buffers (width x height pixels, 4 bytes R, G, B, A premultiplied, rows top to
// bottom without gaps; the picture is the top-left picsize area) and one texture
// for each of them.
class CanvasView : public EAGLView {
    Q_OBJECT
public:
    explicit CanvasView(QWidget* parent = nullptr);
    ~CanvasView() override;

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

    // Textures made from the buffers (RGBA8888, width x height, content picsize).
    void ReloadCanvas();
    void ReloadFixTexture();

    // Read access for the rest of the program and for tests.
    int bufferHeight() const { return height; }
    int bufferWidth() const { return width; }
    FloatSize pictureSize() const { return picsize; }
    const std::uint8_t* originalBuffer() const { return originalbuff.get(); }
    const std::uint8_t* blackSketchBuffer() const { return blacksketchbuff.get(); }
    const std::uint8_t* colorSketchBuffer() const { return colorsketchbuff.get(); }
    const std::uint8_t* workingBuffer() const { return workingbuff.get(); }
    const Texture2D* workingTexture() const { return pic.get(); }
    const Texture2D* originalTexture() const { return originalpic.get(); }
    const Texture2D* blackSketchTexture() const { return blacksketchpic.get(); }
    const Texture2D* colorSketchTexture() const { return colorsketchpic.get(); }
    bool isLoaded() const { return loaded; }

    static const char* const kLowMemoryMessage;

protected:
    std::unique_ptr<Texture2D> makeBufferTexture(const std::uint8_t* buffer) const;

    std::int32_t height = 0;
    std::int32_t width = 0;
    FloatSize picsize;
    std::int32_t centerx = 0;
    std::int32_t centery = 0;
    float zoomlevel = 0.0f;
    std::unique_ptr<Texture2D> pic;
    std::unique_ptr<Texture2D> originalpic;
    std::unique_ptr<Texture2D> blacksketchpic;
    std::unique_ptr<Texture2D> colorsketchpic;
    PixelBlock originalbuff;
    PixelBlock blacksketchbuff;
    PixelBlock colorsketchbuff;
    PixelBlock workingbuff;
    bool loaded = false;
    FloatPoint mLastTouchLocation{-1.0f, -1.0f};
    float mLastTouchSpacing = -1.0f;

    friend class CanvasTestAccess;
};
