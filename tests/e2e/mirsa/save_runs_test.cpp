// Mirsa.exe under Wine against the browser stand-in and its system Save
// dialog: each format and method, checked on the Wine drive.
#include <gtest/gtest.h>


#include <algorithm>
#include <filesystem>
#include <set>

#include "common/helpers.h"
#include "tests/e2e/mirsa/mirsa_setup.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string PageBytes(const std::string& title, const std::string& url) {
    return "<html><head><title>" + title + "</title></head><body><p>" + url + "</p></body></html>";
}

std::vector<Record> Saved(const StubBrowser& b) { return RecordsOfKind(b.LogHostPath(), "saved"); }

TEST(MirsaE2E, QuickSaveWithHistoryAndHiddenDescription) {
    MirsaSetup m("Description=1\r\n");
    StubBrowser browser(m.Browser("Evening News", {"--autosave=1500", "--proposed=today.htm"}));
    ASSERT_TRUE(browser.ready());
    Record run = m.Run(" /format=mht /method=quick /url=http://www.example.com/news/today.html");
    ASSERT_EQ(run.Get("started"), "1") << run.Get("output");

    ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
    auto saved = Saved(browser);
    EXPECT_EQ(saved[0].Get("path"), m.pages() + "today.mht");
    EXPECT_EQ(saved[0].Get("type"), "2");
    EXPECT_EQ(m.Read(m.pages() + "today.mht"),
              PageBytes("Evening News", "http://www.example.com/news/today.html"));
    EXPECT_EQ(m.HistoryItems(), 1u);
    EXPECT_NE(m.History().find("<a href=\"today.mht\" target=\"_blank\"><b>Evening News</b><br>"
                               "http://www.example.com/news/today.html</a>"),
              std::string::npos);
    EXPECT_FALSE(m.Exists(m.pages() + "MirsaHistory.html.tmp"));
    EXPECT_EQ(m.Read(m.pages() + "descript.ion"),
              "today.mht http://www.example.com/news/today.html\r\n");
    std::string attributes = m.Attributes(m.pages() + "descript.ion");
    EXPECT_NE(attributes.find('H'), std::string::npos) << attributes;
}

TEST(MirsaE2E, EmptyFormatUsesTheThirdType) {
    MirsaSetup m;
    StubBrowser browser(m.Browser("Plain", {"--autosave=1500", "--proposed="}));
    ASSERT_TRUE(browser.ready());
    m.Run(" /method=quick");
    ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
    EXPECT_EQ(Saved(browser)[0].Get("type"), "2");
    // The dialog proposed nothing: the title's name with the third type's extension.
    EXPECT_EQ(Saved(browser)[0].Get("path"), m.pages() + "Plain.mht");
}

// Through the data URL Mirsa presses Ctrl+S itself; one browser serves every format.
TEST(MirsaE2E, DataUrlEachPageFormat) {
    MirsaSetup m;
    StubBrowser browser(m.Browser("Daily Report", {"--proposed="}));
    ASSERT_TRUE(browser.ready());
    struct Case {
        std::string format, method, wantName;
        int type;
    } cases[] = {
        {"htm", "quick", "Daily Report.htm", 0},
        {"html", "quick", "Daily Report.html", 1},
        {"mht", "quick", "Daily Report.mht", 2},
        {"txt", "quick", "Daily Report.txt", 3},
        {"html", "folder", "example.com\\Daily Report.html", 1},
        {"html", "quick", "Daily Report_1.html", 1},
    };
    std::size_t expected = 0;
    for (const auto& c : cases) {
        m.Run(" \"data:text/mrv;charset=UTF-8,/format=" + c.format + "%20/method=" + c.method +
              "%20/url=http://www.example.com/news/today\"");
        ++expected;
        ASSERT_TRUE(WaitUntil([&] { return Saved(browser).size() >= expected; }, 30000))
            << c.format << " " << c.method;
        Record s = Saved(browser)[expected - 1];
        EXPECT_EQ(s.Get("path"), m.pages() + c.wantName) << c.format;
        EXPECT_EQ(s.Get("type"), std::to_string(c.type)) << c.format;
        EXPECT_TRUE(m.Exists(m.pages() + c.wantName)) << c.wantName;
    }
    EXPECT_EQ(m.HistoryItems(), expected);
    EXPECT_NE(m.History().find("href=\"example.com/Daily%20Report.html\""), std::string::npos);
    // Each Ctrl+S arrived as an S with Ctrl held.
    std::size_t chords = 0;
    for (const Record& k : RecordsOfKind(browser.LogHostPath(), "key"))
        if (k.Get("vk") == "83" && k.Get("ctrl") == "1") ++chords;
    EXPECT_EQ(chords, expected);
}

