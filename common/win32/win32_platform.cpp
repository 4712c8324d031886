#include "common/win32/win32_api.h"
#include <commdlg.h>
#include <ddeml.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/win32/win32_platform.h"

namespace common {
namespace {

constexpr std::size_t kIniBuffer = 4096;

HWND AsWindow(WindowId id) { return reinterpret_cast<HWND>(id); }
WindowId AsId(HWND window) { return reinterpret_cast<WindowId>(window); }

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

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

// Critical-error and open-file boxes stay away while a path on a missing or
// empty drive is looked at.
DWORD QuietAttributes(const std::string& path) {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    DWORD attributes = GetFileAttributesA(path.c_str());
    SetErrorMode(old);
    return attributes;
}

bool WriteAll(HANDLE file, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, data.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

enum class WriteOutcome { NotOpened, Written, WriteFailed };

WriteOutcome WriteWhole(const std::string& path, DWORD disposition, const std::string& data) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return WriteOutcome::NotOpened;
    bool ok = WriteAll(file, data);
    if (!CloseHandle(file)) ok = false;
    return ok ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

SYSTEMTIME ToSystemTime(const SystemTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDayOfWeek = static_cast<WORD>(t.dayOfWeek);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.milliseconds);
    return st;
}

std::wstring ToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string FromWide(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n,
                        nullptr, nullptr);
    return text;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM into) {
    reinterpret_cast<std::vector<WindowId>*>(into)->push_back(AsId(window));
    return TRUE;
}

// One DDEML client instance for the whole process, made on first use.
HDDEDATA CALLBACK DdeClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

class DdeClient {
public:
    DWORD Instance() {
        if (!tried_) {
            tried_ = true;
            if (DdeInitializeA(&instance_, DdeClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
                instance_ = 0;
        }
        return instance_;
    }
    ~DdeClient() {
        if (instance_ != 0) DdeUninitialize(instance_);
    }

private:
    DWORD instance_ = 0;
    bool tried_ = false;
};

DdeClient& Dde() {
    static DdeClient client;
    return client;
}

class StringHandle {
public:
    StringHandle(DWORD instance, const std::string& text)
        : instance_(instance), handle_(DdeCreateStringHandleA(instance, text.c_str(), CP_WINANSI)) {}
    ~StringHandle() {
        if (handle_) DdeFreeStringHandle(instance_, handle_);
    }
    StringHandle(const StringHandle&) = delete;
    StringHandle& operator=(const StringHandle&) = delete;
    HSZ get() const { return handle_; }

private:
    DWORD instance_;
    HSZ handle_;
};

// A function of the shell, common-dialog or COM library, that library loaded
// from the system folder on first use. Only dialogs and shell operations need
// them, and linking them would load all three at every start of every
// program (tens of milliseconds under Wine). Null when it cannot be had.
template <typename Fn>
Fn SystemFunction(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    if (!module) {
        char folder[MAX_PATH] = {};
        UINT n = GetSystemDirectoryA(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        module = LoadLibraryA((std::string(folder) + "\\" + library).c_str());
    }
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// "HTML|*.htm|All|*.*" -> "HTML\0*.htm\0All\0*.*\0\0"
std::string DialogFilter(const std::string& pairs) {
    std::string filter = pairs;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    if (!filter.empty() && filter.back() != '\0') filter.push_back('\0');
    filter.push_back('\0');
    return filter;
}

// The shell reads each path as a list of names ending in an empty one.
std::string DoubleZero(const std::string& path) {
    std::string list = path;
    list.push_back('\0');
    list.push_back('\0');
    return list;
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

// --- files and folders ---

bool Win32Platform::FileExists(const std::string& path) {
    DWORD a = QuietAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::FolderExists(const std::string& path) {
    DWORD a = QuietAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> Win32Platform::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> Win32Platform::ReadFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> result;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
        static_cast<std::uint64_t>(size.QuadPart) < 0x7FFFFFFFull) {
        try {
            std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
            std::size_t done = 0;
            bool ok = true;
            while (done < data.size()) {
                DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
                DWORD got = 0;
                if (!::ReadFile(file, &data[done], chunk, &got, nullptr)) {
                    ok = false;
                    break;
                }
                if (got == 0) break;  // the file shrank meanwhile
                done += got;
            }
            data.resize(done);
            if (ok) result = std::move(data);
        } catch (const std::bad_alloc&) {
            result.reset();
        }
    }
    CloseHandle(file);
    return result;
}

bool Win32Platform::WriteFile(const std::string& path, const std::string& data) {
    return WriteWhole(path, CREATE_ALWAYS, data) == WriteOutcome::Written;
}

bool Win32Platform::CreateNewFile(const std::string& path, const std::string& data) {
    const WriteOutcome outcome = WriteWhole(path, CREATE_NEW, data);
    // Only a file made here is removed again; a name that was taken stays.
    if (outcome == WriteOutcome::WriteFailed) DeleteFileA(path.c_str());
    return outcome == WriteOutcome::Written;
}

bool Win32Platform::AppendFile(const std::string& path, const std::string& data) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, data);
    if (!CloseHandle(file)) ok = false;
    return ok;
}

bool Win32Platform::DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32Platform::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool Win32Platform::LinkFile(const std::string& existing, const std::string& link) {
    return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
}

bool Win32Platform::MoveFile(const std::string& from, const std::string& to, bool replace) {
    DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

bool Win32Platform::CreateFolder(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32Platform::RemoveFolder(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

std::vector<FolderEntry> Win32Platform::FindFiles(const std::string& mask) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA data;
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HANDLE find = FindFirstFileA(mask.c_str(), &data);
    SetErrorMode(old);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
            continue;
        FolderEntry entry;
        entry.name = data.cFileName;
        entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entries.push_back(std::move(entry));
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}

bool Win32Platform::IsReadOnly(const std::string& path) {
    DWORD a = QuietAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool Win32Platform::SetHidden(const std::string& path, bool hidden) {
    DWORD a = QuietAttributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    a = hidden ? (a | FILE_ATTRIBUTE_HIDDEN) : (a & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesA(path.c_str(), a) != 0;
}

bool Win32Platform::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}

// --- private-profile files ---

std::string Win32Platform::IniReadString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& def) {
    char buffer[kIniBuffer];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer,
                                       sizeof buffer, file.c_str());
    return std::string(buffer, std::min<std::size_t>(n, sizeof buffer - 1));
}

int Win32Platform::IniReadInt(const std::string& file, const std::string& section,
                              const std::string& key, int def) {
    return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), def, file.c_str()));
}

bool Win32Platform::IniWriteString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

std::vector<std::string> Win32Platform::IniSectionNames(const std::string& file,
                                                        std::size_t bufferSize) {
    std::vector<std::string> names;
    if (bufferSize < 2) return names;
    std::string buffer(bufferSize, '\0');
    DWORD n = GetPrivateProfileSectionNamesA(&buffer[0], static_cast<DWORD>(bufferSize), file.c_str());
    std::size_t end = std::min<std::size_t>(n, bufferSize);
    std::size_t start = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (buffer[i] != '\0') continue;
        if (i == start) break;
        names.emplace_back(buffer, start, i - start);
        start = i + 1;
    }
    if (start < end) names.emplace_back(buffer, start, end - start);
    return names;
}

// --- environment and registry ---

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

std::optional<std::string> Win32Platform::RegistryUserString(const std::string& key,
                                                             const std::string& value) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::string> result;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(handle, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::string data(size + 1, '\0');
        DWORD got = size;
        if (RegQueryValueExA(handle, value.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(&data[0]), &got) == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(got, data.size()));
            data.resize(std::strlen(data.c_str()));  // the stored terminator(s)
            result = std::move(data);
        }
    }
    RegCloseKey(handle);
    return result;
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

