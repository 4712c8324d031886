// Reads back the PNG files the screenshots write: the chunks with their CRC
// checks, the inflated stream and the pixels after undoing the row filters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/platform.h"

namespace testing_png {

struct Chunk {
    std::string type;
    std::string data;
    bool crcOk = false;
};

struct PngFile {
    std::vector<Chunk> chunks;
    int width = 0, height = 0;
    int bitDepth = 0, colourType = 0, compression = -1, filterMethod = -1, interlace = -1;
    std::string stream;                  // the IDAT data joined
    std::vector<std::uint8_t> rowFilters;  // the filter byte of each row
    common::Image image;                 // pixels, rows top to bottom
};

// nullopt when the signature, a chunk length, the stream or a row filter is broken.
std::optional<PngFile> ReadPng(const std::string& bytes);

// The RGB of pixel (x, y).
std::uint32_t PixelAt(const common::Image& image, int x, int y);

}  // namespace testing_png
