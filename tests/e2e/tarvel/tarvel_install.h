// A browser installation on the Wine drive for tarvel.exe: the browser
// stand-in as opkernel.exe, profile and mail files naming a previous folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/helpers.h"
#include "tests/e2e/support/standins.h"

namespace e2e::tarvel_e2e {

namespace fs = std::filesystem;

// Windows paths here are UTF-8 text (as the host file names are); the
// programs see them in code page 1252. Only "\xC3\xA9" (e acute) is used.
inline std::string Ansi(std::string utf8) {
    for (std::size_t at = utf8.find("\xC3\xA9"); at != std::string::npos; at = utf8.find("\xC3\xA9"))
        utf8.replace(at, 2, "\xE9");
    return utf8;
}
inline std::string Url(std::string path) {
    std::string out;
    for (char c : path) out += c == '\\' ? std::string("/") : c == ' ' ? std::string("%20") : std::string(1, c);
    return out;
}
inline std::string Host(const std::string& windowsPath) {
    return WineBench::Get().HostPath(windowsPath);
}
inline std::string Read(const std::string& windowsPath) {
    return ReadHostFile(Host(windowsPath)).value_or("<missing>");
}
inline bool Exists(const std::string& windowsPath) { return HostFileExists(Host(windowsPath)); }
inline void Write(const std::string& windowsPath, const std::string& text) {
    WriteHostFile(Host(windowsPath), text);
}

// The installation in dir (no trailing backslash): tarvel.exe, the stand-in
// browser as opkernel.exe (logging to opkernel.log, its Run flag off so it
// changes no compared file), and a tarvel.ini with the given settings.
inline void InstallPrograms(const std::string& dir, const std::string& settings = "",
                            bool runFlag = false) {
    WineBench& bench = WineBench::Get();
    bench.InstallExe("tarvel.exe", dir + "\\tarvel.exe");
    bench.InstallExe("operastub.exe", dir + "\\opkernel.exe");
    Write(dir + "\\opkernel.ini",
          IniText("Browser", {{"Title", "Portable Page"}, {"NoRunFlag", runFlag ? "0" : "1"}}));
    if (!settings.empty()) Write(dir + "\\tarvel.ini", settings);
}

inline std::string BrowserLog(const std::string& dir) { return Host(dir + "\\opkernel.log"); }

// Closes the stand-in browser's window and waits until it has logged its exit.
inline bool CloseBrowser(const std::string& dir) {
    const std::string log = BrowserLog(dir);
    if (!WaitUntil([&] { return !RecordsOfKind(log, "ready").empty(); }, 30000)) return false;
    Record close;
    close.Set("verb", "close");
    close.Set("class", "OpWindow");
    RunProbe(dir + "\\", close);
    return WaitUntil(
        [&] { return RecordsOfKind(log, "exit").size() == RecordsOfKind(log, "start").size(); },
        30000);
}

// The profile files of one file kind, as written before the move and as
// expected after it.
struct ProfileFile {
    std::string relative;  // below the installation folder
    std::string before;
    std::string after;     // == before: must stay untouched
    bool backup;           // a ".bak" holding before is expected
};

}  // namespace e2e::tarvel_e2e
