// The browser stand-in under Wine, met the way the programs meet the browser:
// its main window found as FindBrowserWindow finds it, the page view reached
// through the class chain, its DDE reply, and its Run flag.
#include <gtest/gtest.h>

#include "tests/e2e/support/standins.h"

namespace e2e {
namespace {

std::string HostIni(const std::string& windowsPath) {
    return ReadHostFile(WineBench::Get().HostPath(windowsPath)).value_or("<missing>");
}

TEST(BrowserStandIn, IsFoundWithItsPageViewChainAndPaintedView) {
    StubBrowser::Options o;
    o.folder = WineBench::Get().TestFolder() + "Opera\\";
    o.title = "Quarterly Report";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());

    Record req;
    req.Set("verb", "findbrowser");
    Record found = RunProbe(o.folder, req);
    ASSERT_EQ(found.Get("found"), "1") << found.Get("output");
    EXPECT_EQ(found.Get("text"), "Quarterly Report - Opera");
    EXPECT_EQ(found.Get("class"), "OpWindow");
    EXPECT_EQ(found.Get("visible"), "1");
    EXPECT_EQ(found.Get("pageTitle"), "Quarterly Report");
    EXPECT_EQ(found.Get("pageFound"), "1");
    EXPECT_EQ(found.Get("pageClass"), "OperaWindowClass");
    EXPECT_EQ(found.Get("chain"), "OperaWindowClass>OpWindow>OperaWindowClass>OperaWindowClass");
    ASSERT_EQ(found.Get("pageViewFound"), "1");

    // The page view paints four quadrants; the capture has to see them.
    EXPECT_GT(std::stoi(found.Get("capture.width", "0")), 100);
    EXPECT_GT(std::stoi(found.Get("capture.height", "0")), 100);
    EXPECT_EQ(found.Get("capture.topLeft"), "255,0,0");
    EXPECT_EQ(found.Get("capture.topRight"), "0,255,0");
    EXPECT_EQ(found.Get("capture.bottomLeft"), "0,0,255");
    EXPECT_EQ(found.Get("capture.bottomRight"), "255,255,0");
}

TEST(BrowserStandIn, AnswersWindowInfoAndLogsOpenUrlOverDde) {
    StubBrowser::Options o;
    o.folder = WineBench::Get().TestFolder() + "Opera\\";
    o.title = "News, \"quoted\" & more";
    o.url = "http://news.example/today?id=7";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());

    Record info;
    info.Set("verb", "dde");
    Record reply = RunProbe(o.folder, info);
    ASSERT_EQ(reply.Get("answered"), "1") << reply.Get("output");
    EXPECT_EQ(reply.Get("reply"), "\"http://news.example/today?id=7\",\"News, \"quoted\" & more\"");
    EXPECT_EQ(reply.Get("address"), "http://news.example/today?id=7");

    Record open;
    open.Set("verb", "dde");
    open.Set("topic", "WWW_OpenURL");
    open.Set("item", "http://other.example/ -newpage");
    EXPECT_EQ(RunProbe(o.folder, open).Get("answered"), "1");
    auto logged = WaitForRecord(browser.LogHostPath(), "dde", 10000, [](const Record& r) {
        return r.Get("topic") == "WWW_OpenURL";
    });
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->Get("item"), "http://other.example/ -newpage");
}

TEST(BrowserStandIn, NoDdeReplyWithoutBrowser) {
    std::string folder = WineBench::Get().TestFolder();
    Record info;
    info.Set("verb", "dde");
    Record reply = RunProbe(folder, info);
    ASSERT_FALSE(reply.Has("failed")) << reply.Get("output");
    EXPECT_EQ(reply.Get("answered"), "0");
    EXPECT_LT(std::stoi(reply.Get("elapsedMs", "99999")), 10000);

    Record find;
    find.Set("verb", "findbrowser");
    EXPECT_EQ(RunProbe(folder, find).Get("found"), "0");
}

TEST(BrowserStandIn, SetsRunFlagWhileRunningAndClearsItAfterClose) {
    StubBrowser::Options o;
    o.folder = WineBench::Get().TestFolder() + "Opera\\";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());
    EXPECT_NE(HostIni(browser.ProfileIni()).find("[State]\r\nRun=1"), std::string::npos)
        << HostIni(browser.ProfileIni());

    ASSERT_TRUE(browser.Close());
    EXPECT_NE(HostIni(browser.ProfileIni()).find("[State]\r\nRun=0"), std::string::npos)
        << HostIni(browser.ProfileIni());
    EXPECT_EQ(RecordsOfKind(browser.LogHostPath(), "close").size(), 1u);
    EXPECT_EQ(RecordsOfKind(browser.LogHostPath(), "exit").size(), 1u);
}

TEST(BrowserStandIn, LeavesProfileAloneWhenAskedAndLogsHowItStarted) {
    StubBrowser::Options o;
    o.folder = WineBench::Get().TestFolder() + "Opera\\";
    o.exeName = "opkernel.exe";
    o.runFlag = false;
    o.args = {"/settings", "C:\\Some Folder\\x.ini", "http://a.example/"};
    o.env = {{"OperaDirUtf", "C:\\Portable\\Opera"}};
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());

    auto start = RecordsOfKind(browser.LogHostPath(), "start");
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].Get("program"), "opkernel");
    EXPECT_NE(start[0].Get("commandLine").find("opkernel.exe"), std::string::npos);
    EXPECT_NE(start[0].Get("commandLine").find("\"C:\\Some Folder\\x.ini\" http://a.example/"),
              std::string::npos)
        << start[0].Get("commandLine");
    EXPECT_EQ(start[0].Get("env.OperaDirUtf"), "C:\\Portable\\Opera");
    EXPECT_TRUE(start[0].Has("env.PATH"));
    EXPECT_FALSE(start[0].Get("currentFolder").empty());
    EXPECT_EQ(start[0].Get("show"), "default");

    ASSERT_TRUE(browser.Close());
    EXPECT_FALSE(HostFileExists(WineBench::Get().HostPath(browser.ProfileIni())));
}

}  // namespace
}  // namespace e2e
