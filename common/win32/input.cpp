// Keyboard and mouse events as if typed, and clipboard text.
#include "common/win32/win32_api.h"

#include <cstring>

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {

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

}  // namespace common