bool Win32Platform::PumpOneMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        // Not ours to eat: the caller's message loop still has to see it.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

// --- time ---

std::uint32_t Win32Platform::TickCount() { return GetTickCount(); }

void Win32Platform::Sleep(std::uint32_t ms) { ::Sleep(ms); }

SystemTime Win32Platform::LocalTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    SystemTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.dayOfWeek = st.wDayOfWeek;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.milliseconds = st.wMilliseconds;
    return t;
}

std::string Win32Platform::FormatDate(const SystemTime& t, std::uint32_t flags,
                                      const std::string& format) {
    SYSTEMTIME st = ToSystemTime(t);
    const char* picture = OrNull(format);
    int n = GetDateFormatA(LOCALE_USER_DEFAULT, flags, &st, picture, nullptr, 0);
    if (n <= 0) return {};
    std::string buffer(static_cast<std::size_t>(n), '\0');
    n = GetDateFormatA(LOCALE_USER_DEFAULT, flags, &st, picture, &buffer[0], n);
    if (n <= 0) return {};
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::string Win32Platform::FormatTime(const SystemTime& t, std::uint32_t flags,
                                      const std::string& format) {
    SYSTEMTIME st = ToSystemTime(t);
    const char* picture = OrNull(format);
    int n = GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &st, picture, nullptr, 0);
    if (n <= 0) return {};
    std::string buffer(static_cast<std::size_t>(n), '\0');
    n = GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &st, picture, &buffer[0], n);
    if (n <= 0) return {};
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

