#include "tarvel/path_correction.h"

#include <algorithm>
#include <cstring>

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"

namespace tarvel {

namespace {

// ASCII letters upper-cased, every other byte as it is.
struct FoldTable {
    unsigned char to[256];
    FoldTable() {
        for (int c = 0; c < 256; ++c) to[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
};
const FoldTable kFold;

unsigned char Fold(char c) { return kFold.to[static_cast<unsigned char>(c)]; }
bool IsAsciiLetter(unsigned char folded) { return folded >= 'A' && folded <= 'Z'; }

std::string UpperAscii(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(Fold(c));
    return out;
}

// Knuth-Morris-Pratt failure table of the pattern.
std::vector<std::size_t> FailureTable(const std::string& pattern) {
    std::vector<std::size_t> fail(pattern.size(), 0);
    std::size_t k = 0;
    for (std::size_t i = 1; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k]) k = fail[k - 1];
        if (pattern[i] == pattern[k]) ++k;
        fail[i] = k;
    }
    return fail;
}

// Bytes that paths and profile lines are full of; a poor choice to skip to.
bool IsCommonPathByte(unsigned char c) {
    return c == ' ' || c == '\\' || c == '/' || c == '.' || c == '_' || c == '-' || c == '%' ||
           (c >= '0' && c <= '9');
}

// Index of the pattern byte to skip to with memchr: a byte that is no letter
// has one spelling, so the text needs no upper-cased copy. An all-letter
// pattern skips to its first letter in either case.
std::size_t AnchorOf(const std::string& folded) {
    std::size_t fallback = std::string::npos;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (IsAsciiLetter(c)) continue;
        if (!IsCommonPathByte(c)) return i;
        if (fallback == std::string::npos) fallback = i;
    }
    return fallback == std::string::npos ? 0 : fallback;
}

// Finds non-overlapping occurrences of a pattern in a text, ASCII letters
// compared without case, left to right, without copying the text: memchr
// skips to the next place of the pattern's anchor byte and the pattern is
// compared there. When the comparisons start to cost more than the bytes
// they pass (a text of near-matches), the search goes on with
// Knuth-Morris-Pratt, which stays linear.
class Matcher {
public:
    explicit Matcher(const std::string& pattern)
        : pattern_(UpperAscii(pattern)), anchor_(AnchorOf(pattern_)) {}

    // Start of the next occurrence at or after from, or npos.
    std::size_t Next(const std::string& text, std::size_t from) {
        const std::size_t m = pattern_.size();
        if (m == 0 || text.size() < m || from > text.size() - m) return std::string::npos;
        return linear_ ? NextLinear(text, from) : NextSkipping(text, from);
    }

private:
    std::size_t NextSkipping(const std::string& text, std::size_t from) {
        const std::size_t m = pattern_.size(), last = text.size() - m;
        const char* data = text.data();
        const unsigned char anchor = static_cast<unsigned char>(pattern_[anchor_]);
        const bool letter = IsAsciiLetter(anchor);
        std::size_t compared = 0;
        for (std::size_t start = from; start <= last;) {
            start = letter ? NextLetter(text, start, anchor) : NextByte(data, start, last, anchor);
            if (start == std::string::npos || start > last) return std::string::npos;
            std::size_t j = 0;
            while (j < m && Fold(data[start + j]) == static_cast<unsigned char>(pattern_[j])) ++j;
            if (j == m) return start;
            compared += j + 1;
            if (compared > 2 * (start - from) + 2 * m + 64) {
                linear_ = true;
                return NextLinear(text, start);
            }
            ++start;
        }
        return std::string::npos;
    }

    // First start at or after from whose anchor byte matches.
    std::size_t NextByte(const char* data, std::size_t from, std::size_t last,
                         unsigned char anchor) const {
        const void* hit = std::memchr(data + from + anchor_, anchor, last - from + 1);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) - anchor_
                   : std::string::npos;
    }

