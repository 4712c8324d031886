#include "tests/e2e/support/wine_bench.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace e2e {
namespace {

constexpr const char* kDllOverrides = "mscoree=;mshtml=";
constexpr const char* kWine32 = "/usr/lib/wine/wine";
constexpr const char* kWine64 = "/usr/lib/wine/wine64";

// fork + exec in a process group of its own, so a time-out takes its children too.
int Spawn(const std::vector<std::string>& argv, const Env& env, const std::string& outputFile) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setpgid(0, 0);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        int in = open("/dev/null", O_RDONLY);
        int out = outputFile.empty() ? open("/dev/null", O_WRONLY)
                                     : open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in >= 0) dup2(in, 0);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(pid, pid);
    return pid;
}

std::optional<int> Reap(int pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0) return -1;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void KillGroup(int pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

RunResult RunHost(const std::vector<std::string>& argv, int timeoutSec, const Env& env = {}) {
    char name[] = "/tmp/oc_e2e_outXXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    RunResult result;
    int pid = Spawn(argv, env, name);
    if (pid > 0) {
        auto code = Reap(pid, timeoutSec * 1000);
        if (code) {
            result.exitCode = *code;
        } else {
            result.timedOut = true;
            KillGroup(pid);
        }
    }
    result.output = ReadHostFile(name).value_or("");
    unlink(name);
    return result;
}

// Identifies this test run: the process that started the test programs (ctest
// starts one per test), unless OC_E2E_RUN names the run.
std::string RunId() {
    if (const char* given = std::getenv("OC_E2E_RUN"); given && *given) return given;
    pid_t parent = getppid();
    std::string stat = ReadHostFile("/proc/" + std::to_string(parent) + "/stat").value_or("");
    // Field 22 is the start time; the name in field 2 may hold blanks, so count from ')'.
    std::size_t close = stat.rfind(')');
    std::string start;
    if (close != std::string::npos) {
        std::istringstream rest(stat.substr(close + 2));
        std::string field;
        for (int i = 3; i <= 22 && rest >> field; ++i)
            if (i == 22) start = field;
    }
    return std::to_string(parent) + ":" + start;
}

// The test program's subject: "zelko" for e2e_zelko. The support is built
// once for every test program, so each finds its own folder by its name.
std::string ProgramSubject() {
    std::error_code ec;
    std::string name = fs::read_symlink("/proc/self/exe", ec).filename().string();
    return name.rfind("e2e_", 0) == 0 ? name.substr(4) : name;
}

std::string ProgramWork() { return std::string(OC_E2E_WORK_ROOT) + "/" + ProgramSubject(); }

bool RunsWine32() {
    if (!HostFileExists(kWine32)) return false;
    RunResult r = RunHost({kWine32, "--version"}, 30);
    return r.exitCode == 0 && r.output.rfind("wine-", 0) == 0;
}

WineChoice DecideWine() {
if (ProgramSubject() == "smoke32") {
    WineChoice shipped;
    shipped.is64 = true;
    shipped.shipped32 = true;
    shipped.loader = kWine64;
    shipped.buildBin = OC_WIN64_BIN;
    return shipped;
    }
    const char* forced = std::getenv("OC_WINE_ARCH");
    const std::string force = forced ? forced : "";
    if (!force.empty() && force != "32" && force != "64")
        throw std::runtime_error("OC_WINE_ARCH must be 32 or 64, not \"" + force + "\"");
    const bool can32 = RunsWine32();
    if (force == "32" && !can32)
        throw std::runtime_error("OC_WINE_ARCH=32: this machine runs no 32-bit programs");
    WineChoice choice;
    choice.is64 = force == "64" || (force.empty() && !can32);
    choice.loader = choice.is64 ? kWine64 : kWine32;
    choice.buildBin = choice.is64 ? OC_WIN64_BIN : OC_WIN32_BIN;
    return choice;
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

// Held while the run's template prefix is made or copied.
class FolderLock {
public:
    explicit FolderLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT, 0644)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

std::unique_ptr<WineBench>& Instance() {
    static std::unique_ptr<WineBench> bench;
    return bench;
}

}  // namespace

const WineChoice& ChosenWine() {
    static const WineChoice choice = DecideWine();
    return choice;
}

// --- Background ---

Background& Background::operator=(Background&& other) noexcept {
    if (this != &other) {
        Kill();
        pid_ = other.pid_;
        code_ = other.code_;
        other.pid_ = -1;
    }
    return *this;
}

Background::~Background() { Kill(); }

bool Background::Running() {
    if (pid_ <= 0 || code_) return false;
    code_ = Reap(pid_, 0);
    return !code_;
}

std::optional<int> Background::Wait(int timeoutMs) {
    if (pid_ <= 0) return -1;
    if (!code_) code_ = Reap(pid_, timeoutMs);
    return code_;
}

void Background::Kill() {
    if (pid_ > 0 && !code_ && !Reap(pid_, 0)) KillGroup(pid_);
    pid_ = -1;
}

// --- the bench ---

WineBench& WineBench::Get() {
    auto& bench = Instance();
    if (!bench) bench.reset(new WineBench());
    return *bench;
}

WineBench::WineBench() {
    const WineChoice& wine = ChosenWine();
    work_ = ProgramWork();
    // Lanes run side by side, each with prefixes of its own.
    if (const char* lane = std::getenv("OC_E2E_LANE"); lane && *lane) work_ += std::string("/lane") + lane;
    if (wine.shipped32) work_ += "/" + CurrentTestName();
    prefix_ = work_ + "/prefix";
    fs::create_directories(work_);
    UnmountBelow(work_);
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEARCH", wine.is64 ? "win64" : "win32", 1);
    // /usr/bin/wine and wineboot pick wine32 whenever it is installed.
    if (wine.is64) setenv("WINELOADER", wine.loader.c_str(), 1);
    setenv("WINEDLLOVERRIDES", kDllOverrides, 1);
    setenv("WINEDEBUG", "-all", 1);
    StartDisplay();
    MakePrefix();
    // One wineserver for the whole test program; it outlives single runs a while.
    RunHost({"wineserver", "-p30"}, 30);
    CopyBinaries();
    WarmUp();
}

// The first program started in a fresh prefix can fail while Wine is still
// settling (seen under wine64 on a loaded machine); a built-in program run
// until it succeeds keeps that away from the first test.
void WineBench::WarmUp() const {
    for (int attempt = 0; attempt < 3; ++attempt)
        if (Run({"cmd", "/c", "exit", "0"}, 60).exitCode == 0) return;
}

WineBench::~WineBench() {
    RunHost({"wineserver", "-k"}, 30);
    UnmountBelow(work_);
    if (ownXvfb_ > 0) KillGroup(ownXvfb_);
}

void WineBench::StartDisplay() {
    // Tests that run side by side must not take each other's keyboard focus.
    const char* display = std::getenv("DISPLAY");
    if (display && *display && !ChosenWine().shipped32) return;
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    ownXvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                      "-nolisten", "tcp"},
                     {}, "");
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    setenv("DISPLAY", (":" + number).c_str(), 1);
}

