// The fake's file system, INI files and shell operations behave as Windows does
// in the ways the flow tests rely on.
#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace {

using common::FakePlatform;

struct IniReadCase {
    const char* content;
    const char* section;
    const char* key;
    const char* expected;
};

TEST(FakeIni, ReadsLikeGetPrivateProfileString) {
    const IniReadCase cases[] = {
        {"[Main]\r\nName=Value\r\n", "Main", "Name", "Value"},
        {"[Main]\r\nName=Value\r\n", "MAIN", "name", "Value"},              // case-insensitive
        {"  [Main]  \r\n   Name   =   Value  \r\n", "Main", "Name", "Value"},  // blanks trimmed
        {"[Main]\nName=Value\n", "Main", "Name", "Value"},                  // LF only
        {"[Main]\r\nName=\"quoted value \"\r\n", "Main", "Name", "quoted value "},
        {"[Main]\r\nName='single'\r\n", "Main", "Name", "single"},
        {"[Main]\r\nName=\"unmatched'\r\n", "Main", "Name", "\"unmatched'"},
        {"[Main]\r\nName=\"\r\n", "Main", "Name", "\""},
        {"[Main]\r\nName=\r\n", "Main", "Name", ""},  // present but empty: not the default
        {"[Main]\r\nName\r\n", "Main", "Name", "def"},  // no "=": the default
        {"[Main]\r\nOther=1\r\n", "Main", "Name", "def"},
        {"[Else]\r\nName=1\r\n", "Main", "Name", "def"},
        {"Name=top\r\n[Main]\r\n", "Main", "Name", "def"},  // lines before any section
        {"[Main]\r\nName=first\r\nName=second\r\n", "Main", "Name", "first"},
        {"[Main]\r\nA=1\r\n[Main]\r\nName=late\r\n", "Main", "Name", "def"},  // first section only
        {"[Main]\r\n;Name=comment\r\n", "Main", "Name", "def"},
        {"[Main]\r\nName=a=b\r\n", "Main", "Name", "a=b"},
        {"[Main]\r\nName=\xE4\xF6\r\n", "main", "NAME", "\xE4\xF6"},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        p.AddFile("C:\\cfg\\a.ini", c.content);
        EXPECT_EQ(p.IniReadString("C:\\cfg\\a.ini", c.section, c.key, "def"), c.expected)
            << c.content;
    }
}

TEST(FakeIni, ValuesAndDefaultsAreCutTo4095Characters) {
    FakePlatform p;
    p.AddFile("C:\\a.ini", "[S]\r\nLong=" + std::string(5000, 'x') + "\r\n");
    EXPECT_EQ(p.IniReadString("C:\\a.ini", "S", "Long", "").size(), 4095u);
    EXPECT_EQ(p.IniReadString("C:\\a.ini", "S", "Missing", std::string(5000, 'y')).size(), 4095u);
    EXPECT_EQ(p.IniReadString("C:\\none.ini", "S", "K", "d"), "d");  // missing file
}

TEST(FakeIni, BareFileNamesLiveInTheWindowsFolder) {
    FakePlatform p;
    p.AddFile("C:\\WINDOWS\\win.ini", "[S]\r\nK=win\r\n");
    p.AddFile("C:\\win.ini", "[S]\r\nK=current\r\n");
    EXPECT_EQ(p.IniReadString("win.ini", "S", "K", ""), "win");
}

TEST(FakeIni, ReadsIntegersLikeGetPrivateProfileInt) {
    const struct {
        const char* value;  // nullptr: key missing
        int expected;
    } cases[] = {
        {nullptr, 42}, {"", 42},      {"17", 17},   {"  17", 17}, {"-5", -5},  {"+8", 8},
        {"12abc", 12}, {"abc", 0},    {"0x10", 0},  {"\"7\"", 7}, {"1 2", 1},  {"-", 0},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        std::string text = "[S]\r\n";
        if (c.value) text += std::string("K=") + c.value + "\r\n";
        p.AddFile("C:\\a.ini", text);
        EXPECT_EQ(p.IniReadInt("C:\\a.ini", "S", "K", 42), c.expected)
            << (c.value ? c.value : "(missing)");
    }
}

