// Frames through the program's renderer, into the window or framebuffer objects.
#include "measure/gl/scene.h"

#include "render/gfx.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

namespace measure {
namespace {

// An entry point beyond OpenGL 1.1, looked up the way the renderer looks up its own.
template <typename F>
F entry(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

// Seconds on a steady clock.
double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

int glVersionNumber() {
    int major = 0, minor = 0;
    if (const char* text = reinterpret_cast<const char*>(glGetString(GL_VERSION)))
        std::sscanf(text, "%d.%d", &major, &minor);
    return major * 10 + minor;
}

GlEntryPoints loadEntryPoints() {
    GlEntryPoints gl;
    // Each entry point below is core from one version.
    const int version = glVersionNumber();
    if (version >= 30 || gfxHasExtension("GL_ARB_framebuffer_object")) {
        gl.genFramebuffers = entry<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
        gl.deleteFramebuffers = entry<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers");
        gl.bindFramebuffer = entry<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
        gl.framebufferRenderbuffer = entry<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
        gl.checkFramebufferStatus = entry<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
        gl.genRenderbuffers = entry<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
        gl.deleteRenderbuffers = entry<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers");
        gl.bindRenderbuffer = entry<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
        gl.renderbufferStorage = entry<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
        gl.renderbufferStorageMultisample =
            entry<PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC>("glRenderbufferStorageMultisample");
        gl.getRenderbufferParameteriv = entry<PFNGLGETRENDERBUFFERPARAMETERIVPROC>("glGetRenderbufferParameteriv");
        gl.blitFramebuffer = entry<PFNGLBLITFRAMEBUFFERPROC>("glBlitFramebuffer");
        gl.generateMipmap = entry<PFNGLGENERATEMIPMAPPROC>("glGenerateMipmap");
        gl.framebuffers = gl.genFramebuffers && gl.deleteFramebuffers && gl.bindFramebuffer &&
                          gl.framebufferRenderbuffer && gl.checkFramebufferStatus && gl.genRenderbuffers &&
                          gl.deleteRenderbuffers && gl.bindRenderbuffer && gl.renderbufferStorage &&
                          gl.renderbufferStorageMultisample && gl.getRenderbufferParameteriv && gl.blitFramebuffer &&
                          gl.generateMipmap;
    }
    if (version >= 42 || gfxHasExtension("GL_ARB_internalformat_query"))
        gl.getInternalformativ = entry<PFNGLGETINTERNALFORMATIVPROC>("glGetInternalformativ");
    if (version >= 32 || gfxHasExtension("GL_ARB_texture_multisample"))
        gl.getMultisamplefv = entry<PFNGLGETMULTISAMPLEFVPROC>("glGetMultisamplefv");
    if (version >= 33 || gfxHasExtension("GL_ARB_timer_query")) {
        gl.genQueries = entry<PFNGLGENQUERIESPROC>("glGenQueries");
        gl.deleteQueries = entry<PFNGLDELETEQUERIESPROC>("glDeleteQueries");
        gl.beginQuery = entry<PFNGLBEGINQUERYPROC>("glBeginQuery");
        gl.endQuery = entry<PFNGLENDQUERYPROC>("glEndQuery");
        gl.getQueryObjectui64v = entry<PFNGLGETQUERYOBJECTUI64VPROC>("glGetQueryObjectui64v");
        gl.timerQueries = gl.genQueries && gl.deleteQueries && gl.beginQuery && gl.endQuery && gl.getQueryObjectui64v;
    }
    gl.anisotropic = gfxHasExtension("GL_EXT_texture_filter_anisotropic");
    if (gl.anisotropic) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &gl.maxAnisotropy);
    return gl;
}

Target windowTarget(const GlEntryPoints& gl, int width, int height) {
    Target t;
    t.width = width;
    t.height = height;
    t.window = true;
    if (gl.framebuffers) gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    t.granted = samples;
    // Mesa's llvmpipe reads a multisampled back buffer as its first sample alone, where
    // the swap shows it resolved; a blit resolves it as the driver does.
    if (samples > 0 && gl.framebuffers) {
        gl.genRenderbuffers(1, &t.buffers[2]);
        gl.bindRenderbuffer(GL_RENDERBUFFER, t.buffers[2]);
        gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        gl.genFramebuffers(1, &t.resolve);
        gl.bindFramebuffer(GL_FRAMEBUFFER, t.resolve);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, t.buffers[2]);
        gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    return t;
}

bool makeTarget(const GlEntryPoints& gl, int width, int height, int samples, Target& target, std::string& reason) {
    target = Target{};
    target.width = width;
    target.height = height;
    target.requested = samples;
    clearGlErrors();
    gl.genRenderbuffers(3, target.buffers);
    gl.bindRenderbuffer(GL_RENDERBUFFER, target.buffers[0]);
    gl.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    GLint granted = 0;
    gl.getRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &granted);
    gl.bindRenderbuffer(GL_RENDERBUFFER, target.buffers[1]);
    // The window asks for a 32-bit depth buffer; the same depth format where offered.
    gl.renderbufferStorageMultisample(GL_RENDERBUFFER, granted, GL_DEPTH_COMPONENT32, width, height);
    if (glGetError() != GL_NO_ERROR)
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, granted, GL_DEPTH_COMPONENT24, width, height);
    GLenum error = glGetError();
    target.granted = granted;
    gl.genFramebuffers(1, &target.draw);
    gl.bindFramebuffer(GL_FRAMEBUFFER, target.draw);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.buffers[0]);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.buffers[1]);
    GLenum status = gl.checkFramebufferStatus(GL_FRAMEBUFFER);
    if (error == GL_NO_ERROR && status == GL_FRAMEBUFFER_COMPLETE && granted > 0) {
        gl.bindRenderbuffer(GL_RENDERBUFFER, target.buffers[2]);
        gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        gl.genFramebuffers(1, &target.resolve);
        gl.bindFramebuffer(GL_FRAMEBUFFER, target.resolve);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.buffers[2]);
        status = gl.checkFramebufferStatus(GL_FRAMEBUFFER);
        error = glGetError();
    }
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    if (error != GL_NO_ERROR || status != GL_FRAMEBUFFER_COMPLETE) {
        reason = error != GL_NO_ERROR ? glErrorName(error) : "framebuffer incomplete (" + std::to_string(status) + ")";
        releaseTarget(gl, target);
        return false;
    }
    return true;
}

