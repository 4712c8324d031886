// Starts a program with an exact command line through CreateProcessA, since
// a command line given from outside is quoted again on its way in.
//   launch.exe [/cmdfile=PATH] [/cwd=FOLDER] [/show=N] [/wait] [/result=PATH] [-- TAIL]
// The command line is the whole content of /cmdfile, or else the raw text
// behind " -- ". Without /show only the size of the start-up information is
// set. /result gets a record: started, error, and with /wait the exit code.
// Exit code: the program's with /wait, 0 when started, 255 when not.
#include "common/win32/win32_api.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "standins/support/standin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    auto& p = standin::Platform();
    std::string own = p.CommandLine();
    std::size_t separator = own.find(" -- ");
    std::string options = separator == std::string::npos ? own : own.substr(0, separator);
    std::vector<std::string> args = standin::SplitArgs(options);

    std::string commandLine;
    std::string cmdFile = standin::SwitchValue(args, "/cmdfile");
    if (!cmdFile.empty()) {
        commandLine = p.ReadFile(cmdFile).value_or("");
    } else if (separator != std::string::npos) {
        commandLine = own.substr(separator + 4);
    }
    std::string folder = standin::SwitchValue(args, "/cwd");
    std::string show = standin::SwitchValue(args, "/show");
    bool wait = !standin::SwitchValue(args, "/wait").empty();
    std::string result = standin::SwitchValue(args, "/result");

    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    if (!show.empty()) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(std::atoi(show.c_str()));
    }
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    std::string buffer = commandLine;
    buffer.push_back('\0');
    BOOL started = !commandLine.empty() &&
                   CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    DWORD error = started ? 0 : GetLastError();
    standin::Record r = standin::EventRecord("launch");
    r.Set("commandLine", commandLine);
    r.Set("started", started ? "1" : "0");
    r.Set("error", std::to_string(error));
    int code = started ? 0 : 255;
    if (started) {
        if (wait) {
            WaitForSingleObject(pi.hProcess, INFINITE);
            DWORD exitCode = 0;
            GetExitCodeProcess(pi.hProcess, &exitCode);
            r.Set("exitCode", std::to_string(exitCode));
            code = static_cast<int>(exitCode);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (!result.empty()) p.WriteFile(result, standin::FormatRecord(r));
    return code;
}
