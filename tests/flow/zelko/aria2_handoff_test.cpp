// Jobs handed to aria2's JSON-RPC interface: the request text byte for byte,
// and the boxes and kept job files when aria2 does not take them.
#include <gtest/gtest.h>

#include "common/json.h"
#include "tests/flow/zelko/receiver_jobs.h"
#include "tests/flow/zelko/zelko_world.h"
#include "zelko/aria2.h"
#include "zelko/link_list_box.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;
using common::HttpFailure;
using common::HttpPost;
using common::HttpReply;

const std::string kEndpoint = "http://127.0.0.1:6800/jsonrpc";

std::string Link(const std::string& url, const std::string& cookies = "",
                 const std::string& post = "", const std::string& description = "text") {
    return url + "\r\n" + description + "\r\n" + cookies + "\r\n" + post + "\r\n";
}

// n times U+FFFD: each byte of a broken sequence becomes one.
std::string Bad(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "\xEF\xBF\xBD";
    return text;
}

// What aria2 answers a well-formed request that it accepts: an id per call.
HttpReply Accept(FakePlatform&, const HttpPost& post) {
    const auto request = common::ParseJson(post.body);
    if (!request) return {HttpFailure::None, 400, "{\"error\":{\"code\":-32700,\"message\":\"Parse error.\"}}"};
    if (request->Member("method")->text == "aria2.addUri")
        return {HttpFailure::None, 200, "{\"id\":\"zelko\",\"jsonrpc\":\"2.0\",\"result\":\"2089b05ecca3d829\"}"};
    std::string result;
    for (std::size_t i = 0; i < request->Member("params")->items[0].items.size(); ++i)
        result += std::string(i ? "," : "") + "[\"000000000000000" + std::to_string(i % 10) + "\"]";
    return {HttpFailure::None, 200, "{\"id\":\"zelko\",\"jsonrpc\":\"2.0\",\"result\":[" + result + "]}"};
}

class Aria2Flow : public ::testing::Test {
protected:
    FakePlatform p;
    ZelkoWorld world{p};

    void SetUp() override {
        world.Set("Advanced", "0");
        world.Set("CustomDMEnabled", "1");
        world.Set("CustomDM", kEndpoint);
    }
    void Run(const std::string& job) {
        p.AddFile(kJob, job);
        world.Run(kJob);
    }
};

