// Counts the frames drawn between start and stop by the samples they pass the depth
// test with: every frame clears and draws the same fifteen blades, so the total is a
// whole multiple of one frame's samples.
#pragma once

#include "render/gfx.h"

class FrameCounter {
public:
    FrameCounter();
    bool ready() const { return beginQuery_ && endQuery_ && getResult_ && samplesPerFrame_ > 0; }
    void start();
    // Frames drawn since start; -1 if the total is not a whole number of frames.
    long stop();

private:
    GLuint takeSamples();
    PFNGLGENQUERIESPROC genQueries_ = nullptr;
    PFNGLBEGINQUERYPROC beginQuery_ = nullptr;
    PFNGLENDQUERYPROC endQuery_ = nullptr;
    PFNGLGETQUERYOBJECTUIVPROC getResult_ = nullptr;
    GLuint query_ = 0;
    GLuint samplesPerFrame_ = 0;
};
