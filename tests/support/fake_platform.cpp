// FakePlatform: this process, the virtual clock, environment, registry,
// processes, mutexes, resources and libraries.
#include "tests/support/fake_platform.h"

#include <algorithm>
#include <stdexcept>

#include "tests/support/fake_state.h"

namespace common {

using fake::SameNoCase;
using fake::Upper;

FakePlatform::FakePlatform() : s_(std::make_unique<State>()) {
    AddDrive("C:\\");
    AddFolder(s_->windowsFolder);
    AddFolder(s_->windowsFolder + "\\system32");
    AddFolder(s_->tempFolder);
    AddFolder(s_->appDataFolder);
    AddFolder(s_->documentsFolder);
    ArmSweepFromEnvironment();
}

// --- this process ---

void FakePlatform::SetModuleFileName(const std::string& path) { s_->moduleFileName = path; }
void FakePlatform::SetCommandLine(const std::string& commandLine) {
    s_->commandLine = commandLine;
}
void FakePlatform::SetCurrentFolder(const std::string& path) { s_->currentFolder = path; }
void FakePlatform::SetTempFolder(const std::string& path) { s_->tempFolder = path; }
void FakePlatform::SetWindowsFolder(const std::string& path) { s_->windowsFolder = path; }
std::string FakePlatform::WindowsFolder() const { return s_->windowsFolder; }
void FakePlatform::SetKnownFolder(KnownFolder folder, const std::string& path) {
    (folder == KnownFolder::AppData ? s_->appDataFolder : s_->documentsFolder) = path;
    if (!path.empty()) AddFolder(path);
}

std::string FakePlatform::ModuleFileName() {
    s_->StartRun();
    return s_->moduleFileName;
}
std::string FakePlatform::CommandLine() { return s_->commandLine; }
std::string FakePlatform::CurrentFolder() { return s_->currentFolder; }
std::string FakePlatform::TempFolder() { return s_->tempFolder; }
std::string FakePlatform::KnownFolderPath(KnownFolder folder) {
    return folder == KnownFolder::AppData ? s_->appDataFolder : s_->documentsFolder;
}
unsigned FakePlatform::AnsiCodePage() { return s_->ansiCodePage; }

// --- clock ---

void FakePlatform::State::Schedule(std::uint64_t at, std::function<void(FakePlatform&)> fn) {
    events.emplace(std::make_pair(at, eventSeq++), std::move(fn));
}

void FakePlatform::State::AdvanceTo(FakePlatform& p, std::uint64_t t) {
    if (t > clockLimit) {
        throw std::runtime_error(
            "FakePlatform: the virtual clock would pass its limit; a wait never ends");
    }
    while (!events.empty() && events.begin()->first.first <= t) {
        auto it = events.begin();
        now = std::max(now, it->first.first);
        auto fn = std::move(it->second);
        events.erase(it);
        fn(p);
    }
    now = std::max(now, t);
}

bool FakePlatform::State::WaitUntil(FakePlatform& p, std::uint64_t deadline,
                                    const std::function<bool()>& done,
                                    std::optional<std::uint64_t> wakeAt) {
    for (;;) {
        if (done()) return true;
        if (now >= deadline) return false;
        std::uint64_t next = deadline;
        if (!events.empty()) next = std::min(next, events.begin()->first.first);
        if (wakeAt && *wakeAt > now) next = std::min(next, *wakeAt);
        AdvanceTo(p, std::max(next, now));
    }
}

void FakePlatform::SetTickCount(std::uint32_t tick) {
    s_->tickBase = static_cast<std::uint32_t>(tick - s_->now);
}
std::uint64_t FakePlatform::ElapsedMs() const { return s_->now; }
void FakePlatform::AdvanceClock(std::uint32_t ms) { s_->AdvanceTo(*this, s_->now + ms); }
void FakePlatform::Schedule(std::uint32_t afterMs, std::function<void(FakePlatform&)> fn) {
    s_->Schedule(s_->now + afterMs, std::move(fn));
}
void FakePlatform::SetClockLimit(std::uint64_t ms) { s_->clockLimit = ms; }
std::uint32_t FakePlatform::SleepCalls() const { return s_->sleepCalls; }
std::uint64_t FakePlatform::SleptMs() const { return s_->sleptMs; }

std::uint32_t FakePlatform::TickCount() { return s_->Tick(); }

void FakePlatform::Sleep(std::uint32_t ms) {
    ++s_->sleepCalls;
    s_->sleptMs += ms;
    s_->AdvanceTo(*this, s_->now + ms);
}

void FakePlatform::QueueMessage(std::function<void(FakePlatform&)> fn) {
    s_->messageQueue.push_back(std::move(fn));
}
void FakePlatform::SetOnPump(std::function<void(FakePlatform&)> fn) { s_->onPump = std::move(fn); }
std::size_t FakePlatform::PumpCalls() const { return s_->pumpCalls; }
std::size_t FakePlatform::PumpedMessages() const { return s_->pumped; }
std::size_t FakePlatform::QueuedMessages() const { return s_->messageQueue.size(); }

bool FakePlatform::PumpOneMessage() {
    ++s_->pumpCalls;
    if (s_->onPump) {
        auto hook = s_->onPump;
        hook(*this);
    }
    if (s_->messageQueue.empty()) return false;
    auto fn = std::move(s_->messageQueue.front());
    s_->messageQueue.pop_front();
    ++s_->pumped;
    fn(*this);
    return true;
}

// --- environment and registry ---

std::optional<std::string> FakePlatform::GetEnv(const std::string& name) {
    auto it = s_->env.find(Upper(name));
    if (it == s_->env.end()) return std::nullopt;
    return it->second.second;
}

bool FakePlatform::SetEnv(const std::string& name, const std::string& value) {
    if (name.empty() || name.find('=') != std::string::npos) return false;
    s_->env[Upper(name)] = {name, value};
    return true;
}

void FakePlatform::UnsetEnv(const std::string& name) { s_->env.erase(Upper(name)); }

std::vector<std::pair<std::string, std::string>> FakePlatform::Environment() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [key, entry] : s_->env) out.push_back(entry);
    return out;
}

