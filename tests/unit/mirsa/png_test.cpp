#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "mirsa/screenshot.h"
#include "tests/support/png_reader.h"

namespace mirsa {
namespace {

using testing_png::ReadPng;

common::Image RandomImage(int width, int height, unsigned seed, int levels = 256) {
    common::Image image;
    image.width = width;
    image.height = height;
    std::mt19937 random(seed);
    for (int i = 0; i < width * height * 3; ++i)
        image.rgb.push_back(static_cast<std::uint8_t>(random() % levels * (256 / levels)));
    return image;
}

// Decoded with zlib: the pixels come back, every chunk's CRC holds, only
// IHDR, IDAT and IEND appear, every row uses the Sub filter, and the stream
// is zlib's own deflate at level 7 of the Sub-filtered rows.
TEST(MirsaPng, RoundTripAndLayout) {
    struct Case {
        int width, height, levels;
    } cases[] = {{1, 1, 256}, {2, 1, 256}, {1, 5, 256}, {7, 3, 4}, {300, 200, 256}, {640, 480, 2}};
    for (const auto& c : cases) {
        const common::Image image = RandomImage(c.width, c.height, c.width * 31u + c.height, c.levels);
        const std::string bytes = EncodePng(image);
        auto png = ReadPng(bytes);
        ASSERT_TRUE(png) << c.width << "x" << c.height;
        EXPECT_EQ(png->image.rgb, image.rgb);
        EXPECT_EQ(png->width, c.width);
        EXPECT_EQ(png->height, c.height);
        EXPECT_EQ(png->compression, 0);
        EXPECT_EQ(png->filterMethod, 0);
        EXPECT_EQ(png->interlace, 0);
        ASSERT_GE(png->chunks.size(), 3u);
        EXPECT_EQ(png->chunks.front().type, "IHDR");
        EXPECT_EQ(png->chunks.back().type, "IEND");
        EXPECT_TRUE(png->chunks.back().data.empty());
        for (std::size_t i = 0; i < png->chunks.size(); ++i) {
            EXPECT_TRUE(png->chunks[i].crcOk) << i;
            if (i > 0 && i + 1 < png->chunks.size()) EXPECT_EQ(png->chunks[i].type, "IDAT");
        }
        EXPECT_EQ(png->rowFilters, std::vector<std::uint8_t>(c.height, 1));

        std::vector<std::uint8_t> rows = SubFilteredRows(image);
        std::vector<std::uint8_t> floor(compressBound(rows.size()));
        uLongf size = floor.size();
        ASSERT_EQ(compress2(floor.data(), &size, rows.data(), rows.size(), 7), Z_OK);
        EXPECT_EQ(png->stream, std::string(floor.begin(), floor.begin() + size));
    }
}

// The stream is cut into chunks of 65,535 bytes with the rest in the last;
// a stream of whole chunks has no empty chunk after them.
TEST(MirsaPng, IdatSplit) {
    struct Case {
        std::size_t streamBytes;
        std::vector<std::size_t> chunkSizes;
    } cases[] = {
        {1, {1}},
        {65535, {65535}},
        {65536, {65535, 1}},
        {2 * 65535, {65535, 65535}},
        {3 * 65536, {65535, 65535, 65535, 3}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> stream(c.streamBytes);
        for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<std::uint8_t>(i * 7);
        const std::string chunks = IdatChunks(stream);
        // Wrapped as a file without IHDR, the reader still lists the chunks.
        std::string file = std::string("\x89PNG\r\n\x1a\n", 8) + chunks;
        std::vector<std::size_t> sizes;
        std::string joined;
        std::size_t at = 8;
        while (at < file.size()) {
            std::size_t length = (std::size_t(std::uint8_t(file[at])) << 24) |
                                 (std::size_t(std::uint8_t(file[at + 1])) << 16) |
                                 (std::size_t(std::uint8_t(file[at + 2])) << 8) |
                                 std::uint8_t(file[at + 3]);
            EXPECT_EQ(file.substr(at + 4, 4), "IDAT");
            const std::string data = file.substr(at + 8, length);
            uLong crc = crc32(crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4),
                              reinterpret_cast<const Bytef*>(data.data()), length);
            const std::string crcBytes = file.substr(at + 8 + length, 4);
            EXPECT_EQ(crcBytes, std::string({char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)}));
            sizes.push_back(length);
            joined += data;
            at += 12 + length;
        }
        EXPECT_EQ(sizes, c.chunkSizes) << c.streamBytes;
        EXPECT_EQ(joined, std::string(stream.begin(), stream.end()));
    }
}

// A large incompressible image spreads over many full chunks.
TEST(MirsaPng, LargeImageChunks) {
    const common::Image image = RandomImage(400, 300, 5);
    auto png = ReadPng(EncodePng(image));
    ASSERT_TRUE(png);
    std::size_t idats = png->chunks.size() - 2;
    ASSERT_GT(idats, 5u);
    for (std::size_t i = 1; i < idats; ++i) EXPECT_EQ(png->chunks[i].data.size(), 65535u);
    EXPECT_GT(png->chunks[idats].data.size(), 0u);
    EXPECT_EQ(png->image.rgb, image.rgb);
}

TEST(MirsaPng, MalformedImagesGiveNothing) {
    common::Image wrongSize = RandomImage(4, 4, 1);
    wrongSize.rgb.pop_back();
    common::Image empty;
    common::Image negative;
    negative.width = -1;
    negative.height = 1;
    for (const auto& image : {wrongSize, empty, negative}) EXPECT_EQ(EncodePng(image), "");
}

}  // namespace
}  // namespace mirsa
