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
//     "files": {"C:\\x\\y.prn": "y.prn"}                 files expected on the drives
//     "same_on_windows": ["C:\\x\\z.prn"]                files that the Windows build under
//   }                                                    Wine must write as the native one does
//                                                        (tests/wine/conformance.py)
//
// The jobs of golden/stand-in/ run on the stand-in module (tests/host/fake),
// whose output is a transcript of the calls kxrender made: the driver host's
// order, bands and strips, lines and cursor moves, text objects, faults and
// replayed calls. The program's command line and its refusals are checked
// here as well.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <sstream>

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

std::vector<std::string> GoldenJobs()
{
    std::vector<std::string> names;
    for (const char* folder : {"", "stand-in/"}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(kGoldenDir / folder, ec)) {
            const std::string file = entry.path().filename().string();
            const std::string suffix = ".expect.json";
            if (file.ends_with(suffix))
                names.push_back(folder + file.substr(0, file.size() - suffix.size()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
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
            EXPECT_TRUE(
                kxtest::BytesEqual(ReadFile(folder / expect["output"].get<std::string>()), actual));
        } else {
            std::string head = ReadFile(folder / expect["output_starts"].get<std::string>());
            EXPECT_TRUE(kxtest::BytesEqual(head, actual.substr(0, head.size())));
        }
    } else {
        EXPECT_FALSE(fs::exists(out));
    }
    const json files = expect.value("files", json::object());
    for (const auto& [windowsPath, expected] : files.items()) {
        // The drives lie in STATE/drives; "C:\a\b" is c/a/b there.
        std::string rel = windowsPath.substr(3);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        fs::path file = dir_ / "state" / "drives" /
                        std::string(1, static_cast<char>(std::tolower(windowsPath[0]))) / rel;
        ASSERT_TRUE(fs::exists(file)) << windowsPath;
        EXPECT_TRUE(
            kxtest::BytesEqual(ReadFile(folder / expected.get<std::string>()), ReadFile(file)))
            << windowsPath;
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, Golden, ::testing::ValuesIn(GoldenJobs()), [](const auto& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

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
