#include "mirsa/converters.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/helpers.h"
#include "common/ini.h"
#include "mirsa/browser_window.h"
#include "mirsa/save.h"

namespace mirsa {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr std::uint32_t kSizeStepMs = 100;
// Past this many names the target folder is taken to refuse new folders.
constexpr int kTempFolderTries = 1000;
constexpr std::uint16_t kQuietShell =
    common::shell_op::Silent | common::shell_op::NoConfirmation | common::shell_op::NoErrorUi;

std::string TempCandidate(const std::string& targetFolder, int n) {
    return targetFolder + "_temp_" + (n == 0 ? std::string() : std::to_string(n));
}

std::string JoinLines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += kCrLf;
        text += line;
    }
    return text;
}

}  // namespace

std::string TempFolderName(common::Platform& p, const std::string& targetFolder) {
    for (int n = 0;; ++n) {
        std::string candidate = TempCandidate(targetFolder, n);
        if (!p.FolderExists(candidate)) return candidate;
    }
}

std::string CreateTempFolder(common::Platform& p, const std::string& targetFolder) {
    for (int n = 0; n < kTempFolderTries; ++n) {
        std::string candidate = TempCandidate(targetFolder, n);
        // Creating it is the claim: a name another run took meanwhile fails here.
        if (!p.FolderExists(candidate) && p.CreateFolder(candidate)) return candidate;
    }
    return "";
}

std::uint64_t FolderSize(common::Platform& p, const std::string& folder) {
    const std::string base = common::WithTrailingBackslash(folder);
    std::uint64_t total = 0;
    for (const common::FolderEntry& e : p.FindFiles(base + "*"))
        total += e.isFolder ? FolderSize(p, base + e.name) : e.size;
    return total;
}

std::string ListPageFiles(common::Platform& p, const std::string& folder) {
    const std::string base = common::WithTrailingBackslash(folder);
    std::string list;
    for (const common::FolderEntry& e : p.FindFiles(base + "*")) {
        if (e.isFolder)
            list += ListPageFiles(p, base + e.name);
        else if (IsPageExtension(ExtensionOf(e.name)))
            list += kCrLf + base + e.name;
    }
    return list;
}

void WaitForSavedPage(common::Platform& p, const std::string& folder, std::uint32_t timeOutMs) {
    const std::uint32_t deadline = p.TickCount() + 3 * timeOutMs;
    for (;;) {
        const std::uint64_t before = FolderSize(p, folder);
        p.Sleep(kSizeStepMs);
        if (before > 0 && FolderSize(p, folder) == before) break;
        if (IsPast(p.TickCount(), deadline)) break;
    }
    p.Sleep(kSizeStepMs);
}

std::string XmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

std::string HhcTitle(const std::string& historyTitle) {
    // A line break would end the window line early and let the title add
    // options or files of its own to the project.
    std::string title = common::ReplaceAll(historyTitle, "\"", "'");
    for (char& c : title)
        if (c == '\r' || c == '\n') c = ' ';
    return title;
}

std::string HhcProject(const std::string& outputFile, const std::string& hhcTitle,
                       const std::string& pageFiles) {
    return JoinLines({"[OPTIONS]", "Compatibility=1.1 or later", "Compiled file=" + outputFile,
                      "Default window=main", "Default topic=index.html", "[WINDOWS]",
                      "main=\"" + hhcTitle +
                          "\",,,\"index.html\",,,,,,262432,,1056828,[10,10,810,610],,,,1,,,0",
                      "[FILES]"}) +
           pageFiles;
}

std::string IsiloProject(const std::string& tempFolder, const std::string& title,
                         const std::string& outputFile) {
    return JoinLines({"<?xml version=\"1.0\"?>", "<iSiloXDocumentList>", "<iSiloXDocument>",
                      "<Source>", "<Sources>",
                      "<Path>" + XmlText(tempFolder + "\\index.html") + "</Path>", "</Sources>",
                      "</Source>", "<Destination>", "<Title>" + XmlText(title) + "</Title>",
                      "<Files>", "<Path>" + XmlText(outputFile) + "</Path>", "</Files>",
                      "</Destination>", "<LinkOptions>", "<FollowOffsite value=\"no\"/>",
                      "</LinkOptions>", "</iSiloXDocument>", "</iSiloXDocumentList>"});
}

