#include "common/helpers.h"

#include <algorithm>
#include <cstdint>

#include "common/browser.h"

namespace common {

namespace {

constexpr std::uint32_t kPumpStepMs = 100;

ProcessStart StartOf(const std::string& commandLine, std::optional<int> show) {
    ProcessStart start;
    start.commandLine = commandLine;
    start.showWindow = show;
    return start;
}

bool IsControlOrBlank(unsigned char c) { return c >= 1 && c <= 32; }

}  // namespace

bool RunProgram(Platform& p, const std::string& commandLine, int showWindow, bool waitUntilReady,
                const std::string& currentFolder) {
    ProcessStart start = StartOf(commandLine, showWindow);
    // The folder part of the whole command line: usually no folder when the
    // program path is quoted or an argument holds a backslash.
    std::string folder = currentFolder.empty() ? WithoutTrailingBackslash(FolderOfPath(commandLine))
                                               : currentFolder;
    if (!folder.empty() && p.FolderExists(folder)) start.currentFolder = folder;
    ProcessId process = p.StartProcess(start);
    if (process == 0) return false;
    if (waitUntilReady) {
        while (p.WaitForInputIdle(process, kPumpStepMs) == WaitResult::Timeout) p.PumpOneMessage();
    }
    p.CloseProcess(process);
    return true;
}

void DispatchWaitingMessages(Platform& p, std::size_t limit) {
    for (std::size_t n = 0; n < limit && p.PumpOneMessage(); ++n) {
    }
}

bool RunProgramAndWait(Platform& p, const std::string& commandLine, WaitVariant variant,
                       int showWindow) {
    std::optional<int> show;
    if (variant == WaitVariant::Mirsa) show = showWindow;
    ProcessId process = p.StartProcess(StartOf(commandLine, show));
    if (process == 0) return false;
    WaitForProcessPumping(p, process, kNoWaitLimit);
    p.CloseProcess(process);
    return true;
}

WaitResult WaitForProcessPumping(Platform& p, ProcessId process, std::uint32_t limitMs) {
    const std::uint32_t start = p.TickCount();
    for (;;) {
        WaitResult result = p.WaitForProcess(process, kPumpStepMs);
        if (result != WaitResult::Timeout) return result;
        // Differences of tick counts stay right across the counter's wrap.
        if (limitMs != kNoWaitLimit && p.TickCount() - start >= limitMs) return result;
        p.PumpOneMessage();
    }
}

MutexId AcquireMutexPumping(Platform& p, const std::string& name) {
    for (;;) {
        const MutexTake take = p.TakeMutex(name, kPumpStepMs);
        if (take.mutex != 0 || take.refused) return take.mutex;
        p.PumpOneMessage();
    }
}

std::string QuotedIfBlank(const std::string& path) {
    if (path.find_first_of(" \t") == std::string::npos) return path;
    return "\"" + path + "\"";
}

std::string ExpandEnvVars(Platform& p, const std::string& text) { return p.ExpandEnvironment(text); }

std::string ExpandPath(Platform& p, const std::string& path, ExpandVariant variant,
                       const std::string& baseFolder) {
    std::string result = ExpandEnvVars(p, path);
    if (variant == ExpandVariant::Mirsa) {
        auto replaceFirst = [&](const std::string& placeholder, const char* valueName) {
            std::string value = WithoutTrailingBackslash(
                p.RegistryUserString(browser::kShellFoldersKey, valueName).value_or(""));
            std::size_t at = result.find(placeholder);
            if (at != std::string::npos) result.replace(at, placeholder.size(), value);
        };
        replaceFirst("%DesktopDir%", browser::kValueDesktop);
        replaceFirst("%MyDocuments%", browser::kValuePersonal);
    }
    // A drive path (":\" anywhere) or a network path ("\\server\share") is absolute.
    if (!result.empty() && result.find(":\\") == std::string::npos && !StartsWith(result, "\\\\"))
        result = WithTrailingBackslash(baseFolder) + result;
    return result;
}

std::string GetEnvVar(Platform& p, const std::string& name) {
    // The whole value, however long: a cut PATH would lose the user's folders.
    return p.GetEnv(name).value_or("");
}

std::string CommandLineTail(const std::string& commandLine) {
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    for (;;) {
        if (i < n && IsControlOrBlank(static_cast<unsigned char>(commandLine[i]))) {
            ++i;
        } else if (i + 1 < n && commandLine[i] == '"' && commandLine[i + 1] == '"') {
            i += 2;
        } else {
            break;
        }
    }
    while (i < n && static_cast<unsigned char>(commandLine[i]) > 32) {
        if (commandLine[i] == '"') {
            ++i;
            while (i < n && commandLine[i] != '"') ++i;
            if (i < n) ++i;
        } else {
            ++i;
        }
    }
    return commandLine.substr(i);
}

std::string FolderOfPath(const std::string& path) {
    std::size_t at = path.rfind('\\');
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string FileNameOfPath(const std::string& path) {
    std::size_t at = path.rfind('\\');
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ProgramFolder(Platform& p) { return FolderOfPath(p.ModuleFileName()); }

std::string ProgramTitleOfPath(Platform& p, const std::string& path) {
    std::string name = FileNameOfPath(path);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    if (!name.empty()) name = p.UpperCase(name.substr(0, 1)) + name.substr(1);
    return name;
}

bool WriteFileAtomic(Platform& p, const std::string& path, const std::string& data) {
    // The temporary name keeps the whole original name in front, so it never
    // matches a mask such as "*.ini" that lists the originals. Each writer
    // takes a name of its own by creating it, so two processes writing one
    // file never write into each other's temporary file.
    constexpr int kTemporaryNames = 1000;
    constexpr int kTriesPerName = 3;
    constexpr int kMoveTries = 20;
    constexpr std::uint32_t kMoveRetryMs = 10;
    int tries = 0;
    for (int n = 0; n < kTemporaryNames;) {
        const std::string temp = path + ".~new" + (n == 0 ? std::string() : std::to_string(n));
        if (p.CreateNewFile(temp, data)) {
            // Another writer replacing the file at this moment holds it for a
            // moment; a few short waits see that through.
            for (int move = 0; move < kMoveTries; ++move) {
                if (p.MoveFile(temp, path, true)) return true;
                p.Sleep(kMoveRetryMs);
            }
            p.DeleteFile(temp);
            return false;
        }
        if (p.FileExists(temp) || p.FolderExists(temp)) {
            ++n;  // another writer's
            tries = 0;
            continue;
        }
        // Nothing there: another writer moved its file away just now, or the
        // folder cannot be written, which a few tries tell apart.
        if (++tries == kTriesPerName) return false;
    }
    return false;
}

bool ShellFileOperation(Platform& p, WindowId owner, unsigned operation, std::uint16_t extraFlags,
                        const std::string& source, const std::string& target) {
    std::string from = WithoutTrailingBackslash(source);
    std::string to = WithoutTrailingBackslash(target);
    from.append(2, '\0');
    to.append(2, '\0');
    return p.ShellFileOperation(owner, operation, shell_op::SimpleProgress | extraFlags, from, to) ==
           0;
}

bool ShellMoveFiles(Platform& p, WindowId owner, const std::string& source,
                    const std::string& target) {
    return ShellFileOperation(p, owner, shell_op::Move, 0, source, target);
}

bool ShellCopyFiles(Platform& p, WindowId owner, const std::string& source,
                    const std::string& target) {
    return ShellFileOperation(p, owner, shell_op::Copy, 0, source, target);
}

std::size_t PosFrom(const std::string& sub, const std::string& text, std::size_t start) {
    if (sub.empty() || start == 0 || sub.size() > text.size()) return 0;
    const std::size_t last = text.size() - sub.size() + 1;
    for (std::size_t pos = start; pos <= last; ++pos) {
        if (text[pos - 1] == sub[0] && text.compare(pos - 1, sub.size(), sub) == 0) return pos;
    }
    return 0;
}

std::size_t LastPos(const std::string& sub, const std::string& text) {
    if (sub.empty()) return 0;
    std::size_t p = PosFrom(ReverseText(sub), ReverseText(text), 1);
    if (p == 0) return 0;
    return text.size() - sub.size() - p + 2;
}

std::string ReverseText(const std::string& text) { return std::string(text.rbegin(), text.rend()); }

std::string ReplaceAll(const std::string& text, const std::string& oldText,
                       const std::string& newText) {
    if (oldText.empty()) return text;
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (;;) {
        std::size_t at = text.find(oldText, from);
        if (at == std::string::npos) break;
        result.append(text, from, at - from).append(newText);
        from = at + oldText.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

std::string SiteRootOfUrl(const std::string& url) {
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return "";
    std::size_t slash = PosFrom("/", url, scheme + 4);
    if (slash == 0) return "";
    return url.substr(0, slash);
}

std::string CleanDescription(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        switch (c) {
            case '\t': case '\n': case '\r': case '<': case '>': case '|': c = ' '; break;
            case '"': c = '\''; break;
            default: break;
        }
    }
    if (result.size() > 1000) result.resize(1000);
    std::size_t b = 0, e = result.size();
    while (b < e && static_cast<unsigned char>(result[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(result[e - 1]) <= 32) --e;
    return result.substr(b, e - b);
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string PercentEncode(const std::string& text, bool (*keep)(unsigned char)) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (keep(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string UnescapeUrl(const std::string& url) {
    std::string result;
    result.reserve(std::min(url.size(), kUnescapeLimit));
    std::size_t i = 0;
    bool inExtra = false;
    while (i < url.size() && result.size() < kUnescapeLimit) {
        char c = url[i];
        if (c == '\0') break;  // the text ends at its terminating zero
        if (c == '?' || c == '#') inExtra = true;
        if (!inExtra && c == '%' && i + 2 < url.size() && HexValue(url[i + 1]) >= 0 &&
            HexValue(url[i + 2]) >= 0) {
            result.push_back(static_cast<char>(HexValue(url[i + 1]) * 16 + HexValue(url[i + 2])));
            i += 3;
        } else {
            result.push_back(c);
            ++i;
        }
    }
    // A decoded zero byte ends the text, as it ends the system's buffer.
    std::size_t zero = result.find('\0');
    if (zero != std::string::npos) result.resize(zero);
    return result;
}

bool IsJunkChar(unsigned char c) { return c <= 32 || c == '.' || c == '_' || c == 0xA0; }

std::string TrimJunkRight(const std::string& text) {
    std::size_t e = text.size();
    while (e > 0 && IsJunkChar(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(0, e);
}

std::string TrimJunkLeft(const std::string& text) {
    std::size_t b = 0;
    while (b < text.size() && IsJunkChar(static_cast<unsigned char>(text[b]))) ++b;
    return text.substr(b);
}

bool IsFileNameForbidden(unsigned char c) {
    if (c < 0x20) return true;
    switch (c) {
        case '"': case '#': case '*': case '/': case ':': case '<': case '>': case '?':
        case '\\': case '|':
            return true;
        default:
            return false;
    }
}

bool HasFileNameTrouble(const std::string& title) {
    if (title.size() > 200) return true;
    return std::any_of(title.begin(), title.end(),
                       [](char c) { return IsFileNameForbidden(static_cast<unsigned char>(c)); });
}

namespace {
// Runs of underscores become one, as repeated "__" -> "_" replacement does.
std::string CollapseUnderscores(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '_' && !result.empty() && result.back() == '_') continue;
        result.push_back(c);
    }
    return result;
}
}  // namespace

std::string MakeFileName(const std::string& title) {
    std::string name = title;
    for (char& c : name)
        if (IsFileNameForbidden(static_cast<unsigned char>(c))) c = '_';
    name = CollapseUnderscores(name);
    if (name.size() > 128) name.resize(128);
    return TrimJunkLeft(TrimJunkRight(name));
}

std::string DotsToUnderscores(const std::string& text) {
    std::string result = text;
    std::replace(result.begin(), result.end(), '.', '_');
    return CollapseUnderscores(result);
}

std::string TrimControls(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(b, e - b);
}

std::string WithoutTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

std::string WithTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path;
    return path + "\\";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (lead == 0xE0) low = 0xA0;  // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
    if (lead == 0xF0) low = 0x90;  // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

bool IsValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string WellFormedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

}  // namespace common
