#include <gtest/gtest.h>

#include <functional>

#include "common/helpers.h"
#include "mirsa/history.h"
#include "mirsa_world.h"

namespace mirsa::testing {
namespace {

// Every quick format saves into the pages folder with the dialog's type.
TEST(MirsaSave, QuickFormatsNameAndType) {
    struct Case {
        std::string format, proposed, title, url;
        std::string wantPath;
        int wantType;
        std::vector<std::string> wantWrites;  // name corrections, then the final path
    } cases[] = {
        {"html", "", "Report 2.1: results - Opera", "",
         "C:\\Pages\\Report 2.1_ results.html", 1,
         {"Report 2_1_ results", "C:\\Pages\\Report 2.1_ results.html"}},
        {"mht", "page.htm", "News - Opera", "", "C:\\Pages\\page.mht", 2,
         {"page", "C:\\Pages\\page.mht"}},
        {"mht", "page.html", "News - Opera", "", "C:\\Pages\\page.html", 2,
         {"C:\\Pages\\page.html"}},
        {"htm", "News.htm", "News - Opera", "", "C:\\Pages\\News.htm", 0, {"C:\\Pages\\News.htm"}},
        {"htm", ".htm", "News - Opera", "", "C:\\Pages\\News.htm", 0,
         {"News", "C:\\Pages\\News.htm"}},
        {"txt", "News.mht", "News - Opera", "", "C:\\Pages\\News.txt", 3,
         {"News", "C:\\Pages\\News.txt"}},
        {"", "", "News - Opera", "", "C:\\Pages\\News.mht", 2, {"News", "C:\\Pages\\News.mht"}},
        {"html", "x", "A - Opera - Opera", "", "C:\\Pages\\x.html", 1, {"C:\\Pages\\x.html"}},
        {"html", "", " - Opera", "", "C:\\Pages\\untitled.html", 1,
         {"untitled", "C:\\Pages\\untitled.html"}},
        {"html", "", std::string(300, 'T') + " - Opera", "",
         "C:\\Pages\\" + std::string(128, 'T') + ".html", 1,
         {std::string(128, 'T'), "C:\\Pages\\" + std::string(128, 'T') + ".html"}},
        {"html", "", "a\"#*/:<>?\\|b - Opera", "", "C:\\Pages\\a_b.html", 1,
         {"a_b", "C:\\Pages\\a_b.html"}},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.AddBrowser(c.title);
        w.proposed = c.proposed;
        w.DialogOpensBy(500);
        w.Run(" /format=" + c.format + " /method=quick" + (c.url.empty() ? "" : " /url=" + c.url));
        ASSERT_EQ(w.saved.size(), 1u) << c.format << " " << c.proposed;
        EXPECT_EQ(w.saved[0].path, c.wantPath) << c.format << " " << c.proposed;
        EXPECT_EQ(w.saved[0].typeIndex, c.wantType) << c.format;
        EXPECT_EQ(w.NameWrites(), c.wantWrites) << c.format << " " << c.proposed;
        EXPECT_EQ(w.HistoryItems(), 1u);
        EXPECT_TRUE(w.Boxes().empty());
    }
}

TEST(MirsaSave, SelectFileTypeMessageSequence) {
    MirsaWorld w;
    w.AddBrowser();
    w.proposed = "a.mht";
    w.DialogOpensBy(500);
    w.Run(" /format=mht /method=simple");
    const WindowId combo = w.typeCombo, dialog = w.dialog;
    std::vector<std::tuple<WindowId, unsigned, std::uintptr_t>> seen;
    for (const auto& m : w.p.Messages())
        if (m.message == common::wm::CbSetCurSel || m.message == common::wm::Command)
            seen.emplace_back(m.window, m.message, m.wParam);
    const std::uintptr_t id = 0x470;
    std::vector<std::tuple<WindowId, unsigned, std::uintptr_t>> want = {
        {combo, common::wm::CbSetCurSel, 0},        {dialog, common::wm::Command, id | 1u << 16},
        {dialog, common::wm::Command, id | 9u << 16}, {combo, common::wm::CbSetCurSel, 2},
        {dialog, common::wm::Command, id | 1u << 16}, {dialog, common::wm::Command, id | 9u << 16},
    };
    EXPECT_EQ(seen, want);
}

TEST(MirsaSave, SimpleFillsInAndRecordsNothing) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nDescription=1\r\n");
    w.AddBrowser("News - Opera");
    w.proposed = "";
    w.DialogOpensBy(500);
    w.Run(" /format=html /method=simple /text=" + kL + "My.own name" + kR);
    EXPECT_TRUE(w.saved.empty());
    EXPECT_EQ(w.p.SendGetText(w.nameEdit, 255), "My_own name");
    EXPECT_EQ(w.p.ComboSelection(w.typeCombo), 1);
    EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html"));
    EXPECT_FALSE(w.p.HasFile("C:\\Pages\\descript.ion"));
}

TEST(MirsaSave, SimpleReplacesATroublesomeName) {
    MirsaWorld w;
    w.AddBrowser("Q&A: today - Opera");
    w.proposed = "Q&A: today.htm";
    w.DialogOpensBy(500);
    w.Run(" /format=htm /method=simple");
    EXPECT_EQ(w.p.SendGetText(w.nameEdit, 255), "Q&A_ today");
}

// A description line that cannot be added is reported as the history page's
// is; the page itself stays saved and recorded.
TEST(MirsaSave, DescriptionThatCannotBeAddedSaysSo) {
    const std::string file = "C:\\Pages\\descript.ion";
    const struct {
        const char* name;
        std::function<void(FakePlatform&)> fault;
    } cases[] = {
        {"lock refused", [](FakePlatform& fp) { fp.RefuseMutex("Mirsa_DescriptIon"); }},
        {"write fails", [&](FakePlatform& fp) { fp.FailWritesTo(file); }},
        {"unreadable", [&](FakePlatform& fp) { fp.SetUnreadable(file, true); }},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nDescription=1\r\n");
        w.p.AddFile(file, "old.html http://o/\r\n");
        w.AddBrowser("News - Opera");
        w.proposed = "news.html";
        w.DialogOpensBy(500);
        c.fault(w.p);
        w.Run(" /format=html /method=quick /url=http://a/");
        ASSERT_EQ(w.saved.size(), 1u) << c.name;
        EXPECT_EQ(w.HistoryItems(), 1u) << c.name;
        EXPECT_EQ(w.p.FileText(file), "old.html http://o/\r\n") << c.name;
        ASSERT_EQ(w.Boxes().size(), 1u) << c.name;
        EXPECT_EQ(w.Boxes()[0].text, "Unable to update C:\\Pages\\descript.ion!") << c.name;
        EXPECT_EQ(w.Boxes()[0].title, "Mirsa Error") << c.name;
        EXPECT_EQ(w.Boxes()[0].flags, common::mb::IconExclamation) << c.name;
        EXPECT_FALSE(w.p.MutexHeldHere("Mirsa_DescriptIon")) << c.name;
    }
}

TEST(MirsaSave, SameNameTwiceIsNumbered) {
    MirsaWorld w;
    w.AddBrowser();
    for (int i = 0; i < 3; ++i) {
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=quick");
    }
    ASSERT_EQ(w.saved.size(), 3u);
    EXPECT_EQ(w.saved[0].path, "C:\\Pages\\News.html");
    EXPECT_EQ(w.saved[1].path, "C:\\Pages\\News_1.html");
    EXPECT_EQ(w.saved[2].path, "C:\\Pages\\News_2.html");
    EXPECT_EQ(w.HistoryItems(), 3u);
}

TEST(MirsaSave, FolderMethodSubFolders) {
    struct Case {
        std::string url, wantPath;
    } cases[] = {
        {"http://www.example.com/a/page.html", "C:\\Pages\\example.com\\News.html"},
        {"http://example.com", "C:\\Pages\\News.html"},
        {"about:blank", "C:\\Pages\\about_blank\\News.html"},
        {"", "C:\\Pages\\News.html"},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.AddBrowser();
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=folder" + (c.url.empty() ? "" : " /url=" + c.url));
        ASSERT_EQ(w.saved.size(), 1u) << c.url;
        EXPECT_EQ(w.saved[0].path, c.wantPath) << c.url;
    }
}

TEST(MirsaSave, PathSwitch) {
    struct Case {
        std::string path, method, wantPath;
    } cases[] = {
        {"sub", "quick", "C:\\Pages\\sub\\News.html"},
        {"D:\\Other", "quick", "D:\\Other\\News.html"},
        {kL + "two words" + kR, "folder", "C:\\Pages\\two words\\example.org\\News.html"},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.p.AddDrive("D:\\");
        w.AddBrowser();
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=" + c.method + " /url=http://example.org/x /path=" + c.path);
        ASSERT_EQ(w.saved.size(), 1u) << c.path;
        EXPECT_EQ(w.saved[0].path, c.wantPath) << c.path;
        EXPECT_TRUE(w.p.HasFolder(common::FolderOfPath(c.wantPath))) << c.path;
        // The history stays in the pages folder.
        EXPECT_EQ(w.HistoryItems(), 1u);
    }
}

TEST(MirsaSave, OldBrowserFramesetPage) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nOperaVersion=8\r\nDescription=1\r\n");
    w.AddBrowser("News - Opera");
    w.proposed = "News.htm";
    for (int i = 0; i < 2; ++i) {
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=quick /url=http://n.example/");
    }
    ASSERT_EQ(w.saved.size(), 2u);
    EXPECT_EQ(w.saved[0].path, "C:\\Pages\\News_files\\News.htm");
    EXPECT_EQ(w.saved[1].path, "C:\\Pages\\News_1_files\\News.htm");
    EXPECT_EQ(w.p.FileText("C:\\Pages\\News.html"),
              "<html><frameset><frame src=\"News_files/News.htm\"></frameset></html>\r\n"
              "<!-- This document saved from http://n.example/ -->");
    EXPECT_EQ(w.p.FileText("C:\\Pages\\News_1.html"),
              "<html><frameset><frame src=\"News_1_files/News.htm\"></frameset></html>\r\n"
              "<!-- This document saved from http://n.example/ -->");
    EXPECT_EQ(w.p.FileText("C:\\Pages\\descript.ion"),
              "News.html http://n.example/\r\nNews_1.html http://n.example/\r\n");
}

