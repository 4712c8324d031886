#include "common/form_data.h"

#include "common/helpers.h"

namespace common {

namespace {

void AppendEncodedByte(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789ABCDEF";
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '*' || c == '-' || c == '.' || c == '_';
    if (plain) {
        out += static_cast<char>(c);
    } else if (c == ' ') {
        out += '+';
    } else {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
    }
}

}  // namespace

std::string FormEncode(std::string_view utf8) {
    std::string out;
    for (const char c : WellFormedUtf8(utf8)) AppendEncodedByte(out, static_cast<unsigned char>(c));
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
