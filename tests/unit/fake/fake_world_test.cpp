// The fake's clock, processes, desktop, DDE, dialogs, environment and code
// page behave as the flow tests expect.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/fake_platform.h"

namespace {

using common::FakePlatform;
using common::WaitResult;

common::ProcessStart Cmd(const std::string& line) {
    common::ProcessStart s;
    s.commandLine = line;
    return s;
}

TEST(FakeClock, SleepAdvancesAndTheTickWrapsAround) {
    FakePlatform p;
    EXPECT_EQ(p.TickCount(), FakePlatform::kStartTick);
    p.Sleep(250);
    EXPECT_EQ(p.TickCount(), FakePlatform::kStartTick + 250);
    p.SetTickCount(0xFFFFFF00u);
    p.Sleep(0x200);
    EXPECT_EQ(p.TickCount(), 0x100u);
    EXPECT_EQ(p.SleepCalls(), 2u);
    EXPECT_EQ(p.SleptMs(), 0x200u + 250u);
}

TEST(FakeClock, ScheduledEventsRunInTimeOrderAtTheirTime) {
    FakePlatform p;
    std::vector<std::pair<int, std::uint64_t>> ran;
    p.Schedule(300, [&](FakePlatform& f) { ran.push_back({3, f.ElapsedMs()}); });
    p.Schedule(100, [&](FakePlatform& f) {
        ran.push_back({1, f.ElapsedMs()});
        f.Schedule(50, [&](FakePlatform& g) { ran.push_back({2, g.ElapsedMs()}); });
    });
    p.Sleep(200);
    EXPECT_EQ(ran, (std::vector<std::pair<int, std::uint64_t>>{{1, 100}, {2, 150}}));
    p.Sleep(200);
    EXPECT_EQ(ran.back(), (std::pair<int, std::uint64_t>{3, 300}));
    EXPECT_EQ(p.ElapsedMs(), 400u);
}

TEST(FakeClock, LocalTimeMovesWithTheClock) {
    FakePlatform p;
    p.SetLocalTime({2023, 12, 0, 31, 23, 59, 59, 500});
    p.Sleep(1000);
    common::SystemTime t = p.LocalTime();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.dayOfWeek, 1);  // a Monday
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.milliseconds, 500);
}

TEST(FakeClock, PumpCountsCallsAndRunsQueuedMessages) {
    FakePlatform p;
    int ran = 0;
    p.QueueMessage([&](FakePlatform&) { ++ran; });
    EXPECT_TRUE(p.PumpOneMessage());
    EXPECT_FALSE(p.PumpOneMessage());
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(p.PumpCalls(), 2u);
    EXPECT_EQ(p.PumpedMessages(), 1u);
}

TEST(FakeProcesses, WaitsAdvanceTheClockUntilIdleAndExit) {
    FakePlatform p;
    FakePlatform::ProgramBehaviour b;
    b.idleAfterMs = 250;
    b.exitAfterMs = 1000;
    p.OnProgram("tool.exe", b);
    common::ProcessId id = p.StartProcess(Cmd("\"C:\\t\\Tool.exe\" -x"));
    ASSERT_NE(id, 0u);
    EXPECT_EQ(p.WaitForInputIdle(id, 100), WaitResult::Timeout);
    EXPECT_EQ(p.WaitForInputIdle(id, 100), WaitResult::Timeout);
    EXPECT_EQ(p.WaitForInputIdle(id, 100), WaitResult::Signaled);
    EXPECT_EQ(p.ElapsedMs(), 250u);
    EXPECT_EQ(p.WaitForProcess(id, 500), WaitResult::Timeout);
    EXPECT_TRUE(p.IsRunning(id));
    EXPECT_EQ(p.WaitForProcess(id, 500), WaitResult::Signaled);
    EXPECT_EQ(p.ElapsedMs(), 1000u);
    EXPECT_FALSE(p.IsRunning(id));
    EXPECT_EQ(p.OpenProcessHandles(), 1u);
    p.CloseProcess(id);
    EXPECT_EQ(p.OpenProcessHandles(), 0u);
    EXPECT_EQ(p.WaitForProcess(id, 10), WaitResult::Failed);
}

