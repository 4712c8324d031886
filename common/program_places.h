// Where a program keeps its settings and working files. A program whose own
// folder can be written keeps everything beside its exe (portable use). One
// whose folder cannot be written (an installed browser in Program Files, a
// normal user) keeps its settings in a per-user copy of its own install under
// %APPDATA%\<program>\<install>\, its working files in the user's temporary folder and
// the files it makes for the user in <Documents>\<program>\. Found once at
// start, by trying to write.
#pragma once

#include <string>

#include "common/platform.h"

namespace common {

struct ProgramPlaces {
    std::string programFolder;    // the exe's folder, with '\'
    bool ownFolderWritable = true;
    std::string settingsFile;     // read and written
    std::string workFolder;       // working files, with '\'
    std::string userFilesFolder;  // files made for the user by default, with '\'
};

// programName names the per-user folders ("Zelko"); settingsBeside is the
// settings file in the program folder. A fresh per-user copy starts as a copy
// of that file; where no per-user copy can be made, the settings stay there.
ProgramPlaces FindProgramPlaces(Platform& p, const std::string& programName,
                                const std::string& settingsBeside);

// The per-user folder name of the install in programFolder: the folder's
// path with the characters a name cannot hold as '_' (only its end when
// long), a blank and a hash of the whole path, "C_Program Files_Opera_Zelko
// 9fa065cd", so two installs never share one even where their readable
// parts are the same.
std::string InstallFolderName(Platform& p, const std::string& programFolder);

// True when a new file can be made in the folder (with '\'): tried, not guessed.
bool CanWriteFolder(Platform& p, const std::string& folder);

// A file the program could not write, in a box titled "<program> Error".
std::string CannotWriteText(const std::string& path);
void ReportCannotWrite(Platform& p, const std::string& programName, const std::string& path);

}  // namespace common
