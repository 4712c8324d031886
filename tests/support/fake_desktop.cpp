// FakePlatform: the desktop of windows and their messages, keyboard and
// mouse, the clipboard, DDE, message boxes and the common dialogs.
#include <algorithm>
#include <cstring>

#include "tests/support/fake_state.h"

namespace common {

using fake::SameNoCase;
using fake::Upper;
using Window = FakePlatform::State::Window;

namespace {
constexpr unsigned kBnClicked = 0;
constexpr std::intptr_t kCbErr = -1;
}  // namespace

// --- state helpers ---

Window* FakePlatform::State::Win(WindowId id) {
    auto it = windows.find(id);
    return it == windows.end() ? nullptr : &it->second;
}

const Window* FakePlatform::State::Win(WindowId id) const {
    auto it = windows.find(id);
    return it == windows.end() ? nullptr : &it->second;
}

std::vector<WindowId>* FakePlatform::State::SiblingsOf(WindowId id) {
    Window* w = Win(id);
    if (!w) return nullptr;
    if (w->props.parent == 0) return &topLevel;
    Window* parent = Win(w->props.parent);
    return parent ? &parent->children : nullptr;
}

void FakePlatform::State::Destroy(WindowId id) {
    Window* w = Win(id);
    if (!w) return;
    std::vector<WindowId> children = w->children;
    for (WindowId c : children) Destroy(c);
    if (auto* siblings = SiblingsOf(id))
        siblings->erase(std::remove(siblings->begin(), siblings->end(), id), siblings->end());
    windows.erase(id);
    if (foreground == id || (foreground && !Win(foreground))) {
        foreground = 0;
        for (WindowId t : topLevel) {
            if (Win(t)->props.visible) {
                foreground = t;
                break;
            }
        }
    }
}

std::intptr_t FakePlatform::State::Dispatch(FakePlatform& p, SentMessage m,
                                            std::string* textOut) {
    if (!Win(m.window)) return 0;
    m.tick = Tick();
    messages.push_back(m);
    MessageHandler handler = Win(m.window)->handler;
    if (handler) {
        if (auto answer = handler(p, m)) return *answer;
    }
    Window* w = Win(m.window);
    if (!w) return 0;  // the handler destroyed it
    switch (m.message) {
        case wm::SetText:
            w->props.title = m.text;
            return 1;
        case wm::GetText: {
            std::size_t size = m.wParam;
            std::string text = size == 0 ? std::string() : w->props.title.substr(0, size - 1);
            if (textOut) *textOut = text;
            return static_cast<std::intptr_t>(text.size());
        }
        case wm::Close: {
            ProcessId owner = w->props.process;
            Destroy(m.window);
            auto it = processes.find(owner);
            if (it != processes.end() && !it->second.exited && !it->second.exitScheduled &&
                it->second.behaviour.exitAfterWindowClosedMs) {
                it->second.exitScheduled = true;
                std::uint32_t code = it->second.behaviour.exitCode;
                Schedule(now + *it->second.behaviour.exitAfterWindowClosedMs,
                         [owner, code](FakePlatform& fp) { fp.EndProcess(owner, code); });
            }
            return 0;
        }
        case wm::BmClick: {
            if (!w->props.enabled || !w->props.parent) return 0;
            SentMessage command;
            command.window = w->props.parent;
            command.message = wm::Command;
            command.wParam = (kBnClicked << 16) | (static_cast<unsigned>(w->props.controlId) & 0xFFFF);
            command.lParam = static_cast<std::intptr_t>(m.window);
            Dispatch(p, command, nullptr);
            return 0;
        }
        case wm::CbSetCurSel: {
            auto index = static_cast<std::intptr_t>(m.wParam);
            if (index >= 0 && static_cast<std::size_t>(index) < w->props.items.size()) {
                w->props.selection = static_cast<int>(index);
                return index;
            }
            w->props.selection = -1;
            return kCbErr;
        }
        case wm::CbGetCurSel:
            return w->props.selection;
        default:
            return 0;
    }
}

// --- scripting ---

WindowId FakePlatform::AddWindow(const WindowSpec& props) {
    if (props.parent && !s_->Win(props.parent)) return 0;
    WindowId id = s_->nextWindow;
    s_->nextWindow += 2;
    Window w;
    w.props = props;
    s_->windows[id] = w;
    if (props.parent) {
        s_->Win(props.parent)->children.push_back(id);
    } else {
        s_->topLevel.insert(s_->topLevel.begin(), id);
    }
    return id;
}

void FakePlatform::SetMessageHandler(WindowId window, MessageHandler handler) {
    if (Window* w = s_->Win(window)) w->handler = std::move(handler);
}
void FakePlatform::DestroyWindow(WindowId window) { s_->Destroy(window); }
void FakePlatform::SetWindowTitle(WindowId window, const std::string& title) {
    if (Window* w = s_->Win(window)) w->props.title = title;
}
void FakePlatform::SetVisible(WindowId window, bool visible) {
    if (Window* w = s_->Win(window)) w->props.visible = visible;
}
void FakePlatform::SetIconic(WindowId window, bool iconic) {
    if (Window* w = s_->Win(window)) w->props.iconic = iconic;
}

void FakePlatform::BringToTop(WindowId window) {
    auto* siblings = s_->SiblingsOf(window);
    if (!siblings) return;
    siblings->erase(std::remove(siblings->begin(), siblings->end(), window), siblings->end());
    siblings->insert(siblings->begin(), window);
}

void FakePlatform::SetForeground(WindowId window) {
    if (!s_->Win(window)) return;
    s_->foreground = window;
    BringToTop(window);
}

void FakePlatform::SetForegroundRefused(bool refused) { s_->foregroundRefused = refused; }

bool FakePlatform::IsEnabled(WindowId window) const {
    const Window* w = s_->Win(window);
    return w && w->props.enabled;
}
bool FakePlatform::IsMaximized(WindowId window) const {
    const Window* w = s_->Win(window);
    return w && w->maximized;
}
WindowId FakePlatform::Parent(WindowId window) const {
    const Window* w = s_->Win(window);
    return w ? w->props.parent : 0;
}
std::vector<WindowId> FakePlatform::Children(WindowId window) const {
    const Window* w = s_->Win(window);
    return w ? w->children : std::vector<WindowId>{};
}
std::vector<std::string> FakePlatform::ComboItems(WindowId window) const {
    const Window* w = s_->Win(window);
    return w ? w->props.items : std::vector<std::string>{};
}
void FakePlatform::SetComboItems(WindowId window, std::vector<std::string> items) {
    if (Window* w = s_->Win(window)) w->props.items = std::move(items);
}
int FakePlatform::ComboSelection(WindowId window) const {
    const Window* w = s_->Win(window);
    return w ? w->props.selection : -1;
}
void FakePlatform::SetCapture(WindowId window, Image image) {
    if (Window* w = s_->Win(window)) w->capture = std::move(image);
}
std::vector<int> FakePlatform::ShowCommands(WindowId window) const {
    const Window* w = s_->Win(window);
    return w ? w->shows : std::vector<int>{};
}
const std::vector<FakePlatform::SentMessage>& FakePlatform::Messages() const {
    return s_->messages;
}
std::vector<FakePlatform::SentMessage> FakePlatform::MessagesTo(WindowId window) const {
    std::vector<SentMessage> out;
    for (const auto& m : s_->messages)
        if (m.window == window) out.push_back(m);
    return out;
}
std::size_t FakePlatform::LiveWindowCount() const { return s_->windows.size(); }

// --- the seam: windows ---

std::vector<WindowId> FakePlatform::TopLevelWindows() { return s_->topLevel; }

std::vector<WindowId> FakePlatform::Descendants(WindowId parent) {
    if (parent == 0) return s_->topLevel;
    std::vector<WindowId> out;
    std::function<void(WindowId)> walk = [&](WindowId id) {
        const Window* w = s_->Win(id);
        if (!w) return;
        for (WindowId c : w->children) {
            out.push_back(c);
            walk(c);
        }
    };
    walk(parent);
    return out;
}

// FindWindowExA: direct children of parent (top-level windows for 0), after
// the given one; class names and titles compare case-insensitively.
WindowId FakePlatform::FindWindow(WindowId parent, WindowId after, const std::string& className,
                                  const std::optional<std::string>& title) {
    const std::vector<WindowId>* list = &s_->topLevel;
    if (parent) {
        const Window* p = s_->Win(parent);
        if (!p) return 0;
        list = &p->children;
    }
    auto it = list->begin();
    if (after) {
        it = std::find(list->begin(), list->end(), after);
        if (it == list->end()) return 0;
        ++it;
    }
    for (; it != list->end(); ++it) {
        const Window* w = s_->Win(*it);
        if (!className.empty() && !SameNoCase(w->props.className, className)) continue;
        if (title && !SameNoCase(w->props.title, *title)) continue;
        return *it;
    }
    return 0;
}

WindowId FakePlatform::NextSibling(WindowId window) {
    auto* siblings = s_->SiblingsOf(window);
    if (!siblings) return 0;
    auto it = std::find(siblings->begin(), siblings->end(), window);
    if (it == siblings->end() || ++it == siblings->end()) return 0;
    return *it;
}

bool FakePlatform::IsWindow(WindowId window) { return s_->Win(window) != nullptr; }

bool FakePlatform::IsWindowVisible(WindowId window) {
    const Window* w = s_->Win(window);
    while (w) {
        if (!w->props.visible) return false;
        if (!w->props.parent) return true;
        w = s_->Win(w->props.parent);
    }
    return false;
}

bool FakePlatform::IsIconic(WindowId window) {
    const Window* w = s_->Win(window);
    return w && w->props.iconic;
}

std::string FakePlatform::WindowText(WindowId window, std::size_t bufferSize) {
    const Window* w = s_->Win(window);
    if (!w || bufferSize == 0) return "";
    return w->props.title.substr(0, bufferSize - 1);
}

std::size_t FakePlatform::WindowTextLength(WindowId window) {
    const Window* w = s_->Win(window);
    return w ? w->props.title.size() : 0;
}

std::string FakePlatform::ClassName(WindowId window, std::size_t bufferSize) {
    const Window* w = s_->Win(window);
    if (!w || bufferSize == 0) return "";
    return w->props.className.substr(0, bufferSize - 1);
}

int FakePlatform::ControlId(WindowId window) {
    const Window* w = s_->Win(window);
    return w ? w->props.controlId : 0;
}

WindowId FakePlatform::ForegroundWindow() { return s_->foreground; }

bool FakePlatform::SetForegroundWindow(WindowId window) {
    if (!s_->Win(window) || s_->foregroundRefused) return false;
    SetForeground(window);
    return true;
}

bool FakePlatform::ShowWindow(WindowId window, int command) {
    Window* w = s_->Win(window);
    if (!w) return false;
    bool wasVisible = w->props.visible;
    w->shows.push_back(command);
    switch (command) {
        case sw::Hide:
            w->props.visible = false;
            break;
        case sw::ShowMinimized:
        case sw::Minimize:
        case sw::ShowMinNoActive:
            w->props.visible = true;
            w->props.iconic = true;
            break;
        case sw::ShowMaximized:
            w->props.visible = true;
            w->props.iconic = false;
            w->maximized = true;
            break;
        case sw::ShowNormal:
        case sw::ShowNoActivate:
        case sw::Restore:
        case sw::ShowDefault:
            w->props.visible = true;
            w->props.iconic = false;
            w->maximized = false;
            break;
        default:  // Show, ShowNa: as it was
            w->props.visible = true;
            break;
    }
    return wasVisible;
}

bool FakePlatform::EnableWindow(WindowId window, bool enable) {
    Window* w = s_->Win(window);
    if (!w) return false;
    bool wasDisabled = !w->props.enabled;
    w->props.enabled = enable;
    return wasDisabled;
}

// lParam of WM_SETTEXT and WM_GETTEXT is a text pointer, as with the system.
std::intptr_t FakePlatform::SendMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam) {
    SentMessage m{window, message, wParam, lParam, "", false, 0};
    if (message == wm::SetText && lParam) m.text = reinterpret_cast<const char*>(lParam);
    std::string text;
    std::intptr_t result = s_->Dispatch(*this, m, &text);
    if (message == wm::GetText && lParam && wParam > 0) {
        char* buffer = reinterpret_cast<char*>(lParam);
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
    }
    return result;
}

