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

bool IsAria2Answer(const common::HttpReply& reply) {
    if (reply.failure != common::HttpFailure::None) return false;
    const std::optional<common::JsonValue> answer = common::ParseJson(reply.body);
    const common::JsonValue* version = answer ? answer->Member("jsonrpc") : nullptr;
    return version && version->text == "2.0" &&
           (answer->Member("result") || answer->Member("error"));
}

}  // namespace

std::vector<RunningReceiver> FindRunningReceivers(common::Platform& p,
                                                  const std::string& aria2Secret) {
    std::vector<RunningReceiver> found;
    const common::HttpReply jd = Probe(p, kJDownloaderCheck, "");
    if (jd.failure == common::HttpFailure::None && jd.status == 200 &&
        common::Contains(jd.body, "jdownloader=true"))
        found.push_back({kJDownloaderLabel, kJDownloaderAddress});
    const std::string params =
        aria2Secret.empty() ? "[]" : "[" + common::JsonString("token:" + p.AnsiToUtf8(aria2Secret)) + "]";
    const std::string body =
        "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"method\":\"aria2.getVersion\",\"params\":" + params + "}";
    for (const char* address : kAria2Addresses) {
        if (!IsAria2Answer(Probe(p, address, body))) continue;
        found.push_back({NetworkReceiverLabel(NetworkReceiver::Aria2), address});
        break;
    }
    return found;
}

}  // namespace zelko
