// Jobs handed to JDownloader's local interface: the form posts byte for
// byte, and the boxes and kept job files when it does not take them.
#include <gtest/gtest.h>

#include "tests/flow/zelko/receiver_jobs.h"
#include "tests/flow/zelko/zelko_world.h"
#include "zelko/jdownloader.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;
using common::HttpFailure;
using common::HttpPost;
using common::HttpReply;

const std::string kAddress = "http://127.0.0.1:9666/flashgot";
const std::string kRef = "http%3A%2F%2Fa%2Fr";  // the page http://a/r, form-encoded
const std::string kLead = "JDownloader at " + kAddress + " did not take these links: ";

std::string Link(const std::string& url, const std::string& description = "",
                 const std::string& cookies = "", const std::string& post = "") {
    return url + "\r\n" + description + "\r\n" + cookies + "\r\n" + post + "\r\n";
}

HttpReply Taken(FakePlatform&, const HttpPost&) {
    return {HttpFailure::None, 200, "C:\\JDownloader\\\r\n"};
}

struct JdRun {
    FakePlatform p;
    ZelkoWorld world{p};
    explicit JdRun(const std::string& job, FakePlatform::HttpResponder responder = Taken) {
        world.Set("CustomDMEnabled", "1");
        world.Set("CustomDM", kAddress);
        p.SetHttpResponder(std::move(responder));
        p.AddFile(kJob, job);
        world.Run(kJob);
    }
};

