#include "zelko/job.h"

#include "common/helpers.h"

namespace zelko {

JobLines SplitJobLines(const std::string& text) {
    JobLines lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t cr = text.find('\r', from);
        if (cr == std::string::npos) {
            lines.emplace_back(text, from, std::string::npos);  // text after the last break
            break;
        }
        lines.emplace_back(text, from, cr - from);
        from = cr + 1;
        if (from < text.size() && text[from] == '\n') ++from;
    }
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
