// The GPD reader: value rules, the model block and its defaults, bad files.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "diag/format.h"
#include "diag/trace.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "support/harness.h"

namespace {

using namespace kx;

KX_DEVMODE ZeroDevmode()
{
    KX_DEVMODE dm;
    std::memset(&dm, 0, sizeof dm);
    return dm;
}

class GpdTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;

    // Writes text as the file C:\gpd\<name> and returns its Windows path.
    std::u16string WriteGpd(const std::string& text, const std::u16string& name = u"test.gpd")
    {
        std::u16string path = u"C:\\gpd\\" + name;
        std::filesystem::path host = sandbox.HostPath(path);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << text;
        return path;
    }

    // Runs the whole reader over text; returns the model block.
    KX_FIXEDDATA Fixed(const std::string& text, DWORD* pdwDocFeatures = nullptr)
    {
        KX_DEVMODE dm = ZeroDevmode();
        DWORD dwFeatures = 0;
        std::u16string path = WriteGpd(text);
        EXPECT_EQ(TRUE,
                  GetFixedPrinterSettingsFromGPD(
                      nullptr, &dm, pdwDocFeatures ? pdwDocFeatures : &dwFeatures, path.c_str()));
        return dm.FixedData;
    }

    std::u16string Value(const char* text, const char* keyword, BOOL expectFound = TRUE)
    {
        char16_t buf[64];
        EXPECT_EQ(expectFound, GetAnyGPDValue(text, keyword, buf, std::size(buf))) << keyword;
        return buf;
    }
};

TEST_F(GpdTest, ValueRunsFromTheFirstBlankToTheLineEnd)
{
    const char* text =
        "*ModelName: \"Vela 406x\"\r\n"
        "*MaxCopies:\t  9999   \r\n"
        "*MaxSize: PAIR(2456, 23622) *% in dots\r\n"
        "*Cmd: CmdX(1) trailing\n"
        "*MaxPrintableWidth: 2456 *% comment\n"
        "*Tail: 1 3*%4\n";
    EXPECT_EQ(u"\"Vela 406x\"", Value(text, "*ModelName"));
    EXPECT_EQ(u"9999", Value(text, "*MaxCopies:"));
    EXPECT_EQ(u"PAIR(2456, 23622)", Value(text, "*MaxSize"));
    // A closing parenthesis ends the value and belongs to it.
    EXPECT_EQ(u"CmdX(1)", Value(text, "*Cmd:"));
    // A comment begins with "*%" after white space only.
    EXPECT_EQ(u"2456", Value(text, "*MaxPrintableWidth:"));
    EXPECT_EQ(u"1 3*%4", Value(text, "*Tail:"));
    // The first occurrence counts, even inside a longer word.
    EXPECT_EQ(u"1", Value("*MaxSizeX: 1\n*MaxSize: 2\n", "*MaxSize"));
}

TEST_F(GpdTest, KeywordWithoutValueIsFoundButEmpty)
{
    // The line ends before any blank: the next line's text is not taken.
    EXPECT_EQ(u"", Value("*DevNumOfPlanes:\r\n*DevBPP: 24\r\n", "*DevNumOfPlanes:"));
    EXPECT_EQ(u"", Value("*DevNumOfPlanes:", "*DevNumOfPlanes:"));
    EXPECT_EQ(u"", Value("*DevNumOfPlanes:   \n1", "*DevNumOfPlanes:"));
    // Missing, differently cased or empty keywords are not found.
    EXPECT_EQ(u"", Value("*maxsize: PAIR(1, 2)", "*MaxSize", FALSE));
    EXPECT_EQ(u"", Value("*MaxSize: PAIR(1, 2)", "", FALSE));
    char16_t buf[8] = u"junk";
    EXPECT_FALSE(GetAnyGPDValue(nullptr, "*MaxSize", buf, std::size(buf)));
    EXPECT_EQ(u'\0', buf[0]);
    EXPECT_FALSE(GetAnyGPDValue("*MaxSize: 1", nullptr, buf, std::size(buf)));
    EXPECT_TRUE(GetAnyGPDValue("*MaxSize: 1", "*MaxSize", nullptr, 0));
}

TEST_F(GpdTest, LongValueIsCutToTheBuffer)
{
    char16_t buf[5];
    EXPECT_TRUE(GetAnyGPDValue("*ModelName: \"Vela 406x\"", "*ModelName", buf, std::size(buf)));
    EXPECT_EQ(std::u16string(u"\"Vel"), buf);
}

