// Feeds arbitrary bytes to the text routines of the helper library: none may
// crash, and the documented bounds must hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/browser.h"
#include "common/helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    using namespace common;
    if (UnescapeUrl(text).size() > kUnescapeLimit) std::abort();
    if (CleanDescription(text).size() > 1000) std::abort();
    if (MakeFileName(text).size() > 128) std::abort();
    if (CommandLineTail(text).size() > text.size()) std::abort();
    std::size_t last = LastPos("/", text);
    if (last != 0 && text[last - 1] != '/') std::abort();
    SiteRootOfUrl(text);
    DotsToUnderscores(text);
    ReplaceAll(text, "\r\n", " ");
    browser::AddressOfWindowInfo(text);
    HasFileNameTrouble(text);
    return 0;
}
