// user32 and gdi32 bound on a function's first call instead of when the
// program loads. Loading them sets up the window system, which costs every
// start tens of milliseconds under Wine, while most runs make no window and
// show no box (a request of Zelko, a launch of Tarvel). winhttp likewise:
// only a hand-off to a web service needs it.
//
// The compiler calls these functions through their import slots (__imp_...).
// Each slot is defined here and first holds a stub that binds the slot to the
// real function and jumps there with arguments and stack untouched. A function
// missing from the table is imported the usual way, which loads the library
// at start again; the build's import check names it.
#include "common/win32/win32_api.h"

#include <cstdint>

namespace {

struct ImportSlot {
    void* function;
    const char* name;
    std::intptr_t library;  // index into kLibraries
};

const char* const kLibraries[] = {"user32.dll", "gdi32.dll", "winhttp.dll"};

HMODULE SystemLibrary(const char* name) {
    if (HMODULE loaded = GetModuleHandleA(name)) return loaded;
    char path[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + 1 + lstrlenA(name) >= MAX_PATH) return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}

}  // namespace

extern "C" void* oc_bind_import(ImportSlot* slot) {
    HMODULE library = SystemLibrary(kLibraries[slot->library]);
    FARPROC function = library ? GetProcAddress(library, slot->name) : nullptr;
    // These libraries are part of every Windows: without them nothing can go on.
    if (!function) ExitProcess(static_cast<UINT>(ERROR_PROC_NOT_FOUND));
    slot->function = reinterpret_cast<void*>(function);
    return slot->function;
}

