#include "common/ini.h"

#include "common/helpers.h"

namespace common {

bool WriteFileAtomic(Platform& p, const std::string& path, const std::string& data) {
    // The temporary name keeps the whole original name in front, so it never
    // matches a mask such as "*.ini" that lists the originals. Each writer
    // takes a name of its own by creating it, so two processes writing one
    // file never write into each other's temporary file.
    constexpr int kTemporaryNames = 1000;
    for (int n = 0; n < kTemporaryNames; ++n) {
        const std::string temp = path + ".~new" + (n == 0 ? std::string() : std::to_string(n));
        if (!p.CreateNewFile(temp, data)) {
            if (p.FileExists(temp) || p.FolderExists(temp)) continue;  // another writer's
            return false;  // cannot be written here
        }
        if (p.MoveFile(temp, path, true)) return true;
        p.DeleteFile(temp);
        return false;
    }
    return false;
}

}  // namespace common
