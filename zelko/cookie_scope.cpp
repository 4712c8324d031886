#include "zelko/cookie_scope.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/helpers.h"
#include "zelko/public_suffix.h"

namespace zelko {

namespace {

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsSchemeText(std::string_view scheme) {
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return !scheme.empty() && letter(scheme[0]) &&
           std::all_of(scheme.begin(), scheme.end(), [&](char c) {
               return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
           });
}

// The page's side of the decision, worked out once per job; the suffix list
// is read only for a link on another host.
struct PageSite {
    UrlSite site;
    std::optional<std::string> domain;  // RegistrableDomain of its host
};

bool MayGo(PageSite& page, std::string_view linkUrl) {
    const UrlSite link = SiteOfUrl(linkUrl);
    if (page.site.host.empty() || link.host.empty()) return false;
    if (page.site.scheme == "https" && link.scheme != "https") return false;
    if (link.host == page.site.host) return true;
    if (!page.domain) page.domain = RegistrableDomain(page.site.host);
    return !page.domain->empty() && RegistrableDomain(link.host) == *page.domain;
}

}  // namespace

UrlSite SiteOfUrl(std::string_view untrimmed) {
    const std::string trimmed = common::TrimControls(std::string(untrimmed));
    const std::string_view url = trimmed;
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || !IsSchemeText(url.substr(0, colon))) return {};
    UrlSite site{common::AsciiLower(std::string(url.substr(0, colon))), ""};
    std::string_view rest = url.substr(colon + 1);
    if (rest.substr(0, 2) != "//") return site;
    rest.remove_prefix(2);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    // Where address parsers read a host differently, there is no host to trust:
    // a backslash, a percent escape, blanks, several "@" or a port of other text.
    if (std::any_of(authority.begin(), authority.end(),
                    [](char c) { return c == '\\' || c == '%' || IsControlOrBlank(c) || c == 0x7F; }))
        return site;
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        if (authority.substr(0, at).find('@') != std::string_view::npos) return site;
        authority.remove_prefix(at + 1);
    }
    std::size_t hostEnd;
    if (!authority.empty() && authority.front() == '[') {
        hostEnd = authority.find(']');
        if (hostEnd == std::string_view::npos) return site;
        ++hostEnd;
    } else {
        hostEnd = std::min(authority.find(':'), authority.size());
    }
    const std::string_view port = authority.substr(hostEnd);
    if (!port.empty() && (port[0] != ':' || !std::all_of(port.begin() + 1, port.end(), [](char c) {
                              return c >= '0' && c <= '9';
                          })))
        return site;
    site.host = CanonicalHost(authority.substr(0, hostEnd));
    return site;
}

bool CookiesMayGo(std::string_view pageUrl, std::string_view linkUrl) {
    PageSite page{SiteOfUrl(pageUrl), std::nullopt};
    return MayGo(page, linkUrl);
}

void DropForeignCookies(JobLines& lines) {
    constexpr std::size_t kFirstUrl = 2, kCookieOffset = 2, kLinesPerLink = 4;
    if (lines.size() <= kFirstUrl + kCookieOffset) return;
    PageSite page{SiteOfUrl(lines[1]), std::nullopt};
    std::vector<bool> drop(lines.size(), false);
    bool any = false;
    for (std::size_t url = kFirstUrl; url + kCookieOffset < lines.size(); url += kLinesPerLink) {
        const std::size_t cookies = url + kCookieOffset;
        drop[cookies] = !lines[cookies].empty() && !MayGo(page, lines[url]);
        any = any || drop[cookies];
    }
    if (!any) return;
    // One new text, so that a large job is copied once however many lines change.
    std::vector<std::string_view> kept;
    kept.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) kept.push_back(drop[i] ? std::string_view() : lines[i]);
    lines = JobLines(JoinJobLines(kept));
}

}  // namespace zelko
