// Ticks, sleeping, the local time and its formatting in the user's locale.
#include "common/win32/win32_api.h"

#include <cstring>

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

SYSTEMTIME ToSystemTime(const SystemTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDayOfWeek = static_cast<WORD>(t.dayOfWeek);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.milliseconds);
    return st;
}

// GetDateFormatA and GetTimeFormatA: asked for the size first, then the text.
using LocaleFormatter = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int);

std::string FormatWith(LocaleFormatter format, const SystemTime& t, std::uint32_t flags,
                       const std::string& picture) {
    SYSTEMTIME st = ToSystemTime(t);
    const char* pictureOrNull = OrNull(picture);
    int n = format(LOCALE_USER_DEFAULT, flags, &st, pictureOrNull, nullptr, 0);
    if (n <= 0) return {};
    std::string buffer(static_cast<std::size_t>(n), '\0');
    n = format(LOCALE_USER_DEFAULT, flags, &st, pictureOrNull, &buffer[0], n);
    if (n <= 0) return {};
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

}  // namespace

std::uint32_t Win32Platform::TickCount() { return GetTickCount(); }

void Win32Platform::Sleep(std::uint32_t ms) { ::Sleep(ms); }

std::uint64_t Win32Platform::FileTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

SystemTime Win32Platform::LocalTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    SystemTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.dayOfWeek = st.wDayOfWeek;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.milliseconds = st.wMilliseconds;
    return t;
}

std::string Win32Platform::FormatDate(const SystemTime& t, std::uint32_t flags,
                                      const std::string& format) {
    return FormatWith(GetDateFormatA, t, flags, format);
}

std::string Win32Platform::FormatTime(const SystemTime& t, std::uint32_t flags,
                                      const std::string& format) {
    return FormatWith(GetTimeFormatA, t, flags, format);
}

}  // namespace common
