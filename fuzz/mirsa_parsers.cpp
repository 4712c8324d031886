// Mirsa's parsers on arbitrary bytes: switches, arguments, the page settings
// comment, names made from titles and addresses, the pieces of a history item
// (no mark-up from the page, a link without blanks or backslashes), line ends,
// the iSilo text escaping, and the history page update.
#include <cstdint>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include <string>

#include "mirsa/converters.h"
#include "mirsa/history.h"
#include "mirsa/save.h"
#include "mirsa/startup.h"

namespace {

const std::string& Template() {
    static const std::string text =
        fuzz_support::FileBytes(std::string(MIRSA_RESOURCE_DIR) + "/MirsaHistory.html");
    return text;
}

using fuzz_support::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string first = input.substr(0, cut);
    const std::string rest = cut == std::string::npos ? "" : input.substr(cut + 1);

    for (const char* name : {"format", "method", "url", "path", "text"})
        Require(mirsa::GetSwitchValue(input, name).size() <= input.size());
    mirsa::GetSwitchValue(rest, first);
    for (const std::string& a : mirsa::SplitArguments(input)) Require(!a.empty());
    mirsa::IsValidUtf8(input);

    mirsa::PageSettings s = mirsa::TakePageSettings(input);
    Require(s.content.size() <= input.size());
    Require(!s.hasMarker || input.find(mirsa::kSettingsMarker) != std::string::npos);

    const std::string inside = mirsa::NameInsideFolder(mirsa::WorkingNameOf(input));
    Require(!inside.empty() && inside.find_first_of("\\/:") == std::string::npos);
    const std::string site = mirsa::SiteFolderOfUrl(input);
    Require(site.empty() || (site.back() == '\\' && site.find_first_of("/:") == std::string::npos));
    mirsa::NameWithExtension(first, mirsa::ExtensionOf(rest), ".html");
    mirsa::NameCheck check{first, rest, "", input, ".htm", "mht", true, false};
    mirsa::CorrectedDialogName(check);

    const mirsa::SaveRequest request = mirsa::ReadSwitches(input);
    Require(request.Format == mirsa::GetSwitchValue(input, "format"));
    Require(mirsa::EscapeAngles(input).find_first_of("<>") == std::string::npos);
    Require(mirsa::HistoryTitle(first, rest, false).find_first_of("<>") == std::string::npos);
    const std::string link = mirsa::HistoryLink(first, rest);
    Require(link.find_first_of("\\ ") == std::string::npos);
    const std::string xml = mirsa::XmlText(input);
    Require(xml.find_first_of("<>") == std::string::npos);
    Require(common::ReplaceAll(common::ReplaceAll(common::ReplaceAll(xml, "&lt;", "<"), "&gt;", ">"),
                               "&amp;", "&") == input);
    const std::string normal = mirsa::NormalizeLineEnds(input);
    for (std::size_t i = 0; i < normal.size(); ++i) {
        if (normal[i] == '\r') Require(i + 1 < normal.size() && normal[i + 1] == '\n');
        if (normal[i] == '\n') Require(i > 0 && normal[i - 1] == '\r');
    }
    Require(normal.empty() || common::EndsWith(normal, "\r\n"));
    Require(mirsa::NormalizeLineEnds(normal) == normal);

    // The page update: whatever the page, the result is a usable page with the new item.
    std::string page = mirsa::NormalizeLineEnds(input);
    if (mirsa::KindOfPage(page) == mirsa::PageKind::OldFormat) {
        std::string upgraded;
        if (!mirsa::UpgradePage(page, Template(), upgraded)) return 0;
        page = mirsa::NormalizeLineEnds(upgraded);
    } else if (mirsa::KindOfPage(page) == mirsa::PageKind::MissingAnchors) {
        page = mirsa::RebuildPage(page, Template());
    }
    if (mirsa::KindOfPage(page) != mirsa::PageKind::Current) return 0;
    const std::string entry = "<tr><td>fuzz</td>\r\n<td>item</td></tr>";
    for (bool newestFirst : {false, true}) {
        std::string updated = mirsa::InsertEntry(page, "<h2>Day 01.01.2000</h2>", entry, newestFirst);
        Require(updated.find(entry) != std::string::npos);
        Require(updated.size() >= page.size() + entry.size());
    }
    return 0;
}
