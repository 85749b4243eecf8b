// Rendering the program's frame through its own renderer into the window's back buffer or
// a framebuffer object, with sub-pixel offsets (a shifted projection) and the coverage pass
// (the blades flat black), and reading it back. The renderer is the program's; only the
// projection, the target and the texture's state are the tool's.
#pragma once

#include "measure/core/metrics.h"
#include "measure/gl/errors.h"
#include "platform/win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace measure {

// What the context offers beyond OpenGL 1.1, looked up through wglGetProcAddress.
struct GlEntryPoints {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample = nullptr;
    PFNGLGETRENDERBUFFERPARAMETERIVPROC getRenderbufferParameteriv = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
    PFNGLGENERATEMIPMAPPROC generateMipmap = nullptr;
    PFNGLGETINTERNALFORMATIVPROC getInternalformativ = nullptr;  // optional
    PFNGLGETMULTISAMPLEFVPROC getMultisamplefv = nullptr;        // optional
    // GPU time (GL_TIME_ELAPSED), optional: OpenGL 3.3 or GL_ARB_timer_query.
    PFNGLGENQUERIESPROC genQueries = nullptr;
    PFNGLDELETEQUERIESPROC deleteQueries = nullptr;
    PFNGLBEGINQUERYPROC beginQuery = nullptr;
    PFNGLENDQUERYPROC endQuery = nullptr;
    PFNGLGETQUERYOBJECTUI64VPROC getQueryObjectui64v = nullptr;
    bool timerQueries = false;
    bool framebuffers = false;  // everything above but the optional ones
    bool anisotropic = false;
    float maxAnisotropy = 1.0f;
};

GlEntryPoints loadEntryPoints();
// The context's OpenGL version as major * 10 + minor; 0 where it reports none.
int glVersionNumber();

// How a frame's cost was timed: GPU time from timer queries, wall time to glFinish, or not
// at all (a picture the tool did not draw).
enum class CostMethod : std::uint8_t { None, Gpu, Wall };

// Where a frame is drawn: the window's back buffer (fbo 0), or a framebuffer object of the
// given sample count resolved into a one-sample one.
struct Target {
    int width = 0;
    int height = 0;
    bool window = false;
    int requested = 0;
    int granted = 0;
    unsigned draw = 0;
    unsigned resolve = 0;
    unsigned buffers[3] = {0, 0, 0};
};

// The frame size a window gives, its client area; false with the reason where it has none
// (a minimised window).
bool frameSizeOf(HWND window, int& width, int& height, std::string& reason);

// The window's back buffer at the given size (from the lower-left corner); a multisampled
// one is resolved by a blit into a framebuffer object where there are any.
Target windowTarget(const GlEntryPoints& gl, int width, int height);
// A framebuffer object asking for `samples` (0: one sample, no multisampling); false with
// a reason when the driver refuses it.
bool makeTarget(const GlEntryPoints& gl, int width, int height, int samples, Target& target, std::string& reason);
void releaseTarget(const GlEntryPoints& gl, Target& target);

// The renderer's projection, read back once, which every offset render starts from.
class Scene {
public:
    Scene(const GlEntryPoints& gl);
    ~Scene();
    // One frame shifted by (dx, dy) pixels; `coverage` draws the blades flat black.
    // Adds the drawing time (to glFinish, without the read back) to `seconds`.
    Image render(const Target& target, double dx, double dy, bool coverage, double* seconds = nullptr);
    // The mean of K x K stratified sub-pixel renders, into `sum`: on the ordered K x K grid,
    // or with `rooks` one sample in each of the K * K columns and rows as well (no two share
    // an x or a y, so an edge near an axis still sees K * K steps). `half`, when given, also
    // gets the samples of every other cell (a checkerboard): half the samples, stratified too.
    void supersample(const Target& target, int k, bool coverage, Accumulator& sum, double* seconds = nullptr,
                     bool rooks = false, Accumulator* half = nullptr);
    // What one output frame costs: `subframes` offset draws (K x K for supersampling, 1
    // otherwise) into `target` with its resolve, the median of `frames` frames after a
    // warm-up. GPU time where the driver has timer queries, else wall time to glFinish.
    // Milliseconds.
    double frameCost(const Target& target, int subframes, int frames, CostMethod& method);
    // The first OpenGL error seen by a render, blit or read-back since the last call, as
    // "what: GL_..."; empty when there was none. Clears it.
    std::string takeError();
    // Screen positions (pixels, rows from the top) of a blade's rim corner, the ring's
    // centre and a point of the caption, from the renderer's own vertices (feedback mode).
    bool landmarks(const Target& target, double tip[2], double centre[2], double caption[2]);

private:
    // Notes the first OpenGL error after `what`.
    void check(const char* what);
    // Draws one offset frame into the target and resolves it, without reading it back.
    void draw(const Target& target, double dx, double dy, bool coverage);

    const GlEntryPoints& gl_;
    std::string error_;
    GLdouble projection_[16];
    GLuint black_ = 0;
};

// Floats a vertex takes in feedback mode: window x, y, z, RGBA, then texture s, t, r, q.
inline constexpr int kFeedbackVertex = 11;
// The scene's polygons as the renderer draws them into the target, read back in feedback
// mode into a buffer of `floats` values: `polygon(vertices, count)` for each, none when the
// buffer overflows.
void scenePolygons(const GlEntryPoints& gl, const Target& target, int floats,
                   const std::function<void(const GLfloat* vertices, int count)>& polygon);

// The driver's sample positions for a multisampled target, as (x, y) pairs in a pixel.
std::vector<float> samplePositions(const GlEntryPoints& gl, const Target& target);

// Sample counts worth asking for: 0, 1, the counts the driver lists and the powers of two
// up to GL_MAX_SAMPLES, ascending.
std::vector<int> sampleRequests(const GlEntryPoints& gl);

}  // namespace measure
