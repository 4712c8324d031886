#include "zelko/link_collection.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <functional>

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

// The text with tabs and line breaks as blanks, appended.
void AppendBlanked(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out += text;
    // Without a branch, so that the compiler may do many bytes at once.
    for (char *c = &out[0] + start, *end = &out[0] + out.size(); c != end; ++c)
        *c = IsLineBreakOrTab(*c) ? ' ' : *c;
}

// Page syntax compares ASCII letters without case, nothing else.
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view text, std::size_t at, std::string_view lowerNeedle) {
    if (at > text.size() || text.size() - at < lowerNeedle.size()) return false;
    for (std::size_t k = 0; k < lowerNeedle.size(); ++k)
        if (LowerAscii(text[at + k]) != lowerNeedle[k]) return false;
    return true;
}

// The first tag at or after from that begins with lowerTag (which begins with "<").
std::size_t FindTag(std::string_view text, std::size_t from, std::string_view lowerTag) {
    for (std::size_t at = text.find('<', from); at != kNpos; at = text.find('<', at + 1))
        if (SameNoCase(text, at, lowerTag)) return at;
    return kNpos;
}

bool ContainsNoCase(std::string_view text, std::string_view lowerNeedle) {
    for (std::size_t at = 0; at + lowerNeedle.size() <= text.size(); ++at)
        if (SameNoCase(text, at, lowerNeedle)) return true;
    return false;
}

// \s of the C locale.
bool IsPatternSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The first "<" or ">" at or after from; the page size when there is none.
// A tag's attributes cannot reach past it.
std::size_t TagBoundary(std::string_view page, std::size_t from) {
    for (; from < page.size(); ++from)
        if (page[from] == '<' || page[from] == '>') return from;
    return page.size();
}

struct Span {
    std::size_t begin = 0, end = 0;
};

// The end of ("[^<>"]*")|('[^<>']*')|([^<> ]*) at v, the first alternative that
// fits, in a tag whose attributes end at stop.
std::size_t ValueEnd(std::string_view page, std::size_t v, std::size_t stop) {
    if (v < stop && (page[v] == '"' || page[v] == '\'')) {
        const std::size_t close = page.substr(v + 1, stop - v - 1).find(page[v]);
        if (close != kNpos) return v + 1 + close + 1;
    }
    std::size_t end = v;
    while (end < stop && page[end] != ' ') ++end;
    return end;
}

// [^<>]+?name\s*=\s*value after a tag name that ends at nameEnd, within the
// attributes that end at stop: the lazy repeat takes the first name followed
// by "=", and a value always fits (it may be empty).
bool FindAttributeValue(std::string_view page, std::size_t nameEnd, std::size_t stop,
                        std::string_view lowerName, Span& value) {
    for (std::size_t at = nameEnd + 1; at + lowerName.size() <= stop; ++at) {
        if (LowerAscii(page[at]) != lowerName[0] || !SameNoCase(page, at, lowerName)) continue;
        std::size_t p = at + lowerName.size();
        while (p < stop && IsPatternSpace(page[p])) ++p;
        if (p == stop || page[p] != '=') continue;
        ++p;
        while (p < stop && IsPatternSpace(page[p])) ++p;
        value = {p, ValueEnd(page, p, stop)};
        return true;
    }
    return false;
}

// Open addressing over numbers plus one (zero is a free slot); the caller
// keeps the keys, their hashes and their equality.
class NumberTable {
public:
    // The number stored under a key equal to number's, or kNpos after storing number.
    template <typename HashOf, typename SameKey>
    std::size_t FindOrAdd(std::size_t number, HashOf hashOf, SameKey sameKey) {
        if ((count_ + 1) * 2 > slots_.size()) Grow(hashOf);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hashOf(number) & mask;; at = (at + 1) & mask) {
            if (slots_[at] == 0) {
                slots_[at] = number + 1;
                ++count_;
                return kNpos;
            }
            if (sameKey(slots_[at] - 1)) return slots_[at] - 1;
        }
    }

