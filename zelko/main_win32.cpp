// Zelko.exe: the hidden main window runs the start sequence as the last step
// of its creation. A request ends the program before the window is shown.
#include "common/win32/win32_api.h"
#include "common/win32/win32_platform.h"
#include "zelko/intake.h"

namespace {

const char kWindowClass[] = "ZelkoMainWindow";
constexpr int kWidth = 420, kHeight = 360;

struct App {
    common::Win32Platform platform;
    zelko::StartResult start;
    bool terminate = false;
};
App* g_app = nullptr;

void RunStart(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    g_app->start = zelko::StartZelko(g_app->platform, place.left, place.top);
    const zelko::ZelkoSettings& s = g_app->start.settings;
    SetWindowPos(window, nullptr, s.left, s.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    switch (g_app->start.mode) {
        case zelko::StartMode::RequestDone:
        case zelko::StartMode::AlreadyOpen:
            g_app->terminate = true;
            break;
        case zelko::StartMode::Settings:
            // The settings window is built on this window from g_app->start
            // (settings, browserInstalled); until it exists the run ends here.
            g_app->terminate = true;
            break;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            RunStart(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    App app;
    g_app = &app;

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);

    HWND window = CreateWindowExA(0, kWindowClass, "Zelko", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  zelko::kDefaultLeft, zelko::kDefaultTop, kWidth, kHeight,
                                  nullptr, nullptr, instance, nullptr);
    if (window != nullptr && !app.terminate) {
        MSG msg;
        while (!app.terminate && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    if (app.start.settingsMutex != 0) app.platform.ReleaseMutex(app.start.settingsMutex);
    g_app = nullptr;
    return 0;
}
