// Every contact with the browser's windows during a save run: its main
// window and title, the keystrokes that open its Save dialog, and the dialog.
#pragma once

#include <cstdint>
#include <string>

#include "common/platform.h"

namespace mirsa {

// Found once per run and reused by the later passes of the method "all".
struct BrowserContact {
    common::WindowId OperaWindow = 0;
    std::string PageTitle;
    common::WindowId FileNameEdit = 0;
    common::WindowId FileTypeCombo = 0;
    std::string DialogCaption;
    std::uint32_t TimeOutMs = 4000;
};

// "now is past the deadline" on the tick count, also across its wrap.
bool IsPast(std::uint32_t now, std::uint32_t deadline);

enum class KeyKind { CtrlS, CtrlLeftClick };

common::WindowId FindOperaWindow(common::Platform& p);
std::string PageTitleOf(const std::string& windowText);  // cut at the last " - Opera"
std::string ReadPageTitle(common::Platform& p, common::WindowId operaWindow);
void PressKeys(common::Platform& p, BrowserContact& c, KeyKind kind);

// Both waits return the dialog, or 0 when none came in time (the run ends).
common::WindowId WaitForSaveDialog(common::Platform& p, BrowserContact& c);
common::WindowId WaitForNextSaveDialog(common::Platform& p, const BrowserContact& c,
                                       bool oldOpera);

void FindDialogControls(common::Platform& p, BrowserContact& c, common::WindowId dialog);
std::string ReadFileName(common::Platform& p, const BrowserContact& c);
void WriteFileName(common::Platform& p, const BrowserContact& c, const std::string& text);
void SelectFileType(common::Platform& p, const BrowserContact& c, common::WindowId dialog,
                    int index);
void ConfirmDialog(common::Platform& p, common::WindowId dialog);

void BringOperaToFront(common::Platform& p, const BrowserContact& c);
common::WindowId FindPageView(common::Platform& p, common::WindowId operaWindow,
                              const std::string& pageTitle);

}  // namespace mirsa
