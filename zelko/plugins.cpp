#include "zelko/plugins.h"

#include "common/helpers.h"
#include "common/ini.h"

namespace zelko {

namespace {
std::string FolderPart(const std::string& path) {
    std::size_t end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}
}  // namespace

std::string PluginFolder(const std::string& usdPath) { return FolderPart(usdPath) + "plugins\\"; }

std::string ReportedHosts(const std::string& text) {
    // One pass: line feeds as ";", lower case, everything from "|" on left
    // out, and a "/" skips up to the next ";" (a path behind a host mask).
    const std::string cut = text.substr(0, text.find('|'));
    std::string s;
    s.reserve(cut.size() + 1);
    bool inPath = false;
    for (char c : cut) {
        if (c == '\n') c = ';';
        if (c == '/') inPath = true;
        if (c == ';') inPath = false;
        if (!inPath) s += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    // The closing ";" counts as there before the paths go: it ends the last one.
    if (cut.empty() || (cut.back() != ';' && cut.back() != '\n')) s += ';';
    return s;
}

std::string CappedHosts(const std::string& hosts) {
    if (hosts.size() <= kMaxReportedHostBytes) return hosts;
    const std::size_t last = hosts.rfind(';', kMaxReportedHostBytes - 1);
    return last == std::string::npos ? std::string() : hosts.substr(0, last + 1);
}

std::string WholeMasksOf(const std::string& siteList) {
    if (siteList.size() < common::kIniValueLimit || common::EndsWith(siteList, ";")) return siteList;
    const std::size_t last = siteList.rfind(';');
    return last == std::string::npos ? std::string() : siteList.substr(0, last + 1);
}

void PluginReport(common::Platform& p, std::string& siteList, const std::string& text) {
    if (common::StartsWith(text, kPluginErrorMark))
        p.MessageBox(0, text, "Zelko Error", common::mb::Topmost | common::mb::IconError);
    const std::string hosts = CappedHosts(ReportedHosts(text));
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
