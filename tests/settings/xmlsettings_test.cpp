// The XML settings reader families: the example settings file read
// completely, then the rules of each reader as rows of data/xmlsettings.json.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/records.h"

#include "settings/xmlsettings.h"
#include "xmltest.h"

namespace {

using kxtest::XmlTest;
using nlohmann::json;
using std::u16string;

u16string Str(const WCHAR* s)
{
    return u16string(s);
}

// ------------------------------------------------------------ the example file

class ExampleFile : public XmlTest {
protected:
    void SetUp() override
    {
        std::string text = kxtest::ExampleSettings();
        ASSERT_FALSE(text.empty()) << "examples/settings/printer-settings.xml not found";
        Open(text);
    }
};

TEST_F(ExampleFile, Features)
{
    DWORD features[MAX_FEATURES];
    std::memset(features, 0xEE, sizeof(features));
    ULONG size = 0;
    EXPECT_EQ(kx::GetFeaturesFromXML(ctx(), &size, features), kx::XML_FOUND);
    EXPECT_EQ(size, 48u);
    const DWORD expected[MAX_FEATURES] = {0x1BF, 0x5F, 0x1CB, 0x2F, 0x1F, 0x1,
                                          0x2B1, 0,    0x15,  0x1,  0x1F, 0};
    for (int i = 0; i < MAX_FEATURES; ++i)
        EXPECT_EQ(features[i], expected[i]) << "feature index " << i;
}

TEST_F(ExampleFile, DataTransmissionKeepsOnlyExistingPaths)
{
    Write(u"C:\\ProgramData\\Orvane\\prefix.txt", "[POST_DATA]\r\n");
    ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\ProgramData\\Orvane\\Backup"));
    PRN_INTERFACE pi{};
    pi.dwJobIdent = 7;  // not an XML setting
    EXPECT_EQ(kx::GetDataTransmissionParamFromXML(ctx(), &pi), kx::XML_FOUND);
    EXPECT_EQ(pi.dwSohEtb, 2u);
    EXPECT_EQ(pi.dwDatenspeicher, 2u);
    EXPECT_EQ(pi.dwLogFilesCount, 20u);
    EXPECT_EQ(pi.wPreviewWidth, 640);
    EXPECT_EQ(pi.dwSendEtiParam, 1u);
    EXPECT_EQ(pi.dwLangMode, 1u);
    EXPECT_EQ(pi.dwSprache, 3u);
    EXPECT_EQ(pi.dwBackupCSVKopf, 1u);
    EXPECT_EQ(pi.dwJobIdent, 7u);
    // A file and a directory that exist are kept; the others are emptied.
    EXPECT_EQ(Str(pi.wcPreSufFilePath), u"C:\\ProgramData\\Orvane\\prefix.txt");
    EXPECT_EQ(Str(pi.wcBackupFilePath), u"C:\\ProgramData\\Orvane\\Backup");
    EXPECT_EQ(Str(pi.wcLogFilePath), u"");
    EXPECT_EQ(Str(pi.wcExternalFilePath), u"");
}

TEST_F(ExampleFile, DeviceSettings)
{
    SHIFT_OPTIM_PARAM shift;
    std::memset(&shift, 0xEE, sizeof(shift));
    EXPECT_EQ(kx::GetShiftoptimFromXML(ctx(), &shift), kx::XML_FOUND);
    const LONG expected[7] = {-3, 15, -20, 2, 5, 0, 0};
    EXPECT_EQ(std::memcmp(&shift, expected, sizeof(expected)), 0);

    PHOTOCELL_PARAM cell;
    std::memset(&cell, 0xEE, sizeof(cell));
    EXPECT_EQ(kx::GetPhotocellFromXML(ctx(), &cell), kx::XML_FOUND);
    BYTE raw[sizeof(cell)] = {2, 0, 0, 0, 0, 0, 0, 0, 2};
    raw[20] = 2;  // the ribbon-save word
    EXPECT_EQ(std::memcmp(&cell, raw, sizeof(raw)), 0);
}

TEST_F(ExampleFile, DevmodeReaders)
{
    KX_DEVMODE dm{};
    EXPECT_TRUE(kx::GetFixedPrinterSettingsFromXML(ctx(), &dm));
    EXPECT_EQ(kx::GetLayoutSizeFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(kx::GetMaterialMulticolFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(kx::GetPrintjobFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(kx::GetColorPrintFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(kx::GetPrintQualitySettingsFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(kx::GetFontSettingsFromXML(ctx(), &dm), kx::XML_FOUND);

    // The model block and the three widths computed from it: 104 bytes of
    // head at 203 dpi are 104.1 mm or 832 dots.
    EXPECT_EQ(dm.FixedData.wPrintHeadWidth, 1041);
    EXPECT_EQ(dm.FixedData.wMaxPrintableWidth, 832);
    EXPECT_EQ(dm.FixedData.wDurchlassbreite, 1041);
    // Every switch of the file, each from its own reader.
    EXPECT_EQ(dm.dwFlags, PDMFLAG_ROTATED | PDMFLAG_INVERS | PDMFLAG_ENABLE_USERFORM |
                              PDMFLAG_KOPIEN_MANUELL | PDMFLAG_MULTICOL | PDMFLAG_JOBDRUCK |
                              PDMFLAG_JOBDRUCK_SORTIERT | PDMFLAG_FONTSPLITCORR);
    // A sample of each table, favouring names that are part of others.
    EXPECT_EQ(dm.dmPaperWidth, 1000);
    EXPECT_EQ(dm.wCorrection, 1);
    EXPECT_EQ(dm.dwContrast, 110);
    EXPECT_EQ(dm.dwSpeed, 75);
    EXPECT_EQ(dm.TearOffOffset, 150u);
    EXPECT_EQ(dm.dwGap, 30u);
    EXPECT_EQ(dm.sMultiColNumber, 2);
    EXPECT_EQ(dm.wKopieProSeite[9], 5);
    EXPECT_EQ(Str(dm.szPrintOrder), u"1,3,2");
    EXPECT_EQ(dm.wFarbband, 3);
    // Fonts: ten slots, the last two in the second table.
    EXPECT_EQ(dm.wZoomX[1], 120);
    EXPECT_EQ(dm.wPrinterFont2[0], 14);
    EXPECT_EQ(dm.wZoomX2[5], 100);
    EXPECT_EQ(Str(dm.szNumString), u"0001");
    EXPECT_EQ(Str(dm.szExtNumString), u"A0001");
    EXPECT_EQ(Str(dm.szIdentSign), u"$");
    EXPECT_EQ(dm.wTTFverwenden, 0);  // TrueType used
    EXPECT_EQ(dm.wBMPverwenden, 1);  // bitmap fonts not used
    EXPECT_EQ(dm.wBitmapFontZoomY, 3);
}

// ------------------------------------------------------------ the rules

// Each expected field: writing it into a copy of the record must change nothing.
template <class Record, class Apply>
void ExpectFields(const Record& actual, const json& fields, Apply apply)
{
    for (const auto& [name, value] : fields.items()) {
        Record same = actual;
        apply(json{{name, value}}, &same);
        EXPECT_EQ(0, std::memcmp(&same, &actual, sizeof actual)) << name << " is not " << value;
    }
}

TEST_F(XmlTest, Rules)
{
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "xmlsettings.json";
    const json rows = json::parse(std::ifstream(path));
    const char* const kGroups[] = {"Interface", "Print",      "Photocell", "Dispenser",
                                   "Cutter",    "Scanner",    "KRM",       "Reserved 7",
                                   "KRMC",      "Applicator", "Shiftoptim"};
    const std::pair<const char*, int> kResults[] = {
        {"FOUND", kx::XML_FOUND}, {"NO_FILE", kx::XML_NO_FILE}, {"NO_ROOT", kx::XML_NO_ROOT}};
    for (const json& row : rows["rows"]) {
        SCOPED_TRACE(row["name"].get<std::string>());
        kx::CloseXML();
        if (row.contains("xml")) {  // written in code page 1252
            std::string bytes;
            for (char16_t c : kx::Utf8ToUtf16(row["xml"].get<std::string>()))
                bytes += static_cast<char>(c);
            Open(bytes);
        }
        KX_DEVMODE dm{};
        kxhost::ApplyDevmode(row.value("devmode_before", json::object()), "before", &dm);
        PRN_INTERFACE pi;
        std::memset(&pi, 0xEE, sizeof(pi));
        kxhost::ApplyInterface(row.value("interface_before", json::object()), "before", &pi);
        SHIFT_OPTIM_PARAM shift;
        std::memset(&shift, 0xEE, sizeof(shift));
        PHOTOCELL_PARAM cell;
        std::memset(&cell, 0xEE, sizeof(cell));
        DWORD features[MAX_FEATURES] = {};
        ULONG size = 0;
        for (const json& reader : row["read"]) {
            const std::string r = reader;
            json got;
            if (r == "Features") got = kx::GetFeaturesFromXML(ctx(), &size, features);
            if (r == "DataTransmission") got = kx::GetDataTransmissionParamFromXML(ctx(), &pi);
            if (r == "Shiftoptim") got = kx::GetShiftoptimFromXML(ctx(), &shift);
            if (r == "Photocell") got = kx::GetPhotocellFromXML(ctx(), &cell);
            if (r == "FixedPrinterSettings")
                got = kx::GetFixedPrinterSettingsFromXML(ctx(), &dm) != FALSE;
            if (r == "PrintParameter") got = kx::GetPrintParameterFromXML(ctx(), &dm);
            if (r == "LayoutSize") got = kx::GetLayoutSizeFromXML(ctx(), &dm);
            if (r == "FontSettings") got = kx::GetFontSettingsFromXML(ctx(), &dm);
            if (r == "ColorPrint") got = kx::GetColorPrintFromXML(ctx(), &dm);
            ASSERT_FALSE(got.is_null()) << r;
            if (!row.contains("results") || !row["results"].contains(r)) continue;
            json want = row["results"][r];
            for (const auto& [name, code] : kResults)
                if (want == name) want = code;
            EXPECT_EQ(got, want) << r;
        }
        ExpectFields(dm, row.value("devmode", json::object()),
                     [](const json& v, KX_DEVMODE* d) { kxhost::ApplyDevmode(v, "expect", d); });
        ExpectFields(
            pi, row.value("interface", json::object()),
            [](const json& v, PRN_INTERFACE* p) { kxhost::ApplyInterface(v, "expect", p); });
        const json wantFeatures = row.value("features", json::object());
        for (const auto& [group, value] : wantFeatures.items()) {
            auto it = std::find(std::begin(kGroups), std::end(kGroups), group);
            ASSERT_NE(it, std::end(kGroups)) << group;
            const std::string v = value.is_string() ? value.get<std::string>() : value.dump();
            EXPECT_EQ(features[it - std::begin(kGroups)], std::stoul(v, nullptr, 0)) << group;
        }
        const LONG* shiftFields = &shift.lRCorrection;
        const json wantShift = row.value("shift", json::array());
        for (std::size_t i = 0; i < wantShift.size(); ++i)
            if (!wantShift[i].is_null()) {
                EXPECT_EQ(shiftFields[i], wantShift[i]) << "shift " << i;
            }
        const LONG cellFields[] = {cell.dwPhotocellType, cell.reserved4,     cell.dwRibbonControl,
                                   cell.reserved12[0],   cell.reserved12[1], cell.wRibbonSave,
                                   cell.reserved22};
        const json wantCell = row.value("photocell", json::array());
        for (std::size_t i = 0; i < wantCell.size(); ++i)
            if (!wantCell[i].is_null()) {
                EXPECT_EQ(cellFields[i], wantCell[i]) << "photocell " << i;
            }
    }
    EXPECT_EQ(kx::GetFeaturesFromXML(nullptr, nullptr, nullptr), kx::XML_NO_CONTEXT);
}

}  // namespace
