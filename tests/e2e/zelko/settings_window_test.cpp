// Zelko.exe without arguments under Wine: the settings window, one at a time,
// OK and Cancel written to Zelko.ini, and the catch-mode box installing into
// the stand-in browser's profile around its restart.
#include <gtest/gtest.h>

#include "tests/e2e/zelko/settings_window_e2e.h"

namespace e2e {
namespace {

constexpr int kOk = 1, kCancel = 2, kFirstManager = 100, kCustomLabel = 201,
              kTemplateEdit = 203, kCatchModeBox = 207;
constexpr int kReGet = kFirstManager + 19;

std::string ReadOr(const std::string& hostPath) { return ReadHostFile(hostPath).value_or("<missing>"); }


TEST(ZelkoSettingsWindow, ShowsOnceAndWritesZelkoIniOnOkOnly) {
    ZelkoInstall z(false);
    z.main["AllDM"] = "FlashGet;ReGet;";
    z.WriteIni();
    WineBench& bench = WineBench::Get();
    Background zelko = bench.Start({z.exe});
    ASSERT_TRUE(WaitForWindow(z));
    Record s = WindowState(z);
    EXPECT_EQ(s.Get("text"), " Zelko 2.5");
    // Wine's own Tahoma: every caption whole in the listed width.
    EXPECT_EQ(s.Get("face"), "Tahoma");
    EXPECT_EQ(CutCaptions(s, "c"), "");
    // Wider than listed only as far as "Internet Download Accelerator" needs.
    EXPECT_GE(std::stoi(s.Get("clientWidth")), 177);
    EXPECT_LE(std::stoi(s.Get("clientWidth")), 177 + 20);
    EXPECT_EQ(s.Get("clientHeight"), "627");
    EXPECT_EQ(s.Get("toolWindow"), "1");
    EXPECT_EQ(s.Get("topmost"), "1");
    EXPECT_EQ(s.Get("sizable"), "0");  // no sizing frame, no maximise box
    EXPECT_EQ(s.Get("focus"), "1");
    EXPECT_EQ(s.Get("c1.text"), "OK");
    EXPECT_EQ(s.Get("c206.text"), "Refresh");
    EXPECT_EQ(s.Get("c201.text"), "Custom download manager");
    EXPECT_EQ(s.Get("c203.visible"), "0");
    EXPECT_EQ(s.Get("c207.visible"), "0");  // no opera.dll: no catch modes
    EXPECT_EQ(s.Get("c119.text"), "ReGet");
    EXPECT_EQ(s.Get("c119.enabled"), "1");
    EXPECT_EQ(s.Get("c103.check"), "1");
    EXPECT_EQ(s.Get("c100.enabled"), "0");
    // The panel colour behind check boxes and radio buttons.
    EXPECT_EQ(s.Get("c119.edge"), "242,244,251");
    EXPECT_EQ(s.Get("c205.edge"), "242,244,251");

    auto started = std::chrono::steady_clock::now();
    RunResult second = bench.Run({z.exe}, 60);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_TRUE(zelko.Running());

    // Cancel and Esc drop the choice; OK and Enter write it.
    const std::string iniPath = bench.HostPath(z.folder + "Zelko.ini");
    const std::string before = ReadOr(iniPath);
    PostToWindow(z, "click", kReGet);
    ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c119.check") == "1"; }, 20000, 200));
    PostToWindow(z, "click", kCancel);
    ASSERT_TRUE(zelko.Wait(30000).has_value());
    EXPECT_EQ(ReadOr(iniPath), before);

    Background escaped = bench.Start({z.exe});
    ASSERT_TRUE(WaitForWindow(z));
    PostToWindow(z, "click", kReGet);
    ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c119.check") == "1"; }, 20000, 200));
    PostToWindow(z, "key", kReGet, "27");  // Esc
    ASSERT_TRUE(escaped.Wait(30000).has_value());
    EXPECT_EQ(ReadOr(iniPath), before);

    Background entered = bench.Start({z.exe});
    ASSERT_TRUE(WaitForWindow(z));
    PostToWindow(z, "click", kReGet);
    ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c119.check") == "1"; }, 20000, 200));
    PostToWindow(z, "key", kReGet, "13");  // Enter
    ASSERT_TRUE(entered.Wait(30000).has_value());
    EXPECT_EQ(IniValueOf(ReadOr(iniPath), "DM"), "ReGet");

    z.WriteIni();
    Background again = bench.Start({z.exe});
    ASSERT_TRUE(WaitForWindow(z));
    PostToWindow(z, "click", kReGet);
    ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c119.check") == "1"; }, 20000, 200));
    PostToWindow(z, "click", kOk);
    ASSERT_TRUE(again.Wait(30000).has_value());
    const std::string after = ReadOr(iniPath);
    EXPECT_EQ(IniValueOf(after, "DM"), "ReGet");
    EXPECT_EQ(IniValueOf(after, "AllDM"), "FlashGet;ReGet;");
    EXPECT_EQ(IniValueOf(after, "CustomDMEnabled"), "0");
    EXPECT_EQ(IniValueOf(after, "FullInstall"), "0");
    EXPECT_EQ(IniValueOf(after, "Left"), "574");
    EXPECT_EQ(IniValueOf(after, "Top"), "303");
}

// The guide's steps for aria2 in the real window: the label opens a program
// picker, cancelled; the typed address ticks the box; OK keeps it on. The
// window after typing is the guide's picture.
TEST(ZelkoSettingsWindow, GuideAria2StepsKeepTheTemplateOn) {
    ZelkoInstall z(false);
    z.main["AllDM"] = "FlashGet;";
    z.WriteIni();
    WineBench& bench = WineBench::Get();
    Background zelko = bench.Start({z.exe});
    ASSERT_TRUE(WaitForWindow(z));
    const std::string picker = z.root + "picker.txt";
    Background canceller = bench.Start({bench.BinFolder() + "boxclick.exe", "Open", picker, "2", "60000"});
    PostToWindow(z, "click", kCustomLabel);
    ASSERT_TRUE(canceller.Wait(90000).has_value());
    auto opened = ReadRecords(bench.HostPath(picker));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].Get("found"), "1");
    ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c203.visible") == "1"; }, 20000, 200));

