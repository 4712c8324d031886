// The browser stand-in's Save dialog: the system's explorer-style Save dialog
// with four file types, opened on Ctrl+S, on a Ctrl+left click in the page
// view, or by itself after start; several in a row when asked. On confirm it
// writes the page (or image) bytes to the chosen path and logs the file type.
// Options (command line, else [Browser] of its INI):
//   --dialogs=N       dialogs in a row for each request (Dialogs); 0: none opens
//   --autosave=MS     open a series this long after start (AutoSaveMs)
//   --proposed=a|b|c  names the dialogs propose, one per dialog, the last repeats
//                     (Proposed; default: the last part of the page address)
//   --image=NAME      name proposed for the image of a Ctrl+click (ImageName)
//   --caption=TEXT    dialog caption (Caption, default "Save as")
//   --savedir=FOLDER  the dialog's first folder (SaveDir)
//   --pointer         put the mouse pointer on the page view at start
#pragma once

#include "common/win32/win32_api.h"

#include <functional>
#include <string>
#include <vector>

#include "standins/support/record_format.h"

namespace savedialog {

using LogFn = std::function<void(const standin::Record&)>;

void Start(HWND mainWindow, HWND pageView, const std::vector<std::string>& args,
           const std::string& ini, const std::string& title, const std::string& url, LogFn log);

enum class Kind { Page = 1, Image = 2 };
void Request(Kind kind);

// Handles the stand-in's own messages to its main window; true when handled.
bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace savedialog