bool FakePlatform::PostMessage(WindowId window, unsigned message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    if (!s_->Win(window)) return false;
    SentMessage m{window, message, wParam, lParam, "", true, 0};
    if (message == wm::SetText && lParam) m.text = reinterpret_cast<const char*>(lParam);
    s_->Dispatch(*this, m, nullptr);
    return true;
}

std::optional<std::intptr_t> FakePlatform::SendMessageTimeout(WindowId window, unsigned message,
                                                              std::uintptr_t wParam,
                                                              std::intptr_t lParam,
                                                              std::uint32_t timeoutMs) {
    Window* w = s_->Win(window);
    if (!w) return std::nullopt;
    if (w->hung) {
        s_->messages.push_back({window, message, wParam, lParam, "", false, TickCount()});
        AdvanceClock(timeoutMs);
        return std::nullopt;
    }
    return SendMessage(window, message, wParam, lParam);
}

void FakePlatform::SetHung(WindowId window, bool hung) {
    if (Window* w = s_->Win(window)) w->hung = hung;
}

void FakePlatform::SendSetText(WindowId window, const std::string& text) {
    SentMessage m{window, wm::SetText, 0, 0, text, false, 0};
    s_->Dispatch(*this, m, nullptr);
}

std::string FakePlatform::SendGetText(WindowId window, std::size_t bufferSize) {
    SentMessage m{window, wm::GetText, bufferSize, 0, "", false, 0};
    std::string text;
    s_->Dispatch(*this, m, &text);
    return text;
}

