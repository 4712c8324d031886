// Mirsa.exe's screenshots, conversions and settings window under Wine: the
// PNG decoded and checked against what the browser stand-in painted, the
// converters played by the recorder, the window driven by its controls.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/e2e/mirsa/mirsa_setup.h"
#include "tests/support/png_reader.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

int IntOf(const Record& r, const std::string& key) { return std::atoi(r.Get(key).c_str()); }

// The stand-in paints its page view in four quadrants; area is where the
// page view lies in the picture.
void ExpectQuadrants(const common::Image& image, int top, int width, int height) {
    const struct {
        int x, y;
        std::uint32_t colour;
    } points[] = {{width / 4, top + height / 4, kRed},
                  {width * 3 / 4, top + height / 4, kGreen},
                  {width / 4, top + height * 3 / 4, kBlue},
                  {width * 3 / 4, top + height * 3 / 4, kYellow}};
    for (const auto& pt : points)
        EXPECT_EQ(testing_png::PixelAt(image, pt.x, pt.y), pt.colour) << pt.x << "," << pt.y;
}

std::optional<testing_png::PngFile> ReadPngFile(const MirsaSetup& m, const std::string& path) {
    auto bytes = m.Read(path);
    if (!bytes) return std::nullopt;
    return testing_png::ReadPng(*bytes);
}

