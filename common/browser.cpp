#include "common/browser.h"

#include "common/helpers.h"

namespace common::browser {

std::string SingleUserProfileDir(const std::string& installDir) {
    return installDir + "\\profile\\";
}

std::string SingleUserMailDir(const std::string& installDir) { return installDir + "\\mail\\"; }

namespace {
std::string LastComponent(const std::string& folder) {
    return FileNameOfPath(WithoutTrailingBackslash(folder));
}

std::string ShellFolder(Platform& p, const char* value) {
    return p.RegistryUserString(kShellFoldersKey, value).value_or("");
}
}  // namespace

std::string MultiUserBaseDir(Platform& p, const std::string& installDir) {
    return ShellFolder(p, kValueAppData) + "\\opera\\" + LastComponent(installDir);
}

std::string MultiUserLocalBaseDir(Platform& p, const std::string& installDir) {
    return ShellFolder(p, kValueLocalAppData) + "\\opera\\" + LastComponent(installDir);
}

bool IsBrowserMainWindow(Platform& p, WindowId window) {
    std::string title = p.WindowText(window, kTextBuffer);
    std::string className = p.ClassName(window, kTextBuffer);
    return p.IsWindow(window) && p.IsWindowVisible(window) && !title.empty() &&
           !className.empty() && className == kMainWindowClass && Contains(title, kTitleMark);
}

WindowId FindBrowserWindow(Platform& p) {
    for (WindowId window : p.TopLevelWindows())
        if (IsBrowserMainWindow(p, window)) return window;
    return 0;
}

std::string AddressOfWindowInfo(const std::string& reply) {
    // The address runs from just after the opening quote to the separator.
    const std::size_t separator = reply.find("\",\"");
    const std::size_t open = reply.find('"');
    if (separator == std::string::npos || open >= separator) return "";
    return reply.substr(open + 1, separator - open - 1);
}

std::string FormatWindowInfo(const WindowInfo& info) {
    return "\"" + info.address + "\",\"" + info.title + "\"";
}

DdeConversation DdeConnectWithStart(Platform& p, const std::string& service,
                                    const std::string& topic, DdeStarter starter) {
    DdeConversation conversation = p.DdeConnect(service, topic);
    if (conversation != 0) return conversation;
    const std::string commandLine = service + " " + topic;
    bool started = false;
    if (starter == DdeStarter::WinExec) {
        started = p.WinExec(commandLine, sw::ShowMinNoActive);
    } else {
        ProcessStart start;
        start.commandLine = commandLine;
        start.showWindow = sw::ShowMinNoActive;
        ProcessId process = p.StartProcess(start);
        started = process != 0;
        if (started) p.CloseProcess(process);
    }
    if (!started) return 0;
    return p.DdeConnect(service, topic);
}

std::optional<std::string> DdeRequestOnce(Platform& p, const std::string& topic,
                                          const std::string& item, DdeStarter starter) {
    DdeConversation conversation = DdeConnectWithStart(p, kDdeService, topic, starter);
    if (conversation == 0) return std::nullopt;
    std::optional<std::string> reply = p.DdeRequest(conversation, item, kDdeTimeoutMs);
    p.DdeDisconnect(conversation);
    return reply;
}

}  // namespace common::browser
