// Zelko's settings record for one run, read from "Zelko.ini" in the program
// folder, and the browser folder it serves.
#pragma once

#include <string>
#include <vector>

#include "common/platform.h"

namespace zelko {

inline constexpr const char* kIniName = "Zelko.ini";
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
};

// folder: the program folder with trailing backslash. The window position
// defaults to the window's current place.
ZelkoSettings ReadSettings(common::Platform& p, const std::string& folder, int currentLeft,
                           int currentTop);

std::string IniPath(const std::string& folder);

// "OperaDir" expanded, else the parent of the program folder; no trailing
// backslash either way.
std::string BrowserFolder(common::Platform& p, const std::string& folder);

}  // namespace zelko