TEST(MirsaE2E, SimpleFillsInTheDialogAndRecordsNothing) {
    MirsaSetup m("Description=1\r\n");
    StubBrowser::Options o = m.Browser("Simple Page", {"--autosave=1500", "--proposed="});
    o.args.push_back("--savedir=" + m.folder() + "Chosen");
    fs::create_directories(m.Host(m.folder() + "Chosen"));
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());
    Record run = m.Run(" /format=html /method=simple /text=" + kL + "My.own name" + kR);
    ASSERT_EQ(run.Get("started"), "1");
    // Mirsa has ended; the dialog waits for the user, who takes the name as filled in.
    ASSERT_TRUE(RecordsOfKind(browser.LogHostPath(), "saved").empty());
    Background click = WineBench::Get().Start({WineBench::Get().BinFolder() + "boxclick.exe",
                                                "Save as", m.folder() + "click.rec", "1", "30000"});
    ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 40000));
    Record s = Saved(browser)[0];
    EXPECT_EQ(s.Get("type"), "1");
    EXPECT_EQ(s.Get("path").rfind(m.folder() + "Chosen\\My_own name", 0), 0u) << s.Get("path");
    EXPECT_FALSE(m.Exists(m.pages() + "MirsaHistory.html"));
    EXPECT_FALSE(m.Exists(m.pages() + "descript.ion"));
}

TEST(MirsaE2E, OldBrowserFramesetAndNumbering) {
    MirsaSetup m("OperaVersion=8\r\nDescription=1\r\n");
    for (int i = 0; i < 2; ++i) {
        StubBrowser browser(m.Browser("News", {"--autosave=1500", "--proposed=News.htm"}));
        ASSERT_TRUE(browser.ready());
        m.Run(" /format=html /method=quick /url=http://n.example/");
        ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
        ASSERT_TRUE(browser.Close());
    }
    EXPECT_TRUE(m.Exists(m.pages() + "News_files\\News.htm"));
    EXPECT_TRUE(m.Exists(m.pages() + "News_1_files\\News.htm"));
    EXPECT_EQ(m.Read(m.pages() + "News.html"),
              "<html><frameset><frame src=\"News_files/News.htm\"></frameset></html>\r\n"
              "<!-- This document saved from http://n.example/ -->");
    EXPECT_EQ(m.Read(m.pages() + "News_1.html"),
              "<html><frameset><frame src=\"News_1_files/News.htm\"></frameset></html>\r\n"
              "<!-- This document saved from http://n.example/ -->");
    EXPECT_EQ(m.Read(m.pages() + "descript.ion"),
              "News.html http://n.example/\r\nNews_1.html http://n.example/\r\n");
    EXPECT_EQ(m.HistoryItems(), 2u);
    EXPECT_NE(m.History().find("href=\"News_1_files/News.htm\""), std::string::npos);
}

TEST(MirsaE2E, AllSavesEveryDialogInARow) {
    MirsaSetup m("Description=1\r\n", 15);
    StubBrowser browser(m.Browser("Album", {"--autosave=2000", "--dialogs=3",
                                            "--proposed=one.htm|two.htm|three"}));
    ASSERT_TRUE(browser.ready());
    Record run = m.Run(" /format=mht /method=all");
    ASSERT_EQ(run.Get("started"), "1");
    auto saved = Saved(browser);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0].Get("path"), m.pages() + "one.mht");
    EXPECT_EQ(saved[1].Get("path"), m.pages() + "two.mht");
    EXPECT_EQ(saved[2].Get("path"), m.pages() + "three.mht");
    for (const auto& s : saved) EXPECT_EQ(s.Get("type"), "2");
    EXPECT_EQ(m.HistoryItems(), 3u);
    EXPECT_NE(m.History().find("<b>three</b>"), std::string::npos);
    EXPECT_FALSE(m.Exists(m.pages() + "descript.ion"));
}

