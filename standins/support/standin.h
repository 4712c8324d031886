// Pieces every stand-in shares: where it lives, its INI beside it, its own
// argument list, and the log record it writes about how it was started.
#pragma once

#include <string>
#include <vector>

#include "common/win32/win32_platform.h"
#include "standins/support/record_format.h"

namespace standin {

common::Win32Platform& Platform();

std::string ExeFolder();    // with trailing backslash
std::string ExeBaseName();  // file name without extension, as "opera" for opera.exe

// <exe name>.ini beside the exe when it exists, otherwise <fallback>.ini there.
std::string ConfigIni(const std::string& fallbackBase);

// Arguments as the C runtime splits a command line; the program name first.
std::vector<std::string> SplitArgs(const std::string& commandLine);

// The value of an argument "<name>=value" or "<name>" (then "1"); empty when absent.
std::string SwitchValue(const std::vector<std::string>& args, const std::string& name);

// The log path: INI key Log, else the environment variable, else <exe base>.log beside the exe.
std::string LogPath(const std::string& ini, const std::string& section, const std::string& envName);

// A record of kind "start": program, command line, current folder, show
// state, "OperaDirUtf" and "PATH" (absent when unset), process id and tick.
Record StartRecord(const std::string& kind);
Record EventRecord(const std::string& kind);

bool AppendRecord(const std::string& logPath, const Record& record);

// "default" when the starter gave no show state, else its number.
std::string StartupShowState();

}  // namespace standin