bool PngcheckAccepts(const std::string& hostPath) {
    const std::string command = "pngcheck -q '" + hostPath + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

Record Ready(const StubBrowser& b) {
    auto ready = RecordsOfKind(b.LogHostPath(), "ready");
    return ready.empty() ? Record() : ready[0];
}

// "quick" captures the page view, "all" the whole window's client area; a
// minimised browser is restored first.
TEST(MirsaE2E, PngQuickAndAll) {
    struct Case {
        std::string method;
        bool minimized, wholeWindow;
    } cases[] = {{"quick", false, false}, {"all", false, true}, {"quick", true, false}};
    int n = 0;
    for (const auto& c : cases) {
        MirsaSetup m;
        StubBrowser::Options o = m.Browser("Shot Page", {});
        o.folder = m.folder() + "Opera" + std::to_string(++n) + "\\";
        if (c.minimized) o.args.push_back("--minimized=1");
        StubBrowser browser(o);
        ASSERT_TRUE(browser.ready());
        const Record ready = Ready(browser);
        EXPECT_EQ(ready.Get("minimized"), c.minimized ? "1" : "0");
        Record run = m.Run(" /format=png /method=" + c.method);
        ASSERT_EQ(run.Get("started"), "1") << run.Get("output");
        const std::string file = m.pages() + "Shot Page.png";
        auto png = ReadPngFile(m, file);
        ASSERT_TRUE(png) << c.method;
        EXPECT_TRUE(PngcheckAccepts(m.Host(file)));
        if (c.wholeWindow) {
            EXPECT_EQ(png->width, IntOf(ready, "mainWidth"));
            EXPECT_EQ(png->height, IntOf(ready, "mainHeight"));
            const int toolbar = IntOf(ready, "toolbarHeight");
            ExpectQuadrants(png->image, toolbar, png->width, png->height - toolbar);
        } else {
            EXPECT_EQ(png->width, IntOf(ready, "viewWidth"));
            EXPECT_EQ(png->height, IntOf(ready, "viewHeight"));
            ExpectQuadrants(png->image, 0, png->width, png->height);
        }
        EXPECT_EQ(m.HistoryItems(), 1u);
        EXPECT_NE(m.History().find("<b>Shot Page</b>"), std::string::npos);
    }
}

// "simple": Mirsa's own Save dialog, answered here with its proposed name.
TEST(MirsaE2E, PngThroughOwnSaveDialog) {
    MirsaSetup m;
    StubBrowser browser(m.Browser("Own Shot", {}));
    ASSERT_TRUE(browser.ready());
    ASSERT_TRUE(m.SaveThroughOwnDialog(" /format=png /method=simple"));
    auto png = ReadPngFile(m, m.folder() + "Chosen\\Own Shot.png");
    ASSERT_TRUE(png);
    EXPECT_EQ(png->width, IntOf(Ready(browser), "viewWidth"));
    ExpectQuadrants(png->image, 0, png->width, png->height);
    EXPECT_FALSE(m.Exists(m.pages() + "MirsaHistory.html"));
}

// The recorder plays hhc.exe and isiloxc.exe: the project texts byte for
// byte, the output numbered, a leftover _temp_ skipped, the temporary folder
// removed, hhc's title in the history.
TEST(MirsaE2E, ConvertersWriteTheirOutput) {
    MirsaSetup m;
    WineBench& bench = WineBench::Get();
    const std::string projects = m.folder() + "projects\\";
    fs::create_directories(m.Host(projects));
    for (const char* exe : {"hhc", "isiloxc"}) {
        bench.InstallExe("recorder.exe", m.folder() + "Mirsa\\" + exe + ".exe");
        WriteHostFile(m.Host(m.folder() + "Mirsa\\" + exe + ".ini"),
                      IniText("Recorder", {{"ConvertProject", "1"}, {"CopyArg", "last-quoted"},
                                           {"CopyTo", projects}, {"CopyUnique", "1"}}));
    }
    const std::string title = "Say \"Hi\" & Bye";
    const std::string p = m.pages();
    auto hhp = [&](const std::string& temp, const std::string& output) {
        return "[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=" + p + output +
               "\r\nDefault window=main\r\nDefault topic=index.html\r\n[WINDOWS]\r\nmain=\"Say 'Hi' & Bye\""
               ",,,\"index.html\",,,,,,262432,,1056828,[10,10,810,610],,,,1,,,0\r\n[FILES]\r\n" +
               p + temp + "\\index.html";
    };
    struct Case {
        std::string format, leftover, temp, output, projectName, project;
    } cases[] = {
        {"pdb", "", "_temp_", "Say _Hi_ & Bye.pdb", "isiloxc.ixl",
         "<?xml version=\"1.0\"?>\r\n<iSiloXDocumentList>\r\n<iSiloXDocument>\r\n<Source>\r\n<Sources>\r\n"
         "<Path>" + p + "_temp_\\index.html</Path>\r\n</Sources>\r\n</Source>\r\n<Destination>\r\n"
         "<Title>Say \"Hi\" &amp; Bye</Title>\r\n<Files>\r\n<Path>" + p + "Say _Hi_ &amp; Bye.pdb</Path>\r\n"
         "</Files>\r\n</Destination>\r\n<LinkOptions>\r\n<FollowOffsite value=\"no\"/>\r\n</LinkOptions>\r\n"
         "</iSiloXDocument>\r\n</iSiloXDocumentList>"},
        {"chm", "", "_temp_", "Say _Hi_ & Bye.chm", "default.hhp", hhp("_temp_", "Say _Hi_ & Bye.chm")},
        {"chm", "_temp_", "_temp_1", "Say _Hi_ & Bye_1.chm", "default.hhp",
         hhp("_temp_1", "Say _Hi_ & Bye_1.chm")},
    };
    int n = 0;
    for (const auto& c : cases) {
        if (!c.leftover.empty()) fs::create_directories(m.Host(p + c.leftover));
        StubBrowser::Options o = m.Browser(title, {"--autosave=1500"});
        o.folder = m.folder() + "Opera" + std::to_string(++n) + "\\";
        StubBrowser browser(o);
        ASSERT_TRUE(browser.ready());
        Record run = m.Run(" /format=" + c.format);
        ASSERT_EQ(run.Get("started"), "1") << run.Get("output");
        auto saved = RecordsOfKind(browser.LogHostPath(), "saved");
        ASSERT_EQ(saved.size(), 1u) << c.format;
        EXPECT_EQ(saved[0].Get("path"), p + c.temp + "\\index.html");
        EXPECT_EQ(saved[0].Get("type"), "1");
        EXPECT_EQ(m.Read(p + c.output), "converted from " + p + c.temp + "\\" + c.projectName) << c.output;
        if (!c.leftover.empty()) {
            EXPECT_TRUE(fs::exists(m.Host(p + c.leftover)));
        }
        std::optional<std::string> project;
        for (const auto& entry : fs::directory_iterator(m.Host(projects)))
            if (entry.path().filename().string().find(c.projectName) != std::string::npos &&
                ReadHostFile(entry.path().string()).value_or("").find(c.temp + "\\") != std::string::npos)
                project = ReadHostFile(entry.path().string());
        ASSERT_TRUE(project) << c.format;
        EXPECT_EQ(*project, c.project);
        ASSERT_TRUE(browser.Close());
    }
    EXPECT_EQ(m.HistoryItems(), 3u);
    EXPECT_NE(m.History().find("<b>Say 'Hi' & Bye</b>"), std::string::npos);
    EXPECT_NE(m.History().find("<b>Say \"Hi\" & Bye</b>"), std::string::npos);
}

// Two CHM saves of pages with the same title at once: the first converter
// still runs (its hidden window open, so the browser's second dialog keeps
// the foreground) while the second save picks its output name,
// so each gets a name of its own; both items reach the history page, which
// both runs update at the same moment.
TEST(MirsaE2E, TwoConversionsAtOnceTakeTwoNames) {
    MirsaSetup m;
    const std::string hhc = m.folder() + "Mirsa\\hhc.exe";
    WineBench::Get().InstallExe("recorder.exe", hhc);
    WriteHostFile(m.Host(m.folder() + "Mirsa\\hhc.ini"),
                  IniText("Recorder", {{"ConvertProject", "1"}, {"Window", "Converting"}, {"WindowShow", "0"}}));
    const std::string log = m.Host(m.folder() + "Mirsa\\hhc.log");
    StubBrowser browser(m.Browser("Same Title", {"--autosave=1500", "--dialogs=2"}));
    ASSERT_TRUE(browser.ready());
    Background first = m.Start(" /format=chm");
    // The second save answers the browser's second dialog, which follows the first.
    ASSERT_TRUE(WaitForRecord(browser.LogHostPath(), "saved", 90000));
    Background second = m.Start(" /format=chm");
    const bool bothConverting =
        WaitUntil([&] { return RecordsOfKind(log, "window").size() == 2; }, 120000);
    for (int i = 0; i < 2; ++i) {
        Record close;
        close.Set("verb", "close");
        close.Set("class", "RecorderWindow");
        close.Set("title", "Converting");
        RunProbe(m.folder(), close);
    }
    ASSERT_TRUE(bothConverting) << ReadHostFile(log).value_or("");
    EXPECT_TRUE(first.Wait(60000).has_value());
    EXPECT_TRUE(second.Wait(60000).has_value());

    std::set<std::string> outputs, contents;
    for (const auto& entry : fs::directory_iterator(m.Host(m.pages()))) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".chm") {
            outputs.insert(name);
            contents.insert(ReadHostFile(entry.path().string()).value_or(""));
        }
        EXPECT_EQ(name.find("_temp_"), std::string::npos) << name;
    }
    EXPECT_EQ(outputs, (std::set<std::string>{"Same Title.chm", "Same Title_1.chm"}));
    EXPECT_EQ(contents, (std::set<std::string>{"converted from " + m.pages() + "_temp_\\default.hhp",
                                               "converted from " + m.pages() + "_temp_1\\default.hhp"}));
    EXPECT_EQ(m.HistoryItems(), 2u);
    for (const char* link : {"href=\"Same%20Title.chm\"", "href=\"Same%20Title_1.chm\""})
        EXPECT_NE(m.History().find(link), std::string::npos) << link << "\n" << m.History();
    ASSERT_TRUE(browser.Close());
}