// As ExpandEnvironmentStringsA: a reference to an unset name, "%%" and an
// unclosed "%" stay as they are.
std::string FakePlatform::ExpandEnvironment(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            std::size_t next = text.find('%', i);
            if (next == std::string::npos) next = text.size();
            out.append(text, i, next - i);
            i = next;
            continue;
        }
        std::size_t close = text.find('%', i + 1);
        if (close == std::string::npos) {
            out.append(text, i, std::string::npos);
            break;
        }
        std::string name = text.substr(i + 1, close - i - 1);
        auto it = name.empty() ? s_->env.end() : s_->env.find(Upper(name));
        if (it != s_->env.end()) {
            out += it->second.second;
        } else {
            out.append(text, i, close - i + 1);
        }
        i = close + 1;
    }
    return out;
}

static std::string RegistryKey(const std::string& key, const std::string& value) {
    return Upper(key) + "\n" + Upper(value);
}

void FakePlatform::SetRegistryUserString(const std::string& key, const std::string& value,
                                         const std::string& data) {
    s_->registry[RegistryKey(key, value)] = data;
}
void FakePlatform::RemoveRegistryUserString(const std::string& key, const std::string& value) {
    s_->registry.erase(RegistryKey(key, value));
}
std::optional<std::string> FakePlatform::RegistryUserString(const std::string& key,
                                                            const std::string& value) {
    auto it = s_->registry.find(RegistryKey(key, value));
    if (s_->Fault(OpKind::RegistryRead, key + "\\" + value)) return std::nullopt;
    if (it == s_->registry.end()) return std::nullopt;
    return it->second;
}

// --- processes ---

