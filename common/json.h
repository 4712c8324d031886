// JSON text for web services: strings written so that any input keeps the
// document well formed, and a small reader for their answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// The text as a JSON string, quotes included: quote, backslash and control
// characters escaped, each byte that is not part of valid UTF-8 written as
// U+FFFD.
std::string JsonString(std::string_view utf8);

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::string text;               // a string's UTF-8, a number's or a truth value's spelling
    std::vector<JsonValue> items;   // an array's items, an object's values
    std::vector<std::string> keys;  // an object's keys, one for each value

    bool Is(Kind k) const { return kind == k; }
    // The value of the first member of that name; null when this is no
    // object or has no such member.
    const JsonValue* Member(std::string_view key) const;
};

// The whole text as one JSON value (blanks around it allowed); nothing when it
// is not well formed or nests deeper than a service's answer would.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace common
