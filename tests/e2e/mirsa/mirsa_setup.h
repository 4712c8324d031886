// Mirsa.exe installed in a test folder of the Wine prefix with its INI, run
// with an exact command line, and the files it wrote read back.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/support/standins.h"

namespace e2e {

inline const std::string kL = "\x91\x91";  // ‘‘
inline const std::string kR = "\x92\x92";  // ’’

// Mirsa installed in <test>\Mirsa\ with its INI; pages go to <test>\Pages.
class MirsaSetup {
public:
    explicit MirsaSetup(const std::string& extraIni = "", int timeOutSec = 30)
        : bench_(WineBench::Get()), folder_(bench_.TestFolder()) {
        exe_ = folder_ + "Mirsa\\Mirsa.exe";
        pages_ = folder_ + "Pages\\";
        bench_.InstallExe("Mirsa.exe", exe_);
        WriteHostFile(bench_.HostPath(folder_ + "Mirsa\\Mirsa.ini"),
                      "[Main]\r\nQuickSaveDir=" + folder_ + "Pages\r\nTimeOut=" +
                          std::to_string(timeOutSec) + "\r\n" + extraIni);
    }

    // Mirsa.exe in another folder (a full Windows path ending in '\\') with
    // this INI; its pages are expected in pagesFolder.
    void InstallAt(const std::string& programFolder, const std::string& ini,
                   const std::string& pagesFolder) {
        exe_ = programFolder + "Mirsa.exe";
        pages_ = pagesFolder;
        bench_.InstallExe("Mirsa.exe", exe_);
        WriteHostFile(bench_.HostPath(programFolder + "Mirsa.ini"), ini);
    }

    const std::string& folder() const { return folder_; }
    const std::string& pages() const { return pages_; }
    std::string Host(const std::string& windowsPath) const { return bench_.HostPath(windowsPath); }
    std::optional<std::string> Read(const std::string& windowsPath) const {
        return ReadHostFile(Host(windowsPath));
    }
    bool Exists(const std::string& windowsPath) const { return HostFileExists(Host(windowsPath)); }

    // Runs Mirsa with this exact command-line tail and waits for its end.
    Record Run(const std::string& tail, int timeoutSec = 180) {
        const std::string base = folder_ + "run" + std::to_string(++runs_);
        WriteHostFile(Host(base + ".cmd"), "\"" + exe_ + "\"" + tail);
        RunResult run = bench_.Run({bench_.BinFolder() + "launch.exe", "/cmdfile=" + base + ".cmd",
                                    "/wait", "/result=" + base + ".launch"},
                                   timeoutSec);
        auto launched = ReadRecords(Host(base + ".launch"));
        Record r = launched.empty() ? Record() : launched[0];
        r.Set("output", run.output);
        return r;
    }
    Background Start(const std::string& tail, const std::string& currentFolder = "") {
        const std::string base = folder_ + "run" + std::to_string(++runs_);
        WriteHostFile(Host(base + ".cmd"), "\"" + exe_ + "\"" + tail);
        std::vector<std::string> args = {bench_.BinFolder() + "launch.exe", "/cmdfile=" + base + ".cmd"};
        if (!currentFolder.empty()) args.push_back("/cwd=" + currentFolder);
        args.push_back("/wait");
        return bench_.Start(args);
    }

    // Starts Mirsa in the folder Chosen with this tail and presses Save in its
    // own Save dialog, so the dialog's proposed name lands in Chosen. True when
    // the dialog came and Mirsa ended.
    bool SaveThroughOwnDialog(const std::string& tail) {
        std::filesystem::create_directories(Host(folder_ + "Chosen"));
        // The dialog opens in the folder it last saved to, else in the current one.
        bench_.Run({"reg", "delete",
                    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32", "/f"},
                   60);
        Background mirsa = Start(tail, folder_ + "Chosen");
        const std::string record = folder_ + "dialog" + std::to_string(++runs_) + ".rec";
        bench_.Run({bench_.BinFolder() + "boxclick.exe", "Save As", record, "1", "60000"}, 90);
        auto seen = ReadRecords(Host(record));
        return seen.size() == 1 && seen[0].Get("found") == "1" && mirsa.Wait(60000).has_value();
    }

    StubBrowser::Options Browser(const std::string& title, std::vector<std::string> args) const {
        StubBrowser::Options o;
        o.folder = folder_ + "Opera\\";
        o.title = title;
        o.url = "http://www.example.com/news/today.html";
        o.args = std::move(args);
        return o;
    }

    std::string History() const { return Read(pages_ + "MirsaHistory.html").value_or(""); }
    std::size_t HistoryItems() const {
        std::string h = History();
        std::size_t n = 0;
        for (std::size_t at = h.find("<tr><td>"); at != std::string::npos; at = h.find("<tr><td>", at + 1))
            ++n;
        return n;
    }
    // The attribute letters Wine's attrib shows for a file.
    std::string Attributes(const std::string& windowsPath) const {
        RunResult r = bench_.Run({"attrib", windowsPath}, 60);
        std::size_t at = r.output.find(windowsPath.substr(0, 2));
        return at == std::string::npos ? "?" + r.output : r.output.substr(0, at);
    }

private:
    WineBench& bench_;
    std::string folder_, exe_, pages_;
    int runs_ = 0;
};

}  // namespace e2e
