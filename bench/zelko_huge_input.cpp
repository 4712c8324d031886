// Peak memory of Zelko's work on huge input (see peak_memory.h): a 100 MB
// saved page with a link every 100 bytes or every 10,000 bytes, the same page
// in UTF-16, a job file of exactly 1,000,000 bytes handed on (as it is, or
// with every link for Universal Share Downloader), and one plug-in
// report of 8 MB.
#include "bench/peak_memory.h"
#include "zelko/handoff.h"
#include "zelko/job.h"
#include "zelko/link_collection.h"
#include "zelko/plugins.h"

namespace {

using peak_memory::DiskPlatform;

const std::string kPage = peak_memory::kDiskFolder + "page.htm";
const std::string kJob = peak_memory::kDiskFolder + "request.zlk";
constexpr std::size_t kPageBytes = 100u << 20;

// Records of 100 bytes; one in every `every` holds a link.
void WritePage(std::ofstream& out, std::size_t every, bool utf16) {
    if (utf16) out.write("\xFF\xFE", 2);
    for (std::size_t n = 0; n * 100 < kPageBytes; ++n) {
        std::string record = n % every == 0 ? "<a href=\"/files/f" + std::to_string(n) + ".zip\">File " +
                                                  std::to_string(n) + "</a>"
                                            : "<p>Plain text of the page, nothing to collect here.</p>";
        record.resize(98, ' ');
        record += "\r\n";
        if (!utf16) {
            out.write(record.data(), static_cast<std::streamsize>(record.size()));
            continue;
        }
        for (char c : record) out.put(c).put('\0');
    }
}

void BM_PageLinks(benchmark::State& state) {
    const std::size_t every = static_cast<std::size_t>(state.range(0));
    const bool utf16 = state.range(1) != 0;
    for (auto _ : state) {
        peak_memory::Report(state, peak_memory::Measure(
            [&](DiskPlatform& p) {
                DiskPlatform::Put(kPage, [&](std::ofstream& out) { WritePage(out, every, utf16); });
                return static_cast<double>(*p.FileSize(kPage));
            },
            [&](DiskPlatform& p) {
                const std::string job = zelko::CollectPageLinks(
                    p, {kPage, "http://site.example/dir/page.htm", "DOWNLOAD", "LNK"});
                p.WriteFile(peak_memory::kDiskFolder + "flashgot.fgt", job);
            }));
    }
}
BENCHMARK(BM_PageLinks)->Args({1, 0})->Args({100, 0})->Args({100, 1})->Iterations(1)
    ->Unit(benchmark::kSecond);

// Argument 1: Universal Share Downloader takes every link (its ".add" list).
void BM_JobFileOfAMillionBytes(benchmark::State& state) {
    const bool toUsd = state.range(0) != 0;
    for (auto _ : state) {
        peak_memory::Report(state, peak_memory::Measure(
            [&](DiskPlatform&) {
                DiskPlatform::Put(kJob, [](std::ofstream& out) {
                    std::string text = "9;My_Download_Manager;2;;\r\nhttp://page.example/\r\n";
                    for (int n = 0; text.size() < zelko::kMaxJobBytes; ++n)
                        text += "http://files.example/" + std::to_string(n) + ".zip\r\nD\r\n\r\n\r\n";
                    text.resize(zelko::kMaxJobBytes);
                    out << text;
                });
                return static_cast<double>(zelko::kMaxJobBytes);
            },
            [&](DiskPlatform& p) {
                zelko::JobLines lines = zelko::SplitJobLines(*p.ReadFile(kJob));
                const zelko::RequestFields fields = zelko::FieldsOf(lines);
                zelko::ZelkoSettings s;
                s.dm = zelko::kNoManager;
                s.usdPresent = toUsd;
                s.usdPath = peak_memory::kDiskFolder + "USDownloader.exe";
                s.transferToUsd = "files.example";
                zelko::HandOff(p, std::move(lines), kJob, fields, s, peak_memory::kDiskFolder);
            }));
    }
}
BENCHMARK(BM_JobFileOfAMillionBytes)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PluginReportOfEightMegabytes(benchmark::State& state) {
    std::string report;
    while (report.size() < (8u << 20)) report += "host" + std::to_string(report.size()) + ".example/path\n";
    for (auto _ : state) {
        peak_memory::Report(state, peak_memory::Measure(
            [&](DiskPlatform&) { return static_cast<double>(report.size()); },
            [&](DiskPlatform& p) {
                std::string list;
                zelko::PluginReport(p, list, report);
                benchmark::DoNotOptimize(list);
            }));
    }
}
BENCHMARK(BM_PluginReportOfEightMegabytes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
