// Small pieces the files of the Win32 platform share.
#pragma once

#include <string>

#include "common/platform.h"
#include "common/win32/win32_api.h"

namespace common {

inline HWND AsWindow(WindowId id) { return reinterpret_cast<HWND>(id); }
inline WindowId AsId(HWND window) { return reinterpret_cast<WindowId>(window); }

inline const char* OrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// Keeps critical-error and open-file boxes away while a path on a missing or
// empty drive is looked at.
class QuietErrorBoxes {
public:
    QuietErrorBoxes() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietErrorBoxes() { SetErrorMode(old_); }
    QuietErrorBoxes(const QuietErrorBoxes&) = delete;
    QuietErrorBoxes& operator=(const QuietErrorBoxes&) = delete;

private:
    UINT old_;
};

}  // namespace common
