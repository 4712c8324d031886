// The platform seam: everything the three programs ask of Windows, one level
// above Win32. common/win32/ implements it for real; tests/support/ has the
// in-memory FakePlatform. Text is ANSI bytes unless a name says Utf8; paths
// are Windows paths.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace common {

using WindowId = std::uintptr_t;     // 0 = no window
using ProcessId = std::uintptr_t;    // 0 = not started
using LibraryId = std::uintptr_t;    // 0 = not loaded
using MutexId = std::uintptr_t;      // 0 = none
using DdeConversation = std::uintptr_t;  // 0 = no conversation

// Show-window codes, creation flags, message-box flags and answers, window
// messages and key codes keep their Win32 values so callers can state them
// exactly as the system knows them.
namespace sw {
constexpr int Hide = 0, ShowNormal = 1, ShowMinimized = 2, ShowMaximized = 3,
              ShowNoActivate = 4, Show = 5, Minimize = 6, ShowMinNoActive = 7,
              ShowNa = 8, Restore = 9, ShowDefault = 10;
}
namespace create_flags {
constexpr std::uint32_t NewConsole = 0x10, NoWindow = 0x08000000;
}
namespace mb {
constexpr std::uint32_t Ok = 0x0, OkCancel = 0x1, YesNo = 0x4, YesNoCancel = 0x3,
                        IconError = 0x10, IconQuestion = 0x20, IconExclamation = 0x30,
                        IconInformation = 0x40, IconWarning = IconExclamation,
                        TaskModal = 0x2000, Topmost = 0x40000;
}
namespace answer {
constexpr int Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;
}
namespace wm {
constexpr unsigned Close = 0x0010, SetText = 0x000C, GetText = 0x000D, Command = 0x0111,
                   LButtonDown = 0x0201, BmClick = 0x00F5, CbSetCurSel = 0x014E,
                   CbGetCurSel = 0x0147;
}
namespace vk {
constexpr int LButton = 0x01, Control = 0x11, Insert = 0x2D, KeyS = 0x53;
}
namespace mouse_flags {
constexpr std::uint32_t LeftDown = 0x0002, LeftUp = 0x0004;
}
namespace shell_op {
constexpr unsigned Move = 1, Copy = 2, Delete = 3, Rename = 4;
constexpr std::uint16_t Silent = 0x4, NoConfirmation = 0x10, SimpleProgress = 0x100,
                        NoConfirmMkdir = 0x200, NoErrorUi = 0x400;
}
namespace file_attr {
constexpr std::uint32_t ReadOnly = 0x1, Hidden = 0x2, Normal = 0x80;
}
namespace drive_type {
constexpr int Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5,
              RamDisk = 6;
}

enum class WaitResult { Signaled, Timeout, Failed };

// Folders of the current user that the system names.
enum class KnownFolder { AppData, Documents };

inline constexpr std::size_t kDdeItemMaxLength = 255;

struct ProcessStart {
    std::string commandLine;                 // passed unchanged, no application name
    std::optional<int> showWindow;           // set: STARTF_USESHOWWINDOW with this code
    std::uint32_t creationFlags = 0;
    std::optional<std::string> currentFolder;  // empty: the caller's
};

// A try for a named mutex: the mutex when it was taken; refused when it
// cannot be had at all (the name belongs to another kind of object, or
// access to it is denied), as against another process holding it.
struct MutexTake {
    MutexId mutex = 0;
    bool refused = false;
};

struct FolderEntry {
    std::string name;  // without folder
    bool isFolder = false;
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;  // last write, as FILETIME: 100 ns steps since 1601, UTC
};

struct SystemTime {
    int year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0,
        milliseconds = 0;
};

struct FileDialogRequest {
    bool save = true;
    WindowId owner = 0;
    std::string filter;        // pairs separated by '|', as "HTML|*.htm|All|*.*"
    int filterIndex = 1;
    std::string fileName;      // initial name
    std::string initialFolder;
    std::string title;
    std::string defaultExtension;
    std::uint32_t flags = 0;   // OFN_* values
};