TEST(MirsaSave, OldBrowserFramesetNeverReplacesAPage) {
    struct Case {
        const char* name;
        std::vector<std::string> files, folders;
        std::string folder;
    } cases[] = {
        {"free", {}, {}, "News_files"},
        {"page without folder", {"News.html"}, {}, "News_1_files"},
        {"page and next folder", {"News.html"}, {"News_1_files"}, "News_2_files"},
        {"folder named like the page", {}, {"News.html"}, "News_1_files"},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nOperaVersion=8\r\n");
        w.AddBrowser("News - Opera");
        w.proposed = "News.htm";
        for (const std::string& f : c.files) w.p.AddFile("C:\\Pages\\" + f, "user's own " + f);
        for (const std::string& f : c.folders) w.p.AddFolder("C:\\Pages\\" + f);
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=quick /url=http://n.example/");
        ASSERT_EQ(w.saved.size(), 1u) << c.name;
        EXPECT_EQ(w.saved[0].path, "C:\\Pages\\" + c.folder + "\\News.htm") << c.name;
        for (const std::string& f : c.files)
            EXPECT_EQ(w.p.FileText("C:\\Pages\\" + f), "user's own " + f) << c.name;
    }
}

TEST(MirsaSave, NetworkShareFolders) {
    struct Case {
        const char* name;
        std::string ini, tail, wantPath;
    } cases[] = {
        {"pages folder", "QuickSaveDir=\\\\srv\\share\\Pages", "", "\\\\srv\\share\\Pages\\News.html"},
        {"path switch", "QuickSaveDir=C:\\Pages", " /path=\\\\srv\\share\\Web",
         "\\\\srv\\share\\Web\\News.html"},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.p.AddDrive("\\\\srv\\share\\", common::drive_type::Remote);
        w.SetIni("[Main]\r\n" + c.ini + "\r\n");
        w.AddBrowser();
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=quick" + c.tail);
        ASSERT_EQ(w.saved.size(), 1u) << c.name;
        EXPECT_EQ(w.saved[0].path, c.wantPath) << c.name;
        EXPECT_FALSE(w.p.HasFolder("C:\\Mirsa\\srv")) << c.name;
    }
    // The free-space question looks at the share.
    MirsaWorld w;
    w.p.AddDrive("\\\\srv\\share\\", common::drive_type::Remote, 100);
    w.SetIni("[Main]\r\nQuickSaveDir=\\\\srv\\share\\Pages\r\n");
    w.AddBrowser();
    w.p.QueueMessageBoxAnswer(common::answer::Cancel);
    w.DialogOpensBy(500);
    w.Run(" /format=html /method=quick");
    ASSERT_EQ(w.Boxes().size(), 1u);
    EXPECT_TRUE(w.saved.empty());
}

