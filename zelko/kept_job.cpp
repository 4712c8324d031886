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

void DeleteOldJobsIn(common::Platform& p, const std::string& folder, std::uint64_t now,
                     const std::string& spared) {
    for (const common::FolderEntry& e :
         p.FindFiles(folder + kJobBaseName + "*" + kJobExtension)) {
        if (e.isFolder || !IsOwnJobName(e.name) || common::EqualsNoCase(e.name, spared)) continue;
        if (e.writeTime < now && now - e.writeTime > kKeptJobDays * kFileTimeDay)
            p.DeleteFile(folder + e.name);
    }
}

}  // namespace

std::size_t LinkCount(const JobLines& lines) {
    return lines.size() < 2 ? 0 : (lines.size() - 2) / 4;
}

JobLines LinksNotTaken(const JobLines& lines, const std::string& header,
                       const std::vector<bool>& notTaken) {
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
        std::string counted = header;
        const std::size_t semicolon = counted.find(';');
        if (semicolon != std::string::npos) counted.replace(0, semicolon, std::to_string(kept));
        result.ReplaceLine(0, counted);
    }
    return result;
}

std::string KeptJobNote(common::Platform& p, const std::string& keptPath) {
    if (keptPath.empty()) return "These links could not be kept in a job file.";
    // The full path of the exe: it is not on the search path, so Start, Run
    // finds no bare "Zelko.exe".
    return "These links are kept in the job file \"" + keptPath +
           "\". To send them again, run:\r\n\"" + p.ModuleFileName() + "\" \"" + keptPath + "\"";
}

std::string KeepLinksNotTaken(common::Platform& p, const KeptJobPlace& place,
                              const JobLines& lines, const std::vector<bool>& notTaken) {
    const JobLines kept = LinksNotTaken(lines, place.requestHeader, notTaken);
    // A job the browser saved may lie where Zelko can only read it, or may
    // still be held open: the links then go to a file of Zelko's own.
    std::string path = place.jobPath;
    if (path.empty() || !common::WriteFileAtomic(p, path, kept.Text()))
        path = WriteNewJobFile(p, place.workFolder, kept.Text());
    const bool noneTaken = LinkCount(kept) == LinkCount(lines);
    if (path.empty() && noneTaken && place.jobFileHoldsLines && p.FileExists(place.jobPath))
        path = place.jobPath;
    return KeptJobNote(p, path);
}

std::string KeepWholeJob(common::Platform& p, const KeptJobPlace& place, const JobLines& lines) {
    return KeepLinksNotTaken(p, place, lines, std::vector<bool>(LinkCount(lines), true));
}

void DeleteOldKeptJobs(common::Platform& p, const std::string& folder,
                       const std::string& namedJob) {
    const std::string spared = namedJob.substr(namedJob.find_last_of("\\/:") + 1);
    const std::uint64_t now = p.FileTimeNow();
    DeleteOldJobsIn(p, folder, now, spared);
    if (!common::EqualsNoCase(p.TempFolder(), folder))
        DeleteOldJobsIn(p, p.TempFolder(), now, spared);
}

}  // namespace zelko