namespace {

bool HasExtension(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    std::size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

// The texts CreateProcess may take as the program: the quoted first token,
// or every prefix that ends before a blank, and the whole line.
std::vector<std::string> ProgramCandidates(const std::string& commandLine) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= commandLine.size()) return out;
    if (commandLine[i] == '"') {
        std::size_t close = commandLine.find('"', i + 1);
        out.push_back(commandLine.substr(i + 1, close == std::string::npos
                                                    ? std::string::npos
                                                    : close - i - 1));
        return out;
    }
    for (std::size_t j = i; j <= commandLine.size(); ++j) {
        if (j == commandLine.size() || commandLine[j] == ' ' || commandLine[j] == '\t') {
            if (j > i) out.push_back(commandLine.substr(i, j - i));
        }
    }
    return out;
}

bool CandidateMatches(const std::string& candidate, const std::string& exe) {
    std::vector<std::string> forms{candidate};
    if (!HasExtension(candidate)) forms.push_back(candidate + ".exe");
    bool exeHasFolder = exe.find_first_of("\\/") != std::string::npos;
    for (const auto& form : forms) {
        if (SameNoCase(form, exe)) return true;
        if (exeHasFolder) {
            if (SameNoCase(fake::NormalizePath(form, "C:\\"), fake::NormalizePath(exe, "C:\\")))
                return true;
        } else {
            std::size_t slash = form.find_last_of("\\/");
            std::string name = slash == std::string::npos ? form : form.substr(slash + 1);
            if (SameNoCase(name, exe)) return true;
        }
    }
    return false;
}

bool CommandMatches(const FakePlatform::StartRecord& r, const std::string& exe) {
    if (!r.program.empty() && CandidateMatches(r.program, exe)) return true;
    for (const auto& c : ProgramCandidates(r.commandLine))
        if (CandidateMatches(c, exe)) return true;
    return false;
}

}  // namespace

void FakePlatform::OnProgram(const std::string& exe, ProgramBehaviour behaviour) {
    s_->behaviours.push_back({exe, nullptr, std::move(behaviour)});
}

void FakePlatform::OnProgramMatching(std::function<bool(const StartRecord&)> match,
                                     ProgramBehaviour behaviour) {
    s_->behaviours.push_back({"", std::move(match), std::move(behaviour)});
}

void FakePlatform::SetUnknownProgramsFail(bool fail) { s_->unknownProgramsFail = fail; }

const std::vector<FakePlatform::StartRecord>& FakePlatform::Starts() const { return s_->starts; }

std::vector<FakePlatform::StartRecord> FakePlatform::StartsOf(const std::string& exe) const {
    std::vector<StartRecord> out;
    for (const auto& r : s_->starts)
        if (CommandMatches(r, exe)) out.push_back(r);
    return out;
}

bool FakePlatform::IsRunning(ProcessId process) const {
    auto it = s_->processes.find(process);
    return it != s_->processes.end() && !it->second.exited;
}

void FakePlatform::State::ExitProcess(FakePlatform& p, ProcessId id, std::uint32_t code) {
    auto it = processes.find(id);
    if (it == processes.end() || it->second.exited) return;
    it->second.exited = true;
    it->second.exitCode = code;
    std::vector<WindowId> owned;
    for (const auto& [wid, w] : windows)
        if (w.props.process == id && w.props.parent == 0) owned.push_back(wid);
    for (WindowId w : owned) Destroy(w);
    for (auto& [name, m] : mutexes)
        if (m.heldElsewhere && m.holder == id) m.heldElsewhere = false, m.holder = 0;
    auto onExit = it->second.behaviour.onExit;
    if (onExit) onExit(p, id);
}

void FakePlatform::EndProcess(ProcessId process, std::uint32_t exitCode) {
    s_->ExitProcess(*this, process, exitCode);
}

std::size_t FakePlatform::OpenProcessHandles() const {
    std::size_t n = 0;
    for (const auto& [id, proc] : s_->processes)
        if (proc.handleOpen) ++n;
    return n;
}

std::size_t FakePlatform::CloseProcessCalls() const { return s_->closeProcessCalls; }

