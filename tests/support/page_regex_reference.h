// The link collection as regular expressions state it, matched by Boost.Regex
// (perl syntax, ASCII letters folded, "." any byte), with the duplicate rule
// applied by searching the list text itself: the yardstick the hand-written
// scanners of zelko/link_collection are compared with.
#pragma once

#include <boost/regex.hpp>

#include <string>
#include <vector>

#include "common/helpers.h"
#include "zelko/link_collection.h"

namespace page_regex_reference {

// The C traits with case folded for the ASCII letters only.
struct PageTraits : boost::c_regex_traits<char> {
    char translate_nocase(char c) const { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
};
using PageRegex = boost::basic_regex<char, PageTraits>;
using PageMatches = boost::regex_iterator<std::string::const_iterator, char, PageTraits>;
constexpr auto kPageSyntax = boost::regex::perl | boost::regex::icase | boost::regex::mod_s;

inline const PageRegex& AnchorPattern() {
    static const PageRegex re(
        R"(<a[^<>]+?href\s*=\s*(("[^<>"]*")|('[^<>']*')|([^<> ]*))[^<>]*>(.*?)</a>)", kPageSyntax);
    return re;
}

inline const PageRegex& ImagePattern() {
    static const PageRegex re(
        R"(<(img|embed)[^<>]+?src\s*=\s*(("[^<>"]*")|('[^<>']*')|([^<> ]*)).*?>)", kPageSyntax);
    return re;
}

inline const PageRegex& Utf8HeadPattern() {
    static const PageRegex re(R"(<head>.*?<meta[^>]+charset=utf-8[^>]*>.*?</head>)", kPageSyntax);
    return re;
}

struct Matches {
    std::vector<zelko::TagMatch> found;
    bool gaveUp = false;  // Boost stopped on the complexity of the page
};

inline Matches TagMatches(const std::string& page, bool images) {
    Matches matches;
    const int valueGroup = images ? 2 : 1;
    auto at = [&](std::string::const_iterator it) { return static_cast<std::size_t>(it - page.cbegin()); };
    try {
        PageMatches it(page.cbegin(), page.cend(), images ? ImagePattern() : AnchorPattern()), last;
        for (; it != last; ++it) {
            const boost::smatch& m = *it;
            zelko::TagMatch match;
            match.begin = at(m[0].first);
            match.end = at(m[0].second);
            match.valueBegin = at(m[valueGroup].first);
            match.valueEnd = at(m[valueGroup].second);
            if (!images) {
                match.textBegin = at(m[5].first);
                match.textEnd = at(m[5].second);
            }
            matches.found.push_back(match);
        }
    } catch (const std::exception&) {
        matches.gaveUp = true;
    }
    return matches;
}

// False too when Boost gives up.
inline bool DeclaresUtf8(const std::string& page) {
    try {
        return boost::regex_search(page, Utf8HeadPattern());
    } catch (const std::exception&) {
        return false;
    }
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::string Blanked(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

inline std::string Unquoted(const std::string& value) {
    std::string text = Blanked(value);
    if (text.size() == 1 && (text[0] == '"' || text[0] == '\'')) return "";
    if (text.size() >= 2 && text.front() == text.back() && (text[0] == '"' || text[0] == '\''))
        return text.substr(1, text.size() - 2);
    return text;
}

// Tags ("<" to the next ">") removed, blanks and control characters trimmed.
inline std::string TextOf(const std::string& html) {
    std::string text = Blanked(html), out;
    std::size_t from = 0;
    for (std::size_t open; (open = text.find('<', from)) != std::string::npos;) {
        const std::size_t close = text.find('>', open + 1);
        if (close == std::string::npos) break;
        out += text.substr(from, open - from);
        from = close + 1;
    }
    out += text.substr(from);
    return common::TrimControls(out);
}

// The whole job text; gaveUp as in TagMatches.
inline zelko::CollectedLinks Collect(std::string page, const std::string& pageUrl, bool images,
                                     bool* gaveUp = nullptr) {
    for (const char* form : {"&nbsp;", "&#160;", "&#xA0;"}) page = common::ReplaceAll(page, form, " ");
    zelko::CollectedLinks result;
    result.utf8Page = DeclaresUtf8(page);
    std::string siteRoot = common::SiteRootOfUrl(pageUrl);
    if (common::EndsWith(siteRoot, "/")) siteRoot.pop_back();
    const std::size_t slash = pageUrl.rfind('/');
    std::string baseFolder = slash == std::string::npos ? pageUrl : pageUrl.substr(0, slash + 1);
    if (!common::EndsWith(baseFolder, "/")) baseFolder += '/';

    const Matches matches = TagMatches(page, images);
    if (gaveUp) *gaveUp = matches.gaveUp;
    std::string undecoded, list;
    for (const zelko::TagMatch& m : matches.found) {
        std::string link = Unquoted(page.substr(m.valueBegin, m.valueEnd - m.valueBegin));
        if (link.empty()) continue;
        if (!images && (Contains(link, "javascript:") || Contains(link, "mailto:") || Contains(link, "opera:")))
            continue;
        if (!Contains(link, "://")) link = (link[0] == '/' ? siteRoot : baseFolder) + link;
        const std::string description = images ? "" : TextOf(page.substr(m.textBegin, m.textEnd - m.textBegin));
        // An entry whose text occurs in the list so far is left out.
        const std::string entry = link + "\r\n" + description + "\r\n\r\n\r\n";
        if (Contains(undecoded, entry)) continue;
        undecoded += entry;
        list += zelko::DecodeEntities(link, result.utf8Page) + "\r\n" +
                zelko::DecodeEntities(description, result.utf8Page) + "\r\n\r\n\r\n";
        ++result.count;
    }
    result.text = std::to_string(result.count) + ";My_Download_Manager;2;;\r\n" + pageUrl + "\r\n" + list;
    return result;
}

}  // namespace page_regex_reference
