// Text in the system's ANSI code page: to and from UTF-8, and its letter case;
// UTF-8 text in another code page.
#include "common/win32/win32_api.h"

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

std::wstring ToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string FromWide(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    // No best fit into an ANSI code page: a character without a form of its
    // own becomes "?" rather than a look-alike, which in an address may be a
    // "/" or "@" that moves it to another host. UTF-8 takes no flags.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr,
                                0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &text[0], n,
                        nullptr, nullptr);
    return text;
}

// ASCII reads the same in every ANSI code page and in UTF-8: such text (most
// addresses, whole saved pages) needs no trip through the system's tables.
bool IsAscii(const std::string& text) {
    unsigned char high = 0;
    for (char c : text) high |= static_cast<unsigned char>(c);
    return high < 0x80;
}

}  // namespace

unsigned Win32Platform::AnsiCodePage() { return GetACP(); }

std::string Win32Platform::AnsiToUtf8(const std::string& ansi) {
    if (IsAscii(ansi)) return ansi;
    return FromWide(ToWide(ansi, CP_ACP), CP_UTF8);
}

std::string Win32Platform::Utf8ToAnsi(const std::string& utf8) {
    if (IsAscii(utf8)) return utf8;
    return FromWide(ToWide(utf8, CP_UTF8), CP_ACP);
}

std::optional<std::string> Win32Platform::Utf8ToCodePage(const std::string& utf8,
                                                         unsigned codePage) {
    if (IsAscii(utf8)) return utf8;
    const std::wstring wide = ToWide(utf8, CP_UTF8);
    if (wide.empty() != utf8.empty()) return std::nullopt;
    if (wide.empty()) return std::string();
    // No best fit: a character without its own form must not turn into a
    // look-alike ("e" for an accented e) that names another file.
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &text[0], n, nullptr, nullptr);
    return text;
}

std::string Win32Platform::UpperCase(const std::string& ansi) {
    std::string text = ansi;
    if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::string Win32Platform::LowerCase(const std::string& ansi) {
    std::string text = ansi;
    if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace common
