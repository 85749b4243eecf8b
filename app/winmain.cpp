// The program's entry: start-up in its fixed order, the one-message-then-one-frame loop,
// and shutdown in reverse.
#include "app/app.h"

#include "input/input.h"
#include "mesh/mesh.h"
#include "render/gfx.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    gWindow = appCreateWindow(instance, showCommand);
    // Without a window GetDC(nullptr) would hand the renderer the whole screen.
    if (gWindow == nullptr) return -1;
    gInstance = instance;

    int status = gfxInit(gWindow);
    if (status < 0) {
        DestroyWindow(gWindow);
        gfxShutdown();
        return status;
    }
    meshBuild();
    inputInit(gInstance, gWindow);
    gAppActive = 1;
    gHasFocus = 1;

    status = appRunLoop(status);

    inputRelease();
    gfxShutdown();
    return status;
}
