// The settings window's controller on the fake platform: start state, every
// event, OK and Cancel, the catch-mode cycle, and the language file.
#include <gtest/gtest.h>

#include <functional>

#include "common/json.h"
#include "common/program_places.h"
#include "tests/flow/zelko/install_world.h"
#include "zelko/settings_window.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

struct RecordingView : SettingsView {
    std::map<int, ControlState> shown;
    std::vector<int> focus;
    int closes = 0;
    int left = 600, top = 200;
    void Update(int id, const ControlState& state) override { shown[id] = state; }
    void Focus(int id) override { focus.push_back(id); }
    void Close() override { ++closes; }
    common::WindowId Handle() override { return 0x999; }
    void Position(int& l, int& t) override { l = left, t = top; }
};

// A settings-mode start in the browser world, window shown.
struct SettingsRun {
    BrowserWorld& w;
    StartResult start;
    LanguageTexts texts;
    RecordingView view;
    std::unique_ptr<SettingsController> c;

    explicit SettingsRun(BrowserWorld& world, bool show = true) : w(world) {
        start = w.Run("");
        texts = LoadLanguage(w.p, kFolder, start.settings.language);
        c = std::make_unique<SettingsController>(w.p, start, texts, view);
        if (show) c->Show();
    }
    const ControlState& S(int id) { return view.shown.at(id); }
    std::size_t ManagerIndex(const std::string& name) {
        for (std::size_t i = 0; i < kManagerCount; ++i)
            if (name == ManagerTable[i]) return i;
        return kManagerCount;
    }
};

TEST(SettingsWindow, LayoutHasStableIdsAndTheLowerPanelInOrder) {
    std::vector<ControlLayout> layout = SettingsLayout();
    ASSERT_EQ(layout.size(), 2u + 26u + 2u + 9u);
    EXPECT_EQ(layout[2].y, 6);
    EXPECT_EQ(layout[27].y, 456);
    EXPECT_EQ(layout[28].id, control::Running(0));  // a JDownloader or aria2 found running
    EXPECT_EQ(layout[29].y, 492);
    EXPECT_EQ(layout[1].y, 516);  // the lower panel, below them
    const int order[] = {control::CustomLabel, control::CustomBox, control::TemplateEdit,
                         control::RapGetBox,   control::Ok,        control::Cancel,
                         control::UsdBox,      control::Refresh,   control::CatchModeBox};
    for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(layout[30 + i].id, order[i]);
    EXPECT_EQ(layout[34].x, 6);
    EXPECT_EQ(layout[34].y, 85);
    EXPECT_EQ(layout[34].width, 52);
    EXPECT_EQ(layout[34].kind, ControlKind::DefaultButton);
}

TEST(SettingsWindow, StartStateFromZelkoIni) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> ini;
        bool operaDll;
        int catchState;
        bool catchVisible;
        const char* label;
    };
    const Case cases[] = {
        {"defaults", {}, true, 0, true, "Custom download manager"},
        {"script only", {{"FullInstall", "3"}}, true, 2, true, "Custom download manager"},
        {"types", {{"FullInstall", "7"}, {"CustomDM", "C:\\Tools\\getter.exe \"[url]\""}}, true,
         1, true, "Getter"},
        {"no browser", {{"FullInstall", "1"}}, false, 1, false, "Custom download manager"},
        {"aria2 endpoint", {{"CustomDM", "http://127.0.0.1:6800/jsonrpc"}}, true, 0, true, "aria2"},
        {"secure aria2 endpoint", {{"CustomDM", "HTTPS://nas.home:6800/jsonrpc"}}, true, 0, true,
         "aria2"},
        {"JDownloader", {{"CustomDM", "http://127.0.0.1:9666/flashgot"}}, true, 0, true,
         "JDownloader"},
        {"JDownloader, query after the path", {{"CustomDM", "http://pc:9666/FlashGot?x=1"}}, true,
         0, true, "JDownloader"},
        {"flashgot only as a query", {{"CustomDM", "http://pc:6800/jsonrpc?p=/flashgot"}}, true, 0,
         true, "aria2"},
        {"program in a folder named http", {{"CustomDM", "C:\\http\\getter.exe [url]"}}, true, 0,
         true, "Getter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        if (!c.operaDll) p.RemovePath("C:\\Opera\\opera.dll");
        for (const auto& [k, v] : c.ini) w.Set(k, v);
        SettingsRun run(w, false);
        EXPECT_EQ(run.start.mode, StartMode::Settings);
        EXPECT_EQ(run.S(control::CatchModeBox).check, c.catchState);
        EXPECT_EQ(run.S(control::CatchModeBox).caption, EnglishText(16 + c.catchState));
        EXPECT_EQ(run.S(control::CatchModeBox).visible, c.catchVisible);
        EXPECT_EQ(run.S(control::CustomLabel).caption, c.label);
        EXPECT_FALSE(run.S(control::TemplateEdit).visible);
        EXPECT_EQ(run.S(control::Ok).caption, "OK");
        EXPECT_EQ(run.S(control::Cancel).caption, "Cancel");
        EXPECT_EQ(run.S(control::Refresh).caption, "Refresh");
    }
}

