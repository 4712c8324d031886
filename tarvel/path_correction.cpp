#include "tarvel/path_correction.h"

#include <cstring>

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"

namespace tarvel {

namespace {

std::string UpperAscii(const std::string& text) {
    std::string out(text.size(), '\0');
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    unsigned char* to = reinterpret_cast<unsigned char*>(out.data());
    // Branch-free, so the compiler can do many bytes at a time.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = in[i];
        to[i] = static_cast<unsigned char>(c - (static_cast<unsigned char>(c - 'a') < 26u ? 32 : 0));
    }
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

// Finds non-overlapping occurrences of an upper-cased pattern in an
// upper-cased text, left to right, in linear time: memchr skips to the next
// candidate start, KMP keeps partial matches from being rescanned.
class Matcher {
public:
    explicit Matcher(std::string pattern)
        : pattern_(std::move(pattern)), fail_(FailureTable(pattern_)) {}

    // Start of the next occurrence at or after from, or npos.
    std::size_t Next(const std::string& text, std::size_t from) const {
        const std::size_t n = text.size(), m = pattern_.size();
        const char* data = text.data();
        std::size_t i = from, k = 0;
        while (i < n) {
            if (k == 0) {
                const void* hit = std::memchr(data + i, pattern_[0], n - i);
                if (!hit) return std::string::npos;
                i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            }
            if (data[i] == pattern_[k]) {
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

private:
    std::string pattern_;
    std::vector<std::size_t> fail_;
};

std::string Utf8OfAnsi(common::Platform& p, const std::string& ansi) { return p.AnsiToUtf8(ansi); }

bool SameFolderName(common::Platform& p, const std::string& a, const std::string& b) {
    return p.UpperCase(a) == p.UpperCase(b);
}

}  // namespace

bool IsPathBoundary(char c) { return c == '\n' || c == '\r' || c == '/' || c == '\\'; }

namespace {

// The replacement, or nullopt when the text does not name oldText at all.
std::optional<std::string> ReplaceIfNamed(const std::string& text, const std::string& oldText,
                                          const std::string& newText, bool boundaryTest) {
    if (oldText.empty() || text.size() < oldText.size()) return std::nullopt;
    const std::string upper = UpperAscii(text);
    const Matcher matcher(UpperAscii(oldText));
    const std::size_t length = oldText.size();
    std::size_t at = matcher.Next(upper, 0);
    if (at == std::string::npos) return std::nullopt;

    std::string result;
    result.reserve(newText.size() > length ? text.size() + text.size() / 8 : text.size());
    std::size_t copied = 0;  // text before this index is in result
    for (; at != std::string::npos; at = matcher.Next(upper, at + length)) {
        const std::size_t end = at + length;
        const bool atBoundary = end == upper.size() || IsPathBoundary(upper[end]);
        if (!boundaryTest || atBoundary) {
            result.append(text, copied, at - copied);
            result += newText;
        } else {
            result.append(text, copied, end - copied);
        }
        copied = end;
    }
    result.append(text, copied, std::string::npos);
    return result;
}

}  // namespace

std::string ReplacePathText(const std::string& text, const std::string& oldText,
                            const std::string& newText, bool boundaryTest) {
    std::optional<std::string> replaced = ReplaceIfNamed(text, oldText, newText, boundaryTest);
    return replaced ? std::move(*replaced) : text;
}

std::string UrlForm(const std::string& path) {
    return ReplacePathText(ReplacePathText(path, "\\", "/", false), " ", "%20", false);
}

bool ContainsNoCase(const std::string& text, const std::string& needle) {
    if (needle.empty() || text.size() < needle.size()) return false;
    return Matcher(UpperAscii(needle)).Next(UpperAscii(text), 0) != std::string::npos;
}

void CorrectFilePasses(common::Platform& p, const std::string& file,
                       const std::vector<Replacement>& passes) {
    // A read-only file stays as it is; moving the new text over it would
    // get round the attribute on some systems.
    if (!p.FileExists(file) || p.IsReadOnly(file)) return;
    const std::optional<std::string> content = p.ReadFile(file);
    if (!content) return;
    std::string text = *content;
    if (!text.empty() && text.back() == '\0') text.pop_back();

    bool named = false;
    for (const Replacement& pass : passes) {
        std::optional<std::string> replaced = ReplaceIfNamed(text, pass.first, pass.second, true);
        if (!replaced) continue;
        named = true;
        text = std::move(*replaced);
    }
    if (!named) return;

    // Without a safety copy the original is not touched.
    if (!p.CopyFile(file, file + kBackupSuffix, false)) return;

    common::WriteFileAtomic(p, file, text);
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