TEST(FakeIni, WritesCreateReplaceInPlaceAndAddToTheSection) {
    FakePlatform p;
    p.AddFolder("C:\\cfg");
    ASSERT_TRUE(p.IniWriteString("C:\\cfg\\new.ini", "Main", "A", "1"));
    EXPECT_EQ(*p.FileText("C:\\cfg\\new.ini"), "[Main]\r\nA=1\r\n");

    p.AddFile("C:\\cfg\\x.ini", "; head\r\n[One]\r\n  a = old \r\nb=2\r\n\r\n[Two]\r\nc=3\r\n");
    ASSERT_TRUE(p.IniWriteString("C:\\cfg\\x.ini", "ONE", "A", "new"));
    ASSERT_TRUE(p.IniWriteString("C:\\cfg\\x.ini", "one", "d", "4"));
    ASSERT_TRUE(p.IniWriteString("C:\\cfg\\x.ini", "Three", "e", "5"));
    EXPECT_EQ(*p.FileText("C:\\cfg\\x.ini"),
              "; head\r\n[One]\r\na=new\r\nb=2\r\nd=4\r\n\r\n[Two]\r\nc=3\r\n[Three]\r\ne=5\r\n");
    EXPECT_EQ(p.IniReadString("C:\\cfg\\x.ini", "one", "a", ""), "new");

    // Untouched lines keep their bytes; a last line without its end gets one.
    p.AddFile("C:\\cfg\\lf.ini", "[S]\nk=1\nz=2");
    ASSERT_TRUE(p.IniWriteString("C:\\cfg\\lf.ini", "S", "k", "9"));
    ASSERT_TRUE(p.IniWriteString("C:\\cfg\\lf.ini", "S", "n", "3"));
    EXPECT_EQ(*p.FileText("C:\\cfg\\lf.ini"), "[S]\nk=9\nz=2\r\nn=3\r\n");
}

TEST(FakeIni, WritesFailWhereTheFileCannotBeWritten) {
    FakePlatform p;
    EXPECT_FALSE(p.IniWriteString("C:\\missing\\a.ini", "S", "K", "V"));
    EXPECT_FALSE(p.HasFolder("C:\\missing"));
    p.AddFile("C:\\ro.ini", "[S]\r\nK=1\r\n");
    p.SetReadOnly("C:\\ro.ini", true);
    EXPECT_FALSE(p.IniWriteString("C:\\ro.ini", "S", "K", "2"));
    p.AddFile("C:\\locked.ini", "[S]\r\nK=1\r\n");
    p.SetLocked("C:\\locked.ini", true);
    EXPECT_FALSE(p.IniWriteString("C:\\locked.ini", "S", "K", "2"));
    EXPECT_EQ(p.IniReadString("C:\\locked.ini", "S", "K", "def"), "def");
    EXPECT_EQ(*p.FileText("C:\\ro.ini"), "[S]\r\nK=1\r\n");
}

