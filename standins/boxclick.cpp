// Answers a message box for a test: waits for a "#32770" window of the given
// title, writes its text (the Static child that has text) to a file as a
// record, and presses the button with the given id (1 = OK, 2 = Cancel, ...).
//   boxclick.exe TITLE OUTFILE BUTTONID [TIMEOUTMS]
// Exit code 0 when a box was found and answered, 1 on time-out.
#include "common/win32/win32_api.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "standins/support/standin.h"

namespace {

struct BoxText {
    std::string text;
    int statics = 0;
};

BOOL CALLBACK ReadStatic(HWND child, LPARAM into) {
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0) return TRUE;
    char text[4096] = {};
    GetWindowTextA(child, text, sizeof text);
    auto* box = reinterpret_cast<BoxText*>(into);
    ++box->statics;
    if (text[0] && box->text.empty()) box->text = text;
    return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    auto& p = standin::Platform();
    std::vector<std::string> args = standin::SplitArgs(p.CommandLine());
    if (args.size() < 4) return 2;
    const std::string& title = args[1];
    const std::string& out = args[2];
    int button = std::atoi(args[3].c_str());
    DWORD limit = args.size() > 4 ? static_cast<DWORD>(std::atoi(args[4].c_str())) : 30000;

    DWORD startTick = GetTickCount();
    HWND box = nullptr;
    while (!(box = FindWindowA("#32770", title.c_str())) || !IsWindowVisible(box)) {
        if (GetTickCount() - startTick > limit) {
            standin::Record r = standin::EventRecord("box");
            r.Set("found", "0");
            p.WriteFile(out, standin::FormatRecord(r));
            return 1;
        }
        Sleep(50);
    }
    BoxText text;
    EnumChildWindows(box, ReadStatic, reinterpret_cast<LPARAM>(&text));
    standin::Record r = standin::EventRecord("box");
    r.Set("found", "1");
    r.Set("title", title);
    r.Set("text", text.text);
    HWND control = GetDlgItem(box, button);
    r.Set("button", control ? "1" : "0");
    p.WriteFile(out, standin::FormatRecord(r));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
}
