// Mirsa's start: the request from the command line or a hand-over from the
// browser, the settings file, and the start sequence that runs one save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/helpers.h"
#include "common/platform.h"

namespace mirsa {

inline constexpr const char* kProgramName = "Mirsa";
inline constexpr const char* kErrorTitle = "Mirsa Error";
inline constexpr const char* kDataUrlPrefix = "data:text/mrv;charset=UTF-8,";
inline constexpr const char* kSettingsMarker = "<!-- Mirsa settings ";
inline constexpr const char* kSettingsEnd = " -->";
inline constexpr const char* kAllMutex = "JustOne_Mirsa";
// Longer waits gain nothing, and twice this many milliseconds still compares
// correctly against the tick count.
inline constexpr int kMaxTimeOutSeconds = 1000000;

struct SaveRequest {
    std::string Format;
    std::string Method;
    std::string Url;
    std::string Path;
    std::string Text;
    std::string HandedOverFile;
    bool ViaDataUrl = false;
    std::string Converter;
};

struct MirsaSettings {
    std::string PagesDir;   // expanded, without an added backslash
    std::string ImagesDir;  // expanded, without an added backslash
    int OperaVersion = 9;
    bool OldOpera = false;
    bool Description = false;
    bool ReverseOrder = false;
    bool History = true;
    bool English = false;
    std::uint32_t TimeOutMs = 4000;
    int Left = 526;
    int Top = 455;
};

// A /name=value switch of the command text. Its value, plain up to a blank
// or in the ‘‘…’’ byte-pair form, is never searched for further switches, so
// a page title or address put into a value cannot add or replace a switch.
struct SwitchInText {
    std::string name;
    bool quoted = false;
    std::string value;
};
std::vector<SwitchInText> SwitchesOf(const std::string& commandText);

// The value of /name= in the command text; the ‘‘…’’ form wins over a plain
// one, else the first occurrence counts.
std::string GetSwitchValue(const std::string& commandText, const std::string& name);

// Arguments as the start sequence counts them: separated by blanks, a
// double-quoted stretch may hold blanks; each keeps its quotes.
std::vector<std::string> SplitArguments(const std::string& tail);
// The argument with one pair of surrounding double quotes removed.
std::string WithoutSurroundingQuotes(const std::string& argument);

std::string HelpText();

// The settings file beside the exe: the program path with its extension
// replaced by ".ini".
std::string SettingsFileOf(const std::string& programPath);
// pagesDefault: the folder for pages when none is configured; empty: the
// start folder. Relative folders are taken from the start folder.
MirsaSettings ReadSettings(common::Platform& p, const std::string& settingsFile,
                           const std::string& startFolder, const std::string& pagesDefault = "");
// "English" where the settings file has no such key: English captions unless
// the system draws text in code page 1251 (Cyrillic), the second language's.
bool SystemWantsEnglish(common::Platform& p);

// Text decoded from the data URL is UTF-8; valid UTF-8 with non-ASCII
// characters is turned into the ANSI code page, anything else stays as it is.
std::string DataUrlCommandText(common::Platform& p, const std::string& argument);
using common::IsValidUtf8;
bool IsAscii(const std::string& text);

// The hand-over channels for a single argument. Returns the new command text;
// sets ViaDataUrl or HandedOverFile in the request. A page file loses its
// settings comment.
std::string ApplyHandOver(common::Platform& p, const std::string& argument,
                          const std::string& commandText, SaveRequest& request);

// Removes the first settings comment from page content; returns the settings
// text (empty when there is no marker, or none up to " -->").
struct PageSettings {
    bool hasMarker = false;
    std::string settingsText;  // as in the file (UTF-8)
    std::string content;       // the content with the comment removed
};
PageSettings TakePageSettings(const std::string& content);

SaveRequest ReadSwitches(const std::string& commandText);

// Converter file name for a format: "hhc.exe" for "chm", "isiloxc.exe" for "pdb".
std::string ConverterOf(const std::string& format);

// Creates a folder with all missing parents; true when it exists afterwards.
bool CreateFolderTree(common::Platform& p, const std::string& folder);

}  // namespace mirsa

namespace mirsa {

struct SaveHooks;

// How a start ended; the exe ends in every case.
enum class StartOutcome {
    Help,             // the help box was shown
    SecondInstance,   // another "all" run holds the mutex
    ConverterMissing, // the converter box was shown
    SettingsMode,     // no arguments: the settings window's turn
    SaveRunDone,      // a save run ran (whatever it saved)
};

// What the start sequence hands its caller: the program's window goes in
// (owner for the converters' clean-up), the settings it read come out.
struct MirsaStart {
    common::WindowId programWindow = 0;
    std::string settingsFile;
    MirsaSettings settings;
};

// The start sequence: request, settings, then one save run.
StartOutcome RunMirsa(common::Platform& p, const SaveHooks& hooks, MirsaStart* start = nullptr);

}  // namespace mirsa
