// Whole runs of the launcher: browser choice, environment, hand-off, "/silent".
#include "common/program_places.h"
#include "tests/flow/tarvel/scenario.h"

namespace tarvel::testing {
namespace {

using common::FakePlatform;

TEST_F(TarvelRun, WithoutBrowserShowsTheErrorAndStartsNothing) {
    p.RemovePath(Path("opkernel.exe"));
    EXPECT_EQ(RunTarvel(p), 0);
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "Not exist file Opera.exe in folder E:\\Opera");
    EXPECT_EQ(p.MessageBoxes()[0].title, "Tarvel Error");
    EXPECT_EQ(p.MessageBoxes()[0].flags, common::mb::Ok | common::mb::IconExclamation);
    EXPECT_TRUE(p.Starts().empty());
}

TEST_F(TarvelRun, PrefersOpkernelOverOpera) {
    InPlaceSingleUser();
    p.AddFile(Path("opera.exe"), "MZ");
    Args(" http://example.com/");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, "E:\\Opera\\opkernel.exe http://example.com/");
}

TEST_F(TarvelRun, StartsOperaWhenThereIsNoKernel) {
    InPlaceSingleUser();
    p.RemovePath(Path("opkernel.exe"));
    p.AddFile(Path("opera.exe"), "MZ");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, "E:\\Opera\\opera.exe");
}

TEST_F(TarvelRun, StartsTheBrowserShownWithTheTailAndTheEnvironment) {
    InPlaceSingleUser();
    Args("  \"a b\"  -x ");
    RunTarvel(p);
    ASSERT_EQ(BrowserStarts().size(), 1u);
    const auto start = BrowserStarts()[0];
    EXPECT_EQ(start.commandLine, "E:\\Opera\\opkernel.exe  \"a b\"  -x ");
    EXPECT_EQ(start.showWindow, std::optional<int>(common::sw::Show));
    EXPECT_EQ(EnvOf(start, "OperaDirUtf"), "E:\\Opera");
    EXPECT_EQ(EnvOf(start, "PATH"), "C:\\WINDOWS;E:\\Opera");
    EXPECT_TRUE(p.DdeLog().empty());
    EXPECT_TRUE(p.MessageBoxes().empty());
}

TEST_F(TarvelRun, OperaDirUtfIsTheAnsiFolderAndPathMayBeUnset) {
    p.SetModuleFileName("E:\\\xC9t\xE9\\tarvel.exe");
    p.SetCommandLine("\"E:\\\xC9t\xE9\\tarvel.exe\"");
    p.AddFile("E:\\\xC9t\xE9\\opkernel.exe", "MZ");
    p.AddFile("E:\\\xC9t\xE9\\operadef6.ini", "[System]\r\nMulti User=0\r\n");
    p.UnsetEnv("PATH");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(EnvOf(p.Starts()[0], "OperaDirUtf"), "E:\\\xC9t\xE9");
    EXPECT_EQ(EnvOf(p.Starts()[0], "PATH"), ";E:\\\xC9t\xE9");
}

TEST_F(TarvelRun, LongPathIsKeptWhole) {
    InPlaceSingleUser();
    const std::string longPath = "C:\\WINDOWS;" + std::string(20000, 'p');
    p.SetEnv("PATH", longPath);
    RunTarvel(p);
    ASSERT_EQ(BrowserStarts().size(), 1u);
    EXPECT_EQ(EnvOf(BrowserStarts()[0], "PATH"), longPath + ";E:\\Opera");
}

TEST_F(TarvelRun, RunFlagWithoutWindowIsNoRunningBrowser) {
    InPlaceSingleUser();
    p.IniWriteString(Path("profile\\opera6.ini"), "State", "Run", "1");
    Args(" x");
    RunTarvel(p);
    EXPECT_EQ(BrowserStarts().size(), 1u);
    EXPECT_TRUE(p.DdeLog().empty());
}

