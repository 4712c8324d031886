// The settings window shown by a start without arguments: the two target
// folders, the history and description switches, the browser version and the
// caption language. One function per event; the window itself is a FormView.
#pragma once

#include <string>

#include "common/form.h"
#include "common/platform.h"
#include "mirsa/startup.h"

namespace mirsa {

namespace control {
constexpr int Ok = common::kFormOk, Cancel = common::kFormCancel;
constexpr int PagesLabel = 101, PagesFolder = 102, PagesBrowse = 103, ImagesLabel = 104,
              ImagesFolder = 105, ImagesBrowse = 106, History = 107, OpenHistory = 108,
              NewestFirst = 109, Description = 110, Opera9 = 111, English = 112;
}

inline constexpr const char* kSettingsCaption = "  Mirsa 2.4";

// The window as it is created (hidden), before any setting is known.
common::FormSpec SettingsFormSpec();

// The seven captions of one language, as the settings file gives them.
struct Captions {
    std::string writeHistory, writeDescription, newestAtTheTop, cancel, forPages, forImages,
        openHistory;
};
Captions ReadCaptions(common::Platform& p, const std::string& settingsFile, bool english);

class SettingsWindow {
public:
    SettingsWindow(common::Platform& p, common::FormView& view, std::string settingsFile,
                   MirsaSettings settings);

    void Show();
    void ApplyLanguage(bool english);
    // A click on a control (or Enter, Escape: OK, Cancel).
    void OnCommand(int id);

private:
    void UpdateHistoryDependents();
    void Browse(int folderBox);
    void OpenHistory();
    void Save();

    common::Platform& p_;
    common::FormView& view_;
    std::string settingsFile_;
    MirsaSettings settings_;
};

}  // namespace mirsa
