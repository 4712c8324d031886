#include <gtest/gtest.h>

#include "common/form_data.h"

namespace common {
namespace {

TEST(FormEncode, KeepsOnlyWhatCannotEndAFieldAndSendsUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"aZ09*-._", "aZ09*-._"},
        {"a b", "a+b"},
        {"+&=%\r\n~/?#", "%2B%26%3D%25%0D%0A%7E%2F%3F%23"},
        {std::string("\0\x7F", 2), "%00%7F"},
        {"caf\xC3\xA9", "caf%C3%A9"},
        {"\xC3(", "%EF%BF%BD%28"},       // cut short
        {"\xC0\x80", "%EF%BF%BD%EF%BF%BD"},  // overlong NUL
        {"\xED\xA0\x80", "%EF%BF%BD%EF%BF%BD%EF%BF%BD"},  // a surrogate
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(FormEncode(in), out) << in;
}

TEST(FormBody, NamesAndValuesEncodedAndJoined) {
    EXPECT_EQ(FormBody({}), "");
    EXPECT_EQ(FormBody({{"urls", "http://a/x y"}, {"k=&", "v&k2=v2"}}),
              "urls=http%3A%2F%2Fa%2Fx+y&k%3D%26=v%26k2%3Dv2");
}

}  // namespace
}  // namespace common
