#include <gtest/gtest.h>

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"
#include "tests/support/fake_platform.h"

namespace common {
namespace {

using Behaviour = FakePlatform::ProgramBehaviour;

TEST(RunProgram, CurrentFolderComesFromTheWholeCommandLine) {
    struct Case {
        std::string commandLine;
        std::optional<std::string> folder;
    } cases[] = {
        {"C:\\Tools\\app.exe -x", std::string("C:\\Tools")},
        {"\"C:\\Tools\\app.exe\" -x", std::nullopt},         // quote makes it no folder
        {"C:\\Tools\\app.exe C:\\Data\\in.txt", std::nullopt},  // "C:\Tools\app.exe C:\Data"
        {"app.exe", std::nullopt},
        {"C:\\Missing\\app.exe", std::nullopt},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        p.AddFolder("C:\\Tools");
        p.AddFolder("C:\\Data");
        p.OnProgram("app.exe", Behaviour{});
        RunProgram(p, c.commandLine, sw::ShowMinimized, false);
        ASSERT_EQ(p.Starts().size(), 1u) << c.commandLine;
        const auto& start = p.Starts()[0];
        EXPECT_EQ(start.commandLine, c.commandLine);
        EXPECT_EQ(start.showWindow, std::optional<int>(sw::ShowMinimized));
        EXPECT_EQ(start.creationFlags, 0u);
        EXPECT_EQ(start.currentFolder, c.folder) << c.commandLine;
        EXPECT_EQ(p.OpenProcessHandles(), 0u);
    }
}

TEST(RunProgram, WaitsUntilReadyPumpingOneMessagePerStep) {
    struct Case {
        bool wait;
        std::optional<std::uint32_t> idleAfter;
        std::size_t minPumps, maxPumps;
        std::uint64_t maxElapsed;
    } cases[] = {
        {false, 5000, 0, 0, 0},        // no wait: returns as soon as it is created
        {true, 0, 0, 0, 0},            // ready at once
        {true, 1000, 9, 10, 1100},     // ten 100 ms steps, a message pumped after each time-out
        {true, std::nullopt, 0, 0, 0}, // no message queue: any other answer ends the wait
    };
    for (const auto& c : cases) {
        FakePlatform p;
        Behaviour b;
        b.idleAfterMs = c.idleAfter;
        b.exitAfterMs = std::nullopt;
        p.OnProgram("slow.exe", b);
        RunProgram(p, "slow.exe", sw::Show, c.wait);
        EXPECT_GE(p.PumpCalls(), c.minPumps);
        EXPECT_LE(p.PumpCalls(), c.maxPumps);
        EXPECT_LE(p.ElapsedMs(), c.maxElapsed);
        EXPECT_EQ(p.OpenProcessHandles(), 0u);
    }
}

TEST(RunProgram, FailedStartIsSilent) {
    FakePlatform p;
    Behaviour b;
    b.failStart = true;
    p.OnProgram("gone.exe", b);
    RunProgram(p, "gone.exe", sw::Show, true);
    EXPECT_EQ(p.PumpCalls(), 0u);
    EXPECT_TRUE(p.MessageBoxes().empty());
    EXPECT_EQ(p.OpenProcessHandles(), 0u);
}

TEST(RunProgramAndWait, VariantsDifferInShowStateAndResult) {
    for (WaitVariant variant : {WaitVariant::Mirsa, WaitVariant::Tarvel}) {
        FakePlatform p;
        p.AddFolder("C:\\Tools");
        Behaviour b;
        b.exitAfterMs = 750;
        p.OnProgram("conv.exe", b);
        bool started = RunProgramAndWait(p, "C:\\Tools\\conv.exe a", variant, sw::Hide);
        EXPECT_TRUE(started);
        ASSERT_EQ(p.Starts().size(), 1u);
        const auto& start = p.Starts()[0];
        EXPECT_FALSE(start.currentFolder.has_value());  // no folder of its own
        if (variant == WaitVariant::Mirsa)
            EXPECT_EQ(start.showWindow, std::optional<int>(sw::Hide));
        else
            EXPECT_FALSE(start.showWindow.has_value());
        EXPECT_GE(p.ElapsedMs(), 700u);  // waited for the end
        EXPECT_FALSE(p.IsRunning(start.process));
        EXPECT_GE(p.PumpCalls(), 7u);
        EXPECT_EQ(p.OpenProcessHandles(), 0u);
    }
    FakePlatform p;
    Behaviour fail;
    fail.failStart = true;
    p.OnProgram("conv.exe", fail);
    EXPECT_FALSE(RunProgramAndWait(p, "conv.exe", WaitVariant::Mirsa, sw::Show));
}

TEST(WaitForProcessPumping, EndsWithTheProcessOrAtTheLimitPumpingEachStep) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> exitAfter;
        std::uint32_t limit;
        WaitResult result;
        std::uint64_t elapsed;
        std::size_t pumps;
    } cases[] = {
        {"ends first", 250, 1000, WaitResult::Signaled, 250, 2},
        {"runs on", std::nullopt, 1000, WaitResult::Timeout, 1000, 9},
        {"ends after the limit", 5000, 1000, WaitResult::Timeout, 1000, 9},
        {"no limit", 5000, kNoWaitLimit, WaitResult::Signaled, 5000, 49},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        p.SetTickCount(0xFFFFFF00u);  // the limit holds across the counter's wrap
        Behaviour b;
        b.exitAfterMs = c.exitAfter;
        p.OnProgram("slow.exe", b);
        ProcessStart start;
        start.commandLine = "slow.exe";
        ProcessId process = p.StartProcess(start);
        EXPECT_EQ(WaitForProcessPumping(p, process, c.limit), c.result);
        EXPECT_EQ(p.ElapsedMs(), c.elapsed);
        EXPECT_EQ(p.PumpCalls(), c.pumps);
        p.CloseProcess(process);
    }
}

