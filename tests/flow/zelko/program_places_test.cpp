// Zelko installed where it may not write (Program Files for a normal user):
// settings in the per-user copy, job files and FlashGot.test in the temporary
// folder, every failed write in a box; and the language the system suggests.
#include <gtest/gtest.h>

#include "common/program_places.h"
#include "tests/flow/zelko/zelko_world.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

const std::string kUserIni = [] {
    FakePlatform p;
    return "C:\\Documents and Settings\\User\\Application Data\\Zelko\\" +
           common::InstallFolderName(p, kFolder) + "\\Zelko.ini";
}();

// Zelko in a folder it cannot write; FlashGot.exe finds FlashGet installed.
struct ProtectedWorld : ZelkoWorld {
    std::vector<std::string> detections;  // result files FlashGot.exe was told to write

    explicit ProtectedWorld(FakePlatform& fake) : ZelkoWorld(fake) {
        Set("DM", "");
        p.SetWriteProtected(kFolder, true);
        FakePlatform::ProgramBehaviour flashGot;
        flashGot.onStart = [this](FakePlatform& f, common::ProcessId,
                                  const FakePlatform::StartRecord& start) {
            const std::string path = LastQuoted(start.commandLine);
            if (start.commandLine.find(" -o ") != std::string::npos) {
                detections.push_back(path);
                f.AddFile(path, "FlashGot\r\nFlashGet|OK\r\n");
            } else {
                flashGotJobs.emplace_back(path, f.FileText(path).value_or("<missing>"));
            }
        };
        p.OnProgram("FlashGot.exe", flashGot);
    }
};

TEST(ProtectedFolder, DetectionRunsOnceAndEveryLinkReachesFlashGot) {
    FakePlatform p;
    ProtectedWorld w(p);
    const std::string before = *p.FileText(kIni);
    w.Run("http://files.example/a.zip http://ref.example/");
    w.Run("http://files.example/b.zip http://ref.example/");

    EXPECT_EQ(w.detections, std::vector<std::string>{"C:\\TEMP\\FlashGot.test"});
    EXPECT_EQ(p.IniReadString(kUserIni, "Main", "DM", ""), "FlashGet");
    EXPECT_EQ(p.IniReadString(kUserIni, "Main", "AllDM", ""), "FlashGet;");
    ASSERT_EQ(w.flashGotJobs.size(), 2u);
    EXPECT_EQ(w.flashGotJobs[0].first, "C:\\TEMP\\flashgot.fgt");
    EXPECT_EQ(w.flashGotJobs[0].second,
              UrlJob("FlashGet", "http://ref.example/", "http://files.example/a.zip"));
    EXPECT_EQ(w.flashGotJobs[1].second,
              UrlJob("FlashGet", "http://ref.example/", "http://files.example/b.zip"));
    EXPECT_FALSE(p.HasFile("C:\\TEMP\\flashgot.fgt"));
    EXPECT_EQ(p.FileText(kIni), before);
    EXPECT_TRUE(p.MessageBoxes().empty());
}

TEST(ProtectedFolder, AWriteThatStillFailsIsNamedInABox) {
    struct Case {
        const char* name;
        std::function<void(FakePlatform&)> fail;
        std::string file;  // named in the box
        std::size_t jobs;  // reached FlashGot.exe
    } cases[] = {
        {"settings", [](FakePlatform& f) { f.SetKnownFolder(common::KnownFolder::AppData, ""); }, kIni,
         1},
        {"job file", [](FakePlatform& f) { f.SetWriteProtected("C:\\TEMP", true); },
         "C:\\TEMP\\flashgot.fgt", 0},
    };
    for (const Case& c : cases) {
        FakePlatform p;
        ProtectedWorld w(p);
        c.fail(p);
        w.Run("http://files.example/a.zip http://ref.example/");
        ASSERT_EQ(p.MessageBoxes().size(), 1u) << c.name;
        EXPECT_EQ(p.MessageBoxes()[0].text, "Cannot write file \"" + c.file + "\"") << c.name;
        EXPECT_EQ(p.MessageBoxes()[0].title, "Zelko Error") << c.name;
        EXPECT_EQ(p.MessageBoxes()[0].flags, common::mb::Topmost | common::mb::IconError) << c.name;
        EXPECT_EQ(w.flashGotJobs.size(), c.jobs) << c.name;
    }
}

TEST(LanguageDefault, FollowsTheSystemWhereZelkoIniNamesNone) {
    struct Case {
        unsigned codePage;
        const char* stored;  // nullptr: no "Language" key
        std::string language;
    } cases[] = {
        {1252, nullptr, "en"}, {1251, nullptr, "ru"}, {1250, nullptr, "en"},
        {1251, "en", "en"},    {1252, "ru", "ru"},    {1251, "", ""},
    };
    for (const Case& c : cases) {
        FakePlatform p;
        ZelkoWorld w(p);
        p.SetAnsiCodePage(c.codePage);
        if (c.stored) w.Set("Language", c.stored);
        EXPECT_EQ(w.Run("").settings.language, c.language) << c.codePage << " " << (c.stored ? c.stored : "-");
    }
}

}  // namespace
}  // namespace zelko::testing