TEST(FakeIni, SectionNamesAreCutAtTheBuffer) {
    FakePlatform p;
    p.AddFile("C:\\a.ini", "[Alpha]\r\nx=1\r\n[Be]\r\n[]\r\n[Gamma]\r\n");
    const struct {
        std::size_t buffer;
        std::vector<std::string> expected;
    } cases[] = {
        {100, {"Alpha", "Be", "Gamma"}},
        {16, {"Alpha", "Be", "Gamma"}},  // exactly full: 15 bytes of names and the last zero
        {15, {"Alpha", "Be", "Gamm"}},
        {10, {"Alpha", "Be"}},         // 1 left: nothing of Gamma fits
        {4, {"Al"}},
        {1, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(p.IniSectionNames("C:\\a.ini", c.buffer), c.expected) << c.buffer;
}

TEST(FakeFiles, PathsCompareCaseInsensitivelyAndKeepTheirSpelling) {
    FakePlatform p;
    p.AddFile("C:\\Program Files\\Opera\\Opera.EXE", "MZ");
    const char* same[] = {"c:\\program files\\opera\\opera.exe", "C:/Program Files/Opera/opera.exe",
                          "C:\\Program Files\\x\\..\\Opera\\.\\opera.exe",
                          "C:\\\\Program Files\\Opera\\opera.exe.", "C:\\PROGRAM FILES\\OPERA\\OPERA.EXE"};
    for (const char* path : same) {
        EXPECT_TRUE(p.FileExists(path)) << path;
        EXPECT_EQ(p.StoredPath(path), "C:\\Program Files\\Opera\\Opera.EXE") << path;
    }
    p.SetCurrentFolder("C:\\Program Files");
    EXPECT_TRUE(p.FileExists("Opera\\opera.exe"));
    EXPECT_TRUE(p.FolderExists("C:\\PROGRAM FILES\\"));
    EXPECT_FALSE(p.FolderExists("C:\\Program Files\\Opera\\Opera.exe"));
    EXPECT_FALSE(p.FileExists("C:\\Program Files\\Opera"));
    EXPECT_FALSE(p.FileExists("C:\\Program Files\\Opera\\op?ra.exe"));
}

TEST(FakeFiles, WritingNeedsAnExistingFolderAndAWritableFile) {
    FakePlatform p;
    EXPECT_FALSE(p.WriteFile("C:\\nowhere\\a.txt", "x"));
    EXPECT_FALSE(p.WriteFile("Q:\\a.txt", "x"));  // no such drive
    EXPECT_TRUE(p.WriteFile("C:\\a.txt", "one"));
    EXPECT_TRUE(p.AppendFile("C:\\a.txt", "two"));
    EXPECT_TRUE(p.AppendFile("C:\\b.txt", "new"));
    EXPECT_EQ(p.ReadFile("C:\\a.txt"), "onetwo");
    p.SetReadOnly("C:\\a.txt", true);
    EXPECT_FALSE(p.WriteFile("C:\\a.txt", "x"));
    EXPECT_FALSE(p.DeleteFile("C:\\a.txt"));
    p.SetReadOnly("C:\\a.txt", false);
    p.SetLocked("C:\\a.txt", true);
    EXPECT_FALSE(p.ReadFile("C:\\a.txt").has_value());
    EXPECT_EQ(p.FileSize("C:\\a.txt"), 6u);
    EXPECT_FALSE(p.DeleteFile("C:\\a.txt"));
    p.SetLocked("C:\\a.txt", false);
    ASSERT_TRUE(p.SetHidden("C:\\a.txt", true));
    EXPECT_FALSE(p.WriteFile("C:\\a.txt", "x"));  // CREATE_ALWAYS refuses hidden files
    EXPECT_TRUE(p.DeleteFile("C:\\a.txt"));
    EXPECT_FALSE(p.HasFile("C:\\a.txt"));
}

TEST(FakeFiles, CopyAndMoveFollowWindowsRules) {
    enum Op { Copy, CopyFailIfExists, Move, MoveReplace };
    const struct {
        const char* name;
        Op op;
        const char* target;
        bool targetReadOnly;
        bool ok;
    } cases[] = {
        {"copy to new", Copy, "C:\\d\\new.txt", false, true},
        {"copy over", Copy, "C:\\d\\old.txt", false, true},
        {"copy fail if exists", CopyFailIfExists, "C:\\d\\old.txt", false, false},
        {"copy over read-only", Copy, "C:\\d\\old.txt", true, false},
        {"copy into missing folder", Copy, "C:\\none\\x.txt", false, false},
        {"copy onto itself", Copy, "C:\\D\\SRC.TXT", false, false},
        {"move to new", Move, "C:\\d\\new.txt", false, true},
        {"move over without replace", Move, "C:\\d\\old.txt", false, false},
        {"move over with replace", MoveReplace, "C:\\d\\old.txt", false, true},
        {"move over read-only", MoveReplace, "C:\\d\\old.txt", true, false},
        {"move to other drive", Move, "D:\\src.txt", false, true},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        p.AddDrive("D:\\");
        p.AddFile("C:\\d\\src.txt", "source");
        p.AddFile("C:\\d\\old.txt", "old");
        p.SetReadOnly("C:\\d\\old.txt", c.targetReadOnly);
        bool ok = false;
        switch (c.op) {
            case Copy: ok = p.CopyFile("C:\\d\\src.txt", c.target, false); break;
            case CopyFailIfExists: ok = p.CopyFile("C:\\d\\src.txt", c.target, true); break;
            case Move: ok = p.MoveFile("C:\\d\\src.txt", c.target, false); break;
            case MoveReplace: ok = p.MoveFile("C:\\d\\src.txt", c.target, true); break;
        }
        EXPECT_EQ(ok, c.ok) << c.name;
        bool moved = ok && (c.op == Move || c.op == MoveReplace);
        EXPECT_EQ(p.HasFile("C:\\d\\src.txt"), !moved) << c.name;
        if (ok) {
            EXPECT_EQ(p.FileText(c.target), "source") << c.name;
        }
    }
}

TEST(FakeFiles, MovingAFolderTakesItsTreeAndARenameCanChangeCase) {
    FakePlatform p;
    p.AddFile("C:\\a\\sub\\f.txt", "f");
    EXPECT_FALSE(p.MoveFile("C:\\a", "C:\\a\\sub\\inner", false));
    ASSERT_TRUE(p.MoveFile("C:\\a", "C:\\b", false));
    EXPECT_EQ(p.FileText("C:\\b\\sub\\f.txt"), "f");
    EXPECT_FALSE(p.HasFolder("C:\\a"));
    ASSERT_TRUE(p.MoveFile("C:\\b\\sub\\f.txt", "C:\\b\\sub\\F.TXT", false));
    EXPECT_EQ(p.StoredPath("C:\\b\\sub\\f.txt"), "C:\\b\\sub\\F.TXT");
}

TEST(FakeFiles, FoldersAreCreatedOneLevelAndRemovedWhenEmpty) {
    FakePlatform p;
    EXPECT_FALSE(p.CreateFolder("C:\\x\\y"));
    EXPECT_TRUE(p.CreateFolder("C:\\x"));
    EXPECT_FALSE(p.CreateFolder("C:\\X"));
    EXPECT_TRUE(p.CreateFolder("C:\\x\\y"));
    EXPECT_FALSE(p.RemoveFolder("C:\\x"));
    EXPECT_TRUE(p.RemoveFolder("C:\\x\\y"));
    EXPECT_TRUE(p.RemoveFolder("C:\\x"));
    EXPECT_FALSE(p.RemoveFolder("C:\\"));
}

TEST(FakeFiles, FindFilesMatchesMasksInNameOrder) {
    FakePlatform p;
    p.AddFile("C:\\p\\b.plg");
    p.AddFile("C:\\p\\A.plg", "12345");
    p.AddFile("C:\\p\\c.plgx");
    p.AddFile("C:\\p\\readme");
    p.AddFolder("C:\\p\\sub.plg");
    p.AddFile("C:\\p\\sub.plg\\deep.plg");
    auto names = [&](const std::string& mask) {
        std::vector<std::string> out;
        for (const auto& e : p.FindFiles(mask)) out.push_back(e.name + (e.isFolder ? "/" : ""));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(names("C:\\p\\*.plg"), (V{"A.plg", "b.plg", "sub.plg/"}));
    EXPECT_EQ(names("c:/P/*.PLG"), (V{"A.plg", "b.plg", "sub.plg/"}));
    EXPECT_EQ(names("C:\\p\\*.*"), (V{"A.plg", "b.plg", "c.plgx", "readme", "sub.plg/"}));
    EXPECT_EQ(names("C:\\p\\readme.*"), (V{"readme"}));
    EXPECT_EQ(names("C:\\p\\?.plg"), (V{"A.plg", "b.plg"}));
    EXPECT_EQ(names("C:\\p\\a.plg"), (V{"A.plg"}));
    EXPECT_EQ(names("C:\\p\\"), V{});
    EXPECT_EQ(names("C:\\nope\\*"), V{});
    EXPECT_EQ(p.FindFiles("C:\\p\\a.plg").front().size, 5u);
    p.SetFindOrder(FakePlatform::FindOrder::Creation);
    EXPECT_EQ(names("C:\\p\\?.plg"), (V{"b.plg", "A.plg"}));
}

TEST(FakeFiles, FreeSpaceIsSpentByWritesAndAFullDiskRefusesThem) {
    FakePlatform p;
    p.AddDrive("S:\\", common::drive_type::Removable, 10);
    EXPECT_EQ(p.DriveType("S:\\"), common::drive_type::Removable);
    EXPECT_EQ(p.DriveType("S:"), common::drive_type::Removable);
    EXPECT_EQ(p.DriveType("R:\\"), common::drive_type::NoRootDir);
    EXPECT_TRUE(p.WriteFile("S:\\a", "123456"));
    EXPECT_EQ(p.FreeDiskSpace("S:\\"), 4u);
    EXPECT_FALSE(p.WriteFile("S:\\b", "12345"));
    EXPECT_FALSE(p.HasFile("S:\\b"));
    EXPECT_TRUE(p.WriteFile("S:\\a", "1"));  // shrinking gives space back
    EXPECT_EQ(p.FreeDiskSpace("S:\\"), 9u);
    EXPECT_TRUE(p.DeleteFile("S:\\a"));
    EXPECT_EQ(p.FreeDiskSpace("S:\\"), 10u);
    EXPECT_FALSE(p.FreeDiskSpace("S:\\missing\\").has_value());
    p.AddFolder("\\\\server\\share\\dir");
    EXPECT_EQ(p.DriveType("\\\\server\\share\\"), common::drive_type::Remote);
    EXPECT_TRUE(p.FreeDiskSpace("\\\\SERVER\\share\\dir").has_value());
}

TEST(FakeFiles, FailingWritesSimulateADiskError) {
    FakePlatform p;
    p.AddFile("C:\\keep.txt", "old");
    p.FailWritesTo("c:\\WINDOWS\\..\\KEEP.txt");
    EXPECT_FALSE(p.WriteFile("C:\\keep.txt", "new"));
    EXPECT_TRUE(p.WriteFile("C:\\other.txt", "x"));
    EXPECT_FALSE(p.CopyFile("C:\\other.txt", "C:\\keep.txt", false));
    EXPECT_FALSE(p.MoveFile("C:\\other.txt", "C:\\keep.txt", true));
    EXPECT_EQ(p.FileText("C:\\keep.txt"), "old");
    p.StopFailingWritesTo("C:\\keep.txt");
    EXPECT_TRUE(p.WriteFile("C:\\keep.txt", "new"));
    p.FailAllWrites(true);
    EXPECT_FALSE(p.IniWriteString("C:\\x.ini", "S", "K", "V"));
    ASSERT_FALSE(p.FileOps().empty());
    EXPECT_EQ(p.FileOps().back().op, "ini");
    EXPECT_FALSE(p.FileOps().back().ok);
}

TEST(FakeShell, CopiesMovesAndDeletesTrees) {
    FakePlatform p;
    p.AddFile("C:\\src\\a.txt", "a");
    p.AddFile("C:\\src\\sub\\b.txt", "b");
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Copy, 0, "C:\\src\\*.*", "C:\\dst"), 0);
    EXPECT_EQ(p.FilesUnder("C:\\dst"),
              (std::vector<std::string>{"C:\\dst\\a.txt", "C:\\dst\\sub\\b.txt"}));
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Move, 0, "C:\\src", "C:\\moved"), 0);
    EXPECT_FALSE(p.HasFolder("C:\\src"));
    EXPECT_EQ(p.FileText("C:\\moved\\sub\\b.txt"), "b");
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Rename, 0, "C:\\moved", "renamed"), 0);
    EXPECT_TRUE(p.HasFile("C:\\renamed\\a.txt"));
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Delete, 0, "C:\\renamed", ""), 0);
    EXPECT_FALSE(p.HasFolder("C:\\renamed"));
    EXPECT_NE(p.ShellFileOperation(0, common::shell_op::Delete, 0, "C:\\renamed", ""), 0);
    ASSERT_EQ(p.ShellOperations().size(), 5u);
    EXPECT_EQ(p.ShellOperations()[0].from, "C:\\src\\*.*");
}

TEST(FakeShell, ScriptedFailuresStopBeforeOrHalfway) {
    FakePlatform p;
    p.AddFile("C:\\src\\1.txt", "1");
    p.AddFile("C:\\src\\2.txt", "2");
    p.AddFile("C:\\src\\3.txt", "3");
    p.FailNextShellOperation(1223);
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Move, 0, "C:\\src\\*.*", "C:\\dst"), 1223);
    EXPECT_FALSE(p.HasFolder("C:\\dst"));
    p.FailNextShellOperationHalfway(2, 112);
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Move, 0, "C:\\src\\*.*", "C:\\dst"), 112);
    EXPECT_EQ(p.FilesUnder("C:\\dst"), (std::vector<std::string>{"C:\\dst\\1.txt", "C:\\dst\\2.txt"}));
    EXPECT_EQ(p.FilesUnder("C:\\src"), (std::vector<std::string>{"C:\\src\\3.txt"}));
    EXPECT_EQ(p.ShellFileOperation(0, common::shell_op::Move, 0, "C:\\src\\*.*", "C:\\dst"), 0);
}

}  // namespace