TEST(FakeProcesses, NoMessageQueueAndEarlyExitFailTheIdleWait) {
    FakePlatform p;
    FakePlatform::ProgramBehaviour console;
    console.idleAfterMs = std::nullopt;
    p.OnProgram("console.exe", console);
    FakePlatform::ProgramBehaviour quitter;
    quitter.idleAfterMs = 500;
    quitter.exitAfterMs = 200;
    p.OnProgram("quitter.exe", quitter);
    EXPECT_EQ(p.WaitForInputIdle(p.StartProcess(Cmd("console.exe")), 100), WaitResult::Failed);
    EXPECT_EQ(p.ElapsedMs(), 0u);
    EXPECT_EQ(p.WaitForInputIdle(p.StartProcess(Cmd("quitter")), 1000), WaitResult::Failed);
    EXPECT_EQ(p.ElapsedMs(), 200u);
}

TEST(FakeProcesses, AWaitThatNeverEndsHitsTheClockLimit) {
    FakePlatform p;
    FakePlatform::ProgramBehaviour forever;
    forever.exitAfterMs = std::nullopt;
    p.OnProgram("forever.exe", forever);
    common::ProcessId id = p.StartProcess(Cmd("forever.exe"));
    p.SetClockLimit(60000);
    EXPECT_THROW(p.WaitForProcess(id, 0xFFFFFFFFu), std::runtime_error);
}

TEST(FakeProcesses, StartsAreRecordedAndMatchedByProgram) {
    FakePlatform p;
    p.AddFile("C:\\Program Files\\Known\\known.exe", "MZ");
    p.AddFile("C:\\WINDOWS\\notepad.exe", "MZ");
    p.AddFolder("C:\\work");
    p.SetEnv("Path", "C:\\bin");
    FakePlatform::ProgramBehaviour fails;
    fails.failStart = true;
    p.OnProgram("C:\\bad\\bad.exe", fails);
    const struct {
        std::string line;
        std::optional<std::string> folder;
        bool started;
    } cases[] = {
        {"C:\\Program Files\\Known\\known.exe /a", std::nullopt, true},  // unquoted with a blank
        {"\"C:\\Program Files\\Known\\KNOWN.EXE\"", std::string("C:\\work"), true},
        {"notepad file.txt", std::nullopt, true},  // found in the Windows folder
        {"C:\\missing.exe", std::nullopt, false},
        {"C:\\bad\\BAD.exe -q", std::nullopt, false},
        {"\"C:\\Program Files\\Known\\known.exe\"", std::string("C:\\nowhere"), false},
        {"   ", std::nullopt, false},
    };
    for (const auto& c : cases) {
        common::ProcessStart s = Cmd(c.line);
        s.currentFolder = c.folder;
        s.showWindow = 7;
        EXPECT_EQ(p.StartProcess(s) != 0, c.started) << c.line;
    }
    ASSERT_EQ(p.Starts().size(), std::size(cases));
    const auto& first = p.Starts().front();
    EXPECT_EQ(first.program, "C:\\Program Files\\Known\\known.exe");
    EXPECT_EQ(first.showWindow, 7);
    EXPECT_EQ(first.tick, FakePlatform::kStartTick);
    EXPECT_EQ(first.environment,
              (std::vector<std::pair<std::string, std::string>>{{"Path", "C:\\bin"}}));
    EXPECT_EQ(p.StartsOf("known.exe").size(), 3u);
    EXPECT_EQ(p.StartsOf("c:\\bad\\bad.exe").size(), 1u);
    EXPECT_TRUE(p.WinExec("notepad", 1));
    EXPECT_EQ(p.Starts().back().by, FakePlatform::StartedBy::WinExec);
}

