// Zelko.exe under Wine handing jobs to the JDownloader stand-in on loopback
// (every request form, cookie groups, hostile values, a stopped
// JDownloader), and finding a running JDownloader and aria2 by itself.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/e2e/zelko/network_services.h"

namespace e2e {
namespace {

using namespace services;

class ZelkoJDownloader : public ::testing::Test {
protected:
    ZelkoInstall z{false};
    std::string host = WineBench::Get().HostPath(z.root);
    JDownloader jd{host + "jd"};

    void SetUp() override {
        ASSERT_GT(jd.port, 0);
        z.main["CustomDM"] = jd.Address();
        z.main["CustomDMEnabled"] = "1";
    }
};

// One process of the stand-in for every request form.
TEST_F(ZelkoJDownloader, EveryRequestFormArrivesWithItsFields) {
    const std::string page = "http://127.0.0.1:1/forum?t=1";
    // A URL request.
    RunResult r = z.Run({"http://127.0.0.1:1/setup.exe", page});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // A Ctrl+click job with cookies and hostile values.
    const std::string hostile = "a&urls=http://evil/&b=c \"'\xC3(";
    const std::string job = WriteJob(z, "1;My_Download_Manager;2;;\r\n" + page + "\r\nhttp://127.0.0.1:1/clip.bin?x=1&y=2\r\n" +
                                     hostile + "\r\nsid=1; k=\"a&b=c\"\r\n\r\n");
    r = z.Run({job});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // 200 links of a page in two cookie groups.
    std::string links;
    for (int i = 0; i < 200; ++i)
        links += "http://127.0.0.1:1/p" + std::to_string(i) + ".bin\r\nPart " + std::to_string(i) +
                 "\r\n" + (i % 2 ? "g=odd" : "g=even") + "\r\n\r\n";
    r = z.Run({WriteJob(z, "200;My_Download_Manager;2;;\r\n" + page + "\r\n" + links)});
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const std::vector<JdPost> posts = jd.Posts();
    ASSERT_EQ(posts.size(), 4u);
    for (const JdPost& p : posts) {
        EXPECT_EQ(p.status, 200);
        EXPECT_EQ(p.path, "/flashgot");
        EXPECT_EQ(p.referer, "http://localhost:9666/flashgot");
        EXPECT_EQ(p.type, "application/x-www-form-urlencoded");
        EXPECT_EQ(p.fields.size(), 7u);  // nothing a page sent added a field
        EXPECT_EQ(p.Field("referer"), page);
        EXPECT_EQ(p.Field("source"), page);
        EXPECT_EQ(p.Field("autostart"), "1");
    }
    EXPECT_EQ(posts[0].Field("urls"), "http://127.0.0.1:1/setup.exe");
    EXPECT_EQ(posts[0].Field("cookies"), "");
    EXPECT_EQ(posts[1].Field("urls"), "http://127.0.0.1:1/clip.bin?x=1&y=2");
    EXPECT_EQ(posts[1].Field("descriptions"), "a&urls=http://evil/&b=c \"'\xEF\xBF\xBD(");
    EXPECT_EQ(posts[1].Field("cookies"), "sid=1; k=\"a&b=c\"");
    for (int group = 0; group < 2; ++group) {
        const JdPost& p = posts[2 + group];
        EXPECT_EQ(p.Field("cookies"), group ? "g=odd" : "g=even");
        std::string urls, descriptions;
        for (int i = group; i < 200; i += 2) {
            urls += (urls.empty() ? "" : "\n") + ("http://127.0.0.1:1/p" + std::to_string(i) + ".bin");
            descriptions += (i == group ? "" : "\n") + ("Part " + std::to_string(i));
        }
        EXPECT_EQ(p.Field("urls"), urls);
        EXPECT_EQ(p.Field("descriptions"), descriptions);
    }
    EXPECT_TRUE(z.LeftJobs().empty());
    EXPECT_FALSE(HostFileExists(WineBench::Get().HostPath(job)));
}

TEST_F(ZelkoJDownloader, StoppedJDownloaderShowsABoxAndKeepsTheJob) {
    jd.Stop();
    const std::string job = WriteJob(z, "1;My_Download_Manager;2;;\r\nhttp://127.0.0.1:1/p\r\n"
                                     "http://127.0.0.1:1/a.bin\r\nA\r\n\r\n\r\n");
    EXPECT_EQ(RunForBox(z, {job}), "JDownloader at " + jd.Address() +
                                    " did not take these links: no connection (is JDownloader running?)"
                                    "\r\n\r\nhttp://127.0.0.1:1/a.bin" + KeptNote(z, job));
    EXPECT_TRUE(HostFileExists(WineBench::Get().HostPath(job)));
}

// JDownloader holds the post open while it asks its user. Zelko waits with a
// window that offers Cancel, takes an answer however late it comes, and after
// a Cancel says that JDownloader may already have the links.
TEST_F(ZelkoJDownloader, AHeldPostIsWaitedForAndCancelSaysItMayHaveThem) {
    WineBench& bench = WineBench::Get();
    const std::string hold = jd.log + ".hold";
    const std::string waiting = "Waiting for JDownloader at " + jd.Address() +
                                " to take the links. It may be asking you about them in a window of "
                                "its own.";
    WriteHostFile(hold, "");
    const std::string taken = WriteJob(z, "1;My_Download_Manager;2;;\r\nhttp://127.0.0.1:1/p\r\n"
                                       "http://127.0.0.1:1/a.bin\r\nA\r\n\r\n\r\n");
    const std::string seen = z.root + "wait.txt";
    Background watcher = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko", seen, "0", "90000"});
    z.WriteIni();
    Background zelko = bench.Start({z.exe, taken});
    ASSERT_TRUE(watcher.Wait(120000).has_value());
    const auto window = ReadRecords(bench.HostPath(seen));
    ASSERT_EQ(window.size(), 1u);
    EXPECT_EQ(window[0].Get("found"), "1");
    EXPECT_EQ(window[0].Get("text"), waiting);
    fs::remove(hold);  // the user said yes in JDownloader
    ASSERT_TRUE(zelko.Wait(60000).has_value());
    EXPECT_FALSE(HostFileExists(bench.HostPath(taken)));  // taken, no box

    WriteHostFile(hold, "");
    const std::string cancelled = WriteJob(z, "1;My_Download_Manager;2;;\r\nhttp://127.0.0.1:1/p\r\n"
                                           "http://127.0.0.1:1/b.bin\r\nB\r\n\r\n\r\n");
    Background cancel = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko", seen, "2", "90000"});
    EXPECT_EQ(RunForBox(z, {cancelled}),
              "JDownloader at " + jd.Address() +
                  " did not take these links: the wait was cancelled after the links were sent: "
                  "JDownloader may already have them, look there before sending them again"
                  "\r\n\r\nhttp://127.0.0.1:1/b.bin" + KeptNote(z, cancelled));
    fs::remove(hold);
    EXPECT_EQ(jd.Posts().size(), 2u);
}

// First run: FlashGot.exe finds no manager, a JDownloader and an aria2 run on
// their usual ports; Zelko takes JDownloader and offers both.
TEST(ZelkoDetection, FindsWhatRunsAndCostsNoWaitWhenNothingDoes) {
    const auto runSeconds = [](ZelkoInstall& z) {
        z.main.erase("DM");
        z.WriteIni();
        const auto start = std::chrono::steady_clock::now();
        RunResult r = z.Run({"http://127.0.0.1:1/a.bin", "http://127.0.0.1:1/"});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const std::string none = "FlashGot 1.0%0D%0A";
    double quiet = 0, known = 0;
    // Nothing found and nothing running: the request says so in a box. The
    // same box without a first run is the yardstick, so only detection counts.
    const auto boxedSeconds = [&](ZelkoInstall& z) {
        WineBench& bench = WineBench::Get();
        const std::string seen = z.root + "box.txt";
        Background clicker =
            bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko Error", seen, "1", "60000"});
        const auto start = std::chrono::steady_clock::now();
        RunResult r = z.Run({"http://127.0.0.1:1/a.bin", "http://127.0.0.1:1/"});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(r.exitCode, 0) << r.output;
        clicker.Wait(90000);
        const auto box = ReadRecords(bench.HostPath(seen));
        EXPECT_TRUE(!box.empty() &&
                    box[0].Get("text").rfind("No download manager is chosen", 0) == 0);
        return seconds;
    };
    {
        ZelkoInstall z(false, none);
        z.main.erase("DM");
        z.WriteIni();
        quiet = boxedSeconds(z);
        EXPECT_EQ(z.IniValue("CustomDM"), "<none>");
        ZelkoInstall again(false, none);
        again.main["DM"] = "No";
        again.WriteIni();
        known = boxedSeconds(again);
    }
    EXPECT_LT(quiet - known, 1.0) << "a first run with nothing listening took " << quiet << " s";

    ZelkoInstall z(false, none);
    const std::string host = WineBench::Get().HostPath(z.root);
    JDownloader jd(host + "jd", 9666);
    ASSERT_EQ(jd.port, 9666);
    Aria2 aria2(host + "aria2", 6800);
    ASSERT_TRUE(aria2.ready());
    runSeconds(z);
    EXPECT_EQ(z.IniValue("CustomDM"), "http://127.0.0.1:9666/flashgot");
    EXPECT_EQ(z.IniValue("CustomDMEnabled"), "1");
    const std::vector<JdPost> posts = jd.Posts();
    ASSERT_EQ(posts.size(), 1u);  // and the request went there
    EXPECT_EQ(posts[0].Field("urls"), "http://127.0.0.1:1/a.bin");

    jd.Stop();  // aria2 alone
    ZelkoInstall second(false, none);
    second.main["Aria2Secret"] = kSecret;
    runSeconds(second);
    EXPECT_EQ(second.IniValue("CustomDM"), "http://127.0.0.1:6800/jsonrpc");
    EXPECT_EQ(aria2.Held(), 1u);
    EXPECT_TRUE(aria2.Shutdown());
}

}  // namespace
}  // namespace e2e
