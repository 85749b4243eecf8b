// An OpenGL context with no window, for tools that render only into framebuffer objects.
// While it is current the platform's wglGetProcAddress answers for it, so code that looks
// up entry points works the same as with a window's context.
#pragma once

// Creates a compatibility context with no window and makes it current. False, with a
// one-line reason in `reason` (at least 160 bytes), where the platform has none.
bool headlessCreate(char* reason, int reasonBytes);
// Releases the context made by headlessCreate; harmless when none was made.
void headlessRelease();
