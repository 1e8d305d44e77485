// The raster tests' device: a test device with the raster members of a job
// (the page image record with its colour tables, the band parts, the page
// heap, the line buffer), helpers for band headers and test pictures, and
// the independent decoders' images.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/image.h"
#include "raster/bandcapture.h"
#include "raster/bitmap.h"
#include "raster/dither.h"
#include "settings/models.h"
#include "support/device.h"

namespace kxtest {

struct RasterDevice : TestDevice {
    Bildverarbeitung& page = bv;

    RasterDevice()
    {
        // 254 dots per inch: one dot is a tenth of a millimetre, so sizes in
        // the records can be read off directly.
        WithRaster(254, 1000, 2000);
        devmode.FixedData.wPrintHeadWidth = 1040;
        devmode.FixedData.dwHeadWidthByte = 130;
    }

    OEM_PDEV* oem() { return &pdev; }
    std::string Page() const
    {
        return bv.pBufStart ? std::string(reinterpret_cast<const char*>(bv.pBufStart), bv.dwBufSize)
                            : std::string();
    }
};

inline BITMAPINFOHEADER BandHeader(LONG width, LONG height, WORD bits, DWORD sizeImage)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biSizeImage = sizeImage;
    return h;
}

inline std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// What the Bitmap operations reach besides: the three colour tables of the
// page image record (grey, colour printing, ribbon colour) and the colour
// settings' defaults.
struct BitmapDevice : RasterDevice {
    BitmapDevice()
    {
        page.prgbqSaved = tables[1];
        page.prgbqColour = tables[2];
        kx::FillGreyPalette(tables[0]);
        kx::FillColorPalette_250Grey(tables[1]);
        kx::FillColorPalette_6Colors(tables[2]);
        devmode.dwColorTolerance = 90;
        devmode.wHorizontalCorrGap = 50;
    }

    void ColourPrint(bool on)
    {
        if (on)
            data.dwDocFeatures |= DOC_FEATURE_COLORPRINT;
        else
            data.dwDocFeatures &= ~DOC_FEATURE_COLORPRINT;
    }
    void Mode(WORD druckmodus, WORD filter, WORD threshold = 128)
    {
        devmode.wDruckmodus = druckmodus;
        devmode.wGrafikFilter = filter;
        devmode.wEmpfindlichkeit = threshold;
    }
};

// A 24-bit bitmap whose pixel (x, y), y = 0 at the top, is colour(x, y)
// (0x00BBGGRR).
inline void Paint(kx::Bitmap& bmp, const std::function<DWORD(int, int)>& colour)
{
    for (int y = 0; y < bmp.Height; ++y)
        for (int x = 0; x < bmp.Width; ++x) bmp.SetPixelColor(x, y, colour(x, y));
}

inline DWORD Grey(int g)
{
    return kx::RGBColour(BYTE(g), BYTE(g), BYTE(g));
}

// A colour whose grey level is exactly level (a grey where one exists).
inline DWORD ColourOfLevel(int level)
{
    for (int g = 0; g < 256; ++g)
        if (kx::GreyLevel(g, g, g) == level) return Grey(g);
    for (int g = 0; g < 256; ++g)
        for (int b = 0; b < 256; ++b)
            if (kx::GreyLevel(g, g, b) == level) return kx::RGBColour(BYTE(g), BYTE(g), BYTE(b));
    return 0;
}

// 1-bit pixel printed (index 0 of a 1-bit page is the dot colour).
inline bool Printed(const kx::Bitmap& bmp, int x, int y)
{
    return bmp.GetPixelIndex(x, y) == 0;
}

// A small deterministic generator for test pictures.
struct Lcg {
    std::uint32_t s;
    explicit Lcg(std::uint32_t seed) : s(seed) {}
    std::uint32_t operator()()
    {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    }
};

// The rows of a table in tests/raster/data: its lines that are neither empty
// nor comments.
inline std::vector<std::string> DataRows(const char* name)
{
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "data" / name);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') rows.push_back(line);
    return rows;
}

// ---- independent decoders (netpbm, ImageMagick, libjpeg's djpeg)

inline bool HaveTool(const char* path)
{
    return ::access(path, X_OK) == 0;
}

// Standard output of a shell command (stderr discarded).
inline std::string RunTool(const std::string& command)
{
    std::string out;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

// The image a decoder writes to its standard output (netpbm formats), read
// by the host tool's image reader.
inline kxhost::Image Decode(const std::string& command)
{
    const std::string out = RunTool(command);
    return kxhost::DecodeImage(std::vector<std::uint8_t>(out.begin(), out.end()));
}

}  // namespace kxtest
