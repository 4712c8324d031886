#include "standins/support/standin.h"

#include "common/win32/win32_api.h"

namespace standin {

common::Win32Platform& Platform() {
    static common::Win32Platform platform;
    return platform;
}

std::string ExeFolder() {
    std::string path = Platform().ModuleFileName();
    std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExeBaseName() {
    std::string path = Platform().ModuleFileName();
    std::size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ConfigIni(const std::string& fallbackBase) {
    std::string own = ExeFolder() + ExeBaseName() + ".ini";
    if (Platform().FileExists(own)) return own;
    return ExeFolder() + fallbackBase + ".ini";
}

// The C runtime's rules: blanks and tabs separate, double quotes group, 2n
// backslashes before a quote give n and open/close, 2n+1 give n and a quote.
std::vector<std::string> SplitArgs(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0, n = line.size();
    // The program name: up to the first blank, quotes only group.
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < n) {
        std::string name;
        bool quoted = false;
        for (; i < n; ++i) {
            char c = line[i];
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && (c == ' ' || c == '\t')) break;
            name.push_back(c);
        }
        args.push_back(name);
    }
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            char c = line[i];
            if (c == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg.push_back('"');
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && (c == ' ' || c == '\t')) break;
            arg.push_back(c);
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

std::string SwitchValue(const std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == name) return "1";
        if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
            arg[name.size()] == '=')
            return arg.substr(name.size() + 1);
    }
    return {};
}

std::string LogPath(const std::string& ini, const std::string& section, const std::string& envName) {
    std::string log = Platform().IniReadString(ini, section, "Log", "");
    if (!log.empty()) return log;
    if (auto env = Platform().GetEnv(envName); env && !env->empty()) return *env;
    return ExeFolder() + ExeBaseName() + ".log";
}

std::string StartupShowState() {
    STARTUPINFOA si;
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    if (si.dwFlags & STARTF_USESHOWWINDOW) return std::to_string(si.wShowWindow);
    return "default";
}

Record EventRecord(const std::string& kind) {
    Record r;
    r.Set("kind", kind);
    r.Set("program", ExeBaseName());
    r.Set("pid", std::to_string(GetCurrentProcessId()));
    r.Set("tick", std::to_string(GetTickCount()));
    return r;
}

Record StartRecord(const std::string& kind) {
    Record r = EventRecord(kind);
    r.Set("exe", Platform().ModuleFileName());
    r.Set("commandLine", Platform().CommandLine());
    r.Set("currentFolder", Platform().CurrentFolder());
    r.Set("show", StartupShowState());
    for (const char* name : {"OperaDirUtf", "PATH"}) {
        if (auto value = Platform().GetEnv(name)) r.Set(std::string("env.") + name, *value);
    }
    return r;
}

bool AppendRecord(const std::string& logPath, const Record& record) {
    // One write per record, so records of processes that log at once do not
    // mix; and one writer at a time, as Wine finds the end of an append-only
    // file and writes there in two steps, so two writers can hit one place.
    const common::MutexId turn = Platform().AcquireMutex("StandinLogAppend", 30000);
    const bool ok = Platform().AppendFile(logPath, FormatRecord(record));
    if (turn != 0) Platform().ReleaseMutex(turn);
    return ok;
}

}  // namespace standin
