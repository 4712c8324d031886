#include "zelko/job.h"

#include <algorithm>

#include "common/helpers.h"

namespace zelko {

namespace {

constexpr std::string_view kBreak = "\r\n";

bool InWrittenForm(const std::string& text) {
    for (std::size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', cr + 1))
        if (cr + 1 == text.size() || text[cr + 1] != '\n') return false;
    const std::string_view view(text);
    return text.empty() || (text.size() >= kBreak.size() &&
                            view.substr(text.size() - kBreak.size()) == kBreak);
}

// Every line followed by CR LF; the job as read is usually so already and is
// kept rather than copied.
std::string WrittenForm(std::string text) {
    if (InWrittenForm(text)) return text;
    std::string written;
    written.reserve(text.size() + kBreak.size());
    bool open = false;  // a line has begun and not ended
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            written += text[i];
            open = true;
            continue;
        }
        written += kBreak;
        open = false;
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (open) written += kBreak;
    return written;
}

}  // namespace

JobLines::JobLines(std::string text) : text_(WrittenForm(std::move(text))) {
    starts_.reserve(static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\r')));
    for (std::size_t at = 0; at < text_.size(); at = text_.find(kBreak, at) + kBreak.size())
        starts_.push_back(at);
}

std::size_t JobLines::NextStart(std::size_t i) const {
    return i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
}

std::string_view JobLines::operator[](std::size_t i) const {
    return std::string_view(text_).substr(starts_[i], NextStart(i) - kBreak.size() - starts_[i]);
}

void JobLines::ReplaceLine(std::size_t i, std::string_view line) {
    const std::size_t length = NextStart(i) - kBreak.size() - starts_[i];
    text_.replace(starts_[i], length, line);
    for (std::size_t j = i + 1; j < starts_.size(); ++j) starts_[j] = starts_[j] - length + line.size();
}

void JobLines::RemoveLines(const std::vector<bool>& drop) {
    // Kept lines move up in place, so no second copy of the job is made.
    std::size_t kept = 0, end = 0;
    for (std::size_t i = 0; i < starts_.size(); ++i) {
        if (i < drop.size() && drop[i]) continue;
        const std::size_t from = starts_[i], next = NextStart(i);
        if (end != from) std::copy(text_.begin() + from, text_.begin() + next, text_.begin() + end);
        starts_[kept++] = end;
        end += next - from;
    }
    text_.resize(end);
    starts_.resize(kept);
}

std::string JoinJobLines(const std::vector<std::string_view>& lines) {
    std::size_t size = 0;
    for (std::string_view line : lines) size += line.size() + kBreak.size();
    std::string text;
    text.reserve(size);
    for (std::string_view line : lines) text.append(line).append(kBreak);
    return text;
}

RequestFields FieldsOf(const JobLines& lines) {
    auto at = [&](std::size_t i) { return i < lines.size() ? std::string(lines[i]) : std::string(); };
    return {at(0), at(1), at(2), at(3), at(4), at(5)};
}

std::string OneLine(const std::string& text) {
    std::string result = common::ReplaceAll(text, "\r\n", " ");
    for (char& c : result)
        if (c == '\r' || c == '\n') c = ' ';
    return result;
}

}  // namespace zelko
