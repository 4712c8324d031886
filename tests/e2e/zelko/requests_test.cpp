// Zelko.exe under Wine: each request form reaches FlashGot.exe (a recorder)
// with the job byte for byte, and the job file is gone afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/e2e/zelko/zelko_install.h"

namespace e2e {
namespace {

TEST(ZelkoRequests, UrlFormWithoutBrowserUsesTheSiteRoot) {
    ZelkoInstall z(false);
    RunResult r = z.Run({"http://files.example/dir/setup.exe"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{
                            UrlJob("FlashGet", "http://files.example/", "http://files.example/dir/setup.exe")});
    auto starts = z.Starts("FlashGot");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("commandLine"),
              "\"" + z.folder + "FlashGot.exe\" \"" + z.folder + "flashgot.fgt\"");
    EXPECT_EQ(starts[0].Get("show"), "0");
    EXPECT_EQ(starts[0].Get("currentFolder"), z.folder.substr(0, z.folder.size() - 1));
    EXPECT_TRUE(z.LeftJobs().empty());
}

TEST(ZelkoRequests, UrlFormAsksTheRunningBrowserForTheReferrer) {
    ZelkoInstall z(true);
    StubBrowser::Options o;
    o.folder = z.opera;
    o.url = "http://forum.example/thread?id=9";
    o.title = "Forum";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());
    RunResult r = z.Run({"www.files.example/a.zip"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{UrlJob("FlashGet", "http://forum.example/thread?id=9",
                                                         "http://www.files.example/a.zip")});
    EXPECT_TRUE(z.LeftJobs().empty());
}

TEST(ZelkoRequests, UrlFormTakesTheSelectionAsDescription) {
    ZelkoInstall z(true);
    z.main["Advanced"] = "1";
    StubBrowser::Options o;
    o.folder = z.opera;
    o.url = "http://page.example/";
    o.title = "Selection Page";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());
    std::string ini = WineBench::Get().HostPath(z.opera + "opera.ini");
    WriteHostFile(ini, ReadHostFile(ini).value_or("") + "Selection=Chosen%0D%0Atext\r\n");
    RunResult r = z.Run({"http://files.example/b.zip"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{UrlJob("FlashGet", "http://page.example/",
                                                         "http://files.example/b.zip", "Chosen text")});
}

TEST(ZelkoRequests, UrlFormWithReferrerAndDescriptionArguments) {
    ZelkoInstall z(false);
    RunResult r = z.RunExact("hxxp://files.example/c.zip \"http://ref.example/p q\" \"Big \xE9 file\"");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{UrlJob("FlashGet", "http://ref.example/p q",
                                                         "http://files.example/c.zip",
                                                         "Big \xC3\xA9 file")});
}

TEST(ZelkoRequests, JobFileFromTheBrowserIsHandedOnAndDeleted) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string job = z.root + "saved page\\request.zlk";
    std::filesystem::create_directories(bench.HostPath(z.root + "saved page"));
    const std::string text =
        "1;My_Download_Manager;2;;\r\nhttp://www.files.example/\r\nhttp://files.example/d.zip\r\n"
        "D \xC3\xA9\r\nsid=1\r\n\r\n";
    WriteHostFile(bench.HostPath(job), text);
    RunResult r = z.RunExact("\"" + job + "\"");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string expected = text;
    expected.replace(2, 19, "FlashGet");
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{expected});
    EXPECT_FALSE(HostFileExists(bench.HostPath(job)));
}

// The suffix table is made at build time and compiled into the exe: its
// wildcard, exception, private and Unicode rules work there as in the tests.
TEST(ZelkoRequests, JobCookiesStayWithThePagesSiteByTheBuiltInList) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string job = z.root + "cookies.zlk";
    auto link = [](const std::string& url, const std::string& cookies) {
        return url + "\r\nd\r\n" + cookies + "\r\n\r\n";
    };
    auto jobText = [&](const std::string& manager, const std::string& page, const std::string& links) {
        return "4;" + manager + ";2;;\r\n" + page + "\r\n" + links;
    };
    const std::string idnPage = "http://www.\xE9\xA3\x9F\xE7\x8B\xAE.\xE5\x85\xAC\xE5\x8F\xB8.cn/";
    WriteHostFile(bench.HostPath(job),
                  jobText("My_Download_Manager", idnPage,
                          link("http://dl.xn--85x722f.xn--55qx5d.cn/a.zip", "s=1") +
                              link("http://shishi.xn--55qx5d.cn/b.zip", "s=1") +
                              link("http://site-b.github.io/c.zip", "s=1") + link("http://a.b.test.ck/d.zip", "s=1")));
    ASSERT_EQ(z.Run({job}).exitCode, 0);
    // The page's name has no form in code page 1252: FlashGot.exe gets it percent-encoded.
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{jobText(
                            "FlashGet", "http://www.%E9%A3%9F%E7%8B%AE.%E5%85%AC%E5%8F%B8.cn/",
                            link("http://dl.xn--85x722f.xn--55qx5d.cn/a.zip", "s=1") +
                                link("http://shishi.xn--55qx5d.cn/b.zip", "") +
                                link("http://site-b.github.io/c.zip", "") + link("http://a.b.test.ck/d.zip", ""))});
}

