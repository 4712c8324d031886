#include "zelko/link_collection.h"

#include <bitset>
#include <cstring>
#include <boost/regex.hpp>
#include <set>

#include "common/helpers.h"
#include "zelko/job.h"

namespace zelko {

const EntityRow EntityTable[10] = {
    {{"quot", "#34", "#034"}, "\"", "\""},
    {{"amp", "#38", "#038"}, "&", "&"},
    {{"apos", "#39", "#039"}, "'", "'"},
    {{"lt", "#60", "#060"}, "<", "<"},
    {{"gt", "#62", "#062"}, ">", ">"},
    {{"copy", "#169", "#xA9"}, "\xA9", "\xC2\xA9"},
    {{"laquo", "#171", "#xAB"}, "\xAB", "\xC2\xAB"},
    {{"reg", "#174", "#xAE"}, "\xAE", "\xC2\xAE"},
    {{"raquo", "#187", "#xBB"}, "\xBB", "\xC2\xBB"},
    {{"ndash", "mdash", "minus"}, "-", "-"},
};

namespace {

const char kCrLf[] = "\r\n";
const std::size_t kNpos = std::string::npos;

bool IsLineBreakOrTab(char c) { return c == '\t' || c == '\n' || c == '\r'; }

std::string BlankLineBreaks(std::string text) {
    for (char& c : text)
        if (IsLineBreakOrTab(c)) c = ' ';
    return text;
}

// The C traits with case folded from a table of the ASCII letters, as the
// page syntax needs: cheaper than a C++ locale, and than a call into the C
// library for every character compared (a call into another DLL on Windows).
struct PageTraits : boost::c_regex_traits<char> {
    char translate_nocase(char c) const { return static_cast<char>(kLower.to[static_cast<unsigned char>(c)]); }

private:
    struct LowerTable {
        unsigned char to[256];
        LowerTable() {
            for (int c = 0; c < 256; ++c) to[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
    };
    static inline const LowerTable kLower{};
};
using PageRegex = boost::basic_regex<char, PageTraits>;
using PageMatches = boost::regex_iterator<std::string::const_iterator, char, PageTraits>;
constexpr auto kPageSyntax = boost::regex::perl | boost::regex::icase | boost::regex::mod_s;

const PageRegex& AnchorPattern() {
    static const PageRegex re(
        R"(<a[^<>]+?href\s*=\s*(("[^<>"]*")|('[^<>']*')|([^<> ]*))[^<>]*>(.*?)</a>)", kPageSyntax);
    return re;
}

const PageRegex& ImagePattern() {
    static const PageRegex re(
        R"(<(img|embed)[^<>]+?src\s*=\s*(("[^<>"]*")|('[^<>']*')|([^<> ]*)).*?>)", kPageSyntax);
    return re;
}

const PageRegex& Utf8HeadPattern() {
    static const PageRegex re(R"(<head>.*?<meta[^>]+charset=utf-8[^>]*>.*?</head>)",
                                 kPageSyntax);
    return re;
}

bool SameNoCase(const std::string& text, std::size_t at, const char* lowerNeedle, std::size_t n) {
    if (at + n > text.size()) return false;
    for (std::size_t k = 0; k < n; ++k) {
        char c = text[at + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerNeedle[k]) return false;
    }
    return true;
}

// End of the last occurrence of a closing tag that begins with "<" (ASCII
// letters compared without case), 0 if there is none. No match can end
// behind it, so the search stops there instead of trying every later opening
// tag to the end of the page.
std::size_t EndOfLastTag(const std::string& text, const char* lowerTag) {
    const std::size_t n = std::char_traits<char>::length(lowerTag);
    for (std::size_t at = text.size(); at-- > 0;)
        if (text[at] == '<' && SameNoCase(text, at, lowerTag, n)) return at + n;
    return 0;
}

// ReplaceAll that leaves text without the old text untouched (no copy);
// true when it replaced something.
bool ReplaceEvery(std::string& text, const std::string& oldText, const std::string& newText) {
    if (text.find(oldText) == std::string::npos) return false;
    text = common::ReplaceAll(text, oldText, newText);
    return true;
}

// The bytes that follow an "&" somewhere in the text.
std::bitset<256> AfterAmpersands(const std::string& text) {
    std::bitset<256> after;
    for (std::size_t at = text.find('&'); at != kNpos && at + 1 < text.size();
         at = text.find('&', at + 1))
        after.set(static_cast<unsigned char>(text[at + 1]));
    return after;
}

bool DeclaresUtf8(const std::string& page) {
    // A match ends with the last "</head>" at the latest: the body is not searched.
    const std::size_t end = EndOfLastTag(page, "</head>");
    if (end == 0) return false;
    try {
        return boost::regex_search(page.cbegin(), page.cbegin() + end, Utf8HeadPattern());
    } catch (const std::exception&) {
        return false;  // too complex to decide: treated as not declared
    }
}

// Answers "does the new entry's text occur anywhere in the list built so
// far" without searching the list. Links and descriptions never hold a line
// break, so an entry (link, CR LF, description, three CR LF) can only occur
// at the end of an earlier entry with the same description whose link ends
// with the new link. Keys are description, LF, reversed link: the earlier
// links that end with a given link are then the keys that start with it.
class EntrySet {
public:
    bool InsertIfNew(const std::string& link, const std::string& description) {
        std::string key = description;
        key += '\n';
        key.append(link.rbegin(), link.rend());
        auto at = keys_.lower_bound(key);
        if (at != keys_.end() && at->compare(0, key.size(), key) == 0) return false;
        keys_.insert(at, std::move(key));
        return true;
    }

private:
    std::set<std::string> keys_;
};

struct Prefixes {
    std::string siteRoot;
    std::string baseFolder;
};

Prefixes PrefixesOf(const std::string& pageUrl) {
    Prefixes prefixes;
    // Scheme and host without the slash: every use adds a link that begins with one.
    prefixes.siteRoot = common::SiteRootOfUrl(pageUrl);
    if (common::EndsWith(prefixes.siteRoot, "/")) prefixes.siteRoot.pop_back();
    std::size_t slash = pageUrl.rfind('/');
    prefixes.baseFolder = slash == kNpos ? pageUrl : pageUrl.substr(0, slash + 1);
    if (!common::EndsWith(prefixes.baseFolder, "/")) prefixes.baseFolder += '/';
    return prefixes;
}

std::string Absolute(const std::string& link, const Prefixes& prefixes) {
    if (link.find("://") != kNpos) return link;
    if (link[0] == '/') return prefixes.siteRoot + link;
    return prefixes.baseFolder + link;
}

bool IsSkippedLink(const std::string& link) {
    return link.empty() || link.find("javascript:") != kNpos || link.find("mailto:") != kNpos ||
           link.find("opera:") != kNpos;
}

// Entities are decoded line by line: no entity spans a line break and none
// decodes to one, so this equals decoding the whole list at once.
void AppendDecoded(std::string& list, const std::string& text, bool pageIsUtf8) {
    if (text.find('&') == kNpos)
        list += text;
    else
        list += DecodeEntities(text, pageIsUtf8);
}

void AppendEntry(std::string& list, const std::string& link, const std::string& description,
                 bool pageIsUtf8) {
    AppendDecoded(list, link, pageIsUtf8);
    list += kCrLf;
    AppendDecoded(list, description, pageIsUtf8);
    list += "\r\n\r\n\r\n";
}

// A group's text in one piece (sub_match::str() appends it a character at a time).
std::string GroupText(const boost::smatch& m, int group) {
    return m[group].matched ? std::string(m[group].first, m[group].second) : std::string();
}

template <typename OnMatch>
void ForEachMatch(const std::string& page, std::size_t end, const PageRegex& re,
                  OnMatch onMatch) {
    try {
        PageMatches it(page.cbegin(), page.cbegin() + end, re), last;
        for (; it != last; ++it) onMatch(*it);
    } catch (const std::exception&) {
        // The matcher gave up on a pathological page: keep what was found.
    }
}

std::string Utf16ToUtf8(const std::string& bytes, std::size_t from) {
    std::string out;
    auto unit = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    auto put = [&](unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    for (std::size_t at = from; at + 1 < bytes.size(); at += 2) {
        unsigned u = unit(at);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF && at + 3 < bytes.size()) {
            unsigned low = unit(at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                put(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;  // a lone surrogate
        put(u);
    }
    return out;
}

}  // namespace

std::string UnquoteAttribute(const std::string& value) {
    std::string text = BlankLineBreaks(value);
    if (text.size() == 1 && (text[0] == '"' || text[0] == '\'')) return "";
    if (text.size() >= 2 && text.front() == text.back() &&
        (text.front() == '"' || text.front() == '\'')) {
        text.pop_back();
        text.erase(0, 1);
    }
    return text;
}

std::string LinkText(const std::string& html) {
    // Worked on in place: the text only gets shorter.
    std::string text = BlankLineBreaks(html);
    std::size_t kept = 0, from = 0;
    auto keep = [&](std::size_t end) {
        if (kept != from) std::memmove(&text[kept], text.data() + from, end - from);
        kept += end - from;
    };
    for (;;) {
        std::size_t open = text.find('<', from);
        if (open == kNpos) break;
        std::size_t close = text.find('>', open + 1);
        if (close == kNpos) break;
        keep(open);
        from = close + 1;
    }
    keep(text.size());
    text.resize(kept);
    return common::TrimControls(text);
}

std::string DecodeEntities(const std::string& text, bool pageIsUtf8) {
    std::string result = text;
    if (result.find('&') == kNpos) return result;
    // "&name;" of every name, in table order; made once.
    static const std::vector<std::string> references = [] {
        std::vector<std::string> all;
        for (const EntityRow& row : EntityTable)
            for (const char* name : row.names) all.push_back(std::string("&") + name + ";");
        return all;
    }();
    // A reference whose first letter follows no "&" cannot occur: skipped
    // without a search. Only a decoded "&" can make a new reference.
    std::bitset<256> after = AfterAmpersands(result);
    std::size_t at = 0;
    for (const EntityRow& row : EntityTable) {
        for (std::size_t k = 0; k < 3; ++k, ++at) {
            const std::string& reference = references[at];
            if (!after.test(static_cast<unsigned char>(reference[1]))) continue;
            if (ReplaceEvery(result, reference, pageIsUtf8 ? row.utf8 : row.ansi))
                after = AfterAmpersands(result);
        }
    }
    return result;
}

std::optional<std::string> ReadPageText(common::Platform& p, const std::string& path) {
    std::optional<std::string> bytes = p.ReadFile(path);
    if (!bytes || bytes->size() < 2) return std::nullopt;
    if (static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
        static_cast<unsigned char>((*bytes)[1]) == 0xFE)
        return p.Utf8ToAnsi(Utf16ToUtf8(*bytes, 2));
    std::size_t zero = bytes->find('\0');
    if (zero != kNpos) bytes->resize(zero);
    return std::move(*bytes);
}

CollectedLinks CollectLinksFromPage(std::string page, const std::string& pageUrl, bool images) {
    // The page is taken over, not copied: pages run to a hundred megabytes.
    ReplaceEvery(page, "&nbsp;", " ");
    ReplaceEvery(page, "&#160;", " ");
    ReplaceEvery(page, "&#xA0;", " ");

    const Prefixes prefixes = PrefixesOf(pageUrl);
    CollectedLinks result;
    result.utf8Page = DeclaresUtf8(page);

    std::string list;
    {
        EntrySet seen;  // gone before the job text is put together
        if (!images) {
            ForEachMatch(page, EndOfLastTag(page, "</a>"), AnchorPattern(), [&](const boost::smatch& m) {
                std::string link = UnquoteAttribute(GroupText(m, 1));
                if (IsSkippedLink(link)) return;
                link = Absolute(link, prefixes);
                std::string description = LinkText(GroupText(m, 5));
                if (!seen.InsertIfNew(link, description)) return;
                AppendEntry(list, link, description, result.utf8Page);
                ++result.count;
            });
        } else {
            ForEachMatch(page, page.size(), ImagePattern(), [&](const boost::smatch& m) {
                std::string link = UnquoteAttribute(GroupText(m, 2));
                if (link.empty()) return;
                link = Absolute(link, prefixes);
                if (!seen.InsertIfNew(link, "")) return;
                AppendEntry(list, link, "", result.utf8Page);
                ++result.count;
            });
        }
    }
    page = std::string();

    // The header goes in front of the list itself, without a second copy of it.
    list.insert(0, std::to_string(result.count) + ";My_Download_Manager;2;;" + kCrLf + pageUrl + kCrLf);
    result.text = std::move(list);
    return result;
}

std::string CollectPageLinks(common::Platform& p, const std::vector<std::string>& args) {
    if (args.size() < 4) return "";
    std::optional<std::string> page = ReadPageText(p, args[0]);
    if (!page) return "";
    CollectedLinks links =
        CollectLinksFromPage(std::move(*page), OneLine(args[1]), args[3] == "IMG");
    return links.utf8Page ? std::move(links.text) : p.AnsiToUtf8(links.text);
}

}  // namespace zelko
