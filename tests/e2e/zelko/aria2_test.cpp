// Zelko.exe under Wine handing jobs to a real aria2 (Debian's aria2c, RPC on
// loopback) that fetches from a loopback file server of the test's own: what
// the server saw, what aria2 reports, the files whole; and the boxes when
// aria2 does not take a job.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "common/json.h"
#include "tests/e2e/zelko/network_services.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using common::JsonValue;
using namespace services;

struct Seen {
    std::string path, referer, cookie;
};

class FileServer {
public:
    std::string folder, log, out;
    int port = 0;

    explicit FileServer(const std::string& root) : folder(root + "/files"), log(root + "/seen.log"),
                                                   out(root + "/server.out") {
        fs::create_directories(folder);
        process_ = StartHostProgram(
            {"python3", std::string(OC_SOURCE_DIR) + "/tests/e2e/zelko/file_server.py", folder, log}, out);
        WaitUntil([&] { return ReadHostFile(out).value_or("").find('\n') != std::string::npos; }, 30000);
        port = std::atoi(ReadHostFile(out).value_or("0").c_str());
    }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + name;
    }
    // A file of its own size and bytes, to be served.
    std::string Add(const std::string& name, std::size_t size) {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + name.size() * 7) % 251);
        WriteHostFile(folder + "/" + name, data);
        return data;
    }
    std::vector<Seen> Requests() const {
        std::vector<Seen> seen;
        std::istringstream lines(ReadHostFile(log).value_or(""));
        for (std::string line; std::getline(lines, line);) {
            auto json = common::ParseJson(line);
            if (!json) continue;
            Seen s;
            auto text = [&](const char* key) {
                const JsonValue* v = json->Member(key);
                return v && v->Is(JsonValue::Kind::String) ? v->text : std::string();
            };
            s.path = text("path");
            s.referer = text("referer");
            s.cookie = text("cookie");
            seen.push_back(s);
        }
        return seen;
    }

private:
    Background process_;
};

class ZelkoAria2 : public ::testing::Test {
protected:
    ZelkoInstall z{false};
    std::string host = WineBench::Get().HostPath(z.root);
    FileServer server{host + "server"};
    Aria2 aria2{host + "downloads"};

    void SetUp() override {
        ASSERT_GT(server.port, 0);
        ASSERT_TRUE(aria2.ready());
        Point(aria2.port, kSecret);
    }
    void Point(int port, const std::string& secret) {
        z.main["CustomDM"] = "http://127.0.0.1:" + std::to_string(port) + "/jsonrpc";
        z.main["CustomDMEnabled"] = "1";
        z.main["Aria2Secret"] = secret;
    }
    void ExpectWhole(const Download& d, const std::string& data) {
        EXPECT_EQ(d.status, "complete") << d.errorMessage;
        EXPECT_EQ(d.length, data.size());
        EXPECT_EQ(ReadHostFile(d.path), data) << d.path;
        EXPECT_EQ(fs::path(d.path).parent_path(), fs::path(aria2.dir));
    }
};

TEST_F(ZelkoAria2, UrlRequestIsFetchedWithThePageAsReferrer) {
    const std::string data = server.Add("setup.bin", 300000);
    RunResult r = z.Run({server.Url("setup.bin"), server.Url("page.html")});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto done = aria2.Finished(1);
    ASSERT_EQ(done.size(), 1u);
    ExpectWhole(done[0], data);
    auto seen = server.Requests();
    ASSERT_FALSE(seen.empty());
    for (const Seen& s : seen) {
        EXPECT_EQ(s.path, "/setup.bin");
        EXPECT_EQ(s.referer, server.Url("page.html"));
        EXPECT_EQ(s.cookie, "");
    }
    EXPECT_TRUE(z.LeftJobs().empty());
}

