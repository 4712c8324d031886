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
#include "mirsa/description.h"
#include "mirsa/save.h"
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

// The seam's plain calls, each answered as the real system answers it.
void Seam(const Record& req, Record& out) {
    auto& p = P();
    const std::string folder = req.Get("folder");  // an empty folder, with backslash

    const std::string ansi = "caf\xE9 \x80 \x91x\x92";
    std::string utf8 = p.AnsiToUtf8(ansi);
    out.Set("utf8", utf8);
    out.Set("ansiBack", Flag(p.Utf8ToAnsi(utf8) == ansi));
    out.Set("upper", p.UpperCase("abc\xE9z"));
    out.Set("lower", p.LowerCase("ABC\xC9Z"));

    const std::string ini = folder + "seam.ini";
    p.IniWriteString(ini, "First", "Key", "  Value with blanks  ");
    p.IniWriteString(ini, "Second", "Number", "-42");
    p.IniWriteString(ini, "Third", "X", "1");
    out.Set("ini.text", p.IniReadString(ini, "first", "KEY", "def"));
    out.Set("ini.missing", p.IniReadString(ini, "First", "Nope", "def"));
    out.Set("ini.int", std::to_string(p.IniReadInt(ini, "Second", "Number", 7)));
    out.Set("ini.intMissing", std::to_string(p.IniReadInt(ini, "Second", "Nope", 7)));
    std::string names;
    for (const std::string& n : p.IniSectionNames(ini, 4096)) names += n + ";";
    out.Set("ini.sections", names);
    std::string cut;
    for (const std::string& n : p.IniSectionNames(ini, 10)) cut += n + ";";
    out.Set("ini.sectionsSmallBuffer", cut);

    const std::string file = folder + "data.bin";
    std::string data("a\0b\r\n\xFF", 6);
    out.Set("file.write", Flag(p.WriteFile(file, data)));
    out.Set("file.append", Flag(p.AppendFile(file, "tail")));
    out.Set("file.read", Flag(p.ReadFile(file) == data + "tail"));
    out.Set("file.size", std::to_string(p.FileSize(file).value_or(0)));
    out.Set("file.exists", Flag(p.FileExists(file)) + Flag(p.FileExists(folder)) +
                               Flag(p.FolderExists(folder)) + Flag(p.FolderExists(file)));
    bool firstCopy = p.CopyFile(file, folder + "copy.bin", true);
    bool secondCopy = p.CopyFile(file, folder + "copy.bin", true);
    out.Set("file.copy", Flag(firstCopy) + Flag(secondCopy));
    out.Set("file.move", Flag(p.MoveFile(folder + "copy.bin", folder + "moved.bin", false)));
    out.Set("folder.create", Flag(p.CreateFolder(folder + "sub")));
    std::string found;
    for (const auto& e : p.FindFiles(folder + "*.bin")) found += e.name + ":" + std::to_string(e.size) + ";";
    out.Set("find", found);
    bool hide = p.SetHidden(file, true);
    bool show = p.SetHidden(file, false);
    out.Set("hidden", Flag(hide) + Flag(show));
    bool deleted = p.DeleteFile(folder + "moved.bin");
    out.Set("file.delete", Flag(deleted) + Flag(p.FileExists(folder + "moved.bin")));
    out.Set("folder.remove", Flag(p.RemoveFolder(folder + "sub")));
    out.Set("readMissing", Flag(p.ReadFile(folder + "none.txt").has_value()));

    out.Set("env.setGet", Flag(p.SetEnv("OC_PROBE_VAR", "v1") && p.GetEnv("OC_PROBE_VAR") == "v1"));
    out.Set("env.missing", Flag(p.GetEnv("OC_PROBE_UNSET_NAME").has_value()));
    out.Set("env.expand", p.ExpandEnvironment("<%OC_PROBE_VAR%|%OC_PROBE_UNSET_NAME%>"));

    out.Set("reg.desktop", p.RegistryUserString(browser::kShellFoldersKey, "Desktop").value_or("<none>"));
    out.Set("reg.missingValue",
            Flag(p.RegistryUserString(browser::kShellFoldersKey, "No Such Value").has_value()));
    out.Set("reg.missingKey", Flag(p.RegistryUserString("Software\\No\\Such\\Key", "x").has_value()));

    common::MutexId mutex = p.AcquireMutex("OC_Probe_Seam", 0);
    out.Set("mutex", Flag(mutex != 0));
    p.ReleaseMutex(mutex);
    // A name that another kind of object holds refuses the mutex outright.
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, "OC_Probe_Event");
    const common::MutexTake refused = p.TakeMutex("OC_Probe_Event", 0);
    out.Set("mutexRefused", Flag(refused.refused) + Flag(refused.mutex != 0));
    if (event) CloseHandle(event);

    // "€ «Пр»" in code page 1251; "é" has no form there (no best fit to "e").
    out.Set("codePage1251",
            p.Utf8ToCodePage("\xE2\x82\xAC \xC2\xAB\xD0\x9F\xD1\x80\xC2\xBB", 1251).value_or("<none>"));
    out.Set("codePageNoForm", Flag(p.Utf8ToCodePage("caf\xC3\xA9", 1251).has_value()));

    common::SystemTime t;
    t.year = 2024, t.month = 3, t.dayOfWeek = 2, t.day = 5, t.hour = 7, t.minute = 6, t.second = 5;
    out.Set("date", p.FormatDate(t, 0, "yyyy-MM-dd"));
    out.Set("time", p.FormatTime(t, 0, "HH:mm:ss"));
    out.Set("dateDefault", Flag(!p.FormatDate(t, 0, "").empty()));
    common::SystemTime now = p.LocalTime();
    out.Set("localYear", Flag(now.year >= 2020 && now.month >= 1 && now.month <= 12));

    out.Set("clipboard", Flag(p.SetClipboardText("clip \xE9") && p.ClipboardText() == "clip \xE9"));
    out.Set("tempFolder", p.TempFolder());
    out.Set("module", p.ModuleFileName());
    out.Set("resourceMissing", Flag(p.Resource("NO_SUCH_RESOURCE").has_value()));
    common::LibraryId lib = p.LoadLibrary("kernel32.dll");
    out.Set("library", Flag(lib != 0) + Flag(p.HasExport(lib, "GetTickCount")) +
                           Flag(p.HasExport(lib, "NoSuchExport")));
    p.FreeLibrary(lib);
    out.Set("libraryMissing", Flag(p.LoadLibrary(folder + "none.dll") != 0));
}

