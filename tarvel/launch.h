// The launch: one pass from finding the browser beside the launcher to
// starting it (or handing the arguments to the running one), exit code 0.
#pragma once

#include <string>

#include "common/platform.h"
#include "tarvel/settings.h"

namespace tarvel {

// The state of one run. Folder fields ending in Dir end with a backslash
// unless noted.
struct LaunchState {
    std::string moduleFileName;  // the launcher's own full path
    std::string programDir;
    std::string programDirBare;  // no trailing backslash
    std::string programDirUtf8;  // programDirBare in UTF-8
    std::string browserExe;
    std::string defaultsFile;
    std::string settingsFile;
    std::string commandTail;
    std::string pathOverride;
    std::string oldMainDir;  // UTF-8, no trailing backslash
    bool multiUserInstall = true;
    std::string baseDir;       // no trailing backslash
    std::string localBaseDir;  // no trailing backslash; multi-user only
    std::string profileDir;
    std::string mailDir;
    std::string oldDir;  // UTF-8, no trailing backslash
    std::string oldDirUrl;
    std::string newDirUrl;

    // Profile files.
    std::string profileIni;
    std::string widgetsFile;
    std::string bookmarksFile;
    std::string obookFile;
    std::string contactsFile;
    std::string overrideFile;
    std::string notesFile;
    std::string mailIndexFile;
    std::string mailAccountsFile;
    std::string dialogFile;
    std::string spellCheckFile;

    // "User Prefs" of the main profile settings, read before correction.
    std::string operaDirectory;
    std::string cacheDirectory;
    int searchType = 0;

    bool browserRunning = false;
    bool corrected = false;
    bool closeListActive = false;
    CorrectSwitches switches;
    CloseList closeList;
};

// Steps of the launch that other modules and tests call on their own.
void SetFolders(common::Platform& p, LaunchState& s);
// The browser executable beside the launcher, opkernel.exe before opera.exe;
// empty when neither exists.
std::string FindBrowserExe(common::Platform& p, const std::string& programDir);
void SetBaseFolders(common::Platform& p, LaunchState& s);
void SetProfileFilePaths(common::Platform& p, LaunchState& s);
void SetBrowserEnvironment(common::Platform& p, const LaunchState& s);
void KeepOldCopy(common::Platform& p, const std::string& file);

// The named mutex that lets one run at a time correct the installation in
// this folder (no trailing backslash).
std::string InstallationMutexName(common::Platform& p, const std::string& programDirBare);

// True when the tail is exactly the one argument "/silent".
bool IsSilentTail(const std::string& tail);

// The whole run; always returns 0, the process's exit code.
int RunTarvel(common::Platform& p);

}  // namespace tarvel
