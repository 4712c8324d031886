// Mirsa.exe: one save run per start, driven by the command line.
#include <windows.h>

#include "common/win32/win32_platform.h"
#include "mirsa/save.h"
#include "mirsa/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    common::Win32Platform platform;
    mirsa::RunMirsa(platform, mirsa::BuiltInSaveHooks());
    return 0;
}
