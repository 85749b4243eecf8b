// The renderer: the OpenGL context and its fixed state, the multitexture extension, the
// test texture, the test-pattern frame and the textured quad.
#pragma once

#include "mesh/vec.h"
#include "platform/win32.h"

extern HGLRC gGlContext;
extern GLuint gTestTexture;
extern int gTextureUnits;
extern float gRotX;
extern float gRotY;
extern float gRotZ;

// The ARB_multitexture entry points, null until gfxInitMultitexture finds them.
extern PFNGLACTIVETEXTUREARBPROC gActiveTextureARB;
extern PFNGLCLIENTACTIVETEXTUREARBPROC gClientActiveTextureARB;
extern PFNGLMULTITEXCOORD1DARBPROC gMultiTexCoord1dARB;
extern PFNGLMULTITEXCOORD1DVARBPROC gMultiTexCoord1dvARB;
extern PFNGLMULTITEXCOORD1FARBPROC gMultiTexCoord1fARB;
extern PFNGLMULTITEXCOORD1FVARBPROC gMultiTexCoord1fvARB;
extern PFNGLMULTITEXCOORD1IARBPROC gMultiTexCoord1iARB;
extern PFNGLMULTITEXCOORD1IVARBPROC gMultiTexCoord1ivARB;
extern PFNGLMULTITEXCOORD1SARBPROC gMultiTexCoord1sARB;
extern PFNGLMULTITEXCOORD1SVARBPROC gMultiTexCoord1svARB;
extern PFNGLMULTITEXCOORD2DARBPROC gMultiTexCoord2dARB;
extern PFNGLMULTITEXCOORD2DVARBPROC gMultiTexCoord2dvARB;
extern PFNGLMULTITEXCOORD2FARBPROC gMultiTexCoord2fARB;
extern PFNGLMULTITEXCOORD2FVARBPROC gMultiTexCoord2fvARB;
extern PFNGLMULTITEXCOORD2IARBPROC gMultiTexCoord2iARB;
extern PFNGLMULTITEXCOORD2IVARBPROC gMultiTexCoord2ivARB;
extern PFNGLMULTITEXCOORD2SARBPROC gMultiTexCoord2sARB;
extern PFNGLMULTITEXCOORD2SVARBPROC gMultiTexCoord2svARB;
extern PFNGLMULTITEXCOORD3DARBPROC gMultiTexCoord3dARB;
extern PFNGLMULTITEXCOORD3DVARBPROC gMultiTexCoord3dvARB;
extern PFNGLMULTITEXCOORD3FARBPROC gMultiTexCoord3fARB;
extern PFNGLMULTITEXCOORD3FVARBPROC gMultiTexCoord3fvARB;
extern PFNGLMULTITEXCOORD3IARBPROC gMultiTexCoord3iARB;
extern PFNGLMULTITEXCOORD3IVARBPROC gMultiTexCoord3ivARB;
extern PFNGLMULTITEXCOORD3SARBPROC gMultiTexCoord3sARB;
extern PFNGLMULTITEXCOORD3SVARBPROC gMultiTexCoord3svARB;
extern PFNGLMULTITEXCOORD4DARBPROC gMultiTexCoord4dARB;
extern PFNGLMULTITEXCOORD4DVARBPROC gMultiTexCoord4dvARB;
extern PFNGLMULTITEXCOORD4FARBPROC gMultiTexCoord4fARB;
extern PFNGLMULTITEXCOORD4FVARBPROC gMultiTexCoord4fvARB;
extern PFNGLMULTITEXCOORD4IARBPROC gMultiTexCoord4iARB;
extern PFNGLMULTITEXCOORD4IVARBPROC gMultiTexCoord4ivARB;
extern PFNGLMULTITEXCOORD4SARBPROC gMultiTexCoord4sARB;
extern PFNGLMULTITEXCOORD4SVARBPROC gMultiTexCoord4svARB;

// Gives the window its context, creates the test texture and sets the fixed state.
// 0 on success, -1 when no context could be made.
int gfxInit(HWND window);
// The steps of gfxInit after its context is current: the test texture and the fixed
// state, so that a context made elsewhere (an offscreen one) gets the same.
void gfxInitState();
// Deletes the texture, then the context. Always 0; harmless after a failed gfxInit.
int gfxShutdown();

// Whole-word test of the current context's extension string; false without a context.
// A null or empty name, or one with a blank, is never listed.
BYTE gfxHasExtension(const char* name);
// The same test on a given extension string, which may be null.
BYTE gfxExtensionListed(const char* extensions, const char* name);
// Looks up the multitexture entry points; returns the texture-unit count, or 1.
int gfxInitMultitexture();

void gfxCreateTestTexture();
void gfxDeleteTestTexture();

// Draws the scene into the back buffer (everything but the swap).
void gfxDrawScene();
// Draws the scene and presents it in the window. Always 0.
int gfxDrawFrame(HWND window);

// One quad with the whole test texture and the face normal of its first three corners.
void gfxDrawTexturedQuad(Vec3f p0, Vec3f p1, Vec3f p2, Vec3f p3);