namespace {

// Where CreateProcess finds a program named without a folder.
std::optional<std::string> ResolveProgram(FakePlatform& p, const std::string& candidate,
                                          const std::string& windowsFolder) {
    std::string name = HasExtension(candidate) ? candidate : candidate + ".exe";
    if (name.find_first_of("\\/:") != std::string::npos) {
        if (p.FileExists(name)) return p.StoredPath(name);
        return std::nullopt;
    }
    std::vector<std::string> folders{fake::ParentOf(fake::NormalizePath(p.ModuleFileName(), p.CurrentFolder())),
                                     p.CurrentFolder(),
                                     windowsFolder + "\\system32", windowsFolder};
    if (auto path = p.GetEnv("PATH")) {
        std::size_t start = 0;
        while (start <= path->size()) {
            std::size_t semi = path->find(';', start);
            if (semi == std::string::npos) semi = path->size();
            if (semi > start) folders.push_back(path->substr(start, semi - start));
            start = semi + 1;
        }
    }
    for (const auto& folder : folders) {
        if (folder.empty()) continue;
        std::string full = fake::JoinPath(folder, name);
        if (p.FileExists(full)) return p.StoredPath(full);
    }
    return std::nullopt;
}

}  // namespace

namespace {
std::string FirstToken(const std::string& commandLine) {
    auto c = ProgramCandidates(commandLine);
    return c.empty() ? std::string() : c.front();
}
}  // namespace

static ProcessId Start(FakePlatform& p, FakePlatform::State& s, FakePlatform::StartRecord r,
                       bool withHandle) {
    r.tick = s.Tick();
    for (const auto& [key, entry] : s.env) r.environment.push_back(entry);
    std::optional<std::string> resolved;
    for (const auto& c : ProgramCandidates(r.commandLine)) {
        resolved = ResolveProgram(p, c, s.windowsFolder);
        if (resolved) break;
    }
    r.program = resolved ? *resolved : FirstToken(r.commandLine);

    const FakePlatform::ProgramBehaviour* behaviour = nullptr;
    for (auto it = s.behaviours.rbegin(); it != s.behaviours.rend(); ++it) {
        bool match = it->match ? it->match(r) : CommandMatches(r, it->exe);
        if (match) {
            behaviour = &it->behaviour;
            break;
        }
    }
    FakePlatform::ProgramBehaviour chosen;
    bool ok;
    if (behaviour) {
        chosen = *behaviour;
        ok = !chosen.failStart;
    } else {
        chosen.exitAfterMs = 0;  // an unknown program ends at once
        ok = !s.unknownProgramsFail && resolved.has_value();
    }
    if (r.commandLine.find_first_not_of(" \t") == std::string::npos) ok = false;
    if (r.currentFolder && !r.currentFolder->empty() && !p.FolderExists(*r.currentFolder))
        ok = false;
    if (s.Fault(FakePlatform::OpKind::ProcessStart, r.commandLine)) ok = false;
    if (!ok) {
        s.starts.push_back(r);
        return 0;
    }
    ProcessId id = s.nextProcess;
    s.nextProcess += 4;
    r.process = id;
    s.starts.push_back(r);
    FakePlatform::State::Process proc;
    proc.behaviour = chosen;
    proc.handleOpen = withHandle;
    if (chosen.idleAfterMs) proc.idleAt = s.now + *chosen.idleAfterMs;
    s.processes[id] = proc;
    if (chosen.onStart) chosen.onStart(p, id, r);
    if (chosen.exitAfterMs) {
        if (*chosen.exitAfterMs == 0) {
            s.ExitProcess(p, id, chosen.exitCode);
        } else {
            std::uint32_t code = chosen.exitCode;
            s.Schedule(s.now + *chosen.exitAfterMs,
                       [id, code](FakePlatform& fp) { fp.EndProcess(id, code); });
        }
    }
    return id;
}

ProcessId FakePlatform::StartProcess(const ProcessStart& start) {
    StartRecord r;
    r.by = StartedBy::CreateProcess;
    r.commandLine = start.commandLine;
    r.showWindow = start.showWindow;
    r.creationFlags = start.creationFlags;
    r.currentFolder = start.currentFolder;
    return Start(*this, *s_, r, true);
}

