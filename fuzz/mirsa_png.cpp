// The PNG writer round trip: images of arbitrary size, with pixels from the
// input (repeated) or from noise that does not compress, read back by an
// independent reader: every CRC right, IHDR first and IEND last, every IDAT
// but the last exactly kIdatChunkBytes long, the Sub filter on every row, and
// the inflated, unfiltered pixels equal to the input. Broken images give no file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "mirsa/screenshot.h"
#include "tests/support/png_reader.h"

namespace {

using fuzz_support::Require;

void CheckRoundTrip(const common::Image& image) {
    const std::string file = mirsa::EncodePng(image);
    const std::optional<testing_png::PngFile> png = testing_png::ReadPng(file);
    Require(png.has_value());
    const auto& chunks = png->chunks;
    Require(chunks.size() >= 3 && chunks.front().type == "IHDR" && chunks.back().type == "IEND");
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        Require(chunks[i].crcOk);
        if (i == 0 || i + 1 == chunks.size()) continue;
        Require(chunks[i].type == "IDAT");
        const bool last = i + 2 == chunks.size();
        Require(last ? !chunks[i].data.empty() && chunks[i].data.size() <= mirsa::kIdatChunkBytes
                     : chunks[i].data.size() == mirsa::kIdatChunkBytes);
    }
    Require(png->width == image.width && png->height == image.height);
    Require(png->bitDepth == 8 && png->colourType == 2 && png->interlace == 0);
    Require(png->rowFilters == std::vector<std::uint8_t>(image.height, 1));
    Require(png->image.rgb == image.rgb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    common::Image image;
    image.width = 1 + ((data[0] | data[1] << 8) % 400);
    image.height = 1 + ((data[2] | data[3] << 8) % 400);
    const std::uint8_t mode = data[4];
    const std::size_t bytes = static_cast<std::size_t>(image.width) * image.height * 3;
    image.rgb.resize(bytes);
    if (mode & 1) {
        fuzz_support::Random random(size);
        for (std::size_t i = 0; i < 5 && i < size; ++i) random.state = random.state * 31 + data[i];
        for (auto& b : image.rgb) b = static_cast<std::uint8_t>(random.Next());
    } else {
        for (std::size_t i = 0; i < bytes; ++i)
            image.rgb[i] = size > 5 ? data[5 + i % (size - 5)] : 0;
    }
    CheckRoundTrip(image);

    // A buffer of the wrong size or no pixels at all: no file.
    common::Image broken = image;
    broken.rgb.resize(bytes - 1 - mode % 2);
    Require(mirsa::EncodePng(broken).empty());
    broken = image;
    (mode & 2 ? broken.width : broken.height) = 0;
    Require(mirsa::EncodePng(broken).empty());

    // The chunk split on its own: lengths and the stream joined again.
    const std::vector<std::uint8_t> stream(data, data + size);
    const std::string idat = mirsa::IdatChunks(stream);
    std::string joined;
    for (std::size_t at = 0; at < idat.size();) {
        Require(at + 12 <= idat.size());
        const std::size_t length = static_cast<std::uint8_t>(idat[at]) << 24 |
                                   static_cast<std::uint8_t>(idat[at + 1]) << 16 |
                                   static_cast<std::uint8_t>(idat[at + 2]) << 8 |
                                   static_cast<std::uint8_t>(idat[at + 3]);
        Require(idat.compare(at + 4, 4, "IDAT") == 0 && length <= mirsa::kIdatChunkBytes);
        joined.append(idat, at + 8, length);
        at += 12 + length;
    }
    Require(joined == std::string(stream.begin(), stream.end()));
    return 0;
}
