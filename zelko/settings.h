// Zelko's settings record for one run, read from "Zelko.ini" (beside the exe,
// or its per-user copy where the program folder cannot be written), and the
// browser folder it serves.
#pragma once

#include <string>
#include <vector>

#include "common/platform.h"
#include "common/program_places.h"

namespace zelko {

inline constexpr const char* kIniName = "Zelko.ini";
inline constexpr const char* kPlacesName = "Zelko";  // names the per-user folders
inline constexpr const char* kSectionMain = "Main";
inline constexpr const char* kSectionPosition = "Position";
inline constexpr int kDefaultLeft = 574;
inline constexpr int kDefaultTop = 303;

// A download manager found listening on this machine: its name in the
// settings window's list and the address that the custom template takes.
struct RunningReceiver {
    std::string label, address;
};

struct ZelkoSettings {
    std::string dm;              // "DM": selected manager, "No" for none
    std::string allDm;           // "AllDM": installed managers, each followed by ";"
    std::string customDm;        // "CustomDM": command template
    bool customDmEnabled = false;
    std::string aria2Secret;     // "Aria2Secret": token of the aria2 endpoint a template names
    std::string usd;             // "USD" as configured
    std::string usdPath;         // ExpandPath of it
    std::string transferToUsd;   // "TransferToUSD": host masks, each followed by ";"
    std::string rapGet;          // "RapGet" as configured
    std::string rapGetPath;      // ExpandPath of it
    int fullInstall = 0;
    bool advanced = true;
    bool useDde = true;
    std::string language = "en";
    std::string operaDir;
    int left = kDefaultLeft;
    int top = kDefaultTop;

    bool usdPresent = false;  // usdPath names an existing file
    bool firstRun = false;    // "DM" was empty at start
    std::vector<RunningReceiver> running;  // found by the last detection

    // Where the settings above are written and the working files (job files,
    // FlashGot.test) go.
    common::ProgramPlaces places;
};

// Found once at start, by trying to write the program folder.
common::ProgramPlaces FindZelkoPlaces(common::Platform& p);

// "Language" where Zelko.ini names none: "ru" on a system whose ANSI code
// page is 1251 (Cyrillic), else "en".
std::string SystemLanguage(common::Platform& p);

// The window position defaults to the window's current place.
ZelkoSettings ReadSettings(common::Platform& p, const common::ProgramPlaces& places,
                           int currentLeft, int currentTop);

// "OperaDir" expanded, else the parent of the program folder; no trailing
// backslash either way.
// folder: the program folder with trailing backslash.
std::string BrowserFolder(common::Platform& p, const std::string& folder,
                          const std::string& operaDir);

// Writes one key of section "Main" into the settings file; false when it
// could not be written.
bool WriteMainSetting(common::Platform& p, const ZelkoSettings& settings, const std::string& key,
                      const std::string& value);

}  // namespace zelko