// The slot: stub address, name, library. The stub keeps the caller's
// arguments (stack, and on x64 the four argument registers) for the jump.
// The plain name jumps through the slot too, for headers that declare a
// function without its import (the DDE functions).
#if defined(__i386__)
#define OC_LAZY(library, name, bytes)                                                   \
    __asm__(".data\n.p2align 2\n.globl __imp__" #name "@" #bytes "\n"                  \
            "__imp__" #name "@" #bytes ":\n"                                            \
            "  .long _oc_stub_" #name ", _oc_name_" #name ", " #library "\n"            \
            "_oc_name_" #name ": .asciz \"" #name "\"\n"                                 \
            ".text\n_oc_stub_" #name ":\n"                                              \
            "  pushl $__imp__" #name "@" #bytes "\n"                                    \
            "  call _oc_bind_import\n"                                                  \
            "  addl $4, %esp\n"                                                         \
            "  jmp *%eax\n"                                                              \
            ".globl _" #name "@" #bytes "\n_" #name "@" #bytes ":\n"                   \
            "  jmp *__imp__" #name "@" #bytes "\n");
#elif defined(__x86_64__)
#define OC_LAZY(library, name, bytes)                                                   \
    __asm__(".data\n.p2align 3\n.globl __imp_" #name "\n"                              \
            "__imp_" #name ":\n"                                                        \
            "  .quad oc_stub_" #name ", oc_name_" #name ", " #library "\n"              \
            "oc_name_" #name ": .asciz \"" #name "\"\n"                                  \
            ".text\noc_stub_" #name ":\n"                                               \
            "  push %rcx\n  push %rdx\n  push %r8\n  push %r9\n"                        \
            "  sub $0x68, %rsp\n"                                                       \
            "  movdqu %xmm0, 0x20(%rsp)\n  movdqu %xmm1, 0x30(%rsp)\n"                  \
            "  movdqu %xmm2, 0x40(%rsp)\n  movdqu %xmm3, 0x50(%rsp)\n"                  \
            "  lea __imp_" #name "(%rip), %rcx\n"                                       \
            "  call oc_bind_import\n"                                                   \
            "  movdqu 0x20(%rsp), %xmm0\n  movdqu 0x30(%rsp), %xmm1\n"                  \
            "  movdqu 0x40(%rsp), %xmm2\n  movdqu 0x50(%rsp), %xmm3\n"                  \
            "  add $0x68, %rsp\n"                                                       \
            "  pop %r9\n  pop %r8\n  pop %rdx\n  pop %rcx\n"                            \
            "  jmp *%rax\n"                                                              \
            ".globl " #name "\n" #name ":\n"                                             \
            "  jmp *__imp_" #name "(%rip)\n");
#else
#error "no import stub for this processor"
#endif
#define OC_USER32(name, bytes) OC_LAZY(0, name, bytes)
#define OC_GDI32(name, bytes) OC_LAZY(1, name, bytes)
#define OC_WINHTTP(name, bytes) OC_LAZY(2, name, bytes)

// Name, and the bytes of its arguments (the 32-bit symbol's suffix).
OC_GDI32(BitBlt, 36)
OC_GDI32(CreateCompatibleDC, 4)
OC_GDI32(CreateDIBSection, 24)
OC_GDI32(CreateFontA, 56)
OC_GDI32(CreateFontIndirectA, 4)
OC_GDI32(CreateSolidBrush, 4)
OC_GDI32(DeleteDC, 4)
OC_GDI32(DeleteObject, 4)
OC_GDI32(GdiFlush, 0)
OC_GDI32(GetDeviceCaps, 8)
OC_GDI32(GetObjectA, 12)
OC_GDI32(GetStockObject, 4)
OC_GDI32(GetTextExtentPoint32A, 16)
OC_GDI32(GetTextMetricsA, 8)
OC_GDI32(SelectObject, 8)
OC_GDI32(SetBkColor, 8)
OC_GDI32(SetBkMode, 8)
OC_GDI32(SetTextColor, 8)
OC_USER32(AdjustWindowRectEx, 16)
OC_USER32(CharLowerBuffA, 8)
OC_USER32(CharUpperBuffA, 8)
OC_USER32(ClientToScreen, 8)
OC_USER32(CloseClipboard, 0)
OC_USER32(CreateWindowExA, 48)
OC_USER32(DdeClientTransaction, 32)
OC_USER32(DdeConnect, 16)
OC_USER32(DdeCreateStringHandleA, 12)
OC_USER32(DdeDisconnect, 4)
OC_USER32(DdeFreeDataHandle, 4)
OC_USER32(DdeFreeStringHandle, 8)
OC_USER32(DdeGetData, 16)
OC_USER32(DdeInitializeA, 16)
OC_USER32(DdeUninitialize, 4)
OC_USER32(DefWindowProcA, 16)
OC_USER32(DestroyWindow, 4)
OC_USER32(DispatchMessageA, 4)
OC_USER32(EmptyClipboard, 0)
OC_USER32(EnableWindow, 8)
OC_USER32(EnumChildWindows, 12)
OC_USER32(EnumWindows, 8)
OC_USER32(FindWindowExA, 16)
OC_USER32(GetClassNameA, 12)
OC_USER32(GetClientRect, 8)
OC_USER32(GetClipboardData, 4)
OC_USER32(GetDC, 4)
OC_USER32(GetDlgCtrlID, 4)
OC_USER32(GetDlgItem, 8)
OC_USER32(GetForegroundWindow, 0)
OC_USER32(GetKeyState, 4)
OC_USER32(GetMessageA, 16)
OC_USER32(GetMonitorInfoA, 8)
OC_USER32(GetParent, 4)
OC_USER32(GetSysColor, 4)
OC_USER32(GetSysColorBrush, 4)
OC_USER32(GetSystemMetrics, 4)
OC_USER32(GetWindow, 8)
OC_USER32(GetWindowLongA, 8)
OC_USER32(GetWindowRect, 8)
OC_USER32(GetWindowTextA, 12)
OC_USER32(GetWindowTextLengthA, 4)
OC_USER32(InvalidateRect, 12)
OC_USER32(IsDialogMessageA, 8)
OC_USER32(IsIconic, 4)
OC_USER32(IsWindow, 4)
OC_USER32(IsWindowEnabled, 4)
OC_USER32(IsWindowVisible, 4)
OC_USER32(LoadCursorA, 8)
OC_USER32(MapVirtualKeyA, 8)
OC_USER32(MessageBoxA, 16)
OC_USER32(MonitorFromWindow, 8)
OC_USER32(OpenClipboard, 4)
OC_USER32(PeekMessageA, 20)
OC_USER32(PostMessageA, 16)
OC_USER32(PostQuitMessage, 4)
OC_USER32(RegisterClassA, 4)
OC_USER32(ReleaseDC, 8)
OC_USER32(SendMessageA, 16)
OC_USER32(SendMessageTimeoutA, 28)
OC_USER32(SetClipboardData, 8)
OC_USER32(SetCursor, 4)
OC_USER32(SetFocus, 4)
OC_USER32(SetForegroundWindow, 4)
OC_USER32(SetWindowLongA, 12)
OC_USER32(SetWindowPos, 28)
OC_USER32(SetWindowTextA, 8)
OC_USER32(ShowWindow, 8)
OC_USER32(SystemParametersInfoA, 16)
OC_USER32(TranslateMessage, 4)
OC_USER32(UpdateWindow, 4)
OC_USER32(WaitForInputIdle, 8)
OC_USER32(keybd_event, 16)
OC_USER32(mouse_event, 20)
OC_WINHTTP(WinHttpCloseHandle, 4)
OC_WINHTTP(WinHttpConnect, 16)
OC_WINHTTP(WinHttpCrackUrl, 16)
OC_WINHTTP(WinHttpOpen, 20)
OC_WINHTTP(WinHttpOpenRequest, 28)
OC_WINHTTP(WinHttpQueryHeaders, 24)
OC_WINHTTP(WinHttpReadData, 16)
OC_WINHTTP(WinHttpReceiveResponse, 8)
OC_WINHTTP(WinHttpSendRequest, 28)
OC_WINHTTP(WinHttpSetOption, 16)
OC_WINHTTP(WinHttpSetTimeouts, 20)
#if defined(__x86_64__)
// Macros for the functions above in 32-bit Windows, functions of their own in 64-bit.
OC_USER32(GetWindowLongPtrA, 8)
OC_USER32(SetWindowLongPtrA, 12)
#endif
