// FakePlatform: the whole platform seam in memory, for native flow tests.
//
// The test scripts the world (files, windows, programs and how they behave,
// DDE responders, dialog answers, ...) and afterwards inspects what the code
// under test did (the logs below). Nothing here touches the real machine.
//
// Time: a virtual clock. Sleep and every wait that times out advance it;
// scheduled events (Schedule, process idle/exit, ...) run when the clock
// passes them, in time order, with the clock set to their time.
//
// Paths: Windows paths. Compared case-insensitively (code page 1252 case),
// "/" counts as "\", "." and ".." are resolved, relative paths are taken from
// CurrentFolder(). Names keep the spelling they were created with.
// FindFiles lists entries in name order (case-insensitive), as NTFS does.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/platform.h"

namespace common {

class FakePlatform : public Platform {
public:
    FakePlatform();
    ~FakePlatform() override;
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    // =====================================================================
    // Scripting and inspection API (for tests)
    // =====================================================================

    // --- this process ---
    // Defaults: module "C:\Program\App.exe", command line "\"C:\Program\App.exe\"",
    // current folder "C:\", temp folder "C:\TEMP\" (created), Windows folder "C:\WINDOWS".
    void SetModuleFileName(const std::string& path);
    void SetCommandLine(const std::string& commandLine);
    void SetCurrentFolder(const std::string& path);
    void SetTempFolder(const std::string& pathWithBackslash);
    void SetWindowsFolder(const std::string& path);  // where bare INI names live
    // The user's folders (created). AppData: "Application Data", Documents:
    // "My Documents", both in "C:\Documents and Settings\User". Empty: the
    // system names none.
    void SetKnownFolder(KnownFolder folder, const std::string& path);
    std::string WindowsFolder() const;

    // --- INI reads of every FakePlatform of this process ---
    // Once switched on, (file name without its folder, section, key) of each
    // IniReadString and IniReadInt call is kept, for the check that the user
    // guide names every key the programs read. Off by default, so a fuzz
    // target's endless reads of made-up keys do not pile up.
    using IniRead = std::tuple<std::string, std::string, std::string>;
    static void RecordIniReads(bool on);
    static const std::set<IniRead>& IniReadsOfProcess();

    // --- virtual clock and scheduled events ---
    static constexpr std::uint32_t kStartTick = 1000000;
    void SetTickCount(std::uint32_t tick);  // e.g. 0xFFFFF000 to test wrap-around
    std::uint64_t ElapsedMs() const;        // virtual ms since construction
    void AdvanceClock(std::uint32_t ms);    // as Sleep, but not logged
    // Runs fn once the virtual clock has advanced by ms (0: at the next advance).
    void Schedule(std::uint32_t afterMs, std::function<void(FakePlatform&)> fn);
    // A wait that would carry the clock past this limit (virtual ms since
    // construction) throws std::runtime_error instead of hanging the test:
    // a loop waiting for a program that never ends. Default: 2 hours.
    void SetClockLimit(std::uint64_t ms);
    std::uint32_t SleepCalls() const;
    std::uint64_t SleptMs() const;  // total of all Sleep arguments

    // Message queue of this thread: PumpOneMessage takes one queued callback
    // (returns true) or finds none (returns false); every call is counted and
    // onPump (if set) runs on each call.
    void QueueMessage(std::function<void(FakePlatform&)> fn);
    void SetOnPump(std::function<void(FakePlatform&)> fn);
    std::size_t PumpCalls() const;
    std::size_t PumpedMessages() const;  // calls that dispatched a queued message
    std::size_t QueuedMessages() const;

    // Local time; it moves on with the virtual clock.
    void SetLocalTime(const SystemTime& t);  // dayOfWeek is computed
    // The system's ANSI code page: 1252 (the default) or 1251.
    void SetAnsiCodePage(unsigned codePage);
    // Utf8ToAnsi as a conversion with the system's best fit would make it
    // (full-width "／" becomes "/", "？" "?", ...), where the shipped one
    // gives "?" for a character without an ANSI form.
    void SetBestFitConversion(bool on);
    // A file's last write time (FileTimeNow when it was written); false when there is no such file.
    bool SetFileWriteTime(const std::string& path, std::uint64_t fileTime);
    // Pictures used when FormatDate/FormatTime get an empty format.
    void SetDatePictures(const std::string& shortDate, const std::string& longDate);
    void SetTimePicture(const std::string& picture);