std::optional<Image> FakePlatform::CaptureClientArea(WindowId window) {
    const Window* w = s_->Win(window);
    if (!w) return std::nullopt;
    return w->capture;
}

// --- keyboard and mouse ---

void FakePlatform::AddKeyObserver(KeyObserver observer) {
    s_->keyObservers.push_back(std::move(observer));
}
void FakePlatform::AddMouseObserver(MouseObserver observer) {
    s_->mouseObservers.push_back(std::move(observer));
}
void FakePlatform::SetKeyDown(int virtualKey, bool down) { s_->keyDown[virtualKey] = down; }
const std::vector<FakePlatform::KeyRecord>& FakePlatform::Keys() const { return s_->keys; }
const std::vector<FakePlatform::MouseRecord>& FakePlatform::MouseEvents() const {
    return s_->mouse;
}

void FakePlatform::KeyEvent(int virtualKey, int scanCode, bool keyUp) {
    KeyRecord r{virtualKey, scanCode, keyUp, s_->Tick()};
    s_->keys.push_back(r);
    s_->keyDown[virtualKey] = !keyUp;
    auto observers = s_->keyObservers;
    for (auto& o : observers) o(*this, r);
}

// Scan codes of the standard keyboard (set 1) for MapVirtualKey type 0.
int FakePlatform::MapVirtualKey(int virtualKey) {
    static const std::map<int, int> table = {
        {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C}, {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38},
        {0x13, 0x45}, {0x14, 0x3A}, {0x1B, 0x01}, {0x20, 0x39}, {0x21, 0x49}, {0x22, 0x51},
        {0x23, 0x4F}, {0x24, 0x47}, {0x25, 0x4B}, {0x26, 0x48}, {0x27, 0x4D}, {0x28, 0x50},
        {0x2D, 0x52}, {0x2E, 0x53},
        {'0', 0x0B}, {'1', 0x02}, {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06},
        {'6', 0x07}, {'7', 0x08}, {'8', 0x09}, {'9', 0x0A},
        {'A', 0x1E}, {'B', 0x30}, {'C', 0x2E}, {'D', 0x20}, {'E', 0x12}, {'F', 0x21},
        {'G', 0x22}, {'H', 0x23}, {'I', 0x17}, {'J', 0x24}, {'K', 0x25}, {'L', 0x26},
        {'M', 0x32}, {'N', 0x31}, {'O', 0x18}, {'P', 0x19}, {'Q', 0x10}, {'R', 0x13},
        {'S', 0x1F}, {'T', 0x14}, {'U', 0x16}, {'V', 0x2F}, {'W', 0x11}, {'X', 0x2D},
        {'Y', 0x15}, {'Z', 0x2C},
        {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40},
        {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58},
    };
    auto it = table.find(virtualKey);
    return it == table.end() ? 0 : it->second;
}

