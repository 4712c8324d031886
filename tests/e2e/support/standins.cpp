#include "tests/e2e/support/standins.h"

#include <cstdlib>
#include <filesystem>

namespace e2e {

std::vector<Record> ReadRecords(const std::string& hostPath) {
    auto text = ReadHostFile(hostPath);
    return text ? standin::ParseRecords(*text) : std::vector<Record>{};
}

std::vector<Record> RecordsOfKind(const std::string& hostPath, const std::string& kind) {
    std::vector<Record> found;
    for (Record& r : ReadRecords(hostPath))
        if (r.Get("kind") == kind) found.push_back(std::move(r));
    return found;
}

std::optional<Record> WaitForRecord(const std::string& hostPath, const std::string& kind,
                                    int timeoutMs, const std::function<bool(const Record&)>& test) {
    std::optional<Record> found;
    WaitUntil(
        [&] {
            for (Record& r : RecordsOfKind(hostPath, kind)) {
                if (!test || test(r)) {
                    found = std::move(r);
                    return true;
                }
            }
            return false;
        },
        timeoutMs, 100);
    return found;
}

std::string IniText(const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "[" + section + "]\r\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
    return text;
}

std::string WriteProbeRequest(const std::string& folder, Record& request) {
    static int serial = 0;
    ++serial;
    WineBench& bench = WineBench::Get();
    const std::string base = WinJoin(folder, "probe" + std::to_string(serial));
    request.Set("out", base + ".out");
    WriteHostFile(bench.HostPath(base + ".req"), standin::FormatRecord(request));
    return base + ".req";
}

Record RunProbe(const std::string& folder, Record request, int timeoutSec, const Env& env) {
    WineBench& bench = WineBench::Get();
    const std::string requestPath = WriteProbeRequest(folder, request);
    RunResult run = bench.Run({bench.BinFolder() + "probe.exe", requestPath}, timeoutSec, env);
    std::vector<Record> out = ReadRecords(bench.HostPath(request.Get("out")));
    if (out.empty()) {
        Record failed;
        failed.Set("failed", "1");
        failed.Set("exitCode", std::to_string(run.exitCode));
        failed.Set("output", run.output);
        return failed;
    }
    return out.front();
}

StubBrowser::StubBrowser(Options options) : options_(std::move(options)) {
    WineBench& bench = WineBench::Get();
    const std::string exe = WinJoin(options_.folder, options_.exeName);
    bench.InstallExe("operastub.exe", exe);
    std::vector<std::pair<std::string, std::string>> keys = {
        {"Title", options_.title}, {"Url", options_.url}, {"NoRunFlag", options_.runFlag ? "0" : "1"}};
    if (!options_.profileIni.empty()) keys.emplace_back("Profile", options_.profileIni);
    std::string base = options_.exeName.substr(0, options_.exeName.find_last_of('.'));
    WriteHostFile(bench.HostPath(WinJoin(options_.folder, base + ".ini")), IniText("Browser", keys));
    std::vector<std::string> args = {exe};
    args.insert(args.end(), options_.args.begin(), options_.args.end());
    process_ = bench.Start(args, options_.env);
    ready_ = WaitForRecord(LogHostPath(), "ready", 60000).has_value();
}

std::string CutCaptions(const Record& probed, const std::string& prefix) {
    const std::string need = ".need";
    std::string cut;
    for (const auto& [key, value] : probed.fields) {
        if (key.size() <= prefix.size() + need.size() || key.compare(0, prefix.size(), prefix) != 0 ||
            key.compare(key.size() - need.size(), need.size(), need) != 0)
            continue;
        const std::string id = key.substr(prefix.size(), key.size() - prefix.size() - need.size());
        if (id.find('.') != std::string::npos) continue;  // another state's key
        const std::string room = probed.Get(prefix + id + ".room");
        if (room.empty() || std::stoi(value) > std::stoi(room))
            cut += id + " (needs " + value + ", has " + (room.empty() ? "none" : room) + ") ";
    }
    return cut;
}

bool Screenshot(const Record& probed, const std::string& pngPath, const std::string& prefix) {
    if (!probed.Has(prefix + "right")) return false;
    const int l = std::stoi(probed.Get(prefix + "left")), t = std::stoi(probed.Get(prefix + "top"));
    const int r = std::stoi(probed.Get(prefix + "right"));
    const int b = std::stoi(probed.Get(prefix + "bottom"));
    std::filesystem::create_directories(std::filesystem::path(pngPath).parent_path());
    const std::string cmd = "import -window root -crop " + std::to_string(r - l) + "x" +
                            std::to_string(b - t) + "+" + std::to_string(l) + "+" +
                            std::to_string(t) + " +repage '" + pngPath + "' 2>/dev/null";
    return std::system(cmd.c_str()) == 0 && HostFileExists(pngPath);
}

StubBrowser::~StubBrowser() {
    if (process_.Running()) Close(10000);
}

std::string StubBrowser::LogHostPath() const {
    std::string base = options_.exeName.substr(0, options_.exeName.find_last_of('.'));
    return WineBench::Get().HostPath(WinJoin(options_.folder, base + ".log"));
}

std::string StubBrowser::ProfileIni() const {
    return options_.profileIni.empty() ? WinJoin(options_.folder, "profile\\opera6.ini")
                                       : options_.profileIni;
}

bool StubBrowser::Close(int timeoutMs) {
    Record request;
    request.Set("verb", "close");
    request.Set("class", "OpWindow");
    request.Set("title", options_.title + " - Opera");
    RunProbe(options_.folder, request);
    return process_.Wait(timeoutMs).has_value();
}

}  // namespace e2e
