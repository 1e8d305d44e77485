// The GPD reader: value rules, the model block and its defaults, bad files.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/format.h"
#include "core/trace.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "support/harness.h"

namespace {

using namespace kx;

class GpdTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    KX_DEVMODE dm;
    KX_FIXEDDATA f{};  // the model block after the last Read
    DWORD dwFeatures = 0x2;

    void SetUp() override { std::memset(&dm, 0, sizeof dm); }

    // Writes text as C:\gpd\<name> and returns its Windows path.
    std::u16string WriteGpd(const std::string& text, const std::u16string& name = u"t.gpd")
    {
        std::filesystem::path host = sandbox.HostPath(u"C:\\gpd\\" + name);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << text;
        return u"C:\\gpd\\" + name;
    }
    // Runs the whole reader over text as a file.
    void Read(const std::string& text)
    {
        std::u16string path = WriteGpd(text);
        EXPECT_EQ(TRUE, GetFixedPrinterSettingsFromGPD(nullptr, &dm, &dwFeatures, path.c_str()));
        f = dm.FixedData;
    }
    static std::u16string Value(const char* text, const char* keyword, BOOL found = TRUE)
    {
        char16_t buf[32];
        EXPECT_EQ(found, GetAnyGPDValue(text, keyword, buf, std::size(buf))) << keyword;
        return buf;
    }
};

TEST_F(GpdTest, ValueRules)
{
    const char* text =
        "*ModelName: \"Vela 406x\"\r\n*MaxCopies:\t  9999   \r\n"
        "*MaxSize: PAIR(2456, 23622) trailing\r\n*MaxPrintableWidth: 2456 *% dots\n"
        "*Tail: 1 3*%4\n*DevNumOfPlanes:\r\n*DevBPP: 24\n*End:";
    EXPECT_EQ(u"\"Vela 406x\"", Value(text, "*ModelName"));  // first blank to the line end
    EXPECT_EQ(u"9999", Value(text, "*MaxCopies:"));
    EXPECT_EQ(u"PAIR(2456, 23622)", Value(text, "*MaxSize"));  // ")" ends and belongs
    EXPECT_EQ(u"2456", Value(text, "*MaxPrintableWidth:"));    // "*%" after a blank: comment
    EXPECT_EQ(u"1 3*%4", Value(text, "*Tail:"));
    // A line end or the text's end before any blank: found, without value.
    EXPECT_EQ(u"", Value(text, "*DevNumOfPlanes:"));
    EXPECT_EQ(u"", Value(text, "*End:"));
    // The first occurrence counts, also inside a longer word; matching is
    // case-sensitive.
    EXPECT_EQ(u"1", Value("*MaxSizeX: 1\n*MaxSize: 2\n", "*MaxSize"));
    EXPECT_EQ(u"", Value(text, "*modelname", FALSE));
    EXPECT_EQ(u"", Value(text, "", FALSE));
    EXPECT_FALSE(GetAnyGPDValue(nullptr, "*MaxSize", nullptr, 0));
    char16_t small[5];
    EXPECT_TRUE(GetAnyGPDValue(text, "*ModelName", small, std::size(small)));
    EXPECT_EQ(std::u16string(u"\"Vel"), small);
}

TEST_F(GpdTest, PairForms)
{
    struct Case {
        const char* text;
        BOOL ok;
        LONG x, y;
    } cases[] = {
        {"*MaxSize: PAIR(  2456 ,23622  )", TRUE, 2456, 23622},
        {"*MaxSize: PAIR(0, -5)", TRUE, 0, -5},
        {"*MaxSize: PAIR(2147483647, +1)", TRUE, 2147483647, 1},
        {"*MaxSize: PAIR(2456, 23622", FALSE, 0, 0},
        {"*MaxSize: (2456, 23622)", FALSE, 0, 0},
        {"*MaxSize: PAIR(2456 23622)", FALSE, 0, 0},
        {"*MaxSize: PAIR(2147483648, 5)", FALSE, 0, 0},
        {"*MaxSize: PAIR(--5, 5)", FALSE, 0, 0},
        {"*MaxSize:\nPAIR(1, 2)", FALSE, 0, 0},
        {"*OEMCustomData: \" 104 ; 203; \"", TRUE, 104, 203},
        {"*OEMCustomData: \"104\t\t203\"", TRUE, 104, 203},
        {"*OEMCustomData: \"104203\"", FALSE, 0, 0},
        {"*OEMCustomData: 104 203", FALSE, 0, 0},
        {"*OEMCustomData: \"104 203", FALSE, 0, 0},
        {"*OEMCustomData: \"104,203\"", FALSE, 0, 0},
    };
    for (const Case& c : cases) {
        GPD_PAIR pair{7, 7};
        BOOL ok = std::strstr(c.text, "*MaxSize")
                      ? GetGPDContentMaxSizePAIR(nullptr, &pair, c.text)
                      : GetGPDContentOEMCustomDataPAIR(nullptr, &pair, c.text);
        EXPECT_EQ(c.ok, ok) << c.text;
        EXPECT_TRUE(pair.x == c.x && pair.y == c.y) << c.text;
    }
    // Without text the reader loads the file itself.
    std::u16string path = WriteGpd("*MaxSize: PAIR(10, 20)\n");
    GPD_PAIR pair{};
    EXPECT_TRUE(GetGPDContentMaxSizePAIR(path.c_str(), &pair, nullptr));
    EXPECT_EQ(20, pair.y);
}

