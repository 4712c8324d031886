// The request format shared by every form of request and by FlashGot.exe:
// a header line, the referrer and four lines per link, each ending CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelko {

inline constexpr const char* kPlaceholderManager = "My_Download_Manager";
inline constexpr std::size_t kMaxJobBytes = 1000000;
inline constexpr std::size_t kRequestLines = 6;

// The lines of a job, kept as the text they are written in (each line
// followed by CR LF) and where each line begins: a job of many short lines
// costs little more than its text.
class JobLines {
public:
    JobLines() = default;
    // CR LF or a CR alone ends a line; a lone LF does not; a final line break
    // adds no empty line.
    explicit JobLines(std::string text);

    std::size_t size() const { return starts_.size(); }
    // Valid until the lines change.
    std::string_view operator[](std::size_t i) const;
    // Each line followed by CR LF: the job file's content.
    const std::string& Text() const { return text_; }

    void ReplaceLine(std::size_t i, std::string_view line);
    // Drops each line i where drop[i] is true.
    void RemoveLines(const std::vector<bool>& drop);

    friend bool operator==(const JobLines& a, const JobLines& b) { return a.text_ == b.text_; }
    friend bool operator!=(const JobLines& a, const JobLines& b) { return !(a == b); }

private:
    // Where line i's break ends: the next line's start.
    std::size_t NextStart(std::size_t i) const;

    std::string text_;
    std::vector<std::size_t> starts_;
};

inline JobLines SplitJobLines(std::string text) { return JobLines(std::move(text)); }
// Each line followed by CR LF.
std::string JoinJobLines(const std::vector<std::string_view>& lines);

struct RequestFields {
    std::string header, referrer, url, description, cookies, post;
};
// Lines 1 to 6; the caller checks there are six.
RequestFields FieldsOf(const JobLines& lines);

// A CR or LF that would end a line of the job early becomes a blank; a CR LF
// pair counts as one.
std::string OneLine(const std::string& text);

}  // namespace zelko
