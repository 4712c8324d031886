// A moved single-user installation: which files are rewritten, how, and with
// which ".bak" copies; the profile adjustments; bad profile files.
#include "tests/flow/tarvel/scenario.h"

#include "tarvel/path_correction.h"

namespace tarvel::testing {
namespace {

using common::FakePlatform;

const std::string kOldS = kOld;
const std::string kOldUrlS = kOldUrl;

class MovedInstallation : public TarvelRun {
protected:
    void SetUp() override {
        TarvelRun::SetUp();
        MovedSingleUser();
    }
    // A file naming the old folder, with its expected rewrite.
    struct Sample {
        std::string path, before, after;
    };
    Sample Utf8File(const std::string& relative) {
        return {Path(relative), "a=" + kOldS + "\\x\r\nb=" + kOldS + "2\\y\r\n",
                "a=E:\\Opera\\x\r\nb=" + kOldS + "2\\y\r\n"};
    }
    Sample UrlFile(const std::string& relative) {
        return {Path(relative), "u=file://localhost/" + kOldUrlS + "/x.htm\n",
                "u=file://localhost/" + std::string(kNewUrl) + "/x.htm\n"};
    }
    void Add(const Sample& s) { p.AddFile(s.path, s.before); }
    void ExpectRewritten(const Sample& s) {
        EXPECT_EQ(Text(s.path), s.after) << s.path;
        EXPECT_EQ(Text(s.path + ".bak"), s.before) << s.path;
    }
    void ExpectUntouched(const Sample& s) {
        EXPECT_EQ(Text(s.path), s.before) << s.path;
        EXPECT_FALSE(Has(s.path + ".bak")) << s.path;
    }
};

TEST_F(MovedInstallation, DefaultSwitchesRewriteTheirRowsOnly) {
    const std::string defaults = Text(Path("operadef6.ini"));
    const std::string profile = Text(Path("profile\\opera6.ini"));
    std::vector<Sample> rewritten = {
        Utf8File("profile\\override.ini"),       Utf8File("profile\\widgets\\widgets.dat"),
        Utf8File("mail\\index.ini"),             Utf8File("mail\\accounts.ini"),
        UrlFile("profile\\contacts.adr"),        Utf8File("profile\\menu\\standard_menu.ini"),
        Utf8File("profile\\menu\\my.ini"),
    };
    std::vector<Sample> untouched = {
        Utf8File("profile\\obook.ini"),           Utf8File("profile\\dialog.ini"),
        Utf8File("profile\\toolbar\\standard_toolbar.ini"),
        Utf8File("profile\\keyboard\\standard_keyboard.ini"),
        Utf8File("profile\\mouse\\standard_mouse.ini"),
        UrlFile("english.lng"),                   Utf8File("profile\\opera6.adr"),
        Utf8File("profile\\menu\\notes.txt"),     Utf8File("profile\\notes.adr"),
    };
    for (const auto& s : rewritten) Add(s);
    for (const auto& s : untouched) Add(s);

    RunTarvel(p);

    for (const auto& s : rewritten) ExpectRewritten(s);
    for (const auto& s : untouched) EXPECT_EQ(Text(s.path), s.before) << s.path;
    EXPECT_EQ(Text(Path("operadef6.ini")),
              "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=E:\\Opera\\\r\n");
    EXPECT_EQ(Text(Path("operadef6.ini.bak")), defaults);
    EXPECT_EQ(Text(Path("profile\\opera6.ini.bak")), profile);
    EXPECT_EQ(p.IniReadString(Path("profile\\opera6.ini"), "User Prefs", "Opera Directory", ""),
              "E:\\Opera\\profile");
    EXPECT_EQ(p.IniReadString(Path("spellcheck.ini"), "Spell check", "Spell check engine", ""),
              "E:\\Opera\\spellcheck.dll");
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

TEST_F(TarvelRun, ObookIsAnsiAndBookmarksTakeBothForms) {
    const std::string base = "E:\\Op\xE9ra\\";
    p.SetModuleFileName(base + "tarvel.exe");
    p.SetCommandLine("\"" + base + "tarvel.exe\"");
    p.AddFile(base + "opkernel.exe", "MZ");
    p.AddFile(base + "operadef6.ini", "[System]\r\nMulti User=0\r\n");
    p.IniWriteString(base + "tarvel.ini", "Correct", "Obook", "1");
    p.IniWriteString(base + "tarvel.ini", "Correct", "Bookmarks", "1");
    // "C:\Alt \xE9t\xE9" in UTF-8, as the profile stores it.
    p.AddFile(base + "profile\\opera6.ini",
              "[User Prefs]\r\nOpera Directory=C:\\Alt \xC3\xA9t\xC3\xA9\\profile\r\n");
    p.AddFile(base + "profile\\obook.ini",
              "p=C:\\Alt \xE9t\xE9\\x\r\nq=C:\\Alt \xC3\xA9t\xC3\xA9\\x\r\n");
    const std::string bookmarks =
        "#URL\n\tURL=file:///C:/Alt%20\xC3\xA9t\xC3\xA9/a.htm\n"
        "\tICONFILE=C:\\Alt \xC3\xA9t\xC3\xA9\\i.ico\n";
    p.AddFile(base + "profile\\opera6.adr", bookmarks);
    RunTarvel(p);
    EXPECT_EQ(Text(base + "profile\\obook.ini"),
              "p=E:\\Op\xE9ra\\x\r\nq=C:\\Alt \xC3\xA9t\xC3\xA9\\x\r\n");
    EXPECT_EQ(Text(base + "profile\\opera6.adr"),
              "#URL\n\tURL=file:///E:/Op\xC3\xA9ra/a.htm\n\tICONFILE=E:\\Op\xC3\xA9ra\\i.ico\n");
    // Both passes over the bookmarks keep one safety copy: the file as it was.
    EXPECT_EQ(Text(base + "profile\\opera6.adr.bak"), bookmarks);
    EXPECT_EQ(p.IniReadString(base + "profile\\opera6.ini", "User Prefs", "Opera Directory", ""),
              "E:\\Op\xC3\xA9ra\\profile");
}

TEST_F(MovedInstallation, SwitchedOnRowsFollowTheirEncodings) {
    for (const char* key : {"Dialog", "Toolbar", "Keyboard", "Mouse", "Language", "Bookmarks"})
        Correct(key, "1");
    std::vector<Sample> rewritten = {
        Utf8File("profile\\dialog.ini"),
        Utf8File("profile\\toolbar\\standard_toolbar.ini"),
        Utf8File("profile\\keyboard\\standard_keyboard.ini"),
        Utf8File("profile\\mouse\\standard_mouse.ini"),
        UrlFile("english.lng"),
        UrlFile("de.lng"),
    };
    for (const auto& s : rewritten) Add(s);
    Sample obook = Utf8File("profile\\obook.ini");  // switch off by default
    Add(obook);
    RunTarvel(p);
    for (const auto& s : rewritten) ExpectRewritten(s);
    ExpectUntouched(obook);
}

TEST_F(MovedInstallation, DialogSettingsFallBackToTheProgramFolder) {
    Correct("Dialog", "1");
    Sample dialog = Utf8File("dialog.ini");
    Add(dialog);
    RunTarvel(p);
    ExpectRewritten(dialog);
}

TEST_F(MovedInstallation, SpellCheckPrefersTheDefaultsFolder) {
    p.AddFile(Path("defaults\\spellcheck.ini"), "[Spell check]\r\nSpell check engine=C:\\x.dll\r\n");
    RunTarvel(p);
    EXPECT_EQ(p.IniReadString(Path("defaults\\spellcheck.ini"), "Spell check",
                              "Spell check engine", ""),
              "E:\\Opera\\spellcheck.dll");
    EXPECT_FALSE(Has(Path("spellcheck.ini")));
}

TEST_F(MovedInstallation, AfterCorrectionRunsItsProgramsFirst) {
    Settings("After correction", "Run1", "C:\\t\\after.exe");
    Settings("Program", "Run1", "C:\\t\\with.exe");
    RunTarvel(p);
    ASSERT_EQ(p.Starts().size(), 3u);
    EXPECT_EQ(p.Starts()[0].commandLine, "C:\\t\\after.exe");
    EXPECT_EQ(p.Starts()[1].commandLine, "C:\\t\\with.exe");
    EXPECT_EQ(p.Starts()[2].commandLine, "E:\\Opera\\opkernel.exe");
}

TEST_F(TarvelRun, InstallationInPlaceTouchesNothing) {
    p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=e:\\OPERA\\\r\n");
    p.AddFile(Path("profile\\opera6.ini"), "[User Prefs]\r\nOpera Directory=E:\\opera\\profile\r\n");
    p.AddFile(Path("profile\\override.ini"), "x=E:\\Opera\\y\r\n");
    Settings("After correction", "Run1", "C:\\t\\after.exe");
    RunTarvel(p);
    EXPECT_FALSE(Has(Path("operadef6.ini.bak")));
    EXPECT_FALSE(Has(Path("profile\\opera6.ini.bak")));
    EXPECT_FALSE(Has(Path("profile\\override.ini.bak")));
    EXPECT_FALSE(Has(Path("spellcheck.ini")));
    EXPECT_EQ(p.StartsOf("after.exe").size(), 0u);
}

TEST_F(TarvelRun, MissingMainDirDefaultsToTheProgramFolder) {
    p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=0\r\n");
    p.AddFile(Path("profile\\opera6.ini"), "[User Prefs]\r\nOpera Directory=" + kOldS + "\\profile\r\n");
    RunTarvel(p);
    // Only the profile named the old folder.
    EXPECT_FALSE(Has(Path("operadef6.ini.bak")));
    EXPECT_TRUE(Has(Path("profile\\opera6.ini.bak")));
}

struct OldDirCase {
    const char* name;
    std::string pathSetting;
    std::optional<std::string> operaDirectory;
    std::string expectedOldDir;
};

class OldDirChoice : public TarvelRun, public ::testing::WithParamInterface<OldDirCase> {};

TEST_P(OldDirChoice, TakesTheFirstMatchingRule) {
    const OldDirCase& c = GetParam();
    LaunchState s;
    s.pathOverride = c.pathSetting;
    s.operaDirectory = c.operaDirectory.value_or("");
    s.baseDir = "E:\\Opera";
    EXPECT_EQ(DetermineOldDir(p, s), c.expectedOldDir);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OldDirChoice,
    ::testing::Values(
        OldDirCase{"PathWithDrive", "D:\\Was\\", std::string("C:\\Other\\profile"), "D:\\Was"},
        OldDirCase{"PathAnsiBecomesUtf8", "D:\\\xE9", std::nullopt, "D:\\\xC3\xA9"},
        OldDirCase{"UncPathIgnored", "\\\\srv\\share", std::string("C:\\Other\\profile"),
                   "C:\\Other"},
        OldDirCase{"OperaDirectoryWithBackslash", "", std::string("C:\\Other\\profile\\"),
                   "C:\\Other"},
        OldDirCase{"ProfileWithBackslashOnly", "", std::string("profile\\"), ""},
        OldDirCase{"OperaDirectoryStaysUtf8", "", std::string("C:\\\xC3\xA9\\profile"),
                   "C:\\\xC3\xA9"},
        OldDirCase{"SevenCharacters", "", std::string("profile"), ""},
        OldDirCase{"FewerThanSeven", "", std::string("C:\\x"), ""},
        OldDirCase{"EightCharacters", "", std::string("\\profile"), ""},
        OldDirCase{"BaseFolderLast", "", std::nullopt, "E:\\Opera"}),
    [](const ::testing::TestParamInfo<OldDirCase>& info) { return std::string(info.param.name); });

TEST_F(TarvelRun, PathSettingActsOnceAndIsCleared) {
    p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=E:\\Opera\r\n");
    p.AddFile(Path("profile\\opera6.ini"), "[User Prefs]\r\nOpera Directory=E:\\Opera\\profile\r\n");
    p.AddFile(Path("profile\\override.ini"), "x=D:\\Stick\\Opera\\y\r\n");
    Correct("Path", "D:\\Stick\\Opera\\");
    RunTarvel(p);
    EXPECT_EQ(Text(Path("profile\\override.ini")), "x=E:\\Opera\\y\r\n");
    EXPECT_EQ(p.IniReadString(Path("tarvel.ini"), "Correct", "Path", "<none>"), "");
}

TEST_F(TarvelRun, ShortOperaDirectoryStillCorrects) {
    p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=E:\\Opera\r\n");
    p.AddFile(Path("profile\\opera6.ini"), "[User Prefs]\r\nOpera Directory=C:\\x\r\n");
    p.AddFile(Path("profile\\override.ini"), "x=C:\\x\\y\r\n");
    Settings("After correction", "Run1", "C:\\t\\after.exe");
    RunTarvel(p);
    EXPECT_FALSE(Has(Path("profile\\opera6.ini.bak")));
    EXPECT_FALSE(Has(Path("profile\\override.ini.bak")));
    EXPECT_EQ(p.IniReadString(Path("spellcheck.ini"), "Spell check", "Spell check engine", ""),
              "E:\\Opera\\spellcheck.dll");
    EXPECT_EQ(p.StartsOf("after.exe").size(), 1u);
}

struct AdjustCase {
    const char* name;
    const char* searchTypeSwitch;  // nullptr: default (off)
    std::optional<std::string> searchTypeValue;
    std::optional<std::string> expectSearchType;
};

class SearchTypeAdjust : public TarvelRun, public ::testing::WithParamInterface<AdjustCase> {};

TEST_P(SearchTypeAdjust, WritesMinusOneOnlyWhenNeeded) {
    const AdjustCase& c = GetParam();
    InPlaceSingleUser();
    if (c.searchTypeSwitch) Correct("Search Type", c.searchTypeSwitch);
    if (c.searchTypeValue)
        p.IniWriteString(Path("profile\\opera6.ini"), "User Prefs", "Search Type", *c.searchTypeValue);
    const auto opsBefore = p.FileOps().size();
    RunTarvel(p);
    const std::string value =
        p.IniReadString(Path("profile\\opera6.ini"), "User Prefs", "Search Type", "<none>");
    EXPECT_EQ(value, c.expectSearchType.value_or("<none>"));
    if (c.searchTypeValue && c.expectSearchType == c.searchTypeValue) {
        for (std::size_t i = opsBefore; i < p.FileOps().size(); ++i)
            EXPECT_NE(p.FileOps()[i].op, "ini") << p.FileOps()[i].path;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchTypeAdjust,
    ::testing::Values(
        AdjustCase{"SwitchOffLeavesValue", nullptr, std::string("3"), std::string("3")},
        AdjustCase{"SwitchOnWritesMinusOne", "1", std::string("3"), std::string("-1")},
        AdjustCase{"AlreadyMinusOneNotWritten", "1", std::string("-1"), std::string("-1")},
        AdjustCase{"MissingValueWritten", "1", std::nullopt, std::string("-1")}),
    [](const ::testing::TestParamInfo<AdjustCase>& info) { return std::string(info.param.name); });

TEST_F(TarvelRun, CacheMovesToTempOnARemovableDrive) {
    InPlaceSingleUser();
    p.SetDriveType("E:\\", common::drive_type::Removable);
    p.SetTempFolder("C:\\T\xE9mp\\");
    RunTarvel(p);
    EXPECT_EQ(p.IniReadString(Path("profile\\opera6.ini"), "User Prefs", "Cache Directory4", ""),
              "C:\\T\xC3\xA9mp\\opera");
}

TEST_F(TarvelRun, CacheStaysOnAFixedDriveOrWhenSwitchedOff) {
    InPlaceSingleUser();
    RunTarvel(p);
    EXPECT_EQ(p.IniReadString(Path("profile\\opera6.ini"), "User Prefs", "Cache Directory4", "<none>"),
              "<none>");
    p.SetDriveType("E:\\", common::drive_type::Removable);
    Correct("Cache Directory", "0");
    RunTarvel(p);
    EXPECT_EQ(p.IniReadString(Path("profile\\opera6.ini"), "User Prefs", "Cache Directory4", "<none>"),
              "<none>");
}

TEST_F(TarvelRun, CacheAlreadyInTempIsNotWrittenAgain) {
    InPlaceSingleUser();
    p.SetDriveType("E:\\", common::drive_type::Removable);
    p.SetTempFolder("C:\\TEMP\\");
    p.IniWriteString(Path("profile\\opera6.ini"), "User Prefs", "Cache Directory4", "c:\\temp\\OPERA");
    RunTarvel(p);
    EXPECT_EQ(p.IniReadString(Path("profile\\opera6.ini"), "User Prefs", "Cache Directory4", ""),
              "c:\\temp\\OPERA");
}

// --- CorrectFile on bad input ---

struct FileCase {
    const char* name;
    std::string before;
    std::string after;  // expected content afterwards
    bool backup;        // ".bak" expected (holding before)
};

class CorrectFileCases : public ::testing::TestWithParam<FileCase> {};

TEST_P(CorrectFileCases, RewritesOnlyWhatNamesTheOldFolder) {
    const FileCase& c = GetParam();
    common::FakePlatform p;
    const std::string file = "E:\\P\\f.ini";
    p.AddFile(file, c.before);
    CorrectFile(p, file, "C:\\Old", "E:\\P");
    EXPECT_EQ(p.FileText(file), c.after);
    if (c.backup) {
        EXPECT_EQ(p.FileText(file + ".bak"), c.before);
    } else {
        EXPECT_FALSE(p.HasFile(file + ".bak"));
    }
    EXPECT_EQ(p.FilesUnder("E:\\P").size(), c.backup ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CorrectFileCases,
    ::testing::Values(
        FileCase{"Empty", "", "", false},
        FileCase{"NoOldFolder", "x=D:\\y\r\n", "x=D:\\y\r\n", false},
        FileCase{"NoOldFolderTrailingZeroKept", std::string("x=1\0", 4), std::string("x=1\0", 4),
                 false},
        FileCase{"TrailingZeroDropped", std::string("x=C:\\Old\\a\0", 11), "x=E:\\P\\a", true},
        FileCase{"OnlyOneTrailingZeroDropped", std::string("x=C:\\Old\0\0", 10),
                 std::string("x=C:\\Old\0", 9), true},
        FileCase{"BinaryWithZeros", std::string("\x01\0C:\\OLD\\\xff\0", 11),
                 std::string("\x01\0E:\\P\\\xff", 8), true},
        FileCase{"CrOnlyLines", "a=C:\\Old\rb=c:\\old\r", "a=E:\\P\rb=E:\\P\r", true},
        FileCase{"LfOnlyLines", "a=C:\\Old\nb=C:\\Old2\n", "a=E:\\P\nb=C:\\Old2\n", true},
        FileCase{"NamedButBoundaryChangesNothing", "a=\"c:\\OLD\"", "a=\"c:\\OLD\"", true},
        FileCase{"OtherLetterCase", "a=c:\\oLd\\X", "a=E:\\P\\X", true}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

// The backup is a second name of the original where the volume allows one,
// else a copy; a backup still sharing the file's data after a failed write
// is turned into a copy of its own.
struct BackupCase {
    const char* name;
    std::size_t failedCopy;  // this link or copy is refused (0: none)
    bool writeFails;
    int olderBackup;         // 0: none, 1: plain, 2: read-only
    bool corrected;               // the file holds the new text
    const char* backupBy;         // last operation that made the ".bak": "link", "copy" or none
};

class CorrectFileBackups : public ::testing::TestWithParam<BackupCase> {};

TEST_P(CorrectFileBackups, KeepTheOriginal) {
    const BackupCase& c = GetParam();
    const std::string file = "E:\\P\\f.ini", before = "a=C:\\Old\\x", after = "a=E:\\P\\x";
    FakePlatform p;
    p.AddFile(file, before);
    if (c.olderBackup) p.AddFile(file + ".bak", "older");
    if (c.olderBackup == 2) p.SetFileAttributes(file + ".bak", common::file_attr::ReadOnly);
    p.ModuleFileName();  // failures count from the run's start
    if (c.failedCopy) p.FailNth(FakePlatform::OpKind::Copy, c.failedCopy);
    if (c.writeFails) p.FailWritesTo(file + ".~new");
    CorrectFile(p, file, "C:\\Old", "E:\\P");

    EXPECT_EQ(p.FileText(file), c.corrected ? after : before);
    std::string madeBy;
    for (const FakePlatform::FileOp& op : p.FileOps())
        if (op.ok && op.path2 == file + ".bak") madeBy = op.op;
    EXPECT_EQ(madeBy, c.backupBy);
    if (*c.backupBy) {
        EXPECT_EQ(p.FileText(file + ".bak"), before);
    } else {
        EXPECT_EQ(p.HasFile(file + ".bak"), c.olderBackup != 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CorrectFileBackups,
    ::testing::Values(
        BackupCase{"Linked", 0, false, 0, true, "link"},
        BackupCase{"OlderBackupReplaced", 0, false, 1, true, "link"},
        BackupCase{"CopiedWhereNoLinkCanBeMade", 1, false, 0, true, "copy"},
        BackupCase{"NoBackupNoChange", 0, false, 2, false, ""},
        BackupCase{"FailedWriteLeavesACopyOfItsOwn", 0, true, 0, false, "copy"}),
    [](const ::testing::TestParamInfo<BackupCase>& info) { return std::string(info.param.name); });

TEST(CorrectFile, MissingFileAndEmptyOldTextDoNothing) {
    common::FakePlatform p;
    CorrectFile(p, "E:\\P\\missing.ini", "C:\\Old", "E:\\P");
    EXPECT_FALSE(p.HasFile("E:\\P\\missing.ini"));
    p.AddFile("E:\\P\\f.ini", "a=C:\\Old\\x");
    CorrectFile(p, "E:\\P\\f.ini", "", "E:\\P");
    EXPECT_EQ(p.FileText("E:\\P\\f.ini"), "a=C:\\Old\\x");
    EXPECT_FALSE(p.HasFile("E:\\P\\f.ini.bak"));
    p.AddFolder("E:\\P\\folder.ini");
    CorrectFile(p, "E:\\P\\folder.ini", "C:\\Old", "E:\\P");
    EXPECT_TRUE(p.HasFolder("E:\\P\\folder.ini"));
}

TEST(CorrectFile, ReadOnlyOrLockedFileStaysWholeAndNoTemporaryRemains) {
    for (const bool locked : {false, true}) {
        common::FakePlatform p;
        const std::string file = "E:\\P\\f.ini";
        p.AddFile(file, "a=C:\\Old\\x");
        if (locked) {
            p.SetLocked(file, true);
        } else {
            p.SetReadOnly(file, true);
        }
        CorrectFile(p, file, "C:\\Old", "E:\\P");
        EXPECT_EQ(p.FileText(file), "a=C:\\Old\\x") << locked;
        EXPECT_EQ(p.FilesUnder("E:\\P"), std::vector<std::string>{file}) << locked;
    }
}

TEST(CorrectFile, FailedWriteKeepsTheOriginalAndLeavesNoTemporary) {
    common::FakePlatform p;
    const std::string file = "E:\\P\\f.ini";
    p.AddFile(file, "a=C:\\Old\\x");
    p.FailAllWrites(true);
    CorrectFile(p, file, "C:\\Old", "E:\\P");
    p.FailAllWrites(false);
    EXPECT_EQ(p.FileText(file), "a=C:\\Old\\x");
    EXPECT_EQ(p.FilesUnder("E:\\P"), std::vector<std::string>{file});
}

TEST(CorrectFile, WithoutASafetyCopyTheOriginalIsNotTouched) {
    common::FakePlatform p;
    const std::string file = "E:\\P\\f.ini";
    p.AddFile(file, "a=C:\\Old\\x");
    p.FailWritesTo(file + ".bak");
    CorrectFile(p, file, "C:\\Old", "E:\\P");
    EXPECT_EQ(p.FileText(file), "a=C:\\Old\\x");
}

TEST(CorrectFile, FullDiskDuringTheRewriteKeepsTheOriginal) {
    common::FakePlatform p;
    p.AddDrive("E:\\", common::drive_type::Fixed, 40);
    const std::string file = "E:\\P\\f.ini";
    p.AddFile(file, "a=C:\\Old\\x");  // not counted against free space
    CorrectFile(p, file, "C:\\Old", "E:\\Much\\Longer\\Folder\\Name\\Than\\Fits");
    EXPECT_EQ(p.FileText(file), "a=C:\\Old\\x");
    for (const std::string& f : p.FilesUnder("E:\\P")) EXPECT_EQ(f.find(".~new"), std::string::npos);
}

TEST(CorrectFolder, CorrectsMatchingFilesOnly) {
    common::FakePlatform p;
    p.AddFile("E:\\P\\menu\\a.ini", "x=C:\\Old\\1");
    p.AddFile("E:\\P\\menu\\b.INI", "x=C:\\Old\\2");
    p.AddFile("E:\\P\\menu\\c.txt", "x=C:\\Old\\3");
    p.AddFolder("E:\\P\\menu\\sub.ini");
    CorrectFolder(p, "E:\\P\\menu\\", "*.ini", "C:\\Old", "E:\\P");
    EXPECT_EQ(p.FileText("E:\\P\\menu\\a.ini"), "x=E:\\P\\1");
    EXPECT_EQ(p.FileText("E:\\P\\menu\\b.INI"), "x=E:\\P\\2");
    EXPECT_EQ(p.FileText("E:\\P\\menu\\c.txt"), "x=C:\\Old\\3");
    EXPECT_TRUE(p.HasFile("E:\\P\\menu\\a.ini.bak"));
    CorrectFolder(p, "E:\\P\\missing\\", "*.ini", "C:\\Old", "E:\\P");  // nothing to list
}

}  // namespace
}  // namespace tarvel::testing

namespace tarvel::testing {
namespace {

// Huge profile text: 1 MB lines naming the old folder many times, and values
// past the 4,095 characters an INI read can hold. The rewrite works on the
// whole text, so every place is corrected; what is read through the INI
// functions is cut at 4,095 characters: a cut "Opera Directory" occurs in the
// profile only inside the longer name, never before a path boundary, so the
// text stays as it is (written back beside its ".bak", as any file that
// holds the old text) and the browser starts.
struct HugeCase {
    const char* name;
    std::string operaDirectory;
    bool corrected;
};

class HugeProfile : public TarvelRun, public ::testing::WithParamInterface<HugeCase> {};

TEST_P(HugeProfile, IsCorrectedWholeOrLeftAlone) {
    const HugeCase& c = GetParam();
    std::string line = "Key=";
    while (line.size() < (1u << 20)) line += kOldS + "\\cache\\;D:\\elsewhere\\x;";
    const std::string overlong = "Long=" + std::string(5000, 'v') + kOldS + "\\far\r\n";
    p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=0\r\n");
    const std::string profile = "[User Prefs]\r\nOpera Directory=" + c.operaDirectory + "\r\n" + line +
                                "\r\n" + line + "\r\n" + overlong;
    p.AddFile(Path("profile\\opera6.ini"), profile);
    RunTarvel(p);
    const std::string after = Text(Path("profile\\opera6.ini"));
    if (c.corrected) {
        EXPECT_EQ(after, ReplacePathText(profile, kOldS, kDir, true));
        EXPECT_EQ(after.find(kOldS), std::string::npos);
        EXPECT_NE(after.find(std::string(5000, 'v') + kDir + "\\far\r\n"), std::string::npos);
        EXPECT_EQ(Text(Path("profile\\opera6.ini.bak")), profile);
    } else {
        EXPECT_EQ(after, profile);
        EXPECT_EQ(Text(Path("profile\\opera6.ini.bak")), profile);
    }
    EXPECT_TRUE(LeftoverTemporaries().empty());
    EXPECT_EQ(BrowserStarts().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HugeProfile,
    ::testing::Values(HugeCase{"OldFolder", kOldS + "\\profile", true},
                      HugeCase{"OperaDirectoryPast4095Characters",
                               "C:\\" + std::string(5000, 'd') + "\\profile", false}),
    [](const ::testing::TestParamInfo<HugeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvel::testing
