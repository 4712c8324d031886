// What answers at the configured aria2 address: the JSON reader on any text,
// and the reply handling that picks each link's result. Input: a byte for
// how many links were sent (1 to 8), a byte for the reply's status (200, 400
// or another), then the reply's body.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/json.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "zelko/aria2.h"

namespace {

using fuzz_support::Require;

int Status(std::uint8_t selector) {
    switch (selector % 3) {
    case 0: return 200;
    case 1: return 400;
    default: return 500;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t links = data[0] % 8 + 1;
    const int status = Status(data[1]);
    const std::string body(reinterpret_cast<const char*>(data) + 2, size - 2);

    // The reader: blanks around a document change nothing; a text written
    // as a JSON string reads back as that text (broken UTF-8 replaced).
    const auto parsed = common::ParseJson(body);
    Require(common::ParseJson(" \r\n" + body + "\t").has_value() == parsed.has_value());
    const auto again = common::ParseJson(common::JsonString(body));
    Require(again && again->Is(common::JsonValue::Kind::String));
    Require(common::JsonString(again->text) == common::JsonString(body));

    // One reason for each link sent, whatever the answer.
    const common::HttpReply reply{common::HttpFailure::None, status, body};
    const std::vector<std::string> refusals = zelko::Aria2Refusals(reply, links);
    Require(refusals.size() == links);
    if (status != 200 || !parsed) {
        for (const std::string& r : refusals) Require(!r.empty());
    }

    // The same answer to every request of a job sent in batches: every link
    // gets its reason, and nothing is sent after a request without one.
    std::vector<zelko::ReceiverLink> job;
    for (std::size_t i = 0; i < links; ++i)
        job.push_back({"http://e.org/" + std::to_string(i), "", "", ""});
    common::FakePlatform p;
    p.SetHttpResponder([&](common::FakePlatform&, const common::HttpPost&) { return reply; });
    const std::vector<std::string> sent = zelko::SendToAria2(p, job, "http://127.0.0.1:6800/jsonrpc", "", "r");
    Require(sent.size() == links);
    Require(p.HttpPosts().size() == 1);
    Require(sent == refusals);
    return 0;
}
