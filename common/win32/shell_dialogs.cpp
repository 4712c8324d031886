// Message boxes, common dialogs and the shell's file operations.
#include "common/win32/win32_api.h"
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "common/helpers.h"
#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

// A function of the shell, common-dialog or COM library, that library loaded
// from the system folder on first use. Only dialogs and shell operations need
// them, and linking them would load all three at every start of every
// program (tens of milliseconds under Wine). Null when it cannot be had.
template <typename Fn>
Fn SystemFunction(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    if (!module) {
        char folder[MAX_PATH] = {};
        UINT n = GetSystemDirectoryA(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        module = LoadLibraryA((std::string(folder) + "\\" + library).c_str());
    }
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// "HTML|*.htm|All|*.*" -> "HTML\0*.htm\0All\0*.*\0\0"
std::string DialogFilter(const std::string& pairs) {
    std::string filter = pairs;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    if (!filter.empty() && filter.back() != '\0') filter.push_back('\0');
    filter.push_back('\0');
    return filter;
}

// The shell reads each path as a list of names ending in an empty one.
std::string DoubleZero(const std::string& path) {
    std::string list = path;
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

}  // namespace

int Win32Platform::MessageBox(WindowId owner, const std::string& text, const std::string& title,
                              std::uint32_t flags) {
    return MessageBoxA(AsWindow(owner), text.c_str(), title.c_str(), flags);
}

std::optional<std::string> Win32Platform::FileDialog(const FileDialogRequest& request) {
    std::string filter = DialogFilter(request.filter);
    std::string name(32768, '\0');
    std::memcpy(&name[0], request.fileName.data(), std::min(request.fileName.size(), name.size() - 1));
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = AsWindow(request.owner);
    ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = &name[0];
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrInitialDir = OrNull(request.initialFolder);
    ofn.lpstrTitle = OrNull(request.title);
    ofn.lpstrDefExt = OrNull(request.defaultExtension);
    ofn.Flags = request.flags | OFN_EXPLORER;
    using FileDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEA);
    const auto dialog = SystemFunction<FileDialogFn>(
        "comdlg32.dll", request.save ? "GetSaveFileNameA" : "GetOpenFileNameA");
    if (!dialog || !dialog(&ofn)) return std::nullopt;
    name.resize(std::strlen(name.c_str()));
    return name;
}

namespace {

// Selects the starting folder once the browser is up.
int CALLBACK BrowseStartCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

std::optional<std::string> Win32Platform::BrowseForFolder(WindowId owner, const std::string& title,
                                                          const std::string& startFolder) {
    using InitializeFn = HRESULT(WINAPI*)(LPVOID);
    using UninitializeFn = void(WINAPI*)();
    using FreeFn = void(WINAPI*)(LPVOID);
    using BrowseFn = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOA);
    using PathFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
    const auto initialize = SystemFunction<InitializeFn>("ole32.dll", "CoInitialize");
    const auto uninitialize = SystemFunction<UninitializeFn>("ole32.dll", "CoUninitialize");
    const auto freeList = SystemFunction<FreeFn>("ole32.dll", "CoTaskMemFree");
    const auto browse = SystemFunction<BrowseFn>("shell32.dll", "SHBrowseForFolderA");
    const auto pathOf = SystemFunction<PathFn>("shell32.dll", "SHGetPathFromIDListA");
    if (!initialize || !uninitialize || !freeList || !browse || !pathOf) return std::nullopt;
    HRESULT com = initialize(nullptr);
    char display[MAX_PATH] = {};
    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = AsWindow(owner);
    info.pszDisplayName = display;
    info.lpszTitle = title.empty() ? nullptr : title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseStartCallback;
    info.lParam = startFolder.empty() ? 0 : reinterpret_cast<LPARAM>(startFolder.c_str());
    std::optional<std::string> result;
    if (LPITEMIDLIST list = browse(&info)) {
        char path[MAX_PATH] = {};
        if (pathOf(list, path)) result = std::string(path);
        freeList(list);
    }
    if (SUCCEEDED(com)) uninitialize();
    return result;
}

std::string Win32Platform::KnownFolderPath(KnownFolder folder) {
    using FolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    const auto folderPath = SystemFunction<FolderPathFn>("shell32.dll", "SHGetFolderPathA");
    if (!folderPath) return "";
    const int id = folder == KnownFolder::AppData ? CSIDL_APPDATA : CSIDL_PERSONAL;
    char path[MAX_PATH] = {};
    if (FAILED(folderPath(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
    return WithoutTrailingBackslash(path);
}

bool Win32Platform::ShellOpen(const std::string& path) {
    using ExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    const auto execute = SystemFunction<ExecuteFn>("shell32.dll", "ShellExecuteA");
    if (!execute) return false;
    HINSTANCE r = execute(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

int Win32Platform::ShellFileOperation(WindowId owner, unsigned operation, std::uint16_t flags,
                                      const std::string& from, const std::string& to) {
    using OperationFn = int(WINAPI*)(LPSHFILEOPSTRUCTA);
    const auto operate = SystemFunction<OperationFn>("shell32.dll", "SHFileOperationA");
    if (!operate) return ERROR_PROC_NOT_FOUND;
    std::string source = DoubleZero(from), target = DoubleZero(to);
    SHFILEOPSTRUCTA op;
    std::memset(&op, 0, sizeof op);
    op.hwnd = AsWindow(owner);
    op.wFunc = operation;
    op.pFrom = source.c_str();
    op.pTo = to.empty() ? nullptr : target.c_str();
    op.fFlags = flags;
    int result = operate(&op);
    // A question the user answered with No or Cancel leaves the work undone.
    if (result == 0 && op.fAnyOperationsAborted) result = ERROR_CANCELLED;
    return result;
}

}  // namespace common
