#include "tarvel/settings.h"

#include "common/helpers.h"
#include "common/ini.h"
#include "common/program_places.h"

namespace tarvel {

namespace {

std::string NameWithoutExtension(const std::string& path) {
    std::string name = path.substr(common::FolderOfPath(path).size());
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

}  // namespace

std::string SettingsFileFor(common::Platform& p, const std::string& programDir,
                            const std::string& moduleFileName) {
    const std::string own = programDir + NameWithoutExtension(moduleFileName) + ".ini";
    if (p.FileExists(own)) return own;
    return programDir + kDefaultSettingsName;
}

CorrectSwitches ReadCorrectSwitches(common::Platform& p, const std::string& settingsFile) {
    const common::IniFile ini(p, settingsFile);
    CorrectSwitches s;
    const auto flag = [&](const char* key, bool def) { return ini.Bool(kSectionCorrect, key, def); };
    s.cacheDirectory = flag("Cache Directory", s.cacheDirectory);
    s.useDde = flag("UseDDE", s.useDde);
    s.commandLine = ini.Int(kSectionCorrect, "Command Line", s.commandLine);
    s.widgetsPath = flag("WidgetsPath", s.widgetsPath);
    s.spellCheck = flag("SpellCheck", s.spellCheck);
    s.mail = flag("Mail", s.mail);
    s.obook = flag("Obook", s.obook);
    s.dialog = flag("Dialog", s.dialog);
    s.toolbar = flag("Toolbar", s.toolbar);
    s.menu = flag("Menu", s.menu);
    s.keyboard = flag("Keyboard", s.keyboard);
    s.mouse = flag("Mouse", s.mouse);
    s.language = flag("Language", s.language);
    s.bookmarks = flag("Bookmarks", s.bookmarks);
    s.searchType = flag("Search Type", s.searchType);
    s.multiUser = flag(kKeyMultiUserSwitch, s.multiUser);
    s.checkFreeSpace = flag("CheckFreeSpace", s.checkFreeSpace);
    return s;
}

std::string TakePathOverride(common::Platform& p, const std::string& settingsFile) {
    const common::IniFile ini(p, settingsFile);
    std::string path = ini.Text(kSectionCorrect, kKeyPath, "");
    if (!path.empty() && !ini.WriteText(kSectionCorrect, kKeyPath, ""))
        common::ReportCannotWrite(p, kPlacesName, settingsFile);
    return path;
}

void WriteMultiUserOff(common::Platform& p, const std::string& settingsFile) {
    if (!common::IniFile(p, settingsFile).WriteBool(kSectionCorrect, kKeyMultiUserSwitch, false))
        common::ReportCannotWrite(p, kPlacesName, settingsFile);
}

int ShowStateOfFlag(const std::string& flag) {
    if (flag == "HIDE") return common::sw::Hide;
    if (flag == "MAXIMIZE") return common::sw::ShowMaximized;
    if (flag == "MINIMIZE") return common::sw::Minimize;
    return common::sw::Show;
}

bool RunSection(common::Platform& p, const std::string& settingsFile, const std::string& section,
                CloseList& closeList) {
    const common::IniFile ini(p, settingsFile);
    bool recorded = false;
    for (int n = 1; n <= kCompanionSlots; ++n) {
        std::string& slot = closeList[n - 1];
        slot.clear();
        const std::string digit = std::to_string(n);
        const std::string cmd = common::ExpandEnvVars(p, ini.Text(section, "Run" + digit));
        if (cmd.empty()) continue;
        const std::string title = common::ExpandEnvVars(p, ini.Text(section, "Close" + digit));
        // A window already open belongs to the user; only ours get closed later.
        if (!title.empty() && p.FindWindow(0, 0, "", title) == 0) {
            slot = title;
            recorded = true;
        }
        const int show = ShowStateOfFlag(ini.Text(section, "Flag" + digit));
        common::RunProgram(p, cmd, show, false);
    }
    return recorded;
}

void CloseRecordedWindows(common::Platform& p, const CloseList& closeList) {
    for (int n = kCompanionSlots; n >= 1; --n) {
        const std::string& title = closeList[n - 1];
        if (title.empty()) continue;
        if (const common::WindowId w = p.FindWindow(0, 0, "", title)) {
            p.SendMessage(w, common::wm::Close, 0, 0);
        }
    }
}

}  // namespace tarvel