TEST_F(GpdTest, MaxSizePairForms)
{
    struct Case {
        const char* text;
        BOOL ok;
        LONG x, y;
    } cases[] = {
        {"*MaxSize: PAIR(2456, 23622)", TRUE, 2456, 23622},
        {"*MaxSize: PAIR(  2456 ,23622  )", TRUE, 2456, 23622},
        {"*MaxSize: PAIR(0, -5)", TRUE, 0, -5},
        {"*MaxSize: PAIR(2147483647, +1)", TRUE, 2147483647, 1},
        {"*MaxSize: PAIR(2456, 23622", FALSE, 0, 0},  // closing parenthesis missing
        {"*MaxSize: PAIR 2456, 23622)", FALSE, 0, 0},
        {"*MaxSize: (2456, 23622)", FALSE, 0, 0},
        {"*MaxSize: PAIR(2456 23622)", FALSE, 0, 0},
        {"*MaxSize: PAIR(2456,)", FALSE, 0, 0},
        {"*MaxSize: PAIR(x, 5)", FALSE, 0, 0},
        {"*MaxSize: PAIR(2147483648, 5)", FALSE, 0, 0},  // beyond a LONG
        {"*MaxSize: PAIR(99999999999999999999999, 5)", FALSE, 0, 0},
        {"*MaxSize: PAIR(--5, 5)", FALSE, 0, 0},
        {"*MaxSize:\nPAIR(1, 2)", FALSE, 0, 0},
        {"*MinSize: PAIR(1, 2)", FALSE, 0, 0},
    };
    for (const Case& c : cases) {
        GPD_PAIR pair{7, 7};
        EXPECT_EQ(c.ok, GetGPDContentMaxSizePAIR(nullptr, &pair, c.text)) << c.text;
        EXPECT_EQ(c.x, pair.x) << c.text;
        EXPECT_EQ(c.y, pair.y) << c.text;
    }
}

TEST_F(GpdTest, CustomDataPairForms)
{
    struct Case {
        const char* text;
        BOOL ok;
        LONG x, y;
    } cases[] = {
        {"*OEMCustomData: \"104 203\"", TRUE, 104, 203},
        {"*OEMCustomData: \"104;203\"", TRUE, 104, 203},
        {"*OEMCustomData: \" 104 ; 203; \"", TRUE, 104, 203},
        {"*OEMCustomData: \"104\t\t203\"", TRUE, 104, 203},
        {"*OEMCustomData: \"104\"", FALSE, 0, 0},
        {"*OEMCustomData: \"104203\"", FALSE, 0, 0},
        {"*OEMCustomData: 104 203", FALSE, 0, 0},  // not a quoted string
        {"*OEMCustomData: \"104 203", FALSE, 0, 0},
        {"*OEMCustomData: \"104 203 5\"", FALSE, 0, 0},
        {"*OEMCustomData: \"104,203\"", FALSE, 0, 0},
    };
    for (const Case& c : cases) {
        GPD_PAIR pair{7, 7};
        EXPECT_EQ(c.ok, GetGPDContentOEMCustomDataPAIR(nullptr, &pair, c.text)) << c.text;
        EXPECT_EQ(c.x, pair.x) << c.text;
        EXPECT_EQ(c.y, pair.y) << c.text;
    }
}

TEST_F(GpdTest, PairReadersLoadTheFileWithoutText)
{
    std::u16string path = WriteGpd("*MaxSize: PAIR(10, 20)\n*OEMCustomData: \"1 2\"\n");
    GPD_PAIR pair{};
    EXPECT_TRUE(GetGPDContentMaxSizePAIR(path.c_str(), &pair, nullptr));
    EXPECT_EQ(10, pair.x);
    EXPECT_EQ(20, pair.y);
    EXPECT_TRUE(GetGPDContentOEMCustomDataPAIR(path.c_str(), &pair, nullptr));
    EXPECT_EQ(1, pair.x);
    EXPECT_EQ(2, pair.y);
    EXPECT_FALSE(GetGPDContentMaxSizePAIR(u"C:\\gpd\\missing.gpd", &pair, nullptr));
    EXPECT_FALSE(GetGPDContentMaxSizePAIR(path.c_str(), nullptr, nullptr));
}

TEST_F(GpdTest, MissingCustomDataGives160BytesAt300Dpi)
{
    KX_FIXEDDATA f = Fixed("*MaxSize: PAIR(1248, 20000)\r\n");
    EXPECT_EQ(160u, f.dwHeadWidthByte);
    EXPECT_EQ(300u, f.wMasterUnit);
    EXPECT_EQ(1084u, f.wPrintHeadWidth);  // 1280 dots at 300 dpi = 108.37 mm
    EXPECT_EQ(1248u, f.lMaxSizeX);
    EXPECT_EQ(20000u, f.lMaxSizeY);
    EXPECT_EQ(1057u, f.wDurchlassbreite);  // 1248 * 254 / 300 = 1056.6
}

