#include "zelko/handoff.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/helpers.h"
#include "zelko/cookie_scope.h"
#include "zelko/flashgot.h"
#include "zelko/intake.h"
#include "zelko/kept_job.h"
#include "zelko/link_list_box.h"
#include "zelko/network_receiver.h"

namespace zelko {


const char* const ManagerTable[kManagerCount] = {
    "BitComet",        "Download Accelerator Plus",     "Download Master",
    "FlashGet",        "FlashGet 2",                    "Free Download Manager",
    "FreshDownload",   "GetRight",                      "GigaGet",
    "HiDownload",      "InstantGet",                    "Internet Download Accelerator",
    "Internet Download Manager", "LeechGet",            "Mass Downloader",
    "NetAnts",         "Net Transport",                 "Net Transport 2",
    "Orbit",           "ReGet",                         "Star Downloader",
    "TrueDownloader",  "Thunder",                       "Thunder (Old)",
    "WellGet",         "wxDownload Fast",
};

namespace {

constexpr std::size_t kRapGetSectionBuffer = 32767;

std::string ReplaceFirst(const std::string& text, const std::string& oldText,
                         const std::string& newText) {
    std::size_t at = text.find(oldText);
    if (oldText.empty() || at == std::string::npos) return text;
    std::string result = text;
    result.replace(at, oldText.size(), newText);
    return result;
}

bool StartReceiver(common::Platform& p, const std::string& commandLine) {
    return common::RunProgram(p, commandLine, common::sw::Show, true);
}

// The header with its link count (the text up to its first ";") replaced.
std::string WithLinkCount(const std::string& header, std::size_t count) {
    const std::string old = header.substr(0, header.find(';') + 1);
    return ReplaceFirst(header, old, std::to_string(count) + ";");
}

// Where each whole link of the job begins (its URL line).
std::vector<std::size_t> LinkStarts(const JobLines& lines) {
    std::vector<std::size_t> starts;
    for (std::size_t urlAt = 2; urlAt + 4 <= lines.size(); urlAt += 4) starts.push_back(urlAt);
    return starts;
}

RequestFields LinkFields(const JobLines& lines, std::size_t urlAt) {
    return {std::string(lines[0]),         std::string(lines[1]),
            std::string(lines[urlAt]),     std::string(lines[urlAt + 1]),
            std::string(lines[urlAt + 2]), std::string(lines[urlAt + 3])};
}

// The program a command line starts, without its quotes.
std::string ProgramOf(const std::string& commandLine) {
    std::string program = common::TrimControls(
        commandLine.substr(0, commandLine.size() - common::CommandLineTail(commandLine).size()));
    program.erase(std::remove(program.begin(), program.end(), '"'), program.end());
    return program;
}

// The links at the refused starts (their URL lines) stay for the user; a box
// says why, lists them and names where they are kept. False: they stay.
bool KeepRefused(common::Platform& p, const JobLines& lines, const KeptJobPlace& place,
                 const std::vector<std::size_t>& refused, const std::string& cause) {
    if (refused.empty()) return true;
    std::vector<bool> notTaken(LinkCount(lines), false);
    std::vector<std::string> urls;
    for (std::size_t urlAt : refused) {
        notTaken[(urlAt - 2) / 4] = true;
        urls.push_back(p.Utf8ToAnsi(std::string(lines[urlAt])));
    }
    p.MessageBox(0,
                 cause + "\r\n" + BoxLinkList(urls) + "\r\n\r\n" +
                     KeepLinksNotTaken(p, place, lines, notTaken),
                 kErrorTitle, common::mb::Topmost | common::mb::IconError);
    return false;
}

// Starts the command made for each link of the job, in order, each once
// ready for input before the next.
template <typename MakeCommand>
bool StartEachLink(common::Platform& p, const JobLines& lines, const KeptJobPlace& place,
                   MakeCommand makeCommand) {
    std::vector<std::size_t> refused;
    std::string program;
    for (std::size_t urlAt : LinkStarts(lines)) {
        const std::string command = makeCommand(LinkFields(lines, urlAt));
        if (StartReceiver(p, command)) continue;
        refused.push_back(urlAt);
        program = ProgramOf(command);
    }
    return KeepRefused(p, lines, place, refused, program + " could not be started");
}

// Every link of the job is refused.
bool KeepAll(common::Platform& p, const JobLines& lines, const KeptJobPlace& place,
             const std::string& cause) {
    return KeepRefused(p, lines, place, LinkStarts(lines), cause);
}

// Programs started with an ANSI command line, and FlashGot.exe, which makes
// them, get each address (and the page's) as AddressInAnsi writes it, so
// that no conversion of theirs can turn a character into "/" or "?"; a
// link's cookies go with it only where that address passes the cookie rule.
void ReadyForAnsiReceivers(common::Platform& p, JobLines& lines) {
    if (lines.size() < 2) return;
    const std::string page(lines[1]);
    for (std::size_t at = 2; at + 4 <= lines.size(); at += 4) {
        const std::string url(lines[at]);
        const std::string handed = p.AnsiToUtf8(AddressInAnsi(p, url));
        if (handed == url) continue;  // the cookie rule has seen this text
        lines.ReplaceLine(at, handed);
        if (!lines[at + 2].empty() && !CookiesMayGo(page, handed)) lines.ReplaceLine(at + 2, "");
    }
    const std::string handedPage = p.AnsiToUtf8(AddressInAnsi(p, page));
    if (handedPage != page) lines.ReplaceLine(1, handedPage);
}

// Of the listed URL lines (line numbers in page order), the ones sent: each
// text once, at its first place, and not at all when an earlier line of the
// job holds it.
std::vector<bool> FirstPlaces(const JobLines& lines, std::vector<std::size_t> listed) {
    // Sorted by text, equal texts in page order: a lookup finds a text's first place.
    std::stable_sort(listed.begin(), listed.end(),
                     [&](std::size_t a, std::size_t b) { return lines[a] < lines[b]; });
    std::vector<bool> send(lines.size(), false);
    for (std::size_t k = 0; k < listed.size(); ++k)
        send[listed[k]] = k == 0 || lines[listed[k - 1]] != lines[listed[k]];
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto first = std::lower_bound(
            listed.begin(), listed.end(), lines[i],
            [&](std::size_t at, std::string_view text) { return lines[at] < text; });
        if (first != listed.end() && *first > i && lines[*first] == lines[i]) send[*first] = false;
    }
    return send;
}

// Takes the links of listed sites, four lines each, out of the job and puts
// their URLs, in page order, into the ".add" list; a URL already seen as a
// whole line earlier in the job is sent once, at its first place. True when
// no link is left for the others.
bool TransferListedLinks(common::Platform& p, JobLines& lines, std::string& header,
                         const ZelkoSettings& s, bool gate) {
    const std::size_t n = lines.size();
    std::vector<bool> removed(n, false);
    std::vector<std::size_t> listed;
    for (std::size_t urlAt = 2; urlAt + 4 <= n; urlAt += 4) {
        if (!(gate && MatchesSiteList(s.transferToUsd, lines[urlAt]))) continue;
        listed.push_back(urlAt);
        for (std::size_t i = urlAt; i < urlAt + 4; ++i) removed[i] = true;
    }
    const std::size_t kept = n - 4 * listed.size();
    const std::vector<bool> send = FirstPlaces(lines, std::move(listed));
    // In ANSI a line at a time, so the list is not copied whole; ANSI text is
    // no longer than its UTF-8.
    std::size_t size = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (send[i]) size += lines[i].size() + 2;
    std::string list;
    list.reserve(size);
    for (std::size_t i = 0; i < n; ++i)
        if (send[i]) list.append(AddressInAnsi(p, std::string(lines[i]))).append("\r\n");
    if (!list.empty()) {
        common::MutexId lock = p.AcquireMutex(kUsdListMutex, kUsdListWaitMs);
        p.WriteFile(WithExtension(s.usdPath, ".add"), list);
        const bool started = StartReceiver(p, s.usdPath + " /addlinks");
        if (lock != 0) p.ReleaseMutex(lock);
        // Its links then go on to the next receivers.
        if (!started) return false;
    }
    header = WithLinkCount(header, (kept - 2) / 4);
    lines.RemoveLines(removed);
    return kept < 3;
}

bool OfferToRapGet(common::Platform& p, const RequestFields& f, const ZelkoSettings& s) {
    if (s.rapGetPath.empty() || !p.FileExists(s.rapGetPath)) return false;
    for (const std::string& section :
         p.IniSectionNames(WithExtension(s.rapGetPath, ".ini"), kRapGetSectionBuffer)) {
        if (section.find('.') == std::string::npos || f.url.find(section) == std::string::npos)
            continue;
        return StartReceiver(p, s.rapGetPath + " -l=" + BareUrlArgument(p, f.url));
    }
    return false;
}

RequestFields QuotedFields(common::Platform& p, const RequestFields& f) {
    RequestFields q;
    q.url = QuoteField(p, f.url);
    q.referrer = QuoteField(p, f.referrer);
    q.cookies = QuoteField(p, f.cookies);
    q.post = QuoteField(p, f.post);
    // CleanDescription works on ANSI text; QuoteField takes UTF-8.
    q.description =
        QuoteField(p, p.AnsiToUtf8(common::CleanDescription(p.Utf8ToAnsi(f.description))));
    return q;
}

// FlashGot.exe reads the job from disk, so it gets a file holding what Zelko
// left of it (the manager's name, only the cookies the page may pass on): the
// job file rewritten or, where that cannot be replaced (a read-only folder, a
// file the browser holds open), a fresh job file of Zelko's own. When none
// can be written nothing is handed over and the job stays, as it does when
// FlashGot.exe cannot be started.
bool HandJobToFlashGot(common::Platform& p, const JobLines& lines, const KeptJobPlace& place,
                       bool rewritten, const std::string& folder) {
    const std::string cannotStart = folder + kFlashGotExe + " could not be started";
    if (rewritten)
        return HandToFlashGot(p, folder, place.jobPath) || KeepAll(p, lines, place, cannotStart);
    const std::string ownJob = WriteNewJobFile(p, place.workFolder, lines.Text());
    if (ownJob.empty())
        return KeepAll(p, lines, place,
                       "Zelko could not write the job for FlashGot.exe, so nothing was handed over");
    const bool started = HandToFlashGot(p, folder, ownJob);
    p.DeleteFile(ownJob);
    return started || KeepAll(p, lines, place, cannotStart);
}

}  // namespace

