#include "tarvel/launch.h"

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"
#include "common/program_places.h"
#include "tarvel/multi_user.h"
#include "tarvel/path_correction.h"

namespace tarvel {

namespace b = common::browser;

namespace {

inline constexpr const char* kNoBrowser = "Not exist file Opera.exe in folder ";
inline constexpr const char* kSilent = "/silent";
// How long a run waits for another run's correction of the same installation.
inline constexpr std::uint32_t kInstallationLockWaitMs = 60000;

// The tail split the way the C runtime splits arguments: blanks separate,
// double quotes group and are dropped.
std::vector<std::string> ArgumentsOf(const std::string& tail) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < tail.size()) {
        while (i < tail.size() && (tail[i] == ' ' || tail[i] == '\t')) ++i;
        if (i >= tail.size()) break;
        std::string arg;
        bool quoted = false;
        for (; i < tail.size(); ++i) {
            const char c = tail[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                arg += c;
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::string TrimLeadingControls(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
    return text.substr(i);
}

void HandOff(common::Platform& p, LaunchState& s) {
    const bool launcherIsBrowser =
        p.UpperCase(s.moduleFileName) == p.UpperCase(s.programDir + "OPERA.EXE");
    if (s.switches.useDde && s.browserRunning && s.commandTail != " " && !launcherIsBrowser) {
        const std::string item = TrimLeadingControls(s.commandTail);
        // DDE cannot carry an empty item, and the running browser has nothing
        // to open then. One too long for an item goes on the browser's command
        // line below instead, and the running browser takes it over.
        if (item.empty()) return;
        if (item.size() <= common::kDdeItemMaxLength) {
            const common::DdeConversation conversation = b::DdeConnectWithStart(
                p, b::kDdeService, b::kTopicOpenUrl, b::DdeStarter::WinExec);
            if (conversation != 0) {
                p.DdeRequest(conversation, item, b::kDdeTimeoutMs);
                p.DdeDisconnect(conversation);
            }
            return;
        }
    }
    const std::string commandLine = s.browserExe + s.commandTail;
    if (s.closeListActive) {
        common::RunProgramAndWait(p, commandLine, common::WaitVariant::Tarvel);
        CloseRecordedWindows(p, s.closeList);
        return;
    }
    common::RunProgram(p, commandLine, common::sw::Show, true);
}

}  // namespace

bool IsSilentTail(const std::string& tail) {
    const std::vector<std::string> args = ArgumentsOf(tail);
    return args.size() == 1 && args[0] == kSilent;
}

void SetFolders(common::Platform& p, LaunchState& s) {
    s.moduleFileName = p.ModuleFileName();
    s.programDir = common::FolderOfPath(s.moduleFileName);
    s.programDirBare = common::WithoutTrailingBackslash(s.programDir);
    s.programDirUtf8 = p.AnsiToUtf8(s.programDirBare);
}

std::string FindBrowserExe(common::Platform& p, const std::string& programDir) {
    for (const char* name : {b::kKernelExe, b::kOperaExe}) {
        if (p.FileExists(programDir + name)) return programDir + name;
    }
    return {};
}

void SetBaseFolders(common::Platform& p, LaunchState& s) {
    if (s.multiUserInstall) {
        const std::string name = common::FileNameOfPath(s.programDirBare);
        const auto value = [&](const char* valueName) {
            return p.RegistryUserString(b::kShellFoldersKey, valueName).value_or("");
        };
        s.baseDir = value(b::kValueAppData) + "\\opera\\" + name;
        s.localBaseDir = value(b::kValueLocalAppData) + "\\opera\\" + name;
    } else {
        s.baseDir = s.programDirBare;
        s.localBaseDir.clear();
    }
    s.profileDir = s.baseDir + "\\profile\\";
    s.mailDir = s.baseDir + "\\mail\\";
}

void SetProfileFilePaths(common::Platform& p, LaunchState& s) {
    const std::string& pd = s.profileDir;
    s.profileIni = pd + b::kProfileIni;
    s.widgetsFile = pd + "widgets\\widgets.dat";
    s.bookmarksFile = pd + "opera6.adr";
    s.obookFile = pd + "obook.ini";
    s.contactsFile = pd + "contacts.adr";
    s.overrideFile = pd + "override.ini";
    s.notesFile = pd + "notes.adr";
    s.mailIndexFile = s.mailDir + "index.ini";
    s.mailAccountsFile = s.mailDir + "accounts.ini";
    s.dialogFile = pd + "dialog.ini";
    if (!p.FileExists(s.dialogFile)) s.dialogFile = s.programDir + "dialog.ini";
    s.spellCheckFile = s.programDir + "defaults\\spellcheck.ini";
    if (!p.FileExists(s.spellCheckFile)) s.spellCheckFile = s.programDir + "spellcheck.ini";
}

void SetBrowserEnvironment(common::Platform& p, const LaunchState& s) {
    p.SetEnv("OperaDirUtf", s.programDirBare);
    // The program folder goes last, so the system's own programs win.
    p.SetEnv("PATH", common::GetEnvVar(p, "PATH") + ";" + s.programDirBare);
}

void KeepOldCopy(common::Platform& p, const std::string& file) {
    if (!p.FileExists(file)) return;
    const std::uint64_t size = p.FileSize(file).value_or(0);
    const std::string old = file + ".old";
    const std::uint64_t oldSize = p.FileExists(old) ? p.FileSize(old).value_or(0) : 0;
    if (size > oldSize) p.CopyFile(file, old, false);
}

std::string InstallationMutexName(common::Platform& p, const std::string& programDirBare) {
    // A mutex name may not hold a backslash; the folder's case does not matter.
    std::string name = "Tarvel " + p.UpperCase(programDirBare);
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

namespace {

// Everything up to the hand-off; false when the run ends here. Runs while this
// run holds the installation, so every file is read after any other run has
// finished rewriting it. Without the installation (mayChangeFiles false) it
// only reads what the hand-off needs.
bool PrepareInstallation(common::Platform& p, LaunchState& s, const std::string& rawTail,
                         bool mayChangeFiles) {
    s.defaultsFile = s.programDir + b::kDefaultsIni;
    s.settingsFile =
        common::FindProgramPlaces(p, kPlacesName, SettingsFileFor(p, s.programDir, s.moduleFileName))
            .settingsFile;

    s.switches = ReadCorrectSwitches(p, s.settingsFile);
    if (s.switches.commandLine != 0) s.commandTail = rawTail;
    if (mayChangeFiles) s.pathOverride = TakePathOverride(p, s.settingsFile);

    const common::IniFile defaults(p, s.defaultsFile);
    s.oldMainDir = common::WithoutTrailingBackslash(
        defaults.Text(b::kSectionInstall, b::kKeyMainDir, s.programDirUtf8));
    s.multiUserInstall = defaults.Bool(b::kSectionSystem, b::kKeyMultiUser, true);

    SetBaseFolders(p, s);

    if (s.switches.checkFreeSpace && !WarnLowDiskSpace(p, s.profileDir)) return false;
    if (mayChangeFiles && s.multiUserInstall && s.switches.multiUser) {
        if (ConvertToSingleUser(p, s) == Conversion::EndLaunch) return false;
    }

    SetProfileFilePaths(p, s);
    SetBrowserEnvironment(p, s);

    const common::IniFile profile(p, s.profileIni);
    s.browserRunning = profile.Bool(b::kSectionState, b::kKeyRun, false) &&
                       p.FindWindow(0, 0, b::kMainWindowClass, std::nullopt) != 0;
    s.operaDirectory = profile.Text(b::kSectionUserPrefs, b::kKeyOperaDirectory, "");
    s.cacheDirectory = profile.Text(b::kSectionUserPrefs, b::kKeyCacheDirectory, "");
    s.searchType = profile.Int(b::kSectionUserPrefs, b::kKeySearchType, 0);

    s.oldDir = DetermineOldDir(p, s);
    if (!mayChangeFiles) return true;
    if (!s.multiUserInstall) {
        CorrectProfile(p, s);
        AdjustProfile(p, s);
    }

    KeepOldCopy(p, s.notesFile);
    KeepOldCopy(p, s.bookmarksFile);

    return true;
}

}  // namespace

int RunTarvel(common::Platform& p) {
    LaunchState s;
    SetFolders(p, s);

    s.browserExe = FindBrowserExe(p, s.programDir);
    if (s.browserExe.empty()) {
        p.MessageBox(0, kNoBrowser + s.programDirBare, kErrorTitle,
                     common::mb::Ok | common::mb::IconExclamation);
        return 0;
    }
    const std::string rawTail = common::CommandLineTail(p);
    // One correction at a time per installation: a second run waits, then
    // decides on what the first one left. If the other run keeps the folder
    // past the wait, this one leaves the files to it and only starts.
    const common::MutexId lock =
        p.AcquireMutex(InstallationMutexName(p, s.programDirBare), kInstallationLockWaitMs);
    const bool goOn = PrepareInstallation(p, s, rawTail, lock != 0);
    if (lock) p.ReleaseMutex(lock);
    if (!goOn || IsSilentTail(rawTail)) return 0;

    if (s.corrected) RunSection(p, s.settingsFile, kSectionAfterCorrection, s.closeList);
    if (!s.browserRunning) {
        s.closeListActive = RunSection(p, s.settingsFile, kSectionProgram, s.closeList);
    }
    HandOff(p, s);
    return 0;
}

}  // namespace tarvel