    const std::string address = "http://127.0.0.1:6800/jsonrpc";
    PostToWindow(z, "settext", kTemplateEdit, address);
    ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c202.check") == "1"; }, 20000, 200));
    Record s = WindowState(z);
    EXPECT_EQ(s.Get("c201.text"), "aria2");  // the label behind the field
    EXPECT_TRUE(Screenshot(s, std::string(OC_E2E_WORK) + "/screenshots/zelko-settings-aria2.png"));

    PostToWindow(z, "click", kOk);
    ASSERT_TRUE(zelko.Wait(30000).has_value());
    EXPECT_EQ(z.IniValue("CustomDMEnabled"), "1");
    EXPECT_EQ(z.IniValue("CustomDM"), address);
    EXPECT_EQ(z.IniValue("DM"), "No");
}

// The browser stand-in as Opera.exe beside opera.dll, single-user, running.
struct BrowserSetup {
    ZelkoInstall z;
    std::string profile, userJs;
    std::unique_ptr<StubBrowser> browser;

    explicit BrowserSetup(bool clearsRun = true, const std::string& browserFolder = "Opera")
        : z(true, kFlashGetOnly, browserFolder) {
        WineBench& bench = WineBench::Get();
        WriteHostFile(bench.HostPath(z.opera + "operadef6.ini"), "[System]\r\nMulti User=0\r\n");
        profile = bench.HostPath(z.opera + "profile\\opera6.ini");
        userJs = bench.HostPath(z.opera + "profile\\userjs");
        std::filesystem::create_directories(std::filesystem::path(profile).parent_path());
        WriteHostFile(profile, "[State]\r\nRun=1\r\n");
        StubBrowser::Options o;
        o.folder = z.opera;
        o.exeName = "Opera.exe";
        o.runFlag = clearsRun;
        browser = std::make_unique<StubBrowser>(o);
    }
    std::size_t BrowserStarts() const { return RecordsOfKind(browser->LogHostPath(), "ready").size(); }
    std::string Profile(const std::string& key) { return IniValueOf(ReadOr(profile), key); }
};

// Clicks the catch-mode box, answers the question with OK and waits until
// the box shows the caption it should end with.
void ClickCatchMode(BrowserSetup& b, const std::string& expectedCaption, bool checkWaiting = false,
                    int waitMs = 90000) {
    WineBench& bench = WineBench::Get();
    std::string seen = b.z.root + "question.txt";
    std::filesystem::remove(bench.HostPath(seen));
    Background clicker =
        bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko", seen, "1", "60000"});
    PostToWindow(b.z, "click", kCatchModeBox);
    ASSERT_TRUE(clicker.Wait(90000).has_value());
    auto box = ReadRecords(bench.HostPath(seen));
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Get("text"), "The browser will be restarted. Continue?");
    if (checkWaiting) {
        // While the browser is awaited the box says so and the panels are disabled.
        ASSERT_TRUE(WaitForText(b.z, kCatchModeBox, "Please wait...", 20000));
        Record waiting = WindowState(b.z, true);
        EXPECT_EQ(waiting.Get("c302.enabled"), "0");
        EXPECT_EQ(waiting.Get("c301.enabled"), "0");
    }
    ASSERT_TRUE(WaitForText(b.z, kCatchModeBox, expectedCaption, waitMs));
    // The box is as wide as its new caption.
    EXPECT_EQ(CutCaptions(WindowState(b.z), "c"), "") << expectedCaption;
}