void releaseTarget(const GlEntryPoints& gl, Target& target) {
    if (!gl.framebuffers) return;
    if (target.draw) gl.deleteFramebuffers(1, &target.draw);
    if (target.resolve) gl.deleteFramebuffers(1, &target.resolve);
    gl.deleteRenderbuffers(3, target.buffers);
    target = Target{};
}

Scene::Scene(const GlEntryPoints& gl) : gl_(gl) {
    glGetDoublev(GL_PROJECTION_MATRIX, projection_);
    const GLubyte black[4] = {0, 0, 0, 255};
    glGenTextures(1, &black_);
    glBindTexture(GL_TEXTURE_2D, black_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
}

Scene::~Scene() { glDeleteTextures(1, &black_); }

void Scene::check(const char* what) {
    GLenum error = clearGlErrors();
    if (error != GL_NO_ERROR && error_.empty()) error_ = std::string(what) + ": " + glErrorName(error);
}

std::string Scene::takeError() {
    std::string error;
    error.swap(error_);
    return error;
}

void Scene::draw(const Target& target, double dx, double dy, bool coverage) {
    if (gl_.bindFramebuffer) gl_.bindFramebuffer(GL_FRAMEBUFFER, target.window ? 0 : target.draw);
    if (target.window) {
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
    }
    glViewport(0, 0, target.width, target.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslated(2.0 * dx / target.width, 2.0 * dy / target.height, 0.0);
    glMultMatrixd(projection_);
    if (coverage) glBindTexture(GL_TEXTURE_2D, black_);
    gfxDrawScene();
    if (coverage) glBindTexture(GL_TEXTURE_2D, gTestTexture);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection_);
    check("draw");
    if (target.resolve) {
        gl_.bindFramebuffer(GL_READ_FRAMEBUFFER, target.window ? 0 : target.draw);
        gl_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, target.resolve);
        gl_.blitFramebuffer(0, 0, target.width, target.height, 0, 0, target.width, target.height, GL_COLOR_BUFFER_BIT,
                            GL_NEAREST);
        check("resolve blit");
    }
}

