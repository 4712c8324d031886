// Start-up and the three forms of request: a URL, a saved page to collect
// links from, or a job file. Each request ends with its job file deleted.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/job.h"
#include "zelko/settings.h"

namespace zelko {

inline constexpr const char* kSettingsMutex = "JustOne_Zelko";
inline constexpr const char* kErrorTitle = "Zelko Error";
inline constexpr const char* kJobBaseName = "flashgot";
inline constexpr const char* kJobExtension = ".fgt";
// Serialises the choice of a job file name between request processes.
inline constexpr const char* kJobNameMutex = "Zelko_JobFile";
inline constexpr std::uint32_t kJobNameWaitMs = 10000;
inline constexpr std::uint32_t kSelectionCopyMs = 50;

// Blanks and control characters separate arguments; a double quote opens a
// stretch up to the next one; "" separates; an argument in quotes loses them.
std::vector<std::string> SplitArguments(const std::string& text);

// Repairs a typed or copied address: hxxp, Cyrillic look-alikes of the
// scheme, a leading "_", a bare "ftp." or "www." host.
std::string NormalizeUrl(const std::string& text);

// The browser's current page address over DDE, else the URL's site root.
std::string QueryBrowserPageUrl(common::Platform& p, const std::string& url);

// The browser's selection copied with Ctrl+Insert, or empty; the previous
// clipboard text is put back unless it was empty.
std::string CaptureSelection(common::Platform& p);

// The test applied to each top-level window while looking for the browser's
// main window: stores a qualifying window and answers false (stop).
bool FindBrowserWindow(common::Platform& p, common::WindowId window, common::WindowId& result);

// Writes a new job file under a name no other request uses: in the folder
// given (the work folder), or in the temporary folder when that cannot be written. Returns its
// path, or empty text when neither could be written.
std::string WriteNewJobFile(common::Platform& p, const std::string& folder,
                            const std::string& content);

// The URL form's six-line job text.
std::string UrlJobText(common::Platform& p, const std::vector<std::string>& args,
                       const ZelkoSettings& settings);

// The job path of the request; nothing when the job file given is missing
// or too big, or the job this process builds (URL and page forms, in the
// work folder workFolder) cannot be written: its box has been shown and the
// program ends. builtText, when given, receives the text of a job this
// process wrote.
std::optional<std::string> TakeRequest(common::Platform& p, const std::vector<std::string>& args,
                                       const ZelkoSettings& settings,
                                       const std::string& workFolder,
                                       std::string* builtText = nullptr);

enum class StartMode {
    RequestDone,   // request mode: the program ends
    Settings,      // no argument and the settings mutex is ours: show the window
    AlreadyOpen,   // no argument, another settings window runs: end silently
};

struct StartResult {
    StartMode mode = StartMode::RequestDone;
    ZelkoSettings settings;
    std::string folder;             // program folder with trailing backslash
    bool browserInstalled = false;  // BrowserFolder holds "opera.dll": offer the catch modes
    common::MutexId settingsMutex = 0;
};

// The whole start sequence. currentLeft/Top: the window's position now.
StartResult StartZelko(common::Platform& p, int currentLeft = kDefaultLeft,
                       int currentTop = kDefaultTop);

}  // namespace zelko
