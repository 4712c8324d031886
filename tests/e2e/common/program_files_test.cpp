// The three programs installed in "C:\Program Files\Opera" that Wine's
// programs may read but not write (a read-only mount), as a normal user finds
// an installed browser: settings go to the per-user copy of the install under %APPDATA%,
// working files to %TEMP%, Mirsa's pages to the user's documents; nothing is
// lost and nothing is written beside the exes.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/e2e/mirsa/mirsa_setup.h"
#include "tests/e2e/zelko/settings_window_e2e.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const std::string kOpera = "C:\\Program Files\\Opera";
const std::string kOpera12 = "C:\\Program Files\\Opera 12";  // a second browser install

std::string Host(const std::string& windowsPath) { return WineBench::Get().HostPath(windowsPath); }
std::string ReadOr(const std::string& windowsPath) {
    return ReadHostFile(Host(windowsPath)).value_or("<missing>");
}

// A variable of the programs' environment, as Wine's cmd expands it.
std::string WindowsVariable(const std::string& name) {
    std::string text = WineBench::Get().Run({"cmd", "/c", "echo", "%" + name + "%"}, 60).output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::set<std::string> NamesIn(const std::string& windowsFolder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(Host(windowsFolder)))
        names.insert(fs::relative(entry.path(), Host(windowsFolder)).string());
    return names;
}

// The per-user settings file of the install in programFolder: in the one
// folder under %APPDATA%\<program>\ whose name starts with that folder's path
// with '_' for ':' and '\\'; "<missing>" when there is no such folder or more.
std::string UserIniPath(const std::string& appData, const std::string& program,
                        const std::string& programFolder, const std::string& name) {
    std::string readable;
    for (char c : programFolder) {
        const char shown = c == ':' || c == '\\' ? '_' : c;
        if (!(shown == '_' && !readable.empty() && readable.back() == '_')) readable += shown;
    }
    while (!readable.empty() && readable.back() == '_') readable.pop_back();
    const std::string base = appData + "\\" + program;
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Host(base), ec))
        if (entry.is_directory() && entry.path().filename().string().rfind(readable + " ", 0) == 0)
            found.push_back(entry.path().filename().string());
    return found.size() == 1 ? base + "\\" + found[0] + "\\" + name : "<missing>";
}

class ProgramFiles : public ::testing::Test {
protected:
    static std::string appData, userProfile;

    static void SetUpTestSuite() {
        appData = WindowsVariable("APPDATA");
        userProfile = WindowsVariable("USERPROFILE");
    }

    // A fresh browser folder, and no per-user copies left by an earlier test.
    void SetUp() override {
        ASSERT_NE(appData.find(":\\"), std::string::npos) << appData;
        fs::remove_all(Host(kOpera));
        fs::remove_all(Host(kOpera12));
        for (const char* program : {"Zelko", "Mirsa", "Tarvel"})
            fs::remove_all(Host(appData + "\\" + program));
    }

    // Filled: from now on Wine's programs cannot write the browser folder.
    bool Locked() {
        before_ = NamesIn(kOpera);
        locked_ = std::make_unique<ReadOnlyFolder>(Host(kOpera));
        return locked_->mounted();
    }
    // Nothing was made in the browser folder since it was locked.
    void ExpectNothingNew() { EXPECT_EQ(NamesIn(kOpera), before_); }
    void TearDown() override { locked_.reset(); }

    std::set<std::string> before_;
    std::unique_ptr<ReadOnlyFolder> locked_;
};
constexpr const char* kNoMount = "no read-only mount here (needs root)";
std::string ProgramFiles::appData, ProgramFiles::userProfile;

