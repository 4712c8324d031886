// Mirsa.exe: one save run per start, driven by the command line.
#include <windows.h>

#include "common/win32/win32_platform.h"
#include "mirsa/save.h"
#include "mirsa/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    common::Win32Platform platform;
    // Screenshots and converters plug into these hooks; this build has none,
    // so "png", "chm" and "pdb" runs end after their checks without saving.
    mirsa::SaveHooks hooks;
    mirsa::RunMirsa(platform, hooks);
    return 0;
}
