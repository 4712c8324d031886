#include "zelko/install.h"

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"
#include "zelko/intake.h"

namespace zelko {

namespace browser = common::browser;

const FileTypeRow kArchiveRows[13] = {
    {"application/x-arj", ",,,arj,|", "0,,,,arj,|"},
    {"application/x-rar-compressed", ",,,rar,|", "0,,,,rar,|"},
    {"application/x-zip-compressed", ",,,zip,|", "0,,,,zip,|"},
    {"application/x-7z-compressed", ",,,7z,|", "0,,,,7z,|"},
    {"application/zip", ",,,zip,|", "0,,,,zip,|"},
    {"application/x-msdownload", ",,,exe,bat,pif,com,scr,|", "0,,,,exe,bat,pif,com,scr,|"},
    {"application/x-msdos-program", ",,,exe,bat,pif,com,scr,|", "0,,,,exe,bat,pif,com,scr,|"},
    {"application/octet-stream", ",,,,|", "0,,,,,|"},
    {"application/x-compress", ",,,z,|", "0,,,,z,|"},
    {"application/x-gtar", ",,,gtar,|", "0,,,,gtar,|"},
    {"application/x-gzip", ",,,gz,gzip,tgz,|", "0,,,,gz,gzip,tgz,|"},
    {"application/bzip2", ",,,bz2,|", "0,,,,bz2,|"},
    {"application/x-tar", ",,,tar,tgz,gz,bz2,|", "0,,,,tar,tgz,gz,bz2,|"},
};

const FileTypeRow kMediaRows[4] = {
    {"audio/mpeg", ",,,mp3,mp2,mpga,|", "0,,,,mp3,mp2,mpga,|"},
    {"video/mpeg", ",,,mpeg,mpg,mpe,m2v,m1v,mpa,|", "0,,,,mpeg,mpg,mpe,m2v,m1v,mpa,|"},
    {"video/x-msvideo", ",,,avi,|", "0,,,,avi,|"},
    {"video/quicktime", ",,,qt,mov,|", "0,,,,qt,mov,|"},
};

int CatchStateOfFullInstall(int fullInstall) {
    if (fullInstall == installed::Nothing) return catch_mode::None;
    if (fullInstall == installed::ScriptOnly) return catch_mode::CtrlClick;
    return catch_mode::All;
}

int CatchModeCaptionKey(int state) { return text::DontCatch + state; }

void SetCatchMode(CatchModeView& view, int k) { view.ShowCatchState(StateAfterSetCatchMode(k)); }

std::string BrowserProgram(common::Platform& p, const std::string& browserFolder) {
    for (const char* exe : browser::kLauncherExes) {
        std::string path = browserFolder + "\\" + exe;
        if (p.FileExists(path)) return path;
    }
    return "";
}

std::string ProfileFile(common::Platform& p, const std::string& browserFolder) {
    const common::IniFile defaults(p, browserFolder + "\\" + browser::kDefaultsIni);
    if (!defaults.Bool(browser::kSectionSystem, browser::kKeyMultiUser, true))
        return browser::SingleUserProfileDir(browserFolder) + browser::kProfileIni;
    return browser::MultiUserBaseDir(p, browserFolder) + "\\profile\\" + browser::kProfileIni;
}

std::string ProgramEntry(common::Platform& p, const std::string& folder) {
    return p.AnsiToUtf8(folder) + kProgramName;
}

std::string InstallValue(const FileTypeRow& row, const std::string& entry) {
    return "7," + entry + row.installTail;
}

std::string JobTypeValue(const std::string& entry) { return "3," + entry + ",,,,|"; }

std::string MissingProfileText(const std::string& profile) {
    return "The browser's profile \"" + profile +
           "\" does not exist. Start the browser once to make it, then try again.";
}

namespace {

// One run of InstallIntoBrowser: the profile and what has been found in it.
struct Run {
    InstallContext& c;
    common::IniFile profile;
    common::IniFile settings;  // Zelko.ini: "FullInstall" and the values Zelko replaced
    std::string scriptFolder;  // ANSI; empty when none is configured
    bool scriptsOn = false;    // "User JavaScript" set (or set by us)
    int types = installed::Nothing;  // file types pointing at Zelko.exe: 0, 1 or 2
};

bool ProfileRunFlag(const Run& r) {
    return r.profile.Bool(browser::kSectionState, browser::kKeyRun, false);
}

std::string ScriptPath(const std::string& folder, const char* name) {
    return common::WithTrailingBackslash(folder) + name;
}

// The "userjs" folder beside the profile, made and switched on. A profile
// that cannot be written leaves scripts off.
void EnableUserScripts(Run& r) {
    common::Platform& p = r.c.p;
    std::string folder = common::FolderOfPath(r.profile.path()) + kScriptFolderName;
    p.CreateFolder(folder);
    bool ok = r.profile.WriteBool(browser::kSectionUserPrefs, browser::kKeyUserJavaScript, true);
    ok = r.profile.WriteText(browser::kSectionUserPrefs, browser::kKeyUserJavaScriptFile,
                             p.AnsiToUtf8(folder)) && ok;
    if (!ok) return;
    r.scriptFolder = folder;
    r.scriptsOn = true;
}

// Waits about 30 s (two seconds a pass) for the browser to clear its Run
// flag, keeping the window's messages going. deadline: a tick count.
void WaitForBrowserEnd(Run& r, std::uint32_t deadline) {
    common::Platform& p = r.c.p;
    do {
        p.Sleep(kWaitStepMs);
        common::DispatchWaitingMessages(p);
        bool running = ProfileRunFlag(r);
        p.Sleep(kWaitStepMs);
        if (!running) return;
    } while (static_cast<std::int32_t>(p.TickCount() - deadline) < 0);
}

bool WriteScript(Run& r) {
    common::Platform& p = r.c.p;
    std::optional<std::string> script = p.Resource(kScriptResource);
    if (!script) return false;
    return common::WriteFileAtomic(p, ScriptPath(r.scriptFolder, kScriptFile), *script);
}

bool NamesZelko(const std::string& value) {
    return common::Contains(common::AsciiLower(value), common::AsciiLower(kProgramName));
}

// Keeps, in Zelko.ini, each row's value as it stands just before Zelko's
// entry replaces it. A row that already names Zelko.exe keeps what an
// earlier install kept. False when a value could not be kept.
bool KeepReplacedValues(Run& r, const FileTypeRow* rows, std::size_t count) {
    bool ok = true;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string value = r.profile.Text(browser::kSectionFileTypes, rows[i].type);
        if (NamesZelko(value)) continue;
        ok = r.settings.WriteTextAsIs(kSectionReplacedTypes, rows[i].type, value) && ok;
    }
    return ok;
}

// What a row of Zelko's goes back to: the value it replaced, else the
// browser's reset value.
std::string ReplacedValue(const Run& r, const FileTypeRow& row) {
    std::string value = r.settings.Text(kSectionReplacedTypes, row.type);
    return value.empty() || NamesZelko(value) ? row.reset : value;
}

bool InstallRows(Run& r, const FileTypeRow* rows, std::size_t count, const std::string& entry) {
    bool ok = true;
    for (std::size_t i = 0; i < count; ++i)
        ok = r.profile.WriteText(browser::kSectionFileTypes, rows[i].type,
                                 InstallValue(rows[i], entry)) && ok;
    return ok;
}

// Only rows that still name Zelko.exe are Zelko's to undo; one the user has
// pointed elsewhere since stays as the user set it.
bool RestoreRows(Run& r, const FileTypeRow* rows, std::size_t count) {
    bool ok = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (!NamesZelko(r.profile.Text(browser::kSectionFileTypes, rows[i].type))) continue;
        ok = r.profile.WriteTextAsIs(browser::kSectionFileTypes, rows[i].type,
                                     ReplacedValue(r, rows[i])) && ok;
    }
    return ok;
}

