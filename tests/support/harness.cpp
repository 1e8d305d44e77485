#include "support/harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace kxtest {

namespace fs = std::filesystem;

SimSandbox::SimSandbox()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "kx";
    for (char& c : name)
        if (c == '/') c = '_';
    fs::path base = fs::temp_directory_path() / ("kxtest-" + std::to_string(::getpid()));
    dir_ = (base / name).string();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    kx::plat::sim::Config cfg;
    cfg.stateDir = (fs::path(dir_) / "state").string();
    cfg.rootDir = (fs::path(dir_) / "root").string();
    // Saturday, 5 December 2026, 14:30:15.250.
    kx::plat::SystemTime clock;
    clock.wYear = 2026;
    clock.wMonth = 12;
    clock.wDayOfWeek = 6;
    clock.wDay = 5;
    clock.wHour = 14;
    clock.wMinute = 30;
    clock.wSecond = 15;
    clock.wMilliseconds = 250;
    cfg.fixedClock = clock;
    kx::plat::sim::Configure(cfg);
}

SimSandbox::~SimSandbox()
{
    std::error_code ec;
    if (!::testing::Test::HasFailure()) fs::remove_all(dir_, ec);
}

std::string SimSandbox::HostPath(std::u16string_view windowsPath) const
{
    return kx::plat::sim::MapPath(windowsPath);
}

std::string SimSandbox::ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool SimSandbox::HostFileExists(const std::string& path)
{
    return fs::exists(path);
}

std::string Escape(const std::string& bytes)
{
    std::string r;
    char tmp[8];
    for (unsigned char c : bytes) {
        if (c == '\r')
            r += "\\r";
        else if (c == '\n')
            r += "\\n";
        else if (c == '\t')
            r += "\\t";
        else if (c == '\\')
            r += "\\\\";
        else if (c < 0x20 || c >= 0x7F) {
            std::snprintf(tmp, sizeof(tmp), "\\x%02X", c);
            r += tmp;
        } else
            r.push_back(static_cast<char>(c));
    }
    return r;
}

::testing::AssertionResult BytesEqual(const std::string& expected, const std::string& actual)
{
    if (expected == actual) return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    auto dump = [&](const std::string& s) {
        std::ostringstream os;
        std::size_t from = i > 32 ? i - 32 : 0;
        std::size_t to = std::min(s.size(), i + 32);
        char tmp[8];
        for (std::size_t k = from; k < to; ++k) {
            std::snprintf(tmp, sizeof(tmp), "%02X%s", static_cast<unsigned char>(s[k]),
                          k == i ? "<" : " ");
            os << tmp;
        }
        os << "  |" << Escape(s.substr(from, to - from)) << "|";
        return os.str();
    };
    return ::testing::AssertionFailure()
           << "byte streams differ at offset " << i << " (expected " << expected.size()
           << " bytes, got " << actual.size() << ")\n  expected: " << dump(expected)
           << "\n  actual:   " << dump(actual);
}

}  // namespace kxtest
