#include <gtest/gtest.h>

#include "common/helpers.h"
#include "mirsa/screenshot.h"
#include "mirsa_world.h"
#include "tests/support/png_reader.h"

namespace mirsa::testing {
namespace {

common::Image Flat(int width, int height, std::uint8_t shade) {
    common::Image image;
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<std::size_t>(width) * height * 3, shade);
    return image;
}

// A browser with its window chain down to the page view; the page view and
// the whole window each show their own picture.
struct ShotWorld : MirsaWorld {
    WindowId pageView = 0;
    common::Image viewImage = Flat(40, 30, 0x11), windowImage = Flat(64, 48, 0x22);

    explicit ShotWorld(const std::string& title = "News", const std::string& ini = "") {
        SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\n" + ini);
        AddBrowser(title + " - Opera");
        WindowId page = p.AddWindow({"OperaWindowClass", title, browser});
        WindowId a = p.AddWindow({"OperaWindowClass", "", page});
        WindowId b = p.AddWindow({"OpWindow", "", a});
        WindowId c = p.AddWindow({"OperaWindowClass", "", b});
        pageView = p.AddWindow({"OperaWindowClass", "", c});
        p.SetCapture(pageView, viewImage);
        p.SetCapture(browser, windowImage);
        p.SetForeground(browser);
    }
    StartOutcome Shot(const std::string& switches) { return Run(" /format=png " + switches, BuiltInSaveHooks()); }
    std::optional<common::Image> Png(const std::string& path) const {
        auto bytes = p.FileText(path);
        if (!bytes) return std::nullopt;
        auto png = testing_png::ReadPng(*bytes);
        if (!png) return std::nullopt;
        return png->image;
    }
};

// The quick family writes the page view ("all": the whole window) into the
// target folder under the working or text name, numbered when taken, and
// records it; names with escaped separators stay inside the folder.
TEST(MirsaScreenshot, QuickFamily) {
    struct Case {
        std::string title, switches;
        int runs;
        std::vector<std::string> wantFiles;
        bool wholeWindow;
        std::string wantHistoryTitle;
    } cases[] = {
        {"News", "/method=quick", 1, {"C:\\Pages\\News.png"}, false, "News"},
        {"News", "/method=all", 1, {"C:\\Pages\\News.png"}, true, "News"},
        {"News", "/method=folder /url=http://www.site.org/a", 1, {"C:\\Pages\\site.org\\News.png"}, false, "News"},
        {"News", "/method=quick /text=\x91\x91My page\x92\x92", 1, {"C:\\Pages\\My page.png"}, false, "My page"},
        {"", "/method=quick", 2, {"C:\\Pages\\untitled.png", "C:\\Pages\\untitled_1.png"}, false, "untitled"},
        {"a%5C..%5C..%5Cevil", "/method=quick", 1, {"C:\\Pages\\a_.._.._evil.png"}, false, "a\\..\\..\\evil"},
    };
    for (const auto& c : cases) {
        ShotWorld w(c.title, "Description=1\r\n");
        for (int i = 0; i < c.runs; ++i) EXPECT_EQ(w.Shot(c.switches), StartOutcome::SaveRunDone);
        std::vector<std::string> pngs;
        for (const auto& f : w.p.FilesUnder())
            if (f.size() > 4 && f.substr(f.size() - 4) == ".png") pngs.push_back(f);
        EXPECT_EQ(pngs, c.wantFiles) << c.switches;
        for (const auto& f : c.wantFiles) {
            auto image = w.Png(f);
            ASSERT_TRUE(image) << f;
            EXPECT_EQ(image->rgb, (c.wholeWindow ? w.windowImage : w.viewImage).rgb) << f;
        }
        EXPECT_EQ(w.HistoryItems(), static_cast<std::size_t>(c.runs)) << c.switches;
        EXPECT_NE(w.History().find("<b>" + c.wantHistoryTitle + "</b>"), std::string::npos) << w.History();
        const std::string folder = common::FolderOfPath(c.wantFiles[0]);
        EXPECT_NE(w.p.FileText(folder + "descript.ion").value_or("").find(common::FileNameOfPath(c.wantFiles[0])),
                  std::string::npos);
        EXPECT_TRUE(w.Boxes().empty());
    }
}

// A failed capture or write leaves no file and records nothing.
TEST(MirsaScreenshot, FailuresRecordNothing) {
    enum class Fault { NoCapture, WriteFails };
    for (Fault fault : {Fault::NoCapture, Fault::WriteFails}) {
        ShotWorld w("News", "Description=1\r\n");
        if (fault == Fault::NoCapture) w.p.SetCapture(w.pageView, common::Image{});
        if (fault == Fault::WriteFails) w.p.FailWritesTo("C:\\Pages\\News.png");
        w.Shot("/method=quick");
        for (const auto& f : w.p.FilesUnder("C:\\Pages"))
            EXPECT_EQ(f.find(".png"), std::string::npos) << f;
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html"));
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\descript.ion"));
    }
}

// "simple": the program's own Save dialog over the browser; the user may type
// a new name; the picture is the page view; nothing is recorded.
TEST(MirsaScreenshot, SimpleUsesOwnSaveDialog) {
    struct Case {
        std::optional<std::string> answer;
        bool written;
    } cases[] = {{"D:\\Shots\\mine.png", true}, {std::nullopt, false}};
    for (const auto& c : cases) {
        ShotWorld w("Tom %2F Jerry");
        w.p.AddFolder("D:\\Shots");
        w.p.QueueFileDialogAnswer(c.answer);
        w.Shot("/method=simple");
        ASSERT_EQ(w.p.FileDialogs().size(), 1u);
        const auto& d = w.p.FileDialogs()[0];
        EXPECT_TRUE(d.save);
        EXPECT_EQ(d.owner, w.browser);
        EXPECT_EQ(d.filter, "Portable Network Graphics (*.png)|*.png");
        EXPECT_EQ(d.fileName, "Tom _ Jerry.png");
        EXPECT_EQ(d.flags, kPhfDialogFlags);
        EXPECT_EQ(d.flags & ofn::FileMustExist, 0u);
        EXPECT_EQ(w.p.HasFile("D:\\Shots\\mine.png"), c.written);
        if (c.written) EXPECT_EQ(w.Png("D:\\Shots\\mine.png")->rgb, w.viewImage.rgb);
        EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html"));
    }
}

// A minimised browser is restored and brought to the front before the
// capture, also when it still holds the foreground.
TEST(MirsaScreenshot, MinimisedBrowserIsRestored) {
    for (bool stillForeground : {false, true}) {
        ShotWorld w;
        WindowId other = w.p.AddWindow({"Other", "Editor"});
        w.p.SetForeground(stillForeground ? w.browser : other);
        w.p.SetIconic(w.browser, true);
        w.Shot("/method=quick");
        auto commands = w.p.ShowCommands(w.browser);
        ASSERT_FALSE(commands.empty()) << stillForeground;
        EXPECT_EQ(commands[0], common::sw::Restore);
        EXPECT_EQ(w.p.ForegroundWindow(), w.browser);
        EXPECT_TRUE(w.p.HasFile("C:\\Pages\\News.png"));
    }
}

}  // namespace
}  // namespace mirsa::testing
