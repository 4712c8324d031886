#include <gtest/gtest.h>

#include "common/json.h"

namespace common {
namespace {

TEST(JsonString, EscapesWhatWouldEndOrBendTheString) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "\"\""},
        {"plain / text", "\"plain / text\""},
        {"\"\\", "\"\\\"\\\\\""},
        {std::string("\0\b\f\n\r\t\x1f\x7f", 8), "\"\\u0000\\u0008\\u000c\\n\\r\\t\\u001f\\u007f\""},
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\"\xE2\x82\xAC \xF0\x9F\x98\x80\""},  // kept
        {"\xC0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                          // overlong NUL
        {"\xE0\x80\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},          // overlong slash
        {"\xF5\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                          // past U+10FFFF
        {"\x80\"", "\"\xEF\xBF\xBD\\\"\""},                                    // a lone follower
        {"\xC3", "\"\xEF\xBF\xBD\""},                                          // cut short
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(JsonString(in), out);
        ASSERT_TRUE(ParseJson(out).has_value());
    }
}

TEST(ParseJson, ReadsWhatServicesAnswer) {
    auto v = ParseJson(
        " {\"id\":\"z\",\"result\":[[\"2089b05e\"],{\"code\":1,\"message\":\"caf\\u00e9 \\ud83d\\ude00\\n\"}],"
        "\"n\":-1.5e3,\"t\":true,\"x\":null} ");
    ASSERT_TRUE(v.has_value());
    ASSERT_NE(v->Member("result"), nullptr);
    const JsonValue& result = *v->Member("result");
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].items[0].text, "2089b05e");
    EXPECT_EQ(result.items[1].Member("message")->text, "caf\xC3\xA9 \xF0\x9F\x98\x80\n");
    EXPECT_EQ(result.items[1].Member("code")->text, "1");
    EXPECT_EQ(v->Member("n")->text, "-1.5e3");
    EXPECT_TRUE(v->Member("t")->Is(JsonValue::Kind::Bool));
    EXPECT_TRUE(v->Member("x")->Is(JsonValue::Kind::Null));
    EXPECT_EQ(v->Member("missing"), nullptr);
    EXPECT_EQ(result.Member("code"), nullptr);  // an array has no members
}

TEST(ParseJson, RefusesWhatIsNotWellFormed) {
    const std::string deep = std::string(200, '[') + std::string(200, ']');
    const std::string cases[] = {
        "",        "{",          "{\"a\":1,}", "[1,]",       "{\"a\" 1}",     "{a:1}",
        "\"abc",   "\"a\x01\"",  "\"\\x\"",    "\"\\u12\"",  "\"\\udc00\"",   "\"\\ud800x\"",
        "01x",     "-",          "1.",         "1e",         "tru",           "nul",
        "{} {}",   "[1] x",      deep,
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseJson(text).has_value());
    }
    EXPECT_TRUE(ParseJson(std::string(60, '[') + std::string(60, ']')).has_value());
}

}  // namespace
}  // namespace common
