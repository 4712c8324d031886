// Handing a job to a running aria2 over its JSON-RPC interface.
#pragma once

#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/network_receiver.h"

namespace zelko {

inline constexpr const char* kAria2SecretKey = "Aria2Secret";
inline constexpr std::uint32_t kAria2ConnectMs = 3000;
inline constexpr std::uint32_t kAria2ReplyMs = 5000;
// aria2 refuses a request over 2 MB (its --rpc-max-request-size) unread, so
// a big job goes in requests of at most this size.
inline constexpr std::size_t kAria2RequestBytes = 1000000;

// The JSON-RPC request for links from first on: one aria2.addUri call, or
// for several links one system.multicall of them, holding as many links as
// keep it within maxBytes (always at least one); count receives how many.
// The token comes first when a secret is set, options "referer" and "header"
// (the link's cookies) when not empty.
std::string Aria2Request(const std::string& secretUtf8, const std::string& referrerUtf8,
                         const std::vector<ReceiverLink>& links, std::size_t first,
                         std::size_t& count, std::size_t maxBytes = kAria2RequestBytes);

// For each of the links sent: empty when aria2 took it, else why not
// (aria2's own error text where it gave one), in UTF-8.
std::vector<std::string> Aria2Refusals(const common::HttpReply& reply, std::size_t links);

// Sends the links in order, a request at a time; why each was not taken
// (empty: taken). After a request that got no usable answer nothing more is
// sent: its links and the later ones get its reason.
std::vector<std::string> SendToAria2(common::Platform& p, const std::vector<ReceiverLink>& links,
                                     const std::string& endpoint, const std::string& secretAnsi,
                                     const std::string& referrerUtf8);

}  // namespace zelko
