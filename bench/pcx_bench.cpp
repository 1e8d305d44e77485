// Page-end stages of the raster path: band capture, the run-length coder and
// the PCX graphics record, on label pages of the usual sizes. Rates are
// reported in MPixel/s of the page.
//
//   label 104 x 150 mm at 203 dpi   832 x 1200 dots
//   label 104 x 150 mm at 300 dpi  1248 x 1772 dots
//   label 104 x 150 mm at 600 dpi  2496 x 3544 dots
//
// The page carries text-like blocks, a barcode, a logo of random dots and
// white margins and gaps, as a shipping label does.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "raster/bandcapture.h"
#include "raster/pcx.h"
#include "raster/rle.h"
#include "tests/support/testdevice.h"

namespace {

// The shared test device with the raster records, compression on, counting
// what reaches the spooler.
struct Device : kxtest::TestDevice {
    explicit Device(WORD dpi)
    {
        WithRaster(dpi, 4000, 8000);
        data.bCompress = 1;
        data.dwDocFeatures = DOC_FEATURE_QUALITY;
        uni.keep = false;
    }
    void NewPage()
    {
        kx::vFreeBuffer(&pdev);
        bv.bHeadersFilled = 0;
        bv.bmInfoHeader = {};
    }
};

struct Page {
    int w, h;
    DWORD sl;
    std::vector<BYTE> rows;  // top row first, set bit = white
};

// A 104 x 150 mm label at dpi dots per inch.
Page LabelPage(int dpi)
{
    Page p;
    p.w = 104 * dpi * 10 / 254;
    p.h = 150 * dpi * 10 / 254;
    p.sl = ((DWORD(p.w) + 31) / 32) * 4;
    p.rows.assign(std::size_t(p.sl) * p.h, 0xFF);
    std::mt19937 rng(42);
    auto black = [&](int x, int y) {
        p.rows[std::size_t(y) * p.sl + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
    };
    const int u = dpi / 25;  // about a millimetre
    // Text lines: glyph boxes of random strokes.
    for (int line = 0; line < 12; ++line) {
        const int y0 = 5 * u + line * 5 * u;
        for (int x0 = 4 * u; x0 + 2 * u < p.w - 4 * u; x0 += 2 * u + u / 2)
            for (int y = y0; y < y0 + 3 * u; ++y)
                for (int x = x0; x < x0 + 2 * u; ++x)
                    if (rng() % 4 == 0) black(x, y);
    }
    // A barcode: bars of one to four modules.
    for (int x = 6 * u, bar = 0; x < p.w - 6 * u; ++bar) {
        const int width = 1 + rng() % 4;
        if (bar % 2 == 0)
            for (int y = 80 * u; y < 110 * u && y < p.h; ++y)
                for (int i = 0; i < width * u / 4 + 1 && x + i < p.w; ++i) black(x + i, y);
        x += width * u / 4 + 1;
    }
    // A logo of random dots.
    for (int y = 120 * u; y < 140 * u && y < p.h; ++y)
        for (int x = 10 * u; x < 40 * u && x < p.w; ++x)
            if (rng() % 2) black(x, y);
    return p;
}

void SetRate(benchmark::State& state, double pixels)
{
    state.counters["MPixel/s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// The run-length coder over every row of the page (PCX data of one part).
void BM_RunLength(benchmark::State& state)
{
    const Page page = LabelPage(static_cast<int>(state.range(0)));
    std::vector<BYTE> out(kx::RunLengthWorstCase(page.rows.size()));
    for (auto _ : state) {
        std::size_t n = 0;
        for (int y = 0; y < page.h; ++y)
            n += kx::EncodeRunLength({page.rows.data() + std::size_t(y) * page.sl, page.sl},
                                     std::span<BYTE>(out).subspan(n));
        benchmark::DoNotOptimize(n);
    }
    SetRate(state, double(page.w) * page.h);
    state.SetBytesProcessed(state.iterations() * std::int64_t(page.rows.size()));
}
BENCHMARK(BM_RunLength)->Arg(203)->Arg(300)->Arg(600);

// Band capture of a whole page in bands of 64 rows, 1 or 24 bits per pixel.
void BM_CaptureBands(benchmark::State& state)
{
    const int dpi = static_cast<int>(state.range(0));
    const WORD bits = static_cast<WORD>(state.range(1));
    const Page page = LabelPage(dpi);
    const DWORD sl = ((DWORD(page.w) * bits + 31) / 32) * 4;
    const std::vector<BYTE> band(std::size_t(sl) * 64, 0xA5);
    Device d(static_cast<WORD>(dpi));
    IPPARAMS ip{};
    ip.dwSize = sizeof(ip);
    for (auto _ : state) {
        d.NewPage();
        for (int y = 0; y < page.h; y += 64) {
            const LONG rows = std::min(64, page.h - y);
            BITMAPINFOHEADER h{};
            h.biSize = sizeof(h);
            h.biWidth = page.w;
            h.biHeight = rows;
            h.biPlanes = 1;
            h.biBitCount = bits;
            h.biSizeImage = sl * DWORD(rows);
            kx::CaptureBand(&d.devobj, const_cast<BYTE*>(band.data()), &h, nullptr, 1, &ip);
        }
        benchmark::DoNotOptimize(d.bv.dwBufSize);
    }
    SetRate(state, double(page.w) * page.h);
}
BENCHMARK(BM_CaptureBands)->Args({203, 1})->Args({300, 1})->Args({203, 24})->Args({300, 24});

// The graphics record of a one-bit page: the PCX copy, trimming, parts and
// coding, written into a sink.
void BM_SendPCX(benchmark::State& state)
{
    const int dpi = static_cast<int>(state.range(0));
    const Page page = LabelPage(dpi);
    // Bitmap rows are bottom-up.
    std::vector<BYTE> bottomUp(page.rows.size());
    for (int y = 0; y < page.h; ++y)
        std::memcpy(&bottomUp[std::size_t(page.h - 1 - y) * page.sl],
                    &page.rows[std::size_t(y) * page.sl], page.sl);
    Device d(static_cast<WORD>(dpi));
    const kx::MonoImage image{bottomUp.data(), page.w, page.h, page.sl, nullptr, 0, 1};
    for (auto _ : state) benchmark::DoNotOptimize(kx::SendPCX(&d.devobj, &d.uni, image, FALSE));
    SetRate(state, double(page.w) * page.h);
    state.counters["PCX bytes"] =
        benchmark::Counter(double(d.uni.bytes) / double(state.iterations()));
}
BENCHMARK(BM_SendPCX)->Arg(203)->Arg(300)->Arg(600);

}  // namespace
