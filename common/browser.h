// Every point of contact with the browser, in one place: executables, INI
// files and keys, profile locations, window classes and the DDE service.
#pragma once

#include <optional>
#include <string>

#include "common/platform.h"

namespace common::browser {

// Installation folder.
inline constexpr const char* kKernelExe = "opkernel.exe";
inline constexpr const char* kOperaExe = "opera.exe";
inline constexpr const char* kLauncherExes[] = {"OperaAC.exe", "OperaPortable.exe", "Opera.exe"};
inline constexpr const char* kMarkerDll = "opera.dll";
inline constexpr const char* kDefaultsIni = "operadef6.ini";
inline constexpr const char* kSectionSystem = "System";
inline constexpr const char* kKeyMultiUser = "Multi User";
inline constexpr const char* kSectionInstall = "Install";
inline constexpr const char* kKeyMainDir = "MAINDIR";

// Profile.
inline constexpr const char* kProfileIni = "opera6.ini";
inline constexpr const char* kSectionState = "State";
inline constexpr const char* kKeyRun = "Run";
inline constexpr const char* kSectionUserPrefs = "User Prefs";
inline constexpr const char* kKeyUserJavaScript = "User JavaScript";
inline constexpr const char* kKeyUserJavaScriptFile = "User JavaScript File";
inline constexpr const char* kKeyOperaDirectory = "Opera Directory";
inline constexpr const char* kKeyCacheDirectory = "Cache Directory4";
inline constexpr const char* kKeySearchType = "Search Type";
inline constexpr const char* kSectionFileTypes = "File Types";
inline constexpr const char* kSectionFileTypesInfo = "File Types Section Info";
inline constexpr const char* kSectionFileTypesExtension = "File Types Extension";
inline constexpr const char* kShellFoldersKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kValueAppData = "AppData";
inline constexpr const char* kValueLocalAppData = "Local AppData";
inline constexpr const char* kValueDesktop = "Desktop";
inline constexpr const char* kValuePersonal = "Personal";

// Windows.
inline constexpr const char* kMainWindowClass = "OpWindow";
inline constexpr const char* kInnerWindowClass = "OperaWindowClass";
inline constexpr const char* kTitleMark = "Opera";
inline constexpr const char* kTitleSuffix = " - Opera";
inline constexpr const char* kDialogClass = "#32770";
inline constexpr std::size_t kTextBuffer = 255;  // window text and class buffers

// DDE.
inline constexpr const char* kDdeService = "Opera";
inline constexpr const char* kTopicWindowInfo = "WWW_GetWindowInfo";
inline constexpr const char* kTopicOpenUrl = "WWW_OpenURL";
inline constexpr const char* kItemActiveWindow = "0xFFFFFFFF";
inline constexpr std::uint32_t kDdeTimeoutMs = 10000;

// Profile folders (with trailing backslash) of an installation folder given
// without trailing backslash.
std::string SingleUserProfileDir(const std::string& installDir);
std::string SingleUserMailDir(const std::string& installDir);
// AppData + "\opera\" + last component of installDir (the base, no backslash).
std::string MultiUserBaseDir(Platform& p, const std::string& installDir);
std::string MultiUserLocalBaseDir(Platform& p, const std::string& installDir);

// The test applied to one top-level window in search of the main window:
// visible, class "OpWindow", title holding "Opera".
bool IsBrowserMainWindow(Platform& p, WindowId window);
// The first top-level window that passes IsBrowserMainWindow, or 0.
WindowId FindBrowserWindow(Platform& p);

// Reply of WWW_GetWindowInfo: "<address>","<title>".
struct WindowInfo {
    std::string address;
    std::string title;
};
// The address part as the programs take it: the q - 2 characters behind the
// first character, q being the position of the first "," in quotes; empty
// when the reply has no such separator.
std::string AddressOfWindowInfo(const std::string& reply);
std::string FormatWindowInfo(const WindowInfo& info);

// DDE client connect with the one start attempt: if the first connection
// fails, start "<service> <topic>" (minimised without activation) and connect
// again only if that start succeeded.
enum class DdeStarter { CreateProcess, WinExec };
DdeConversation DdeConnectWithStart(Platform& p, const std::string& service,
                                    const std::string& topic, DdeStarter starter);
// Connect (with the start attempt), request one item, disconnect.
std::optional<std::string> DdeRequestOnce(Platform& p, const std::string& topic,
                                          const std::string& item, DdeStarter starter);

}  // namespace common::browser
