// The settings window's logic: what each control shows and what each event
// does, on top of a small view that only draws. Values live in the
// ZelkoSettings of the run until OK writes them to Zelko.ini.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/flashgot.h"
#include "zelko/handoff.h"
#include "zelko/install.h"
#include "zelko/intake.h"
#include "zelko/language.h"

namespace zelko {

// Stable control ids.
namespace control {
constexpr int Ok = 1, Cancel = 2;  // IDOK, IDCANCEL: Enter and Esc
constexpr int FirstManager = 100;  // one radio button per manager, in table order
constexpr int CustomLabel = 201, CustomBox = 202, TemplateEdit = 203, RapGetBox = 204,
              UsdBox = 205, Refresh = 206, CatchModeBox = 207;
constexpr int UpperPanel = 301, LowerPanel = 302;
inline int Manager(std::size_t index) { return FirstManager + static_cast<int>(index); }
// Below the managers: a JDownloader or aria2 found running.
constexpr std::size_t kRunningRows = 2;
constexpr int FirstRunning = 140;
inline int Running(std::size_t index) { return FirstRunning + static_cast<int>(index); }
}  // namespace control

// The window's look.
namespace look {
inline constexpr const char* kCaption = " Zelko 2.5";
constexpr std::uint32_t kWindowColour = 0xECE6E1;  // RGB(225, 230, 236) as COLORREF
constexpr std::uint32_t kPanelColour = 0xFBF4F2;   // RGB(242, 244, 251) as COLORREF
constexpr int kFontHeight = 13;
constexpr int kManagerX = 8, kManagerTop = 6, kManagerStep = 18;
// The upper panel holds one row per manager and two for the managers found
// running, with a margin above and below.
constexpr int kUpperPanelHeight =
    2 * kManagerTop + kManagerStep * static_cast<int>(kManagerCount + control::kRunningRows);
constexpr int kPanelWidth = 179, kLowerPanelHeight = 114;
constexpr int kLowerClientHeight = 111;  // the client area below the upper panel
constexpr int kClientWidth = 177, kClientHeight = kUpperPanelHeight + kLowerClientHeight;
}  // namespace look

enum class ControlKind { Panel, Radio, Label, CheckBox, ThreeState, Edit, DefaultButton, Button };

struct ControlLayout {
    int id;
    ControlKind kind;
    int parent;  // 0: the window itself
    int x, y, width, height;  // width 0: sized to its caption
};
// Every control in creation order: the two panels, the manager buttons, then
// the lower panel's controls.
std::vector<ControlLayout> SettingsLayout();

inline constexpr const char* kProgramFilter = "Program files|*.exe";
inline constexpr const char* kNoReceiverQuestion =
    "Zelko will pass no download on. Keep these settings?";
inline constexpr const char* kTemplateTail = " [url]";

struct ControlState {
    std::string caption;
    int check = 0;  // 0 unticked, 1 ticked, 2 (three-state box) third state
    bool visible = true;
    bool enabled = true;
};

class SettingsView {
public:
    virtual ~SettingsView() = default;
    virtual void Update(int id, const ControlState& state) = 0;
    virtual void Focus(int id) = 0;  // an edit gets its caret at the end
    virtual void Close() = 0;        // ends the program
    virtual common::WindowId Handle() = 0;
    virtual void Position(int& left, int& top) = 0;  // the window's screen position
};

class SettingsController : public CatchModeView {
public:
    // The state at creation: captions, the catch-mode box, the custom label.
    SettingsController(common::Platform& p, StartResult& start, const LanguageTexts& texts,
                       SettingsView& view);

    // Settings mode, when the window is shown.
    void Show();

    void OnManagerClick(std::size_t index);
    // A JDownloader or aria2 found running: the custom template takes its address.
    void OnRunningClick(std::size_t index);
    void OnCustomLabelClick();
    void OnCustomBoxClick();
    void OnTemplateChanged(const std::string& text);
    void OnRapGetClick();
    void OnUsdClick();
    void OnCatchModeClick();
    void OnRefresh();
    void OnOk();
    void OnCancel();
    // Close box or Alt+F4: waits while an installation runs.
    void OnCloseRequest();

    const ControlState& State(int id) const;
    int Focused() const { return focused_; }
    bool Installing() const { return installing_; }
    // An installation or a detection of the managers is under way.
    bool Busy() const { return installing_ || detecting_; }
    const ZelkoSettings& Settings() const { return start_.settings; }

    // CatchModeView
    void ShowCatchState(int state) override;
    void SetWaiting(bool waiting) override;
    common::WindowId Owner() override { return view_.Handle(); }

private:
    void Change(int id, const std::function<void(ControlState&)>& edit);
    void SetCaption(int id, const std::string& caption);
    void SetCheck(int id, int check);
    void SetVisible(int id, bool visible);
    void Focus(int id);
    void ShowLabel(bool label);  // the custom label, or the template edit
    void ShowManagers();
    void ShowRunning();
    void DetectManagersNow();
    void EnablePanels(bool enabled);
    void CustomBoxClicked();
    void CustomLabelCaption();
    std::optional<std::string> AskProgram(const std::string& configured,
                                          const std::string& fileName);
    // Some receiver would take a download with the settings as they stand.
    bool PassesDownloadsOn() const;
    void Save();
    void CloseNow();

    common::Platform& p_;
    StartResult& start_;
    const LanguageTexts& texts_;
    SettingsView& view_;
    std::map<int, ControlState> states_;
    std::vector<ManagerButton> managers_;
    int focused_ = 0;
    bool installing_ = false;
    bool detecting_ = false;
    bool closePending_ = false;
    bool closed_ = false;
    std::string waitingCaption_;
};

}  // namespace zelko
