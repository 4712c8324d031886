// How much of a file a whole-file read takes into one text. Sizes come as 64
// bits from the system; the text's length is a size_t, 32 bits in the i686
// build, where a std::string holds at most 1 GiB - 1 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace common {

// Every build reads files below 2 GiB at most; the whole text is held in memory.
inline constexpr std::uint64_t kWholeFileLimit = 0x7FFFFFFF;

// The bytes to read for a file of fileSize into a text that holds at most
// textMax; nullopt when the file is too large for it (refused as unreadable,
// never cut to what fits).
std::optional<std::size_t> WholeFileBytes(std::uint64_t fileSize,
                                          std::size_t textMax = std::string().max_size());

}  // namespace common
