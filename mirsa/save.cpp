#include "mirsa/save.h"

#include <algorithm>
#include <optional>

#include "common/helpers.h"
#include "mirsa/converters.h"
#include "mirsa/description.h"
#include "mirsa/history.h"
#include "mirsa/screenshot.h"

namespace mirsa {

namespace {

using common::WindowId;

const char* const kPageExtensions[] = {".htm", ".html", ".shtml", ".dhtml", ".mht",
                                       ".mhtml", ".txt", ".xml", ".php"};
const char* const kMediaExtensions[] = {".jpg", ".jpeg", ".gif", ".png", ".bmp", ".svg",
                                        ".svgz", ".avi", ".wav", ".mid", ".midi", ".win",
                                        ".swf", ".torrent", ".js", ".css"};

// Extensions that Windows runs, or opens as a program, when the file is opened.
const char* const kRunnableExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".vbs",
                                           ".vbe", ".js",  ".jse", ".wsf", ".wsh", ".hta", ".lnk",
                                           ".url", ".ps1", ".msi", ".reg", ".cpl", ".jar"};

template <std::size_t N>
bool InList(const std::string& extension, const char* const (&list)[N]) {
    const std::string lower = common::AsciiLower(extension);
    for (const char* member : list)
        if (lower == member) return true;
    return false;
}

std::string WithoutSuffix(const std::string& text, const std::string& suffix) {
    return text.substr(0, text.size() - suffix.size());
}

bool IsPageFormat(const std::string& format) {
    return format == "htm" || format == "html" || format == "mht" || format == "txt";
}

constexpr std::size_t kFilesSuffixLength = 7;  // "_files\"
constexpr std::size_t kFolderBaseLength = 96;

// The working values of one run.
struct RunState {
    std::string targetFolder;
    std::string pagesFolder;
    std::string defaultExt = ".htm";
    int typeIndex = 2;
    std::string name;
    std::string textName;
    std::string converter;
    bool oldOpera = false;
    bool simple = false, all = false, folder = false, quick = false, imageMode = false;
    BrowserContact contact;
};

bool EnoughSpaceOrGoOn(common::Platform& p, const std::string& pagesFolder) {
    std::string root = VolumeRootOf(pagesFolder);
    if (root.empty()) return true;
    std::optional<std::uint64_t> free = p.FreeDiskSpace(root);
    if (!free || *free >= kLowSpaceBytes) return true;
    int answer = p.MessageBox(0, kLowSpaceText, kErrorTitle,
                              common::mb::OkCancel | common::mb::IconExclamation);
    return answer != common::answer::Cancel;
}

bool Record(common::Platform& p, const SaveRun& run, const std::string& historyTitle,
            const std::string& savedFile, bool all) {
    if (!run.settings.History) return true;
    return AddHistoryEntry(p, historyTitle, savedFile, run.request.Url,
                           common::WithTrailingBackslash(run.settings.PagesDir), all,
                           run.settings.ReverseOrder);
}

SaveOutcome SaveHandedOverPage(common::Platform& p, const SaveRun& run, RunState& s) {
    if (!s.textName.empty()) s.name = s.textName;
    const std::string name = NameInsideFolder(s.name);
    const std::string& source = run.request.HandedOverFile;
    SaveOutcome outcome;
    if (s.quick) {
        const std::string saved = UniqueFileName(p, s.targetFolder + name + ".html");
        p.CopyFile(source, saved, false);
        outcome = RecordQuickSave(p, run, s.name, saved, s.all);
        if (outcome == SaveOutcome::Saved) outcome = SaveOutcome::PhfSaved;
    } else {
        common::FileDialogRequest dialog;
        dialog.save = true;
        dialog.owner = s.contact.OperaWindow;
        dialog.filter = kPhfFilter;
        dialog.fileName = name + ".html";
        dialog.flags = kPhfDialogFlags;
        std::optional<std::string> chosen = p.FileDialog(dialog);
        if (chosen) p.CopyFile(source, *chosen, false);
        outcome = chosen ? SaveOutcome::PhfSaved : SaveOutcome::PhfCancelled;
    }
    p.DeleteFile(source);
    return outcome;
}

// Rule C6: a fresh "<name>_files\" folder for browsers before version 9.
std::string NewFilesFolder(common::Platform& p, const std::string& targetFolder,
                           const std::string& name) {
    const std::string base = targetFolder + common::TrimJunkRight(NameInsideFolder(
                                                name.substr(0, kFolderBaseLength)));
    // The wrapper page "<base>.html" goes beside the folder: a base is taken
    // when either name is, so no page of the user's is written over.
    auto taken = [&](const std::string& stem) {
        return p.FolderExists(stem + "_files") || p.FileExists(stem + ".html") ||
               p.FolderExists(stem + ".html");
    };
    std::string stem = base;
    for (int n = 1; taken(stem); ++n) stem = base + "_" + std::to_string(n);
    const std::string folder = stem + "_files\\";
    p.CreateFolder(folder);
    return folder;
}

SaveOutcome SaveThroughDialogs(common::Platform& p, const SaveRun& run, const SaveHooks& hooks,
                               RunState& s) {
    const std::string& format = run.request.Format;
    BrowserContact& c = s.contact;
    for (int pass = 0;; ++pass) {
        WindowId dialog = 0;
        if (pass == 0) {
            dialog = WaitForSaveDialog(p, c);
            if (dialog && s.all) dialog = WaitForNextSaveDialog(p, c, s.oldOpera);
        } else {
            dialog = WaitForNextSaveDialog(p, c, s.oldOpera);
        }
        if (!dialog) return pass == 0 ? SaveOutcome::NoDialog : SaveOutcome::Saved;

        const FormatRule rule = RuleOfFormat(format, s.oldOpera, s.defaultExt);
        s.typeIndex = rule.typeIndex;
        FindDialogControls(p, c, dialog);
        const std::string proposed = ReadFileName(p, c);
        NameCheck check{proposed,     s.name, s.textName, c.PageTitle,
                        s.defaultExt, format, s.simple,   s.oldOpera, rule.extension};
        if (std::optional<std::string> corrected = CorrectedDialogName(check))
            WriteFileName(p, c, *corrected);
        SelectFileType(p, c, dialog, s.typeIndex);
        if (!s.quick) return SaveOutcome::LeftToUser;

        if (s.oldOpera && !s.all) s.targetFolder = NewFilesFolder(p, s.targetFolder, s.name);

        std::string lastRead = proposed;
        if (!proposed.empty() && proposed != s.defaultExt) {
            lastRead = ReadFileName(p, c);
            s.name = lastRead;
        }
        if (!s.textName.empty()) s.name = s.textName;

        const std::string urlExt = s.all ? std::string() : ExtensionOf(run.request.Url);
        s.name = NameWithExtension(s.name, urlExt, rule.extension);
        if (!IsPageExtension(ExtensionOf(s.name))) s.converter.clear();

        std::string tempFolder;
        // A target folder that takes no new folder gets the page unconverted.
        if (!s.converter.empty()) tempFolder = CreateTempFolder(p, s.targetFolder);
        if (tempFolder.empty()) s.converter.clear();
        const std::string saved = s.converter.empty()
                                      ? UniqueFileName(p, s.targetFolder + s.name)
                                      : UniqueFileName(p, tempFolder + "\\index.html");
        WriteFileName(p, c, saved);
        // Freed just before the click, so the browser does not ask whether to
        // replace the empty file that held the name.
        p.DeleteFile(saved);
        ConfirmDialog(p, dialog);
        std::string historyTitle =
            common::UnescapeUrl(common::TrimJunkLeft(common::TrimJunkRight(c.PageTitle)));
        if (historyTitle.empty()) historyTitle = "untitled";

        std::string recorded = saved;
        if (!s.converter.empty()) {
            std::optional<std::string> output =
                hooks.convert(p, run, saved, s.targetFolder, s.name, historyTitle);
            if (!output) {
                if (s.all) continue;
                return SaveOutcome::Failed;
            }
            recorded = *output;
        }

        if (!s.all) {
            if (s.oldOpera) WriteFramesetPage(p, recorded, run.request.Url);
            if (run.settings.Description) AddDescription(p, recorded, run.request.Url, s.oldOpera);
        }
        if (s.imageMode) historyTitle = lastRead + " (" + historyTitle + ")";
        if (!Record(p, run, historyTitle, recorded, s.all)) return SaveOutcome::HistoryDamaged;
        if (!s.all) return SaveOutcome::Saved;
    }
}

// Whole seconds as such, else to the tenth: "4", "2.5".
std::string SecondsText(std::uint32_t ms) {
    const std::uint32_t tenths = (ms + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
    return text + (tenths == 10 ? " second" : " seconds");
}

}  // namespace

std::string NoSaveDialogText(std::uint32_t waitedMs, std::uint32_t configuredMs,
                             const std::string& settingsFile) {
    std::string text = "The window of Opera was found, but its Save dialog did not open within " +
                       SecondsText(waitedMs) + ". Nothing was saved.\r\n\r\n";
    text += "The time-out is \"TimeOut\" in section [Main] of \"" + settingsFile +
            "\", in seconds (now " + SecondsText(configuredMs) + ")";
    if (waitedMs != configuredMs) text += "; a save of images waits half of it";
    return text + ".";
}

std::string ExtensionOf(const std::string& text) {
    std::size_t dot = text.find_last_of('.');
    return dot == std::string::npos ? "" : text.substr(dot);
}

bool IsPageExtension(const std::string& extension) { return InList(extension, kPageExtensions); }
bool IsMediaExtension(const std::string& extension) { return InList(extension, kMediaExtensions); }

bool IsRunnableName(const std::string& name) {
    std::size_t end = name.find_last_not_of(". ");
    if (end == std::string::npos) return false;
    return InList(ExtensionOf(name.substr(0, end + 1)), kRunnableExtensions);
}

FormatRule RuleOfFormat(const std::string& format, bool oldOpera, const std::string& defaultExt) {
    const std::string mhtExt = oldOpera ? ".txt" : ".mht";
    if (format == "htm") return {0, defaultExt};
    if (format == "html") return {1, ".html"};
    if (format == "mht") return {2, mhtExt};
    if (format == "txt") return {oldOpera ? 2 : 3, ".txt"};
    if (format == "img" || format == "imgs") return {0, ".jpg"};
    return {2, mhtExt};
}

std::string UniqueFileName(common::Platform& p, const std::string& path,
                           const std::string& folderSuffix) {
    const std::string folder = common::FolderOfPath(path);
    const std::string file = path.substr(folder.size());
    const std::string extension = ExtensionOf(file);
    const std::string base = WithoutSuffix(file, extension);
    std::string stem = folder + base;
    for (unsigned n = 1;; ++n) {
        const std::string candidate = stem + extension;
        if (folderSuffix.empty() || !p.FolderExists(stem + folderSuffix)) {
            // Created empty here, so another saver cannot be handed the same name.
            if (p.CreateNewFile(candidate, "")) return candidate;
            // Nothing there and still not created: the folder cannot be written,
            // and numbering on would not help.
            if (!p.FileExists(candidate) && !p.FolderExists(candidate)) return candidate;
        }
        stem = folder + base + "_" + std::to_string(n);
    }
}

std::string SiteFolderOfUrl(const std::string& url) {
    std::string site;
    if (common::StartsWith(url, "opera:") || common::StartsWith(url, "about:")) {
        site = url.substr(0, 32);
    } else {
        std::size_t scheme = url.find("://");
        std::string rest = scheme != std::string::npos ? url.substr(scheme + 3)
                                                       : (url.size() > 2 ? url.substr(2) : "");
        std::size_t slash = rest.find('/');
        if (slash == std::string::npos) return "";
        site = rest.substr(0, std::min<std::size_t>(slash, 31));
        std::size_t www = site.find("www.");
        if (www != std::string::npos) site.erase(www, 4);
    }
    std::string name = common::MakeFileName(site);
    return name.empty() ? "" : name + "\\";
}

bool ExtensionContradictsFormat(const std::string& fileName, const std::string& format) {
    const std::string e = common::AsciiLower(ExtensionOf(fileName));
    return (e == ".mht" && format != "mht") || (e == ".htm" && format != "htm" && format != "html") ||
           (e == ".txt" && format != "txt");
}

std::string FramesetPagePath(const std::string& savedFile) {
    std::string folder = common::FolderOfPath(savedFile);
    if (folder.size() < kFilesSuffixLength) return folder + ".html";
    return folder.substr(0, folder.size() - kFilesSuffixLength) + ".html";
}

std::string FramesetPageText(const std::string& savedFile, const std::string& url) {
    std::string base = WithoutSuffix(FramesetPagePath(savedFile), ".html");
    return "<html><frameset><frame src=\"" + common::FileNameOfPath(base) + "_files/" +
           common::FileNameOfPath(savedFile) +
           "\"></frameset></html>\r\n<!-- This document saved from " + url + " -->";
}

void WriteFramesetPage(common::Platform& p, const std::string& savedFile, const std::string& url) {
    p.WriteFile(FramesetPagePath(savedFile), FramesetPageText(savedFile, url));
}

std::string VolumeRootOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
    if (common::StartsWith(path, "\\\\")) {
        std::size_t server = path.find('\\', 2);
        if (server == std::string::npos || server == 2) return "";
        std::size_t share = path.find('\\', server + 1);
        if (share == server + 1) return "";
        if (share == std::string::npos) return path + "\\";
        return path.substr(0, share + 1);
    }
    return "";
}

