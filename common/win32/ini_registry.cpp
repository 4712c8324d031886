// Private-profile (INI) files through the system's functions, and string
// values of the user's registry hive.
#include "common/win32/win32_api.h"

#include <algorithm>
#include <cstring>

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

constexpr std::size_t kIniBuffer = 4096;

}  // namespace

// --- private-profile files ---

std::string Win32Platform::IniReadString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& def) {
    char buffer[kIniBuffer];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer,
                                       sizeof buffer, file.c_str());
    return std::string(buffer, std::min<std::size_t>(n, sizeof buffer - 1));
}

int Win32Platform::IniReadInt(const std::string& file, const std::string& section,
                              const std::string& key, int def) {
    return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), def, file.c_str()));
}

bool Win32Platform::IniWriteString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

std::vector<std::string> Win32Platform::IniSectionNames(const std::string& file,
                                                        std::size_t bufferSize) {
    std::vector<std::string> names;
    if (bufferSize < 2) return names;
    std::string buffer(bufferSize, '\0');
    DWORD n = GetPrivateProfileSectionNamesA(&buffer[0], static_cast<DWORD>(bufferSize), file.c_str());
    std::size_t end = std::min<std::size_t>(n, bufferSize);
    std::size_t start = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (buffer[i] != '\0') continue;
        if (i == start) break;
        names.emplace_back(buffer, start, i - start);
        start = i + 1;
    }
    if (start < end) names.emplace_back(buffer, start, end - start);
    return names;
}

// --- registry ---

std::optional<std::string> Win32Platform::RegistryUserString(const std::string& key,
                                                             const std::string& value) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::string> result;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(handle, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::string data(size + 1, '\0');
        DWORD got = size;
        if (RegQueryValueExA(handle, value.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(&data[0]), &got) == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(got, data.size()));
            data.resize(std::strlen(data.c_str()));  // the stored terminator(s)
            result = std::move(data);
        }
    }
    RegCloseKey(handle);
    return result;
}

}  // namespace common
