// ReplacePathText, the URL form and the case-insensitive containment test.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tarvel/path_correction.h"

namespace tarvel {
namespace {

struct ReplaceCase {
    const char* name;
    std::string text, oldText, newText;
    bool boundary;
    std::string expected;
};

class ReplacePathTextTable : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplacePathTextTable, GivesTheExpectedText) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(ReplacePathText(c.text, c.oldText, c.newText, c.boundary), c.expected);
    std::string inPlace = c.text;
    ReplacePathTextInPlace(inPlace, c.oldText, c.newText, c.boundary);
    EXPECT_EQ(inPlace, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplacePathTextTable,
    ::testing::Values(
        ReplaceCase{"LongerFolderNameStays", "p=C:\\Web2\\x", "C:\\Web", "D:\\New", true,
                    "p=C:\\Web2\\x"},
        ReplaceCase{"BackslashAfter", "p=C:\\Web\\x", "C:\\Web", "D:\\New", true, "p=D:\\New\\x"},
        ReplaceCase{"SlashAfter", "p=C:\\Web/x", "C:\\Web", "D:\\New", true, "p=D:\\New/x"},
        ReplaceCase{"EndOfLineLf", "a=C:\\Web\nb", "C:\\Web", "D:\\N", true, "a=D:\\N\nb"},
        ReplaceCase{"EndOfLineCr", "a=C:\\Web\rb", "C:\\Web", "D:\\N", true, "a=D:\\N\rb"},
        ReplaceCase{"EndOfText", "a=C:\\Web", "C:\\Web", "D:\\N", true, "a=D:\\N"},
        ReplaceCase{"QuoteAfter", "a=\"C:\\Web\"", "C:\\Web", "D:\\N", true, "a=\"C:\\Web\""},
        ReplaceCase{"SemicolonAfter", "a=C:\\Web;b", "C:\\Web", "D:\\N", true, "a=C:\\Web;b"},
        ReplaceCase{"BlankAfter", "a=C:\\Web b", "C:\\Web", "D:\\N", true, "a=C:\\Web b"},
        ReplaceCase{"BoundaryOffReplacesAll", "C:\\Web2 C:\\Web;", "C:\\Web", "X", false, "X2 X;"},
        ReplaceCase{"OtherCaseMatchesRestKeepsCase", "c:\\wEB\\Sub\\File", "C:\\Web", "D:\\New",
                    true, "D:\\New\\Sub\\File"},
        ReplaceCase{"NonAsciiLettersAreNotFolded", "C:\\\xE9t\xE9\\x", "C:\\\xC9T\xC9", "D:", true,
                    "C:\\\xE9t\xE9\\x"},
        ReplaceCase{"NewHoldingOldDoesNotRepeat", "C:\\Web\\a C:\\Web\\b", "C:\\Web",
                    "C:\\Web\\C:\\Web", true, "C:\\Web\\C:\\Web\\a C:\\Web\\C:\\Web\\b"},
        ReplaceCase{"MatchSkippedByBoundaryIsNotReused", "C:\\WebC:\\Web\\", "C:\\Web", "N", true,
                    "C:\\WebN\\"},
        ReplaceCase{"OverlapTakesLeftmost", "aaa/", "aa", "X", false, "Xa/"},
        ReplaceCase{"PartialMatchRestarts", "C:\\WeC:\\Web\\", "C:\\Web", "N", true, "C:\\WeN\\"},
        ReplaceCase{"EmptyOldNeverMatches", "abc", "", "X", false, "abc"},
        ReplaceCase{"EmptyText", "", "C:\\Web", "X", true, ""},
        ReplaceCase{"OldLongerThanText", "C:", "C:\\Web", "X", true, "C:"},
        ReplaceCase{"ZeroBytesKept", std::string("a\0C:\\Web\\\0b", 11), "C:\\Web", "D:",
                    true, std::string("a\0D:\\\0b", 7)},
        ReplaceCase{"UrlFormMatch", "file://localhost/C:/My%20Apps/Web/x.html", "C:/My%20Apps/Web",
                    "E:/Port", true, "file://localhost/E:/Port/x.html"}),
    [](const ::testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

// The method the routine's description spells out, with its copies of the rest.
std::string ReferenceReplace(std::string text, const std::string& oldText,
                             const std::string& newText, bool boundary) {
    const auto upper = [](std::string t) {
        for (char& c : t)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return t;
    };
    std::string u = upper(text), o = upper(oldText), result;
    const std::size_t length = oldText.size();
    if (o.empty()) return text;
    while (!u.empty()) {
        const std::size_t p = u.find(o);
        if (p == std::string::npos) {
            result += text;
            break;
        }
        const std::size_t after = p + length;
        const bool atBoundary = after == u.size() || u[after] == '\n' || u[after] == '\r' ||
                                u[after] == '/' || u[after] == '\\';
        if (!boundary || atBoundary) {
            result += text.substr(0, p) + newText;
        } else {
            result += text.substr(0, after);
        }
        text.erase(0, after);
        u.erase(0, after);
    }
    return result;
}

TEST(ReplacePathText, AgreesWithTheStepByStepMethodOnRandomTexts) {
    std::mt19937 rng(12345);
    const std::string alphabet = "aAbB\\/\n\r;: \"";
    const auto randomText = [&](std::size_t maxLength) {
        std::string t(rng() % (maxLength + 1), ' ');
        for (char& c : t) c = alphabet[rng() % alphabet.size()];
        return t;
    };
    for (int round = 0; round < 5000; ++round) {
        const std::string text = randomText(40);
        std::string oldText = randomText(4);
        if (oldText.empty()) oldText = "a";
        const std::string newText = randomText(3);
        const bool boundary = (round % 2) == 0;
        const std::string expected = ReferenceReplace(text, oldText, newText, boundary);
        ASSERT_EQ(ReplacePathText(text, oldText, newText, boundary), expected)
            << "text=[" << text << "] old=[" << oldText << "] new=[" << newText << "]";
        std::string inPlace = text;
        ASSERT_EQ(ReplacePathTextInPlace(inPlace, oldText, newText, boundary),
                  ContainsNoCase(text, oldText));
        ASSERT_EQ(inPlace, expected)
            << "in place: text=[" << text << "] old=[" << oldText << "] new=[" << newText << "]";
    }
}

TEST(ReplacePathText, HandlesARepetitiveTextThatDefeatsNaiveSearch) {
    // Many near-matches: a quadratic search would crawl here.
    const std::string oldText = std::string(2000, 'a') + "b";
    const std::string text = std::string(2000000, 'a') + "b\\";
    const std::string result = ReplacePathText(text, oldText, "X", true);
    EXPECT_EQ(result, std::string(2000000 - 2000, 'a') + "X\\");
    // The same where the search skips to a byte that is no letter.
    const std::string slashes = std::string(2000, '\\') + "b";
    EXPECT_EQ(ReplacePathText(std::string(2000000, '\\') + "b\n", slashes, "X", true),
              std::string(2000000 - 2000, '\\') + "X\n");
}

TEST(UrlForm, TurnsBackslashesAndBlanks) {
    EXPECT_EQ(UrlForm("C:\\My Apps\\Web"), "C:/My%20Apps/Web");
    EXPECT_EQ(UrlForm("C:\\a  b\\"), "C:/a%20%20b/");
    EXPECT_EQ(UrlForm(""), "");
    EXPECT_EQ(UrlForm("plain"), "plain");
}

TEST(ContainsNoCase, FindsAsciiLettersInAnyCase) {
    EXPECT_TRUE(ContainsNoCase("x=c:\\WEB2", "C:\\Web"));
    EXPECT_FALSE(ContainsNoCase("x=c:\\We", "C:\\Web"));
    EXPECT_FALSE(ContainsNoCase("anything", ""));
    EXPECT_FALSE(ContainsNoCase("", "a"));
    EXPECT_FALSE(ContainsNoCase("\xE9", "\xC9"));
}

}  // namespace
}  // namespace tarvel
