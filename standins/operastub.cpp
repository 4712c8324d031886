// Plays the browser for the programs under test: its main window with the
// page-view children, its DDE service, and the Run flag in its profile.
// Settings: section [Browser] of <exe name>.ini or operastub.ini beside it,
// each overridable on the command line as --title=, --url=, --log=,
// --profile=, --norunflag; the log path also from %OPERASTUB_LOG%;
// --minimized=1 starts it minimised.
//   Title      page title (window text: Title + " - Opera")
//   Url        page address (the WWW_GetWindowInfo reply)
//   Profile    the opera6.ini whose State/Run it sets (default: profile\opera6.ini here)
//   NoRunFlag  1: leave every profile file alone
// Every other argument is only logged, as a browser would take it.
#include "common/win32/win32_api.h"
#include <ddeml.h>

#include <string>
#include <vector>

#include "standins/operastub_save.h"
#include "standins/operastub_selection.h"
#include "standins/support/standin.h"

namespace {

// --- settings ---

constexpr const char* kSection = "Browser";

struct BrowserConfig {
    std::string title;
    std::string url;
    std::string log;
    std::string profileIni;
    bool runFlag = true;
};

BrowserConfig ReadConfig(const std::vector<std::string>& args) {
    auto& p = standin::Platform();
    std::string ini = standin::ConfigIni("operastub");
    auto setting = [&](const char* key, const char* flag, const std::string& def) {
        std::string given = standin::SwitchValue(args, flag);
        return given.empty() ? p.IniReadString(ini, kSection, key, def) : given;
    };
    BrowserConfig c;
    c.title = setting("Title", "--title", "Stand-in Page");
    c.url = setting("Url", "--url", "http://stand-in.example/page.html");
    c.log = standin::SwitchValue(args, "--log");
    if (c.log.empty()) c.log = standin::LogPath(ini, kSection, "OPERASTUB_LOG");
    c.profileIni = setting("Profile", "--profile", standin::ExeFolder() + "profile\\opera6.ini");
    c.runFlag = setting("NoRunFlag", "--norunflag", "0") == "0";
    return c;
}

BrowserConfig g_config;

void Log(const standin::Record& record) { standin::AppendRecord(g_config.log, record); }

// --- profile ---

void SetRunFlag(bool running) {
    if (!g_config.runFlag) return;
    std::string folder = g_config.profileIni.substr(0, g_config.profileIni.find_last_of('\\') + 1);
    if (!folder.empty()) CreateDirectoryA(folder.c_str(), nullptr);
    WritePrivateProfileStringA("State", "Run", running ? "1" : "0", g_config.profileIni.c_str());
}

// --- windows ---
// OpWindow "<title> - Opera"
//   OperaWindowClass "Toolbar"
//   OperaWindowClass "<title>"            the page's window
//     OperaWindowClass -> OpWindow -> OperaWindowClass -> OperaWindowClass (page view)

constexpr const char* kMainClass = "OpWindow";
constexpr const char* kInnerClass = "OperaWindowClass";
constexpr int kToolbarHeight = 28;

enum class Role : LONG_PTR { Main = 1, Toolbar, Frame, PageView };

struct BrowserWindows {
    HWND main = nullptr;
    HWND page = nullptr;
    HWND pageView = nullptr;
};
BrowserWindows g_windows;

Role RoleOf(HWND window) { return static_cast<Role>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// Four coloured quadrants, so a capture of the page view can be checked by pixel.
void PaintPattern(HDC dc, const RECT& r) {
    int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
    struct Quadrant {
        RECT rect;
        COLORREF colour;
    } quadrants[] = {
        {{r.left, r.top, midX, midY}, RGB(255, 0, 0)},
        {{midX, r.top, r.right, midY}, RGB(0, 255, 0)},
        {{r.left, midY, midX, r.bottom}, RGB(0, 0, 255)},
        {{midX, midY, r.right, r.bottom}, RGB(255, 255, 0)},
    };
    for (const Quadrant& q : quadrants) {
        HBRUSH brush = CreateSolidBrush(q.colour);
        FillRect(dc, &q.rect, brush);
        DeleteObject(brush);
    }
}

void PaintAddressBar(HDC dc, const RECT& r) {
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    RECT text = {r.left + 8, r.top, r.right - 8, r.bottom};
    SetBkMode(dc, TRANSPARENT);
    std::string line = g_config.url + "   |   " + g_config.title;
    DrawTextA(dc, line.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

void FillParent(HWND child, HWND parent, int top) {
    RECT r;
    GetClientRect(parent, &r);
    MoveWindow(child, 0, top, r.right, r.bottom - top > 0 ? r.bottom - top : 0, TRUE);
}

void LayOut(HWND window) {
    if (RoleOf(window) == Role::Main) {
        RECT r;
        GetClientRect(window, &r);
        HWND toolbar = GetWindow(window, GW_CHILD);
        if (toolbar) MoveWindow(toolbar, 0, 0, r.right, kToolbarHeight, TRUE);
        if (g_windows.page) FillParent(g_windows.page, window, kToolbarHeight);
    } else if (RoleOf(window) == Role::Frame) {
        if (HWND child = GetWindow(window, GW_CHILD)) FillParent(child, window, 0);
    }
}

// --- keyboard and mouse: each chord is logged, so tests see what arrived ---

bool CtrlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

void OnKeyDown(WPARAM key) {
    standin::Record r = standin::EventRecord("key");
    r.Set("vk", std::to_string(key));
    r.Set("ctrl", CtrlDown() ? "1" : "0");
    Log(r);
    if (key == 'S' && CtrlDown()) savedialog::Request(savedialog::Kind::Page);
    if (key == VK_INSERT && CtrlDown()) selection::CopyOnCtrlInsert();
}

void OnPageClick(WPARAM modifiers, LPARAM where) {
    standin::Record r = standin::EventRecord("click");
    r.Set("ctrl", (modifiers & MK_CONTROL) ? "1" : "0");
    r.Set("x", std::to_string(static_cast<short>(LOWORD(where))));
    r.Set("y", std::to_string(static_cast<short>(HIWORD(where))));
    Log(r);
    if (modifiers & MK_CONTROL) savedialog::Request(savedialog::Kind::Image);
}

LRESULT CALLBACK BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (savedialog::HandleMessage(window, message, wParam, lParam)) return 0;
    switch (message) {
    case WM_SIZE:
        LayOut(window);
        return 0;
    case WM_PAINT:
        if (RoleOf(window) == Role::PageView || RoleOf(window) == Role::Toolbar) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT r;
            GetClientRect(window, &r);
            if (RoleOf(window) == Role::PageView) PaintPattern(dc, r);
            else PaintAddressBar(dc, r);
            EndPaint(window, &ps);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (RoleOf(window) == Role::Main && g_windows.pageView) SetFocus(g_windows.pageView);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return 0;
    case WM_LBUTTONDOWN:
        if (RoleOf(window) == Role::PageView) OnPageClick(wParam, lParam);
        return 0;
    case WM_CLOSE:
        if (RoleOf(window) == Role::Main) {
            Log(standin::EventRecord("close"));
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (RoleOf(window) == Role::Main) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
    for (const char* name : {kMainClass, kInnerClass}) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = BrowserWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = name;
        if (!RegisterClassA(&wc)) return false;
    }
    return true;
}

HWND MakeWindow(const char* cls, const std::string& text, DWORD style, HWND parent, Role role) {
    HWND w = CreateWindowExA(0, cls, text.c_str(), style, 0, 0, 100, 100, parent, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (w) SetWindowLongPtrA(w, GWLP_USERDATA, static_cast<LONG_PTR>(role));
    return w;
}

bool CreateBrowserWindows() {
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    HWND main = CreateWindowExA(0, kMainClass, (g_config.title + " - Opera").c_str(),
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 60, 40, 640, 480, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!main) return false;
    SetWindowLongPtrA(main, GWLP_USERDATA, static_cast<LONG_PTR>(Role::Main));
    g_windows.main = main;
    MakeWindow(kInnerClass, "Toolbar", child, main, Role::Toolbar);
    g_windows.page = MakeWindow(kInnerClass, g_config.title, child, main, Role::Frame);
    HWND frame = MakeWindow(kInnerClass, "", child, g_windows.page, Role::Frame);
    HWND document = MakeWindow(kMainClass, "", child, frame, Role::Frame);
    HWND view = MakeWindow(kInnerClass, "", child, document, Role::Frame);
    g_windows.pageView = MakeWindow(kInnerClass, "", child, view, Role::PageView);
    if (!g_windows.page || !frame || !document || !view || !g_windows.pageView) return false;
    ShowWindow(main, SW_SHOW);
    LayOut(main);
    for (HWND w : {g_windows.page, frame, document, view}) LayOut(w);
    UpdateWindow(main);
    SetForegroundWindow(main);
    SetFocus(g_windows.pageView);
    return true;
}

// --- DDE service "Opera" ---

DWORD g_ddeInstance = 0;
HSZ g_service = nullptr;

std::string QueryString(HSZ handle) {
    char buffer[4096] = {};
    DdeQueryStringA(g_ddeInstance, handle, buffer, sizeof buffer, CP_WINANSI);
    return buffer;
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

HDDEDATA TextReply(const std::string& text, HSZ item) {
    return DdeCreateDataHandle(g_ddeInstance,
                               reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())),
                               static_cast<DWORD>(text.size() + 1), 0, item, CF_TEXT, 0);
}

HDDEDATA CALLBACK DdeServerCallback(UINT type, UINT format, HCONV, HSZ topicHandle, HSZ itemHandle,
                                    HDDEDATA, ULONG_PTR, ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT: {
        std::string topic = QueryString(topicHandle);
        bool known = SameText(topic, "WWW_GetWindowInfo") || SameText(topic, "WWW_OpenURL");
        return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(known ? TRUE : FALSE));
    }
    case XTYP_REQUEST: {
        std::string topic = QueryString(topicHandle), item = QueryString(itemHandle);
        standin::Record r = standin::EventRecord("dde");
        r.Set("topic", topic);
        r.Set("item", item);
        Log(r);
        if (SameText(topic, "WWW_GetWindowInfo")) {
            if (format != CF_TEXT || !SameText(item, "0xFFFFFFFF")) return nullptr;
            return TextReply("\"" + g_config.url + "\",\"" + g_config.title + "\"", itemHandle);
        }
        if (SameText(topic, "WWW_OpenURL")) return TextReply("1", itemHandle);
        return nullptr;
    }
    case XTYP_POKE:
    case XTYP_EXECUTE:
        return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(DDE_FNOTPROCESSED));
    }
    return nullptr;
}

bool StartDdeService() {
    if (DdeInitializeA(&g_ddeInstance, DdeServerCallback,
                       APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_SKIP_REGISTRATIONS |
                           CBF_SKIP_UNREGISTRATIONS,
                       0) != DMLERR_NO_ERROR)
        return false;
    g_service = DdeCreateStringHandleA(g_ddeInstance, "Opera", CP_WINANSI);
    return g_service && DdeNameService(g_ddeInstance, g_service, nullptr, DNS_REGISTER);
}

void StopDdeService() {
    if (!g_ddeInstance) return;
    if (g_service) {
        DdeNameService(g_ddeInstance, g_service, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(g_ddeInstance, g_service);
    }
    DdeUninitialize(g_ddeInstance);
    g_ddeInstance = 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::vector<std::string> args = standin::SplitArgs(standin::Platform().CommandLine());
    g_config = ReadConfig(args);

    standin::Record start = standin::StartRecord("start");
    start.Set("title", g_config.title);
    start.Set("url", g_config.url);
    Log(start);

    if (!RegisterClasses(instance) || !CreateBrowserWindows()) {
        Log(standin::EventRecord("failed"));
        return 1;
    }
    bool dde = StartDdeService();
    SetRunFlag(true);
    standin::Record ready = standin::EventRecord("ready");
    ready.Set("dde", dde ? "1" : "0");
    // Client sizes, so a test can check a capture of either window.
    RECT view, main;
    GetClientRect(g_windows.pageView, &view);
    GetClientRect(g_windows.main, &main);
    ready.Set("viewWidth", std::to_string(view.right));
    ready.Set("viewHeight", std::to_string(view.bottom));
    ready.Set("mainWidth", std::to_string(main.right));
    ready.Set("mainHeight", std::to_string(main.bottom));
    ready.Set("toolbarHeight", std::to_string(kToolbarHeight));
    if (standin::SwitchValue(args, "--minimized") == "1") ShowWindow(g_windows.main, SW_MINIMIZE);
    ready.Set("minimized", IsIconic(g_windows.main) ? "1" : "0");
    Log(ready);
    savedialog::Start(g_windows.main, g_windows.pageView, args, standin::ConfigIni("operastub"),
                      g_config.title, g_config.url, Log);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    StopDdeService();
    SetRunFlag(false);
    Log(standin::EventRecord("exit"));
    return 0;
}
