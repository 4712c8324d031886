#include "mirsa/browser_window.h"

#include "common/browser.h"
#include "common/helpers.h"

namespace mirsa {

namespace {

using common::WindowId;
namespace browser = common::browser;

constexpr unsigned kCbnSelChange = 1;
constexpr unsigned kCbnSelEndOk = 9;

void KeyDown(common::Platform& p, int key) { p.KeyEvent(key, p.MapVirtualKey(key), false); }
void KeyUp(common::Platform& p, int key) { p.KeyEvent(key, p.MapVirtualKey(key), true); }

void PressIfUp(common::Platform& p, int key) {
    if (!p.IsKeyDown(key)) KeyDown(p, key);
}

void NotifyComboChange(common::Platform& p, WindowId dialog, WindowId combo) {
    const std::uintptr_t id = static_cast<std::uint16_t>(p.ControlId(combo));
    const auto lParam = static_cast<std::intptr_t>(combo);
    p.SendMessage(dialog, common::wm::Command, id | (std::uintptr_t{kCbnSelChange} << 16), lParam);
    p.SendMessage(dialog, common::wm::Command, id | (std::uintptr_t{kCbnSelEndOk} << 16), lParam);
}

}  // namespace

bool IsPast(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) > 0;
}

WindowId FindOperaWindow(common::Platform& p) {
    for (WindowId w : p.TopLevelWindows()) {
        std::string text = p.WindowText(w, browser::kTextBuffer);
        std::string cls = p.ClassName(w, browser::kTextBuffer);
        if (p.IsWindow(w) && p.IsWindowVisible(w) && !text.empty() &&
            cls == browser::kMainWindowClass)
            return w;
    }
    return 0;
}

std::string PageTitleOf(const std::string& windowText) {
    std::size_t at = common::LastPos(browser::kTitleSuffix, windowText);
    return at == 0 ? windowText : windowText.substr(0, at - 1);
}

std::string ReadPageTitle(common::Platform& p, WindowId operaWindow) {
    return PageTitleOf(p.WindowText(operaWindow, browser::kTextBuffer));
}

void PressKeys(common::Platform& p, BrowserContact& c, KeyKind kind) {
    using common::vk::Control;
    if (kind == KeyKind::CtrlS) {
        p.Sleep(50);
        PressIfUp(p, Control);
        PressIfUp(p, common::vk::KeyS);
        p.Sleep(50);
        // Released whether or not they were pressed here.
        KeyUp(p, common::vk::KeyS);
        KeyUp(p, Control);
        return;
    }
    p.Sleep(50);
    PressIfUp(p, Control);
    if (!p.IsKeyDown(common::vk::LButton)) p.MouseEvent(common::mouse_flags::LeftDown);
    p.Sleep(50);
    p.MouseEvent(common::mouse_flags::LeftUp);
    KeyUp(p, Control);
    c.TimeOutMs /= 2;
}

WindowId WaitForSaveDialog(common::Platform& p, BrowserContact& c) {
    const std::uint32_t deadline = p.TickCount() + c.TimeOutMs;
    for (;;) {
        if (IsPast(p.TickCount(), deadline)) return 0;
        p.Sleep(100);
        WindowId w = p.ForegroundWindow();
        if (w == 0) continue;
        std::string cls = p.ClassName(w, browser::kTextBuffer);
        std::string text = p.WindowText(w, browser::kTextBuffer);
        if (p.IsWindowVisible(w) && cls == browser::kDialogClass) {
            c.DialogCaption = text;
            return w;
        }
    }
}

WindowId WaitForNextSaveDialog(common::Platform& p, const BrowserContact& c, bool oldOpera) {
    p.Sleep(200);
    const std::uint32_t deadline = p.TickCount() + c.TimeOutMs;
    for (;;) {
        if (IsPast(p.TickCount(), deadline)) return 0;
        p.Sleep(200);
        WindowId w = p.FindWindow(0, 0, browser::kDialogClass, c.DialogCaption);
        if (w == 0) continue;
        if (!oldOpera) p.EnableWindow(w, false);
        if (p.IsWindowVisible(w)) return w;
    }
}

void FindDialogControls(common::Platform& p, BrowserContact& c, WindowId dialog) {
    for (WindowId w : p.Descendants(dialog)) {
        std::string cls = p.ClassName(w, browser::kTextBuffer);
        if (cls == "Edit") c.FileNameEdit = w;
        if (cls == "ComboBox") c.FileTypeCombo = w;
    }
}

std::string ReadFileName(common::Platform& p, const BrowserContact& c) {
    return p.SendGetText(c.FileNameEdit, browser::kTextBuffer);
}

void WriteFileName(common::Platform& p, const BrowserContact& c, const std::string& text) {
    p.SendSetText(c.FileNameEdit, text);
}

void SelectFileType(common::Platform& p, const BrowserContact& c, WindowId dialog, int index) {
    p.SendMessage(c.FileTypeCombo, common::wm::CbSetCurSel, 0, 0);
    NotifyComboChange(p, dialog, c.FileTypeCombo);
    p.SendMessage(c.FileTypeCombo, common::wm::CbSetCurSel, static_cast<std::uintptr_t>(index), 0);
    NotifyComboChange(p, dialog, c.FileTypeCombo);
}

void ConfirmDialog(common::Platform& p, WindowId dialog) {
    p.Sleep(100);
    WindowId first = p.FindWindow(dialog, 0, "Button", std::nullopt);
    WindowId save = first ? p.NextSibling(first) : 0;
    if (save) p.SendMessage(save, common::wm::BmClick, 0, 0);
}

void BringOperaToFront(common::Platform& p, const BrowserContact& c) {
    // A minimised window can still be the foreground one; it shows nothing.
    const bool iconic = p.IsIconic(c.OperaWindow);
    if (!iconic && p.ForegroundWindow() == c.OperaWindow) return;
    if (iconic) p.ShowWindow(c.OperaWindow, common::sw::Restore);
    p.SetForegroundWindow(c.OperaWindow);
    const std::uint32_t deadline = p.TickCount() + 2 * c.TimeOutMs;
    while (p.ForegroundWindow() != c.OperaWindow && !IsPast(p.TickCount(), deadline))
        p.Sleep(200);
    p.Sleep(500);
}

WindowId FindPageView(common::Platform& p, WindowId operaWindow, const std::string& pageTitle) {
    WindowId page = 0;
    for (WindowId w : p.Descendants(operaWindow)) {
        std::size_t length = p.WindowTextLength(w);
        if (length == pageTitle.size() && p.WindowText(w, length + 1) == pageTitle) {
            page = w;
            break;
        }
    }
    // Without the page's window the descent starts among the top-level windows.
    const char* chain[] = {browser::kInnerWindowClass, browser::kMainWindowClass,
                           browser::kInnerWindowClass, browser::kInnerWindowClass};
    WindowId at = page;
    for (const char* cls : chain) {
        at = p.FindWindow(at, 0, cls, std::nullopt);
        if (at == 0) return operaWindow;
    }
    return at;
}

}  // namespace mirsa
