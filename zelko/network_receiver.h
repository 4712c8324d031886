// Receivers that Zelko reaches over the network instead of starting a
// program: a custom template that is a web address names one. An address
// whose path ends in "/flashgot" is JDownloader's local interface; any other
// is an aria2 JSON-RPC endpoint.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/platform.h"
#include "zelko/job.h"
#include "zelko/kept_job.h"
#include "zelko/settings.h"

namespace zelko {

enum class NetworkReceiver { None, Aria2, JDownloader };

// None for a template that is not an "http://" or "https://" address
// (scheme in any case): that is a command line.
NetworkReceiver NetworkReceiverOf(std::string_view customTemplate);
// "aria2" or "JDownloader": the custom label's caption for such a template.
const char* NetworkReceiverLabel(NetworkReceiver receiver);

struct ReceiverLink {
    std::string url, description, cookies, post;  // UTF-8, as in the job
};
std::vector<ReceiverLink> ReceiverLinks(const JobLines& lines);

// Why a request got no usable answer, in the box's words; running names
// what should be listening there.
std::string HttpFailureText(common::HttpFailure failure, std::uint32_t replyMs,
                            const std::string& running);

// Each reason once, in order of first appearance, joined with "; ".
std::string JoinReasons(common::Platform& p, const std::vector<std::string>& utf8Reasons);

// The links (UTF-8) whose flag is set, for a box: converted to ANSI, listed
// as BoxLinkList lists them.
std::string BoxLinks(common::Platform& p, const std::vector<ReceiverLink>& links,
                     const std::vector<bool>& listed);

// Hands the job to the receiver its template names. The links not taken are
// kept (KeepLinksNotTaken) and an error box names the address, the reasons,
// the links and where they are kept. True when every link was taken.
bool HandToNetworkReceiver(common::Platform& p, const JobLines& lines, const KeptJobPlace& place,
                           const ZelkoSettings& settings);

}  // namespace zelko
