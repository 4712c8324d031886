// Windows of the desktop and of other programs: finding them, reading them,
// sending them messages; this thread's message queue; a picture of a
// window's client area.
#include "common/win32/win32_api.h"

#include <algorithm>
#include <cstring>

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM into) {
    reinterpret_cast<std::vector<WindowId>*>(into)->push_back(AsId(window));
    return TRUE;
}

// GetWindowTextA and GetClassNameA: at most bufferSize - 1 characters.
using WindowStringFn = int(WINAPI*)(HWND, LPSTR, int);

std::string WindowString(WindowStringFn read, WindowId window, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string buffer(bufferSize, '\0');
    int n = read(AsWindow(window), &buffer[0], static_cast<int>(bufferSize));
    buffer.resize(n > 0 ? std::min<std::size_t>(n, bufferSize - 1) : 0);
    return buffer;
}

}  // namespace

// --- message queue ---

bool Win32Platform::PumpOneMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        // Not ours to eat: the caller's message loop still has to see it.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

// --- windows ---

std::vector<WindowId> Win32Platform::TopLevelWindows() {
    std::vector<WindowId> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<WindowId> Win32Platform::Descendants(WindowId parent) {
    std::vector<WindowId> windows;
    EnumChildWindows(AsWindow(parent), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

WindowId Win32Platform::FindWindow(WindowId parent, WindowId after, const std::string& className,
                                   const std::optional<std::string>& title) {
    return AsId(FindWindowExA(AsWindow(parent), AsWindow(after), OrNull(className),
                              title ? title->c_str() : nullptr));
}

WindowId Win32Platform::NextSibling(WindowId window) {
    return AsId(GetWindow(AsWindow(window), GW_HWNDNEXT));
}

bool Win32Platform::IsWindow(WindowId window) { return ::IsWindow(AsWindow(window)) != 0; }

bool Win32Platform::IsWindowVisible(WindowId window) {
    return ::IsWindowVisible(AsWindow(window)) != 0;
}

bool Win32Platform::IsIconic(WindowId window) { return ::IsIconic(AsWindow(window)) != 0; }

std::string Win32Platform::WindowText(WindowId window, std::size_t bufferSize) {
    return WindowString(GetWindowTextA, window, bufferSize);
}

std::size_t Win32Platform::WindowTextLength(WindowId window) {
    int n = GetWindowTextLengthA(AsWindow(window));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string Win32Platform::ClassName(WindowId window, std::size_t bufferSize) {
    return WindowString(GetClassNameA, window, bufferSize);
}

int Win32Platform::ControlId(WindowId window) { return GetDlgCtrlID(AsWindow(window)); }

WindowId Win32Platform::ForegroundWindow() { return AsId(GetForegroundWindow()); }

bool Win32Platform::SetForegroundWindow(WindowId window) {
    return ::SetForegroundWindow(AsWindow(window)) != 0;
}

bool Win32Platform::ShowWindow(WindowId window, int command) {
    return ::ShowWindow(AsWindow(window), command) != 0;
}

bool Win32Platform::EnableWindow(WindowId window, bool enable) {
    return ::EnableWindow(AsWindow(window), enable ? TRUE : FALSE) != 0;
}

std::intptr_t Win32Platform::SendMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
    return SendMessageA(AsWindow(window), message, wParam, lParam);
}

bool Win32Platform::PostMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    return PostMessageA(AsWindow(window), message, wParam, lParam) != 0;
}

std::optional<std::intptr_t> Win32Platform::SendMessageTimeout(WindowId window, unsigned message,
                                                               std::uintptr_t wParam,
                                                               std::intptr_t lParam,
                                                               std::uint32_t timeoutMs) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(AsWindow(window), message, wParam, lParam,
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result) == 0)
        return std::nullopt;
    return static_cast<std::intptr_t>(result);
}

void Win32Platform::SendSetText(WindowId window, const std::string& text) {
    SendMessageA(AsWindow(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Win32Platform::SendGetText(WindowId window, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string buffer(bufferSize, '\0');
    LRESULT n = SendMessageA(AsWindow(window), WM_GETTEXT, bufferSize,
                             reinterpret_cast<LPARAM>(&buffer[0]));
    buffer.resize(n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), bufferSize - 1) : 0);
    return buffer;
}

// --- client-area picture ---

std::optional<Image> Win32Platform::CaptureClientArea(WindowId window) {
    HWND hwnd = AsWindow(window);
    RECT rect;
    if (!GetClientRect(hwnd, &rect)) return std::nullopt;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return std::nullopt;

    HDC screen = GetDC(hwnd);
    if (!screen) return std::nullopt;
    std::optional<Image> result;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                            : nullptr;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        bool copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != 0;
        if (!copied) {
            // Wine cannot read the window DC of another process's window; the
            // screen at the client area's place holds the same pixels while
            // the window is in front.
            POINT origin = {0, 0};
            ClientToScreen(hwnd, &origin);
            if (HDC desktop = GetDC(nullptr)) {
                copied = BitBlt(memory, 0, 0, width, height, desktop, origin.x, origin.y, SRCCOPY) != 0;
                ReleaseDC(nullptr, desktop);
            }
        }
        if (copied) {
            GdiFlush();
            Image image;
            image.width = width;
            image.height = height;
            image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
            std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
            const auto* source = static_cast<const std::uint8_t*>(bits);
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* row = source + stride * y;
                std::uint8_t* out = &image.rgb[static_cast<std::size_t>(y) * width * 3];
                for (int x = 0; x < width; ++x) {
                    out[x * 3 + 0] = row[x * 3 + 2];
                    out[x * 3 + 1] = row[x * 3 + 1];
                    out[x * 3 + 2] = row[x * 3 + 0];
                }
            }
            result = std::move(image);
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(hwnd, screen);
    return result;
}

}  // namespace common