TEST(ExpandPath, RelativeEnvironmentAndShellFolders) {
    struct Case {
        ExpandVariant variant;
        std::string path, base, expected;
    } cases[] = {
        {ExpandVariant::Zelko, "USD\\USDownloader.exe", "D:\\tools\\", "D:\\tools\\USD\\USDownloader.exe"},
        {ExpandVariant::Zelko, "x.exe", "D:\\tools", "D:\\tools\\x.exe"},
        {ExpandVariant::Zelko, "%APPS%\\x.exe", "D:\\tools\\", "E:\\apps\\x.exe"},
        {ExpandVariant::Zelko, "%UNSET%\\x.exe", "D:\\tools\\", "D:\\tools\\%UNSET%\\x.exe"},
        {ExpandVariant::Zelko, "", "D:\\tools\\", ""},
        {ExpandVariant::Zelko, "rel\\C:\\odd", "D:\\t\\", "rel\\C:\\odd"},  // ":\" anywhere
        {ExpandVariant::Zelko, "%DesktopDir%\\x", "D:\\t\\", "D:\\t\\%DesktopDir%\\x"},
        {ExpandVariant::Mirsa, "%DesktopDir%\\Saved", "D:\\t\\", "C:\\Users\\me\\Desktop\\Saved"},
        {ExpandVariant::Mirsa, "%MyDocuments%\\Pages", "D:\\t\\", "C:\\Users\\me\\Docs\\Pages"},
        {ExpandVariant::Mirsa, "%DesktopDir%\\a;%DesktopDir%", "D:\\t\\",
         "C:\\Users\\me\\Desktop\\a;%DesktopDir%"},  // first occurrence only
        {ExpandVariant::Mirsa, "pages", "C:\\save\\", "C:\\save\\pages"},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        p.SetEnv("APPS", "E:\\apps");
        p.SetRegistryUserString(browser::kShellFoldersKey, "Desktop", "C:\\Users\\me\\Desktop\\");
        p.SetRegistryUserString(browser::kShellFoldersKey, "Personal", "C:\\Users\\me\\Docs");
        EXPECT_EQ(ExpandPath(p, c.path, c.variant, c.base), c.expected) << c.path;
    }
}

