// tarvel.ini: the switches of section "Correct" and the companion-program
// sections "After correction" and "Program".
#pragma once

#include <array>
#include <string>

#include "common/platform.h"

namespace tarvel {

inline constexpr const char* kSectionCorrect = "Correct";
inline constexpr const char* kSectionAfterCorrection = "After correction";
inline constexpr const char* kSectionProgram = "Program";
inline constexpr const char* kDefaultSettingsName = "tarvel.ini";
inline constexpr const char* kKeyPath = "Path";
inline constexpr const char* kKeyMultiUserSwitch = "MultiUser";
inline constexpr int kCompanionSlots = 9;

// Section "Correct", read once at the start.
struct CorrectSwitches {
    bool cacheDirectory = true;
    bool useDde = true;
    int commandLine = 1;  // non-zero: pass the command-line tail on
    bool widgetsPath = true;
    bool spellCheck = true;
    bool mail = true;
    bool obook = false;
    bool dialog = false;
    bool toolbar = false;
    bool menu = true;
    bool keyboard = false;
    bool mouse = false;
    bool language = false;
    bool bookmarks = false;
    bool searchType = false;
    bool multiUser = true;
    bool checkFreeSpace = true;
};

inline constexpr const char* kPlacesName = "Tarvel";  // names the per-user folders

// programDir + own name without extension + ".ini" when that file exists,
// else programDir + "tarvel.ini".
std::string SettingsFileFor(common::Platform& p, const std::string& programDir,
                            const std::string& moduleFileName);

CorrectSwitches ReadCorrectSwitches(common::Platform& p, const std::string& settingsFile);

// Reads "Path" and, when it holds anything, clears it at once so it acts on
// this run only (a clear that fails is reported). Returns the value read.
std::string TakePathOverride(common::Platform& p, const std::string& settingsFile);

// Records that the conversion question was declined.
void WriteMultiUserOff(common::Platform& p, const std::string& settingsFile);

// Show state for a "Flag"n word, compared exactly.
int ShowStateOfFlag(const std::string& flag);

// Window titles to close when the browser ends, slots 1..9 at index 0..8.
using CloseList = std::array<std::string, kCompanionSlots>;

// Starts the companion programs of one section; true when at least one title
// went into the close list (which every call empties first).
bool RunSection(common::Platform& p, const std::string& settingsFile, const std::string& section,
                CloseList& closeList);

// WM_CLOSE to the window of every recorded title, slot 9 down to 1.
void CloseRecordedWindows(common::Platform& p, const CloseList& closeList);

}  // namespace tarvel
