// Free-space question and the conversion of a multi-user installation.
#include "tests/flow/tarvel/scenario.h"

#include "tarvel/multi_user.h"

namespace tarvel::testing {
namespace {

using common::FakePlatform;

const std::string kQuestion =
    "Found a Multi User installation.\rTransform installation from multi-user to single-user?";
const std::string kLowSpace =
    "There is not enough free space on the disk!\rAre you sure what want to continue?";
const std::uint32_t kQuestionFlags = common::mb::OkCancel | common::mb::IconExclamation;

class MultiUser : public TarvelRun {
protected:
    const std::string roaming = std::string(kAppData) + "\\opera\\Opera\\";
    const std::string local = std::string(kLocalAppData) + "\\opera\\Opera\\";

    void SetUp() override {
        TarvelRun::SetUp();
        p.SetRegistryUserString(common::browser::kShellFoldersKey, "AppData", kAppData);
        p.SetRegistryUserString(common::browser::kShellFoldersKey, "Local AppData", kLocalAppData);
        p.AddFile(Path("operadef6.ini"), "[System]\r\nMulti User=1\r\n[Install]\r\nMAINDIR=E:\\Opera\r\n");
        p.AddFile(roaming + "profile\\opera6.ini",
                  "[User Prefs]\r\nOpera Directory=" + roaming + "profile\r\n"
                  "Cache Directory4=" + local + "cache4\\\r\n");
        p.AddFile(roaming + "profile\\override.ini", "x=" + roaming + "profile\\y\r\n");
        p.AddFile(roaming + "mail\\index.ini", "m=" + roaming + "mail\\store\r\n");
        p.AddFile(local + "profile\\cache4\\c.tmp", "cache");
        p.AddFile(local + "mail\\store\\m.mbs", "mail");
    }
    const FakePlatform::MessageBoxRecord* Box(const std::string& text) const {
        for (const auto& b : p.MessageBoxes())
            if (b.text == text) return &b;
        return nullptr;
    }
};

TEST_F(MultiUser, DeclinedStaysMultiUserAndAsksNoMore) {
    p.QueueMessageBoxAnswer(common::answer::Cancel);
    RunTarvel(p);
    const auto* box = Box(kQuestion);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title, "Tarvel");
    EXPECT_EQ(box->flags, kQuestionFlags);
    EXPECT_EQ(p.IniReadString(Path("tarvel.ini"), "Correct", "MultiUser", ""), "0");
    // No correction in multi-user mode, and the browser starts.
    EXPECT_FALSE(Has(roaming + "profile\\opera6.ini.bak"));
    EXPECT_FALSE(Has(Path("profile\\opera6.ini")));
    EXPECT_EQ(BrowserStarts().size(), 1u);

    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    EXPECT_EQ(p.MessageBoxes().size(), 1u);
}

TEST_F(MultiUser, SwitchOffAsksNothing) {
    Correct("MultiUser", "0");
    RunTarvel(p);
    EXPECT_TRUE(p.MessageBoxes().empty());
    EXPECT_EQ(BrowserStarts().size(), 1u);
}

TEST_F(MultiUser, RunningBrowserIsFoundInTheRoamingProfile) {
    Correct("MultiUser", "0");
    p.IniWriteString(roaming + "profile\\opera6.ini", "State", "Run", "1");
    FakePlatform::WindowSpec w;
    w.className = "OpWindow";
    p.AddWindow(w);
    p.AddDdeResponder("Opera", "WWW_OpenURL",
                      [](FakePlatform&, const std::string&) { return std::optional<std::string>(""); });
    RunTarvel(p);
    EXPECT_TRUE(BrowserStarts().empty());
}

TEST_F(MultiUser, AcceptedCopiesMergesAndCorrects) {
    p.AddFile(Path("profile\\old.ini"), "old program-folder profile");
    p.AddFile(Path("profile_1\\older.ini"), "older");
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);

    // The program folder's own profile went aside to the first free name.
    EXPECT_EQ(Text(Path("profile_2\\old.ini")), "old program-folder profile");
    EXPECT_EQ(Text(Path("profile_1\\older.ini")), "older");
    EXPECT_FALSE(Has(Path("profile\\old.ini")));
    // Roaming data copied (not moved), local data merged in.
    EXPECT_TRUE(Has(roaming + "profile\\override.ini"));
    EXPECT_EQ(Text(Path("profile\\override.ini")), "x=E:\\Opera\\profile\\y\r\n");
    EXPECT_EQ(Text(Path("mail\\index.ini")), "m=E:\\Opera\\mail\\store\r\n");
    EXPECT_EQ(Text(Path("profile\\cache4\\c.tmp")), "cache");
    EXPECT_EQ(Text(Path("mail\\store\\m.mbs")), "mail");
    // The local folder was corrected in opera6.ini by the merge, the roaming one by the correction.
    const std::string ini = Path("profile\\opera6.ini");
    EXPECT_EQ(p.IniReadString(ini, "User Prefs", "Opera Directory", ""), "E:\\Opera\\profile");
    EXPECT_EQ(p.IniReadString(ini, "User Prefs", "Cache Directory4", ""), "E:\\Opera\\cache4\\");
    EXPECT_EQ(p.IniReadString(Path("operadef6.ini"), "System", "Multi User", ""), "0");
    EXPECT_EQ(BrowserStarts().size(), 1u);

