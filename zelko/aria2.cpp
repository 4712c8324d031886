#include "zelko/aria2.h"

#include "common/helpers.h"
#include "common/json.h"
#include "zelko/intake.h"
#include "zelko/link_list_box.h"

namespace zelko {

namespace {

using common::JsonString;
using common::JsonValue;

constexpr const char* kRequestId = "zelko";

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
                         const Aria2Link& link) {
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

std::string FailureText(common::HttpFailure failure) {
    using common::HttpFailure;
    switch (failure) {
    case HttpFailure::BadAddress: return "the address cannot be used";
    case HttpFailure::UnknownHost: return "unknown host";
    case HttpFailure::CannotConnect: return "no connection (is aria2 running with --enable-rpc?)";
    case HttpFailure::Timeout:
        return "no answer within " + std::to_string(kAria2ReplyMs / 1000) + " seconds";
    case HttpFailure::Secure: return "the secure connection failed";
    case HttpFailure::Broken: return "the connection broke off";
    case HttpFailure::None: break;
    }
    return "";
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
        if (!result.Is(JsonValue::Kind::Array) || result.items.size() != 1)
            return "an answer that is not aria2's";
        gid = &result.items[0];
    }
    if (gid->Is(JsonValue::Kind::String) && !gid->text.empty()) return "";
    return "an answer that is not aria2's";
}

std::string LinkList(common::Platform& p, const std::vector<Aria2Link>& links,
                     const std::vector<bool>& listed) {
    std::vector<std::string> urls;
    for (std::size_t i = 0; i < links.size(); ++i)
        if (listed[i]) urls.push_back(p.Utf8ToAnsi(links[i].url));
    return BoxLinkList(urls);
}

}  // namespace

bool IsAria2Endpoint(std::string_view customTemplate) {
    const std::string scheme = common::AsciiLower(std::string(customTemplate.substr(0, 8)));
    return common::StartsWith(scheme, "http://") || common::StartsWith(scheme, "https://");
}

std::string Aria2Request(const std::string& secret, const std::string& referrer,
                         const std::vector<Aria2Link>& links) {
    if (links.size() == 1) return Envelope("aria2.addUri", AddUriParams(secret, referrer, links[0]));
    std::string calls;
    for (const Aria2Link& link : links) {
        if (!calls.empty()) calls += ",";
        calls += "{\"methodName\":\"aria2.addUri\",\"params\":" +
                 AddUriParams(secret, referrer, link) + "}";
    }
    return Envelope("system.multicall", "[[" + calls + "]]");
}

std::vector<std::string> Aria2Refusals(const common::HttpReply& reply, std::size_t links) {
    if (reply.failure != common::HttpFailure::None)
        return std::vector<std::string>(links, FailureText(reply.failure));
    const std::optional<JsonValue> answer = common::ParseJson(reply.body);
    const JsonValue* error = answer ? answer->Member("error") : nullptr;
    const JsonValue* result = answer ? answer->Member("result") : nullptr;
    std::string whole;  // one reason for every link
    if (error && !error->Is(JsonValue::Kind::Null)) whole = ErrorText(*error);
    else if (reply.status != 200) whole = "HTTP status " + std::to_string(reply.status);
    else if (!result) whole = "an answer that is not aria2's";
    if (!whole.empty()) return std::vector<std::string>(links, whole);

    if (links == 1) return {RefusalOf(*result, false)};
    if (!result->Is(JsonValue::Kind::Array) || result->items.size() != links)
        return std::vector<std::string>(links, "an answer that is not aria2's");
    std::vector<std::string> refusals;
    for (const JsonValue& item : result->items) refusals.push_back(RefusalOf(item, true));
    return refusals;
}

bool HandToAria2(common::Platform& p, const JobLines& lines, const std::string& endpoint,
                 const std::string& secret) {
    std::vector<Aria2Link> links;
    bool postData = false;
    for (std::size_t at = 2; at + 4 <= lines.size(); at += 4) {
        links.push_back({std::string(lines[at]), std::string(lines[at + 2])});
        postData = postData || !lines[at + 3].empty();
    }
    if (links.empty()) return true;
    const std::uint32_t flags = common::mb::Topmost | common::mb::IconError;
    if (postData) {
        p.MessageBox(0,
                     "aria2 cannot send the form data this download needs, so nothing was sent "
                     "to " + endpoint + ". The links:\r\n" +
                         LinkList(p, links, std::vector<bool>(links.size(), true)),
                     kErrorTitle, flags);
        return false;
    }

    common::HttpPost post;
    post.url = endpoint;
    post.contentType = "application/json";
    post.body = Aria2Request(p.AnsiToUtf8(secret), std::string(lines[1]), links);
    post.connectTimeoutMs = kAria2ConnectMs;
    post.replyTimeoutMs = kAria2ReplyMs;
    const std::vector<std::string> refusals = Aria2Refusals(p.PostHttp(post), links.size());

    std::vector<bool> refused(links.size(), false);
    std::string reasons;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (refusals[i].empty()) continue;
        refused[i] = true;
        const std::string reason = p.Utf8ToAnsi(refusals[i]);
        if (("; " + reasons + "; ").find("; " + reason + "; ") == std::string::npos)
            reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    if (reasons.empty()) return true;
    p.MessageBox(0,
                 "aria2 at " + endpoint + " did not take these links: " + reasons + "\r\n" +
                     LinkList(p, links, refused),
                 kErrorTitle, flags);
    return false;
}

}  // namespace zelko