TEST(SettingsWindow, ShownState) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("Advanced", "0");
    w.Set("DM", "FlashGet");
    w.Set("AllDM", "FlashGet;Download Master;");
    w.Set("CustomDM", "C:\\T\\x.exe [url]");
    w.Set("CustomDMEnabled", "1");
    p.AddFile(kRapGet, "MZ");
    w.Set("RapGet", kRapGet);
    SettingsRun run(w);
    for (std::size_t i = 0; i < kManagerCount; ++i) {
        std::string name = ManagerTable[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(run.S(control::Manager(i)).caption, name);
        EXPECT_EQ(run.S(control::Manager(i)).check, name == "FlashGet" ? 1 : 0);
        EXPECT_EQ(run.S(control::Manager(i)).enabled,
                  name == "FlashGet" || name == "Download Master");
    }
    EXPECT_EQ(run.S(control::CustomBox).check, 1);
    EXPECT_EQ(run.S(control::RapGetBox).check, 1);
    EXPECT_EQ(run.S(control::UsdBox).check, 0);
    EXPECT_EQ(run.S(control::TemplateEdit).caption, "C:\\T\\x.exe [url]");
    EXPECT_EQ(run.c->Focused(), control::Ok);
    EXPECT_TRUE(p.StartsOf("FlashGot.exe").empty());  // Advanced off: no re-detection
}

TEST(SettingsWindow, AdvancedReDetectsManagersWhenShown) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("AllDM", "FlashGet;");
    FakePlatform::ProgramBehaviour flashGot;
    flashGot.onStart = [](FakePlatform& f, common::ProcessId, const FakePlatform::StartRecord&) {
        f.AddFile(kFolder + "FlashGot.test", "FlashGot 1.0\r\nFlashGet|OK\r\nReGet|OK\r\n");
    };
    p.OnProgram("FlashGot.exe", flashGot);
    SettingsRun run(w);
    EXPECT_EQ(p.StartsOf("FlashGot.exe").size(), 1u);
    EXPECT_TRUE(run.S(control::Manager(run.ManagerIndex("ReGet"))).enabled);
}

TEST(SettingsWindow, RefreshDetectsAgainAndGathersTheSiteList) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("Advanced", "0");
    w.Set("AllDM", "FlashGet;");
    p.AddFile(kUsd, "MZ");
    w.Set("USD", kUsd);
    w.Set("TransferToUSD", "old.example;");
    p.AddFile("C:\\USD\\plugins\\a.plg", "MZ");
    p.AddLibrary("C:\\USD\\plugins\\a.plg", {"PlgInit", "PlgDestroy"});
    p.SetPluginScript("C:\\USD\\plugins\\a.plg", {{"new.example"}, false, nullptr});
    FakePlatform::ProgramBehaviour flashGot;
    flashGot.onStart = [](FakePlatform& f, common::ProcessId, const FakePlatform::StartRecord&) {
        f.AddFile(kFolder + "FlashGot.test", "FlashGot 1.0\r\nReGet|OK\r\n");
    };
    p.OnProgram("FlashGot.exe", flashGot);
    SettingsRun run(w);
    run.c->OnTemplateChanged("C:\\x.exe [url]");
    run.c->OnCustomLabelClick();  // the edit is shown
    run.c->OnRefresh();
    EXPECT_FALSE(run.S(control::TemplateEdit).visible);
    EXPECT_TRUE(run.S(control::CustomLabel).visible);
    const std::size_t flashGet = run.ManagerIndex("FlashGet"), reGet = run.ManagerIndex("ReGet");
    EXPECT_FALSE(run.S(control::Manager(flashGet)).enabled);
    EXPECT_TRUE(run.S(control::Manager(reGet)).enabled);
    EXPECT_EQ(run.c->Settings().allDm, "ReGet;");
    EXPECT_EQ(run.c->Settings().transferToUsd, "new.example;");
    EXPECT_EQ(w.Get("TransferToUSD"), "old.example;");  // only OK writes
}