    // The next start finds a single-user installation in place.
    const auto boxes = p.MessageBoxes().size();
    RunTarvel(p);
    EXPECT_EQ(p.MessageBoxes().size(), boxes);
}

TEST(MultiUserMerge, FoldersOnBothSidesMergeWithoutNesting) {
    struct Case {
        const char* name;
        std::vector<std::string> roamingFiles, localFiles, expected;
    };
    const Case cases[] = {
        {"one level", {"cache4\\r.tmp"}, {"cache4\\c.tmp"}, {"cache4\\c.tmp", "cache4\\r.tmp"}},
        {"two levels",
         {"cache4\\sub\\r.tmp"},
         {"cache4\\sub\\c.tmp", "cache4\\l.tmp"},
         {"cache4\\l.tmp", "cache4\\sub\\c.tmp", "cache4\\sub\\r.tmp"}},
        {"local only", {}, {"vps\\v.dat"}, {"vps\\v.dat"}},
    };
    for (const Case& c : cases) {
        FakePlatform p;
        const std::string roaming = "C:\\Roaming\\profile\\", local = "C:\\Local\\";
        p.AddFile("E:\\Opera\\opera.exe", "MZ");
        p.AddFolder(roaming);
        for (const std::string& f : c.roamingFiles) p.AddFile(roaming + f, "roaming");
        for (const std::string& f : c.localFiles) p.AddFile(local + "profile\\" + f, "local");
        common::ShellCopyFiles(p, 0, roaming, "E:\\Opera\\profile\\");
        LaunchState s;
        s.programDir = "E:\\Opera\\";
        s.programDirBare = "E:\\Opera";
        MergeLocalData(p, s, local, "profile\\");
        std::vector<std::string> got;
        for (const std::string& f : p.FilesUnder("E:\\Opera\\profile"))
            got.push_back(f.substr(std::string("E:\\Opera\\profile\\").size()));
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST_F(MultiUser, WithoutMailFolderTheProfileStillConverts) {
    p.RemovePath(roaming + "mail");
    p.RemovePath(local + "mail");
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    EXPECT_TRUE(Has(Path("profile\\opera6.ini")));
    EXPECT_FALSE(p.HasFolder(Path("mail")));
    EXPECT_EQ(p.IniReadString(Path("operadef6.ini"), "System", "Multi User", ""), "0");
}

TEST_F(MultiUser, NoPerUserFoldersIsABadInstallation) {
    p.RemovePath(roaming);
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    const auto* box = Box("Bad installation of Opera. Exit.");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title, "Tarvel Error");
    EXPECT_EQ(box->flags, common::mb::Ok | common::mb::IconExclamation);
    EXPECT_TRUE(p.Starts().empty());
    EXPECT_EQ(p.IniReadString(Path("operadef6.ini"), "System", "Multi User", ""), "1");
}

TEST_F(MultiUser, MissingRegistryValuesGiveABadInstallation) {
    p.RemoveRegistryUserString(common::browser::kShellFoldersKey, "AppData");
    p.RemoveRegistryUserString(common::browser::kShellFoldersKey, "Local AppData");
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    EXPECT_NE(Box("Bad installation of Opera. Exit."), nullptr);
    EXPECT_TRUE(p.Starts().empty());
}

TEST_F(MultiUser, FailedMoveAsideEndsBeforeAnythingIsCopied) {
    p.AddFile(Path("profile\\old.ini"), "keep me");
    p.FailNextShellOperation(5);
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    EXPECT_EQ(p.MessageBoxes().size(), 1u);  // the question only
    EXPECT_EQ(Text(Path("profile\\old.ini")), "keep me");
    EXPECT_FALSE(Has(Path("profile\\override.ini")));
    EXPECT_TRUE(p.Starts().empty());
    EXPECT_EQ(p.IniReadString(Path("operadef6.ini"), "System", "Multi User", ""), "1");
}

TEST_F(MultiUser, MoveAsideStoppedHalfwayLosesNothing) {
    p.AddFile(Path("profile\\a.ini"), "a");
    p.AddFile(Path("profile\\b.ini"), "b");
    p.AddFile(Path("profile\\c.ini"), "c");
    p.FailNextShellOperationHalfway(1, 5);
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    EXPECT_TRUE(p.Starts().empty());
    for (const char* name : {"a.ini", "b.ini", "c.ini"}) {
        const bool here = Has(Path(std::string("profile\\") + name));
        const bool aside = Has(Path(std::string("profile_1\\") + name));
        EXPECT_NE(here, aside) << name;  // in exactly one of the two places
    }
}

TEST_F(MultiUser, CopyStoppedHalfwayIsCompletedWithoutOverwriting) {
    p.AddFile(roaming + "profile\\a.ini", "a");
    p.AddFile(roaming + "profile\\b.ini", "b");
    // MoveAside finds nothing to move; the first shell call is the profile copy.
    p.FailNextShellOperationHalfway(1, 5);
    p.QueueMessageBoxAnswer(common::answer::Ok);
    RunTarvel(p);
    for (const char* name : {"a.ini", "b.ini", "override.ini"}) {
        EXPECT_TRUE(Has(Path(std::string("profile\\") + name))) << name;
        EXPECT_TRUE(Has(roaming + "profile\\" + name)) << name;
    }
    EXPECT_EQ(Text(Path("profile\\override.ini")), "x=E:\\Opera\\profile\\y\r\n");
    EXPECT_EQ(BrowserStarts().size(), 1u);
}

struct SpaceCase {
    const char* name;
    std::uint64_t freeBytes;
    const char* checkSwitch;  // nullptr: default (on)
    std::optional<int> answer;  // nullopt: no question expected
    bool browserStarts;
};

class FreeSpace : public TarvelRun, public ::testing::WithParamInterface<SpaceCase> {};

TEST_P(FreeSpace, AsksBelowEightMebibytes) {
    const SpaceCase& c = GetParam();
    InPlaceSingleUser();
    if (c.checkSwitch) Correct("CheckFreeSpace", c.checkSwitch);
    p.SetFreeSpace("E:\\", c.freeBytes);
    if (c.answer) p.QueueMessageBoxAnswer(*c.answer);
    RunTarvel(p);
    if (c.answer) {
        ASSERT_EQ(p.MessageBoxes().size(), 1u);
        EXPECT_EQ(p.MessageBoxes()[0].text, kLowSpace);
        EXPECT_EQ(p.MessageBoxes()[0].title, "Tarvel");
        EXPECT_EQ(p.MessageBoxes()[0].flags, kQuestionFlags);
    } else {
        EXPECT_TRUE(p.MessageBoxes().empty());
    }
    EXPECT_EQ(BrowserStarts().size(), c.browserStarts ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FreeSpace,
    ::testing::Values(SpaceCase{"ExactlyEightMebibytes", 8388608, nullptr, std::nullopt, true},
                      SpaceCase{"OneByteLessOk", 8388607, nullptr, common::answer::Ok, true},
                      SpaceCase{"OneByteLessCancel", 8388607, nullptr, common::answer::Cancel, false},
                      SpaceCase{"FullDiskSwitchedOff", 0, "0", std::nullopt, true},
                      SpaceCase{"FourMebibytesCancel", 4194304, nullptr, common::answer::Cancel,
                                false}),
    [](const ::testing::TestParamInfo<SpaceCase>& info) { return std::string(info.param.name); });

TEST_F(MultiUser, LowSpaceIsCheckedOnTheProfileDrive) {
    p.SetFreeSpace("C:\\", 1000);
    p.QueueMessageBoxAnswer(common::answer::Cancel);
    RunTarvel(p);
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, kLowSpace);
    EXPECT_TRUE(p.Starts().empty());
}

TEST(WarnLowDiskSpace, UnknownFreeSpaceAsksNothing) {
    common::FakePlatform p;
    p.SetFreeSpaceUnknown("E:\\");
    EXPECT_TRUE(WarnLowDiskSpace(p, "E:\\Opera\\profile\\"));
    EXPECT_TRUE(p.MessageBoxes().empty());
}

TEST(WarnLowDiskSpace, ShareRootsAreMeasured) {
    common::FakePlatform p;
    p.AddDrive("\\\\srv\\share\\", common::drive_type::Remote, 10);
    p.QueueMessageBoxAnswer(common::answer::Cancel);
    EXPECT_FALSE(WarnLowDiskSpace(p, "\\\\srv\\share\\Opera\\profile\\"));
}

TEST(MoveAside, MissingFolderIsSuccessWithoutShellCall) {
    common::FakePlatform p;
    EXPECT_TRUE(MoveAside(p, "E:\\Opera\\profile"));
    EXPECT_TRUE(p.ShellOperations().empty());
}

}  // namespace
}  // namespace tarvel::testing
