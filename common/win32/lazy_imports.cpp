// user32, gdi32 and winhttp are bound on a function's first call instead of
// when the program loads (binutils' delay-load import libraries, made by
// cmake/delay_imports.cmake, with the runtime's __delayLoadHelper2). Loading
// them sets up the window system, which costs every start tens of
// milliseconds under Wine, while most runs make no window and show no box (a
// request of Zelko, a launch of Tarvel). winhttp likewise: only a hand-off to
// a web service needs it.
//
// This file sits in every program (not in a library) so that its two hooks
// replace the runtime's empty ones.
#include "common/win32/win32_api.h"

#include <delayimp.h>

namespace {

// From the system folder only: a winhttp.dll put beside the exe is not ours.
HMODULE SystemLibrary(const char* name) {
    if (HMODULE loaded = GetModuleHandleA(name)) return loaded;
    char path[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + 1 + lstrlenA(name) >= MAX_PATH) return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}

// "Zelko Error" from ...\Zelko.exe. Not common::ProgramTitleOfPath: that
// goes through the platform, whose user32 may be what is missing here.
void ErrorTitle(char* title, int size) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    int n = 0;
    while (name[n] && name[n] != '.' && n < size - 7) {
        title[n] = name[n];
        ++n;
    }
    if (n > 0 && title[0] >= 'a' && title[0] <= 'z') title[0] = static_cast<char>(title[0] - 32);
    lstrcpyA(title + n, " Error");
}

// A Windows without the function (older than the programs were checked for,
// or a damaged system): say which one, then end, as the call cannot go on.
[[noreturn]] void EndWithBox(const char* text, UINT code) {
    char title[64];
    ErrorTitle(title, sizeof title);
    using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
    HMODULE user32 = SystemLibrary("user32.dll");
    const auto box = reinterpret_cast<MessageBoxFn>(reinterpret_cast<void*>(
        user32 ? GetProcAddress(user32, "MessageBoxA") : nullptr));
    if (box)
        box(nullptr, text, title, MB_OK | MB_ICONERROR | MB_TOPMOST);
    else
        FatalAppExitA(0, text);  // kernel32's own box, without user32
    ExitProcess(code);
}

// Built with kernel32 alone (no wsprintfA): user32 may be what failed.
void Join(char* text, const char* a, const char* b, const char* c, const char* d) {
    lstrcpyA(text, a);
    lstrcatA(text, b);
    lstrcatA(text, c);
    lstrcatA(text, d);
}

[[noreturn]] void EndForFunction(unsigned notification, PDelayLoadInfo info) {
    char function[256] = "#";
    if (info->dlp.fImportByName) {
        lstrcpynA(function, info->dlp.szProcName, sizeof function);
    } else {
        char digits[16];
        int n = 0;
        for (DWORD v = info->dlp.dwOrdinal; n == 0 || v; v /= 10) digits[n++] = char('0' + v % 10);
        for (int i = 0; i < n; ++i) function[1 + i] = digits[n - 1 - i];
        function[1 + n] = 0;
    }
    char dll[MAX_PATH];
    lstrcpynA(dll, info->szDll, sizeof dll);
    char text[3 * MAX_PATH];
    if (notification == dliFailGetProc) {
        Join(text, "This Windows has no function ", function, " in ", dll);
        lstrcatA(text, ".");
        EndWithBox(text, ERROR_PROC_NOT_FOUND);
    }
    Join(text, "Windows could not load ", dll, ", which holds the function ", function);
    lstrcatA(text, ".");
    EndWithBox(text, ERROR_MOD_NOT_FOUND);
}

FARPROC WINAPI BeforeLoad(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    HMODULE library = SystemLibrary(info->szDll);
    // Returning nothing would let the helper search the exe's folder too.
    if (!library) EndForFunction(dliFailLoadLib, info);
    return reinterpret_cast<FARPROC>(library);
}

FARPROC WINAPI OnFailure(unsigned notification, PDelayLoadInfo info) {
    EndForFunction(notification, info);
}

}  // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = BeforeLoad;
PfnDliHook __pfnDliFailureHook2 = OnFailure;
}
