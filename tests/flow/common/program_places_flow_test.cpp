// Where a program keeps its settings and working files, in a program folder
// it can write (portable) and in one it cannot (Program Files).
#include <gtest/gtest.h>

#include <iterator>
#include <map>

#include "common/helpers.h"
#include "common/ini.h"
#include "common/program_places.h"
#include "tests/support/fake_platform.h"

namespace common {
namespace {

const std::string kFolder = "C:\\Program Files\\Opera\\Zelko\\";
const std::string kIni = kFolder + "Zelko.ini";
const std::string kAppData = "C:\\Documents and Settings\\User\\Application Data";
const std::string kSharedIni = kAppData + "\\Zelko\\Zelko.ini";  // of every install, before
const std::string kUserFiles = "C:\\Documents and Settings\\User\\My Documents\\Zelko\\";

// The per-user settings of the install in this folder.
std::string UserIni(FakePlatform& p, const std::string& folder = kFolder) {
    return kAppData + "\\Zelko\\" + InstallFolderName(p, folder) + "\\Zelko.ini";
}
const std::string kUserIni = [] {
    FakePlatform p;
    return UserIni(p);
}();

// Installs are switched by moving the running exe.
struct World {
    FakePlatform p;
    explicit World(const std::string& folder = kFolder) { Use(folder); }
    void Use(const std::string& folder) {
        p.SetModuleFileName(folder + "Zelko.exe");
        p.AddFile(folder + "Zelko.exe", "MZ");
    }
    ProgramPlaces Find() { return FindProgramPlaces(p, "Zelko", ProgramFolder(p) + "Zelko.ini"); }
};

TEST(ProgramPlaces, FollowWhetherTheProgramFolderCanBeWritten) {
    struct Case {
        const char* name;
        std::function<void(FakePlatform&)> setUp;
        bool writable;
        std::string settings, work, userFiles;
    } cases[] = {
        {"portable", [](FakePlatform&) {}, true, kIni, kFolder, kFolder},
        {"a write test left by a crash", [](FakePlatform& p) { p.AddFile(kFolder + "~write_test_1.tmp"); },
         true, kIni, kFolder, kFolder},
        {"Program Files", [](FakePlatform& p) { p.SetWriteProtected(kFolder, true); }, false,
         kUserIni, "C:\\TEMP\\", kUserFiles},
        {"Program Files with a write test left by a crash", [](FakePlatform& p) {
             p.AddFile(kFolder + "~write_test_1.tmp");
             p.SetWriteProtected(kFolder, true);
         }, false, kUserIni, "C:\\TEMP\\", kUserFiles},
        {"no application data folder", [](FakePlatform& p) {
             p.SetWriteProtected(kFolder, true);
             p.SetKnownFolder(KnownFolder::AppData, "");
         }, false, kIni, "C:\\TEMP\\", kUserFiles},
        {"application data cannot be written", [](FakePlatform& p) {
             p.SetWriteProtected(kFolder, true);
             p.SetWriteProtected(kAppData, true);
         }, false, kIni, "C:\\TEMP\\", kUserFiles},
        {"no documents folder", [](FakePlatform& p) {
             p.SetWriteProtected(kFolder, true);
             p.SetKnownFolder(KnownFolder::Documents, "");
         }, false, kUserIni, "C:\\TEMP\\", kFolder},
    };
    for (const Case& c : cases) {
        World w;
        c.setUp(w.p);
        const std::vector<std::string> before = w.p.FilesUnder(kFolder);
        const ProgramPlaces places = w.Find();
        EXPECT_EQ(places.programFolder, kFolder) << c.name;
        EXPECT_EQ(places.ownFolderWritable, c.writable) << c.name;
        EXPECT_EQ(places.settingsFile, c.settings) << c.name;
        EXPECT_EQ(places.workFolder, c.work) << c.name;
        EXPECT_EQ(places.userFilesFolder, c.userFiles) << c.name;
        EXPECT_EQ(w.p.FilesUnder(kFolder), before) << c.name << ": the write test left a file";
    }
}

TEST(ProgramPlaces, PerUserSettingsStartAsACopyAndThenStayTheUsers) {
    World w;
    w.p.AddFile(kIni, "[Main]\r\nDM=FlashGet\r\n");
    w.p.SetReadOnly(kIni, true);
    w.p.SetWriteProtected(kFolder, true);
    const ProgramPlaces first = w.Find();
    ASSERT_EQ(first.settingsFile, kUserIni);
    EXPECT_EQ(w.p.FileText(kUserIni), "[Main]\r\nDM=FlashGet\r\n");
    // The copy takes writes although the original is marked read-only.
    EXPECT_TRUE(IniFile(w.p, first.settingsFile).WriteText("Main", "DM", "ReGet"));

    const ProgramPlaces second = w.Find();
    EXPECT_EQ(second.settingsFile, kUserIni);
    EXPECT_EQ(IniFile(w.p, second.settingsFile).Text("Main", "DM"), "ReGet");
    EXPECT_EQ(w.p.FileText(kIni), "[Main]\r\nDM=FlashGet\r\n");
}

// Two installs (two browsers, each with its Zelko) keep their settings apart,
// each starting from the INI beside its own exe.
TEST(ProgramPlaces, EachInstallHasSettingsOfItsOwn) {
    const std::string other = "C:\\Program Files (x86)\\Opera\\Zelko\\";
    World w;
    w.Use(other);
    w.p.AddFile(kIni, "[Main]\r\nDM=FlashGet\r\n");
    w.p.AddFile(other + "Zelko.ini", "[Main]\r\nDM=ReGet\r\n");
    w.p.SetWriteProtected(kFolder, true);
    w.p.SetWriteProtected(other, true);

    w.Use(kFolder);
    const ProgramPlaces first = w.Find();
    w.Use(other);
    const ProgramPlaces second = w.Find();
    ASSERT_NE(first.settingsFile, second.settingsFile);
    EXPECT_EQ(FolderOfPath(first.settingsFile), kAppData + "\\Zelko\\" + InstallFolderName(w.p, kFolder) + "\\");
    EXPECT_EQ(FolderOfPath(second.settingsFile), kAppData + "\\Zelko\\" + InstallFolderName(w.p, other) + "\\");
    EXPECT_TRUE(IniFile(w.p, first.settingsFile).WriteText("Replaced File Types", "application/zip", "mine"));
    EXPECT_EQ(IniFile(w.p, first.settingsFile).Text("Main", "DM"), "FlashGet");
    EXPECT_EQ(IniFile(w.p, second.settingsFile).Text("Main", "DM"), "ReGet");
    EXPECT_EQ(IniFile(w.p, second.settingsFile).Text("Replaced File Types", "application/zip"), "");
}

// The one per-user copy that every install shared before goes, with the
// user's values, to the first install that starts; the next starts afresh.
TEST(ProgramPlaces, TheSharedCopyIsTakenOverOnce) {
    const std::string other = "D:\\Opera\\Zelko\\";
    World w;
    w.Use(other);
    w.p.AddFile(kIni, "[Main]\r\nDM=FlashGet\r\n");
    w.p.AddFile(other + "Zelko.ini", "[Main]\r\nDM=FlashGet\r\n");
    w.p.AddFile(kSharedIni, "[Main]\r\nDM=ReGet\r\n[Replaced File Types]\r\napplication/zip=7z\r\n");
    w.p.SetWriteProtected("C:\\Program Files", true);
    w.p.SetWriteProtected("D:\\Opera", true);

    w.Use(kFolder);
    const ProgramPlaces first = w.Find();
    EXPECT_EQ(first.settingsFile, kUserIni);
    EXPECT_EQ(w.p.FileText(kUserIni), "[Main]\r\nDM=ReGet\r\n[Replaced File Types]\r\napplication/zip=7z\r\n");
    EXPECT_FALSE(w.p.HasFile(kSharedIni));

    w.Use(other);
    const ProgramPlaces second = w.Find();
    EXPECT_EQ(second.settingsFile, UserIni(w.p, other));
    EXPECT_EQ(w.p.FileText(second.settingsFile), "[Main]\r\nDM=FlashGet\r\n");

    // A shared copy made again later (an older Zelko of a third install)
    // does not replace what an install already has.
    w.p.AddFile(kSharedIni, "[Main]\r\nDM=Other\r\n");
    w.Use(kFolder);
    EXPECT_EQ(w.Find().settingsFile, kUserIni);
    EXPECT_EQ(IniFile(w.p, kUserIni).Text("Main", "DM"), "ReGet");
    EXPECT_TRUE(w.p.HasFile(kSharedIni));
}

// A shared copy that cannot be moved now (open in another program) is used
// where it is and moved at a later start.
TEST(ProgramPlaces, ASharedCopyInUseIsTakenOverLater) {
    World w;
    w.p.AddFile(kSharedIni, "[Main]\r\nDM=ReGet\r\n");
    w.p.SetWriteProtected(kFolder, true);
    w.p.SetLocked(kSharedIni, true);
    EXPECT_EQ(w.Find().settingsFile, kSharedIni);
    w.p.SetLocked(kSharedIni, false);
    EXPECT_EQ(w.Find().settingsFile, kUserIni);
    EXPECT_EQ(w.p.FileText(kUserIni), "[Main]\r\nDM=ReGet\r\n");
    EXPECT_FALSE(w.p.HasFile(kSharedIni));
}

// Each install's folder name: the readable end of its path, a blank and a
// hash; a name Windows can make, whatever the path.
TEST(ProgramPlaces, InstallFolderNamesForOddPaths) {
    const struct {
        const char* name;
        std::string folder, readable;
        unsigned codePage = 1252;
    } cases[] = {
        {"Program Files", kFolder, "C_Program Files_Opera_Zelko"},
        {"the same in other case", "c:\\PROGRAM FILES\\opera\\zelko\\", "c_PROGRAM FILES_opera_zelko"},
        {"32-bit Program Files", "C:\\Program Files (x86)\\Opera\\Zelko\\",
         "C_Program Files (x86)_Opera_Zelko"},
        {"a drive's root", "D:\\", "D"},
        {"a share", "\\\\server\\share\\Opera\\", "server_share_Opera"},
        {"dots and a number", "E:\\Opera 12.16\\", "E_Opera 12.16"},
        {"the collision's other half", "C:\\Program Files_Opera\\Zelko\\", "C_Program Files_Opera_Zelko"},
        {"characters a name cannot hold", "C:\\a#b;c\\x\"y\\", "C_a_b;c_x_y"},
        {"long: its end from a whole folder on",
         "C:\\" + std::string(60, 'a') + "\\Browsers\\Opera 9.64\\Zelko\\", "Browsers_Opera 9.64_Zelko"},
        {"long single folder", "C:\\" + std::string(60, 'b') + "\\", std::string(40, 'b')},
        {"a device name up front", "\\\\con.x\\share\\", "_con.x_share"},
        {"Cyrillic", "C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\\Opera\\",
         "C_\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB_Opera", 1251},
    };
    std::map<std::string, std::string> hashes;  // hash -> folder, upper-cased
    for (const auto& c : cases) {
        FakePlatform p;
        p.SetAnsiCodePage(c.codePage);
        const std::string name = InstallFolderName(p, c.folder);
        ASSERT_GT(name.size(), c.readable.size()) << c.name;
        EXPECT_EQ(name.substr(0, c.readable.size() + 1), c.readable + " ") << c.name;
        const std::string hash = name.substr(c.readable.size() + 1);
        EXPECT_EQ(hash.size(), 8u) << c.name;
        EXPECT_EQ(hash.find_first_not_of("0123456789abcdef"), std::string::npos) << c.name;
        EXPECT_LE(name.size(), 40u + 9u) << c.name;
        for (unsigned char ch : name) EXPECT_FALSE(IsFileNameForbidden(ch)) << c.name;
        // The same folder spelt otherwise has the same name; another one another.
        const std::string same = AsciiUpper(WithoutTrailingBackslash(c.folder));
        const auto [seen, fresh] = hashes.emplace(hash, same);
        EXPECT_TRUE(fresh || seen->second == same) << c.name << " shares " << seen->second;
        EXPECT_EQ(InstallFolderName(p, WithoutTrailingBackslash(c.folder)), name) << c.name;
    }
    EXPECT_EQ(hashes.size(), std::size(cases) - 1);  // one folder came twice
    // The example the guide gives.
    FakePlatform p;
    EXPECT_EQ(InstallFolderName(p, kFolder), "C_Program Files_Opera_Zelko 9fa065cd");
}

}  // namespace
}  // namespace common