// A request to a web service (an HTTP/1.1 POST, or a GET without a body);
// the url holds scheme, host, optional port and path, "https" meaning a
// secure connection.
struct HttpPost {
    std::string url;
    std::string contentType;
    std::string body;
    bool get = false;
    std::vector<std::string> headers;  // more header lines, each "Name: value"
    std::uint32_t connectTimeoutMs = 0;
    std::uint32_t replyTimeoutMs = 0;  // for sending the request and for each read of the reply; 0: none
    // Where not empty, the reply is waited for without a limit while the
    // program's windows are kept alive; after waitWindowMs a small window
    // shows this text with a Cancel button that ends the wait.
    std::string waitText;
    std::uint32_t waitWindowMs = 0;
};

enum class HttpFailure {
    None,           // a reply came (any status)
    BadAddress,     // the url cannot be used
    UnknownHost,
    CannotConnect,  // nothing listens there, or the connection was refused
    Timeout,
    Secure,         // the secure connection could not be set up
    Broken,         // the connection failed in the middle of the exchange
    Cancelled,      // the user ended the wait
};

struct HttpReply {
    HttpFailure failure = HttpFailure::None;
    int status = 0;        // the HTTP status when a reply came
    std::string body;
    bool sent = false;  // on a failure: the request had gone out whole
};

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- this process ---
    virtual std::string ModuleFileName() = 0;   // full path of the running exe
    virtual std::string CommandLine() = 0;      // GetCommandLineA, raw
    virtual std::string CurrentFolder() = 0;
    virtual std::string TempFolder() = 0;       // with trailing backslash
    // SHGetFolderPathA: the user's folder of that kind, without trailing
    // backslash; empty when the system names none.
    virtual std::string KnownFolderPath(KnownFolder folder) = 0;

    // --- files and folders ---
    virtual bool FileExists(const std::string& path) = 0;    // a file, not a folder
    virtual bool FolderExists(const std::string& path) = 0;  // error boxes suppressed
    virtual std::optional<std::uint64_t> FileSize(const std::string& path) = 0;
    // The whole file; nullopt when it cannot be read, also when it is larger
    // than a text of this build holds (WholeFileBytes).
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    virtual bool WriteFile(const std::string& path, const std::string& data) = 0;  // create or replace
    virtual bool AppendFile(const std::string& path, const std::string& data) = 0;
    // Creates the file only while nothing of that name exists (CREATE_NEW), so
    // of two processes asking for one name only one gets it; false when the
    // name is taken or the write fails (a failed write leaves no file).
    virtual bool CreateNewFile(const std::string& path, const std::string& data) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
    virtual bool MoveFile(const std::string& from, const std::string& to, bool replace) = 0;
    // A second name for the file's data (CreateHardLinkA); false when the name
    // is taken or the volume has no such names (FAT). Both names see a write
    // into the file, so only for a file that is then replaced by a move.
    virtual bool LinkFile(const std::string& existing, const std::string& link) = 0;
    virtual bool CreateFolder(const std::string& path) = 0;  // one level
    virtual bool RemoveFolder(const std::string& path) = 0;  // empty folder only
    // Entries matching a mask such as "C:\dir\*.plg", in the system's order; "." and ".." left out.
    virtual std::vector<FolderEntry> FindFiles(const std::string& mask) = 0;
    virtual bool IsReadOnly(const std::string& path) = 0;
    virtual bool SetHidden(const std::string& path, bool hidden) = 0;
    // SetFileAttributesA: the file gets exactly these attributes (file_attr values).
    virtual bool SetFileAttributes(const std::string& path, std::uint32_t attributes) = 0;

    // --- private-profile (INI) files ---
    virtual std::string IniReadString(const std::string& file, const std::string& section,
                                      const std::string& key, const std::string& def) = 0;
    virtual int IniReadInt(const std::string& file, const std::string& section,
                           const std::string& key, int def) = 0;
    virtual bool IniWriteString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) = 0;
    // Section names as GetPrivateProfileSectionNamesA lists them in a buffer of bufferSize bytes.
    virtual std::vector<std::string> IniSectionNames(const std::string& file,
                                                     std::size_t bufferSize) = 0;

    // --- environment and registry ---
    virtual std::optional<std::string> GetEnv(const std::string& name) = 0;
    virtual bool SetEnv(const std::string& name, const std::string& value) = 0;
    virtual std::string ExpandEnvironment(const std::string& text) = 0;
    // A string value under HKEY_CURRENT_USER; nullopt when the key or value is missing.
    virtual std::optional<std::string> RegistryUserString(const std::string& key,
                                                          const std::string& value) = 0;

    // --- processes ---
    virtual ProcessId StartProcess(const ProcessStart& start) = 0;
    virtual bool WinExec(const std::string& commandLine, int showWindow) = 0;  // true if > 31
    virtual WaitResult WaitForInputIdle(ProcessId process, std::uint32_t ms) = 0;
    virtual WaitResult WaitForProcess(ProcessId process, std::uint32_t ms) = 0;
    virtual void CloseProcess(ProcessId process) = 0;  // closes process and thread handles
    // Takes at most one waiting message of this thread, translates and dispatches it;
    // true when one was dispatched. WM_QUIT is left waiting for the caller's own
    // message loop, and the answer is then false.
    virtual bool PumpOneMessage() = 0;

    // --- time ---
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    virtual SystemTime LocalTime() = 0;
    virtual std::uint64_t FileTimeNow() = 0;  // GetSystemTimeAsFileTime, as FolderEntry::writeTime
    // GetDateFormatA / GetTimeFormatA of the user's locale; empty format = flags decide.
    virtual std::string FormatDate(const SystemTime& t, std::uint32_t flags,
                                   const std::string& format) = 0;
    virtual std::string FormatTime(const SystemTime& t, std::uint32_t flags,
                                   const std::string& format) = 0;

    // --- text in the system code page ---
    virtual unsigned AnsiCodePage() = 0;  // GetACP
    virtual std::string AnsiToUtf8(const std::string& ansi) = 0;
    virtual std::string Utf8ToAnsi(const std::string& utf8) = 0;
    // UTF-8 text in another code page (1251, 932, ...); nullopt when the system
    // does not know the code page or a character has no form in it.
    virtual std::optional<std::string> Utf8ToCodePage(const std::string& utf8,
                                                      unsigned codePage) = 0;
    virtual std::string UpperCase(const std::string& ansi) = 0;  // CharUpperBuffA
    virtual std::string LowerCase(const std::string& ansi) = 0;  // CharLowerBuffA

    // --- windows ---
    virtual std::vector<WindowId> TopLevelWindows() = 0;            // EnumWindows order
    virtual std::vector<WindowId> Descendants(WindowId parent) = 0;  // EnumChildWindows order
    // FindWindowExA: parent 0 = top level; after 0 = from the first; empty class/title = any.
    virtual WindowId FindWindow(WindowId parent, WindowId after, const std::string& className,
                                const std::optional<std::string>& title) = 0;
    virtual WindowId NextSibling(WindowId window) = 0;  // GetWindow(GW_HWNDNEXT)
    virtual bool IsWindow(WindowId window) = 0;
    virtual bool IsWindowVisible(WindowId window) = 0;
    virtual bool IsIconic(WindowId window) = 0;
    virtual std::string WindowText(WindowId window, std::size_t bufferSize) = 0;
    virtual std::size_t WindowTextLength(WindowId window) = 0;
    virtual std::string ClassName(WindowId window, std::size_t bufferSize) = 0;
    virtual int ControlId(WindowId window) = 0;
    virtual WindowId ForegroundWindow() = 0;
    virtual bool SetForegroundWindow(WindowId window) = 0;
    virtual bool ShowWindow(WindowId window, int command) = 0;
    virtual bool EnableWindow(WindowId window, bool enable) = 0;
    virtual std::intptr_t SendMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
    virtual bool PostMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    // SendMessageTimeoutA (abort if hung): nullopt when the window did not
    // answer within the limit or is gone.
    virtual std::optional<std::intptr_t> SendMessageTimeout(WindowId window, unsigned message,
                                                            std::uintptr_t wParam,
                                                            std::intptr_t lParam,
                                                            std::uint32_t timeoutMs) = 0;
    virtual void SendSetText(WindowId window, const std::string& text) = 0;           // WM_SETTEXT
    virtual std::string SendGetText(WindowId window, std::size_t bufferSize) = 0;      // WM_GETTEXT
    virtual std::optional<Image> CaptureClientArea(WindowId window) = 0;

    // --- keyboard and mouse ---
    virtual void KeyEvent(int virtualKey, int scanCode, bool keyUp) = 0;  // keybd_event
    virtual int MapVirtualKey(int virtualKey) = 0;                        // map type 0
    virtual bool IsKeyDown(int virtualKey) = 0;  // high bit of GetKeyState
    virtual void MouseEvent(std::uint32_t flags) = 0;

    // --- clipboard ---
    virtual std::optional<std::string> ClipboardText() = 0;  // nullopt: cannot open / no text
    virtual bool SetClipboardText(const std::string& text) = 0;

    // --- DDE client (DDEML, ANSI, CF_TEXT) ---
    // An item name travels as an atom: 1 to kDdeItemMaxLength characters; a
    // request with any other item sends nothing and answers nullopt.
    virtual DdeConversation DdeConnect(const std::string& service, const std::string& topic) = 0;
    virtual std::optional<std::string> DdeRequest(DdeConversation conversation,
                                                  const std::string& item,
                                                  std::uint32_t timeoutMs) = 0;
    virtual void DdeDisconnect(DdeConversation conversation) = 0;

    // --- user interface ---
    virtual int MessageBox(WindowId owner, const std::string& text, const std::string& title,
                           std::uint32_t flags) = 0;
    virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
    // The system's folder browser, opened at startFolder when it names a folder.
    virtual std::optional<std::string> BrowseForFolder(WindowId owner, const std::string& title,
                                                       const std::string& startFolder) = 0;
    virtual bool ShellOpen(const std::string& path) = 0;  // ShellExecuteA "open"
    // SHFileOperationA with double-zero-terminated paths already prepared by the caller's
    // text; returns the shell's result code (0 = success).
    virtual int ShellFileOperation(WindowId owner, unsigned operation, std::uint16_t flags,
                                   const std::string& from, const std::string& to) = 0;

    // --- named mutex ---
    // Creates or opens the mutex and takes it; waits up to waitMs. 0 when another
    // process holds it past the wait.
    virtual MutexId AcquireMutex(const std::string& name, std::uint32_t waitMs) = 0;
    // The same, telling a wait that ran out from a refused mutex.
    virtual MutexTake TakeMutex(const std::string& name, std::uint32_t waitMs) = 0;
    virtual void ReleaseMutex(MutexId mutex) = 0;

    // --- disks ---
    // Total free bytes of the volume that holds the path (a root or a folder on it).
    virtual std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) = 0;
    virtual int DriveType(const std::string& root) = 0;

    // --- resources built into the exe ---
    virtual std::optional<std::string> Resource(const std::string& name) = 0;

    // --- web services ---
    // Sends the request and waits for the whole reply, within the time-outs.
    virtual HttpReply PostHttp(const HttpPost& request) = 0;

    // --- plug-in libraries ---
    virtual LibraryId LoadLibrary(const std::string& path) = 0;
    virtual bool HasExport(LibraryId library, const std::string& name) = 0;
    virtual void FreeLibrary(LibraryId library) = 0;
    // Calls the library's stdcall "PlgInit" with the eight values of the site
    // plug-in interface (the host callbacks, a null value, hostFolder as the
    // eighth) and then "PlgDestroy"; each text the plug-in hands to its report
    // callback goes to onReport. An exception that the plug-in leaves
    // unhandled ends the calls: the answer is then false.
    virtual bool CallPluginEntry(LibraryId library, const std::string& hostFolder,
                                 const std::function<void(const std::string&)>& onReport) = 0;
};

}  // namespace common
