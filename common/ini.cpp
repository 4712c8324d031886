#include "common/ini.h"

#include "common/helpers.h"

namespace common {

bool WriteFileAtomic(Platform& p, const std::string& path, const std::string& data) {
    // The temporary name keeps the whole original name in front, so it never
    // matches a mask such as "*.ini" that lists the originals.
    const std::string temp = path + ".~new";
    if (!p.WriteFile(temp, data)) {
        p.DeleteFile(temp);
        return false;
    }
    if (!p.MoveFile(temp, path, true)) {
        p.DeleteFile(temp);
        return false;
    }
    return true;
}

}  // namespace common
