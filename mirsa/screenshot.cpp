#include "mirsa/screenshot.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/helpers.h"

namespace mirsa {

namespace {

constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;
constexpr std::size_t kBytesPerPixel = 3;
// Rows are filtered and handed to deflate in blocks of about this size.
constexpr std::size_t kFilterBlockBytes = 256 * 1024;

void PutBigEndian(std::string& out, std::uint32_t value) {
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    out.append(bytes, 4);
}

void PutChunk(std::string& out, const char* type, const std::uint8_t* data, std::size_t size) {
    PutBigEndian(out, static_cast<std::uint32_t>(size));
    out.append(type, 4);
    if (size) out.append(reinterpret_cast<const char*>(data), size);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
    if (size) crc = crc32(crc, data, static_cast<uInt>(size));
    PutBigEndian(out, static_cast<std::uint32_t>(crc));
}

std::size_t RowBytes(const common::Image& image) {
    return static_cast<std::size_t>(image.width) * kBytesPerPixel;
}

bool IsWellFormed(const common::Image& image) {
    return image.width > 0 && image.height > 0 &&
           image.rgb.size() == RowBytes(image) * static_cast<std::size_t>(image.height);
}

// One row with its filter byte in front.
void FilterRow(const std::uint8_t* row, std::size_t rowBytes, std::uint8_t* out) {
    out[0] = kFilterSub;
    const std::size_t head = std::min(rowBytes, kBytesPerPixel);
    std::memcpy(out + 1, row, head);
    for (std::size_t i = kBytesPerPixel; i < rowBytes; ++i)
        out[1 + i] = static_cast<std::uint8_t>(row[i] - row[i - kBytesPerPixel]);
}

// The deflated (zlib) stream of the filtered rows; nullopt when zlib fails.
std::optional<std::vector<std::uint8_t>> DeflateRows(const common::Image& image) {
    const std::size_t rowBytes = RowBytes(image);
    const std::size_t filteredRow = rowBytes + 1;
    const std::size_t total = filteredRow * static_cast<std::size_t>(image.height);
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (deflateInit(&z, kPngDeflateLevel) != Z_OK) return std::nullopt;
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(total)));
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());

    const std::size_t rowsPerBlock = std::max<std::size_t>(1, kFilterBlockBytes / filteredRow);
    std::vector<std::uint8_t> block(rowsPerBlock * filteredRow);
    bool ok = true;
    for (std::size_t y = 0; ok && y < static_cast<std::size_t>(image.height); y += rowsPerBlock) {
        const std::size_t rows = std::min(rowsPerBlock, static_cast<std::size_t>(image.height) - y);
        for (std::size_t k = 0; k < rows; ++k)
            FilterRow(&image.rgb[(y + k) * rowBytes], rowBytes, &block[k * filteredRow]);
        z.next_in = block.data();
        z.avail_in = static_cast<uInt>(rows * filteredRow);
        const bool last = y + rows >= static_cast<std::size_t>(image.height);
        const int r = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        ok = last ? r == Z_STREAM_END : r == Z_OK && z.avail_in == 0;
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    if (!ok) return std::nullopt;
    return out;
}

void AppendIdatChunks(std::string& png, const std::vector<std::uint8_t>& stream) {
    for (std::size_t at = 0; at < stream.size(); at += kIdatChunkBytes)
        PutChunk(png, "IDAT", stream.data() + at, std::min(kIdatChunkBytes, stream.size() - at));
}

}  // namespace

std::string IdatChunks(const std::vector<std::uint8_t>& stream) {
    std::string chunks;
    AppendIdatChunks(chunks, stream);
    return chunks;
}

std::vector<std::uint8_t> SubFilteredRows(const common::Image& image) {
    if (!IsWellFormed(image)) return {};
    const std::size_t rowBytes = RowBytes(image);
    std::vector<std::uint8_t> out((rowBytes + 1) * static_cast<std::size_t>(image.height));
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y)
        FilterRow(&image.rgb[y * rowBytes], rowBytes, &out[y * (rowBytes + 1)]);
    return out;
}

std::string EncodePng(const common::Image& image) {
    if (!IsWellFormed(image)) return {};
    std::optional<std::vector<std::uint8_t>> stream = DeflateRows(image);
    if (!stream) return {};

    std::string png;
    const std::size_t chunks = (stream->size() + kIdatChunkBytes - 1) / kIdatChunkBytes;
    png.reserve(sizeof kSignature + 25 + stream->size() + 12 * chunks + 12);
    png.append(reinterpret_cast<const char*>(kSignature), sizeof kSignature);

    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(image.width));
    PutBigEndian(header, static_cast<std::uint32_t>(image.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filters, no interlace
    PutChunk(png, "IHDR", reinterpret_cast<const std::uint8_t*>(header.data()), header.size());

    AppendIdatChunks(png, *stream);
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}

namespace {

bool WritePng(common::Platform& p, const std::string& path, const common::Image& image) {
    const std::string png = EncodePng(image);
    return !png.empty() && common::WriteFileAtomic(p, path, png);
}

}  // namespace

bool SaveWindowAsPng(common::Platform& p, common::WindowId window, const std::string& path) {
    std::optional<common::Image> image = p.CaptureClientArea(window);
    return image && WritePng(p, path, *image);
}

SaveOutcome SaveScreenshot(common::Platform& p, const SaveRun& run, BrowserContact& contact,
                           const std::string& targetFolder, const std::string& workingName) {
    const SaveRequest& r = run.request;
    const common::WindowId pageView = FindPageView(p, contact.OperaWindow, contact.PageTitle);
    BringOperaToFront(p, contact);
    const std::string textName = common::MakeFileName(r.Text);
    const std::string title = textName.empty() ? workingName : textName;
    // Percent escapes in a title can bring back path characters.
    const std::string name = NameInsideFolder(title);

    const bool all = r.Method == "all";
    if (r.Method == "quick" || r.Method == "folder" || all) {
        const std::string saved = UniqueFileName(p, targetFolder + name + ".png");
        if (!SaveWindowAsPng(p, all ? contact.OperaWindow : pageView, saved)) {
            p.DeleteFile(saved);  // the empty file that held the name
            return SaveOutcome::Failed;
        }
        return RecordQuickSave(p, run, title, saved, all);
    }

    // Taken before the dialog covers part of the page.
    std::optional<common::Image> image = p.CaptureClientArea(pageView);
    if (!image) return SaveOutcome::Failed;
    common::FileDialogRequest dialog;
    dialog.save = true;
    dialog.owner = contact.OperaWindow;
    dialog.filter = kPngFilter;
    dialog.fileName = name + ".png";
    dialog.flags = kPhfDialogFlags;
    std::optional<std::string> chosen = p.FileDialog(dialog);
    if (!chosen) return SaveOutcome::Cancelled;
    return WritePng(p, *chosen, *image) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

}  // namespace mirsa
