// Plug-in libraries: loading them, and calling a site plug-in's
// "PlgInit"/"PlgDestroy". An exception that the
// plug-in leaves unhandled reaches a handler frame of this call site, which
// jumps back here; exceptions the plug-in raises and handles itself never
// reach it (a vectored handler would see those too and abort the plug-in).
// The calls run inside the main window's creation, a callback whose
// dispatcher swallows exceptions before any last-chance filter would see
// them, so the frame has to be our own; the last-chance filter stays set
// around the calls for a fault that gets past it.
//
// On i686 the frame is a registration record pushed on the fs:[0] chain. On
// x86_64 handlers are found from the unwind tables, so the call site carries
// a scope-table entry (__try1/__except1) whose filter jumps back.
#include <cstdint>
#include <cstring>

#include <excpt.h>

#include "common/win32/platform_support.h"
#include "common/win32/win32_api.h"
#include "common/win32/win32_platform.h"

namespace common {

namespace {

// The interface passes eight pointer-sized values (32-bit for real plug-ins).
using PlgValue = DWORD_PTR;
using PlgInitEntry = void(WINAPI*)(PlgValue, PlgValue, PlgValue, PlgValue, PlgValue, PlgValue,
                                   PlgValue, PlgValue);
using PlgDestroyEntry = void(WINAPI*)();

struct PluginCall {
    const std::function<void(const std::string&)>* onReport = nullptr;
    void* resume[5] = {};  // __builtin_setjmp buffer
    void* handlers = nullptr;  // i686: the handler chain before our frame
};

PluginCall* g_call = nullptr;  // one thread, one plug-in call at a time

void WINAPI PluginStub(PlgValue) {}

void* WINAPI PluginGetFunction(const char* name) {
    if (name != nullptr && std::strcmp(name, "GetOption") == 0) return nullptr;
    return reinterpret_cast<void*>(&PluginStub);
}

void WINAPI PluginReport(const char* text) {
    if (g_call == nullptr || text == nullptr) return;
    try {
        (*g_call->onReport)(text);
    } catch (...) {
        // Nothing may unwind through the plug-in's frames.
    }
}

LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS*) {
    if (g_call != nullptr) __builtin_longjmp(g_call->resume, 1);
    return EXCEPTION_CONTINUE_SEARCH;
}

PlgValue Value(const void* pointer) { return reinterpret_cast<PlgValue>(pointer); }

__attribute__((noinline)) void CallInitAndDestroy(PlgInitEntry init, PlgDestroyEntry destroy, const char* folder) {
    const PlgValue stub = Value(reinterpret_cast<const void*>(&PluginStub));
    init(stub, stub, stub, Value(reinterpret_cast<const void*>(&PluginGetFunction)), stub,
         Value(reinterpret_cast<const void*>(&PluginReport)), 0, Value(folder));
    destroy();
}

}  // namespace

#if defined(__x86_64__)

// Scope-table filter: a fault during the dispatch pass jumps back to the call
// site; the plug-in's own frames are abandoned with the exception.
extern "C" __attribute__((used)) LONG PluginFaultFilter(EXCEPTION_POINTERS*, void*) {
    if (g_call != nullptr) __builtin_longjmp(g_call->resume, 1);
    return EXCEPTION_CONTINUE_SEARCH;
}

namespace {

// The frame list at the head of the thread's information block (gs:[0]).
// Windows leaves it unused on x64, but Wine links the frames of its own
// dispatcher there, and a jump out of the filter abandons them: the list is
// put back as it was.
void* HandlerChain() {
    void* head;
    asm volatile("movq %%gs:0, %0" : "=r"(head));
    return head;
}
void SetHandlerChain(void* head) { asm volatile("movq %0, %%gs:0" : : "r"(head) : "memory"); }

__attribute__((noinline)) bool CallEntries(PluginCall& call, PlgInitEntry init,
                                           PlgDestroyEntry destroy, const char* folder) {
    if (__builtin_setjmp(call.resume) != 0) {
        SetHandlerChain(call.handlers);
        return false;
    }
    __try1(PluginFaultFilter)
    asm volatile("" ::: "memory");  // keeps the call inside the scope's labels
    CallInitAndDestroy(init, destroy, folder);
    asm volatile("" ::: "memory");
    __except1
    return true;
}

}  // namespace

#else

extern "C" EXCEPTION_DISPOSITION __cdecl PluginFrameHandler(EXCEPTION_RECORD* record, void*,
                                                            CONTEXT*, void*) {
    const DWORD unwinding = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;
    if ((record->ExceptionFlags & unwinding) == 0 && g_call != nullptr)
        __builtin_longjmp(g_call->resume, 1);
    return ExceptionContinueSearch;
}

namespace {

// A structured-exception registration record, as fs:[0] chains them.
struct HandlerFrame {
    HandlerFrame* next;
    void* handler;
};

// The head of this thread's structured-exception handler chain (fs:[0]).
void* HandlerChain() {
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void SetHandlerChain(void* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

__attribute__((noinline)) bool CallEntries(PluginCall& call, PlgInitEntry init,
                                           PlgDestroyEntry destroy, const char* folder) {
    HandlerFrame frame{static_cast<HandlerFrame*>(call.handlers),
                       reinterpret_cast<void*>(&PluginFrameHandler)};
    SetHandlerChain(&frame);
    if (__builtin_setjmp(call.resume) != 0) {
        // The plug-in's own frames are abandoned with the exception.
        SetHandlerChain(call.handlers);
        return false;
    }
    CallInitAndDestroy(init, destroy, folder);
    SetHandlerChain(call.handlers);
    return true;
}

}  // namespace

#endif

bool Win32Platform::CallPluginEntry(LibraryId library, const std::string& hostFolder,
                                    const std::function<void(const std::string&)>& onReport) {
    HMODULE module = reinterpret_cast<HMODULE>(library);
    auto init = reinterpret_cast<PlgInitEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, "PlgInit")));
    auto destroy = reinterpret_cast<PlgDestroyEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, "PlgDestroy")));
    if (init == nullptr || destroy == nullptr || g_call != nullptr) return false;

    static PluginCall call;  // outlives the jump back
    call.onReport = &onReport;
    const std::string folder = hostFolder;
    call.handlers = HandlerChain();
    UINT oldErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    LPTOP_LEVEL_EXCEPTION_FILTER oldFilter = SetUnhandledExceptionFilter(LastChanceFilter);
    g_call = &call;
    bool completed = CallEntries(call, init, destroy, folder.c_str());
    g_call = nullptr;
    SetHandlerChain(call.handlers);
    SetUnhandledExceptionFilter(oldFilter);
    SetErrorMode(oldErrorMode);
    return completed;
}

LibraryId Win32Platform::LoadLibrary(const std::string& path) {
    QuietErrorBoxes quiet;
    HMODULE module = LoadLibraryA(path.c_str());
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