// aria2 with a secret as it answers a JSON-RPC call: its list of methods to
// anyone at once; any other call only with the secret, a refusal coming
// later than a probe waits (aria2 slows down guessing).
common::HttpReply Aria2WithSecret(const common::HttpPost& r, const std::string& secret) {
    const auto call = common::ParseJson(r.body);
    const common::JsonValue* method = call ? call->Member("method") : nullptr;
    const common::JsonValue* params = call ? call->Member("params") : nullptr;
    if (method && method->text == "system.listMethods")
        return {common::HttpFailure::None, 200,
                "{\"id\":\"zelko\",\"jsonrpc\":\"2.0\",\"result\":[\"aria2.addUri\","
                "\"aria2.getVersion\",\"system.listMethods\"]}"};
    if (!params || params->items.empty() || params->items[0].text != "token:" + secret)
        return {common::HttpFailure::Timeout, 0, ""};
    return {common::HttpFailure::None, 200,
            "{\"id\":\"zelko\",\"jsonrpc\":\"2.0\",\"result\":{\"version\":\"1.36.0\"}}"};
}

// JDownloader on its port and aria2, with the secret "s", on the front end's
// port answer; the probes each get 300 ms.
common::HttpReply RunningServices(FakePlatform&, const common::HttpPost& r) {
    EXPECT_EQ(r.connectTimeoutMs, 300u);
    EXPECT_EQ(r.replyTimeoutMs, 300u);
    if (r.url == "http://127.0.0.1:9666/jdcheck.js" && r.get)
        return {common::HttpFailure::None, 200, "jdownloader=true;\r\nvar version='2';\r\n"};
    if (r.url == "http://127.0.0.1:16800/jsonrpc" && !r.get) return Aria2WithSecret(r, "s");
    return {common::HttpFailure::CannotConnect, 0, ""};
}

// Detection sends no secret anywhere: whatever listens on aria2's ports gets
// only the question that aria2 answers without one.
TEST(SettingsWindow, DetectionFindsAria2WithoutSendingItsSecret) {
    const std::string listMethods =
        "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"method\":\"system.listMethods\",\"params\":[]}";
    struct Case {
        const char* name;
        std::string iniSecret;  // Aria2Secret; empty: none
        std::string reply;      // what 6800 answers system.listMethods; empty: aria2 itself
        bool found;
    };
    const Case cases[] = {
        {"aria2 with a secret, none in Zelko.ini", "", "", true},
        {"aria2 with a secret, the same in Zelko.ini", "s", "", true},
        {"aria2 with another secret than Zelko.ini's", "t", "", true},
        {"another JSON-RPC service", "s", "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"result\":[\"x.add\"]}", false},
        {"a refusal", "", "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"error\":{\"code\":1,\"message\":\"Unauthorized\"}}", false},
        {"a list that is not one", "", "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"result\":\"aria2.addUri\"}", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        w.Set("Advanced", "0");
        w.Set("AllDM", "FlashGet;");
        if (!c.iniSecret.empty()) w.Set("Aria2Secret", c.iniSecret);
        p.SetHttpResponder([&](FakePlatform&, const common::HttpPost& r) -> common::HttpReply {
            if (r.url != "http://127.0.0.1:6800/jsonrpc") return {common::HttpFailure::CannotConnect, 0, ""};
            if (!c.reply.empty()) return {common::HttpFailure::None, 200, c.reply};
            return Aria2WithSecret(r, "s");
        });
        SettingsRun run(w);
        run.c->OnRefresh();
        EXPECT_EQ(run.S(control::Running(0)).visible, c.found);
        if (c.found) EXPECT_EQ(run.S(control::Running(0)).caption, "aria2");
        ASSERT_GE(p.HttpPosts().size(), 2u);
        EXPECT_EQ(p.HttpPosts()[1].url, "http://127.0.0.1:6800/jsonrpc");
        EXPECT_EQ(p.HttpPosts()[1].body, listMethods);
        for (const common::HttpPost& post : p.HttpPosts())
            EXPECT_EQ(post.body.find("token"), std::string::npos) << post.url;
    }
}

TEST(SettingsWindow, RunningManagersAreOfferedAndFillTheTemplate) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("Advanced", "0");
    w.Set("AllDM", "FlashGet;");
    w.Set("Aria2Secret", "s");
    SettingsRun run(w);
    EXPECT_FALSE(run.S(control::Running(0)).visible);
    EXPECT_TRUE(p.HttpPosts().empty());  // only Refresh looks
    run.c->OnRefresh();  // nothing runs: nothing changes
    EXPECT_FALSE(run.S(control::Running(0)).visible);
    EXPECT_EQ(p.HttpPosts().size(), 3u);

    p.SetHttpResponder(RunningServices);
    run.c->OnRefresh();
    ASSERT_EQ(p.HttpPosts().size(), 6u);
    EXPECT_EQ(p.HttpPosts()[4].body,
              "{\"jsonrpc\":\"2.0\",\"id\":\"zelko\",\"method\":\"system.listMethods\",\"params\":[]}");
    EXPECT_EQ(run.S(control::Running(0)).caption, "JDownloader");
    EXPECT_EQ(run.S(control::Running(1)).caption, "aria2");
    EXPECT_TRUE(run.S(control::Running(1)).visible);
    EXPECT_EQ(run.S(control::Running(0)).check, 0);

    run.c->OnManagerClick(run.ManagerIndex("FlashGet"));
    run.c->OnRunningClick(1);
    EXPECT_EQ(run.S(control::Running(1)).check, 1);
    EXPECT_EQ(run.S(control::Running(0)).check, 0);
    EXPECT_EQ(run.S(control::CustomBox).check, 1);
    EXPECT_EQ(run.S(control::CustomLabel).caption, "aria2");
    EXPECT_EQ(run.S(control::Manager(run.ManagerIndex("FlashGet"))).check, 0);
    run.c->OnRunningClick(0);
    EXPECT_EQ(run.S(control::Running(1)).check, 0);
    EXPECT_EQ(run.S(control::CustomLabel).caption, "JDownloader");
    run.c->OnOk();
    EXPECT_EQ(w.Get("CustomDM"), "http://127.0.0.1:9666/flashgot");
    EXPECT_EQ(w.Get("CustomDMEnabled"), "1");
    EXPECT_EQ(w.Get("DM"), "No");
}

