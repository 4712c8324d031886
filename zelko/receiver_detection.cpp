#include "zelko/receiver_detection.h"

#include "common/helpers.h"
#include "common/json.h"
#include "zelko/jdownloader.h"

namespace zelko {

namespace {

common::HttpReply Probe(common::Platform& p, const std::string& url, const std::string& body) {
    common::HttpPost request;
    request.url = url;
    request.get = body.empty();
    request.body = body;
    if (!body.empty()) request.contentType = "application/json";
    request.connectTimeoutMs = kProbeMs;
    request.replyTimeoutMs = kProbeMs;
    return p.PostHttp(request);
}

constexpr const char* kAria2Question =
    "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"method\":\"system.listMethods\",\"params\":[]}";

// aria2's list of methods holds the one Zelko hands links to.
bool IsAria2Answer(const common::HttpReply& reply) {
    if (reply.failure != common::HttpFailure::None) return false;
    const std::optional<common::JsonValue> answer = common::ParseJson(reply.body);
    const common::JsonValue* version = answer ? answer->Member("jsonrpc") : nullptr;
    const common::JsonValue* methods = answer ? answer->Member("result") : nullptr;
    if (!version || version->text != "2.0" || !methods ||
        !methods->Is(common::JsonValue::Kind::Array))
        return false;
    for (const common::JsonValue& method : methods->items)
        if (method.Is(common::JsonValue::Kind::String) && method.text == "aria2.addUri") return true;
    return false;
}

}  // namespace

std::vector<RunningReceiver> FindRunningReceivers(common::Platform& p) {
    std::vector<RunningReceiver> found;
    const common::HttpReply jd = Probe(p, kJDownloaderCheck, "");
    if (jd.failure == common::HttpFailure::None && jd.status == 200 &&
        common::Contains(jd.body, "jdownloader=true"))
        found.push_back({kJDownloaderLabel, kJDownloaderAddress});
    for (const char* address : kAria2Addresses) {
        if (!IsAria2Answer(Probe(p, address, kAria2Question))) continue;
        found.push_back({NetworkReceiverLabel(NetworkReceiver::Aria2), address});
        break;
    }
    return found;
}

}  // namespace zelko
