#include "common/form_data.h"

#include <algorithm>

#include "common/helpers.h"

namespace common {

namespace {

// The blank is kept here only to become "+".
bool KeptInForm(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*' ||
           c == '-' || c == '.' || c == '_' || c == ' ';
}

}  // namespace

std::string FormEncode(std::string_view utf8) {
    std::string out = PercentEncode(WellFormedUtf8(utf8), KeptInForm);
    std::replace(out.begin(), out.end(), ' ', '+');
    return out;
}

std::string FormBody(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) body += '&';
        body += FormEncode(name) + "=" + FormEncode(value);
    }
    return body;
}

}  // namespace common
