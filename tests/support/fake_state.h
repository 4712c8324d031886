// Inside of FakePlatform: the state of the fake world and the small pieces
// the parts of the fake share (paths, code page 1252 case, clock).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/fake_platform.h"

namespace common::fake {

// Code page 1252 letter case, as CharUpperBuffA / CharLowerBuffA.
unsigned char Upper1252(unsigned char c);
unsigned char Lower1252(unsigned char c);
std::string Upper(std::string text);
bool SameNoCase(const std::string& a, const std::string& b);

// A Windows path made absolute and canonical: "\" separators, "." and ".."
// resolved, trailing dots and blanks of names dropped, no trailing backslash
// except on a root ("C:\", "\\server\share\"). Empty when the path is invalid.
std::string NormalizePath(const std::string& path, const std::string& currentFolder);
std::string RootOf(const std::string& normalized);    // "C:\" or "\\server\share\"
std::string ParentOf(const std::string& normalized);  // "" for a root
std::string NameOf(const std::string& normalized);    // last component
std::string JoinPath(const std::string& folder, const std::string& name);
bool IsRoot(const std::string& normalized);
bool HasWildcard(const std::string& text);
// FindFirstFile mask matching, case-insensitive; "*.*" matches every name.
bool MaskMatches(const std::string& mask, const std::string& name);

}  // namespace common::fake

namespace common {

struct FakePlatform::State {
    // --- this process ---
    std::string moduleFileName = "C:\\Program\\App.exe";
    std::string commandLine = "\"C:\\Program\\App.exe\"";
    std::string currentFolder = "C:\\";
    std::string tempFolder = "C:\\TEMP\\";
    std::string windowsFolder = "C:\\WINDOWS";
    std::string appDataFolder = "C:\\Documents and Settings\\User\\Application Data";
    std::string documentsFolder = "C:\\Documents and Settings\\User\\My Documents";

    // --- clock ---
    std::uint64_t now = 0;  // virtual ms since construction
    std::uint32_t tickBase = kStartTick;
    std::uint64_t clockLimit = 2ull * 60 * 60 * 1000;
    std::uint64_t eventSeq = 0;
    std::multimap<std::pair<std::uint64_t, std::uint64_t>, std::function<void(FakePlatform&)>>
        events;
    std::uint32_t sleepCalls = 0;
    std::uint64_t sleptMs = 0;
    std::deque<std::function<void(FakePlatform&)>> messageQueue;
    std::function<void(FakePlatform&)> onPump;
    std::size_t pumpCalls = 0, pumped = 0;
    SystemTime baseTime{2024, 5, 5, 17, 10, 30, 0, 0};
    unsigned ansiCodePage = 1252;
    bool bestFit = false;
    std::uint64_t baseTimeSetAt = 0;
    std::uint64_t FileTime() const;  // the local time as a FILETIME (the fake's zone is UTC)
    std::string shortDatePicture = "dd.MM.yyyy";
    std::string longDatePicture = "dddd, d. MMMM yyyy";
    std::string timePicture = "HH:mm:ss";

    // --- files ---
    struct Node {
        std::string path;  // normalized, original spelling
        bool folder = false;
        std::string content;
        bool readOnly = false, hidden = false, locked = false;
        bool unreadable = false;  // no read access; may still be replaced
        std::uint64_t created = 0;
        std::uint64_t written = 0;  // FILETIME of the last write
    };
    std::map<std::string, Node> nodes;  // key: Upper(normalized path)
    struct Drive {
        std::string root;
        int type = drive_type::Fixed;
        std::optional<std::uint64_t> freeBytes;
    };
    std::map<std::string, Drive> drives;  // key: Upper(root)
    std::set<std::string> failWrites;     // keys
    bool failAllWrites = false;
    std::set<std::string> writeProtected;  // keys of folders
    FindOrder findOrder = FindOrder::Name;
    std::vector<FileOp> fileOps;
    std::uint64_t createdSeq = 0;

    // --- environment and registry ---
    std::map<std::string, std::pair<std::string, std::string>> env;  // upper name -> name, value
    std::map<std::string, std::string> registry;                     // upper "key\nvalue" -> data

    // --- processes ---
    struct BehaviourEntry {
        std::string exe;
        std::function<bool(const StartRecord&)> match;
        ProgramBehaviour behaviour;
    };
    std::vector<BehaviourEntry> behaviours;
    bool unknownProgramsFail = false;
    std::vector<StartRecord> starts;
    struct Process {
        ProgramBehaviour behaviour;
        std::optional<std::uint64_t> idleAt;  // nullopt: no message queue
        bool exited = false;
        std::uint32_t exitCode = 0;
        bool handleOpen = false;
        bool exitScheduled = false;
    };
    std::map<ProcessId, Process> processes;
    ProcessId nextProcess = 0x1000;
    std::size_t closeProcessCalls = 0;

    // --- windows ---
    struct Window {
        WindowSpec props;
        std::vector<WindowId> children;
        MessageHandler handler;
        std::optional<Image> capture;
        std::vector<int> shows;
        bool maximized = false;
        bool hung = false;
    };
    std::map<WindowId, Window> windows;
    std::vector<WindowId> topLevel;  // Z order, top first
    WindowId foreground = 0;
    bool foregroundRefused = false;
    WindowId nextWindow = 0x10010;
    std::vector<SentMessage> messages;

    // --- keyboard, mouse, clipboard ---
    std::map<int, bool> keyDown;
    std::vector<KeyRecord> keys;
    std::vector<MouseRecord> mouse;
    std::vector<KeyObserver> keyObservers;
    std::vector<MouseObserver> mouseObservers;
    std::optional<std::string> clipboard;
    bool clipboardCannotOpen = false;
    std::size_t clipboardWrites = 0;