bool FakePlatform::IsKeyDown(int virtualKey) {
    auto it = s_->keyDown.find(virtualKey);
    return it != s_->keyDown.end() && it->second;
}

void FakePlatform::MouseEvent(std::uint32_t flags) {
    MouseRecord r{flags, s_->Tick()};
    s_->mouse.push_back(r);
    if (flags & mouse_flags::LeftDown) s_->keyDown[vk::LButton] = true;
    if (flags & mouse_flags::LeftUp) s_->keyDown[vk::LButton] = false;
    auto observers = s_->mouseObservers;
    for (auto& o : observers) o(*this, r);
}

// --- clipboard ---

void FakePlatform::SetClipboard(const std::optional<std::string>& text) { s_->clipboard = text; }
void FakePlatform::SetClipboardCannotOpen(bool cannotOpen) {
    s_->clipboardCannotOpen = cannotOpen;
}
std::optional<std::string> FakePlatform::Clipboard() const { return s_->clipboard; }
std::size_t FakePlatform::ClipboardWrites() const { return s_->clipboardWrites; }

std::optional<std::string> FakePlatform::ClipboardText() {
    if (s_->clipboardCannotOpen) return std::nullopt;
    return s_->clipboard;
}

bool FakePlatform::SetClipboardText(const std::string& text) {
    if (s_->clipboardCannotOpen) return false;
    s_->clipboard = text;
    ++s_->clipboardWrites;
    return true;
}

