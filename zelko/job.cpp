#include "zelko/job.h"

#include "common/helpers.h"

namespace zelko {

JobLines SplitJobLines(const std::string& text) {
    JobLines lines;
    std::string line;
    bool open = false;  // text after the last line break
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines.push_back(std::move(line));
            line.clear();
            open = false;
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
            open = true;
        }
    }
    if (open) lines.push_back(std::move(line));
    return lines;
}

std::string JoinJobLines(const JobLines& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) text.append(line).append("\r\n");
    return text;
}

RequestFields FieldsOf(const JobLines& lines) {
    auto at = [&](std::size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    return {at(0), at(1), at(2), at(3), at(4), at(5)};
}

std::string OneLine(const std::string& text) {
    std::string result = common::ReplaceAll(text, "\r\n", " ");
    for (char& c : result)
        if (c == '\r' || c == '\n') c = ' ';
    return result;
}

}  // namespace zelko
