#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/browser.h"
#include "common/helpers.h"

namespace common {
namespace {

std::string Bytes0x80To0xFF() {
    std::string s;
    for (int c = 0x80; c <= 0xFF; ++c) s.push_back(static_cast<char>(c));
    return s;
}

struct PosCase {
    const char* sub;
    std::string text;
    std::size_t start;
    std::size_t expected;
};

TEST(PosFrom, FindsFirstOccurrenceAtOrAfterStart) {
    const PosCase cases[] = {
        {"/", "a/b/c", 1, 2},
        {"/", "a/b/c", 2, 2},
        {"/", "a/b/c", 3, 4},
        {"/", "a/b/c", 5, 0},
        {"/", "", 1, 0},
        {"/", "abc", 1, 0},
        {"bc", "abc", 1, 2},
        {"abcd", "abc", 1, 0},
        {"c", "abc", 3, 3},  // last position tried is len - sublen + 1
        {"x", std::string(4096, 'a') + "x", 1, 4097},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosFrom(c.sub, c.text, c.start), c.expected) << c.sub << " in " << c.text;
}

TEST(LastPos, FindsLastOccurrence) {
    const PosCase cases[] = {
        {"/", "a/b/c", 0, 4},
        {"/", "abc", 0, 0},
        {"/", "", 0, 0},
        {" - Opera", "Page - Opera - Opera", 0, 13},
        {"ab", "abab", 0, 3},
        {"abc", "ab", 0, 0},
        {"\xFF", Bytes0x80To0xFF(), 0, 128},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LastPos(c.sub, c.text), c.expected) << c.sub << " in " << c.text;
}

TEST(ReverseText, ReversesBytes) {
    EXPECT_EQ(ReverseText(""), "");
    EXPECT_EQ(ReverseText("abc"), "cba");
    EXPECT_EQ(ReverseText(std::string("a\0b", 3)), std::string("b\0a", 3));
}

TEST(ReplaceAll, ReplacesWithoutSearchingReplacements) {
    struct Case {
        std::string text, oldText, newText, expected;
    } cases[] = {
        {"a\r\nb\r\nc", "\r\n", " ", "a b c"},
        {"a\nb", "\n", ";", "a;b"},
        {"a/b/", "/", "//", "a//b//"},     // old text inside the new text: one pass
        {"aaa", "a", "aa", "aaaaaa"},
        {"", "x", "y", ""},
        {"abc", "x", "y", "abc"},
        {"ABC", "b", "x", "ABC"},           // case-sensitive
        {"abc", "", "y", "abc"},
        {"xxxx", "xx", "y", "yy"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.oldText, c.newText), c.expected) << c.text;
}

TEST(SiteRootOfUrl, SchemeHostAndOneSlash) {
    struct Case {
        std::string url, expected;
    } cases[] = {
        {"http://host.com/path/file.zip", "http://host.com/"},
        {"https://a.b/", "https://a.b/"},
        {"http://host.com", ""},
        {"host.com/path", ""},
        {"", ""},
        {"ftp://x/y?z=http://q/", "ftp://x/"},
        {"://", ""},
        {":///", ":///"},
    };
    for (const auto& c : cases) EXPECT_EQ(SiteRootOfUrl(c.url), c.expected) << c.url;
}

TEST(CleanDescription, OneLineQuotedSafely) {
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"a\tb\nc\rd<e>f|g", "a b c d e f g"},
        {"say \"hi\"", "say 'hi'"},
        {"  \x01 text \x1F ", "text"},
        {"", ""},
        {"\r\n", ""},
        {std::string(1200, 'x'), std::string(1000, 'x')},
        {std::string(999, ' ') + "ab", "a"},  // cut to 1000 first, then trimmed
        {"\xE9t\xE9", "\xE9t\xE9"},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanDescription(c.text), c.expected) << c.text;
}

TEST(UnescapeUrl, DecodesUpToQueryOrFragment) {
    struct Case {
        std::string url, expected;
    } cases[] = {
        {"a%20b", "a b"},
        {"data:text/mrv;charset=UTF-8,%2Fformat%3Dpng", "data:text/mrv;charset=UTF-8,/format=png"},
        {"x%3Fy?a%20b", "x?y?a%20b"},     // a decoded '?' does not stop decoding
        {"x#a%20b", "x#a%20b"},
        {"%", "%"},
        {"%4", "%4"},
        {"%zz%41", "%zzA"},
        {"%e9", "\xE9"},
        {"a%00b", "a"},                     // a decoded zero ends the text
        {"", ""},
        {"+", "+"},
    };
    for (const auto& c : cases) EXPECT_EQ(UnescapeUrl(c.url), c.expected) << c.url;
}

