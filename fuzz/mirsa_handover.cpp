// The two hand-over channels on the fake platform. A data URL: the command
// text is the decoded URL (in ANSI when it was UTF-8) and the switches read
// from it stay inside it. A page file: its settings comment, and nothing else,
// leaves the file (written whole, no temporary file left), its settings join
// the command text, a file without the comment keeps every byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include "mirsa/startup.h"
#include "tests/support/fake_platform.h"

namespace {

using fuzz_support::Require;

const std::string kPageFile = "C:\\TEMP\\page.html";

void CheckSwitches(const std::string& commandText) {
    const mirsa::SaveRequest r = mirsa::ReadSwitches(commandText);
    for (const std::string* value : {&r.Format, &r.Method, &r.Url, &r.Path, &r.Text})
        Require(value->size() <= commandText.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    common::FakePlatform p;
    mirsa::SaveRequest request;

    if (data[0] & 1) {
        const std::string argument = mirsa::kDataUrlPrefix + rest;
        const std::string text = mirsa::ApplyHandOver(p, argument, "tail", request);
        Require(request.ViaDataUrl && request.HandedOverFile.empty());
        const std::string decoded = common::UnescapeUrl(argument);
        Require(text == decoded || p.AnsiToUtf8(text) == p.AnsiToUtf8(p.Utf8ToAnsi(decoded)));
        Require(text.size() <= decoded.size());
        CheckSwitches(text);
        return 0;
    }

    p.AddFile(kPageFile, rest);
    const std::string text = mirsa::ApplyHandOver(p, kPageFile, "tail", request);
    Require(!request.ViaDataUrl && request.HandedOverFile == kPageFile);
    const std::string base = !rest.empty() && rest[0] == '<' ? "/format=phf" : "tail";
    const std::string after = p.FileText(kPageFile).value_or("<gone>");
    Require(p.FilesUnder("C:\\TEMP\\") == std::vector<std::string>{kPageFile});
    const mirsa::PageSettings settings = mirsa::TakePageSettings(rest);
    if (!settings.hasMarker) {
        Require(text == base && after == rest);
    } else {
        Require(text == base + " " + p.Utf8ToAnsi(settings.settingsText));
        // Exactly one comment left the file, at one place, or the file is as it was.
        const std::string comment =
            mirsa::kSettingsMarker + settings.settingsText + mirsa::kSettingsEnd;
        if (after != rest) {
            Require(after.size() + comment.size() == rest.size());
            const std::size_t at = rest.find(comment);
            Require(at != std::string::npos && rest.substr(0, at) + rest.substr(at + comment.size()) == after);
        }
    }
    CheckSwitches(text);

    // A second hand-over of the same file finds no comment it could take again,
    // unless the page held a second one.
    mirsa::SaveRequest again;
    mirsa::ApplyHandOver(p, kPageFile, "tail", again);
    if (!mirsa::TakePageSettings(after).hasMarker) Require(p.FileText(kPageFile) == after);
    return 0;
}