TEST_F(TarvelRun, WindowWithoutRunFlagIsNoRunningBrowser) {
    InPlaceSingleUser();
    FakePlatform::WindowSpec w;
    w.className = "OpWindow";
    w.title = "x - Opera";
    p.AddWindow(w);
    RunTarvel(p);
    EXPECT_EQ(BrowserStarts().size(), 1u);
}

struct DdeCase {
    const char* name;
    const char* tail;
    const char* commandLineSwitch;  // nullptr: default
    const char* useDde;             // nullptr: default
    bool expectDde;
    const char* expectItem;        // when DDE
    const char* expectCommandLine;  // when started; "" with no DDE: nothing at all
};

// The longest item DDE carries, and one character more.
const std::string kItem255 = "http://a/" + std::string(246, 'x');
const std::string kTail255 = " " + kItem255;
const std::string kTail256 = kTail255 + "y";
const std::string kStart256 = "E:\\Opera\\opkernel.exe" + kTail256;

class RunningBrowser : public TarvelRun, public ::testing::WithParamInterface<DdeCase> {};

TEST_P(RunningBrowser, HandsOffOrStarts) {
    const DdeCase& c = GetParam();
    InPlaceSingleUser();
    BrowserRunning();
    if (c.commandLineSwitch) Correct("Command Line", c.commandLineSwitch);
    if (c.useDde) Correct("UseDDE", c.useDde);
    std::vector<std::string> items;
    p.AddDdeResponder("Opera", "WWW_OpenURL", [&](FakePlatform&, const std::string& item) {
        items.push_back(item);
        return std::optional<std::string>("");
    });
    Args(c.tail);
    RunTarvel(p);
    if (c.expectDde) {
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0], c.expectItem);
        EXPECT_TRUE(p.Starts().empty());
        EXPECT_EQ(p.OpenDdeConversations(), 0u);
        for (const auto& r : p.DdeLog())
            if (r.kind == FakePlatform::DdeRecord::Request) EXPECT_EQ(r.timeoutMs, 10000u);
    } else if (*c.expectCommandLine == '\0') {
        EXPECT_TRUE(p.DdeLog().empty());
        EXPECT_TRUE(p.Starts().empty());
    } else {
        EXPECT_TRUE(items.empty());
        ASSERT_EQ(p.Starts().size(), 1u);
        EXPECT_EQ(p.Starts()[0].commandLine, c.expectCommandLine);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunningBrowser,
    ::testing::Values(
        DdeCase{"ArgumentsGoByDde", " \t http://a/ b", nullptr, nullptr, true, "http://a/ b", ""},
        DdeCase{"NoArgumentsDoNothing", "", nullptr, nullptr, false, "", ""},
        DdeCase{"TailOfOneBlankStartsTheBrowser", " ", nullptr, nullptr, false, "",
                "E:\\Opera\\opkernel.exe "},
        DdeCase{"TailOfTwoBlanksDoesNothing", "  ", nullptr, nullptr, false, "", ""},
        DdeCase{"LongestItemGoesByDde", kTail255.c_str(), nullptr, nullptr, true, kItem255.c_str(), ""},
        DdeCase{"LongerTailStartsTheBrowser", kTail256.c_str(), nullptr, nullptr, false, "",
                kStart256.c_str()},
        DdeCase{"DdeOffStartsWithArguments", " http://a/", nullptr, "0", false, "",
                "E:\\Opera\\opkernel.exe http://a/"},
        DdeCase{"CommandLineOffDoesNothing", " http://a/", "0", nullptr, false, "", ""},
        DdeCase{"CommandLineTwoCountsAsOn", " http://a/", "2", nullptr, true, "http://a/", ""}),
    [](const ::testing::TestParamInfo<DdeCase>& info) { return std::string(info.param.name); });

TEST_F(TarvelRun, CommandLineOffStartsTheBrowserWithoutArguments) {
    InPlaceSingleUser();
    Correct("Command Line", "0");
    Args(" http://a/");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, "E:\\Opera\\opkernel.exe");
}

