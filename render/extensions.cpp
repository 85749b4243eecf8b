// The extension-string query and the multitexture entry points.
#include "render/gfx.h"

#include <cstring>

#define QUILL_MULTITEXTURE_ENTRY_POINTS(X)                     \
    X(PFNGLACTIVETEXTUREARBPROC, ActiveTextureARB)             \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, ClientActiveTextureARB) \
    X(PFNGLMULTITEXCOORD1DARBPROC, MultiTexCoord1dARB)         \
    X(PFNGLMULTITEXCOORD1DVARBPROC, MultiTexCoord1dvARB)       \
    X(PFNGLMULTITEXCOORD1FARBPROC, MultiTexCoord1fARB)         \
    X(PFNGLMULTITEXCOORD1FVARBPROC, MultiTexCoord1fvARB)       \
    X(PFNGLMULTITEXCOORD1IARBPROC, MultiTexCoord1iARB)         \
    X(PFNGLMULTITEXCOORD1IVARBPROC, MultiTexCoord1ivARB)       \
    X(PFNGLMULTITEXCOORD1SARBPROC, MultiTexCoord1sARB)         \
    X(PFNGLMULTITEXCOORD1SVARBPROC, MultiTexCoord1svARB)       \
    X(PFNGLMULTITEXCOORD2DARBPROC, MultiTexCoord2dARB)         \
    X(PFNGLMULTITEXCOORD2DVARBPROC, MultiTexCoord2dvARB)       \
    X(PFNGLMULTITEXCOORD2FARBPROC, MultiTexCoord2fARB)         \
    X(PFNGLMULTITEXCOORD2FVARBPROC, MultiTexCoord2fvARB)       \
    X(PFNGLMULTITEXCOORD2IARBPROC, MultiTexCoord2iARB)         \
    X(PFNGLMULTITEXCOORD2IVARBPROC, MultiTexCoord2ivARB)       \
    X(PFNGLMULTITEXCOORD2SARBPROC, MultiTexCoord2sARB)         \
    X(PFNGLMULTITEXCOORD2SVARBPROC, MultiTexCoord2svARB)       \
    X(PFNGLMULTITEXCOORD3DARBPROC, MultiTexCoord3dARB)         \
    X(PFNGLMULTITEXCOORD3DVARBPROC, MultiTexCoord3dvARB)       \
    X(PFNGLMULTITEXCOORD3FARBPROC, MultiTexCoord3fARB)         \
    X(PFNGLMULTITEXCOORD3FVARBPROC, MultiTexCoord3fvARB)       \
    X(PFNGLMULTITEXCOORD3IARBPROC, MultiTexCoord3iARB)         \
    X(PFNGLMULTITEXCOORD3IVARBPROC, MultiTexCoord3ivARB)       \
    X(PFNGLMULTITEXCOORD3SARBPROC, MultiTexCoord3sARB)         \
    X(PFNGLMULTITEXCOORD3SVARBPROC, MultiTexCoord3svARB)       \
    X(PFNGLMULTITEXCOORD4DARBPROC, MultiTexCoord4dARB)         \
    X(PFNGLMULTITEXCOORD4DVARBPROC, MultiTexCoord4dvARB)       \
    X(PFNGLMULTITEXCOORD4FARBPROC, MultiTexCoord4fARB)         \
    X(PFNGLMULTITEXCOORD4FVARBPROC, MultiTexCoord4fvARB)       \
    X(PFNGLMULTITEXCOORD4IARBPROC, MultiTexCoord4iARB)         \
    X(PFNGLMULTITEXCOORD4IVARBPROC, MultiTexCoord4ivARB)       \
    X(PFNGLMULTITEXCOORD4SARBPROC, MultiTexCoord4sARB)         \
    X(PFNGLMULTITEXCOORD4SVARBPROC, MultiTexCoord4svARB)

#define QUILL_DEFINE_POINTER(type, name) type g##name = nullptr;
QUILL_MULTITEXTURE_ENTRY_POINTS(QUILL_DEFINE_POINTER)
#undef QUILL_DEFINE_POINTER

namespace {

using Store = void (*)(PROC);

struct EntryPoint {
    const char* name;
    Store store;
};

// Through void(*)(), the one function-pointer type every other converts to quietly.
template <typename F>
F toEntryPoint(PROC found) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(found));
}

#define QUILL_TABLE_ROW(type, name) {"gl" #name, [](PROC p) { g##name = toEntryPoint<type>(p); }},
const EntryPoint kEntryPoints[] = {QUILL_MULTITEXTURE_ENTRY_POINTS(QUILL_TABLE_ROW)};
#undef QUILL_TABLE_ROW

static_assert(sizeof(kEntryPoints) / sizeof(kEntryPoints[0]) == 34);

}  // namespace

BYTE gfxExtensionListed(const char* extensions, const char* name) {
    if (name == nullptr || name[0] == '\0' || std::strchr(name, ' ') != nullptr) return 0;
    if (extensions == nullptr) return 0;
    std::size_t length = std::strlen(name);
    const char* start = extensions;
    for (;;) {
        const char* found = std::strstr(start, name);
        if (found == nullptr) return 0;
        const char* terminator = found + length;
        // After a rejected occurrence the search restarts at its end, so a name that
        // begins right there counts as starting a word.
        bool wordStart = found == start || found[-1] == ' ';
        if (wordStart && (*terminator == ' ' || *terminator == '\0')) return 1;
        start = terminator;
    }
}

BYTE gfxHasExtension(const char* name) {
    return gfxExtensionListed(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}

int gfxInitMultitexture() {
    GLint units = 1;
    if (!gfxHasExtension("GL_ARB_multitexture")) return units;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    for (const EntryPoint& entry : kEntryPoints) entry.store(wglGetProcAddress(entry.name));
    return units;
}