TEST_F(ZelkoAria2, CtrlClickJobCarriesItsCookies) {
    const std::string data = server.Add("clip.bin", 70000);
    const std::string job = WriteJob(z, "1;My_Download_Manager;2;;\r\n" + server.Url("forum?t=1") + "\r\n" +
                                     server.Url("clip.bin") + "\r\nThe clip\r\nsid=abc; theme=dark\r\n\r\n");
    RunResult r = z.Run({job});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto done = aria2.Finished(1);
    ASSERT_EQ(done.size(), 1u);
    ExpectWhole(done[0], data);
    auto seen = server.Requests();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].referer, server.Url("forum?t=1"));
    EXPECT_EQ(seen[0].cookie, "sid=abc; theme=dark");
    EXPECT_FALSE(HostFileExists(WineBench::Get().HostPath(job)));
}

TEST_F(ZelkoAria2, AllLinksOfASavedPageInOneRequest) {
    std::string page = "<html><body>";
    std::map<std::string, std::string> files;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "part" + std::to_string(i) + ".bin";
        files[name] = server.Add(name, 1000 + 37 * static_cast<std::size_t>(i));
        page += "<a href=\"" + server.Url(name) + "\">Part " + std::to_string(i) + "</a>\n";
    }
    page += "</body></html>";
    const std::string pageFile = z.root + "page.html";
    WriteHostFile(WineBench::Get().HostPath(pageFile), page);
    RunResult r = z.Run({pageFile, server.Url("list.html"), "DOWNLOAD", "LNK"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto done = aria2.Finished(200);
    ASSERT_EQ(done.size(), 200u);
    std::set<std::string> got;
    for (const Download& d : done) {
        const std::string name = fs::path(d.path).filename().string();
        ASSERT_TRUE(files.count(name)) << d.path;
        ExpectWhole(d, files[name]);
        got.insert(name);
    }
    EXPECT_EQ(got.size(), 200u);
    for (const Seen& s : server.Requests()) EXPECT_EQ(s.referer, server.Url("list.html")) << s.path;
    EXPECT_TRUE(z.LeftJobs().empty());
}

// aria2 reads no request over 2 MB: 3,000 links of a page with a 1.5 KB
// address go in several requests, all of them taken (held paused).
TEST_F(ZelkoAria2, BigJobArrivesWhole) {
    Aria2 paused(host + "paused", FreePort(), {"--pause=true"});
    ASSERT_TRUE(paused.ready());
    Point(paused.port, kSecret);
    std::string page = "<html><body>";
    for (int i = 0; i < 3000; ++i)
        page += "<a href=\"http://127.0.0.1:9/f" + std::to_string(i) + ".bin\">" + std::to_string(i) + "</a>\n";
    const std::string pageFile = z.root + "big.html";
    WriteHostFile(WineBench::Get().HostPath(pageFile), page + "</body></html>");
    RunResult r = z.Run({pageFile, server.Url("list?" + std::string(1500, 'q')), "DOWNLOAD", "LNK"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(paused.Held(), 3000u);
    EXPECT_TRUE(z.LeftJobs().empty());
    EXPECT_TRUE(paused.Shutdown());
}

TEST_F(ZelkoAria2, LinkThatTriesToAddAnOptionStaysOneLink) {
    const std::string data = server.Add("q.bin", 5000);
    const std::string url = server.Url("q.bin") + "?a=\",\"dir\":\"C:\\\\\"&b=\\x";
    const std::string job = WriteJob(z, "1;My_Download_Manager;2;;\r\n" + server.Url("p") + "\r\n" + url +
                                     "\r\n\"quoted\" \\ text\r\nk=\"v\\\"\r\n\r\n");
    RunResult r = z.Run({job});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto done = aria2.Finished(1);
    ASSERT_EQ(done.size(), 1u);
    ExpectWhole(done[0], data);  // in aria2's own folder, not C:\ .
    auto seen = server.Requests();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].path.substr(0, 7), "/q.bin?");
    EXPECT_EQ(seen[0].cookie, "k=\"v\\\"");
}

TEST_F(ZelkoAria2, WrongSecretShowsAriasOwnText) {
    server.Add("a.bin", 100);
    Point(aria2.port, "not-the-secret");
    const std::string job = WriteJob(z, "1;My_Download_Manager;2;;\r\n" + server.Url("p") + "\r\n" +
                                     server.Url("a.bin") + "\r\n\r\n\r\n\r\n");
    EXPECT_EQ(RunForBox(z, {job}), "aria2 at " + z.main["CustomDM"] +
                                    " did not take these links: Unauthorized\r\n\r\n" + server.Url("a.bin") +
                                    KeptNote(z, job));
    EXPECT_TRUE(HostFileExists(WineBench::Get().HostPath(job)));  // kept
    EXPECT_TRUE(aria2.Stopped().empty());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ZelkoAria2, StoppedAriaShowsABox) {
    Aria2 stopped(host + "stopped");
    ASSERT_TRUE(stopped.ready());
    ASSERT_TRUE(stopped.Shutdown());
    Point(stopped.port, kSecret);
    const std::string text = RunForBox(z, {server.Url("a.bin"), server.Url("p")});
    EXPECT_EQ(text, "aria2 at " + z.main["CustomDM"] +
                        " did not take these links: no connection (is aria2 running with "
                        "--enable-rpc?)\r\n\r\n" + server.Url("a.bin") +
                        KeptNote(z, z.folder + "flashgot.fgt"));
    EXPECT_EQ(z.LeftJobs().size(), 1u);
}

TEST_F(ZelkoAria2, SilentEndpointTimesOut) {
    // Takes connections (the system's backlog) and never answers.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(s, 8), 0);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    Point(ntohs(a.sin_port), kSecret);
    const auto start = std::chrono::steady_clock::now();
    const std::string text = RunForBox(z, {server.Url("a.bin"), server.Url("p")});
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - start).count();
    close(s);
    EXPECT_EQ(text, "aria2 at " + z.main["CustomDM"] +
                        " did not take these links: no answer within 5 seconds\r\n\r\n" + server.Url("a.bin") +
                        KeptNote(z, z.folder + "flashgot.fgt"));
    EXPECT_LT(seconds, 40);
}