TEST(MirsaE2E, ImagesByDialogAndByCtrlClick) {
    MirsaSetup m;
    {
        StubBrowser browser(m.Browser("Gallery", {"--autosave=1500", "--proposed=pic"}));
        ASSERT_TRUE(browser.ready());
        m.Run(" /format=img /method=quick /url=http://img.example/pic.png");
        ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
        EXPECT_EQ(Saved(browser)[0].Get("path"), m.pages() + "_Images\\pic.png");
        EXPECT_EQ(Saved(browser)[0].Get("type"), "0");
        ASSERT_TRUE(browser.Close());
    }
    {
        StubBrowser::Options o = m.Browser("Gallery", {"--pointer", "--image=photo.gif"});
        o.folder = m.folder() + "Opera2\\";
        StubBrowser browser(o);
        ASSERT_TRUE(browser.ready());
        ASSERT_TRUE(WaitForRecord(browser.LogHostPath(), "pointer", 10000));
        m.Run(" /format=imgs /method=quick /url=http://img.example/photo.gif");
        ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
        auto clicks = RecordsOfKind(browser.LogHostPath(), "click");
        ASSERT_FALSE(clicks.empty());
        EXPECT_EQ(clicks[0].Get("ctrl"), "1");
        EXPECT_EQ(Saved(browser)[0].Get("what"), "image");
        EXPECT_EQ(Saved(browser)[0].Get("path"), m.pages() + "_Images\\photo.gif");
        auto gif = m.Read(m.pages() + "_Images\\photo.gif");
        ASSERT_TRUE(gif);
        EXPECT_EQ(gif->substr(0, 6), "GIF89a");
    }
    EXPECT_EQ(m.HistoryItems(), 2u);
    EXPECT_NE(m.History().find("<b>photo.gif (Gallery)</b>"), std::string::npos);
    EXPECT_NE(m.History().find("href=\"_Images/pic.png\""), std::string::npos);
}

TEST(MirsaE2E, HandedOverPageFile) {
    MirsaSetup m("Description=1\r\n");
    StubBrowser browser(m.Browser("Ignored", {}));
    ASSERT_TRUE(browser.ready());
    // The settings travel in UTF-8 inside the page.
    const std::string page = "<html><body>saved by the browser</body>";
    WriteHostFile(m.Host(m.folder() + "opr0001.htm"),
                  page + "<!-- Mirsa settings /method=quick /url=http://p.example/ /text="
                         "\xE2\x80\x98\xE2\x80\x98My page\xE2\x80\x99\xE2\x80\x99 --></html>");
    m.Run(" " + m.folder() + "opr0001.htm");
    EXPECT_EQ(m.Read(m.pages() + "My page.html"), page + "</html>");
    EXPECT_FALSE(m.Exists(m.folder() + "opr0001.htm"));
    EXPECT_EQ(m.Read(m.pages() + "descript.ion"), "\"My page.html\" http://p.example/\r\n");
    EXPECT_NE(m.History().find("<b>My page</b><br>http://p.example/"), std::string::npos);
}

// Not a quick method: Mirsa's own Save dialog takes a name that does not exist yet.
TEST(MirsaE2E, HandedOverPageThroughOwnSaveDialog) {
    MirsaSetup m;
    StubBrowser browser(m.Browser("Own Page", {}));
    ASSERT_TRUE(browser.ready());
    WriteHostFile(m.Host(m.folder() + "opr0002.htm"), "<html>own</html>");
    ASSERT_TRUE(m.SaveThroughOwnDialog(" " + m.folder() + "opr0002.htm"));
    EXPECT_EQ(m.Read(m.folder() + "Chosen\\Own Page.html"), "<html>own</html>");
    EXPECT_FALSE(m.Exists(m.folder() + "opr0002.htm"));
    EXPECT_FALSE(m.Exists(m.pages() + "MirsaHistory.html"));
}

