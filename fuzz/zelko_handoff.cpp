// HandOff on the fake platform with an arbitrary site list and job: the
// ".add" list against a plain model (listed links in page order, each URL
// once), the job written back without them and with its count corrected,
// and the started command lines, one per link left, split as a receiver's
// runtime splits them, holding exactly the arguments of the template or of
// the direct start; a job handed to nobody is kept, with a box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "zelko/cookie_scope.h"
#include "zelko/handoff.h"
#include "zelko/job.h"

namespace {

using fuzz_support::Require;

const std::string kUsd = "C:\\USD\\USDownloader.exe";
const std::string kAddFile = "C:\\USD\\USDownloader.add";
const std::string kJob = "C:\\TEMP\\job.zlk";
const std::string kTemplateExe = "C:\\dm\\get.exe";
const std::string kIda = "C:\\IDA\\ida.exe";

using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines) {
    return zelko::JoinJobLines(std::vector<std::string_view>(lines.begin(), lines.end()));
}

Lines ExpectedTransfer(const Lines& lines, const std::string& siteList, bool gate, Lines& rest) {
    Lines transfer;
    std::vector<bool> removed(lines.size(), false);
    for (std::size_t k = 1; k <= (lines.size() - 2) / 4; ++k) {
        const std::size_t at = 4 * k - 2;
        if (!gate || !zelko::MatchesSiteList(siteList, lines[at])) continue;
        bool earlier = false;
        for (std::size_t i = 0; i < at; ++i) earlier = earlier || lines[i] == lines[at];
        if (!earlier) transfer.push_back(lines[at]);
        for (std::size_t i = at; i < at + 4 && i < lines.size(); ++i) removed[i] = true;
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!removed[i]) rest.push_back(lines[i]);
    return transfer;
}

// What a field becomes as one argument: its exact ANSI bytes.
std::string FieldArgument(common::Platform& p, const std::string& utf8) {
    return p.Utf8ToAnsi(utf8);
}

void RequireArguments(const std::string& commandLine, const std::vector<std::string>& expected) {
    // A zero byte ends the command line CreateProcess sees; it can only take arguments away.
    if (commandLine.find('\0') != std::string::npos) {
        Require(fuzz_support::ReceiverArguments(commandLine.substr(0, commandLine.find('\0'))).size() <=
                expected.size());
        return;
    }
    Require(fuzz_support::ReceiverArguments(commandLine) == expected);
}