TEST(MirsaSave, OldBrowserTypes) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nOperaVersion=7\r\n");
    w.AddBrowser();
    w.DialogOpensBy(500);
    w.Run(" /format=txt /method=simple");
    EXPECT_EQ(w.p.ComboSelection(w.typeCombo), 2);
}

TEST(MirsaSave, ImageModes) {
    struct Case {
        std::string format, proposed, url, wantPath, wantTitle;
    } cases[] = {
        {"img", "photo.gif", "http://a/x.png", "C:\\Pages\\_Images\\photo.gif", "photo.gif (News)"},
        {"img", "photo", "http://a/x.png", "C:\\Pages\\_Images\\photo.png", "photo (News)"},
        {"img", "photo", "http://a/x.php", "C:\\Pages\\_Images\\photo.jpg", "photo (News)"},
        {"img", "", "", "C:\\Pages\\_Images\\News.jpg", " (News)"},
        {"img", ".jpg", "", "C:\\Pages\\_Images\\News.jpg", ".jpg (News)"},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.AddBrowser();
        w.proposed = c.proposed;
        w.DialogOpensBy(500);
        w.Run(" /format=" + c.format + " /method=quick" + (c.url.empty() ? "" : " /url=" + c.url));
        ASSERT_EQ(w.saved.size(), 1u) << c.proposed;
        EXPECT_EQ(w.saved[0].path, c.wantPath) << c.proposed;
        EXPECT_EQ(w.saved[0].typeIndex, 0);
        EXPECT_NE(w.History().find("<b>" + c.wantTitle + "</b>"), std::string::npos) << c.proposed;
        EXPECT_NE(w.History().find("href=\"_Images/"), std::string::npos);
    }
}