std::string OutputNameOf(bool all, const std::string& workingName, const std::string& textName,
                         const std::string& historyTitle) {
    std::string name;
    if (all) {
        const std::string file = common::FileNameOfPath(workingName);
        name = file.substr(0, file.size() - ExtensionOf(file).size());
    } else if (!textName.empty()) {
        name = textName;
    } else {
        name = historyTitle;
    }
    return NameInsideFolder(name);
}

namespace {

// Each entry on its own, for what the shell's removal of the whole tree left.
void RemoveEntriesOf(common::Platform& p, const std::string& folder) {
    for (const common::FolderEntry& entry : p.FindFiles(folder + "\\*")) {
        const std::string path = folder + "\\" + entry.name;
        if (entry.isFolder) {
            RemoveEntriesOf(p, path);
            p.RemoveFolder(path);
        } else {
            p.DeleteFile(path);
        }
    }
}

void RemoveTemporaryFolder(common::Platform& p, common::WindowId owner, const std::string& folder) {
    std::string folderList = folder;
    folderList.append(2, '\0');
    const int result =
        p.ShellFileOperation(owner, common::shell_op::Delete, kQuietShell, folderList, "");
    if (result == 0 || !p.FolderExists(folder)) return;
    RemoveEntriesOf(p, folder);
    p.RemoveFolder(folder);
}

}  // namespace

std::string DeclaredCharset(const std::string& page) {
    if (common::StartsWith(page, "\xEF\xBB\xBF")) return "utf-8";
    if (common::StartsWith(page, "\xFF\xFE")) return "utf-16le";
    if (common::StartsWith(page, "\xFE\xFF")) return "utf-16be";
    // Browsers look for the declaration near the top; this far is plenty.
    constexpr std::size_t kHeadBytes = 65536;
    const std::string head = common::AsciiLower(page.substr(0, kHeadBytes));
    for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
         meta = head.find("<meta", meta + 5)) {
        const std::size_t end = std::min(head.find('>', meta), head.size());
        std::size_t at = head.find("charset", meta);
        if (at == std::string::npos || at > end) continue;
        at = head.find_first_not_of(" \t\r\n", at + 7);
        if (at >= end || head[at] != '=') continue;
        at = head.find_first_not_of(" \t\r\n\"'", at + 1);
        if (at >= end) continue;
        const std::size_t stop = std::min(head.find_first_of(" \t\r\n\"';/>", at), end);
        return head.substr(at, stop - at);
    }
    return "";
}

