// Driving the stand-ins from the tests: their log records, the probe, and the
// browser stand-in started in a folder of the prefix.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "standins/support/record_format.h"
#include "tests/e2e/support/wine_bench.h"

namespace e2e {

using standin::Record;

// Every complete record of a log file on the host (none when it is missing).
std::vector<Record> ReadRecords(const std::string& hostPath);
std::vector<Record> RecordsOfKind(const std::string& hostPath, const std::string& kind);
// Waits until the log holds a record of that kind (and passing the test, if given).
std::optional<Record> WaitForRecord(const std::string& hostPath, const std::string& kind,
                                    int timeoutMs,
                                    const std::function<bool(const Record&)>& test = nullptr);

// An INI file as the stand-ins read it: one section, keys in the given order.
std::string IniText(const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& keys);

// Writes the request into the folder with its "out" set to a fresh result
// file; returns the request file's Windows path (the probe's argument).
std::string WriteProbeRequest(const std::string& folder, Record& request);

// Writes the request into the folder, runs the probe on it and returns its
// result record (an empty record with "failed" when it wrote none).
Record RunProbe(const std::string& folder, Record request, int timeoutSec = 60,
                const Env& env = {});

// The controls of a probed window whose caption is wider than the room they
// leave for it, as "205 (needs 160, has 150) ", from the probe's "<prefix><id>.need"
// and "<prefix><id>.room" ("c" for a window state, "s0." for a form's first state).
std::string CutCaptions(const Record& probed, const std::string& prefix);

// A probed window's screen area ("<prefix>left", ... "<prefix>bottom") cut
// from the X display into a PNG on the host.
bool Screenshot(const Record& probed, const std::string& pngPath, const std::string& prefix = "");

// The browser stand-in installed as <folder><exeName>, with its INI
// (<exe base>.ini) holding the settings, started and ready (window and DDE up).
class StubBrowser {
public:
    struct Options {
        std::string folder;  // Windows folder with trailing backslash
        std::string exeName = "opera.exe";
        std::string title = "Stand-in Page";
        std::string url = "http://stand-in.example/page.html";
        bool runFlag = true;
        std::string profileIni;  // empty: <folder>profile\opera6.ini
        std::vector<std::string> args;
        Env env;
    };
    explicit StubBrowser(Options options);
    ~StubBrowser();

    bool ready() const { return ready_; }
    const Options& options() const { return options_; }
    std::string LogHostPath() const;  // its log: <folder><exe base>.log
    std::string ProfileIni() const;   // Windows path
    // WM_CLOSE to its window; true when it ended within the limit.
    bool Close(int timeoutMs = 30000);
    bool Running() { return process_.Running(); }

private:
    Options options_;
    Background process_;
    bool ready_ = false;
};

}  // namespace e2e
