// Companion programs of "After correction" and "Program" and the close list.
#include "tests/flow/tarvel/scenario.h"

#include <map>

#include "tarvel/settings.h"

namespace tarvel::testing {
namespace {

using common::FakePlatform;

class Companions : public TarvelRun {
protected:
    void SetUp() override {
        TarvelRun::SetUp();
        InPlaceSingleUser();
    }
    // A companion that opens a top-level window titled title when it starts.
    void CompanionWithWindow(const std::string& exe, const std::string& title) {
        FakePlatform::ProgramBehaviour b;
        b.exitAfterMs.reset();
        b.onStart = [this, title](FakePlatform& fp, common::ProcessId id,
                                  const FakePlatform::StartRecord&) {
            FakePlatform::WindowSpec w;
            w.className = "RecorderWindow";
            w.title = title;
            w.process = id;
            windows[title] = fp.AddWindow(w);
        };
        p.OnProgram(exe, b);
    }
    std::map<std::string, common::WindowId> windows;

    void BrowserRunsFor(std::uint32_t ms) {
        FakePlatform::ProgramBehaviour b;
        b.exitAfterMs = ms;
        p.OnProgram("opkernel.exe", b);
    }
    common::WindowId WindowTitled(const std::string& title) {
        return p.FindWindow(0, 0, "", title);
    }
    std::vector<common::FakePlatform::SentMessage> Closes() const {
        std::vector<common::FakePlatform::SentMessage> out;
        for (const auto& m : p.Messages())
            if (m.message == common::wm::Close) out.push_back(m);
        return out;
    }
};

TEST_F(Companions, SlotsRunInOrderWithTheirShowStatesAndGapsAllowed) {
    Settings("Program", "Run3", "C:\\t\\three.exe -a");
    Settings("Program", "Flag3", "MAXIMIZE");
    Settings("Program", "Run5", "C:\\t\\five.exe");
    Settings("Program", "Flag5", "hide");
    Settings("Program", "Run7", "%OperaDirUtf%\\seven.exe \"%OperaDirUtf%\"");
    Settings("Program", "Flag7", "HIDE");
    Settings("Program", "Run9", "C:\\t\\nine.exe");
    Settings("Program", "Flag9", "MINIMIZE");
    Settings("Program", "Run10", "C:\\t\\ten.exe");
    Settings("Program", "Flag1", "HIDE");  // no Run1: skipped
    RunTarvel(p);
    const auto& starts = p.Starts();
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_EQ(starts[0].commandLine, "C:\\t\\three.exe -a");
    EXPECT_EQ(starts[0].showWindow, std::optional<int>(3));
    EXPECT_EQ(starts[1].commandLine, "C:\\t\\five.exe");
    EXPECT_EQ(starts[1].showWindow, std::optional<int>(5));
    EXPECT_EQ(starts[2].commandLine, "E:\\Opera\\seven.exe \"E:\\Opera\"");
    EXPECT_EQ(starts[2].showWindow, std::optional<int>(0));
    EXPECT_EQ(starts[3].commandLine, "C:\\t\\nine.exe");
    EXPECT_EQ(starts[3].showWindow, std::optional<int>(6));
    EXPECT_EQ(starts[4].commandLine, "E:\\Opera\\opkernel.exe");
    EXPECT_EQ(EnvOf(starts[0], "OperaDirUtf"), "E:\\Opera");
}

TEST_F(Companions, RecordedWindowsAreClosedAfterTheBrowserEnds) {
    Settings("Program", "Run1", "C:\\t\\one.exe");
    Settings("Program", "Close1", "One Window");
    Settings("Program", "Run2", "C:\\t\\two.exe");
    Settings("Program", "Close2", "Two %OperaDirUtf%");
    CompanionWithWindow("one.exe", "One Window");
    CompanionWithWindow("two.exe", "Two E:\\Opera");
    BrowserRunsFor(60000);
    Args(" page.html");
    RunTarvel(p);
    ASSERT_EQ(BrowserStarts().size(), 1u);
    // Waited for the browser: the default show state, the arguments passed on.
    EXPECT_EQ(BrowserStarts()[0].showWindow, std::nullopt);
    EXPECT_EQ(BrowserStarts()[0].commandLine, "E:\\Opera\\opkernel.exe page.html");
    const auto closes = Closes();
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_GE(p.ElapsedMs(), 60000u);
    // Slot 9 down to 1, each after the browser ended.
    EXPECT_EQ(closes[0].window, windows["Two E:\\Opera"]);
    EXPECT_EQ(closes[1].window, windows["One Window"]);
    EXPECT_GE(closes[1].tick - BrowserStarts()[0].tick, 60000u);
    EXPECT_FALSE(p.IsWindow(closes[0].window));
    EXPECT_FALSE(p.IsWindow(closes[1].window));
    EXPECT_EQ(closes[0].wParam, 0u);
    EXPECT_EQ(closes[0].lParam, 0);
}

TEST_F(Companions, AWindowAlreadyOpenIsNeverClosed) {
    FakePlatform::WindowSpec mine;
    mine.title = "Already Open";
    const common::WindowId existing = p.AddWindow(mine);
    Settings("Program", "Run1", "C:\\t\\one.exe");
    Settings("Program", "Close1", "Already Open");
    RunTarvel(p);
    EXPECT_EQ(p.StartsOf("one.exe").size(), 1u);
    ASSERT_EQ(BrowserStarts().size(), 1u);
    EXPECT_EQ(BrowserStarts()[0].showWindow, std::optional<int>(common::sw::Show));
    EXPECT_TRUE(Closes().empty());
    EXPECT_TRUE(p.IsWindow(existing));
}

TEST_F(Companions, CloseWithoutRunIsIgnored) {
    Settings("Program", "Close4", "Ghost");
    RunTarvel(p);
    EXPECT_EQ(BrowserStarts()[0].showWindow, std::optional<int>(common::sw::Show));
}

TEST_F(Companions, RunningBrowserSkipsTheProgramSection) {
    BrowserRunning();
    Settings("Program", "Run1", "C:\\t\\one.exe");
    p.AddDdeResponder("Opera", "WWW_OpenURL",
                      [](FakePlatform&, const std::string&) { return std::optional<std::string>(""); });
    RunTarvel(p);
    EXPECT_TRUE(p.Starts().empty());
}

TEST_F(Companions, OnlyTheProgramSectionsTitlesAreClosed) {
    // A moved installation so that "After correction" runs as well.
    p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=C:\\Was\r\n");
    Settings("After correction", "Run1", "C:\\t\\after.exe");
    Settings("After correction", "Close1", "After Window");
    Settings("Program", "Run2", "C:\\t\\with.exe");
    Settings("Program", "Close2", "With Window");
    CompanionWithWindow("after.exe", "After Window");
    CompanionWithWindow("with.exe", "With Window");
    BrowserRunsFor(1000);
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 3u);
    EXPECT_EQ(p.Starts()[0].commandLine, "C:\\t\\after.exe");
    const auto closes = Closes();
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_NE(WindowTitled("After Window"), 0u);
    EXPECT_EQ(WindowTitled("With Window"), 0u);
}

TEST(RunSection, EmptiesTheWholeListOnEveryCall) {
    common::FakePlatform p;
    p.AddFolder("E:\\");
    p.IniWriteString("E:\\t.ini", "A", "Run2", "x.exe");
    p.IniWriteString("E:\\t.ini", "A", "Close2", "X");
    CloseList list;
    list[0] = "stale";
    list[8] = "stale";
    EXPECT_TRUE(RunSection(p, "E:\\t.ini", "A", list));
    EXPECT_EQ(list[1], "X");
    EXPECT_EQ(list[0], "");
    EXPECT_EQ(list[8], "");
    EXPECT_FALSE(RunSection(p, "E:\\t.ini", "Missing", list));
    for (const std::string& slot : list) EXPECT_EQ(slot, "");
}

TEST(CloseRecordedWindows, GoneWindowsAreSkipped) {
    common::FakePlatform p;
    FakePlatform::WindowSpec w;
    w.title = "Here";
    const common::WindowId here = p.AddWindow(w);
    CloseList list;
    list[0] = "Here";
    list[4] = "Gone";
    CloseRecordedWindows(p, list);
    ASSERT_EQ(p.Messages().size(), 1u);
    EXPECT_EQ(p.Messages()[0].window, here);
    EXPECT_EQ(p.Messages()[0].message, common::wm::Close);
}

TEST(ReadCorrectSwitches, DefaultsAndNonZeroValues) {
    common::FakePlatform p;
    const CorrectSwitches d = ReadCorrectSwitches(p, "E:\\missing.ini");
    EXPECT_TRUE(d.cacheDirectory && d.useDde && d.widgetsPath && d.spellCheck && d.mail &&
                d.menu && d.multiUser && d.checkFreeSpace);
    EXPECT_FALSE(d.obook || d.dialog || d.toolbar || d.keyboard || d.mouse || d.language ||
                 d.bookmarks || d.searchType);
    EXPECT_EQ(d.commandLine, 1);
    const std::string f = "E:\\t.ini";
    p.AddFolder("E:\\");
    const char* keys[] = {"Cache Directory", "UseDDE",  "WidgetsPath", "SpellCheck", "Mail",
                          "Obook",           "Dialog",  "Toolbar",     "Menu",       "Keyboard",
                          "Mouse",           "Language", "Bookmarks",  "Search Type", "MultiUser",
                          "CheckFreeSpace"};
    for (const char* key : keys) p.IniWriteString(f, "Correct", key, "0");
    const CorrectSwitches off = ReadCorrectSwitches(p, f);
    EXPECT_FALSE(off.cacheDirectory || off.useDde || off.widgetsPath || off.spellCheck ||
                 off.mail || off.menu || off.multiUser || off.checkFreeSpace);
    for (const char* key : keys) p.IniWriteString(f, "Correct", key, "7");
    const CorrectSwitches on = ReadCorrectSwitches(p, f);
    EXPECT_TRUE(on.obook && on.dialog && on.toolbar && on.keyboard && on.mouse && on.language &&
                on.bookmarks && on.searchType);
}

}  // namespace
}  // namespace tarvel::testing