bool MatchesSiteList(const std::string& siteList, std::string_view text) {
    std::size_t from = 0;
    while (from < siteList.size()) {
        std::size_t end = siteList.find(';', from);
        if (end == std::string::npos) end = siteList.size();
        if (end > from && text.find(siteList.data() + from, 0, end - from) != std::string_view::npos)
            return true;
        from = end + 1;
    }
    return false;
}

std::string QuoteField(common::Platform& p, const std::string& utf8) {
    // Escaped the way the C runtime splits a command line, so that the
    // receiver reads back the exact bytes: a quote becomes \" and the
    // backslashes in front of a quote (inner or closing) are doubled.
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : p.Utf8ToAnsi(utf8)) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') out.append(2 * backslashes + 1, '\\');
        else out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

std::string AddressInAnsi(common::Platform& p, const std::string& utf8) {
    const unsigned codePage = p.AnsiCodePage();
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        if (static_cast<unsigned char>(utf8[at]) < 0x80) {
            out += utf8[at++];
            continue;
        }
        const std::size_t length = std::max<std::size_t>(common::Utf8SequenceLength(utf8, at), 1);
        const std::string character = utf8.substr(at, length);
        at += length;
        const std::optional<std::string> ansi =
            length > 1 ? p.Utf8ToCodePage(character, codePage) : std::nullopt;
        if (ansi && !ansi->empty()) {
            out += *ansi;
            continue;
        }
        out += common::PercentEncode(character, [](unsigned char) { return false; });
    }
    return out;
}

