// Zelko.exe: the start sequence runs first and a request ends the program
// there, so a request never makes a window (the first window of a session is
// dear: it starts the desktop, and loads the window and theme libraries).
// Settings mode creates the settings window with all its controls; the window
// itself only draws: SettingsController decides what every control shows.
#include "common/win32/win32_api.h"
#include "common/win32/form_window.h"
#include "common/win32/win32_platform.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zelko/intake.h"
#include "zelko/language.h"
#include "zelko/settings_fit.h"
#include "zelko/settings_window.h"

namespace {

const char kWindowClass[] = "ZelkoMainWindow";
const char kPanelClass[] = "ZelkoPanel";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

void FitCaptions();

COLORREF Colour(std::uint32_t value) { return static_cast<COLORREF>(value); }

class Win32SettingsView : public zelko::SettingsView {
public:
    HWND window = nullptr;
    HFONT font = nullptr;
    common::ScreenMetrics screen;
    HBRUSH panelBrush = nullptr;
    bool updating = false;  // text set by us, not typed
    bool fitted = false;    // placed for the captions once; each new caption places again

    HWND Control(int id) const {
        for (HWND panel : {GetDlgItem(window, zelko::control::UpperPanel),
                           GetDlgItem(window, zelko::control::LowerPanel)}) {
            if (id == GetDlgCtrlID(panel)) return panel;
            if (HWND child = GetDlgItem(panel, id)) return child;
        }
        return GetDlgItem(window, id);
    }

    void Update(int id, const zelko::ControlState& state) override {
        HWND control = Control(id);
        if (!control) return;
        updating = true;
        const bool recaptioned = !IsPanel(id) && WindowText(control) != state.caption;
        if (recaptioned) SetWindowTextA(control, state.caption.c_str());
        if (IsButton(control)) SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(state.check), 0);
        updating = false;
        ShowWindow(control, state.visible ? SW_SHOWNA : SW_HIDE);
        EnableWindow(control, state.enabled ? TRUE : FALSE);
        if (recaptioned && fitted) FitCaptions();
    }
    void Focus(int id) override {
        HWND control = Control(id);
        if (!control) return;
        SetFocus(control);
        if (id == zelko::control::TemplateEdit) {
            LRESULT end = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
            SendMessageA(control, EM_SETSEL, static_cast<WPARAM>(end), end);
        }
    }
    void Close() override { DestroyWindow(window); }
    common::WindowId Handle() override { return reinterpret_cast<common::WindowId>(window); }
    void Position(int& left, int& top) override {
        RECT r{};
        GetWindowRect(window, &r);
        left = r.left;
        top = r.top;
    }

    static std::string WindowText(HWND control) {
        int length = GetWindowTextLengthA(control);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        text.resize(static_cast<std::size_t>(GetWindowTextA(control, &text[0], length + 1)));
        return text;
    }

private:
    static bool IsPanel(int id) {
        return id == zelko::control::UpperPanel || id == zelko::control::LowerPanel;
    }
    static bool IsButton(HWND control) {
        char name[16] = {};
        GetClassNameA(control, name, sizeof name);
        return lstrcmpiA(name, "Button") == 0;
    }
};

struct App {
    common::Win32Platform platform;
    zelko::StartResult start;
    zelko::LanguageTexts texts;
    Win32SettingsView view;
    std::unique_ptr<zelko::SettingsController> controller;
};
App* g_app = nullptr;

DWORD ControlStyle(zelko::ControlKind kind) {
    using K = zelko::ControlKind;
    const DWORD base = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case K::Panel: return base | WS_CLIPSIBLINGS;
        case K::Radio: return base | BS_RADIOBUTTON;
        case K::Label: return base | SS_NOTIFY | SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX;
        case K::CheckBox: return base | WS_TABSTOP | BS_CHECKBOX;
        case K::ThreeState: return base | WS_TABSTOP | BS_3STATE;
        case K::Edit: return base | WS_TABSTOP | ES_AUTOHSCROLL;
        case K::DefaultButton: return base | WS_TABSTOP | BS_DEFPUSHBUTTON;
        case K::Button: return base | WS_TABSTOP | BS_PUSHBUTTON;
    }
    return base;
}

const char* ControlClass(zelko::ControlKind kind) {
    using K = zelko::ControlKind;
    switch (kind) {
        case K::Panel: return kPanelClass;
        case K::Label: return "Static";
        case K::Edit: return "Edit";
        default: return "Button";
    }
}

void CreateControls(HWND window, HINSTANCE instance) {
    Win32SettingsView& view = g_app->view;
    for (const zelko::ControlLayout& c : zelko::SettingsLayout()) {
        HWND parent = c.parent == 0 ? window : GetDlgItem(window, c.parent);
        DWORD exStyle = c.kind == zelko::ControlKind::Panel ? WS_EX_CONTROLPARENT : 0;
        HWND control = CreateWindowExA(exStyle, ControlClass(c.kind), "", ControlStyle(c.kind), c.x,
                                       c.y, c.width, c.height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(view.font), FALSE);
    }
}