TEST_F(TarvelRun, LauncherNamedOperaExeNeverUsesDde) {
    InPlaceSingleUser();
    BrowserRunning();
    p.SetModuleFileName("e:\\OPERA\\Opera.exe");
    p.SetCommandLine("\"e:\\OPERA\\Opera.exe\" http://a/");
    p.AddDdeResponder("Opera", "WWW_OpenURL",
                      [](FakePlatform&, const std::string&) { return std::optional<std::string>(""); });
    RunTarvel(p);
    EXPECT_TRUE(p.DdeLog().empty());
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, "e:\\OPERA\\opkernel.exe http://a/");
}

TEST_F(TarvelRun, DdeWithoutServerTriesOneStartAndConnectsAgain) {
    InPlaceSingleUser();
    BrowserRunning();
    Args(" http://a/");
    std::vector<std::string> items;
    // The started "Opera" program brings the service up.
    FakePlatform::ProgramBehaviour opera;
    opera.exitAfterMs.reset();
    opera.onStart = [&](FakePlatform& fp, common::ProcessId, const FakePlatform::StartRecord&) {
        fp.AddDdeResponder("Opera", "WWW_OpenURL", [&](FakePlatform&, const std::string& item) {
            items.push_back(item);
            return std::optional<std::string>("");
        });
    };
    p.OnProgram("Opera", opera);
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].by, FakePlatform::StartedBy::WinExec);
    EXPECT_EQ(p.Starts()[0].commandLine, "Opera WWW_OpenURL");
    EXPECT_EQ(p.Starts()[0].showWindow, std::optional<int>(common::sw::ShowMinNoActive));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], "http://a/");
}

TEST_F(TarvelRun, DdeThatNeverAnswersEndsQuietlyWithoutStartingTheBrowser) {
    InPlaceSingleUser();
    BrowserRunning();
    FakePlatform::ProgramBehaviour fails;
    fails.failStart = true;
    p.OnProgram("Opera", fails);
    Args(" http://a/");
    RunTarvel(p);
    EXPECT_TRUE(BrowserStarts().empty());
    EXPECT_TRUE(p.MessageBoxes().empty());
    int connects = 0;
    for (const auto& r : p.DdeLog()) connects += r.kind == FakePlatform::DdeRecord::Connect;
    EXPECT_EQ(connects, 1);  // no second try after the start failed
}

struct SilentCase {
    const char* tail;
    bool silent;
};

