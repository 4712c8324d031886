// The request format shared by every form of request and by FlashGot.exe:
// a header line, the referrer and four lines per link, each ending CR LF.
#pragma once

#include <string>
#include <vector>

namespace zelko {

inline constexpr const char* kPlaceholderManager = "My_Download_Manager";
inline constexpr std::size_t kMaxJobBytes = 1000000;
inline constexpr std::size_t kRequestLines = 6;

using JobLines = std::vector<std::string>;

// CR LF or a CR alone ends a line; a lone LF does not; a final line break
// adds no empty line.
JobLines SplitJobLines(const std::string& text);
// Each line followed by CR LF.
std::string JoinJobLines(const JobLines& lines);

struct RequestFields {
    std::string header, referrer, url, description, cookies, post;
};
// Lines 1 to 6; the caller checks there are six.
RequestFields FieldsOf(const JobLines& lines);

// A CR or LF that would end a line of the job early becomes a blank; a CR LF
// pair counts as one.
std::string OneLine(const std::string& text);

}  // namespace zelko