// One of several processes writing the same files at once: after "go"
// appears in the folder, count rounds of a whole-file rewrite, a line in
// descript.ion and a unique name for the same page.
void Writers(const Record& req, Record& out) {
    auto& p = P();
    const std::string folder = req.Get("folder");  // with backslash
    const std::string tag = req.Get("tag");
    for (int waited = 0; !p.FileExists(folder + "go") && waited < 60000; waited += 10) p.Sleep(10);
    int rewrites = 0;
    std::string names;
    for (int i = 0, n = IntOf(req, "count", 1); i < n; ++i) {
        const std::string round = tag + "_" + std::to_string(i);
        if (common::WriteFileAtomic(p, folder + "shared.txt", round)) ++rewrites;
        mirsa::AddDescription(p, folder + round + ".html", tag, false);
        names += common::FileNameOfPath(mirsa::UniqueFileName(p, folder + "page.html")) + ";";
    }
    out.Set("rewrites", std::to_string(rewrites));
    out.Set("names", names);
}

void Disk(const Record& req, Record& out) {
    auto free = P().FreeDiskSpace(req.Get("path"));
    out.Set("free", free ? std::to_string(*free) : "none");
    out.Set("type", std::to_string(P().DriveType(req.Get("root"))));
}

// A key press posted to a control, as the keyboard would deliver it.
void PostKey(HWND control, WPARAM key) {
    PostMessageA(control, WM_KEYDOWN, key, 1);
    PostMessageA(control, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

// Measures captions as a program's window draws them: in the face the
// request names ("font"; none: the system's message font) at "fontHeight"
// pixels (none: 13 at 96 DPI, scaled to the screen's DPI), and notes for each
// control with a caption the width it needs ("need") and the width it leaves
// for it ("room").
class CaptionRuler {
public:
    explicit CaptionRuler(const Record& req) {
        HDC screen = GetDC(nullptr);
        dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        LOGFONTA face{};
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof metrics;
        if (!req.Has("font") &&
            SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            face = metrics.lfMessageFont;
        } else {
            lstrcpynA(face.lfFaceName, req.Get("font", "Tahoma").c_str(), LF_FACESIZE);
            face.lfCharSet = DEFAULT_CHARSET;
        }
        face.lfHeight = IntOf(req, "fontHeight", MulDiv(13, dpi_, 96));
        face.lfWidth = 0;
        font_ = CreateFontIndirectA(&face);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, font_);
        // Wine's buttons draw a mark of 13 pixels at 96 DPI, and half a
        // digit's gap before the caption.
        mark_ = Mark() + Width("0") / 2;
    }
    int Dpi() const { return dpi_; }
    // The width of the mark Wine draws in a check box or radio button.
    int Mark() const { return 12 * dpi_ / 96 + 1; }
    ~CaptionRuler() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(font_);
    }
    CaptionRuler(const CaptionRuler&) = delete;
    CaptionRuler& operator=(const CaptionRuler&) = delete;

    // The face the system really draws with for the one asked for.
    std::string Face() const {
        char name[LF_FACESIZE] = {};
        GetTextFaceA(dc_, sizeof name, name);
        return name;
    }

    void Note(HWND control, const std::string& text, const std::string& key, Record& out) const {
        char cls[64] = {};
        GetClassNameA(control, cls, sizeof cls);
        RECT r = {0, 0, 0, 0};
        GetWindowRect(control, &r);
        const int width = r.right - r.left;
        int room = 0;
        if (lstrcmpiA(cls, "Static") == 0) {
            room = width;
        } else if (lstrcmpiA(cls, "Button") == 0) {
            const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
            const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
            room = width - (push ? kPushFrame : mark_);
        } else {
            return;  // edits and panels hold no caption
        }
        if (text.empty()) return;
        out.Set(key + "need", std::to_string(Width(text)));
        out.Set(key + "room", std::to_string(room));
    }

private:
    static constexpr int kPushFrame = 6;  // frame and inner margin of a push button, both sides
    int Width(const std::string& text) const {
        SIZE size = {0, 0};
        GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    HFONT font_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
    int dpi_ = 96;
    int mark_ = 0;
};

void NoteRuler(const CaptionRuler& ruler, Record& out) {
    out.Set("face", ruler.Face());
    out.Set("dpi", std::to_string(ruler.Dpi()));
    out.Set("mark", std::to_string(ruler.Mark()));
}

// A top-level window's place, size and styles.
void NoteWindow(HWND window, const std::string& prefix, Record& out) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    out.Set(prefix + "left", std::to_string(r.left));
    out.Set(prefix + "top", std::to_string(r.top));
    out.Set(prefix + "right", std::to_string(r.right));
    out.Set(prefix + "bottom", std::to_string(r.bottom));
    out.Set(prefix + "visible", Flag(IsWindowVisible(window) != 0));
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    out.Set(prefix + "clientWidth", std::to_string(client.right));
    out.Set(prefix + "clientHeight", std::to_string(client.bottom));
    const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    out.Set(prefix + "toolWindow", Flag((exStyle & WS_EX_TOOLWINDOW) != 0));
    out.Set(prefix + "topmost", Flag((exStyle & WS_EX_TOPMOST) != 0));
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    out.Set(prefix + "sizable", Flag((style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) != 0));
}