TEST(ZelkoSettingsWindow, CatchModeBoxInstallsAroundTheBrowserRestart) {
    BrowserSetup b;
    ASSERT_TRUE(b.browser->ready());
    b.z.WriteIni();
    WineBench& bench = WineBench::Get();
    WriteHostFile(bench.HostPath(b.z.folder + "Zelko_lang.ini"),
                  ReadOr(SourceFile("zelko/resources/Zelko_lang.ini")));
    Background zelko = bench.Start({b.z.exe});
    ASSERT_TRUE(WaitForWindow(b.z));
    EXPECT_EQ(WindowState(b.z).Get("c207.text"), "Don't catch links");

    // First click: catch via Ctrl+Click; user scripts were off, so the
    // browser is closed, awaited, switched over and started again.
    ClickCatchMode(b, "Catch links via Ctrl+Click");
    ASSERT_TRUE(WaitUntil([&] { return b.BrowserStarts() == 2; }, 30000));
    EXPECT_EQ(b.Profile("User JavaScript"), "1");
    EXPECT_EQ(b.Profile("User JavaScript File"), b.z.opera + "profile\\userjs");
    EXPECT_TRUE(ReadOr(b.userJs + "/Zelko.js") == ReadOr(SourceFile("zelko/resources/Zelko.js")));
    EXPECT_EQ(b.Profile("application/zip"), "<none>");
    EXPECT_EQ(b.Profile("text/zlk"), "3," + b.z.folder + "Zelko.exe,,,,|");  // what the script sends
    EXPECT_EQ(b.z.IniValue("FullInstall"), "3");
    EXPECT_TRUE(HostFileExists(b.profile + ".bak"));
    EXPECT_EQ(WindowState(b.z).Get("c302.enabled"), "1");

    // Second click: catch all links, file types written after the restart.
    ClickCatchMode(b, "Catch all links");
    ASSERT_TRUE(WaitUntil([&] { return b.BrowserStarts() == 3; }, 30000));
    const std::string entry = b.z.folder + "Zelko.exe";
    EXPECT_EQ(b.Profile("text/zlk"), "3," + entry + ",,,,|");
    EXPECT_EQ(b.Profile("application/x-msdownload"), "7," + entry + ",,,exe,bat,pif,com,scr,|");
    EXPECT_EQ(b.Profile("video/quicktime"), "7," + entry + ",,,qt,mov,|");
    EXPECT_EQ(b.Profile("Version"), "2");
    EXPECT_EQ(b.z.IniValue("FullInstall"), "2");

    // Third click: back to nothing; the script is set aside.
    ClickCatchMode(b, "Don't catch links");
    ASSERT_TRUE(WaitUntil([&] { return b.BrowserStarts() == 4; }, 30000));
    EXPECT_EQ(b.Profile("application/x-msdownload"), "0,,,,exe,bat,pif,com,scr,|");
    EXPECT_EQ(b.Profile("video/quicktime"), "0,,,,qt,mov,|");
    EXPECT_FALSE(HostFileExists(b.userJs + "/Zelko.js"));
    EXPECT_TRUE(ReadOr(b.userJs + "/Zelko.js.xx") == ReadOr(SourceFile("zelko/resources/Zelko.js")));
    EXPECT_EQ(b.z.IniValue("FullInstall"), "0");

    PostToWindow(b.z, "close");
    ASSERT_TRUE(zelko.Wait(30000).has_value());
}

// In a folder with blanks the browser is started again as itself (unquoted,
// Windows would start "Program.exe" beside "Program Files"), in its own folder.
TEST(ZelkoSettingsWindow, BrowserInAFolderWithBlanksRestartsInItsOwnFolder) {
    BrowserSetup b(true, "Program Files\\Opera");
    ASSERT_TRUE(b.browser->ready());
    b.z.InstallRecorder(b.z.root, "Program", {});
    b.z.WriteIni();
    WineBench& bench = WineBench::Get();
    Background zelko = bench.Start({b.z.exe});
    ASSERT_TRUE(WaitForWindow(b.z));
    ClickCatchMode(b, "Catch links via Ctrl+Click");
    ASSERT_TRUE(WaitUntil([&] { return b.BrowserStarts() == 2; }, 30000));
    auto starts = RecordsOfKind(b.browser->LogHostPath(), "start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].Get("commandLine"), "\"" + b.z.opera + "Opera.exe\"");
    EXPECT_EQ(starts[1].Get("currentFolder"), b.z.opera.substr(0, b.z.opera.size() - 1));
    EXPECT_FALSE(HostFileExists(bench.HostPath(b.z.Log("Program"))));
    EXPECT_EQ(b.z.IniValue("FullInstall"), "3");
    PostToWindow(b.z, "close");
    ASSERT_TRUE(zelko.Wait(30000).has_value());
}