std::string BareUrlArgument(common::Platform& p, const std::string& utf8Url) {
    return common::PercentEncode(AddressInAnsi(p, utf8Url),
                                 [](unsigned char c) { return c > 32 && c != '"'; });
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    std::size_t slash = path.find_last_of("\\/:");
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + extension;
    return path.substr(0, dot) + extension;
}

std::string TemplateCommand(common::Platform& p, const std::string& templateText,
                            const RequestFields& quoted, const std::string& folder) {
    // Expanded before the fields go in, so that a field's "%NAME%" or ":\"
    // cannot change the command.
    std::string command =
        common::ExpandPath(p, templateText, common::ExpandVariant::Zelko, folder);
    // One pass over the template: a field that holds "[referrer]" or the
    // like stays text and is not filled in again (which could put a quoted
    // value inside its quotes and split it into more arguments).
    const std::pair<const char*, const std::string*> placeholders[] = {
        {"[url]", &quoted.url},         {"[referrer]", &quoted.referrer},
        {"[description]", &quoted.description}, {"[cookies]", &quoted.cookies},
        {"[post]", &quoted.post},
    };
    std::string filled;
    for (std::size_t at = 0; at < command.size();) {
        bool replaced = false;
        for (const auto& [name, value] : placeholders) {
            const std::size_t length = std::char_traits<char>::length(name);
            if (command.compare(at, length, name) == 0) {
                filled += *value;
                at += length;
                replaced = true;
                break;
            }
        }
        if (!replaced) filled += command[at++];
    }
    return filled;
}

