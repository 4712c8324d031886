// Jobs for the tests of the network receivers, and what stays of them.
#pragma once

#include <string>

namespace zelko::testing {

inline const std::string kJob = "C:\\TEMP\\job.zlk";
// How a box ends when the links not taken stay in the file at path: where,
// and the command that sends them again (the full path of the exe, which is
// not on the search path).
inline std::string KeptNote(const std::string& path) {
    return "\r\n\r\nThese links are kept in the job file \"" + path +
           "\". To send them again, run:\r\n\"C:\\Opera\\Zelko\\Zelko.exe\" \"" + path + "\"";
}
inline const std::string kKeptNote = KeptNote(kJob);

inline std::string Job(const std::string& referrer, const std::string& links, int count = 1) {
    return std::to_string(count) + ";My_Download_Manager;2;;\r\n" + referrer + "\r\n" + links;
}

}  // namespace zelko::testing
