#include <gtest/gtest.h>

#include "common/helpers.h"
#include "common/program_places.h"
#include "mirsa_world.h"

namespace mirsa::testing {
namespace {

TEST(MirsaStart, HelpNeedsExactlyOneArgument) {
    for (const char* tail : {" --help", " /?", " \"--help\""}) {
        MirsaWorld w;
        EXPECT_EQ(w.Run(tail), StartOutcome::Help) << tail;
        ASSERT_EQ(w.Boxes().size(), 1u);
        EXPECT_EQ(w.Boxes()[0].title, "About");
        EXPECT_EQ(w.Boxes()[0].text, HelpText());
        EXPECT_EQ(w.Boxes()[0].flags, common::mb::IconInformation);
        EXPECT_EQ(w.Boxes()[0].owner, 0u);
    }
    MirsaWorld w;
    EXPECT_EQ(w.Run(" --help /?"), StartOutcome::SaveRunDone);
    ASSERT_EQ(w.Boxes().size(), 1u);
    EXPECT_EQ(w.Boxes()[0].text, "The window of Opera is not found!");
}

TEST(MirsaStart, NoBrowserWindow) {
    MirsaWorld w;
    // Windows that do not qualify: hidden, untitled, other class.
    w.p.AddWindow({"OpWindow", "Hidden - Opera", 0, false});
    w.p.AddWindow({"OpWindow", ""});
    w.p.AddWindow({"Other", "X - Opera"});
    w.Run(" /format=html /method=quick");
    ASSERT_EQ(w.Boxes().size(), 1u);
    EXPECT_EQ(w.Boxes()[0].text, "The window of Opera is not found!");
    EXPECT_EQ(w.Boxes()[0].title, "Mirsa Error");
    EXPECT_EQ(w.Boxes()[0].flags, common::mb::IconExclamation);
    EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html"));
}

TEST(MirsaStart, ConverterMissing) {
    struct Case {
        const char* format;
        const char* exe;
    } cases[] = {{"pdb", "isiloxc.exe"}, {"chm", "hhc.exe"}};
    for (const auto& c : cases) {
        MirsaWorld w;
        w.AddBrowser();
        w.DialogOpensBy(100);
        w.Run(std::string(" /format=") + c.format);
        ASSERT_EQ(w.Boxes().size(), 1u) << c.format;
        EXPECT_EQ(w.Boxes()[0].text, std::string("Converter \"C:\\Mirsa\\") + c.exe + "\" not found!");
        EXPECT_EQ(w.Boxes()[0].title, "Mirsa Error");
        EXPECT_EQ(w.Boxes()[0].flags, common::mb::IconExclamation);
        EXPECT_TRUE(w.saved.empty());
        EXPECT_TRUE(w.NameWrites().empty());
    }
}

TEST(MirsaStart, ConverterRunsNeedTheConverterPart) {
    MirsaWorld w;
    w.p.AddFile("C:\\Mirsa\\hhc.exe", "MZ");
    w.AddBrowser();
    w.DialogOpensBy(100);
    w.Run(" /format=chm");
    EXPECT_TRUE(w.Boxes().empty());
    EXPECT_TRUE(w.NameWrites().empty());
    EXPECT_TRUE(w.saved.empty());
}

TEST(MirsaStart, WithoutArgumentsOnlyPreparesThePagesFolder) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Deep\\New\\Pages\r\n");
    EXPECT_EQ(w.Run(""), StartOutcome::SettingsMode);
    EXPECT_TRUE(w.p.HasFolder("C:\\Deep\\New\\Pages"));
    EXPECT_TRUE(w.Boxes().empty());
}

TEST(MirsaStart, SecondAllRunEndsSilently) {
    MirsaWorld w;
    w.AddBrowser();
    w.DialogOpensBy(100);
    w.p.HoldMutexElsewhere("JustOne_Mirsa");
    EXPECT_EQ(w.Run(" /format=mht /method=all"), StartOutcome::SecondInstance);
    EXPECT_TRUE(w.Boxes().empty());
    EXPECT_TRUE(w.NameWrites().empty());
}

TEST(MirsaStart, AllRunHoldsTheMutex) {
    MirsaWorld w;
    w.AddBrowser();
    w.Run(" /format=mht /method=all");
    EXPECT_TRUE(w.p.MutexHeldHere("JustOne_Mirsa"));
    MirsaWorld quick;
    quick.AddBrowser();
    quick.Run(" /format=mht /method=quick");
    EXPECT_FALSE(quick.p.MutexHeldHere("JustOne_Mirsa"));
}

TEST(MirsaSettings, DefaultsAndExpansion) {
    MirsaWorld w;
    w.p.AddFile("C:\\Mirsa\\Mirsa.ini", "");
    MirsaSettings s = ReadSettings(w.p, "C:\\Mirsa\\Mirsa.ini", "C:\\Mirsa\\");
    EXPECT_EQ(s.PagesDir, "C:\\Mirsa\\");
    EXPECT_EQ(s.ImagesDir, "C:\\Mirsa\\_Images");
    EXPECT_FALSE(s.OldOpera);
    EXPECT_FALSE(s.Description);
    EXPECT_FALSE(s.ReverseOrder);
    EXPECT_TRUE(s.History);
    EXPECT_EQ(s.TimeOutMs, 4000u);
    EXPECT_EQ(s.Left, 526);
    EXPECT_EQ(s.Top, 455);

    w.p.SetRegistryUserString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              "Personal", "C:\\Docs\\");
    w.p.SetEnv("PAGES", "D:\\Saved");
    w.p.AddFile("C:\\Mirsa\\Mirsa.ini",
                "[Main]\r\nQuickSaveDir=%MyDocuments%\\Pages\r\nQuickSaveImgDir=img\r\n"
                "OperaVersion=8\r\nDescription=1\r\nReverseOrder=2\r\nHistory=0\r\nTimeOut=30\r\n"
                "[Position]\r\nLeft=10\r\nTop=20\r\n");
    s = ReadSettings(w.p, "C:\\Mirsa\\Mirsa.ini", "C:\\Mirsa\\");
    EXPECT_EQ(s.PagesDir, "C:\\Docs\\Pages");
    EXPECT_EQ(s.ImagesDir, "C:\\Mirsa\\img");
    EXPECT_TRUE(s.OldOpera);
    EXPECT_TRUE(s.Description);
    EXPECT_TRUE(s.ReverseOrder);
    EXPECT_FALSE(s.History);
    EXPECT_EQ(s.TimeOutMs, 30000u);
    EXPECT_EQ(s.Left, 10);
    EXPECT_EQ(s.Top, 20);

