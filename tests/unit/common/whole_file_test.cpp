#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "common/whole_file.h"

namespace common {
namespace {

// What a std::string holds at most: libstdc++ in the i686 build (measured
// there), and a 64-bit build.
constexpr std::size_t kI686TextMax = 0x3FFFFFFF;
constexpr std::size_t k64BitTextMax = static_cast<std::size_t>(0x3FFFFFFFFFFFFFFFull);

TEST(WholeFile, TooLargeForTheBuildIsRefusedNeverCut) {
    constexpr std::uint64_t GiB = 1ull << 30;
    const struct {
        const char* name;
        std::uint64_t size;
        std::size_t textMax;
        std::optional<std::uint64_t> bytes;
    } cases[] = {
        {"empty", 0, kI686TextMax, 0},
        {"small", 4096, kI686TextMax, 4096},
        {"the most an i686 text holds", GiB - 1, kI686TextMax, GiB - 1},
        {"one byte more on i686", GiB, kI686TextMax, std::nullopt},
        {"1.5 GiB on i686", GiB + GiB / 2, kI686TextMax, std::nullopt},
        {"1.5 GiB on 64 bits", GiB + GiB / 2, k64BitTextMax, GiB + GiB / 2},
        {"just below 2 GiB on 64 bits", 0x7FFFFFFE, k64BitTextMax, 0x7FFFFFFE},
        {"2 GiB on 64 bits", 0x7FFFFFFF, k64BitTextMax, std::nullopt},
        // As a 32-bit size_t these would read as 100 bytes and 1 GiB.
        {"4 GiB + 100 on i686", 4 * GiB + 100, kI686TextMax, std::nullopt},
        {"5 GiB on i686", 5 * GiB, kI686TextMax, std::nullopt},
        {"5 GiB on 64 bits", 5 * GiB, k64BitTextMax, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<std::size_t> bytes = WholeFileBytes(c.size, c.textMax);
        EXPECT_EQ(bytes ? std::optional<std::uint64_t>(*bytes) : std::nullopt, c.bytes) << c.name;
    }
}

}  // namespace
}  // namespace common
