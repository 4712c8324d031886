// Installing Zelko into the browser's profile: the page script, user scripts
// switched on, and the file types that hand downloads to Zelko.exe, around a
// restart of a running browser. "FullInstall" in Zelko.ini records the result;
// the file-type values Zelko replaces are kept there too, for their removal.
#pragma once

#include <cstdint>
#include <string>

#include "common/platform.h"
#include "zelko/language.h"
#include "zelko/settings.h"

namespace zelko {

inline constexpr const char* kScriptResource = "ZELKOJS";
inline constexpr const char* kScriptFile = "Zelko.js";
inline constexpr const char* kScriptSetAside = "Zelko.js.xx";
inline constexpr const char* kScriptFolderName = "userjs";
inline constexpr const char* kProgramName = "Zelko.exe";
inline constexpr const char* kQuestionTitle = "Zelko";
// Section of Zelko.ini keeping each "File Types" row as it was before Zelko
// replaced it, for "Don't catch links".
inline constexpr const char* kSectionReplacedTypes = "Replaced File Types";
inline constexpr std::uint32_t kBrowserEndWaitMs = 30000;
inline constexpr std::uint32_t kWaitStepMs = 1000;

// The argument of InstallIntoBrowser and the states of the catch-mode box.
namespace catch_mode {
constexpr int None = 0, All = 1, CtrlClick = 2;
}

// "FullInstall" values.
namespace installed {
constexpr int Nothing = 0, FileTypes = 1, FileTypesAndMedia = 2, ScriptOnly = 3;
}

// The settings window as the installation sees it.
class CatchModeView {
public:
    virtual ~CatchModeView() = default;
    // Puts the catch-mode box into a state (0..2) with that state's caption.
    virtual void ShowCatchState(int state) = 0;
    // While the browser is awaited: the box shows the waiting text and the
    // other controls are disabled; false puts back caption and controls.
    virtual void SetWaiting(bool waiting) = 0;
    virtual common::WindowId Owner() = 0;
};

int CatchStateOfFullInstall(int fullInstall);
int CatchModeCaptionKey(int state);  // language key of a state's caption
// The state SetCatchMode(k) puts the box into: (k + 1) mod 3.
inline int StateAfterSetCatchMode(int k) { return (k + 1) % 3; }
void SetCatchMode(CatchModeView& view, int k);

// The first of OperaAC.exe, OperaPortable.exe, Opera.exe in the browser
// folder that exists; empty if none.
std::string BrowserProgram(common::Platform& p, const std::string& browserFolder);
// opera6.ini of a single- or multi-user installation ("Multi User" in
// operadef6.ini, true also when the file is missing).
std::string ProfileFile(common::Platform& p, const std::string& browserFolder);
// UTF-8 of the program folder followed by "Zelko.exe".
std::string ProgramEntry(common::Platform& p, const std::string& folder);

struct FileTypeRow {
    const char* type;
    const char* installTail;  // after "7," and the program entry
    const char* reset;
};
extern const FileTypeRow kArchiveRows[13];
extern const FileTypeRow kMediaRows[4];
inline constexpr const char* kJobType = "text/zlk";
std::string InstallValue(const FileTypeRow& row, const std::string& entry);
std::string JobTypeValue(const std::string& entry);
// The error shown when the catch mode cannot be set for want of a profile.
std::string MissingProfileText(const std::string& profile);

struct InstallContext {
    common::Platform& p;
    std::string folder;         // Zelko's program folder with trailing backslash
    ZelkoSettings& settings;    // fullInstall is updated
    const LanguageTexts& texts;
    CatchModeView& view;
};

// Carries out a catch mode (0, 1 or 2). Ends with the box showing what is
// installed (the state of settings.fullInstall).
void InstallIntoBrowser(InstallContext& c, int mode);

}  // namespace zelko