    w.p.AddFile("C:\\Mirsa\\Mirsa.ini", "[Main]\r\nQuickSaveDir=%PAGES%\r\nTimeOut=-5\r\n");
    s = ReadSettings(w.p, "C:\\Mirsa\\Mirsa.ini", "C:\\Mirsa\\");
    EXPECT_EQ(s.PagesDir, "D:\\Saved");
    EXPECT_EQ(s.ImagesDir, "D:\\Saved\\_Images");
    EXPECT_EQ(s.TimeOutMs, 0u);
}

TEST(MirsaSettings, TimeOutIsClampedNotWrapped) {
    const struct {
        const char* value;
        std::uint32_t ms;
    } cases[] = {
        {"4294968", 1000000000u},  // * 1000 wraps to 704 ms in 32 bits
        {"2147483647", 1000000000u},
        {"1000000", 1000000000u},
        {"999999", 999999000u},
        {"-2147483648", 0u},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.p.AddFile("C:\\Mirsa\\Mirsa.ini", std::string("[Main]\r\nTimeOut=") + c.value + "\r\n");
        EXPECT_EQ(ReadSettings(w.p, "C:\\Mirsa\\Mirsa.ini", "C:\\Mirsa\\").TimeOutMs, c.ms) << c.value;
    }
}

// The data URL carries the switches percent-encoded in UTF-8.
TEST(MirsaHandOver, DataUrlPressesCtrlS) {
    MirsaWorld w;
    w.AddBrowser();
    w.DialogOpensOnKeys();
    w.Run(" data:text/mrv;charset=UTF-8,/format=html%20/method=quick%20/text="
          "%E2%80%98%E2%80%98caf%C3%A9%20menu%E2%80%99%E2%80%99");
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_EQ(w.saved[0].path, "C:\\Pages\\caf\xE9 menu.html");
    // Ctrl down, S down, S up, Ctrl up.
    ASSERT_EQ(w.p.Keys().size(), 4u);
    EXPECT_EQ(w.p.Keys()[0].virtualKey, common::vk::Control);
    EXPECT_FALSE(w.p.Keys()[0].keyUp);
    EXPECT_EQ(w.p.Keys()[1].virtualKey, common::vk::KeyS);
    EXPECT_EQ(w.p.Keys()[2].virtualKey, common::vk::KeyS);
    EXPECT_TRUE(w.p.Keys()[2].keyUp);
    EXPECT_EQ(w.p.Keys()[3].virtualKey, common::vk::Control);
    EXPECT_TRUE(w.p.Keys()[3].keyUp);
}

