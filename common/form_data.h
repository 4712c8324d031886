// Form data (application/x-www-form-urlencoded) for web services.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace common {

// The UTF-8 text form-encoded: letters, digits and "*-._" stay, a blank is
// "+", every other byte "%XX"; each byte that is not part of valid UTF-8 is
// sent as U+FFFD. No value can add a field ("&", "=") or a line.
std::string FormEncode(std::string_view utf8);

// name=value pairs joined with "&", both sides encoded.
std::string FormBody(const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace common
