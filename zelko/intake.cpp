#include "zelko/intake.h"

#include <string_view>

#include "common/browser.h"
#include "common/helpers.h"
#include "common/ini.h"
#include "zelko/cookie_scope.h"
#include "zelko/flashgot.h"
#include "zelko/handoff.h"
#include "zelko/kept_job.h"
#include "zelko/link_collection.h"
#include "zelko/plugins.h"
#include "zelko/receiver_detection.h"

namespace zelko {

namespace {

bool IsSeparator(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

// A mangled address prefix and its repair. In the pattern '?' stands for any
// byte; a stray '_' in front, where allowed, goes with the prefix.
struct PrefixRepair {
    std::string_view pattern;
    bool cyrillic;  // h, s, p, f also as the Cyrillic letters written for them
    bool strayUnderscore;
    std::string_view replacement;
};

constexpr PrefixRepair kPrefixRepairs[] = {
    {"h???s://", true, true, "https://"},
    {"h??p://", true, true, "http://"},
    {"f?p://", true, true, "ftp://"},
    {"ftp.", false, true, "ftp://ftp."},
    {"www.", false, false, "http://www."},
};

// The code page 1251 letter written for a Latin one (х h, с s, п p, ф f); 0 for
// none.
char CyrillicFor(char latin) {
    switch (latin) {
        case 'h': return '\xF5';
        case 's': return '\xF1';
        case 'p': return '\xEF';
        case 'f': return '\xF4';
        default: return '\0';
    }
}

// The length of the prefix of url that the repair replaces; 0 when none.
std::size_t RepairedLength(const std::string& url, const PrefixRepair& repair) {
    const std::size_t start = repair.strayUnderscore && !url.empty() && url[0] == '_' ? 1 : 0;
    const std::string_view pattern = repair.pattern;
    if (url.size() - start < pattern.size()) return 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char want = pattern[i], got = url[start + i];
        const char other = repair.cyrillic ? CyrillicFor(want) : '\0';
        if (want != '?' && got != want && (other == '\0' || got != other)) return 0;
    }
    return start + pattern.size();
}

bool IsUrlForm(const std::vector<std::string>& args) {
    return !args.empty() && args[0].find('/') != std::string::npos &&
           args[0].find('\\') == std::string::npos;
}

bool IsPageForm(const std::vector<std::string>& args) {
    return args.size() == 4 && args[2] == "DOWNLOAD" && args[3].size() == 3;
}

// An address as a browser passes a page's: a scheme, "://", no blank or
// control character.
bool IsAddressWord(std::string_view word) {
    const std::size_t scheme = word.find("://");
    if (scheme == std::string_view::npos || scheme == 0) return false;
    for (std::size_t i = 0; i < scheme; ++i) {
        const char c = word[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    for (char c : word)
        if (IsSeparator(c)) return false;
    return true;
}

// Some browser versions hand a button's whole parameter text over as one
// argument: "<page file> <page url> DOWNLOAD <kind>". Such an argument (no
// file of that name) is taken as the four arguments of the link-collection
// form: the address is the last blank-separated word before "DOWNLOAD", the
// page file all before it. Anything else stays as it came.
std::vector<std::string> WithLinkCollectionSplit(common::Platform& p,
                                                 const std::vector<std::string>& args) {
    if (args.size() != 1 || p.FileExists(args[0])) return args;
    const std::string& text = args[0];
    const std::size_t kindAt = text.rfind(' ');
    if (kindAt == std::string::npos) return args;
    const std::size_t wordAt = text.rfind(' ', kindAt - 1);
    if (wordAt == std::string::npos || wordAt == 0) return args;
    const std::size_t addressAt = text.rfind(' ', wordAt - 1);
    if (addressAt == std::string::npos || addressAt == 0) return args;
    std::vector<std::string> split = {text.substr(0, addressAt),
                                      text.substr(addressAt + 1, wordAt - addressAt - 1),
                                      text.substr(wordAt + 1, kindAt - wordAt - 1),
                                      text.substr(kindAt + 1)};
    const std::string& path = split[0];
    if (path.back() == ' ' || !IsAddressWord(split[1]) || !IsPageForm(split)) return args;
    for (char c : split[3])
        if (IsSeparator(c)) return args;
    return split;
}

std::string JobFileName(std::size_t attempt) {
    if (attempt == 1) return std::string(kJobBaseName) + kJobExtension;
    return std::string(kJobBaseName) + "_" + std::to_string(attempt) + kJobExtension;
}

std::string WriteUnderFreeName(common::Platform& p, const std::string& folder,
                               const std::string& content) {
    constexpr std::size_t kAttempts = 10000;
    for (std::size_t attempt = 1; attempt <= kAttempts; ++attempt) {
        std::string path = folder + JobFileName(attempt);
        if (p.FileExists(path) || p.FolderExists(path)) continue;
        if (p.WriteFile(path, content)) return path;
        p.DeleteFile(path);
        return "";  // the folder cannot be written
    }
    return "";
}

}  // namespace

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> args;
    std::string current;
    bool open = false;
    auto finish = [&] {
        if (open) args.push_back(current);
        current.clear();
        open = false;
    };
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        char c = text[i];
        if (c == '\0' || IsSeparator(c)) {
            finish();
            ++i;
        } else if (c == '"' && i + 1 < n && text[i + 1] == '"') {
            finish();
            i += 2;
        } else if (c == '"') {
            std::size_t close = text.find('"', i + 1);
            std::size_t end = close == std::string::npos ? n : close + 1;
            current.append(text, i, end - i);
            open = true;
            i = end;
        } else {
            current += c;
            open = true;
            ++i;
        }
    }
    finish();
    for (std::string& arg : args)
        if (arg.size() > 1 && arg.front() == '"' && arg.back() == '"')
            arg = arg.substr(1, arg.size() - 2);
    return args;
}

std::string NormalizeUrl(const std::string& text) {
    std::string url = common::TrimControls(text);
    for (const PrefixRepair& repair : kPrefixRepairs)
        if (const std::size_t n = RepairedLength(url, repair))
            url.replace(0, n, repair.replacement);
    return url;
}

std::string QueryBrowserPageUrl(common::Platform& p, const std::string& url) {
    namespace browser = common::browser;
    std::optional<std::string> reply = browser::DdeRequestOnce(
        p, browser::kTopicWindowInfo, browser::kItemActiveWindow, browser::DdeStarter::CreateProcess);
    std::string address = reply ? OneLine(browser::AddressOfWindowInfo(*reply)) : std::string();
    return address.empty() ? common::SiteRootOfUrl(url) : address;
}

std::string CaptureSelection(common::Platform& p) {
    const std::string old = p.ClipboardText().value_or("");
    p.KeyEvent(common::vk::Control, 0, false);
    p.KeyEvent(common::vk::Insert, 0, false);
    p.KeyEvent(common::vk::Insert, 0, true);
    p.KeyEvent(common::vk::Control, 0, true);
    p.Sleep(kSelectionCopyMs);
    const std::string copied = p.ClipboardText().value_or("");
    if (copied == old) return "";
    if (!old.empty()) p.SetClipboardText(old);
    return copied;
}

bool FindBrowserWindow(common::Platform& p, common::WindowId window, common::WindowId& result) {
    if (!common::browser::IsBrowserMainWindow(p, window)) return true;
    result = window;
    return false;
}

std::string WriteNewJobFile(common::Platform& p, const std::string& folder,
                            const std::string& content) {
    common::MutexId lock = p.AcquireMutex(kJobNameMutex, kJobNameWaitMs);
    std::string path = WriteUnderFreeName(p, folder, content);
    if (path.empty()) path = WriteUnderFreeName(p, p.TempFolder(), content);
    if (lock != 0) p.ReleaseMutex(lock);
    return path;
}

std::string UrlJobText(common::Platform& p, const std::vector<std::string>& args,
                       const ZelkoSettings& s) {
    std::string description;
    if (s.advanced && args.size() == 1) {
        std::string selection = CaptureSelection(p);
        if (!selection.empty()) description = p.AnsiToUtf8(OneLine(selection));
    }
    std::string url = NormalizeUrl(args[0]);
    std::string referrer;
    if (args.size() >= 2)
        referrer = args[1];
    else
        referrer = s.useDde ? QueryBrowserPageUrl(p, url) : common::SiteRootOfUrl(url);
    // A quoted argument may hold line breaks; each field is one line of the job.
    url = p.AnsiToUtf8(OneLine(url));
    referrer = p.AnsiToUtf8(OneLine(referrer));
    if (args.size() >= 3) description = p.AnsiToUtf8(OneLine(args[2]));
    const std::string header = std::string("1;") + kPlaceholderManager + ";0;;";
    return JoinJobLines({header, referrer, url, description, "", ""});
}

std::optional<std::string> TakeRequest(common::Platform& p, const std::vector<std::string>& given,
                                       const ZelkoSettings& s, const std::string& workFolder,
                                       std::string* builtText) {
    const std::vector<std::string> args = WithLinkCollectionSplit(p, given);
    if (IsUrlForm(args) || IsPageForm(args)) {
        std::string text = IsUrlForm(args) ? UrlJobText(p, args, s) : CollectPageLinks(p, args);
        std::string path = WriteNewJobFile(p, workFolder, text);
        if (path.empty()) {
            common::ReportCannotWrite(p, kPlacesName, workFolder + JobFileName(1));
            return std::nullopt;
        }
        if (builtText) *builtText = std::move(text);
        return path;
    }
    const std::string& path = args[0];
    std::optional<std::uint64_t> size = p.FileExists(path) ? p.FileSize(path) : std::nullopt;
    if (!size || *size > kMaxJobBytes) {
        p.MessageBox(0, "Not exist file \"" + path + "\"", kErrorTitle,
                     common::mb::Topmost | common::mb::IconError);
        return std::nullopt;
    }
    return path;
}

StartResult StartZelko(common::Platform& p, int currentLeft, int currentTop) {
    StartResult r;
    ZelkoSettings& s = r.settings;
    s = ReadSettings(p, FindZelkoPlaces(p), currentLeft, currentTop);
    r.folder = s.places.programFolder;

    r.browserInstalled =
        p.FileExists(BrowserFolder(p, r.folder, s.operaDir) + "\\" + common::browser::kMarkerDll);
    if (!r.browserInstalled) s.useDde = false;

    // A detection that cannot be kept would run again at every request.
    bool kept = true;
    if (s.firstRun) {
        s.dm = DetectManagers(p, r.folder, s);
        kept = WriteMainSetting(p, s, "DM", s.dm) && kept;
        kept = WriteMainSetting(p, s, "AllDM", s.allDm) && kept;
        s.running = FindRunningReceivers(p);
        // With no manager found and no template of the user's own, the first
        // request goes to a manager that runs rather than nowhere.
        if (s.dm == kNoManager && s.customDm.empty() && !s.running.empty()) {
            s.customDm = s.running[0].address;
            s.customDmEnabled = true;
            kept = WriteMainSetting(p, s, "CustomDM", s.customDm) && kept;
            kept = WriteMainSetting(p, s, "CustomDMEnabled", "1") && kept;
        }
    }
    if (s.usdPresent && s.transferToUsd.empty()) {
        s.transferToUsd = LoadSitePlugins(p, s.usdPath);
        kept = WriteMainSetting(p, s, "TransferToUSD", s.transferToUsd) && kept;
    }
    if (!kept) common::ReportCannotWrite(p, kPlacesName, s.places.settingsFile);

    const std::vector<std::string> args = SplitArguments(common::CommandLineTail(p));
    if (args.empty()) {
        r.settingsMutex = p.AcquireMutex(kSettingsMutex, 0);
        r.mode = r.settingsMutex != 0 ? StartMode::Settings : StartMode::AlreadyOpen;
        return r;
    }

    r.mode = StartMode::RequestDone;
    DeleteOldKeptJobs(p, r.folder, args[0]);
    std::string jobText;  // read back only when this process did not write it
    std::optional<std::string> jobPath = TakeRequest(p, args, s, s.places.workFolder, &jobText);
    if (!jobPath) return r;
    if (!jobPath->empty()) {
        if (jobText.empty()) jobText = p.ReadFile(*jobPath).value_or("");
        JobLines lines = SplitJobLines(std::move(jobText));
        DropForeignCookies(lines);
        bool done = true;
        if (lines.size() >= kRequestLines) {
            const RequestFields fields = FieldsOf(lines);
            done = HandOff(p, std::move(lines), *jobPath, fields, s, r.folder);
        }
        if (done && p.FileExists(*jobPath)) p.DeleteFile(*jobPath);
    }
    return r;
}

}  // namespace zelko