// A 4 MiB tmpfs as drive S: reports exactly 4,194,304 free bytes.
TEST(MirsaE2E, LowSpaceQuestionOnThePagesVolume) {
    WineBench& bench = WineBench::Get();
    MirsaSetup m;
    TmpfsDrive drive('s', bench.HostPath("C:\\small_drive"));
    if (!drive.mounted()) GTEST_SKIP() << "no tmpfs mount here";
    WriteHostFile(m.Host(m.folder() + "Mirsa\\Mirsa.ini"),
                  "[Main]\r\nQuickSaveDir=S:\\Pages\r\nTimeOut=30\r\n");
    fs::create_directories(bench.HostPath("S:\\Pages"));
    {
        // Exactly 4 MiB free: no question, the page is saved.
        StubBrowser browser(m.Browser("Tight", {"--autosave=1500", "--proposed=tight.htm"}));
        ASSERT_TRUE(browser.ready());
        m.Run(" /format=html /method=quick");
        ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
        EXPECT_TRUE(HostFileExists(bench.HostPath("S:\\Pages\\tight.htm")));
        ASSERT_TRUE(browser.Close());
    }
    // Now less is free: the question comes, and Cancel ends the run.
    StubBrowser::Options o = m.Browser("Tight", {"--autosave=4000", "--proposed=second.htm"});
    o.folder = m.folder() + "Opera2\\";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());
    Background mirsa = m.Start(" /format=html /method=quick");
    bench.Run({bench.BinFolder() + "boxclick.exe", "Mirsa Error", m.folder() + "space.rec", "2",
               "60000"}, 90);
    auto boxes = ReadRecords(m.Host(m.folder() + "space.rec"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Get("found"), "1");
    EXPECT_EQ(boxes[0].Get("text"),
              "There is not enough free space on the disk!\rAre you sure what want to continue?");
    EXPECT_TRUE(mirsa.Wait(60000).has_value());
    ASSERT_TRUE(WaitForRecord(browser.LogHostPath(), "dialog", 30000));
    // Mirsa had ended: nobody fills in the dialog, nothing more is saved or recorded.
    EXPECT_TRUE(Saved(browser).empty());
    EXPECT_FALSE(HostFileExists(bench.HostPath("S:\\Pages\\second.html")));
}

TEST(MirsaE2E, MessageBoxes) {
    MirsaSetup m;
    WineBench& bench = WineBench::Get();
    struct Case {
        std::string tail, title, text;
    } cases[] = {
        {" --help", "About",
         "Mirsa for Opera Ver 2.4\r\rMirsa.exe /format=html /method=folder /url=" + kL + "%U" + kR +
             " /path=" + kL + kR + " /text=" + kL + "%T" + kR},
        {" /format=html /method=quick", "Mirsa Error", "The window of Opera is not found!"},
        {" /format=pdb", "Mirsa Error", "Converter \"" + m.folder() + "Mirsa\\isiloxc.exe\" not found!"},
        {" /format=chm /method=all", "Mirsa Error", "Converter \"" + m.folder() + "Mirsa\\hhc.exe\" not found!"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string out = m.folder() + "box" + std::to_string(++n) + ".rec";
        Background mirsa = m.Start(c.tail);
        RunResult click = bench.Run({bench.BinFolder() + "boxclick.exe", c.title, out, "1", "60000"}, 90);
        auto boxes = ReadRecords(m.Host(out));
        ASSERT_EQ(boxes.size(), 1u) << c.tail << click.output;
        EXPECT_EQ(boxes[0].Get("found"), "1") << c.tail;
        // The box shows the first lines; a Static control keeps the CRs as they are.
        EXPECT_EQ(boxes[0].Get("text").substr(0, c.text.size()), c.text) << c.tail;
        EXPECT_TRUE(mirsa.Wait(60000).has_value()) << c.tail;
    }
}

// The browser takes Mirsa's Ctrl+S but opens no Save dialog: after the
// time-out the box says so and names the key that sets the wait.
TEST(MirsaE2E, NoSaveDialogSaysSo) {
    MirsaSetup m("", 2);
    WineBench& bench = WineBench::Get();
    StubBrowser browser(m.Browser("Stuck Page", {"--dialogs=0"}));
    ASSERT_TRUE(browser.ready());
    Background mirsa = m.Start(
        " \"data:text/mrv;charset=UTF-8,/format=html%20/method=quick%20/url=http://a.example/\"");
    const std::string out = m.folder() + "nodialog.rec";
    RunResult click = bench.Run({bench.BinFolder() + "boxclick.exe", "Mirsa Error", out, "1", "60000"}, 90);
    auto boxes = ReadRecords(m.Host(out));
    ASSERT_EQ(boxes.size(), 1u) << click.output;
    EXPECT_EQ(boxes[0].Get("found"), "1");
    EXPECT_EQ(boxes[0].Get("text"),
              "The window of Opera was found, but its Save dialog did not open within 2 seconds. "
              "Nothing was saved.\r\n\r\nThe time-out is \"TimeOut\" in section [Main] of \"" +
                  m.folder() + "Mirsa\\Mirsa.ini\", in seconds (now 2 seconds).");
    EXPECT_TRUE(mirsa.Wait(60000).has_value());
    // The keys reached the browser; no dialog opened and nothing was saved.
    EXPECT_FALSE(RecordsOfKind(browser.LogHostPath(), "key").empty());
    EXPECT_TRUE(RecordsOfKind(browser.LogHostPath(), "dialog").empty());
    EXPECT_FALSE(m.Exists(m.pages() + "MirsaHistory.html"));
}

// Every file of the Wine drive C:, by its Windows path (links are not followed).
std::set<std::string> FilesOnDriveC(const MirsaSetup& m) {
    const fs::path root = m.Host("C:\\");
    std::set<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string relative = fs::relative(it->path(), root).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        files.insert("C:\\" + relative);
    }
    return files;
}

