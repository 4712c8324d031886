// Mirsa.exe: the settings window is made hidden first; a start with
// arguments performs one save run and ends, a start without shows the window.
#include "common/win32/win32_api.h"

#include <memory>

#include "common/win32/form_window.h"
#include "common/win32/win32_platform.h"
#include "mirsa/save.h"
#include "mirsa/settings_window.h"
#include "mirsa/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    common::Win32Platform platform;
    std::unique_ptr<mirsa::SettingsWindow> settings;
    common::Win32Form form(mirsa::SettingsFormSpec(), [&settings](int id) {
        if (settings) settings->OnCommand(id);
    });
    mirsa::MirsaStart start;
    start.programWindow = form.Window();
    if (mirsa::RunMirsa(platform, mirsa::BuiltInSaveHooks(), &start) !=
        mirsa::StartOutcome::SettingsMode)
        return 0;
    settings = std::make_unique<mirsa::SettingsWindow>(platform, form, start.settingsFile,
                                                       start.settings);
    settings->Show();
    return form.RunMessageLoop();
}
