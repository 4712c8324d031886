// Plays an outside program (FlashGot.exe, a download manager, a converter, a
// companion program): records how it was started, then does what its INI
// (<exe name>.ini or recorder.ini beside it, section [Recorder]) asks:
//   Log=path            else %RECORDER_LOG%, else <exe name>.log beside it
//   StartDelayMs=n      before anything else (a program slow to get ready)
//   CopyArg=n|last-quoted   copy the file named by the n-th argument, or by
//                       the last quoted one, into CopyTo (default: the log folder)
//   CopyTo=folder
//   CopyUnique=1        the copy's name starts with "<process id>_", so copies
//                       of files of the same name from parallel runs all stay
//   WriteFile=path      at the end, write WriteText (%XX escapes) to this path ...
//   WriteAfterArg=-o    ... or to the path given after this argument
//   WriteText=text
//   Window=title        stay open with a visible window of this title until WM_CLOSE
//   WindowClass=name    its class (default "RecorderWindow")
//   WindowShow=n        how it is shown (ShowWindow command, default 5: SW_SHOW);
//                       0 keeps it hidden, as a converter started hidden has
//                       no window that could take the foreground
//   WaitMs=n            then wait this long
//   ConvertProject=1    play a converter: the last quoted argument is a project
//                       file; write the file its "Compiled file=" line (hhc.exe)
//                       or its destination <Path> (isiloxc.exe) names
//   ExitCode=n
// Steps in that order, each one a record in the log; the files (converter
// output, WriteFile) are written as a real converter does, at the end: after
// the window closed and the wait.
#include "common/win32/win32_api.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/helpers.h"
#include "standins/support/standin.h"

namespace {

constexpr const char* kSection = "Recorder";

struct RecorderConfig {
    std::string log;
    int startDelayMs = 0;
    std::string copyArg;
    std::string copyTo;
    bool copyUnique = false;
    std::string writeFile;
    std::string writeAfterArg;
    std::string writeText;
    std::string windowTitle;
    std::string windowClass;
    int windowShow = SW_SHOW;
    int waitMs = 0;
    bool convertProject = false;
    int exitCode = 0;
};

RecorderConfig ReadConfig() {
    auto& p = standin::Platform();
    std::string ini = standin::ConfigIni("recorder");
    RecorderConfig c;
    c.log = standin::LogPath(ini, kSection, "RECORDER_LOG");
    c.startDelayMs = p.IniReadInt(ini, kSection, "StartDelayMs", 0);
    c.copyArg = p.IniReadString(ini, kSection, "CopyArg", "");
    c.copyTo = p.IniReadString(ini, kSection, "CopyTo", "");
    c.copyUnique = p.IniReadInt(ini, kSection, "CopyUnique", 0) != 0;
    c.writeFile = p.IniReadString(ini, kSection, "WriteFile", "");
    c.writeAfterArg = p.IniReadString(ini, kSection, "WriteAfterArg", "");
    c.writeText = standin::DecodeValue(p.IniReadString(ini, kSection, "WriteText", ""));
    c.windowTitle = p.IniReadString(ini, kSection, "Window", "");
    c.windowClass = p.IniReadString(ini, kSection, "WindowClass", "RecorderWindow");
    c.windowShow = p.IniReadInt(ini, kSection, "WindowShow", SW_SHOW);
    c.waitMs = p.IniReadInt(ini, kSection, "WaitMs", 0);
    c.exitCode = p.IniReadInt(ini, kSection, "ExitCode", 0);
    c.convertProject = p.IniReadInt(ini, kSection, "ConvertProject", 0) != 0;
    return c;
}

// The text between the last pair of double quotes of the command line behind the program name.
std::string LastQuoted(const std::string& commandLine) {
    std::size_t close = commandLine.rfind('"');
    if (close == std::string::npos || close == 0) return {};
    std::size_t open = commandLine.rfind('"', close - 1);
    if (open == std::string::npos || open == 0) return {};  // the program's own quotes
    return commandLine.substr(open + 1, close - open - 1);
}

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string UniquePrefix(const RecorderConfig& c) {
    return c.copyUnique ? std::to_string(GetCurrentProcessId()) + "_" : std::string();
}

std::string FileToCopy(const RecorderConfig& c, const std::vector<std::string>& args) {
    if (c.copyArg.empty()) return {};
    if (c.copyArg == "last-quoted") return LastQuoted(standin::Platform().CommandLine());
    std::size_t index = static_cast<std::size_t>(std::atoi(c.copyArg.c_str()));
    return index > 0 && index < args.size() ? args[index] : std::string();
}

void CopyArgument(const RecorderConfig& c, const std::vector<std::string>& args) {
    std::string source = FileToCopy(c, args);
    if (source.empty()) return;
    std::string folder = c.copyTo.empty() ? common::FolderOfPath(c.log) : c.copyTo;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    std::string target = folder + UniquePrefix(c) + common::FileNameOfPath(source);
    standin::Record r = standin::EventRecord("copy");
    r.Set("source", source);
    r.Set("target", target);
    r.Set("ok", standin::Platform().CopyFile(source, target, false) ? "1" : "0");
    standin::AppendRecord(c.log, r);
}

void WriteRequestedFile(const RecorderConfig& c, const std::vector<std::string>& args) {
    std::string path = c.writeFile;
    if (path.empty() && !c.writeAfterArg.empty()) {
        for (std::size_t i = 1; i + 1 < args.size(); ++i)
            if (args[i] == c.writeAfterArg) path = args[i + 1];
    }
    if (path.empty()) return;
    standin::Record r = standin::EventRecord("write");
    r.Set("path", path);
    r.Set("ok", standin::Platform().WriteFile(path, c.writeText) ? "1" : "0");
    standin::AppendRecord(c.log, r);
}

std::string TextBetween(const std::string& text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    if (at == std::string::npos) return {};
    at += from.size();
    std::size_t end = text.find(to, at);
    return end == std::string::npos ? std::string() : text.substr(at, end - at);
}

std::string XmlUnescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities)
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::strlen(entity), plain);
    return text;
}

