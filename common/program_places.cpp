#include "common/program_places.h"

#include <algorithm>
#include <vector>

#include "common/helpers.h"

namespace common {

namespace {

// Names tried for the write test; one left behind by a crash is skipped.
constexpr int kWriteTestNames = 10;

std::string WriteTestName(int n) { return "~write_test_" + std::to_string(n) + ".tmp"; }

// The user's folder of a kind followed by the program's name, with '\';
// empty when the system names none.
std::string UserFolder(Platform& p, KnownFolder kind, const std::string& programName) {
    const std::string base = p.KnownFolderPath(kind);
    return base.empty() ? std::string() : WithTrailingBackslash(base) + programName + "\\";
}

// Characters of the readable part of an install's folder name; the hash
// behind it tells installs apart.
constexpr std::size_t kReadableCharacters = 40;

std::uint32_t Fnv1a(const std::string& text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    return hash;
}

std::string Hex8(std::uint32_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return text;
}

// A name Windows keeps for a device whatever follows its first dot.
bool IsDeviceStem(const std::string& name) {
    std::string stem = AsciiUpper(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (StartsWith(stem, "COM") || StartsWith(stem, "LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool IsEdgeFiller(char c) { return c == '_' || c == '.' || c == ' '; }

// The readable part, in UTF-8 so that a cut never splits a character: the
// path with every character a name cannot hold as '_', its last characters
// only when it is long, from a whole folder name on where one starts there.
std::string ReadablePart(const std::string& pathUtf8) {
    std::string name;
    std::vector<std::size_t> starts;  // of each character in name
    for (std::size_t at = 0; at < pathUtf8.size();) {
        const std::size_t length = std::max<std::size_t>(1, Utf8SequenceLength(pathUtf8, at));
        const unsigned char c = static_cast<unsigned char>(pathUtf8[at]);
        const std::string piece = length == 1 && (c >= 0x80 || IsFileNameForbidden(c))
                                      ? std::string("_")
                                      : pathUtf8.substr(at, length);
        at += length;
        if (piece == "_" && !name.empty() && name.back() == '_') continue;
        starts.push_back(name.size());
        name += piece;
    }
    if (starts.size() > kReadableCharacters) {
        const std::size_t cut = starts[starts.size() - kReadableCharacters];
        const bool atFolderStart = name[cut - 1] == '_';
        name.erase(0, cut);
        const std::size_t separator = name.find('_');
        if (!atFolderStart && separator != std::string::npos && separator + 1 < name.size())
            name.erase(0, separator + 1);
    }
    std::size_t b = 0, e = name.size();
    while (b < e && IsEdgeFiller(name[b])) ++b;
    while (e > b && IsEdgeFiller(name[e - 1])) --e;
    name = name.substr(b, e - b);
    return IsDeviceStem(name) ? "_" + name : name;
}

// The per-user settings of this install, made when there are none yet: taken
// over from the one copy all installs shared before, or copied from the file
// beside the exe. Empty when it cannot be had.
std::string PerUserSettings(Platform& p, const std::string& programName,
                            const std::string& programFolder, const std::string& settingsBeside) {
    const std::string programBase = UserFolder(p, KnownFolder::AppData, programName);
    if (programBase.empty()) return "";
    const std::string folder = programBase + InstallFolderName(p, programFolder) + "\\";
    const std::string name = FileNameOfPath(settingsBeside);
    const std::string copy = folder + name;
    if (p.FileExists(copy)) return copy;
    for (const std::string& level : {programBase, folder}) {
        const std::string bare = WithoutTrailingBackslash(level);
        if (!p.FolderExists(bare) && !p.CreateFolder(bare) && !p.FolderExists(bare)) return "";
    }
    // Moved, not copied: the first install to find it keeps the user's values,
    // and the next one starts from its own defaults.
    const std::string shared = programBase + name;
    if (p.FileExists(shared)) {
        if (p.MoveFile(shared, copy, false) || p.FileExists(copy)) return copy;
        // Held open elsewhere: used where it is this time, moved at a later start.
        if (p.FileExists(shared)) return shared;
    }
    if (!p.FileExists(settingsBeside)) return copy;  // the first write makes it
    // Content only: a read-only mark of the original must not come along.
    // Of two programs starting at once, one makes the copy, both use it.
    const std::optional<std::string> defaults = p.ReadFile(settingsBeside);
    if (defaults && p.CreateNewFile(copy, *defaults)) return copy;
    return p.FileExists(copy) ? copy : std::string();
}

}  // namespace

std::string InstallFolderName(Platform& p, const std::string& programFolder) {
    const std::string path = WithoutTrailingBackslash(programFolder);
    const std::string readable = p.Utf8ToAnsi(ReadablePart(p.AnsiToUtf8(path)));
    // Windows compares paths without regard to case, so the hash does too.
    const std::string hash = Hex8(Fnv1a(p.UpperCase(path)));
    return readable.empty() ? hash : readable + " " + hash;
}

bool CanWriteFolder(Platform& p, const std::string& folder) {
    for (int n = 1; n <= kWriteTestNames; ++n) {
        const std::string probe = folder + WriteTestName(n);
        if (p.CreateNewFile(probe, "")) {
            // A virus scanner may hold a file just made for a moment.
            if (!p.DeleteFile(probe)) p.DeleteFile(probe);
            return true;
        }
        if (!p.FileExists(probe)) return false;
    }
    return false;
}

ProgramPlaces FindProgramPlaces(Platform& p, const std::string& programName,
                                const std::string& settingsBeside) {
    ProgramPlaces places;
    places.programFolder = ProgramFolder(p);
    places.settingsFile = settingsBeside;
    places.workFolder = places.programFolder;
    places.userFilesFolder = places.programFolder;
    if (CanWriteFolder(p, places.programFolder)) return places;

    places.ownFolderWritable = false;
    places.workFolder = WithTrailingBackslash(p.TempFolder());
    const std::string documents = UserFolder(p, KnownFolder::Documents, programName);
    if (!documents.empty()) places.userFilesFolder = documents;
    const std::string perUser =
        PerUserSettings(p, programName, places.programFolder, settingsBeside);
    if (!perUser.empty()) places.settingsFile = perUser;
    return places;
}

std::string CannotWriteText(const std::string& path) {
    return "Cannot write file \"" + path + "\"";
}

void ReportCannotWrite(Platform& p, const std::string& programName, const std::string& path) {
    p.MessageBox(0, CannotWriteText(path), programName + " Error",
                 mb::Topmost | mb::IconError);
}

}  // namespace common