TEST(MirsaSave, ImagesFolderOutsideThePagesFolderIsAFileUrl) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nQuickSaveImgDir=D:\\My Images\r\n");
    w.AddBrowser();
    w.proposed = "photo.gif";
    w.DialogOpensBy(500);
    w.Run(" /format=img /method=quick");
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_EQ(w.saved[0].path, "D:\\My Images\\photo.gif");
    EXPECT_NE(w.History().find("href=\"file://localhost/D:/My%20Images/photo.gif\""),
              std::string::npos);
}

TEST(MirsaSave, ImgsClicksAndHalvesTheTimeOut) {
    MirsaWorld w;
    w.AddBrowser();
    w.DialogOpensOnKeys();
    w.proposed = "pic.png";
    w.Run(" /format=imgs /method=quick");
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_EQ(w.saved[0].path, "C:\\Pages\\_Images\\pic.png");
    ASSERT_EQ(w.p.MouseEvents().size(), 2u);
    EXPECT_EQ(w.p.MouseEvents()[0].flags, common::mouse_flags::LeftDown);
    EXPECT_EQ(w.p.MouseEvents()[1].flags, common::mouse_flags::LeftUp);

    // No dialog: the wait ends after half of the 4 s time-out.
    MirsaWorld none;
    none.AddBrowser();
    std::uint64_t start = none.p.ElapsedMs();
    none.Run(" /format=imgs /method=quick");
    std::uint64_t waited = none.p.ElapsedMs() - start;
    EXPECT_GE(waited, 2000u);
    EXPECT_LE(waited, 2300u);
    ASSERT_EQ(none.Boxes().size(), 1u);
    EXPECT_NE(none.Boxes()[0].text.find("within 2 seconds"), std::string::npos);
}