bool EndsRunnable(const std::string& path) {
    const std::string lower = common::AsciiLower(path);
    for (const char* e : {".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".vbs", ".vbe", ".js",
                          ".jse", ".wsf", ".wsh", ".hta", ".lnk", ".url", ".ps1", ".msi", ".reg",
                          ".cpl", ".jar"})
        if (common::EndsWith(lower, e)) return true;
    return false;
}

// Files added between two listings, less the stand-ins' folders and the
// launcher's command files and records in the test folder.
std::vector<std::string> NewFiles(const MirsaSetup& m, const std::set<std::string>& before,
                                  const std::set<std::string>& after) {
    std::vector<std::string> added;
    for (const std::string& f : after)
        if (!before.count(f) && f.rfind(m.folder() + "Opera", 0) != 0 &&
            f.rfind(m.folder() + "run", 0) != 0)
            added.push_back(f);
    return added;
}

// A page cannot plant a runnable file: not by navigating to a data URL of
// Mirsa's type, nor through its title where the browser fills in %T.
TEST(MirsaE2E, PagesCannotPlantRunnableFilesNorAddSwitches) {
    MirsaSetup m;
    const std::string startup = m.folder() + "Startup";
    const std::set<std::string> atStart = FilesOnDriveC(m);
    {
        StubBrowser browser(m.Browser("Innocent page", {"--proposed="}));
        ASSERT_TRUE(browser.ready());
        m.Run(" \"data:text/mrv;charset=UTF-8,/format=html%20/method=quick%20/path=" + startup +
              "%20/text=evil.js\"");
        ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
        EXPECT_EQ(Saved(browser)[0].Get("path"), startup + "\\evil.js.html");
        ASSERT_TRUE(browser.Close());
    }

    // A browser button with /text=‘‘%T’’ as in the help, and a title that brings
    // a /path= of its own: first a screenshot, then a page.
    const std::string title = "Innocent page /path=" + kL + startup + kR;
    const std::set<std::string> beforeTitle = FilesOnDriveC(m);
    {
        StubBrowser::Options o = m.Browser(title, {"--proposed="});
        o.folder = m.folder() + "Opera2\\";
        StubBrowser browser(o);
        ASSERT_TRUE(browser.ready());
        Record run = m.Run(" /format=png /method=quick /text=" + kL + title + kR);
        ASSERT_EQ(run.Get("started"), "1") << run.Get("output");
        ASSERT_TRUE(browser.Close());
    }
    {
        StubBrowser::Options o = m.Browser(title, {"--autosave=1500", "--proposed="});
        o.folder = m.folder() + "Opera3\\";
        StubBrowser browser(o);
        ASSERT_TRUE(browser.ready());
        m.Run(" /format=html /method=quick /text=" + kL + title + kR);
        ASSERT_TRUE(WaitUntil([&] { return !Saved(browser).empty(); }, 30000));
        const std::string saved = Saved(browser)[0].Get("path");
        EXPECT_EQ(saved.rfind(m.pages(), 0), 0u) << saved;
        EXPECT_TRUE(common::EndsWith(saved, ".html")) << saved;
        ASSERT_TRUE(browser.Close());
    }
    const std::set<std::string> atEnd = FilesOnDriveC(m);

    const std::vector<std::string> added = NewFiles(m, atStart, atEnd);
    EXPECT_TRUE(std::count(added.begin(), added.end(), startup + "\\evil.js.html")) << added.size();
    for (const std::string& f : added) EXPECT_FALSE(EndsRunnable(f)) << f;
    // The title runs wrote only into the pages folder: the screenshot and the page.
    const std::vector<std::string> byTitle = NewFiles(m, beforeTitle, atEnd);
    ASSERT_EQ(byTitle.size(), 2u);
    EXPECT_TRUE(common::EndsWith(byTitle[0], ".html")) << byTitle[0];
    EXPECT_TRUE(common::EndsWith(byTitle[1], ".png")) << byTitle[1];
    for (const std::string& f : byTitle) EXPECT_EQ(f.rfind(m.pages(), 0), 0u) << f;
}

