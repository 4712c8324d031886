#include "mirsa/converters.h"

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
    const int result = p.ShellFileOperation(
        owner, common::shell_op::Delete,
        common::shell_op::Silent | common::shell_op::NoConfirmation | common::shell_op::NoErrorUi,
        folderList, "");
    if (result == 0 || !p.FolderExists(folder)) return;
    RemoveEntriesOf(p, folder);
    p.RemoveFolder(folder);
}

}  // namespace

std::string RelinkFilesFolder(const std::string& page, const std::string& oldFolderName,
                              const std::string& newFolderName) {
    auto in = [](const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; };
    std::string address;
    for (unsigned char c : newFolderName) {
        // Bytes above ASCII stay as they are: the page's own encoding decides them.
        if (c < 0x80 && !std::isalnum(c) && !in("-_.~!$()*+,;=@[]", static_cast<char>(c))) {
            static const char kHex[] = "0123456789ABCDEF";
            address += '%';
            address += kHex[c >> 4];
            address += kHex[c & 15];
        } else {
            address += static_cast<char>(c);
        }
    }
    const std::string from = oldFolderName + "/";
    const std::string to = address + "/";
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

// The page and its files folder under the target name: moved, or copied
// where a move is refused (a file the browser still holds open).
std::optional<std::string> KeepSavedPage(common::Platform& p, const Conversion& c) {
    if (!HasContent(p, c.savedPage)) return std::nullopt;
    const std::string pageName = common::FileNameOfPath(c.savedPage);
    const std::string extension = ExtensionOf(pageName);
    const std::string filesName = pageName.substr(0, pageName.size() - extension.size()) + "_files";
    const std::string filesFolder = c.tempFolder + "\\" + filesName;
    const bool hasFiles = p.FolderExists(filesFolder);

    const std::string kept =
        UniqueFileName(p, c.targetFolder + c.outputName + extension, hasFiles ? "_files" : "");
    if (!p.MoveFile(c.savedPage, kept, true) && !p.CopyFile(c.savedPage, kept, false)) {
        if (p.FileSize(kept) == std::optional<std::uint64_t>(0)) p.DeleteFile(kept);
        return std::nullopt;
    }
    if (!hasFiles) return kept;
    const std::string keptFilesName =
        common::FileNameOfPath(kept.substr(0, kept.size() - extension.size())) + "_files";
    const std::string keptFiles = c.targetFolder + keptFilesName;
    const bool filesMoved =
        p.MoveFile(filesFolder, keptFiles, false) ||
        common::ShellFileOperation(p, c.owner, common::shell_op::Copy,
                                   common::shell_op::Silent | common::shell_op::NoConfirmation |
                                       common::shell_op::NoErrorUi,
                                   filesFolder, keptFiles);
    if (filesMoved && keptFilesName != filesName) {
        if (std::optional<std::string> text = p.ReadFile(kept))
            common::WriteFileAtomic(p, kept, RelinkFilesFolder(*text, filesName, keptFilesName));
    }
    return kept;
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
        recorded = KeepSavedPage(p, c);
        if (!recorded && HasContent(p, c.savedPage)) return std::nullopt;
    }
    RemoveTemporaryFolder(p, c.owner, c.tempFolder);
    return recorded;
}

}  // namespace mirsa
