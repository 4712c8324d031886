// The history page update for pages of 1,000, 10,000 and 100,000 items: the
// text work AddHistoryEntry does on a page of the current format (line ends,
// format check, day block and item insertion), alone and with the page read
// from and written to a real file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "mirsa/history.h"

namespace {

std::string Template() {
    std::ifstream in(std::string(MIRSA_RESOURCE_DIR) + "/MirsaHistory.html", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A page with `items` items, 50 a day.
std::string PageOf(int items) {
    const std::string t = Template();
    std::string body;
    for (int i = 0; i < items; ++i) {
        if (i % 50 == 0) {
            if (i) body += "</table>\r\n";
            body += mirsa::DayHeading("Monday " + std::to_string(10 + i / 50 % 18) + ".05." +
                                      std::to_string(2000 + i / 900)) +
                    "\r\n<table>\r\n";
        }
        body += mirsa::HistoryEntry("12:00:00", "site/page " + std::to_string(i) + ".html",
                                    "Some page title number " + std::to_string(i),
                                    "http://www.example.com/path/" + std::to_string(i)) +
                "\r\n";
    }
    if (items) body += "</table>\r\n";
    std::size_t end = t.rfind(mirsa::kEndLine);
    return t.substr(0, end) + body + t.substr(end);
}

std::string Update(const std::string& page, bool newestFirst) {
    std::string text = mirsa::NormalizeLineEnds(page);
    if (mirsa::KindOfPage(text) != mirsa::PageKind::Current) return text;
    return mirsa::InsertEntry(text, "<h2>Tuesday 08.12.2026</h2>",
                              mirsa::HistoryEntry("17:10:30", "new.html", "New", "http://n/"),
                              newestFirst);
}

void BM_HistoryUpdateText(benchmark::State& state) {
    const std::string page = PageOf(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Update(page, state.range(1) != 0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_HistoryUpdateText)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_HistoryUpdateFile(benchmark::State& state) {
    const std::string path = "mirsa_bench_history.html";
    const std::string page = PageOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        { std::ofstream(path, std::ios::binary) << page; }
        state.ResumeTiming();
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::string text(static_cast<std::size_t>(in.tellg()), '\0');
        in.seekg(0);
        in.read(&text[0], static_cast<std::streamsize>(text.size()));
        std::string updated = Update(text, false);
        { std::ofstream(path + ".~new", std::ios::binary) << updated; }
        std::rename((path + ".~new").c_str(), path.c_str());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_HistoryUpdateFile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
