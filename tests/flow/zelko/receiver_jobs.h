// Jobs for the tests of the network receivers, and what stays of them.
#pragma once

#include <string>

namespace zelko::testing {

inline const std::string kJob = "C:\\TEMP\\job.zlk";
// How a box ends when the links not taken stay in kJob.
inline const std::string kKeptNote = "\r\n\r\nThese links are kept in the job file \"C:\\TEMP\\job.zlk\".";

inline std::string Job(const std::string& referrer, const std::string& links, int count = 1) {
    return std::to_string(count) + ";My_Download_Manager;2;;\r\n" + referrer + "\r\n" + links;
}

// A job left behind, its header naming the selected manager.
inline std::string Kept(std::string job) {
    return job.replace(job.find("My_Download_Manager"), 19, "FlashGet");
}

}  // namespace zelko::testing
