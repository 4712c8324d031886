// Peak memory of Tarvel's profile correction on huge input (see
// peak_memory.h): a 64 MB profile of 1 MB lines, each naming the old folder
// many times, corrected to a shorter and to a longer folder.
#include "bench/peak_memory.h"
#include "tarvel/path_correction.h"

namespace {

using peak_memory::DiskPlatform;

const std::string kProfile = peak_memory::kDiskFolder + "opera6.ini";
const std::string kOld = "C:\\Program Files\\Opera";

void BM_ProfileWithMegabyteLines(benchmark::State& state) {
    const std::string newFolder = state.range(0) ? "E:\\A much longer portable folder\\Opera" : "E:\\Opera";
    for (auto _ : state) {
        peak_memory::Report(state, peak_memory::Measure(
            [&](DiskPlatform& p) {
                DiskPlatform::Put(kProfile, [](std::ofstream& out) {
                    std::string line = "Key=";
                    while (line.size() < (1u << 20)) line += kOld + "\\profile\\cache;D:\\elsewhere\\x;";
                    for (int n = 0; n < 64; ++n) out << line << "\r\n";
                });
                return static_cast<double>(*p.FileSize(kProfile));
            },
            [&](DiskPlatform& p) { tarvel::CorrectFile(p, kProfile, kOld, newFolder); }));
    }
}
BENCHMARK(BM_ProfileWithMegabyteLines)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
