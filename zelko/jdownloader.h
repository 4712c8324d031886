// Handing a job to a running JDownloader 2 through its local interface for
// other programs (a form post to http://127.0.0.1:9666/flashgot).
#pragma once

#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/network_receiver.h"

namespace zelko {

inline constexpr const char* kJDownloaderLabel = "JDownloader";
inline constexpr const char* kJDownloaderAddress = "http://127.0.0.1:9666/flashgot";
// JDownloader takes posts from local programs without asking when they come
// with this header.
inline constexpr const char* kJDownloaderReferer = "Referer: http://localhost:9666/flashgot";
inline constexpr const char* kJDownloaderSchemes = "JDownloader takes http, https and ftp links only";

// An "http:", "https:" or "ftp:" link (scheme in any case).
bool IsJDownloaderLink(const std::string& url);

struct JDownloaderPost {
    std::vector<std::size_t> links;  // which links it carries, in order
    std::string body;                // the form data
};
// One post per group of the flagged links that share cookies and post data,
// in the order of each group's first link: urls and descriptions one a line,
// referer, cookies, postData, source (the referrer) and autostart=1.
std::vector<JDownloaderPost> JDownloaderPosts(const std::vector<ReceiverLink>& links,
                                              const std::string& referrerUtf8,
                                              const std::vector<bool>& send);

// Sends the job's links; why each was not taken (empty: taken), in UTF-8.
// After a post that was not taken nothing more is sent.
std::vector<std::string> SendToJDownloader(common::Platform& p,
                                           const std::vector<ReceiverLink>& links,
                                           const std::string& endpoint,
                                           const std::string& referrerUtf8);

}  // namespace zelko