const std::string kRussianHistory =
    "\xC2\xE5\xF1\xF2\xE8 \xE8\xF1\xF2\xEE\xF0\xE8\xFE \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED\xE8\xE9.";

Record DriveForm(const MirsaSetup& m, const std::vector<std::string>& steps) {
    Record req;
    req.Set("verb", "form");
    req.Set("title", "  Mirsa 2.4");
    req.Set("font", "Tahoma");  // the window's font, to measure its captions in
    for (std::size_t i = 0; i < steps.size(); ++i) req.Set("step." + std::to_string(i + 1), steps[i]);
    return RunProbe(m.folder(), req, 90);
}

// The controls of one noted state ("sN.") that run into each other or out of
// the client area, as "101/108 " for a pair and "101! " for one outside; the
// number of controls placed goes to count.
std::string Collisions(const Record& r, const std::string& state, int& count) {
    struct Placed {
        std::string id;
        int left, top, right, bottom;
    };
    std::vector<Placed> placed;
    const std::string prefix = state + "rect.";
    for (const auto& [key, value] : r.fields) {
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        Placed p{key.substr(prefix.size()), 0, 0, 0, 0};
        std::istringstream(value) >> p.left >> p.top >> p.right >> p.bottom;
        placed.push_back(p);
    }
    count = static_cast<int>(placed.size());
    const int width = IntOf(r, state + "clientWidth"), height = IntOf(r, state + "clientHeight");
    std::string found;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const Placed& a = placed[i];
        if (a.left < 0 || a.top < 0 || a.right > width || a.bottom > height) found += a.id + "! ";
        for (std::size_t j = i + 1; j < placed.size(); ++j) {
            const Placed& b = placed[j];
            if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                found += a.id + "/" + b.id + " ";
        }
    }
    return found;
}