void WineBench::MakePrefix() {
    const std::string marker = work_ + "/prefix.ready";
    const std::string run = RunId();
    const char* reuse = std::getenv("OC_E2E_REUSE");
    bool complete = HostFileExists(marker) && HostFileExists(prefix_ + "/system.reg");
    const std::string stamp = run + " " + ChosenWine().Name();
    if (complete && ((reuse && std::string(reuse) == "1") || ReadHostFile(marker) == stamp)) {
        PutWineFonts(prefix_);
        return;
    }

    RunHost({"wineserver", "-k"}, 30);
    fs::remove(marker);
    fs::remove_all(prefix_);
    // One wineboot per run, whatever the number of test programs and lanes.
    const WineChoice& wine = ChosenWine();
    const std::string folder = std::string(OC_E2E_WORK_ROOT) + "/template-" +
                               (wine.shipped32 ? "wow64" : wine.is64 ? "win64" : "win32");
    fs::create_directories(folder);
    FolderLock lock(folder + ".lock");
    const std::string templatePrefix = folder + "/prefix";
    const std::string templateMarker = folder + "/prefix.ready";
    if (ReadHostFile(templateMarker) != stamp || !HostFileExists(templatePrefix + "/system.reg")) {
        const Env at = {{"WINEPREFIX", templatePrefix}};
        RunHost({"wineserver", "-k"}, 30, at);
        fs::remove(templateMarker);
        fs::remove_all(templatePrefix);
        RunResult boot = RunHost({wine.loader, "wineboot", "-i"}, 1800, at);
        // The registry reaches its files when the wineserver ends.
        RunHost({"wineserver", "-w"}, 600, at);
        if (boot.exitCode != 0 || !HostFileExists(templatePrefix + "/system.reg"))
            throw std::runtime_error("wineboot failed: " + boot.output);
        PutWineFonts(templatePrefix);
        WriteHostFile(templateMarker, stamp);
    }
    CopyTemplate(templatePrefix);  // the fonts come with it
    WriteHostFile(marker, stamp);
}

