#pragma once

#include <EGL/egl.h>

#include <memory>

// An OpenGL ES 1.x rendering context that needs no window system.
//
// All contexts share one process-wide EGL display: Mesa's surfaceless platform
// when the EGL library offers it, else the first usable device of the device
// platform, else the default display. A context is made current without any
// surface (EGL_KHR_surfaceless_context); where that extension is missing it gets a
// private 1x1 pbuffer instead. Drawing goes to framebuffer objects either way.
//
// Current-context bookkeeping is per thread, as in EGL.
class EglContext {
public:
    // What is current on the calling thread, whoever made it current (it may be a
    // context this class knows nothing about). Restoring it puts back exactly that.
    struct Binding {
        EGLDisplay display = EGL_NO_DISPLAY;
        EGLSurface draw = EGL_NO_SURFACE;
        EGLSurface read = EGL_NO_SURFACE;
        EGLContext context = EGL_NO_CONTEXT;
    };

    // A new GL ES 1.x context, or null when none can be had.
    static std::unique_ptr<EglContext> create();
    // Sets the display up and makes the context the first create() hands out, for
    // a thread that does it ahead while the program starts: Mesa takes
    // milliseconds over a context. create() waits for one under way, and does
    // this itself when nobody did.
    static void prepare();

    // Releases the context; when it is current on this thread, no context is
    // current afterwards.
    ~EglContext();
    EglContext(const EglContext&) = delete;
    EglContext& operator=(const EglContext&) = delete;

    // Makes this context current on the calling thread. False when EGL refuses
    // (for example while the context is current on another thread).
    bool makeCurrent();
    // Whether this context is the one current on the calling thread.
    bool isCurrent() const;

    // The context of this class current on the calling thread, or null (no
    // context, or one made elsewhere).
    static EglContext* current();
    // Makes no context current on the calling thread.
    static bool clearCurrent();

    static Binding currentBinding();
    // Makes the recorded binding current again; a binding without a context
    // clears the current context.
    static bool restoreBinding(const Binding& binding);

    // The shared display, initialised on first use; EGL_NO_DISPLAY when no EGL
    // display could be initialised.
    static EGLDisplay display();

    EGLContext handle() const { return _context; }

private:
    EglContext(EGLContext context, EGLSurface surface) : _context(context), _surface(surface) {}
    static std::unique_ptr<EglContext> makeContext();

    EGLContext _context = EGL_NO_CONTEXT;
    EGLSurface _surface = EGL_NO_SURFACE;
};