// Started without arguments: the window as laid out, the English switch,
// the history box ruling the link and the newest-first box, a folder typed
// in, then OK writes the keys; Cancel writes nothing.
TEST(MirsaE2E, SettingsWindow) {
    // A stored choice stays, whatever the system's code page suggests.
    MirsaSetup m("English=0\r\n[English]\r\nCancel=Stop it\r\n");
    const std::string ini = m.folder() + "Mirsa\\Mirsa.ini";
    const std::string before = m.Read(ini).value_or("");
    {
        Background mirsa = m.Start("");
        // Escape answers as Cancel does.
        Record r = DriveForm(m, {"settext 102 C:\\Elsewhere", "key 102 27", "wait 2000"});
        ASSERT_EQ(r.Get("found"), "1") << r.Get("failed");
        EXPECT_NE(r.Get("closedAt"), "") << r.Get("s2.visible");
        EXPECT_TRUE(mirsa.Wait(30000).has_value());
        EXPECT_EQ(m.Read(ini), before);
    }
    Background mirsa = m.Start("");
    Record r = DriveForm(m, {"click 112", "click 112", "click 107", "settext 102 C:\\New Pages",
                                   "click 111", "click 1"});
    ASSERT_EQ(r.Get("found"), "1");
    EXPECT_EQ(r.Get("s0.visible"), "1");
    // Wider than laid out only where Wine's font needs it.
    EXPECT_GE(IntOf(r, "s0.clientWidth"), 282);
    EXPECT_EQ(r.Get("s0.clientHeight"), "224");
    EXPECT_EQ(r.Get("s0.toolWindow"), "1");
    EXPECT_EQ(r.Get("s0.topmost"), "1");
    EXPECT_EQ(r.Get("s0.sizable"), "0");
    EXPECT_EQ(r.Get("s0.left"), "526");
    EXPECT_EQ(r.Get("s0.top"), "455");
    EXPECT_EQ(r.Get("s0.text.102"), m.folder() + "Pages");
    EXPECT_EQ(r.Get("s0.text.105"), m.folder() + "Pages\\_Images");
    EXPECT_EQ(r.Get("s0.text.107"), kRussianHistory);
    EXPECT_EQ(r.Get("s0.checked.107"), "1");
    EXPECT_EQ(r.Get("s0.checked.111"), "1");
    EXPECT_EQ(r.Get("s0.checked.112"), "0");
    EXPECT_EQ(r.Get("s0.enabled.108"), "1");
    // The English box switches the captions at once, and back.
    EXPECT_EQ(r.Get("s1.checked.112"), "1");
    EXPECT_EQ(r.Get("s1.text.107"), "Write down history of saving.");
    EXPECT_EQ(r.Get("s1.text.101"), "Folder for quick saving of pages:");
    EXPECT_EQ(r.Get("s1.text.2"), "Stop it");
    EXPECT_EQ(r.Get("s1.text.108"), "Open MirsaHistory");
    EXPECT_EQ(r.Get("s2.text.107"), kRussianHistory);
    // Every caption in its measured place, clear of the others and inside the
    // window, in both languages.
    EXPECT_EQ(r.Get("face"), "Tahoma");
    for (const char* state : {"s0.", "s1.", "s2."}) {
        int count = 0;
        EXPECT_EQ(Collisions(r, state, count), "") << state;
        EXPECT_EQ(CutCaptions(r, state), "") << state;
        EXPECT_EQ(count, 14) << state;
    }
    EXPECT_EQ(r.Get("s3.checked.107"), "0");
    EXPECT_EQ(r.Get("s3.enabled.108"), "0");
    EXPECT_EQ(r.Get("s3.enabled.109"), "0");
    EXPECT_EQ(r.Get("s5.checked.111"), "0");
    EXPECT_EQ(r.Get("closedAt"), "6");
    EXPECT_TRUE(mirsa.Wait(30000).has_value());

    {
        const std::string text = m.Read(ini).value_or("");
        for (const char* line : {"QuickSaveDir=C:\\New Pages", "OperaVersion=8", "History=0",
                                 "English=0", "Description=0", "ReverseOrder=0", "Left=526", "Top=455",
                                 "TimeOut=30", "Cancel=Stop it"})
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        EXPECT_EQ(text.find("QuickSaveImgDir"), std::string::npos) << text;
    }
}

