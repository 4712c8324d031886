// CorrectFile on the fake platform with arbitrary file bytes and folders:
// the file becomes exactly the replaced text (less one trailing zero byte)
// with the original in ".bak", or, when the text does not name the old
// folder, stays byte for byte with no ".bak"; a read-only file or one that
// cannot be written stays as it was; no temporary file is ever left.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tarvel/path_correction.h"
#include "tests/support/fake_platform.h"

namespace {

using fuzz_support::Require;

const std::string kFile = "C:\\Opera\\profile\\opera6.ini";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint8_t flags = data[0];
    const std::size_t oldLength = data[1] % 24, newLength = data[2] % 24;
    const std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    if (rest.size() < oldLength + newLength) return 0;
    const std::string oldText = rest.substr(0, oldLength);
    const std::string newText = rest.substr(oldLength, newLength);
    std::string content = rest.substr(oldLength + newLength);
    // Often a file that names the old folder, so the rewrite path is taken.
    if (flags & 8) content = oldText + "\\" + content + "\r\n" + oldText;

    common::FakePlatform p;
    p.AddFile(kFile, content);
    if (flags & 1) p.SetReadOnly(kFile, true);
    if (flags & 2) p.FailWritesTo(kFile);
    if (flags & 4) p.FailWritesTo(kFile + ".bak");
    tarvel::CorrectFile(p, kFile, oldText, newText);

    std::string text = content;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    std::string replaced = text;
    const bool named = tarvel::ReplacePathTextInPlace(replaced, oldText, newText, true);
    Require(replaced == tarvel::ReplacePathText(text, oldText, newText, true));
    const std::string after = p.FileText(kFile).value_or("<gone>");
    const bool rewritten = named && !(flags & 7);
    Require(after == (rewritten ? replaced : content));
    if (rewritten) Require(p.FileText(kFile + ".bak") == content);
    if (!named || (flags & 1)) Require(!p.HasFile(kFile + ".bak"));
    for (const std::string& file : p.FilesUnder("C:\\Opera\\profile\\"))
        Require(file == kFile || file == kFile + ".bak");
    return 0;
}
