// The windowless context over EGL: a GPU's EGL device first (servers with no X), then
// Mesa's surfaceless platform; a desktop OpenGL compatibility context made current with
// no surface.
#include "platform/headless.h"

#include "platform/linux/layer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>

namespace layer {
namespace {

EGLDisplay gDisplay = EGL_NO_DISPLAY;
EGLContext gContext = EGL_NO_CONTEXT;

// Whole-word test of a space-separated extension list.
bool listed(const char* list, const char* name) {
    std::size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length)
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    return false;
}

// An EGL extension function, or null.
template <typename F>
F lookup(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(eglGetProcAddress(name)));
}

// Initialises a display and makes a compatibility context current on it; false leaves nothing behind.
bool tryDisplay(EGLDisplay display) {
    if (display == EGL_NO_DISPLAY) return false;
    if (!eglInitialize(display, nullptr, nullptr)) return false;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    bool surfaceless = extensions && listed(extensions, "EGL_KHR_surfaceless_context");
    EGLConfig config = nullptr;
    EGLint count = 0;
    const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    if (!surfaceless || !eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(display, attributes, &config, 1, &count)) {
        eglTerminate(display);
        return false;
    }
    // Without EGL_KHR_no_config_context a config is still needed; any GL-capable one serves.
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    EGLContext context = eglCreateContext(display, count > 0 ? config : nullptr, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT)
        context = eglCreateContext(display, count > 0 ? config : nullptr, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        eglTerminate(display);
        return false;
    }
    gDisplay = display;
    gContext = context;
    return true;
}

}  // namespace

bool headlessCurrent() { return gContext != EGL_NO_CONTEXT && eglGetCurrentContext() == gContext; }

PROC headlessProcAddress(const char* name) { return (PROC)eglGetProcAddress(name); }

}  // namespace layer

using namespace layer;

bool headlessCreate(char* reason, int reasonBytes) {
    if (gContext != EGL_NO_CONTEXT) return true;
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (clientExtensions == nullptr) {
        std::snprintf(reason, (size_t)reasonBytes, "EGL has no client extensions (no platform displays)");
        return false;
    }
    auto getPlatformDisplay = lookup<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (getPlatformDisplay && listed(clientExtensions, "EGL_EXT_platform_device")) {
        auto queryDevices = lookup<PFNEGLQUERYDEVICESEXTPROC>("eglQueryDevicesEXT");
        EGLDeviceEXT devices[8];
        EGLint count = 0;
        if (queryDevices && queryDevices(8, devices, &count))
            for (EGLint i = 0; i < count; ++i)
                if (tryDisplay(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr))) return true;
    }
    if (getPlatformDisplay && listed(clientExtensions, "EGL_MESA_platform_surfaceless") &&
        tryDisplay(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)))
        return true;
    std::snprintf(reason, (size_t)reasonBytes,
                  "no EGL device or surfaceless display gives an OpenGL context (EGL error 0x%04x)",
                  (unsigned)eglGetError());
    return false;
}

void headlessRelease() {
    if (gContext == EGL_NO_CONTEXT) return;
    eglMakeCurrent(gDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(gDisplay, gContext);
    eglTerminate(gDisplay);
    gContext = EGL_NO_CONTEXT;
    gDisplay = EGL_NO_DISPLAY;
}
