#pragma once

#include <GLES/gl.h>
#include <GLES/glext.h>

// The GL_OES_framebuffer_object entry points of OpenGL ES 1.1. They are not part
// of the core library's exports, so they are looked up through EGL, once per
// process; the pointers serve every GL ES 1.x context.
class GlesFramebufferFunctions {
public:
    // The process's table; looked up on first use.
    static const GlesFramebufferFunctions& get();

    // Whether every entry point below was found.
    bool available() const { return _available; }

    PFNGLGENFRAMEBUFFERSOESPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSOESPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFEROESPROC bindFramebuffer = nullptr;
    PFNGLISFRAMEBUFFEROESPROC isFramebuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSOESPROC checkFramebufferStatus = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEROESPROC framebufferRenderbuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DOESPROC framebufferTexture2D = nullptr;
    PFNGLGENRENDERBUFFERSOESPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSOESPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFEROESPROC bindRenderbuffer = nullptr;
    PFNGLISRENDERBUFFEROESPROC isRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEOESPROC renderbufferStorage = nullptr;
    PFNGLGETRENDERBUFFERPARAMETERIVOESPROC getRenderbufferParameteriv = nullptr;

private:
    GlesFramebufferFunctions();
    bool _available = false;
};
