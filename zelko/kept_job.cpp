#include "zelko/kept_job.h"

#include "common/helpers.h"
#include "zelko/intake.h"

namespace zelko {

namespace {

constexpr std::uint64_t kFileTimeDay = 864000000000ull;  // 100 ns steps

// "flashgot.fgt" or "flashgot_N.fgt": the names WriteNewJobFile gives.
bool IsOwnJobName(const std::string& name) {
    const std::string base = kJobBaseName, extension = kJobExtension;
    if (name.size() < base.size() + extension.size() ||
        !common::EqualsNoCase(name.substr(0, base.size()), base) ||
        !common::EqualsNoCase(name.substr(name.size() - extension.size()), extension))
        return false;
    const std::string middle =
        name.substr(base.size(), name.size() - base.size() - extension.size());
    if (middle.empty()) return true;
    if (middle.size() < 2 || middle[0] != '_') return false;
    for (std::size_t i = 1; i < middle.size(); ++i)
        if (middle[i] < '0' || middle[i] > '9') return false;
    return true;
}

void DeleteOldJobsIn(common::Platform& p, const std::string& folder, std::uint64_t now) {
    for (const common::FolderEntry& e :
         p.FindFiles(folder + kJobBaseName + "*" + kJobExtension)) {
        if (e.isFolder || !IsOwnJobName(e.name)) continue;
        if (e.writeTime < now && now - e.writeTime > kKeptJobDays * kFileTimeDay)
            p.DeleteFile(folder + e.name);
    }
}

}  // namespace

std::size_t LinkCount(const JobLines& lines) {
    return lines.size() < 2 ? 0 : (lines.size() - 2) / 4;
}

JobLines LinksNotTaken(const JobLines& lines, const std::vector<bool>& notTaken) {
    std::vector<bool> drop(lines.size(), false);
    std::size_t kept = 0;
    for (std::size_t link = 0; link < LinkCount(lines); ++link) {
        const bool keep = link < notTaken.size() && notTaken[link];
        kept += keep ? 1 : 0;
        for (std::size_t i = 2 + 4 * link; i < 6 + 4 * link; ++i) drop[i] = !keep;
    }
    JobLines result = lines;
    result.RemoveLines(drop);
    if (result.size() > 0) {
        std::string header(result[0]);
        const std::size_t semicolon = header.find(';');
        if (semicolon != std::string::npos) {
            header.replace(0, semicolon, std::to_string(kept));
            result.ReplaceLine(0, header);
        }
    }
    return result;
}

std::string KeptJobNote(const std::string& keptPath) {
    if (keptPath.empty()) return "These links could not be kept in a job file.";
    return "These links are kept in the job file \"" + keptPath + "\".";
}

std::string KeepLinksNotTaken(common::Platform& p, const std::string& folder,
                              const std::string& jobPath, const JobLines& lines,
                              const std::vector<bool>& notTaken) {
    const JobLines kept = LinksNotTaken(lines, notTaken);
    std::string path = jobPath;
    // A job the browser saved may lie where Zelko can only read it, or may
    // still be held open: the links then go to a file of Zelko's own.
    if (path.empty() || !common::WriteFileAtomic(p, path, kept.Text()))
        path = WriteNewJobFile(p, folder, kept.Text());
    return KeptJobNote(path);
}

std::string KeepWholeJob(common::Platform& p, const std::string& folder,
                         const std::string& jobPath, const JobLines& lines) {
    return KeepLinksNotTaken(p, folder, jobPath, lines,
                             std::vector<bool>(LinkCount(lines), true));
}

void DeleteOldKeptJobs(common::Platform& p, const std::string& folder) {
    const std::uint64_t now = p.FileTimeNow();
    DeleteOldJobsIn(p, folder, now);
    if (!common::EqualsNoCase(p.TempFolder(), folder)) DeleteOldJobsIn(p, p.TempFolder(), now);
}

}  // namespace zelko
