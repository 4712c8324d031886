// The format "png": a copy of the page view (or of the whole browser window
// for "all") written as a PNG file by our own encoder on zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/platform.h"
#include "mirsa/browser_window.h"
#include "mirsa/save.h"

namespace mirsa {

inline constexpr const char* kPngFilter = "Portable Network Graphics (*.png)|*.png";
inline constexpr int kPngDeflateLevel = 7;
inline constexpr std::size_t kIdatChunkBytes = 65535;

// Every row as PNG stores it with the Sub filter: the filter byte 1, then
// each byte less the byte of the pixel to its left.
std::vector<std::uint8_t> SubFilteredRows(const common::Image& image);

// A zlib stream cut into IDAT chunks of kIdatChunkBytes, the rest in the last.
std::string IdatChunks(const std::vector<std::uint8_t>& stream);

// The whole PNG file: IHDR (8-bit RGB, no interlace), the deflated rows in
// IDAT chunks of kIdatChunkBytes (the rest in the last), IEND. Empty for an
// image without pixels or with a buffer of the wrong size.
std::string EncodePng(const common::Image& image);

// Captures the window's client area and writes it to the path through a
// temporary file; false (and no file) when the capture or the write fails.
bool SaveWindowAsPng(common::Platform& p, common::WindowId window, const std::string& path);

// After the preparation of a save run: the capture, the file and its records.
SaveOutcome SaveScreenshot(common::Platform& p, const SaveRun& run, BrowserContact& contact,
                           const std::string& targetFolder, const std::string& workingName);

}  // namespace mirsa