// The output a converter would build from its project file.
void ConvertProject(const RecorderConfig& c) {
    if (!c.convertProject) return;
    const std::string project = LastQuoted(standin::Platform().CommandLine());
    const std::string text = standin::Platform().ReadFile(project).value_or("");
    std::string output = TextBetween(text, "Compiled file=", "\r\n");
    if (output.empty()) output = XmlUnescaped(TextBetween(text, "<Files>\r\n<Path>", "</Path>"));
    standin::Record r = standin::EventRecord("convert");
    r.Set("project", project);
    r.Set("output", output);
    r.Set("ok", Flag(!output.empty() && standin::Platform().WriteFile(output, "converted from " + project)));
    standin::AppendRecord(c.log, r);
}

LRESULT CALLBACK RecorderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void StayOpenWithWindow(const RecorderConfig& c) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecorderWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = c.windowClass.c_str();
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, c.windowClass.c_str(), c.windowTitle.c_str(),
                                  WS_OVERLAPPEDWINDOW, 40, 40, 360, 200, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window) return;
    ShowWindow(window, c.windowShow);
    standin::Record r = standin::EventRecord("window");
    r.Set("title", c.windowTitle);
    standin::AppendRecord(c.log, r);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RecorderConfig c = ReadConfig();
    if (c.startDelayMs > 0) Sleep(static_cast<DWORD>(c.startDelayMs));
    std::vector<std::string> args = standin::SplitArgs(standin::Platform().CommandLine());

    standin::Record start = standin::StartRecord("start");
    for (std::size_t i = 1; i < args.size(); ++i) start.Set("arg." + std::to_string(i), args[i]);
    start.Set("argc", std::to_string(args.size() - (args.empty() ? 0 : 1)));
    standin::AppendRecord(c.log, start);

    CopyArgument(c, args);
    if (!c.windowTitle.empty()) StayOpenWithWindow(c);
    if (c.waitMs > 0) Sleep(static_cast<DWORD>(c.waitMs));
    ConvertProject(c);
    // Last, so a file it writes also tells that it is about to end.
    WriteRequestedFile(c, args);

    standin::Record end = standin::EventRecord("exit");
    end.Set("exitCode", std::to_string(c.exitCode));
    standin::AppendRecord(c.log, end);
    return c.exitCode;
}
