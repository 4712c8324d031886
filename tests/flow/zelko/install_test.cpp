// Installing into the browser's profile on the fake platform: each mode with
// a stopped and a running browser, the question, the wait for the browser's
// end, the rows written byte for byte, and the failure paths.
#include <gtest/gtest.h>

#include "common/browser.h"
#include "common/helpers.h"
#include "tests/flow/zelko/install_world.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

const std::string E = "C:\\Opera\\Zelko\\Zelko.exe";

// Every row a catch-all install writes, in order, after a [State] section.
const std::string kInstalledProfile =
    "[State]\r\nRun=0\r\n"
    "[User Prefs]\r\nUser JavaScript=1\r\nUser JavaScript File=C:\\Opera\\profile\\userjs\r\n"
    "[File Types]\r\n"
    "text/zlk=3," + E + ",,,,|\r\n"
    "application/x-arj=7," + E + ",,,arj,|\r\n"
    "application/x-rar-compressed=7," + E + ",,,rar,|\r\n"
    "application/x-zip-compressed=7," + E + ",,,zip,|\r\n"
    "application/x-7z-compressed=7," + E + ",,,7z,|\r\n"
    "application/zip=7," + E + ",,,zip,|\r\n"
    "application/x-msdownload=7," + E + ",,,exe,bat,pif,com,scr,|\r\n"
    "application/x-msdos-program=7," + E + ",,,exe,bat,pif,com,scr,|\r\n"
    "application/octet-stream=7," + E + ",,,,|\r\n"
    "application/x-compress=7," + E + ",,,z,|\r\n"
    "application/x-gtar=7," + E + ",,,gtar,|\r\n"
    "application/x-gzip=7," + E + ",,,gz,gzip,tgz,|\r\n"
    "application/bzip2=7," + E + ",,,bz2,|\r\n"
    "application/x-tar=7," + E + ",,,tar,tgz,gz,bz2,|\r\n"
    "audio/mpeg=7," + E + ",,,mp3,mp2,mpga,|\r\n"
    "video/mpeg=7," + E + ",,,mpeg,mpg,mpe,m2v,m1v,mpa,|\r\n"
    "video/x-msvideo=7," + E + ",,,avi,|\r\n"
    "video/quicktime=7," + E + ",,,qt,mov,|\r\n"
    "[File Types Section Info]\r\nVersion=2\r\n"
    "[File Types Extension]\r\ntext/zlk=,0\r\n";

const char* const kResetRows[][2] = {
    {"application/x-arj", "0,,,,arj,|"},
    {"application/x-rar-compressed", "0,,,,rar,|"},
    {"application/x-zip-compressed", "0,,,,zip,|"},
    {"application/x-7z-compressed", "0,,,,7z,|"},
    {"application/zip", "0,,,,zip,|"},
    {"application/x-msdownload", "0,,,,exe,bat,pif,com,scr,|"},
    {"application/x-msdos-program", "0,,,,exe,bat,pif,com,scr,|"},
    {"application/octet-stream", "0,,,,,|"},
    {"application/x-compress", "0,,,,z,|"},
    {"application/x-gtar", "0,,,,gtar,|"},
    {"application/x-gzip", "0,,,,gz,gzip,tgz,|"},
    {"application/bzip2", "0,,,,bz2,|"},
    {"application/x-tar", "0,,,,tar,tgz,gz,bz2,|"},
};
const char* const kMediaResets[][2] = {
    {"audio/mpeg", "0,,,,mp3,mp2,mpga,|"},
    {"video/mpeg", "0,,,,mpeg,mpg,mpe,m2v,m1v,mpa,|"},
    {"video/x-msvideo", "0,,,,avi,|"},
    {"video/quicktime", "0,,,,qt,mov,|"},
};

TEST(InstallIntoBrowser, CatchAllOnAStoppedBrowserWritesEveryRowAndTheScript) {
    FakePlatform p;
    BrowserWorld w(p);
    RecordingCatchView view;
    w.Install(view, 1);
    EXPECT_EQ(p.FileText(kProfile), kInstalledProfile);
    EXPECT_EQ(p.FileText(kProfile + ".bak"), "[State]\r\nRun=0\r\n");
    EXPECT_EQ(p.FileText(kUserJs + "\\Zelko.js"), kScriptText);
    EXPECT_EQ(w.Get("FullInstall"), "2");
    EXPECT_TRUE(p.MessageBoxes().empty());
    EXPECT_TRUE(p.Starts().empty());
    EXPECT_EQ(view.Last(), 1);
}

