// A program that starts and ends at once: the floor of a process start for
// the Wine bench, and a FlashGot.exe that takes a job and does nothing.
#include "common/win32/win32_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
