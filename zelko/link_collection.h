// Collects every link (or image) of a page the browser saved into one job
// text, with hand-written scanners that find what three regular expressions
// over the page source would find.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform.h"

namespace zelko {

struct EntityRow {
    const char* names[3];
    const char* ansi;  // the replacement in an ANSI page
    const char* utf8;  // the same character on a page that declares UTF-8
};
extern const EntityRow EntityTable[10];

std::string UnquoteAttribute(const std::string& value);
std::string LinkText(const std::string& html);
// pageIsUtf8: rows 6 to 9 are inserted as their UTF-8 sequences.
std::string DecodeEntities(const std::string& text, bool pageIsUtf8 = false);

// One match of the anchor or image pattern, as offsets into the page: the
// whole match, the attribute value (quotes included) and, for an anchor, the
// text up to its closing tag.
struct TagMatch {
    std::size_t begin = 0, end = 0;
    std::size_t valueBegin = 0, valueEnd = 0;
    std::size_t textBegin = 0, textEnd = 0;
};

// The anchors (or images) of a page one after another, leftmost first, each
// search starting where the previous match ended: what a backtracking matcher
// finds with, ASCII letters in any case and "." any byte,
//   <a[^<>]+?href\s*=\s*(("[^<>"]*")|('[^<>']*')|([^<> ]*))[^<>]*>(.*?)</a>
//   <(img|embed)[^<>]+?src\s*=\s*(("[^<>"]*")|('[^<>']*')|([^<> ]*)).*?>
// In time linear in the page, whatever it holds.
class TagScanner {
public:
    TagScanner(std::string_view page, bool images) : page_(page), images_(images) {}
    bool Next(TagMatch& match);

private:
    bool NextAnchor(TagMatch& match);
    bool NextImage(TagMatch& match);

    std::string_view page_;
    bool images_;
    std::size_t from_ = 0;
};

// The head declares UTF-8: <head>.*?<meta[^>]+charset=utf-8[^>]*>.*?</head>
// occurs in the page (ASCII letters in any case).
bool DeclaresUtf8(std::string_view page);

// The page text as the matching sees it: a UTF-16 page (with byte-order mark)
// converted to ANSI, any page cut at its first zero character. Nothing when
// the file cannot be read or holds fewer than two bytes.
std::optional<std::string> ReadPageText(common::Platform& p, const std::string& path);

// The job text before its final conversion; utf8Page: the head declares
// UTF-8, so the text is UTF-8 already.
struct CollectedLinks {
    std::string text;
    bool utf8Page = false;
    std::size_t count = 0;
};
CollectedLinks CollectLinksFromPage(std::string pageText, const std::string& pageUrl, bool images);

// args: page file, page url, "DOWNLOAD", kind. Returns the job text (UTF-8),
// or empty text when the page cannot be read.
std::string CollectPageLinks(common::Platform& p, const std::vector<std::string>& args);

}  // namespace zelko
