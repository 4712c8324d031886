// Helper routines shared by the three programs: starting programs while the
// caller's windows stay alive, path expansion, the command line, whole-file
// writes, and the text routines for URLs, titles and file names. Positions
// are 1-based, 0 = none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/platform.h"

namespace common {

// --- process start ---
// Starts the command line with the given show state; with waitUntilReady, waits
// (pumping one message per 100 ms) until the new program waits for input.
// currentFolder: the new program's folder; empty: the folder part of the
// command line when that names a folder, else the caller's. False when the
// program could not be started.
bool RunProgram(Platform& p, const std::string& commandLine, int showWindow, bool waitUntilReady,
                const std::string& currentFolder = "");

// Waits for a process to end, at most limitMs, taking one waiting message of
// this thread per 100 ms so the caller's windows stay painted and answering.
inline constexpr std::uint32_t kNoWaitLimit = 0xFFFFFFFFu;
WaitResult WaitForProcessPumping(Platform& p, ProcessId process, std::uint32_t limitMs);

// Takes the named mutex however long another process holds it (a holder
// that ends leaves it to us), taking one waiting message of this thread per
// 100 ms meanwhile; 0 only when the mutex cannot be had at all.
MutexId AcquireMutexPumping(Platform& p, const std::string& name);

// A program path ready for a command line: in double quotes when it holds a
// blank, so "C:\Program Files\x.exe" is not taken as "C:\Program".
std::string QuotedIfBlank(const std::string& path);

enum class WaitVariant {
    Mirsa,   // uses the given show state, reports whether the process started
    Tarvel,  // the system's default show state
};
// Starts the command line and waits (pumping one message per 100 ms) until it ends.
bool RunProgramAndWait(Platform& p, const std::string& commandLine, WaitVariant variant,
                       int showWindow = sw::ShowNormal);

// Dispatches the messages waiting for this thread, at most limit of them, and
// stops at WM_QUIT, which stays for the caller's own message loop.
inline constexpr std::size_t kDrainLimit = 1000;
void DispatchWaitingMessages(Platform& p, std::size_t limit = kDrainLimit);

// --- environment and paths ---
std::string ExpandEnvVars(Platform& p, const std::string& text);

enum class ExpandVariant {
    Zelko,  // environment references only
    Mirsa,  // also %DesktopDir% and %MyDocuments% from the Shell Folders values
};
// baseFolder: the folder relative paths are taken from (Zelko passes its program folder).
std::string ExpandPath(Platform& p, const std::string& path, ExpandVariant variant,
                       const std::string& baseFolder);

std::string GetEnvVar(Platform& p, const std::string& name);
std::string CommandLineTail(const std::string& commandLine);
inline std::string CommandLineTail(Platform& p) { return CommandLineTail(p.CommandLine()); }

std::string FolderOfPath(const std::string& path);  // up to and including the last '\'
std::string FileNameOfPath(const std::string& path);  // after the last '\'; all if none
std::string ProgramFolder(Platform& p);             // the exe's folder, with '\'
std::string ProgramTitleOfPath(Platform& p, const std::string& path);

// --- files ---
// Replaces a file's content whole: written to a temporary file beside it and
// moved over it, so a crash or a full disk leaves the old or the new file.
bool WriteFileAtomic(Platform& p, const std::string& path, const std::string& data);

bool ShellFileOperation(Platform& p, WindowId owner, unsigned operation, std::uint16_t extraFlags,
                        const std::string& source, const std::string& target);
bool ShellMoveFiles(Platform& p, WindowId owner, const std::string& source,
                    const std::string& target);
bool ShellCopyFiles(Platform& p, WindowId owner, const std::string& source,
                    const std::string& target);

// --- text ---
std::size_t PosFrom(const std::string& sub, const std::string& text, std::size_t start);
std::size_t LastPos(const std::string& sub, const std::string& text);
std::string ReverseText(const std::string& text);
std::string ReplaceAll(const std::string& text, const std::string& oldText,
                       const std::string& newText);
std::string SiteRootOfUrl(const std::string& url);
std::string CleanDescription(const std::string& text);

// Percent-decodes up to the first '?' or '#'. A result that would exceed
// kUnescapeLimit characters is cut there, at a whole decoded character.
constexpr std::size_t kUnescapeLimit = 4095;
std::string UnescapeUrl(const std::string& url);

// Every byte that keep refuses written as "%" and two upper-case hex digits.
std::string PercentEncode(const std::string& text, bool (*keep)(unsigned char));

bool IsJunkChar(unsigned char c);
std::string TrimJunkRight(const std::string& text);
std::string TrimJunkLeft(const std::string& text);
bool IsFileNameForbidden(unsigned char c);
bool HasFileNameTrouble(const std::string& title);
std::string MakeFileName(const std::string& title);
std::string DotsToUnderscores(const std::string& text);

// Small shared text pieces.
std::string TrimControls(const std::string& text);  // codes 0..32 at both ends
std::string WithoutTrailingBackslash(const std::string& path);
std::string WithTrailingBackslash(const std::string& path);
bool StartsWith(const std::string& text, const std::string& prefix);
bool EndsWith(const std::string& text, const std::string& suffix);
bool Contains(const std::string& text, const std::string& part);
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);
bool EqualsNoCase(const std::string& a, const std::string& b);  // ASCII letters
// Length of the well-formed UTF-8 sequence of one code point at text[at]
// (1 for ASCII), 0 when none starts there: overlong forms, surrogates and
// values past U+10FFFF are not UTF-8.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
// Well-formed UTF-8 throughout.
bool IsValidUtf8(const std::string& text);
// The text with each byte that is not part of well-formed UTF-8 replaced by
// U+FFFD, as a service that reads UTF-8 expects it.
std::string WellFormedUtf8(std::string_view text);
// The UTF-8 sequence of one code point (at most U+10FFFF) appended.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace common