bool MediaRowsUntouched(const Run& r) {
    for (const FileTypeRow& row : kMediaRows)
        if (r.profile.Text(browser::kSectionFileTypes, row.type, row.reset) != row.reset)
            return false;
    return true;
}

// The type of the page script's job data, and the entries that go with it:
// without them the browser has no handler for what a Ctrl+click sends.
bool WriteJobTypeRow(Run& r, const std::string& entry) {
    return r.profile.WriteText(browser::kSectionFileTypes, kJobType, JobTypeValue(entry));
}
bool WriteJobTypeEntries(Run& r) {
    bool ok = r.profile.WriteInt(browser::kSectionFileTypesInfo, "Version", 2);
    return r.profile.WriteText(browser::kSectionFileTypesExtension, kJobType, ",0") && ok;
}
void InstallJobType(Run& r, const std::string& entry) {
    if (WriteJobTypeRow(r, entry)) WriteJobTypeEntries(r);
}

bool JobTypeInPlace(const Run& r) {
    return r.profile.Text(browser::kSectionFileTypes, kJobType) ==
           JobTypeValue(ProgramEntry(r.c.p, r.c.folder));
}

void InstallFileTypes(Run& r) {
    const std::string entry = ProgramEntry(r.c.p, r.c.folder);
    const bool media = MediaRowsUntouched(r);
    // No row is replaced whose value could not be kept for "Don't catch links".
    if (!KeepReplacedValues(r, kArchiveRows, std::size(kArchiveRows)) ||
        (media && !KeepReplacedValues(r, kMediaRows, std::size(kMediaRows))))
        return;
    bool ok = WriteJobTypeRow(r, entry);
    ok = InstallRows(r, kArchiveRows, std::size(kArchiveRows), entry) && ok;
    if (!ok) return;
    r.types = installed::FileTypes;
    if (media && InstallRows(r, kMediaRows, std::size(kMediaRows), entry))
        r.types = installed::FileTypesAndMedia;
    WriteJobTypeEntries(r);
}

