// The plain calls of the Win32 platform as the real system answers them, and
// the test tools themselves: the recorder's copy and write steps, the
// launcher's folder, show state and exit code, extra drives of the bench.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/support/standins.h"

namespace e2e {
namespace {

TEST(Win32Platform, PlainCallsAnswerAsTheSystemDoes) {
    std::string folder = WineBench::Get().TestFolder();
    Record req;
    req.Set("verb", "seam");
    req.Set("folder", folder);
    Record out = RunProbe(folder, req);
    ASSERT_FALSE(out.Has("failed")) << out.Get("output");

    const std::pair<const char*, std::string> expected[] = {
        {"utf8", "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x98x\xE2\x80\x99"},  // code page 1252
        {"ansiBack", "1"},
        {"upper", "ABC\xC9Z"},
        {"lower", "abc\xE9z"},
        {"ini.text", "Value with blanks"},  // the system trims blanks around values
        {"ini.missing", "def"},
        {"ini.int", "-42"},
        {"ini.intMissing", "7"},
        {"ini.sections", "First;Second;Third;"},
        {"file.write", "1"},
        {"file.append", "1"},
        {"file.read", "1"},
        {"file.size", "10"},
        {"file.exists", "1010"},
        {"file.copy", "10"},  // the second copy must not replace
        {"file.move", "1"},
        {"folder.create", "1"},
        {"find", "data.bin:10;moved.bin:10;"},
        {"hidden", "11"},
        {"file.delete", "10"},
        {"folder.remove", "1"},
        {"readMissing", "0"},
        {"env.setGet", "1"},
        {"env.missing", "0"},
        {"env.expand", "<v1|%OC_PROBE_UNSET_NAME%>"},
        {"reg.missingValue", "0"},
        {"reg.missingKey", "0"},
        {"mutex", "1"},
        {"mutexRefused", "10"},
        {"codePage1251", "\x88 \xAB\xCF\xF0\xBB"},
        {"codePageNoForm", "0"},
        {"date", "2024-03-05"},
        {"time", "07:06:05"},
        {"dateDefault", "1"},
        {"localYear", "1"},
        {"clipboard", "1"},
        {"module", "C:\\e2e\\bin\\probe.exe"},
        {"resourceMissing", "0"},
        {"library", "110"},
        {"libraryMissing", "0"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(out.Get(key, "<absent>"), value) << key;
    EXPECT_NE(out.Get("reg.desktop"), "<none>");
    EXPECT_EQ(out.Get("tempFolder").back(), '\\');
    // A buffer too small for all names gives those that fit, the last one cut.
    EXPECT_EQ(out.Get("ini.sectionsSmallBuffer"), "First;Se;");
}

TEST(Win32Platform, FreeSpaceAndDriveTypeOfAnExtraDrive) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    std::string host = bench.HostPath(folder + "drive-s");
    std::filesystem::create_directories(host);
    bench.AddDrive('s', host);
    WriteHostFile(host + "/inside.txt", "on drive S");

    Record req;
    req.Set("verb", "disk");
    req.Set("path", "S:\\");
    req.Set("root", "S:\\");
    Record out = RunProbe(folder, req);
    bench.RemoveDrive('s');
    ASSERT_FALSE(out.Has("failed")) << out.Get("output");
    EXPECT_NE(out.Get("free"), "none");
    EXPECT_GT(std::stoull(out.Get("free", "0")), 0u);
    EXPECT_EQ(out.Get("type"), "3");

    req.Set("path", "C:\\");
    req.Set("root", "Q:\\");  // no such drive
    out = RunProbe(folder, req);
    EXPECT_NE(out.Get("free"), "none");
    EXPECT_EQ(out.Get("type"), "1");
}

// The recorder playing FlashGot.exe: the job file is copied beside its log,
// and the file named after "-o" is written.
TEST(Recorder, CopiesItsFileArgumentAndWritesTheFileAfterASwitch) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    std::string exe = folder + "FlashGot.exe";
    bench.InstallExe("recorder.exe", exe);
    WriteHostFile(bench.HostPath(folder + "FlashGot.ini"),
                  IniText("Recorder", {{"Log", folder + "logs\\flashgot.log"},
                                       {"CopyArg", "last-quoted"},
                                       {"WriteAfterArg", "-o"},
                                       {"WriteText", "line 1%0D%0Aline 2"},
                                       {"ExitCode", "3"}}));
    WriteHostFile(bench.HostPath(folder + "jobs\\job 1.fgt"), "job content");
    std::filesystem::create_directories(bench.HostPath(folder + "logs"));

    RunResult run = bench.Run({exe, "-o", folder + "FlashGot.test", folder + "jobs\\job 1.fgt"});
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_EQ(ReadHostFile(bench.HostPath(folder + "logs\\job 1.fgt")).value_or("<missing>"),
              "job content");
    EXPECT_EQ(ReadHostFile(bench.HostPath(folder + "FlashGot.test")).value_or("<missing>"),
              "line 1\r\nline 2");
    std::string log = bench.HostPath(folder + "logs\\flashgot.log");
    auto starts = RecordsOfKind(log, "start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("program"), "FlashGot");
    EXPECT_EQ(starts[0].Get("argc"), "3");
    EXPECT_EQ(starts[0].Get("arg.3"), folder + "jobs\\job 1.fgt");
    auto copies = RecordsOfKind(log, "copy");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].Get("ok"), "1");
    EXPECT_EQ(RecordsOfKind(log, "exit").size(), 1u);
}

TEST(Launcher, GivesFolderShowStateAndReportsTheExitCode) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    std::string exe = folder + "rec.exe";
    bench.InstallExe("recorder.exe", exe);
    WriteHostFile(bench.HostPath(folder + "rec.ini"),
                  IniText("Recorder", {{"Log", folder + "rec.log"}, {"ExitCode", "9"}}));
    std::filesystem::create_directories(bench.HostPath(folder + "work dir"));

    RunResult run = bench.Run({bench.BinFolder() + "launch.exe", "/cwd=" + folder + "work dir",
                               "/show=6", "/wait", "/result=" + folder + "launch.txt", "--", exe,
                               "tail"});
    EXPECT_EQ(run.exitCode, 9);
    auto launched = ReadRecords(bench.HostPath(folder + "launch.txt"));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].Get("started"), "1");
    EXPECT_EQ(launched[0].Get("exitCode"), "9");
    auto starts = RecordsOfKind(bench.HostPath(folder + "rec.log"), "start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("commandLine"), exe + " tail");
    EXPECT_EQ(starts[0].Get("currentFolder"), folder + "work dir");
    EXPECT_EQ(starts[0].Get("show"), "6");

    run = bench.Run({bench.BinFolder() + "launch.exe", "/result=" + folder + "none.txt", "--",
                     folder + "missing.exe"});
    EXPECT_EQ(run.exitCode, 255);
    auto failed = ReadRecords(bench.HostPath(folder + "none.txt"));
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].Get("started"), "0");
    EXPECT_NE(failed[0].Get("error"), "0");
}

}  // namespace
}  // namespace e2e