private:
    template <typename HashOf>
    void Grow(HashOf hashOf) {
        std::vector<std::size_t> old(slots_.empty() ? 1024 : slots_.size() * 2, 0);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t slot : old) {
            if (slot == 0) continue;
            std::size_t at = hashOf(slot - 1) & mask;
            while (slots_[at] != 0) at = (at + 1) & mask;
            slots_[at] = slot;
        }
    }

    std::vector<std::size_t> slots_;
    std::size_t count_ = 0;
};

// Answers "does the new entry's text occur anywhere in the list built so
// far" for all entries at once. Links and descriptions never hold a line
// break, so an entry (link, CR LF, description, three CR LF) can only occur
// at the end of an earlier entry with the same description whose link ends
// with the new link. Whether that earlier entry was kept does not matter: the
// one it repeats ends with the new link too. The texts lie in one buffer,
// link then description; an entry equal to an earlier one is dropped at once.
class EntryCollector {
public:
    std::string text;

    // The link and description appended to text since start are one entry.
    void Add(std::size_t start, std::size_t linkSize) {
        Entry entry;
        entry.at = start;
        entry.linkSize = linkSize;
        entry.descriptionSize = text.size() - start - linkSize;
        const std::size_t descriptionHash = std::hash<std::string_view>()(Description(entry));
        entry.hash = std::hash<std::string_view>()(Link(entry)) ^ (descriptionHash + 0x9E3779B9u + (linkSize << 6));
        const std::size_t number = entries_.size();
        entries_.push_back(entry);
        auto hashOf = [&](std::size_t n) { return entries_[n].hash; };
        auto sameEntry = [&](std::size_t n) {
            return entries_[n].hash == entry.hash && Link(entries_[n]) == Link(entry) &&
                   Description(entries_[n]) == Description(entry);
        };
        if (entryNumbers_.FindOrAdd(number, hashOf, sameEntry) != kNpos) {
            entries_.pop_back();
            text.resize(start);
            return;
        }
        descriptionHashes_.push_back(descriptionHash);
        auto descriptionHashOf = [&](std::size_t n) { return descriptionHashes_[n]; };
        auto sameDescription = [&](std::size_t n) {
            return descriptionHashes_[n] == descriptionHash && Description(entries_[n]) == Description(entry);
        };
        const std::size_t first = descriptionNumbers_.FindOrAdd(number, descriptionHashOf, sameDescription);
        entries_.back().description = first == kNpos ? descriptionCount_++ : entries_[first].description;
    }

    // Link and description of each entry that does not occur in the list before it.
    std::vector<std::pair<std::string_view, std::string_view>> Kept() const {
        const std::vector<bool> repeated = Repeated();
        std::vector<std::pair<std::string_view, std::string_view>> kept;
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (!repeated[i]) kept.emplace_back(Link(entries_[i]), Description(entries_[i]));
        return kept;
    }

private:
    struct Entry {
        std::size_t at = 0, linkSize = 0, descriptionSize = 0;
        std::size_t hash = 0;
        std::size_t description = 0;  // the same number for the same text
    };

    std::string_view Link(const Entry& e) const { return std::string_view(text).substr(e.at, e.linkSize); }
    std::string_view Description(const Entry& e) const {
        return std::string_view(text).substr(e.at + e.linkSize, e.descriptionSize);
    }

    // Eight bytes of a link from the end, the last first: reversed links
    // compare by them before byte by byte.
    static std::uint64_t ReversedBytes(std::string_view link, std::size_t skipped) {
        std::uint64_t bytes = 0;
        for (std::size_t k = skipped; k < skipped + 8; ++k) {
            bytes <<= 8;
            if (k < link.size()) bytes |= static_cast<unsigned char>(link[link.size() - 1 - k]);
        }
        return bytes;
    }