TEST(FakeProcesses, AnExitingProcessTakesItsWindowsAndMutexes) {
    FakePlatform p;
    FakePlatform::ProgramBehaviour b;
    b.exitAfterMs = std::nullopt;
    b.exitAfterWindowClosedMs = 300;
    b.onStart = [](FakePlatform& f, common::ProcessId id, const FakePlatform::StartRecord&) {
        FakePlatform::WindowSpec w;
        w.className = "OpWindow";
        w.title = "Page - Opera";
        w.process = id;
        f.AddWindow(w);
        f.AddWindow(w);
        f.HoldMutexElsewhere("Busy", id);
    };
    p.OnProgram("opera.exe", b);
    common::ProcessId id = p.StartProcess(Cmd("opera.exe"));
    ASSERT_EQ(p.TopLevelWindows().size(), 2u);
    EXPECT_EQ(p.AcquireMutex("busy", 100), 0u);
    p.SendMessage(p.TopLevelWindows().front(), common::wm::Close, 0, 0);
    EXPECT_EQ(p.TopLevelWindows().size(), 1u);
    EXPECT_EQ(p.WaitForProcess(id, 1000), WaitResult::Signaled);
    EXPECT_EQ(p.ElapsedMs(), 400u);
    EXPECT_TRUE(p.TopLevelWindows().empty());
    common::MutexId m = p.AcquireMutex("BUSY", 0);
    ASSERT_NE(m, 0u);
    EXPECT_NE(p.AcquireMutex("busy", 0), 0u);  // again in the same process
    EXPECT_TRUE(p.MutexHeldHere("Busy"));
    EXPECT_EQ(p.OpenMutexHandles(), 2u);
}

TEST(FakeDesktop, FindWindowFollowsFindWindowEx) {
    FakePlatform p;
    FakePlatform::WindowSpec props;
    props.className = "OpWindow";
    props.title = "Second - Opera";
    common::WindowId older = p.AddWindow(props);
    props.title = "First - Opera";
    common::WindowId newer = p.AddWindow(props);  // on top of the Z order
    props.className = "#32770";
    props.title = "";
    common::WindowId dialog = p.AddWindow(props);
    props.parent = dialog;
    props.className = "Button";
    props.title = "&Save";
    common::WindowId save = p.AddWindow(props);
    props.title = "Cancel";
    common::WindowId cancel = p.AddWindow(props);

    EXPECT_EQ(p.TopLevelWindows(), (std::vector<common::WindowId>{dialog, newer, older}));
    EXPECT_EQ(p.FindWindow(0, 0, "opwindow", std::nullopt), newer);
    EXPECT_EQ(p.FindWindow(0, newer, "OpWindow", std::nullopt), older);
    EXPECT_EQ(p.FindWindow(0, older, "OpWindow", std::nullopt), 0u);
    EXPECT_EQ(p.FindWindow(0, 0, "", std::string("second - opera")), older);
    EXPECT_EQ(p.FindWindow(0, 0, "", std::string("")), dialog);
    EXPECT_EQ(p.FindWindow(0, 0, "Button", std::nullopt), 0u);  // children are not top level
    EXPECT_EQ(p.FindWindow(dialog, 0, "Button", std::nullopt), save);
    EXPECT_EQ(p.FindWindow(dialog, save, "Button", std::nullopt), cancel);
    EXPECT_EQ(p.NextSibling(save), cancel);
    EXPECT_EQ(p.NextSibling(cancel), 0u);
}

TEST(FakeDesktop, DescendantsAreDepthFirstAndVisibilityNeedsTheAncestors) {
    FakePlatform p;
    FakePlatform::WindowSpec props;
    common::WindowId top = p.AddWindow(props);
    props.parent = top;
    common::WindowId a = p.AddWindow(props);
    common::WindowId b = p.AddWindow(props);
    props.parent = a;
    common::WindowId a1 = p.AddWindow(props);
    EXPECT_EQ(p.Descendants(top), (std::vector<common::WindowId>{a, a1, b}));
    p.SetVisible(a, false);
    EXPECT_FALSE(p.IsWindowVisible(a1));
    EXPECT_TRUE(p.IsWindowVisible(b));
    p.SendMessage(a, common::wm::Close, 0, 0);
    EXPECT_FALSE(p.IsWindow(a1));
    EXPECT_EQ(p.Descendants(top), (std::vector<common::WindowId>{b}));
}

