#include "zelko/link_collection.h"

#include <gtest/gtest.h>

#include <random>

namespace zelko {
namespace {

struct TextCase {
    const char* input;
    const char* expected;
};

TEST(UnquoteAttribute, RemovesMatchingQuotesAndBlanksLineBreaks) {
    const TextCase cases[] = {
        {"\"a b\"", "a b"},   {"'x'", "x"},     {"\"x'", "\"x'"}, {"\"", ""},
        {"'", ""},            {"\"\"", ""},     {"abc", "abc"},  {"a\tb\nc\rd", "a b c d"},
        {"\"a\r\nb\"", "a  b"}, {"", ""},
    };
    for (const TextCase& c : cases) EXPECT_EQ(UnquoteAttribute(c.input), c.expected) << c.input;
}

TEST(LinkText, StripsTagsAndTrims) {
    const TextCase cases[] = {
        {"  <b>Bold</b> text\t", "Bold text"},
        {"a<b<c>d", "ad"},
        {"a > b", "a > b"},
        {"x <unclosed", "x <unclosed"},
        {"<img src=x>", ""},
        {"one\r\ntwo", "one  two"},
        {"a  <i>b</i>  c", "a  b  c"},
        {"", ""},
    };
    for (const TextCase& c : cases) EXPECT_EQ(LinkText(c.input), c.expected) << c.input;
}

TEST(DecodeEntities, AppliesTheTableInOrder) {
    const TextCase cases[] = {
        {"a&amp;b", "a&b"},
        {"&quot;&#34;&#034;", "\"\"\""},
        {"&amp;lt;", "<"},
        // Each decoded "&" opens a reference of a later row, never an earlier one.
        {"&amp;#38;#038;lt;", "<"},
        {"&amp;amp;", "&amp;"},
        {"&amp;quot;", "&quot;"},
        {"&lt;&gt;&apos;", "<>'"},
        {"&copy;&#169;&#xA9;", "\xA9\xA9\xA9"},
        {"&#xa9;", "&#xa9;"},
        {"&AMP;", "&AMP;"},
        {"&ndash;&mdash;&minus;", "---"},
        {"&laquo;x&raquo;", "\xABx\xBB"},
        {"&reg;", "\xAE"},
        {"no entity", "no entity"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(DecodeEntities(c.input), c.expected) << c.input;
}

TEST(DecodeEntities, Utf8PagesGetUtf8Sequences) {
    EXPECT_EQ(DecodeEntities("&copy;&laquo;&reg;&raquo;&amp;", true),
              "\xC2\xA9\xC2\xAB\xC2\xAE\xC2\xBB&");
}

std::string Entry(const std::string& link, const std::string& description) {
    return link + "\r\n" + description + "\r\n\r\n\r\n";
}

std::string Job(std::size_t count, const std::string& url, const std::string& list) {
    return std::to_string(count) + ";My_Download_Manager;2;;\r\n" + url + "\r\n" + list;
}

TEST(CollectLinksFromPage, MakesLinksAbsoluteAndFilters) {
    const std::string page =
        "<html><body>"
        "<a href='/files/a.zip'>  <b>File</b> A </a>"
        "<A HREF=rel.zip>Rel</A>"
        "<a href=\"?q=1\">Query</a>"
        "<a href=\"//cdn.example/x\">Cdn</a>"
        "<a href=\"javascript:void(0)\">js</a>"
        "<a href=\"mailto:me@x\">mail</a>"
        "<a href=\"opera:config\">cfg</a>"
        "<a href=\"JavaScript:go()\">JS</a>"
        "<a href=\"http://other.org/b.zip\">Abs</a>"
        "<a name=x>no href</a>"
        "<a href=\"\">empty</a>"
        "</body></html>";
    CollectedLinks got = CollectLinksFromPage(page, "http://site.com/dir/page.html", false);
    const std::string list = Entry("http://site.com/files/a.zip", "File A") +
                             Entry("http://site.com/dir/rel.zip", "Rel") +
                             Entry("http://site.com/dir/?q=1", "Query") +
                             Entry("http://site.com//cdn.example/x", "Cdn") +
                             Entry("http://site.com/dir/JavaScript:go()", "JS") +
                             Entry("http://other.org/b.zip", "Abs");
    EXPECT_EQ(got.count, 6u);
    EXPECT_FALSE(got.utf8Page);
    EXPECT_EQ(got.text, Job(6, "http://site.com/dir/page.html", list));
}

TEST(CollectLinksFromPage, PrefixesOfUnusualAddresses) {
    struct Case {
        const char* pageUrl;
        const char* href;
        const char* expected;
    };
    const Case cases[] = {
        {"http://site.com/", "/a", "http://site.com/a"},
        {"http://site.com/", "b", "http://site.com/b"},
        {"http://site.com", "/a", "/a"},  // no slash after the host: no site root
        {"http://site.com", "b", "http://b"},
        {"page", "b", "page/b"},
        {"http://h/x/y/", "/z", "http://h/z"},
    };
    for (const Case& c : cases) {
        CollectedLinks got = CollectLinksFromPage(
            std::string("<a href=\"") + c.href + "\">t</a>", c.pageUrl, false);
        EXPECT_EQ(got.text, Job(1, c.pageUrl, Entry(c.expected, "t"))) << c.pageUrl << " " << c.href;
    }
}

TEST(CollectLinksFromPage, DuplicatesAndEntities) {
    const std::string page =
        "<a href=\"http://h/a?x=1&amp;y=2\">One&nbsp;two</a>"
        "<a href=\"http://h/a?x=1&amp;y=2\">One&#160;two</a>"  // same after &nbsp; rule
        "<a href=\"http://h/a?x=1&y=2\">One two</a>"            // differs before decoding
        "<a href=\"http://h/a?x=1&amp;y=2\">Other</a>";
    CollectedLinks got = CollectLinksFromPage(page, "http://h/", false);
    const std::string list = Entry("http://h/a?x=1&y=2", "One two") +
                             Entry("http://h/a?x=1&y=2", "One two") +
                             Entry("http://h/a?x=1&y=2", "Other");
    EXPECT_EQ(got.text, Job(3, "http://h/", list));
}

TEST(CollectLinksFromPage, ALinkEndingAnEarlierOneWithTheSameTextIsADuplicate) {
    // The new entry's text occurs inside the earlier entry.
    const std::string page =
        "<a href=\"http://r/?u=http://x/f\">T</a>"
        "<a href=\"http://x/f\">T</a>"
        "<a href=\"http://x/f\">U</a>";
    CollectedLinks got = CollectLinksFromPage(page, "http://r/", false);
    EXPECT_EQ(got.text, Job(2, "http://r/", Entry("http://r/?u=http://x/f", "T") +
                                                Entry("http://x/f", "U")));
}

TEST(CollectLinksFromPage, Images) {
    const std::string page =
        "<IMG SRC='/i/a.png'><embed width=1 src=movie.swf >"
        "<img alt=x src=\"/i/a.png\"><img src=''><img src=\"javascript:x\">";
    CollectedLinks got = CollectLinksFromPage(page, "http://h/p/q.html", true);
    const std::string list = "http://h/i/a.png\r\n\r\n\r\n\r\n"
                             "http://h/p/movie.swf\r\n\r\n\r\n\r\n"
                             "http://h/p/javascript:x\r\n\r\n\r\n\r\n";
    EXPECT_EQ(got.text, Job(3, "http://h/p/q.html", list));
}

TEST(CollectLinksFromPage, Utf8Head) {
    const std::string utf8Page =
        "<HEAD><title>t</title><meta http-equiv=Content-Type content=\"text/html; "
        "charset=UTF-8\"></head><a href=x>&copy;</a>";
    CollectedLinks got = CollectLinksFromPage(utf8Page, "http://h/", false);
    EXPECT_TRUE(got.utf8Page);
    EXPECT_EQ(got.text, Job(1, "http://h/", Entry("http://h/x", "\xC2\xA9")));

    CollectedLinks ansi = CollectLinksFromPage("<head></head><meta charset=utf-8><a href=x>&copy;</a>",
                                               "http://h/", false);
    EXPECT_FALSE(ansi.utf8Page);
    EXPECT_EQ(ansi.text, Job(1, "http://h/", Entry("http://h/x", "\xA9")));
}

TEST(CollectLinksFromPage, PagesWithoutMatches) {
    const char* pages[] = {"", "no anchors at all", "<a href=x>never closed", "<a>no href</a>",
                           "</a></a>"};
    for (const char* page : pages)
        EXPECT_EQ(CollectLinksFromPage(page, "http://h/", false).text,
                  "0;My_Download_Manager;2;;\r\nhttp://h/\r\n")
            << page;
}

TEST(CollectLinksFromPage, UnclosedAnchorInAHugePage) {
    std::string page = "<a href=\"http://h/first\">first</a><a href=\"x\">";
    page.append(10 * 1024 * 1024, 'z');
    CollectedLinks got = CollectLinksFromPage(page, "http://h/", false);
    EXPECT_EQ(got.text, Job(1, "http://h/", Entry("http://h/first", "first")));
}

TEST(CollectLinksFromPage, ManyOpenAnchorsWithoutAClose) {
    std::string page;
    for (int i = 0; i < 20000; ++i) page += "<a href=\"x" + std::to_string(i) + "\">";
    EXPECT_EQ(CollectLinksFromPage(page, "http://h/", false).count, 0u);
}

// The list text searched whole, as the rule is written.
std::string NaiveList(const std::vector<std::pair<std::string, std::string>>& entries,
                      std::size_t& count) {
    std::string list;
    count = 0;
    for (const auto& [link, description] : entries) {
        std::string entry = Entry(link, description);
        if (list.find(entry) != std::string::npos) continue;
        list += entry;
        ++count;
    }
    return list;
}

TEST(CollectLinksFromPage, DeduplicationAgreesWithSearchingTheWholeList) {
    std::mt19937 random(1234);
    const char alphabet[] = "ab/";
    auto word = [&](std::size_t maxLength) {
        std::string w;
        std::size_t length = random() % (maxLength + 1);
        for (std::size_t i = 0; i < length; ++i) w += alphabet[random() % 3];
        return w;
    };
    for (int round = 0; round < 300; ++round) {
        std::string page;
        std::vector<std::pair<std::string, std::string>> entries;
        int anchors = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < anchors; ++i) {
            std::string link = "http://" + word(4);
            std::string text = word(2);
            page += "<a href=\"" + link + "\">" + text + "</a>\n";
            entries.emplace_back(link, text);
        }
        std::size_t count = 0;
        std::string list = NaiveList(entries, count);
        CollectedLinks got = CollectLinksFromPage(page, "http://h/", false);
        ASSERT_EQ(got.text, Job(count, "http://h/", list)) << page;
    }
}

}  // namespace
}  // namespace zelko
