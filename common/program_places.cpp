#include "common/program_places.h"

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

// The per-user copy of the settings, made from the file beside the exe when
// there is none yet; empty when it cannot be had.
std::string PerUserSettings(Platform& p, const std::string& programName,
                            const std::string& settingsBeside) {
    const std::string folder = UserFolder(p, KnownFolder::AppData, programName);
    if (folder.empty()) return "";
    const std::string copy = folder + FileNameOfPath(settingsBeside);
    if (p.FileExists(copy)) return copy;
    const std::string bare = WithoutTrailingBackslash(folder);
    if (!p.FolderExists(bare) && !p.CreateFolder(bare) && !p.FolderExists(bare)) return "";
    if (!p.FileExists(settingsBeside)) return copy;  // the first write makes it
    // Content only: a read-only mark of the original must not come along.
    // Of two programs starting at once, one makes the copy, both use it.
    const std::optional<std::string> defaults = p.ReadFile(settingsBeside);
    if (defaults && p.CreateNewFile(copy, *defaults)) return copy;
    return p.FileExists(copy) ? copy : std::string();
}

}  // namespace

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
    const std::string perUser = PerUserSettings(p, programName, settingsBeside);
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