TEST(SettingsWindow, FirstRunTakesARunningManagerWhenNothingElseIsThere) {
    struct Case {
        const char* name;
        std::string flashGotTest;
        std::string customDm;
        std::string wantTemplate;
    };
    const Case cases[] = {
        {"nothing else", "FlashGot 1.0\r\n", "", "http://127.0.0.1:9666/flashgot"},
        {"a manager found", "FlashGot 1.0\r\nReGet|OK\r\n", "", ""},
        {"a template of the user's own", "FlashGot 1.0\r\n", "C:\\get.exe [url]", "C:\\get.exe [url]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        p.RemovePath(kIni);
        if (!c.customDm.empty()) w.Set("CustomDM", c.customDm);
        p.AddFile(kFolder + "FlashGot.test", c.flashGotTest);
        p.SetHttpResponder(RunningServices);
        const StartResult start = w.Run("");
        EXPECT_EQ(start.settings.running.size(), 2u);
        EXPECT_EQ(start.settings.customDm, c.wantTemplate);
        EXPECT_EQ(w.Get("CustomDM"), c.wantTemplate.empty() ? "<none>" : c.wantTemplate);
    }
}

TEST(SettingsWindow, CustomTemplateEvents) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("AllDM", "FlashGet;");
    SettingsRun run(w);
    const std::size_t flashGet = run.ManagerIndex("FlashGet");

    // The label opens the edit and, the edit being empty, the program dialog.
    p.QueueFileDialogAnswer(std::string("C:\\Getters\\fast.exe"));
    run.c->OnCustomLabelClick();
    ASSERT_EQ(p.FileDialogs().size(), 1u);
    EXPECT_EQ(p.FileDialogs()[0].filter, "Program files|*.exe");
    EXPECT_EQ(p.FileDialogs()[0].owner, 0x999u);
    EXPECT_FALSE(p.FileDialogs()[0].save);
    EXPECT_EQ(run.S(control::TemplateEdit).caption, "C:\\Getters\\fast.exe [url]");
    EXPECT_TRUE(run.S(control::TemplateEdit).visible);
    EXPECT_FALSE(run.S(control::CustomLabel).visible);
    EXPECT_EQ(run.S(control::CustomLabel).caption, "Fast");
    EXPECT_EQ(run.S(control::CustomBox).check, 1);
    EXPECT_EQ(run.c->Settings().dm, "No");
    EXPECT_EQ(run.S(control::Manager(flashGet)).check, 0);
    EXPECT_EQ(run.c->Focused(), control::TemplateEdit);

    // Clearing the edit unticks the box and restores the label text.
    run.c->OnTemplateChanged("");
    EXPECT_EQ(run.S(control::CustomBox).check, 0);
    EXPECT_EQ(run.S(control::CustomLabel).caption, "Custom download manager");
    EXPECT_EQ(run.c->Settings().customDm, "");

    // Ticking with an empty edit and cancelling the dialog leaves it unticked.
    run.c->OnCustomBoxClick();
    EXPECT_EQ(p.FileDialogs().size(), 2u);
    EXPECT_EQ(run.S(control::CustomBox).check, 0);

    // A typed template ticks the box; a manager click hides the edit again.
    run.c->OnTemplateChanged("D:\\g.exe -u [url]");
    EXPECT_EQ(run.S(control::CustomBox).check, 1);
    run.c->OnCustomBoxClick();  // untick: label back, nothing else
    EXPECT_TRUE(run.S(control::CustomLabel).visible);
    EXPECT_EQ(run.c->Settings().customDm, "D:\\g.exe -u [url]");
    run.c->OnCustomBoxClick();  // tick with text: no dialog
    EXPECT_EQ(p.FileDialogs().size(), 2u);
    EXPECT_EQ(run.c->Focused(), control::Ok);
    run.c->OnManagerClick(flashGet);
    EXPECT_EQ(run.c->Settings().dm, "FlashGet");
    EXPECT_EQ(run.S(control::Manager(flashGet)).check, 1);
    EXPECT_EQ(run.S(control::CustomBox).check, 0);
    EXPECT_FALSE(run.S(control::TemplateEdit).visible);
}