// Moves Zelko.js aside as Zelko.js.xx; only a script in an existing script
// folder is touched.
void SetScriptAside(Run& r) {
    common::Platform& p = r.c.p;
    if (r.scriptFolder.empty() || !p.FolderExists(r.scriptFolder)) return;
    std::string script = ScriptPath(r.scriptFolder, kScriptFile);
    if (!p.FileExists(script)) return;
    const std::string aside = ScriptPath(r.scriptFolder, kScriptSetAside);
    // The script stays (and goes on catching) unless its copy was made.
    if (p.CopyFile(script, aside, false)) p.DeleteFile(script);
    else common::ReportCannotWrite(p, kPlacesName, aside);
}

void RemoveFileTypes(Run& r) {
    bool ok = RestoreRows(r, kArchiveRows, std::size(kArchiveRows));
    if (r.types == installed::FileTypesAndMedia)
        ok = RestoreRows(r, kMediaRows, std::size(kMediaRows)) && ok;
    SetScriptAside(r);
    if (ok) r.types = installed::Nothing;
}

// The script catches when it lies in the script folder with user scripts on.
bool ScriptCatches(const Run& r) {
    return r.scriptsOn && !r.scriptFolder.empty() && r.c.p.FolderExists(r.scriptFolder) &&
           r.c.p.FileExists(ScriptPath(r.scriptFolder, kScriptFile));
}

// "FullInstall" for what the run leaves in place, whatever the mode asked.
int FullInstallOf(const Run& r) {
    if (r.types != installed::Nothing) return r.types;
    return ScriptCatches(r) ? installed::ScriptOnly : installed::Nothing;
}

int TypesOf(int fullInstall) {
    return fullInstall == installed::FileTypes || fullInstall == installed::FileTypesAndMedia
               ? fullInstall
               : installed::Nothing;
}

}  // namespace

