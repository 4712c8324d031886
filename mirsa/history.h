// The history page "MirsaHistory.html" in the pages folder: one item per
// quick save, grouped by day, built from the template resource "MRHISTORY".
#pragma once

#include <string>

#include "common/platform.h"

namespace mirsa {

inline constexpr const char* kHistoryFile = "MirsaHistory.html";
inline constexpr const char* kHistoryResource = "MRHISTORY";
inline constexpr const char* kHistoryMarker = "Mirsa history ver 2.4+";
inline constexpr const char* kContentLine =
    "<div id=\"content\"><script type=\"text/javascript\">init();</script>";
inline constexpr const char* kEndLine = "</div></body></html>";
inline constexpr const char* kDamagedHistoryText = "Unable to update MirsaHistory.html!";
inline constexpr const char* kDayPattern = "dddd dd.MM.yyyy";
inline constexpr const char* kTimePattern = "HH:mm:ss";

// --- pieces of an item (ANSI) ---
std::string HistoryAddress(const std::string& address, const std::string& title);
std::string HistoryTitle(const std::string& title, const std::string& savedFile,
                         bool useFileName);
std::string EscapeAngles(const std::string& text);
std::string HistoryLink(const std::string& savedFile, const std::string& historyFolder);
std::string HistoryEntry(const std::string& time, const std::string& link,
                         const std::string& title, const std::string& address);
std::string DayHeading(const std::string& dayUtf8);

// --- the page text ---
// Every line ended by CR LF (lone CR or LF count as line ends too).
std::string NormalizeLineEnds(const std::string& text);
std::string LineOf(const std::string& text, std::size_t index);  // 0-based; "" past the end
bool HasMoreLinesThan(const std::string& text, std::size_t count);

enum class PageKind { Current, OldFormat, MissingAnchors };
PageKind KindOfPage(const std::string& normalizedPage);

// The day blocks of an old page moved into the template; false when the
// template's last line or the page's first "<h2>" or last "</table>" is missing.
bool UpgradePage(const std::string& normalizedPage, const std::string& templateText,
                 std::string& upgraded);
// A page of the current format without its anchor lines, rebuilt on the
// template with whatever day blocks it still holds.
std::string RebuildPage(const std::string& normalizedPage, const std::string& templateText);

// Inserts the day block (when today has none) and the entry; the page must
// hold both anchor lines.
std::string InsertEntry(const std::string& normalizedPage, const std::string& headingUtf8,
                        const std::string& entryUtf8, bool newestFirst);

// Adds one item, waiting for any other saver's update of the page first.
// A page that cannot be updated (unreadable, not written, its lock refused)
// shows the box; false when that was a damaged page of an earlier format
// and the program is to end.
bool AddHistoryEntry(common::Platform& p, const std::string& title, const std::string& savedFile,
                     const std::string& address, const std::string& historyFolder,
                     bool useFileName, bool newestFirst);

}  // namespace mirsa
