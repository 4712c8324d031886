#include "mirsa/startup.h"

#include <algorithm>

#include "common/helpers.h"
#include "common/ini.h"
#include "common/program_places.h"
#include "mirsa/save.h"

namespace mirsa {

namespace {

constexpr const char kOpenPair[] = "\x91\x91";
constexpr const char kClosePair[] = "\x92\x92";

bool IsBlank(char c) { return c == ' '; }

bool IsSwitchNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::vector<SwitchInText> SwitchesOf(const std::string& commandText) {
    std::vector<SwitchInText> switches;
    const std::size_t n = commandText.size();
    std::size_t i = 0;
    while (i < n) {
        std::size_t nameEnd = i + 1;
        if (commandText[i] == '/')
            while (nameEnd < n && IsSwitchNameChar(commandText[nameEnd])) ++nameEnd;
        if (nameEnd == i + 1 || nameEnd >= n || commandText[nameEnd] != '=') {
            ++i;
            continue;
        }
        SwitchInText s;
        s.name = commandText.substr(i + 1, nameEnd - i - 1);
        std::size_t from = nameEnd + 1;
        std::size_t to;
        s.quoted = commandText.compare(from, 2, kOpenPair) == 0;
        if (s.quoted) {
            from += 2;
            to = commandText.find(kClosePair, from);
            i = to == std::string::npos ? n : to + 2;
        } else {
            to = commandText.find(' ', from);
            i = to == std::string::npos ? n : to;
        }
        s.value = commandText.substr(from, to == std::string::npos ? std::string::npos : to - from);
        switches.push_back(s);
    }
    return switches;
}

std::string GetSwitchValue(const std::string& commandText, const std::string& name) {
    if (name.empty()) return "";
    const std::vector<SwitchInText> switches = SwitchesOf(commandText);
    auto found = std::find_if(switches.begin(), switches.end(),
                              [&](const SwitchInText& s) { return s.name == name && s.quoted; });
    if (found == switches.end())
        found = std::find_if(switches.begin(), switches.end(),
                             [&](const SwitchInText& s) { return s.name == name; });
    if (found == switches.end()) return "";
    std::string value = found->value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

std::vector<std::string> SplitArguments(const std::string& tail) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < tail.size()) {
        while (i < tail.size() && IsBlank(tail[i])) ++i;
        if (i >= tail.size()) break;
        std::string argument;
        bool quoted = false;
        for (; i < tail.size() && (quoted || !IsBlank(tail[i])); ++i) {
            if (tail[i] == '"') quoted = !quoted;
            argument += tail[i];
        }
        arguments.push_back(argument);
    }
    return arguments;
}

std::string WithoutSurroundingQuotes(const std::string& argument) {
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
        return argument.substr(1, argument.size() - 2);
    return argument;
}

std::string HelpText() {
    return "Mirsa for Opera Ver 2.4\r\r"
           "Mirsa.exe /format=html /method=folder /url=\x91\x91%U\x92\x92 /path=\x91\x91\x92\x92"
           " /text=\x91\x91%T\x92\x92\r"
           "Mirsa.exe /format=chm /method=quick /url=\x91\x91%U\x92\x92 /text=\x91\x91%T\x92\x92\r"
           "Mirsa.exe /format=mht /method=all\r"
           "Mirsa.exe /format=png /text=\x91\x91%T\x92\x92";
}

std::string SettingsFileOf(const std::string& programPath) {
    std::size_t slash = programPath.find_last_of('\\');
    std::size_t dot = programPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return programPath + ".ini";
    return programPath.substr(0, dot) + ".ini";
}

bool SystemWantsEnglish(common::Platform& p) {
    constexpr unsigned kCyrillicCodePage = 1251;
    return p.AnsiCodePage() != kCyrillicCodePage;
}

MirsaSettings ReadSettings(common::Platform& p, const std::string& settingsFile,
                           const std::string& startFolder, const std::string& pagesDefault) {
    common::IniFile ini(p, settingsFile);
    MirsaSettings s;
    // An empty folder value counts as missing: an empty pages folder would
    // put every save at the root of the current drive.
    std::string pages = ini.Text("Main", "QuickSaveDir", "");
    if (pages.empty()) pages = pagesDefault.empty() ? startFolder : pagesDefault;
    s.PagesDir = common::ExpandPath(p, pages, common::ExpandVariant::Mirsa, startFolder);
    std::string images = ini.Text("Main", "QuickSaveImgDir", "");
    if (images.empty())
        s.ImagesDir = common::WithTrailingBackslash(s.PagesDir) + "_Images";
    else
        s.ImagesDir = common::ExpandPath(p, images, common::ExpandVariant::Mirsa, startFolder);
    s.OperaVersion = ini.Int("Main", "OperaVersion", 9);
    s.OldOpera = s.OperaVersion < 9;
    s.Description = ini.Bool("Main", "Description", false);
    s.ReverseOrder = ini.Bool("Main", "ReverseOrder", false);
    s.History = ini.Bool("Main", "History", true);
    s.English = ini.Has("Main", "English") ? ini.Bool("Main", "English", false)
                                           : SystemWantsEnglish(p);
    const int seconds = std::clamp(ini.Int("Main", "TimeOut", 4), 0, kMaxTimeOutSeconds);
    s.TimeOutMs = static_cast<std::uint32_t>(seconds) * 1000u;
    s.Left = ini.Int("Position", "Left", 526);
    s.Top = ini.Int("Position", "Top", 455);
    return s;
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

std::string DataUrlCommandText(common::Platform& p, const std::string& argument) {
    std::string text = common::UnescapeUrl(argument);
    if (!IsAscii(text) && IsValidUtf8(text)) return p.Utf8ToAnsi(text);
    return text;
}

PageSettings TakePageSettings(const std::string& content) {
    PageSettings result;
    result.content = content;
    const std::string marker = kSettingsMarker;
    std::size_t at = content.find(marker);
    if (at == std::string::npos) return result;
    result.hasMarker = true;
    std::size_t from = at + marker.size();
    std::size_t end = content.find(kSettingsEnd, from);
    if (end != std::string::npos) result.settingsText = content.substr(from, end - from);
    // The comment as it stands: marker, settings text, " -->".
    std::string comment = marker + result.settingsText + kSettingsEnd;
    std::size_t whole = content.find(comment);
    if (whole != std::string::npos) result.content.erase(whole, comment.size());
    return result;
}

std::string ApplyHandOver(common::Platform& p, const std::string& argument,
                          const std::string& commandText, SaveRequest& request) {
    if (common::StartsWith(argument, kDataUrlPrefix)) {
        request.ViaDataUrl = true;
        return DataUrlCommandText(p, argument);
    }
    if (argument.size() < 3 || argument.compare(1, 2, ":\\") != 0 || !p.FileExists(argument))
        return commandText;
    request.HandedOverFile = argument;
    std::string content = p.ReadFile(argument).value_or("");
    std::string text = commandText;
    if (!content.empty() && content[0] == '<') text = "/format=phf";
    PageSettings settings = TakePageSettings(content);
    if (settings.hasMarker) {
        text += " " + p.Utf8ToAnsi(settings.settingsText);
        if (settings.content != content) common::WriteFileAtomic(p, argument, settings.content);
    }
    return text;
}

SaveRequest ReadSwitches(const std::string& commandText) {
    SaveRequest r;
    r.Format = GetSwitchValue(commandText, "format");
    r.Method = GetSwitchValue(commandText, "method");
    r.Url = GetSwitchValue(commandText, "url");
    r.Path = GetSwitchValue(commandText, "path");
    r.Text = GetSwitchValue(commandText, "text");
    return r;
}

std::string ConverterOf(const std::string& format) {
    if (format == "chm") return "hhc.exe";
    if (format == "pdb") return "isiloxc.exe";
    return "";
}

bool CreateFolderTree(common::Platform& p, const std::string& folder) {
    std::string path = common::WithoutTrailingBackslash(folder);
    if (path.empty()) return false;
    if (p.FolderExists(path)) return true;
    std::string parent = common::WithoutTrailingBackslash(common::FolderOfPath(path));
    // Stop at a drive root ("C:") or a share root; those cannot be created.
    if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':') &&
        !p.FolderExists(parent))
        CreateFolderTree(p, parent);
    p.CreateFolder(path);
    return p.FolderExists(path);
}

