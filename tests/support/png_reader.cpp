#include "tests/support/png_reader.h"

#include <zlib.h>

#include <cstdlib>

namespace testing_png {

namespace {

std::uint32_t BigEndian(const std::string& s, std::size_t at) {
    return (std::uint32_t(std::uint8_t(s[at])) << 24) | (std::uint32_t(std::uint8_t(s[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(s[at + 2])) << 8) | std::uint32_t(std::uint8_t(s[at + 3]));
}

std::optional<std::string> Inflate(const std::string& stream, std::size_t expected) {
    std::string out(expected + 1, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &size,
                   reinterpret_cast<const Bytef*>(stream.data()),
                   static_cast<uLong>(stream.size())) != Z_OK)
        return std::nullopt;
    out.resize(size);
    return out;
}

int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

}  // namespace

std::optional<PngFile> ReadPng(const std::string& bytes) {
    static const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
    if (bytes.compare(0, 8, kSignature) != 0) return std::nullopt;
    PngFile png;
    for (std::size_t at = 8; at < bytes.size();) {
        if (at + 12 > bytes.size()) return std::nullopt;
        std::uint32_t length = BigEndian(bytes, at);
        if (at + 12 + length > bytes.size()) return std::nullopt;
        Chunk c;
        c.type = bytes.substr(at + 4, 4);
        c.data = bytes.substr(at + 8, length);
        uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), length + 4);
        c.crcOk = crc == BigEndian(bytes, at + 8 + length);
        png.chunks.push_back(c);
        at += 12 + length;
    }
    if (png.chunks.empty() || png.chunks[0].type != "IHDR" || png.chunks[0].data.size() != 13)
        return std::nullopt;
    const std::string& h = png.chunks[0].data;
    png.width = static_cast<int>(BigEndian(h, 0));
    png.height = static_cast<int>(BigEndian(h, 4));
    png.bitDepth = std::uint8_t(h[8]);
    png.colourType = std::uint8_t(h[9]);
    png.compression = std::uint8_t(h[10]);
    png.filterMethod = std::uint8_t(h[11]);
    png.interlace = std::uint8_t(h[12]);
    for (const Chunk& c : png.chunks)
        if (c.type == "IDAT") png.stream += c.data;
    if (png.bitDepth != 8 || png.colourType != 2 || png.width <= 0 || png.height <= 0)
        return std::nullopt;

    const std::size_t rowBytes = static_cast<std::size_t>(png.width) * 3;
    const std::size_t rows = static_cast<std::size_t>(png.height);
    std::optional<std::string> raw = Inflate(png.stream, (rowBytes + 1) * rows);
    if (!raw || raw->size() != (rowBytes + 1) * rows) return std::nullopt;
    png.image.width = png.width;
    png.image.height = png.height;
    png.image.rgb.assign(rowBytes * rows, 0);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::uint8_t filter = std::uint8_t((*raw)[y * (rowBytes + 1)]);
        png.rowFilters.push_back(filter);
        const char* in = raw->data() + y * (rowBytes + 1) + 1;
        std::uint8_t* out = &png.image.rgb[y * rowBytes];
        const std::uint8_t* up = y ? out - rowBytes : nullptr;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            int a = i >= 3 ? out[i - 3] : 0, b = up ? up[i] : 0, c = (up && i >= 3) ? up[i - 3] : 0;
            int predictor;
            switch (filter) {
            case 0: predictor = 0; break;
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: predictor = Paeth(a, b, c); break;
            default: return std::nullopt;
            }
            out[i] = static_cast<std::uint8_t>(std::uint8_t(in[i]) + predictor);
        }
    }
    return png;
}

std::uint32_t PixelAt(const common::Image& image, int x, int y) {
    const std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

}  // namespace testing_png
