#include "zelko/network_receiver.h"

#include "common/helpers.h"
#include "zelko/aria2.h"
#include "zelko/intake.h"
#include "zelko/jdownloader.h"
#include "zelko/kept_job.h"
#include "zelko/link_list_box.h"

namespace zelko {

namespace {

constexpr std::uint32_t kBoxFlags = common::mb::Topmost | common::mb::IconError;

// The address's path without its query or fragment.
std::string AddressPath(const std::string& address) {
    const std::size_t host = address.find("//");
    const std::size_t slash = address.find('/', host == std::string::npos ? 0 : host + 2);
    if (slash == std::string::npos) return "";
    return address.substr(slash, address.find_first_of("?#", slash) - slash);
}

// aria2 refuses a call without its secret with this text.
constexpr const char* kAria2Refused = "Unauthorized";

// Where an aria2 that wants a secret refused a request that carried none:
// where the secret goes, as a line of the box; else empty.
std::string SecretNote(const ZelkoSettings& s, NetworkReceiver receiver,
                       const std::vector<std::string>& refusals) {
    if (receiver != NetworkReceiver::Aria2 || !s.aria2Secret.empty()) return "";
    for (const std::string& refusal : refusals)
        if (refusal == kAria2Refused)
            return "This aria2 has a secret (its --rpc-secret): put it into \"" +
                   s.places.settingsFile + "\", section [" + kSectionMain + "], as " +
                   kAria2SecretKey + "=<the secret>.\r\n";
    return "";
}

}  // namespace

NetworkReceiver NetworkReceiverOf(std::string_view customTemplate) {
    const std::string text(customTemplate);
    const std::string head = common::AsciiLower(text.substr(0, 8));
    if (!common::StartsWith(head, "http://") && !common::StartsWith(head, "https://"))
        return NetworkReceiver::None;
    if (common::EndsWith(common::AsciiLower(AddressPath(text)), "/flashgot"))
        return NetworkReceiver::JDownloader;
    return NetworkReceiver::Aria2;
}

const char* NetworkReceiverLabel(NetworkReceiver receiver) {
    return receiver == NetworkReceiver::JDownloader ? kJDownloaderLabel : "aria2";
}

std::vector<ReceiverLink> ReceiverLinks(const JobLines& lines) {
    std::vector<ReceiverLink> links;
    for (std::size_t at = 2; at + 4 <= lines.size(); at += 4)
        links.push_back({std::string(lines[at]), std::string(lines[at + 1]),
                         std::string(lines[at + 2]), std::string(lines[at + 3])});
    return links;
}

std::string HttpFailureText(common::HttpFailure failure, std::uint32_t replyMs,
                            const std::string& running) {
    using common::HttpFailure;
    switch (failure) {
    case HttpFailure::BadAddress: return "the address cannot be used";
    case HttpFailure::UnknownHost: return "unknown host";
    case HttpFailure::CannotConnect: return "no connection (" + running + ")";
    case HttpFailure::Timeout:
        return "no answer within " + std::to_string(replyMs / 1000) + " seconds";
    case HttpFailure::Secure: return "the secure connection failed";
    case HttpFailure::Broken: return "the connection broke off";
    case HttpFailure::Cancelled: return "the wait was cancelled";
    case HttpFailure::None: break;
    }
    return "";
}

std::string JoinReasons(common::Platform& p, const std::vector<std::string>& utf8Reasons) {
    std::string reasons;
    for (const std::string& utf8 : utf8Reasons) {
        if (utf8.empty()) continue;
        const std::string reason = p.Utf8ToAnsi(utf8);
        if (("; " + reasons + "; ").find("; " + reason + "; ") == std::string::npos)
            reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    return reasons;
}

std::string BoxLinks(common::Platform& p, const std::vector<ReceiverLink>& links,
                     const std::vector<bool>& listed) {
    std::vector<std::string> urls;
    for (std::size_t i = 0; i < links.size(); ++i)
        if (listed[i]) urls.push_back(p.Utf8ToAnsi(links[i].url));
    return BoxLinkList(urls);
}

bool HandToNetworkReceiver(common::Platform& p, const JobLines& lines, const KeptJobPlace& place,
                           const ZelkoSettings& s) {
    const std::vector<ReceiverLink> links = ReceiverLinks(lines);
    if (links.empty()) return true;
    const std::string referrer(lines[1]);
    const std::string& endpoint = s.customDm;
    const NetworkReceiver receiver = NetworkReceiverOf(endpoint);
    const std::vector<bool> all(links.size(), true);

    if (receiver == NetworkReceiver::Aria2) {
        for (const ReceiverLink& link : links) {
            if (link.post.empty()) continue;
            p.MessageBox(0,
                         "aria2 cannot send the form data this download needs, so nothing was "
                         "sent to " + endpoint + ". The links:\r\n" + BoxLinks(p, links, all) +
                             "\r\n\r\n" + KeepWholeJob(p, place, lines),
                         kErrorTitle, kBoxFlags);
            return false;
        }
    }
    const std::vector<std::string> refusals =
        receiver == NetworkReceiver::JDownloader
            ? SendToJDownloader(p, links, endpoint, referrer)
            : SendToAria2(p, links, endpoint, s.aria2Secret, referrer);
    std::vector<bool> refused(links.size(), false);
    for (std::size_t i = 0; i < links.size(); ++i) refused[i] = !refusals[i].empty();
    const std::string reasons = JoinReasons(p, refusals);
    if (reasons.empty()) return true;
    p.MessageBox(0,
                 std::string(NetworkReceiverLabel(receiver)) + " at " + endpoint +
                     " did not take these links: " + reasons + "\r\n" +
                     SecretNote(s, receiver, refusals) + BoxLinks(p, links, refused) + "\r\n\r\n" +
                     KeepLinksNotTaken(p, place, lines, refused),
                 kErrorTitle, kBoxFlags);
    return false;
}

}  // namespace zelko