TEST(JDownloaderFlow, FormPostsByteForByte) {
    const std::string tail = "&autostart=1";
    struct Case {
        const char* name;
        std::string job;
        std::vector<std::string> bodies;
    };
    const Case cases[] = {
        {"URL form", UrlJob("My_Download_Manager", "http://files.org/", "http://files.org/b.zip"),
         {"urls=http%3A%2F%2Ffiles.org%2Fb.zip&descriptions=&referer=http%3A%2F%2Ffiles.org%2F"
          "&cookies=&postData=&source=http%3A%2F%2Ffiles.org%2F" + tail}},
        {"Ctrl+click with cookies and form data",
         Job("https://f.org/t?id=1", Link("https://f.org/get", "The file", "sid=1; a=b", "q=x y")),
         {"urls=https%3A%2F%2Ff.org%2Fget&descriptions=The+file&referer=https%3A%2F%2Ff.org%2Ft%3Fid%3D1"
          "&cookies=sid%3D1%3B+a%3Db&postData=q%3Dx+y&source=https%3A%2F%2Ff.org%2Ft%3Fid%3D1" + tail}},
        {"groups by cookies and form data, in order of their first link",
         Job("http://a/r", Link("http://a/1", "one", "k=1") + Link("ftp://a/2", "two") +
                      Link("http://a/3", "three", "k=1") + Link("http://a/4", "four", "k=1", "p"), 4),
         {"urls=http%3A%2F%2Fa%2F1%0Ahttp%3A%2F%2Fa%2F3&descriptions=one%0Athree&referer=" + kRef +
              "&cookies=k%3D1&postData=&source=" + kRef + tail,
          "urls=ftp%3A%2F%2Fa%2F2&descriptions=two&referer=" + kRef + "&cookies=&postData=&source=" + kRef + tail,
          "urls=http%3A%2F%2Fa%2F4&descriptions=four&referer=" + kRef + "&cookies=k%3D1&postData=p&source=" +
              kRef + tail}},
        {"hostile values add no field and no line",
         Job("http://a/r&urls=x\ny", Link("http://a/1?x=1&y=2\nhttp://evil/", "a&b=c\nd\"'", "c=\"1\"&x=\n2",
                                 "a=1&autostart=0") +
                                Link("http://a/2", "", "c=\"1\"&x=\n2", "a=1&autostart=0"), 2),
         {"urls=http%3A%2F%2Fa%2F1%3Fx%3D1%26y%3D2+http%3A%2F%2Fevil%2F%0Ahttp%3A%2F%2Fa%2F2"
          "&descriptions=a%26b%3Dc+d%22%27%0A&referer=" + kRef + "%26urls%3Dx+y&cookies=c%3D%221%22%26x%3D+2"
          "&postData=a%3D1%26autostart%3D0&source=" + kRef + "%26urls%3Dx+y" + tail}},
        {"UTF-8 kept, broken UTF-8 replaced",
         Job("http://a/r", Link("http://a/\xD0\xB6", "\xC3(\xFF")),
         {"urls=http%3A%2F%2Fa%2F%D0%B6&descriptions=%EF%BF%BD%28%EF%BF%BD&referer=" + kRef + "&cookies="
          "&postData=&source=" + kRef + tail}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JdRun run(c.job);
        ASSERT_EQ(run.p.HttpPosts().size(), c.bodies.size());
        for (std::size_t i = 0; i < c.bodies.size(); ++i) {
            const HttpPost& post = run.p.HttpPosts()[i];
            EXPECT_EQ(post.body, c.bodies[i]);
            EXPECT_EQ(post.url, kAddress);
            EXPECT_FALSE(post.get);
            EXPECT_EQ(post.contentType, "application/x-www-form-urlencoded");
            EXPECT_EQ(post.headers, std::vector<std::string>{"Referer: http://localhost:9666/flashgot"});
            EXPECT_EQ(post.connectTimeoutMs, 3000u);
            EXPECT_EQ(post.replyTimeoutMs, 0u);  // no limit: the user may cancel
        }
        EXPECT_TRUE(run.p.MessageBoxes().empty());
        EXPECT_FALSE(run.p.HasFile(kJob));
        EXPECT_TRUE(run.p.Starts().empty());
    }
}

TEST(JDownloaderFlow, LinksNotTakenStayWithABox) {
    const std::string two = Job("http://a/r", Link("http://a/1", "", "k=1") + Link("http://a/2"), 2);
    struct Case {
        const char* name;
        std::string job;
        HttpReply reply;
        std::size_t posts;
        std::string text;
        std::string kept;  // empty: all of it
    };
    const Case cases[] = {
        {"not running", two, {HttpFailure::CannotConnect, 0, ""}, 1,
         kLead + "no connection (is JDownloader running?)\r\n\r\nhttp://a/1\r\nhttp://a/2", ""},
        {"no connection in time", two, {HttpFailure::Timeout, 0, ""}, 1,
         kLead + "no answer within 3 seconds\r\n\r\nhttp://a/1\r\nhttp://a/2", ""},
        {"refused without the local referrer", two, {HttpFailure::None, 403, "Forbidden"}, 1,
         kLead + "HTTP status 403\r\n\r\nhttp://a/1\r\nhttp://a/2", ""},
        {"schemes it cannot fetch", Job("http://a/r", Link("magnet:?xt=1") + Link("http://a/1") + Link("file:///c:/x"), 3),
         {HttpFailure::None, 200, ""}, 1,
         kLead + "JDownloader takes http, https and ftp links only\r\n\r\nmagnet:?xt=1\r\nfile:///c:/x",
         Job("http://a/r", Link("magnet:?xt=1") + Link("file:///c:/x"), 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JdRun run(c.job, [&](FakePlatform&, const HttpPost&) { return c.reply; });
        EXPECT_EQ(run.p.HttpPosts().size(), c.posts);
        ASSERT_EQ(run.p.MessageBoxes().size(), 1u);
        EXPECT_EQ(run.p.MessageBoxes()[0].text, c.text + kKeptNote);
        EXPECT_EQ(run.p.MessageBoxes()[0].title, "Zelko Error");
        EXPECT_EQ(run.p.MessageBoxes()[0].flags, common::mb::Topmost | common::mb::IconError);
        EXPECT_EQ(run.p.FileText(kJob), c.kept.empty() ? c.job : c.kept);
    }
}

TEST(JDownloaderFlow, AGroupTakenIsNotKept) {
    int posts = 0;
    JdRun run(Job("http://a/r", Link("http://a/1", "", "k=1") + Link("http://a/2"), 2),
            [&](FakePlatform&, const HttpPost&) {
                return ++posts == 1 ? HttpReply{HttpFailure::None, 200, ""}
                                    : HttpReply{HttpFailure::Broken, 0, ""};
            });
    ASSERT_EQ(run.p.MessageBoxes().size(), 1u);
    EXPECT_EQ(run.p.MessageBoxes()[0].text,
              kLead + "the connection broke off\r\n\r\nhttp://a/2" + kKeptNote);
    EXPECT_EQ(run.p.FileText(kJob), Job("http://a/r", Link("http://a/2"), 1));
}

// JDownloader holds the post open while it asks its user or crawls the links;
// however long that takes, its answer counts.
TEST(JDownloaderFlow, ALateAnswerIsWaitedFor) {
    const std::string job = Job("http://a/r", Link("http://a/1"));
    JdRun run(job, [](FakePlatform& p, const HttpPost&) {
        p.Sleep(20 * 60 * 1000);  // the user answered JDownloader's question after 20 minutes
        return HttpReply{HttpFailure::None, 200, ""};
    });
    EXPECT_TRUE(run.p.MessageBoxes().empty());
    EXPECT_FALSE(run.p.HasFile(kJob));
}

// The wait shows a window with Cancel after a few seconds. A wait that ends
// without an answer after the links went out may have delivered them.
TEST(JDownloaderFlow, AWaitEndedAfterThePostWentOutSaysJDownloaderMayHaveThem) {
    const std::string two = Job("http://a/r", Link("http://a/1", "", "k=1") + Link("http://a/2"), 2);
    const std::string mayHave =
        " after the links were sent: JDownloader may already have them, look there before "
        "sending them again";
    struct Case {
        const char* name;
        HttpReply reply;
        std::string reason;
    };
    const Case cases[] = {
        {"cancelled while connecting", {HttpFailure::Cancelled, 0, "", false}, "the wait was cancelled"},
        {"cancelled after sending", {HttpFailure::Cancelled, 0, "", true}, "the wait was cancelled" + mayHave},
        {"broken after sending", {HttpFailure::Broken, 0, "", true}, "the connection broke off" + mayHave},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JdRun run(two, [&](FakePlatform&, const HttpPost&) { return c.reply; });
        ASSERT_EQ(run.p.HttpPosts().size(), 1u);  // the second group is not sent
        const HttpPost& post = run.p.HttpPosts()[0];
        EXPECT_EQ(post.waitText, "Waiting for JDownloader at " + kAddress +
                                     " to take the links. It may be asking you about them in "
                                     "a window of its own.");
        EXPECT_EQ(post.waitWindowMs, 3000u);
        ASSERT_EQ(run.p.MessageBoxes().size(), 1u);
        EXPECT_EQ(run.p.MessageBoxes()[0].text,
                  kLead + c.reason + "\r\n\r\nhttp://a/1\r\nhttp://a/2" + kKeptNote);
        EXPECT_EQ(run.p.FileText(kJob), two);
    }
}

}  // namespace
}  // namespace zelko::testing
