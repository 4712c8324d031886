// Test-only: calls the shared helpers on the real platform and writes what
// they did. The request is a record file (standins/support/record_format.h)
// named as the one argument, or by %PROBE_REQUEST% (then the command line is
// free for the verb "tail"). Its "verb" picks the call, "out" names the
// result file (a record, written whole at the end).
#include "common/win32/win32_api.h"

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/browser.h"
#include "common/helpers.h"
#include "standins/support/standin.h"

namespace {

using standin::Record;
namespace browser = common::browser;

common::Win32Platform& P() { return standin::Platform(); }

int IntOf(const Record& req, const std::string& key, int def) {
    return req.Has(key) ? std::atoi(req.Get(key).c_str()) : def;
}

std::string Flag(bool value) { return value ? "1" : "0"; }

// What a caller sees right after a start returned: a window it should have by
// then, a file the started program writes when it ends.
void NoteAfterReturn(const Record& req, Record& out) {
    if (req.Has("windowTitle")) {
        HWND w = FindWindowA(nullptr, req.Get("windowTitle").c_str());
        out.Set("windowAtReturn", Flag(w != nullptr));
    }
    if (req.Has("markerFile")) out.Set("markerAtReturn", Flag(P().FileExists(req.Get("markerFile"))));
}

void Run(const Record& req, Record& out) {
    DWORD before = GetTickCount();
    common::RunProgram(P(), req.Get("commandLine"), IntOf(req, "show", common::sw::ShowNormal),
                       req.Get("wait") == "1");
    out.Set("elapsedMs", std::to_string(GetTickCount() - before));
    NoteAfterReturn(req, out);
}

void RunAndWait(const Record& req, Record& out) {
    auto variant = req.Get("variant") == "tarvel" ? common::WaitVariant::Tarvel
                                                  : common::WaitVariant::Mirsa;
    DWORD before = GetTickCount();
    bool started = common::RunProgramAndWait(P(), req.Get("commandLine"), variant,
                                             IntOf(req, "show", common::sw::ShowNormal));
    out.Set("elapsedMs", std::to_string(GetTickCount() - before));
    out.Set("result", Flag(started));
    NoteAfterReturn(req, out);
}

void Tail(const Record&, Record& out) {
    out.Set("commandLine", P().CommandLine());
    out.Set("tail", common::CommandLineTail(P()));
}

void Expand(const Record& req, Record& out) {
    auto variant = req.Get("variant") == "mirsa" ? common::ExpandVariant::Mirsa
                                                 : common::ExpandVariant::Zelko;
    // Zelko's form takes relative paths from the program's folder.
    std::string base = req.Get("base");
    if (variant == common::ExpandVariant::Zelko && base.empty()) base = common::ProgramFolder(P());
    out.Set("result", common::ExpandPath(P(), req.Get("path"), variant, base));
    out.Set("programFolder", common::ProgramFolder(P()));
}

void Copy(const Record& req, Record& out) {
    out.Set("result", Flag(common::ShellCopyFiles(P(), 0, req.Get("source"), req.Get("target"))));
}

void Move(const Record& req, Record& out) {
    out.Set("result", Flag(common::ShellMoveFiles(P(), 0, req.Get("source"), req.Get("target"))));
}

std::string Pixel(const common::Image& image, int x, int y) {
    const std::uint8_t* px = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return std::to_string(px[0]) + "," + std::to_string(px[1]) + "," + std::to_string(px[2]);
}

// The browser window as FindBrowserWindow finds it, its page window and the
// page view reached through the class chain, and a capture of that view.
void FindBrowser(const Record&, Record& out) {
    common::WindowId window = browser::FindBrowserWindow(P());
    out.Set("found", Flag(window != 0));
    if (!window) return;
    const std::size_t buf = browser::kTextBuffer;
    std::string text = P().WindowText(window, buf);
    out.Set("text", text);
    out.Set("class", P().ClassName(window, buf));
    out.Set("visible", Flag(P().IsWindowVisible(window)));
    std::size_t cut = common::LastPos(browser::kTitleSuffix, text);
    std::string title = cut ? text.substr(0, cut - 1) : text;
    out.Set("pageTitle", title);

    std::vector<common::WindowId> all = P().Descendants(window);
    out.Set("descendants", std::to_string(all.size()));
    common::WindowId page = 0;
    for (common::WindowId w : all) {
        if (P().WindowTextLength(w) == title.size() &&
            P().WindowText(w, title.size() + 1) == title) {
            page = w;
            break;
        }
    }
    out.Set("pageFound", Flag(page != 0));
    out.Set("pageClass", page ? P().ClassName(page, buf) : "");
    std::string chain;
    common::WindowId view = page;
    for (const char* cls : {browser::kInnerWindowClass, browser::kMainWindowClass,
                            browser::kInnerWindowClass, browser::kInnerWindowClass}) {
        if (!view) break;
        view = P().FindWindow(view, 0, cls, std::nullopt);
        if (view) chain += std::string(chain.empty() ? "" : ">") + P().ClassName(view, buf);
    }
    out.Set("chain", chain);
    out.Set("pageViewFound", Flag(view != 0));
    if (!view) return;
    if (auto image = P().CaptureClientArea(view)) {
        out.Set("capture.width", std::to_string(image->width));
        out.Set("capture.height", std::to_string(image->height));
        int w = image->width, h = image->height;
        out.Set("capture.topLeft", Pixel(*image, w / 4, h / 4));
        out.Set("capture.topRight", Pixel(*image, 3 * w / 4, h / 4));
        out.Set("capture.bottomLeft", Pixel(*image, w / 4, 3 * h / 4));
        out.Set("capture.bottomRight", Pixel(*image, 3 * w / 4, 3 * h / 4));
    }
}

void Dde(const Record& req, Record& out) {
    std::string topic = req.Get("topic", browser::kTopicWindowInfo);
    std::string item = req.Get("item", browser::kItemActiveWindow);
    DWORD before = GetTickCount();
    auto reply = browser::DdeRequestOnce(P(), topic, item, browser::DdeStarter::CreateProcess);
    out.Set("elapsedMs", std::to_string(GetTickCount() - before));
    out.Set("answered", Flag(reply.has_value()));
    if (reply) {
        out.Set("reply", *reply);
        out.Set("address", browser::AddressOfWindowInfo(*reply));
    }
}

void Close(const Record& req, Record& out) {
    common::WindowId window =
        req.Has("title") ? P().FindWindow(0, 0, req.Get("class"), req.Get("title"))
                         : P().FindWindow(0, 0, req.Get("class"), std::nullopt);
    out.Set("found", Flag(window != 0));
    if (window) P().SendMessage(window, common::wm::Close, 0, 0);
}

void Box(const Record& req, Record& out) {
    int answer = P().MessageBox(0, req.Get("text"), req.Get("title"),
                                static_cast<std::uint32_t>(IntOf(req, "flags", 0)));
    out.Set("answer", std::to_string(answer));
}

const std::map<std::string, std::function<void(const Record&, Record&)>>& Verbs() {
    static const std::map<std::string, std::function<void(const Record&, Record&)>> verbs = {
        {"run", Run},       {"runwait", RunAndWait}, {"tail", Tail},
        {"expand", Expand}, {"copy", Copy},          {"move", Move},
        {"findbrowser", FindBrowser}, {"dde", Dde},  {"close", Close},
        {"msgbox", Box},
    };
    return verbs;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string requestPath = P().GetEnv("PROBE_REQUEST").value_or("");
    if (requestPath.empty()) {
        std::vector<std::string> args = standin::SplitArgs(P().CommandLine());
        if (args.size() < 2) return 2;
        requestPath = args[1];
    }
    auto text = P().ReadFile(requestPath);
    if (!text) return 3;
    auto requests = standin::ParseRecords(*text);
    if (requests.empty()) return 4;
    const Record& req = requests.front();

    Record out = standin::EventRecord("probe");
    out.Set("verb", req.Get("verb"));
    out.Set("callerFolder", P().CurrentFolder());
    auto verb = Verbs().find(req.Get("verb"));
    out.Set("known", Flag(verb != Verbs().end()));
    if (verb != Verbs().end()) verb->second(req, out);
    if (!P().WriteFile(req.Get("out"), standin::FormatRecord(out))) return 5;
    return verb != Verbs().end() ? 0 : 6;
}