TEST(ZelkoRequests, LinkCollectionOfASavedPage) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string page = z.root + "page.htm";
    WriteHostFile(bench.HostPath(page),
                  "<html><head><title>x</title></head><body>"
                  "<a href='/get/a.zip'> <b>A</b> &amp; B </a>"
                  "<A HREF=b.zip>B&nbsp;file</A><a href=\"mailto:x@y\">m</a>"
                  "<a href=\"http://other.example/c.zip\">C &copy;</a></body></html>");
    RunResult r = z.Run({page, "http://site.example/dir/page.htm", "DOWNLOAD", "LNK"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{
                            "3;FlashGet;2;;\r\nhttp://site.example/dir/page.htm\r\n"
                            "http://site.example/get/a.zip\r\nA & B\r\n\r\n\r\n"
                            "http://site.example/dir/b.zip\r\nB file\r\n\r\n\r\n"
                            "http://other.example/c.zip\r\nC \xC2\xA9\r\n\r\n\r\n"});
    EXPECT_TRUE(HostFileExists(bench.HostPath(page)));
    EXPECT_TRUE(z.LeftJobs().empty());
}

TEST(ZelkoRequests, LinkCollectionOfImagesOnALargePageWithAnUnclosedAnchor) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string page = z.root + "big.htm";
    std::string html = "<img src=\"/i/one.png\"><embed src=two.swf><a href=\"x\">";
    html.append(10 * 1024 * 1024, 'z');
    WriteHostFile(bench.HostPath(page), html);
    RunResult r = z.Run({page, "http://site.example/p/", "DOWNLOAD", "IMG"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{
                            "2;FlashGet;2;;\r\nhttp://site.example/p/\r\n"
                            "http://site.example/i/one.png\r\n\r\n\r\n\r\n"
                            "http://site.example/p/two.swf\r\n\r\n\r\n\r\n"});
}

// Pages of 100 MB, in ANSI and in UTF-16: every link is collected, in order.
TEST(ZelkoRequests, LinkCollectionOfAHundredMegabytePage) {
    for (const bool utf16 : {false, true}) {
        ZelkoInstall z(false);
        WineBench& bench = WineBench::Get();
        const std::string page = z.root + "huge.htm";
        const std::size_t characters = utf16 ? 50u << 20 : 100u << 20;
        const std::size_t every = 1u << 20;
        std::string html;
        html.reserve(characters);
        std::string expected;
        std::size_t links = 0;
        while (html.size() < characters) {
            std::string anchor = "<a href=\"/f/" + std::to_string(links) + ".zip\">F" + std::to_string(links) + "</a>";
            html += anchor;
            html.append(std::min(every, characters - html.size()), 'z');
            expected += "http://site.example/f/" + std::to_string(links) + ".zip\r\nF" + std::to_string(links) +
                        "\r\n\r\n\r\n";
            ++links;
        }
        if (utf16) {
            std::string wide = "\xFF\xFE";
            wide.reserve(2 * html.size() + 2);
            for (char c : html) wide.append({c, '\0'});
            html = std::move(wide);
        }
        WriteHostFile(bench.HostPath(page), html);
        html = std::string();
        RunResult r = z.Run({page, "http://site.example/p/", "DOWNLOAD", "LNK"}, 300);
        ASSERT_EQ(r.exitCode, 0) << utf16 << r.output;
        EXPECT_EQ(z.Jobs(), std::vector<std::string>{std::to_string(links) +
                                                     ";FlashGet;2;;\r\nhttp://site.example/p/\r\n" + expected})
            << "utf16 " << utf16;
        std::filesystem::remove(bench.HostPath(page));
    }
}

