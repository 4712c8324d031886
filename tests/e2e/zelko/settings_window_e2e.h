// Zelko's settings window under Wine, driven from outside with posted
// messages through the probe, and its screenshots.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/e2e/zelko/zelko_install.h"

namespace e2e {

inline const char* const kZelkoCaption = " Zelko 2.5";

inline std::string SourceFile(const std::string& relative) {
    return std::string(OC_SOURCE_DIR) + "/" + relative;
}

// The window's controls as the probe reads them ("c<id>.text", ...).
// quick: without the check states, which need Zelko's thread to answer.
inline Record WindowState(const ZelkoInstall& z, bool quick = false) {
    Record req;
    req.Set("verb", "window");
    req.Set("title", kZelkoCaption);
    req.Set("action", "state");
    if (quick) req.Set("quick", "1");
    return RunProbe(z.root, req);
}

// action: click, settext (text), key (text: the virtual key in decimal), close.
inline void PostToWindow(const ZelkoInstall& z, const std::string& action, int id = 0,
                         const std::string& text = "") {
    Record req;
    req.Set("verb", "window");
    req.Set("title", kZelkoCaption);
    req.Set("action", action);
    if (id) req.Set("id", std::to_string(id));
    if (!text.empty()) req.Set(action == "key" ? "key" : "text", text);
    RunProbe(z.root, req);
}

inline bool WaitForWindow(const ZelkoInstall& z, int timeoutMs = 60000) {
    return WaitUntil([&] { return WindowState(z).Get("visible") == "1"; }, timeoutMs, 200);
}

// Waits until a control shows the text.
inline bool WaitForText(const ZelkoInstall& z, int id, const std::string& text,
                        int timeoutMs = 60000) {
    const std::string key = "c" + std::to_string(id) + ".text";
    return WaitUntil([&] { return WindowState(z, true).Get(key) == text; }, timeoutMs, 300);
}

// A control's place on the screen as the probe noted it ("c<id>.rect").
struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};
inline ScreenRect RectOf(const Record& state, const std::string& key) {
    ScreenRect r;
    std::istringstream(state.Get(key)) >> r.left >> r.top >> r.right >> r.bottom;
    return r;
}

// Zelko.exe without arguments: its window's state once shown, with
// "screenshot" and "ended" ("1"/"0") for the PNG in the work folder's
// screenshots\ and the close that follows.
inline Record ShowAndCapture(const ZelkoInstall& z, const std::string& pngName) {
    z.WriteIni();
    Background zelko = WineBench::Get().Start({z.exe});
    if (!WaitForWindow(z)) return Record{};
    Record s = WindowState(z);
    s.Set("screenshot", Screenshot(s, std::string(OC_E2E_WORK) + "/screenshots/" + pngName) ? "1" : "0");
    PostToWindow(z, "close");
    s.Set("ended", zelko.Wait(30000).has_value() ? "1" : "0");
    return s;
}

}  // namespace e2e