// A profile the browser has just made, each mode once: whatever catches also
// has the browser hand the script's text/zlk data to Zelko.exe.
TEST(InstallIntoBrowser, EachModeFromAFreshProfile) {
    const std::string fresh = "[State]\r\nRun=0\r\n";
    const std::string jobType = "[File Types]\r\ntext/zlk=3," + E + ",,,,|\r\n"
                                "[File Types Section Info]\r\nVersion=2\r\n"
                                "[File Types Extension]\r\ntext/zlk=,0\r\n";
    const std::string scripts =
        "[User Prefs]\r\nUser JavaScript=1\r\nUser JavaScript File=C:\\Opera\\profile\\userjs\r\n";
    struct Case {
        int mode;
        std::string profile;
        const char* fullInstall;
    };
    const Case cases[] = {
        {0, fresh, "0"},
        {1, kInstalledProfile, "2"},
        {2, fresh + scripts + jobType, "3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        FakePlatform p;
        BrowserWorld w(p, fresh);
        RecordingCatchView view;
        w.Install(view, c.mode);
        EXPECT_EQ(p.FileText(kProfile), c.profile);
        EXPECT_EQ(w.Get("FullInstall"), c.fullInstall);
        EXPECT_EQ(p.HasFile(kUserJs + "\\Zelko.js"), c.mode != 0);
        EXPECT_TRUE(p.MessageBoxes().empty());
    }
}

// Ctrl+click with user scripts already on skips the restart only where the
// job type already leads to Zelko: a running browser would write its own
// file types back over the row at its end.
TEST(InstallIntoBrowser, CtrlClickOnARunningBrowserRestartsForAMissingJobType) {
    struct Case {
        const char* name;
        std::string row;  // text/zlk before; empty: none
        bool restart;
    };
    const Case cases[] = {
        {"no job type", "", true},
        {"job type of another Zelko", "3,D:\\Old\\Zelko.exe,,,,|", true},
        {"job type in place", "3," + E + ",,,,|", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        w.ScriptsOn();
        if (!c.row.empty()) w.SetProfile("File Types", "text/zlk", c.row);
        w.Running(1500);
        RecordingCatchView view;
        w.Install(view, 2);
        EXPECT_EQ(p.MessageBoxes().size(), c.restart ? 1u : 0u);
        EXPECT_EQ(p.StartsOf("Opera.exe").size(), c.restart ? 1u : 0u);
        EXPECT_EQ(w.Profile("File Types", "text/zlk"), "3," + E + ",,,,|");
        EXPECT_EQ(w.Profile("File Types Extension", "text/zlk"), c.restart ? ",0" : "<none>");
        EXPECT_TRUE(p.HasFile(kUserJs + "\\Zelko.js"));
        EXPECT_EQ(w.Get("FullInstall"), "3");
    }
}

// Rows of the modes on a browser that does not run.
struct StoppedCase {
    const char* name;
    int mode;
    int fullInstallBefore;
    bool scriptsOn;
    std::vector<std::pair<const char*, const char*>> userRows;  // File Types set before
    const char* fullInstallAfter;
    int boxAfter;
    bool scriptWritten;
};

TEST(InstallIntoBrowser, ModesOnAStoppedBrowser) {
    const StoppedCase cases[] = {
        {"media changed by the user stay", 1, 0, false, {{"video/quicktime", "5,,,,qt,mov,|"}},
         "1", 1, true},
        {"media row in other letter case counts as changed", 1, 0, true,
         {{"audio/mpeg", "0,,,,MP3,mp2,mpga,|"}}, "1", 1, true},
        {"ctrl+click writes the script only", 2, 0, false, {}, "3", 2, true},
        {"ctrl+click with scripts already on", 2, 0, true, {}, "3", 2, true},
        {"remove after media install resets media", 0, 2, true, {}, "0", 0, false},
        {"remove after plain install keeps media", 0, 1, true,
         {{"audio/mpeg", "7,C:\\Player.exe,,,mp3,|"}}, "0", 0, false},
    };
    for (const StoppedCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        w.Set("FullInstall", std::to_string(c.fullInstallBefore));
        if (c.scriptsOn) w.ScriptsOn();
        if (c.mode == 0) {
            p.AddFile(kUserJs + "\\Zelko.js", "old script");
            w.TypesInstalled(c.fullInstallBefore == 2);
        }
        for (const auto& [type, value] : c.userRows) w.SetProfile("File Types", type, value);
        RecordingCatchView view;
        w.Install(view, c.mode);

        EXPECT_EQ(w.Get("FullInstall"), c.fullInstallAfter);
        EXPECT_EQ(view.Last(), c.boxAfter);
        EXPECT_EQ(p.HasFile(kUserJs + "\\Zelko.js"), c.scriptWritten);
        EXPECT_TRUE(p.MessageBoxes().empty());
        if (c.mode == 0) {
            EXPECT_EQ(p.FileText(kUserJs + "\\Zelko.js.xx"), "old script");
            for (const auto& row : kResetRows) EXPECT_EQ(w.Profile("File Types", row[0]), row[1]);
            for (const auto& row : kMediaResets) {
                std::string expected = c.fullInstallBefore == 2 ? row[1] : "<none>";
                for (const auto& [type, value] : c.userRows)
                    if (std::string(type) == row[0]) expected = value;
                EXPECT_EQ(w.Profile("File Types", row[0]), expected) << row[0];
            }
            EXPECT_EQ(w.Profile("File Types", "text/zlk"), "<none>");
        }
        if (c.mode == 1) {
            EXPECT_EQ(w.Profile("File Types", "application/zip"), "7," + E + ",,,zip,|");
            for (const auto& row : kMediaResets) {
                std::string expected = "<none>";
                for (const auto& [type, value] : c.userRows)
                    if (std::string(type) == row[0]) expected = value;
                EXPECT_EQ(w.Profile("File Types", row[0]), expected) << row[0];
            }
        }
        if (c.mode == 2) {
            EXPECT_EQ(w.Profile("File Types", "application/zip"), "<none>");
            EXPECT_EQ(w.Profile("File Types", "text/zlk"), "3," + E + ",,,,|");
            EXPECT_EQ(w.Profile("User Prefs", "User JavaScript"), "1");
        }
    }
}

TEST(InstallIntoBrowser, RestartAsksClosesWaitsAndStartsTheBrowserAgain) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Running(2500);
    RecordingCatchView view;
    const std::uint32_t start = p.TickCount();
    w.Install(view, 1);

    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    const auto& box = p.MessageBoxes()[0];
    EXPECT_EQ(box.text, "The browser will be restarted. Continue?");
    EXPECT_EQ(box.title, "Zelko");
    EXPECT_EQ(box.flags, 0x1u | 0x30u | 0x2000u | 0x40000u);
    EXPECT_EQ(box.owner, 0x777u);
    EXPECT_EQ(w.closedAt, start);
    EXPECT_EQ(view.waiting, (std::vector<bool>{true, false}));
    // Run goes after 2.5 s: the pass that reads it at 1 s sees it set, the
    // second (at 3 s) sees it clear and leaves after one more second.
    EXPECT_EQ(p.SleptMs(), 4000u);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, kBrowserExe);
    EXPECT_EQ(p.Starts()[0].showWindow, 5);
    EXPECT_EQ(w.Profile("User Prefs", "User JavaScript File"), kUserJs);
    EXPECT_EQ(w.Get("FullInstall"), "2");
    EXPECT_EQ(view.Last(), 1);
}