// --- DDE ---

static std::string DdeKey(const std::string& service, const std::string& topic) {
    return Upper(service) + "\n" + Upper(topic);
}

void FakePlatform::AddDdeResponder(const std::string& service, const std::string& topic,
                                   DdeResponder responder) {
    s_->ddeResponders[DdeKey(service, topic)] = {service, topic, std::move(responder)};
}
void FakePlatform::RemoveDdeResponder(const std::string& service, const std::string& topic) {
    s_->ddeResponders.erase(DdeKey(service, topic));
}
const std::vector<FakePlatform::DdeRecord>& FakePlatform::DdeLog() const { return s_->ddeLog; }
std::size_t FakePlatform::OpenDdeConversations() const { return s_->conversations.size(); }

DdeConversation FakePlatform::DdeConnect(const std::string& service, const std::string& topic) {
    DdeRecord r;
    r.kind = DdeRecord::Connect;
    r.service = service;
    r.topic = topic;
    r.tick = s_->Tick();
    r.ok = s_->ddeResponders.count(DdeKey(service, topic)) > 0;
    s_->ddeLog.push_back(r);
    if (!r.ok) return 0;
    DdeConversation id = s_->nextConversation;
    s_->nextConversation += 4;
    s_->conversations[id] = {service, topic};
    return id;
}

std::optional<std::string> FakePlatform::DdeRequest(DdeConversation conversation,
                                                    const std::string& item,
                                                    std::uint32_t timeoutMs) {
    DdeRecord r;
    r.kind = DdeRecord::Request;
    r.item = item;
    r.timeoutMs = timeoutMs;
    r.tick = s_->Tick();
    auto conv = s_->conversations.find(conversation);
    // No string handle for such an item: nothing reaches the server.
    const bool carried = !item.empty() && item.size() <= kDdeItemMaxLength;
    if (conv == s_->conversations.end() || !carried || s_->Fault(OpKind::DdeRequest, item)) {
        if (conv != s_->conversations.end()) {
            r.service = conv->second.service;
            r.topic = conv->second.topic;
        }
        s_->ddeLog.push_back(r);
        return std::nullopt;
    }
    r.service = conv->second.service;
    r.topic = conv->second.topic;
    auto responder = s_->ddeResponders.find(DdeKey(r.service, r.topic));
    if (responder != s_->ddeResponders.end() && responder->second.answer) {
        auto answer = responder->second.answer;
        r.reply = answer(*this, item);
    }
    r.ok = r.reply.has_value();
    if (!r.ok) s_->AdvanceTo(*this, s_->now + timeoutMs);  // no answer in time
    s_->ddeLog.push_back(r);
    return r.reply;
}

void FakePlatform::DdeDisconnect(DdeConversation conversation) {
    DdeRecord r;
    r.kind = DdeRecord::Disconnect;
    r.tick = s_->Tick();
    auto conv = s_->conversations.find(conversation);
    if (conv != s_->conversations.end()) {
        r.service = conv->second.service;
        r.topic = conv->second.topic;
        r.ok = true;
        s_->conversations.erase(conv);
    }
    s_->ddeLog.push_back(r);
}