    // --- files and folders ---
    static constexpr std::uint64_t kDefaultFreeSpace = 100ull * 1024 * 1024 * 1024;
    // A drive or share root: "D:\" or "\\server\share\". Roots are also made on
    // the fly by AddFolder/AddFile (type Fixed, or Remote for shares).
    void AddDrive(const std::string& root, int driveType = drive_type::Fixed,
                  std::uint64_t freeBytes = kDefaultFreeSpace);
    void SetFreeSpace(const std::string& root, std::uint64_t freeBytes);
    void SetFreeSpaceUnknown(const std::string& root);  // FreeDiskSpace answers nullopt
    void SetDriveType(const std::string& root, int driveType);
    void AddFolder(const std::string& path);  // with all missing parents
    // A file with its content (parents made as needed); replaces an existing one.
    // Does not count against free space.
    void AddFile(const std::string& path, const std::string& content = "");
    bool HasFile(const std::string& path) const;
    bool HasFolder(const std::string& path) const;
    // Content as stored, also for a locked file; nullopt if there is no such file.
    std::optional<std::string> FileText(const std::string& path) const;
    // Path as stored (original spelling), nullopt if missing.
    std::optional<std::string> StoredPath(const std::string& path) const;
    void SetReadOnly(const std::string& path, bool readOnly);
    void SetLocked(const std::string& path, bool locked);  // open by another program
    // No read access (ReadFile and copies from it fail); replacing it still works.
    void SetUnreadable(const std::string& path, bool unreadable);
    bool IsHidden(const std::string& path) const;
    void RemovePath(const std::string& path);  // file or folder tree, no checks
    // Every file below a folder (all files when empty), stored spelling, name order.
    std::vector<std::string> FilesUnder(const std::string& folder = "") const;
    // Writes (WriteFile, AppendFile, copy/move targets, INI writes, shell
    // operations) to these paths fail, as a disk error would.
    void FailWritesTo(const std::string& path);
    void StopFailingWritesTo(const std::string& path);
    void FailAllWrites(bool fail);
    // The folder and everything below it can be read but nothing in it can be
    // made, changed or removed: Program Files for a normal user.
    void SetWriteProtected(const std::string& folder, bool isProtected);
    enum class FindOrder { Name, Creation };
    void SetFindOrder(FindOrder order);

    struct FileOp {
        std::string op;  // "write", "create", "append", "delete", "copy", "move", "mkdir", "rmdir", "ini"
        std::string path;
        std::string path2;  // target of copy/move
        bool ok = false;
        std::uint32_t tick = 0;
    };
    const std::vector<FileOp>& FileOps() const;

    // --- environment and registry ---
    void UnsetEnv(const std::string& name);
    std::vector<std::pair<std::string, std::string>> Environment() const;  // name order
    void SetRegistryUserString(const std::string& key, const std::string& value,
                               const std::string& data);
    void RemoveRegistryUserString(const std::string& key, const std::string& value);