TEST(ZelkoSettingsWindow, BrowserThatNeverClearsRunIsWaitedForAndStartedAgain) {
    BrowserSetup b(false);
    ASSERT_TRUE(b.browser->ready());
    b.z.main["FullInstall"] = "3";  // the click then asks for all links
    b.z.WriteIni();
    WriteHostFile(b.profile,
                  "[State]\r\nRun=1\r\n[User Prefs]\r\nUser JavaScript=1\r\nUser JavaScript File=" +
                      b.z.opera + "profile\\userjs\r\n");
    std::filesystem::create_directories(b.userJs);
    WineBench& bench = WineBench::Get();
    Background zelko = bench.Start({b.z.exe});
    ASSERT_TRUE(WaitForWindow(b.z));
    auto clicked = std::chrono::steady_clock::now();
    // The wait runs out; nothing was installed beyond the script, so the box
    // goes back to what is installed.
    ClickCatchMode(b, "Catch links via Ctrl+Click", true, 120000);
    auto took = std::chrono::steady_clock::now() - clicked;
    EXPECT_GE(took, std::chrono::seconds(29));
    EXPECT_LE(took, std::chrono::seconds(90));
    ASSERT_TRUE(WaitUntil([&] { return b.BrowserStarts() == 2; }, 30000));
    EXPECT_EQ(b.Profile("application/zip"), "<none>");
    EXPECT_TRUE(HostFileExists(b.userJs + "/Zelko.js"));
    EXPECT_EQ(b.z.IniValue("FullInstall"), "3");
    PostToWindow(b.z, "close");
    ASSERT_TRUE(zelko.Wait(30000).has_value());
}

// At 150 % and 200 % text size (Xvfb's screen is 1280 x 1024): the font,
// the boxes and the window grow with the DPI. Every caption whole in the
// scaled font, the custom box's mark clear of the label beside it, and the
// whole window on the screen; at 200 % the managers take two columns.
TEST(ZelkoSettingsWindow, FollowsTheScreensDpi) {
    PrefixDpi screen;
    for (int dpi : {144, 192}) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        ASSERT_TRUE(screen.Set(dpi));
        ZelkoInstall z(true);
        z.main["AllDM"] = "FlashGet;Download Master;ReGet;Orbit;";
        Record s = ShowAndCapture(z, "zelko-settings-" + std::to_string(dpi) + "dpi.png");
        ASSERT_EQ(s.Get("dpi"), std::to_string(dpi));
        EXPECT_EQ(s.Get("c207.visible"), "1");
        EXPECT_EQ(CutCaptions(s, "c"), "");
        const ScreenRect box = RectOf(s, "c202.rect"), label = RectOf(s, "c201.rect");
        EXPECT_GE(label.left - (box.left + std::stoi(s.Get("mark"))), 3);
        EXPECT_GE(std::stoi(s.Get("left")), 0);
        EXPECT_GE(std::stoi(s.Get("top")), 0);
        EXPECT_LE(std::stoi(s.Get("right")), 1280);
        EXPECT_LE(std::stoi(s.Get("bottom")), 1024);
        const bool twoColumns = RectOf(s, "c114.rect").left > RectOf(s, "c100.rect").left;  // 28 rows: 14 a column
        EXPECT_EQ(twoColumns, dpi == 192);
        EXPECT_GE(std::stoi(s.Get("clientWidth")), 177 * dpi / 96);
        EXPECT_EQ(s.Get("screenshot"), "1");
        EXPECT_EQ(s.Get("ended"), "1");
    }
}

TEST(ZelkoSettingsWindow, ScreenshotInEnglish) {
    ZelkoInstall z(true);
    z.main["AllDM"] = "FlashGet;Download Master;ReGet;Orbit;";
    Record s = ShowAndCapture(z, "zelko-settings-en.png");
    EXPECT_EQ(s.Get("c207.edge"), "242,244,251");
    EXPECT_EQ(s.Get("c207.text"), "Don't catch links");
    EXPECT_EQ(CutCaptions(s, "c"), "");
    EXPECT_EQ(s.Get("screenshot"), "1");
    EXPECT_EQ(s.Get("ended"), "1");
}

}  // namespace
}  // namespace e2e
