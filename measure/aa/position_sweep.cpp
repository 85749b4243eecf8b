// The sweep: a corner drawn at 1/64-pixel steps across one pixel, its coverage counted from
// the resolved picture, the positions recovered from the counts.
#include "measure/aa/position_sweep.h"

#include "render/gfx.h"

#include <algorithm>
#include <cmath>

namespace measure {

bool measurePositions(const GlEntryPoints& gl, const Target& target, std::vector<float>& xy, std::string& why) {
    const int n = kSweepSteps;
    if (target.width < n || target.height < n) {
        why = "the target is smaller than the sweep's " + std::to_string(n) + "x" + std::to_string(n) + " pixels";
        return false;
    }
    clearGlErrors();
    if (gl.bindFramebuffer) gl.bindFramebuffer(GL_FRAMEBUFFER, target.window ? 0 : target.draw);
    if (target.window) glDrawBuffer(GL_BACK);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, n, 0, n, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (GLenum cap : {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_BLEND, GL_LIGHTING, GL_CULL_FACE, GL_ALPHA_TEST, GL_FOG,
                       GL_SCISSOR_TEST, GL_DITHER})
        glDisable(cap);
    glEnable(GL_MULTISAMPLE);
    glViewport(0, 0, n, n);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    // Pixel (i, j) holds a rectangle from its corner moved by ((i - 0.5) / n, (j - 0.5) / n)
    // to its far corner: the half step keeps every edge off the positions a driver uses
    // (multiples of 1/n), so the fill rule for a sample on an edge never matters.
    glBegin(GL_QUADS);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const double x0 = i + (i - 0.5) / n, y0 = j + (j - 0.5) / n;
            glVertex2d(x0, y0);
            glVertex2d(i + 1, y0);
            glVertex2d(i + 1, j + 1);
            glVertex2d(x0, j + 1);
        }
    glEnd();
    GLuint readFrom = target.window ? 0 : target.draw;
    if (target.resolve) {
        gl.bindFramebuffer(GL_READ_FRAMEBUFFER, readFrom);
        gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, target.resolve);
        gl.blitFramebuffer(0, 0, n, n, 0, 0, n, n, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        readFrom = target.resolve;
    }
    if (gl.bindFramebuffer) gl.bindFramebuffer(GL_READ_FRAMEBUFFER, readFrom);
    if (target.window && !target.resolve) glReadBuffer(GL_BACK);
    std::vector<std::uint8_t> rgb((std::size_t)n * n * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, n, n, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
    if (gl.bindFramebuffer) gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        why = "OpenGL error " + std::to_string(error) + " during the sweep";
        return false;
    }
    const int samples = std::max(1, target.granted);
    std::vector<int> counts((std::size_t)n * n);
    // Rows come bottom first, as the sweep counts j upwards; green holds the resolved coverage.
    for (std::size_t p = 0; p < counts.size(); ++p) counts[p] = (int)std::lround(rgb[p * 3 + 1] * samples / 255.0);
    return recoverPositions(counts, samples, xy, why);
}

SamplePositions samplePositionsOf(const GlEntryPoints& gl, const Target& target, const std::string& name) {
    SamplePositions s;
    s.target = name;
    s.samples = target.granted;
    s.driver = samplePositions(gl, target);
    if (!measurePositions(gl, target, s.measured, s.why)) {
        s.check = PositionsCheck::NotMeasured;
        return s;
    }
    s.why.clear();
    if (s.driver.empty()) {
        s.check = PositionsCheck::NotReported;
        return s;
    }
    // The sweep places each sample within half a step; one step allows for either side.
    s.agree = samePoints(s.measured, s.driver, 1.0 / kSweepSteps + 1e-6);
    s.check = s.agree ? PositionsCheck::Agree : PositionsCheck::Differ;
    return s;
}

}  // namespace measure