// --- text in the system code page ---

namespace {

// ASCII reads the same in every ANSI code page and in UTF-8: such text (most
// addresses, whole saved pages) needs no trip through the system's tables.
bool IsAscii(const std::string& text) {
    unsigned char high = 0;
    for (char c : text) high |= static_cast<unsigned char>(c);
    return high < 0x80;
}

}  // namespace

std::string Win32Platform::AnsiToUtf8(const std::string& ansi) {
    if (IsAscii(ansi)) return ansi;
    return FromWide(ToWide(ansi, CP_ACP), CP_UTF8);
}

std::string Win32Platform::Utf8ToAnsi(const std::string& utf8) {
    if (IsAscii(utf8)) return utf8;
    return FromWide(ToWide(utf8, CP_UTF8), CP_ACP);
}

std::string Win32Platform::UpperCase(const std::string& ansi) {
    std::string text = ansi;
    if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::string Win32Platform::LowerCase(const std::string& ansi) {
    std::string text = ansi;
    if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// --- windows ---

std::vector<WindowId> Win32Platform::TopLevelWindows() {
    std::vector<WindowId> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<WindowId> Win32Platform::Descendants(WindowId parent) {
    std::vector<WindowId> windows;
    EnumChildWindows(AsWindow(parent), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

WindowId Win32Platform::FindWindow(WindowId parent, WindowId after, const std::string& className,
                                   const std::optional<std::string>& title) {
    return AsId(FindWindowExA(AsWindow(parent), AsWindow(after), OrNull(className),
                              title ? title->c_str() : nullptr));
}

WindowId Win32Platform::NextSibling(WindowId window) {
    return AsId(GetWindow(AsWindow(window), GW_HWNDNEXT));
}

bool Win32Platform::IsWindow(WindowId window) { return ::IsWindow(AsWindow(window)) != 0; }

bool Win32Platform::IsWindowVisible(WindowId window) {
    return ::IsWindowVisible(AsWindow(window)) != 0;
}

bool Win32Platform::IsIconic(WindowId window) { return ::IsIconic(AsWindow(window)) != 0; }

std::string Win32Platform::WindowText(WindowId window, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string buffer(bufferSize, '\0');
    int n = GetWindowTextA(AsWindow(window), &buffer[0], static_cast<int>(bufferSize));
    buffer.resize(n > 0 ? std::min<std::size_t>(n, bufferSize - 1) : 0);
    return buffer;
}

std::size_t Win32Platform::WindowTextLength(WindowId window) {
    int n = GetWindowTextLengthA(AsWindow(window));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string Win32Platform::ClassName(WindowId window, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string buffer(bufferSize, '\0');
    int n = GetClassNameA(AsWindow(window), &buffer[0], static_cast<int>(bufferSize));
    buffer.resize(n > 0 ? std::min<std::size_t>(n, bufferSize - 1) : 0);
    return buffer;
}

int Win32Platform::ControlId(WindowId window) { return GetDlgCtrlID(AsWindow(window)); }

WindowId Win32Platform::ForegroundWindow() { return AsId(GetForegroundWindow()); }

bool Win32Platform::SetForegroundWindow(WindowId window) {
    return ::SetForegroundWindow(AsWindow(window)) != 0;
}

bool Win32Platform::ShowWindow(WindowId window, int command) {
    return ::ShowWindow(AsWindow(window), command) != 0;
}

bool Win32Platform::EnableWindow(WindowId window, bool enable) {
    return ::EnableWindow(AsWindow(window), enable ? TRUE : FALSE) != 0;
}

std::intptr_t Win32Platform::SendMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
    return SendMessageA(AsWindow(window), message, wParam, lParam);
}

bool Win32Platform::PostMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    return PostMessageA(AsWindow(window), message, wParam, lParam) != 0;
}

std::optional<std::intptr_t> Win32Platform::SendMessageTimeout(WindowId window, unsigned message,
                                                               std::uintptr_t wParam,
                                                               std::intptr_t lParam,
                                                               std::uint32_t timeoutMs) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(AsWindow(window), message, wParam, lParam,
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result) == 0)
        return std::nullopt;
    return static_cast<std::intptr_t>(result);
}

void Win32Platform::SendSetText(WindowId window, const std::string& text) {
    SendMessageA(AsWindow(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Win32Platform::SendGetText(WindowId window, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string buffer(bufferSize, '\0');
    LRESULT n = SendMessageA(AsWindow(window), WM_GETTEXT, bufferSize,
                             reinterpret_cast<LPARAM>(&buffer[0]));
    buffer.resize(n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), bufferSize - 1) : 0);
    return buffer;
}

std::optional<Image> Win32Platform::CaptureClientArea(WindowId window) {
    HWND hwnd = AsWindow(window);
    RECT rect;
    if (!GetClientRect(hwnd, &rect)) return std::nullopt;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return std::nullopt;

    HDC screen = GetDC(hwnd);
    if (!screen) return std::nullopt;
    std::optional<Image> result;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                            : nullptr;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        bool copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != 0;
        if (!copied) {
            // Wine cannot read the window DC of another process's window; the
            // screen at the client area's place holds the same pixels while
            // the window is in front.
            POINT origin = {0, 0};
            ClientToScreen(hwnd, &origin);
            if (HDC desktop = GetDC(nullptr)) {
                copied = BitBlt(memory, 0, 0, width, height, desktop, origin.x, origin.y, SRCCOPY) != 0;
                ReleaseDC(nullptr, desktop);
            }
        }
        if (copied) {
            GdiFlush();
            Image image;
            image.width = width;
            image.height = height;
            image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
            std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
            const auto* source = static_cast<const std::uint8_t*>(bits);
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* row = source + stride * y;
                std::uint8_t* out = &image.rgb[static_cast<std::size_t>(y) * width * 3];
                for (int x = 0; x < width; ++x) {
                    out[x * 3 + 0] = row[x * 3 + 2];
                    out[x * 3 + 1] = row[x * 3 + 1];
                    out[x * 3 + 2] = row[x * 3 + 0];
                }
            }
            result = std::move(image);
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(hwnd, screen);
    return result;
}

// --- keyboard and mouse ---

void Win32Platform::KeyEvent(int virtualKey, int scanCode, bool keyUp) {
    keybd_event(static_cast<BYTE>(virtualKey), static_cast<BYTE>(scanCode),
                keyUp ? KEYEVENTF_KEYUP : 0, 0);
}

int Win32Platform::MapVirtualKey(int virtualKey) {
    return static_cast<int>(MapVirtualKeyA(static_cast<UINT>(virtualKey), 0));
}

bool Win32Platform::IsKeyDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

void Win32Platform::MouseEvent(std::uint32_t flags) { mouse_event(flags, 0, 0, 0, 0); }

// --- clipboard ---

std::optional<std::string> Win32Platform::ClipboardText() {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::optional<std::string> result;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data) {
        if (const char* text = static_cast<const char*>(GlobalLock(data))) {
            SIZE_T size = GlobalSize(data);
            const void* end = std::memchr(text, '\0', size);
            result = std::string(text, end ? static_cast<const char*>(end) - text : size);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return result;
}

bool Win32Platform::SetClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return false;
    bool ok = false;
    if (EmptyClipboard()) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (memory) {
            if (char* target = static_cast<char*>(GlobalLock(memory))) {
                std::memcpy(target, text.c_str(), text.size() + 1);
                GlobalUnlock(memory);
                ok = SetClipboardData(CF_TEXT, memory) != nullptr;
            }
            if (!ok) GlobalFree(memory);  // the clipboard owns it only on success
        }
    }
    CloseClipboard();
    return ok;
}

// --- DDE client ---

DdeConversation Win32Platform::DdeConnect(const std::string& service, const std::string& topic) {
    DWORD instance = Dde().Instance();
    if (instance == 0) return 0;
    StringHandle serviceName(instance, service), topicName(instance, topic);
    if (!serviceName.get() || !topicName.get()) return 0;
    HCONV conversation = ::DdeConnect(instance, serviceName.get(), topicName.get(), nullptr);
    return reinterpret_cast<DdeConversation>(conversation);
}

std::optional<std::string> Win32Platform::DdeRequest(DdeConversation conversation,
                                                     const std::string& item,
                                                     std::uint32_t timeoutMs) {
    DWORD instance = Dde().Instance();
    if (instance == 0 || conversation == 0) return std::nullopt;
    StringHandle itemName(instance, item);
    if (!itemName.get()) return std::nullopt;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, reinterpret_cast<HCONV>(conversation),
                                         itemName.get(), CF_TEXT, XTYP_REQUEST, timeoutMs, nullptr);
    if (!data) return std::nullopt;
    std::string text;
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    if (size > 0) {
        text.assign(size, '\0');
        DWORD got = DdeGetData(data, reinterpret_cast<BYTE*>(&text[0]), size, 0);
        text.resize(std::min<DWORD>(got, size));
        text.resize(std::strlen(text.c_str()));  // CF_TEXT ends at its zero
    }
    DdeFreeDataHandle(data);
    return text;
}

void Win32Platform::DdeDisconnect(DdeConversation conversation) {
    if (conversation != 0) ::DdeDisconnect(reinterpret_cast<HCONV>(conversation));
}

// --- user interface ---

int Win32Platform::MessageBox(WindowId owner, const std::string& text, const std::string& title,
                              std::uint32_t flags) {
    return MessageBoxA(AsWindow(owner), text.c_str(), title.c_str(), flags);
}

std::optional<std::string> Win32Platform::FileDialog(const FileDialogRequest& request) {
    std::string filter = DialogFilter(request.filter);
    std::string name(32768, '\0');
    std::memcpy(&name[0], request.fileName.data(), std::min(request.fileName.size(), name.size() - 1));
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = AsWindow(request.owner);
    ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = &name[0];
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrInitialDir = OrNull(request.initialFolder);
    ofn.lpstrTitle = OrNull(request.title);
    ofn.lpstrDefExt = OrNull(request.defaultExtension);
    ofn.Flags = request.flags | OFN_EXPLORER;
    using FileDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEA);
    const auto dialog = SystemFunction<FileDialogFn>(
        "comdlg32.dll", request.save ? "GetSaveFileNameA" : "GetOpenFileNameA");
    if (!dialog || !dialog(&ofn)) return std::nullopt;
    name.resize(std::strlen(name.c_str()));
    return name;
}

