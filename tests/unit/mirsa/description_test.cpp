#include <gtest/gtest.h>

#include "mirsa/description.h"

namespace mirsa {
namespace {

TEST(Description, LineAndDescribedFile) {
    EXPECT_EQ(DescriptionLine("page.html", "http://a/"), "page.html http://a/\r\n");
    EXPECT_EQ(DescriptionLine("My page.html", "http://a/"), "\"My page.html\" http://a/\r\n");
    EXPECT_EQ(DescriptionLine("page.html", ""), "page.html \r\n");
    EXPECT_EQ(DescribedFile("C:\\S\\Title_files\\index.html", true), "C:\\S\\Title.html");
    EXPECT_EQ(DescribedFile("C:\\S\\Title_files\\index.html", false),
              "C:\\S\\Title_files\\index.html");
}

TEST(Description, AppendStartsOnALineOfItsOwn) {
    struct Case {
        std::string content, want;
    } cases[] = {
        {"", "n d\r\n"},
        {"a b\r\n", "a b\r\nn d\r\n"},
        {"a b", "a b\r\nn d\r\n"},
        {"a b\n", "a b\nn d\r\n"},
        {"a b\r", "a b\r\r\nn d\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(AppendDescriptionLine(c.content, "n d\r\n"), c.want);
}

}  // namespace
}  // namespace mirsa