TEST(FakeDesktop, MessagesAreLoggedAndButtonsTellTheirParent) {
    FakePlatform p;
    FakePlatform::WindowSpec props;
    props.className = "#32770";
    common::WindowId dialog = p.AddWindow(props);
    props.parent = dialog;
    props.className = "Edit";
    common::WindowId edit = p.AddWindow(props);
    props.className = "Button";
    props.controlId = 1;
    common::WindowId save = p.AddWindow(props);
    props.className = "ComboBox";
    props.items = {"HTML", "Text"};
    common::WindowId combo = p.AddWindow(props);
    std::string saved;
    p.SetMessageHandler(dialog, [&](FakePlatform& f, const FakePlatform::SentMessage& m)
                                    -> std::optional<std::intptr_t> {
        if (m.message == common::wm::Command && (m.wParam & 0xFFFF) == 1)
            saved = f.SendGetText(edit, 256);
        return std::nullopt;
    });

    p.SendSetText(edit, "C:\\page.htm");
    EXPECT_EQ(p.SendMessage(combo, common::wm::CbSetCurSel, 1, 0), 1);
    EXPECT_EQ(p.SendMessage(combo, common::wm::CbSetCurSel, 5, 0), -1);
    EXPECT_EQ(p.SendMessage(combo, common::wm::CbGetCurSel, 0, 0), -1);
    p.SendMessage(save, common::wm::BmClick, 0, 0);
    EXPECT_EQ(saved, "C:\\page.htm");
    EXPECT_EQ(p.SendGetText(edit, 4), "C:\\");
    char buffer[8];
    EXPECT_EQ(p.SendMessage(edit, common::wm::GetText, sizeof buffer,
                            reinterpret_cast<std::intptr_t>(buffer)), 7);
    EXPECT_STREQ(buffer, "C:\\page");

    std::vector<unsigned> sequence;
    for (const auto& m : p.Messages()) sequence.push_back(m.message);
    using common::wm::BmClick, common::wm::CbGetCurSel, common::wm::CbSetCurSel,
        common::wm::Command, common::wm::GetText, common::wm::SetText;
    EXPECT_EQ(sequence, (std::vector<unsigned>{SetText, CbSetCurSel, CbSetCurSel, CbGetCurSel,
                                               BmClick, Command, GetText, GetText, GetText}));
    EXPECT_EQ(p.MessagesTo(edit).front().text, "C:\\page.htm");
}

TEST(FakeDesktop, ShowEnableAndForeground) {
    FakePlatform p;
    FakePlatform::WindowSpec props;
    props.iconic = true;
    common::WindowId w = p.AddWindow(props);
    common::WindowId other = p.AddWindow(FakePlatform::WindowSpec{});
    EXPECT_TRUE(p.ShowWindow(w, common::sw::Restore));
    EXPECT_FALSE(p.IsIconic(w));
    EXPECT_FALSE(p.EnableWindow(w, false));
    EXPECT_TRUE(p.EnableWindow(w, true));  // it was disabled
    EXPECT_TRUE(p.SetForegroundWindow(w));
    EXPECT_EQ(p.ForegroundWindow(), w);
    EXPECT_EQ(p.TopLevelWindows().front(), w);
    p.SetForegroundRefused(true);
    EXPECT_FALSE(p.SetForegroundWindow(other));
    EXPECT_EQ(p.ForegroundWindow(), w);
    p.DestroyWindow(w);
    EXPECT_EQ(p.ForegroundWindow(), other);
}

TEST(FakeInput, KeyObserversSeeTheStateAfterEachEvent) {
    FakePlatform p;
    int saves = 0;
    p.AddKeyObserver([&](FakePlatform& f, const FakePlatform::KeyRecord& k) {
        if (k.virtualKey == common::vk::KeyS && !k.keyUp && f.IsKeyDown(common::vk::Control))
            ++saves;
    });
    EXPECT_EQ(p.MapVirtualKey(common::vk::Control), 0x1D);
    EXPECT_EQ(p.MapVirtualKey(common::vk::KeyS), 0x1F);
    EXPECT_EQ(p.MapVirtualKey(common::vk::Insert), 0x52);
    p.KeyEvent(common::vk::KeyS, 0x1F, false);
    p.KeyEvent(common::vk::KeyS, 0x1F, true);
    p.KeyEvent(common::vk::Control, 0x1D, false);
    p.KeyEvent(common::vk::KeyS, 0x1F, false);
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(p.IsKeyDown(common::vk::KeyS));
    EXPECT_EQ(p.Keys().size(), 4u);
    p.MouseEvent(common::mouse_flags::LeftDown);
    EXPECT_TRUE(p.IsKeyDown(common::vk::LButton));
}

