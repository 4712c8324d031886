#include "common/win32/form_window.h"

#include <algorithm>
#include <vector>

namespace common {

namespace {

constexpr const char* kFormClass = "OcSettingsForm";

const ControlSpec* SpecOf(const FormSpec& form, int id) {
    for (const ControlSpec& c : form.controls)
        if (c.id == id) return &c;
    return nullptr;
}

bool RegisterFormClass() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;  // replaced per window once it knows its form
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    registered = RegisterClassA(&wc) != 0;
    return registered;
}

}  // namespace

Win32Form::Win32Form(const FormSpec& spec, std::function<void(int id)> onCommand)
    : spec_(ScaleFormSpec(spec, ScreenDpi())), onCommand_(std::move(onCommand)) {
    if (!RegisterFormClass()) return;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = spec_.toolWindow ? WS_EX_TOOLWINDOW : 0;
    RECT frame = {0, 0, spec_.clientWidth, spec_.clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    window_ = CreateWindowExA(exStyle, kFormClass, spec_.caption.c_str(), style, spec_.left, spec_.top,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (!window_) return;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Form::WindowProc));
    font_ = CreateFontA(spec_.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, "Tahoma");
    linkFont_ = CreateFontA(spec_.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
    screen_ = MeasureScreen(window_, font_);
    CreateControls();
}

Win32Form::~Win32Form() {
    if (window_ && IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_) DeleteObject(font_);
    if (linkFont_) DeleteObject(linkFont_);
}

void Win32Form::CreateControls() {
    for (const ControlSpec& c : spec_.controls) {
        const char* cls = "BUTTON";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        switch (c.kind) {
        case ControlKind::Label: cls = "STATIC"; break;
        case ControlKind::Link: cls = "STATIC"; style |= SS_NOTIFY; break;
        case ControlKind::Edit:
            cls = "EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Button: style |= WS_TABSTOP | BS_PUSHBUTTON; break;
        case ControlKind::DefaultButton: style |= WS_TABSTOP | BS_DEFPUSHBUTTON; break;
        case ControlKind::CheckBox: style |= WS_TABSTOP | BS_AUTOCHECKBOX; break;
        }
        HWND control = CreateWindowExA(exStyle, cls, c.caption.c_str(), style, c.left, c.top,
                                       c.width, c.height, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       GetModuleHandleA(nullptr), nullptr);
        if (!control) continue;
        SendMessageA(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(c.kind == ControlKind::Link ? linkFont_ : font_), FALSE);
        controls_[c.id] = control;
    }
    LayOut();
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

namespace {

Box BoxOf(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

Box WorkAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoA(monitor, &info)) return BoxOf(info.rcWork);
    RECT work{};
    return SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) ? BoxOf(work) : Box{};
}

}  // namespace

ScreenMetrics MeasureScreen(HWND window, HFONT font) {
    ScreenMetrics m;
    m.dpi = ScreenDpi();
    m.checkMark = GetSystemMetrics(SM_CXMENUCHECK);
    m.workArea = WorkAreaOf(window);
    HDC dc = GetDC(window);
    if (!dc) return m;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA text{};
    if (GetTextMetricsA(dc, &text)) m.textHeight = text.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return m;
}

void KeepInWorkArea(HWND window) {
    RECT r{};
    if (!window || !GetWindowRect(window, &r)) return;
    const Box now = BoxOf(r);
    const Box kept = KeepInWorkArea(now, WorkAreaOf(window));
    if (kept.left != now.left || kept.top != now.top)
        SetWindowPos(window, nullptr, kept.left, kept.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TextExtent(HWND control, HFONT font, const std::string& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

Extent CaptionExtent(HWND control, HFONT font, const std::string& caption, bool checkMark,
                     const ScreenMetrics& screen) {
    const SIZE size = TextExtent(control, font, caption);
    return CaptionExtentOf({size.cx, size.cy}, checkMark, screen);
}

// What a caption-sized control needs for its caption in its font.
Extent Win32Form::CaptionSize(const ControlSpec& c) {
    HWND control = Control(c.id);
    if (!control) return {};
    return CaptionExtent(control, c.kind == ControlKind::Link ? linkFont_ : font_, Text(c.id),
                         c.kind == ControlKind::CheckBox, screen_);
}

// Places every control (and sizes the window) as the layout gives them for
// the captions the controls now show.
void Win32Form::LayOut() {
    if (!window_) return;
    std::map<int, Extent> sizes;
    for (const ControlSpec& c : spec_.controls)
        if (c.width == 0 || c.widest != 0) sizes[c.id] = CaptionSize(c);
    const FormLayout layout = LayOutForm(spec_, sizes);
    for (const auto& [id, box] : layout.boxes)
        if (HWND control = Control(id))
            SetWindowPos(control, nullptr, box.left, box.top, box.width, box.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    RECT frame = {0, 0, layout.clientWidth, layout.clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE)));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    KeepInWorkArea(window_);
}

HWND Win32Form::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

int Win32Form::RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Tab, Enter (the default button) and Escape (Cancel) as in a dialog.
        if (window_ && IsWindow(window_) && IsDialogMessageA(window_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form) return DefWindowProcA(window, message, wParam, lParam);
    return form->Handle(message, wParam, lParam);
}

LRESULT Win32Form::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        // Clicks only: BN_CLICKED and STN_CLICKED are both 0; edits notify otherwise.
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == 0 && onCommand_) onCommand_(id);
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        HWND control = reinterpret_cast<HWND>(lParam);
        const ControlSpec* c = SpecOf(spec_, GetDlgCtrlID(control));
        if (c && c->kind == ControlKind::Link) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, IsWindowEnabled(control) ? RGB(0, 0, 255) : GetSysColor(COLOR_GRAYTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    }
    case WM_SETCURSOR: {
        const ControlSpec* c = SpecOf(spec_, GetDlgCtrlID(reinterpret_cast<HWND>(wParam)));
        if (c && c->kind == ControlKind::Link) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_CLOSE:
        if (onCommand_) onCommand_(kFormCancel);
        else Close();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

WindowId Win32Form::Window() { return reinterpret_cast<WindowId>(window_); }

std::string Win32Form::Text(int id) {
    HWND control = Control(id);
    if (!control) return "";
    int length = GetWindowTextLengthA(control);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(control, buffer.data(), length + 1);
    return buffer.data();
}

void Win32Form::SetText(int id, const std::string& text) {
    if (HWND control = Control(id)) {
        SetWindowTextA(control, text.c_str());
        const ControlSpec* c = SpecOf(spec_, id);
        if (c && (c->width == 0 || c->widest != 0)) LayOut();
        InvalidateRect(control, nullptr, TRUE);
    }
}

bool Win32Form::Checked(int id) {
    HWND control = Control(id);
    return control && SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Form::SetChecked(int id, bool checked) {
    if (HWND control = Control(id))
        SendMessageA(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Form::Enable(int id, bool enabled) {
    if (HWND control = Control(id)) {
        EnableWindow(control, enabled ? TRUE : FALSE);
        InvalidateRect(control, nullptr, TRUE);
    }
}

void Win32Form::Focus(int id) {
    if (HWND control = Control(id)) SetFocus(control);
}

void Win32Form::Move(int left, int top) {
    if (!window_) return;
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    KeepInWorkArea(window_);
}

void Win32Form::Position(int& left, int& top) {
    RECT r = {0, 0, 0, 0};
    if (window_) GetWindowRect(window_, &r);
    left = r.left;
    top = r.top;
}

void Win32Form::Show() {
    if (!window_) return;
    SetWindowPos(window_, spec_.topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
}

void Win32Form::Close() {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

}  // namespace common
