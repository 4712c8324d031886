// tarvel.exe: no window of its own, one pass, exit code 0.
#include "common/win32/win32_api.h"

#include "common/win32/win32_platform.h"
#include "tarvel/launch.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    common::Win32Platform platform;
    tarvel::RunTarvel(platform);
    return 0;
}
