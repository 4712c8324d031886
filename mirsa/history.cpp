#include "mirsa/history.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "common/helpers.h"
#include "mirsa/save.h"
#include "mirsa/startup.h"

namespace mirsa {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kTableLine = "<table>";
// Serialises the update of the page between saver processes, so two saves
// at the same moment cannot lose each other's item.
constexpr const char* kHistoryMutex = "Mirsa_HistoryPage";

bool AtLineStart(const std::string& text, std::size_t pos) {
    return pos == 0 || text[pos - 1] == '\n';
}

// Start of the first (last) whole line equal to `line`, or npos.
std::size_t FindLine(const std::string& text, const std::string& line) {
    // Pages grow to many megabytes: a skipping search keeps this one pass cheap.
    const std::string needle = line + kCrLf;
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    for (auto from = text.begin();;) {
        auto hit = std::search(from, text.end(), searcher);
        if (hit == text.end()) return std::string::npos;
        std::size_t at = static_cast<std::size_t>(hit - text.begin());
        if (AtLineStart(text, at)) return at;
        from = hit + 1;
    }
}

std::size_t FindLastLine(const std::string& text, const std::string& line) {
    const std::string needle = line + kCrLf;
    if (text.size() < needle.size()) return std::string::npos;
    for (std::size_t at = text.rfind(needle); at != std::string::npos;
         at = at == 0 ? std::string::npos : text.rfind(needle, at - 1))
        if (AtLineStart(text, at)) return at;
    return std::string::npos;
}

std::size_t EndOfLine(const std::string& text, std::size_t lineStart) {
    std::size_t at = text.find(kCrLf, lineStart);
    return at == std::string::npos ? text.size() : at + 2;
}

std::string WithoutExtension(const std::string& name) {
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string BakPathOf(const std::string& page) { return WithoutExtension(page) + ".bak"; }

}  // namespace

std::string HistoryAddress(const std::string& address, const std::string& title) {
    bool known = common::StartsWith(address, "http") || common::StartsWith(address, "ftp") ||
                 common::StartsWith(address, "file");
    if (!known || common::TrimJunkRight(address) == common::TrimJunkRight(title)) return "";
    return EscapeAngles(address);
}

std::string EscapeAngles(const std::string& text) {
    return common::ReplaceAll(common::ReplaceAll(text, "<", "&lt;"), ">", "&gt;");
}

std::string HistoryTitle(const std::string& title, const std::string& savedFile,
                         bool useFileName) {
    std::string shown = title;
    if (useFileName || shown.empty()) shown = WithoutExtension(common::FileNameOfPath(savedFile));
    return EscapeAngles(shown);
}

std::string HistoryLink(const std::string& savedFile, const std::string& historyFolder) {
    std::string link = savedFile;
    if (!historyFolder.empty()) {
        std::size_t at = link.find(historyFolder);
        if (at != std::string::npos) link.erase(at, historyFolder.size());
    }
    if (link.size() >= 3 && link.compare(1, 2, ":\\") == 0) link = "file://localhost/" + link;
    return common::ReplaceAll(common::ReplaceAll(link, "\\", "/"), " ", "%20");
}

std::string HistoryEntry(const std::string& time, const std::string& link,
                         const std::string& title, const std::string& address) {
    return "<tr><td>" + time + "</td>" + kCrLf + "<td><a href=\"" + link +
           "\" target=\"_blank\"><b>" + title + "</b><br>" + address + "</a>" + kCrLf +
           "</td></tr>";
}

std::string DayHeading(const std::string& dayUtf8) { return "<h2>" + dayUtf8 + "</h2>"; }

std::string NormalizeLineEnds(const std::string& text) {
    bool clean = text.empty() || common::EndsWith(text, kCrLf);
    for (std::size_t i = 0; clean && i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) clean = false;
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) clean = false;
    }
    if (clean) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += kCrLf;
        } else if (c == '\n') {
            out += kCrLf;
        } else {
            out += c;
        }
    }
    if (!out.empty() && !common::EndsWith(out, kCrLf)) out += kCrLf;
    return out;
}

std::string LineOf(const std::string& text, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        std::size_t at = text.find(kCrLf, start);
        if (at == std::string::npos) return "";
        start = at + 2;
    }
    if (start >= text.size()) return "";
    std::size_t end = text.find(kCrLf, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool HasMoreLinesThan(const std::string& text, std::size_t count) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = text.find(kCrLf, start);
        if (at == std::string::npos) return false;
        start = at + 2;
    }
    return start < text.size();
}

PageKind KindOfPage(const std::string& page) {
    if (HasMoreLinesThan(page, 4) && !common::Contains(LineOf(page, 4), kHistoryMarker))
        return PageKind::OldFormat;
    std::size_t content = FindLine(page, kContentLine);
    std::size_t end = FindLastLine(page, kEndLine);
    if (content == std::string::npos || end == std::string::npos || end < content)
        return PageKind::MissingAnchors;
    return PageKind::Current;
}

bool UpgradePage(const std::string& page, const std::string& templateText,
                 std::string& upgraded) {
    std::size_t e = templateText.find(kEndLine);
    std::size_t h = page.find("<h2>");
    std::size_t t = page.rfind("</table>");
    if (e == std::string::npos || h == std::string::npos || t == std::string::npos || t < h)
        return false;
    const std::size_t tableEnd = t + std::string("</table>").size();
    upgraded = templateText.substr(0, e) + page.substr(h, tableEnd - h) + kCrLf + kEndLine + kCrLf;
    return true;
}

