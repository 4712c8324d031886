// Rewriting the old installation folder to the new one in the browser's
// profile, mail, language and spell-check files, with ".bak" copies.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/platform.h"
#include "tarvel/launch.h"

namespace tarvel {

// Characters after a match that end a path component: LF, CR, '/', '\'.
bool IsPathBoundary(char c);

// Every occurrence of oldText (ASCII letters matched without case) replaced by
// newText; with the boundary test, only where the match is followed by the end
// of the text or a path boundary. One pass; inserted text is never searched
// again. An empty oldText never matches.
std::string ReplacePathText(const std::string& text, const std::string& oldText,
                            const std::string& newText, bool boundaryTest);

// ReplacePathText on the text itself (without a second copy of a large file
// when newText is no longer than oldText); false when the text does not name
// oldText, and it is then unchanged.
bool ReplacePathTextInPlace(std::string& text, const std::string& oldText,
                            const std::string& newText, bool boundaryTest);

// "\" to "/", then " " to "%20".
std::string UrlForm(const std::string& path);

// True when text holds needle, ASCII letters compared without case; an empty
// needle is never found.
bool ContainsNoCase(const std::string& text, const std::string& needle);

using Replacement = std::pair<std::string, std::string>;  // old, new

inline constexpr const char* kBackupSuffix = ".bak";

// Rewrites one file with the replacements applied in order, when its text
// (less one trailing 0 byte) names any of the old texts. The original goes to
// file + ".bak" first; the new text goes to a temporary file beside it that is
// then moved over the original, so the file is either old or new, never half
// written. Missing, read-only, unreadable or unwritable files stay as they are.
void CorrectFilePasses(common::Platform& p, const std::string& file,
                       const std::vector<Replacement>& passes);
void CorrectFile(common::Platform& p, const std::string& file, const std::string& oldText,
                 const std::string& newText);
// CorrectFile for every file of folder (with trailing backslash) matching mask.
void CorrectFolder(common::Platform& p, const std::string& folder, const std::string& mask,
                   const std::string& oldText, const std::string& newText);

// The folder the profile files still name (UTF-8, no trailing backslash).
std::string DetermineOldDir(common::Platform& p, const LaunchState& s);

// Decides whether the installation moved and, if so, corrects the files in
// their fixed order and sets s.corrected.
void CorrectProfile(common::Platform& p, LaunchState& s);

// "Search Type" and the cache folder on a removable drive.
void AdjustProfile(common::Platform& p, const LaunchState& s);

}  // namespace tarvel