TEST_F(GpdTest, ZeroOrBrokenMaxSizeFallsBackOnDefaults)
{
    for (const char* text : {"*MaxSize: PAIR(0, 0)", "*MaxSize: PAIR(-1, -1)",
                             "*MaxSize: PAIR(1, 2", "*MaxSize:", "*OEMCustomData: \"104 203\""}) {
        KX_FIXEDDATA f = Fixed(text);
        EXPECT_EQ(1370u, f.lMaxSizeX) << text;
        EXPECT_EQ(14173u, f.lMaxSizeY) << text;
    }
    // Each number of a pair falls back on its own.
    KX_FIXEDDATA f = Fixed("*MaxSize: PAIR(900, 0)\n*OEMCustomData: \"0 203\"\n");
    EXPECT_EQ(900u, f.lMaxSizeX);
    EXPECT_EQ(14173u, f.lMaxSizeY);
    EXPECT_EQ(160u, f.dwHeadWidthByte);
    EXPECT_EQ(203u, f.wMasterUnit);
    // A resolution beyond a WORD counts as missing.
    f = Fixed("*OEMCustomData: \"104 65536\"\n");
    EXPECT_EQ(104u, f.dwHeadWidthByte);
    EXPECT_EQ(300u, f.wMasterUnit);
}

TEST_F(GpdTest, ConversionsRoundHalfAwayFromZero)
{
    // 5 dots at 508 dpi = 2.5 tenths of a millimetre; 1 byte at 4064 dpi = 0.5.
    KX_FIXEDDATA f = Fixed("*MaxSize: PAIR(5, 5)\n*OEMCustomData: \"1 4064\"\n");
    EXPECT_EQ(1u, f.wPrintHeadWidth);
    EXPECT_EQ(0u, f.wDurchlassbreite);  // 5 * 254 / 4064 = 0.31
    f = Fixed("*MaxSize: PAIR(5, 5)\n*OEMCustomData: \"3 508\"\n");
    EXPECT_EQ(3u, f.wDurchlassbreite);  // 2.5
    EXPECT_EQ(12u, f.wPrintHeadWidth);  // 24 * 254 / 508 = 12
    // Results beyond a WORD are held at its limit rather than wrapping.
    f = Fixed("*MaxSize: PAIR(2000000000, 5)\n*OEMCustomData: \"2000000000 1\"\n");
    EXPECT_EQ(0xFFFFu, f.wDurchlassbreite);
    EXPECT_EQ(0xFFFFu, f.wPrintHeadWidth);
}

TEST_F(GpdTest, PlanesWidthAndQualityBit)
{
    DWORD dwFeatures = 0x2;
    KX_FIXEDDATA f = Fixed("*DevNumOfPlanes: 1\n*MaxPrintableWidth: 2456\n", &dwFeatures);
    EXPECT_EQ(0x2u | DOC_FEATURE_QUALITY, dwFeatures);
    EXPECT_EQ(2456u, f.wMaxPrintableWidth);

    dwFeatures = 0x2;
    Fixed("*DevNumOfPlane: 1\n*devnumofplanes: 1\n", &dwFeatures);
    EXPECT_EQ(0x2u, dwFeatures);

    // A width that is no clean WORD number leaves the old value.
    for (const char* text : {"*MaxPrintableWidth: 65536", "*MaxPrintableWidth: -1",
                             "*MaxPrintableWidth: 12ab", "*MaxPrintableWidth:"}) {
        KX_DEVMODE dm = ZeroDevmode();
        dm.FixedData.wMaxPrintableWidth = 777;
        std::u16string path = WriteGpd(text);
        GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, path.c_str());
        EXPECT_EQ(777u, dm.FixedData.wMaxPrintableWidth) << text;
    }

    // Only bit 0 of bQuality survives.
    KX_DEVMODE dm = ZeroDevmode();
    dm.FixedData.bQuality = 3;
    std::u16string path = WriteGpd("*MaxSize: PAIR(1, 1)");
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, path.c_str());
    EXPECT_EQ(1u, dm.FixedData.bQuality);
    dm.FixedData.bQuality = 2;
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, path.c_str());
    EXPECT_EQ(0u, dm.FixedData.bQuality);
}

TEST_F(GpdTest, NulBytesDoNotHideLaterEntries)
{
    std::string text = "*% header\n";
    text += std::string(3, '\0');
    text += "*OEMCustomData: \"104 203\"\n*MaxSize: PAIR(832, 9000)\n";
    KX_FIXEDDATA f = Fixed(text);
    EXPECT_EQ(104u, f.dwHeadWidthByte);
    EXPECT_EQ(203u, f.wMasterUnit);
    EXPECT_EQ(832u, f.lMaxSizeX);

    GPDText loaded = LoadGPDFile(WriteGpd(std::string("a\0b", 3)).c_str());
    ASSERT_TRUE(loaded);
    EXPECT_STREQ("a b", loaded.get());
}