TEST(UnescapeUrl, LongResultIsCutAt4095WholeCharacters) {
    EXPECT_EQ(UnescapeUrl(std::string(4095, 'a')).size(), 4095u);
    EXPECT_EQ(UnescapeUrl(std::string(4096, 'a')), std::string(4095, 'a'));
    std::string encoded;
    for (int i = 0; i < 5000; ++i) encoded += "%41";
    EXPECT_EQ(UnescapeUrl(encoded), std::string(4095, 'A'));
    // A sequence is never split: the last character is a whole 'A', not "%4".
    EXPECT_EQ(UnescapeUrl(std::string(4094, 'b') + "%41%42"), std::string(4094, 'b') + "A");
}

TEST(TrimJunk, RemovesControlsDotsUnderscoresAndNoBreakSpace) {
    struct Case {
        std::string text, right, left;
    } cases[] = {
        {"._ a b _.", "._ a b", "a b _."},
        {"\xA0x\xA0", "\xA0x", "x\xA0"},
        {"", "", ""},
        {"...", "", ""},
        {"abc", "abc", "abc"},
        {std::string("\0a\0", 3), std::string("\0a", 2), std::string("a\0", 2)},
        {"\xE9.", "\xE9", "\xE9."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimJunkRight(c.text), c.right) << c.text;
        EXPECT_EQ(TrimJunkLeft(c.text), c.left) << c.text;
    }
}

TEST(FileNames, TroubleAndMakeFileName) {
    struct Case {
        std::string title;
        bool trouble;
        std::string made;
    } cases[] = {
        {"a/b::c...", true, "a_b_c"},
        {"Plain title", false, "Plain title"},
        {std::string(300, 'x'), true, std::string(128, 'x')},
        {std::string(200, 'x'), false, std::string(128, 'x')},
        {std::string(201, 'x'), true, std::string(128, 'x')},
        {"", false, ""},
        {"q?\"#*<>|\\", true, "q"},
        {"tab\there", true, "tab_here"},
        {"__a__b__", false, "a_b"},
        {"\xC0\xE9\xFF", false, "\xC0\xE9\xFF"},  // bytes 0x80+ are allowed
        {"name.", false, "name"},
        {std::string(127, 'y') + "__z", false, std::string(127, 'y') + ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasFileNameTrouble(c.title), c.trouble) << c.title;
        EXPECT_EQ(MakeFileName(c.title), c.made) << c.title;
    }
}

TEST(FileNames, ForbiddenSetIsExact) {
    for (int c = 0; c < 256; ++c) {
        bool expected = c < 0x20 || std::string("\"#*/:<>?\\|").find(static_cast<char>(c)) !=
                                        std::string::npos;
        EXPECT_EQ(IsFileNameForbidden(static_cast<unsigned char>(c)), expected) << c;
    }
}

TEST(DotsToUnderscores, TurnsDotsAndCollapses) {
    EXPECT_EQ(DotsToUnderscores("www.site.com"), "www_site_com");
    EXPECT_EQ(DotsToUnderscores("a..b"), "a_b");
    EXPECT_EQ(DotsToUnderscores("._x_."), "_x_");  // nothing cut or trimmed
    EXPECT_EQ(DotsToUnderscores(""), "");
}

TEST(FolderOfPath, BackslashIsTheOnlyDelimiter) {
    struct Case {
        std::string path, expected;
    } cases[] = {
        {"c:\\a\\b.exe", "c:\\a\\"},
        {"b.exe", ""},
        {"c:/a/b.exe", ""},
        {"c:b.exe", ""},
        {"\\", "\\"},
        {"", ""},
        {"\"c:\\p f\\x.exe\" -a", "\"c:\\p f\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderOfPath(c.path), c.expected) << c.path;
}

TEST(CommandLineTail, SkipsProgramName) {
    struct Case {
        std::string line, tail;
    } cases[] = {
        {"prog.exe", ""},
        {"prog.exe ", " "},
        {"prog.exe a b", " a b"},
        {"\"c:\\my dir\\prog.exe\" /x", " /x"},
        {"\"c:\\my dir\\prog.exe\"", ""},
        {"  \t prog.exe  x", "  x"},
        {"\"\"\"\"prog.exe x", " x"},           // adjacent quote pairs are skipped first
        {"\"\" \"\"prog x", " x"},
        {"pro\"g  x\"y z", " z"},                // a quote inside the name opens a stretch
        {"\"unterminated name", ""},
        {"", ""},
        {"   ", ""},
        {"p \x91\x91x\x92\x92", " \x91\x91x\x92\x92"},
        {"\xE9t\xE9.exe  a", "  a"},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandLineTail(c.line), c.tail) << c.line;
}

TEST(TextPieces, TrimAndBackslashes) {
    EXPECT_EQ(TrimControls(" \x01x y\x20\x1F"), "x y");
    EXPECT_EQ(TrimControls(""), "");
    EXPECT_EQ(WithoutTrailingBackslash("c:\\a\\"), "c:\\a");
    EXPECT_EQ(WithoutTrailingBackslash("c:\\a\\\\"), "c:\\a\\");  // one only
    EXPECT_EQ(WithTrailingBackslash("c:\\a"), "c:\\a\\");
    EXPECT_EQ(WithTrailingBackslash("c:\\a\\"), "c:\\a\\");
    EXPECT_TRUE(EqualsNoCase("OPERA.exe", "opera.EXE"));
    EXPECT_FALSE(EqualsNoCase("opera", "opera "));
}

TEST(WindowInfo, AddressIsTakenBeforeTheFirstSeparator) {
    struct Case {
        std::string reply, address;
    } cases[] = {
        {"\"http://a/b\",\"Title\"", "http://a/b"},
        {"\"http://a/\",\"T \",\" x\"", "http://a/"},
        {"\"\",\"Title\"", ""},
        {"no separator", ""},
        {"", ""},
        {" \"http://a/\",\"t\"", "http://a/"},
        {"\r\n\"http://a/\",\"t\"", "http://a/"},
        {"x\"a\",\"t\"", "a"},
        {"http://a/\",\"t\"", ""},  // no opening quote
    };
    for (const auto& c : cases)
        EXPECT_EQ(browser::AddressOfWindowInfo(c.reply), c.address) << c.reply;
    EXPECT_EQ(browser::FormatWindowInfo({"http://a/", "T"}), "\"http://a/\",\"T\"");
}

}  // namespace
}  // namespace common