bool FakePlatform::WinExec(const std::string& commandLine, int showWindow) {
    StartRecord r;
    r.by = StartedBy::WinExec;
    r.commandLine = commandLine;
    r.showWindow = showWindow;
    return Start(*this, *s_, r, false) != 0;
}

WaitResult FakePlatform::WaitForInputIdle(ProcessId process, std::uint32_t ms) {
    auto it = s_->processes.find(process);
    if (it == s_->processes.end() || !it->second.handleOpen) return WaitResult::Failed;
    auto idleAt = it->second.idleAt;
    if (!idleAt) return WaitResult::Failed;  // no message queue
    auto isIdle = [&] { return s_->now >= *idleAt; };
    auto exited = [&] { return s_->processes[process].exited; };
    if (isIdle()) return WaitResult::Signaled;
    if (exited()) return WaitResult::Failed;
    bool ended = s_->WaitUntil(
        *this, s_->now + ms, [&] { return isIdle() || exited(); }, idleAt);
    if (!ended) return WaitResult::Timeout;
    return isIdle() ? WaitResult::Signaled : WaitResult::Failed;
}

WaitResult FakePlatform::WaitForProcess(ProcessId process, std::uint32_t ms) {
    auto it = s_->processes.find(process);
    if (it == s_->processes.end() || !it->second.handleOpen) return WaitResult::Failed;
    std::uint64_t deadline = ms == 0xFFFFFFFFu ? UINT64_MAX : s_->now + ms;
    bool ended = s_->WaitUntil(*this, deadline, [&] { return s_->processes[process].exited; });
    return ended ? WaitResult::Signaled : WaitResult::Timeout;
}

void FakePlatform::CloseProcess(ProcessId process) {
    ++s_->closeProcessCalls;
    auto it = s_->processes.find(process);
    if (it != s_->processes.end()) it->second.handleOpen = false;
}

// --- mutexes ---

void FakePlatform::HoldMutexElsewhere(const std::string& name, ProcessId holder) {
    auto& m = s_->mutexes[Upper(name)];
    m.heldElsewhere = true;
    m.holder = holder;
}
void FakePlatform::ReleaseMutexElsewhere(const std::string& name) {
    auto& m = s_->mutexes[Upper(name)];
    m.heldElsewhere = false;
    m.holder = 0;
}
bool FakePlatform::MutexHeldHere(const std::string& name) const {
    auto it = s_->mutexes.find(Upper(name));
    return it != s_->mutexes.end() && it->second.heldHere > 0;
}
std::size_t FakePlatform::OpenMutexHandles() const { return s_->mutexHandles.size(); }

void FakePlatform::RefuseMutex(const std::string& name) { s_->mutexes[Upper(name)].refused = true; }

MutexTake FakePlatform::TakeMutex(const std::string& name, std::uint32_t waitMs) {
    if (s_->mutexes[Upper(name)].refused) return MutexTake{0, true};
    return MutexTake{AcquireMutex(name, waitMs), false};
}

MutexId FakePlatform::AcquireMutex(const std::string& name, std::uint32_t waitMs) {
    std::string key = Upper(name);
    if (s_->mutexes[key].refused) return 0;
    auto free = [&] { return !s_->mutexes[key].heldElsewhere; };
    std::uint64_t deadline = waitMs == 0xFFFFFFFFu ? UINT64_MAX : s_->now + waitMs;
    if (!s_->WaitUntil(*this, deadline, free)) return 0;
    ++s_->mutexes[key].heldHere;
    MutexId id = s_->nextMutex;
    s_->nextMutex += 4;
    s_->mutexHandles[id] = key;
    return id;
}

void FakePlatform::ReleaseMutex(MutexId mutex) {
    auto it = s_->mutexHandles.find(mutex);
    if (it == s_->mutexHandles.end()) return;
    auto& m = s_->mutexes[it->second];
    if (m.heldHere > 0) --m.heldHere;
    s_->mutexHandles.erase(it);
}

// --- web services ---

