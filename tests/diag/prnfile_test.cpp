// Print-file names as the cases of data/prnfile.json (the directory choice,
// time stamps and "-n" retries, tidying oldest-first, the refusals), and
// tidying that fails on files held open.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "diag/prnfile.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace {

namespace plat = kx::plat;
using kxtest::SimSandbox;
using nlohmann::json;

class PrnFileName : public ::testing::Test {
protected:
    SimSandbox sandbox;
    PRN_INTERFACE pi{};
    DWORD bRetval = 7;

    void SetUp() override
    {
        pi.bLogFileTimeStamp = 1;
        pi.dwLogFilesCount = 50;
        SetLogPath(u"C:\\logs");
        ASSERT_TRUE(plat::CreateDirectory(u"C:\\logs"));
    }
    void SetLogPath(std::u16string_view path) { kx::Copy(pi.wcLogFilePath, PRN_PATH_CHARS, path); }
    std::u16string Name(const char16_t* ext, DWORD bTidy = 0, bool withSettings = true,
                        const char16_t* printer = u"Label")
    {
        return kx::GetPrnFileName(nullptr, ext, printer, bTidy, withSettings ? &pi : nullptr,
                                  &bRetval);
    }
    // Files <prefix>01.. in dir, a minute apart on the given day of January
    // (their last-write times); the clock is set back afterwards.
    static void Fill(const std::u16string& dir, int count, const char16_t* prefix = u"f",
                     WORD day = 1)
    {
        for (int i = 1; i <= count; ++i) {
            plat::sim::SetClock({2026, 1, 0, day, 8, WORD(i), 0, 0});
            char16_t name[16];
            kx::Format(name, u"\\%s%02d.prn", prefix, i);
            plat::CloseHandle(
                plat::CreateFile(dir + name, plat::kGenericWrite, 0, plat::kCreateAlways));
        }
        plat::sim::SetClock({2026, 12, 0, 5, 14, 30, 15, 250});
    }
    static void Touch(const std::u16string& path)
    {
        plat::CloseHandle(plat::CreateFile(path, plat::kGenericWrite, 0, plat::kCreateAlways));
    }
    static std::u16string U16(const json& text) { return kx::Utf8ToUtf16(text.get<std::string>()); }
    // What a case or call sets up besides the settings.
    void Prepare(const json& step)
    {
        for (const json& printer : step.value("printers", json::array())) {
            plat::sim::PrinterSetup setup;
            setup.name = U16(printer);
            setup.driverName = u"KX Driver";
            plat::sim::AddPrinter(setup);
        }
        for (const json& dir : step.value("remove", json::array()))
            std::filesystem::remove_all(sandbox.HostPath(U16(dir)));
        for (const json& dir : step.value("dirs", json::array()))
            std::filesystem::create_directories(sandbox.HostPath(U16(dir)));
        for (const json& path : step.value("touch", json::array())) Touch(U16(path));
        for (const json& f : step.value("fill", json::array()))
            Fill(U16(f[0]), f[1], U16(f[2]).c_str(), f[3]);
        plat::sim::Config cfg = plat::sim::Current();
        if (step.contains("user")) cfg.userName = U16(step["user"]);
        if (step.contains("free_bytes")) cfg.freeBytes = step["free_bytes"].get<std::uint64_t>();
        plat::sim::Configure(cfg);
    }
    static std::vector<std::u16string> Listing(const std::u16string& dir)
    {
        std::vector<plat::FindData> found;
        plat::FindFiles(dir + u"\\*.*", &found);
        std::vector<std::u16string> names;
        for (const auto& fd : found) names.push_back(fd.name);
        return names;
    }
};

// The cases of data/prnfile.json, each in a sandbox of its own.
std::vector<json> Cases()
{
    return json::parse(std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" /
                                     "prnfile.json"))["cases"];
}

class PrnFileCases : public PrnFileName, public ::testing::WithParamInterface<json> {};

