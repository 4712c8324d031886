// The formats "chm" and "pdb": the browser saves the page into a temporary
// folder, a project file tells hhc.exe or isiloxc.exe what to build, the
// converter runs hidden, and the temporary folder goes again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/platform.h"

namespace mirsa {

inline constexpr const char* kHhcConverter = "hhc.exe";
inline constexpr const char* kIsiloConverter = "isiloxc.exe";

// The first of targetFolder + "_temp_", "_temp_1", "_temp_2", ... with no folder there.
std::string TempFolderName(common::Platform& p, const std::string& targetFolder);
// The same names, taking the first this run can create itself, so two
// conversions at once never share one; empty when none could be made.
std::string CreateTempFolder(common::Platform& p, const std::string& targetFolder);

// Bytes of all files in the folder and below it.
std::uint64_t FolderSize(common::Platform& p, const std::string& folder);
// CR LF + full path of every page file in the tree, in the file system's order.
std::string ListPageFiles(common::Platform& p, const std::string& folder);

// Waits until the browser has written something and the folder's size holds
// still, at most 3 x timeOutMs.
void WaitForSavedPage(common::Platform& p, const std::string& folder, std::uint32_t timeOutMs);

// "&", "<" and ">" as XML element text needs them.
std::string XmlText(const std::string& text);
// hhc.exe cannot take a double quote or a line break inside the window title:
// quotes become single quotes, CR and LF blanks.
std::string HhcTitle(const std::string& historyTitle);
std::string HhcProject(const std::string& outputFile, const std::string& hhcTitle,
                       const std::string& pageFiles);
std::string IsiloProject(const std::string& tempFolder, const std::string& title,
                         const std::string& outputFile);

// The output's name without extension: for "all" the working name without
// folder and extension, else the text name, else the history title.
std::string OutputNameOf(bool all, const std::string& workingName, const std::string& textName,
                         const std::string& historyTitle);

// The charset a page declares (its byte-order mark, else the first meta
// element that names one), in lower case; empty when it declares none.
std::string DeclaredCharset(const std::string& page);
inline constexpr unsigned kUtf8CodePage = 65001;
// The Windows code page of a charset label as browsers read it (the Latin-1
// labels mean windows-1252); 0 when unknown.
unsigned CodePageOfCharset(const std::string& label);
// A folder's name (ANSI) as the page's addresses must spell it: escaped as
// an address, in the page's own encoding; percent-encoded UTF-8 where that
// is UTF-8 or cannot hold a character of the name; in the system's code
// page where the page declares none.
std::string FolderAddressFor(common::Platform& p, const std::string& page,
                             const std::string& folderName);

// The page's references to its files folder ("<old>_files/...") made to
// point at the folder's new address.
std::string RelinkFilesFolder(const std::string& page, const std::string& oldFolderName,
                              const std::string& newFolderAddress);

struct Conversion {
    std::string converter;   // kHhcConverter or kIsiloConverter
    std::string programFolder;  // where the converter lies, with backslash
    std::string savedPage;   // the page the browser saved, in tempFolder
    std::string tempFolder;  // without backslash
    std::string targetFolder;  // with backslash
    std::string outputName;
    std::uint32_t timeOutMs = 4000;
    common::WindowId owner = 0;
};
// Waits for the page, writes the project, runs the converter and removes the
// temporary folder. The output name stays taken by an empty file until the
// converter has written over it. Returns the output file's path (historyTitle
// then gets hhc.exe's form of it); when the converter did not start or wrote
// nothing, the saved page itself moved with its files folder to the target
// folder under the output name, or, where they could not both get there,
// the page in the temporary folder, which then stays; nothing when the
// browser saved no page.
std::optional<std::string> ConvertSavedPage(common::Platform& p, const Conversion& c,
                                            std::string& historyTitle);

}  // namespace mirsa
