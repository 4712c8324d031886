// FlashGot.exe, the outside program in Zelko's folder that drives most
// download managers: detecting the installed ones and passing it a job.
#pragma once

#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/settings.h"

namespace zelko {

inline constexpr const char* kFlashGotExe = "FlashGot.exe";
inline constexpr const char* kFlashGotTest = "FlashGot.test";
inline constexpr std::uint32_t kFlashGotWaitMs = 100000;

struct Detection {
    std::string defaultManager = "No";  // the last installed one
    std::string allDm;                  // each name followed by ";"
};
// Every line after the first that holds "|OK" names a manager (the line
// without its first "|OK").
Detection ParseFlashGotTest(const std::string& content);

// Starts FlashGot.exe hidden in its own console with the parameter text and
// waits for it at most 100 s, taking this thread's messages meanwhile. False
// when it could not be started.
bool RunFlashGot(common::Platform& p, const std::string& folder, const std::string& parameters);
bool HandToFlashGot(common::Platform& p, const std::string& folder, const std::string& jobPath);

// Runs the detection, sets settings.allDm and returns the default manager.
// folder: FlashGot.exe's; its result file goes to the work folder.
std::string DetectManagers(common::Platform& p, const std::string& folder, ZelkoSettings& settings);

// The settings window's manager radio buttons, in window order.
struct ManagerButton {
    std::string caption;
    bool enabled = true;
    bool checked = false;
};
void RefreshManagerList(common::Platform& p, const std::string& folder, ZelkoSettings& settings,
                        std::vector<ManagerButton>& buttons);

}  // namespace zelko