namespace common {
namespace {

// Every text routine on hostile input: empty, no searched character, 4095 and
// 4096 characters, high bytes, control characters. Each keeps its contract.
TEST(TextRoutines, HostileInputKeepsContracts) {
    std::string controls;
    for (int c = 0; c < 32; ++c) controls.push_back(static_cast<char>(c));
    const struct {
        std::string in;
        bool trouble;      // HasFileNameTrouble
        std::string tail;  // CommandLineTail, the input read as a command line
    } cases[] = {
        {"", false, ""},
        {"plain", false, ""},
        {std::string(200, 'a'), false, ""},
        {std::string(4095, 'a'), true, ""},
        {std::string(4096, 'b'), true, ""},
        {std::string(4096, '%'), true, ""},
        {Bytes0x80To0xFF(), false, ""},
        {controls, true, controls},  // a zero first: no name to skip
        {std::string(4096, '\\'), true, ""},
        {std::string(4095, '_') + ".", true, ""},
        {"\x01\x02name \x01x", true, " \x01x"},
    };
    for (const auto& c : cases) {
        const std::string& in = c.in;
        SCOPED_TRACE(in.size());
        EXPECT_EQ(ReverseText(in), std::string(in.rbegin(), in.rend()));
        EXPECT_EQ(ReplaceAll(in, "\x01", ""), [&] {
            std::string s;
            for (char c : in)
                if (c != '\x01') s.push_back(c);
            return s;
        }());
        std::size_t last = LastPos("\\", in);
        EXPECT_TRUE(last == 0 || in[last - 1] == '\\');
        EXPECT_EQ(last == 0, in.find('\\') == std::string::npos);
        if (last != 0) EXPECT_EQ(last, in.rfind('\\') + 1);
        EXPECT_EQ(PosFrom("\\", in, 1), in.find('\\') == std::string::npos ? 0 : in.find('\\') + 1);
        EXPECT_LE(UnescapeUrl(in).size(), kUnescapeLimit);
        EXPECT_LE(CleanDescription(in).size(), 1000u);
        std::string made = MakeFileName(in);
        EXPECT_LE(made.size(), 128u);
        EXPECT_FALSE(HasFileNameTrouble(made));
        EXPECT_EQ(HasFileNameTrouble(in), c.trouble);
        EXPECT_EQ(DotsToUnderscores(in).find('.'), std::string::npos);
        EXPECT_EQ(DotsToUnderscores(in).find("__"), std::string::npos);
        std::string right = TrimJunkRight(in), left = TrimJunkLeft(in);
        EXPECT_TRUE(right.empty() || !IsJunkChar(static_cast<unsigned char>(right.back())));
        EXPECT_TRUE(left.empty() || !IsJunkChar(static_cast<unsigned char>(left.front())));
        EXPECT_TRUE(SiteRootOfUrl(in).empty());
        EXPECT_EQ(CommandLineTail(in), c.tail);
        EXPECT_EQ(FolderOfPath(in).empty(), in.find('\\') == std::string::npos);
    }
}

}  // namespace
}  // namespace common

namespace common {
namespace {

TEST(FileNameOfPath, TextAfterTheLastBackslash) {
    struct Case {
        std::string path, name;
    } cases[] = {
        {"c:\\a\\b.exe", "b.exe"}, {"b.exe", "b.exe"}, {"c:\\a\\", ""},
        {"c:/a/b.exe", "c:/a/b.exe"}, {"", ""}, {"\\\\srv\\share", "share"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileNameOfPath(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace common