    // --- processes ---
    enum class StartedBy { CreateProcess, WinExec };
    struct StartRecord {
        StartedBy by = StartedBy::CreateProcess;
        std::string commandLine;
        std::string program;  // program path as resolved (or the first token)
        std::optional<int> showWindow;
        std::uint32_t creationFlags = 0;
        std::optional<std::string> currentFolder;
        std::vector<std::pair<std::string, std::string>> environment;  // at start
        std::uint32_t tick = 0;
        ProcessId process = 0;  // 0: the start failed
    };
    using StartCallback =
        std::function<void(FakePlatform&, ProcessId, const StartRecord&)>;
    using ExitCallback = std::function<void(FakePlatform&, ProcessId)>;
    struct ProgramBehaviour {
        bool failStart = false;
        // Virtual ms until the program waits for input; nullopt: it has no
        // message queue (WaitForInputIdle answers Failed at once).
        std::optional<std::uint32_t> idleAfterMs = 0;
        // Virtual ms until it ends; 0 (the default): right after onStart;
        // nullopt: it runs until the test ends. An ending process takes its
        // top-level windows (WindowSpec::process) and the mutexes it holds.
        std::optional<std::uint32_t> exitAfterMs = 0;
        // When WM_CLOSE destroys a window of this process, it ends after this
        // delay (unless exitAfterMs ends it earlier).
        std::optional<std::uint32_t> exitAfterWindowClosedMs;
        std::uint32_t exitCode = 0;
        StartCallback onStart;  // runs right after the start is recorded
        ExitCallback onExit;
    };
    // Behaviour for programs whose path, or file name, matches exe (case-insensitive);
    // "FlashGot.exe" matches "\"C:\Tools\FlashGot.exe\" -x" and "FlashGot.exe".
    // Later registrations win over earlier ones.
    void OnProgram(const std::string& exe, ProgramBehaviour behaviour);
    void OnProgramMatching(std::function<bool(const StartRecord&)> match,
                           ProgramBehaviour behaviour);
    // Programs without a behaviour start when their exe exists in the fake file
    // system (searched like CreateProcess does) and end at once; with this
    // switch every unmatched start fails instead.
    void SetUnknownProgramsFail(bool fail);
    const std::vector<StartRecord>& Starts() const;
    std::vector<StartRecord> StartsOf(const std::string& exe) const;  // as OnProgram matches
    bool IsRunning(ProcessId process) const;
    void EndProcess(ProcessId process, std::uint32_t exitCode = 0);  // as if it ended now
    std::size_t OpenProcessHandles() const;  // started and not yet CloseProcess'd
    std::size_t CloseProcessCalls() const;

    // --- windows ---
    struct WindowSpec {
        std::string className;
        std::string title;
        WindowId parent = 0;  // 0: top level
        bool visible = true;
        bool enabled = true;
        bool iconic = false;
        int controlId = 0;
        ProcessId process = 0;  // owning process, 0 = outside any fake process
        std::vector<std::string> items;  // combo box entries
        int selection = -1;              // combo box selection
    };
    struct SentMessage {
        WindowId window = 0;
        unsigned message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        std::string text;  // WM_SETTEXT text
        bool posted = false;
        std::uint32_t tick = 0;
    };
    // A handler answers a message itself (value) or leaves it to the default
    // handling (nullopt): WM_SETTEXT/WM_GETTEXT, WM_CLOSE destroys the window,
    // BM_CLICK sends WM_COMMAND(BN_CLICKED) to the parent, CB_SETCURSEL/CB_GETCURSEL.
    using MessageHandler =
        std::function<std::optional<std::intptr_t>(FakePlatform&, const SentMessage&)>;
    // Top-level windows go to the top of the Z order; children after their siblings.
    // Posted messages are handled at once, like sent ones (marked posted).
    WindowId AddWindow(const WindowSpec& props);
    void SetMessageHandler(WindowId window, MessageHandler handler);
    // Its program answers no message (SendMessageTimeout runs out; the message is logged).
    void SetHung(WindowId window, bool hung);
    void DestroyWindow(WindowId window);  // with its children
    void SetWindowTitle(WindowId window, const std::string& title);  // not logged
    void SetVisible(WindowId window, bool visible);
    void SetIconic(WindowId window, bool iconic);
    void BringToTop(WindowId window);  // top of its siblings' Z order
    void SetForeground(WindowId window);  // as the user would; never refused
    void SetForegroundRefused(bool refused);  // SetForegroundWindow answers false
    bool IsEnabled(WindowId window) const;
    bool IsMaximized(WindowId window) const;
    WindowId Parent(WindowId window) const;
    std::vector<WindowId> Children(WindowId window) const;  // direct, in order
    std::vector<std::string> ComboItems(WindowId window) const;
    void SetComboItems(WindowId window, std::vector<std::string> items);
    int ComboSelection(WindowId window) const;
    void SetCapture(WindowId window, Image image);  // CaptureClientArea answer
    std::vector<int> ShowCommands(WindowId window) const;  // ShowWindow calls
    const std::vector<SentMessage>& Messages() const;      // all, in order
    std::vector<SentMessage> MessagesTo(WindowId window) const;
    std::size_t LiveWindowCount() const;