    // The same for a letter: the nearer of its two spellings, each found
    // once and kept until the search passes it.
    std::size_t NextLetter(const std::string& text, std::size_t from, unsigned char upper) {
        upperAt_ = Refresh(text, upperAt_, from, static_cast<char>(upper));
        lowerAt_ = Refresh(text, lowerAt_, from, static_cast<char>(upper + 32));
        return std::min(upperAt_, lowerAt_);
    }

    static std::size_t Refresh(const std::string& text, std::size_t cached, std::size_t from,
                               char c) {
        if (cached != kUnknown && (cached == std::string::npos || cached >= from)) return cached;
        const void* hit = std::memchr(text.data() + from, c, text.size() - from);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
                   : std::string::npos;
    }

    std::size_t NextLinear(const std::string& text, std::size_t from) {
        if (fail_.empty()) fail_ = FailureTable(pattern_);
        const std::size_t n = text.size(), m = pattern_.size();
        std::size_t k = 0;
        for (std::size_t i = from; i < n;) {
            if (Fold(text[i]) == static_cast<unsigned char>(pattern_[k])) {
                ++i;
                if (++k == m) return i - m;
            } else if (k > 0) {
                k = fail_[k - 1];
            } else {
                ++i;
            }
        }
        return std::string::npos;
    }

    static constexpr std::size_t kUnknown = std::string::npos - 1;
    std::string pattern_;
    std::size_t anchor_;
    std::vector<std::size_t> fail_;
    bool linear_ = false;
    std::size_t upperAt_ = kUnknown, lowerAt_ = kUnknown;
};

std::string Utf8OfAnsi(common::Platform& p, const std::string& ansi) { return p.AnsiToUtf8(ansi); }

bool SameFolderName(common::Platform& p, const std::string& a, const std::string& b) {
    return p.UpperCase(a) == p.UpperCase(b);
}

}  // namespace

bool IsPathBoundary(char c) { return c == '\n' || c == '\r' || c == '/' || c == '\\'; }

namespace {

// Builds the result as a new text.
class NewText {
public:
    explicit NewText(const std::string& source) : source_(source) {}
    void Reserve(std::size_t bytes) { out_.reserve(bytes); }
    void Keep(std::size_t from, std::size_t length) { out_.append(source_, from, length); }
    void Put(const std::string& text) { out_ += text; }
    std::string Take() { return std::move(out_); }

private:
    const std::string& source_;
    std::string out_;
};

// Writes the result over the text it is read from; the write position never
// passes the read position because the new text is no longer than the old.
class SameText {
public:
    explicit SameText(std::string& text) : text_(text) {}
    void Reserve(std::size_t) {}
    void Keep(std::size_t from, std::size_t length) {
        if (written_ != from) std::memmove(&text_[written_], text_.data() + from, length);
        written_ += length;
    }
    void Put(const std::string& text) {
        std::memcpy(&text_[written_], text.data(), text.size());
        written_ += text.size();
    }
    void Finish() { text_.resize(written_); }

private:
    std::string& text_;
    std::size_t written_ = 0;
};

// Hands the pieces of the result to out: text kept as it is and newText in
// place of each match that passes the boundary test. False (and nothing
// handed) when the text does not name oldText at all.
template <typename Out>
bool ReplaceInto(const std::string& text, const std::string& oldText, const std::string& newText,
                 bool boundaryTest, Out& out) {
    if (oldText.empty() || text.size() < oldText.size()) return false;
    Matcher matcher(oldText);
    const std::size_t length = oldText.size();
    std::size_t at = matcher.Next(text, 0);
    if (at == std::string::npos) return false;

    auto replaces = [&](std::size_t match) {
        const std::size_t end = match + length;
        return !boundaryTest || end == text.size() || IsPathBoundary(text[end]);
    };
    if (newText.size() > length) {
        // The exact size of the result, so that a large file is not grown by doubling.
        // A matcher of its own: one keeps its place in the text between calls.
        Matcher counter(oldText);
        std::size_t count = 0;
        for (std::size_t match = at; match != std::string::npos; match = counter.Next(text, match + length))
            if (replaces(match)) ++count;
        out.Reserve(text.size() + count * (newText.size() - length));
    } else {
        out.Reserve(text.size());
    }
    std::size_t kept = 0;  // text before this index has been handed on
    for (; at != std::string::npos; at = matcher.Next(text, at + length)) {
        const std::size_t end = at + length;
        if (replaces(at)) {
            out.Keep(kept, at - kept);
            out.Put(newText);
        } else {
            out.Keep(kept, end - kept);
        }
        kept = end;
    }
    out.Keep(kept, text.size() - kept);
    return true;
}

}  // namespace

