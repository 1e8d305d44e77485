// Whole jobs: kxrender drives the plug-in through its COM interface, as the
// driver host does, one process per run, measured by the parent with wait4
// (user + system CPU, wall clock, peak resident set).
//
//   Job/ShippingLabel/300   the README's shipping label (examples/), 300 dpi
//   Job/ShippingLabel/600   the same label on the 600 dpi model, its picture
//                           scaled to 600 dpi (made once by netpbm)
//   Job/ShippingLabels100   100 pages of the 300 dpi label in one job
//
// Compare/JobVsNetpbmPipeline runs, in turns with the label, the four-process
// netpbm pipeline that turns the same PNG into a dithered PCX
// (pngtopnm | ppmtopgm | pgmtopbm -fs | ppmtopcx): CPU is the four
// processes' sum, the peak the sum of their peaks.
//
// PageEnd/PhotoTurned90Peak is the plug-in alone, in this process: the bands
// of a 24-bit photo page captured as the host hands them over, then the page
// end of a quarter-turned label in photo mode (Stucki). It reports the
// growth of the resident set over both against the 24-bit page.
//
// KXBENCH_KXRENDER names another kxrender (an older build, to compare).
#include <benchmark/benchmark.h>

#include "bench/resident.h"

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "job/jobstream.h"
#include "raster/bandcapture.h"
#include "raster/dither.h"
#include "settings/models.h"
#include "tests/support/testdevice.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// ---- child processes

struct Usage {
    double cpu = 0;    // seconds, user + system, all processes
    double wall = 0;   // seconds, first start to last exit
    double rssMb = 0;  // peak resident set, summed over the processes
    bool ok = false;
};

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs the commands as one pipeline: stdin of the first from `in` (or
// /dev/null), stdout of the last into `out`, stderr into /dev/null.
Usage RunPipeline(const std::vector<std::vector<std::string>>& cmds, const std::string& in,
                  const std::string& out)
{
    Usage u;
    std::vector<pid_t> pids;
    int prevRead = -1;
    const double t0 = Now();
    for (std::size_t i = 0; i < cmds.size(); ++i) {
        int fds[2] = {-1, -1};
        const bool last = i + 1 == cmds.size();
        if (!last && ::pipe(fds) != 0) break;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        if (prevRead >= 0)
            posix_spawn_file_actions_adddup2(&fa, prevRead, 0);
        else
            posix_spawn_file_actions_addopen(&fa, 0, in.empty() ? "/dev/null" : in.c_str(),
                                             O_RDONLY, 0);
        if (last)
            posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        else
            posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        // The child keeps only 0, 1 and 2: the pipe ends are closed in it.
        if (prevRead >= 0) posix_spawn_file_actions_addclose(&fa, prevRead);
        if (!last) {
            posix_spawn_file_actions_addclose(&fa, fds[0]);
            posix_spawn_file_actions_addclose(&fa, fds[1]);
        }
        std::vector<char*> argv;
        for (const std::string& a : cmds[i]) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid;
        const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        if (prevRead >= 0) ::close(prevRead);
        if (!last) ::close(fds[1]);
        prevRead = last ? -1 : fds[0];
        if (rc != 0) break;
        pids.push_back(pid);
    }
    if (prevRead >= 0) ::close(prevRead);
    u.ok = pids.size() == cmds.size();
    for (pid_t pid : pids) {
        int status = 0;
        struct rusage ru {};
        if (::wait4(pid, &status, 0, &ru) != pid) u.ok = false;
        u.cpu += double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
        u.rssMb += double(ru.ru_maxrss) / 1024.0;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) u.ok = false;
    }
    u.wall = Now() - t0;
    return u;
}

// ---- the jobs

std::string Slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool Replace(std::string& s, const std::string& from, const std::string& to)
{
    const std::size_t at = s.find(from);
    if (at == std::string::npos) return false;
    s.replace(at, from.size(), to);
    return true;
}

std::string Quoted(const fs::path& p)
{
    return "\"" + p.string() + "\"";
}

struct Jobs {
    fs::path dir;  // scratch folder of this run
    fs::path kxrender;
    fs::path png300, png600;
    fs::path job[3];  // 300 dpi, 600 dpi, 100 labels
    std::string problem;

