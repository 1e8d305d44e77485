// The GPD reader. The value, pair and whole-file cases are rows of
// data/gpd.json; unreadable files and the traces are checked here.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/trace.h"
#include "host/records.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "support/harness.h"

namespace {

using namespace kx;
using nlohmann::json;
namespace fs = std::filesystem;

const fs::path kRepo = fs::path(__FILE__).parent_path().parent_path().parent_path();

DWORD Num(const json& v)
{
    return v.is_string() ? std::stoul(v.get<std::string>(), nullptr, 16) : v.get<DWORD>();
}

class GpdTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    KX_DEVMODE dm{};
    DWORD dwFeatures = 0x2;

    // Writes text as C:\gpd\<name> and returns its Windows path.
    std::u16string WriteGpd(const std::string& text, const std::u16string& name = u"t.gpd")
    {
        fs::path host = sandbox.HostPath(u"C:\\gpd\\" + name);
        fs::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << text;
        return u"C:\\gpd\\" + name;
    }
    void Read(const std::string& text)
    {
        std::u16string path = WriteGpd(text);
        EXPECT_EQ(TRUE, GetFixedPrinterSettingsFromGPD(nullptr, &dm, &dwFeatures, path.c_str()));
    }
};

TEST_F(GpdTest, Rows)
{
    const json rows = json::parse(std::ifstream(kRepo / "tests/settings/data/gpd.json"));
    const std::string valueText = rows["value_text"];
    for (const json& r : rows["values"]) {
        SCOPED_TRACE(r.dump());
        char16_t buf[32];
        const std::string text = r.value("text", valueText);
        EXPECT_EQ(r.value("found", true),
                  GetAnyGPDValue(text.c_str(), r["keyword"].get<std::string>().c_str(), buf,
                                 std::size(buf)) != FALSE);
        EXPECT_EQ(Utf16ToUtf8(buf), r.value("value", ""));
    }
    for (const json& r : rows["pairs"]) {
        SCOPED_TRACE(r.dump());
        const std::string text = r["text"];
        GPD_PAIR pair{7, 7};
        BOOL ok = text.starts_with("*MaxSize")
                      ? GetGPDContentMaxSizePAIR(nullptr, &pair, text.c_str())
                      : GetGPDContentOEMCustomDataPAIR(nullptr, &pair, text.c_str());
        EXPECT_EQ(r["ok"].get<bool>(), ok != FALSE);
        EXPECT_EQ(pair.x, r.value("x", 0));
        EXPECT_EQ(pair.y, r.value("y", 0));
    }
    for (const json& r : rows["files"]) {
        SCOPED_TRACE(r.dump());
        dm = KX_DEVMODE{};
        kxhost::ApplyDevmode({{"FixedData", r.value("before", json::object())}}, "before", &dm);
        dwFeatures = Num(r.value("features_before", json(2)));
        Read(r.contains("file")
                 ? kxtest::SimSandbox::ReadHostFile((kRepo / r["file"].get<std::string>()).string())
                 : r["gpd"].get<std::string>());
        // Each expected field: writing it into the block read must change nothing.
        for (const auto& [name, value] : r["expect"].items()) {
            if (name == "features") {
                EXPECT_EQ(dwFeatures, Num(value));
                continue;
            }
            KX_DEVMODE same = dm;
            kxhost::ApplyDevmode({{"FixedData", {{name, value}}}}, "expect", &same);
            EXPECT_EQ(0, std::memcmp(&same, &dm, sizeof dm)) << name << " is not " << value;
        }
        // A model name from the catalogue agrees with its description on quality.
        if (r.contains("model")) {
            const std::u16string model = Utf8ToUtf16(r["model"].get<std::string>());
            EXPECT_EQ(dwFeatures & DOC_FEATURE_QUALITY,
                      GetDocFeaturesIntern(nullptr, model.c_str()) & DOC_FEATURE_QUALITY);
        }
    }
}

TEST_F(GpdTest, ShortBuffersAndTheFileBehindThePairReader)
{
    EXPECT_FALSE(GetAnyGPDValue(nullptr, "*MaxSize", nullptr, 0));
    char16_t small[5];
    EXPECT_TRUE(GetAnyGPDValue("*ModelName: \"Vela 406x\"", "*ModelName", small, std::size(small)));
    EXPECT_EQ(std::u16string(u"\"Vel"), small);
    // Without text the reader loads the file itself.
    std::u16string path = WriteGpd("*MaxSize: PAIR(10, 20)\n");
    GPD_PAIR pair{};
    EXPECT_TRUE(GetGPDContentMaxSizePAIR(path.c_str(), &pair, nullptr));
    EXPECT_EQ(20, pair.y);
    GPDText text = LoadGPDFile(WriteGpd(std::string("a\0b", 3)).c_str());
    ASSERT_TRUE(text);
    EXPECT_STREQ("a b", text.get());
}

TEST_F(GpdTest, UnreadableFileChangesNothing)
{
    dm.FixedData.dwHeadWidthByte = 56;
    dm.FixedData.bQuality = 3;
    const KX_DEVMODE before = dm;
    std::u16string empty = WriteGpd("", u"empty.gpd");
    std::u16string huge = WriteGpd(std::string(kMaxGPDFileSize + 1, '*'), u"huge.gpd");
    for (const char16_t* path : {static_cast<const char16_t*>(nullptr), u"", u"C:\\gpd\\none.gpd",
                                 u"C:\\gpd", empty.c_str(), huge.c_str()}) {
        EXPECT_EQ(TRUE, GetFixedPrinterSettingsFromGPD(nullptr, &dm, &dwFeatures, path));
        EXPECT_EQ(0, std::memcmp(&before, &dm, sizeof dm)) << (path ? Utf16ToUtf8(path) : "null");
        EXPECT_EQ(0x2u, dwFeatures);
    }
    EXPECT_EQ(TRUE, GetFixedPrinterSettingsFromGPD(nullptr, nullptr, nullptr, huge.c_str()));
    // The largest file that is read still is.
    std::string largest = "*OEMCustomData: \"104 203\"\n";
    largest.resize(kMaxGPDFileSize, ' ');
    Read(largest);
    EXPECT_EQ(104u, dm.FixedData.dwHeadWidthByte);
}

TEST_F(GpdTest, FailuresAreTracedWithTheSystemError)
{
    std::u16string path = WriteGpd("*MaxSize: PAIR(1, 2\n*OEMCustomData: \"104 203\"\n");
    ASSERT_TRUE(trace::Open(u"C:\\gpdtrace"));
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, u"");
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, u"C:\\gpd\\missing.gpd");
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, path.c_str());
    std::u16string file = trace::FileName();
    trace::Close();
    std::string text = kxtest::SimSandbox::ReadHostFile(sandbox.HostPath(file));
    for (const char* line : {"ERROR pszGPDFile ist leer", "missing.gpd GetLastError: 2 ",
                             "*MaxSize unlesbar: PAIR(1, 2", "wMasterUnit: 203 lMaxSizeX: 1370"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
}

}  // namespace
