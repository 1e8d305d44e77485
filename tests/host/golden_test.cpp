// Golden jobs: whole jobs run through the kxrender program, each compared
// byte for byte with the stream its expectation names (a hex dump around the
// first difference when they differ), with the exit status and the messages
// on stderr. Every tests/host/golden/<name>.expect.json is one test:
//
//   {
//     "job": "../../../examples/shipping-label.json",   relative to the file
//     "exit": 3,                                         kxrender's exit status
//     "stderr": ["START_JOB failed: ..."],               lines stderr must hold
//     "output": "shipping-label.kxpl",                   expected bytes (absent: none written)
//     "output_starts": "header.kxpl",                    or only the leading bytes
//     "output_next": ["run2.kxpl"]                       the job run again on the same state
//                                                        (counters continue): one stream a run
//     "files": {"C:\\x\\y.prn": "y.prn"}                 files expected on the drives
//     "same_on_windows": ["C:\\x\\z.prn"]                files that the Windows build under
//                                                        Wine must write as the native one does
//                                                        (tests/wine/conformance.py)
//     "jpeg": {"C:\\x\\p.jpg": {"width": 320, "height": 272,   a JPEG on the drives as
//              "dark": [[x, y]], "light": [[x, y]]}}     libjpeg's djpeg decodes it: its size,
//                                                        dots that come out dark or light
//     "registry": [{...}]                                stored settings records, see CheckRegistry
//     "pcx": "images/page.pbm"                           every PCX record of the stream as
//                                                        netpbm's pcxtoppm decodes it: the rows
//                                                        of this page it names; every row of
//                                                        the page with dots is sent
//     "derived": ["..."]                                 how the expected values were worked
//   }                                                    out (for the reader; not read here)
//
// The jobs of golden/registry/ check the settings records the job stored
// (native only). The jobs of golden/stand-in/ run on the stand-in module (tests/host/fake),
// whose output is a transcript of the calls kxrender made: the driver host's
// order, bands and strips, lines and cursor moves, text objects, faults and
// replayed calls. The program's command line and its refusals are checked
// here as well.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "host/image.h"
#include "host/records.h"
#include "host_fixture.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "support/harness.h"
#include "viewer/stream.h"

