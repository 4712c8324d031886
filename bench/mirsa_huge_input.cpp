// Peak memory of Mirsa's work on huge input (see peak_memory.h): one item
// added to a 50 MB history page, and a 100 MB page file handed over with its
// settings comment, which is taken out of the file.
#include <fstream>
#include <sstream>

#include "bench/peak_memory.h"
#include "mirsa/history.h"
#include "mirsa/startup.h"

namespace {

using peak_memory::DiskPlatform;

const std::string kFolder = peak_memory::kDiskFolder;

std::string Template() {
    std::ifstream in(std::string(MIRSA_RESOURCE_DIR) + "/MirsaHistory.html", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void BM_HistoryPageOf50MB(benchmark::State& state) {
    const std::string templateText = Template();
    for (auto _ : state) {
        peak_memory::Report(state, peak_memory::Measure(
            [&](DiskPlatform& p) {
                p.SetResource(mirsa::kHistoryResource, templateText);
                p.SetLocalTime({2024, 5, 0, 5, 17, 10, 30, 0});
                DiskPlatform::Put(kFolder + mirsa::kHistoryFile, [&](std::ofstream& out) {
                    const std::string end = std::string(mirsa::kEndLine) + "\r\n";
                    const std::size_t cut = templateText.rfind(end);
                    out << templateText.substr(0, cut);
                    std::size_t written = cut;
                    for (int day = 0; written < (50u << 20); ++day) {
                        std::string block = "<h2>Day " + std::to_string(day) + "</h2>\r\n<table>\r\n";
                        for (int i = 0; i < 100; ++i)
                            block += "<tr><td>12:00:00</td>\r\n<td><a href=\"page" + std::to_string(i) +
                                     ".html\" target=\"_blank\"><b>A saved page</b><br>"
                                     "http://site.example/a/long/address</a>\r\n</td></tr>\r\n";
                        block += "</table>\r\n";
                        out << block;
                        written += block.size();
                    }
                    out << templateText.substr(cut);
                });
                return static_cast<double>(*p.FileSize(kFolder + mirsa::kHistoryFile));
            },
            [&](DiskPlatform& p) {
                mirsa::AddHistoryEntry(p, "New page", kFolder + "new.html", "http://new.example/",
                                       kFolder, false, state.range(0) != 0);
            }));
    }
}
BENCHMARK(BM_HistoryPageOf50MB)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

void BM_HandedOverPageOf100MB(benchmark::State& state) {
    const std::string page = kFolder + "handed.html";
    for (auto _ : state) {
        peak_memory::Report(state, peak_memory::Measure(
            [&](DiskPlatform& p) {
                DiskPlatform::Put(page, [](std::ofstream& out) {
                    out << "<html><head><!-- Mirsa settings /method=quick --></head><body>\r\n";
                    const std::string line(98, 'x');
                    for (std::size_t n = 0; n < (1u << 20); ++n) out << line << "\r\n";
                    out << "</body></html>\r\n";
                });
                return static_cast<double>(*p.FileSize(page));
            },
            [&](DiskPlatform& p) {
                mirsa::SaveRequest request;
                benchmark::DoNotOptimize(mirsa::ApplyHandOver(p, page, "", request));
            }));
    }
}
BENCHMARK(BM_HandedOverPageOf100MB)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