// Two requests: the first detects the managers (FlashGot.test in %TEMP%) and
// keeps the result per user, so the second does not detect again; both links
// reach FlashGot.exe through job files in %TEMP%.
TEST_F(ProgramFiles, ZelkoDetectsOnceAndHandsEveryLinkOn) {
    ZelkoInstall z(false, kFlashGetOnly, kOpera);
    z.main.erase("DM");
    z.WriteIni();
    const std::string programIni = ReadOr(z.folder + "Zelko.ini");
    if (!Locked()) GTEST_SKIP() << kNoMount;
    WineBench& bench = WineBench::Get();
    for (const char* url : {"http://files.example/a.zip", "http://files.example/b.zip"}) {
        RunResult r = bench.Run({z.exe, url, "http://ref.example/"}, 150);
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    const std::vector<Record> starts = z.Starts("FlashGot");
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_NE(starts[0].Get("commandLine").find(" -o \""), std::string::npos);
    std::multiset<std::string> jobs;
    for (const std::string& job : z.Jobs()) jobs.insert(job);
    EXPECT_EQ(jobs, (std::multiset<std::string>{
                        UrlJob("FlashGet", "http://ref.example/", "http://files.example/a.zip"),
                        UrlJob("FlashGet", "http://ref.example/", "http://files.example/b.zip")}));
    const std::string userIni = ReadOr(UserIniPath(appData, "Zelko", z.folder, "Zelko.ini"));
    EXPECT_EQ(IniValueOf(userIni, "DM"), "FlashGet");
    EXPECT_EQ(IniValueOf(userIni, "AllDM"), "FlashGet;");
    EXPECT_EQ(ReadOr(z.folder + "Zelko.ini"), programIni);
    ExpectNothingNew();
}

// Two browsers installed side by side, each with its Zelko: the copy that all
// installs shared before goes to the first that runs, with its values; the
// other detects for itself and keeps what it found apart.
TEST_F(ProgramFiles, TwoInstallsKeepSeparateSettings) {
    ZelkoInstall first(false, kFlashGetOnly, kOpera);
    first.WriteIni();
    ZelkoInstall second(false, kFlashGetOnly, kOpera12);
    second.main.erase("DM");
    second.WriteIni();
    const std::string shared = appData + "\\Zelko\\Zelko.ini";
    const std::string sharedText =
        "[Main]\r\nDM=FlashGet\r\nAllDM=FlashGet;\r\n"
        "[Replaced File Types]\r\napplication/zip=0,,,,zip,|\r\n";
    WriteHostFile(Host(shared), sharedText);
    ReadOnlyFolder lockedToo(Host(kOpera12));
    if (!Locked() || !lockedToo.mounted()) GTEST_SKIP() << kNoMount;
    WineBench& bench = WineBench::Get();

    RunResult r = bench.Run({first.exe, "http://files.example/a.zip", "http://ref.example/"}, 150);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string firstIni = UserIniPath(appData, "Zelko", first.folder, "Zelko.ini");
    EXPECT_EQ(ReadOr(firstIni), sharedText);
    EXPECT_FALSE(HostFileExists(Host(shared)));

    r = bench.Run({second.exe, "http://files.example/b.zip", "http://ref.example/"}, 150);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string secondIni = UserIniPath(appData, "Zelko", second.folder, "Zelko.ini");
    ASSERT_NE(secondIni, firstIni);
    EXPECT_EQ(IniValueOf(ReadOr(secondIni), "DM"), "FlashGet");  // found by its own detection
    EXPECT_EQ(ReadOr(secondIni).find("Replaced File Types"), std::string::npos) << ReadOr(secondIni);
    EXPECT_EQ(ReadOr(firstIni), sharedText);
    // The first went on with the values it took over; only the second detected.
    std::vector<std::string> detected, handedOn;
    for (const Record& start : second.Starts("FlashGot")) {
        const std::string line = start.Get("commandLine");
        (line.find(" -o ") != std::string::npos ? detected : handedOn).push_back(line);
    }
    EXPECT_EQ(detected.size(), 1u);
    EXPECT_EQ(detected.empty() ? "" : detected[0].substr(0, second.folder.size() + 1), "\"" + second.folder);
    EXPECT_EQ(handedOn.size(), 2u);
    ExpectNothingNew();
}

// OK keeps the choice in the per-user copy; the next start shows it.
TEST_F(ProgramFiles, ZelkoSettingsSurviveOkAndARestart) {
    constexpr int kOk = 1, kReGet = 100 + 19;
    ZelkoInstall z(false, kFlashGetOnly, kOpera);
    z.main["AllDM"] = "FlashGet;ReGet;";
    z.WriteIni();
    if (!Locked()) GTEST_SKIP() << kNoMount;
    WineBench& bench = WineBench::Get();
    {
        Background zelko = bench.Start({z.exe});
        ASSERT_TRUE(WaitForWindow(z));
        PostToWindow(z, "click", kReGet);
        ASSERT_TRUE(WaitUntil([&] { return WindowState(z).Get("c119.check") == "1"; }, 20000, 200));
        PostToWindow(z, "click", kOk);
        ASSERT_TRUE(zelko.Wait(30000).has_value());
    }
    EXPECT_EQ(IniValueOf(ReadOr(UserIniPath(appData, "Zelko", z.folder, "Zelko.ini")), "DM"), "ReGet");
    Background again = bench.Start({z.exe});
    ASSERT_TRUE(WaitForWindow(z));
    EXPECT_EQ(WindowState(z).Get("c119.check"), "1");
    PostToWindow(z, "close");
    EXPECT_TRUE(again.Wait(30000).has_value());
    ExpectNothingNew();
}

// A quick save without "QuickSaveDir" lands in Mirsa in the user's documents,
// with its history item beside it.
TEST_F(ProgramFiles, MirsaQuickSaveLandsWithItsHistoryItem) {
    MirsaSetup m;
    m.InstallAt(kOpera + "\\Mirsa\\", "[Main]\r\nTimeOut=30\r\n", "");
    if (!Locked()) GTEST_SKIP() << kNoMount;
    StubBrowser browser(m.Browser("Evening News", {"--autosave=1500", "--proposed=today.htm"}));
    ASSERT_TRUE(browser.ready());
    Record run = m.Run(" /format=html /method=quick /url=http://www.example.com/news/today.html");
    ASSERT_EQ(run.Get("started"), "1") << run.Get("output");
    ASSERT_TRUE(WaitUntil([&] { return !RecordsOfKind(browser.LogHostPath(), "saved").empty(); },
                          30000));
    const std::string saved = RecordsOfKind(browser.LogHostPath(), "saved")[0].Get("path");
    const std::string pages = saved.substr(0, saved.rfind('\\') + 1);
    EXPECT_EQ(pages.substr(0, userProfile.size()), userProfile);
    EXPECT_EQ(pages.substr(pages.size() - 7), "\\Mirsa\\");
    ASSERT_TRUE(WaitUntil([&] { return HostFileExists(Host(saved)); }, 30000));
    const std::string name = saved.substr(pages.size());
    EXPECT_NE(ReadOr(pages + "MirsaHistory.html").find("<a href=\"" + name + "\""), std::string::npos)
        << ReadOr(pages + "MirsaHistory.html");
    ExpectNothingNew();
}

// tarvel.exe starts the browser; the one-shot "Path" is cleared in its
// per-user settings, the browser folder keeps its own file as it was.
TEST_F(ProgramFiles, TarvelStartsTheBrowserAndLosesNothing) {
    WineBench& bench = WineBench::Get();
    const std::string root = bench.TestFolder();
    const std::string log = root + "opkernel.log";
    bench.InstallExe("tarvel.exe", kOpera + "\\tarvel.exe");
    bench.InstallExe("operastub.exe", kOpera + "\\opkernel.exe");
    WriteHostFile(Host(kOpera + "\\opkernel.ini"),
                  IniText("Browser", {{"Title", "Installed Page"}, {"NoRunFlag", "1"}, {"Log", log}}));
    const std::string settings = IniText(
        "Correct", {{"MultiUser", "0"}, {"CheckFreeSpace", "0"}, {"Path", "D:\\Old Opera"}});
    WriteHostFile(Host(kOpera + "\\tarvel.ini"), settings);
    if (!Locked()) GTEST_SKIP() << kNoMount;
    RunResult r = bench.Run({kOpera + "\\tarvel.exe", "http://example.com/"}, 90);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(WaitUntil([&] { return !RecordsOfKind(Host(log), "ready").empty(); }, 30000));
    const std::vector<Record> started = RecordsOfKind(Host(log), "start");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_NE(started[0].Get("commandLine").find("http://example.com/"), std::string::npos);
    const std::string userIni = ReadOr(UserIniPath(appData, "Tarvel", kOpera, "tarvel.ini"));
    EXPECT_EQ(IniValueOf(userIni, "Path"), "");
    EXPECT_EQ(IniValueOf(userIni, "MultiUser"), "0");
    EXPECT_EQ(ReadOr(kOpera + "\\tarvel.ini"), settings);
    Record close;
    close.Set("verb", "close");
    close.Set("class", "OpWindow");
    RunProbe(root, close);
    EXPECT_TRUE(WaitUntil([&] { return !RecordsOfKind(Host(log), "exit").empty(); }, 30000));
    ExpectNothingNew();
}

}  // namespace
}  // namespace e2e
