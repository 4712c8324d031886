#include "zelko/jdownloader.h"

#include "common/form_data.h"
#include "common/helpers.h"

namespace zelko {

namespace {

// A local program takes the connection at once or not at all; its answer
// may wait for its user (JDownloader asks about new links in a dialog of
// its own, with no time limit), so the reply is waited for as long as the
// user lets it, with a window that offers Cancel after a few seconds.
constexpr std::uint32_t kConnectMs = 3000;
constexpr std::uint32_t kWaitWindowMs = 3000;
constexpr const char* kMayHaveThem =
    " after the links were sent: JDownloader may already have them, look there before sending "
    "them again";

}  // namespace

bool IsJDownloaderLink(const std::string& url) {
    const std::string head = common::AsciiLower(url.substr(0, 8));
    return common::StartsWith(head, "http://") || common::StartsWith(head, "https://") ||
           common::StartsWith(head, "ftp://");
}

std::vector<JDownloaderPost> JDownloaderPosts(const std::vector<ReceiverLink>& links,
                                              const std::string& referrer,
                                              const std::vector<bool>& send) {
    std::vector<JDownloaderPost> posts;
    std::vector<bool> grouped(links.size(), false);
    for (std::size_t first = 0; first < links.size(); ++first) {
        if (grouped[first] || !send[first]) continue;
        JDownloaderPost post;
        std::string urls, descriptions;
        for (std::size_t i = first; i < links.size(); ++i) {
            if (grouped[i] || !send[i] || links[i].cookies != links[first].cookies ||
                links[i].post != links[first].post)
                continue;
            grouped[i] = true;
            post.links.push_back(i);
            // One a line: a value's own line break would shift every later line.
            const char* const next = post.links.size() == 1 ? "" : "\n";
            urls += next + OneLine(links[i].url);
            descriptions += next + OneLine(links[i].description);
        }
        post.body = common::FormBody({{"urls", urls},
                                      {"descriptions", descriptions},
                                      {"referer", OneLine(referrer)},
                                      {"cookies", OneLine(links[first].cookies)},
                                      {"postData", OneLine(links[first].post)},
                                      {"source", OneLine(referrer)},
                                      {"autostart", "1"}});
        posts.push_back(std::move(post));
    }
    return posts;
}

std::vector<std::string> SendToJDownloader(common::Platform& p,
                                           const std::vector<ReceiverLink>& links,
                                           const std::string& endpoint,
                                           const std::string& referrer) {
    std::vector<std::string> refusals(links.size());
    std::vector<bool> send(links.size());
    for (std::size_t i = 0; i < links.size(); ++i) {
        send[i] = IsJDownloaderLink(links[i].url);
        if (!send[i]) refusals[i] = kJDownloaderSchemes;
    }
    common::HttpPost request;
    request.url = endpoint;
    request.contentType = "application/x-www-form-urlencoded";
    request.headers = {kJDownloaderReferer};
    request.connectTimeoutMs = kConnectMs;
    request.replyTimeoutMs = 0;
    request.waitText = "Waiting for " + std::string(kJDownloaderLabel) + " at " + endpoint +
                       " to take the links. It may be asking you about them in a window of its own.";
    request.waitWindowMs = kWaitWindowMs;
    std::string stop;  // why the posts ended early
    for (JDownloaderPost& post : JDownloaderPosts(links, referrer, send)) {
        if (stop.empty()) {
            request.body = std::move(post.body);
            const common::HttpReply reply = p.PostHttp(request);
            if (reply.failure != common::HttpFailure::None)
                stop = HttpFailureText(reply.failure, kConnectMs, "is JDownloader running?") +
                       (reply.sent ? kMayHaveThem : "");
            else if (reply.status != 200)
                stop = "HTTP status " + std::to_string(reply.status);
        }
        if (!stop.empty())
            for (std::size_t i : post.links) refusals[i] = stop;
    }
    return refusals;
}

}  // namespace zelko