TEST(FakeDde, RespondersAnswerAndSilenceTimesOut) {
    FakePlatform p;
    EXPECT_EQ(p.DdeConnect("Opera", "WWW_GetWindowInfo"), 0u);
    p.AddDdeResponder("opera", "www_getwindowinfo",
                      [](FakePlatform&, const std::string& item) -> std::optional<std::string> {
                          if (item == "0xFFFFFFFF") return std::string("\"http://a/\",\"A\"");
                          return std::nullopt;
                      });
    common::DdeConversation c = p.DdeConnect("Opera", "WWW_GetWindowInfo");
    ASSERT_NE(c, 0u);
    EXPECT_EQ(p.DdeRequest(c, "0xFFFFFFFF", 10000), "\"http://a/\",\"A\"");
    EXPECT_EQ(p.ElapsedMs(), 0u);
    EXPECT_FALSE(p.DdeRequest(c, "other", 10000).has_value());
    EXPECT_EQ(p.ElapsedMs(), 10000u);
    p.DdeDisconnect(c);
    EXPECT_EQ(p.OpenDdeConversations(), 0u);
    ASSERT_EQ(p.DdeLog().size(), 5u);
    EXPECT_EQ(p.DdeLog()[2].topic, "WWW_GetWindowInfo");
    EXPECT_EQ(p.DdeLog()[2].timeoutMs, 10000u);
}

TEST(FakeUi, MessageBoxAnswers) {
    using namespace common;
    const struct {
        std::uint32_t flags;
        std::optional<int> fixedDefault;
        int expected;
    } cases[] = {
        {mb::Ok | mb::IconError, answer::No, answer::Ok},
        {mb::YesNo, std::nullopt, answer::Yes},
        {mb::YesNo | 0x100, std::nullopt, answer::No},  // MB_DEFBUTTON2
        {mb::YesNoCancel | 0x200, std::nullopt, answer::Cancel},
        {mb::OkCancel, answer::Cancel, answer::Cancel},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        p.SetMessageBoxDefault(c.fixedDefault);
        EXPECT_EQ(p.MessageBox(0, "t", "Zelko", c.flags), c.expected) << c.flags;
    }
    FakePlatform p;
    p.QueueMessageBoxAnswer(answer::No);
    EXPECT_EQ(p.MessageBox(0, "Overwrite?", "Mirsa", mb::YesNo), answer::No);
    EXPECT_EQ(p.MessageBox(0, "Again?", "Mirsa", mb::YesNo), answer::Yes);
    ASSERT_EQ(p.MessageBoxes().size(), 2u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "Overwrite?");
    EXPECT_EQ(p.MessageBoxes()[0].answer, answer::No);
    p.QueueFileDialogAnswer(std::string("C:\\x.htm"));
    EXPECT_EQ(p.FileDialog({}), "C:\\x.htm");
    EXPECT_FALSE(p.FileDialog({}).has_value());
    EXPECT_EQ(p.FileDialogs().size(), 2u);
}

