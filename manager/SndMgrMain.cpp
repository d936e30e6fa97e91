// SndMgr: the box manager.
#include <windows.h>

#include "manager/ManagerApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    try {
        return RunManager(commandLine ? commandLine : "");
    } catch (...) {
        // An exception cannot unwind through system code on i686; end here.
        return 1;
    }
}
