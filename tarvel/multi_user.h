// The free-space warning and the conversion of a multi-user installation
// (profile and mail under the user's AppData) into a single-user one.
#pragma once

#include <cstdint>
#include <string>

#include "common/platform.h"
#include "tarvel/launch.h"

namespace tarvel {

inline constexpr std::uint64_t kLowSpaceBytes = 8388608;  // 8 MiB
inline constexpr const char* kQuestionTitle = "Tarvel";
inline constexpr const char* kErrorTitle = "Tarvel Error";
inline constexpr const char* kLowSpaceQuestion =
    "There is not enough free space on the disk!\rAre you sure what want to continue?";
inline constexpr const char* kConvertQuestion =
    "Found a Multi User installation.\rTransform installation from multi-user to single-user?";
inline constexpr const char* kBadInstallation = "Bad installation of Opera. Exit.";

// Root of the volume that holds a path: "D:\" for a drive path, the share
// root "\\server\share\" for a network path, "X:\" for a bare drive letter.
std::string VolumeRootOf(const std::string& path);

// Asks when the profile's volume has less than 8 MiB free; false = end the launch.
bool WarnLowDiskSpace(common::Platform& p, const std::string& profileFolder);

enum class Conversion { Converted, Declined, EndLaunch };
Conversion ConvertToSingleUser(common::Platform& p, LaunchState& s);

// Moves an existing folder (no trailing backslash) to the first free name
// folder_1, folder_2, ...; true when there was nothing to move or it moved.
bool MoveAside(common::Platform& p, const std::string& folder);

// Copies the machine-local data (sub is "profile\" or "mail\") into the
// program folder, merging with what is there.
void MergeLocalData(common::Platform& p, const LaunchState& s, const std::string& localBase,
                    const std::string& sub);

// The shell copy of one file or folder; where the shell fails, copies what is
// still missing file by file, never overwriting what is already there.
void CopyKeepingExisting(common::Platform& p, const std::string& from, const std::string& to);

}  // namespace tarvel
