#include "common/ini.h"

#include "common/helpers.h"

namespace common {

bool WriteFileAtomic(Platform& p, const std::string& path, const std::string& data) {
    // The temporary name keeps the whole original name in front, so it never
    // matches a mask such as "*.ini" that lists the originals. Each writer
    // takes a name of its own by creating it, so two processes writing one
    // file never write into each other's temporary file.
    constexpr int kTemporaryNames = 1000;
    constexpr int kTriesPerName = 3;
    int tries = 0;
    for (int n = 0; n < kTemporaryNames;) {
        const std::string temp = path + ".~new" + (n == 0 ? std::string() : std::to_string(n));
        if (p.CreateNewFile(temp, data)) {
            if (p.MoveFile(temp, path, true)) return true;
            p.DeleteFile(temp);
            return false;
        }
        if (p.FileExists(temp) || p.FolderExists(temp)) {
            ++n;  // another writer's
            tries = 0;
            continue;
        }
        // Nothing there: another writer moved its file away just now, or the
        // folder cannot be written, which a few tries tell apart.
        if (++tries == kTriesPerName) return false;
    }
    return false;
}

}  // namespace common
