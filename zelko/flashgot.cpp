#include "zelko/flashgot.h"

#include "common/helpers.h"

namespace zelko {

namespace {

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open) lines.push_back(std::move(line));
    return lines;
}

}  // namespace

Detection ParseFlashGotTest(const std::string& content) {
    Detection d;
    std::vector<std::string> lines = TextLines(content);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::size_t ok = lines[i].find("|OK");
        if (ok == std::string::npos) continue;
        std::string name = lines[i];
        name.erase(ok, 3);
        d.defaultManager = name;
        d.allDm += name + ";";
    }
    return d;
}

bool RunFlashGot(common::Platform& p, const std::string& folder, const std::string& parameters) {
    common::ProcessStart start;
    start.commandLine = "\"" + folder + kFlashGotExe + "\" " + parameters;
    start.showWindow = common::sw::Hide;
    start.creationFlags = common::create_flags::NewConsole | common::create_flags::NoWindow;
    start.currentFolder = folder;
    common::ProcessId process = p.StartProcess(start);
    if (process == 0) return false;
    // The settings window waits here on Refresh: it stays painted and answering.
    common::WaitForProcessPumping(p, process, kFlashGotWaitMs);
    p.CloseProcess(process);
    return true;
}

bool HandToFlashGot(common::Platform& p, const std::string& folder, const std::string& jobPath) {
    return RunFlashGot(p, folder, "\"" + jobPath + "\"");
}

std::string DetectManagers(common::Platform& p, const std::string& folder,
                           ZelkoSettings& settings) {
    settings.allDm.clear();
    const std::string testFile = settings.places.workFolder + kFlashGotTest;
    RunFlashGot(p, folder, " -o \"" + testFile + "\"");
    Detection d = ParseFlashGotTest(p.ReadFile(testFile).value_or(""));
    settings.allDm = d.allDm;
    return d.defaultManager;
}

void RefreshManagerList(common::Platform& p, const std::string& folder, ZelkoSettings& settings,
                        std::vector<ManagerButton>& buttons) {
    const std::string fallback = DetectManagers(p, folder, settings);
    for (ManagerButton& button : buttons) {
        button.enabled = settings.allDm.find(button.caption + ";") != std::string::npos;
        if (!button.enabled && button.caption == settings.dm) settings.dm = fallback;
    }
    for (ManagerButton& button : buttons) button.checked = button.caption == settings.dm;
}

}  // namespace zelko