struct AnswerCase {
    const char* name;
    int mode;
    std::optional<std::uint32_t> clearsAfterMs;  // nullopt: never
    bool hung;
    int answer;
    const char* fullInstallAfter;
    std::uint64_t minMs, maxMs;
    bool started;
};

TEST(InstallIntoBrowser, RunningBrowserAnswersAndTimeouts) {
    const AnswerCase cases[] = {
        {"cancel", 1, 3000, false, common::answer::Cancel, "<kept>", 0, 0, false},
        {"never clears Run", 1, std::nullopt, false, common::answer::Ok, "<kept>", 30000, 32000,
         true},
        {"hung browser", 1, std::nullopt, true, common::answer::Ok, "<kept>", 30000, 32000, true},
        {"remove while running", 0, 1500, false, common::answer::Ok, "0", 4000, 4000, true},
        {"ctrl+click with scripts off restarts", 2, 100, false, common::answer::Ok, "3", 2000,
         2000, true},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        // Ctrl+Click follows "Don't catch links" in the box's cycle.
        w.Set("FullInstall", c.mode == 2 ? "0" : "1");
        w.Running(c.clearsAfterMs);
        if (c.hung) p.SetHung(w.window, true);
        p.QueueMessageBoxAnswer(c.answer);
        const std::string profileBefore = *p.FileText(kProfile);
        const std::string iniBefore = *p.FileText(kIni);
        RecordingCatchView view;
        const std::uint64_t t0 = p.ElapsedMs();
        w.Install(view, c.mode);
        const std::uint64_t took = p.ElapsedMs() - t0;

        EXPECT_EQ(p.MessageBoxes().size(), 1u);
        EXPECT_GE(took, c.minMs);
        EXPECT_LE(took, c.maxMs);
        EXPECT_EQ(!p.StartsOf("Opera.exe").empty(), c.started);
        EXPECT_EQ(p.FileText(kProfile + ".bak"), profileBefore);
        if (c.answer == common::answer::Cancel) {
            EXPECT_EQ(p.FileText(kProfile), profileBefore);
            EXPECT_EQ(p.FileText(kIni), iniBefore);
            EXPECT_EQ(view.states, (std::vector<int>{2}));  // SetCatchMode(1)
            EXPECT_TRUE(view.waiting.empty());
            continue;
        }
        std::string expected = std::string(c.fullInstallAfter) == "<kept>" ? "1" : c.fullInstallAfter;
        EXPECT_EQ(w.Get("FullInstall"), expected);
        // Removing never switches user scripts on.
        EXPECT_EQ(w.Profile("User Prefs", "User JavaScript"), c.mode == 0 ? "<none>" : "1");
        EXPECT_EQ(p.HasFolder(kUserJs), c.mode != 0);
        EXPECT_EQ(view.Last(), CatchStateOfFullInstall(std::stoi(expected)));
        if (!c.clearsAfterMs) {  // types skipped, scripts switched on anyway
            EXPECT_EQ(w.Profile("File Types", "application/zip"), "<none>");
            EXPECT_EQ(w.Profile("User Prefs", "User JavaScript"), "1");
            EXPECT_TRUE(p.HasFile(kUserJs + "\\Zelko.js"));
        }
    }
}

