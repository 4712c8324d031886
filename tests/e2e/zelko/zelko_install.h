// A Zelko installation in a test folder of the Wine prefix:
//   <test>\Opera\            the browser folder ("opera.dll" optional)
//   <test>\Opera\Zelko\      Zelko.exe, Zelko.ini, FlashGot.exe (a recorder)
//   <test>\jobs\             what FlashGot.exe was handed, one copy per run
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/support/standins.h"

namespace e2e {

// The value of the first line "key=..." of an INI text, or "<none>".
inline std::string IniValueOf(const std::string& text, const std::string& key) {
    std::string mark = "\n" + key + "=";
    std::size_t at = ("\n" + text).find(mark);
    if (at == std::string::npos) return "<none>";
    std::size_t from = at + mark.size() - 1;
    std::size_t end = text.find_first_of("\r\n", from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// FlashGot.exe's detection result: FlashGet alone.
inline const std::string kFlashGetOnly = "FlashGot 1.0%0D%0AFlashGet|OK%0D%0A";

class ZelkoInstall {
public:
    std::string root, opera, folder, exe, jobs;
    std::map<std::string, std::string> main;  // section [Main] of Zelko.ini

    // browserFolder: the browser's folder in the test folder, Zelko in it; a
    // full Windows path (with a drive) puts the browser there instead.
    explicit ZelkoInstall(bool browserInstalled = true,
                          const std::string& flashGotTest = kFlashGetOnly,
                          const std::string& browserFolder = "Opera") {
        WineBench& bench = WineBench::Get();
        root = bench.TestFolder();
        const bool full = browserFolder.find(":\\") != std::string::npos;
        opera = (full ? "" : root) + browserFolder + "\\";
        folder = opera + "Zelko\\";
        exe = folder + "Zelko.exe";
        jobs = root + "jobs\\";
        std::filesystem::create_directories(bench.HostPath(jobs));
        bench.InstallExe("Zelko.exe", exe);
        if (browserInstalled) WriteHostFile(bench.HostPath(opera + "opera.dll"), "MZ");
        InstallRecorder(folder, "FlashGot",
                        {{"CopyArg", "last-quoted"},
                         {"CopyTo", jobs},
                         {"CopyUnique", "1"},
                         {"WriteAfterArg", "-o"},
                         {"WriteText", flashGotTest}});
        main = {{"DM", "FlashGet"}, {"Advanced", "0"}};
    }

    // A recorder copy <name>.exe in the folder with its <name>.ini; its log
    // is <root><name>.log.
    std::string InstallRecorder(const std::string& where, const std::string& name,
                                std::vector<std::pair<std::string, std::string>> settings) const {
        WineBench& bench = WineBench::Get();
        std::string path = WinJoin(where, name + ".exe");
        bench.InstallExe("recorder.exe", path);
        settings.insert(settings.begin(), {"Log", Log(name)});
        WriteHostFile(bench.HostPath(WinJoin(where, name + ".ini")), IniText("Recorder", settings));
        return path;
    }
    std::string Log(const std::string& name) const { return root + name + ".log"; }
    std::vector<Record> Starts(const std::string& name) const {
        return RecordsOfKind(WineBench::Get().HostPath(Log(name)), "start");
    }

    void WriteIni() const {
        std::vector<std::pair<std::string, std::string>> keys(main.begin(), main.end());
        WriteHostFile(WineBench::Get().HostPath(folder + "Zelko.ini"), IniText("Main", keys));
    }
    std::string IniValue(const std::string& key) const {
        return IniValueOf(ReadHostFile(WineBench::Get().HostPath(folder + "Zelko.ini")).value_or(""),
                          key);
    }

    // Zelko.exe with these arguments (Wine quotes each again as needed).
    RunResult Run(const std::vector<std::string>& args, int timeoutSec = 150) const {
        WriteIni();
        std::vector<std::string> all = {exe};
        all.insert(all.end(), args.begin(), args.end());
        return WineBench::Get().Run(all, timeoutSec);
    }
    // Zelko.exe with this exact command-line tail, started by the launcher.
    RunResult RunExact(const std::string& tail, int timeoutSec = 150) const {
        WriteIni();
        WineBench& bench = WineBench::Get();
        static int serial = 0;
        std::string cmd = root + "cmd" + std::to_string(++serial) + ".txt";
        WriteHostFile(bench.HostPath(cmd), "\"" + exe + "\" " + tail);
        return bench.Run({bench.BinFolder() + "launch.exe", "/cmdfile=" + cmd, "/wait"}, timeoutSec);
    }

    // Every job FlashGot.exe was handed, as it found it.
    std::vector<std::string> Jobs() const {
        std::vector<std::string> texts;
        for (const auto& entry : std::filesystem::directory_iterator(WineBench::Get().HostPath(jobs)))
            texts.push_back(ReadHostFile(entry.path().string()).value_or(""));
        return texts;
    }
    // Job files left in Zelko's folder.
    std::vector<std::string> LeftJobs() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(WineBench::Get().HostPath(folder))) {
            std::string name = entry.path().filename().string();
            if (name.size() > 4 && name.substr(name.size() - 4) == ".fgt") names.push_back(name);
        }
        return names;
    }
};

// How an error box ends when the links not taken stay in the job file at path:
// where, and the command that sends them again.
inline std::string KeptNote(const ZelkoInstall& z, const std::string& path) {
    return "\r\n\r\nThese links are kept in the job file \"" + path +
           "\". To send them again, run:\r\n\"" + z.exe + "\" \"" + path + "\"";
}

inline std::string UrlJob(const std::string& manager, const std::string& referrer,
                          const std::string& url, const std::string& description = "") {
    return "1;" + manager + ";0;;\r\n" + referrer + "\r\n" + url + "\r\n" + description +
           "\r\n\r\n\r\n";
}

}  // namespace e2e
