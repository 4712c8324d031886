// The hand-written scanners of the link collection against Boost.Regex
// matching the patterns they stand for, on arbitrary pages: the same matches
// (every group's position), the same answer about a UTF-8 head, and the same
// job text from the whole collection, whose duplicate rule is checked by
// searching the list text itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tests/support/page_regex_reference.h"
#include "zelko/link_collection.h"

namespace {

using fuzz_support::Require;

bool Same(const zelko::TagMatch& a, const zelko::TagMatch& b) {
    return a.begin == b.begin && a.end == b.end && a.valueBegin == b.valueBegin &&
           a.valueEnd == b.valueEnd && a.textBegin == b.textBegin && a.textEnd == b.textEnd;
}

void CheckKind(const std::string& page, bool images) {
    const page_regex_reference::Matches reference = page_regex_reference::TagMatches(page, images);
    std::vector<zelko::TagMatch> found;
    zelko::TagScanner scanner(page, images);
    for (zelko::TagMatch m; scanner.Next(m);) found.push_back(m);
    // Where Boost gives up, what it found before must still be found.
    Require(reference.gaveUp ? found.size() >= reference.found.size()
                             : found.size() == reference.found.size());
    for (std::size_t i = 0; i < reference.found.size(); ++i) Require(Same(found[i], reference.found[i]));

    if (reference.gaveUp) return;
    const char* url = page.size() % 2 ? "http://h.example/d/p.html" : "page";
    const zelko::CollectedLinks expected = page_regex_reference::Collect(page, url, images);
    const zelko::CollectedLinks got = zelko::CollectLinksFromPage(page, url, images);
    Require(got.text == expected.text && got.count == expected.count && got.utf8Page == expected.utf8Page);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    Require(zelko::DeclaresUtf8(page) == page_regex_reference::DeclaresUtf8(page));
    CheckKind(page, false);
    CheckKind(page, true);
    return 0;
}