// Folders on a network share (\\server\share\..., which Wine serves from
// dosdevices/unc/): saves land there, not under Mirsa's own folder. Wine's
// Save dialog takes no such path, so the browser hands the page over.
TEST(MirsaE2E, FoldersOnANetworkShare) {
    WineBench& bench = WineBench::Get();
    MirsaSetup m;
    const std::string hostShare = m.Host(m.folder() + "ShareOnHost");
    fs::create_directories(hostShare);
    const fs::path unc = fs::path(bench.Prefix()) / "dosdevices" / "unc" / "ocserver";
    fs::create_directories(unc);
    fs::remove(unc / "web");
    fs::create_directory_symlink(hostShare, unc / "web");
    WriteHostFile(m.Host(m.folder() + "Mirsa\\Mirsa.ini"),
                  "[Main]\r\nQuickSaveDir=\\\\ocserver\\web\\Pages\r\nDescription=1\r\n");
    StubBrowser browser(m.Browser("Ignored", {}));
    ASSERT_TRUE(browser.ready());

    const struct {
        std::string switches, hostFolder;
    } cases[] = {
        {"", "/Pages/"},
        {" /path=\\\\ocserver\\web\\Other", "/Other/"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string page = m.folder() + "opr000" + std::to_string(++n) + ".htm";
        WriteHostFile(m.Host(page), "<html><body>shared</body><!-- Mirsa settings /method=quick "
                                    "/url=http://p.example/ /text=Shared" + c.switches + " --></html>");
        m.Run(" " + page);
        EXPECT_EQ(ReadHostFile(hostShare + c.hostFolder + "Shared.html").value_or("<missing>"),
                  "<html><body>shared</body></html>") << c.switches;
        EXPECT_EQ(ReadHostFile(hostShare + c.hostFolder + "descript.ion").value_or("<missing>"),
                  "Shared.html http://p.example/\r\n") << c.switches;
    }
    // The history stays in the pages folder on the share.
    EXPECT_NE(ReadHostFile(hostShare + "/Pages/MirsaHistory.html").value_or("").find("<b>Shared</b>"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(m.Host(m.folder() + "Mirsa\\ocserver")));
}

// Several savers at once in one folder: each rewrite completes, no line of
// descript.ion is lost, no two savers are handed one name, and no temporary
// file stays behind.
TEST(MirsaE2E, ConcurrentSaversKeepEachOthersWork) {
    WineBench& bench = WineBench::Get();
    const std::string folder = bench.TestFolder();
    constexpr int kWriters = 4, kRounds = 25;
    std::vector<Background> writers;
    std::vector<std::string> outs;
    for (int w = 0; w < kWriters; ++w) {
        Record req;
        req.Set("verb", "writers");
        req.Set("folder", folder);
        req.Set("tag", "w" + std::to_string(w));
        req.Set("count", std::to_string(kRounds));
        const std::string request = WriteProbeRequest(folder, req);
        outs.push_back(req.Get("out"));
        writers.push_back(bench.Start({bench.BinFolder() + "probe.exe", request}));
    }
    WriteHostFile(bench.HostPath(folder + "go"), "");
    std::set<std::string> names;
    for (int w = 0; w < kWriters; ++w) {
        ASSERT_EQ(writers[w].Wait(120000), std::optional<int>(0)) << w;
        auto out = ReadRecords(bench.HostPath(outs[w]));
        ASSERT_EQ(out.size(), 1u) << w;
        EXPECT_EQ(out[0].Get("rewrites"), std::to_string(kRounds)) << w;
        std::string list = out[0].Get("names");
        for (std::size_t from = 0, end; (end = list.find(';', from)) != std::string::npos; from = end + 1)
            EXPECT_TRUE(names.insert(list.substr(from, end - from)).second) << list.substr(from, end - from);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kWriters * kRounds));
    const std::string description = ReadHostFile(bench.HostPath(folder + "descript.ion")).value_or("");
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kRounds; ++i) {
            const std::string line = "w" + std::to_string(w) + "_" + std::to_string(i) + ".html w" +
                                     std::to_string(w) + "\r\n";
            EXPECT_NE(description.find(line), std::string::npos) << line;
        }
    const std::string shared = ReadHostFile(bench.HostPath(folder + "shared.txt")).value_or("");
    EXPECT_TRUE(common::EndsWith(shared, "_" + std::to_string(kRounds - 1))) << shared;
    for (const auto& entry : fs::directory_iterator(bench.HostPath(folder)))
        EXPECT_EQ(entry.path().filename().string().find(".~new"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace e2e
