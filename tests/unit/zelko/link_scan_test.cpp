// The hand-written tag scanners against Boost.Regex matching the patterns
// they stand for, on pages made to trip them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/page_regex_reference.h"
#include "zelko/link_collection.h"

namespace zelko {
namespace {

std::vector<TagMatch> Scanned(const std::string& page, bool images) {
    std::vector<TagMatch> found;
    TagScanner scanner(page, images);
    for (TagMatch m; scanner.Next(m);) found.push_back(m);
    return found;
}

std::string Describe(const std::vector<TagMatch>& matches) {
    std::string text;
    for (const TagMatch& m : matches)
        text += "[" + std::to_string(m.begin) + "," + std::to_string(m.end) + " value " +
                std::to_string(m.valueBegin) + "," + std::to_string(m.valueEnd) + " text " +
                std::to_string(m.textBegin) + "," + std::to_string(m.textEnd) + "]";
    return text;
}

struct PageCase {
    const char* page;
    std::size_t anchors;  // matches of each pattern, counted by hand
    std::size_t images;
};

const PageCase kPages[] = {
    {"<a href=x><a href=y>in</a></a>", 1, 0},  // nested: the outer start wins, to the first close
    {"<a href=\"x>t</a>", 1, 0},            // unclosed quote: the value is the bare "\"x"
    {"<a href='x>t</a>", 1, 0},
    {"<a href=\"x' y\">t</a>", 1, 0},
    {"<a href=\"a>b\">t</a>", 1, 0},        // ">" inside quotes ends the tag
    {"<a data-x=\"href=1\" href=\"real\">t</a>", 1, 0},  // the first href= wins
    {"<a title='href' href=x>t</a>", 1, 0},
    {"<A HrEf = 'X'>T</A><a HREF=y>u</a>", 2, 0},
    {"<a>no href</a><a name=n>t</a>", 0, 0},
    {"<abbr href=x>t</a>", 1, 0},
    {"<ahref=x>t</a>", 0, 0},               // one character at least before href
    {"<a\thref=x>t</a><a\nhref=y>u</a>", 2, 0},
    {"<a href\t=\n\"x\">t</a>", 1, 0},
    {"<a href\v=\f'x'\r>t</a>", 1, 0},
    {"<a href=a\tb c>t</a>", 1, 0},          // a tab is not the blank that ends a bare value
    {"<a href=\"a\nb\">t\ru</a>", 1, 0},
    {"<a href=x>t", 0, 0},                   // never closed
    {"<a href=x>t</a><a href=y>u", 1, 0},
    {"<a href=x<b>t</a>", 0, 0},             // "<" before any ">"
    {"<a href=>t</a><a href=\"\">u</a><a href=''>v</a><a href= >w</a>", 4, 0},
    {"<a href=", 0, 0},
    {"<a href=x>", 0, 0},
    {"<a href=x><b>bold</b> <i>x</a>", 1, 0},
    {"<a hrefhref=x>t</a><a href x=y href=z>u</a>", 2, 0},
    {"<a href=\"x\"y>t</a><a href='x' >u</a><a href = \"x\" = y>v</a>", 3, 0},
    {"<a href=x>t</A><a href=y>u</a >v</a>", 2, 0},
    {"<a  <a href=x>t</a>", 1, 0},
    {"<a href=x>one</a>two</a>", 1, 0},
    {"<a href=\"x\"\"y\">t</a>", 1, 0},
    {"<a href='x\"'>t</a><a href=\"'\">u</a>", 2, 0},
    {"<a href=\"\x80\xFF\">\xE9t\xE9</a>", 1, 0},  // bytes above ASCII fold to nothing
    {"<a href=javascript:x>j</a><a href=mailto:m>m</a><a href=\"/abs\">a</a>", 3, 0},
    {"<img src=x", 0, 0},                     // no ">" after the value
    {"<img src=x<b>", 0, 1},                  // ".*?>" crosses a "<"
    {"<embed src=y >", 0, 1},
    {"<IMG SRC=\"a b\"><EmBeD sRc='c'>", 0, 2},
    {"<img alt=\">\" src=x>", 0, 0},          // src after the first ">"
    {"<img src=\"a>b\">", 0, 1},
    {"<embed\nsrc\n=\nx>", 0, 1},
    {"<imgsrc=x><img src=x><imgx src=y>", 0, 2},
    {"<img src=><img src=''><img src=\"\">", 0, 3},
    {"<img src=a <img src=b>", 0, 1},
    {"<img src=", 0, 0},
    {"<img src=a><a href=b>t</a><img src=c>", 1, 2},
    {"<img width=1 src = 'x' alt=y>more>", 0, 1},
    {"<embe src=x><em src=y><embed src=z>", 0, 1},
    {"<a href=x><img src=y></a>", 1, 1},
    {"", 0, 0},
    {"<", 0, 0},
    {"<a", 0, 0},
};

TEST(TagScanner, FindsWhatTheRegularExpressionsFind) {
    for (const PageCase& c : kPages) {
        const std::string page = c.page;
        for (bool images : {false, true}) {
            const page_regex_reference::Matches reference = page_regex_reference::TagMatches(page, images);
            ASSERT_FALSE(reference.gaveUp) << page;
            EXPECT_EQ(Describe(Scanned(page, images)), Describe(reference.found))
                << page << (images ? " (images)" : " (anchors)");
            EXPECT_EQ(reference.found.size(), images ? c.images : c.anchors)
                << page << (images ? " (images)" : " (anchors)");
        }
    }
}

TEST(TagScanner, ZeroBytesAreOrdinaryCharacters) {
    const char bytes[] = "<a \0 href=\"x\0y\">t\0</a><img\0src=\0>";
    const std::string page(bytes, sizeof bytes - 1);
    for (bool images : {false, true}) {
        const page_regex_reference::Matches reference = page_regex_reference::TagMatches(page, images);
        ASSERT_EQ(reference.found.size(), 1u);
        EXPECT_EQ(Describe(Scanned(page, images)), Describe(reference.found));
    }
}

TEST(DeclaresUtf8, AgreesWithTheHeadPattern) {
    const struct {
        const char* page;
        bool utf8;
    } cases[] = {
        {"<head><meta charset=utf-8></head>", true},
        {"<HEAD><META CHARSET=UTF-8></HEAD>", true},
        {"<head><meta http-equiv=x content=\"text/html; charset=utf-8\"></head>", true},
        {"<head><meta charset=utf-8>", false},          // never closed
        {"<head><metacharset=utf-8></head>", false},    // nothing between meta and charset
        {"<head><meta xcharset=utf-8></head>", true},
        {"<head ><meta charset=utf-8></head>", false},  // only "<head>" opens
        {"<head><meta <meta charset=utf-8></head>", true},
        {"<head><meta a=b><meta charset=utf-8 ></head>", true},
        {"<head><meta charset=utf-8 </head>", false},   // ">" ends the meta tag first
        {"<head><meta charset=utf-8 </head>></head>", true},
        {"<head></head><meta charset=utf-8></head>", true},
        {"<meta charset=utf-8><head></head>", false},
        {"<head><meta charset=utf-16></head>", false},
        {"<head><meta charset=utf-8x></head>", true},
        {"<head><meta name=x>charset=utf-8></head>", false},
        {"<head><head><meta charset=utf-8></head>", true},
        {"<head><meta", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(page_regex_reference::DeclaresUtf8(c.page), c.utf8) << c.page;
        EXPECT_EQ(DeclaresUtf8(c.page), c.utf8) << c.page;
    }
}

TEST(CollectLinksFromPage, AgreesWithTheRegularExpressionsAndTheListSearch) {
    std::string all;
    std::vector<std::string> pages;
    for (const PageCase& c : kPages) {
        pages.push_back(c.page);
        all += c.page;
    }
    pages.push_back(all);
    pages.push_back("<head><meta charset=utf-8></head>" + all);
    pages.push_back(
        "<a href=\"http://r/?u=http://x/f\">T</a><a href=http://x/f>T</a><a href=/f>T</a>"
        "<a href=\"http://h/d/f\">T</a><a href=f>T</a><a href=&amp;>T &copy;</a><a href=&>T &#169;</a>");
    // A decoded "&" may open a reference of a later row, never of an earlier
    // one; each text on its own, as a text decodes as a whole.
    std::string entities;
    for (const char* text :
         {"&amp;lt;", "&amp;quot;", "&#38;amp;", "&amp;#38;gt;", "&#038;#60;", "&amp;#xAB;", "&amp;Amp;",
          "a &amp; b", "&amp;&lt;", "&amp;1", "&ampx; &amp", "&ndash;&mdash;&minus;&raquo;",
          "&lt;&gt;&apos;&quot;&#34;&#034;&#39;&#039;&#60;&#060;&#62;&#062;&reg;&#174;&#xAE;",
          "&amp;&#xA0;&nbsp;&#160; &laquo;&#171;&#xAB;&#187;&#xBB;&copy;&#xA9;&#169;"})
        entities += std::string("<a href=\"?") + text + "\">" + text + "</a>";
    pages.push_back(entities);
    // Links that end earlier links, under other descriptions: only the same
    // description makes a duplicate, whatever order the descriptions sort in.
    std::string endings;
    for (int k = 12; k >= 0; --k)
        endings += "<a href=" + std::string(k, 'z') + "http://x/f>" + std::to_string(k) + "</a>";
    pages.push_back(endings);
    pages.push_back("<a href=http://a/b>A</a><a href=\"http://r/?u=http://x/f\">B</a><a href=http://x/f>A</a>");
    for (const std::string& page : pages)
        for (const char* url : {"http://h/d/p.html", "page"})
            for (bool images : {false, true}) {
                const CollectedLinks reference = page_regex_reference::Collect(page, url, images);
                const CollectedLinks got = CollectLinksFromPage(page, url, images);
                EXPECT_EQ(got.text, reference.text) << page;
                EXPECT_EQ(got.count, reference.count);
                EXPECT_EQ(got.utf8Page, reference.utf8Page);
            }
}

}  // namespace
}  // namespace zelko