    // --- keyboard and mouse ---
    struct KeyRecord {
        int virtualKey = 0;
        int scanCode = 0;
        bool keyUp = false;
        std::uint32_t tick = 0;
    };
    struct MouseRecord {
        std::uint32_t flags = 0;
        std::uint32_t tick = 0;
    };
    using KeyObserver = std::function<void(FakePlatform&, const KeyRecord&)>;
    using MouseObserver = std::function<void(FakePlatform&, const MouseRecord&)>;
    void AddKeyObserver(KeyObserver observer);  // called after the key state changed
    void AddMouseObserver(MouseObserver observer);
    void SetKeyDown(int virtualKey, bool down);  // not logged, observers not called
    const std::vector<KeyRecord>& Keys() const;
    const std::vector<MouseRecord>& MouseEvents() const;

    // --- clipboard ---
    void SetClipboard(const std::optional<std::string>& text);  // nullopt: no text
    void SetClipboardCannotOpen(bool cannotOpen);
    std::optional<std::string> Clipboard() const;  // what it holds, ignoring cannotOpen
    std::size_t ClipboardWrites() const;

    // --- DDE ---
    // Answers one item; nullopt = no answer (the request times out and the
    // clock advances by its time-out).
    using DdeResponder = std::function<std::optional<std::string>(FakePlatform&,
                                                                  const std::string& item)>;
    void AddDdeResponder(const std::string& service, const std::string& topic,
                         DdeResponder responder);  // replaces one for the same pair
    void RemoveDdeResponder(const std::string& service, const std::string& topic);
    struct DdeRecord {
        enum Kind { Connect, Request, Disconnect } kind = Connect;
        std::string service, topic, item;
        std::uint32_t timeoutMs = 0;
        bool ok = false;  // connected / answered
        std::optional<std::string> reply;
        std::uint32_t tick = 0;
    };
    const std::vector<DdeRecord>& DdeLog() const;
    std::size_t OpenDdeConversations() const;

    // --- message boxes, dialogs, shell ---
    struct MessageBoxRecord {
        WindowId owner = 0;
        std::string text, title;
        std::uint32_t flags = 0;
        int answer = 0;
        std::uint32_t tick = 0;
    };
    // Answers are taken from the queue; when it is empty, from the hook (if it
    // gives one), else the fixed default (if set), else the box's default
    // button (MB_DEFBUTTONn; OK, Yes, Abort or Retry when none is given).
    void QueueMessageBoxAnswer(int answer);
    void SetMessageBoxDefault(std::optional<int> answer);
    void SetMessageBoxHook(std::function<std::optional<int>(FakePlatform&,
                                                            const MessageBoxRecord&)> hook);
    const std::vector<MessageBoxRecord>& MessageBoxes() const;

    // nullopt in a queue = the user cancels; an empty queue also cancels.
    void QueueFileDialogAnswer(std::optional<std::string> path);
    void SetFileDialogHook(std::function<std::optional<std::string>(
                               FakePlatform&, const FileDialogRequest&)> hook);  // when queue is empty
    const std::vector<FileDialogRequest>& FileDialogs() const;
    void QueueBrowseForFolderAnswer(std::optional<std::string> folder);
    struct BrowseRecord {
        WindowId owner = 0;
        std::string title;
        std::string startFolder;
    };
    const std::vector<BrowseRecord>& FolderBrowses() const;
    void SetShellOpenResult(bool ok);
    const std::vector<std::string>& ShellOpens() const;

    struct ShellOpRecord {
        WindowId owner = 0;
        unsigned operation = 0;
        std::uint16_t flags = 0;
        std::string from, to;  // up to the first zero
        int result = 0;
    };
    // The next shell operation returns code without doing anything.
    void FailNextShellOperation(int code);
    // The next shell operation handles itemsBeforeFailure files, then stops with code.
    void FailNextShellOperationHalfway(std::size_t itemsBeforeFailure, int code);
    const std::vector<ShellOpRecord>& ShellOperations() const;

    // --- mutexes ---
    // Held by another process; with holder set, released when that process ends.
    void HoldMutexElsewhere(const std::string& name, ProcessId holder = 0);
    void ReleaseMutexElsewhere(const std::string& name);
    bool MutexHeldHere(const std::string& name) const;
    // CreateMutex fails for this name (another kind of object holds it).
    void RefuseMutex(const std::string& name);
    std::size_t OpenMutexHandles() const;