// A chosen program goes into the template so that it starts as itself: a
// path with blanks in double quotes.
TEST(SettingsWindow, ChosenProgramIsQuotedInTheTemplateWhenItHoldsABlank) {
    struct Case {
        const char* chosen;
        const char* proposed;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Fast Get\\fast.exe", "\"C:\\Program Files\\Fast Get\\fast.exe\" [url]"},
        {"C:\\Getters\\fast.exe", "C:\\Getters\\fast.exe [url]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        FakePlatform p;
        BrowserWorld w(p);
        SettingsRun run(w);
        p.QueueFileDialogAnswer(std::string(c.chosen));
        run.c->OnCustomLabelClick();
        EXPECT_EQ(run.S(control::TemplateEdit).caption, c.proposed);
        EXPECT_EQ(run.c->Settings().customDm, c.proposed);
        EXPECT_EQ(run.S(control::CustomLabel).caption, "Fast");
    }
}

// FlashGot.exe may take up to 100 s. Meanwhile the window answers (its
// messages are dispatched), its controls are off, no click starts a second
// detection or an installation, and a close waits for the detection's end.
TEST(SettingsWindow, DetectionKeepsTheWindowAnsweringAndRunsOnce) {
    for (bool atShow : {true, false}) {
        SCOPED_TRACE(atShow ? "re-detection at show time" : "refresh");
        FakePlatform p;
        BrowserWorld w(p);
        w.Set("AllDM", "FlashGet;");
        w.Set("Advanced", atShow ? "1" : "0");
        SettingsRun run(w, false);
        std::optional<bool> answeredWhileRunning;
        bool panelsOff = false;
        FakePlatform::ProgramBehaviour slow;
        slow.exitAfterMs = 40000;
        slow.onStart = [&](FakePlatform& f, common::ProcessId process,
                           const FakePlatform::StartRecord&) {
            f.AddFile(kFolder + "FlashGot.test", "FlashGot 1.0\r\nReGet|OK\r\n");
            f.Schedule(5000, [&, process](FakePlatform& g) {
                g.QueueMessage([&, process](FakePlatform& h) {
                    answeredWhileRunning = h.IsRunning(process);
                    panelsOff = !run.S(control::UpperPanel).enabled &&
                                !run.S(control::LowerPanel).enabled;
                    run.c->OnRefresh();
                    run.c->OnCatchModeClick();
                    run.c->OnOk();
                    run.c->OnCloseRequest();
                });
            });
        };
        p.OnProgram("FlashGot.exe", slow);
        if (atShow)
            run.c->Show();
        else
            run.c->OnRefresh();

        EXPECT_EQ(answeredWhileRunning, std::optional<bool>(true));
        EXPECT_TRUE(panelsOff);
        EXPECT_EQ(p.StartsOf("FlashGot.exe").size(), 1u);
        EXPECT_FALSE(p.HasFile(kProfile + ".bak"));  // no installation began
        EXPECT_EQ(run.c->Settings().allDm, "ReGet;");
        EXPECT_EQ(run.view.closes, 1);                // the close, once detection ended
        EXPECT_EQ(w.Get("AllDM"), "FlashGet;");        // OK was not taken
        EXPECT_TRUE(run.S(control::LowerPanel).enabled);
    }
}

struct ProgramBoxCase {
    const char* name;
    int box;
    bool tickedBefore;
    std::optional<std::string> answer;
    int checkAfter;
    const char* value;  // the setting after
    const char* proposed;
};