// Places the controls (and sizes the window) for the captions they now show.
void FitCaptions() {
    Win32SettingsView& view = g_app->view;
    const std::vector<zelko::ControlLayout> layout = zelko::SettingsLayout();
    std::map<int, common::Extent> sizes;
    for (const zelko::ControlLayout& c : layout) {
        if (!zelko::FollowsCaption(c)) continue;
        HWND control = view.Control(c.id);
        sizes[c.id] = common::CaptionExtent(control, view.font, Win32SettingsView::WindowText(control),
                                            zelko::HasCheckMark(c), view.screen);
    }
    // The client height the work area leaves below the caption bar (0: no limit known).
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int work = view.screen.workArea.height;
    const int frameHeight = static_cast<int>(frame.bottom - frame.top);
    const int maxClientHeight = work > 0 ? std::max(work - frameHeight, 1) : 0;
    const zelko::SettingsPlaces places =
        zelko::PlaceSettingsControls(sizes, view.screen, maxClientHeight);
    for (const auto& [id, box] : places.boxes)
        if (HWND control = view.Control(id))
            SetWindowPos(control, nullptr, box.left, box.top, box.width, box.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    frame = {0, 0, places.clientWidth, places.clientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    SetWindowPos(view.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    common::KeepInWorkArea(view.window);
}

// Windows XP refuses the record at its Vista size (with iPaddedBorderWidth,
// 344 bytes on i686), and the window would fall back to the stock GUI font.
static_assert(sizeof(void*) != 4 || sizeof(NONCLIENTMETRICSA) == 340,
              "NONCLIENTMETRICSA must keep the size Windows XP accepts");

HFONT MakeFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTA face{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        face = metrics.lfMessageFont;
    else
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
    face.lfHeight = common::ScaleToDpi(zelko::look::kFontHeight, common::ScreenDpi());
    face.lfWidth = 0;
    return CreateFontIndirectA(&face);
}

void StartSettings(HWND window) {
    const zelko::ZelkoSettings& s = g_app->start.settings;
    SetWindowPos(window, nullptr, s.left, s.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    g_app->view.screen = common::MeasureScreen(window, g_app->view.font);  // of the screen it is on now
    g_app->texts = zelko::LoadLanguage(g_app->platform, g_app->start.folder, s.language);
    g_app->controller = std::make_unique<zelko::SettingsController>(
        g_app->platform, g_app->start, g_app->texts, g_app->view);
    FitCaptions();
    g_app->view.fitted = true;
}

void OnCommand(int id, int code, const std::string& editText) {
    zelko::SettingsController* c = g_app->controller.get();
    if (!c) return;
    namespace control = zelko::control;
    if (id == control::TemplateEdit) {
        if (code == EN_CHANGE && !g_app->view.updating) c->OnTemplateChanged(editText);
        return;
    }
    if (code != BN_CLICKED) return;  // also STN_CLICKED of the label
    if (id >= control::FirstManager && id < control::Manager(zelko::kManagerCount)) {
        c->OnManagerClick(static_cast<std::size_t>(id - control::FirstManager));
        return;
    }
    if (id >= control::FirstRunning && id < control::Running(control::kRunningRows)) {
        c->OnRunningClick(static_cast<std::size_t>(id - control::FirstRunning));
        return;
    }
    switch (id) {
        case control::CustomLabel: c->OnCustomLabelClick(); break;
        case control::CustomBox: c->OnCustomBoxClick(); break;
        case control::RapGetBox: c->OnRapGetClick(); break;
        case control::UsdBox: c->OnUsdClick(); break;
        case control::CatchModeBox: c->OnCatchModeClick(); break;
        case control::Refresh: c->OnRefresh(); break;
        case control::Ok: c->OnOk(); break;
        case control::Cancel: c->OnCancel(); break;
        default: break;
    }
}

LRESULT PaintControl(UINT message, WPARAM wParam, LPARAM lParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    (void)lParam;
    SetBkColor(dc, Colour(zelko::look::kPanelColour));
    if (message != WM_CTLCOLOREDIT) SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(g_app->view.panelBrush);
}

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
            return SendMessageA(GetParent(panel), message, wParam, lParam);
        default:
            return DefWindowProcA(panel, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            g_app->view.window = window;
            CreateControls(window, reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance);
            StartSettings(window);
            return 0;
        case WM_COMMAND: {
            HWND control = reinterpret_cast<HWND>(lParam);
            std::string text;
            if (HIWORD(wParam) == EN_CHANGE && control) text = Win32SettingsView::WindowText(control);
            OnCommand(LOWORD(wParam), HIWORD(wParam), text);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
            return PaintControl(message, wParam, lParam);
        case WM_CLOSE:
            if (g_app->controller)
                g_app->controller->OnCloseRequest();
            else
                DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, HBRUSH background,
                         const char* name) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    App app;
    // The window would be made at the default place: that is the position
    // the settings fall back to.
    app.start = zelko::StartZelko(app.platform, zelko::kDefaultLeft, zelko::kDefaultTop);
    if (app.start.mode != zelko::StartMode::Settings) return 0;
    g_app = &app;
    HBRUSH windowBrush = CreateSolidBrush(Colour(zelko::look::kWindowColour));
    app.view.panelBrush = CreateSolidBrush(Colour(zelko::look::kPanelColour));
    app.view.font = MakeFont();
    RegisterWindowClass(instance, MainWindowProc, windowBrush, kWindowClass);
    RegisterWindowClass(instance, PanelProc, app.view.panelBrush, kPanelClass);

    RECT frame = {0, 0, zelko::look::kClientWidth, zelko::look::kClientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    HWND window = CreateWindowExA(kExStyle, kWindowClass, zelko::look::kCaption, kStyle,
                                  zelko::kDefaultLeft, zelko::kDefaultTop, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (window != nullptr && app.controller) {
        ShowWindow(window, SW_SHOW);
        app.controller->Show();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (IsDialogMessageA(window, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    app.controller.reset();
    if (app.start.settingsMutex != 0) app.platform.ReleaseMutex(app.start.settingsMutex);
    DeleteObject(app.view.font);
    DeleteObject(app.view.panelBrush);
    DeleteObject(windowBrush);
    g_app = nullptr;
    return 0;
}