std::string WorkingNameOf(const std::string& pageTitle) {
    std::string name = common::UnescapeUrl(common::MakeFileName(pageTitle));
    return name.empty() ? "untitled" : name;
}

std::string NameInsideFolder(const std::string& name) {
    std::string safe = common::MakeFileName(name);
    return safe.empty() ? "untitled" : safe;
}

std::optional<std::string> CorrectedDialogName(const NameCheck& c) {
    if (c.simple && !c.textName.empty()) return common::DotsToUnderscores(c.textName);
    if (c.proposed.empty() || c.proposed == c.defaultExt ||
        (c.oldOpera && c.simple && !common::Contains(c.pageTitle, c.proposed)) ||
        (c.simple && common::HasFileNameTrouble(c.proposed)))
        return common::DotsToUnderscores(c.workingName);
    if (!c.oldOpera && ExtensionContradictsFormat(c.proposed, c.format)) {
        std::string file = common::FileNameOfPath(c.proposed);
        return common::DotsToUnderscores(
            common::MakeFileName(WithoutSuffix(file, ExtensionOf(file))));
    }
    // The browser's own proposal may come from the page; it must not stay runnable.
    if (IsRunnableName(c.proposed))
        return common::MakeFileName(common::FileNameOfPath(c.proposed)) + c.typeExt;
    return std::nullopt;
}

