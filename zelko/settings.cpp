#include "zelko/settings.h"

#include "common/helpers.h"
#include "common/ini.h"
#include "zelko/aria2.h"
#include "zelko/plugins.h"

namespace zelko {

using common::ExpandPath;
using common::ExpandVariant;

// The only language besides English that Zelko_lang.ini ships, and the
// code page its texts are drawn in.
constexpr unsigned kCyrillicCodePage = 1251;

common::ProgramPlaces FindZelkoPlaces(common::Platform& p) {
    return common::FindProgramPlaces(p, kPlacesName, common::ProgramFolder(p) + kIniName);
}

std::string SystemLanguage(common::Platform& p) {
    return p.AnsiCodePage() == kCyrillicCodePage ? "ru" : "en";
}

ZelkoSettings ReadSettings(common::Platform& p, const common::ProgramPlaces& places,
                           int currentLeft, int currentTop) {
    const std::string& folder = places.programFolder;
    const common::IniFile ini(p, places.settingsFile);
    ZelkoSettings s;
    s.places = places;
    s.dm = ini.Text(kSectionMain, "DM");
    s.allDm = ini.Text(kSectionMain, "AllDM");
    s.customDm = ini.Text(kSectionMain, "CustomDM");
    s.customDmEnabled = ini.Bool(kSectionMain, "CustomDMEnabled", false);
    s.aria2Secret = ini.Text(kSectionMain, kAria2SecretKey);
    s.usd = ini.Text(kSectionMain, "USD");
    s.usdPath = ExpandPath(p, s.usd, ExpandVariant::Zelko, folder);
    s.usdPresent = !s.usdPath.empty() && p.FileExists(s.usdPath);
    s.transferToUsd = WholeMasksOf(ini.Text(kSectionMain, "TransferToUSD"));
    s.rapGet = ini.Text(kSectionMain, "RapGet");
    s.rapGetPath = ExpandPath(p, s.rapGet, ExpandVariant::Zelko, folder);
    s.fullInstall = ini.Int(kSectionMain, "FullInstall", 0);
    s.advanced = ini.Bool(kSectionMain, "Advanced", true);
    s.useDde = ini.Bool(kSectionMain, "UseDDE", true);
    s.language = ini.Text(kSectionMain, "Language", SystemLanguage(p));
    s.operaDir = ini.Text(kSectionMain, "OperaDir");
    s.left = ini.Int(kSectionPosition, "Left", currentLeft);
    s.top = ini.Int(kSectionPosition, "Top", currentTop);
    s.firstRun = s.dm.empty();
    return s;
}

std::string BrowserFolder(common::Platform& p, const std::string& folder,
                          const std::string& operaDir) {
    std::string result;
    if (!operaDir.empty()) {
        result = ExpandPath(p, operaDir, ExpandVariant::Zelko, folder);
    } else {
        std::string own = common::WithoutTrailingBackslash(folder);
        std::size_t slash = own.rfind('\\');
        result = slash == std::string::npos ? own : own.substr(0, slash);
    }
    return common::WithoutTrailingBackslash(result);
}

bool WriteMainSetting(common::Platform& p, const ZelkoSettings& settings, const std::string& key,
                      const std::string& value) {
    return common::IniFile(p, settings.places.settingsFile).WriteText(kSectionMain, key, value);
}

}  // namespace zelko