class SilentSwitch : public TarvelRun, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(SilentSwitch, PreparesAndStopsBeforeStartingAnything) {
    MovedSingleUser();
    Settings("After correction", "Run1", "C:\\tools\\after.exe");
    Settings("Program", "Run1", "C:\\tools\\with.exe");
    p.AddFile(Path("profile\\notes.adr"), "notes");
    Args(GetParam().tail);
    RunTarvel(p);
    // The preparation happens either way.
    EXPECT_TRUE(Has(Path("profile\\opera6.ini.bak")));
    EXPECT_TRUE(Has(Path("profile\\notes.adr.old")));
    if (GetParam().silent) {
        EXPECT_TRUE(p.Starts().empty());
    } else {
        EXPECT_EQ(p.Starts().size(), 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SilentSwitch,
                         ::testing::Values(SilentCase{" /silent", true},
                                           SilentCase{" /Silent", false},
                                           SilentCase{" /silent x", false},
                                           SilentCase{"", false}));

TEST_F(TarvelRun, SilentEvenWhenArgumentsAreNotPassedOn) {
    InPlaceSingleUser();
    Correct("Command Line", "0");
    Args(" /silent");
    RunTarvel(p);
    EXPECT_TRUE(p.Starts().empty());
}

struct OldCopyCase {
    const char* name;
    std::optional<std::string> current, old;
    std::optional<std::string> expectOld;
};

class OldCopies : public TarvelRun, public ::testing::WithParamInterface<OldCopyCase> {};

TEST_P(OldCopies, NeverReplacedByASmallerFile) {
    const OldCopyCase& c = GetParam();
    InPlaceSingleUser();
    for (const char* name : {"notes.adr", "opera6.adr"}) {
        const std::string file = Path(std::string("profile\\") + name);
        if (c.current) p.AddFile(file, *c.current);
        if (c.old) p.AddFile(file + ".old", *c.old);
    }
    RunTarvel(p);
    for (const char* name : {"notes.adr", "opera6.adr"}) {
        const std::string old = Path(std::string("profile\\") + name) + ".old";
        EXPECT_EQ(p.FileText(old), c.expectOld) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OldCopies,
    ::testing::Values(OldCopyCase{"NoOldYet", std::string("abc"), std::nullopt, std::string("abc")},
                      OldCopyCase{"LargerReplacesOld", std::string("abcd"), std::string("xyz"),
                                  std::string("abcd")},
                      OldCopyCase{"EqualSizeKeepsOld", std::string("abc"), std::string("xyz"),
                                  std::string("xyz")},
                      OldCopyCase{"SmallerKeepsOld", std::string("a"), std::string("xyz"),
                                  std::string("xyz")},
                      OldCopyCase{"EmptyFileMakesNoOld", std::string(""), std::nullopt, std::nullopt},
                      OldCopyCase{"MissingFileKeepsOld", std::nullopt, std::string("xyz"),
                                  std::string("xyz")}),
    [](const ::testing::TestParamInfo<OldCopyCase>& info) { return std::string(info.param.name); });

TEST_F(TarvelRun, OldCopiesAreMadeInMultiUserModeToo) {
    p.SetRegistryUserString(common::browser::kShellFoldersKey, "AppData", kAppData);
    const std::string profile = std::string(kAppData) + "\\opera\\Opera\\profile\\";
    p.AddFile(profile + "notes.adr", "my notes");
    Correct("MultiUser", "0");
    RunTarvel(p);
    EXPECT_EQ(Text(profile + "notes.adr.old"), "my notes");
}

TEST_F(TarvelRun, SettingsFileFollowsTheLauncherName) {
    InPlaceSingleUser();
    p.SetModuleFileName(Path("portable.exe"));
    p.SetCommandLine("\"" + Path("portable.exe") + "\" x");
    p.IniWriteString(Path("portable.ini"), "Correct", "Command Line", "0");
    p.IniWriteString(Path("tarvel.ini"), "Correct", "Command Line", "1");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, "E:\\Opera\\opkernel.exe");
}

TEST_F(TarvelRun, SettingsFileFallsBackToTarvelIni) {
    InPlaceSingleUser();
    p.SetModuleFileName(Path("portable.exe"));
    p.SetCommandLine("\"" + Path("portable.exe") + "\" x");
    p.IniWriteString(Path("tarvel.ini"), "Correct", "Command Line", "0");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 1u);
    EXPECT_EQ(p.Starts()[0].commandLine, "E:\\Opera\\opkernel.exe");
}

// Installed where the user may not write: the one-shot "Path" is cleared in
// the per-user copy of the settings, so the next run does not take it again.
TEST_F(TarvelRun, FolderThatCannotBeWrittenClearsPathInThePerUserCopy) {
    const std::string userIni = "C:\\Documents and Settings\\User\\Application Data\\Tarvel\\" +
                                common::InstallFolderName(p, kDir) + "\\tarvel.ini";
    p.SetRegistryUserString(common::browser::kShellFoldersKey, "AppData", kAppData);
    Correct("MultiUser", "0");
    Correct("Path", "D:\\Before");
    const std::string before = Text(Path("tarvel.ini"));
    p.SetWriteProtected(kDir, true);
    RunTarvel(p);
    EXPECT_EQ(p.IniReadString(userIni, "Correct", "Path", "<none>"), "");
    EXPECT_EQ(p.IniReadString(userIni, "Correct", "MultiUser", "<none>"), "0");
    EXPECT_EQ(Text(Path("tarvel.ini")), before);
    RunTarvel(p);
    EXPECT_EQ(BrowserStarts().size(), 2u);
    EXPECT_TRUE(p.MessageBoxes().empty());

    // Nowhere to keep the clear: the box names the file.
    p.SetKnownFolder(common::KnownFolder::AppData, "");
    RunTarvel(p);
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "Cannot write file \"" + Path("tarvel.ini") + "\"");
    EXPECT_EQ(p.MessageBoxes()[0].title, "Tarvel Error");
    EXPECT_EQ(BrowserStarts().size(), 3u);
}