// aria2 on its own port with a secret, Zelko.ini without one: the first run
// finds it all the same, the first request's box says where the secret goes,
// and with it there the job is taken.
TEST(ZelkoAria2Detection, AriaWithASecretIsFoundAndItsBoxSaysWhereTheSecretGoes) {
    ZelkoInstall z(false, "FlashGot 1.0%0D%0A");
    const std::string host = WineBench::Get().HostPath(z.root);
    Aria2 aria2(host + "aria2", 6800, {"--pause=true"});
    ASSERT_TRUE(aria2.ready());
    z.main.erase("DM");
    const std::string text = RunForBox(z, {"http://127.0.0.1:1/a.bin", "http://127.0.0.1:1/"});
    EXPECT_EQ(z.IniValue("CustomDM"), "http://127.0.0.1:6800/jsonrpc");
    EXPECT_EQ(z.IniValue("CustomDMEnabled"), "1");
    EXPECT_EQ(text, "aria2 at http://127.0.0.1:6800/jsonrpc did not take these links: Unauthorized\r\n"
                    "This aria2 has a secret (its --rpc-secret): put it into \"" + z.folder +
                        "Zelko.ini\", section [Main], as Aria2Secret=<the secret>.\r\n\r\n"
                        "http://127.0.0.1:1/a.bin\r\n\r\nThese links are kept in the job file \"" +
                        z.folder + "flashgot.fgt\". To send them again, run:\r\n\"" + z.exe + "\" \"" +
                        z.folder + "flashgot.fgt\"");
    EXPECT_EQ(aria2.Held(), 0u);

    z.main = {{"DM", "No"}, {"Advanced", "0"}, {"CustomDM", "http://127.0.0.1:6800/jsonrpc"},
              {"CustomDMEnabled", "1"}, {"Aria2Secret", kSecret}};
    const std::vector<std::string> kept = z.LeftJobs();
    ASSERT_EQ(kept.size(), 1u);
    RunResult r = z.Run({z.folder + kept[0]});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(aria2.Held(), 1u);
    EXPECT_TRUE(z.LeftJobs().empty());
    EXPECT_TRUE(aria2.Shutdown());
}

}  // namespace
}  // namespace e2e
