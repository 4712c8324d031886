#include <gtest/gtest.h>

#include <map>

#include "common/browser.h"
#include "common/ini.h"
#include "mirsa/settings_window.h"
#include "mirsa_world.h"

namespace mirsa::testing {
namespace {

// The window as the controller sees it: texts, checks, enabled state, focus.
struct FakeForm : common::FormView {
    std::map<int, std::string> text;
    std::map<int, bool> checked, enabled;
    int focus = 0, left = 0, top = 0;
    bool shown = false, closed = false;

    explicit FakeForm(const common::FormSpec& spec) : left(spec.left), top(spec.top) {
        for (const auto& c : spec.controls) text[c.id] = c.caption, enabled[c.id] = true;
    }
    common::WindowId Window() override { return 0x4242; }
    std::string Text(int id) override { return text[id]; }
    void SetText(int id, const std::string& t) override { text[id] = t; }
    bool Checked(int id) override { return checked[id]; }
    void SetChecked(int id, bool c) override { checked[id] = c; }
    void Enable(int id, bool e) override { enabled[id] = e; }
    void Focus(int id) override { focus = id; }
    void Move(int l, int t) override { left = l, top = t; }
    void Position(int& l, int& t) override { l = left, t = top; }
    void Show() override { shown = true; }
    void Close() override { closed = true; }
};

// Mirsa started without arguments: the start sequence hands over what it read.
struct SettingsWorld : MirsaWorld {
    MirsaStart start;
    std::unique_ptr<FakeForm> form;
    std::unique_ptr<SettingsWindow> window;