namespace {

// Selects the starting folder once the browser is up.
int CALLBACK BrowseStartCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

std::optional<std::string> Win32Platform::BrowseForFolder(WindowId owner, const std::string& title,
                                                          const std::string& startFolder) {
    using InitializeFn = HRESULT(WINAPI*)(LPVOID);
    using UninitializeFn = void(WINAPI*)();
    using FreeFn = void(WINAPI*)(LPVOID);
    using BrowseFn = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOA);
    using PathFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
    const auto initialize = SystemFunction<InitializeFn>("ole32.dll", "CoInitialize");
    const auto uninitialize = SystemFunction<UninitializeFn>("ole32.dll", "CoUninitialize");
    const auto freeList = SystemFunction<FreeFn>("ole32.dll", "CoTaskMemFree");
    const auto browse = SystemFunction<BrowseFn>("shell32.dll", "SHBrowseForFolderA");
    const auto pathOf = SystemFunction<PathFn>("shell32.dll", "SHGetPathFromIDListA");
    if (!initialize || !uninitialize || !freeList || !browse || !pathOf) return std::nullopt;
    HRESULT com = initialize(nullptr);
    char display[MAX_PATH] = {};
    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = AsWindow(owner);
    info.pszDisplayName = display;
    info.lpszTitle = title.empty() ? nullptr : title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseStartCallback;
    info.lParam = startFolder.empty() ? 0 : reinterpret_cast<LPARAM>(startFolder.c_str());
    std::optional<std::string> result;
    if (LPITEMIDLIST list = browse(&info)) {
        char path[MAX_PATH] = {};
        if (pathOf(list, path)) result = std::string(path);
        freeList(list);
    }
    if (SUCCEEDED(com)) uninitialize();
    return result;
}