TEST(MirsaHandOver, DataUrlOpensNoDialogThatNoSaveFollows) {
    for (const char* format : {"chm", "pdb"}) {
        MirsaWorld w;
        w.p.AddFile("C:\\Mirsa\\hhc.exe", "MZ");
        w.p.AddFile("C:\\Mirsa\\isiloxc.exe", "MZ");
        w.AddBrowser();
        w.DialogOpensOnKeys();
        w.Run(std::string(" data:text/mrv;charset=UTF-8,/format=") + format + "%20/method=quick");
        EXPECT_TRUE(w.p.Keys().empty()) << format;
        EXPECT_EQ(w.dialogsOpened, 0) << format;
        EXPECT_TRUE(w.Boxes().empty()) << format;
    }
}

TEST(MirsaHandOver, DataUrlTextIsConvertedOnlyWhenUtf8) {
    MirsaWorld w;
    const std::string pre = "data:text/mrv;charset=UTF-8,";
    struct Case {
        std::string arg, want;
    } cases[] = {
        {pre + "/text=caf%C3%A9", pre + "/text=caf\xE9"},
        {pre + "/text=%E9t%E9", pre + "/text=\xE9t\xE9"},  // not UTF-8: the bytes stay
        {pre + "/text=100%", pre + "/text=100%"},
        {pre + "/text=%zz%4", pre + "/text=%zz%4"},
        {pre + "/format=png", pre + "/format=png"},
    };
    for (const auto& c : cases) EXPECT_EQ(DataUrlCommandText(w.p, c.arg), c.want) << c.arg;
}

TEST(MirsaHandOver, CtrlAlreadyHeldIsOnlyReleased) {
    MirsaWorld w;
    w.AddBrowser();
    w.DialogOpensOnKeys();
    w.p.SetKeyDown(common::vk::Control, true);
    w.Run(" data:text/mrv;charset=UTF-8,/format=mht%20/method=quick");
    ASSERT_EQ(w.p.Keys().size(), 3u);
    EXPECT_EQ(w.p.Keys()[0].virtualKey, common::vk::KeyS);
    EXPECT_EQ(w.p.Keys()[2].virtualKey, common::vk::Control);
    EXPECT_TRUE(w.p.Keys()[2].keyUp);
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_EQ(w.saved[0].path, "C:\\Pages\\News.mht");
}

TEST(MirsaHandOver, PageFileWithSettingsComment) {
    MirsaWorld w;
    w.AddBrowser();
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nDescription=1\r\n");
    // The settings travel in UTF-8: U+2018 and U+2019 become the 0x91/0x92 pairs.
    const std::string lq = "\xE2\x80\x98\xE2\x80\x98", rq = "\xE2\x80\x99\xE2\x80\x99";
    w.p.AddFile("C:\\TEMP\\opr1.htm", "<html><body>hi</body><!-- Mirsa settings /method=quick /text=" +
                                          lq + "My page" + rq + " --></html>");
    w.Run(" C:\\TEMP\\opr1.htm");
    EXPECT_EQ(w.p.FileText("C:\\Pages\\My page.html"), "<html><body>hi</body></html>");
    EXPECT_FALSE(w.p.HasFile("C:\\TEMP\\opr1.htm"));
    EXPECT_EQ(w.HistoryItems(), 1u);
    EXPECT_NE(w.History().find("<b>My page</b>"), std::string::npos);
    EXPECT_EQ(w.p.FileText("C:\\Pages\\descript.ion"), "\"My page.html\" \r\n");
    EXPECT_TRUE(w.Boxes().empty());
}

// A page of 100 MB with the settings comment at its end (where a browser
// that appends it puts it): the file keeps the whole page less the comment,
// and the settings join the command text. (The hand-over alone: the rest of
// a save run copies the file as it is, and repeats nothing of this size.)
TEST(MirsaHandOver, HundredMegabytePageFile) {
    common::FakePlatform p;
    std::string page = "<html><body>";
    page.append(100u << 20, 'x');
    page += "</body></html>";
    p.AddFile("C:\\TEMP\\big.htm", page + "<!-- Mirsa settings /method=quick /text=Big -->");
    SaveRequest request;
    EXPECT_EQ(ApplyHandOver(p, "C:\\TEMP\\big.htm", "tail", request),
              "/format=phf /method=quick /text=Big");
    EXPECT_EQ(request.HandedOverFile, "C:\\TEMP\\big.htm");
    EXPECT_TRUE(p.FileText("C:\\TEMP\\big.htm") == page);
    EXPECT_EQ(p.FilesUnder("C:\\TEMP\\"), std::vector<std::string>{"C:\\TEMP\\big.htm"});
}

