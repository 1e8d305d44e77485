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
//     "output_ends": "trailer.kxpl",                     and the trailing bytes
//     "files": {"C:\\x\\y.prn": "y.prn"}                 files expected on the drives
//     "same_on_windows": ["C:\\x\\z.prn"]                files that the Windows build under
//                                                        Wine must write as the native one does
//                                                        (tests/wine/conformance.py)
//     "jpeg": {"C:\\x\\p.jpg": {"width": 320, "height": 272,   a JPEG on the drives as
//              "dark": [[x, y]], "light": [[x, y]]}}     libjpeg's djpeg decodes it: its size,
//                                                        dots that come out dark or light
//     "pcx": "images/page.pbm"                           every PCX record of the stream as
//                                                        netpbm's pcxtoppm decodes it: the rows
//                                                        of this page it names; every row of
//                                                        the page with dots is sent
//     "derived": ["..."]                                 how the expected values were worked
//   }                                                    out (for the reader; not read here)
//
// The program's command line and its refusals are checked here as well.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "host/image.h"
#include "host_fixture.h"
#include "platform/sim.h"
#include "support/harness.h"

namespace kxhosttest {
namespace {

using nlohmann::json;

const fs::path kGoldenDir = kSourceDir / "tests" / "host" / "golden";

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

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

// The bytes that code `need` decoded bytes of PCX run-length data from at.
std::size_t CodedLength(const std::string& s, std::size_t at, std::size_t need)
{
    std::size_t i = at, produced = 0;
    while (produced < need && i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i++]);
        produced += b >= 0xC0 ? (++i, b & 0x3F) : 1;
    }
    return i - at;
}

// Every graphics record of the stream, cut out as a PCX file and decoded by
// pcxtoppm, shows the rows of the page that its header names (yMax and yMin
// count from the bottom); every row of the page with dots is sent.
void ExpectPcxDecodesTo(const std::string& stream, const fs::path& pagePath, const fs::path& dir)
{
    const kxhost::Image page = kxhost::LoadImage(pagePath);
    auto dark = [](const kxhost::Image& img, int x, int y) {
        return kxhost::Grey(img.Pixel(x, y)) < 128;
    };
    std::vector<bool> sent(std::size_t(page.height), false);
    int parts = 0;
    for (std::size_t p = stream.find("^AX000"); p != std::string::npos;
         p = stream.find("^AX000", p + 1), ++parts) {
        const std::size_t hdr = p + 20;  // ^AX000, Y and X (6 digits each), "1_"
        ASSERT_LE(hdr + 128, stream.size());
        auto word = [&](int off) {
            return std::uint8_t(stream[hdr + off]) | (std::uint8_t(stream[hdr + off + 1]) << 8);
        };
        const int yMin = word(6), yMax = word(10), rows = yMax - yMin + 1;
        const std::size_t len = CodedLength(stream, hdr + 128, std::size_t(rows) * word(66));
        const fs::path pcx = dir / ("part" + std::to_string(parts) + ".pcx");
        std::ofstream(pcx, std::ios::binary) << stream.substr(hdr, 128 + len);
        const fs::path ppm = dir / ("part" + std::to_string(parts) + ".ppm");
        const std::string cmd = "pcxtoppm " + Quote(pcx.string()) + " > " + Quote(ppm.string());
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "pcxtoppm (Debian package netpbm)";
        const kxhost::Image got = kxhost::LoadImage(ppm);
        ASSERT_EQ(got.width, page.width);
        ASSERT_EQ(got.height, rows);
        const int first = page.height - 1 - yMax;
        for (int y = 0; y < rows; ++y) {
            sent[std::size_t(first + y)] = true;
            for (int x = 0; x < page.width; ++x)
                ASSERT_EQ(dark(got, x, y), dark(page, x, first + y))
                    << "part " << parts << ", row " << first + y << ", dot " << x;
        }
        p = hdr + 128 + len - 1;
    }
    EXPECT_GT(parts, 0);
    for (int y = 0; y < page.height; ++y) {
        bool dots = false;
        for (int x = 0; x < page.width; ++x) dots = dots || dark(page, x, y);
        EXPECT_TRUE(!dots || sent[std::size_t(y)]) << "row " << y << " with dots was not sent";
    }
}

