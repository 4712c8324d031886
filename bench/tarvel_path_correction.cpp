// ReplacePathText and CorrectFile on 1, 16 and 64 MB profiles with the old
// folder every 100 bytes (and, second argument, every 10,000 bytes), beside
// GNU sed doing the same case-insensitive, boundary-aware replacement on the
// same file. Each run is timed by the wall clock and by the CPU time it used
// ("cpu_" counters), so figures from a machine busy with other work still
// compare; "sed_ratio" = sed's CPU time / ours (above 1: we are faster).
// The files are real (tmpfs when there is one): the reads, the ".bak" and the
// write through a temporary file are part of CorrectFile's figures.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tarvel/path_correction.h"
#include "tests/support/fake_platform.h"

namespace {

const std::string kOld = "C:\\Program Files\\Opera";
const std::string kNew = "E:\\Portable\\Opera";

// Records of exactly 100 bytes; one in every `spacing` / 100 names the old
// folder (in varying case, one in five followed by no path boundary), the
// others a path elsewhere.
std::string ProfileText(std::size_t bytes, std::size_t spacing) {
    const char* spellings[] = {"C:\\Program Files\\Opera", "c:\\program files\\opera",
                               "C:\\PROGRAM FILES\\OPERA"};
    const std::size_t every = std::max<std::size_t>(spacing / 100, 1);
    std::string text;
    text.reserve(bytes + 100);
    for (std::size_t n = 0; text.size() < bytes; ++n) {
        const std::size_t k = n / every;
        std::string record = "Key" + std::to_string(n % 1000) + "=" +
                             (n % every == 0 ? std::string(spellings[k % 3]) +
                                                   (k % 5 == 4 ? "2\\x" : "\\profile\\file.ini")
                                             : "D:\\Other Place\\Data\\file.dat");
        record.resize(98, 'a');
        text += record + "\r\n";
    }
    text.resize(bytes);
    return text;
}

using TextKey = std::pair<std::size_t, std::size_t>;  // megabytes, spacing

const std::string& CachedText(TextKey key) {
    static std::map<TextKey, std::string> cache;
    auto& text = cache[key];
    if (text.empty()) text = ProfileText(key.first << 20, key.second);
    return text;
}

std::string TempPath(const std::string& name) {
    // Memory-backed by default, so the figures are about the code, not the disk.
    const char* dir = std::getenv("TMPDIR");
    const std::string folder =
        dir && *dir ? dir : (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    return folder + "/tarvel_bench_" + std::to_string(getpid()) +
           "_" + name;
}

void WriteWhole(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(data.data(), data.size());
}

// Real files under their POSIX names; everything else stays the fake's.
class PosixFiles : public common::FakePlatform {
public:
    bool FileExists(const std::string& path) override { return access(path.c_str(), F_OK) == 0; }
    std::optional<std::string> ReadFile(const std::string& path) override {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return std::nullopt;
        std::fseek(f, 0, SEEK_END);
        std::string data(static_cast<std::size_t>(std::ftell(f)), '\0');
        std::fseek(f, 0, SEEK_SET);
        const std::size_t got = std::fread(data.data(), 1, data.size(), f);
        std::fclose(f);
        if (got != data.size()) return std::nullopt;
        return data;
    }
    bool WriteFile(const std::string& path, const std::string& data) override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(data.data(), data.size());
        return static_cast<bool>(out);
    }
    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
        std::error_code error;
        return std::filesystem::copy_file(from, to,
                                          failIfExists ? std::filesystem::copy_options::none
                                                       : std::filesystem::copy_options::overwrite_existing,
                                          error);
    }
    bool CreateNewFile(const std::string& path, const std::string& data) override {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return false;
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = write(fd, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        return close(fd) == 0 && done == data.size();
    }
    bool LinkFile(const std::string& existing, const std::string& name) override {
        return link(existing.c_str(), name.c_str()) == 0;
    }
    bool FolderExists(const std::string& path) override { return std::filesystem::is_directory(path); }
    bool IsReadOnly(const std::string& path) override { return access(path.c_str(), W_OK) != 0; }
    bool MoveFile(const std::string& from, const std::string& to, bool) override {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }
    bool DeleteFile(const std::string& path) override { return std::remove(path.c_str()) == 0; }
};

struct Seconds {
    double wall = 0, cpu = 0;
};

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// GNU sed rewriting the file in place.
Seconds SedSeconds(const std::string& path) {
    // The folder, then a path boundary (\, /, CR) or the end of a line.
    const std::string command =
        "sed -i -E 's#C:\\\\Program Files\\\\Opera([\\\\/\\r]|$)#E:\\\\Portable\\\\Opera\\1#gI' '" +
        path + "'";
    const double cpu = ChildCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const auto end = std::chrono::steady_clock::now();
    if (rc != 0) return {};
    return {std::chrono::duration<double>(end - start).count(), ChildCpuSeconds() - cpu};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Medians of three sed runs, once per text (the library calls each benchmark
// several times).
Seconds SedSecondsOn(TextKey key) {
    static std::map<TextKey, Seconds> cache;
    if (auto found = cache.find(key); found != cache.end()) return found->second;
    const std::string path = TempPath("sed.ini");
    std::vector<double> wall, cpu;
    for (int round = 0; round < 3; ++round) {
        WriteWhole(path, CachedText(key));
        const Seconds s = SedSeconds(path);
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    std::remove(path.c_str());
    return cache[key] = {Median(wall), Median(cpu)};
}

// Our runs, each timed by the wall clock and by this thread's CPU time.
class RunTimes {
public:
    template <typename Fn>
    void Time(Fn fn) {
        const double cpu = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        fn();
        wall_.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpu_.push_back(ThreadCpuSeconds() - cpu);
    }
    Seconds Median() const { return {::Median(wall_), ::Median(cpu_)}; }

private:
    std::vector<double> wall_, cpu_;
};

double MegabytesPerSecond(std::size_t bytes, double seconds) {
    return seconds > 0 ? bytes / 1048576.0 / seconds : 0;
}

// Median rates of our runs and of sed's; sed_ratio = sed's CPU time / ours.
void Report(benchmark::State& state, std::size_t bytes, const RunTimes& ours, Seconds sed) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    const Seconds our = ours.Median();
    state.counters["MBps"] = MegabytesPerSecond(bytes, our.wall);
    state.counters["cpu_MBps"] = MegabytesPerSecond(bytes, our.cpu);
    state.counters["sed_MBps"] = MegabytesPerSecond(bytes, sed.wall);
    state.counters["sed_cpu_MBps"] = MegabytesPerSecond(bytes, sed.cpu);
    state.counters["sed_ratio"] = our.cpu > 0 ? sed.cpu / our.cpu : 0;
}

TextKey KeyOf(const benchmark::State& state) {
    return {static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1))};
}

void BM_ReplacePathText(benchmark::State& state) {
    const std::string& text = CachedText(KeyOf(state));
    RunTimes ours;
    for (auto _ : state) {
        ours.Time([&] {
            std::string out = tarvel::ReplacePathText(text, kOld, kNew, true);
            benchmark::DoNotOptimize(out.data());
        });
    }
    Report(state, text.size(), ours, SedSecondsOn(KeyOf(state)));
}

// Every iteration corrects a fresh copy of the uncorrected file, written
// outside the timing (a file corrected once would only be scanned after).
void BM_CorrectFile(benchmark::State& state) {
    const std::string& text = CachedText(KeyOf(state));
    PosixFiles p;
    const std::string path = TempPath("profile.ini");
    RunTimes ours;
    for (auto _ : state) {
        state.PauseTiming();
        WriteWhole(path, text);
        std::remove((path + ".bak").c_str());
        state.ResumeTiming();
        ours.Time([&] { tarvel::CorrectFile(p, path, kOld, kNew); });
    }
    const bool rewritten = p.ReadFile(path).value_or("").find("E:\\Portable\\Opera\\profile") !=
                           std::string::npos;
    std::remove(path.c_str());
    std::remove((path + ".bak").c_str());
    if (!rewritten) state.SkipWithError("the file was not rewritten");
    Report(state, text.size(), ours, SedSecondsOn(KeyOf(state)));
}

// Megabytes, then bytes between two mentions of the old folder.
void Sizes(benchmark::internal::Benchmark* b) {
    for (int spacing : {100, 10000})
        for (int megabytes : {1, 16, 64}) b->Args({megabytes, spacing});
}
BENCHMARK(BM_ReplacePathText)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrectFile)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Every large block straight from the system, as in a program that reads
    // each profile file once: without this the allocator keeps blocks below
    // 32 MB for the next iteration, and only the larger sizes pay for fresh
    // pages.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