TEST_F(TarvelRun, MissingDefaultsFileCountsAsMultiUser) {
    // No operadef6.ini: the question is asked.
    p.QueueMessageBoxAnswer(common::answer::Cancel);
    RunTarvel(p);
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].title, "Tarvel");
}

// Two launchers on one moved installation. The other run read the old paths
// before this one started and writes its ".bak" copies and corrected texts
// later, then lets the installation go.
class TwoLaunchers : public TarvelRun {
protected:
    const std::string profile = Path("profile\\opera6.ini");
    const std::string defaults = Path("operadef6.ini");
    std::string originalProfile, originalDefaults;

    void SetUp() override {
        TarvelRun::SetUp();
        MovedSingleUser();
        originalProfile = Text(profile);
        originalDefaults = Text(defaults);
        p.HoldMutexElsewhere(InstallationMutexName(p, kDir));
    }
    void OtherRunFinishesAfter(std::uint32_t ms) {
        p.Schedule(ms, [this](FakePlatform& f) {
            for (const auto& [file, corrected] :
                 {std::pair{profile, common::ReplaceAll(Text(profile), kOld, kDir)},
                  std::pair{defaults, common::ReplaceAll(Text(defaults), kOld, kDir)}}) {
                f.AddFile(file + ".bak", Text(file));
                f.AddFile(file, corrected);
            }
            f.ReleaseMutexElsewhere(InstallationMutexName(f, kDir));
        });
    }
};

TEST_F(TwoLaunchers, TheRunThatWaitedReadsTheProfileAgainAndKeepsTheOriginalBackups) {
    OtherRunFinishesAfter(2000);
    const std::string corrected = common::ReplaceAll(originalProfile, kOld, kDir);
    RunTarvel(p);
    EXPECT_EQ(Text(profile), corrected);
    EXPECT_EQ(Text(profile + ".bak"), originalProfile);
    EXPECT_EQ(Text(defaults + ".bak"), originalDefaults);
    EXPECT_EQ(BrowserStarts().size(), 1u);
    EXPECT_FALSE(p.MutexHeldHere(InstallationMutexName(p, kDir)));
    EXPECT_EQ(p.OpenMutexHandles(), 0u);
}

TEST_F(TwoLaunchers, AnInstallationHeldPastTheWaitIsLeftToTheOtherRun) {
    RunTarvel(p);
    EXPECT_EQ(Text(profile), originalProfile);
    EXPECT_EQ(Text(defaults), originalDefaults);
    EXPECT_FALSE(Has(profile + ".bak"));
    EXPECT_EQ(BrowserStarts().size(), 1u);
    EXPECT_GE(p.ElapsedMs(), 60000u);
}

TEST(InstallationMutexName, IsOneNamePerFolderWhateverItsCase) {
    common::FakePlatform p;
    EXPECT_EQ(InstallationMutexName(p, "E:\\Opera"), "Tarvel E:/OPERA");
    EXPECT_EQ(InstallationMutexName(p, "e:\\opera"), InstallationMutexName(p, "E:\\OPERA"));
    EXPECT_NE(InstallationMutexName(p, "E:\\Opera"), InstallationMutexName(p, "E:\\Opera2"));
}

}  // namespace
}  // namespace tarvel::testing
