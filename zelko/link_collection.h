// Collects every link (or image) of a page the browser saved into one job
// text, with three regular expressions over the page source.
#pragma once

#include <optional>
#include <string>
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
