#include "zelko/aria2.h"

#include "common/json.h"

namespace zelko {

namespace {

using common::JsonString;
using common::JsonValue;

constexpr const char* kRequestId = "zelko";
constexpr const char* kNotAria2 = "an answer that is not aria2's";

// aria2 puts these values into the headers of its own requests: a line
// break or other control character would start a header of the page's
// choosing there.
std::string HeaderValue(std::string text) {
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    }
    return text;
}

std::string AddUriParams(const std::string& secret, const std::string& referrer,
                         const ReceiverLink& link) {
    std::string params = "[";
    if (!secret.empty()) params += JsonString("token:" + secret) + ",";
    params += "[" + JsonString(link.url) + "],{";
    std::string options;
    if (!referrer.empty()) options += "\"referer\":" + JsonString(HeaderValue(referrer));
    if (!link.cookies.empty()) {
        if (!options.empty()) options += ",";
        options += "\"header\":[" + JsonString("Cookie: " + HeaderValue(link.cookies)) + "]";
    }
    return params + options + "}]";
}

std::string Envelope(const char* method, const std::string& params) {
    return std::string("{\"jsonrpc\":\"2.0\",\"id\":\"") + kRequestId + "\",\"method\":\"" + method +
           "\",\"params\":" + params + "}";
}

// The text of a JSON-RPC error object, or of a fault in a multicall answer.
std::string ErrorText(const JsonValue& error) {
    const JsonValue* message = error.Member("message");
    if (message && message->Is(JsonValue::Kind::String) && !message->text.empty())
        return message->text;
    const JsonValue* code = error.Member("code");
    if (code && code->Is(JsonValue::Kind::Number)) return "error " + code->text;
    return "an error without text";
}

// Why one call's result does not accept a link; empty when it does. A
// single call answers the download's id; a multicall item wraps it in an
// array, or is a fault object.
std::string RefusalOf(const JsonValue& result, bool wrapped) {
    const JsonValue* gid = &result;
    if (wrapped) {
        if (result.Is(JsonValue::Kind::Object)) return ErrorText(result);
        if (!result.Is(JsonValue::Kind::Array) || result.items.size() != 1) return kNotAria2;
        gid = &result.items[0];
    }
    if (gid->Is(JsonValue::Kind::String) && !gid->text.empty()) return "";
    return kNotAria2;
}

struct Answer {
    std::string whole;               // why no link was taken; empty when each has a result
    std::vector<std::string> each;   // else why each was not (empty: taken)
};

Answer ReadAnswer(const common::HttpReply& reply, std::size_t links) {
    if (reply.failure != common::HttpFailure::None)
        return {HttpFailureText(reply.failure, kAria2ReplyMs, "is aria2 running with --enable-rpc?"),
                {}};
    const std::optional<JsonValue> answer = common::ParseJson(reply.body);
    const JsonValue* error = answer ? answer->Member("error") : nullptr;
    const JsonValue* result = answer ? answer->Member("result") : nullptr;
    if (error && !error->Is(JsonValue::Kind::Null)) return {ErrorText(*error), {}};
    if (reply.status != 200) return {"HTTP status " + std::to_string(reply.status), {}};
    if (!result) return {kNotAria2, {}};
    if (links == 1) return {"", {RefusalOf(*result, false)}};
    if (!result->Is(JsonValue::Kind::Array) || result->items.size() != links) return {kNotAria2, {}};
    Answer a;
    for (const JsonValue& item : result->items) a.each.push_back(RefusalOf(item, true));
    return a;
}

}  // namespace

std::string Aria2Request(const std::string& secret, const std::string& referrer,
                         const std::vector<ReceiverLink>& links, std::size_t first,
                         std::size_t& count, std::size_t maxBytes) {
    count = 0;
    if (first >= links.size()) return "";
    const std::string single = AddUriParams(secret, referrer, links[first]);
    std::string calls;
    std::size_t size = Envelope("system.multicall", "[[]]").size();
    for (std::size_t i = first; i < links.size(); ++i) {
        const std::string call = "{\"methodName\":\"aria2.addUri\",\"params\":" +
                                 (i == first ? single : AddUriParams(secret, referrer, links[i])) +
                                 "}";
        if (count > 0 && size + 1 + call.size() > maxBytes) break;
        size += call.size() + (count > 0 ? 1 : 0);
        calls += (count > 0 ? "," : "") + call;
        ++count;
    }
    if (count == 1) return Envelope("aria2.addUri", single);
    return Envelope("system.multicall", "[[" + calls + "]]");
}

std::vector<std::string> Aria2Refusals(const common::HttpReply& reply, std::size_t links) {
    Answer a = ReadAnswer(reply, links);
    if (!a.whole.empty()) return std::vector<std::string>(links, a.whole);
    return a.each;
}

std::vector<std::string> SendToAria2(common::Platform& p, const std::vector<ReceiverLink>& links,
                                     const std::string& endpoint, const std::string& secret,
                                     const std::string& referrer) {
    std::vector<std::string> refusals;
    common::HttpPost post;
    post.url = endpoint;
    post.contentType = "application/json";
    post.connectTimeoutMs = kAria2ConnectMs;
    post.replyTimeoutMs = kAria2ReplyMs;
    const std::string secretUtf8 = p.AnsiToUtf8(secret);
    while (refusals.size() < links.size()) {
        std::size_t count = 0;
        post.body = Aria2Request(secretUtf8, referrer, links, refusals.size(), count);
        const Answer a = ReadAnswer(p.PostHttp(post), count);
        if (!a.whole.empty()) {
            refusals.resize(links.size(), a.whole);
            break;
        }
        refusals.insert(refusals.end(), a.each.begin(), a.each.end());
    }
    return refusals;
}

}  // namespace zelko
