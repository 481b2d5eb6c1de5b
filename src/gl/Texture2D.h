#pragma once

#include <GLES/gl.h>

#include <QString>
#include <cstdint>
#include <memory>

#include "base/Geometry.h"
#include "base/PixelMemory.h"

struct Image;

// One GL ES 2D texture made from a block of pixels. Immutable once made; owns its
// GL texture and deletes it when destroyed. Needs the GL context that will use it
// to be current when it is made and destroyed.
class Texture2D {
public:
    enum PixelFormat : int { RGBA8888 = 1, RGB565 = 2, A8 = 3 };

    // Uploads width x height pixels (rows without gaps, in the format's layout;
    // data may be null: storage without defined contents). The texture binding is
    // left as it was. An invalid format throws InternalInconsistency("").
    static std::unique_ptr<Texture2D> initWithData(const void* data, int pixelFormat, std::uint32_t width,
                                                   std::uint32_t height, FloatSize contentSize);

    // Draws the upright picture into a cleared power-of-two RGBA buffer (A8 for an
    // alpha-only bitmap), picture at the top-left, and makes the texture from it.
    // Null when the picture has no bitmap ("Image is Null" in the log; imageBuffer
    // untouched). With imageBuffer the buffer's ownership passes to the caller;
    // without it the buffer is released.
    static std::unique_ptr<Texture2D> initWithImage(const Image& image, PixelBlock* imageBuffer);

    // Uploads new pixels over the whole texture (pixelsWide x pixelsHigh, the
    // format's layout, rows without gaps) into the storage it already has; name,
    // sizes and coordinates stay. Spares the renderer a fresh, cleared allocation.
    // The texture binding is left as it was. Null data changes nothing.
    void replaceContents(const void* data);
    // The same for rows firstRow .. firstRow + rowCount - 1 only; `data` is the
    // whole image as for replaceContents. Rows past the texture are left out.
    void replaceRows(const void* data, std::uint32_t firstRow, std::uint32_t rowCount);

    ~Texture2D();
    Texture2D(const Texture2D&) = delete;
    Texture2D& operator=(const Texture2D&) = delete;

    GLuint name() const { return _name; }
    FloatSize contentSize() const { return _size; }
    std::uint32_t pixelsWide() const { return _width; }
    std::uint32_t pixelsHigh() const { return _height; }
    int pixelFormat() const { return _format; }
    float maxS() const { return _maxS; }
    float maxT() const { return _maxT; }
    QString description() const;

private:
    Texture2D() = default;

    GLuint _name = 0;
    FloatSize _size;
    std::uint32_t _width = 0;
    std::uint32_t _height = 0;
    int _format = 0;
    float _maxS = 0.0f;
    float _maxT = 0.0f;
};