TEST_F(Aria2Flow, RequestTextByteForByte) {
    const std::string head = "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"method\":";
    struct Case {
        const char* name;
        std::string secret;  // in Zelko.ini, code page 1252
        std::string job;
        std::string body;
    };
    const Case cases[] = {
        {"one link, page as referrer", "", Job("http://forum.org/t", Link("http://files.org/a.zip")),
         head + "\"aria2.addUri\",\"params\":[[\"http://files.org/a.zip\"],"
                "{\"referer\":\"http://forum.org/t\"}]}"},
        {"secret first, cookies as a header", "s3cret",
         Job("http://forum.org/t", Link("http://files.forum.org/a.zip", "sid=1; lang=en")),
         head + "\"aria2.addUri\",\"params\":[\"token:s3cret\",[\"http://files.forum.org/a.zip\"],"
                "{\"referer\":\"http://forum.org/t\",\"header\":[\"Cookie: sid=1; lang=en\"]}]}"},
        {"no referrer, no cookies", "",
         Job("", Link("http://files.org/a.zip")),
         head + "\"aria2.addUri\",\"params\":[[\"http://files.org/a.zip\"],{}]}"},
        {"URL form", "", UrlJob("My_Download_Manager", "http://files.org/", "http://files.org/b.zip"),
         head + "\"aria2.addUri\",\"params\":[[\"http://files.org/b.zip\"],"
                "{\"referer\":\"http://files.org/\"}]}"},
        {"several links in one multicall, cookies per link", "k",
         Job("http://www.a.org/t", Link("http://a.org/1", "x=1") + Link("http://b.org/2"), 2),
         head + "\"system.multicall\",\"params\":[[{\"methodName\":\"aria2.addUri\",\"params\":"
                "[\"token:k\",[\"http://a.org/1\"],{\"referer\":\"http://www.a.org/t\","
                "\"header\":[\"Cookie: x=1\"]}]},{\"methodName\":\"aria2.addUri\",\"params\":"
                "[\"token:k\",[\"http://b.org/2\"],{\"referer\":\"http://www.a.org/t\"}]}]]}"},
        {"a link that tries to add an option", "",
         Job("http://forum.org/t", Link("http://e.org/q\",\"dir\":\"C:\\\\x\\\"y")),
         head + "\"aria2.addUri\",\"params\":[[\"http://e.org/q\\\",\\\"dir\\\":\\\"C:\\\\\\\\x"
                "\\\\\\\"y\"],{\"referer\":\"http://forum.org/t\"}]}"},
        {"quotes in the referrer and cookies", "",
         Job("http://f.org/\"}],\"x\":[\"", Link("http://f.org/1", "a=\"}]")),
         head + "\"aria2.addUri\",\"params\":[[\"http://f.org/1\"],{\"referer\":\"http://f.org/"
                "\\\"}],\\\"x\\\":[\\\"\",\"header\":[\"Cookie: a=\\\"}]\"]}]}"},
        {"a line feed in cookies starts no header of its own", "",
         Job("http://f.org/\x01", Link("http://f.org/\x01\x1f\x7f", "a=1\nX-Evil: 1\tz")),
         head + "\"aria2.addUri\",\"params\":[[\"http://f.org/\\u0001\\u001f\\u007f\"],"
                "{\"referer\":\"http://f.org/ \",\"header\":[\"Cookie: a=1 X-Evil: 1 z\"]}]}"},
        {"UTF-8 kept, broken UTF-8 replaced, secret in the system code page", "p\xE9",
         Job("http://f.org/", Link("http://e.org/\xD0\xB6\xC3(\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82")),
         head + "\"aria2.addUri\",\"params\":[\"token:p\xC3\xA9\",[\"http://e.org/\xD0\xB6" +
             Bad(1) + "(" + Bad(3 + 4 + 2) + "\"],{\"referer\":\"http://f.org/\"}]}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fresh;
        ZelkoWorld w(fresh);
        w.Set("CustomDMEnabled", "1");
        w.Set("CustomDM", kEndpoint);
        if (!c.secret.empty()) w.Set("Aria2Secret", c.secret);
        fresh.SetHttpResponder(Accept);
        fresh.AddFile(kJob, c.job);
        w.Run(kJob);
        ASSERT_EQ(fresh.HttpPosts().size(), 1u);
        const HttpPost& post = fresh.HttpPosts()[0];
        EXPECT_EQ(post.body, c.body);
        EXPECT_TRUE(common::ParseJson(post.body).has_value());
        EXPECT_EQ(post.url, kEndpoint);
        EXPECT_EQ(post.contentType, "application/json");
        EXPECT_TRUE(fresh.MessageBoxes().empty());
        EXPECT_FALSE(fresh.HasFile(kJob));  // taken: the job is done
        EXPECT_TRUE(fresh.Starts().empty());
    }
}

TEST_F(Aria2Flow, ShortTimeOuts) {
    p.SetHttpResponder(Accept);
    Run(Job("http://f.org/", Link("http://e.org/1")));
    ASSERT_EQ(p.HttpPosts().size(), 1u);
    EXPECT_GT(p.HttpPosts()[0].connectTimeoutMs, 0u);
    EXPECT_LE(p.HttpPosts()[0].connectTimeoutMs, 5000u);
    EXPECT_GT(p.HttpPosts()[0].replyTimeoutMs, 0u);
    EXPECT_LE(p.HttpPosts()[0].replyTimeoutMs, 10000u);
}

const std::string kSecretNote =
    "This aria2 has a secret (its --rpc-secret): put it into \"C:\\Opera\\Zelko\\Zelko.ini\", "
    "section [Main], as Aria2Secret=<the secret>.";

// Only a refusal of a request that carried no secret says where one goes.
TEST(Aria2Secret, UnauthorizedSaysWhereTheSecretGoesOnlyWhenThereIsNone) {
    struct Case {
        const char* name;
        std::string secret;  // Aria2Secret
        std::string message;
        bool note;
    };
    const Case cases[] = {
        {"no secret, refused", "", "Unauthorized", true},
        {"a secret aria2 does not know", "old", "Unauthorized", false},
        {"no secret, another refusal", "", "No URI to download.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        ZelkoWorld w(p);
        w.Set("CustomDMEnabled", "1");
        w.Set("CustomDM", kEndpoint);
        if (!c.secret.empty()) w.Set("Aria2Secret", c.secret);
        p.SetHttpResponder([&](FakePlatform&, const HttpPost&) {
            return HttpReply{HttpFailure::None, 400,
                             "{\"jsonrpc\":\"2.0\",\"error\":{\"code\":1,\"message\":\"" + c.message + "\"}}"};
        });
        p.AddFile(kJob, Job("http://f.org/", Link("http://e.org/1")));
        w.Run(kJob);
        ASSERT_EQ(p.MessageBoxes().size(), 1u);
        EXPECT_EQ(p.MessageBoxes()[0].text,
                  "aria2 at " + kEndpoint + " did not take these links: " + c.message + "\r\n" +
                      (c.note ? kSecretNote + "\r\n" : "") + "\r\nhttp://e.org/1" + kKeptNote);
    }
}

TEST_F(Aria2Flow, RefusalsShowABoxAndKeepTheJob) {
    const std::string lead = "aria2 at " + kEndpoint + " did not take these links: ";
    const std::string two = Job("http://f.org/", Link("http://e.org/1") + Link("http://e.org/2"), 2);
    const std::string one = Job("http://f.org/", Link("http://e.org/1"));
    struct Case {
        const char* name;
        std::string job;
        HttpReply reply;
        std::string text;
        std::string kept;  // the job left for the user; empty: all of it
    };
    const Case cases[] = {
        {"aria2 not running", two, {HttpFailure::CannotConnect, 0, ""},
         lead + "no connection (is aria2 running with --enable-rpc?)\r\n\r\nhttp://e.org/1\r\nhttp://e.org/2"},
        {"time-out", one, {HttpFailure::Timeout, 0, ""},
         lead + "no answer within 5 seconds\r\n\r\nhttp://e.org/1"},
        {"unknown host", one, {HttpFailure::UnknownHost, 0, ""}, lead + "unknown host\r\n\r\nhttp://e.org/1"},
        {"broken off", one, {HttpFailure::Broken, 0, ""},
         lead + "the connection broke off\r\n\r\nhttp://e.org/1"},
        {"secure", one, {HttpFailure::Secure, 0, ""},
         lead + "the secure connection failed\r\n\r\nhttp://e.org/1"},
        {"a secret wanted, none in Zelko.ini", two,
         {HttpFailure::None, 400,
          "{\"id\":\"zelko\",\"jsonrpc\":\"2.0\",\"error\":{\"code\":1,\"message\":\"Unauthorized\"}}"},
         lead + "Unauthorized\r\n" + kSecretNote + "\r\n\r\nhttp://e.org/1\r\nhttp://e.org/2"},
        {"error without text", one, {HttpFailure::None, 400, "{\"error\":{\"code\":7}}"},
         lead + "error 7\r\n\r\nhttp://e.org/1"},
        {"HTTP error", one, {HttpFailure::None, 404, "<html>Not Found</html>"},
         lead + "HTTP status 404\r\n\r\nhttp://e.org/1"},
        {"not JSON-RPC", one, {HttpFailure::None, 200, "OK"},
         lead + "an answer that is not aria2's\r\n\r\nhttp://e.org/1"},
        {"an id that is no text", one, {HttpFailure::None, 200, "{\"result\":17}"},
         lead + "an answer that is not aria2's\r\n\r\nhttp://e.org/1"},
        {"multicall answer of the wrong length", two, {HttpFailure::None, 200, "{\"result\":[[\"a\"]]}"},
         lead + "an answer that is not aria2's\r\n\r\nhttp://e.org/1\r\nhttp://e.org/2"},
        {"one link of two refused", two,
         {HttpFailure::None, 200,
          "{\"result\":[[\"0123\"],{\"code\":1,\"message\":\"No URI to download.\"}]}"},
         lead + "No URI to download.\r\n\r\nhttp://e.org/2",
         Job("http://f.org/", Link("http://e.org/2"))},
        {"aria2's text in UTF-8", one,
         {HttpFailure::None, 400, "{\"error\":{\"message\":\"caf\\u00e9\"}}"},
         lead + "caf\xE9\r\n\r\nhttp://e.org/1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fresh;
        ZelkoWorld w(fresh);
        w.Set("CustomDMEnabled", "1");
        w.Set("CustomDM", kEndpoint);
        fresh.SetHttpResponder([&](FakePlatform&, const HttpPost&) { return c.reply; });
        fresh.AddFile(kJob, c.job);
        w.Run(kJob);
        EXPECT_EQ(fresh.HttpPosts().size(), 1u);
        ASSERT_EQ(fresh.MessageBoxes().size(), 1u);
        EXPECT_EQ(fresh.MessageBoxes()[0].text, c.text + kKeptNote);
        EXPECT_EQ(fresh.MessageBoxes()[0].title, "Zelko Error");
        EXPECT_EQ(fresh.MessageBoxes()[0].flags, common::mb::Topmost | common::mb::IconError);
        EXPECT_EQ(fresh.FileText(kJob), c.kept.empty() ? c.job : c.kept);  // for the user
        EXPECT_TRUE(fresh.Starts().empty());
    }
}

// The links each request carries, in order.
std::vector<std::string> SentUrls(const HttpPost& post) {
    std::vector<std::string> urls;
    const auto request = common::ParseJson(post.body);
    if (!request) return urls;
    const common::JsonValue& params = *request->Member("params");
    if (request->Member("method")->text == "aria2.addUri") return {params.items[0].items[0].text};
    for (const common::JsonValue& call : params.items[0].items) {
        const common::JsonValue& args = *call.Member("params");
        urls.push_back(args.items[args.items.size() - 2].items[0].text);
    }
    return urls;
}

TEST(Aria2Batches, BigJobsGoInRequestsUnderAMegabyteInOrder) {
    const std::string referrer = "http://forum.org/t?" + std::string(1500, 'r');
    std::vector<ReceiverLink> links;
    for (int i = 0; i < 1000; ++i)
        links.push_back({"http://files.org/" + std::to_string(i), "", std::string(1024, 'c'), ""});
    FakePlatform p;
    p.SetHttpResponder(Accept);
    const std::vector<std::string> refusals = SendToAria2(p, links, kEndpoint, "s", referrer);
    EXPECT_EQ(refusals, std::vector<std::string>(links.size()));
    std::vector<std::string> sent;
    for (const HttpPost& post : p.HttpPosts()) {
        EXPECT_LE(post.body.size(), kAria2RequestBytes);
        for (const std::string& url : SentUrls(post)) sent.push_back(url);
    }
    EXPECT_GE(p.HttpPosts().size(), 3u);  // 1000 calls of 2.6 KB
    ASSERT_EQ(sent.size(), links.size());
    for (std::size_t i = 0; i < links.size(); ++i) EXPECT_EQ(sent[i], links[i].url);
    // A call bigger than the limit goes alone.
    std::size_t count = 0;
    const std::string lone = Aria2Request("", std::string(2000, 'r'), links, 0, count, 1000);
    EXPECT_EQ(count, 1u);
    EXPECT_NE(lone.find("\"aria2.addUri\""), std::string::npos);
}

TEST_F(Aria2Flow, RequestsAfterOneWithoutAnswerAreNotSentAndTheRestIsKept) {
    std::string links;
    for (int i = 0; i < 30; ++i) links += Link("http://e.org/" + std::to_string(i), std::string(900, 'c'));
    const std::string referrer = "http://e.org/?" + std::string(100000, 'r');
    const std::string job = Job(referrer, links, 30);
    std::size_t firstBatch = 0;
    p.SetHttpResponder([&](FakePlatform& fake, const HttpPost& post) {
        if (firstBatch == 0) {
            firstBatch = SentUrls(post).size();
            return Accept(fake, post);
        }
        return HttpReply{HttpFailure::CannotConnect, 0, ""};
    });
    Run(job);
    ASSERT_EQ(p.HttpPosts().size(), 2u);
    ASSERT_GT(firstBatch, 0u);
    ASSERT_LT(firstBatch, 30u);
    std::string keptLinks, listed;
    for (std::size_t i = firstBatch; i < 30; ++i) {
        keptLinks += Link("http://e.org/" + std::to_string(i), std::string(900, 'c'));
        if (i < firstBatch + kBoxLinksMax) listed += "\r\nhttp://e.org/" + std::to_string(i);
    }
    if (30 - firstBatch > kBoxLinksMax)
        listed += "\r\nand " + std::to_string(30 - firstBatch - kBoxLinksMax) + " more";
    EXPECT_EQ(p.FileText(kJob), Job(referrer, keptLinks, static_cast<int>(30 - firstBatch)));
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text,
              "aria2 at " + kEndpoint +
                  " did not take these links: no connection (is aria2 running with --enable-rpc?)\r\n" +
                  listed + kKeptNote);
}

TEST_F(Aria2Flow, PostDataIsNotSent) {
    p.SetHttpResponder(Accept);
    const std::string job = Job("http://f.org/form", Link("http://f.org/get", "", "q=1") +
                                                         Link("http://f.org/other"), 2);
    Run(job);
    EXPECT_TRUE(p.HttpPosts().empty());
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text,
              "aria2 cannot send the form data this download needs, so nothing was sent to " +
                  kEndpoint + ". The links:\r\n\r\nhttp://f.org/get\r\nhttp://f.org/other" + kKeptNote);
    EXPECT_EQ(p.FileText(kJob), job);
}

TEST_F(Aria2Flow, LinksTakenByUniversalShareDownloaderAreNotSentAgain) {
    world.WithUsd("rapidfiles.com;");
    p.SetHttpResponder(Accept);
    Run(Job("http://forum.org/t", Link("http://rapidfiles.com/a") + Link("http://x.org/1"), 2));
    ASSERT_EQ(world.addFiles.size(), 1u);
    ASSERT_EQ(p.HttpPosts().size(), 1u);
    EXPECT_NE(p.HttpPosts()[0].body.find("\"aria2.addUri\",\"params\":[[\"http://x.org/1\"]"),
              std::string::npos);
    EXPECT_FALSE(p.HasFile(kJob));
}

TEST_F(Aria2Flow, TemplatesThatAreNoAddressStartPrograms) {
    struct Case {
        const char* name;
        std::string customDm;
        bool enabled;
        bool kept;  // no program to start: the job stays, with a box
    };
    const Case cases[] = {
        {"program template", "C:\\Tools\\get.exe [url]", true, false},
        {"address, template off", kEndpoint, false, false},
        {"ftp address", "ftp://127.0.0.1/x", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fresh;
        ZelkoWorld w(fresh);
        w.Set("CustomDMEnabled", c.enabled ? "1" : "0");
        w.Set("CustomDM", c.customDm);
        fresh.SetHttpResponder(Accept);
        fresh.AddFile("C:\\Tools\\get.exe", "MZ");
        fresh.AddFile(kJob, Job("http://f.org/", Link("http://e.org/1")));
        w.Run(kJob);
        EXPECT_TRUE(fresh.HttpPosts().empty());
        EXPECT_EQ(fresh.Starts().size(), 1u);
        EXPECT_EQ(fresh.HasFile(kJob), c.kept);
        EXPECT_EQ(fresh.MessageBoxes().size(), c.kept ? 1u : 0u);
    }
}

}  // namespace
}  // namespace zelko::testing
