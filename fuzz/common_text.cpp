// Feeds arbitrary bytes to the text routines of the helper library: none may
// crash, and the documented bounds and shapes must hold (trims leave no junk
// at the ends, file names hold no forbidden character, a path splits into
// folder and name, positions agree with a plain search, path expansion keeps
// relative paths in the base folder).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/browser.h"
#include "common/helpers.h"
#include "tests/support/fake_platform.h"

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

    const std::string right = TrimJunkRight(text), left = TrimJunkLeft(text);
    if (!StartsWith(text, right) || !EndsWith(text, left)) std::abort();
    if (!right.empty() && IsJunkChar(static_cast<unsigned char>(right.back()))) std::abort();
    if (!left.empty() && IsJunkChar(static_cast<unsigned char>(left.front()))) std::abort();
    const std::string trimmed = TrimControls(text);
    if (!trimmed.empty() && (static_cast<unsigned char>(trimmed.front()) <= 32 ||
                             static_cast<unsigned char>(trimmed.back()) <= 32))
        std::abort();
    for (char c : MakeFileName(text))
        if (IsFileNameForbidden(static_cast<unsigned char>(c))) std::abort();
    if (DotsToUnderscores(text).find('.') != std::string::npos) std::abort();
    if (FolderOfPath(text) + FileNameOfPath(text) != text) std::abort();
    if (ReverseText(ReverseText(text)) != text) std::abort();
    if (!EqualsNoCase(AsciiLower(text), AsciiUpper(text))) std::abort();
    if (!StartsWith(text, SiteRootOfUrl(text))) std::abort();

    // The first half searched in the whole, from every start the plain search agrees.
    const std::string sub = text.substr(0, text.size() / 4);
    const std::size_t start = text.empty() ? 1 : 1 + text.size() / 3;
    const std::size_t found = sub.empty() ? std::string::npos : text.find(sub, start - 1);
    if (PosFrom(sub, text, start) != (found == std::string::npos ? 0 : found + 1)) std::abort();

    FakePlatform p;
    p.SetEnv("HOME_DIR", "C:\\Home");
    const std::string expanded = ExpandPath(p, text, ExpandVariant::Mirsa, "C:\\Base\\");
    if (text.find_first_of("%:") == std::string::npos && !text.empty() && text[0] != '\\' &&
        !StartsWith(expanded, "C:\\Base\\"))
        std::abort();
    return 0;
}
