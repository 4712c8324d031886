#include "zelko/plugins.h"

#include "common/helpers.h"

namespace zelko {

namespace {
std::string FolderPart(const std::string& path) {
    std::size_t end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}
}  // namespace

std::string PluginFolder(const std::string& usdPath) { return FolderPart(usdPath) + "plugins\\"; }

std::string ReportedHosts(const std::string& text) {
    std::string s = common::AsciiLower(common::ReplaceAll(text, "\n", ";"));
    std::size_t bar = s.find('|');
    if (bar != std::string::npos) s.erase(bar);
    if (!common::EndsWith(s, ";")) s += ';';
    // Every "/" lies before the final ";", so each pass finds one.
    for (std::size_t slash = s.find('/'); slash != std::string::npos; slash = s.find('/', slash)) {
        std::size_t semicolon = s.find(';', slash);
        s.erase(slash, semicolon - slash);
    }
    return s;
}

void PluginReport(common::Platform& p, std::string& siteList, const std::string& text) {
    if (common::StartsWith(text, kPluginErrorMark))
        p.MessageBox(0, text, "Zelko Error", common::mb::Topmost | common::mb::IconError);
    std::string hosts = ReportedHosts(text);
    if (siteList.find(hosts) == std::string::npos) siteList += hosts;
}

std::string LoadSitePlugins(common::Platform& p, const std::string& usdPath) {
    std::string siteList;
    const std::string folder = PluginFolder(usdPath);
    const std::string hostFolder = FolderPart(usdPath);
    for (const common::FolderEntry& entry : p.FindFiles(folder + kPluginMask)) {
        if (entry.isFolder) continue;
        common::LibraryId library = p.LoadLibrary(folder + entry.name);
        if (library == 0) continue;
        if (p.HasExport(library, "PlgInit") && p.HasExport(library, "PlgDestroy")) {
            p.CallPluginEntry(library, hostFolder, [&](const std::string& text) {
                PluginReport(p, siteList, text);
            });
        }
        p.FreeLibrary(library);
    }
    return siteList;
}

}  // namespace zelko