    explicit SettingsWorld(const std::string& ini) {
        SetIni(ini);
        p.AddDrive("D:\\");
        p.SetRegistryUserString(common::browser::kShellFoldersKey, common::browser::kValueDesktop,
                                "C:\\Users\\me\\Desktop");
        EXPECT_EQ(Run("", BuiltInSaveHooks()), StartOutcome::SettingsMode);
        form = std::make_unique<FakeForm>(SettingsFormSpec());
        window = std::make_unique<SettingsWindow>(p, *form, start.settingsFile, start.settings);
        window->Show();
    }
    StartOutcome Run(const std::string& tail, const SaveHooks& hooks) {
        p.SetCommandLine("\"C:\\Mirsa\\Mirsa.exe\"" + tail);
        return RunMirsa(p, hooks, &start);
    }
    std::vector<std::pair<std::string, std::string>> Writes() const {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& op : p.FileOps()) {
            if (op.op != "ini") continue;
            std::size_t slash = op.path2.find('/');
            out.emplace_back(op.path2.substr(0, slash), op.path2.substr(slash + 1));
        }
        return out;
    }
    std::string Ini() const { return p.FileText("C:\\Mirsa\\Mirsa.ini").value_or(""); }
};

const std::string kRussianHistory =
    "\xC2\xE5\xF1\xF2\xE8 \xE8\xF1\xF2\xEE\xF0\xE8\xFE \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED\xE8\xE9.";

// The window filled from the settings, with the captions of the chosen
// language (defaults where the section lacks a key) and the box states.
TEST(MirsaSettingsWindow, ShowFillsTheWindow) {
    struct Case {
        std::string ini;
        std::string wantPages, wantImages, wantHistoryCaption, wantCancel, wantPagesLabel;
        bool history, opera9, english, description, newest;
        int left, top;
    } cases[] = {
        // No "English" key on a system whose code page is not 1251: English.
        {"[Main]\r\nQuickSaveDir=%DesktopDir%\\Saved\r\n", "C:\\Users\\me\\Desktop\\Saved",
         "C:\\Users\\me\\Desktop\\Saved\\_Images", "Write down history of saving.", "Cancel",
         "Folder for quick saving of pages:", true, true, true, false, false, 526, 455},
        {"[Main]\r\nQuickSaveDir=D:\\R\r\nEnglish=0\r\n", "D:\\R", "D:\\R\\_Images", kRussianHistory,
         "\xCE\xF2\xEC\xE5\xED\xE0",
         "\xCF\xE0\xEF\xEA\xE0 \xE4\xEB\xFF \xE1\xFB\xF1\xF2\xF0\xEE\xE3\xEE \xF1\xEE\xF5\xF0\xE0\xED"
         "\xE5\xED\xE8\xFF \xF1\xF2\xF0\xE0\xED\xE8\xF6:",
         true, true, false, false, false, 526, 455},
        {"[Main]\r\nQuickSaveDir=D:\\P\r\nQuickSaveImgDir=D:\\I\r\nEnglish=1\r\nHistory=0\r\n"
         "OperaVersion=8\r\nDescription=1\r\nReverseOrder=1\r\n[Position]\r\nLeft=10\r\nTop=20\r\n"
         "[English]\r\nCancel=Stop\r\n[Language]\r\nCancel=Nein\r\n",
         "D:\\P", "D:\\I", "Write down history of saving.", "Stop", "Folder for quick saving of pages:",
         false, false, true, true, true, 10, 20},
    };
    for (const auto& c : cases) {
        SettingsWorld w(c.ini);
        FakeForm& f = *w.form;
        EXPECT_TRUE(f.shown);
        EXPECT_EQ(f.text[control::PagesFolder], c.wantPages);
        EXPECT_EQ(f.text[control::ImagesFolder], c.wantImages);
        EXPECT_EQ(f.text[control::History], c.wantHistoryCaption);
        EXPECT_EQ(f.text[control::Cancel], c.wantCancel);
        EXPECT_EQ(f.text[control::PagesLabel], c.wantPagesLabel);
        EXPECT_EQ(f.checked[control::History], c.history);
        EXPECT_EQ(f.checked[control::Opera9], c.opera9);
        EXPECT_EQ(f.checked[control::English], c.english);
        EXPECT_EQ(f.checked[control::Description], c.description);
        EXPECT_EQ(f.checked[control::NewestFirst], c.newest);
        EXPECT_EQ(f.enabled[control::OpenHistory], c.history);
        EXPECT_EQ(f.enabled[control::NewestFirst], c.history);
        EXPECT_EQ(f.focus, control::Ok);
        EXPECT_EQ(f.left, c.left);
        EXPECT_EQ(f.top, c.top);
        EXPECT_EQ(f.text[control::Opera9], "Opera 9");
        EXPECT_TRUE(w.Writes().empty());
        EXPECT_TRUE(w.p.HasFolder(c.wantPages));
    }
}

// Each click: the English box switches the seven captions at once (reading
// the sections only), the history box rules the link and the newest-first
// box, browse starts at the typed folder, the link opens the history page.
TEST(MirsaSettingsWindow, Clicks) {
    SettingsWorld w("[Main]\r\nQuickSaveDir=D:\\P\r\n[English]\r\nOpenHistory=See it\r\n");
    FakeForm& f = *w.form;
    f.checked[control::English] = true;
    w.window->OnCommand(control::English);
    EXPECT_EQ(f.text[control::History], "Write down history of saving.");
    EXPECT_EQ(f.text[control::Description], "Write address of page in descript.ion file");
    EXPECT_EQ(f.text[control::NewestFirst], "Reverse order in MirsaHistory (newest at the top)");
    EXPECT_EQ(f.text[control::Cancel], "Cancel");
    EXPECT_EQ(f.text[control::ImagesLabel], "Folder for quick saving of images:");
    EXPECT_EQ(f.text[control::OpenHistory], "See it");
    f.checked[control::English] = false;
    w.window->OnCommand(control::English);
    EXPECT_EQ(f.text[control::History], kRussianHistory);

    f.checked[control::History] = false;
    f.focus = 0;
    w.window->OnCommand(control::History);
    EXPECT_FALSE(f.enabled[control::OpenHistory]);
    EXPECT_FALSE(f.enabled[control::NewestFirst]);
    EXPECT_EQ(f.focus, control::Ok);
    f.checked[control::History] = true;
    w.window->OnCommand(control::History);
    EXPECT_TRUE(f.enabled[control::OpenHistory]);
    EXPECT_TRUE(f.enabled[control::NewestFirst]);

    f.text[control::ImagesFolder] = "E:\\typed";
    w.p.QueueBrowseForFolderAnswer("E:\\chosen");
    w.window->OnCommand(control::ImagesBrowse);
    w.p.QueueBrowseForFolderAnswer(std::nullopt);
    w.window->OnCommand(control::PagesBrowse);
    ASSERT_EQ(w.p.FolderBrowses().size(), 2u);
    EXPECT_EQ(w.p.FolderBrowses()[0].startFolder, "E:\\typed");
    EXPECT_EQ(w.p.FolderBrowses()[0].owner, 0x4242u);
    EXPECT_EQ(w.p.FolderBrowses()[0].title, "");
    EXPECT_EQ(w.p.FolderBrowses()[1].startFolder, "D:\\P");
    EXPECT_EQ(f.text[control::ImagesFolder], "E:\\chosen");
    EXPECT_EQ(f.text[control::PagesFolder], "D:\\P");

    f.text[control::PagesFolder] = "%TEMP%\\x\\";
    w.window->OnCommand(control::OpenHistory);
    f.text[control::PagesFolder] = "D:\\Q";
    w.window->OnCommand(control::OpenHistory);
    EXPECT_EQ(w.p.ShellOpens(), (std::vector<std::string>{"%TEMP%\\x\\MirsaHistory.html",
                                                          "D:\\Q\\MirsaHistory.html"}));
    EXPECT_TRUE(w.Writes().empty());
    EXPECT_FALSE(f.closed);
}

// OK writes exactly the listed keys: the folders only when changed (an
// unchanged "%DesktopDir%" stays as typed), the rest and the position always.
TEST(MirsaSettingsWindow, OkAndCancel) {
    const std::string ini = "[Main]\r\nQuickSaveDir=%DesktopDir%\\S\r\nTimeOut=9\r\n";
    struct Case {
        int button;
        std::string pages, images;
        std::vector<std::pair<std::string, std::string>> wantWrites;
    } cases[] = {
        {control::Ok, "", "",
         {{"Main", "OperaVersion"}, {"Main", "History"}, {"Main", "English"}, {"Main", "Description"},
          {"Main", "ReverseOrder"}, {"Position", "Left"}, {"Position", "Top"}}},
        {control::Ok, "D:\\New", "D:\\Img",
         {{"Main", "QuickSaveDir"}, {"Main", "QuickSaveImgDir"}, {"Main", "OperaVersion"},
          {"Main", "History"}, {"Main", "English"}, {"Main", "Description"}, {"Main", "ReverseOrder"},
          {"Position", "Left"}, {"Position", "Top"}}},
        {control::Cancel, "D:\\New", "", {}},
    };
    for (const auto& c : cases) {
        SettingsWorld w(ini);
        FakeForm& f = *w.form;
        if (!c.pages.empty()) f.text[control::PagesFolder] = c.pages;
        if (!c.images.empty()) f.text[control::ImagesFolder] = c.images;
        f.checked[control::Opera9] = false;
        f.checked[control::History] = false;
        f.checked[control::NewestFirst] = true;
        f.checked[control::Description] = true;
        f.left = 77, f.top = 88;
        w.window->OnCommand(c.button);
        EXPECT_TRUE(f.closed);
        common::IniFile file(w.p, "C:\\Mirsa\\Mirsa.ini");
        EXPECT_EQ(w.Writes(), c.wantWrites);
        if (c.button == control::Cancel) continue;
        EXPECT_EQ(file.Text("Main", "QuickSaveDir"), c.pages.empty() ? "%DesktopDir%\\S" : c.pages);
        EXPECT_EQ(file.Text("Main", "QuickSaveImgDir", "none"), c.images.empty() ? "none" : c.images);
        EXPECT_EQ(file.Text("Main", "OperaVersion"), "8");
        EXPECT_EQ(file.Text("Main", "History"), "0");
        EXPECT_EQ(file.Text("Main", "ReverseOrder"), "1");
        EXPECT_EQ(file.Text("Main", "Description"), "1");
        EXPECT_EQ(file.Text("Main", "English"), "1");  // the system's suggestion, now stored
        EXPECT_EQ(file.Text("Main", "TimeOut"), "9");
        EXPECT_EQ(file.Text("Position", "Left"), "77");
        EXPECT_EQ(file.Text("Position", "Top"), "88");
        EXPECT_EQ(w.Ini().find("[English]"), std::string::npos);
        EXPECT_EQ(w.Ini().find("[Language]"), std::string::npos);
    }
}

// OK where the settings cannot be written at all: the box names the file.
TEST(MirsaSettingsWindow, OkThatCannotWriteNamesTheFile) {
    SettingsWorld w("[Main]\r\nQuickSaveDir=D:\\P\r\n");
    w.p.SetWriteProtected("C:\\Mirsa", true);
    w.window->OnCommand(control::Ok);
    EXPECT_TRUE(w.form->closed);
    ASSERT_EQ(w.Boxes().size(), 1u);
    EXPECT_EQ(w.Boxes()[0].text, "Cannot write file \"C:\\Mirsa\\Mirsa.ini\"");
    EXPECT_EQ(w.Boxes()[0].title, "Mirsa Error");
}

}  // namespace
}  // namespace mirsa::testing
