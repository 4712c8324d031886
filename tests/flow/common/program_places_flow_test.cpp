// Where a program keeps its settings and working files, in a program folder
// it can write (portable) and in one it cannot (Program Files).
#include <gtest/gtest.h>

#include "common/ini.h"
#include "common/program_places.h"
#include "tests/support/fake_platform.h"

namespace common {
namespace {

const std::string kFolder = "C:\\Program Files\\Opera\\Zelko\\";
const std::string kIni = kFolder + "Zelko.ini";
const std::string kAppData = "C:\\Documents and Settings\\User\\Application Data";
const std::string kUserIni = kAppData + "\\Zelko\\Zelko.ini";
const std::string kUserFiles = "C:\\Documents and Settings\\User\\My Documents\\Zelko\\";

struct World {
    FakePlatform p;
    World() {
        p.SetModuleFileName(kFolder + "Zelko.exe");
        p.AddFile(kFolder + "Zelko.exe", "MZ");
    }
    ProgramPlaces Find() { return FindProgramPlaces(p, "Zelko", kIni); }
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

}  // namespace
}  // namespace common