TEST(ExpandPath, MissingShellFolderRemovesThePlaceholder) {
    FakePlatform p;
    EXPECT_EQ(ExpandPath(p, "%DesktopDir%\\x", ExpandVariant::Mirsa, "C:\\b\\"), "C:\\b\\\\x");
    EXPECT_EQ(ExpandPath(p, "%MyDocuments%", ExpandVariant::Mirsa, "C:\\b\\"), "");
}

TEST(GetEnvVar, UnsetIsEmpty) {
    FakePlatform p;
    p.SetEnv("PATH", "C:\\WINDOWS");
    EXPECT_EQ(GetEnvVar(p, "PATH"), "C:\\WINDOWS");
    EXPECT_EQ(GetEnvVar(p, "path"), "C:\\WINDOWS");
    EXPECT_EQ(GetEnvVar(p, "NOPE"), "");
    for (std::size_t size : {16383u, 16384u, 20000u, 32767u}) {
        p.SetEnv("BIG", std::string(size, 'x'));
        EXPECT_EQ(GetEnvVar(p, "BIG"), std::string(size, 'x')) << size;
    }
}

TEST(ProgramTitleOfPath, NameWithoutExtensionFirstLetterUpper) {
    FakePlatform p;
    struct Case {
        std::string path, title;
    } cases[] = {
        {"C:\\Program Files\\FlashGet\\flashget.exe", "Flashget"},
        {"c:\\dm\\get.exe [url] -r [referrer]", "Get"},
        {"noext", "Noext"},
        {"c:\\a.b\\tool", "Tool"},
        {"c:\\x\\.exe", ""},
        {"", ""},
        {"\xE9t\xE9.exe", "\xC9t\xE9"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgramTitleOfPath(p, c.path), c.title) << c.path;
}

TEST(ShellFileOperation, PassesDoubleZeroPathsAndFlags) {
    FakePlatform p;
    p.AddFile("C:\\src\\a\\one.txt", "1");
    p.AddFile("C:\\src\\b.txt", "2");
    EXPECT_TRUE(ShellCopyFiles(p, 0, "C:\\src\\", "C:\\dst\\"));
    ASSERT_EQ(p.ShellOperations().size(), 1u);
    const auto& op = p.ShellOperations()[0];
    EXPECT_EQ(op.operation, shell_op::Copy);
    EXPECT_EQ(op.flags, shell_op::SimpleProgress);
    EXPECT_EQ(op.from, "C:\\src");
    EXPECT_EQ(op.to, "C:\\dst");
    EXPECT_EQ(p.FileText("C:\\dst\\a\\one.txt"), std::optional<std::string>("1"));

    EXPECT_TRUE(ShellMoveFiles(p, 0, "C:\\dst", "C:\\moved"));
    EXPECT_EQ(p.ShellOperations().back().operation, shell_op::Move);
    EXPECT_FALSE(p.HasFolder("C:\\dst"));
    EXPECT_TRUE(p.HasFile("C:\\moved\\b.txt"));

    p.FailNextShellOperation(0x7C);
    EXPECT_FALSE(ShellFileOperation(p, 0, shell_op::Delete, shell_op::Silent, "C:\\moved", ""));
    EXPECT_EQ(p.ShellOperations().back().flags, shell_op::SimpleProgress | shell_op::Silent);
    EXPECT_TRUE(p.HasFolder("C:\\moved"));
}

TEST(BrowserWindow, FirstVisibleOpWindowWithOperaInTitle) {
    FakePlatform p;
    using Spec = FakePlatform::WindowSpec;
    // Added last = top of the Z order, so add in reverse of the enumeration order.
    WindowId second = p.AddWindow(Spec{"OpWindow", "Other - Opera"});
    p.AddWindow(Spec{"OpWindow", "Hidden - Opera", 0, false});
    p.AddWindow(Spec{"OpWindow", "no brand here"});
    p.AddWindow(Spec{"opwindow", "Case - Opera"});
    p.AddWindow(Spec{"OpWindow", "lower opera"});
    p.AddWindow(Spec{"OpWindow", ""});
    EXPECT_EQ(browser::FindBrowserWindow(p), second);
    WindowId first = p.AddWindow(Spec{"OpWindow", "Top - Opera"});
    EXPECT_EQ(browser::FindBrowserWindow(p), first);
    FakePlatform empty;
    EXPECT_EQ(browser::FindBrowserWindow(empty), 0u);
}

TEST(Dde, OneStartAttemptWhenTheFirstConnectFails) {
    for (auto starter : {browser::DdeStarter::CreateProcess, browser::DdeStarter::WinExec}) {
        FakePlatform p;
        Behaviour b;
        b.exitAfterMs = std::nullopt;
        b.onStart = [](FakePlatform& fp, ProcessId, const FakePlatform::StartRecord&) {
            fp.AddDdeResponder("Opera", "WWW_GetWindowInfo",
                               [](FakePlatform&, const std::string& item) {
                                   return std::optional<std::string>("\"u\",\"" + item + "\"");
                               });
        };
        p.OnProgram("Opera", b);
        auto reply = browser::DdeRequestOnce(p, "WWW_GetWindowInfo", "0xFFFFFFFF", starter);
        EXPECT_EQ(reply, std::optional<std::string>("\"u\",\"0xFFFFFFFF\""));
        ASSERT_EQ(p.Starts().size(), 1u);
        EXPECT_EQ(p.Starts()[0].commandLine, "Opera WWW_GetWindowInfo");
        EXPECT_EQ(p.Starts()[0].showWindow, std::optional<int>(sw::ShowMinNoActive));
        EXPECT_EQ(p.Starts()[0].by, starter == browser::DdeStarter::WinExec
                                        ? FakePlatform::StartedBy::WinExec
                                        : FakePlatform::StartedBy::CreateProcess);
        EXPECT_EQ(p.OpenDdeConversations(), 0u);
        bool sawTimeout = false;
        for (const auto& r : p.DdeLog())
            if (r.kind == FakePlatform::DdeRecord::Request) sawTimeout = r.timeoutMs == 10000;
        EXPECT_TRUE(sawTimeout);
    }
}

TEST(Dde, FailedStartMeansNoSecondConnect) {
    FakePlatform p;
    Behaviour b;
    b.failStart = true;
    p.OnProgram("Opera", b);
    EXPECT_FALSE(browser::DdeRequestOnce(p, "WWW_OpenURL", "x", browser::DdeStarter::WinExec));
    std::size_t connects = 0;
    for (const auto& r : p.DdeLog()) connects += r.kind == FakePlatform::DdeRecord::Connect;
    EXPECT_EQ(connects, 1u);
}

TEST(Dde, RunningServerIsNotStarted) {
    FakePlatform p;
    p.AddDdeResponder("Opera", "WWW_OpenURL",
                      [](FakePlatform&, const std::string&) { return std::nullopt; });
    EXPECT_FALSE(browser::DdeRequestOnce(p, "WWW_OpenURL", "http://x/",
                                         browser::DdeStarter::WinExec));
    EXPECT_TRUE(p.Starts().empty());
}

TEST(ProfileFolders, SingleAndMultiUser) {
    FakePlatform p;
    p.SetRegistryUserString(browser::kShellFoldersKey, "AppData", "C:\\Users\\me\\AppData");
    p.SetRegistryUserString(browser::kShellFoldersKey, "Local AppData", "C:\\Users\\me\\Local");
    EXPECT_EQ(browser::SingleUserProfileDir("D:\\Opera"), "D:\\Opera\\profile\\");
    EXPECT_EQ(browser::SingleUserMailDir("D:\\Opera"), "D:\\Opera\\mail\\");
    EXPECT_EQ(browser::MultiUserBaseDir(p, "D:\\Apps\\Opera9"), "C:\\Users\\me\\AppData\\opera\\Opera9");
    EXPECT_EQ(browser::MultiUserLocalBaseDir(p, "D:\\Apps\\Opera9\\"),
              "C:\\Users\\me\\Local\\opera\\Opera9");
    FakePlatform none;
    EXPECT_EQ(browser::MultiUserBaseDir(none, "D:\\O"), "\\opera\\O");
}

TEST(WriteFileAtomic, ReplacesWholeOrLeavesTheOld) {
    FakePlatform p;
    p.AddFile("C:\\d\\page.html", "old");
    EXPECT_TRUE(WriteFileAtomic(p, "C:\\d\\page.html", "new"));
    EXPECT_EQ(p.FileText("C:\\d\\page.html"), std::optional<std::string>("new"));
    EXPECT_EQ(p.FilesUnder("C:\\d").size(), 1u);  // no temporary left

    p.FailWritesTo("C:\\d\\page.html.~new");
    EXPECT_FALSE(WriteFileAtomic(p, "C:\\d\\page.html", "lost"));
    EXPECT_EQ(p.FileText("C:\\d\\page.html"), std::optional<std::string>("new"));
    EXPECT_EQ(p.FilesUnder("C:\\d").size(), 1u);

    EXPECT_FALSE(WriteFileAtomic(p, "C:\\missing\\x.txt", "a"));
}

// Another writer's temporary files are in flight beside the file: each writer
// uses a name of its own, so neither is written over nor moved into place.
TEST(WriteFileAtomic, TemporaryNamesOfOtherWritersAreLeftAlone) {
    const struct {
        std::vector<std::string> inFlight;
    } cases[] = {{{"C:\\d\\opera6.ini.~new"}},
                 {{"C:\\d\\opera6.ini.~new", "C:\\d\\opera6.ini.~new1"}}};
    for (const auto& c : cases) {
        FakePlatform p;
        p.AddFile("C:\\d\\opera6.ini", "old");
        for (const std::string& t : c.inFlight) p.AddFile(t, "theirs");
        EXPECT_TRUE(WriteFileAtomic(p, "C:\\d\\opera6.ini", "mine"));
        EXPECT_EQ(p.FileText("C:\\d\\opera6.ini"), std::optional<std::string>("mine"));
        for (const std::string& t : c.inFlight)
            EXPECT_EQ(p.FileText(t), std::optional<std::string>("theirs")) << t;
        EXPECT_EQ(p.FilesUnder("C:\\d").size(), c.inFlight.size() + 1);
        // No temporary name matches the masks the programs list originals by.
        EXPECT_EQ(p.FindFiles("C:\\d\\*.ini").size(), 1u);
    }
}

TEST(IniFile, TypedValues) {
    FakePlatform p;
    p.AddFolder("C:\\app");
    IniFile ini(p, "C:\\app\\a.ini");
    EXPECT_EQ(ini.Text("Main", "DM", "dflt"), "dflt");
    EXPECT_TRUE(ini.Bool("Main", "Advanced", true));
    EXPECT_TRUE(ini.WriteBool("Main", "Advanced", false));
    EXPECT_TRUE(ini.WriteInt("Position", "Left", -12));
    EXPECT_TRUE(ini.WriteText("Main", "DM", ""));
    EXPECT_FALSE(ini.Bool("Main", "Advanced", true));
    EXPECT_EQ(ini.Int("Position", "Left", 0), -12);
    EXPECT_EQ(ini.Text("Main", "DM", "dflt"), "");  // written empty, not missing
    std::string text = p.FileText("C:\\app\\a.ini").value_or("");
    EXPECT_NE(text.find("Advanced=0"), std::string::npos);
    EXPECT_NE(text.find("Left=-12"), std::string::npos);
}

}  // namespace
}  // namespace common