TEST_F(GpdTest, UnreadableFileChangesNothing)
{
    KX_DEVMODE before = ZeroDevmode();
    before.FixedData.dwHeadWidthByte = 56;
    before.FixedData.wMasterUnit = 203;
    before.FixedData.lMaxSizeX = 448;
    before.FixedData.bQuality = 3;

    std::u16string empty = WriteGpd("", u"empty.gpd");
    // One byte more than the largest file that is read.
    std::u16string huge = WriteGpd(std::string(kMaxGPDFileSize + 1, '*'), u"huge.gpd");
    std::u16string dir = u"C:\\gpd";
    for (const char16_t* path :
         {static_cast<const char16_t*>(nullptr), u"", u"C:\\gpd\\missing.gpd", u"Q:\\x\\y.gpd",
          empty.c_str(), huge.c_str(), dir.c_str()}) {
        KX_DEVMODE dm = before;
        DWORD dwFeatures = 0x2;
        EXPECT_EQ(TRUE, GetFixedPrinterSettingsFromGPD(nullptr, &dm, &dwFeatures, path));
        EXPECT_EQ(0, std::memcmp(&before, &dm, sizeof dm)) << (path ? Utf16ToUtf8(path) : "null");
        EXPECT_EQ(0x2u, dwFeatures);
    }
    EXPECT_EQ(TRUE, GetFixedPrinterSettingsFromGPD(nullptr, nullptr, nullptr, huge.c_str()));
}

TEST_F(GpdTest, FailuresAreTracedWithTheSystemError)
{
    std::u16string path = WriteGpd("*MaxSize: PAIR(1, 2\n*OEMCustomData: \"104 203\"\n");
    ASSERT_TRUE(trace::Open(u"C:\\gpdtrace"));
    KX_DEVMODE dm = ZeroDevmode();
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, u"");
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, u"C:\\gpd\\missing.gpd");
    GetFixedPrinterSettingsFromGPD(nullptr, &dm, nullptr, path.c_str());
    std::string file = Utf16ToUtf8(trace::FileName());
    trace::Close();
    std::string text = kxtest::SimSandbox::ReadHostFile(sandbox.HostPath(Utf8ToUtf16(file)));
    EXPECT_NE(std::string::npos, text.find("ERROR pszGPDFile ist leer"));
    EXPECT_NE(std::string::npos, text.find("missing.gpd GetLastError: 2 "));
    EXPECT_NE(std::string::npos, text.find("*MaxSize unlesbar: PAIR(1, 2"));
    EXPECT_NE(std::string::npos,
              text.find("dwHeadWidthByte: 104 wMasterUnit: 203 lMaxSizeX: 1370"));
}

TEST_F(GpdTest, LargestFileIsStillRead)
{
    std::string text = "*OEMCustomData: \"104 203\"\n";
    text.resize(kMaxGPDFileSize, ' ');
    KX_FIXEDDATA f = Fixed(text);
    EXPECT_EQ(104u, f.dwHeadWidthByte);
}

// The example descriptions shipped with the sources read as their comments say
// and name models of the catalogue.
TEST_F(GpdTest, ExampleDescriptions)
{
    std::filesystem::path examples =
        std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "examples";
    struct Example {
        const char* file;
        const char16_t* name;
        DWORD head, unit, maxX, maxY, width;
        bool quality;
    } cases[] = {
        {"Vela_406x.gpd", u"Vela_406x", 307, 600, 2456, 23622, 2456, true},
        {"Sundo_203.gpd", u"Sundo_203", 56, 203, 448, 8000, 448, false},
    };
    for (const Example& e : cases) {
        std::string text = kxtest::SimSandbox::ReadHostFile((examples / e.file).string());
        ASSERT_FALSE(text.empty()) << e.file;
        DWORD dwFeatures = GetDocFeaturesIntern(nullptr, e.name);
        EXPECT_EQ(e.quality, (dwFeatures & DOC_FEATURE_QUALITY) != 0) << e.file;
        DWORD dwFromGpd = 0;
        KX_FIXEDDATA f = Fixed(text, &dwFromGpd);
        EXPECT_EQ(e.quality ? DOC_FEATURE_QUALITY : 0u, dwFromGpd) << e.file;
        EXPECT_EQ(e.head, f.dwHeadWidthByte) << e.file;
        EXPECT_EQ(e.unit, f.wMasterUnit) << e.file;
        EXPECT_EQ(e.maxX, f.lMaxSizeX) << e.file;
        EXPECT_EQ(e.maxY, f.lMaxSizeY) << e.file;
        EXPECT_EQ(e.width, f.wMaxPrintableWidth) << e.file;
    }
}

}  // namespace