TEST_F(GpdTest, DefaultsForMissingOrNonPositiveNumbers)
{
    Read("*MaxSize: PAIR(1248, 20000)\r\n");
    EXPECT_EQ(160u, f.dwHeadWidthByte);
    EXPECT_EQ(300u, f.wMasterUnit);
    EXPECT_EQ(1084u, f.wPrintHeadWidth);   // 1280 dots at 300 dpi = 108.37 mm
    EXPECT_EQ(1057u, f.wDurchlassbreite);  // 1248 * 254 / 300 = 1056.6
    for (const char* text : {"*MaxSize: PAIR(0, 0)", "*MaxSize: PAIR(1, 2", "*MaxSize:"}) {
        Read(text);
        EXPECT_TRUE(f.lMaxSizeX == 1370 && f.lMaxSizeY == 14173) << text;
    }
    // Each number falls back on its own; a resolution beyond a WORD is missing.
    Read("*MaxSize: PAIR(900, -1)\n*OEMCustomData: \"0 203\"\n");
    EXPECT_TRUE(f.lMaxSizeX == 900 && f.lMaxSizeY == 14173);
    EXPECT_TRUE(f.dwHeadWidthByte == 160 && f.wMasterUnit == 203);
    Read("*OEMCustomData: \"104 65536\"\n");
    EXPECT_TRUE(f.dwHeadWidthByte == 104 && f.wMasterUnit == 300);
}

TEST_F(GpdTest, ConversionsRoundHalfAwayFromZero)
{
    // 1 byte at 4064 dpi = 0.5 tenths of a millimetre, 5 dots at 508 dpi = 2.5.
    Read("*MaxSize: PAIR(5, 5)\n*OEMCustomData: \"1 4064\"\n");
    EXPECT_EQ(1u, f.wPrintHeadWidth);
    EXPECT_EQ(0u, f.wDurchlassbreite);  // 0.31
    Read("*MaxSize: PAIR(5, 5)\n*OEMCustomData: \"3 508\"\n");
    EXPECT_EQ(3u, f.wDurchlassbreite);
    // Results beyond a WORD stop at its limit rather than wrapping.
    Read("*MaxSize: PAIR(2000000000, 5)\n*OEMCustomData: \"2000000000 1\"\n");
    EXPECT_TRUE(f.wDurchlassbreite == 0xFFFF && f.wPrintHeadWidth == 0xFFFF);
}

TEST_F(GpdTest, PlanesWidthAndQualityBit)
{
    dm.FixedData.bQuality = 3;
    Read("*DevNumOfPlanes: 1\n*MaxPrintableWidth: 2456\n");
    EXPECT_EQ(0x2u | DOC_FEATURE_QUALITY, dwFeatures);
    EXPECT_EQ(2456u, f.wMaxPrintableWidth);
    EXPECT_EQ(1u, f.bQuality);  // only bit 0 survives
    dwFeatures = 0x2;
    dm.FixedData.bQuality = 2;
    Read("*DevNumOfPlane: 1\n*devnumofplanes: 1\n*MaxPrintableWidth: 65536");
    EXPECT_EQ(0x2u, dwFeatures);
    EXPECT_EQ(0u, f.bQuality);
    // A width that is no clean WORD number leaves the old value.
    for (const char* text :
         {"*MaxPrintableWidth: -1", "*MaxPrintableWidth: 12ab", "*MaxPrintableWidth:"}) {
        Read(text);
        EXPECT_EQ(2456u, f.wMaxPrintableWidth) << text;
    }
}

TEST_F(GpdTest, NulBytesDoNotHideLaterEntries)
{
    Read("*% x\n" + std::string(2, '\0') + "*OEMCustomData: \"104 203\"\n");
    EXPECT_TRUE(f.dwHeadWidthByte == 104 && f.wMasterUnit == 203);
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
    EXPECT_EQ(104u, f.dwHeadWidthByte);
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
    EXPECT_NE(std::string::npos, text.find("ERROR pszGPDFile ist leer"));
    EXPECT_NE(std::string::npos, text.find("missing.gpd GetLastError: 2 "));
    EXPECT_NE(std::string::npos, text.find("*MaxSize unlesbar: PAIR(1, 2"));
    EXPECT_NE(std::string::npos, text.find("wMasterUnit: 203 lMaxSizeX: 1370"));
}

// The example descriptions shipped with the sources read as their comments
// say, and their bare names are models of the catalogue.
TEST_F(GpdTest, ExampleDescriptions)
{
    auto examples = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "examples";
    struct Example {
        const char* file;
        const char16_t* model;
        DWORD head, unit, maxX, maxY;
        bool quality;
    } cases[] = {{"Vela_406x.gpd", u"Vela_406x", 307, 600, 2456, 23622, true},
                 {"Sundo_203.gpd", u"Sundo_203", 56, 203, 448, 8000, false}};
    for (const Example& e : cases) {
        std::string text = kxtest::SimSandbox::ReadHostFile((examples / e.file).string());
        ASSERT_FALSE(text.empty()) << e.file;
        DWORD dwQuality = e.quality ? DOC_FEATURE_QUALITY : 0;
        EXPECT_EQ(dwQuality, GetDocFeaturesIntern(nullptr, e.model) & DOC_FEATURE_QUALITY);
        dwFeatures = 0;
        Read(text);
        EXPECT_EQ(dwQuality, dwFeatures) << e.file;
        EXPECT_TRUE(f.dwHeadWidthByte == e.head && f.wMasterUnit == e.unit) << e.file;
        EXPECT_TRUE(f.lMaxSizeX == e.maxX && f.lMaxSizeY == e.maxY) << e.file;
        EXPECT_EQ(e.maxX, f.wMaxPrintableWidth) << e.file;
    }
}

}  // namespace
