// AddHistoryEntry end to end on the fake platform: an arbitrary old page (or
// none), title, saved file name and address. The page ends in the current
// format holding what it held, plus one item (and at most one day block) whose
// title and address add no mark-up; no temporary file is left; a damaged page
// of an earlier format keeps its bytes and shows its box.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include "mirsa/history.h"
#include "tests/support/fake_platform.h"

namespace {

using fuzz_support::Require;

const std::string kFolder = "C:\\Hist\\";
const std::string kPage = kFolder + mirsa::kHistoryFile;

const std::string& Template() {
    static const std::string text =
        fuzz_support::FileBytes(std::string(MIRSA_RESOURCE_DIR) + "/MirsaHistory.html");
    return text;
}

std::size_t Tags(const std::string& text) { return std::count(text.begin(), text.end(), '<'); }

// The page the item goes into, as the update prepares it; empty when damaged.
std::string PreparedPage(const std::string& old) {
    std::string page = mirsa::NormalizeLineEnds(old.empty() ? Template() : old);
    switch (mirsa::KindOfPage(page)) {
    case mirsa::PageKind::OldFormat: {
        std::string upgraded;
        if (!mirsa::UpgradePage(page, Template(), upgraded)) return "";
        return mirsa::NormalizeLineEnds(upgraded);
    }
    case mirsa::PageKind::MissingAnchors:
        return mirsa::RebuildPage(page, Template());
    case mirsa::PageKind::Current:
        break;
    }
    return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    auto parts = fuzz_support::SplitOn(std::string(reinterpret_cast<const char*>(data + 1), size - 1), '\0');
    parts.resize(std::max<std::size_t>(parts.size(), 4));
    // A page of the current format most of the time: the input's page text
    // goes into the template's body.
    std::string old = parts[0];
    if (flags & 8) {
        const std::string end = std::string(mirsa::kEndLine) + "\r\n";
        old = Template();
        old.insert(old.rfind(end), parts[0]);
    }
    const std::string& title = parts[1];
    const std::string name = common::MakeFileName(parts[2]);
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) return 0;
    const std::string savedFile = kFolder + name + ".html";
    const std::string& address = parts[3];

    common::FakePlatform p;
    p.SetResource(mirsa::kHistoryResource, Template());
    p.SetLocalTime({2024, 5, 0, 5, 17, 10, 30, 0});
    p.AddFolder("C:\\Hist");
    const bool existed = (flags & 1) && !old.empty();
    if (existed) p.AddFile(kPage, old);

    const bool ok = mirsa::AddHistoryEntry(p, title, savedFile, address, kFolder, flags & 2, flags & 4);
    const std::string page = p.FileText(kPage).value_or("");
    Require(!p.HasFile(kPage + ".~new"));
    const std::string prepared = PreparedPage(existed ? old : "");
    if (!ok) {
        Require(existed && prepared.empty() && page == old);
        Require(p.MessageBoxes().size() == 1 &&
                p.MessageBoxes()[0].text == mirsa::kDamagedHistoryText);
        return 0;
    }
    Require(!prepared.empty() && p.MessageBoxes().empty());
    Require(!p.HasFile(kPage + ".tmp"));
    Require(mirsa::KindOfPage(page) == mirsa::PageKind::Current);
    // The item: 11 tags of its own, and a day block of four when the day is new.
    const std::size_t added = Tags(page) - Tags(prepared);
    Require(page.size() > prepared.size() && (added == 11 || added == 15));
    if (existed && mirsa::KindOfPage(mirsa::NormalizeLineEnds(old)) == mirsa::PageKind::MissingAnchors)
        Require(p.FileText(kFolder + "MirsaHistory_damaged.html") == old);
    return 0;
}