    Jobs()
    {
        const fs::path examples = fs::path(KX_SOURCE_DIR) / "examples";
        const char* other = std::getenv("KXBENCH_KXRENDER");
        kxrender = other && *other ? fs::path(other) : fs::path(KX_KXRENDER);
        dir = fs::temp_directory_path() / ("kxbench-job-" + std::to_string(::getpid()));
        fs::create_directories(dir / "state");
        png300 = examples / "images" / "shipping-label.png";
        png600 = dir / "shipping-label-600.png";
        // The picture at 600 dpi: every dot doubled both ways.
        const Usage scaled = RunPipeline({{"pngtopnm"}, {"pamscale", "2"}, {"pnmtopng"}},
                                         png300.string(), png600.string());
        if (!scaled.ok) problem = "netpbm (pngtopnm, pamscale, pnmtopng) is not available";

        std::string label = Slurp(examples / "shipping-label.json");
        bool ok = Replace(label, "\"Vela_403x.gpd\"", Quoted(examples / "Vela_403x.gpd")) &&
                  Replace(label, "\"settings/shipping-403x.xml\"",
                          Quoted(examples / "settings" / "shipping-403x.xml")) &&
                  Replace(label, "\"images/shipping-label.png\"", Quoted(png300));
        std::string label600 = label;
        ok = ok && Replace(label600, "\"Vela 403x\"", "\"Vela 406x\"") &&
             Replace(label600, Quoted(examples / "Vela_403x.gpd"),
                     Quoted(examples / "Vela_406x.gpd")) &&
             Replace(label600, Quoted(png300), Quoted(png600));
        // 100 labels: the page list a hundred times over.
        std::string labels = label;
        const std::size_t open = labels.find("\"pages\": [");
        const std::size_t close = labels.rfind(']');
        ok = ok && open != std::string::npos && close != std::string::npos && close > open;
        if (ok) {
            const std::size_t from = open + std::strlen("\"pages\": [");
            const std::string page = labels.substr(from, close - from);
            std::string pages;
            for (int i = 0; i < 100; ++i) pages += (i ? "," : "") + page;
            labels.replace(from, close - from, pages);
        }
        if (!ok) problem = "examples/shipping-label.json no longer has the expected shape";
        const std::string* texts[3] = {&label, &label600, &labels};
        const char* names[3] = {"label-300.json", "label-600.json", "labels-100.json"};
        for (int i = 0; i < 3; ++i) {
            job[i] = dir / names[i];
            std::ofstream(job[i], std::ios::binary) << *texts[i];
        }
    }
    ~Jobs()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    Usage Render(int which) const
    {
        return RunPipeline(
            {{kxrender.string(), job[which].string(), "-o", (dir / "out.kxpl").string(), "--state",
              (dir / "state").string(), "-q"}},
            "", (dir / "summary.txt").string());
    }
    Usage Netpbm(int which) const
    {
        return RunPipeline({{"pngtopnm"}, {"ppmtopgm"}, {"pgmtopbm", "-fs"}, {"ppmtopcx"}},
                           (which == 1 ? png600 : png300).string(), (dir / "out.pcx").string());
    }
};

const Jobs& TheJobs()
{
    static const Jobs jobs;
    return jobs;
}

void Report(benchmark::State& state, const char* prefix, const Usage& sum, const Usage& peak,
            double n)
{
    const std::string p = prefix;
    state.counters[p + "cpu_ms"] = sum.cpu / n * 1e3;
    state.counters[p + "wall_ms"] = sum.wall / n * 1e3;
    state.counters[p + "peak_MB"] = peak.rssMb;
}

// One job per iteration; the benchmark's time is the child's wall clock.
void BM_Job(benchmark::State& state)
{
    const Jobs& jobs = TheJobs();
    if (!jobs.problem.empty()) {
        state.SkipWithError(jobs.problem.c_str());
        return;
    }
    const int which = int(state.range(0));
    Usage sum, peak;
    for (auto _ : state) {
        const Usage u = jobs.Render(which);
        if (!u.ok) {
            state.SkipWithError("kxrender failed");
            return;
        }
        state.SetIterationTime(u.wall);
        sum.cpu += u.cpu;
        sum.wall += u.wall;
        peak.rssMb = std::max(peak.rssMb, u.rssMb);
    }
    Report(state, "", sum, peak, double(state.iterations()));
}
BENCHMARK(BM_Job)
    ->Name("Job/ShippingLabel/300")
    ->Arg(0)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Job)
    ->Name("Job/ShippingLabel/600")
    ->Arg(1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Job)
    ->Name("Job/ShippingLabels100")
    ->Arg(2)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The label and the netpbm pipeline in turns, so that both see the same