// The texts, checks, enabled states and places (client coordinates: "left
// top right bottom") of a window's controls, by control id.
void NoteControls(HWND window, const std::string& prefix, const CaptionRuler& ruler, Record& out) {
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string id = std::to_string(GetDlgCtrlID(c));
        char text[1024] = {};
        // Sent, so an edit box of another process answers with its content.
        SendMessageA(c, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        out.Set(prefix + "text." + id, text);
        if (IsWindowVisible(c)) ruler.Note(c, text, prefix + id + ".", out);
        out.Set(prefix + "checked." + id, Flag(SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED));
        out.Set(prefix + "enabled." + id, Flag(IsWindowEnabled(c) != 0));
        RECT r = {0, 0, 0, 0};
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        out.Set(prefix + "rect." + id, std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                                           std::to_string(r.right) + " " + std::to_string(r.bottom));
    }
    NoteWindow(window, prefix, out);
}

// Drives a window of another program by its controls: waits for the window
// titled "title", then runs "step.1", "step.2", ... ("click ID", "settext ID
// TEXT", "key ID VK" (a key press posted to that control), "wait MS"), noting the controls before the steps ("s0.") and after
// each ("sN."), until the window is gone.
void Form(const Record& req, Record& out) {
    HWND window = nullptr;
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(IntOf(req, "timeoutMs", 60000));
    while (!(window = FindWindowA(nullptr, req.Get("title").c_str())) || !IsWindowVisible(window)) {
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
            out.Set("found", "0");
            return;
        }
        Sleep(50);
    }
    out.Set("found", "1");
    const CaptionRuler ruler(req);
    NoteRuler(ruler, out);
    NoteControls(window, "s0.", ruler, out);
    for (int n = 1; req.Has("step." + std::to_string(n)); ++n) {
        const std::string step = req.Get("step." + std::to_string(n));
        const std::size_t blank = step.find(' ');
        const std::string action = step.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : step.substr(blank + 1);
        const int id = std::atoi(rest.c_str());
        HWND control = GetDlgItem(window, id);
        if (action == "click") {
            char cls[64] = {};
            GetClassNameA(control, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") == 0)
                SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                             reinterpret_cast<LPARAM>(control));
            else
                SendMessageA(control, BM_CLICK, 0, 0);
        } else if (action == "settext") {
            const std::size_t space = rest.find(' ');
            SendMessageA(control, WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(space == std::string::npos ? "" : rest.c_str() + space + 1));
        } else if (action == "key") {
            const std::size_t space = rest.find(' ');
            const WPARAM key = space == std::string::npos ? 0 : std::strtoul(rest.c_str() + space + 1, nullptr, 10);
            PostKey(control, key);
            Sleep(500);
        } else if (action == "wait") {
            Sleep(static_cast<DWORD>(id));
        }
        if (!IsWindow(window)) {
            out.Set("closedAt", std::to_string(n));
            return;
        }
        NoteControls(window, "s" + std::to_string(n) + ".", ruler, out);
    }
}