std::string ReplacePathText(const std::string& text, const std::string& oldText,
                            const std::string& newText, bool boundaryTest) {
    NewText out(text);
    return ReplaceInto(text, oldText, newText, boundaryTest, out) ? out.Take() : text;
}

bool ReplacePathTextInPlace(std::string& text, const std::string& oldText,
                            const std::string& newText, bool boundaryTest) {
    if (newText.size() <= oldText.size()) {
        SameText out(text);
        if (!ReplaceInto(text, oldText, newText, boundaryTest, out)) return false;
        out.Finish();
        return true;
    }
    NewText out(text);
    if (!ReplaceInto(text, oldText, newText, boundaryTest, out)) return false;
    text = out.Take();
    return true;
}

std::string UrlForm(const std::string& path) {
    return ReplacePathText(ReplacePathText(path, "\\", "/", false), " ", "%20", false);
}

bool ContainsNoCase(const std::string& text, const std::string& needle) {
    if (needle.empty() || text.size() < needle.size()) return false;
    return Matcher(needle).Next(text, 0) != std::string::npos;
}

namespace {

// The original kept under the backup name. A second name for its data costs
// no copy of a large profile file, and keeps the original because the new
// text is moved in under the file's name; a volume without such names (FAT)
// gets a real copy.
bool KeepBackup(common::Platform& p, const std::string& file, const std::string& backup) {
    if (p.FileExists(backup)) p.DeleteFile(backup);
    return p.LinkFile(file, backup) || p.CopyFile(file, backup, false);
}

}  // namespace

void CorrectFilePasses(common::Platform& p, const std::string& file,
                       const std::vector<Replacement>& passes) {
    // A read-only file stays as it is; moving the new text over it would
    // get round the attribute on some systems.
    if (!p.FileExists(file) || p.IsReadOnly(file)) return;
    std::optional<std::string> content = p.ReadFile(file);
    if (!content) return;
    std::string text = std::move(*content);
    if (!text.empty() && text.back() == '\0') text.pop_back();

    bool named = false;
    for (const Replacement& pass : passes)
        if (ReplacePathTextInPlace(text, pass.first, pass.second, true)) named = true;
    if (!named) return;

    // Without a safety copy the original is not touched.
    const std::string backup = file + kBackupSuffix;
    if (!KeepBackup(p, file, backup)) return;

    if (!common::WriteFileAtomic(p, file, text)) {
        // Still a second name of the file itself: make it a copy of its own.
        p.DeleteFile(backup);
        p.CopyFile(file, backup, false);
    }
}

void CorrectFile(common::Platform& p, const std::string& file, const std::string& oldText,
                 const std::string& newText) {
    CorrectFilePasses(p, file, {{oldText, newText}});
}

void CorrectFolder(common::Platform& p, const std::string& folder, const std::string& mask,
                   const std::string& oldText, const std::string& newText) {
    for (const common::FolderEntry& entry : p.FindFiles(folder + mask)) {
        CorrectFile(p, folder + entry.name, oldText, newText);
    }
}