    static int CompareReversed(std::string_view a, std::string_view b) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t k = 1; k <= n; ++k) {
            const unsigned char x = static_cast<unsigned char>(a[a.size() - k]);
            const unsigned char y = static_cast<unsigned char>(b[b.size() - k]);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }

    // b's key (description, reversed link) starts with a's, and is longer.
    bool Extends(const Entry& b, const Entry& a) const {
        if (b.linkSize <= a.linkSize || b.description != a.description) return false;
        return Link(b).substr(b.linkSize - a.linkSize) == Link(a);
    }

    // Sorted by description and reversed link, the entries whose link ends
    // with a given entry's link (same description) follow it as one block;
    // an entry is repeated when that block holds an earlier entry.
    std::vector<bool> Repeated() const {
        struct Key {
            std::size_t description;
            std::uint64_t last8, before8;
            std::size_t index;
        };
        std::vector<Key> keys(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const std::string_view link = Link(entries_[i]);
            keys[i] = {entries_[i].description, ReversedBytes(link, 0), ReversedBytes(link, 8), i};
        }
        std::sort(keys.begin(), keys.end(), [&](const Key& x, const Key& y) {
            if (x.description != y.description) return x.description < y.description;
            if (x.last8 != y.last8) return x.last8 < y.last8;
            if (x.before8 != y.before8) return x.before8 < y.before8;
            if (int c = CompareReversed(Link(entries_[x.index]), Link(entries_[y.index]))) return c < 0;
            return x.index < y.index;
        });
        // The block of each entry is its subtree in the trie of the keys;
        // the stack holds the path from the root to the current key.
        std::vector<std::size_t> firstInBlock(entries_.size(), kNpos);
        std::vector<std::size_t> path;
        auto leave = [&]() {
            const std::size_t child = path.back();
            path.pop_back();
            if (!path.empty())
                firstInBlock[path.back()] =
                    std::min({firstInBlock[path.back()], firstInBlock[child], child});
        };
        for (const Key& key : keys) {
            while (!path.empty() && !Extends(entries_[key.index], entries_[path.back()])) leave();
            path.push_back(key.index);
        }
        while (!path.empty()) leave();
        std::vector<bool> repeated(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) repeated[i] = firstInBlock[i] < i;
        return repeated;
    }

    std::vector<Entry> entries_;
    std::vector<std::size_t> descriptionHashes_;  // of each entry
    NumberTable entryNumbers_, descriptionNumbers_;
    std::size_t descriptionCount_ = 0;
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

// What goes in front of a (non-empty) link to make it absolute.
std::string_view AbsolutePrefix(std::string_view link, const Prefixes& prefixes) {
    if (link.find("://") != kNpos) return {};
    if (link[0] == '/') return prefixes.siteRoot;
    return prefixes.baseFolder;
}

bool IsSkippedLink(std::string_view link) {
    return link.empty() || link.find("javascript:") != kNpos || link.find("mailto:") != kNpos ||
           link.find("opera:") != kNpos;
}

// An attribute value without its pair of quotes; a lone quote is nothing.
std::string_view Unquoted(std::string_view value) {
    const bool quote = !value.empty() && (value.front() == '"' || value.front() == '\'');
    if (quote && value.size() == 1) return {};
    if (quote && value.size() >= 2 && value.front() == value.back()) return value.substr(1, value.size() - 2);
    return value;
}

// The link of a value, made absolute, appended; false (nothing appended) for
// a link that is not collected. Blanking changes none of the texts looked for.
bool AppendLink(std::string& out, std::string_view value, const Prefixes& prefixes, bool images) {
    const std::string_view link = Unquoted(value);
    if (images ? link.empty() : IsSkippedLink(link)) return false;
    out += AbsolutePrefix(link, prefixes);
    AppendBlanked(out, link);
    return true;
}

// The text of a link, appended: tabs and line breaks as blanks, tags
// removed, control characters and blanks trimmed at both ends.
void AppendLinkText(std::string& out, std::string_view html) {
    const std::size_t start = out.size();
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = html.find('<', from);
        if (open == kNpos) break;
        const std::size_t close = html.find('>', open + 1);
        if (close == kNpos) break;
        AppendBlanked(out, html.substr(from, open - from));
        from = close + 1;
    }
    AppendBlanked(out, html.substr(from));
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (out.size() > start && isControl(out.back())) out.pop_back();
    std::size_t first = start;
    while (first < out.size() && isControl(out[first])) ++first;
    out.erase(start, first - start);
}

