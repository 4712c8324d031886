// A Zelko installation on the fake platform: C:\Opera\ with the browser's
// marker library and Zelko in C:\Opera\Zelko\, FlashGot.exe beside it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/fake_platform.h"
#include "zelko/intake.h"

namespace zelko::testing {

inline const std::string kFolder = "C:\\Opera\\Zelko\\";
inline const std::string kExe = kFolder + "Zelko.exe";
inline const std::string kIni = kFolder + "Zelko.ini";
inline const std::string kFlashGot = kFolder + "FlashGot.exe";
inline const std::string kFirstJob = kFolder + "flashgot.fgt";
inline const std::string kUsd = "C:\\USD\\USDownloader.exe";
inline const std::string kRapGet = "C:\\RapGet\\rapget.exe";

// The last double-quoted stretch of a command line.
inline std::string LastQuoted(const std::string& commandLine) {
    std::size_t close = commandLine.rfind('"');
    if (close == std::string::npos || close == 0) return "";
    std::size_t open = commandLine.rfind('"', close - 1);
    return open == std::string::npos ? "" : commandLine.substr(open + 1, close - open - 1);
}

class ZelkoWorld {
public:
    common::FakePlatform& p;
    // Job texts FlashGot.exe found when it was started, with their paths.
    std::vector<std::pair<std::string, std::string>> flashGotJobs;
    std::vector<std::string> addFiles;  // ".add" content at each USD start

    explicit ZelkoWorld(common::FakePlatform& platform, bool browser = true) : p(platform) {
        p.SetModuleFileName(kExe);
        p.AddFile(kExe, "MZ");
        if (browser) p.AddFile("C:\\Opera\\opera.dll", "MZ");
        p.AddFile(kFlashGot, "MZ");
        Set("DM", "FlashGet");
        common::FakePlatform::ProgramBehaviour flashGot;
        flashGot.onStart = [this](common::FakePlatform& fake, common::ProcessId,
                                  const common::FakePlatform::StartRecord& start) {
            std::string path = LastQuoted(start.commandLine);
            flashGotJobs.emplace_back(path, fake.FileText(path).value_or("<missing>"));
        };
        p.OnProgram("FlashGot.exe", flashGot);
        common::FakePlatform::ProgramBehaviour usd;
        usd.onStart = [this](common::FakePlatform& fake, common::ProcessId,
                             const common::FakePlatform::StartRecord&) {
            addFiles.push_back(fake.FileText("C:\\USD\\USDownloader.add").value_or("<missing>"));
        };
        p.OnProgram("USDownloader.exe", usd);
    }

    void Set(const std::string& key, const std::string& value, const std::string& section = "Main") {
        p.IniWriteString(kIni, section, key, value);
    }
    std::string Get(const std::string& key) { return p.IniReadString(kIni, "Main", key, "<none>"); }

    void WithUsd(const std::string& sites) {
        p.AddFile(kUsd, "MZ");
        Set("USD", kUsd);
        Set("TransferToUSD", sites);
    }

    StartResult Run(const std::string& tail) {
        p.SetCommandLine("\"" + kExe + "\"" + (tail.empty() ? "" : " " + tail));
        return StartZelko(p);
    }

    std::vector<std::string> CommandLines() const {
        std::vector<std::string> lines;
        for (const auto& s : p.Starts()) lines.push_back(s.commandLine);
        return lines;
    }
};

inline std::string UrlJob(const std::string& manager, const std::string& referrer,
                          const std::string& url, const std::string& description = "") {
    return "1;" + manager + ";0;;\r\n" + referrer + "\r\n" + url + "\r\n" + description +
           "\r\n\r\n\r\n";
}

}  // namespace zelko::testing