// No Save dialog within the time-out and nothing saved: the box says how long
// was waited and which key sets it.
TEST(MirsaSave, NoDialogSaysSoAfterTheTimeOut) {
    const std::string ini = "\"C:\\Mirsa\\Mirsa.ini\"";
    const struct {
        std::string timeOut, tail;
        std::uint64_t waitedMs;
        std::string text;
    } cases[] = {
        {"10", " /format=html /method=quick", 10000,
         "The window of Opera was found, but its Save dialog did not open within 10 seconds. "
         "Nothing was saved.\r\n\r\nThe time-out is \"TimeOut\" in section [Main] of " + ini +
             ", in seconds (now 10 seconds)."},
        {"1", " /format=mht /method=simple", 1000,
         "The window of Opera was found, but its Save dialog did not open within 1 second. "
         "Nothing was saved.\r\n\r\nThe time-out is \"TimeOut\" in section [Main] of " + ini +
             ", in seconds (now 1 second)."},
        {"5", " /format=imgs /method=quick", 2500,
         "The window of Opera was found, but its Save dialog did not open within 2.5 seconds. "
         "Nothing was saved.\r\n\r\nThe time-out is \"TimeOut\" in section [Main] of " + ini +
             ", in seconds (now 5 seconds); a save of images waits half of it."},
        {"3", " /format=mht /method=all", 3000,
         "The window of Opera was found, but its Save dialog did not open within 3 seconds. "
         "Nothing was saved.\r\n\r\nThe time-out is \"TimeOut\" in section [Main] of " + ini +
             ", in seconds (now 3 seconds)."},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nTimeOut=" + c.timeOut + "\r\n");
        w.AddBrowser();
        const std::uint64_t start = w.p.ElapsedMs();
        w.Run(c.tail);
        EXPECT_GE(w.p.ElapsedMs() - start, c.waitedMs) << c.tail;
        EXPECT_LE(w.p.ElapsedMs() - start, c.waitedMs + 500) << c.tail;
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html")) << c.tail;
        ASSERT_EQ(w.Boxes().size(), 1u) << c.tail;
        EXPECT_EQ(w.Boxes()[0].text, c.text) << c.tail;
        EXPECT_EQ(w.Boxes()[0].title, "Mirsa Error") << c.tail;
        EXPECT_EQ(w.Boxes()[0].flags, common::mb::IconExclamation) << c.tail;
    }
}

TEST(MirsaSave, AnyForegroundDialogCounts) {
    MirsaWorld w;
    w.AddBrowser();
    w.caption = "Some other dialog";
    w.DialogOpensBy(500);
    w.Run(" /format=html /method=quick");
    ASSERT_EQ(w.saved.size(), 1u);
}