Image Scene::render(const Target& target, double dx, double dy, bool coverage, double* seconds) {
    double start = now();
    draw(target, dx, dy, coverage);
    if (seconds) {
        glFinish();
        *seconds += now() - start;
    }
    if (gl_.bindFramebuffer)
        gl_.bindFramebuffer(GL_READ_FRAMEBUFFER, target.resolve ? target.resolve : target.window ? 0 : target.draw);

    Image image(target.width, target.height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, target.width, target.height, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    check("read-back");
    // OpenGL's rows run bottom to top: turned over in place.
    const std::size_t stride = (std::size_t)target.width * 3;
    for (int y = 0; y < target.height / 2; ++y)
        std::swap_ranges(image.rgb.begin() + (std::ptrdiff_t)(y * stride),
                         image.rgb.begin() + (std::ptrdiff_t)((y + 1) * stride),
                         image.rgb.begin() + (std::ptrdiff_t)((target.height - 1 - y) * stride));
    return image;
}

double Scene::frameCost(const Target& target, int subframes, int frames, CostMethod& method) {
    const int k = std::max(1, (int)std::lround(std::sqrt((double)subframes)));
    auto oneFrame = [&] {
        for (int i = 0; i < subframes; ++i)
            draw(target, subframes == 1 ? 0.0 : (i % k + 0.5) / k - 0.5, subframes == 1 ? 0.0 : (i / k + 0.5) / k - 0.5,
                 false);
    };
    oneFrame();  // pays for the driver's set-up of this state
    glFinish();
    std::vector<double> ms;
    if (gl_.timerQueries) {
        method = CostMethod::Gpu;
        std::vector<GLuint> queries((std::size_t)frames);
        gl_.genQueries(frames, queries.data());
        for (GLuint q : queries) {
            gl_.beginQuery(GL_TIME_ELAPSED, q);
            oneFrame();
            gl_.endQuery(GL_TIME_ELAPSED);
        }
        for (GLuint q : queries) {
            GLuint64 ns = 0;
            gl_.getQueryObjectui64v(q, GL_QUERY_RESULT, &ns);
            ms.push_back(ns / 1e6);
        }
        gl_.deleteQueries(frames, queries.data());
        check("timer query");
    } else {
        method = CostMethod::Wall;
        for (int f = 0; f < frames; ++f) {
            double start = now();
            oneFrame();
            glFinish();
            ms.push_back((now() - start) * 1000);
        }
    }
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
}

void Scene::supersample(const Target& target, int k, bool coverage, Accumulator& sum, double* seconds, bool rooks,
                        Accumulator* half) {
    // Each sum is added on a second thread while the driver draws the next sample (joined
    // before the next add, and on the way out whatever happens).
    std::jthread adding;
    for (int j = 0; j < k; ++j)
        for (int i = 0; i < k; ++i) {
            // Cell (i, j) takes sub-column j and sub-row i of its cell: every one of the K * K
            // columns and rows then holds one sample, and every cell still one.
            double x = rooks ? (i + (j + 0.5) / k) / k : (i + 0.5) / k;
            double y = rooks ? (j + (i + 0.5) / k) / k : (j + 0.5) / k;
            Image image = render(target, x - 0.5, y - 0.5, coverage, seconds);
            if (adding.joinable()) adding.join();
            Accumulator* also = half && (i + j) % 2 == 0 ? half : nullptr;
            adding = std::jthread([&sum, also, image = std::move(image)] {
                if (also) also->add(image);
                sum.add(image);
            });
        }
    if (adding.joinable()) adding.join();
}

void scenePolygons(const GlEntryPoints& gl, const Target& target, int floats,
                   const std::function<void(const GLfloat* vertices, int count)>& polygon) {
    if (gl.bindFramebuffer) gl.bindFramebuffer(GL_FRAMEBUFFER, target.window ? 0 : target.draw);
    glViewport(0, 0, target.width, target.height);
    std::vector<GLfloat> buffer((std::size_t)floats);
    glFeedbackBuffer(floats, GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    gfxDrawScene();
    const GLint count = glRenderMode(GL_RENDER);
    for (GLint i = 0; i + 1 < count;) {
        if (buffer[i] != GL_POLYGON_TOKEN) break;
        const int n = (int)buffer[i + 1];
        polygon(&buffer[i + 2], n);
        i += 2 + n * kFeedbackVertex;
    }
}

bool Scene::landmarks(const Target& target, double tip[2], double centre[2], double caption[2]) {
    bool found = false;
    double bestMargin = -1e9;
    scenePolygons(gl_, target, 8192, [&](const GLfloat* v, int n) {
        const GLfloat* corner[3] = {nullptr, nullptr, nullptr};
        for (int c = 0; n == 3 && c < 3; ++c) {
            const GLfloat* p = v + c * kFeedbackVertex;
            float s = p[7], t = p[8];
            corner[t < 0.5f ? 0 : s < 0.5f ? 1 : 2] = p;
        }
        if (corner[0] && corner[1] && corner[2]) {
            // The renderer maps texture (1,0) to the centre and (0,1), (1,1) to the rim; a
            // point (s,t) of the image lies at barycentric weights (1-t, 1-s, s+t-1).
            auto place = [&](double s, double t, double out[2]) {
                double w0 = 1 - t, w1 = 1 - s, w2 = s + t - 1;
                out[0] = w0 * corner[0][0] + w1 * corner[1][0] + w2 * corner[2][0];
                out[1] = target.height - (w0 * corner[0][1] + w1 * corner[1][1] + w2 * corner[2][1]);
            };
            double rim[2];
            place(0.0, 1.0, rim);
            // The blade whose rim corner lies farthest inside the picture.
            double margin = std::min({rim[0], rim[1], target.width - rim[0], target.height - rim[1]});
            if (margin > bestMargin) {
                bestMargin = margin;
                tip[0] = rim[0];
                tip[1] = rim[1];
                place(1.0, 0.0, centre);
                // The middle of the caption's larger line, near the rim.
                place(0.55, 0.93, caption);
                found = true;
            }
        }
    });
    return found;
}

bool frameSizeOf(HWND window, int& width, int& height, std::string& reason) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0) {
        reason = "the window has no client area (minimised?); give --size or restore the window";
        return false;
    }
    width = client.right;
    height = client.bottom;
    return true;
}

