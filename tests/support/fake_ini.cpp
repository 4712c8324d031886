// FakePlatform: private-profile (INI) files on the in-memory file system,
// with the semantics of GetPrivateProfileStringA and its relatives.
#include <algorithm>

#include "tests/support/fake_state.h"

namespace common {

using fake::SameNoCase;

namespace {

constexpr std::size_t kValueLimit = 4095;  // the 4096-byte read buffer

bool IsIniSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' ||
           c == '\x1a';
}

std::string Trim(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsIniSpace(text[b])) ++b;
    while (e > b && IsIniSpace(text[e - 1])) --e;
    return text.substr(b, e - b);
}

// The line ends of the content, one for each line of SplitLines ("" for a
// last line without one).
std::vector<std::string> LineEnds(const std::string& content) {
    std::vector<std::string> ends;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {
            ends.push_back("");
            break;
        }
        ends.push_back(nl > start && content[nl - 1] == '\r' ? "\r\n" : "\n");
        start = nl + 1;
    }
    return ends;
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t nl = content.find('\n', start);
        if (nl == std::string::npos) nl = content.size();
        std::string line = content.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = nl + 1;
    }
    return lines;
}

// A section header "[name]" (text up to the last "]"), after trimming.
std::optional<std::string> SectionOf(const std::string& line) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return std::nullopt;
    std::size_t close = t.rfind(']');
    if (close == std::string::npos) return std::nullopt;
    return t.substr(1, close - 1);
}

struct KeyLine {
    std::string key;
    std::optional<std::string> value;  // nullopt: a line without "="
};

std::optional<KeyLine> KeyOf(const std::string& line) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';') return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string::npos) return KeyLine{t, std::nullopt};
    return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// Line index of the first section with this name, or nullopt.
std::optional<std::size_t> FindSection(const std::vector<std::string>& lines,
                                       const std::string& section) {
    std::string wanted = Trim(section);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionOf(lines[i]);
        if (name && SameNoCase(Trim(*name), wanted)) return i;
    }
    return std::nullopt;
}

std::size_t SectionEnd(const std::vector<std::string>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && !SectionOf(lines[i])) ++i;
    return i;
}

std::optional<std::size_t> FindKey(const std::vector<std::string>& lines, std::size_t header,
                                   const std::string& key) {
    std::string wanted = Trim(key);
    std::size_t end = SectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        auto k = KeyOf(lines[i]);
        if (k && SameNoCase(k->key, wanted)) return i;
    }
    return std::nullopt;
}

std::set<FakePlatform::IniRead>& IniReads() {
    static std::set<FakePlatform::IniRead> reads;
    return reads;
}

bool& RecordingIniReads() {
    static bool on = false;
    return on;
}

std::string StripQuotes(const std::string& value) {
    if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

// A bare file name lives in the Windows folder, as the profile functions have it.
std::string FakePlatform::State::IniPath(const std::string& file) const {
    if (file.find_first_of("\\/") == std::string::npos &&
        !(file.size() >= 2 && file[1] == ':'))
        return fake::NormalizePath(fake::JoinPath(windowsFolder, file), currentFolder);
    return Norm(file);
}

void FakePlatform::RecordIniReads(bool on) { RecordingIniReads() = on; }
const std::set<FakePlatform::IniRead>& FakePlatform::IniReadsOfProcess() { return IniReads(); }

std::string FakePlatform::IniReadString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& def) {
    if (RecordingIniReads()) IniReads().emplace(fake::NameOf(s_->IniPath(file)), section, key);
    std::string fallback = def;
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
    fallback = fallback.substr(0, kValueLimit);
    const State::Node* node = s_->Find(s_->IniPath(file));
    if (!node || node->folder || node->locked) return fallback;
    auto lines = SplitLines(node->content);
    auto header = FindSection(lines, section);
    if (!header) return fallback;
    auto at = FindKey(lines, *header, key);
    if (!at) return fallback;
    auto k = KeyOf(lines[*at]);
    if (!k->value) return fallback;
    return StripQuotes(*k->value).substr(0, kValueLimit);
}

// GetPrivateProfileIntA: a missing or empty value gives the default; otherwise
// leading blanks, an optional sign and the decimal digits up to the first
// other character (none: 0). The value is read through a 30-character buffer.
int FakePlatform::IniReadInt(const std::string& file, const std::string& section,
                             const std::string& key, int def) {
    std::string text = IniReadString(file, section, key, "").substr(0, 29);
    if (text.empty()) return def;
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        value = value * 10u + static_cast<std::uint32_t>(text[i++] - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

// WritePrivateProfileStringA: replaces the value of the first matching key in
// place, or adds the key at the end of its section, or adds the section at the
// end of the file; the other lines stay as they are, byte for byte; new
// lines end with CR LF.
bool FakePlatform::IniWriteString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) {
    std::string path = s_->IniPath(file);
    const State::Node* node = s_->Find(path);
    bool ok = !path.empty() && !(node && (node->folder || node->locked)) &&
              !s_->Fault(OpKind::IniWrite, path);
    if (ok) {
        std::string content = node ? node->content : std::string();
        auto lines = SplitLines(content);
        auto ends = LineEnds(content);
        auto insert = [&](std::size_t at, const std::string& line) {
            if (at > 0 && ends[at - 1].empty()) ends[at - 1] = "\r\n";
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
            ends.insert(ends.begin() + static_cast<std::ptrdiff_t>(at), "\r\n");
        };
        std::string entry = key + "=" + value;
        if (auto header = FindSection(lines, section)) {
            if (auto at = FindKey(lines, *header, key)) {
                lines[*at] = KeyOf(lines[*at])->key + "=" + value;
            } else {
                std::size_t end = SectionEnd(lines, *header);
                std::size_t last = *header;
                for (std::size_t i = *header + 1; i < end; ++i)
                    if (!Trim(lines[i]).empty()) last = i;
                insert(last + 1, entry);
            }
        } else {
            insert(lines.size(), "[" + section + "]");
            insert(lines.size(), entry);
        }
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) text += lines[i] + ends[i];
        ok = s_->PutFile(path, text) == 0;
    }
    s_->LogFile("ini", file, section + "/" + key, ok);
    return ok;
}

// GetPrivateProfileSectionNamesA: each name with its zero, one more zero at
// the end; a name that does not fit is cut to what is left and ends the list.
std::vector<std::string> FakePlatform::IniSectionNames(const std::string& file,
                                                       std::size_t bufferSize) {
    std::vector<std::string> out;
    const State::Node* node = s_->Find(s_->IniPath(file));
    if (!node || node->folder || node->locked || bufferSize < 2) return out;
    std::size_t room = bufferSize - 1;
    for (const auto& line : SplitLines(node->content)) {
        auto name = SectionOf(line);
        if (!name || name->empty()) continue;
        std::size_t need = name->size() + 1;
        if (need > room) {
            if (room > 1) out.push_back(name->substr(0, room - 1));
            break;
        }
        out.push_back(*name);
        room -= need;
    }
    return out;
}

}  // namespace common
