// The browser beside a Zelko installation on the fake platform: C:\Opera with
// its profile, an optional running browser window, and a catch-mode view that
// records what the installation showed.
#pragma once

#include <string>
#include <vector>

#include "tests/flow/zelko/zelko_world.h"
#include "zelko/install.h"

namespace zelko::testing {

inline const std::string kBrowserFolder = "C:\\Opera";
inline const std::string kProfile = "C:\\Opera\\profile\\opera6.ini";
inline const std::string kUserJs = "C:\\Opera\\profile\\userjs";
inline const std::string kDefaults = "C:\\Opera\\operadef6.ini";
inline const std::string kBrowserExe = "C:\\Opera\\Opera.exe";
inline const std::string kScriptText = "// ==UserScript==\r\n// @name Zelko\r\n(function(){})();\r\n";

struct RecordingCatchView : CatchModeView {
    std::vector<int> states;
    std::vector<bool> waiting;
    void ShowCatchState(int state) override { states.push_back(state); }
    void SetWaiting(bool w) override { waiting.push_back(w); }
    common::WindowId Owner() override { return 0x777; }
    int Last() const { return states.empty() ? -1 : states.back(); }
};

class BrowserWorld : public ZelkoWorld {
public:
    common::WindowId window = 0;
    std::uint32_t closedAt = 0;
    std::string profile = kProfile;

    explicit BrowserWorld(common::FakePlatform& fake, std::string profile = "") : ZelkoWorld(fake) {
        p.SetResource(kScriptResource, kScriptText);
        p.AddFile(kBrowserExe, "MZ");
        p.AddFile(kDefaults, "[System]\r\nMulti User=0\r\n");
        p.AddFile(kProfile, profile.empty() ? "[State]\r\nRun=0\r\n" : profile);
    }

    // The browser in another folder ("OperaDir"), single-user, stopped.
    void UseBrowserFolder(const std::string& folder) {
        Set("OperaDir", folder);
        p.AddFile(folder + "\\Opera.exe", "MZ");
        p.AddFile(folder + "\\operadef6.ini", "[System]\r\nMulti User=0\r\n");
        profile = folder + "\\profile\\opera6.ini";
        p.AddFile(profile, "[State]\r\nRun=0\r\n");
    }

    std::string Profile(const std::string& section, const std::string& key) {
        return p.IniReadString(profile, section, key, "<none>");
    }
    void SetProfile(const std::string& section, const std::string& key, const std::string& v) {
        p.IniWriteString(profile, section, key, v);
    }
    // The file types as a catch-all install leaves them (media: the four
    // audio/video rows too).
    void TypesInstalled(bool media) {
        const std::string entry = ProgramEntry(p, kFolder);
        for (const FileTypeRow& row : kArchiveRows) SetProfile("File Types", row.type, InstallValue(row, entry));
        if (media)
            for (const FileTypeRow& row : kMediaRows) SetProfile("File Types", row.type, InstallValue(row, entry));
    }
    void ScriptsOn() {
        p.AddFolder(kUserJs);
        SetProfile("User Prefs", "User JavaScript", "1");
        SetProfile("User Prefs", "User JavaScript File", kUserJs);
    }

    // A running browser; clearsAfterMs: when its Run flag goes after WM_CLOSE
    // (never without a value).
    void Running(std::optional<std::uint32_t> clearsAfterMs = 3000) {
        SetProfile("State", "Run", "1");
        common::FakePlatform::WindowSpec spec;
        spec.className = "OpWindow";
        spec.title = "Start - Opera";
        window = p.AddWindow(spec);
        p.SetMessageHandler(window, [this, clearsAfterMs](common::FakePlatform& fake,
                                                          const common::FakePlatform::SentMessage& m)
                                        -> std::optional<std::intptr_t> {
            if (m.message != common::wm::Close) return std::nullopt;
            closedAt = fake.TickCount();
            if (clearsAfterMs)
                fake.Schedule(*clearsAfterMs, [this](common::FakePlatform& f) {
                    f.IniWriteString(profile, "State", "Run", "0");
                });
            return std::nullopt;
        });
    }

    void Install(RecordingCatchView& view, int mode) {
        settings = ReadSettings(p, FindZelkoPlaces(p), kDefaultLeft, kDefaultTop);
        InstallContext c{p, kFolder, settings, texts, view};
        InstallIntoBrowser(c, mode);
    }

    ZelkoSettings settings;
    LanguageTexts texts;
};

}  // namespace zelko::testing