    // --- web services ---
    // Answers each PostHttp; without one every post finds nothing listening
    // (CannotConnect). A responder may advance the clock (a slow service):
    // one that sleeps past the request's reply limit gives a time-out.
    using HttpResponder = std::function<HttpReply(FakePlatform&, const HttpPost&)>;
    void SetHttpResponder(HttpResponder responder);
    const std::vector<HttpPost>& HttpPosts() const;  // every request, in order

    // --- resources and libraries ---
    void SetResource(const std::string& name, const std::string& data);
    // A loadable library: LoadLibrary succeeds for this path (or, for a bare
    // file name, any path ending in it).
    void AddLibrary(const std::string& path, std::set<std::string> exports);
    // What CallPluginEntry does for a library added with AddLibrary: hands these
    // texts to the report callback, then answers false if faults is set (a
    // plug-in that leaves an exception unhandled) or true otherwise.
    struct PluginScript {
        std::vector<std::string> reports;
        bool faults = false;
        std::function<void(FakePlatform&)> onCall;  // may change the fake world
    };
    void SetPluginScript(const std::string& path, PluginScript script);
    struct PluginCall {
        std::string library;  // path the library was added with
        std::string hostFolder;
    };
    const std::vector<PluginCall>& PluginCalls() const;
    std::size_t LoadedLibraries() const;  // loads not yet freed
    const std::vector<std::string>& LibraryLoads() const;  // every LoadLibrary path

    // --- failing the n-th operation of a kind ---
    // Counting starts when the program first asks for its own path
    // (ModuleFileName), that is with the program's run, not the test's set-up.
    // A failed operation does nothing and answers as the system would: false,
    // a shell error code, no process, no DDE reply, no registry value.
    enum class OpKind {
        Write,         // WriteFile, CreateNewFile, AppendFile
        Copy,          // CopyFile, LinkFile, shell copy
        Move,          // MoveFile, shell move and rename
        CreateFolder,  // CreateFolder
        Delete,        // DeleteFile, RemoveFolder, shell delete
        ProcessStart,  // StartProcess, WinExec
        DdeRequest,    // DdeRequest
        RegistryRead,  // RegistryUserString
        IniWrite,      // IniWriteString
    };
    static constexpr std::size_t kOpKinds = 9;
    static const char* OpKindName(OpKind kind);  // "write", "copy", ..., "ini"
    static std::optional<OpKind> OpKindNamed(const std::string& name);
    void FailNth(OpKind kind, std::size_t n);  // 1-based
    std::size_t OpCount(OpKind kind) const;    // seen since the run started
    bool RunStarted() const;
    // Sweep mode for the fault loop over whole test programs: with the
    // environment variable OC_FAULT_SWEEP set to "count" or "<kind>:<n>" (and
    // OC_FAULT_REPORT naming a file), every fake fails as told and, when it is
    // destroyed, appends what its run did to that file (see fake_faults.cpp).

    // =====================================================================
    // The seam
    // =====================================================================
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
    bool CreateNewFile(const std::string& path, const std::string& data) override;
    bool AppendFile(const std::string& path, const std::string& data) override;
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
    bool IsWindowVisible(WindowId window) override;  // the window and all its ancestors
    bool IsIconic(WindowId window) override;
    std::string WindowText(WindowId window, std::size_t bufferSize) override;
    std::size_t WindowTextLength(WindowId window) override;
    std::string ClassName(WindowId window, std::size_t bufferSize) override;
    int ControlId(WindowId window) override;
    WindowId ForegroundWindow() override;
    bool SetForegroundWindow(WindowId window) override;
    bool ShowWindow(WindowId window, int command) override;  // true if it was visible
    bool EnableWindow(WindowId window, bool enable) override;  // true if it was disabled
    std::intptr_t SendMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    bool PostMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    // A hung window's owner answers nothing: the time-out passes on the clock.
    std::optional<std::intptr_t> SendMessageTimeout(WindowId window, unsigned message,
                                                    std::uintptr_t wParam, std::intptr_t lParam,
                                                    std::uint32_t timeoutMs) override;
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

    struct State;  // the whole fake world; defined in fake_state.h

private:
    void ArmSweepFromEnvironment();
    std::unique_ptr<State> s_;
};

}  // namespace common
