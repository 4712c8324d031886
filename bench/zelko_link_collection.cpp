// Link collection over generated pages of 1,000 to 100,000 anchors (about
// 100 bytes each, 10 MB at the top) and over hostile pages, and the site-list
// test of the hand-off.
#include <benchmark/benchmark.h>

#include <string>

#include "zelko/handoff.h"
#include "zelko/link_collection.h"

namespace {

std::string GeneratedPage(int anchors, int distinct) {
    std::string page = "<html><head><title>Files</title></head><body>\n";
    for (int i = 0; i < anchors; ++i) {
        int k = i % distinct;
        switch (i % 4) {
            case 0:
                page += "<p><a class=\"dl\" href=\"/files/" + std::to_string(k) +
                        "/archive.zip\">Archive <b>" + std::to_string(k) + "</b> &amp; more files</a></p>\n";
                break;
            case 1:
                page += "<li><A HREF='http://mirror.example.net/pub/" + std::to_string(k) +
                        ".tar.gz' target=_blank>Mirror&nbsp;" + std::to_string(k) + "</A></li>\n";
                break;
            case 2:
                page += "<div><a href=rel/" + std::to_string(k) +
                        ".exe title=x>Program " + std::to_string(k) + " &copy; vendor of tools</a></div>\n";
                break;
            default:
                page += "<a id=n" + std::to_string(k) + " href=\"javascript:show(" +
                        std::to_string(k) + ")\">Show the details of this item</a><br>\n";
                break;
        }
    }
    return page + "</body></html>\n";
}

void BM_CollectPageLinks(benchmark::State& state) {
    const int anchors = static_cast<int>(state.range(0));
    const std::string page = GeneratedPage(anchors, anchors);
    std::size_t count = 0;
    for (auto _ : state) {
        zelko::CollectedLinks links =
            zelko::CollectLinksFromPage(page, "http://site.example.com/dir/page.html", false);
        count = links.count;
        benchmark::DoNotOptimize(links.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
    state.counters["page_bytes"] = static_cast<double>(page.size());
    state.counters["entries"] = static_cast<double>(count);
}
BENCHMARK(BM_CollectPageLinks)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Mostly repeated links: the duplicate test dominates.
void BM_CollectPageLinksRepeated(benchmark::State& state) {
    const int anchors = static_cast<int>(state.range(0));
    const std::string page = GeneratedPage(anchors, 50);
    for (auto _ : state) {
        zelko::CollectedLinks links =
            zelko::CollectLinksFromPage(page, "http://site.example.com/dir/page.html", false);
        benchmark::DoNotOptimize(links.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_CollectPageLinksRepeated)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CollectImages(benchmark::State& state) {
    std::string page;
    for (int i = 0; i < state.range(0); ++i)
        page += "<img width=10 src=\"/img/" + std::to_string(i) + ".png\" alt=\"picture\"><br>\n";
    for (auto _ : state) {
        zelko::CollectedLinks links = zelko::CollectLinksFromPage(page, "http://s.example/", true);
        benchmark::DoNotOptimize(links.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_CollectImages)->Arg(100000)->Unit(benchmark::kMillisecond);

// 10 MB of one piece that a backtracking matcher rescans to the end of the
// page from every start: tags never closed, quotes never closed, images
// without a ">", anchors without a "</a>". Each takes one pass.
void BM_CollectHostilePage(benchmark::State& state) {
    const char* pieces[] = {"<a href=\"x y", "<img src=x ", "<a href=x>t", "<a href=x><img src=y"};
    const std::string piece = pieces[state.range(0)];
    std::string page;
    while (page.size() < (10u << 20)) page += piece;
    const bool images = piece.find("<img") != std::string::npos;
    for (auto _ : state) {
        zelko::CollectedLinks links = zelko::CollectLinksFromPage(page, "http://s.example/", images);
        benchmark::DoNotOptimize(links.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_CollectHostilePage)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_MatchesSiteList(benchmark::State& state) {
    std::string list;
    for (int i = 0; i < 1000; ++i) list += "filehost" + std::to_string(i) + ".com;";
    const std::string miss = "http://www.unlisted-site.org/downloads/file.zip";
    const std::string hit = "http://filehost999.com/f/abc";
    for (auto _ : state) {
        benchmark::DoNotOptimize(zelko::MatchesSiteList(list, miss));
        benchmark::DoNotOptimize(zelko::MatchesSiteList(list, hit));
    }
}
BENCHMARK(BM_MatchesSiteList);

}  // namespace

BENCHMARK_MAIN();
