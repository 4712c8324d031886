// Which links a page's cookies may go along with. A job's cookie lines come
// from a web page's script and are only as good as the page's word, so Zelko
// decides again from the job's own page address and each link.
#pragma once

#include <string>
#include <string_view>

#include "zelko/job.h"

namespace zelko {

struct UrlSite {
    std::string scheme;  // lower case
    std::string host;    // CanonicalHost; empty when there is none or parsers could read another
};

// The scheme and host of an absolute address ("scheme://[user@]host[:port]/...").
UrlSite SiteOfUrl(std::string_view url);

// True when the link's host is the page's host or shares its registrable
// domain (an IP address or a host without one: the same host only), and the
// link is https whenever the page is.
bool CookiesMayGo(std::string_view pageUrl, std::string_view linkUrl);

// Empties the cookie line of each link that CookiesMayGo refuses for the
// job's page (its second line).
void DropForeignCookies(JobLines& lines);

}  // namespace zelko