void FakePlatform::SetHttpResponder(HttpResponder responder) {
    s_->httpResponder = std::move(responder);
}
const std::vector<HttpPost>& FakePlatform::HttpPosts() const { return s_->httpPosts; }
HttpReply FakePlatform::PostHttp(const HttpPost& request) {
    s_->httpPosts.push_back(request);
    if (!s_->httpResponder) return HttpReply{HttpFailure::CannotConnect, 0, {}};
    const std::uint64_t sent = s_->now;
    HttpReply reply = s_->httpResponder(*this, request);
    // A responder that sleeps answers late: past the request's limit the
    // caller has given up.
    if (reply.failure == HttpFailure::None && request.replyTimeoutMs != 0 &&
        s_->now - sent > request.replyTimeoutMs)
        return HttpReply{HttpFailure::Timeout, 0, {}};
    return reply;
}

// --- resources and libraries ---

void FakePlatform::SetResource(const std::string& name, const std::string& data) {
    s_->resources[Upper(name)] = data;
}
std::optional<std::string> FakePlatform::Resource(const std::string& name) {
    auto it = s_->resources.find(Upper(name));
    if (it == s_->resources.end()) return std::nullopt;
    return it->second;
}

void FakePlatform::AddLibrary(const std::string& path, std::set<std::string> exports) {
    s_->libraries.push_back({path, std::move(exports), {}});
}

void FakePlatform::SetPluginScript(const std::string& path, PluginScript script) {
    for (auto it = s_->libraries.rbegin(); it != s_->libraries.rend(); ++it) {
        if (SameNoCase(it->path, path)) {
            it->script = std::move(script);
            return;
        }
    }
}

const std::vector<FakePlatform::PluginCall>& FakePlatform::PluginCalls() const {
    return s_->pluginCalls;
}

bool FakePlatform::CallPluginEntry(LibraryId library, const std::string& hostFolder,
                                   const std::function<void(const std::string&)>& onReport) {
    auto it = s_->loaded.find(library);
    if (it == s_->loaded.end()) return false;
    State::Library lib = s_->libraries[it->second.library];
    s_->pluginCalls.push_back({lib.path, hostFolder});
    if (lib.script.onCall) lib.script.onCall(*this);
    for (const auto& text : lib.script.reports)
        if (onReport) onReport(text);
    return !lib.script.faults;
}

std::size_t FakePlatform::LoadedLibraries() const {
    std::size_t n = 0;
    for (const auto& [id, l] : s_->loaded) n += static_cast<std::size_t>(l.refs);
    return n;
}

const std::vector<std::string>& FakePlatform::LibraryLoads() const { return s_->libraryLoads; }

LibraryId FakePlatform::LoadLibrary(const std::string& path) {
    s_->libraryLoads.push_back(path);
    std::string wanted = s_->Norm(path);
    for (std::size_t i = s_->libraries.size(); i-- > 0;) {
        const auto& lib = s_->libraries[i];
        bool match;
        if (lib.path.find_first_of("\\/") != std::string::npos) {
            match = !wanted.empty() && SameNoCase(s_->Norm(lib.path), wanted);
        } else {
            match = SameNoCase(fake::NameOf(wanted), lib.path) || SameNoCase(path, lib.path);
        }
        if (!match) continue;
        for (auto& [id, l] : s_->loaded) {
            if (l.library == i) {
                ++l.refs;
                return id;
            }
        }
        LibraryId id = s_->nextLibrary;
        s_->nextLibrary += 0x10000;
        s_->loaded[id] = {i, 1};
        return id;
    }
    return 0;
}

bool FakePlatform::HasExport(LibraryId library, const std::string& name) {
    auto it = s_->loaded.find(library);
    if (it == s_->loaded.end()) return false;
    return s_->libraries[it->second.library].exports.count(name) > 0;
}

void FakePlatform::FreeLibrary(LibraryId library) {
    auto it = s_->loaded.find(library);
    if (it == s_->loaded.end()) return;
    if (--it->second.refs <= 0) s_->loaded.erase(it);
}

}  // namespace common
