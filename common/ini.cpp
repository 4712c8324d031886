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
    constexpr int kMoveTries = 20;
    constexpr std::uint32_t kMoveRetryMs = 10;
    int tries = 0;
    for (int n = 0; n < kTemporaryNames;) {
        const std::string temp = path + ".~new" + (n == 0 ? std::string() : std::to_string(n));
        if (p.CreateNewFile(temp, data)) {
            // Another writer replacing the file at this moment holds it for a
            // moment; a few short waits see that through.
            for (int move = 0; move < kMoveTries; ++move) {
                if (p.MoveFile(temp, path, true)) return true;
                p.Sleep(kMoveRetryMs);
            }
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