// "&nbsp;" and its numeric forms as blanks, in place: the page only gets
// shorter. No form overlaps another or itself, and a blank starts none, so
// one pass equals replacing each form in turn.
void BlankNonBreakingSpaces(std::string& page) {
    static const std::string_view forms[] = {"&nbsp;", "&#160;", "&#xA0;"};
    std::size_t kept = 0, from = 0;
    for (std::size_t at = page.find('&'); at != kNpos; at = page.find('&', at + 1)) {
        const std::string_view rest = std::string_view(page).substr(at);
        bool isForm = false;
        for (std::string_view form : forms) isForm = isForm || rest.substr(0, form.size()) == form;
        if (!isForm) continue;
        if (kept != from) std::memmove(&page[kept], page.data() + from, at - from);
        kept += at - from;
        page[kept++] = ' ';
        from = at + 6;
        at += 5;
    }
    if (from == 0) return;
    std::memmove(&page[kept], page.data() + from, page.size() - from);
    page.resize(kept + page.size() - from);
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

// The row and length of the reference ("&name;") at the start of text, if any.
const EntityRow* ReferenceAt(std::string_view text, std::size_t& length) {
    for (const EntityRow& row : EntityTable)
        for (const char* name : row.names) {
            if (text.size() < 2 || text[1] != name[0]) continue;
            const std::size_t n = std::char_traits<char>::length(name);
            if (text.size() >= n + 2 && text.compare(1, n, name) == 0 && text[n + 1] == ';') {
                length = n + 2;
                return &row;
            }
        }
    return nullptr;
}

// DecodeEntities in one pass, appended; false (nothing appended) when a
// decoded "&" is followed by what may name another reference: only the
// replacements in table order decode that right. Otherwise they cannot
// interact: a reference holds one "&" and one ";", at its ends, so no two
// overlap, and no replacement but "&" can be part of one.
bool AppendDecodedInOnePass(std::string& out, std::string_view text, bool pageIsUtf8) {
    const std::size_t start = out.size();
    std::size_t from = 0;
    for (std::size_t at = text.find('&'); at != kNpos; at = text.find('&', at)) {
        std::size_t length = 0;
        const EntityRow* row = ReferenceAt(text.substr(at), length);
        if (!row) {
            ++at;
            continue;
        }
        const char* replacement = pageIsUtf8 ? row->utf8 : row->ansi;
        if (replacement[0] == '&' && at + length < text.size()) {
            const char next = LowerAscii(text[at + length]);
            if ((next >= 'a' && next <= 'z') || next == '#') {
                out.resize(start);
                return false;
            }
        }
        out += text.substr(from, at - from);
        out += replacement;
        at += length;
        from = at;
    }
    out += text.substr(from);
    return true;
}

// Entities are decoded line by line: no entity spans a line break and none
// decodes to one, so this equals decoding the whole list at once.
void AppendDecoded(std::string& list, std::string_view text, bool pageIsUtf8) {
    if (text.find('&') == kNpos)
        list += text;
    else if (!AppendDecodedInOnePass(list, text, pageIsUtf8))
        list += DecodeEntities(std::string(text), pageIsUtf8);
}

std::string Utf16ToUtf8(const std::string& bytes, std::size_t from) {
    std::string out;
    auto unit = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    auto put = [&](unsigned cp) { common::AppendUtf8(out, cp); };
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
    std::string text;
    AppendBlanked(text, Unquoted(value));
    return text;
}

std::string LinkText(const std::string& html) {
    std::string text;
    AppendLinkText(text, html);
    return text;
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

bool TagScanner::Next(TagMatch& match) { return images_ ? NextImage(match) : NextAnchor(match); }

// A start "<a" matches only when the first "<" or ">" after it is a ">" (no
// part before the text crosses either) and "href=" lies before it; the text
// runs to the first "</a>" after that ">". Without one no later anchor can
// close either.
bool TagScanner::NextAnchor(TagMatch& match) {
    for (;;) {
        const std::size_t start = page_.find('<', from_);
        if (start == kNpos) return false;
        if (start + 1 >= page_.size() || LowerAscii(page_[start + 1]) != 'a') {
            from_ = start + 1;
            continue;
        }
        const std::size_t stop = TagBoundary(page_, start + 2);
        if (stop == page_.size()) return false;
        Span value;
        if (page_[stop] == '>' && FindAttributeValue(page_, start + 2, stop, "href", value)) {
            const std::size_t close = FindTag(page_, stop + 1, "</a>");
            if (close == kNpos) {
                from_ = page_.size();
                return false;
            }
            match = {start, close + 4, value.begin, value.end, stop + 1, close};
            from_ = close + 4;
            return true;
        }
        from_ = stop;  // no "<" before it
    }
}

// As an anchor, up to the value, then ".*?>": the first ">" after the value,
// which is the first at or after the end of the attributes. Without one no
// later image can end either.
bool TagScanner::NextImage(TagMatch& match) {
    for (;;) {
        const std::size_t start = page_.find('<', from_);
        if (start == kNpos) return false;
        const std::size_t nameEnd = SameNoCase(page_, start, "<img")     ? start + 4
                                    : SameNoCase(page_, start, "<embed") ? start + 6
                                                                         : kNpos;
        if (nameEnd == kNpos) {
            from_ = start + 1;
            continue;
        }
        const std::size_t stop = TagBoundary(page_, nameEnd);
        Span value;
        if (FindAttributeValue(page_, nameEnd, stop, "src", value)) {
            const std::size_t end = page_.find('>', stop);
            if (end == kNpos) {
                from_ = page_.size();
                return false;
            }
            match = {start, end + 1, value.begin, value.end, 0, 0};
            from_ = end + 1;
            return true;
        }
        if (stop == page_.size()) return false;
        from_ = stop;
    }
}

// The first "<head>" serves: a later one only narrows the search. Of the
// meta tags after it, the first whose attributes hold "charset=utf-8" decides:
// a "</head>" after it, or after none.
bool DeclaresUtf8(std::string_view page) {
    const std::size_t head = FindTag(page, 0, "<head>");
    if (head == kNpos) return false;
    for (std::size_t from = head + 6;;) {
        const std::size_t meta = FindTag(page, from, "<meta");
        if (meta == kNpos) return false;
        const std::size_t end = page.find('>', meta + 5);
        if (end == kNpos) return false;
        // A meta tag starting inside this one ends at the same ">" with fewer attributes.
        if (end > meta + 6 && ContainsNoCase(page.substr(meta + 6, end - meta - 6), "charset=utf-8"))
            return FindTag(page, end + 1, "</head>") != kNpos;
        from = end + 1;
    }
}

CollectedLinks CollectLinksFromPage(std::string page, const std::string& pageUrl, bool images) {
    // The page is taken over, not copied: pages run to a hundred megabytes.
    BlankNonBreakingSpaces(page);

    const Prefixes prefixes = PrefixesOf(pageUrl);
    CollectedLinks result;
    result.utf8Page = DeclaresUtf8(page);

    EntryCollector entries;
    TagScanner scanner(page, images);
    for (TagMatch m; scanner.Next(m);) {
        const std::size_t start = entries.text.size();
        const std::string_view value(page.data() + m.valueBegin, m.valueEnd - m.valueBegin);
        if (!AppendLink(entries.text, value, prefixes, images)) continue;
        const std::size_t linkSize = entries.text.size() - start;
        if (!images) AppendLinkText(entries.text, std::string_view(page).substr(m.textBegin, m.textEnd - m.textBegin));
        entries.Add(start, linkSize);
    }
    page = std::string();

    const auto kept = entries.Kept();
    result.count = kept.size();
    std::string list = std::to_string(result.count) + ";My_Download_Manager;2;;" + kCrLf + pageUrl + kCrLf;
    // Decoding only shortens the texts.
    std::size_t size = list.size();
    for (const auto& [link, description] : kept) size += link.size() + description.size() + 8;
    list.reserve(size);
    for (const auto& [link, description] : kept) {
        AppendDecoded(list, link, result.utf8Page);
        list += kCrLf;
        AppendDecoded(list, description, result.utf8Page);
        list += "\r\n\r\n\r\n";
    }
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
