#include "common/whole_file.h"

namespace common {

std::optional<std::size_t> WholeFileBytes(std::uint64_t fileSize, std::size_t textMax) {
    // Compared as 64 bits: a 32-bit size_t would wrap a size over 4 GiB into a small one.
    if (fileSize >= kWholeFileLimit || fileSize > textMax) return std::nullopt;
    return static_cast<std::size_t>(fileSize);
}

}  // namespace common
