// The Wine bench of the e2e tests: one WINEPREFIX per test program (made
// fresh once per test run and reused by the tests of that run; per lane where
// OC_E2E_LANE names one, so two lanes can run side by side), programs run
// under Wine with a time limit each, conditions waited for with generous
// limits, Windows paths mapped to the prefix's drives. Everything runs on the
// caller's X display (xvfb-run -a); without one the bench starts its own Xvfb.
// When the test program ends, the prefix's wineserver is ended.
//
// Which Wine: where this machine runs 32-bit programs, the win32 build (the
// one we ship) under wine32; where it does not, the win64 build under wine64.
// OC_WINE_ARCH=32|64 forces a choice. The test program e2e_smoke32 runs the
// shipped 32-bit programs beside the win64 build's
// stand-ins in a prefix of wine64, one prefix and X display per test, so its
// tests can run side by side (each start of a 32-bit program may take minutes
// where wine32 runs under user-mode emulation).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Env = std::map<std::string, std::string>;

struct RunResult {
    int exitCode = -1;      // -1 when it did not end by itself
    bool timedOut = false;
    std::string output;     // stdout and stderr
};

// A Wine process started in the background.
class Background {
public:
    Background() = default;
    explicit Background(int pid) : pid_(pid) {}
    Background(Background&& other) noexcept : pid_(other.pid_), code_(other.code_) { other.pid_ = -1; }
    Background& operator=(Background&& other) noexcept;
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    ~Background();  // kills it if it still runs

    bool Running();
    // Waits for the end; the exit code, or nullopt after the limit (it then still runs).
    std::optional<int> Wait(int timeoutMs);
    void Kill();

private:
    int pid_ = -1;
    std::optional<int> code_;
};

// The Wine and the Windows build that the e2e tests use on this machine.
struct WineChoice {
    bool is64 = false;
    std::string loader;    // the wine binary to call ("/usr/lib/wine/wine" or ".../wine64")
    std::string buildBin;  // host folder of the chosen build's exes and plug-ins
    bool shipped32 = false;  // Zelko, Mirsa and Tarvel from the win32 build all the same
    std::string Name() const {
        if (shipped32) return "win32 programs, win64 stand-ins, wine64 prefix";
        return is64 ? "wine64, win64 build" : "wine32, win32 build";
    }
};
// Decided once per process; throws when OC_WINE_ARCH=32 is forced on a machine
// that runs no 32-bit programs.
const WineChoice& ChosenWine();

class WineBench {
public:
    // The bench of this test program, set up on first use.
    static WineBench& Get();

    const std::string& Prefix() const { return prefix_; }
    // Host folder of this test program's (and lane's) own files.
    const std::string& Work() const { return work_; }

    // "C:\a\b" -> the host path behind that drive of the prefix.
    std::string HostPath(const std::string& windowsPath) const;
    // Folder of the chosen build's exes, copied into the prefix: "C:\e2e\bin\".
    std::string BinFolder() const { return "C:\\e2e\\bin\\"; }
    // Host folder of the chosen build's exes and plug-ins.
    const std::string& BuildBin() const { return ChosenWine().buildBin; }
    bool Is64() const { return ChosenWine().is64; }
    // Copies an exe of the chosen build to a Windows path (a new name is fine);
    // one of the shipped programs from the win32 build where the choice says so.
    void InstallExe(const std::string& exeName, const std::string& windowsPath) const;

    // An empty folder for one test: C:\t\<suite>.<test>\ (with backslash).
    std::string TestFolder() const;

    // wine <args...>; args[0] is the Windows program (path or builtin name).
    RunResult Run(const std::vector<std::string>& args, int timeoutSec = 60,
                  const Env& env = {}) const;
    Background Start(const std::vector<std::string>& args, const Env& env = {}) const;

    bool RegAdd(const std::string& key, const std::string& value, const std::string& data,
                const std::string& type = "REG_SZ") const;
    std::optional<std::string> RegQuery(const std::string& key, const std::string& value) const;

    // A drive letter that leads to a host folder (a link in dosdevices).
    void AddDrive(char letter, const std::string& hostFolder) const;
    void RemoveDrive(char letter) const;

    ~WineBench();

private:
    WineBench();
    void StartDisplay();
    static void PutWineFonts(const std::string& prefix);
    void MakePrefix();
    void CopyTemplate(const std::string& templatePrefix) const;
    void CopyBinaries() const;
    void WarmUp() const;

    std::string work_;
    std::string prefix_;
    int ownXvfb_ = -1;
};

// The prefix's screen at other DPIs for the programs started while this
// lives: Wine reads "LogPixels" when a program starts. The value before is
// put back (or removed) at the end, so later tests see the screen as it was.
class PrefixDpi {
public:
    PrefixDpi();
    ~PrefixDpi();
    PrefixDpi(const PrefixDpi&) = delete;
    PrefixDpi& operator=(const PrefixDpi&) = delete;
    bool Set(int dpi) const;

private:
    std::optional<std::string> before_;
};

// A small tmpfs (root only) behind a drive letter, for free-space questions.
// Unmounted when it goes out of scope; what a killed test left mounted is
// unmounted when the next bench starts.
class TmpfsDrive {
public:
    TmpfsDrive(char letter, const std::string& hostFolder, const std::string& size = "4m");
    ~TmpfsDrive();
    TmpfsDrive(const TmpfsDrive&) = delete;
    TmpfsDrive& operator=(const TmpfsDrive&) = delete;
    bool mounted() const { return mounted_; }

private:
    char letter_;
    std::string folder_;
    bool mounted_ = false;
};

// A host folder made read-only in place (a read-only bind mount onto itself,
// root only): Wine's programs read it but every write there fails with
// access denied, as for a normal user in Program Files. Fill it first.
// Unmounted when it goes out of scope; what a killed test left mounted is
// unmounted when the next bench starts.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& hostFolder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

// Unmounts every mount point below a host folder (lazily, so busy ones go too).
void UnmountBelow(const std::string& hostFolder);

// A Linux program of the test's own (a server, a real download manager) in
// the background, its output to outputFile (discarded when empty).
Background StartHostProgram(const std::vector<std::string>& argv, const std::string& outputFile = "");

// Polls cond every stepMs until it holds or timeoutMs pass.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs, int stepMs = 50);

std::optional<std::string> ReadHostFile(const std::string& path);
bool WriteHostFile(const std::string& path, const std::string& data);
bool HostFileExists(const std::string& path);
std::string WinJoin(const std::string& folder, const std::string& name);

}  // namespace e2e