// At 150 % and 200 % text size (Xvfb's screen is 1280 x 1024): the window,
// its font and its boxes grow with the DPI, every caption whole in the scaled
// font and clear of the others in both languages.
// A quick PNG still holds the stand-in's page view at its size in pixels.
TEST(MirsaE2E, FollowsTheScreensDpi) {
    PrefixDpi screen;
    for (int dpi : {144, 192}) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        ASSERT_TRUE(screen.Set(dpi));
        MirsaSetup m;
        Background mirsa = m.Start("");
        Record r = DriveForm(m, {"click 112"});  // English, and the window stays
        ASSERT_EQ(r.Get("found"), "1");
        ASSERT_EQ(r.Get("dpi"), std::to_string(dpi));
        EXPECT_TRUE(Screenshot(r, std::string(OC_E2E_WORK) + "/screenshots/mirsa-settings-" +
                                      std::to_string(dpi) + "dpi.png", "s1."));
        EXPECT_GE(IntOf(r, "s0.clientWidth"), 282 * dpi / 96);
        EXPECT_EQ(IntOf(r, "s0.clientHeight"), (224 * dpi + 48) / 96);
        for (const char* state : {"s0.", "s1."}) {
            int count = 0;
            EXPECT_EQ(Collisions(r, state, count), "") << state;
            EXPECT_EQ(CutCaptions(r, state), "") << state;
            EXPECT_EQ(count, 14) << state;
        }
        EXPECT_LE(IntOf(r, "s1.bottom"), 1024);
        EXPECT_EQ(DriveForm(m, {"click 2"}).Get("closedAt"), "1");
        EXPECT_TRUE(mirsa.Wait(30000).has_value());
        if (dpi != 144) continue;
        StubBrowser browser(m.Browser("Shot Page", {}));
        ASSERT_TRUE(browser.ready());
        Record run = m.Run(" /format=png /method=quick");
        ASSERT_EQ(run.Get("started"), "1") << run.Get("output");
        auto png = ReadPngFile(m, m.pages() + "Shot Page.png");
        ASSERT_TRUE(png);
        const Record ready = Ready(browser);
        EXPECT_EQ(png->width, IntOf(ready, "viewWidth"));
        EXPECT_EQ(png->height, IntOf(ready, "viewHeight"));
        ExpectQuadrants(png->image, 0, png->width, png->height);
    }
}

}  // namespace
}  // namespace e2e
