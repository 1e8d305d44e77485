// Raster stages on realistic pages: a 4 x 6 inch photo-like label, 24 bits,
// at 300 dpi (1248 x 1800) and 600 dpi (2496 x 3600).
//
// Every stage reports MPixel/s. The three colour-reduction paths of page end
// (photo "Stucki", threshold "Schwelle", ordered "Clustered x4") are timed
// from the 24-bit page to the 1-bit page, next to netpbm's
// `pgmtopbm -fs` (Floyd-Steinberg alone) on the same page already converted
// to grey; all are wall-clock times, and the netpbm run is also shown with
// its process start (a 1 x 1 picture) taken off. The paths also report their
// peak memory: the growth of the resident set while the path runs,
// including the 24-bit page itself, as a multiple of that page.
#include <benchmark/benchmark.h>

#include "bench/resident.h"

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "raster/dither.h"
#include "raster/dither_internal.h"
#include "raster/jpeg.h"
#include "settings/models.h"
#include "tests/support/testdevice.h"

extern char** environ;

namespace {

using kx::Bitmap;

// The shared test device with the three colour tables (grey, colour
// printing, ribbon colour) as the page-end stages reach them.
struct Device : kxtest::TestDevice {
    Bildverarbeitung& page = bv;
    Device()
    {
        op.pBildverarbeitung = &bv;
        bv.prgbq = tables[0];
        bv.prgbqSaved = tables[1];
        kx::FillGreyPalette(tables[0]);
        kx::FillColorPalette_250Grey(tables[1]);
        kx::FillColorPalette_6Colors(tables[2]);
        devmode.wEmpfindlichkeit = 128;
        devmode.dwColorTolerance = 90;
    }
};

constexpr int kDpi300W = 1248, kDpi300H = 1800;

// The page as band capture leaves it: 24-bit rows, top row first, padded to
// four bytes. Smooth shading, edges, text-like strokes and sensor noise.
const std::vector<BYTE>& PageBuffer(int w, int h)
{
    static std::vector<BYTE> cache[2];
    std::vector<BYTE>& buf = cache[w == kDpi300W ? 0 : 1];
    if (!buf.empty()) return buf;
    const std::size_t stride = ((24 * std::size_t(w) + 31) / 32) * 4;
    buf.assign(stride * h, 0);
    std::uint32_t s = 12345;
    const double scale = 1248.0 / w;
    for (int y = 0; y < h; ++y) {
        BYTE* row = &buf[std::size_t(y) * stride];
        for (int x = 0; x < w; ++x) {
            const double fx = x * scale, fy = y * scale;
            s = s * 1664525u + 1013904223u;
            const int noise = int((s >> 24) % 17) - 8;
            double r = 128 + 90 * std::sin(fx / 97.0) * std::cos(fy / 131.0);
            double g = 120 + 80 * std::cos((fx + fy) / 173.0);
            double b = 110 + 100 * std::sin(fy / 59.0 + fx / 311.0);
            if (std::fmod(fx + 0.6 * fy, 400.0) < 120) r = 250 - r / 3;  // a hard edge
            if (int(fy) % 150 < 8 && int(fx) % 40 < 25) r = g = b = 10;  // "text"
            row[3 * x + 0] = BYTE(std::clamp(int(b) + noise, 0, 255));
            row[3 * x + 1] = BYTE(std::clamp(int(g) + noise, 0, 255));
            row[3 * x + 2] = BYTE(std::clamp(int(r) + noise, 0, 255));
        }
    }
    return buf;
}

// The page Bitmap, built from the page buffer as page end builds it.
std::unique_ptr<Bitmap> MakePage(Device& d, int w, int h)
{
    const auto& buf = PageBuffer(w, h);
    d.page.dwBufSize = DWORD(buf.size());
    return std::make_unique<Bitmap>(&d.pdev, w, h, 24, buf.data(), kx::BM_FLIP);
}

void SetPixelRate(benchmark::State& state, int w, int h)
{
    state.counters["MPixel/s"] = benchmark::Counter(
        double(w) * h * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// ---- resident-set peak of one run

using kxbench::ProcKb;
using kxbench::ResetPeak;

// Runs the stage once outside the timing and reports the peak resident
// growth (including the 24-bit page, built inside) against the page size.
template <class Stage>
void ReportPeak(benchmark::State& state, int w, int h, bool holdBuffer, Stage&& stage)
{
    Device d;
    const auto& buf = PageBuffer(w, h);  // built once, outside the measure
    std::vector<BYTE> held;
    const long before = ProcKb("VmRSS:");
    if (holdBuffer) held = buf;  // band capture's page buffer, still held by page end
    if (!ResetPeak() || before < 0) return;
    {
        auto page = MakePage(d, w, h);
        stage(d, *page);
    }
    const long peak = ProcKb("VmHWM:");
    const double pageBytes = double(((24 * std::size_t(w) + 31) / 32) * 4) * h;
    state.counters["peak_MB"] = double(peak - before) / 1024.0;
    state.counters["peak_x_page"] = double(peak - before) * 1024.0 / pageBytes;
}

// ---- the colour-reduction paths, 24 bits to 1 bit, as page end runs them

// Error diffusion on one thread (as page end runs it), or on two.
void PhotoStucki(Device& d, Bitmap& page)
{
    d.devmode.wDruckmodus = kx::DRUCKMODUS_PHOTO;
    d.devmode.wPhotoFilter = kx::PHOTO_STUCKI;
    page.DitherToOneBit(&d.devobj, nullptr);
}
void PhotoStucki2(Device& d, Bitmap& page)
{
    kx::detail::gDiffusionThreads = 2;
    PhotoStucki(d, page);
    kx::detail::gDiffusionThreads = 0;
}
void Threshold(Device& d, Bitmap& page)
{
    d.devmode.wDruckmodus = kx::DRUCKMODUS_GRAFIK;
    d.devmode.wGrafikFilter = kx::FILTER_SCHWELLE;
    page.ClassifyToOneBit(&d.devobj, nullptr);
}
void Ordered(Device& d, Bitmap& page)
{
    d.devmode.wDruckmodus = kx::DRUCKMODUS_GRAFIK;
    d.devmode.wGrafikFilter = kx::FILTER_CLUSTERED4;
    page.DitherToOneBit(&d.devobj, nullptr);
}

// Photo mode on a label turned by a quarter: page end turns the 24-bit page
// before it dithers it, so the turned copy is the largest block of all.
void PhotoStuckiTurned(Device& d, Bitmap& page)
{
    page.Rotate(&d.pdev, 90.0f);
    PhotoStucki(d, page);
}

template <void (*Path)(Device&, Bitmap&)>
void BM_Path(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Device d;
    for (auto _ : state) {
        state.PauseTiming();
        auto page = MakePage(d, w, h);
        state.ResumeTiming();
        Path(d, *page);
        benchmark::DoNotOptimize(page->Data);
        state.PauseTiming();
        page.reset();
        state.ResumeTiming();
    }
    SetPixelRate(state, w, h);
    ReportPeak(state, w, h, false, Path);
    const double alone = state.counters["peak_x_page"];
    ReportPeak(state, w, h, true, Path);
    state.counters["peak_x_page_with_buffer"] = state.counters["peak_x_page"];
    state.counters["peak_x_page"] = alone;
}
BENCHMARK(BM_Path<PhotoStucki>)
    ->Name("Path/PhotoStucki")
    ->Args({kDpi300W, kDpi300H})
    ->Args({2 * kDpi300W, 2 * kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Path<PhotoStucki2>)
    ->Name("Path/PhotoStucki2Threads")
    ->Args({kDpi300W, kDpi300H})
    ->Args({2 * kDpi300W, 2 * kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Path<PhotoStuckiTurned>)
    ->Name("Path/PhotoStuckiTurned90")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Path<Threshold>)
    ->Name("Path/Threshold")
    ->Args({kDpi300W, kDpi300H})
    ->Args({2 * kDpi300W, 2 * kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Path<Ordered>)
    ->Name("Path/OrderedClustered4")
    ->Args({kDpi300W, kDpi300H})
    ->Args({2 * kDpi300W, 2 * kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- netpbm's Floyd-Steinberg on the same page in grey

std::string WriteGreyPgm(int w, int h)
{
    const std::string path = "/tmp/kxbench-" + std::to_string(::getpid()) + "-" +
                             std::to_string(w) + "x" + std::to_string(h) + ".pgm";
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << w << " " << h << "\n255\n";
    if (w == 1 && h == 1) {
        out.put(char(128));
        return path;
    }
    const auto& buf = PageBuffer(w, h);
    const std::size_t stride = ((24 * std::size_t(w) + 31) / 32) * 4;
    std::vector<char> row(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        const BYTE* p = &buf[std::size_t(y) * stride];
        for (int x = 0; x < w; ++x)
            row[std::size_t(x)] =
                char(std::min(255, kx::GreyLevel(p[3 * x + 2], p[3 * x + 1], p[3 * x])));
        out.write(row.data(), std::streamsize(row.size()));
    }
    return path;
}

// Runs pgmtopbm -fs on the file; cpuSeconds receives the child's user and
// system time.
bool RunPgmToPbm(const std::string& pgm, double* cpuSeconds = nullptr)
{
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, pgm.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    char prog[] = "pgmtopbm", fs[] = "-fs";
    char* argv[] = {prog, fs, nullptr};
    pid_t pid;
    const int rc = posix_spawnp(&pid, "pgmtopbm", &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return false;
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    if (cpuSeconds)
        *cpuSeconds = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                      double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The program's own CPU time, all its threads (children not included), and
// the wall clock.
double ThreadCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}
double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The paths against pgmtopbm -fs in turns, so that both see the same machine
// load; Stucki on one thread and on two. Ratios below 1
// mean faster than netpbm: by CPU time (ours: the process's, every thread,
// netpbm's: the child process's) and by wall-clock time.
void BM_CompareWithNetpbm(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const std::string pgm = WriteGreyPgm(w, h);
    Device d;
    constexpr int kPaths = 4;
    void (*paths[kPaths])(Device&, Bitmap&) = {PhotoStucki, PhotoStucki2, Threshold, Ordered};
    double ourCpu[kPaths] = {}, ourWall[kPaths] = {}, netCpu = 0, netWall = 0;
    for (auto _ : state) {
        double cpu = 0;
        const double w0 = WallSeconds();
        if (!RunPgmToPbm(pgm, &cpu)) {
            state.SkipWithError("pgmtopbm (netpbm) is not available");
            break;
        }
        netWall += WallSeconds() - w0;
        netCpu += cpu;
        for (int i = 0; i < kPaths; ++i) {
            auto page = MakePage(d, w, h);
            const double c0 = ThreadCpuSeconds(), t0 = WallSeconds();
            paths[i](d, *page);
            ourCpu[i] += ThreadCpuSeconds() - c0;
            ourWall[i] += WallSeconds() - t0;
        }
    }
    std::remove(pgm.c_str());
    if (netCpu <= 0 || netWall <= 0) return;
    const double n = double(state.iterations());
    state.counters["netpbm_cpu_ms"] = netCpu / n * 1e3;
    state.counters["netpbm_wall_ms"] = netWall / n * 1e3;
    const char* names[kPaths] = {"stucki", "stucki2threads", "threshold", "ordered"};
    for (int i = 0; i < kPaths; ++i) {
        state.counters[std::string(names[i]) + "_cpu_ms"] = ourCpu[i] / n * 1e3;
        state.counters[std::string(names[i]) + "_cpu_ratio"] = ourCpu[i] / netCpu;
        state.counters[std::string(names[i]) + "_wall_ratio"] = ourWall[i] / netWall;
    }
}
BENCHMARK(BM_CompareWithNetpbm)
    ->Name("Compare/PathsVsPgmtopbmFs")
    ->Args({kDpi300W, kDpi300H})
    ->Args({2 * kDpi300W, 2 * kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(8)
    ->UseRealTime();

void BM_NetpbmPgmToPbmFs(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const std::string pgm = WriteGreyPgm(w, h);
    for (auto _ : state) {
        if (!RunPgmToPbm(pgm)) {
            state.SkipWithError("pgmtopbm (netpbm) is not available");
            break;
        }
    }
    std::remove(pgm.c_str());
    SetPixelRate(state, w, h);
}
BENCHMARK(BM_NetpbmPgmToPbmFs)
    ->Name("Netpbm/pgmtopbm_fs")
    ->Args({kDpi300W, kDpi300H})
    ->Args({2 * kDpi300W, 2 * kDpi300H})
    ->Args({1, 1})  // the process start alone
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- single stages

void BM_Construct(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Device d;
    PageBuffer(w, h);
    for (auto _ : state) {
        auto page = MakePage(d, w, h);
        benchmark::DoNotOptimize(page->Data);
    }
    SetPixelRate(state, w, h);
}
BENCHMARK(BM_Construct)
    ->Name("Stage/ConstructFlip24")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A stage that consumes the page: a fresh copy per iteration, outside the
// timing. prepare() brings the page into the stage's input form.
template <class Prepare, class Stage>
void ConsumingStage(benchmark::State& state, Prepare&& prepare, Stage&& stage)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Device d;
    auto input = MakePage(d, w, h);
    prepare(d, *input);
    for (auto _ : state) {
        state.PauseTiming();
        auto page = std::make_unique<Bitmap>(&d.pdev, 1, 1, input->Bpp);
        *page = *input;
        state.ResumeTiming();
        stage(d, *page);
        benchmark::DoNotOptimize(page->Data);
        state.PauseTiming();
        page.reset();
        state.ResumeTiming();
    }
    SetPixelRate(state, w, h);
}

void Nothing(Device&, Bitmap&) {}

template <WORD kFilter>
void BM_DitherPhoto(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) {
        d.devmode.wDruckmodus = kx::DRUCKMODUS_PHOTO;
        d.devmode.wPhotoFilter = kFilter;
        page.Dithering(&d.devobj);
    });
}
#define KX_PHOTO_STAGE(f, name)              \
    BENCHMARK(BM_DitherPhoto<f>)             \
        ->Name("Stage/Dithering24to8/" name) \
        ->Args({kDpi300W, kDpi300H})         \
        ->Unit(benchmark::kMillisecond)      \
        ->UseRealTime();
KX_PHOTO_STAGE(kx::PHOTO_FLOYD, "Floyd")
KX_PHOTO_STAGE(kx::PHOTO_SIERRA, "Sierra")
KX_PHOTO_STAGE(kx::PHOTO_BURKES, "Burkes")
KX_PHOTO_STAGE(kx::PHOTO_JARVIS, "Jarvis")
KX_PHOTO_STAGE(kx::PHOTO_SIERRA_MOD, "SierraMod")
KX_PHOTO_STAGE(kx::PHOTO_STUCKI, "Stucki")

template <WORD kFilter>
void BM_DitherOrdered(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) {
        d.devmode.wDruckmodus = kx::DRUCKMODUS_GRAFIK;
        d.devmode.wGrafikFilter = kFilter;
        page.Dithering(&d.devobj);
    });
}
BENCHMARK(BM_DitherOrdered<kx::FILTER_CLUSTERED4>)
    ->Name("Stage/Dithering24to8/Clustered4")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DitherOrdered<kx::FILTER_CLUSTERED16>)
    ->Name("Stage/Dithering24to8/Clustered16")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DitherOrdered<kx::FILTER_BAYER8>)
    ->Name("Stage/Dithering24to8/Bayer8")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Classify8(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) {
        d.devmode.wDruckmodus = kx::DRUCKMODUS_GRAFIK;
        d.devmode.wGrafikFilter = kx::FILTER_SCHWELLE;
        page.ConvertToXBit(8, nullptr, 0, &d.devobj, nullptr);
    });
}
BENCHMARK(BM_Classify8)
    ->Name("Stage/ConvertToXBit24to8/Threshold")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Classify8Colour(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) {
        d.data.dwDocFeatures |= DOC_FEATURE_COLORPRINT;
        d.devmode.wFarbband = 1;
        d.devmode.wColorChannel = 1;
        d.devmode.wColorSeam = 2;
        d.devmode.wDruckmodus = kx::DRUCKMODUS_GRAFIK;
        d.devmode.wGrafikFilter = kx::FILTER_SCHWELLE;
        Bitmap colour(&d.pdev, page.Width, page.Height, 8);
        page.ConvertToXBit(8, &colour, 0, &d.devobj, nullptr);
    });
}
BENCHMARK(BM_Classify8Colour)
    ->Name("Stage/ConvertToXBit24to8/ColourPlaneWithFringe")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void To8(Device& d, Bitmap& page)
{
    d.devmode.wDruckmodus = kx::DRUCKMODUS_PHOTO;
    d.devmode.wPhotoFilter = kx::PHOTO_STUCKI;
    page.Dithering(&d.devobj);
}
void BM_OneBit(benchmark::State& state)
{
    ConsumingStage(state, To8, [](Device& d, Bitmap& page) {
        page.ConvertToXBit(1, nullptr, 0, &d.devobj, nullptr);
    });
}
BENCHMARK(BM_OneBit)
    ->Name("Stage/ConvertToXBit8to1")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Rotate90_24(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) { page.Rotate(&d.pdev, 90.0f); });
}
BENCHMARK(BM_Rotate90_24)
    ->Name("Stage/Rotate90/24bit")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void To1(Device& d, Bitmap& page)
{
    To8(d, page);
    page.ConvertToXBit(1, nullptr, 0, &d.devobj, nullptr);
}
void BM_Rotate90_1(benchmark::State& state)
{
    ConsumingStage(state, To1, [](Device& d, Bitmap& page) { page.Rotate(&d.pdev, 270.0f); });
}
BENCHMARK(BM_Rotate90_1)
    ->Name("Stage/Rotate270/1bit")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Rotate45_24(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) { page.Rotate(&d.pdev, 45.0f); });
}
BENCHMARK(BM_Rotate45_24)
    ->Name("Stage/Rotate45/24bit")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Resize(benchmark::State& state)
{
    ConsumingStage(state, Nothing, [](Device& d, Bitmap& page) {
        page.ResizeBilinear(&d.pdev, page.Width / 3, page.Height / 3, 0, 0);
    });
}
BENCHMARK(BM_Resize)
    ->Name("Stage/ResizeBilinear24/third")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CheckInhalt(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Device d;
    Bitmap white(&d.pdev, w, h, 1);  // the worst case: all white, every byte read
    for (auto _ : state) benchmark::DoNotOptimize(white.CheckInhalt());
    SetPixelRate(state, w, h);
}
BENCHMARK(BM_CheckInhalt)
    ->Name("Stage/CheckInhalt1bit/white")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Jpeg(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Device d;
    auto page = MakePage(d, w, h);
    std::size_t bytes = 0;
    auto count = [](void* ctx, const BYTE*, std::size_t n) {
        *static_cast<std::size_t*>(ctx) += n;
        return true;
    };
    for (auto _ : state) {
        bytes = 0;
        kx::EncodeJpeg(page->Row(0), w, h, -std::ptrdiff_t(page->ScanLineSize), count, &bytes);
    }
    SetPixelRate(state, w, h);
    state.counters["jpeg_bytes"] = double(bytes);
}
BENCHMARK(BM_Jpeg)
    ->Name("Stage/EncodeJpeg24")
    ->Args({kDpi300W, kDpi300H})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
