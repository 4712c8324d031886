#include "tarvel/multi_user.h"

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"
#include "tarvel/path_correction.h"

namespace tarvel {

namespace {

// Plain copy of a file or a folder tree; existing files are left alone.
void CopyTreeMissing(common::Platform& p, const std::string& from, const std::string& to) {
    if (p.FileExists(from)) {
        if (!p.FileExists(to)) p.CopyFile(from, to, true);
        return;
    }
    if (!p.FolderExists(from)) return;
    if (!p.FolderExists(to) && !p.CreateFolder(to)) return;
    for (const common::FolderEntry& entry : p.FindFiles(from + "\\*")) {
        CopyTreeMissing(p, from + "\\" + entry.name, to + "\\" + entry.name);
    }
}

// Copies each entry of src into dst (both with trailing backslash). A folder
// that dst already has is merged entry by entry: the shell would copy it
// into the existing one, as dst\name\name.
void MergeFolderInto(common::Platform& p, const std::string& src, const std::string& dst) {
    for (const common::FolderEntry& entry : p.FindFiles(src + "*")) {
        if (entry.isFolder && p.FolderExists(dst + entry.name))
            MergeFolderInto(p, src + entry.name + "\\", dst + entry.name + "\\");
        else
            CopyKeepingExisting(p, src + entry.name, dst + entry.name);
    }
}

}  // namespace

std::string VolumeRootOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 1) + ":\\";
    const std::size_t colon = path.find(':');
    if (colon != std::string::npos && colon > 0 && path.find('\\') > colon) {
        return path.substr(0, colon) + ":\\";
    }
    if (path.size() == 1) return path + ":\\";
    if (path.size() > 2) {
        // "\\server\share\...": up to the second backslash after the leading two.
        const std::size_t first = path.find('\\', 2);
        const std::size_t second =
            first == std::string::npos ? std::string::npos : path.find('\\', first + 1);
        return common::WithTrailingBackslash(second == std::string::npos ? path
                                                                         : path.substr(0, second));
    }
    return path;
}

bool WarnLowDiskSpace(common::Platform& p, const std::string& profileFolder) {
    const std::optional<std::uint64_t> free = p.FreeDiskSpace(VolumeRootOf(profileFolder));
    if (!free || *free >= kLowSpaceBytes) return true;  // an unknown size is no warning
    const int answer = p.MessageBox(0, kLowSpaceQuestion, kQuestionTitle,
                                    common::mb::OkCancel | common::mb::IconExclamation);
    return answer == common::answer::Ok;
}

bool MoveAside(common::Platform& p, const std::string& folder) {
    if (!p.FolderExists(folder)) return true;
    std::string target;
    for (unsigned n = 1;; ++n) {
        target = folder + "_" + std::to_string(n);
        if (!p.FolderExists(target)) break;
    }
    return common::ShellMoveFiles(p, 0, folder, target);
}

void CopyKeepingExisting(common::Platform& p, const std::string& from, const std::string& to) {
    if (common::ShellCopyFiles(p, 0, from, to)) return;
    CopyTreeMissing(p, common::WithoutTrailingBackslash(from), common::WithoutTrailingBackslash(to));
}

void MergeLocalData(common::Platform& p, const LaunchState& s, const std::string& localBase,
                    const std::string& sub) {
    const std::string src = common::WithTrailingBackslash(localBase) + sub;
    const std::string dst = s.programDir + sub;
    if (!p.FolderExists(src)) return;
    if (p.FolderExists(dst)) {
        MergeFolderInto(p, src, dst);
    } else {
        CopyKeepingExisting(p, src, dst);
    }
    CorrectFile(p, s.programDir + "profile\\" + common::browser::kProfileIni,
                p.AnsiToUtf8(localBase), p.AnsiToUtf8(s.programDirBare));
}

Conversion ConvertToSingleUser(common::Platform& p, LaunchState& s) {
    const int answer = p.MessageBox(0, kConvertQuestion, kQuestionTitle,
                                    common::mb::OkCancel | common::mb::IconExclamation);
    if (answer != common::answer::Ok) {
        WriteMultiUserOff(p, s.settingsFile);
        return Conversion::Declined;
    }
    const bool hasProfile = p.FolderExists(s.profileDir);
    const bool hasMail = p.FolderExists(s.mailDir);
    if (!hasProfile && !hasMail) {
        p.MessageBox(0, kBadInstallation, kErrorTitle, common::mb::Ok | common::mb::IconExclamation);
        return Conversion::EndLaunch;
    }
    if (!MoveAside(p, s.programDir + "profile")) return Conversion::EndLaunch;
    if (!MoveAside(p, s.programDir + "mail")) return Conversion::EndLaunch;
    if (hasProfile) CopyKeepingExisting(p, s.profileDir, s.programDir + "profile\\");
    if (hasMail) CopyKeepingExisting(p, s.mailDir, s.programDir + "mail\\");
    MergeLocalData(p, s, s.localBaseDir, "profile\\");
    MergeLocalData(p, s, s.localBaseDir, "mail\\");
    s.profileDir = s.programDir + "profile\\";
    s.mailDir = s.programDir + "mail\\";
    common::IniFile(p, s.defaultsFile)
        .WriteBool(common::browser::kSectionSystem, common::browser::kKeyMultiUser, false);
    s.multiUserInstall = false;
    return Conversion::Converted;
}

}  // namespace tarvel