    // --- DDE ---
    struct Responder {
        std::string service, topic;
        DdeResponder answer;
    };
    std::map<std::string, Responder> ddeResponders;  // upper "service\ntopic"
    struct Conversation {
        std::string service, topic;
    };
    std::map<DdeConversation, Conversation> conversations;  // open ones
    DdeConversation nextConversation = 0x5000;
    std::vector<DdeRecord> ddeLog;

    // --- user interface ---
    std::deque<int> messageBoxAnswers;
    std::optional<int> messageBoxDefault;
    std::function<std::optional<int>(FakePlatform&, const MessageBoxRecord&)> messageBoxHook;
    std::vector<MessageBoxRecord> messageBoxes;
    std::deque<std::optional<std::string>> fileDialogAnswers;
    std::function<std::optional<std::string>(FakePlatform&, const FileDialogRequest&)>
        fileDialogHook;
    std::vector<FileDialogRequest> fileDialogs;
    std::deque<std::optional<std::string>> browseAnswers;
    std::vector<BrowseRecord> browses;
    bool shellOpenResult = true;
    std::vector<std::string> shellOpens;
    struct ShellFailure {
        std::optional<std::size_t> afterItems;  // nullopt: before doing anything
        int code = 0;
    };
    std::optional<ShellFailure> shellFailure;
    std::vector<ShellOpRecord> shellOps;

    // --- mutexes ---
    struct Mutex {
        bool heldElsewhere = false;
        ProcessId holder = 0;
        int heldHere = 0;
        bool refused = false;
    };
    std::map<std::string, Mutex> mutexes;        // upper name
    std::map<MutexId, std::string> mutexHandles;  // open handles -> upper name
    MutexId nextMutex = 0x7000;

    // --- web services ---
    HttpResponder httpResponder;
    std::vector<HttpPost> httpPosts;

    // --- resources and libraries ---
    std::map<std::string, std::string> resources;  // upper name
    struct Library {
        std::string path;
        std::set<std::string> exports;
        PluginScript script;
    };
    std::vector<PluginCall> pluginCalls;
    std::vector<Library> libraries;
    struct Loaded {
        std::size_t library = 0;
        int refs = 0;
    };
    std::map<LibraryId, Loaded> loaded;
    LibraryId nextLibrary = 0x400000;
    std::vector<std::string> libraryLoads;

    // --- failing operations (fake_faults.cpp) ---
    bool runStarted = false;
    std::size_t opCounts[kOpKinds] = {};
    std::optional<std::pair<OpKind, std::size_t>> failNth;
    std::optional<std::pair<OpKind, std::string>> injected;  // the failed operation
    std::vector<std::pair<OpKind, std::string>> ops;  // every operation that could fail, in order
    std::vector<std::pair<std::string, std::string>> filesAtStart;  // path, content
    std::size_t fileOpsAtStart = 0;
    std::string sweepReport;  // sweep mode: where to report the run
    // Counts an operation of the kind; true when it is the one to fail.
    bool Fault(OpKind kind, const std::string& path);
    void StartRun();
    void ReportSweep(bool unwinding) const;

    // --- shared helpers (fake_platform.cpp) ---
    std::uint32_t Tick() const { return static_cast<std::uint32_t>(tickBase + now); }
    // Runs due events up to time t and sets the clock there.
    void AdvanceTo(FakePlatform& p, std::uint64_t t);
    // Advances until done() holds (true) or the deadline passes (false);
    // wakeAt is a moment at which done() may change without an event.
    bool WaitUntil(FakePlatform& p, std::uint64_t deadline, const std::function<bool()>& done,
                   std::optional<std::uint64_t> wakeAt = std::nullopt);
    void Schedule(std::uint64_t at, std::function<void(FakePlatform&)> fn);
    void ExitProcess(FakePlatform& p, ProcessId id, std::uint32_t code);

    // --- file helpers (fake_files.cpp) ---
    std::string Norm(const std::string& path) const {
        return fake::NormalizePath(path, currentFolder);
    }
    Node* Find(const std::string& normalized);
    const Node* Find(const std::string& normalized) const;
    Drive* DriveOf(const std::string& normalized);
    void EnsureDrive(const std::string& root);
    void MakeFolders(const std::string& normalized);
    bool WriteBlocked(const std::string& normalized) const;
    // Creates or replaces a file. 0 or a Win32 error code (3 path, 5 access,
    // 29 write fault, 32 sharing, 112 disk full).
    int PutFile(const std::string& normalized, const std::string& content);
    void EraseTree(const std::string& normalized);
    std::vector<const Node*> ChildrenOf(const std::string& normalized) const;
    void LogFile(const std::string& op, const std::string& path, const std::string& path2,
                 bool ok);
    // Moves a file or folder tree to a new name (same root); keeps attributes.
    void Rename(const std::string& from, const std::string& to);
    int ShellOperation(unsigned operation, const std::string& from, const std::string& to,
                       std::optional<std::size_t> failAfterItems, int failCode);

    // --- INI helpers (fake_ini.cpp) ---
    std::string IniPath(const std::string& file) const;

    // --- window helpers (fake_desktop.cpp) ---
    Window* Win(WindowId id);
    const Window* Win(WindowId id) const;
    std::vector<WindowId>* SiblingsOf(WindowId id);
    std::intptr_t Dispatch(FakePlatform& p, SentMessage message, std::string* textOut);
    void Destroy(WindowId id);
};

}  // namespace common