TEST(InstallIntoBrowser, WaitLoopWrapsAroundTheTickCounterAndDrainsOnlyWhatIsBounded) {
    FakePlatform p;
    p.SetTickCount(0xFFFFF000u);
    BrowserWorld w(p);
    w.Running(std::nullopt);
    // A window that posts itself a message for every message it handles (for
    // long enough that a drain without a bound fails instead of hanging).
    p.SetOnPump([](FakePlatform& f) {
        if (f.QueuedMessages() == 0 && f.PumpCalls() < 200000) f.QueueMessage([](FakePlatform&) {});
    });
    RecordingCatchView view;
    const std::uint64_t t0 = p.ElapsedMs();
    w.Install(view, 1);
    const std::uint64_t took = p.ElapsedMs() - t0;
    EXPECT_GE(took, 30000u);
    EXPECT_LE(took, 32000u);
    EXPECT_LE(p.PumpCalls(), 16u * (common::kDrainLimit + 1));
    EXPECT_GT(p.PumpedMessages(), 0u);
}

TEST(InstallIntoBrowser, ProfileLocation) {
    struct Case {
        const char* name;
        const char* defaults;  // nullptr: no operadef6.ini
        std::string profile;
    };
    const std::string appData = "C:\\Users\\Ann\\Application Data";
    const Case cases[] = {
        {"single user", "[System]\r\nMulti User=0\r\n", kProfile},
        {"multi user", "[System]\r\nMulti User=1\r\n", appData + "\\opera\\Opera\\profile\\opera6.ini"},
        {"no key", "[System]\r\n", appData + "\\opera\\Opera\\profile\\opera6.ini"},
        {"no operadef6.ini", nullptr, appData + "\\opera\\Opera\\profile\\opera6.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        p.RemovePath(kDefaults);
        if (c.defaults) p.AddFile(kDefaults, c.defaults);
        p.SetRegistryUserString(common::browser::kShellFoldersKey, "AppData", appData);
        EXPECT_EQ(ProfileFile(p, kBrowserFolder), c.profile);
        p.AddFile(c.profile, "[State]\r\nRun=0\r\n");
        RecordingCatchView view;
        w.Install(view, 1);
        EXPECT_EQ(p.IniReadString(c.profile, "User Prefs", "User JavaScript File", ""),
                  common::FolderOfPath(c.profile) + "userjs");
        EXPECT_TRUE(p.HasFile(common::FolderOfPath(c.profile) + "userjs\\Zelko.js"));
    }
}

// A profile the browser has not made yet (a user who never started it):
// the box says which file is missing and what to do, and nothing changes.
TEST(InstallIntoBrowser, MissingProfileIsNamedAndNothingChanges) {
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode);
        FakePlatform p;
        BrowserWorld w(p);
        p.RemovePath(kProfile);
        const std::string iniBefore = *p.FileText(kIni);
        RecordingCatchView view;
        w.Install(view, mode);
        EXPECT_EQ(view.states, (std::vector<int>{(mode + 1) % 3}));
        EXPECT_EQ(p.FileText(kIni), iniBefore);
        EXPECT_FALSE(p.HasFolder(kUserJs));
        ASSERT_EQ(p.MessageBoxes().size(), 1u);
        const auto& box = p.MessageBoxes()[0];
        EXPECT_EQ(box.title, "Zelko Error");
        EXPECT_EQ(box.text, "The browser's profile \"" + kProfile +
                                "\" does not exist. Start the browser once to make it, then try again.");
        EXPECT_EQ(box.flags, 0x10u | 0x40000u);
        EXPECT_EQ(box.owner, 0x777u);
    }
}