// Hard links for the prefix's gigabyte of Wine libraries, which nothing
// writes; real copies of the files Wine rewrites in place (the registry, the
// Windows folder's INI files), so no test changes the template.
void WineBench::CopyTemplate(const std::string& templatePrefix) const {
    RunResult linked = RunHost({"cp", "-al", templatePrefix, prefix_}, 300);
    if (linked.exitCode != 0) throw std::runtime_error("copying the template prefix failed: " + linked.output);
    for (const std::string& folder : {std::string(), std::string("/drive_c/windows")}) {
        for (const auto& entry : fs::directory_iterator(prefix_ + folder)) {
            if (!entry.is_regular_file() || entry.is_symlink()) continue;
            const fs::path own = entry.path();
            fs::remove(own);
            fs::copy_file(templatePrefix + folder + "/" + own.filename().string(), own);
        }
    }
}

// Windows draws the windows in Tahoma: Wine's own, which Debian's Wine
// finds only in the prefix's Fonts folder.
void WineBench::PutWineFonts(const std::string& prefix) {
    RunResult fonts = RunHost({std::string(OC_SOURCE_DIR) + "/scripts/wine-fonts", prefix}, 60);
    if (fonts.exitCode != 0) throw std::runtime_error("wine-fonts failed: " + fonts.output);
}

void WineBench::CopyBinaries() const {
    const std::string target = HostPath(BinFolder());
    fs::create_directories(target);
    for (const auto& entry : fs::directory_iterator(BuildBin())) {
        if (entry.path().extension() != ".exe") continue;
        fs::copy_file(entry.path(), target + "/" + entry.path().filename().string(),
                      fs::copy_options::overwrite_existing);
    }
}

std::string WineBench::HostPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return windowsPath;
    std::string path = prefix_ + "/dosdevices/";
    path += static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    path += ':';
    std::string rest = windowsPath.substr(2);
    for (char& c : rest)
        if (c == '\\') c = '/';
    if (!rest.empty() && rest[0] != '/') path += '/';
    return path + rest;
}

void WineBench::InstallExe(const std::string& exeName, const std::string& windowsPath) const {
    std::string target = HostPath(windowsPath);
    fs::create_directories(fs::path(target).parent_path());
    const bool shipped = exeName == "Zelko.exe" || exeName == "Mirsa.exe" || exeName == "tarvel.exe";
    const std::string from = ChosenWine().shipped32 && shipped ? OC_WIN32_BIN : BuildBin();
    fs::copy_file(from + "/" + exeName, target, fs::copy_options::overwrite_existing);
}

std::string WineBench::TestFolder() const {
    std::string folder = "C:\\t\\" + CurrentTestName() + "\\";
    std::string host = HostPath(folder);
    fs::remove_all(host);
    fs::create_directories(host);
    return folder;
}

RunResult WineBench::Run(const std::vector<std::string>& args, int timeoutSec, const Env& env) const {
    std::vector<std::string> argv = {ChosenWine().loader};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunHost(argv, timeoutSec, env);
}

Background WineBench::Start(const std::vector<std::string>& args, const Env& env) const {
    std::vector<std::string> argv = {ChosenWine().loader};
    argv.insert(argv.end(), args.begin(), args.end());
    return Background(Spawn(argv, env, ""));
}

