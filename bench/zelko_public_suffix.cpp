// The cookie rule's cost: the first lookup of a process (what a request pays
// for the suffix table before its first answer), later lookups, and a large
// job whose links all lie on other hosts.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "zelko/cookie_scope.h"
#include "zelko/job.h"
#include "zelko/public_suffix.h"

namespace {

const std::vector<std::string>& Hosts() {
    static const std::vector<std::string> hosts = {
        "www.example.com",        "files.bank.co.uk",    "site-a.github.io",
        "a.b.test.ck",            "dl.www.ck",           "xn--85x722f.xn--55qx5d.cn",
        "cdn.images.example.org", "intranet",            "mirror.kernel.example.de",
    };
    return hosts;
}

// Registered first and run once: the only measurement that holds the work a
// process does before its first answer.
void BM_FirstLookup(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(zelko::RegistrableDomain("www.example.co.uk"));
}
BENCHMARK(BM_FirstLookup)->Iterations(1)->Unit(benchmark::kMicrosecond);

void BM_RegistrableDomain(benchmark::State& state) {
    const std::vector<std::string>& hosts = Hosts();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zelko::RegistrableDomain(hosts[i]));
        i = (i + 1) % hosts.size();
    }
}
BENCHMARK(BM_RegistrableDomain);

void BM_DropForeignCookies(benchmark::State& state) {
    const std::vector<std::string>& hosts = Hosts();
    std::string job = "10000;M;2;;\r\nhttps://www.shop.example.com/page.html\r\n";
    for (int k = 0; k < 10000; ++k)
        job += "https://" + std::to_string(k) + "." + hosts[k % hosts.size()] + "/f.zip\r\nd\r\n" +
               "sid=1\r\n\r\n";
    for (auto _ : state) {
        zelko::JobLines lines(job);
        zelko::DropForeignCookies(lines);
        benchmark::DoNotOptimize(lines.Text().data());
    }
}
BENCHMARK(BM_DropForeignCookies)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