TEST(ZelkoRequests, MissingJobFileShowsTheBoxAndDeletesNothing) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string seen = z.root + "box.txt";
    Background clicker = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko Error", seen, "1", "90000"});
    const std::string missing = z.root + "no such.zlk";
    RunResult r = z.RunExact("\"" + missing + "\"");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(clicker.Wait(60000).has_value());
    auto records = ReadRecords(bench.HostPath(seen));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Get("found"), "1");
    EXPECT_EQ(records[0].Get("text"), "Not exist file \"" + missing + "\"");
    EXPECT_TRUE(z.Starts("FlashGot").empty());
    EXPECT_TRUE(HostFileExists(bench.HostPath(z.folder + "FlashGot.exe")));
}

// A job file of exactly 1,000,000 bytes is handed on whole; a sparse one of
// 1 GB shows the box without being read, and stays.
TEST(ZelkoRequests, JobFileAtTheSizeLimitAndFarBeyondIt) {
    struct Case {
        const char* name;
        std::uintmax_t bytes;
        bool accepted;
    } cases[] = {
        {"exactly 1,000,000 bytes", 1000000, true},
        {"1 GB, sparse", std::uintmax_t(1) << 30, false},
    };
    for (const Case& c : cases) {
        ZelkoInstall z(false);
        WineBench& bench = WineBench::Get();
        const std::string job = z.root + "big.zlk";
        const std::string head =
            "1;My_Download_Manager;2;;\r\nhttp://page.example/\r\nhttp://files.example/big.zip\r\nD\r\n\r\n\r\n";
        WriteHostFile(bench.HostPath(job), head);
        std::filesystem::resize_file(bench.HostPath(job), c.bytes);  // zero bytes: a long last line
        const std::string seen = z.root + "box.txt";
        Background clicker;
        if (!c.accepted)
            clicker = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko Error", seen, "1", "90000"});
        RunResult r = z.RunExact("\"" + job + "\"");
        ASSERT_EQ(r.exitCode, 0) << c.name << r.output;
        if (c.accepted) {
            const std::vector<std::string> jobs = z.Jobs();
            ASSERT_EQ(jobs.size(), 1u) << c.name;
            // The manager's name in the header, and the last line ended as every line is.
            EXPECT_EQ(jobs[0].size(), c.bytes - std::string("My_Download_Manager").size() +
                                          std::string("FlashGet").size() + 2)
                << c.name;
            EXPECT_EQ(jobs[0].substr(0, 14), "1;FlashGet;2;;") << c.name;
            EXPECT_FALSE(HostFileExists(bench.HostPath(job))) << c.name;
            continue;
        }
        ASSERT_TRUE(clicker.Wait(60000).has_value()) << c.name;
        auto records = ReadRecords(bench.HostPath(seen));
        ASSERT_EQ(records.size(), 1u) << c.name;
        EXPECT_EQ(records[0].Get("text"), "Not exist file \"" + job + "\"") << c.name;
        EXPECT_TRUE(z.Starts("FlashGot").empty()) << c.name;
        EXPECT_EQ(std::filesystem::file_size(bench.HostPath(job)), c.bytes) << c.name;
        std::filesystem::remove(bench.HostPath(job));
    }
}

TEST(ZelkoRequests, FirstRunDetectsTheManagers) {
    ZelkoInstall z(false, "FlashGot 1.0%0D%0AGetRight|OK%0D%0AReGet%0D%0AFlashGet|OK%0D%0A");
    z.main.erase("DM");
    RunResult r = z.Run({"http://files.example/e.zip"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto starts = z.Starts("FlashGot");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].Get("commandLine"),
              "\"" + z.folder + "FlashGot.exe\"  -o \"" + z.folder + "FlashGot.test\"");
    EXPECT_EQ(z.IniValue("DM"), "FlashGet");
    EXPECT_EQ(z.IniValue("AllDM"), "GetRight;FlashGet;");
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{
                            UrlJob("FlashGet", "http://files.example/", "http://files.example/e.zip")});
}

TEST(ZelkoRequests, TwentyRequestsAtOnceDeliverTwentyJobs) {
    ZelkoInstall z(false);
    z.WriteIni();
    WineBench& bench = WineBench::Get();
    std::vector<Background> runs;
    std::set<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        std::string url = "http://files.example/parallel/" + std::to_string(i) + ".zip";
        expected.insert(UrlJob("FlashGet", "http://files.example/", url));
        runs.push_back(bench.Start({z.exe, url}));
    }
    for (Background& run : runs) ASSERT_TRUE(run.Wait(240000).has_value());
    std::vector<std::string> jobs = z.Jobs();
    EXPECT_EQ(jobs.size(), 20u);
    EXPECT_EQ(std::set<std::string>(jobs.begin(), jobs.end()), expected);
    EXPECT_EQ(z.Starts("FlashGot").size(), 20u);
    EXPECT_TRUE(z.LeftJobs().empty());
}

}  // namespace
}  // namespace e2e