TEST(MirsaSave, AllHandlesEveryDialogInARow) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nDescription=1\r\n");
    w.AddBrowser();
    w.nextProposals = {"one.htm", "", "two"};
    w.DialogOpensBy(500, 3);
    w.Run(" /format=mht /method=all /url=http://a/x.png");
    ASSERT_EQ(w.saved.size(), 3u);
    EXPECT_EQ(w.saved[0].path, "C:\\Pages\\one.mht");
    // An empty proposal takes the previous pass's working name.
    EXPECT_EQ(w.saved[1].path, "C:\\Pages\\one_1.mht");
    // The address's extension is not used for "all".
    EXPECT_EQ(w.saved[2].path, "C:\\Pages\\two.mht");
    for (const auto& s : w.saved) EXPECT_FALSE(s.dialogWasEnabled);
    EXPECT_EQ(w.HistoryItems(), 3u);
    // Titles are the file names; no descript.ion for "all".
    EXPECT_NE(w.History().find("<b>one_1</b>"), std::string::npos);
    EXPECT_FALSE(w.p.HasFile("C:\\Pages\\descript.ion"));
}

TEST(MirsaSave, AllStopsAtADialogWithAnotherCaption) {
    MirsaWorld w;
    w.AddBrowser();
    w.proposed = "p.mht";
    w.DialogOpensBy(500, 1);
    w.Run(" /format=mht /method=all");  // first dialog handled, then none comes
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_TRUE(w.Boxes().empty());

    MirsaWorld other;
    other.AddBrowser();
    other.proposed = "p.mht";
    other.DialogOpensBy(500, 2);
    other.p.Schedule(1000, [&](FakePlatform&) { other.caption = "Different"; });
    other.Run(" /format=mht /method=all");
    EXPECT_EQ(other.saved.size(), 1u);
}

TEST(MirsaSave, AllWithOldBrowserLeavesDialogsEnabled) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nOperaVersion=8\r\n");
    w.AddBrowser();
    w.proposed = "p.txt";
    w.DialogOpensBy(500, 2);
    w.Run(" /format=txt /method=all");
    ASSERT_EQ(w.saved.size(), 2u);
    EXPECT_TRUE(w.saved[0].dialogWasEnabled);
    // No "_files" folder for "all".
    EXPECT_EQ(w.saved[1].path, "C:\\Pages\\p_1.txt");
}

TEST(MirsaSave, LowDiskSpaceQuestion) {
    struct Case {
        std::uint64_t free;
        std::optional<int> answer;
        bool saved;
    } cases[] = {
        {4194304, std::nullopt, true},
        {4194303, common::answer::Ok, true},
        {4194303, common::answer::Cancel, false},
        {0, common::answer::Cancel, false},
    };
    for (const auto& c : cases) {
        MirsaWorld w;
        w.AddBrowser();
        w.p.SetFreeSpace("C:\\", c.free);
        if (c.answer) w.p.QueueMessageBoxAnswer(*c.answer);
        w.DialogOpensBy(500);
        w.Run(" /format=html /method=quick");
        EXPECT_EQ(w.saved.size(), c.saved ? 1u : 0u) << c.free;
        if (!c.answer) {
            EXPECT_TRUE(w.Boxes().empty());
            continue;
        }
        ASSERT_EQ(w.Boxes().size(), 1u);
        EXPECT_EQ(w.Boxes()[0].text,
                  "There is not enough free space on the disk!\rAre you sure what want to continue?");
        EXPECT_EQ(w.Boxes()[0].title, "Mirsa Error");
        EXPECT_EQ(w.Boxes()[0].flags, common::mb::OkCancel | common::mb::IconExclamation);
    }
}

TEST(MirsaSave, FreeSpaceIsMeasuredOnThePagesVolume) {
    MirsaWorld w;
    w.p.AddDrive("D:\\", common::drive_type::Fixed, 100);
    w.AddBrowser();
    w.DialogOpensBy(500);
    w.Run(" /format=html /method=quick /path=D:\\Full");
    EXPECT_TRUE(w.Boxes().empty());
    EXPECT_EQ(w.saved.size(), 1u);
}