Background StartHostProgram(const std::vector<std::string>& argv, const std::string& outputFile) {
    return Background(Spawn(argv, {}, outputFile));
}

bool WineBench::RegAdd(const std::string& key, const std::string& value, const std::string& data,
                       const std::string& type) const {
    return Run({"reg", "add", key, "/v", value, "/t", type, "/d", data, "/f"}, 60).exitCode == 0;
}

std::optional<std::string> WineBench::RegQuery(const std::string& key,
                                               const std::string& value) const {
    RunResult r = Run({"reg", "query", key, "/v", value}, 60);
    if (r.exitCode != 0) return std::nullopt;
    // "    <value>    REG_SZ    <data>"
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t type = line.find("    REG_");
        if (type == std::string::npos) continue;
        std::string name = line.substr(0, type);
        name.erase(0, name.find_first_not_of(' '));
        if (name != value) continue;
        std::size_t data = line.find("    ", type + 4);
        return data == std::string::npos ? std::string() : line.substr(data + 4);
    }
    return std::nullopt;
}

void WineBench::AddDrive(char letter, const std::string& hostFolder) const {
    std::string link = prefix_ + "/dosdevices/" +
                       static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) + ":";
    fs::remove(link);
    fs::create_directory_symlink(hostFolder, link);
}

void WineBench::RemoveDrive(char letter) const {
    fs::remove(prefix_ + "/dosdevices/" +
               static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) + ":");
}

// --- drives ---

namespace {
const char kDesktopKey[] = "HKCU\\Control Panel\\Desktop";
}

PrefixDpi::PrefixDpi() : before_(WineBench::Get().RegQuery(kDesktopKey, "LogPixels")) {}

bool PrefixDpi::Set(int dpi) const {
    return WineBench::Get().RegAdd(kDesktopKey, "LogPixels", std::to_string(dpi), "REG_DWORD");
}

PrefixDpi::~PrefixDpi() {
    const WineBench& bench = WineBench::Get();
    if (before_)  // as reg query shows it: "0x60"
        bench.RegAdd(kDesktopKey, "LogPixels", std::to_string(std::stoul(*before_, nullptr, 0)),
                     "REG_DWORD");
    else
        bench.Run({"reg", "delete", kDesktopKey, "/v", "LogPixels", "/f"}, 60);
}

TmpfsDrive::TmpfsDrive(char letter, const std::string& hostFolder, const std::string& size)
    : letter_(letter), folder_(hostFolder) {
    WineBench& bench = WineBench::Get();  // set up first: it clears old mounts
    fs::create_directories(folder_);
    umount2(folder_.c_str(), MNT_DETACH);
    const std::string options = "size=" + size;
    mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (mounted_) bench.AddDrive(letter_, folder_);
}

TmpfsDrive::~TmpfsDrive() {
    if (!mounted_) return;
    WineBench::Get().RemoveDrive(letter_);
    // Lazily: a Wine process that still holds a file there must not keep it mounted.
    umount2(folder_.c_str(), MNT_DETACH);
}

ReadOnlyFolder::ReadOnlyFolder(const std::string& hostFolder) {
    WineBench::Get();  // set up first: it clears old mounts
    std::error_code ec;
    folder_ = fs::weakly_canonical(hostFolder, ec).string();
    if (mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) != 0) return;
    mounted_ = true;
    if (mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        umount2(folder_.c_str(), MNT_DETACH);
        mounted_ = false;
    }
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

void UnmountBelow(const std::string& hostFolder) {
    std::error_code ec;
    const std::string root = fs::weakly_canonical(hostFolder, ec).string() + "/";
    std::istringstream mounts(ReadHostFile("/proc/self/mounts").value_or(""));
    std::vector<std::string> points;
    std::string device, point, rest;
    while (mounts >> device >> point && std::getline(mounts, rest))
        if (point.rfind(root, 0) == 0) points.push_back(point);
    // Deepest first.
    for (auto it = points.rbegin(); it != points.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
}

// --- small host helpers ---

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs, int stepMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

std::optional<std::string> ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

bool WriteHostFile(const std::string& path, const std::string& data) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    return static_cast<bool>(out.flush());
}

bool HostFileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string WinJoin(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

}  // namespace e2e
