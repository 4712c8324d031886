// Files, folders and disks: whole-file reads and writes, attributes, listing,
// free space.
#include "common/win32/win32_api.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/whole_file.h"
#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

DWORD QuietAttributes(const std::string& path) {
    QuietErrorBoxes quiet;
    return GetFileAttributesA(path.c_str());
}

bool WriteAll(HANDLE file, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, data.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

enum class WriteOutcome { NotOpened, Written, WriteFailed };

WriteOutcome WriteWhole(const std::string& path, DWORD disposition, const std::string& data) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return WriteOutcome::NotOpened;
    bool ok = WriteAll(file, data);
    if (!CloseHandle(file)) ok = false;
    return ok ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

}  // namespace

// --- files and folders ---

bool Win32Platform::FileExists(const std::string& path) {
    DWORD a = QuietAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::FolderExists(const std::string& path) {
    DWORD a = QuietAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> Win32Platform::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> Win32Platform::ReadFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> result;
    LARGE_INTEGER size;
    // A file larger than a text of this build holds is unreadable (on i686 a
    // text of 1 GiB or more would throw std::length_error, not bad_alloc).
    const std::optional<std::size_t> bytes =
        GetFileSizeEx(file, &size) && size.QuadPart >= 0
            ? WholeFileBytes(static_cast<std::uint64_t>(size.QuadPart))
            : std::nullopt;
    if (bytes) {
        try {
            std::string data(*bytes, '\0');
            std::size_t done = 0;
            bool ok = true;
            while (done < data.size()) {
                DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
                DWORD got = 0;
                if (!::ReadFile(file, &data[done], chunk, &got, nullptr)) {
                    ok = false;
                    break;
                }
                if (got == 0) break;  // the file shrank meanwhile
                done += got;
            }
            data.resize(done);
            if (ok) result = std::move(data);
        } catch (const std::bad_alloc&) {
            result.reset();
        }
    }
    CloseHandle(file);
    return result;
}

bool Win32Platform::WriteFile(const std::string& path, const std::string& data) {
    return WriteWhole(path, CREATE_ALWAYS, data) == WriteOutcome::Written;
}

bool Win32Platform::CreateNewFile(const std::string& path, const std::string& data) {
    const WriteOutcome outcome = WriteWhole(path, CREATE_NEW, data);
    // Only a file made here is removed again; a name that was taken stays.
    if (outcome == WriteOutcome::WriteFailed) DeleteFileA(path.c_str());
    return outcome == WriteOutcome::Written;
}

bool Win32Platform::AppendFile(const std::string& path, const std::string& data) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, data);
    if (!CloseHandle(file)) ok = false;
    return ok;
}

bool Win32Platform::DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32Platform::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool Win32Platform::LinkFile(const std::string& existing, const std::string& link) {
    return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
}

bool Win32Platform::MoveFile(const std::string& from, const std::string& to, bool replace) {
    DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

bool Win32Platform::CreateFolder(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32Platform::RemoveFolder(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

std::vector<FolderEntry> Win32Platform::FindFiles(const std::string& mask) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA data;
    HANDLE find = INVALID_HANDLE_VALUE;
    {
        QuietErrorBoxes quiet;
        find = FindFirstFileA(mask.c_str(), &data);
    }
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
            continue;
        FolderEntry entry;
        entry.name = data.cFileName;
        entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.writeTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
        entries.push_back(std::move(entry));
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}

bool Win32Platform::IsReadOnly(const std::string& path) {
    DWORD a = QuietAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool Win32Platform::SetHidden(const std::string& path, bool hidden) {
    DWORD a = QuietAttributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    a = hidden ? (a | FILE_ATTRIBUTE_HIDDEN) : (a & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesA(path.c_str(), a) != 0;
}

bool Win32Platform::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}

// --- disks ---

std::optional<std::uint64_t> Win32Platform::FreeDiskSpace(const std::string& path) {
    // The volume's total free bytes (not the caller's quota share); the Ex
    // function is looked up at run time and the cluster arithmetic serves
    // where the system lacks it.
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    static const FreeSpaceEx freeSpaceEx = reinterpret_cast<FreeSpaceEx>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
    QuietErrorBoxes quiet;
    std::optional<std::uint64_t> result;
    if (freeSpaceEx) {
        ULARGE_INTEGER available, total, free;
        if (freeSpaceEx(path.c_str(), &available, &total, &free)) result = free.QuadPart;
    } else {
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        if (GetDiskFreeSpaceA(path.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                              &clusters))
            result = std::uint64_t(bytesPerSector) * sectorsPerCluster * freeClusters;
    }
    return result;
}

int Win32Platform::DriveType(const std::string& root) {
    return static_cast<int>(GetDriveTypeA(root.c_str()));
}

}  // namespace common