TEST(SettingsWindow, RapGetAndUsdBoxes) {
    const ProgramBoxCase cases[] = {
        {"rapget chosen", control::RapGetBox, false, std::string("C:\\R\\rg.exe"), 1,
         "C:\\R\\rg.exe", "rapget.exe"},
        {"rapget cancelled", control::RapGetBox, false, std::nullopt, 0, "", "rapget.exe"},
        {"rapget unticked", control::RapGetBox, true, std::nullopt, 0, "", nullptr},
        {"usd chosen", control::UsdBox, false, std::string(kUsd), 1, kUsd.c_str(),
         "USDownloader.exe"},
        {"usd cancelled", control::UsdBox, false, std::nullopt, 0, "", "USDownloader.exe"},
        {"usd unticked", control::UsdBox, true, std::nullopt, 0, "", nullptr},
    };
    for (const ProgramBoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        BrowserWorld w(p);
        p.AddFile(kUsd, "MZ");
        p.AddFile("C:\\USD\\plugins\\a.plg", "MZ");
        p.AddLibrary("C:\\USD\\plugins\\a.plg", {"PlgInit", "PlgDestroy"});
        p.SetPluginScript("C:\\USD\\plugins\\a.plg", {{"share.example"}, false, nullptr});
        if (c.tickedBefore) {
            p.AddFile(kRapGet, "MZ");
            w.Set("RapGet", kRapGet);
            w.Set("USD", kUsd);
            w.Set("TransferToUSD", "old.example;");
        }
        SettingsRun run(w);
        EXPECT_EQ(run.S(c.box).check, c.tickedBefore ? 1 : 0);
        p.QueueFileDialogAnswer(c.answer);
        if (c.box == control::RapGetBox)
            run.c->OnRapGetClick();
        else
            run.c->OnUsdClick();
        EXPECT_EQ(run.S(c.box).check, c.checkAfter);
        const ZelkoSettings& s = run.c->Settings();
        EXPECT_EQ(c.box == control::RapGetBox ? s.rapGet : s.usd, c.value);
        if (c.proposed) {
            ASSERT_EQ(p.FileDialogs().size(), 1u);
            EXPECT_EQ(p.FileDialogs()[0].fileName, c.proposed);
        } else {
            EXPECT_TRUE(p.FileDialogs().empty());
        }
        if (c.box == control::UsdBox && c.answer) {
            EXPECT_EQ(s.transferToUsd, "share.example;");
        }
        EXPECT_EQ(run.c->Focused(), control::Ok);
    }
}

TEST(SettingsWindow, OkWritesExactlyTheListedKeysAndCancelNothing) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("Advanced", "0");
    w.Set("AllDM", "FlashGet;ReGet;");
    w.Set("TransferToUSD", "kept.example;");
    p.AddFile(kUsd, "MZ");
    w.Set("USD", kUsd);
    {
        SettingsRun run(w);
        run.c->OnManagerClick(run.ManagerIndex("ReGet"));
        const std::string before = *p.FileText(kIni);
        run.c->OnCancel();
        EXPECT_EQ(run.view.closes, 1);
        EXPECT_EQ(p.FileText(kIni), before);
        p.ReleaseMutex(run.start.settingsMutex);
    }
    SettingsRun run(w);
    run.c->OnManagerClick(run.ManagerIndex("ReGet"));
    run.c->OnTemplateChanged("C:\\x.exe [url]");
    run.c->OnUsdClick();  // unticks: no USD, site list left alone
    run.view.left = 12;
    run.view.top = -4;
    run.c->OnOk();
    EXPECT_EQ(run.view.closes, 1);
    EXPECT_EQ(w.Get("DM"), "ReGet");
    EXPECT_EQ(w.Get("AllDM"), "FlashGet;ReGet;");
    EXPECT_EQ(w.Get("CustomDM"), "C:\\x.exe [url]");
    EXPECT_EQ(w.Get("CustomDMEnabled"), "1");
    EXPECT_EQ(w.Get("USD"), "");
    EXPECT_EQ(w.Get("TransferToUSD"), "kept.example;");
    EXPECT_EQ(w.Get("RapGet"), "");
    EXPECT_EQ(w.Get("FullInstall"), "0");
    EXPECT_EQ(p.IniReadString(kIni, "Position", "Left", ""), "12");
    EXPECT_EQ(p.IniReadString(kIni, "Position", "Top", ""), "-4");
}

