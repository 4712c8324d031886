// A FormView as a real window: built hidden from a FormSpec, its controls'
// clicks (and Enter, Escape, the close box) handed to one callback.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "common/dpi.h"
#include "common/form.h"
#include "common/win32/win32_api.h"

namespace common {

// The screen's DPI (LOGPIXELSY), for the fonts made before a window is.
int ScreenDpi();

// What the layout needs to know of the screen a window (or, before there is
// one, the primary screen) is on, with the window's font.
ScreenMetrics MeasureScreen(HWND window, HFONT font);

// Moves the window the least that keeps it inside its screen's work area.
void KeepInWorkArea(HWND window);

// The size of text drawn in font on the control's screen.
SIZE TextExtent(HWND control, HFONT font, const std::string& text);

// What a control needs to show its caption whole in font: the text, and for
// a check box or radio button the mark before it.
Extent CaptionExtent(HWND control, HFONT font, const std::string& caption, bool checkMark,
                     const ScreenMetrics& screen);

class Win32Form : public FormView {
public:
    Win32Form(const FormSpec& spec, std::function<void(int id)> onCommand);
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // The messages of this thread until the window is closed.
    int RunMessageLoop();

    WindowId Window() override;
    std::string Text(int id) override;
    void SetText(int id, const std::string& text) override;
    bool Checked(int id) override;
    void SetChecked(int id, bool checked) override;
    void Enable(int id, bool enabled) override;
    void Focus(int id) override;
    void Move(int left, int top) override;
    void Position(int& left, int& top) override;
    void Show() override;
    void Close() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    Extent CaptionSize(const ControlSpec& c);
    void LayOut();
    HWND Control(int id) const;

    FormSpec spec_;
    std::function<void(int)> onCommand_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT linkFont_ = nullptr;
    ScreenMetrics screen_;
    std::map<int, HWND> controls_;
};

}  // namespace common
