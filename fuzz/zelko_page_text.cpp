// ReadPageText on arbitrary page files, UTF-16 with a byte-order mark among
// them, then the whole link-collection form on the fake: no zero byte ever
// reaches the text, the text ends at the first zero character, every ASCII
// character survives in order, and the job that results is well formed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "zelko/job.h"
#include "zelko/link_collection.h"

namespace {

using fuzz_support::Require;

const std::string kPage = "C:\\TEMP\\page.html";

// The ASCII characters of the page text as the file holds them, "?" left
// out (what a character without an ANSI form may become).
std::string AsciiOfFile(const std::string& bytes, bool utf16) {
    std::string out;
    if (!utf16) {
        for (char c : bytes.substr(0, bytes.find('\0')))
            if (static_cast<unsigned char>(c) < 0x80 && c != '?') out += c;
        return out;
    }
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
        const unsigned unit = static_cast<unsigned char>(bytes[at]) |
                              static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
        if (unit == 0) break;
        if (unit < 0x80 && unit != '?') out += static_cast<char>(unit);
    }
    return out;
}

std::string AsciiOfText(const std::string& text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x80 && c != '?') out += c;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses a byte-order mark in front, so both kinds are common.
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) bytes = "\xFF\xFE" + bytes;
    common::FakePlatform p;
    p.AddFile(kPage, bytes);

    const std::optional<std::string> text = zelko::ReadPageText(p, kPage);
    if (bytes.size() < 2) {
        Require(!text);
        return 0;
    }
    Require(text.has_value());
    Require(text->find('\0') == std::string::npos);
    const bool utf16 = static_cast<unsigned char>(bytes[0]) == 0xFF &&
                       static_cast<unsigned char>(bytes[1]) == 0xFE;
    Require(AsciiOfText(*text) == AsciiOfFile(bytes, utf16));
    if (!utf16) Require(*text == bytes.substr(0, bytes.find('\0')));

    for (const char* kind : {"LNK", "IMG"}) {
        const std::string job = zelko::CollectPageLinks(p, {kPage, "http://h.example/d/p.html", "DOWNLOAD", kind});
        const zelko::JobLines lines = zelko::SplitJobLines(job);
        Require(lines.size() >= 2 && lines[1] == "http://h.example/d/p.html");
    }
    return 0;
}
