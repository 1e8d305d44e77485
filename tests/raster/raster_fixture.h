// The raster tests' device: a test device with the raster members of a job
// (the page image record with its colour tables, the band parts, the page
// heap, the line buffer), helpers for band headers and test pictures, and a
// reader for the netpbm files the independent decoders write.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "raster/bandcapture.h"
#include "raster/bitmap.h"
#include "raster/dither.h"
#include "settings/models.h"
#include "support/device.h"

namespace kxtest {

struct RasterDevice : TestDevice {
    Bildverarbeitung bv{};
    Bildanteile ba{};
    RGBQUAD table[256]{};
    RGBQUAD saved[256]{};
    BYTE graphBuf[GRAPHBUF_SIZE]{};

    RasterDevice()
    {
        op.pBildverarbeitung = &bv;
        op.pBildanteile = &ba;
        op.hBufferHeap = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1000));
        op.pGraphBuf = graphBuf;
        bv.prgbq = table;
        // 254 dots per inch: one dot is a tenth of a millimetre, so sizes in
        // the records can be read off directly.
        devmode.FixedData.wMasterUnit = 254;
        devmode.FixedData.lMaxSizeX = 1000;
        devmode.FixedData.lMaxSizeY = 2000;
        devmode.FixedData.wPrintHeadWidth = 1040;
        devmode.FixedData.dwHeadWidthByte = 130;
    }
    ~RasterDevice() { kx::vFreeBuffer(&pdev); }

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
    RGBQUAD tables[3][256]{};
    Bildverarbeitung& page = bv;

    BitmapDevice()
    {
        page.prgbq = tables[0];
        page.prgbqSaved = tables[1];
        page.prgbqColour = tables[2];
        kx::FillGreyPalette(tables[0]);
        kx::FillColorPalette_250Grey(tables[1]);
        kx::FillColorPalette_6Colors(tables[2]);
        devmode.dwColorTolerance = 90;
        devmode.wHorizontalCorrGap = 50;
    }

    OEM_PDEV* oem() { return &pdev; }
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

// A decoded PBM, PGM or PPM: samples row by row from the top, channels per
// pixel (a PBM reads as one channel, 0 black and 1 white).
struct Pnm {
    bool ok = false;
    int width = 0, height = 0, maxval = 0, channels = 0;
    std::vector<int> samples;
    int At(int x, int y, int c = 0) const
    {
        return samples[(std::size_t(y) * width + x) * channels + c];
    }
};

inline Pnm ParsePnm(const std::string& s)
{
    Pnm p;
    std::size_t i = 0;
    auto token = [&]() -> long {
        while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '#')) {
            if (s[i] == '#')
                while (i < s.size() && s[i] != '\n') ++i;
            else
                ++i;
        }
        long v = 0;
        bool any = false;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i++] - '0');
            any = true;
        }
        return any ? v : -1;
    };
    if (s.size() < 2 || s[0] != 'P') return p;
    const char kind = s[1];
    i = 2;
    p.width = int(token());
    p.height = int(token());
    if (p.width <= 0 || p.height <= 0) return p;
    p.maxval = kind == '4' ? 1 : int(token());
    if (p.maxval <= 0 || p.maxval > 255) return p;
    ++i;  // the single white space after the header
    p.channels = kind == '6' ? 3 : 1;
    const std::size_t n = std::size_t(p.width) * p.height * p.channels;
    if (kind == '4') {
        const std::size_t rowBytes = (std::size_t(p.width) + 7) / 8;
        if (s.size() < i + rowBytes * p.height) return p;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const unsigned char b = static_cast<unsigned char>(s[i + y * rowBytes + x / 8]);
                p.samples.push_back(((b >> (7 - x % 8)) & 1) ? 0 : 1);
            }
    } else if (kind == '5' || kind == '6') {
        if (s.size() < i + n) return p;
        for (std::size_t k = 0; k < n; ++k)
            p.samples.push_back(static_cast<unsigned char>(s[i + k]));
    } else {
        return p;
    }
    p.ok = true;
    return p;
}

}  // namespace kxtest
