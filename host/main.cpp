// kxrender: replays a print job described in a job file through the render
// plug-in, as the driver host would, and writes the bytes the label printer
// receives.
//
//   kxrender JOB.json -o OUT.kxpl [--state DIR] [--root DIR] [--plugin FILE] [--calls]
//   kxrender --models
//
// A short summary goes to stderr; the exit status says how it went (see
// session.h). docs/job-format.md describes the job file.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "host/jobfile.h"
#include "host/models.h"
#include "host/module.h"
#include "host/session.h"

namespace {

namespace fs = std::filesystem;
using namespace kxhost;

constexpr const char* kUsage =
    "usage: kxrender JOB.json -o OUT.kxpl [options]\n"
    "       kxrender --models\n"
    "\n"
    "Runs the print job described in JOB.json through the render plug-in, as the\n"
    "printer driver host does, and writes the bytes the printer receives to OUT.kxpl.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the printer stream (required)\n"
    "  --state DIR         state of the simulated Windows: registry, printers, jobs\n"
    "                      (default: ./kxsim-state); kept between runs\n"
    "  --root DIR          where the simulated drive C: lies: print files, logs and\n"
    "                      backups land there (default: STATE/drives)\n"
    "  --plugin FILE       the plug-in module (default: next to kxrender)\n"
    "  --calls             list every call made to the plug-in\n"
    "  -q, --quiet         no summary, only errors\n"
    "  --models            print the model catalogue (document features and device\n"
    "                      option flags of every model-name rule) and exit\n"
    "  -h, --help          this text\n"
    "\n"
    "exit status: 0 done, 1 bad arguments or job file, 2 the plug-in cannot be loaded,\n"
    "3 a call of the job failed\n";

struct Args {
    fs::path job;
    fs::path output;
    RunOptions run;
    bool quiet = false;
};

int Usage(const std::string& problem)
{
    std::cerr << "kxrender: " << problem << "\n\n" << kUsage;
    return kExitJobFile;
}

std::string Plural(std::uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintSummary(const Args& args, const RunReport& r, bool wroteOutput)
{
    std::cerr << "kxrender: " << args.job.string() << "\n";
    if (!r.signature.empty()) {
        char version[16];
        std::snprintf(version, sizeof(version), "0x%X", r.version);
        std::cerr << "  plug-in   " << args.run.plugin.string() << " (signature " << r.signature
                  << ", version " << version << ")\n";
    }
    if (!r.devmodeLayout.empty())
        std::cerr << "  devmode   saved in the " << r.devmodeLayout << "\n";
    if (r.model.dpi) {
        std::cerr << "  printer   model data " << r.model.dpi << " dpi, head " << r.model.headDots
                  << " dots, largest page " << r.model.maxX << " x " << r.model.maxY
                  << " dots; raster on the "
                  << (r.model.imagePath ? "image path (ImageProcessing)"
                                        : "line path (FilterGraphics)")
                  << ", " << r.surfaceBits << "-bit surface\n";
        std::cerr << "  pages     " << r.pagesInJob << " in the job, " << r.pagesStarted
                  << " started, " << r.pagesEnded << " ended; " << Plural(r.bands, "band", "bands")
                  << " (" << r.blankBands << " blank), " << Plural(r.lines, "line", "lines")
                  << "\n";
        std::cerr << "  fields    " << r.textsTaken << " of " << Plural(r.texts, "text", "texts")
                  << " taken as printer fields, " << r.textsHandedBack
                  << " handed back to the host\n";
        for (const std::string& t : r.taken) std::cerr << "            taken: " << t << "\n";
        for (const std::string& t : r.handedBack) std::cerr << "            back: " << t << "\n";
    }
    if (wroteOutput) {
        std::cerr << "  output    " << args.output.string() << ": "
                  << Plural(r.output.size(), "byte", "bytes") << " in "
                  << Plural(r.spoolWrites, "spooler write", "spooler writes");
        if (r.failedWrites) std::cerr << ", " << r.failedWrites << " failed";
        if (r.aborts) std::cerr << ", " << Plural(r.aborts, "abort sequence", "abort sequences");
        std::cerr << (r.exitCode == kExitOk ? "" : " (incomplete: the job failed)") << "\n";
    }
    if (r.settingsWritten) {
        if (r.files.empty()) std::cerr << "  files     none written\n";
        for (std::size_t i = 0; i < r.files.size(); ++i)
            std::cerr << (i ? "            " : "  files     ") << r.files[i].windowsPath << " ("
                      << Plural(r.files[i].size, "byte", "bytes") << ")\n";
    }
    for (const std::string& c : r.calls) std::cerr << "  call      " << c << "\n";
    for (const std::string& w : r.warnings) std::cerr << "  warning   " << w << "\n";
}

}  // namespace

int main(int argc, char** argv)
{
    Args args;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&](const char* option) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)option;
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return kExitOk;
        } else if (a == "--models") {
            std::cout << ModelCatalogue();
            return kExitOk;
        } else if (a == "-o" || a == "--output" || a == "--state" || a == "--root" ||
                   a == "--plugin") {
            const char* v = value(argv[i]);
            if (!v) return Usage(std::string(a) + " needs a value");
            if (a == "-o" || a == "--output") args.output = v;
            if (a == "--state") args.run.env.state = v;
            if (a == "--root") args.run.env.root = v;
            if (a == "--plugin") args.run.plugin = v;
        } else if (a == "--calls") {
            args.run.logCalls = true;
        } else if (a == "-q" || a == "--quiet") {
            args.quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option " + std::string(a));
        } else if (args.job.empty()) {
            args.job = std::string(a);
        } else {
            return Usage("more than one job file given");
        }
    }
    if (args.job.empty()) return Usage("no job file given");
    if (args.output.empty()) return Usage("no output file given (-o OUT.kxpl)");
    if (args.run.plugin.empty()) args.run.plugin = ProgramDir() / PluginFileName();

    Job job;
    try {
        job = LoadJob(args.job);
    } catch (const std::exception& e) {
        std::cerr << "kxrender: " << args.job.string() << ": " << e.what() << "\n";
        return kExitJobFile;
    }

    RunReport report = RunJob(job, args.run);
    bool wroteOutput = false;
    if (report.exitCode != kExitJobFile) {
        std::ofstream out(args.output, std::ios::binary | std::ios::trunc);
        out.write(report.output.data(), static_cast<std::streamsize>(report.output.size()));
        out.close();
        if (!out) {
            report.errors.push_back("cannot write " + args.output.string());
            if (report.exitCode == kExitOk) report.exitCode = kExitJob;
        } else {
            wroteOutput = true;
        }
    }
    if (!args.quiet) PrintSummary(args, report, wroteOutput);
    for (const std::string& e : report.errors)
        std::cerr << "kxrender: "
                  << (report.exitCode == kExitJobFile ? args.job.string() + ": " : "")
                  << "error: " << e << "\n";
    return report.exitCode;
}
