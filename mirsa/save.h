// The body of a save run: target folder, free space, names and extensions,
// the formats and methods, then the history page and descript.ion.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/platform.h"
#include "mirsa/browser_window.h"
#include "mirsa/startup.h"

namespace mirsa {

inline constexpr std::uint64_t kLowSpaceBytes = 4194304;  // 4 MiB
inline constexpr const char* kLowSpaceText =
    "There is not enough free space on the disk!\rAre you sure what want to continue?";
inline constexpr const char* kNoBrowserText = "The window of Opera is not found!";
// Where the browser was found but its Save dialog did not open in time and
// nothing was saved: how long was waited (a Ctrl+click halves the configured
// wait), and the key that sets the wait in the settings file.
std::string NoSaveDialogText(std::uint32_t waitedMs, std::uint32_t configuredMs,
                             const std::string& settingsFile);
inline constexpr const char* kPhfFilter = "HTML Document (*.html)|*.html";

// OFN_* flags of the program's own Save dialog.
namespace ofn {
constexpr std::uint32_t OverwritePrompt = 0x2, HideReadOnly = 0x4, PathMustExist = 0x800,
                        FileMustExist = 0x1000, Explorer = 0x80000, LongNames = 0x200000,
                        EnableSizing = 0x800000;
}
// Without OFN_FILEMUSTEXIST, which would let a Save dialog accept only
// files that already exist.
inline constexpr std::uint32_t kPhfDialogFlags = ofn::Explorer | ofn::EnableSizing |
                                                 ofn::LongNames | ofn::OverwritePrompt |
                                                 ofn::PathMustExist | ofn::HideReadOnly;

// --- names and extensions ---
std::string ExtensionOf(const std::string& text);  // from the last "." on, or empty
bool IsPageExtension(const std::string& extension);
bool IsMediaExtension(const std::string& extension);
// A name that Windows would run or open as a program, judged by its extension
// after the trailing dots and blanks that Windows drops from file names.
bool IsRunnableName(const std::string& name);

struct FormatRule {
    int typeIndex;
    std::string extension;  // added to a name without a known extension
};
FormatRule RuleOfFormat(const std::string& format, bool oldOpera, const std::string& defaultExt);

// The path, or "<base>_<n><ext>" with the lowest free n; the name is taken by
// creating it as an empty file, so two savers never share it. With a folder
// suffix, a name is also passed over while "<base>[_<n>]<suffix>" is a folder
// (a page and its "_files" folder go together).
std::string UniqueFileName(common::Platform& p, const std::string& path,
                           const std::string& folderSuffix = "");
std::string SiteFolderOfUrl(const std::string& url);
bool ExtensionContradictsFormat(const std::string& fileName, const std::string& format);
std::string FramesetPageText(const std::string& savedFile, const std::string& url);
std::string FramesetPagePath(const std::string& savedFile);
void WriteFramesetPage(common::Platform& p, const std::string& savedFile, const std::string& url);

// Root of the volume that holds a path: "C:\" or "\\server\share\"; empty if none.
std::string VolumeRootOf(const std::string& path);
// The working name from the page title: MakeFileName, then percent decoding.
std::string WorkingNameOf(const std::string& pageTitle);
// A name put straight into a path: decoded separators cannot lead out of the folder.
std::string NameInsideFolder(const std::string& name);

// Rule C3: the text to write into the dialog's file-name box, or nothing.
struct NameCheck {
    std::string proposed;
    std::string workingName;
    std::string textName;
    std::string pageTitle;
    std::string defaultExt;
    std::string format;
    bool simple = false;
    bool oldOpera = false;
    std::string typeExt = ".htm";  // appended to a runnable proposal
};
std::optional<std::string> CorrectedDialogName(const NameCheck& check);

// Rule C8: the working name with its extension. A runnable extension, of the
// name or of the address, never survives: the type's extension is appended.
std::string NameWithExtension(const std::string& name, const std::string& urlExtension,
                              const std::string& typeExtension);

// --- the run ---
struct SaveRun {
    SaveRequest request;
    MirsaSettings settings;
    std::string startFolder;  // the program's folder, with backslash
    std::string settingsFile;  // the file the settings came from
    common::WindowId programWindow = 0;  // owner of the shell's folder removal
};

enum class SaveOutcome;

// The screenshot writer and the converters plug in here; a run for a format
// whose part is not plugged in ends after the preparation, saving nothing.
struct SaveHooks {
    // Format "png": the screenshot of the page view.
    std::function<SaveOutcome(common::Platform&, const SaveRun&, BrowserContact&,
                              const std::string& targetFolder, const std::string& workingName)>
        screenshot;
    // A converter: turns the page the browser saved (savedPage, alone in its
    // temporary folder) into its output and returns the path to record: the
    // output, or the page itself moved out when no output was made; nothing
    // when there is nothing to record. The history title may change on the way.
    std::function<std::optional<std::string>(
        common::Platform&, const SaveRun&, const std::string& savedPage,
        const std::string& targetFolder, const std::string& workingName,
        std::string& historyTitle)>
        convert;
};
// Both parts plugged in.
SaveHooks BuiltInSaveHooks();

// How a save run ended.
enum class SaveOutcome {
    NoBrowser,      // the box was shown
    LowSpaceCancel, // the user declined to go on
    NotAvailable,   // the format needs a part this version lacks
    NoDialog,       // no Save dialog in time, nothing saved: the box was shown
    LeftToUser,     // not a quick method: the user finishes the dialog
    Saved,          // quick save done (for "all": the last pass)
    PhfSaved,
    PhfCancelled,
    HistoryDamaged, // the history box was shown
    Failed,         // capture or write made nothing, or the browser saved no page to convert; nothing recorded
    Cancelled,      // the user cancelled the program's own Save dialog
};

// A quick save of our own ("phf", "png"): the history entry with this title
// and the description line, as configured.
SaveOutcome RecordQuickSave(common::Platform& p, const SaveRun& run,
                            const std::string& historyTitle, const std::string& savedFile,
                            bool all);

SaveOutcome PerformSaveRun(common::Platform& p, const SaveRun& run, const SaveHooks& hooks);

}  // namespace mirsa
