#include "standins/operastub_save.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "standins/support/standin.h"

namespace savedialog {

namespace {

constexpr UINT kOpenMessage = WM_APP + 0x51;
constexpr UINT_PTR kAutoTimer = 0x5A;

struct Config {
    int dialogs = 1;
    int autoSaveMs = -1;
    std::vector<std::string> proposals;
    std::string imageName = "picture.gif";
    std::string caption = "Save as";
    std::string saveDir;
    bool pointer = false;
    std::string pageBytes;
};

Config g_config;
HWND g_main = nullptr;
HWND g_view = nullptr;
LogFn g_log;
bool g_busy = false;
int g_opened = 0;

// A 1x1 GIF.
const unsigned char kImage[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00,
                                0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21,
                                0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
                                0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44,
                                0x01, 0x00, 0x3B};

std::vector<std::string> SplitBars(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = text.find('|', start);
        out.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

std::string LastPartOf(const std::string& url) {
    std::size_t cut = url.find_first_of("?#");
    std::string path = url.substr(0, cut);
    std::size_t slash = path.find_last_of('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    return last.empty() ? "index.html" : last;
}

bool WriteBytes(const std::string& path, const void* data, DWORD size) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(f, data, size, &written, nullptr);
    CloseHandle(f);
    return ok && written == size;
}

// One dialog; false when the user cancelled it.
bool RunDialog(Kind kind, int index) {
    std::string proposed;
    if (kind == Kind::Image) {
        proposed = g_config.imageName;
    } else if (!g_config.proposals.empty()) {
        proposed = g_config.proposals[std::min<std::size_t>(static_cast<std::size_t>(index),
                                                            g_config.proposals.size() - 1)];
    }
    char file[MAX_PATH * 2] = {};
    lstrcpynA(file, proposed.c_str(), sizeof file);
    static const char kFilter[] =
        "HTML file (*.htm)\0*.htm\0HTML file with images (*.html)\0*.html\0"
        "Web archive (*.mht)\0*.mht\0Text file (*.txt)\0*.txt\0";

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = g_main;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = g_config.saveDir.empty() ? nullptr : g_config.saveDir.c_str();
    ofn.lpstrTitle = g_config.caption.c_str();
    ofn.lpstrDefExt = "htm";
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

    standin::Record opened = standin::EventRecord("dialog");
    opened.Set("number", std::to_string(++g_opened));
    opened.Set("what", kind == Kind::Image ? "image" : "page");
    opened.Set("proposed", proposed);
    g_log(opened);

    BOOL ok = GetSaveFileNameA(&ofn);
    if (!ok) {
        standin::Record r = standin::EventRecord("cancelled");
        r.Set("error", std::to_string(CommDlgExtendedError()));
        g_log(r);
        return false;
    }
    bool written = kind == Kind::Image
                       ? WriteBytes(file, kImage, sizeof kImage)
                       : WriteBytes(file, g_config.pageBytes.data(),
                                    static_cast<DWORD>(g_config.pageBytes.size()));
    standin::Record r = standin::EventRecord("saved");
    r.Set("path", file);
    r.Set("type", std::to_string(static_cast<int>(ofn.nFilterIndex) - 1));
    r.Set("what", kind == Kind::Image ? "image" : "page");
    r.Set("written", written ? "1" : "0");
    g_log(r);
    return true;
}

void RunSeries(Kind kind) {
    if (g_busy) return;
    g_busy = true;
    for (int i = 0; i < g_config.dialogs; ++i) {
        if (!RunDialog(kind, i)) break;
        Sleep(300);
    }
    g_busy = false;
}

void PointerOnView() {
    RECT r;
    if (!g_view || !GetWindowRect(g_view, &r)) return;
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    SetCursorPos(x, y);
    standin::Record rec = standin::EventRecord("pointer");
    rec.Set("x", std::to_string(x));
    rec.Set("y", std::to_string(y));
    g_log(rec);
}

}  // namespace

void Start(HWND mainWindow, HWND pageView, const std::vector<std::string>& args,
           const std::string& ini, const std::string& title, const std::string& url, LogFn log) {
    g_main = mainWindow;
    g_view = pageView;
    g_log = std::move(log);
    auto& p = standin::Platform();
    auto setting = [&](const char* key, const char* flag, const std::string& def) {
        std::string given = standin::SwitchValue(args, flag);
        return given.empty() ? p.IniReadString(ini, "Browser", key, def) : given;
    };
    // 0: Ctrl+S and Ctrl+click arrive (and are logged) but no dialog opens.
    g_config.dialogs = std::max(0, std::atoi(setting("Dialogs", "--dialogs", "1").c_str()));
    g_config.autoSaveMs = std::atoi(setting("AutoSaveMs", "--autosave", "-1").c_str());
    // "--proposed=" given empty makes the dialogs propose nothing.
    std::optional<std::string> proposed;
    for (std::size_t i = 1; i < args.size(); ++i)
        if (args[i].rfind("--proposed=", 0) == 0) proposed = args[i].substr(11);
    if (!proposed) proposed = p.IniReadString(ini, "Browser", "Proposed", LastPartOf(url));
    g_config.proposals = SplitBars(*proposed);
    g_config.imageName = setting("ImageName", "--image", "picture.gif");
    g_config.caption = setting("Caption", "--caption", "Save as");
    g_config.saveDir = setting("SaveDir", "--savedir", "");
    g_config.pointer = !standin::SwitchValue(args, "--pointer").empty();
    g_config.pageBytes = "<html><head><title>" + title + "</title></head><body><p>" + url +
                         "</p></body></html>";
    if (g_config.pointer) PointerOnView();
    if (g_config.autoSaveMs >= 0)
        SetTimer(g_main, kAutoTimer, static_cast<UINT>(g_config.autoSaveMs), nullptr);
}

void Request(Kind kind) {
    if (g_main && !g_busy) PostMessageA(g_main, kOpenMessage, static_cast<WPARAM>(kind), 0);
}

bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (window != g_main || !g_main) return false;
    if (message == WM_TIMER && wParam == kAutoTimer) {
        KillTimer(window, kAutoTimer);
        RunSeries(Kind::Page);
        return true;
    }
    if (message == kOpenMessage) {
        RunSeries(static_cast<Kind>(wParam));
        return true;
    }
    return false;
}

}  // namespace savedialog