// OK that would leave every download to nobody asks first; No keeps the
// window open with nothing written.
TEST(SettingsWindow, OkWithNoReceiverAsksFirst) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> ini;  // over DM=No
        std::string typed;      // into the template field
        bool secondClick;       // on the custom box after typing: unticks it
        bool asked;
    };
    const Case cases[] = {
        {{}, "", false, true},
        {{}, "http://127.0.0.1:6800/jsonrpc", true, true},
        {{{"CustomDMEnabled", "1"}}, "", false, true},  // ticked, no template
        {{{"DM", "FlashGet"}}, "", false, false},
        {{}, "C:\\x.exe [url]", false, false},
        {{{"RapGet", kRapGet}}, "", false, false},
        {{{"USD", kUsd}, {"TransferToUSD", "share.example;"}}, "", false, false},
    };
    for (const Case& c : cases) {
        for (int answer : {common::answer::No, common::answer::Yes}) {
            SCOPED_TRACE(c.typed + (c.ini.empty() ? "" : c.ini[0].first) + std::to_string(answer));
            FakePlatform p;
            BrowserWorld w(p);
            p.AddFile(kRapGet, "MZ");
            p.AddFile(kUsd, "MZ");
            w.Set("Advanced", "0");
            w.Set("DM", "No");
            for (const auto& [key, value] : c.ini) w.Set(key, value);
            SettingsRun run(w);
            if (!c.typed.empty()) run.c->OnTemplateChanged(c.typed);
            if (c.secondClick) run.c->OnCustomBoxClick();
            const std::string before = *p.FileText(kIni);
            p.QueueMessageBoxAnswer(answer);
            run.c->OnOk();
            ASSERT_EQ(p.MessageBoxes().size(), c.asked ? 1u : 0u);
            const bool kept = c.asked && answer == common::answer::No;
            EXPECT_EQ(run.view.closes, kept ? 0 : 1);
            EXPECT_EQ(*p.FileText(kIni) == before, kept);
            if (!c.asked) continue;
            EXPECT_EQ(p.MessageBoxes()[0].text, "Zelko will pass no download on. Keep these settings?");
            EXPECT_EQ(p.MessageBoxes()[0].title, "Zelko");
            EXPECT_EQ(p.MessageBoxes()[0].flags, common::mb::YesNo | common::mb::IconQuestion);
            EXPECT_EQ(p.MessageBoxes()[0].owner, 0x999u);
        }
    }
}

// The steps of the guide's "Zelko and aria2", done as written.
TEST(SettingsWindow, GuideAria2StepsLeaveTheTemplateOn) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("Advanced", "0");
    SettingsRun run(w);
    // 1. "Click the text Custom download manager: a program picker opens. Press Cancel in it."
    ASSERT_EQ(run.S(control::CustomLabel).caption, "Custom download manager");
    p.QueueFileDialogAnswer(std::nullopt);
    run.c->OnCustomLabelClick();
    ASSERT_EQ(p.FileDialogs().size(), 1u);
    // 2. "A text field is now where the label was, with the cursor in it. Type the address:
    //    the box before it ticks itself as you type."
    EXPECT_TRUE(run.S(control::TemplateEdit).visible);
    EXPECT_EQ(run.c->Focused(), control::TemplateEdit);
    const std::string address = "http://127.0.0.1:6800/jsonrpc";
    for (std::size_t typed = 1; typed <= address.size(); ++typed)
        run.c->OnTemplateChanged(address.substr(0, typed));
    EXPECT_EQ(run.S(control::CustomBox).check, 1);
    // 3. "Do not click the box. Press OK. The text then reads aria2, CustomDMEnabled=1."
    run.c->OnOk();
    EXPECT_TRUE(p.MessageBoxes().empty());
    EXPECT_EQ(run.S(control::CustomLabel).caption, "aria2");
    EXPECT_EQ(w.Get("CustomDMEnabled"), "1");
    EXPECT_EQ(w.Get("CustomDM"), address);
}

TEST(SettingsWindow, OkInAFolderThatCannotBeWrittenKeepsTheChoicePerUser) {
    FakePlatform p;
    const std::string userIni = "C:\\Documents and Settings\\User\\Application Data\\Zelko\\" +
                                common::InstallFolderName(p, kFolder) + "\\Zelko.ini";
    BrowserWorld w(p);
    w.Set("Advanced", "0");
    w.Set("AllDM", "FlashGet;ReGet;");
    p.SetWriteProtected(kFolder, true);
    const std::string before = *p.FileText(kIni);
    {
        SettingsRun run(w);
        run.c->OnManagerClick(run.ManagerIndex("ReGet"));
        run.c->OnOk();
        p.ReleaseMutex(run.start.settingsMutex);
    }
    EXPECT_EQ(p.FileText(kIni), before);
    EXPECT_EQ(p.IniReadString(userIni, "Main", "DM", ""), "ReGet");
    SettingsRun again(w);
    EXPECT_EQ(again.start.settings.dm, "ReGet");
    EXPECT_TRUE(again.S(control::Manager(again.ManagerIndex("ReGet"))).check);
    EXPECT_TRUE(p.MessageBoxes().empty());
}