std::string NameWithExtension(const std::string& name, const std::string& urlExtension,
                              const std::string& typeExtension) {
    std::string working = name;
    std::string e = ExtensionOf(working);
    if ((!IsPageExtension(e) && !IsMediaExtension(e)) || IsRunnableName(e)) {
        const bool fromUrl = IsMediaExtension(urlExtension) && !IsRunnableName(urlExtension);
        e = fromUrl ? urlExtension : typeExtension;
        working += e;
    }
    return common::MakeFileName(WithoutSuffix(working, e)) + e;
}

SaveOutcome RecordQuickSave(common::Platform& p, const SaveRun& run,
                            const std::string& historyTitle, const std::string& savedFile,
                            bool all) {
    if (!Record(p, run, historyTitle, savedFile, all)) return SaveOutcome::HistoryDamaged;
    if (run.settings.Description) AddDescription(p, savedFile, run.request.Url, false);
    return SaveOutcome::Saved;
}

SaveHooks BuiltInSaveHooks() {
    SaveHooks hooks;
    hooks.screenshot = SaveScreenshot;
    hooks.convert = [](common::Platform& p, const SaveRun& run, const std::string& savedPage,
                       const std::string& targetFolder, const std::string& workingName,
                       std::string& historyTitle) {
        Conversion c;
        c.converter = run.request.Converter;
        c.programFolder = run.startFolder;
        c.savedPage = savedPage;
        c.tempFolder = common::WithoutTrailingBackslash(common::FolderOfPath(savedPage));
        c.targetFolder = targetFolder;
        c.outputName = OutputNameOf(run.request.Method == "all", workingName,
                                    common::MakeFileName(run.request.Text), historyTitle);
        c.timeOutMs = run.settings.TimeOutMs;
        c.owner = run.programWindow;
        return ConvertSavedPage(p, c, historyTitle);
    };
    return hooks;
}

