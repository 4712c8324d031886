// Handing a job to a running aria2 over its JSON-RPC interface: a custom
// template that is a web address names the endpoint.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/platform.h"
#include "zelko/job.h"

namespace zelko {

inline constexpr const char* kAria2Label = "aria2";
inline constexpr const char* kAria2SecretKey = "Aria2Secret";
inline constexpr std::uint32_t kAria2ConnectMs = 3000;
inline constexpr std::uint32_t kAria2ReplyMs = 5000;

// An "http://" or "https://" address (scheme in any case).
bool IsAria2Endpoint(std::string_view customTemplate);

struct Aria2Link {
    std::string url, cookies;  // UTF-8, as in the job
};

// The JSON-RPC request: one aria2.addUri call, or for several links one
// system.multicall of them; the token first when a secret is set, options
// "referer" and "header" (the link's cookies) when not empty.
std::string Aria2Request(const std::string& secretUtf8, const std::string& referrerUtf8,
                         const std::vector<Aria2Link>& links);

// For each of the links sent: empty when aria2 took it, else why not
// (aria2's own error text where it gave one), in UTF-8.
std::vector<std::string> Aria2Refusals(const common::HttpReply& reply, std::size_t links);

// Sends every link of the job; shows a box listing the links aria2 did not
// take, or all of them when the job holds post data (nothing is then sent).
// True when aria2 took every link.
bool HandToAria2(common::Platform& p, const JobLines& lines, const std::string& endpoint,
                 const std::string& secret);

}  // namespace zelko