// load. Ratios below 1 mean less than netpbm.
void BM_CompareWithNetpbm(benchmark::State& state)
{
    const Jobs& jobs = TheJobs();
    if (!jobs.problem.empty()) {
        state.SkipWithError(jobs.problem.c_str());
        return;
    }
    const int which = int(state.range(0));
    Usage ours, ourPeak, net, netPeak;
    for (auto _ : state) {
        const Usage a = jobs.Render(which);
        const Usage b = jobs.Netpbm(which);
        if (!a.ok || !b.ok) {
            state.SkipWithError(!a.ok ? "kxrender failed" : "the netpbm pipeline failed");
            return;
        }
        state.SetIterationTime(a.wall);
        ours.cpu += a.cpu;
        ours.wall += a.wall;
        ourPeak.rssMb = std::max(ourPeak.rssMb, a.rssMb);
        net.cpu += b.cpu;
        net.wall += b.wall;
        netPeak.rssMb = std::max(netPeak.rssMb, b.rssMb);
    }
    const double n = double(state.iterations());
    Report(state, "", ours, ourPeak, n);
    Report(state, "netpbm_", net, netPeak, n);
    state.counters["cpu_ratio"] = ours.cpu / net.cpu;
    state.counters["wall_ratio"] = ours.wall / net.wall;
}
BENCHMARK(BM_CompareWithNetpbm)
    ->Name("Compare/JobVsNetpbmPipeline/300")
    ->Arg(0)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareWithNetpbm)
    ->Name("Compare/JobVsNetpbmPipeline/600")
    ->Arg(1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- the plug-in's peak over band capture and page end

using kxbench::ProcKb;
using kxbench::ResetPeak;

// A 4 x 6 inch photo-like page at 300 dpi, 24-bit rows top row first.
constexpr int kPhotoW = 1248, kPhotoH = 1800, kBandRows = 256;
constexpr std::size_t kPhotoStride = ((24 * std::size_t(kPhotoW) + 31) / 32) * 4;

std::vector<BYTE> PhotoPage()
{
    std::vector<BYTE> page(kPhotoStride * kPhotoH);
    std::uint32_t s = 7;
    for (int y = 0; y < kPhotoH; ++y)
        for (int x = 0; x < kPhotoW; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noise = int((s >> 24) % 17) - 8;
            BYTE* p = &page[std::size_t(y) * kPhotoStride + 3 * std::size_t(x)];
            p[0] = BYTE(std::clamp(int(110 + 100 * std::sin(y / 59.0)) + noise, 0, 255));
            p[1] = BYTE(std::clamp(int(120 + 80 * std::cos((x + y) / 173.0)) + noise, 0, 255));
            p[2] = BYTE(std::clamp(int(128 + 90 * std::sin(x / 97.0)) + noise, 0, 255));
        }
    return page;
}

// Captures the page band by band and ends it; false when a call failed.
bool CaptureAndEndPage(const std::vector<BYTE>& page, double* peakXPage)
{
    kxtest::TestDevice d;
    d.WithRaster(300, 11811, 11811);
    d.uni.keep = false;
    d.publicDM.dmPaperWidth = 1057;   // 1248 dots
    d.publicDM.dmPaperLength = 1524;  // 1800 dots
    d.devmode.wDruckmodus = kx::DRUCKMODUS_PHOTO;
    d.devmode.wPhotoFilter = kx::PHOTO_STUCKI;
    d.devmode.wEmpfindlichkeit = 128;
    d.data.dwWinkel_CC = 90;
    d.data.bCompress = 1;
    kx::FillGreyPalette(d.tables[0]);

    ResetPeak();
    const long before = ProcKb("VmRSS:");
    bool ok = true;
    for (int y = 0; y < kPhotoH && ok; y += kBandRows) {
        const int rows = std::min(kBandRows, kPhotoH - y);
        BITMAPINFOHEADER band{};
        band.biSize = sizeof(band);
        band.biWidth = kPhotoW;
        band.biHeight = rows;
        band.biPlanes = 1;
        band.biBitCount = 24;
        band.biSizeImage = DWORD(kPhotoStride * rows);
        IPPARAMS ip{};
        BYTE* bits = const_cast<BYTE*>(&page[std::size_t(y) * kPhotoStride]);
        ok = kx::CaptureBand(d.dev(), bits, &band, nullptr, 1, &ip) == S_OK;
    }
    ok = ok && kx::EndPage(d.dev(), &d.uni) == S_OK && d.uni.bytes > 0;
    const long peak = ProcKb("VmHWM:");
    *peakXPage = double(peak - before) * 1024.0 / double(page.size());
    return ok;
}

void BM_PageEndPeak(benchmark::State& state)
{
    static const std::vector<BYTE> page = PhotoPage();
    double peak = 0, most = 0;
    for (auto _ : state) {
        if (!CaptureAndEndPage(page, &peak)) {
            state.SkipWithError("band capture or page end failed");
            return;
        }
        most = std::max(most, peak);
    }
    state.counters["peak_x_page_with_buffer"] = most;
    state.counters["page_MB"] = double(page.size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PageEndPeak)
    ->Name("PageEnd/PhotoTurned90Peak")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