std::string DetermineOldDir(common::Platform& p, const LaunchState& s) {
    if (!s.pathOverride.empty() && common::Contains(s.pathOverride, ":\\")) {
        return common::WithoutTrailingBackslash(Utf8OfAnsi(p, s.pathOverride));
    }
    if (!s.operaDirectory.empty()) {
        constexpr std::size_t kProfileLength = 7;  // "profile"
        // A value written with a trailing backslash still names the same folder.
        const std::string dir = common::WithoutTrailingBackslash(s.operaDirectory);
        const std::string cut = dir.size() > kProfileLength
                                    ? dir.substr(0, dir.size() - kProfileLength)
                                    : std::string();
        return common::WithoutTrailingBackslash(cut);
    }
    return Utf8OfAnsi(p, s.baseDir);
}

void CorrectProfile(common::Platform& p, LaunchState& s) {
    if (SameFolderName(p, s.programDirBare, p.Utf8ToAnsi(s.oldMainDir)) &&
        SameFolderName(p, s.programDirBare, p.Utf8ToAnsi(s.oldDir))) {
        return;
    }
    s.newDirUrl = UrlForm(s.programDirUtf8);
    s.oldDirUrl = UrlForm(s.oldDir);
    const CorrectSwitches& on = s.switches;
    const std::string& newDir = s.programDirUtf8;

    CorrectFile(p, s.defaultsFile, s.oldMainDir, newDir);
    CorrectFile(p, s.profileIni, s.oldDir, newDir);
    CorrectFile(p, s.overrideFile, s.oldDir, newDir);
    if (on.spellCheck) {
        common::IniFile(p, s.spellCheckFile)
            .WriteText("Spell check", "Spell check engine", s.programDir + "spellcheck.dll");
    }
    if (on.widgetsPath) CorrectFile(p, s.widgetsFile, s.oldDir, newDir);
    if (on.mail) {
        CorrectFile(p, s.mailIndexFile, s.oldDir, newDir);
        CorrectFile(p, s.mailAccountsFile, s.oldDir, newDir);
        CorrectFile(p, s.contactsFile, s.oldDirUrl, s.newDirUrl);
    }
    if (on.obook) CorrectFile(p, s.obookFile, p.Utf8ToAnsi(s.oldDir), s.programDirBare);
    if (on.dialog) CorrectFile(p, s.dialogFile, s.oldDir, newDir);
    const std::string profileFolder = s.programDir + "profile\\";
    if (on.toolbar) CorrectFolder(p, profileFolder + "toolbar\\", "*.ini", s.oldDir, newDir);
    if (on.menu) CorrectFolder(p, profileFolder + "menu\\", "*.ini", s.oldDir, newDir);
    if (on.keyboard) CorrectFolder(p, profileFolder + "keyboard\\", "*.ini", s.oldDir, newDir);
    if (on.mouse) CorrectFolder(p, profileFolder + "mouse\\", "*.ini", s.oldDir, newDir);
    if (on.language) CorrectFolder(p, s.programDir, "*.lng", s.oldDirUrl, s.newDirUrl);
    if (on.bookmarks) {
        // Both passes in one rewrite, so the ".bak" keeps the bookmarks as they were.
        CorrectFilePasses(p, s.bookmarksFile, {{s.oldDir, newDir}, {s.oldDirUrl, s.newDirUrl}});
    }
    s.corrected = true;
}

void AdjustProfile(common::Platform& p, const LaunchState& s) {
    namespace b = common::browser;
    const common::IniFile profile(p, s.profileIni);
    if (s.switches.searchType && s.searchType != -1) {
        profile.WriteInt(b::kSectionUserPrefs, b::kKeySearchType, -1);
    }
    if (!s.switches.cacheDirectory || s.programDir.empty() || s.programDir[0] == '\\') return;
    const std::string root = std::string(1, s.programDir[0]) + ":\\";
    if (p.DriveType(root) != common::drive_type::Removable) return;
    const std::string cache = common::WithTrailingBackslash(p.TempFolder()) + "opera";
    if (!SameFolderName(p, cache, p.Utf8ToAnsi(s.cacheDirectory))) {
        profile.WriteText(b::kSectionUserPrefs, b::kKeyCacheDirectory, p.AnsiToUtf8(cache));
    }
}

}  // namespace tarvel