TEST(FakeEnvironment, ExpandsLikeExpandEnvironmentStrings) {
    FakePlatform p;
    p.SetEnv("AppData", "C:\\Users\\u\\AppData");
    p.SetEnv("EMPTY", "");
    const std::pair<const char*, const char*> cases[] = {
        {"%APPDATA%\\x", "C:\\Users\\u\\AppData\\x"},
        {"%appdata%%AppData%", "C:\\Users\\u\\AppData" "C:\\Users\\u\\AppData"},
        {"%UNSET%\\x", "%UNSET%\\x"},
        {"%UNSET%APPDATA%", "%UNSET%APPDATA%"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"a%EMPTY%b", "ab"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(p.ExpandEnvironment(in), out) << in;
    EXPECT_EQ(p.GetEnv("appdata"), "C:\\Users\\u\\AppData");
    p.UnsetEnv("APPDATA");
    EXPECT_FALSE(p.GetEnv("AppData").has_value());
    EXPECT_FALSE(p.SetEnv("A=B", "x"));
    p.SetRegistryUserString("Software\\X", "Path", "C:\\x");
    EXPECT_EQ(p.RegistryUserString("SOFTWARE\\x", "path"), "C:\\x");
    EXPECT_FALSE(p.RegistryUserString("Software\\X", "Other").has_value());
}

TEST(FakeText, ConvertsThroughCodePage1252) {
    FakePlatform p;
    const std::pair<std::string, std::string> pairs[] = {
        {"abc", "abc"},
        {"\xE4\xF6\xFC\xDF", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"},
        {"\x80", "\xE2\x82\xAC"},          // euro sign
        {"\x91\x92", "\xE2\x80\x98\xE2\x80\x99"},
        {"\x9F", "\xC5\xB8"},
        {"\x81", "\xC2\x81"},              // unassigned: the C1 control
    };
    for (const auto& [ansi, utf8] : pairs) {
        EXPECT_EQ(p.AnsiToUtf8(ansi), utf8);
        EXPECT_EQ(p.Utf8ToAnsi(utf8), ansi);
    }
    EXPECT_EQ(p.Utf8ToAnsi("\xD0\x96x"), "?x");      // Cyrillic: not in 1252
    EXPECT_EQ(p.Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");  // one character outside the BMP
    EXPECT_EQ(p.Utf8ToAnsi("a\xFF" "b\xC3"), "a?b?");  // malformed bytes
    EXPECT_EQ(p.UpperCase("ab\xE4\xFF\x9A\xF7\xDF"), "AB\xC4\x9F\x8A\xF7\xDF");
    EXPECT_EQ(p.LowerCase("AB\xC4\x9F\x8A\xD7"), "ab\xE4\xFF\x9A\xD7");
}

TEST(FakeText, FormatsDatesAndTimesWithPictures) {
    FakePlatform p;
    const common::SystemTime t{2024, 3, 0, 5, 14, 7, 9, 0};
    EXPECT_EQ(p.FormatDate(t, 0, ""), "05.03.2024");
    EXPECT_EQ(p.FormatDate(t, 0, "yyyy-MM-dd"), "2024-03-05");
    EXPECT_EQ(p.FormatDate(t, 0, "d/M/yy"), "5/3/24");
    EXPECT_EQ(p.FormatDate(t, 0, "dddd, d. MMMM"), "Tuesday, 5. March");
    EXPECT_EQ(p.FormatDate(t, 0, "ddd MMM 'of' yyyy 'it''s'"), "Tue Mar of 2024 it's");
    EXPECT_EQ(p.FormatTime(t, 0, ""), "14:07:09");
    EXPECT_EQ(p.FormatTime(t, 0, "h:mm tt"), "2:07 PM");
    EXPECT_EQ(p.FormatTime(t, 0, "HH'h'mm"), "14h07");
    EXPECT_EQ(p.FormatTime(t, 2, ""), "14:07");     // TIME_NOSECONDS
    EXPECT_EQ(p.FormatTime(t, 8, "hh:mm"), "14:07");  // TIME_FORCE24HOURFORMAT
}

TEST(FakeLibraries, LoadsAreCountedAndExportsNamed) {
    FakePlatform p;
    p.AddLibrary("site.plg", {"PlgInit", "PlgDestroy"});
    p.SetPluginScript("site.plg", {{"a.com", "b.com"}, false, nullptr});
    EXPECT_EQ(p.LoadLibrary("C:\\usd\\other.plg"), 0u);
    common::LibraryId lib = p.LoadLibrary("C:\\usd\\Plugins\\SITE.plg");
    ASSERT_NE(lib, 0u);
    EXPECT_EQ(p.LoadLibrary("C:\\usd\\plugins\\site.plg"), lib);
    EXPECT_TRUE(p.HasExport(lib, "PlgInit"));
    EXPECT_FALSE(p.HasExport(lib, "plginit"));
    std::vector<std::string> reports;
    EXPECT_TRUE(p.CallPluginEntry(lib, "C:\\usd\\",
                                  [&](const std::string& s) { reports.push_back(s); }));
    EXPECT_EQ(reports, (std::vector<std::string>{"a.com", "b.com"}));
    EXPECT_EQ(p.LoadedLibraries(), 2u);
    p.FreeLibrary(lib);
    p.FreeLibrary(lib);
    EXPECT_EQ(p.LoadedLibraries(), 0u);
    EXPECT_FALSE(p.HasExport(lib, "PlgInit"));
}

}  // namespace