bool Win32Platform::ShellOpen(const std::string& path) {
    using ExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    const auto execute = SystemFunction<ExecuteFn>("shell32.dll", "ShellExecuteA");
    if (!execute) return false;
    HINSTANCE r = execute(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

int Win32Platform::ShellFileOperation(WindowId owner, unsigned operation, std::uint16_t flags,
                                      const std::string& from, const std::string& to) {
    using OperationFn = int(WINAPI*)(LPSHFILEOPSTRUCTA);
    const auto operate = SystemFunction<OperationFn>("shell32.dll", "SHFileOperationA");
    if (!operate) return ERROR_PROC_NOT_FOUND;
    std::string source = DoubleZero(from), target = DoubleZero(to);
    SHFILEOPSTRUCTA op;
    std::memset(&op, 0, sizeof op);
    op.hwnd = AsWindow(owner);
    op.wFunc = operation;
    op.pFrom = source.c_str();
    op.pTo = to.empty() ? nullptr : target.c_str();
    op.fFlags = flags;
    int result = operate(&op);
    // A question the user answered with No or Cancel leaves the work undone.
    if (result == 0 && op.fAnyOperationsAborted) result = ERROR_CANCELLED;
    return result;
}

// --- named mutex ---

MutexId Win32Platform::AcquireMutex(const std::string& name, std::uint32_t waitMs) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex) return 0;
    DWORD r = WaitForSingleObject(mutex, waitMs);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) return reinterpret_cast<MutexId>(mutex);
    CloseHandle(mutex);
    return 0;
}

