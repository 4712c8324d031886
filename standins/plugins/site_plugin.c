/* A site plug-in of the kind Universal Share Downloader loads, for the
 * tests: what it does inside PlgInit is chosen when it is built (one .plg
 * per behaviour). Every plug-in appends a line per call to plugins.log in the
 * host folder it was given: "init <name> <folder>", "destroy <name>",
 * "detach <name>" (when the library is freed). */
#include <windows.h>
#include <excpt.h>
#include <stdio.h>
#include <string.h>

typedef void(WINAPI* HostCall)(DWORD_PTR);
typedef void*(WINAPI* HostGetFunction)(const char*);
typedef void(WINAPI* HostReport)(const char*);

static char g_folder[MAX_PATH];

static void Note(const char* what) {
    char path[MAX_PATH + 32];
    if (!g_folder[0]) return;
    snprintf(path, sizeof path, "%splugins.log", g_folder);
    HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written;
    char line[MAX_PATH * 2];
    int n = snprintf(line, sizeof line, "%s %s\r\n", what, PLUGIN_NAME);
    WriteFile(f, line, (DWORD)n, &written, NULL);
    CloseHandle(f);
}

#if defined(PLUGIN_HANDLES_OWN) && defined(__x86_64__)
/* x86_64: a scope-table entry of its own whose filter continues execution. */
__attribute__((used)) static LONG OwnFilter(EXCEPTION_POINTERS* pointers, void* frame) {
    (void)frame;
    return pointers->ExceptionRecord->ExceptionCode == 0xE0001234 ? EXCEPTION_CONTINUE_EXECUTION
                                                                    : EXCEPTION_CONTINUE_SEARCH;
}

__attribute__((noinline)) static void RaiseAndHandle(void) {
    __try1(OwnFilter)
    __asm__ __volatile__("" ::: "memory");
    RaiseException(0xE0001234, 0, 0, NULL);
    __asm__ __volatile__("" ::: "memory");
    __except1
}
#elif defined(PLUGIN_HANDLES_OWN)
static EXCEPTION_DISPOSITION __cdecl OwnHandler(struct _EXCEPTION_RECORD* record, void* frame,
                                                struct _CONTEXT* context, void* dispatcher) {
    (void)frame, (void)context, (void)dispatcher;
    if (record->ExceptionCode == 0xE0001234) return ExceptionContinueExecution;
    return ExceptionContinueSearch;
}

struct Registration {
    struct Registration* next;
    void* handler;
};

/* Raises a continuable exception under a handler frame of its own. */
__attribute__((noinline)) static void RaiseAndHandle(void) {
    volatile struct Registration frame;
    struct Registration* previous;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(previous));
    frame.next = previous;
    frame.handler = (void*)OwnHandler;
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(&frame) : "memory");
    RaiseException(0xE0001234, 0, 0, NULL);
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(previous) : "memory");
}
#endif

/* Eight pointer-sized values (32-bit in a 32-bit plug-in). */
__declspec(dllexport) void WINAPI PlgInit(DWORD_PTR a1, DWORD_PTR a2, DWORD_PTR a3,
                                          DWORD_PTR getFunction, DWORD_PTR a5, DWORD_PTR report,
                                          DWORD_PTR a7, DWORD_PTR folder) {
    char line[MAX_PATH + 16];
    (void)a1, (void)a2, (void)a3, (void)a5, (void)a7;
    lstrcpynA(g_folder, (const char*)folder, MAX_PATH);
    snprintf(line, sizeof line, "init %s", (const char*)folder);
    Note(line);
    ((HostCall)a1)(1);
    ((HostCall)a5)(5);
#if defined(PLUGIN_FAULTS)
    *(volatile int*)0 = 1;
#endif
#if defined(PLUGIN_HANDLES_OWN)
    RaiseAndHandle();
#endif
#if defined(PLUGIN_ASKS_OPTION)
    {
        HostGetFunction get = (HostGetFunction)getFunction;
        void* option = get("GetOption");
        void* other = get("GetProxy");
        ((HostReport)report)(option == NULL ? "option-null.example" : "option-given.example");
        if (other != NULL) {
            ((HostCall)other)(42);
            ((HostReport)report)("other-callable.example");
        }
    }
#else
    (void)getFunction;
#endif
#if defined(PLUGIN_REPORT)
    ((HostReport)report)(PLUGIN_REPORT);
#else
    (void)report;
#endif
}

#if !defined(PLUGIN_INIT_ONLY)
__declspec(dllexport) void WINAPI PlgDestroy(void) { Note("destroy"); }
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance, (void)reserved;
    if (reason == DLL_PROCESS_DETACH) Note("detach");
    return TRUE;
}
