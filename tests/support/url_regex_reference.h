// The address-prefix repairs as regular expressions state them, replaced by
// Boost.Regex (perl syntax, "." any byte, "^" the start of the text only,
// each rule once, in order, on the result of the one before): the yardstick
// the hand-written repairs of zelko/intake are compared with.
#pragma once

#include <boost/regex.hpp>

#include <string>
#include <vector>

#include "common/helpers.h"

namespace url_regex_reference {

struct Rule {
    boost::regex pattern;
    const char* replacement;
};

inline const std::vector<Rule>& Rules() {
    // Bytes of code page 1251: \xF5 х, \xF1 с, \xEF п, \xF4 ф.
    constexpr auto syntax = boost::regex::perl | boost::regex::mod_s;
    static const std::vector<Rule> rules = {
        {boost::regex(R"(^_?[h\xF5]...[s\xF1]://)", syntax), "https://"},
        {boost::regex(R"(^_?[h\xF5]..[p\xEF]://)", syntax), "http://"},
        {boost::regex(R"(^_?[f\xF4].[p\xEF]://)", syntax), "ftp://"},
        {boost::regex(R"(^_?ftp\.)", syntax), "ftp://ftp."},
        {boost::regex(R"(^www\.)", syntax), "http://www."},
    };
    return rules;
}

inline std::string NormalizeUrl(const std::string& text) {
    std::string url = common::TrimControls(text);
    for (const Rule& rule : Rules())
        url = boost::regex_replace(url, rule.pattern, rule.replacement,
                                   boost::match_single_line | boost::format_first_only |
                                       boost::regex_constants::format_literal);
    return url;
}

}  // namespace url_regex_reference
