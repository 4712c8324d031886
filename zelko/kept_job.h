// A job that a receiver did not take, or took only in part, stays for the
// user: rewritten to hold just the links not taken, under a name the error
// box gives. Zelko's own kept jobs go after a week.
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

// The job with only the links whose flag is set (one flag per link), the
// count at the front of its header corrected.
JobLines LinksNotTaken(const JobLines& lines, const std::vector<bool>& notTaken);

// Writes the links not taken over the job file, or where that cannot be
// written, to a new job file of Zelko's own. Returns the sentence that ends
// the error box: where the links are kept, or that they could not be.
std::string KeepLinksNotTaken(common::Platform& p, const std::string& folder,
                              const std::string& jobPath, const JobLines& lines,
                              const std::vector<bool>& notTaken);
// The same for a job none of whose links was taken.
std::string KeepWholeJob(common::Platform& p, const std::string& folder,
                         const std::string& jobPath, const JobLines& lines);

// The kept job's sentence for the box (empty path: it could not be written).
std::string KeptJobNote(const std::string& keptPath);

// Deletes the job files Zelko wrote itself ("flashgot.fgt", "flashgot_N.fgt",
// for URL and saved-page requests) in the program folder and the temporary
// folder that were last written more than a week ago. Job files the
// browser saved are never touched.
void DeleteOldKeptJobs(common::Platform& p, const std::string& folder);

}  // namespace zelko
