// Services on loopback for the e2e tests of Zelko's network receivers: a
// real aria2c with its RPC interface, and the JDownloader stand-in.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/json.h"
#include "tests/e2e/zelko/zelko_install.h"

namespace e2e {
namespace services {

namespace fs = std::filesystem;
using common::JsonValue;

const std::string kSecret = "e2e-secret";

inline int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

// A loopback POST from the test itself; the reply body, empty on failure.
inline std::string Post(int port, const std::string& body) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return "";
    }
    const std::string request = "POST /jsonrpc HTTP/1.0\r\nContent-Type: application/json\r\n"
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    if (write(s, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
        close(s);
        return "";
    }
    std::string reply;
    char buffer[65536];
    for (ssize_t n; (n = read(s, buffer, sizeof buffer)) > 0;) reply.append(buffer, n);
    close(s);
    std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
}

struct Download {
    std::string status, path, errorMessage;
    std::uint64_t length = 0;
};

class Aria2 {
public:
    int port;
    std::string dir;

    // more: further options, such as "--pause=true" (nothing starts).
    explicit Aria2(const std::string& hostDir, int listenPort = FreePort(),
                   const std::vector<std::string>& more = {})
        : port(listenPort), dir(hostDir) {
        fs::create_directories(dir);
        std::vector<std::string> argv = {"aria2c", "--no-conf", "--enable-rpc",
                                         "--rpc-listen-port=" + std::to_string(port),
                                         "--rpc-secret=" + kSecret, "--dir=" + dir, "--quiet=true",
                                         "--max-concurrent-downloads=20", "--auto-file-renaming=false"};
        argv.insert(argv.end(), more.begin(), more.end());
        process_ = StartHostProgram(argv);
        ready_ = WaitUntil([&] { return !Call("aria2.getVersion", "").empty(); }, 30000, 100);
    }
    bool ready() const { return ready_; }
    bool Running() { return process_.Running(); }

    std::string Call(const std::string& method, const std::string& params) {
        return Post(port, "{\"jsonrpc\":\"2.0\",\"id\":\"t\",\"method\":\"" + method +
                              "\",\"params\":[\"token:" + kSecret + "\"" +
                              (params.empty() ? "" : "," + params) + "]}");
    }
    // Every download aria2 holds: waiting, active or stopped.
    std::uint64_t Held() {
        auto json = common::ParseJson(Call("aria2.getGlobalStat", ""));
        const JsonValue* result = json ? json->Member("result") : nullptr;
        std::uint64_t total = 0;
        for (const char* key : {"numWaiting", "numActive", "numStoppedTotal"})
            if (const JsonValue* v = result ? result->Member(key) : nullptr) total += std::stoull("0" + v->text);
        return total;
    }
    std::vector<Download> Stopped() { return Downloads(Call("aria2.tellStopped", "0,1000")); }
    std::vector<Download> Active() { return Downloads(Call("aria2.tellActive", "")); }
    std::vector<Download> Waiting() { return Downloads(Call("aria2.tellWaiting", "0,1000")); }
    // Waits until count downloads have stopped and none is left active or waiting.
    std::vector<Download> Finished(std::size_t count) {
        std::vector<Download> stopped;
        WaitUntil([&] {
            stopped = Stopped();
            return stopped.size() >= count && Active().empty() && Waiting().empty();
        }, 120000, 200);
        return stopped;
    }
    bool Shutdown() {
        Call("aria2.shutdown", "");
        return process_.Wait(30000).has_value();
    }

private:
    static std::vector<Download> Downloads(const std::string& reply) {
        std::vector<Download> list;
        auto json = common::ParseJson(reply);
        const JsonValue* result = json ? json->Member("result") : nullptr;
        if (!result) return list;
        for (const JsonValue& item : result->items) {
            Download d;
            if (auto* v = item.Member("status")) d.status = v->text;
            if (auto* v = item.Member("errorMessage")) d.errorMessage = v->text;
            if (auto* v = item.Member("totalLength")) d.length = std::stoull(v->text.empty() ? "0" : v->text);
            if (auto* files = item.Member("files"); files && !files->items.empty())
                if (auto* v = files->items[0].Member("path")) d.path = v->text;
            list.push_back(d);
        }
        return list;
    }
    Background process_;
    bool ready_ = false;
};

// A job file as the browser saves the page script's data.
inline std::string WriteJob(const ZelkoInstall& z, const std::string& text) {
    const std::string path = z.root + "job.zlk";
    WriteHostFile(WineBench::Get().HostPath(path), text);
    return path;
}

// Zelko.exe with a box clicker waiting; the box's text, or "<no box>".
inline std::string RunForBox(const ZelkoInstall& z, const std::vector<std::string>& args) {
    WineBench& bench = WineBench::Get();
    const std::string seen = z.root + "box.txt";
    Background clicker = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko Error", seen, "1", "60000"});
    RunResult r = z.Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    clicker.Wait(90000);
    auto box = ReadRecords(bench.HostPath(seen));
    return box.empty() ? "<no box>" : box[0].Get("text");
}

// The JDownloader stand-in (jdownloader_standin.py): what it was posted.
struct JdPost {
    int status = 0;
    std::string path, referer, type;
    std::map<std::string, std::vector<std::string>> fields;
    std::string Field(const std::string& name) const {
        auto it = fields.find(name);
        return it == fields.end() || it->second.size() != 1 ? "<" + name + ": not one value>" : it->second[0];
    }
};

class JDownloader {
public:
    int port = 0;
    std::string log, out;

    // listenPort 0: a free one.
    JDownloader(const std::string& hostDir, int listenPort = 0)
        : log(hostDir + "/jd.log"), out(hostDir + "/jd.out") {
        fs::create_directories(hostDir);
        process_ = StartHostProgram({"python3", std::string(OC_SOURCE_DIR) +
                                                    "/tests/e2e/zelko/jdownloader_standin.py",
                                     std::to_string(listenPort), log}, out);
        WaitUntil([&] { return ReadHostFile(out).value_or("").find('\n') != std::string::npos; }, 30000);
        port = std::atoi(ReadHostFile(out).value_or("0").c_str());
    }
    std::string Address() const { return "http://127.0.0.1:" + std::to_string(port) + "/flashgot"; }
    void Stop() { process_.Kill(); }
    std::vector<JdPost> Posts() const {
        std::vector<JdPost> posts;
        std::istringstream lines(ReadHostFile(log).value_or(""));
        for (std::string line; std::getline(lines, line);) {
            auto json = common::ParseJson(line);
            if (!json) continue;
            JdPost p;
            auto text = [&](const char* key) {
                const JsonValue* v = json->Member(key);
                return v && v->Is(JsonValue::Kind::String) ? v->text : std::string();
            };
            if (const JsonValue* v = json->Member("status")) p.status = std::atoi(v->text.c_str());
            p.path = text("path");
            p.referer = text("referer");
            p.type = text("type");
            if (const JsonValue* f = json->Member("fields"))
                for (std::size_t i = 0; i < f->keys.size(); ++i)
                    for (const JsonValue& value : f->items[i].items) p.fields[f->keys[i]].push_back(value.text);
            posts.push_back(p);
        }
        return posts;
    }

private:
    Background process_;
};

}  // namespace services
}  // namespace e2e