TEST_P(PrnFileCases, Run)
{
    const json& c = GetParam();
    SCOPED_TRACE(c["name"].get<std::string>());
    plat::sim::DriverSetup driver;
    driver.name = u"KX Driver";
    plat::sim::AddDriver(driver);
    Prepare(c);
    int callNo = 0;
    for (const json& call : c["calls"]) {
        SCOPED_TRACE("call " + std::to_string(++callNo));
        Prepare(call);
        if (call.contains("path")) SetLogPath(U16(call["path"]));
        pi.bLogFileTimeStamp = call.value("time_stamp", pi.bLogFileTimeStamp);
        pi.dwLogFilesCount = call.value("count", pi.dwLogFilesCount);
        std::map<std::string, std::vector<std::u16string>> before;
        for (const json& dir : call.value("unchanged", json::array()))
            before[dir.get<std::string>()] = Listing(U16(dir));
        HANDLE h = nullptr;
        if (call.contains("handle")) {
            ASSERT_EQ(plat::OpenPrinter(U16(call["handle"]), &h), 0u);
        }
        const json printer = call.value("printer", json("Label"));
        const std::u16string printerName = printer.is_null() ? u"" : U16(printer);
        const std::u16string name = kx::GetPrnFileName(
            h, U16(call.value("ext", json(".log"))).c_str(),
            printer.is_null() || h ? nullptr : printerName.c_str(), call.value("tidy", 0),
            call.value("no_settings", false) ? nullptr : &pi, &bRetval);
        if (h) plat::ClosePrinter(h);
        EXPECT_EQ(kx::Utf16ToUtf8(name), call.value("expect", kx::Utf16ToUtf8(name)));
        EXPECT_EQ(bRetval, call.value("retval", bRetval));
        const std::string pathAfter = kx::Utf16ToUtf8(pi.wcLogFilePath);
        EXPECT_EQ(pathAfter, call.value("path_after", pathAfter));
        const json entries = call.value("entries", json::object());
        const json listing = call.value("listing", json::object());
        for (const auto& [dir, n] : entries.items()) EXPECT_EQ(Listing(U16(dir)).size(), n) << dir;
        for (const auto& [dir, names] : listing.items()) {
            std::vector<std::string> got;
            for (const auto& entry : Listing(U16(dir))) got.push_back(kx::Utf16ToUtf8(entry));
            EXPECT_EQ(json(got), names) << dir;
        }
        for (const auto& [dir, names] : before) EXPECT_EQ(Listing(U16(dir)), names) << dir;
    }
}

INSTANTIATE_TEST_SUITE_P(Data, PrnFileCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(PrnFileName, FilesThatCannotBeDeleted)
{
    Fill(u"C:\\logs", 12);
    // The two oldest are held open without delete sharing.
    HANDLE h1 = plat::CreateFile(u"C:\\logs\\f01.prn", plat::kGenericRead, 0, plat::kOpenExisting);
    HANDLE h2 = plat::CreateFile(u"C:\\logs\\f02.prn", plat::kGenericRead, 0, plat::kOpenExisting);
    // 12 entries, limit 10: three passes fail on the locked files in turn.
    DWORD dwCount = 0;
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs", 10, &dwCount), 1u);
    EXPECT_EQ(dwCount, 12u);
    pi.dwLogFilesCount = 10;
    Name(u"", 1);
    EXPECT_EQ(bRetval, 0u);
    // Ten failures end the tidying with a failure; the newer files stay.
    Fill(u"C:\\logs", 30, u"g", 2);
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\logs\\", 10, &dwCount), 0u);
    EXPECT_EQ(dwCount, 42u);
    plat::CloseHandle(h1);
    plat::CloseHandle(h2);

    // Directories that cannot be listed; an empty one counts 0.
    for (const char16_t* dir : {u"C:\\nowhere", u"", u"C:\\logs\\f03.prn"})
        EXPECT_EQ(kx::GetFileCountInDirectory(dir, 10, &dwCount), 0u);
    EXPECT_EQ(kx::GetFileCountInDirectory(nullptr, 10, nullptr), 0u);
    ASSERT_TRUE(plat::CreateDirectory(u"C:\\empty"));
    EXPECT_EQ(kx::GetFileCountInDirectory(u"C:\\empty", 10, &dwCount), 1u);
    EXPECT_EQ(dwCount, 0u);
    // The own documents and other folders are not foreign.
    EXPECT_FALSE(kx::IsFremdeEigeneDateien(u"C:\\Users\\user\\Documents"));
    EXPECT_FALSE(kx::IsFremdeEigeneDateien(u"C:\\logs"));
}

}  // namespace