void Win32Platform::ReleaseMutex(MutexId mutex) {
    if (mutex == 0) return;
    HANDLE handle = reinterpret_cast<HANDLE>(mutex);
    ::ReleaseMutex(handle);
    CloseHandle(handle);
}

// --- disks ---

std::optional<std::uint64_t> Win32Platform::FreeDiskSpace(const std::string& path) {
    // The volume's total free bytes (not the caller's quota share); the Ex
    // function is looked up at run time and the cluster arithmetic serves
    // where the system lacks it.
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    static const FreeSpaceEx freeSpaceEx = reinterpret_cast<FreeSpaceEx>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::optional<std::uint64_t> result;
    if (freeSpaceEx) {
        ULARGE_INTEGER available, total, free;
        if (freeSpaceEx(path.c_str(), &available, &total, &free)) result = free.QuadPart;
    } else {
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        if (GetDiskFreeSpaceA(path.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                              &clusters))
            result = std::uint64_t(bytesPerSector) * sectorsPerCluster * freeClusters;
    }
    SetErrorMode(old);
    return result;
}

int Win32Platform::DriveType(const std::string& root) {
    return static_cast<int>(GetDriveTypeA(root.c_str()));
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

// --- plug-in libraries ---

LibraryId Win32Platform::LoadLibrary(const std::string& path) {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    SetErrorMode(old);
    return reinterpret_cast<LibraryId>(module);
}

bool Win32Platform::HasExport(LibraryId library, const std::string& name) {
    if (library == 0) return false;
    return GetProcAddress(reinterpret_cast<HMODULE>(library), name.c_str()) != nullptr;
}

void Win32Platform::FreeLibrary(LibraryId library) {
    if (library != 0) ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}

}  // namespace common
