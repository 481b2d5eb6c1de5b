#include "gl/EglContext.h"

#include <EGL/eglext.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

bool hasExtension(const char* list, const char* name)
{
    if (!list)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startsWord = p == list || p[-1] == ' ';
        const bool endsWord = p[length] == '\0' || p[length] == ' ';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

// Mesa's software rasteriser hands each draw to worker threads. The canvas draws
// a few small patches a touch, for which waking and joining those threads costs
// more CPU than the drawing; its one full-view redraw is no slower without them.
// So the drawing stays on the calling thread unless the user has chosen a count.
// Set while the process starts, before main, so no other thread reads the
// environment meanwhile; other drivers ignore the variable.
const bool rasteriserThreadsChosen = [] { return ::setenv("LP_NUM_THREADS", "0", 0) == 0; }();

EGLDisplay initialised(EGLDisplay display)
{
    if (display == EGL_NO_DISPLAY)
        return EGL_NO_DISPLAY;
    EGLint major = 0;
    EGLint minor = 0;
    return eglInitialize(display, &major, &minor) ? display : EGL_NO_DISPLAY;
}

EGLDisplay openDisplay()
{
    // Client extensions are only listed by EGL libraries that know about platforms;
    // older ones answer null and go straight to the default display.
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay && hasExtension(client, "EGL_MESA_platform_surfaceless")) {
        if (EGLDisplay d = initialised(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)))
            return d;
    }
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (getPlatformDisplay && queryDevices && hasExtension(client, "EGL_EXT_platform_device")) {
        EGLint count = 0;
        if (queryDevices(0, nullptr, &count) && count > 0) {
            std::vector<EGLDeviceEXT> devices(static_cast<std::size_t>(count));
            if (queryDevices(count, devices.data(), &count)) {
                for (EGLint i = 0; i < count; ++i) {
                    if (EGLDisplay d = initialised(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr)))
                        return d;
                }
            }
        }
    }
    return initialised(eglGetDisplay(EGL_DEFAULT_DISPLAY));
}

// The display and the one configuration every context is made with.
struct DisplaySetup {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    bool haveConfig = false;
    bool surfaceless = false;
};

bool chooseConfig(EGLDisplay display, EGLint surfaceType, EGLConfig* config)
{
    const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_SURFACE_TYPE, surfaceType, EGL_NONE};
    EGLint count = 0;
    return eglChooseConfig(display, attributes, config, 1, &count) && count > 0;
}

const DisplaySetup& displaySetup()
{
    static const DisplaySetup setup = [] {
        DisplaySetup s;
        s.display = openDisplay();
        if (s.display == EGL_NO_DISPLAY)
            return s;
        const char* extensions = eglQueryString(s.display, EGL_EXTENSIONS);
        s.surfaceless = hasExtension(extensions, "EGL_KHR_surfaceless_context");
        if (chooseConfig(s.display, EGL_PBUFFER_BIT, &s.config)) {
            s.haveConfig = true;
        } else if (s.surfaceless) {
            // Without a surface any configuration that renders GL ES will do.
            if (chooseConfig(s.display, EGL_DONT_CARE, &s.config)) {
                s.haveConfig = true;
            } else if (hasExtension(extensions, "EGL_KHR_no_config_context")) {
                s.config = EGL_NO_CONFIG_KHR;
                s.haveConfig = true;
            }
        }
        return s;
    }();
    return setup;
}

// Every live EglContext, so that the current EGL context can be mapped back to
// its owner.
std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}

std::vector<EglContext*>& registry()
{
    static std::vector<EglContext*> contexts;
    return contexts;
}

// The context made along with the display, until create() hands it out.
std::atomic<EglContext*> spareContext{nullptr};

}  // namespace

EGLDisplay EglContext::display()
{
    return displaySetup().display;
}

void EglContext::prepare()
{
    // Once per process; a caller that comes while another thread is at it waits
    // for it, so the spare is never made twice.
    static const bool prepared = [] {
        spareContext.store(makeContext().release());
        return true;
    }();
    (void)prepared;
}

std::unique_ptr<EglContext> EglContext::create()
{
    prepare();
    if (std::unique_ptr<EglContext> spare{spareContext.exchange(nullptr)}) {
        // The API is bound per thread, and the spare may have been made on another.
        if (!eglBindAPI(EGL_OPENGL_ES_API))
            return nullptr;
        return spare;
    }
    return makeContext();
}

std::unique_ptr<EglContext> EglContext::makeContext()
{
    const DisplaySetup& setup = displaySetup();
    if (setup.display == EGL_NO_DISPLAY || !setup.haveConfig)
        return nullptr;
    if (!eglBindAPI(EGL_OPENGL_ES_API))
        return nullptr;
    const EGLint attributes[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};
    EGLContext context = eglCreateContext(setup.display, setup.config, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        return nullptr;
    EGLSurface surface = EGL_NO_SURFACE;
    if (!setup.surfaceless) {
        const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(setup.display, setup.config, size);
        if (surface == EGL_NO_SURFACE) {
            eglDestroyContext(setup.display, context);
            return nullptr;
        }
    }
    std::unique_ptr<EglContext> result(new EglContext(context, surface));
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().push_back(result.get());
    return result;
}

EglContext::~EglContext()
{
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        auto& contexts = registry();
        contexts.erase(std::remove(contexts.begin(), contexts.end(), this), contexts.end());
    }
    const EGLDisplay d = display();
    if (isCurrent())
        eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    // A context still current on another thread is destroyed by EGL once released there.
    eglDestroyContext(d, _context);
    if (_surface != EGL_NO_SURFACE)
        eglDestroySurface(d, _surface);
}

bool EglContext::makeCurrent()
{
    return eglMakeCurrent(display(), _surface, _surface, _context) == EGL_TRUE;
}

bool EglContext::isCurrent() const
{
    return _context != EGL_NO_CONTEXT && eglGetCurrentContext() == _context;
}

EglContext* EglContext::current()
{
    const EGLContext handle = eglGetCurrentContext();
    if (handle == EGL_NO_CONTEXT)
        return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex());
    for (EglContext* context : registry())
        if (context->_context == handle)
            return context;
    return nullptr;
}

bool EglContext::clearCurrent()
{
    EGLDisplay d = eglGetCurrentDisplay();
    if (d == EGL_NO_DISPLAY) {
        if (eglGetCurrentContext() == EGL_NO_CONTEXT)
            return true;
        d = display();
    }
    return eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
}

EglContext::Binding EglContext::currentBinding()
{
    Binding b;
    b.context = eglGetCurrentContext();
    if (b.context == EGL_NO_CONTEXT)
        return b;
    b.display = eglGetCurrentDisplay();
    b.draw = eglGetCurrentSurface(EGL_DRAW);
    b.read = eglGetCurrentSurface(EGL_READ);
    return b;
}

bool EglContext::restoreBinding(const Binding& binding)
{
    if (binding.context == EGL_NO_CONTEXT)
        return clearCurrent();
    if (eglGetCurrentContext() == binding.context && eglGetCurrentDisplay() == binding.display &&
        eglGetCurrentSurface(EGL_DRAW) == binding.draw && eglGetCurrentSurface(EGL_READ) == binding.read)
        return true;
    return eglMakeCurrent(binding.display, binding.draw, binding.read, binding.context) == EGL_TRUE;
}
