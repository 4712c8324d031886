// The real platform: common::Platform on Win32. ANSI entry points throughout;
// process handles stay in here behind ProcessId numbers.
#pragma once

#include <map>

#include "common/platform.h"

namespace common {

class Win32Platform : public Platform {
public:
    Win32Platform() = default;
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    std::string ModuleFileName() override;
    std::string CommandLine() override;
    std::string CurrentFolder() override;
    std::string TempFolder() override;
    std::string KnownFolderPath(KnownFolder folder) override;

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::optional<std::uint64_t> FileSize(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    bool WriteFile(const std::string& path, const std::string& data) override;
    bool AppendFile(const std::string& path, const std::string& data) override;
    bool CreateNewFile(const std::string& path, const std::string& data) override;
    bool DeleteFile(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool LinkFile(const std::string& existing, const std::string& link) override;
    bool MoveFile(const std::string& from, const std::string& to, bool replace) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    std::vector<FolderEntry> FindFiles(const std::string& mask) override;
    bool IsReadOnly(const std::string& path) override;
    bool SetHidden(const std::string& path, bool hidden) override;
    bool SetFileAttributes(const std::string& path, std::uint32_t attributes) override;

    std::string IniReadString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def) override;
    int IniReadInt(const std::string& file, const std::string& section, const std::string& key,
                   int def) override;
    bool IniWriteString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) override;
    std::vector<std::string> IniSectionNames(const std::string& file,
                                             std::size_t bufferSize) override;

    std::optional<std::string> GetEnv(const std::string& name) override;
    bool SetEnv(const std::string& name, const std::string& value) override;
    std::string ExpandEnvironment(const std::string& text) override;
    std::optional<std::string> RegistryUserString(const std::string& key,
                                                  const std::string& value) override;

    ProcessId StartProcess(const ProcessStart& start) override;
    bool WinExec(const std::string& commandLine, int showWindow) override;
    WaitResult WaitForInputIdle(ProcessId process, std::uint32_t ms) override;
    WaitResult WaitForProcess(ProcessId process, std::uint32_t ms) override;
    void CloseProcess(ProcessId process) override;
    bool PumpOneMessage() override;

    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t ms) override;
    SystemTime LocalTime() override;
    std::uint64_t FileTimeNow() override;
    std::string FormatDate(const SystemTime& t, std::uint32_t flags,
                           const std::string& format) override;
    std::string FormatTime(const SystemTime& t, std::uint32_t flags,
                           const std::string& format) override;

    unsigned AnsiCodePage() override;
    std::string AnsiToUtf8(const std::string& ansi) override;
    std::string Utf8ToAnsi(const std::string& utf8) override;
    std::optional<std::string> Utf8ToCodePage(const std::string& utf8, unsigned codePage) override;
    std::string UpperCase(const std::string& ansi) override;
    std::string LowerCase(const std::string& ansi) override;

    std::vector<WindowId> TopLevelWindows() override;
    std::vector<WindowId> Descendants(WindowId parent) override;
    WindowId FindWindow(WindowId parent, WindowId after, const std::string& className,
                        const std::optional<std::string>& title) override;
    WindowId NextSibling(WindowId window) override;
    bool IsWindow(WindowId window) override;
    bool IsWindowVisible(WindowId window) override;
    bool IsIconic(WindowId window) override;
    std::string WindowText(WindowId window, std::size_t bufferSize) override;
    std::size_t WindowTextLength(WindowId window) override;
    std::string ClassName(WindowId window, std::size_t bufferSize) override;
    int ControlId(WindowId window) override;
    WindowId ForegroundWindow() override;
    bool SetForegroundWindow(WindowId window) override;
    bool ShowWindow(WindowId window, int command) override;
    bool EnableWindow(WindowId window, bool enable) override;
    std::intptr_t SendMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    std::optional<std::intptr_t> SendMessageTimeout(WindowId window, unsigned message,
                                                    std::uintptr_t wParam, std::intptr_t lParam,
                                                    std::uint32_t timeoutMs) override;
    bool PostMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    void SendSetText(WindowId window, const std::string& text) override;
    std::string SendGetText(WindowId window, std::size_t bufferSize) override;
    std::optional<Image> CaptureClientArea(WindowId window) override;

    void KeyEvent(int virtualKey, int scanCode, bool keyUp) override;
    int MapVirtualKey(int virtualKey) override;
    bool IsKeyDown(int virtualKey) override;
    void MouseEvent(std::uint32_t flags) override;

    std::optional<std::string> ClipboardText() override;
    bool SetClipboardText(const std::string& text) override;

    DdeConversation DdeConnect(const std::string& service, const std::string& topic) override;
    std::optional<std::string> DdeRequest(DdeConversation conversation, const std::string& item,
                                          std::uint32_t timeoutMs) override;
    void DdeDisconnect(DdeConversation conversation) override;

    int MessageBox(WindowId owner, const std::string& text, const std::string& title,
                   std::uint32_t flags) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> BrowseForFolder(WindowId owner, const std::string& title,
                                               const std::string& startFolder) override;
    bool ShellOpen(const std::string& path) override;
    int ShellFileOperation(WindowId owner, unsigned operation, std::uint16_t flags,
                           const std::string& from, const std::string& to) override;

    MutexId AcquireMutex(const std::string& name, std::uint32_t waitMs) override;
    MutexTake TakeMutex(const std::string& name, std::uint32_t waitMs) override;
    void ReleaseMutex(MutexId mutex) override;

    std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) override;
    int DriveType(const std::string& root) override;

    std::optional<std::string> Resource(const std::string& name) override;

    HttpReply PostHttp(const HttpPost& request) override;

    LibraryId LoadLibrary(const std::string& path) override;
    bool HasExport(LibraryId library, const std::string& name) override;
    void FreeLibrary(LibraryId library) override;
    bool CallPluginEntry(LibraryId library, const std::string& hostFolder,
                         const std::function<void(const std::string&)>& onReport) override;

private:
    struct ProcessHandles {
        void* process = nullptr;
        void* thread = nullptr;
    };
    std::map<ProcessId, ProcessHandles> processes_;
    ProcessId nextProcessId_ = 1;
};

}  // namespace common
