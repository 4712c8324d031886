// PluginReport on the fake platform: a site list, then zero-terminated
// reports as plug-ins hand them over. Each report shows its box only for
// "%Error:", adds the hosts of the step-by-step rules (whole ";"-ended masks,
// at most kMaxReportedHostBytes) or nothing, and the same report twice adds once.
// The list read back at the INI limit keeps whole masks only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/helpers.h"
#include "common/ini.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "zelko/plugins.h"

namespace {

using fuzz_support::Require;

// The rules one at a time, as the site list format states them.
std::string StepByStepHosts(const std::string& text) {
    std::string s = common::AsciiLower(common::ReplaceAll(text, "\n", ";"));
    if (s.find('|') != std::string::npos) s.erase(s.find('|'));
    if (!common::EndsWith(s, ";")) s += ';';
    for (std::size_t slash = s.find('/'); slash != std::string::npos; slash = s.find('/')) {
        s.erase(slash, s.find(';', slash) - slash);
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts =
        fuzz_support::SplitOn(std::string(reinterpret_cast<const char*>(data), size), '\0');
    common::FakePlatform p;
    std::string list = parts[0];

    // The list as an INI read gives it back: at most 4,095 characters, then whole masks only.
    std::string stored = list;
    while (!list.empty() && stored.size() < common::kIniValueLimit + 100) stored += list;
    stored = stored.substr(0, common::kIniValueLimit);
    const std::string whole = zelko::WholeMasksOf(stored);
    Require(common::StartsWith(stored, whole));
    if (stored.size() < common::kIniValueLimit || common::EndsWith(stored, ";"))
        Require(whole == stored);
    else
        Require(whole.empty() || (common::EndsWith(whole, ";") && stored.find(';', whole.size()) == std::string::npos));

    std::size_t boxes = 0;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        // Long reports: the input repeated, to reach the cap from small inputs.
        std::string text = parts[i];
        if (!text.empty() && text[0] == '*') {
            const std::string unit = text.substr(1);
            while (!unit.empty() && text.size() < 3 * zelko::kMaxReportedHostBytes) text += unit;
        }
        const std::string hosts = zelko::ReportedHosts(text);
        if (text.size() < 4096) Require(hosts == StepByStepHosts(text));
        Require(common::EndsWith(hosts, ";") && hosts.find_first_of("/|\n") == std::string::npos);

        const std::string before = list;
        zelko::PluginReport(p, list, text);
        if (common::StartsWith(text, zelko::kPluginErrorMark)) ++boxes;
        Require(p.MessageBoxes().size() == boxes);
        Require(common::StartsWith(list, before));
        const std::string added = list.substr(before.size());
        Require(added.size() <= zelko::kMaxReportedHostBytes);
        Require(added.empty() || (common::StartsWith(hosts, added) && common::EndsWith(added, ";")));
        if (hosts.size() <= zelko::kMaxReportedHostBytes)
            Require(added == (before.find(hosts) == std::string::npos ? hosts : ""));
        else
            Require(added.empty() || hosts[added.size() - 1] == ';');

        const std::string once = list;
        zelko::PluginReport(p, list, text);
        if (common::StartsWith(text, zelko::kPluginErrorMark)) ++boxes;
        Require(list == once);
    }
    return 0;
}