// Holds a named mutex for "ms" milliseconds, as another program would; the
// file "marker" tells the test when it holds it ("1") or could not get it ("0").
void Hold(const Record& req, Record& out) {
    common::MutexId mutex = P().AcquireMutex(req.Get("name"), 0);
    P().WriteFile(req.Get("marker"), Flag(mutex != 0));
    out.Set("held", Flag(mutex != 0));
    if (!mutex) return;
    P().Sleep(static_cast<std::uint32_t>(IntOf(req, "ms", 1000)));
    P().ReleaseMutex(mutex);
}

// --- a window with nested controls, driven without waiting for its owner ---

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM into) {
    auto* search = reinterpret_cast<ChildSearch*>(into);
    if (GetDlgCtrlID(child) != search->id) return TRUE;
    search->found = child;
    return FALSE;
}

// One control at any depth, as "c<id>.text", ".visible", ".enabled", ".check"
// and ".edge" (the colour of its top row, above glyph and caption).
struct ChildNotes {
    Record& out;
    const CaptionRuler& ruler;
};

BOOL CALLBACK NoteChild(HWND child, LPARAM into) {
    const ChildNotes& notes = *reinterpret_cast<ChildNotes*>(into);
    Record& out = notes.out;
    const std::string key = "c" + std::to_string(GetDlgCtrlID(child)) + ".";
    char text[512] = {}, cls[64] = {};
    GetWindowTextA(child, text, sizeof text);  // read without asking the owner
    GetClassNameA(child, cls, sizeof cls);
    out.Set(key + "text", text);
    out.Set(key + "visible", Flag(IsWindowVisible(child) != 0));
    out.Set(key + "enabled", Flag(IsWindowEnabled(child) != 0));
    if (IsWindowVisible(child)) notes.ruler.Note(child, text, key, out);
    // Check states need the owner's thread to answer; "quick" leaves them
    // out, for a program that is busy waiting.
    if (lstrcmpiA(cls, "Button") == 0 && out.Get("quick") != "1")
        out.Set(key + "check", std::to_string(SendMessageA(child, BM_GETCHECK, 0, 0)));
    RECT r{};
    GetWindowRect(child, &r);
    out.Set(key + "rect", std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                              std::to_string(r.right) + " " + std::to_string(r.bottom));
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, r.left + 1, r.top);
    ReleaseDC(nullptr, screen);
    out.Set(key + "edge", std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) +
                              "," + std::to_string(GetBValue(c)));
    return TRUE;
}