bool HandOff(common::Platform& p, JobLines lines, const std::string& jobPath,
             const RequestFields& fields, const ZelkoSettings& s, const std::string& folder) {
    const std::size_t n = lines.size();
    if (n < kRequestLines) return true;  // not a request
    std::string header = ReplaceFirst(fields.header, kPlaceholderManager, s.dm);
    bool handled = false;
    const bool customDm = s.customDmEnabled && !common::TrimControls(s.customDm).empty();
    const bool network = customDm && NetworkReceiverOf(s.customDm) != NetworkReceiver::None;
    // aria2 and JDownloader take UTF-8; every other receiver reads ANSI.
    if (!network) ReadyForAnsiReceivers(p, lines);

    if (s.usdPresent) {
        const bool gate = !fields.referrer.empty() && fields.post.empty() &&
                          (s.advanced || !MatchesSiteList(s.transferToUsd, fields.referrer));
        if (header.find(";2;;") != std::string::npos) {
            handled = TransferListedLinks(p, lines, header, s, gate);
        } else {
            handled = gate && MatchesSiteList(s.transferToUsd, fields.url) &&
                      StartReceiver(p, s.usdPath + " " + BareUrlArgument(p, fields.url));
        }
    }

    lines.ReplaceLine(0, header);
    const bool rewritten = common::WriteFileAtomic(p, jobPath, lines.Text());
    const KeptJobPlace place{s.places.workFolder, jobPath, fields.header,
                             rewritten || lines.size() == n};

    if (!handled && n == kRequestLines && fields.post.empty())
        handled = OfferToRapGet(p, fields, s);

    if (handled) return true;
    if (network) return HandToNetworkReceiver(p, lines, place, s);
    if (customDm) {
        return StartEachLink(p, lines, place, [&](const RequestFields& link) {
            return TemplateCommand(p, s.customDm, QuotedFields(p, link), folder);
        });
    }
    if (s.dm == kNoManager)
        return KeepAll(p, lines, place, "No download manager is chosen: start Zelko.exe to choose one");

    std::string exe;
    if (s.advanced && header.find(";0;;") != std::string::npos && s.dm == kDownloadMaster)
        exe = p.RegistryUserString(kDownloadMasterKey, kExeFileValue).value_or("");
    else if (s.dm == kInternetDownloadAccelerator)
        exe = p.RegistryUserString(kInternetDownloadAcceleratorKey, kExeFileValue).value_or("");
    if (!exe.empty() && p.FileExists(exe)) {
        return StartEachLink(p, lines, place, [&](const RequestFields& link) {
            const RequestFields q = QuotedFields(p, link);
            return exe + " " + q.url + " " + q.referrer + " description=" + q.description +
                   " post=" + q.post + " cookies=" + q.cookies;
        });
    }
    if (!p.FileExists(folder + kFlashGotExe))
        return KeepAll(p, lines, place,
                       std::string(kFlashGotExe) + " is not in " +
                           common::WithoutTrailingBackslash(folder));
    return HandJobToFlashGot(p, lines, place, rewritten, folder);
}

}  // namespace zelko