std::vector<std::string> GoldenJobs()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kGoldenDir, ec)) {
        std::string file = entry.path().filename().string();
        const std::string suffix = ".expect.json";
        if (file.size() > suffix.size() && file.ends_with(suffix))
            names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Golden : public HostTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Golden, Job)
{
    fs::path expectFile = kGoldenDir / (GetParam() + ".expect.json");
    json expect = json::parse(ReadFile(expectFile));
    fs::path job = (kGoldenDir / expect.at("job").get<std::string>()).lexically_normal();
    fs::path out = dir_ / "out.kxpl";
    Result r = Kxrender(dir_, Quote(job.string()) + " -o " + Quote(out.string()) + " --state " +
                                  Quote((dir_ / "state").string()));
    EXPECT_EQ(r.exit, expect.at("exit").get<int>()) << r.err;
    const json lines = expect.value("stderr", json::array());
    for (const auto& line : lines)
        EXPECT_NE(r.err.find(line.get<std::string>()), std::string::npos)
            << "stderr lacks \"" << line.get<std::string>() << "\":\n"
            << r.err;
    const bool partly = expect.contains("output_starts") || expect.contains("output_ends");
    if (expect.contains("output") || partly) {
        ASSERT_TRUE(fs::exists(out)) << r.err;
        const std::string actual = ReadFile(out);
        if (expect.contains("output")) {
            EXPECT_TRUE(kxtest::BytesEqual(
                ReadFile(kGoldenDir / expect["output"].get<std::string>()), actual));
        }
        if (expect.contains("output_starts")) {
            std::string head = ReadFile(kGoldenDir / expect["output_starts"].get<std::string>());
            EXPECT_TRUE(kxtest::BytesEqual(head, actual.substr(0, head.size())));
        }
        if (expect.contains("output_ends")) {
            std::string tail = ReadFile(kGoldenDir / expect["output_ends"].get<std::string>());
            EXPECT_TRUE(kxtest::BytesEqual(
                tail, actual.substr(actual.size() - std::min(actual.size(), tail.size()))));
        }
        if (expect.contains("pcx"))
            ExpectPcxDecodesTo(actual, kGoldenDir / expect["pcx"].get<std::string>(), dir_);
    } else {
        EXPECT_FALSE(fs::exists(out));
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
            kxtest::BytesEqual(ReadFile(kGoldenDir / expected.get<std::string>()), ReadFile(file)))
            << windowsPath;
    }
    const json jpegs = expect.value("jpeg", json::object());
    for (const auto& [windowsPath, want] : jpegs.items()) {
        const fs::path ppm = dir_ / "decoded.ppm";
        const std::string cmd = "djpeg -ppm -outfile " + Quote(ppm.string()) + " " +
                                Quote(onDrive(windowsPath).string());
        ASSERT_EQ(std::system(cmd.c_str()), 0) << windowsPath;
        std::ifstream in(ppm, std::ios::binary);
        std::string magic;
        int w = 0, h = 0, maxval = 0;
        in >> magic >> w >> h >> maxval;
        in.get();
        const std::string px{std::istreambuf_iterator<char>(in), {}};
        ASSERT_EQ(magic, "P6");
        EXPECT_EQ(w, want.at("width").get<int>());
        EXPECT_EQ(h, want.at("height").get<int>());
        ASSERT_EQ(px.size(), std::size_t(w) * h * 3);
        auto grey = [&](const json& xy) {
            const std::size_t at = (std::size_t(xy[1].get<int>()) * w + xy[0].get<int>()) * 3;
            return (std::uint8_t(px[at]) + std::uint8_t(px[at + 1]) + std::uint8_t(px[at + 2])) / 3;
        };
        for (const json& xy : want.value("dark", json::array())) EXPECT_LT(grey(xy), 64) << xy;
        for (const json& xy : want.value("light", json::array())) EXPECT_GT(grey(xy), 192) << xy;
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, Golden, ::testing::ValuesIn(GoldenJobs()), [](const auto& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

class CommandLine : public HostTest {};

TEST_F(CommandLine, RefusesWhatItCannotRun)
{
    Result r = Kxrender(dir_, "");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("kxrender: no job file given"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: kxrender JOB.json -o OUT.kxpl"), std::string::npos);

    fs::path job = kExamples / "small-label-203.json";
    r = Kxrender(dir_, Quote(job.string()));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("no output file given (-o OUT.kxpl)"), std::string::npos) << r.err;

    r = Kxrender(dir_, Quote(job.string()) + " -o x --colour");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("unknown option --colour"), std::string::npos) << r.err;

    r = Kxrender(dir_, Quote(job.string()) + " -o");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("-o needs a value"), std::string::npos) << r.err;
}

TEST_F(CommandLine, BadJobFileLeavesNoOutput)
{
    fs::path job = Write("bad.json", R"({"printer": {"name": "P", "model": "Vela 403x"},
                                          "pages": [{"image": "p.pbm", "bits": 4}]})");
    WritePbm("p.pbm", 8, 2, {});
    fs::path out = dir_ / "out.kxpl";
    Result r = Kxrender(dir_, Quote(job.string()) + " -o " + Quote(out.string()));
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "kxrender: " + job.string() +
                         ": pages[0].bits: must be 1, 8 or 24 bits per pixel (got 4)\n");
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(CommandLine, MissingModuleIsItsOwnFailure)
{
    fs::path out = dir_ / "out.kxpl";
    Result r =
        Kxrender(dir_, Quote((kExamples / "small-label-203.json").string()) + " -o " +
                           Quote(out.string()) + " --state " + Quote((dir_ / "state").string()) +
                           " --plugin " + Quote((dir_ / "none.so").string()));
    EXPECT_EQ(r.exit, 2);
    EXPECT_NE(r.err.find("error: cannot load the plug-in module " + (dir_ / "none.so").string()),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace kxhosttest