// --- message boxes, dialogs, shell ---

void FakePlatform::QueueMessageBoxAnswer(int answer) { s_->messageBoxAnswers.push_back(answer); }
void FakePlatform::SetMessageBoxDefault(std::optional<int> answer) {
    s_->messageBoxDefault = answer;
}
void FakePlatform::SetMessageBoxHook(
    std::function<std::optional<int>(FakePlatform&, const MessageBoxRecord&)> hook) {
    s_->messageBoxHook = std::move(hook);
}
const std::vector<FakePlatform::MessageBoxRecord>& FakePlatform::MessageBoxes() const {
    return s_->messageBoxes;
}

// The button Enter would press: MB_DEFBUTTONn of the box's buttons.
static int DefaultButton(std::uint32_t flags) {
    static const std::vector<int> buttons[] = {
        {answer::Ok},
        {answer::Ok, answer::Cancel},
        {answer::Abort, answer::Retry, answer::Ignore},
        {answer::Yes, answer::No, answer::Cancel},
        {answer::Yes, answer::No},
        {answer::Retry, answer::Cancel},
        {answer::Cancel, 10, 11},  // Cancel, Try Again, Continue
    };
    std::uint32_t type = flags & 0xF;
    if (type > 6) return answer::Ok;
    const auto& set = buttons[type];
    std::size_t index = (flags >> 8) & 0xF;
    return index < set.size() ? set[index] : set.front();
}

int FakePlatform::MessageBox(WindowId owner, const std::string& text, const std::string& title,
                             std::uint32_t flags) {
    MessageBoxRecord r{owner, text, title, flags, 0, s_->Tick()};
    std::optional<int> answer;
    if (!s_->messageBoxAnswers.empty()) {
        answer = s_->messageBoxAnswers.front();
        s_->messageBoxAnswers.pop_front();
    }
    if (!answer && s_->messageBoxHook) {
        auto hook = s_->messageBoxHook;
        answer = hook(*this, r);
    }
    if (!answer && (flags & 0xF) == mb::Ok) answer = answer::Ok;
    if (!answer) answer = s_->messageBoxDefault;
    r.answer = answer ? *answer : DefaultButton(flags);
    s_->messageBoxes.push_back(r);
    return r.answer;
}

void FakePlatform::QueueFileDialogAnswer(std::optional<std::string> path) {
    s_->fileDialogAnswers.push_back(std::move(path));
}
void FakePlatform::SetFileDialogHook(
    std::function<std::optional<std::string>(FakePlatform&, const FileDialogRequest&)> hook) {
    s_->fileDialogHook = std::move(hook);
}
const std::vector<FileDialogRequest>& FakePlatform::FileDialogs() const {
    return s_->fileDialogs;
}

std::optional<std::string> FakePlatform::FileDialog(const FileDialogRequest& request) {
    s_->fileDialogs.push_back(request);
    if (!s_->fileDialogAnswers.empty()) {
        auto answer = s_->fileDialogAnswers.front();
        s_->fileDialogAnswers.pop_front();
        return answer;
    }
    if (s_->fileDialogHook) {
        auto hook = s_->fileDialogHook;
        return hook(*this, request);
    }
    return std::nullopt;
}

void FakePlatform::QueueBrowseForFolderAnswer(std::optional<std::string> folder) {
    s_->browseAnswers.push_back(std::move(folder));
}
const std::vector<FakePlatform::BrowseRecord>& FakePlatform::FolderBrowses() const {
    return s_->browses;
}

std::optional<std::string> FakePlatform::BrowseForFolder(WindowId owner,
                                                         const std::string& title,
                                                         const std::string& startFolder) {
    s_->browses.push_back({owner, title, startFolder});
    if (s_->browseAnswers.empty()) return std::nullopt;
    auto answer = s_->browseAnswers.front();
    s_->browseAnswers.pop_front();
    return answer;
}

void FakePlatform::SetShellOpenResult(bool ok) { s_->shellOpenResult = ok; }
const std::vector<std::string>& FakePlatform::ShellOpens() const { return s_->shellOpens; }

bool FakePlatform::ShellOpen(const std::string& path) {
    s_->shellOpens.push_back(path);
    return s_->shellOpenResult;
}

}  // namespace common
