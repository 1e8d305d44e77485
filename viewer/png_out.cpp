#include "viewer/png_out.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace kxview {

namespace {

// The libpng calls, which report failures by longjmp: this function holds no
// object with a destructor, so a jump leaves nothing behind.
bool WriteImage(png_structp png, png_infop info, FILE* f, const Canvas& canvas, int dpi,
                png_byte* row, std::size_t rowBytes)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(canvas.width), png_uint_32(canvas.height), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const auto perMetre = png_uint_32(dpi * 10000.0 / 254.0 + 0.5);
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < canvas.height; ++y) {
        std::memset(row, 0xFF, rowBytes);  // grey 1 is white
        for (int x = 0; x < canvas.width; ++x)
            if (canvas.At(x, y)) row[std::size_t(x) / 8] &= png_byte(~(0x80 >> (x % 8)));
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool WritePng(const Canvas& canvas, int dpi, const std::string& path, std::string* error)
{
    if (canvas.width <= 0 || canvas.height <= 0) {
        *error = "the label has no dots to write";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) {
        *error = "cannot write " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(std::size_t(canvas.width + 7) / 8);
    const bool ok = info && WriteImage(png, info, f.get(), canvas, dpi, row.data(), row.size());
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok || std::fflush(f.get()) != 0) {
        *error = "cannot write the PNG file " + path;
        return false;
    }
    return true;
}

}  // namespace kxview
