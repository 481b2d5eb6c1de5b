#include "gl/GlesFramebufferFunctions.h"

#include <EGL/egl.h>

#include "gl/EglContext.h"

namespace {

template <typename Function>
bool resolve(Function& function, const char* name)
{
    function = reinterpret_cast<Function>(eglGetProcAddress(name));
    return function != nullptr;
}

}  // namespace

const GlesFramebufferFunctions& GlesFramebufferFunctions::get()
{
    static const GlesFramebufferFunctions functions;
    return functions;
}

GlesFramebufferFunctions::GlesFramebufferFunctions()
{
    // Some EGL libraries only hand out GL entry points once a display is up.
    if (EglContext::display() == EGL_NO_DISPLAY)
        return;
    bool all = true;
    all &= resolve(genFramebuffers, "glGenFramebuffersOES");
    all &= resolve(deleteFramebuffers, "glDeleteFramebuffersOES");
    all &= resolve(bindFramebuffer, "glBindFramebufferOES");
    all &= resolve(isFramebuffer, "glIsFramebufferOES");
    all &= resolve(checkFramebufferStatus, "glCheckFramebufferStatusOES");
    all &= resolve(framebufferRenderbuffer, "glFramebufferRenderbufferOES");
    all &= resolve(framebufferTexture2D, "glFramebufferTexture2DOES");
    all &= resolve(genRenderbuffers, "glGenRenderbuffersOES");
    all &= resolve(deleteRenderbuffers, "glDeleteRenderbuffersOES");
    all &= resolve(bindRenderbuffer, "glBindRenderbufferOES");
    all &= resolve(isRenderbuffer, "glIsRenderbufferOES");
    all &= resolve(renderbufferStorage, "glRenderbufferStorageOES");
    all &= resolve(getRenderbufferParameteriv, "glGetRenderbufferParameterivOES");
    _available = all;
}