std::vector<float> samplePositions(const GlEntryPoints& gl, const Target& target) {
    std::vector<float> positions;
    if (!gl.getMultisamplefv || target.granted <= 0) return positions;
    gl.bindFramebuffer(GL_FRAMEBUFFER, target.draw);
    for (int i = 0; i < target.granted; ++i) {
        GLfloat xy[2] = {-1, -1};
        gl.getMultisamplefv(GL_SAMPLE_POSITION, (GLuint)i, xy);
        if (glGetError() != GL_NO_ERROR) return {};
        positions.push_back(xy[0]);
        positions.push_back(xy[1]);
    }
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    return positions;
}

std::vector<int> sampleRequests(const GlEntryPoints& gl) {
    std::set<int> counts = {0, 1};
    GLint maxSamples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    for (int n = 2; n <= maxSamples && n <= 64; n *= 2) counts.insert(n);
    if (gl.getInternalformativ) {
        GLint listed = 0;
        gl.getInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_NUM_SAMPLE_COUNTS, 1, &listed);
        if (listed > 0 && listed < 64) {
            std::vector<GLint> values((std::size_t)listed);
            gl.getInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_SAMPLES, listed, values.data());
            for (GLint v : values)
                if (v > 0 && v <= 64) counts.insert(v);
        }
    }
    clearGlErrors();
    return {counts.begin(), counts.end()};
}

}  // namespace measure
