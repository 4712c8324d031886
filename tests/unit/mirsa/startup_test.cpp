#include <gtest/gtest.h>

#include "mirsa/startup.h"

namespace mirsa {
namespace {

// ‘‘ and ’’ as the browser passes them in code page 1252.
const std::string L = "\x91\x91";
const std::string R = "\x92\x92";

TEST(GetSwitchValue, ReadsEveryForm) {
    struct Case {
        std::string text, name, want;
    } cases[] = {
        {"/format=html /method=quick", "format", "html"},
        {"/format=html /method=quick", "method", "quick"},
        {"/format=html", "method", ""},
        {"/format=html", "", ""},
        {"/text=" + L + "My page" + R + " /format=mht", "text", "My page"},
        {"/text=\"My page\" /format=mht", "text", "\"My"},
        {"/text=\"page\"", "text", "page"},
        {"/text=\"\"", "text", ""},
        {"/text=\"", "text", "\""},
        {"/text=" + L + "no end", "text", "no end"},
        {"/text=" + L + R, "text", ""},
        {"/url=" + L + "\"http://a/\"" + R, "url", "http://a/"},
        {"/Format=html", "format", ""},
        {"/format=htm /format=txt", "format", "htm"},
        {"/path=", "path", ""},
        {"x/format=png", "format", "png"},
        {"data:text/mrv;charset=UTF-8,/format=png /method=quick", "format", "png"},
        // The ‘‘ form wins even when a plain key comes first.
        {"/text=a /text=" + L + "b c" + R, "text", "b c"},
        // A key inside another switch's value is part of that value.
        {"/format=png /text=" + L + "x /path=" + L + "C:\\S" + R + R, "path", ""},
        {"/format=png /text=" + L + "x /path=" + L + "C:\\S" + R + R, "text",
         "x /path=" + L + "C:\\S"},
        {"/text=" + L + "/format=txt" + R + " /format=html", "format", "html"},
        {"/url=" + L + "http://a/?/format=png" + R, "format", ""},
        {"/url=http://a/b/path=C:\\S /format=htm", "path", ""},
        {"/url=http://a/b/path=C:\\S /format=htm", "format", "htm"},
        {"/text=" + L + "open /path=" + L + "C:\\S", "path", ""},
        {"/path=" + L + "sub dir" + R + "/text=" + L + "T" + R, "text", "T"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetSwitchValue(c.text, c.name), c.want) << c.text << " / " << c.name;
}

TEST(SplitArguments, BlanksSeparateQuotesHoldBlanks) {
    struct Case {
        std::string tail;
        std::vector<std::string> want;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {" --help", {"--help"}},
        {" --help /?", {"--help", "/?"}},
        {" \"C:\\My Pages\\p.htm\"", {"\"C:\\My Pages\\p.htm\""}},
        {" a\"b c\"d e", {"a\"b c\"d", "e"}},
        {" \"unclosed blank", {"\"unclosed blank"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitArguments(c.tail), c.want) << c.tail;
}

TEST(WithoutSurroundingQuotes, RemovesOnePair) {
    EXPECT_EQ(WithoutSurroundingQuotes("\"a b\""), "a b");
    EXPECT_EQ(WithoutSurroundingQuotes("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(WithoutSurroundingQuotes("\""), "\"");
    EXPECT_EQ(WithoutSurroundingQuotes("a\""), "a\"");
}

TEST(HelpText, IsExact) {
    EXPECT_EQ(HelpText(),
              "Mirsa for Opera Ver 2.4\r\r"
              "Mirsa.exe /format=html /method=folder /url=" + L + "%U" + R + " /path=" + L + R +
                  " /text=" + L + "%T" + R + "\r"
              "Mirsa.exe /format=chm /method=quick /url=" + L + "%U" + R + " /text=" + L + "%T" +
                  R + "\r"
              "Mirsa.exe /format=mht /method=all\r"
              "Mirsa.exe /format=png /text=" + L + "%T" + R);
}

TEST(SettingsFileOf, ReplacesTheExtension) {
    EXPECT_EQ(SettingsFileOf("C:\\Tools\\Mirsa.exe"), "C:\\Tools\\Mirsa.ini");
    EXPECT_EQ(SettingsFileOf("C:\\Tools.v2\\Mirsa"), "C:\\Tools.v2\\Mirsa.ini");
    EXPECT_EQ(SettingsFileOf("C:\\a\\Mirsa.copy.exe"), "C:\\a\\Mirsa.copy.ini");
}

TEST(TakePageSettings, RemovesTheFirstComment) {
    struct Case {
        std::string content;
        bool marker;
        std::string settings, rest;
    } cases[] = {
        {"<html></html>", false, "", "<html></html>"},
        {"<p><!-- Mirsa settings /method=quick -->x", true, "/method=quick", "<p>x"},
        {"<!-- Mirsa settings a --><!-- Mirsa settings b -->", true, "a",
         "<!-- Mirsa settings b -->"},
        // No end: empty settings, nothing to remove unless the empty comment stands there.
        {"<p><!-- Mirsa settings /method=quick", true, "", "<p><!-- Mirsa settings /method=quick"},
        {"<!-- Mirsa settings  -->", true, "", ""},
        // The marker needs its trailing blank.
        {"<!-- Mirsa settings-->", false, "", "<!-- Mirsa settings-->"},
        {std::string("\0\x01<!-- Mirsa settings x -->\xff", 28), true, "x",
         std::string("\0\x01\xff", 3)},
    };
    for (const auto& c : cases) {
        PageSettings s = TakePageSettings(c.content);
        EXPECT_EQ(s.hasMarker, c.marker) << c.content;
        EXPECT_EQ(s.settingsText, c.settings) << c.content;
        EXPECT_EQ(s.content, c.rest) << c.content;
    }
}

TEST(IsValidUtf8, AcceptsOnlyWellFormedText) {
    struct Case {
        std::string text;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain", true},
        {"\xD0\x9C\xD0\xB8\xD1\x80", true},         // Мир
        {"\xE2\x82\xAC", true},                      // €
        {"\xF0\x9F\x98\x80", true},                  // an emoji
        {"\xE9t\xE9", false},                        // été in 1252
        {"\xC0\xAF", false},                         // overlong "/"
        {"\xE0\x80\xAF", false},                     // overlong
        {"\xED\xA0\x80", false},                     // a surrogate
        {"\xD0", false},                             // cut short
        {"\xF4\x90\x80\x80", false},                 // past U+10FFFF
        {"\x91\x91", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
}

TEST(ConverterOf, NamesTheTwoConverters) {
    EXPECT_EQ(ConverterOf("chm"), "hhc.exe");
    EXPECT_EQ(ConverterOf("pdb"), "isiloxc.exe");
    EXPECT_EQ(ConverterOf("html"), "");
    EXPECT_EQ(ConverterOf("CHM"), "");
}

TEST(ReadSwitches, TakesAllFive) {
    SaveRequest r = ReadSwitches("/format=img /method=folder /url=http://a/b.png /path=sub /text=" +
                                 L + "x y" + R);
    EXPECT_EQ(r.Format, "img");
    EXPECT_EQ(r.Method, "folder");
    EXPECT_EQ(r.Url, "http://a/b.png");
    EXPECT_EQ(r.Path, "sub");
    EXPECT_EQ(r.Text, "x y");
    EXPECT_FALSE(r.ViaDataUrl);
}

}  // namespace
}  // namespace mirsa