void InstallIntoBrowser(InstallContext& c, int mode) {
    common::Platform& p = c.p;
    const std::string browserFolder = BrowserFolder(p, c.folder, c.settings.operaDir);
    const std::string profilePath = ProfileFile(p, browserFolder);
    if (!p.FileExists(profilePath)) {
        p.MessageBox(c.view.Owner(), MissingProfileText(profilePath), kErrorTitle,
                     common::mb::Topmost | common::mb::IconError);
        SetCatchMode(c.view, mode);
        return;
    }
    const std::string backupPath = profilePath + ".bak";
    Run r{c, common::IniFile(p, profilePath), common::IniFile(p, c.settings.places.settingsFile),
          "", false, TypesOf(c.settings.fullInstall)};
    const bool runFlag = ProfileRunFlag(r);
    r.scriptsOn = r.profile.Bool(browser::kSectionUserPrefs, browser::kKeyUserJavaScript, false);
    const bool scriptsWereOn = r.scriptsOn;
    r.scriptFolder =
        p.Utf8ToAnsi(r.profile.Text(browser::kSectionUserPrefs, browser::kKeyUserJavaScriptFile));

    // The browser's own convention: a copy of the profile before each change.
    // No change to a profile whose copy could not be made; the user is told why.
    if (!p.CopyFile(profilePath, backupPath, false)) {
        common::ReportCannotWrite(p, kPlacesName, backupPath);
        c.view.ShowCatchState(CatchStateOfFullInstall(c.settings.fullInstall));
        return;
    }

    const common::WindowId window = browser::FindBrowserWindow(p);
    const bool running = runFlag && window != 0;
    // A running browser writes its own file types back at its end, so only a
    // Ctrl+click mode that finds everything it needs in place spares it.
    const bool restart =
        running && !(mode == catch_mode::CtrlClick && scriptsWereOn && JobTypeInPlace(r));

    if (!running && !scriptsWereOn && mode != catch_mode::None) EnableUserScripts(r);

    if (restart) {
        int answer = p.MessageBox(c.view.Owner(), c.texts.Text(text::RestartQuestion),
                                  kQuestionTitle,
                                  common::mb::OkCancel | common::mb::IconWarning |
                                      common::mb::TaskModal | common::mb::Topmost);
        if (answer != common::answer::Ok) {
            SetCatchMode(c.view, mode);
            return;
        }
        // One deadline for the close and the wait, so a hung browser cannot
        // hold the window longer.
        const std::uint32_t deadline = p.TickCount() + kBrowserEndWaitMs;
        p.SendMessageTimeout(window, common::wm::Close, 0, 0, kBrowserEndWaitMs);
        c.view.SetWaiting(true);
        WaitForBrowserEnd(r, deadline);
        c.view.SetWaiting(false);
        if (!scriptsWereOn && mode != catch_mode::None) EnableUserScripts(r);
    }

    if (mode != catch_mode::None && r.scriptsOn && !r.scriptFolder.empty() &&
        p.FolderExists(r.scriptFolder))
        WriteScript(r);

    const common::WindowId windowNow = browser::FindBrowserWindow(p);
    const bool stillRunning = ProfileRunFlag(r) && (windowNow != 0 || window != 0);
    if (!stillRunning) {
        if (mode == catch_mode::All) InstallFileTypes(r);
        if (mode == catch_mode::CtrlClick) InstallJobType(r, ProgramEntry(p, c.folder));
        if (mode == catch_mode::None) RemoveFileTypes(r);
    }
    c.settings.fullInstall = FullInstallOf(r);

    if (!r.settings.WriteInt(kSectionMain, "FullInstall", c.settings.fullInstall))
        common::ReportCannotWrite(p, kPlacesName, r.settings.path());

    if (restart) {
        std::string program = BrowserProgram(p, browserFolder);
        if (!program.empty())
            common::RunProgram(p, common::QuotedIfBlank(program), common::sw::Show, false,
                               browserFolder);
    }
    c.view.ShowCatchState(CatchStateOfFullInstall(c.settings.fullInstall));
}

}  // namespace zelko
