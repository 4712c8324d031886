#include "mirsa/settings_window.h"

#include "common/helpers.h"
#include "common/ini.h"
#include "common/program_places.h"
#include "mirsa/history.h"

namespace mirsa {

namespace {

using common::Anchor;
using common::ControlKind;

constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 23;
constexpr int kDesignedLeft = 526, kDesignedTop = 455;

// Captions of the second language: Russian, code page 1251.
const Captions kRussian = {
    "\xC2\xE5\xF1\xF2\xE8 \xE8\xF1\xF2\xEE\xF0\xE8\xFE \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED\xE8\xE9",
    "\xC7\xE0\xEF\xE8\xF1\xFB\xE2\xE0\xF2\xFC \xE0\xE4\xF0\xE5\xF1 \xF1\xF2\xF0\xE0\xED\xE8\xF6\xFB"
    " \xE2 \xF4\xE0\xE9\xEB descript.ion",
    "\xC4\xEE\xE1\xE0\xE2\xEB\xFF\xF2\xFC \xED\xEE\xE2\xFB\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xE2"
    " \xED\xE0\xF7\xE0\xEB\xEE \xE8\xF1\xF2\xEE\xF0\xE8\xE8",
    "\xCE\xF2\xEC\xE5\xED\xE0",
    "\xCF\xE0\xEF\xEA\xE0 \xE4\xEB\xFF \xE1\xFB\xF1\xF2\xF0\xEE\xE3\xEE \xF1\xEE\xF5\xF0\xE0\xED"
    "\xE5\xED\xE8\xFF \xF1\xF2\xF0\xE0\xED\xE8\xF6",
    "\xCF\xE0\xEF\xEA\xE0 \xE4\xEB\xFF \xE1\xFB\xF1\xF2\xF0\xEE\xE3\xEE \xF1\xEE\xF5\xF0\xE0\xED"
    "\xE5\xED\xE8\xFF \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xE9",
    "\xCE\xF2\xEA\xF0\xFB\xF2\xFC \xE8\xF1\xF2\xEE\xF0\xE8\xFE",
};

const Captions kEnglish = {
    "Write down history of saving",
    "Write address of page in descript.ion file",
    "Reverse order in MirsaHistory (newest at the top)",
    "Cancel",
    "Folder for quick saving of pages",
    "Folder for quick saving of images",
    "Open MirsaHistory",
};

}  // namespace

common::FormSpec SettingsFormSpec() {
    common::FormSpec f;
    f.caption = kSettingsCaption;
    f.clientWidth = 282;
    f.clientHeight = 224;
    f.left = kDesignedLeft;
    f.top = kDesignedTop;
    f.fontHeight = 13;
    f.toolWindow = true;
    f.topmost = true;
    using namespace control;
    f.controls = {
        {PagesLabel, ControlKind::Label, 8, 14, 0, 0, "For Pages"},
        {PagesFolder, ControlKind::Edit, 8, 34, 245, kEditHeight, "", Anchor::Stretch},
        {PagesBrowse, ControlKind::Button, 253, 33, 24, 24, "...", Anchor::Right},
        {ImagesLabel, ControlKind::Label, 8, 70, 0, 0, "For Images"},
        {ImagesFolder, ControlKind::Edit, 8, 90, 245, kEditHeight, "", Anchor::Stretch},
        {ImagesBrowse, ControlKind::Button, 253, 89, 24, 24, "...", Anchor::Right},
        {History, ControlKind::CheckBox, 8, 126, 0, 0, "Write History"},
        {OpenHistory, ControlKind::Link, 180, 128, 0, 0, "Open History"},
        {NewestFirst, ControlKind::CheckBox, 8, 150, 0, 0, "Reverse order"},
        {Description, ControlKind::CheckBox, 8, 174, 0, 0, "Write Description"},
        {Opera9, ControlKind::CheckBox, 8, 198, 0, 0, "Opera 9"},
        {English, ControlKind::CheckBox, 82, 198, 0, 0, "English"},
        {Ok, ControlKind::DefaultButton, 155, 196, 57, kButtonHeight, "OK", Anchor::Right},
        {Cancel, ControlKind::Button, 220, 196, 57, kButtonHeight, "Cancel", Anchor::Right},
    };
    return f;
}

Captions ReadCaptions(common::Platform& p, const std::string& settingsFile, bool english) {
    const common::IniFile ini(p, settingsFile);
    const char* section = english ? "English" : "Language";
    const Captions& d = english ? kEnglish : kRussian;
    Captions c;
    c.writeHistory = ini.Text(section, "WriteHistory", d.writeHistory);
    c.writeDescription = ini.Text(section, "WriteDescription", d.writeDescription);
    c.newestAtTheTop = ini.Text(section, "NewestAtTheTop", d.newestAtTheTop);
    c.cancel = ini.Text(section, "Cancel", d.cancel);
    c.forPages = ini.Text(section, "ForPages", d.forPages);
    c.forImages = ini.Text(section, "ForImages", d.forImages);
    c.openHistory = ini.Text(section, "OpenHistory", d.openHistory);
    return c;
}

SettingsWindow::SettingsWindow(common::Platform& p, common::FormView& view,
                               std::string settingsFile, MirsaSettings settings)
    : p_(p), view_(view), settingsFile_(std::move(settingsFile)), settings_(std::move(settings)) {}

void SettingsWindow::Show() {
    view_.Move(settings_.Left, settings_.Top);
    view_.SetText(control::PagesFolder, settings_.PagesDir);
    view_.SetText(control::ImagesFolder, settings_.ImagesDir);
    view_.SetChecked(control::History, settings_.History);
    view_.SetChecked(control::Opera9, !settings_.OldOpera);
    view_.SetChecked(control::English, settings_.English);
    view_.SetChecked(control::Description, settings_.Description);
    view_.SetChecked(control::NewestFirst, settings_.ReverseOrder);
    ApplyLanguage(settings_.English);
    view_.Focus(control::Ok);
    UpdateHistoryDependents();
    view_.Show();
}

void SettingsWindow::ApplyLanguage(bool english) {
    const Captions c = ReadCaptions(p_, settingsFile_, english);
    view_.SetText(control::History, c.writeHistory + ".");
    view_.SetText(control::Description, c.writeDescription);
    view_.SetText(control::NewestFirst, c.newestAtTheTop);
    view_.SetText(control::Cancel, c.cancel);
    view_.SetText(control::PagesLabel, c.forPages + ":");
    view_.SetText(control::ImagesLabel, c.forImages + ":");
    view_.SetText(control::OpenHistory, c.openHistory);
}

void SettingsWindow::UpdateHistoryDependents() {
    const bool history = view_.Checked(control::History);
    view_.Enable(control::OpenHistory, history);
    view_.Enable(control::NewestFirst, history);
}

void SettingsWindow::Browse(int folderBox) {
    std::optional<std::string> chosen =
        p_.BrowseForFolder(view_.Window(), "", view_.Text(folderBox));
    if (chosen) view_.SetText(folderBox, *chosen);
}

void SettingsWindow::OpenHistory() {
    p_.ShellOpen(common::WithTrailingBackslash(view_.Text(control::PagesFolder)) + kHistoryFile);
}

void SettingsWindow::Save() {
    const common::IniFile ini(p_, settingsFile_);
    // An untouched box keeps the stored value with its references unexpanded.
    bool ok = true;
    const std::string pages = view_.Text(control::PagesFolder);
    if (pages != settings_.PagesDir) ok = ini.WriteText("Main", "QuickSaveDir", pages);
    const std::string images = view_.Text(control::ImagesFolder);
    if (images != settings_.ImagesDir) ok = ini.WriteText("Main", "QuickSaveImgDir", images) && ok;
    ok = ini.WriteInt("Main", "OperaVersion", view_.Checked(control::Opera9) ? 9 : 8) && ok;
    ok = ini.WriteBool("Main", "History", view_.Checked(control::History)) && ok;
    ok = ini.WriteBool("Main", "English", view_.Checked(control::English)) && ok;
    ok = ini.WriteBool("Main", "Description", view_.Checked(control::Description)) && ok;
    ok = ini.WriteBool("Main", "ReverseOrder", view_.Checked(control::NewestFirst)) && ok;
    int left = 0, top = 0;
    view_.Position(left, top);
    ok = ini.WriteInt("Position", "Left", left) && ok;
    ok = ini.WriteInt("Position", "Top", top) && ok;
    if (!ok) common::ReportCannotWrite(p_, kProgramName, settingsFile_);
}

void SettingsWindow::OnCommand(int id) {
    switch (id) {
    case control::History:
    case control::NewestFirst:
        UpdateHistoryDependents();
        view_.Focus(control::Ok);
        break;
    case control::Description:
    case control::Opera9:
        view_.Focus(control::Ok);
        break;
    case control::English:
        ApplyLanguage(view_.Checked(control::English));
        break;
    case control::PagesBrowse:
        Browse(control::PagesFolder);
        view_.Focus(control::Ok);
        break;
    case control::ImagesBrowse:
        Browse(control::ImagesFolder);
        view_.Focus(control::Ok);
        break;
    case control::OpenHistory:
        OpenHistory();
        break;
    case control::Ok:
        Save();
        view_.Close();
        break;
    case control::Cancel:
        view_.Close();
        break;
    default:
        break;
    }
}

}  // namespace mirsa
