// This process (its exe, command line, folders, environment, resources) and
// the processes it starts, kept as handles behind ProcessId numbers; named
// mutexes.
#include "common/win32/win32_api.h"

#include <cstring>

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

// Asks fn(buffer, size) for text; fn answers the length written, or the size
// it needs when the buffer was too small (the convention of most ANSI calls).
template <typename Fn>
std::string GrowingText(Fn fn, DWORD first = MAX_PATH) {
    std::string buffer(first, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD n = fn(&buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(static_cast<std::size_t>(n) + 1, '\0');
    }
    return {};
}

}  // namespace

Win32Platform::~Win32Platform() {
    for (auto& entry : processes_) {
        if (entry.second.thread) CloseHandle(entry.second.thread);
        if (entry.second.process) CloseHandle(entry.second.process);
    }
}

// --- this process ---

std::string Win32Platform::ModuleFileName() {
    std::string buffer(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        DWORD n = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
    return {};
}

std::string Win32Platform::CommandLine() {
    const char* line = GetCommandLineA();
    return line ? std::string(line) : std::string();
}

std::string Win32Platform::CurrentFolder() {
    return GrowingText([](char* b, DWORD n) { return GetCurrentDirectoryA(n, b); });
}

std::string Win32Platform::TempFolder() {
    return GrowingText([](char* b, DWORD n) { return GetTempPathA(n, b); });
}

// --- environment ---

std::optional<std::string> Win32Platform::GetEnv(const std::string& name) {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        DWORD n = GetEnvironmentVariableA(name.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(n + 1, '\0');
    }
    return std::nullopt;
}

bool Win32Platform::SetEnv(const std::string& name, const std::string& value) {
    return SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

std::string Win32Platform::ExpandEnvironment(const std::string& text) {
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::string buffer(needed, '\0');
    DWORD n = ExpandEnvironmentStringsA(text.c_str(), &buffer[0], needed);
    if (n == 0 || n > needed) return text;
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

// --- processes ---

ProcessId Win32Platform::StartProcess(const ProcessStart& start) {
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (start.showWindow) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(*start.showWindow);
    }
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    std::string line = start.commandLine;  // CreateProcessA may write into it
    line.push_back('\0');
    const char* folder = start.currentFolder && !start.currentFolder->empty()
                             ? start.currentFolder->c_str()
                             : nullptr;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, start.creationFlags, nullptr,
                        folder, &si, &pi))
        return 0;
    ProcessId id = nextProcessId_++;
    processes_[id] = ProcessHandles{pi.hProcess, pi.hThread};
    return id;
}

bool Win32Platform::WinExec(const std::string& commandLine, int showWindow) {
    return ::WinExec(commandLine.c_str(), static_cast<UINT>(showWindow)) > 31;
}

WaitResult Win32Platform::WaitForInputIdle(ProcessId process, std::uint32_t ms) {
    auto it = processes_.find(process);
    if (it == processes_.end()) return WaitResult::Failed;
    DWORD r = ::WaitForInputIdle(it->second.process, ms);
    if (r == 0) return WaitResult::Signaled;
    if (r == WAIT_TIMEOUT) return WaitResult::Timeout;
    return WaitResult::Failed;
}

WaitResult Win32Platform::WaitForProcess(ProcessId process, std::uint32_t ms) {
    auto it = processes_.find(process);
    if (it == processes_.end()) return WaitResult::Failed;
    DWORD r = WaitForSingleObject(it->second.process, ms);
    if (r == WAIT_OBJECT_0) return WaitResult::Signaled;
    if (r == WAIT_TIMEOUT) return WaitResult::Timeout;
    return WaitResult::Failed;
}

void Win32Platform::CloseProcess(ProcessId process) {
    auto it = processes_.find(process);
    if (it == processes_.end()) return;
    if (it->second.thread) CloseHandle(it->second.thread);
    if (it->second.process) CloseHandle(it->second.process);
    processes_.erase(it);
}

// --- named mutex ---

MutexId Win32Platform::AcquireMutex(const std::string& name, std::uint32_t waitMs) {
    return TakeMutex(name, waitMs).mutex;
}

MutexTake Win32Platform::TakeMutex(const std::string& name, std::uint32_t waitMs) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex) return MutexTake{0, true};
    DWORD r = WaitForSingleObject(mutex, waitMs);
    // Abandoned: its holder ended without releasing it, and the mutex is ours now.
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
        return MutexTake{reinterpret_cast<MutexId>(mutex), false};
    CloseHandle(mutex);
    return MutexTake{0, r == WAIT_FAILED};
}

void Win32Platform::ReleaseMutex(MutexId mutex) {
    if (mutex == 0) return;
    HANDLE handle = reinterpret_cast<HANDLE>(mutex);
    ::ReleaseMutex(handle);
    CloseHandle(handle);
}

// --- resources ---

std::optional<std::string> Win32Platform::Resource(const std::string& name) {
    HRSRC found = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(nullptr, found);
    DWORD size = SizeofResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    return std::string(static_cast<const char*>(data), size);
}

}  // namespace common