TEST(MirsaPhf, QuickCopiesAndRecords) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nDescription=1\r\n");
    w.AddBrowser("A %5C..%5C..%5Cescape - Opera");
    w.p.AddFile("C:\\TEMP\\p.htm", "<html>1</html>");
    w.p.SetCommandLine("\"C:\\Mirsa\\Mirsa.exe\" C:\\TEMP\\p.htm");
    SaveRun run;
    run.request.Format = "phf";
    run.request.Method = "quick";
    run.request.HandedOverFile = "C:\\TEMP\\p.htm";
    run.request.Url = "http://a/";
    run.settings = ReadSettings(w.p, "C:\\Mirsa\\Mirsa.ini", "C:\\Mirsa\\");
    run.startFolder = "C:\\Mirsa\\";
    EXPECT_EQ(PerformSaveRun(w.p, run, {}), SaveOutcome::PhfSaved);
    // The decoded backslashes of the title cannot lead out of the pages folder.
    std::vector<std::string> files = w.p.FilesUnder("C:\\");
    std::vector<std::string> htmls;
    for (const auto& f : files)
        if (common::EndsWith(f, ".html") && !common::EndsWith(f, "MirsaHistory.html"))
            htmls.push_back(f);
    ASSERT_EQ(htmls.size(), 1u);
    EXPECT_EQ(common::FolderOfPath(htmls[0]), "C:\\Pages\\");
    EXPECT_EQ(w.p.FileText(htmls[0]), "<html>1</html>");
    EXPECT_FALSE(w.p.HasFile("C:\\TEMP\\p.htm"));
    EXPECT_TRUE(w.p.IsHidden("C:\\Pages\\descript.ion"));
}

TEST(MirsaPhf, OwnSaveDialog) {
    for (bool confirm : {true, false}) {
        MirsaWorld w;
        w.AddBrowser("Page title - Opera");
        w.p.AddFile("C:\\TEMP\\p.htm", "<html>2</html>");
        w.p.QueueFileDialogAnswer(confirm ? std::optional<std::string>("D:\\Chosen.html")
                                          : std::nullopt);
        w.p.AddFolder("D:\\");
        w.Run(" C:\\TEMP\\p.htm");
        ASSERT_EQ(w.p.FileDialogs().size(), 1u);
        const auto& d = w.p.FileDialogs()[0];
        EXPECT_TRUE(d.save);
        EXPECT_EQ(d.owner, w.browser);
        EXPECT_EQ(d.filter, "HTML Document (*.html)|*.html");
        EXPECT_EQ(d.fileName, "Page title.html");
        EXPECT_EQ(d.flags, 0x80000u | 0x800000u | 0x200000u | 0x2u | 0x800u | 0x4u);
        EXPECT_EQ(d.flags & 0x1000u, 0u);  // OFN_FILEMUSTEXIST would refuse new names
        EXPECT_EQ(w.p.HasFile("D:\\Chosen.html"), confirm);
        EXPECT_FALSE(w.p.HasFile("C:\\TEMP\\p.htm"));
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html"));
    }
}

TEST(MirsaSave, HistoryAndDescriptionSwitches) {
    MirsaWorld w;
    w.SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\nHistory=0\r\nDescription=1\r\n");
    w.AddBrowser("My page - Opera");
    w.DialogOpensBy(500);
    w.Run(" /format=html /method=quick /url=http://a/b");
    ASSERT_EQ(w.saved.size(), 1u);
    EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html"));
    EXPECT_EQ(w.p.FileText("C:\\Pages\\descript.ion"), "\"My page.html\" http://a/b\r\n");
    EXPECT_TRUE(w.p.IsHidden("C:\\Pages\\descript.ion"));
}

}  // namespace
}  // namespace mirsa::testing