namespace kxhosttest {
namespace {

using nlohmann::json;

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Result {
    int exit = -1;
    std::string err;
};

// Runs kxrender with the arguments in a scratch folder; stderr is kept.
Result Kxrender(const fs::path& dir, const std::string& args)
{
    fs::path err = dir / "stderr.txt";
    std::string cmd = Quote(KX_KXRENDER) + " " + args + " 2>" + Quote(err.string());
    int status = std::system(cmd.c_str());
    Result r;
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadFile(err);
    return r;
}

namespace plat = kx::plat;

std::string Hex(const std::vector<std::uint8_t>& b)
{
    std::string s;
    char two[3];
    for (std::uint8_t c : b) {
        std::snprintf(two, sizeof two, "%02x", c);
        s += two;
    }
    return s;
}

// One stored value: {"printer": name} for the printer's data, else
// {"key": user key} or {"machine_key": key}; and "value", its name.
std::vector<std::uint8_t> Stored(const json& e)
{
    const std::u16string name =
        plat::MultiByteToWide(plat::kCpUtf8, e.at("value").get<std::string>());
    std::uint32_t size = 0;
    std::vector<std::uint8_t> b;
    if (e.contains("printer")) {
        plat::Handle h = nullptr;
        if (plat::OpenPrinter(plat::MultiByteToWide(plat::kCpUtf8, e["printer"].get<std::string>()),
                              &h) != 0)
            return b;
        plat::GetPrinterData(h, name, nullptr, nullptr, 0, &size);
        b.resize(size);
        if (plat::GetPrinterData(h, name, nullptr, b.data(), size, &size) != 0) b.clear();
        plat::ClosePrinter(h);
        return b;
    }
    const bool machine = e.contains("machine_key");
    const std::u16string key = plat::MultiByteToWide(
        plat::kCpUtf8, e.at(machine ? "machine_key" : "key").get<std::string>());
    const plat::Hive hive = machine ? plat::Hive::LocalMachine : plat::Hive::CurrentUser;
    if (plat::RegGetValue(hive, key, name, nullptr, nullptr, &size) != 0) return b;
    b.resize(size);
    plat::RegGetValue(hive, key, name, nullptr, b.data(), &size);
    return b;
}

// Each expectation of a stored value: "absent", its "size", its leading
// bytes ("hex"), 32-bit words at offsets ("u32"), or named fields of the record it holds
// ("devmode", "interface", "public_devmode", "ftkn", at byte "at"): applying the named values to
// the stored record must change nothing.
void CheckRegistry(const json& list, const fs::path& state)
{
    plat::sim::Config cfg;
    cfg.stateDir = state.string();
    cfg.rootDir = (state / "drives").string();
    plat::sim::Configure(cfg);
    for (const json& e : list) {
        SCOPED_TRACE(e.dump().substr(0, 160));
        const std::vector<std::uint8_t> b = Stored(e);
        if (e.value("absent", false)) {
            EXPECT_TRUE(b.empty());
            continue;
        }
        ASSERT_FALSE(b.empty());
        if (e.contains("size")) {
            EXPECT_EQ(b.size(), e["size"].get<std::size_t>());
        }
        if (e.contains("hex")) {
            EXPECT_EQ(Hex(b).substr(0, e["hex"].get<std::string>().size()), e["hex"]);
        }
        for (const json& u : e.value("u32", json::array())) {
            std::uint32_t v = 0;
            std::memcpy(&v, b.data() + u[0].get<std::size_t>(), 4);
            EXPECT_EQ(v, u[1].get<std::uint32_t>()) << "at " << u[0];
        }
        const std::size_t at = e.value("at", 0u);
        std::vector<std::uint8_t> copy = b;
        copy.resize(std::max(copy.size(), at + sizeof(KX_DEVMODE) + sizeof(PRN_INTERFACE)));
        void* p = copy.data() + at;
        if (e.contains("devmode"))
            kxhost::ApplyDevmode(e["devmode"], "devmode", static_cast<KX_DEVMODE*>(p));
        if (e.contains("interface"))
            kxhost::ApplyInterface(e["interface"], "interface", static_cast<PRN_INTERFACE*>(p));
        if (e.contains("public_devmode"))
            kxhost::ApplyPublicDevmode(e["public_devmode"], "public_devmode",
                                       static_cast<DEVMODEW*>(p));
        if (e.contains("ftkn")) kxhost::ApplyFtkn(e["ftkn"], "ftkn", static_cast<DEVMODE_FTKN*>(p));
        copy.resize(b.size());
        EXPECT_EQ(Hex(copy), Hex(b)) << "a named value differs from the stored record";
    }
}

// Every graphics record of the stream, as the stream reader cuts it out, is
// a PCX file that pcxtoppm decodes to the rows of the page its header names
// (yMax and yMin count from the bottom); every row of the page with dots is
// sent.
void ExpectPcxDecodesTo(const std::string& stream, const fs::path& pagePath, const fs::path& dir)
{
    const kxhost::Image page = kxhost::LoadImage(pagePath);
    auto dark = [](const kxhost::Image& img, int x, int y) {
        return kxhost::Grey(img.Pixel(x, y)) < 128;
    };
    std::vector<bool> sent(std::size_t(page.height), false);
    int parts = 0;
    for (const kxview::Record& rec : kxview::ReadRecords(stream)) {
        ASSERT_NE(rec.kind, kxview::RecordKind::Broken) << rec.param;
        if (rec.kind != kxview::RecordKind::Graphic) continue;
        const int yMin = int(kxview::Word16(rec.payload, 6));
        const int rows = int(kxview::Word16(rec.payload, 10)) - yMin + 1;
        const fs::path pcx = dir / ("part" + std::to_string(parts) + ".pcx");
        std::ofstream(pcx, std::ios::binary) << rec.payload;
        const fs::path ppm = dir / ("part" + std::to_string(parts) + ".ppm");
        const std::string cmd = "pcxtoppm " + Quote(pcx.string()) + " > " + Quote(ppm.string());
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "pcxtoppm (Debian package netpbm)";
        const kxhost::Image got = kxhost::LoadImage(ppm);
        ASSERT_EQ(got.width, page.width);
        ASSERT_EQ(got.height, rows);
        const int first = page.height - rows - yMin;
        for (int y = 0; y < rows; ++y) {
            sent[std::size_t(first + y)] = true;
            for (int x = 0; x < page.width; ++x)
                ASSERT_EQ(dark(got, x, y), dark(page, x, first + y))
                    << "part " << parts << ", row " << first + y << ", dot " << x;
        }
        ++parts;
    }
    EXPECT_GT(parts, 0);
    for (int y = 0; y < page.height; ++y) {
        bool dots = false;
        for (int x = 0; x < page.width; ++x) dots = dots || dark(page, x, y);
        EXPECT_TRUE(!dots || sent[std::size_t(y)]) << "row " << y << " with dots was not sent";
    }
}

class Golden : public HostTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Golden, Job)
{
    const fs::path expectFile = kGoldenDir / (GetParam() + ".expect.json");
    const fs::path folder = expectFile.parent_path();
    json expect = json::parse(ReadFile(expectFile));
    fs::path job = (folder / expect.at("job").get<std::string>()).lexically_normal();
    fs::path out = dir_ / "out.kxpl";
    std::string plugin;
    if (GetParam().starts_with("stand-in/")) plugin = " --plugin " + Quote(KX_FAKE_PLUGIN_FILE);
    json runs = expect.value("output_next", json::array());
    runs.insert(runs.begin(), expect.value("output", json()));
    for (const json& output : runs) {
        SCOPED_TRACE("run with output " + output.dump());
        if (!output.is_null()) expect["output"] = output;
        fs::remove(out);
        Result r = Kxrender(dir_, Quote(job.string()) + " -o " + Quote(out.string()) + " --state " +
                                      Quote((dir_ / "state").string()) + plugin);
        EXPECT_EQ(r.exit, expect.at("exit").get<int>()) << r.err;
        const json lines = expect.value("stderr", json::array());
        for (const auto& line : lines)
            EXPECT_NE(r.err.find(line.get<std::string>()), std::string::npos)
                << "stderr lacks \"" << line.get<std::string>() << "\":\n"
                << r.err;
        if (expect.contains("output") || expect.contains("output_starts")) {
            ASSERT_TRUE(fs::exists(out)) << r.err;
            const std::string actual = ReadFile(out);
            if (expect.contains("output")) {
                EXPECT_TRUE(kxtest::BytesEqual(
                    ReadFile(folder / expect["output"].get<std::string>()), actual));
            } else {
                std::string head = ReadFile(folder / expect["output_starts"].get<std::string>());
                EXPECT_TRUE(kxtest::BytesEqual(head, actual.substr(0, head.size())));
            }
            if (expect.contains("pcx"))
                ExpectPcxDecodesTo(actual, kGoldenDir / expect["pcx"].get<std::string>(), dir_);
        } else {
            EXPECT_FALSE(fs::exists(out));
        }
    }
    // The drives lie in STATE/drives; "C:\a\b" is c/a/b there.
    auto onDrive = [&](const std::string& windowsPath) {
        std::string rel = windowsPath.substr(3);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        return dir_ / "state" / "drives" /
               std::string(1, static_cast<char>(std::tolower(windowsPath[0]))) / rel;
    };
    const json files = expect.value("files", json::object());
    for (const auto& [windowsPath, expected] : files.items()) {
        fs::path file = onDrive(windowsPath);
        ASSERT_TRUE(fs::exists(file)) << windowsPath;
        EXPECT_TRUE(
            kxtest::BytesEqual(ReadFile(folder / expected.get<std::string>()), ReadFile(file)))
            << windowsPath;
    }
    const json jpegs = expect.value("jpeg", json::object());
    for (const auto& [windowsPath, want] : jpegs.items()) {
        const fs::path ppm = dir_ / "decoded.ppm";
        const std::string cmd = "djpeg -ppm -outfile " + Quote(ppm.string()) + " " +
                                Quote(onDrive(windowsPath).string());
        ASSERT_EQ(std::system(cmd.c_str()), 0) << windowsPath;
        const kxhost::Image got = kxhost::LoadImage(ppm);
        ASSERT_EQ(got.width, want.at("width").get<int>());
        ASSERT_EQ(got.height, want.at("height").get<int>());
        auto grey = [&](const json& xy) {
            return kxhost::Grey(got.Pixel(xy[0].get<int>(), xy[1].get<int>()));
        };
        for (const json& xy : want.value("dark", json::array())) EXPECT_LT(grey(xy), 64) << xy;
        for (const json& xy : want.value("light", json::array())) EXPECT_GT(grey(xy), 192) << xy;
    }
    if (expect.contains("registry")) CheckRegistry(expect["registry"], dir_ / "state");
}

INSTANTIATE_TEST_SUITE_P(Jobs, Golden,
                         ::testing::ValuesIn(GoldenJobs({"", "registry/", "stand-in/",
                                                         "devmode-layouts/"})),
                         GoldenTestName);

class CommandLine : public HostTest {};

// Each refusal: its exit status and message; before a job runs no stream is
// written (a module that cannot be loaded leaves the empty, incomplete one).
TEST_F(CommandLine, RefusesWhatItCannotRun)
{
    const std::string job = Quote((kExamples / "small-label-203.json").string());
    const std::string out = Quote((dir_ / "out.kxpl").string());
    const std::string bad =
        Quote(Write("bad.json", R"({"printer": {"name": "P", "model": "Vela 403x"},
                                        "pages": [{"image": "p.pbm", "bits": 4}]})")
                  .string());
    WritePbm("p.pbm", 8, 2, {});
    const std::string none = (dir_ / "none.so").string();
    const struct {
        std::string args;
        int exit;
        std::string message;
    } cases[] = {
        {"", 1, "kxrender: no job file given\n\nusage: kxrender JOB.json -o OUT.kxpl"},
        {job, 1, "no output file given (-o OUT.kxpl)"},
        {job + " -o " + out + " --colour", 1, "unknown option --colour"},
        {job + " -o", 1, "-o needs a value"},
        {bad + " -o " + out, 1, ": pages[0].bits: must be 1, 8 or 24 bits per pixel (got 4)\n"},
        {job + " -o " + out + " --state " + Quote((dir_ / "state").string()) + " --plugin " +
             Quote(none),
         2, "error: cannot load the plug-in module " + none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        Result r = Kxrender(dir_, c.args);
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.exit == 1) {
            EXPECT_FALSE(fs::exists(dir_ / "out.kxpl"));
        }
    }
}

}  // namespace
}  // namespace kxhosttest
