// Universal Share Downloader's site plug-ins: each reports the host masks it
// serves, gathered into the "TransferToUSD" site list.
#pragma once

#include <string>

#include "common/platform.h"

namespace zelko {

inline constexpr const char* kPluginMask = "*.plg";
inline constexpr const char* kPluginErrorMark = "%Error:";

// The folder part of the program path (up to its last "\", "/" or ":")
// followed by "plugins\".
std::string PluginFolder(const std::string& usdPath);

// The site-list entry a report adds: line feeds as ";", lower case, cut at
// "|", ";" ensured, paths behind host masks dropped.
std::string ReportedHosts(const std::string& text);

// At most this much of one report goes into the site list, so that a plug-in
// reporting megabytes cannot swell the list (and the settings file) without end.
inline constexpr std::size_t kMaxReportedHostBytes = 64 * 1024;

// The hosts cut after the last whole ";"-ended mask within kMaxReportedHostBytes.
std::string CappedHosts(const std::string& hosts);

// The site list as read from the settings file: a list that filled the whole
// INI value may end inside a mask, and a piece of a mask ("mega" of
// "mega.example") would match far more sites, so it is left out.
std::string WholeMasksOf(const std::string& siteList);

// Shows an "%Error:" report, then adds the (capped) hosts to the list unless
// they already occur in it.
void PluginReport(common::Platform& p, std::string& siteList, const std::string& text);

// The site list rebuilt from every plug-in; writes nothing.
std::string LoadSitePlugins(common::Platform& p, const std::string& usdPath);

}  // namespace zelko
