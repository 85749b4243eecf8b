// The contract header: the one place the system's code gets its platform from. It gives
// exactly the Win32, GDI, WGL, OpenGL 1.1 + GLU and DirectInput 7 subset the program uses,
// under their real names and types. On Windows that is the real headers; anywhere else
// platform/linux declares the same subset and implements it over SDL2.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#define DIRECTINPUT_VERSION 0x0700
#include <windows.h>
#include <dinput.h>
#include <GL/gl.h>
#include <GL/glu.h>
#else
#include "platform/linux/win32_subset.h"
#include <GL/gl.h>
#include <GL/glu.h>
#endif

#include <GL/glext.h>

// The program's entry point, called by the C runtime on Windows and by platform/linux's main.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
