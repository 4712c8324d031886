#include <gtest/gtest.h>

#include "common/whole_file.h"

namespace common {
namespace {

TEST(WholeFile, TooLargeForTheBuildIsRefusedNeverCut) {
    constexpr std::uint64_t GiB = 1ull << 30;
    constexpr std::size_t i686 = 0x3FFFFFFF;  // std::string's max_size() there, measured
    constexpr std::size_t x64 = static_cast<std::size_t>(0x3FFFFFFFFFFFFFFFull);
    const struct {
        std::uint64_t size;
        std::size_t textMax;
        std::optional<std::uint64_t> bytes;
    } cases[] = {
        {0, i686, 0},
        {GiB - 1, i686, GiB - 1},
        {GiB, i686, std::nullopt},
        {GiB + GiB / 2, i686, std::nullopt},
        {GiB + GiB / 2, x64, GiB + GiB / 2},
        {0x7FFFFFFF, x64, std::nullopt},
        {4 * GiB + 100, i686, std::nullopt},  // 100 bytes as a 32-bit size_t
        {5 * GiB, x64, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<std::size_t> bytes = WholeFileBytes(c.size, c.textMax);
        EXPECT_EQ(bytes ? std::optional<std::uint64_t>(*bytes) : std::nullopt, c.bytes)
            << c.size << " into " << c.textMax;
    }
}

}  // namespace
}  // namespace common
