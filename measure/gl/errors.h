// OpenGL's error queue, read with a bound: a lost context can report an error on every
// call, so a loop until GL_NO_ERROR would never end.
#pragma once

#include "platform/win32.h"

#include <string>

namespace measure {

// The most errors one drain reads; a live context holds one per kind of error at most.
inline constexpr int kMaxDrainedErrors = 64;

// An OpenGL error code's name, such as "GL_INVALID_OPERATION".
std::string glErrorName(GLenum error);
// Discards the pending OpenGL errors, so that the next check sees only its own, and returns
// the first of them (GL_NO_ERROR when none was pending).
GLenum clearGlErrors();

}  // namespace measure