TEST(InstallIntoBrowser, BrowserProgramOrder) {
    FakePlatform p;
    EXPECT_EQ(BrowserProgram(p, kBrowserFolder), "");
    const char* const exes[] = {"Opera.exe", "OperaPortable.exe", "OperaAC.exe"};
    for (const char* exe : exes) {
        p.AddFile(kBrowserFolder + "\\" + exe, "MZ");
        EXPECT_EQ(BrowserProgram(p, kBrowserFolder), kBrowserFolder + "\\" + exe);
    }
}

// Removal touches only a script inside an existing script folder.
TEST(InstallIntoBrowser, RemoveNeverTouchesAScriptOutsideTheScriptFolder) {
    struct Case {
        const char* name;
        std::optional<std::string> scriptFile;  // "User JavaScript File"
    };
    const Case cases[] = {
        {"no key", std::nullopt},
        {"empty key", std::string()},
        {"key names a file", std::string("C:\\Opera\\profile\\my.js")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        w.Set("FullInstall", "1");
        p.AddFile("C:\\Zelko.js", "root file");
        p.AddFile("C:\\Opera\\profile\\my.js", "user file");
        if (c.scriptFile) w.SetProfile("User Prefs", "User JavaScript File", *c.scriptFile);
        RecordingCatchView view;
        w.Install(view, 0);
        EXPECT_EQ(p.FileText("C:\\Zelko.js"), "root file");
        EXPECT_FALSE(p.HasFile("C:\\Zelko.js.xx"));
        EXPECT_EQ(w.Get("FullInstall"), "0");
    }
}

TEST(InstallIntoBrowser, NoBackupNoChange) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("FullInstall", "3");
    w.Running(100);
    p.FailWritesTo(kProfile + ".bak");
    const std::string before = *p.FileText(kProfile);
    RecordingCatchView view;
    w.Install(view, 1);
    EXPECT_EQ(p.FileText(kProfile), before);
    ASSERT_EQ(p.MessageBoxes().size(), 1u);  // the copy that could not be made is named
    EXPECT_EQ(p.MessageBoxes()[0].text, "Cannot write file \"" + kProfile + ".bak\"");
    EXPECT_TRUE(p.Starts().empty());
    EXPECT_EQ(w.Get("FullInstall"), "3");
    EXPECT_EQ(view.states, (std::vector<int>{2}));
}

