// FakePlatform: SetFileAttributes on the in-memory file system.
#include "tests/support/fake_platform.h"
#include "tests/support/fake_state.h"

namespace common {

bool FakePlatform::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
    auto it = s_->nodes.find(fake::Upper(s_->Norm(path)));
    if (it == s_->nodes.end()) return false;
    it->second.readOnly = (attributes & file_attr::ReadOnly) != 0;
    it->second.hidden = (attributes & file_attr::Hidden) != 0;
    return true;
}

}  // namespace common
