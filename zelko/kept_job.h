// A job that a receiver did not take, or took only in part, stays for the
// user: the links not taken, under the request's own header, in the file the
// error box names with the command that sends them again. Zelko's own kept
// jobs go a week after they were kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/job.h"

namespace zelko {

inline constexpr std::uint64_t kKeptJobDays = 7;

// The links of a job: four lines each after the header and the referrer.
std::size_t LinkCount(const JobLines& lines);

// The job with only the links whose flag is set (one flag per link), under
// the header given with the count at its front corrected.
JobLines LinksNotTaken(const JobLines& lines, const std::string& header,
                       const std::vector<bool>& notTaken);

// Where the links a receiver did not take can go.
struct KeptJobPlace {
    std::string workFolder;     // for a job file of Zelko's own
    std::string jobPath;        // the request's job file
    std::string requestHeader;  // its first line as the request came
    // The job file holds the job's lines as they are (nothing of it was
    // handed out before): where nothing can be written and no link was
    // taken, it still holds just the links not taken.
    bool jobFileHoldsLines = false;
};

// Writes the links not taken over the job file, or where that cannot be
// written, to a new job file of Zelko's own. Returns the sentences that end
// the error box: the file that holds them and the command that sends them
// again, or that they could not be kept.
std::string KeepLinksNotTaken(common::Platform& p, const KeptJobPlace& place,
                              const JobLines& lines, const std::vector<bool>& notTaken);
// The same for a job none of whose links was taken.
std::string KeepWholeJob(common::Platform& p, const KeptJobPlace& place, const JobLines& lines);

// The box's sentences for links kept in keptPath (empty: they could not be).
std::string KeptJobNote(common::Platform& p, const std::string& keptPath);

// Deletes the job files Zelko wrote itself ("flashgot.fgt", "flashgot_N.fgt",
// for URL and saved-page requests) in the program folder and the temporary
// folder that were last written (kept) more than a week ago. Job files the
// browser saved are never touched, nor one of the name that namedJob (the
// request's first argument) ends in: a kept job sent again is read first.
void DeleteOldKeptJobs(common::Platform& p, const std::string& folder,
                       const std::string& namedJob);

}  // namespace zelko
