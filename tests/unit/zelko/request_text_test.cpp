#include <gtest/gtest.h>

#include <random>

#include "tests/support/url_regex_reference.h"
#include "zelko/flashgot.h"
#include "zelko/handoff.h"
#include "zelko/intake.h"
#include "zelko/job.h"
#include "zelko/link_list_box.h"
#include "zelko/plugins.h"

namespace zelko {
namespace {

using Args = std::vector<std::string>;

TEST(SplitArguments, Forms) {
    struct Case {
        const char* text;
        Args expected;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"C:\\My Files\\job.zlk\"", {"C:\\My Files\\job.zlk"}},
        {"a\"\"b", {"a", "b"}},
        {"\"\"", {}},
        {"\"\" x", {"x"}},
        {"a\"b c\"d", {"a\"b c\"d"}},
        {"\"unclosed here", {"\"unclosed here"}},
        {"\"", {"\""}},
        {"\"page.htm\" \"http://h/p q\" DOWNLOAD IMG", {"page.htm", "http://h/p q", "DOWNLOAD", "IMG"}},
        {" \x01x\x1fy ", {"x", "y"}},
        {"\x91quoted\x92", {"\x91quoted\x92"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitArguments(c.text), c.expected) << c.text;
}

TEST(NormalizeUrl, FiveRules) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"hxxp://a/b", "http://a/b"},
        {"hxxps://a/b", "https://a/b"},
        {"_http://a/", "http://a/"},
        {"\xF5xxp://a/", "http://a/"},
        {"\xF5ttp\xF1://a/", "https://a/"},
        {"ftp.host.org/x", "ftp://ftp.host.org/x"},
        {"_ftp.host.org", "ftp://ftp.host.org"},
        {"fxp://a", "ftp://a"},
        {"\xF4tp://a", "ftp://a"},
        {"www.example.com/", "http://www.example.com/"},
        {"  www.x.org \r\n", "http://www.x.org"},
        {"HTTP://A/", "HTTP://A/"},
        {"WWW.X.ORG", "WWW.X.ORG"},
        {"http://www.x/", "http://www.x/"},
        {"x www.y", "x www.y"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizeUrl(c.input), c.expected) << c.input;
}

// Every byte a repair looks at, and some it must not take for them.
const std::string kPrefixBytes = std::string("_hsptfw.:/x\xF5\xF1\xEF\xF4HW\n\r", 19) + '\0';

// The forms of each repair's prefix: whole, cut short, and with each of its
// bytes swapped for every byte above; with nothing, "_" or "__" in front and
// an address or nothing behind.
std::vector<std::string> PrefixVariants() {
    const std::string forms[] = {"hxxps://", "h\xF5\xF5\xF5s://", "\xF5ttp\xF1://", "hxxp://",
                                 "\xF5tt\xEF://", "fxp://", "\xF4t\xEF://", "ftp.", "www."};
    std::vector<std::string> cores;
    for (const std::string& form : forms) {
        for (std::size_t n = 0; n <= form.size(); ++n) cores.push_back(form.substr(0, n));
        for (std::size_t i = 0; i < form.size(); ++i)
            for (char c : kPrefixBytes) {
                std::string swapped = form;
                swapped[i] = c;
                cores.push_back(swapped);
            }
    }
    std::vector<std::string> variants;
    for (const std::string& core : cores)
        for (const char* front : {"", "_", "__"})
            for (const char* behind : {"", "host/a", "www.x"})
                variants.push_back(front + core + behind);
    return variants;
}

TEST(NormalizeUrl, AgreesWithTheRegexRules) {
    std::vector<std::string> inputs = PrefixVariants();
    const std::string built[] = {
        std::string("h\0\0\0s://a", 10), std::string("\0www.x", 6), "h\n\n\np://", "_ftp.ftp.x",
        "www.www.x",  "_www.x",  "  _hxxp://a \x01", "hxxps://hxxp://", "\xF5\xF5\xF5\xF5\xF1://",
        "\x91http://a", "http://a", "HTTP://A", "ftp://ftp.x",
    };
    inputs.insert(inputs.end(), std::begin(built), std::end(built));
    std::mt19937 random(18);
    for (int i = 0; i < 20000; ++i) {
        std::string text(random() % 12, ' ');
        for (char& c : text) c = kPrefixBytes[random() % kPrefixBytes.size()];
        inputs.push_back(text);
    }
    int differ = 0;
    for (const std::string& input : inputs) {
        const std::string expected = url_regex_reference::NormalizeUrl(input);
        if (NormalizeUrl(input) != expected && ++differ <= 10)
            ADD_FAILURE() << "input \"" << input << "\": \"" << NormalizeUrl(input) << "\", the rules give \""
                          << expected << "\"";
    }
    EXPECT_EQ(differ, 0) << "of " << inputs.size() << " inputs";
}

std::vector<std::string> LinesOf(const JobLines& lines) {
    std::vector<std::string> result;
    for (std::size_t i = 0; i < lines.size(); ++i) result.emplace_back(lines[i]);
    return result;
}

TEST(JobLines, SplitAndJoin) {
    struct Case {
        const char* text;
        std::vector<std::string> expected;
        const char* written;  // the job file's content
    };
    const Case cases[] = {
        {"", {}, ""},
        {"a\r\nb\r\n", {"a", "b"}, "a\r\nb\r\n"},
        {"a\r\nb", {"a", "b"}, "a\r\nb\r\n"},
        {"a\rb", {"a", "b"}, "a\r\nb\r\n"},
        {"a\rb\r", {"a", "b"}, "a\r\nb\r\n"},
        {"a\nb\r\n", {"a\nb"}, "a\nb\r\n"},
        {"a\n", {"a\n"}, "a\n\r\n"},
        {"\n", {"\n"}, "\n\r\n"},
        {"a\r\n\r\n", {"a", ""}, "a\r\n\r\n"},
        {"\r\r\n", {"", ""}, "\r\n\r\n"},
        {"\r\n", {""}, "\r\n"},
        {"\r", {""}, "\r\n"},
        {"\n\r", {"\n"}, "\n\r\n"},
        {"a\n\r\nb", {"a\n", "b"}, "a\n\r\nb\r\n"},
        {"a\r\rb\r\n\r", {"a", "", "b", ""}, "a\r\n\r\nb\r\n\r\n"},
    };
    for (const Case& c : cases) {
        const JobLines lines = SplitJobLines(c.text);
        EXPECT_EQ(LinesOf(lines), c.expected) << c.text;
        EXPECT_EQ(lines.Text(), c.written) << c.text;
    }
    EXPECT_EQ(JoinJobLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(OneLine("a\r\nb\rc\nd"), "a b c d");
}

TEST(JobLines, ReplaceAndRemove) {
    struct Case {
        const char* text;
        std::size_t replaced;
        const char* line;
        std::vector<bool> drop;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"h\r\nr\r\nu\r\n", 0, "longer header", {}, {"longer header", "r", "u"}},
        {"header\r\nr\r\nu", 0, "", {false, true}, {"", "u"}},
        {"a\rb\rc\rd", 1, "B", {true, false, true, false}, {"B", "d"}},
        {"a\r\nb\r\nc", 2, "x\ny", {false, false, false}, {"a", "b", "x\ny"}},
        {"a\r\nb\r\nc", 0, "a", {true, true, true}, {}},
        {"a\r\n\r\nc\r\n\r\n", 3, "end", {false, true}, {"a", "c", "end"}},
    };
    for (const Case& c : cases) {
        JobLines lines = SplitJobLines(c.text);
        lines.ReplaceLine(c.replaced, c.line);
        lines.RemoveLines(c.drop);
        EXPECT_EQ(LinesOf(lines), c.expected) << c.text;
        std::vector<std::string_view> views(c.expected.begin(), c.expected.end());
        EXPECT_EQ(lines.Text(), JoinJobLines(views)) << c.text;
    }
}

TEST(MatchesSiteList, Items) {
    struct Case {
        const char* list;
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"", "anything", false},
        {";;", "anything", false},
        {"host1.com;host2.net;", "http://host2.net/f", true},
        {"host1.com;host2.net", "http://host2.net/f", true},
        {"host1.com;", "http://HOST1.com/", false},
        {"a.b;", "http://x/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesSiteList(c.list, c.text), c.expected) << c.list << " / " << c.text;
}

TEST(WithExtension, ChangesTheFileNamesExtension) {
    EXPECT_EQ(WithExtension("C:\\USD\\USDownloader.exe", ".add"), "C:\\USD\\USDownloader.add");
    EXPECT_EQ(WithExtension("C:\\a.b\\rapget", ".ini"), "C:\\a.b\\rapget.ini");
    EXPECT_EQ(WithExtension("rapget.x.exe", ".ini"), "rapget.x.ini");
}

TEST(ParseFlashGotTest, InstalledManagers) {
    struct Case {
        const char* content;
        const char* defaultManager;
        const char* allDm;
    };
    const Case cases[] = {
        {"header\r\nA|OK\r\nB\r\nC|OK\r\n", "C", "A;C;"},
        {"header|OK\r\n", "No", ""},
        {"", "No", ""},
        {"h\nFlashGet|OK|OK\n", "FlashGet|OK", "FlashGet|OK;"},
        {"h\r\nGet|OKRight\r\n", "GetRight", "GetRight;"},
    };
    for (const Case& c : cases) {
        Detection d = ParseFlashGotTest(c.content);
        EXPECT_EQ(d.defaultManager, c.defaultManager) << c.content;
        EXPECT_EQ(d.allDm, c.allDm) << c.content;
    }
}

TEST(ReportedHosts, Forms) {
    struct Case {
        const char* report;
        const char* expected;
    };
    const Case cases[] = {
        {"Host1.COM\nhost2.net|Two Hosts", "host1.com;host2.net;"},
        {"files.example.com/download/path", "files.example.com;"},
        {"a.com/x;b.com/y/z", "a.com;b.com;"},
        {"%Error: Bad", "%error: bad;"},
        {"single;", "single;"},
        {"", ";"},
        {"|title only", ";"},
        // Found by fuzzing: the closing ";" is added before the paths go, so a
        // path at the very end still leaves its own ";" behind.
        {"\x02\n/", "\x02;;"},
        {"a.com\nb.com/", "a.com;b.com;"},
        {"a.com;/x", "a.com;;"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReportedHosts(c.report), c.expected) << c.report;
}

TEST(CappedHosts, OneReportAddsAtMost64KiBOfWholeMasks) {
    std::string many;
    while (many.size() < 200000) many += "host" + std::to_string(many.size()) + ".example;";
    struct Case {
        std::string hosts;
        std::string expected;
    };
    const Case cases[] = {
        {"a.com;", "a.com;"},
        {std::string(kMaxReportedHostBytes - 1, 'x') + ";", std::string(kMaxReportedHostBytes - 1, 'x') + ";"},
        {std::string(kMaxReportedHostBytes, 'x') + ";", ""},  // one mask too long for the cap
        {"a;" + std::string(kMaxReportedHostBytes, 'x') + ";", "a;"},
        {many, many.substr(0, many.rfind(';', kMaxReportedHostBytes - 1) + 1)},
    };
    for (const Case& c : cases) {
        const std::string capped = CappedHosts(c.hosts);
        EXPECT_EQ(capped, c.expected) << c.hosts.substr(0, 40);
        EXPECT_LE(capped.size(), kMaxReportedHostBytes);
    }
    EXPECT_GT(CappedHosts(many).size(), kMaxReportedHostBytes - 40);
}

TEST(WholeMasksOf, ListCutByTheIniLimitLosesItsPieceOfAMask) {
    std::string full;
    while (full.size() < 4095 - 20) full += "h" + std::to_string(full.size()) + ".example;";
    const std::string cut = (full + "mega.example.com;").substr(0, 4095);  // ends "...;mega.ex"
    struct Case {
        std::string list, expected;
    } cases[] = {
        {"a.com;b.com", "a.com;b.com"},  // short: the last mask may lack its ";"
        {cut, full},
        {full + std::string(4095 - full.size() - 1, 'x') + ";", full + std::string(4095 - full.size() - 1, 'x') + ";"},
        {std::string(4095, 'x'), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(WholeMasksOf(c.list), c.expected) << c.list.substr(c.list.size() - 20);
}

TEST(PluginFolder, FolderPartOfTheProgram) {
    EXPECT_EQ(PluginFolder("C:\\USD\\USDownloader.exe"), "C:\\USD\\plugins\\");
    EXPECT_EQ(PluginFolder("C:/USD/USDownloader.exe"), "C:/USD/plugins\\");
    EXPECT_EQ(PluginFolder("D:USDownloader.exe"), "D:plugins\\");
    EXPECT_EQ(PluginFolder("USDownloader.exe"), "plugins\\");
}

}  // namespace
}  // namespace zelko

TEST(BoxLinkList, ListsTwentyThenCountsTheRest) {
    auto links = [](std::size_t n) {
        std::vector<std::string> v;
        for (std::size_t i = 1; i <= n; ++i) v.push_back("http://h/" + std::to_string(i));
        return v;
    };
    EXPECT_EQ(zelko::BoxLinkList({}), "");
    EXPECT_EQ(zelko::BoxLinkList(links(2)), "\r\nhttp://h/1\r\nhttp://h/2");
    const std::string twenty = zelko::BoxLinkList(links(20));
    EXPECT_EQ(twenty.find("more"), std::string::npos);
    EXPECT_NE(twenty.find("\r\nhttp://h/20"), std::string::npos);
    const std::string many = zelko::BoxLinkList(links(3000));
    EXPECT_NE(many.find("\r\nhttp://h/20\r\nand 2980 more"), std::string::npos);
    EXPECT_EQ(many.find("http://h/21"), std::string::npos);
}