StartOutcome RunMirsa(common::Platform& p, const SaveHooks& hooks, MirsaStart* start) {
    const std::string tail = common::CommandLineTail(p);
    const std::vector<std::string> arguments = SplitArguments(tail);
    const std::string argument =
        arguments.size() == 1 ? WithoutSurroundingQuotes(arguments[0]) : std::string();
    if (argument == "--help" || argument == "/?") {
        p.MessageBox(0, HelpText(), "About", common::mb::IconInformation);
        return StartOutcome::Help;
    }

    SaveRun run;
    run.startFolder = common::ProgramFolder(p);
    const common::ProgramPlaces places =
        common::FindProgramPlaces(p, kProgramName, SettingsFileOf(p.ModuleFileName()));
    const std::string& settingsFile = places.settingsFile;

    SaveRequest handOver;
    std::string commandText = tail;
    if (arguments.size() == 1) commandText = ApplyHandOver(p, argument, commandText, handOver);
    run.request = ReadSwitches(commandText);
    run.request.ViaDataUrl = handOver.ViaDataUrl;
    run.request.HandedOverFile = handOver.HandedOverFile;

    if (run.request.Method == "all") {
        // Held until the process ends.
        if (p.AcquireMutex(kAllMutex, 0) == 0) return StartOutcome::SecondInstance;
    }

    run.settings = ReadSettings(p, settingsFile, run.startFolder, places.userFilesFolder);
    run.settingsFile = settingsFile;
    if (start) {
        run.programWindow = start->programWindow;
        start->settingsFile = settingsFile;
        start->settings = run.settings;
    }
    CreateFolderTree(p, common::WithTrailingBackslash(run.settings.PagesDir));

    run.request.Converter = ConverterOf(run.request.Format);
    if (!run.request.Converter.empty()) {
        run.request.Format = "html";
        const std::string converterPath = run.startFolder + run.request.Converter;
        if (!p.FileExists(converterPath)) {
            p.MessageBox(0, "Converter \"" + converterPath + "\" not found!", kErrorTitle,
                         common::mb::IconExclamation);
            return StartOutcome::ConverterMissing;
        }
        run.settings.OldOpera = false;
    }
    if (run.request.Method.empty())
        run.request.Method = run.request.Converter.empty() ? "simple" : "quick";

    if (arguments.empty()) return StartOutcome::SettingsMode;

    PerformSaveRun(p, run, hooks);
    return StartOutcome::SaveRunDone;
}

}  // namespace mirsa