TEST(MirsaHandOver, PageFileBadContent) {
    struct Case {
        const char* what;
        std::string content;
        bool copied;
    } cases[] = {
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10), false},
        {"empty", "", false},
        {"marker without end", "<p><!-- Mirsa settings /method=quick", false},
        {"page", "<p>x</p>", false},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.AddBrowser();
        w.p.AddFile("C:\\TEMP\\in.htm", c.content);
        w.Run(" \"C:\\TEMP\\in.htm\"");
        // No quick method reached the page: nothing copied into the pages folder.
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\News.html")) << c.what;
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html")) << c.what;
    }
}

TEST(MirsaSettings, EnglishFollowsTheSystemUnlessStored) {
    struct Case {
        unsigned codePage;
        const char* stored;  // the line in [Main], nullptr: none
        bool english;
    } cases[] = {
        {1252, nullptr, true}, {1251, nullptr, false}, {932, nullptr, true},
        {1251, "English=1", true}, {1252, "English=0", false}, {1252, "English=", false},
    };
    for (const Case& c : cases) {
        MirsaWorld w;
        w.p.SetAnsiCodePage(c.codePage);
        w.SetIni(std::string("[Main]\r\n") + (c.stored ? c.stored : "") + "\r\n");
        EXPECT_EQ(ReadSettings(w.p, "C:\\Mirsa\\Mirsa.ini", "C:\\Mirsa\\").English, c.english)
            << c.codePage << " " << (c.stored ? c.stored : "-");
    }
}

// Mirsa where it may not write: its pages go to the user's documents, its
// settings to the per-user copy that starts from Mirsa.ini.
TEST(MirsaSettings, FolderThatCannotBeWrittenSavesIntoTheUsersDocuments) {
    const std::string pages = "C:\\Documents and Settings\\User\\My Documents\\Mirsa\\";
    MirsaWorld w;
    w.SetIni("[Main]\r\nReverseOrder=1\r\n");
    w.p.SetWriteProtected("C:\\Mirsa", true);
    w.AddBrowser("News - Opera");
    w.DialogOpensBy(500);
    MirsaStart start;
    w.p.SetCommandLine("\"C:\\Mirsa\\Mirsa.exe\" /format=html /method=quick");
    RunMirsa(w.p, {}, &start);
    EXPECT_EQ(start.settingsFile, "C:\\Documents and Settings\\User\\Application Data\\Mirsa\\" +
                                      common::InstallFolderName(w.p, "C:\\Mirsa\\") + "\\Mirsa.ini");
    EXPECT_TRUE(start.settings.ReverseOrder);
    EXPECT_EQ(start.settings.PagesDir, pages);
    EXPECT_EQ(start.settings.ImagesDir, pages + "_Images");
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_EQ(w.saved[0].path, pages + "News.html");
    EXPECT_TRUE(common::Contains(w.p.FileText(pages + "MirsaHistory.html").value_or(""),
                                 "News.html"));
    EXPECT_TRUE(w.Boxes().empty());
}

}  // namespace
}  // namespace mirsa::testing

namespace mirsa::testing {
namespace {

TEST(CreateFolderTree, MakesMissingParentsAndStopsAtRoots) {
    FakePlatform p;
    EXPECT_TRUE(CreateFolderTree(p, "C:\\a\\b\\c\\"));
    EXPECT_TRUE(p.HasFolder("C:\\a\\b"));
    EXPECT_TRUE(CreateFolderTree(p, "C:\\a\\b\\c"));
    EXPECT_TRUE(CreateFolderTree(p, "C:\\"));
    EXPECT_FALSE(CreateFolderTree(p, ""));
    EXPECT_FALSE(CreateFolderTree(p, "\\"));
    EXPECT_FALSE(CreateFolderTree(p, "Q:\\no\\drive"));
    p.AddFolder("\\\\srv\\share");
    EXPECT_TRUE(CreateFolderTree(p, "\\\\srv\\share\\x\\y\\"));
    EXPECT_TRUE(p.HasFolder("\\\\srv\\share\\x\\y"));
    CreateFolderTree(p, "\\\\other");
}

}  // namespace
}  // namespace mirsa::testing
