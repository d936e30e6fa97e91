// Sendora: the upload engine. One copy per box, named after the box.
#include <windows.h>

#include "engine/EngineStartup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    try {
        return RunEngine(instance, commandLine ? commandLine : "");
    } catch (...) {
        // An exception cannot unwind through system code on i686; end here.
        return ExitFailed;
    }
}