// "FullInstall" and the box show what a run leaves in place, whatever the
// mode asked for: types pointing at Zelko.exe (1, 2) else a script that
// catches (3) else nothing (0).
TEST(InstallIntoBrowser, FullInstallIsWhatIsReallyInstalled) {
    enum class Fault { None, ScriptNotSetAside, RunNeverClears, ReadOnlyProfile, DiskFull,
                       ScriptFolderIsAFile };
    struct Case {
        const char* name;
        int mode;
        int fullBefore;
        bool scriptsOn;
        bool scriptThere;  // Zelko.js from an earlier install
        Fault fault;
        int fullAfter;
    };
    const Case cases[] = {
        {"remove", 0, 1, true, true, Fault::None, 0},
        {"remove, script not set aside: it still catches", 0, 1, true, true,
         Fault::ScriptNotSetAside, 3},
        {"remove after ctrl+click, script not set aside", 0, 3, true, true,
         Fault::ScriptNotSetAside, 3},
        {"remove, script not set aside but scripts off", 0, 1, false, true,
         Fault::ScriptNotSetAside, 0},
        {"remove, browser keeps running: nothing removed", 0, 3, true, true,
         Fault::RunNeverClears, 3},
        {"remove, read-only profile: types stay", 0, 2, true, false, Fault::ReadOnlyProfile, 2},
        {"catch all, browser keeps running: script only", 1, 0, false, false,
         Fault::RunNeverClears, 3},
        {"catch all, browser keeps running over installed types", 1, 1, true, true,
         Fault::RunNeverClears, 1},
        {"catch all, read-only profile: script only", 1, 0, true, false, Fault::ReadOnlyProfile,
         3},
        {"catch all, disk full: script only", 1, 3, true, false, Fault::DiskFull, 3},
        {"catch all, no script folder: types only", 1, 0, true, false,
         Fault::ScriptFolderIsAFile, 2},
        {"ctrl+click", 2, 0, false, false, Fault::None, 3},
        {"ctrl+click over installed types: they stay", 2, 1, true, false, Fault::None, 1},
        {"ctrl+click, scripts cannot be switched on", 2, 0, false, false,
         Fault::ReadOnlyProfile, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        w.Set("FullInstall", std::to_string(c.fullBefore));
        if (c.scriptsOn) w.ScriptsOn();
        if (c.scriptThere) p.AddFile(kUserJs + "\\Zelko.js", "old script");
        if (c.fullBefore == 1 || c.fullBefore == 2) w.TypesInstalled(c.fullBefore == 2);
        switch (c.fault) {
            case Fault::None: break;
            case Fault::ScriptNotSetAside: p.FailWritesTo(kUserJs + "\\Zelko.js.xx"); break;
            case Fault::RunNeverClears: w.Running(std::nullopt); break;
            case Fault::ReadOnlyProfile: p.SetReadOnly(kProfile, true); break;
            case Fault::DiskFull: p.FailWritesTo(kProfile); break;
            case Fault::ScriptFolderIsAFile:
                p.AddFile("C:\\Opera\\profile\\my.js", "user file");
                w.SetProfile("User Prefs", "User JavaScript File", "C:\\Opera\\profile\\my.js");
                break;
        }
        RecordingCatchView view;
        w.Install(view, c.mode);
        EXPECT_EQ(w.Get("FullInstall"), std::to_string(c.fullAfter));
        EXPECT_EQ(view.Last(), CatchStateOfFullInstall(c.fullAfter));
    }
}

// The restarted browser is found in a folder with blanks (unquoted,
// "C:\Program.exe" would be started) and runs in its own folder.
TEST(InstallIntoBrowser, RestartStartsTheBrowserQuotedInItsOwnFolder) {
    struct Case {
        std::string folder, commandLine;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Opera", "\"C:\\Program Files\\Opera\\Opera.exe\""},
        {"D:\\Opera", "D:\\Opera\\Opera.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        FakePlatform p;
        BrowserWorld w(p);
        p.AddFile("C:\\Program.exe", "MZ");
        w.UseBrowserFolder(c.folder);
        w.Running(1500);
        RecordingCatchView view;
        w.Install(view, 1);
        ASSERT_EQ(p.Starts().size(), 1u);
        const auto& start = p.Starts()[0];
        EXPECT_EQ(start.commandLine, c.commandLine);
        EXPECT_EQ(start.program, c.folder + "\\Opera.exe");
        EXPECT_EQ(start.currentFolder, std::optional<std::string>(c.folder));
        EXPECT_EQ(w.Get("FullInstall"), "2");
    }
}

// Removal puts back what the user had before Zelko changed the profile,
// however often the box was clicked in between; ".bak" is the profile as it
// was before each call.
TEST(InstallIntoBrowser, RemovalPutsBackTheUsersOwnTypes) {
    const char* const kMine = "5,C:\\7-Zip\\7zFM.exe,,,zip,|";
    struct Row {
        const char* type;
        const char* before;  // nullptr: the user had no entry
        const char* afterRemoval;
    };
    const Row rows[] = {
        {"application/zip", kMine, kMine},
        {"application/x-7z-compressed", "5,C:\\7-Zip\\7zFM.exe,,,7z,|", "5,C:\\7-Zip\\7zFM.exe,,,7z,|"},
        {"application/x-arj", nullptr, "0,,,,arj,|"},
        {"application/x-gzip", "", "0,,,,gz,gzip,tgz,|"},
        // Zelko's own entry, left by an older copy in another folder.
        {"application/x-rar-compressed", "7,D:\\Old\\ZELKO.EXE,,,rar,|", "0,,,,rar,|"},
        // Quotes of the value's own survive being kept.
        {"application/x-tar", "\"'5,C:\\Tar.exe,,,tar,|'\"", "'5,C:\\Tar.exe,,,tar,|'"},
        {"audio/mpeg", nullptr, "0,,,,mp3,mp2,mpga,|"},
    };
    FakePlatform p;
    BrowserWorld w(p);
    w.ScriptsOn();
    for (const Row& row : rows)
        if (row.before) w.SetProfile("File Types", row.type, row.before);
    RecordingCatchView view;
    for (int mode : {1, 0, 1, 0}) {
        const std::string before = *p.FileText(kProfile);
        w.Install(view, mode);
        EXPECT_EQ(p.FileText(kProfile + ".bak"), before) << "after mode " << mode;
    }
    EXPECT_EQ(w.Get("FullInstall"), "0");
    for (const Row& row : rows) EXPECT_EQ(w.Profile("File Types", row.type), row.afterRemoval) << row.type;
}

// What "Don't catch links" puts back after a sequence of steps: the value
// each install replaced, not one from an older install or from a ".bak" that
// another program has rewritten since.
TEST(InstallIntoBrowser, RemovalPutsBackTheValueTheLastInstallReplaced) {
    enum Step { Catch, DontCatch, UserSetsB, UserSetsC, BakRewritten };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const char* zipAfter;
    };
    const char* const A = "5,C:\\A.exe,,,zip,|";
    const char* const B = "5,C:\\B.exe,,,zip,|";
    const char* const C = "5,C:\\C.exe,,,zip,|";
    const Case cases[] = {
        {"A, catch, don't catch", {Catch, DontCatch}, A},
        {"the user changes A to B in between", {Catch, DontCatch, UserSetsB, Catch, DontCatch}, B},
        {"the profile's .bak rewritten while Zelko catches", {Catch, BakRewritten, DontCatch}, A},
        {"caught twice: the second install keeps A", {Catch, Catch, DontCatch}, A},
        {"the user points zip elsewhere while Zelko catches", {Catch, UserSetsC, DontCatch}, C},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        w.ScriptsOn();
        w.SetProfile("File Types", "application/zip", A);
        RecordingCatchView view;
        for (Step step : c.steps) {
            switch (step) {
                case Catch: w.Install(view, catch_mode::All); break;
                case DontCatch: w.Install(view, catch_mode::None); break;
                case UserSetsB: w.SetProfile("File Types", "application/zip", B); break;
                case UserSetsC: w.SetProfile("File Types", "application/zip", C); break;
                // As a path correction leaves it: a copy holding Zelko's entries.
                case BakRewritten: p.AddFile(kProfile + ".bak", *p.FileText(kProfile)); break;
            }
        }
        EXPECT_EQ(w.Profile("File Types", "application/zip"), c.zipAfter);
        EXPECT_EQ(w.Profile("File Types", "application/x-arj"), "0,,,,arj,|");
        EXPECT_EQ(w.Get("FullInstall"), "0");
    }
}

// A value that cannot be kept in Zelko.ini is not replaced.
TEST(InstallIntoBrowser, NoRowIsReplacedWhoseValueCannotBeKept) {
    FakePlatform p;
    BrowserWorld w(p);
    w.ScriptsOn();
    w.SetProfile("File Types", "application/zip", "5,C:\\A.exe,,,zip,|");
    p.SetReadOnly(kIni, true);
    RecordingCatchView view;
    w.Install(view, catch_mode::All);
    EXPECT_EQ(w.Profile("File Types", "application/zip"), "5,C:\\A.exe,,,zip,|");
    EXPECT_EQ(w.Profile("File Types", "application/x-arj"), "<none>");
    EXPECT_EQ(w.Profile("File Types", "text/zlk"), "<none>");
    EXPECT_TRUE(p.HasFile(kUserJs + "\\Zelko.js"));
    EXPECT_EQ(view.Last(), catch_mode::CtrlClick);
}

}  // namespace
}  // namespace zelko::testing
