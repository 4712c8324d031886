// Peak memory of one operation on huge input, for the *_huge_input benches.
//
// Files under kDiskFolder live on the real disk (in the bench's working
// folder), so that the input and what the operation writes are not counted as
// the program's memory, as on Windows; everything else is the in-memory fake.
// Each measurement runs in a child process of its own: the set-up is made,
// the resident size taken, the peak reset (/proc/self/clear_refs), the
// operation run, and the peak read again. "extra" is what the operation added
// at its peak; the target is at most 3x the input.
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "common/helpers.h"
#include "tests/support/fake_platform.h"

namespace peak_memory {

inline const std::string kDiskFolder = "D:\\Big\\";

class DiskPlatform : public common::FakePlatform {
public:
    DiskPlatform() {
        std::filesystem::create_directories(Host(kDiskFolder));
        AddFolder("D:\\Big");
    }
    ~DiskPlatform() override { std::filesystem::remove_all(Host(kDiskFolder)); }

    static std::string Host(const std::string& path) {
        std::string name = path.substr(kDiskFolder.size());
        for (char& c : name)
            if (c == '\\') c = '/';
        return (std::filesystem::current_path() / ("huge_input_" + std::to_string(getpid())) / name)
            .string();
    }
    static bool OnDisk(const std::string& path) { return common::StartsWith(path, kDiskFolder); }

    // Writes a file straight to the disk, in pieces, without a copy in memory.
    static void Put(const std::string& path, const std::function<void(std::ofstream&)>& write) {
        std::ofstream out(Host(path), std::ios::binary | std::ios::trunc);
        write(out);
    }

    bool FileExists(const std::string& path) override {
        return OnDisk(path) ? std::filesystem::is_regular_file(Host(path)) : FakePlatform::FileExists(path);
    }
    std::optional<std::uint64_t> FileSize(const std::string& path) override {
        if (!OnDisk(path)) return FakePlatform::FileSize(path);
        std::error_code e;
        const auto size = std::filesystem::file_size(Host(path), e);
        return e ? std::nullopt : std::optional<std::uint64_t>(size);
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        if (!OnDisk(path)) return FakePlatform::ReadFile(path);
        const auto size = FileSize(path);
        if (!size) return std::nullopt;
        std::string data(*size, '\0');
        std::ifstream in(Host(path), std::ios::binary);
        in.read(&data[0], static_cast<std::streamsize>(data.size()));
        return data;
    }
    bool WriteFile(const std::string& path, const std::string& data) override {
        if (!OnDisk(path)) return FakePlatform::WriteFile(path, data);
        std::ofstream out(Host(path), std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(out);
    }
    bool AppendFile(const std::string& path, const std::string& data) override {
        if (!OnDisk(path)) return FakePlatform::AppendFile(path, data);
        std::ofstream out(Host(path), std::ios::binary | std::ios::app);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(out);
    }
    bool DeleteFile(const std::string& path) override {
        if (!OnDisk(path)) return FakePlatform::DeleteFile(path);
        return std::filesystem::remove(Host(path));
    }
    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
        if (!OnDisk(from) && !OnDisk(to)) return FakePlatform::CopyFile(from, to, failIfExists);
        if (failIfExists && FileExists(to)) return false;
        std::error_code e;
        std::filesystem::copy_file(Host(from), Host(to),
                                   std::filesystem::copy_options::overwrite_existing, e);
        return !e;
    }
    bool CreateNewFile(const std::string& path, const std::string& data) override {
        if (!OnDisk(path)) return FakePlatform::CreateNewFile(path, data);
        if (FileExists(path)) return false;
        return WriteFile(path, data);
    }
    bool LinkFile(const std::string& existing, const std::string& name) override {
        if (!OnDisk(existing) && !OnDisk(name)) return FakePlatform::LinkFile(existing, name);
        std::error_code e;
        std::filesystem::create_hard_link(Host(existing), Host(name), e);
        return !e;
    }
    bool MoveFile(const std::string& from, const std::string& to, bool replace) override {
        if (!OnDisk(from) && !OnDisk(to)) return FakePlatform::MoveFile(from, to, replace);
        if (!replace && FileExists(to)) return false;
        std::error_code e;
        std::filesystem::rename(Host(from), Host(to), e);
        return !e;
    }
    bool IsReadOnly(const std::string& path) override {
        return OnDisk(path) ? false : FakePlatform::IsReadOnly(path);
    }
};

struct Peak {
    double inputBytes = 0, extraBytes = 0, seconds = 0;
};

inline std::uint64_t StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (common::StartsWith(line, field)) return std::stoull(line.substr(std::string(field).size()));
    return 0;
}

// setup makes the input and returns its size in bytes; operation is measured.
// The platform is made in the child, so nothing of one case is left for the next.
inline Peak Measure(const std::function<double(DiskPlatform&)>& setup,
                    const std::function<void(DiskPlatform&)>& operation) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        // Large blocks always come straight from the system and go back to it,
        // so that one block freed early cannot hide the next one.
        mallopt(M_MMAP_THRESHOLD, 256 * 1024);
        Peak peak;
        {
            DiskPlatform p;
            peak.inputBytes = setup(p);
            const std::uint64_t before = StatusKb("VmRSS:");
            std::ofstream("/proc/self/clear_refs") << "5";
            const auto start = std::chrono::steady_clock::now();
            operation(p);
            peak.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            peak.extraBytes = static_cast<double>(StatusKb("VmHWM:") - before) * 1024;
        }
        const bool ok = write(fds[1], &peak, sizeof peak) == static_cast<ssize_t>(sizeof peak);
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    Peak peak;
    const bool ok = read(fds[0], &peak, sizeof peak) == static_cast<ssize_t>(sizeof peak);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return ok ? peak : Peak{};
}

// One measurement as the benchmark's counters: input_MB, extra_MB, ratio.
inline void Report(benchmark::State& state, const Peak& peak) {
    state.counters["input_MB"] = peak.inputBytes / 1048576.0;
    state.counters["extra_MB"] = peak.extraBytes / 1048576.0;
    state.counters["ratio"] = peak.inputBytes > 0 ? peak.extraBytes / peak.inputBytes : 0;
    state.counters["op_s"] = peak.seconds;
    if (peak.inputBytes == 0) state.SkipWithError("the measurement failed");
}

}  // namespace peak_memory
