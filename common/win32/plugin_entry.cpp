// Calling a site plug-in's "PlgInit"/"PlgDestroy". An exception that the
// plug-in leaves unhandled reaches the handler frame registered around the
// calls, which jumps back here; exceptions the plug-in raises and handles
// itself never reach it (a vectored handler would see those too and abort the
// plug-in). The calls run inside the main window's creation, a callback whose
// dispatcher swallows exceptions before any last-chance filter would see
// them, so the frame has to be our own; the last-chance filter stays set
// around the calls for a fault that gets past it.
#include <cstdint>
#include <cstring>

#include "common/win32/win32_api.h"
#include "common/win32/win32_platform.h"

namespace common {

namespace {

using PlgInitEntry = void(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);
using PlgDestroyEntry = void(WINAPI*)();

struct PluginCall {
    const std::function<void(const std::string&)>* onReport = nullptr;
    void* resume[5] = {};  // __builtin_setjmp buffer
    void* handlers = nullptr;  // the handler chain before our frame
};

// A structured-exception registration record, as fs:[0] chains them.
struct HandlerFrame {
    HandlerFrame* next;
    void* handler;
};
PluginCall* g_call = nullptr;  // one thread, one plug-in call at a time

void WINAPI PluginStub(DWORD) {}

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

extern "C" EXCEPTION_DISPOSITION __cdecl PluginFrameHandler(EXCEPTION_RECORD* record, void*,
                                                            CONTEXT*, void*) {
    const DWORD unwinding = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;
    if ((record->ExceptionFlags & unwinding) == 0 && g_call != nullptr)
        __builtin_longjmp(g_call->resume, 1);
    return ExceptionContinueSearch;
}

// The head of this thread's structured-exception handler chain (fs:[0]).
void* HandlerChain() {
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void SetHandlerChain(void* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

DWORD Value(const void* pointer) {
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(pointer));
}

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
    const DWORD stub = Value(reinterpret_cast<const void*>(&PluginStub));
    init(stub, stub, stub, Value(reinterpret_cast<const void*>(&PluginGetFunction)), stub,
         Value(reinterpret_cast<const void*>(&PluginReport)), 0, Value(folder));
    destroy();
    SetHandlerChain(call.handlers);
    return true;
}

}  // namespace

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

}  // namespace common