std::string RebuildPage(const std::string& page, const std::string& templateText) {
    std::string rebuilt;
    if (UpgradePage(page, templateText, rebuilt)) return NormalizeLineEnds(rebuilt);
    return NormalizeLineEnds(templateText);
}

std::string InsertEntry(const std::string& page, const std::string& heading,
                        const std::string& entry, bool newestFirst) {
    std::string text = page;
    const std::string block = heading + kCrLf + kTableLine + kCrLf + "</table>" + kCrLf;
    auto insertBlockAtTop = [&] {
        text.insert(EndOfLine(text, FindLine(text, kContentLine)), block);
    };
    if (FindLine(text, heading) == std::string::npos) {
        if (newestFirst)
            insertBlockAtTop();
        else
            text.insert(FindLastLine(text, kEndLine), block);
    }
    const std::string entryLines = entry + kCrLf;
    if (newestFirst) {
        std::size_t table = FindLine(text, kTableLine);
        if (table == std::string::npos) {
            // Today's heading stands without a table: give it a fresh block.
            insertBlockAtTop();
            table = FindLine(text, kTableLine);
        }
        text.insert(EndOfLine(text, table), entryLines);
    } else {
        std::size_t end = FindLastLine(text, kEndLine);
        // The line before the last line: normally the last "</table>".
        std::size_t previous = end < 2 ? 0 : text.rfind('\n', end - 2);
        previous = previous == std::string::npos || end < 2 ? 0 : previous + 1;
        text.insert(previous, entryLines);
    }
    return text;
}

namespace {

enum class Update { Done, NotUpdated, Damaged };

// Read, change and write the page; the caller holds the lock.
Update UpdatePage(common::Platform& p, const std::string& historyFolder,
                  const std::string& heading, const std::string& entry, bool newestFirst) {
    const std::string page = historyFolder + kHistoryFile;
    const std::string tmp = page + ".tmp";
    const std::string old = page + ".old";

    const std::uint64_t size = p.FileSize(page).value_or(0);
    std::optional<std::string> read = size > 0 ? p.ReadFile(page) : std::string();
    // There but unreadable (open elsewhere, no access): the user's page stays as it is.
    if (!read) return Update::NotUpdated;
    if (p.FileExists(tmp)) p.CopyFile(tmp, BakPathOf(page), false);
    if (size > 0) p.CopyFile(page, tmp, false);

    const std::string templateText = p.Resource(kHistoryResource).value_or("");
    std::string text = std::move(*read);
    if (text.empty()) text = templateText;
    text = NormalizeLineEnds(text);

    switch (KindOfPage(text)) {
    case PageKind::OldFormat: {
        const std::uint64_t oldSize = p.FileSize(old).value_or(0);
        if (!(p.FileExists(old) && oldSize > size)) p.CopyFile(page, old, false);
        std::string upgraded;
        if (!UpgradePage(text, templateText, upgraded)) return Update::Damaged;
        text = NormalizeLineEnds(upgraded);
        break;
    }
    case PageKind::MissingAnchors:
        // Edited or cut short: keep what there is, then rebuild on the template.
        if (size > 0) p.CopyFile(page, UniqueFileName(p, historyFolder + "MirsaHistory_damaged.html"), false);
        text = RebuildPage(text, templateText);
        break;
    case PageKind::Current:
        break;
    }

    // No usable template either: the page stays as it is. Written whole or
    // not at all: either way the page is sound and the copy is no longer needed.
    const bool written =
        KindOfPage(text) == PageKind::Current &&
        common::WriteFileAtomic(p, page, InsertEntry(text, heading, entry, newestFirst));
    p.DeleteFile(tmp);
    return written ? Update::Done : Update::NotUpdated;
}

}  // namespace

bool AddHistoryEntry(common::Platform& p, const std::string& title, const std::string& savedFile,
                     const std::string& address, const std::string& historyFolder,
                     bool useFileName, bool newestFirst) {
    // The address comes from the page as much as the title does: no mark-up from it either.
    const std::string shownAddress = HistoryAddress(address, title);
    const std::string shownTitle = HistoryTitle(title, savedFile, useFileName);
    const std::string link = HistoryLink(savedFile, historyFolder);
    const common::SystemTime now = p.LocalTime();
    const std::string heading =
        DayHeading(p.AnsiToUtf8(p.FormatDate(now, 0, kDayPattern)));
    const std::string entry = p.AnsiToUtf8(
        HistoryEntry(p.FormatTime(now, 0, kTimePattern), link, shownTitle, shownAddress));

    // Never written without the lock, or another saver's item could be lost:
    // its holder only reads and writes the page, so the wait ends.
    const common::MutexId lock = common::AcquireMutexPumping(p, kHistoryMutex);
    Update update = Update::NotUpdated;
    if (lock != 0) {
        update = UpdatePage(p, historyFolder, heading, entry, newestFirst);
        p.ReleaseMutex(lock);
    }
    // Shown once the lock is free, so other saves go on while the box is open.
    if (update != Update::Done)
        p.MessageBox(0, kDamagedHistoryText, kErrorTitle, common::mb::IconExclamation);
    return update != Update::Damaged;
}

}  // namespace mirsa
