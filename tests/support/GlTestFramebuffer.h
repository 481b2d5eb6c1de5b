#pragma once

#include <GLES/gl.h>

#include <QImage>

// An offscreen colour target for tests, in the current GL context: a framebuffer
// object with an RGBA8 renderbuffer of the given size. The constructor binds it
// and sets the viewport to cover it; the destructor deletes both (the caller's
// framebuffer binding is not restored).
class GlTestFramebuffer {
public:
    GlTestFramebuffer(int width, int height);
    ~GlTestFramebuffer();
    GlTestFramebuffer(const GlTestFramebuffer&) = delete;
    GlTestFramebuffer& operator=(const GlTestFramebuffer&) = delete;

    GLuint name() const { return _framebuffer; }

    // The pixels of an RGBA or RGB texture's level 0 as GL holds them (attached to
    // a framebuffer of its own and read back), Format_RGBA8888; row 0 of the image
    // is the texture's first row (t = 0). Leaves the framebuffer binding as found.
    static QImage readTexture(GLuint texture, int width, int height);

private:
    GLuint _framebuffer = 0;
    GLuint _renderbuffer = 0;
};
