// Arbitrary bytes through Zelko's parsers: the link collection (both kinds),
// argument splitting, URL repair (against the regex rules), job lines, plug-in
// reports, the detection file, the quoting of fields for receivers' command
// lines, and which links a page's cookies go with. Nothing may crash, the
// stated shapes must hold, and a quoted field is one argument.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "tests/support/url_regex_reference.h"
#include "zelko/cookie_scope.h"
#include "zelko/flashgot.h"
#include "zelko/handoff.h"
#include "zelko/intake.h"
#include "zelko/job.h"
#include "zelko/link_collection.h"
#include "zelko/plugins.h"
#include "zelko/public_suffix.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckCollection(const std::string& page, bool images) {
    zelko::CollectedLinks links = zelko::CollectLinksFromPage(page, "http://h.example/d/p.html", images);
    zelko::JobLines lines = zelko::SplitJobLines(links.text);
    Check(lines.size() >= 2);
    Check(lines[0] == std::to_string(links.count) + ";My_Download_Manager;2;;");
    // Entities may decode to line breaks, so only an undecoded list keeps four lines an entry.
    if (page.find('&') == std::string::npos) Check(lines.size() == 2 + 4 * links.count);
}

// A CR, with the LF after it, ends a line; text after the last break is a line.
std::vector<std::string> ModelLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            lines.back() += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.emplace_back();
    }
    if (lines.back().empty()) lines.pop_back();  // nothing after the last break
    return lines;
}

void CheckCookieScope(const std::string& text) {
    const std::string domain = zelko::RegistrableDomain(text);
    if (!domain.empty()) {
        Check(common::EndsWith(common::AsciiLower(text), domain));
        Check(zelko::RegistrableDomain(domain) == domain);
    }
    // Hosts compare in their ASCII form, and that form is its own.
    const std::string host = zelko::CanonicalHost(text);
    Check(std::all_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    if (host.empty() || host.back() != '.') Check(zelko::CanonicalHost(host) == host);
    Check(zelko::CookiesMayGo(text, text) == !zelko::SiteOfUrl(text).host.empty());
    const std::size_t split = text.find('\n');
    if (split != std::string::npos && zelko::CookiesMayGo(text.substr(0, split), text.substr(split + 1)))
        Check(!zelko::SiteOfUrl(text.substr(split + 1)).host.empty());

    // Only cookie lines change, and only to empty.
    const zelko::JobLines before = zelko::SplitJobLines(text);
    zelko::JobLines after = before;
    zelko::DropForeignCookies(after);
    Check(after.size() == before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        Check(after[i] == before[i] || (i >= 4 && i % 4 == 0 && after[i].empty()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckCollection(text, false);
    CheckCollection(text, true);

    for (const std::string& arg : zelko::SplitArguments(text)) Check(!arg.empty());
    Check(zelko::NormalizeUrl(text) == url_regex_reference::NormalizeUrl(text));
    CheckCookieScope(text);

    const zelko::JobLines lines = zelko::SplitJobLines(text);
    const std::vector<std::string> model = ModelLines(text);
    Check(lines.size() == model.size());
    for (std::size_t i = 0; i < lines.size(); ++i) Check(lines[i] == model[i]);
    Check(lines.Text() == zelko::JoinJobLines({model.begin(), model.end()}));
    Check(zelko::SplitJobLines(lines.Text()) == lines);
    Check(zelko::OneLine(text).find_first_of("\r\n") == std::string::npos);

    std::string hosts = zelko::ReportedHosts(text);
    Check(!hosts.empty() && hosts.back() == ';');
    Check(hosts.find('/') == std::string::npos && hosts.find('|') == std::string::npos);

    zelko::Detection d = zelko::ParseFlashGotTest(text);
    if (d.allDm.empty())
        Check(d.defaultManager == "No");
    else
        Check(common::EndsWith(d.allDm, d.defaultManager + ";"));
    zelko::MatchesSiteList(text, "http://h.example/f");
    zelko::WithExtension(text, ".add");

    if (lines.size() >= zelko::kRequestLines) {
        const zelko::RequestFields f = zelko::FieldsOf(lines);
        Check(f.header == lines[0] && f.post == lines[5]);
    }

    // As a receiver's runtime splits it, a quoted field is one argument holding
    // the field's exact ANSI bytes; a bare URL is one argument too.
    common::FakePlatform p;
    const std::string line = text.substr(0, text.find('\0'));
    const std::string quoted = zelko::QuoteField(p, line);
    // Empty too: an empty field stays an argument, so the next one keeps its place.
    Check(fuzz_support::ReceiverArguments("x.exe " + quoted + " next") ==
          (std::vector<std::string>{"x.exe", p.Utf8ToAnsi(line), "next"}));
    const std::string bare = zelko::BareUrlArgument(p, line);
    Check(bare.find_first_of(" \t\r\n\"") == std::string::npos);
    Check(fuzz_support::ReceiverArguments("x.exe " + bare + " next").size() == (bare.empty() ? 2u : 3u));
    return 0;
}
