// ReplacePathText and CorrectFile on 1, 16 and 64 MB profiles with the old
// folder every 100 bytes, beside GNU sed doing the same case-insensitive,
// boundary-aware replacement on the same file ("sed_ratio" = sed time / ours).
#include <benchmark/benchmark.h>

#include <unistd.h>

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

// Records of exactly 100 bytes, each naming the old folder (in varying case).
std::string ProfileText(std::size_t bytes) {
    const char* spellings[] = {"C:\\Program Files\\Opera", "c:\\program files\\opera",
                               "C:\\PROGRAM FILES\\OPERA"};
    std::string text;
    text.reserve(bytes + 100);
    for (std::size_t n = 0; text.size() < bytes; ++n) {
        std::string record = "Key" + std::to_string(n % 1000) + "=" + spellings[n % 3] +
                             (n % 5 == 4 ? "2\\x" : "\\profile\\file.ini");
        record.resize(98, 'a');
        text += record + "\r\n";
    }
    text.resize(bytes);
    return text;
}

const std::string& CachedText(std::size_t megabytes) {
    static std::map<std::size_t, std::string> cache;
    auto& text = cache[megabytes];
    if (text.empty()) text = ProfileText(megabytes << 20);
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
    bool MoveFile(const std::string& from, const std::string& to, bool) override {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }
    bool DeleteFile(const std::string& path) override { return std::remove(path.c_str()) == 0; }
};

// Seconds GNU sed takes to rewrite the file in place.
double SedSeconds(const std::string& path) {
    // The folder, then a path boundary (\, /, CR) or the end of a line.
    const std::string command =
        "sed -i -E 's#C:\\\\Program Files\\\\Opera([\\\\/\\r]|$)#E:\\\\Portable\\\\Opera\\1#gI' '" +
        path + "'";
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const auto end = std::chrono::steady_clock::now();
    if (rc != 0) return 0;
    return std::chrono::duration<double>(end - start).count();
}

double SedSecondsOn(const std::string& text) {
    const std::string path = TempPath("sed.ini");
    WriteWhole(path, text);
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        WriteWhole(path, text);
        best = std::min(best, SedSeconds(path));
    }
    std::remove(path.c_str());
    return best;
}

// Bytes per second from the library; beside it sed's rate and sed's time
// divided by ours (above 1: we are faster).
void Report(benchmark::State& state, std::size_t bytes, double ourSeconds, double sedSeconds) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    const double perRun = ourSeconds / static_cast<double>(state.iterations());
    state.counters["MBps"] = perRun > 0 ? bytes / 1048576.0 / perRun : 0;
    state.counters["sed_MBps"] = sedSeconds > 0 ? bytes / 1048576.0 / sedSeconds : 0;
    state.counters["sed_ratio"] = perRun > 0 ? sedSeconds / perRun : 0;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ReplacePathText(benchmark::State& state) {
    const std::size_t megabytes = static_cast<std::size_t>(state.range(0));
    const std::string& text = CachedText(megabytes);
    double ours = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::string out = tarvel::ReplacePathText(text, kOld, kNew, true);
        benchmark::DoNotOptimize(out.data());
        ours += Since(start);
    }
    Report(state, text.size(), ours, SedSecondsOn(text));
}

void BM_CorrectFile(benchmark::State& state) {
    const std::size_t megabytes = static_cast<std::size_t>(state.range(0));
    const std::string& text = CachedText(megabytes);
    PosixFiles p;
    const std::string path = TempPath("profile.ini");
    double ours = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WriteWhole(path, text);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        tarvel::CorrectFile(p, path, kOld, kNew);
        ours += Since(start);
    }
    const bool rewritten = p.ReadFile(path).value_or("").find("E:\\Portable\\Opera\\profile") !=
                           std::string::npos;
    std::remove(path.c_str());
    std::remove((path + ".bak").c_str());
    if (!rewritten) state.SkipWithError("the file was not rewritten");
    Report(state, text.size(), ours, SedSecondsOn(text));
}

BENCHMARK(BM_ReplacePathText)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrectFile)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