// The job as receivers that read ANSI get it: each address as it will be
// written for them, and a link's cookies only where that address may have them.
Lines HandedToAnsiReceivers(common::Platform& p, Lines lines) {
    for (std::size_t at = 2; at + 4 <= lines.size(); at += 4) {
        const std::string handed = p.AnsiToUtf8(zelko::AddressInAnsi(p, lines[at]));
        if (handed == lines[at]) continue;
        lines[at] = handed;
        if (!zelko::CookiesMayGo(lines[1], handed)) lines[at + 2].clear();
    }
    lines[1] = p.AnsiToUtf8(zelko::AddressInAnsi(p, lines[1]));
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t flags = data[0];
    const std::vector<std::string> pieces =
        fuzz_support::SplitOn(std::string(reinterpret_cast<const char*>(data + 1), size - 1), '\n');
    if (pieces.size() > 400) return 0;

    common::FakePlatform p;
    zelko::ZelkoSettings s;
    s.usdPresent = flags & 1;
    s.usdPath = kUsd;
    s.advanced = flags & 2;
    s.transferToUsd = pieces[0];
    s.dm = "No";
    const int receiver = (flags >> 5) & 3;  // 1 template, 2 direct start, else none
    if (receiver == 1) {
        s.customDmEnabled = true;
        s.customDm = kTemplateExe + " [url] -r [referrer] [description] [cookies] [post]";
    } else if (receiver == 2) {
        s.dm = zelko::kInternetDownloadAccelerator;
        p.SetRegistryUserString(zelko::kInternetDownloadAcceleratorKey, zelko::kExeFileValue, kIda);
    }
    p.AddFile(kUsd);
    p.AddFile(kTemplateExe);
    p.AddFile(kIda);

    Lines lines = {(flags & 4) ? "3;My_Download_Manager;2;;" : "1;My_Download_Manager;0;;",
                   (flags & 8) ? "" : "http://forum.example/t"};
    lines.insert(lines.end(), pieces.begin() + 1, pieces.end());
    if (flags & 16) lines.push_back("");  // a URL line with nothing after it
    for (std::string& line : lines) line = zelko::OneLine(line);
    if (lines.size() < zelko::kRequestLines) return 0;
    // Job lines never hold a line end; OneLine left lone LFs, which the job keeps.
    const std::string jobText = Joined(lines);
    zelko::JobLines job = zelko::SplitJobLines(jobText);
    if (job.Text() != jobText) return 0;
    const zelko::RequestFields fields = zelko::FieldsOf(job);
    p.AddFile(kJob, jobText);

    zelko::HandOff(p, std::move(job), kJob, fields, s, "C:\\Zelko\\");
    lines = HandedToAnsiReceivers(p, lines);

    const bool gate = s.usdPresent && !fields.referrer.empty() && fields.post.empty() &&
                      (s.advanced || !zelko::MatchesSiteList(s.transferToUsd, fields.referrer));
    Lines rest;
    bool handled = false;
    if (s.usdPresent && (flags & 4)) {
        const Lines transfer = ExpectedTransfer(lines, s.transferToUsd, gate, rest);
        std::string list;
        for (const std::string& url : transfer) list += url + "\r\n";
        Require(p.FileText(kAddFile).value_or("") == p.Utf8ToAnsi(list));
        handled = rest.size() < 3;
        const std::string header = common::ReplaceAll(lines[0], zelko::kPlaceholderManager, s.dm);
        rest[0] = std::to_string((rest.size() - 2) / 4) + header.substr(header.find(';'));
    } else {
        Require(!p.HasFile(kAddFile));
        rest = lines;
        rest[0] = common::ReplaceAll(rest[0], zelko::kPlaceholderManager, s.dm);
        handled = s.usdPresent && gate && zelko::MatchesSiteList(s.transferToUsd, fields.url);
    }
    // Handed to nobody: a box, and the job keeps what was left of it (a link
    // cut short at its end too) under the header the request came with.
    const std::size_t links = (rest.size() - 2) / 4;
    const bool starts = receiver == 1 || receiver == 2;
    const bool refused = !handled && !starts && links > 0;
    if (refused) {
        Lines kept = rest;
        kept[0] = std::to_string(links) + lines[0].substr(lines[0].find(';'));
        Require(p.FileText(kJob).value_or("") == Joined(kept));
    } else {
        Require(p.FileText(kJob).value_or("") == Joined(rest));
    }
    Require(p.MessageBoxes().size() == (refused ? 1u : 0u));
    Require(p.FilesUnder("C:\\TEMP\\").size() == 1);  // no temporary file left

    std::vector<std::string> receivers;
    for (const auto& start : p.Starts()) receivers.push_back(start.commandLine);
    std::size_t next = 0;
    if (s.usdPresent && (flags & 4)) {
        if (p.HasFile(kAddFile)) Require(receivers.at(next++) == kUsd + " /addlinks");
    } else if (handled) {
        const std::string url = zelko::BareUrlArgument(p, fields.url);
        for (char c : url) Require(static_cast<unsigned char>(c) > 32 && c != '"');
        RequireArguments(receivers.at(next++), {kUsd, url});
    }
    // One start per whole link left, in order, each field one argument.
    for (std::size_t urlAt = 2; !handled && starts && urlAt + 4 <= rest.size(); urlAt += 4) {
        const std::string description =
            p.AnsiToUtf8(common::CleanDescription(p.Utf8ToAnsi(rest[urlAt + 1])));
        std::vector<std::string> args;
        if (receiver == 1) {
            args = {kTemplateExe, FieldArgument(p, rest[urlAt]), "-r", FieldArgument(p, rest[1]),
                    FieldArgument(p, description), FieldArgument(p, rest[urlAt + 2]),
                    FieldArgument(p, rest[urlAt + 3])};
        } else {
            args = {kIda, FieldArgument(p, rest[urlAt]), FieldArgument(p, rest[1]),
                    "description=" + FieldArgument(p, description),
                    "post=" + FieldArgument(p, rest[urlAt + 3]),
                    "cookies=" + FieldArgument(p, rest[urlAt + 2])};
        }
        RequireArguments(receivers.at(next++), args);
    }
    Require(next == receivers.size());
    return 0;
}
