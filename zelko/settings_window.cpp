#include "zelko/settings_window.h"

#include "common/helpers.h"
#include "common/ini.h"
#include "zelko/network_receiver.h"
#include "zelko/plugins.h"
#include "zelko/receiver_detection.h"

namespace zelko {

namespace {
constexpr int kCaptionSized = 0, kCheckHeight = 17;
}

std::vector<ControlLayout> SettingsLayout() {
    using K = ControlKind;
    std::vector<ControlLayout> layout = {
        {control::UpperPanel, K::Panel, 0, 0, 0, look::kPanelWidth, look::kUpperPanelHeight},
        {control::LowerPanel, K::Panel, 0, 0, look::kUpperPanelHeight, look::kPanelWidth,
         look::kLowerPanelHeight},
    };
    for (std::size_t i = 0; i < kManagerCount; ++i)
        layout.push_back({control::Manager(i), K::Radio, control::UpperPanel, look::kManagerX,
                          look::kManagerTop + look::kManagerStep * static_cast<int>(i),
                          kCaptionSized, kCheckHeight});
    for (std::size_t i = 0; i < control::kRunningRows; ++i)
        layout.push_back({control::Running(i), K::Radio, control::UpperPanel, look::kManagerX,
                          look::kManagerTop +
                              look::kManagerStep * static_cast<int>(kManagerCount + i),
                          kCaptionSized, kCheckHeight});
    const int panel = control::LowerPanel;
    const ControlLayout lower[] = {
        {control::CustomLabel, K::Label, panel, 25, 3, 146, 15},
        {control::CustomBox, K::CheckBox, panel, 8, 0, 17, 20},
        {control::TemplateEdit, K::Edit, panel, 25, 1, 146, 17},
        {control::RapGetBox, K::CheckBox, panel, 8, 20, kCaptionSized, kCheckHeight},
        {control::Ok, K::DefaultButton, panel, 6, 85, 52, 21},
        {control::Cancel, K::Button, panel, 61, 85, 52, 21},
        {control::UsdBox, K::CheckBox, panel, 8, 40, kCaptionSized, kCheckHeight},
        {control::Refresh, K::Button, panel, 116, 85, 57, 21},
        {control::CatchModeBox, K::ThreeState, panel, 8, 60, kCaptionSized, kCheckHeight},
    };
    layout.insert(layout.end(), std::begin(lower), std::end(lower));
    return layout;
}

SettingsController::SettingsController(common::Platform& p, StartResult& start,
                                       const LanguageTexts& texts, SettingsView& view)
    : p_(p), start_(start), texts_(texts), view_(view) {
    for (const ControlLayout& c : SettingsLayout()) {
        states_[c.id] = ControlState{};
        view_.Update(c.id, states_[c.id]);
    }
    for (std::size_t i = 0; i < kManagerCount; ++i) {
        managers_.push_back({ManagerTable[i], true, false});
        SetCaption(control::Manager(i), ManagerTable[i]);
    }
    SetCaption(control::Ok, texts_.Text(text::Ok));
    SetCaption(control::Cancel, texts_.Text(text::Cancel));
    SetCaption(control::Refresh, texts_.Text(text::Refresh));
    SetCaption(control::RapGetBox, "RapGet");
    SetCaption(control::UsdBox, "Universal Share Downloader");
    ShowCatchState(CatchStateOfFullInstall(start_.settings.fullInstall));
    SetVisible(control::CatchModeBox, start_.browserInstalled);
    SetVisible(control::TemplateEdit, false);
    for (std::size_t i = 0; i < control::kRunningRows; ++i) SetVisible(control::Running(i), false);
    CustomLabelCaption();
}

const ControlState& SettingsController::State(int id) const {
    static const ControlState none{"", 0, false, false};
    auto it = states_.find(id);
    return it == states_.end() ? none : it->second;
}

void SettingsController::Change(int id, const std::function<void(ControlState&)>& edit) {
    ControlState& state = states_[id];
    edit(state);
    view_.Update(id, state);
}

void SettingsController::SetCaption(int id, const std::string& caption) {
    Change(id, [&](ControlState& s) { s.caption = caption; });
}

void SettingsController::SetCheck(int id, int check) {
    Change(id, [&](ControlState& s) { s.check = check; });
}

void SettingsController::SetVisible(int id, bool visible) {
    Change(id, [&](ControlState& s) { s.visible = visible; });
}

void SettingsController::Focus(int id) {
    focused_ = id;
    view_.Focus(id);
}

void SettingsController::ShowLabel(bool label) {
    SetVisible(control::TemplateEdit, !label);
    SetVisible(control::CustomLabel, label);
}

void SettingsController::CustomLabelCaption() {
    const std::string& custom = start_.settings.customDm;
    std::string caption;
    if (custom.empty()) caption = texts_.Text(text::CustomManager);
    else if (NetworkReceiverOf(custom) != NetworkReceiver::None)  // an address names no program
        caption = NetworkReceiverLabel(NetworkReceiverOf(custom));
    else caption = common::ProgramTitleOfPath(p_, custom);
    SetCaption(control::CustomLabel, caption);
}

void SettingsController::ShowManagers() {
    const ZelkoSettings& s = start_.settings;
    for (std::size_t i = 0; i < managers_.size(); ++i) {
        ManagerButton& m = managers_[i];
        m.checked = m.caption == s.dm;
        m.enabled = s.allDm.find(m.caption + ";") != std::string::npos;
        Change(control::Manager(i), [&](ControlState& c) {
            c.check = m.checked ? 1 : 0;
            c.enabled = m.enabled;
        });
    }
    ShowRunning();
}

// Ticked while the custom template is on and holds the found address.
void SettingsController::ShowRunning() {
    const ZelkoSettings& s = start_.settings;
    for (std::size_t i = 0; i < control::kRunningRows; ++i) {
        const bool found = i < s.running.size();
        Change(control::Running(i), [&](ControlState& c) {
            c.visible = found;
            c.caption = found ? s.running[i].label : "";
            c.check = found && State(control::CustomBox).check != 0 &&
                      s.customDm == s.running[i].address;
        });
    }
}

void SettingsController::OnRunningClick(std::size_t index) {
    ZelkoSettings& s = start_.settings;
    if (index >= s.running.size()) return;
    const std::string address = s.running[index].address;
    ShowLabel(true);
    SetCaption(control::TemplateEdit, address);
    OnTemplateChanged(address);
    s.dm = kNoManager;
    ShowManagers();
    Focus(control::Ok);
}

void SettingsController::Show() {
    ZelkoSettings& s = start_.settings;
    if (s.advanced && !s.firstRun) DetectManagersNow();
    if (closed_) return;
    SetCheck(control::UsdBox, s.usdPresent ? 1 : 0);
    SetCheck(control::CustomBox, s.customDmEnabled ? 1 : 0);
    SetCheck(control::RapGetBox,
             !s.rapGetPath.empty() && p_.FileExists(s.rapGetPath) ? 1 : 0);
    ShowManagers();
    SetCaption(control::TemplateEdit, s.customDm);
    Focus(control::Ok);
}

void SettingsController::OnManagerClick(std::size_t index) {
    if (index >= managers_.size()) return;
    start_.settings.dm = managers_[index].caption;
    ShowLabel(true);
    SetCheck(control::CustomBox, 0);
    ShowManagers();
    Focus(control::Ok);
}

void SettingsController::OnCustomLabelClick() {
    ShowLabel(false);
    SetCheck(control::CustomBox, 1);
    CustomBoxClicked();
}

void SettingsController::OnCustomBoxClick() {
    SetCheck(control::CustomBox, State(control::CustomBox).check ? 0 : 1);
    CustomBoxClicked();
}

std::optional<std::string> SettingsController::AskProgram(const std::string& configured,
                                                          const std::string& fileName) {
    common::FileDialogRequest request;
    request.save = false;
    request.owner = view_.Handle();
    request.filter = kProgramFilter;
    request.fileName = fileName;
    request.initialFolder = common::FolderOfPath(
        common::ExpandPath(p_, configured, common::ExpandVariant::Zelko, start_.folder));
    return p_.FileDialog(request);
}

void SettingsController::CustomBoxClicked() {
    ZelkoSettings& s = start_.settings;
    if (!State(control::CustomBox).check) {
        ShowLabel(true);
        ShowRunning();
        Focus(control::Ok);
        return;
    }
    ShowLabel(false);
    if (!State(control::TemplateEdit).caption.empty()) {
        Focus(control::Ok);
    } else {
        if (std::optional<std::string> chosen = AskProgram(s.customDm, "")) {
            std::string custom = common::QuotedIfBlank(*chosen) + kTemplateTail;
            SetCaption(control::TemplateEdit, custom);
            OnTemplateChanged(custom);
        } else {
            SetCheck(control::CustomBox, 0);
        }
        Focus(control::TemplateEdit);
    }
    s.dm = kNoManager;
    ShowManagers();
}

void SettingsController::OnTemplateChanged(const std::string& text) {
    ZelkoSettings& s = start_.settings;
    states_[control::TemplateEdit].caption = text;
    s.customDm = text;
    SetCheck(control::CustomBox, text.empty() ? 0 : 1);
    CustomLabelCaption();
    ShowRunning();
}

void SettingsController::OnRapGetClick() {
    ZelkoSettings& s = start_.settings;
    SetCheck(control::RapGetBox, State(control::RapGetBox).check ? 0 : 1);
    if (State(control::RapGetBox).check) {
        if (std::optional<std::string> chosen = AskProgram(s.rapGet, "rapget.exe")) {
            s.rapGet = *chosen;
            s.rapGetPath = *chosen;
        } else {
            SetCheck(control::RapGetBox, 0);
        }
    } else {
        s.rapGet.clear();
        s.rapGetPath.clear();
    }
    Focus(control::Ok);
}

void SettingsController::OnUsdClick() {
    ZelkoSettings& s = start_.settings;
    SetCheck(control::UsdBox, State(control::UsdBox).check ? 0 : 1);
    if (State(control::UsdBox).check) {
        if (std::optional<std::string> chosen = AskProgram(s.usd, "USDownloader.exe")) {
            s.usd = *chosen;
            s.usdPath = *chosen;
            s.usdPresent = true;
            s.transferToUsd = LoadSitePlugins(p_, s.usdPath);
        } else if (!s.usdPresent) {
            SetCheck(control::UsdBox, 0);
        }
    } else {
        s.usd.clear();
        s.usdPath.clear();
        s.usdPresent = false;
    }
    Focus(control::Ok);
}

void SettingsController::OnCatchModeClick() {
    if (Busy()) return;
    const int next = (State(control::CatchModeBox).check + 1) % 3;  // the box's own step
    SetCatchMode(*this, next);
    installing_ = true;
    InstallContext context{p_, start_.folder, start_.settings, texts_, *this};
    InstallIntoBrowser(context, State(control::CatchModeBox).check);
    installing_ = false;
    if (closePending_) {
        CloseNow();
        return;
    }
    Focus(control::Ok);
}

// FlashGot.exe may take up to 100 s while the window keeps answering: its
// controls stay off meanwhile, and a close waits for the end of the detection.
void SettingsController::DetectManagersNow() {
    detecting_ = true;
    EnablePanels(false);
    RefreshManagerList(p_, start_.folder, start_.settings, managers_);
    start_.settings.running = FindRunningReceivers(p_);
    EnablePanels(true);
    detecting_ = false;
    if (closePending_) CloseNow();
}

void SettingsController::OnRefresh() {
    if (Busy()) return;
    ZelkoSettings& s = start_.settings;
    ShowLabel(true);
    DetectManagersNow();
    if (closed_) return;
    ShowManagers();
    if (s.usdPresent) s.transferToUsd = LoadSitePlugins(p_, s.usdPath);
}

void SettingsController::Save() {
    const ZelkoSettings& s = start_.settings;
    const common::IniFile ini(p_, s.places.settingsFile);
    bool ok = ini.WriteText(kSectionMain, "DM", s.dm);
    if (!s.allDm.empty()) ok = ini.WriteText(kSectionMain, "AllDM", s.allDm) && ok;
    ok = ini.WriteText(kSectionMain, "CustomDM", s.customDm) && ok;
    ok = ini.WriteBool(kSectionMain, "CustomDMEnabled", State(control::CustomBox).check != 0) && ok;
    ok = ini.WriteText(kSectionMain, "USD", s.usd) && ok;
    if (s.usdPresent) ok = ini.WriteText(kSectionMain, "TransferToUSD", s.transferToUsd) && ok;
    ok = ini.WriteText(kSectionMain, "RapGet", s.rapGet) && ok;
    ok = ini.WriteInt(kSectionMain, "FullInstall", s.fullInstall) && ok;
    int left = 0, top = 0;
    view_.Position(left, top);
    ok = ini.WriteInt(kSectionPosition, "Left", left) && ok;
    ok = ini.WriteInt(kSectionPosition, "Top", top) && ok;
    if (!ok) common::ReportCannotWrite(p_, kPlacesName, s.places.settingsFile);
}

bool SettingsController::PassesDownloadsOn() const {
    const ZelkoSettings& s = start_.settings;
    const bool manager = !s.dm.empty() && s.dm != kNoManager;
    const bool custom = State(control::CustomBox).check != 0 &&
                        !common::TrimControls(s.customDm).empty();
    return manager || custom || State(control::RapGetBox).check != 0 ||
           State(control::UsdBox).check != 0;
}

void SettingsController::OnOk() {
    if (Busy() || closed_) return;
    // Easily done by accident (a second click on the custom box unticks it):
    // every download would then be refused.
    if (!PassesDownloadsOn() &&
        p_.MessageBox(view_.Handle(), kNoReceiverQuestion, kQuestionTitle,
                      common::mb::YesNo | common::mb::IconQuestion) != common::answer::Yes)
        return;
    Save();
    CloseNow();
}

void SettingsController::OnCancel() {
    if (Busy()) {
        closePending_ = true;
        return;
    }
    CloseNow();
}

void SettingsController::OnCloseRequest() { OnCancel(); }

void SettingsController::CloseNow() {
    if (closed_) return;
    closed_ = true;
    view_.Close();
}

void SettingsController::ShowCatchState(int state) {
    Change(control::CatchModeBox, [&](ControlState& c) {
        c.check = state;
        c.caption = texts_.Text(CatchModeCaptionKey(state));
    });
}

void SettingsController::SetWaiting(bool waiting) {
    if (waiting) waitingCaption_ = State(control::CatchModeBox).caption;
    SetCaption(control::CatchModeBox,
               waiting ? texts_.Text(text::PleaseWait) : waitingCaption_);
    EnablePanels(!waiting);
}

void SettingsController::EnablePanels(bool enabled) {
    Change(control::UpperPanel, [&](ControlState& c) { c.enabled = enabled; });
    Change(control::LowerPanel, [&](ControlState& c) { c.enabled = enabled; });
}

}  // namespace zelko
