#include "tests/support/frame_counter.h"

namespace {

template <typename F>
F entryPoint(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

}  // namespace

FrameCounter::FrameCounter()
    : genQueries_(entryPoint<PFNGLGENQUERIESPROC>("glGenQueries")),
      beginQuery_(entryPoint<PFNGLBEGINQUERYPROC>("glBeginQuery")),
      endQuery_(entryPoint<PFNGLENDQUERYPROC>("glEndQuery")),
      getResult_(entryPoint<PFNGLGETQUERYOBJECTUIVPROC>("glGetQueryObjectuiv")) {
    if (!genQueries_ || !beginQuery_ || !endQuery_ || !getResult_) return;
    genQueries_(1, &query_);
    start();
    gfxDrawScene();
    samplesPerFrame_ = takeSamples();
}

void FrameCounter::start() { beginQuery_(GL_SAMPLES_PASSED, query_); }

GLuint FrameCounter::takeSamples() {
    endQuery_(GL_SAMPLES_PASSED);
    GLuint samples = 0;
    getResult_(query_, GL_QUERY_RESULT, &samples);
    return samples;
}

long FrameCounter::stop() {
    GLuint samples = takeSamples();
    if (samplesPerFrame_ == 0 || samples % samplesPerFrame_ != 0) return -1;
    return (long)(samples / samplesPerFrame_);
}
