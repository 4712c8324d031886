// tarvel.exe under Wine on real installations: moved folders and drives,
// the browser's command line and environment, companion programs, the DDE
// hand-off, "/silent", multi-user conversion and a low-space drive.
#include "tests/e2e/tarvel/tarvel_install.h"

#include <memory>


namespace e2e::tarvel_e2e {
namespace {

// Every row of the correction, each file naming oldDir in its own encoding,
// plus files that must stay as they are.
std::vector<ProfileFile> MovedProfile(const std::string& oldDir, const std::string& newDir) {
    const std::string o = oldDir, n = newDir, nAnsi = Ansi(newDir);
    const std::string oUrl = Url(oldDir), nUrl = Url(newDir);
    const std::string oUpper = common::AsciiUpper(oldDir);
    return {
        {"operadef6.ini", "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + o + "\\\r\n",
         "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + n + "\\\r\n", true},
        {"profile\\override.ini", "[Overrides]\r\nskin=" + oUpper + "\\skin\\a.zip\r\nq=\"" + o + "\"\r\n",
         "[Overrides]\r\nskin=" + n + "\\skin\\a.zip\r\nq=\"" + o + "\"\r\n", true},
        {"profile\\widgets\\widgets.dat", "<widget path=\"" + o + "\\profile\\widgets\\w.zip\"/>\n",
         "<widget path=\"" + n + "\\profile\\widgets\\w.zip\"/>\n", true},
        {"mail\\index.ini", "[Index]\r\nstore=" + o + "\\mail\\store\r\n",
         "[Index]\r\nstore=" + n + "\\mail\\store\r\n", true},
        {"mail\\accounts.ini", "[Account1]\r\nSignature=" + o + "/mail/sig.txt\r\n",
         "[Account1]\r\nSignature=" + n + "/mail/sig.txt\r\n", true},
        {"profile\\contacts.adr", "#CONTACT\n\tICON=file://localhost/" + oUrl + "/i.png\n",
         "#CONTACT\n\tICON=file://localhost/" + nUrl + "/i.png\n", true},
        {"profile\\obook.ini", "[Book]\r\nPath=" + o + "\\profile\\book\r\n",
         "[Book]\r\nPath=" + nAnsi + "\\profile\\book\r\n", true},
        {"profile\\dialog.ini", "[Open]\r\nLast=" + o + "\\downloads\r\n",
         "[Open]\r\nLast=" + n + "\\downloads\r\n", true},
        {"profile\\toolbar\\standard_toolbar.ini", "[T]\r\nIcon=" + o + "\\t.png\n",
         "[T]\r\nIcon=" + n + "\\t.png\n", true},
        {"profile\\menu\\standard_menu.ini", "[M]\r\nx=" + o + "\r", "[M]\r\nx=" + n + "\r", true},
        {"profile\\keyboard\\standard_keyboard.ini", "[K]\r\nk=" + o + "\\k\r\n",
         "[K]\r\nk=" + n + "\\k\r\n", true},
        {"profile\\mouse\\standard_mouse.ini", std::string("[G]\r\ng=") + o + "\\g\r\n" + '\0',
         "[G]\r\ng=" + n + "\\g\r\n", true},
        {"english.lng", "; file:///" + oUrl + "/help/\r\n", "; file:///" + nUrl + "/help/\r\n", true},
        {"profile\\opera6.adr",
         "#URL\n\tURL=file:///" + oUrl + "/start.html\n\tICONFILE=" + o + "\\icons\\x.ico\n",
         "#URL\n\tURL=file:///" + nUrl + "/start.html\n\tICONFILE=" + n + "\\icons\\x.ico\n", true},
        // Names the old folder, but only as part of a longer name: a ".bak", no change.
        {"profile\\toolbar\\mine.ini", "[T]\r\nx=" + o + "2\\y\r\n", "[T]\r\nx=" + o + "2\\y\r\n",
         true},
        // Not in any row, or not naming the old folder: untouched, no ".bak".
        {"profile\\notes.adr", "#NOTE\n\tNAME=" + o + "\\x\n", "#NOTE\n\tNAME=" + o + "\\x\n", false},
        {"profile\\menu\\readme.txt", "x=" + o + "\\y\r\n", "x=" + o + "\\y\r\n", false},
        {"profile\\search.ini", "[Search]\r\nx=D:\\elsewhere\r\n", "[Search]\r\nx=D:\\elsewhere\r\n",
         false},
    };
}

const std::string kAllRows =
    IniText("Correct", {{"Obook", "1"}, {"Dialog", "1"}, {"Toolbar", "1"}, {"Keyboard", "1"},
                        {"Mouse", "1"}, {"Language", "1"}, {"Bookmarks", "1"}, {"Search Type", "1"}});

void WriteMovedProfile(const std::string& dir, const std::string& oldDir, const std::string& newDir) {
    for (const ProfileFile& f : MovedProfile(oldDir, newDir)) Write(dir + "\\" + f.relative, f.before);
    Write(dir + "\\profile\\opera6.ini",
          "[User Prefs]\r\nOpera Directory=" + oldDir + "\\profile\r\nSearch Type=2\r\n");
}

void ExpectCorrected(const std::string& dir, const std::string& oldDir, const std::string& newDir) {
    for (const ProfileFile& f : MovedProfile(oldDir, newDir)) {
        SCOPED_TRACE(f.relative);
        EXPECT_EQ(Read(dir + "\\" + f.relative), f.after);
        if (f.backup) {
            EXPECT_EQ(Read(dir + "\\" + f.relative + ".bak"), f.before);
        } else {
            EXPECT_FALSE(Exists(dir + "\\" + f.relative + ".bak"));
        }
    }
    EXPECT_EQ(Read(dir + "\\profile\\opera6.ini"),
              "[User Prefs]\r\nOpera Directory=" + newDir + "\\profile\r\nSearch Type=-1\r\n");
    EXPECT_EQ(Read(dir + "\\spellcheck.ini"),
              "[Spell check]\r\nSpell check engine=" + Ansi(newDir) + "\\spellcheck.dll\r\n");
    // No temporary file stayed behind anywhere.
    for (const auto& entry : fs::recursive_directory_iterator(Host(dir)))
        EXPECT_EQ(entry.path().string().find(".~new"), std::string::npos) << entry.path();
}

// The folder Wine reports for the program (its spelling may differ in case).
std::string StartedIn(const Record& start) { return start.Get("env.OperaDirUtf"); }

TEST(TarvelMoved, ToAnotherFolderRewritesEveryRowAndStartsTheBrowser) {
    const std::string root = WineBench::Get().TestFolder();
    const std::string oldDir = root + "Old Place\\Opera";
    const std::string newDir = root + "Port\xC3\xA9\\Opera";
    fs::create_directories(Host(oldDir));
    InstallPrograms(oldDir, kAllRows);
    WriteMovedProfile(oldDir, oldDir, newDir);
    fs::create_directories(fs::path(Host(newDir)).parent_path());
    fs::rename(Host(oldDir), Host(newDir));

    RunResult r = WineBench::Get().Run({newDir + "\\tarvel.exe", "http://example.com/a b", "-x"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto start = WaitForRecord(BrowserLog(newDir), "start", 30000);
    ASSERT_TRUE(start);
    ASSERT_TRUE(common::EqualsNoCase(StartedIn(*start), Ansi(newDir))) << StartedIn(*start);
    const std::string dir = StartedIn(*start);  // ANSI, as Wine spells it
    EXPECT_EQ(start->Get("commandLine"), dir + "\\opkernel.exe \"http://example.com/a b\" -x");
    EXPECT_EQ(start->Get("show"), "5");
    const std::string path = start->Get("env.PATH");
    EXPECT_TRUE(common::EndsWith(path, ";" + dir)) << path;
    EXPECT_GT(path.size(), dir.size() + 1);
    ExpectCorrected(newDir, oldDir, newDir);
    // The notes got their ".old" copy.
    EXPECT_EQ(Read(newDir + "\\profile\\notes.adr.old"), Read(newDir + "\\profile\\notes.adr"));
    EXPECT_TRUE(CloseBrowser(newDir));
}

TEST(TarvelMoved, ToAnotherDriveLetter) {
    WineBench& bench = WineBench::Get();
    const std::string root = bench.TestFolder();
    const std::string oldDir = root + "Stick\\Opera";
    fs::create_directories(Host(oldDir));
    InstallPrograms(oldDir, kAllRows);
    const std::string newDir = "S:\\Opera";
    WriteMovedProfile(oldDir, oldDir, newDir);
    // The stick shows up as drive S: now.
    bench.AddDrive('s', Host(root + "Stick"));
    RunResult r = bench.Run({newDir + "\\tarvel.exe"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto start = WaitForRecord(BrowserLog(newDir), "start", 30000);
    ASSERT_TRUE(start);
    EXPECT_TRUE(common::EqualsNoCase(start->Get("commandLine"), "S:\\Opera\\opkernel.exe"))
        << start->Get("commandLine");
    ExpectCorrected(newDir, oldDir, newDir);
    EXPECT_TRUE(CloseBrowser(newDir));

    // A second start finds nothing left to correct: the ".bak" copies stay.
    const std::string bak = Read(newDir + "\\profile\\override.ini.bak");
    r = bench.Run({newDir + "\\tarvel.exe"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(BrowserLog(newDir), "start").size() == 2; }, 30000));
    EXPECT_EQ(Read(newDir + "\\profile\\override.ini.bak"), bak);
    EXPECT_TRUE(CloseBrowser(newDir));
    bench.RemoveDrive('s');
}

TEST(TarvelSilent, PreparesWithoutStartingAnything) {
    const std::string root = WineBench::Get().TestFolder();
    const std::string oldDir = root + "Before\\Opera", newDir = root + "After\\Opera";
    fs::create_directories(Host(oldDir));
    InstallPrograms(oldDir, kAllRows +
                                IniText("Program", {{"Run1", newDir + "\\companion.exe"}}));
    WineBench::Get().InstallExe("recorder.exe", oldDir + "\\companion.exe");
    Write(oldDir + "\\companion.ini", IniText("Recorder", {{"Log", newDir + "\\companion.log"}}));
    WriteMovedProfile(oldDir, oldDir, newDir);
    fs::create_directories(Host(root + "After"));
    fs::rename(Host(oldDir), Host(newDir));

    RunResult r = WineBench::Get().Run({newDir + "\\tarvel.exe", "/silent"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ExpectCorrected(newDir, oldDir, newDir);
    EXPECT_FALSE(HostFileExists(BrowserLog(newDir)));
    EXPECT_FALSE(Exists(newDir + "\\companion.log"));

    // "/Silent" is no switch: the companion and the browser start.
    r = WineBench::Get().Run({newDir + "\\tarvel.exe", "/Silent"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto start = WaitForRecord(BrowserLog(newDir), "start", 30000);
    ASSERT_TRUE(start);
    EXPECT_TRUE(common::EndsWith(start->Get("commandLine"), "opkernel.exe /Silent"));
    EXPECT_TRUE(WaitForRecord(Host(newDir + "\\companion.log"), "start", 30000));
    EXPECT_TRUE(CloseBrowser(newDir));
}

// An installation that never moved (nothing to correct).
std::string InPlace(const std::string& dir, const std::string& settings = "", bool runFlag = false) {
    fs::create_directories(Host(dir));
    InstallPrograms(dir, settings, runFlag);
    Write(dir + "\\operadef6.ini", "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + dir + "\r\n");
    Write(dir + "\\profile\\opera6.ini", "[User Prefs]\r\nOpera Directory=" + dir + "\\profile\r\n");
    return dir;
}

std::string Companion(const std::string& dir, const std::string& name, const std::string& window) {
    WineBench::Get().InstallExe("recorder.exe", dir + "\\" + name + ".exe");
    std::vector<std::pair<std::string, std::string>> keys = {{"Log", dir + "\\" + name + ".log"}};
    if (!window.empty()) keys.emplace_back("Window", window);
    Write(dir + "\\" + name + ".ini", IniText("Recorder", keys));
    return Host(dir + "\\" + name + ".log");
}

TEST(TarvelCompanions, StartWithTheirShowStatesAndCloseWhenTheBrowserEnds) {
    WineBench& bench = WineBench::Get();
    const std::string dir = InPlace(bench.TestFolder() + "Opera");
    const std::string oneLog = Companion(dir, "one", "Companion One");
    const std::string twoLog = Companion(dir, "two", "");
    const std::string keepLog = Companion(dir, "keep", "Kept Open");
    Write(dir + "\\tarvel.ini",
          IniText("Program", {{"Run1", "%OperaDirUtf%\\one.exe first"},
                              {"Flag1", "MINIMIZE"},
                              {"Close1", "Companion One"},
                              {"Run3", dir + "\\two.exe"},
                              {"Flag3", "HIDE"},
                              {"Run5", dir + "\\keep.exe"},
                              {"Flag5", "hide"}}));
    Background tarvel = bench.Start({dir + "\\tarvel.exe", "page.html"});
    auto one = WaitForRecord(oneLog, "start", 30000);
    auto two = WaitForRecord(twoLog, "start", 30000);
    auto keep = WaitForRecord(keepLog, "start", 30000);
    auto browser = WaitForRecord(BrowserLog(dir), "ready", 30000);
    ASSERT_TRUE(one && two && keep && browser);
    EXPECT_TRUE(common::EndsWith(one->Get("commandLine"), "\\one.exe first"));
    EXPECT_EQ(one->Get("show"), "6");
    EXPECT_EQ(two->Get("show"), "0");
    EXPECT_EQ(keep->Get("show"), "5");
    auto browserStart = RecordsOfKind(BrowserLog(dir), "start");
    ASSERT_EQ(browserStart.size(), 1u);
    EXPECT_EQ(browserStart[0].Get("show"), "default");  // started and waited for
    EXPECT_TRUE(common::EndsWith(browserStart[0].Get("commandLine"), "opkernel.exe page.html"));
    ASSERT_TRUE(WaitForRecord(oneLog, "window", 30000));
    ASSERT_TRUE(WaitForRecord(keepLog, "window", 30000));

    // While the browser runs, the launcher waits and closes nothing.
    EXPECT_TRUE(tarvel.Running());
    EXPECT_TRUE(RecordsOfKind(oneLog, "exit").empty());
    EXPECT_TRUE(CloseBrowser(dir));
    EXPECT_TRUE(WaitForRecord(oneLog, "exit", 30000));
    EXPECT_EQ(tarvel.Wait(30000), std::optional<int>(0));
    // Kept Open had no Close entry: it still runs.
    EXPECT_TRUE(RecordsOfKind(keepLog, "exit").empty());
    Record close;
    close.Set("verb", "close");
    close.Set("class", "RecorderWindow");
    close.Set("title", "Kept Open");
    RunProbe(dir + "\\", close);
    EXPECT_TRUE(WaitForRecord(keepLog, "exit", 30000));
}

// A moved-in-place installation whose browser runs (the stand-in has set
// "Run=1"); the test ends by closing its window.
class TarvelDde : public ::testing::Test {
protected:
    void SetUp() override {
        StubBrowser::Options o;
        o.folder = dir + "\\";
        o.exeName = "opkernel.exe";
        o.title = "Portable Page";
        browser = std::make_unique<StubBrowser>(o);
        ASSERT_TRUE(browser->ready());
        ASSERT_TRUE(WaitUntil(
            [&] { return Read(dir + "\\profile\\opera6.ini").find("Run=1") != std::string::npos; }, 30000));
    }
    void CloseBrowser() {
        Record close;
        close.Set("verb", "close");
        close.Set("class", "OpWindow");
        RunProbe(dir + "\\", close);
    }

    WineBench& bench = WineBench::Get();
    const std::string dir = InPlace(bench.TestFolder() + "Opera", "", true);
    std::unique_ptr<StubBrowser> browser;
};

TEST_F(TarvelDde, HandsTheArgumentsToTheRunningBrowser) {

    RunResult r = bench.Run({dir + "\\tarvel.exe", "http://dde.example/page"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto dde = WaitForRecord(browser->LogHostPath(), "dde", 30000,
                             [](const Record& rec) { return rec.Get("topic") == "WWW_OpenURL"; });
    ASSERT_TRUE(dde);
    EXPECT_EQ(dde->Get("item"), "http://dde.example/page");
    EXPECT_EQ(RecordsOfKind(browser->LogHostPath(), "start").size(), 1u);

    // A tail of exactly one blank starts the browser again instead.
    const std::string cmdFile = dir + "\\cmd.txt";
    Write(cmdFile, "\"" + dir + "\\tarvel.exe\" ");
    r = bench.Run({bench.BinFolder() + "launch.exe", "/cmdfile=" + cmdFile, "/wait"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(browser->LogHostPath(), "start").size() == 2; }, 30000));
    auto starts = RecordsOfKind(browser->LogHostPath(), "start");
    EXPECT_TRUE(common::EndsWith(starts[1].Get("commandLine"), "opkernel.exe ")) << starts[1].Get("commandLine");
    EXPECT_EQ(RecordsOfKind(browser->LogHostPath(), "dde").size(), 1u);
    // The second stand-in ends on its own window's close; both share the title.
    CloseBrowser();
    ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(browser->LogHostPath(), "exit").size() >= 1; }, 30000));
}

// What DDE cannot carry: an empty tail sends nothing and starts nothing; the
// longest item goes by DDE; a longer tail starts the browser with it.
TEST_F(TarvelDde, TailsThatNoItemCanCarry) {
    const std::string log = browser->LogHostPath();
    auto openUrls = [&] {
        std::vector<std::string> items;
        for (const Record& r : RecordsOfKind(log, "dde"))
            if (r.Get("topic") == "WWW_OpenURL") items.push_back(r.Get("item"));
        return items;
    };

    RunResult r = bench.Run({dir + "\\tarvel.exe"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const std::string longest = "http://dde.example/" + std::string(255 - 19, 'x');
    r = bench.Run({dir + "\\tarvel.exe", longest}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(WaitUntil([&] { return openUrls().size() == 1; }, 30000));
    EXPECT_EQ(openUrls(), std::vector<std::string>{longest});
    EXPECT_EQ(RecordsOfKind(log, "start").size(), 1u);

    const std::string longer = longest + "y";
    r = bench.Run({dir + "\\tarvel.exe", longer}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(log, "start").size() == 2; }, 30000));
    EXPECT_TRUE(common::EndsWith(RecordsOfKind(log, "start")[1].Get("commandLine"), "opkernel.exe " + longer));
    EXPECT_EQ(openUrls().size(), 1u);
    CloseBrowser();
    ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(log, "exit").size() >= 1; }, 30000));
}

// --- multi-user installations ---

const char* kShellFolders = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct PerUser {
    std::string roaming, local;  // base folders (no trailing backslash)
};

// The per-user folders of an installation named name, made fresh.
PerUser MakePerUser(const std::string& name) {
    WineBench& bench = WineBench::Get();
    const std::string appData = bench.RegQuery(kShellFolders, "AppData").value_or("");
    const std::string localAppData = bench.RegQuery(kShellFolders, "Local AppData").value_or("");
    PerUser u{appData + "\\opera\\" + name, localAppData + "\\opera\\" + name};
    fs::remove_all(Host(u.roaming));
    fs::remove_all(Host(u.local));
    Write(u.roaming + "\\profile\\opera6.ini",
          "[User Prefs]\r\nOpera Directory=" + u.roaming + "\\profile\r\nCache Directory4=" + u.local +
              "\\cache4\\\r\n");
    Write(u.roaming + "\\profile\\override.ini", "x=" + u.roaming + "\\profile\\y\r\n");
    Write(u.roaming + "\\mail\\index.ini", "m=" + u.roaming + "\\mail\\store\r\n");
    Write(u.local + "\\profile\\cache4\\c.tmp", "cache");
    return u;
}

std::string MultiUserInstall(const std::string& dir) {
    fs::create_directories(Host(dir));
    InstallPrograms(dir);
    Write(dir + "\\operadef6.ini", "[System]\r\nMulti User=1\r\n[Install]\r\nMAINDIR=" + dir + "\r\n");
    Write(dir + "\\profile\\old.ini", "the program folder's own profile");
    return dir;
}

const std::string kConvertQuestion =
    "Found a Multi User installation.\rTransform installation from multi-user to single-user?";

// Starts the box answerer for the next box titled title.
Background AnswerBox(const std::string& title, const std::string& seen, int button) {
    WineBench& bench = WineBench::Get();
    return bench.Start({bench.BinFolder() + "boxclick.exe", title, seen, std::to_string(button), "60000"});
}

TEST(TarvelMultiUser, ConvertedOnOk) {
    WineBench& bench = WineBench::Get();
    const std::string dir = MultiUserInstall(bench.TestFolder() + "OperaMuOk");
    const PerUser u = MakePerUser("OperaMuOk");
    const std::string seen = dir + "\\box.txt";
    Background clicker = AnswerBox("Tarvel", seen, 1);
    RunResult r = bench.Run({dir + "\\tarvel.exe"}, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(clicker.Wait(30000).has_value());
    auto box = ReadRecords(Host(seen));
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Get("text"), kConvertQuestion);

    EXPECT_EQ(Read(dir + "\\profile_1\\old.ini"), "the program folder's own profile");
    EXPECT_EQ(Read(dir + "\\profile\\override.ini"), "x=" + dir + "\\profile\\y\r\n");
    EXPECT_EQ(Read(dir + "\\mail\\index.ini"), "m=" + dir + "\\mail\\store\r\n");
    EXPECT_EQ(Read(dir + "\\profile\\cache4\\c.tmp"), "cache");
    const std::string ini = Read(dir + "\\profile\\opera6.ini");
    EXPECT_NE(ini.find("Opera Directory=" + dir + "\\profile\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Cache Directory4=" + dir + "\\cache4\\\r\n"), std::string::npos) << ini;
    EXPECT_NE(Read(dir + "\\operadef6.ini").find("Multi User=0"), std::string::npos);
    // The per-user folders were copied, not moved.
    EXPECT_TRUE(Exists(u.roaming + "\\profile\\override.ini"));
    EXPECT_TRUE(WaitForRecord(BrowserLog(dir), "start", 30000));
    EXPECT_TRUE(CloseBrowser(dir));
}

// A folder that both the roaming and the local profile hold is merged, not
// copied into itself as profile\cache4\cache4.
TEST(TarvelMultiUser, FolderOnBothSidesIsMerged) {
    WineBench& bench = WineBench::Get();
    const std::string dir = MultiUserInstall(bench.TestFolder() + "OperaMuBoth");
    const PerUser u = MakePerUser("OperaMuBoth");
    Write(u.roaming + "\\profile\\cache4\\r.tmp", "roaming");
    Write(u.roaming + "\\profile\\cache4\\sub\\e.tmp", "roaming sub");
    Write(u.local + "\\profile\\cache4\\sub\\d.tmp", "local sub");
    Background clicker = AnswerBox("Tarvel", dir + "\\box.txt", 1);
    RunResult r = bench.Run({dir + "\\tarvel.exe"}, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(clicker.Wait(30000).has_value());

    const std::pair<const char*, const char*> expected[] = {
        {"c.tmp", "cache"}, {"r.tmp", "roaming"}, {"sub\\e.tmp", "roaming sub"}, {"sub\\d.tmp", "local sub"}};
    for (const auto& [file, text] : expected)
        EXPECT_EQ(Read(dir + "\\profile\\cache4\\" + file), text) << file;
    EXPECT_FALSE(fs::exists(Host(dir + "\\profile\\cache4\\cache4")));
    EXPECT_FALSE(fs::exists(Host(dir + "\\profile\\cache4\\sub\\sub")));
    EXPECT_TRUE(WaitForRecord(BrowserLog(dir), "start", 30000));
    EXPECT_TRUE(CloseBrowser(dir));
}

TEST(TarvelMultiUser, DeclinedOnCancel) {
    WineBench& bench = WineBench::Get();
    const std::string dir = MultiUserInstall(bench.TestFolder() + "OperaMuNo");
    const PerUser u = MakePerUser("OperaMuNo");
    const std::string before = Read(u.roaming + "\\profile\\opera6.ini");
    const std::string seen = dir + "\\box.txt";
    Background clicker = AnswerBox("Tarvel", seen, 2);
    RunResult r = bench.Run({dir + "\\tarvel.exe"}, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(clicker.Wait(30000).has_value());
    EXPECT_EQ(ReadRecords(Host(seen)).size(), 1u);
    EXPECT_EQ(Read(dir + "\\tarvel.ini"), "[Correct]\r\nMultiUser=0\r\n");
    EXPECT_EQ(Read(dir + "\\profile\\old.ini"), "the program folder's own profile");
    EXPECT_FALSE(Exists(dir + "\\profile_1"));
    EXPECT_EQ(Read(u.roaming + "\\profile\\opera6.ini"), before);
    EXPECT_FALSE(Exists(u.roaming + "\\profile\\opera6.ini.bak"));
    EXPECT_TRUE(WaitForRecord(BrowserLog(dir), "start", 30000));
    EXPECT_TRUE(CloseBrowser(dir));
}

// --- a drive with 4 MiB: below the 8 MiB the launcher wants ---

class LowSpaceDrive : public ::testing::Test {
protected:
    std::unique_ptr<TmpfsDrive> drive;

    void SetUp() override {
        drive = std::make_unique<TmpfsDrive>('l', WineBench::Get().Work() + "/lowspace");
        if (!drive->mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root)";
    }
    void TearDown() override { drive.reset(); }
};

TEST_F(LowSpaceDrive, CancelEndsTheLaunchAndOkGoesOn) {
    WineBench& bench = WineBench::Get();
    const std::string dir = InPlace("L:\\Opera");
    const std::string seen = bench.TestFolder() + "box.txt";

    Background cancel = AnswerBox("Tarvel", seen, 2);
    RunResult r = bench.Run({dir + "\\tarvel.exe"}, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(cancel.Wait(30000).has_value());
    auto box = ReadRecords(Host(seen));
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Get("text"),
              "There is not enough free space on the disk!\rAre you sure what want to continue?");
    EXPECT_FALSE(HostFileExists(BrowserLog(dir)));

    const std::string seenOk = bench.TestFolder() + "box.txt";
    Background ok = AnswerBox("Tarvel", seenOk, 1);
    r = bench.Run({dir + "\\tarvel.exe"}, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(ok.Wait(30000).has_value());
    EXPECT_EQ(ReadRecords(Host(seenOk)).size(), 1u);
    EXPECT_TRUE(WaitForRecord(BrowserLog(dir), "start", 30000));
    EXPECT_TRUE(CloseBrowser(dir));

    // Without the check no question comes.
    Write(dir + "\\tarvel.ini", IniText("Correct", {{"CheckFreeSpace", "0"}}));
    r = bench.Run({dir + "\\tarvel.exe"}, 120);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(BrowserLog(dir), "start").size() == 2; }, 30000));
    EXPECT_TRUE(CloseBrowser(dir));
}

}  // namespace
}  // namespace e2e::tarvel_e2e

namespace e2e::tarvel_e2e {
namespace {

// Awkward profile files: each gets its stated result and none is lost.
TEST(TarvelBadInput, AwkwardProfileFilesKeepTheirContentOrGetItCorrected) {
    WineBench& bench = WineBench::Get();
    const std::string root = bench.TestFolder();
    const std::string oldDir = root + "Was\\Opera", newDir = root + "Is\\Opera";
    const std::string o = oldDir, n = newDir;
    fs::create_directories(Host(oldDir));
    // No MAINDIR in operadef6.ini: the defaults file itself needs no change.
    InstallPrograms(oldDir, IniText("Correct", {{"Toolbar", "1"}, {"Menu", "1"}}));
    Write(oldDir + "\\operadef6.ini", "[System]\r\nMulti User=0\r\n");
    Write(oldDir + "\\profile\\opera6.ini", "[User Prefs]\r\nOpera Directory=" + o + "\\profile\r\n");
    const std::vector<ProfileFile> files = {
        {"profile\\toolbar\\empty.ini", "", "", false},
        {"profile\\toolbar\\binary.ini", std::string("\x01\x02\0\xff", 4) + o + "\\x" + std::string("\0\x80", 2),
         std::string("\x01\x02\0\xff", 4) + n + "\\x" + std::string("\0\x80", 2), true},
        {"profile\\toolbar\\zero.ini", std::string("a=") + o + "\\z" + '\0', "a=" + n + "\\z", true},
        {"profile\\toolbar\\zero_unnamed.ini", std::string("a=b") + '\0', std::string("a=b") + '\0', false},
        {"profile\\toolbar\\cr.ini", "a=" + o + "\rb=" + o + "\r", "a=" + n + "\rb=" + n + "\r", true},
        {"profile\\toolbar\\lf.ini", "a=" + o + "\nb=" + o + "\n", "a=" + n + "\nb=" + n + "\n", true},
        {"profile\\toolbar\\case.ini", "a=" + common::AsciiLower(o) + "\\Keep\\Case\r\n",
         "a=" + n + "\\Keep\\Case\r\n", true},
    };
    for (const ProfileFile& f : files) Write(oldDir + "\\" + f.relative, f.before);
    const std::string readOnly = "profile\\menu\\locked_down.ini";
    const std::string readOnlyText = "a=" + o + "\\menu\r\n";
    Write(oldDir + "\\" + readOnly, readOnlyText);
    fs::create_directories(Host(root + "Is"));
    fs::rename(Host(oldDir), Host(newDir));
    ASSERT_EQ(bench.Run({"attrib", "+r", newDir + "\\" + readOnly}, 60).exitCode, 0);

    RunResult r = bench.Run({newDir + "\\tarvel.exe"}, 90);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    for (const ProfileFile& f : files) {
        SCOPED_TRACE(f.relative);
        EXPECT_EQ(Read(newDir + "\\" + f.relative), f.after);
        if (f.backup) {
            EXPECT_EQ(Read(newDir + "\\" + f.relative + ".bak"), f.before);
        } else {
            EXPECT_FALSE(Exists(newDir + "\\" + f.relative + ".bak"));
        }
    }
    EXPECT_EQ(Read(newDir + "\\" + readOnly), readOnlyText);
    EXPECT_EQ(Read(newDir + "\\operadef6.ini"), "[System]\r\nMulti User=0\r\n");
    for (const auto& entry : fs::recursive_directory_iterator(Host(newDir)))
        EXPECT_EQ(entry.path().string().find(".~new"), std::string::npos) << entry.path();
    EXPECT_TRUE(CloseBrowser(newDir));
    bench.Run({"attrib", "-r", newDir + "\\" + readOnly}, 60);
}

}  // namespace
}  // namespace e2e::tarvel_e2e
