// A scripted world for Mirsa's save runs: the program in C:\Mirsa\, a
// browser window, and a Save dialog that opens on Ctrl+S, on a Ctrl+click or
// on its own, and writes the page to the confirmed path.
#pragma once

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "mirsa/save.h"
#include "mirsa/startup.h"
#include "tests/support/fake_platform.h"

namespace mirsa::testing {

using common::FakePlatform;
using common::WindowId;

inline std::string HistoryTemplate() {
    std::ifstream in(std::string(MIRSA_RESOURCE_DIR) + "/MirsaHistory.html", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kL = "\x91\x91";  // ‘‘
const std::string kR = "\x92\x92";  // ’’

struct SavedByBrowser {
    std::string path;
    int typeIndex = -1;
    bool dialogWasEnabled = true;
};

class MirsaWorld {
public:
    FakePlatform p;
    WindowId browser = 0;
    std::string pageBytes = "<html><body>page</body></html>";
    std::string proposed = "";        // what the next dialog proposes
    std::string caption = "Save as";  // caption of the next dialogs
    int dialogsLeft = 0;              // dialogs that will still open one after another
    std::uint32_t dialogDelayMs = 300;
    std::vector<SavedByBrowser> saved;
    WindowId dialog = 0, nameEdit = 0, typeCombo = 0;
    int dialogsOpened = 0;
    std::vector<std::string> nextProposals;  // per dialog of "all", when set
    // What else the browser writes beside the page it saved (a files folder).
    std::function<void(FakePlatform&, const std::string& path)> alsoSaves;

    MirsaWorld() {
        p.SetModuleFileName("C:\\Mirsa\\Mirsa.exe");
        p.AddFile("C:\\Mirsa\\Mirsa.exe", "MZ");
        p.SetResource("MRHISTORY", HistoryTemplate());
        SetIni("[Main]\r\nQuickSaveDir=C:\\Pages\r\n");
        // A browser that opens its dialog on Ctrl+S or on a Ctrl+left click.
        p.AddKeyObserver([this](FakePlatform& fp, const FakePlatform::KeyRecord& k) {
            if (!k.keyUp && k.virtualKey == common::vk::KeyS && fp.IsKeyDown(common::vk::Control))
                ScheduleDialog();
        });
        p.AddMouseObserver([this](FakePlatform& fp, const FakePlatform::MouseRecord& m) {
            if ((m.flags & common::mouse_flags::LeftDown) && fp.IsKeyDown(common::vk::Control))
                ScheduleDialog();
        });
    }

    void SetIni(const std::string& text) { p.AddFile("C:\\Mirsa\\Mirsa.ini", text); }

    WindowId AddBrowser(const std::string& title = "News - Opera") {
        browser = p.AddWindow({"OpWindow", title});
        return browser;
    }

    // The dialog opens by itself (the browser button saves and starts Mirsa).
    void DialogOpensBy(std::uint32_t ms, int count = 1) {
        dialogsLeft = count;
        p.Schedule(ms, [this](FakePlatform&) { OpenDialog(); });
    }
    // The dialog opens on the next Ctrl+S or Ctrl+click.
    void DialogOpensOnKeys(int count = 1) { dialogsLeft = -count; }

    void ScheduleDialog() {
        if (dialogsLeft >= 0) return;
        dialogsLeft = -dialogsLeft;
        p.Schedule(dialogDelayMs, [this](FakePlatform&) { OpenDialog(); });
    }

    void OpenDialog() {
        if (dialogsLeft <= 0) return;
        --dialogsLeft;
        std::string name = proposed;
        if (static_cast<std::size_t>(dialogsOpened) < nextProposals.size())
            name = nextProposals[dialogsOpened];
        ++dialogsOpened;
        dialog = p.AddWindow({"#32770", caption});
        p.AddWindow({"ComboBox", "", dialog, true, true, false, 0x471, 0, {"Pages"}, 0});
        WindowId ex = p.AddWindow({"ComboBoxEx32", "", dialog, true, true, false, 0x47c});
        WindowId inner = p.AddWindow({"ComboBox", "", ex});
        nameEdit = p.AddWindow({"Edit", name, inner});
        typeCombo = p.AddWindow({"ComboBox", "", dialog, true, true, false, 0x470,
                                 0, {"HTML", "HTML full", "Web archive", "Text"}, 0});
        p.AddWindow({"Button", "Open as &read-only", dialog, false, true, false, 0x410});
        p.AddWindow({"Button", "&Save", dialog, true, true, false, 1});
        p.AddWindow({"Button", "Cancel", dialog, true, true, false, 2});
        WindowId d = dialog;
        p.SetMessageHandler(d, [this, d](FakePlatform& fp, const FakePlatform::SentMessage& m)
                                   -> std::optional<std::intptr_t> {
            if (m.message == common::wm::Command && (m.wParam & 0xFFFF) == 1 &&
                (m.wParam >> 16) == 0)
                Confirm(fp, d);
            return std::nullopt;
        });
        p.SetForeground(dialog);
    }

    void Confirm(FakePlatform& fp, WindowId d) {
        SavedByBrowser s;
        s.path = fp.SendGetText(nameEdit, 4096);
        s.typeIndex = fp.ComboSelection(typeCombo);
        s.dialogWasEnabled = fp.IsEnabled(d);
        fp.WriteFile(s.path, pageBytes);
        if (alsoSaves) alsoSaves(fp, s.path);
        saved.push_back(s);
        fp.DestroyWindow(d);
        fp.SetForeground(browser);
        if (dialogsLeft > 0) fp.Schedule(dialogDelayMs, [this](FakePlatform&) { OpenDialog(); });
    }

    StartOutcome Run(const std::string& tail, SaveHooks hooks = {}) {
        p.SetCommandLine("\"C:\\Mirsa\\Mirsa.exe\"" + tail);
        return RunMirsa(p, hooks);
    }

    std::vector<FakePlatform::MessageBoxRecord> Boxes() const { return p.MessageBoxes(); }
    std::string History() const { return p.FileText("C:\\Pages\\MirsaHistory.html").value_or(""); }
    std::size_t HistoryItems() const {
        std::string h = History();
        std::size_t n = 0;
        for (std::size_t at = h.find("<tr><td>"); at != std::string::npos;
             at = h.find("<tr><td>", at + 1))
            ++n;
        return n;
    }
    // Texts written into the dialog's file-name box, in order.
    std::vector<std::string> NameWrites() const {
        std::vector<std::string> out;
        for (const auto& m : p.Messages())
            if (m.message == common::wm::SetText) out.push_back(m.text);
        return out;
    }
};

}  // namespace mirsa::testing