unsigned CodePageOfCharset(const std::string& label) {
    static const struct {
        const char* label;
        unsigned codePage;
    } kLabels[] = {
        {"utf-8", kUtf8CodePage}, {"utf8", kUtf8CodePage}, {"unicode-1-1-utf-8", kUtf8CodePage},
        // Browsers read the Latin-1 labels as windows-1252.
        {"iso-8859-1", 1252}, {"iso8859-1", 1252}, {"iso_8859-1", 1252}, {"latin1", 1252},
        {"l1", 1252}, {"us-ascii", 1252}, {"ascii", 1252}, {"iso-8859-9", 1254},
        {"iso-8859-11", 874}, {"tis-620", 874}, {"koi8-r", 20866}, {"koi8-u", 21866},
        {"ibm866", 866}, {"cp866", 866}, {"shift_jis", 932}, {"sjis", 932}, {"windows-31j", 932},
        {"x-sjis", 932}, {"euc-jp", 20932}, {"gbk", 936}, {"gb2312", 936}, {"x-gbk", 936},
        {"big5", 950}, {"euc-kr", 949}, {"ks_c_5601-1987", 949},
    };
    for (const auto& known : kLabels)
        if (label == known.label) return known.codePage;
    auto numberAfter = [&](const std::string& prefix) -> unsigned {
        if (!common::StartsWith(label, prefix) || label.size() == prefix.size() ||
            label.size() > prefix.size() + 4 ||
            label.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
            return 0;
        return static_cast<unsigned>(std::stoul(label.substr(prefix.size())));
    };
    for (const char* prefix : {"windows-", "x-cp", "cp"}) {
        const unsigned n = numberAfter(prefix);
        if ((n >= 1250 && n <= 1258) || n == 874) return n;
    }
    const unsigned part = numberAfter("iso-8859-");
    if (part >= 2 && part <= 16) return 28590 + part;
    return 0;
}

namespace {

bool KeptInAddress(unsigned char c) {
    // Bytes above ASCII are left to the caller; parentheses are escaped, so
    // the name can stand in an unquoted CSS url().
    return c >= 0x80 || std::isalnum(c) || (c != '\0' && std::strchr("-_.~!$*+,;=@[]", c));
}

bool AsciiKeptInAddress(unsigned char c) { return c < 0x80 && KeptInAddress(c); }

}  // namespace

std::string FolderAddressFor(common::Platform& p, const std::string& page,
                             const std::string& folderName) {
    // Worked on as UTF-8, where no byte of a longer character looks like ASCII.
    const std::string utf8 = p.AnsiToUtf8(folderName);
    const std::string asciiEscaped = common::PercentEncode(utf8, KeptInAddress);
    const std::string charset = DeclaredCharset(page);
    // A page that declares nothing is read in the system's code page.
    if (charset.empty()) return p.Utf8ToAnsi(asciiEscaped);
    const unsigned codePage = CodePageOfCharset(charset);
    if (codePage != 0 && codePage != kUtf8CodePage) {
        std::optional<std::string> text = p.Utf8ToCodePage(asciiEscaped, codePage);
        if (text) return *text;
    }
    // UTF-8, or what the page's encoding cannot hold: addresses take UTF-8 escaped.
    return common::PercentEncode(utf8, AsciiKeptInAddress);
}

std::string RelinkFilesFolder(const std::string& page, const std::string& oldFolderName,
                              const std::string& newFolderAddress) {
    auto in = [](const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; };
    const std::string from = oldFolderName + "/";
    const std::string to = newFolderAddress + "/";
    std::string out;
    std::size_t done = 0;
    for (std::size_t at = page.find(from); at != std::string::npos; at = page.find(from, at + 1)) {
        // Only a reference that starts there: not "myindex_files/" nor a folder
        // of that name on some server.
        const char before = at == 0 ? '"' : page[at - 1];
        if (!in("\"'=( \t\r\n", before)) continue;
        out.append(page, done, at - done);
        out += to;
        done = at + from.size();
    }
    out.append(page, done, std::string::npos);
    return out;
}

namespace {

bool HasContent(common::Platform& p, const std::string& path) {
    return p.FileSize(path).value_or(0) > 0;
}

// The page and its files folder under the target name, the page's references
// made to follow the folder's new name. Returns whether both reached their
// place; if not, nothing of them is left there.
bool PlacePageWithFiles(common::Platform& p, const Conversion& c, const std::string& filesFolder,
                        const std::string& kept) {
    const std::string filesName = common::FileNameOfPath(filesFolder);
    const std::string extension = ExtensionOf(kept);
    const std::string keptFilesName =
        common::FileNameOfPath(kept.substr(0, kept.size() - extension.size())) + "_files";
    const std::string keptFiles = c.targetFolder + keptFilesName;
    const std::optional<std::string> text = p.ReadFile(c.savedPage);
    if (!text) return false;
    // Written anew rather than moved: the page in the temporary folder stays
    // whole until its files are in place too.
    const std::string address = FolderAddressFor(p, *text, keptFilesName);
    if (!common::WriteFileAtomic(p, kept, RelinkFilesFolder(*text, filesName, address)))
        return false;
    if (p.MoveFile(filesFolder, keptFiles, false) ||
        common::ShellFileOperation(p, c.owner, common::shell_op::Copy, kQuietShell, filesFolder,
                                   keptFiles))
        return true;
    p.DeleteFile(kept);
    // What a copy that broke off left there.
    if (p.FolderExists(keptFiles)) {
        common::ShellFileOperation(p, c.owner, common::shell_op::Delete, kQuietShell, keptFiles,
                                   "");
    }
    return false;
}

// Where the page the browser saved is to be recorded when nothing was
// converted, and whether the temporary folder may go: the page is moved
// (or copied where a move is refused, a file the browser still holds open)
// to the target folder with its files folder; where they cannot both get
// there, the page stays in the temporary folder, which still shows it whole.
struct KeptPage {
    std::optional<std::string> recorded;
    bool tempFolderDone = true;
};

KeptPage KeepSavedPage(common::Platform& p, const Conversion& c) {
    if (!HasContent(p, c.savedPage)) return {};
    const std::string pageName = common::FileNameOfPath(c.savedPage);
    const std::string extension = ExtensionOf(pageName);
    const std::string filesFolder =
        c.tempFolder + "\\" + pageName.substr(0, pageName.size() - extension.size()) + "_files";
    const bool hasFiles = p.FolderExists(filesFolder);

    const std::string kept =
        UniqueFileName(p, c.targetFolder + c.outputName + extension, hasFiles ? "_files" : "");
    const bool placed = hasFiles ? PlacePageWithFiles(p, c, filesFolder, kept)
                                 : p.MoveFile(c.savedPage, kept, true) ||
                                       p.CopyFile(c.savedPage, kept, false);
    if (placed) return {kept, true};
    if (p.FileSize(kept) == std::optional<std::uint64_t>(0)) p.DeleteFile(kept);
    return {c.savedPage, false};
}

}  // namespace

std::optional<std::string> ConvertSavedPage(common::Platform& p, const Conversion& c,
                                            std::string& historyTitle) {
    WaitForSavedPage(p, c.tempFolder, c.timeOutMs);
    std::string outputFile, projectFile, text, arguments, title = historyTitle;
    if (c.converter == kHhcConverter) {
        title = HhcTitle(historyTitle);
        outputFile = UniqueFileName(p, c.targetFolder + c.outputName + ".chm");
        projectFile = c.tempFolder + "\\default.hhp";
        text = HhcProject(outputFile, title, ListPageFiles(p, c.tempFolder));
        arguments = " \"" + projectFile + "\"";
    } else {
        outputFile = UniqueFileName(p, c.targetFolder + c.outputName + ".pdb");
        projectFile = c.tempFolder + "\\isiloxc.ixl";
        text = IsiloProject(c.tempFolder, title, outputFile);
        arguments = " -x \"" + projectFile + "\"";
    }
    p.WriteFile(projectFile, text);
    // The empty file keeps the name taken while the converter runs: another
    // save of the same title meanwhile gets a name of its own. The converter
    // writes over it.
    // Quoted, so a program folder with blanks cannot name another program.
    const bool started = common::RunProgramAndWait(
        p, "\"" + c.programFolder + c.converter + "\"" + arguments, common::WaitVariant::Mirsa,
        common::sw::Hide);
    std::optional<std::string> recorded;
    if (started && HasContent(p, outputFile)) {
        historyTitle = title;
        recorded = outputFile;
    } else {
        // Nothing converted: the name goes free again, and the page the
        // browser saved is kept instead of being thrown away with the folder.
        if (p.FileSize(outputFile) == std::optional<std::uint64_t>(0)) p.DeleteFile(outputFile);
        const KeptPage kept = KeepSavedPage(p, c);
        // Only once everything in it has reached its place.
        if (!kept.tempFolderDone) return kept.recorded;
        recorded = kept.recorded;
    }
    RemoveTemporaryFolder(p, c.owner, c.tempFolder);
    return recorded;
}

}  // namespace mirsa