TEST(SettingsWindow, CatchModeBoxCyclesThroughTheThreeModes) {
    FakePlatform p;
    BrowserWorld w(p);
    w.ScriptsOn();
    p.AddFile(kUserJs + "\\Zelko.js", "older script");
    SettingsRun run(w);
    const int expected[][2] = {{2, 3}, {1, 2}, {0, 0}};  // box state, FullInstall
    for (const auto& step : expected) {
        run.c->OnCatchModeClick();
        EXPECT_EQ(run.S(control::CatchModeBox).check, step[0]);
        EXPECT_EQ(run.S(control::CatchModeBox).caption, EnglishText(16 + step[0]));
        EXPECT_EQ(w.Get("FullInstall"), std::to_string(step[1]));
        EXPECT_EQ(run.c->Focused(), control::Ok);
    }
    EXPECT_EQ(SettingsLayout().size(), 39u);
}

// Closing while the browser is awaited waits for the end of the installation,
// so the browser that was closed is started again.
TEST(SettingsWindow, CloseDuringInstallationIsDeferred) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Running(5000);
    SettingsRun run(w);
    bool closedWhileWaiting = false;
    p.Schedule(1500, [&](FakePlatform&) {
        run.c->OnCloseRequest();
        run.c->OnOk();
        closedWhileWaiting = run.view.closes > 0;
        EXPECT_FALSE(run.S(control::LowerPanel).enabled);
        EXPECT_EQ(run.S(control::CatchModeBox).caption, "Please wait...");
    });
    run.c->OnCatchModeClick();
    EXPECT_FALSE(closedWhileWaiting);
    EXPECT_EQ(run.view.closes, 1);
    EXPECT_EQ(p.StartsOf("Opera.exe").size(), 1u);
    EXPECT_TRUE(run.S(control::LowerPanel).enabled);
    EXPECT_TRUE(run.S(control::UpperPanel).enabled);
    EXPECT_EQ(p.IniReadString(kIni, "Position", "Left", "<none>"), "<none>");  // OK saved nothing
}

std::string Repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(LanguageFile, EachKeyFallsBackToEnglishOnItsOwn) {
    struct Case {
        const char* name;
        std::optional<std::string> file;  // nullopt: no file
        std::string language;
        std::map<int, std::string> expected;  // keys that differ from English
    };
    const Case cases[] = {
        {"no file", std::nullopt, "en", {}},
        {"no section", std::string("[de]\r\n10=Gut\r\n"), "fr", {}},
        {"some keys", std::string("[fr]\r\n10=D'accord\r\n12=Actualiser\r\n"), "fr",
         {{10, "D'accord"}, {12, "Actualiser"}}},
        {"utf-8 to ansi", std::string("[fr]\r\n11=Annul\xC3\xA9\r\n"), "fr", {{11, "Annul\xE9"}}},
        {"empty and invalid values", std::string("[fr]\r\n10=\r\n11=Annul\xE9\r\n12=\xC3\r\n"),
         "fr", {}},
        // Values of 4 KB: an INI read gives at most 4,095 bytes; 2,047 two-byte
        // characters fit whole, 2,100 are cut inside one and the rest is not UTF-8.
        {"4 KB values", "[ru]\r\n10=" + Repeated("\xC3\xA9", 2047) + "\r\n11=" + Repeated("\xC3\xA9", 2100) +
                            "\r\n12=" + std::string(5000, 'x') + "\r\n",
         "ru", {{10, std::string(2047, '\xE9')}, {12, std::string(4095, 'x')}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        if (c.file) p.AddFile(kFolder + "Zelko_lang.ini", *c.file);
        LanguageTexts texts = LoadLanguage(p, kFolder, c.language);
        for (int key : {10, 11, 12, 15, 16, 17, 18, 19, 20}) {
            auto it = c.expected.find(key);
            EXPECT_EQ(texts.Text(key), it == c.expected.end() ? EnglishText(key) : it->second)
                << key;
        }
    }
}

TEST(LanguageFile, TextsReachTheWindowAndTheQuestion) {
    FakePlatform p;
    BrowserWorld w(p);
    w.Set("Language", "xx");
    p.AddFile(kFolder + "Zelko_lang.ini",
              "[xx]\r\n10=Ja\r\n15=Eigener\r\n17=Alles\r\n18=Strg\r\n19=Neu starten?\r\n");
    w.Running(100);
    p.QueueMessageBoxAnswer(common::answer::Cancel);
    SettingsRun run(w);
    EXPECT_EQ(run.S(control::Ok).caption, "Ja");
    EXPECT_EQ(run.S(control::Cancel).caption, "Cancel");
    EXPECT_EQ(run.S(control::CustomLabel).caption, "Eigener");
    run.c->OnCatchModeClick();
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "Neu starten?");
    EXPECT_EQ(run.S(control::CatchModeBox).caption, "Don't catch links");
}

}  // namespace
}  // namespace zelko::testing
