// Choosing the receiver of a request and starting it: Universal Share
// Downloader for listed sites, RapGet, the user's template, Download Master or
// Internet Download Accelerator directly, else FlashGot.exe.
#pragma once

#include <string>
#include <string_view>

#include "common/platform.h"
#include "zelko/job.h"
#include "zelko/settings.h"

namespace zelko {

inline constexpr std::size_t kManagerCount = 26;
extern const char* const ManagerTable[kManagerCount];

inline constexpr const char* kNoManager = "No";
inline constexpr const char* kDownloadMaster = "Download Master";
inline constexpr const char* kInternetDownloadAccelerator = "Internet Download Accelerator";
inline constexpr const char* kDownloadMasterKey = "Software\\2VG\\Download Master";
inline constexpr const char* kInternetDownloadAcceleratorKey =
    "Software\\2VG\\Internet Download Accelerator";
inline constexpr const char* kExeFileValue = "ExeFile";
// Held from writing the ".add" file until Universal Share Downloader takes
// input, so that two requests do not overwrite each other's list.
inline constexpr const char* kUsdListMutex = "Zelko_USDownloader_add";
inline constexpr std::uint32_t kUsdListWaitMs = 60000;

// True at the first non-empty item of the ";"-separated list that occurs in
// the text (case-sensitive).
bool MatchesSiteList(const std::string& siteList, std::string_view text);

// The UTF-8 text in ANSI as one double-quoted command-line argument that the
// receiver's runtime reads back unchanged; empty text is "" so that the
// arguments after it keep their places.
std::string QuoteField(common::Platform& p, const std::string& utf8);

// An address as a receiver that reads ANSI gets it: each character without
// its own form in the system's code page percent-encoded (its UTF-8 bytes),
// never turned into a look-alike that changes the address ("／" into "/").
std::string AddressInAnsi(common::Platform& p, const std::string& utf8);

// A URL given to a receiver without quotes: ANSI, with double quotes, blanks
// and control characters percent-encoded so that it stays one argument.
std::string BareUrlArgument(common::Platform& p, const std::string& utf8Url);

// The path with its extension (from the last "." of the file name) changed.
std::string WithExtension(const std::string& path, const std::string& extension);

// The command line for the user's template, placeholders filled in.
std::string TemplateCommand(common::Platform& p, const std::string& templateText,
                            const RequestFields& quoted, const std::string& folder);

// lines: the whole job, taken over (a collected page's job is large). The
// template and the directly started managers are started once per link.
// False when links were handed to nobody (no manager chosen, FlashGot.exe
// missing, a program that could not be started, no job file that could be
// written for FlashGot.exe) or a receiver refused them: a box has said so and
// names the job file that holds just those links (KeepLinksNotTaken).
bool HandOff(common::Platform& p, JobLines lines, const std::string& jobPath,
             const RequestFields& fields, const ZelkoSettings& settings,
             const std::string& folder);

}  // namespace zelko
