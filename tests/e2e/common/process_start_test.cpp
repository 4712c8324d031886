// RunProgram, RunProgramAndWait and CommandLineTail on real processes under
// Wine: the recorder tells how it was started, the probe what the helper
// saw when it returned.
#include <gtest/gtest.h>

#include "common/helpers.h"
#include "tests/e2e/support/standins.h"

namespace e2e {
namespace {

// A recorder copy named <name>.exe in <folder>, with its <name>.ini.
std::string InstallRecorder(const std::string& folder, const std::string& name,
                            std::vector<std::pair<std::string, std::string>> settings) {
    WineBench& bench = WineBench::Get();
    std::string exe = WinJoin(folder, name + ".exe");
    bench.InstallExe("recorder.exe", exe);
    settings.insert(settings.begin(), {"Log", WinJoin(folder, name + ".log")});
    WriteHostFile(bench.HostPath(WinJoin(folder, name + ".ini")), IniText("Recorder", settings));
    return exe;
}

std::string RecorderLog(const std::string& folder, const std::string& name) {
    return WineBench::Get().HostPath(WinJoin(folder, name + ".log"));
}

void CloseWindow(const std::string& folder, const std::string& title) {
    Record close;
    close.Set("verb", "close");
    close.Set("class", "RecorderWindow");
    close.Set("title", title);
    RunProbe(folder, close);
}

struct ReadyCase {
    const char* name;
    bool wait;
    int show;
    const char* windowAtReturn;
};

void PrintTo(const ReadyCase& c, std::ostream* os) { *os << c.name; }

class RunProgramReady : public ::testing::TestWithParam<ReadyCase> {};

// The recorder takes 1.5 s before its window exists and it waits for input.
TEST_P(RunProgramReady, ReturnsAtOnceOrWhenTheProgramWaitsForInput) {
    const ReadyCase& c = GetParam();
    std::string folder = WineBench::Get().TestFolder();
    std::string title = std::string("Slow Starter ") + c.name;
    std::string exe = InstallRecorder(folder, "slow", {{"StartDelayMs", "1500"}, {"Window", title}});

    Record req;
    req.Set("verb", "run");
    req.Set("commandLine", exe);
    req.Set("show", std::to_string(c.show));
    req.Set("wait", c.wait ? "1" : "0");
    req.Set("windowTitle", title);
    Record out = RunProbe(folder, req);
    ASSERT_FALSE(out.Has("failed")) << out.Get("output");
    EXPECT_EQ(out.Get("windowAtReturn"), c.windowAtReturn) << "elapsed " << out.Get("elapsedMs");
    if (!c.wait) {
        EXPECT_LT(std::stoi(out.Get("elapsedMs")), 1000);
    }

    auto start = WaitForRecord(RecorderLog(folder, "slow"), "window", 30000);
    ASSERT_TRUE(start);
    CloseWindow(folder, title);
    ASSERT_TRUE(WaitForRecord(RecorderLog(folder, "slow"), "exit", 30000));
    auto records = RecordsOfKind(RecorderLog(folder, "slow"), "start");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Get("show"), std::to_string(c.show));
    EXPECT_EQ(records[0].Get("commandLine"), exe);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunProgramReady,
                         ::testing::Values(ReadyCase{"NoWait", false, 1, "0"},
                                           ReadyCase{"Wait", true, 7, "1"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Step 1 of RunProgram: the folder part of the whole command line, when it
// names a folder, is the new process's current folder; otherwise the caller's.
TEST(RunProgram, TakesTheCommandLinesFolderOnlyWhenItIsOne) {
    std::string folder = WineBench::Get().TestFolder();
    std::string tools = WinJoin(folder, "tools");
    std::string exe = InstallRecorder(tools, "rec", {});
    WriteHostFile(WineBench::Get().HostPath(WinJoin(folder, "data\\file.txt")), "x");

    struct Case {
        std::string commandLine;
        bool ownFolder;  // true: the tools folder; false: the caller's
    };
    const Case cases[] = {
        {exe, true},
        {exe + " plain-argument", true},
        {"\"" + exe + "\"", false},
        {exe + " " + WinJoin(folder, "data\\file.txt"), false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        Record req;
        req.Set("verb", "run");
        req.Set("commandLine", c.commandLine);
        req.Set("wait", "1");
        Record out = RunProbe(folder, req);
        ASSERT_FALSE(out.Has("failed")) << out.Get("output");
        ++n;
        ASSERT_TRUE(WaitUntil([&] { return RecordsOfKind(RecorderLog(tools, "rec"), "exit").size() == static_cast<std::size_t>(n); }, 30000));
        auto starts = RecordsOfKind(RecorderLog(tools, "rec"), "start");
        ASSERT_EQ(starts.size(), static_cast<std::size_t>(n));
        const Record& start = starts.back();
        EXPECT_EQ(start.Get("commandLine"), c.commandLine);
        std::string expected = c.ownFolder ? tools : out.Get("callerFolder");
        EXPECT_TRUE(common::EqualsNoCase(start.Get("currentFolder"), expected))
            << start.Get("currentFolder") << " vs " << expected;
        if (!c.ownFolder) {
            EXPECT_FALSE(common::EqualsNoCase(start.Get("currentFolder"), tools));
        }
    }
}

struct WaitCase {
    const char* name;
    const char* variant;
    int show;
    const char* expectedShow;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.name; }

class RunProgramAndWaitCase : public ::testing::TestWithParam<WaitCase> {};

TEST_P(RunProgramAndWaitCase, ReturnsAfterTheProgramEnded) {
    const WaitCase& c = GetParam();
    std::string folder = WineBench::Get().TestFolder();
    std::string marker = WinJoin(folder, "ended.txt");
    std::string exe = InstallRecorder(folder, "conv", {{"WaitMs", "1500"}, {"WriteFile", marker},
                                                       {"WriteText", "done"}});
    Record req;
    req.Set("verb", "runwait");
    req.Set("variant", c.variant);
    req.Set("show", std::to_string(c.show));
    req.Set("commandLine", "\"" + exe + "\" \"" + WinJoin(folder, "project.hhp") + "\"");
    req.Set("markerFile", marker);
    Record out = RunProbe(folder, req);
    ASSERT_FALSE(out.Has("failed")) << out.Get("output");
    EXPECT_EQ(out.Get("result"), "1");
    EXPECT_EQ(out.Get("markerAtReturn"), "1");
    EXPECT_GE(std::stoi(out.Get("elapsedMs")), 1400);

    auto starts = RecordsOfKind(RecorderLog(folder, "conv"), "start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("show"), c.expectedShow);
    EXPECT_EQ(starts[0].Get("arg.1"), WinJoin(folder, "project.hhp"));
}

INSTANTIATE_TEST_SUITE_P(Variants, RunProgramAndWaitCase,
                         ::testing::Values(WaitCase{"Mirsa", "mirsa", 0, "0"},
                                           WaitCase{"Tarvel", "tarvel", 3, "default"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunProgramAndWait, ReportsAProgramThatCannotStart) {
    std::string folder = WineBench::Get().TestFolder();
    Record req;
    req.Set("verb", "runwait");
    req.Set("variant", "mirsa");
    req.Set("commandLine", WinJoin(folder, "missing\\nothing.exe"));
    Record out = RunProbe(folder, req);
    ASSERT_FALSE(out.Has("failed")) << out.Get("output");
    EXPECT_EQ(out.Get("result"), "0");
}

// Exact command lines reach the probe only through the launcher.
TEST(CommandLineTail, OfRealCommandLines) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    std::string probe = WinJoin(folder, "probe.exe");
    bench.InstallExe("probe.exe", probe);
    std::string quoted = "\"" + probe + "\"";
    struct Case {
        std::string commandLine;
        std::string tail;
    };
    const Case cases[] = {
        {probe + " a b", " a b"},
        {quoted + " \"x y\" z", " \"x y\" z"},
        {quoted + " ", " "},
        {quoted, ""},
        {quoted + " \"\"", " \"\""},
        {probe + "  /silent  ", "  /silent  "},
        {quoted + " \x91quoted\x92 \xE9t\xE9", " \x91quoted\x92 \xE9t\xE9"},
        {quoted + " \"a\tb\" \\\"", " \"a\tb\" \\\""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        std::string base = WinJoin(folder, "tail" + std::to_string(++n));
        Record req;
        req.Set("verb", "tail");
        req.Set("out", base + ".out");
        WriteHostFile(bench.HostPath(base + ".req"), standin::FormatRecord(req));
        WriteHostFile(bench.HostPath(base + ".cmd"), c.commandLine);
        RunResult run = bench.Run({bench.BinFolder() + "launch.exe", "/cmdfile=" + base + ".cmd",
                                   "/wait", "/result=" + base + ".launch"},
                                  60, {{"PROBE_REQUEST", base + ".req"}});
        auto launched = ReadRecords(bench.HostPath(base + ".launch"));
        ASSERT_EQ(launched.size(), 1u) << run.output;
        ASSERT_EQ(launched[0].Get("started"), "1") << "error " << launched[0].Get("error");
        auto out = ReadRecords(bench.HostPath(base + ".out"));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].Get("commandLine"), c.commandLine);
        EXPECT_EQ(out[0].Get("tail"), c.tail);
    }
}

}  // namespace
}  // namespace e2e