//   title: the top-level window; action: state | click | settext | key | close
//   id: the control (at any depth); text: for settext; key: a virtual key; quick=1: state
//   without check states. Clicks are posted, so a click that starts a long
//   job in the window's owner returns at once.
void Window(const Record& req, Record& out) {
    HWND window = FindWindowA(nullptr, req.Get("title").c_str());
    out.Set("found", Flag(window != nullptr));
    if (!window) return;
    const std::string action = req.Get("action", "state");
    ChildSearch search{IntOf(req, "id", 0), nullptr};
    if (req.Has("id")) EnumChildWindows(window, MatchId, reinterpret_cast<LPARAM>(&search));
    HWND control = search.found;
    out.Set("control", Flag(control != nullptr));
    if (action == "click" && control) {
        char cls[64] = {};
        GetClassNameA(control, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0) {
            PostMessageA(control, BM_CLICK, 0, 0);
        } else {
            PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        }
    } else if (action == "settext" && control) {
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(req.Get("text").c_str()));
    } else if (action == "key" && control) {
        PostKey(control, static_cast<WPARAM>(IntOf(req, "key", 0)));
    } else if (action == "close") {
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else if (action == "state") {
        NoteWindow(window, "", out);
        char text[256] = {};
        GetWindowTextA(window, text, sizeof text);
        out.Set("text", text);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        HWND focus = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)
                         ? info.hwndFocus
                         : nullptr;
        out.Set("focus", std::to_string(focus ? GetDlgCtrlID(focus) : 0));
        out.Set("quick", req.Get("quick", "0"));
        const CaptionRuler ruler(req);
        NoteRuler(ruler, out);
        ChildNotes notes{out, ruler};
        EnumChildWindows(window, NoteChild, reinterpret_cast<LPARAM>(&notes));
    }
}

const std::map<std::string, std::function<void(const Record&, Record&)>>& Verbs() {
    static const std::map<std::string, std::function<void(const Record&, Record&)>> verbs = {
        {"run", Run},       {"runwait", RunAndWait}, {"tail", Tail},
        {"expand", Expand}, {"copy", Copy},          {"move", Move},
        {"findbrowser", FindBrowser}, {"dde", Dde},  {"close", Close},
        {"msgbox", Box},  {"seam", Seam},        {"disk", Disk},
        {"form", Form},     {"hold", Hold},     {"window", Window},
        {"writers", Writers},
    };
    return verbs;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Places and sizes in the screen's own pixels, as the DPI-aware programs
    // see them (Vista and later; the probe runs only under Wine).
    using DpiAware = BOOL(WINAPI*)();
    if (auto aware = reinterpret_cast<DpiAware>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware"))))
        aware();
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