SaveOutcome PerformSaveRun(common::Platform& p, const SaveRun& run, const SaveHooks& hooks) {
    const SaveRequest& r = run.request;
    RunState s;
    s.pagesFolder = common::WithTrailingBackslash(run.settings.PagesDir);
    s.targetFolder = s.pagesFolder;
    s.oldOpera = run.settings.OldOpera;
    s.converter = r.Converter;
    s.contact.TimeOutMs = run.settings.TimeOutMs;

    // A. Preparation.
    s.contact.OperaWindow = FindOperaWindow(p);
    if (!s.contact.OperaWindow) {
        p.MessageBox(0, kNoBrowserText, kErrorTitle, common::mb::IconExclamation);
        return SaveOutcome::NoBrowser;
    }
    if (!EnoughSpaceOrGoOn(p, s.pagesFolder)) return SaveOutcome::LowSpaceCancel;
    s.contact.PageTitle = ReadPageTitle(p, s.contact.OperaWindow);
    s.name = WorkingNameOf(s.contact.PageTitle);
    // Only when a save will follow: a dialog opened for a conversion that
    // cannot run would be left open in the browser.
    const bool canConvert = s.converter.empty() || static_cast<bool>(hooks.convert);
    if (r.ViaDataUrl && IsPageFormat(r.Format) && canConvert)
        PressKeys(p, s.contact, KeyKind::CtrlS);

    s.simple = r.Method == "simple";
    s.all = r.Method == "all";
    s.folder = r.Method == "folder";
    s.quick = r.Method == "quick" || s.folder || s.all;
    s.imageMode = (r.Format == "img" || r.Format == "imgs") && !s.all;
    s.textName = common::MakeFileName(r.Text);

    if (s.imageMode) {
        s.targetFolder = common::WithTrailingBackslash(run.settings.ImagesDir);
        s.oldOpera = false;
        s.defaultExt = ".jpg";
        s.typeIndex = 0;
        if (r.Format == "imgs") PressKeys(p, s.contact, KeyKind::CtrlLeftClick);
    }
    if (!r.Path.empty())
        s.targetFolder = common::WithTrailingBackslash(
            common::ExpandPath(p, r.Path, common::ExpandVariant::Mirsa, s.targetFolder));
    if (s.folder && !r.Url.empty()) s.targetFolder += SiteFolderOfUrl(r.Url);
    CreateFolderTree(p, s.targetFolder);

    if (r.Format == "png") {
        if (!hooks.screenshot) return SaveOutcome::NotAvailable;
        return hooks.screenshot(p, run, s.contact, s.targetFolder, s.name);
    }
    if (r.Format == "phf") return SaveHandedOverPage(p, run, s);
    if (!s.converter.empty() && !hooks.convert) return SaveOutcome::NotAvailable;
    const SaveOutcome outcome = SaveThroughDialogs(p, run, hooks, s);
    // The method "all" ends quietly after its last dialog; a run that never
    // saw one would otherwise end without a word.
    if (outcome == SaveOutcome::NoDialog)
        p.MessageBox(0, NoSaveDialogText(s.contact.TimeOutMs, run.settings.TimeOutMs,
                                         run.settingsFile),
                     kErrorTitle, common::mb::IconExclamation);
    return outcome;
}

}  // namespace mirsa
