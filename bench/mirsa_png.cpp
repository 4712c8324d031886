// PNG of a 1920 x 1080 screenshot-like picture (flat areas, lines of text,
// a photo-like region): our writer beside libpng writing the same pixels with
// the same settings (deflate level 7, Sub filter, default strategy), and
// beside zlib's compress2 of the already filtered rows alone (the floor).
// Compare medians: ./bench_mirsa_png --benchmark_repetitions=7
//   --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "mirsa/screenshot.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

void Put(common::Image& image, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    p[0] = r, p[1] = g, p[2] = b;
}

common::Image ScreenshotLike() {
    common::Image image;
    image.width = kWidth;
    image.height = kHeight;
    image.rgb.assign(static_cast<std::size_t>(kWidth) * kHeight * 3, 0xFF);
    std::mt19937 random(42);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (y < 90) {  // toolbar: flat grey with a darker band
                std::uint8_t v = y < 60 ? 0xEC : 0xD4;
                Put(image, x, y, v, v, v);
            } else if (x < 300) {  // side panel: flat blue
                Put(image, x, y, 0x2B, 0x57, 0x9A);
            } else if (x >= 1300 && y >= 200 && y < 800) {  // photo: gradients with noise
                double fx = (x - 1300) / 620.0, fy = (y - 200) / 600.0;
                auto channel = [&](double base) {
                    int v = static_cast<int>(base) + static_cast<int>(random() % 17) - 8;
                    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
                };
                Put(image, x, y, channel(120 + 100 * std::sin(fx * 6 + fy * 2)),
                    channel(90 + 80 * fy + 40 * std::cos(fx * 9)), channel(60 + 150 * fx * fy));
            } else {  // page: lines of "text", strokes of glyph-like patterns
                const int line = (y - 90) % 22, column = (x - 300) % 9;
                const unsigned glyph = ((x - 300) / 9 * 2654435761u + (y - 90) / 22 * 40503u) >> 7;
                bool ink = line >= 6 && line < 18 && column < 7 && (glyph >> ((line + column) % 13) & 1) &&
                           (glyph % 11 != 0);
                if (ink) Put(image, x, y, 0x20, 0x20, 0x20);
            }
        }
    }
    return image;
}

const common::Image& Picture() {
    static const common::Image image = ScreenshotLike();
    return image;
}

void OurWriter(benchmark::State& state) {
    std::size_t size = 0;
    for (auto _ : state) {
        std::string png = mirsa::EncodePng(Picture());
        size = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}

void WriteToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void Libpng(benchmark::State& state) {
    const common::Image& image = Picture();
    std::vector<png_const_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) rows[y] = &image.rgb[static_cast<std::size_t>(y) * kWidth * 3];
    std::size_t size = 0;
    for (auto _ : state) {
        std::string out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            break;
        }
        png_set_write_fn(png, &out, WriteToString, nullptr);
        png_set_compression_level(png, 7);
        png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
        png_set_compression_buffer_size(png, 65535);  // the same IDAT chunk size
        png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_write_info(png, info);
        png_write_rows(png, const_cast<png_bytepp>(rows.data()), kHeight);
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}

void Compress2Floor(benchmark::State& state) {
    const std::vector<std::uint8_t> rows = mirsa::SubFilteredRows(Picture());
    std::vector<std::uint8_t> out(compressBound(rows.size()));
    uLongf size = 0;
    for (auto _ : state) {
        size = static_cast<uLongf>(out.size());
        compress2(out.data(), &size, rows.data(), rows.size(), 7);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}

BENCHMARK(OurWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Libpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Compress2Floor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
