// The XML settings reader families: the example settings file read
// completely, then the rules of each reader one by one.
#include <cstring>
#include <string>

#include "settings/xmlsettings.h"
#include "xmltest.h"

namespace {

using kxtest::XmlTest;
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

// ------------------------------------------------------------ features

DWORD ReadFeature(OEM_PDEV* ctx, int index)
{
    DWORD features[MAX_FEATURES];
    ULONG size = 0;
    kx::GetFeaturesFromXML(ctx, &size, features);
    return features[index];
}

TEST_F(XmlTest, FeatureGroupWithoutItsFirstElementIsEmpty)
{
    // Interface is there (its first element says 0) and has no
    // Extended_Codepage, which then counts as present. Cutter has no "Mode":
    // nothing of it counts.
    Open(
        "<Features>\n"
        "<Interface>\n<Compression>0</Compression>\n<Jobname>1</Jobname>\n</Interface>\n"
        "<Cutter>\n<Double_Cut>1</Double_Cut>\n<Control>1</Control>\n</Cutter>\n"
        "</Features>\n");
    EXPECT_EQ(ReadFeature(ctx(), FEATURE_INTERFACE),
              FEATURE_INTERFACE_JOBNAME | FEATURE_INTERFACE_EXTENDED_CODEPAGE);
    EXPECT_EQ(ReadFeature(ctx(), FEATURE_CUTTER), 0u);

    Open(
        "<Features>\n<Interface>\n<Compression>1</Compression>\n"
        "<Extended_Codepage>0</Extended_Codepage>\n</Interface>\n</Features>\n");
    EXPECT_EQ(ReadFeature(ctx(), FEATURE_INTERFACE), FEATURE_INTERFACE_COMPRESSION);
}

TEST_F(XmlTest, KrmSectionMustStandBeforeKrmc)
{
    const std::string krm = "<KRM>\n<ServicePnt>1</ServicePnt>\n<Offset>0</Offset>\n</KRM>\n";
    const std::string krmc = "<KRMC>\n<IO_Static>1</IO_Static>\n<Offset>1</Offset>\n</KRMC>\n";
    Open("<Features>\n" + krm + krmc + "</Features>\n");
    EXPECT_EQ(ReadFeature(ctx(), FEATURE_KRM), FEATURE_KRM_SERVICEPNT);
    EXPECT_EQ(ReadFeature(ctx(), FEATURE_KRMC), FEATURE_KRMC_IO_STATIC | FEATURE_KRMC_OFFSET);
    // The other way round "KRM" finds the KRMC section and takes its offset.
    Open("<Features>\n" + krmc + krm + "</Features>\n");
    EXPECT_EQ(ReadFeature(ctx(), FEATURE_KRM), FEATURE_KRM_SERVICEPNT | FEATURE_KRM_OFFSET);
}

// ------------------------------------------------------------ records

TEST_F(XmlTest, MissingInterfaceAndDeviceSettingsTakeTheirDefaults)
{
    Open(
        "<DataTransmission>\n<Backup>\n<BackupFilePath>C:\\no\\such\\dir</BackupFilePath>\n"
        "</Backup>\n</DataTransmission>\n<DeviceSettings>\n</DeviceSettings>\n");
    PRN_INTERFACE pi;
    std::memset(&pi, 0xEE, sizeof(pi));
    pi.dwLangMode = 2;
    EXPECT_EQ(kx::GetDataTransmissionParamFromXML(ctx(), &pi), kx::XML_FOUND);
    EXPECT_EQ(pi.bCompress, 1u);
    EXPECT_EQ(pi.dwDatenspeicher, 4u);
    EXPECT_EQ(pi.dwLogFilesCount, 50u);
    EXPECT_EQ(pi.wPreviewHeight, 400);
    EXPECT_EQ(Str(pi.wcBackupFilePath), u"");  // no such directory
    EXPECT_EQ(Str(pi.wcLogFilePath), u"");
    EXPECT_EQ(pi.dwLangMode, 2u);  // no default: unchanged

    SHIFT_OPTIM_PARAM shift;
    std::memset(&shift, 0xEE, sizeof(shift));
    EXPECT_EQ(kx::GetShiftoptimFromXML(ctx(), &shift), kx::XML_FOUND);
    EXPECT_EQ(shift.lRCorrection, -1);
    EXPECT_EQ(shift.lLanes, 1);
    PHOTOCELL_PARAM cell;
    std::memset(&cell, 0xEE, sizeof(cell));
    EXPECT_EQ(kx::GetPhotocellFromXML(ctx(), &cell), kx::XML_FOUND);
    EXPECT_EQ(cell.dwRibbonControl, 1);
    EXPECT_EQ(cell.wRibbonSave, 0);
}

// ------------------------------------------------------------ devmode readers

TEST_F(XmlTest, PrintParametersFallBackToTheLayoutRoot)
{
    const std::string layout =
        "<LayoutSize>\n<Print>\n<Contrast>80</Contrast>\n<Speed>60</Speed>\n</Print>\n"
        "</LayoutSize>\n";
    const std::string ownRoot =
        "<PrintParameter>\n<Print>\n<Speed>120</Speed>\n</Print>\n</PrintParameter>\n";
    KX_DEVMODE dm{};
    Open(layout);
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(dm.dwContrast, 80);
    EXPECT_EQ(dm.dwSpeed, 60);
    // A print-parameter root without "Contrast" hands over to the layout
    // root for every later lookup, even where it has the value itself.
    dm = KX_DEVMODE{};
    Open(ownRoot + layout);
    kx::GetPrintParameterFromXML(ctx(), &dm);
    EXPECT_EQ(dm.dwContrast, 80);
    EXPECT_EQ(dm.dwSpeed, 60);
    // Neither root has it: the defaults, for every later lookup too.
    Open(ownRoot);
    dm.wScanPosition = 33;
    kx::GetPrintParameterFromXML(ctx(), &dm);
    EXPECT_EQ(dm.dwContrast, 100);
    EXPECT_EQ(dm.dwSpeed, 100);
    EXPECT_EQ(dm.wScanPosition, 33);  // no default: unchanged
}

TEST_F(XmlTest, NumbersKeepTheWidthOfTheirFieldAndSwitchesNeed1)
{
    Open(
        "<PrintParameter>\n<Print>\n<Contrast>70000</Contrast>\n<Speed>  75 mm</Speed>\n"
        "<YOffset>99999999999</YOffset>\n<XOffset>-99999999999</XOffset>\n"
        "<dwSpeed_Lumet_c>-1</dwSpeed_Lumet_c>\n<TearOffOffset>65537</TearOffOffset>\n"
        "</Print>\n</PrintParameter>\n"
        "<LayoutSize>\n<Layout>\n<Rotate>1</Rotate>\n<Mirror>2</Mirror>\n</Layout>\n"
        "<Size>\n<PaperLength>40000</PaperLength>\n<Correction>-15</Correction>\n</Size>\n"
        "</LayoutSize>\n");
    KX_DEVMODE dm{};
    kx::GetPrintParameterFromXML(ctx(), &dm);
    EXPECT_EQ(dm.dwSpeed, 75);
    EXPECT_EQ(dm.dwContrast, 70000 - 65536);
    EXPECT_EQ(dm.dwSpeed_Lumet_c, 0xFFFF);
    EXPECT_EQ(dm.lYOffset, INT32_MAX);
    EXPECT_EQ(dm.lXOffset, INT32_MIN);
    EXPECT_EQ(dm.TearOffOffset, 1u);  // low 16 bits only

    dm.dwFlags = PDMFLAG_MIRRORED | PDMFLAG_INVERS;
    dm.wFitToPage = 4;
    kx::GetLayoutSizeFromXML(ctx(), &dm);
    EXPECT_EQ(dm.dmPaperLength, 40000 - 65536);
    EXPECT_EQ(dm.wCorrection, 15);  // the magnitude
    // 1 sets, 2 clears, a missing switch or value stays; defaults apply.
    EXPECT_EQ(dm.dwFlags, PDMFLAG_ROTATED | PDMFLAG_INVERS);
    EXPECT_EQ(dm.wFitToPage, 4);
    EXPECT_EQ(dm.dmPaperWidth, 1085);
    EXPECT_EQ(dm.wAnzahlKopien, 1);
}

TEST_F(XmlTest, PrinterModelAndItsComputedWidths)
{
    struct Case {
        const char* printer;
        BOOL headWidthFound;
        WORD masterUnit, printHeadWidth, maxPrintableWidth, durchlassbreite;
    } cases[] = {
        // 80 bytes = 640 dots at 300 dpi (0 counts as 300): 541.87 -> 542
        // tenths, back to 640.16 -> 640 dots; 70000 keeps its low 16 bits,
        // 4464 dots: 3779.52 -> 3780 tenths.
        {"<HeadWidthByte>80</HeadWidthByte>\n<MasterUnit>0</MasterUnit>\n"
         "<MaxSizeX>70000</MaxSizeX>\n",
         TRUE, 300, 542, 640, 3780},
        // Without a head width the record's own (53 bytes) is used.
        {"<MaxSizeX>600</MaxSizeX>\n", FALSE, 300, 359, 424, 508},
        // 8 dots at 4064 dpi are exactly half a tenth: rounded up.
        {"<HeadWidthByte>1</HeadWidthByte>\n<MasterUnit>4064</MasterUnit>\n"
         "<MaxSizeX>8</MaxSizeX>\n",
         TRUE, 4064, 1, 16, 1},
    };
    for (const Case& c : cases) {
        Open(std::string("<Printer>\n") + c.printer + "</Printer>\n");
        KX_DEVMODE dm{};
        dm.FixedData.dwHeadWidthByte = 53;
        EXPECT_EQ(kx::GetFixedPrinterSettingsFromXML(ctx(), &dm), c.headWidthFound);
        EXPECT_EQ(dm.FixedData.wMasterUnit, c.masterUnit) << c.printer;
        EXPECT_EQ(dm.FixedData.wPrintHeadWidth, c.printHeadWidth) << c.printer;
        EXPECT_EQ(dm.FixedData.wMaxPrintableWidth, c.maxPrintableWidth) << c.printer;
        EXPECT_EQ(dm.FixedData.wDurchlassbreite, c.durchlassbreite) << c.printer;
    }
}

TEST_F(XmlTest, IdentSignTakesTheFirstCharacterUnlessReserved)
{
    struct Case {
        const char* line;
        const char16_t* sign;
    } cases[] = {
        {"<Ident_Sign>#</Ident_Sign>\n", u"\u00A7"},    {"<Ident_Sign>@</Ident_Sign>\n", u"\u00A7"},
        {"<Ident_Sign>!</Ident_Sign>\n", u"\u00A7"},    {"<Ident_Sign></Ident_Sign>\n", u"\u00A7"},
        {"<Ident_Sign>AB</Ident_Sign>\n", u"A"},        {"", u"\u00A7"},
        {"<Ident_Sign>\x80</Ident_Sign>\n", u"\u20AC"},  // 1252
    };
    for (const Case& c : cases) {
        Open(std::string("<Fonts>\n<Variables>\n") + c.line + "</Variables>\n</Fonts>\n");
        KX_DEVMODE dm{};
        dm.szIdentSign[0] = u'x';
        kx::GetFontSettingsFromXML(ctx(), &dm);
        EXPECT_EQ(Str(dm.szIdentSign), c.sign) << c.line;
    }
}

TEST_F(XmlTest, FontSlotsAndTheSecondTable)
{
    Open(
        "<Fonts>\n<Unicode>\n<AnzahlFonts>8</AnzahlFonts>\n"
        "<Original_FontName_0>A very long face name that does not fit</Original_FontName_0>\n"
        "<ZoomX_0_2>50</ZoomX_0_2>\n"
        "</Unicode>\n<FontDlg>\n<TTF_use>0</TTF_use>\n<BMP_use>5</BMP_use>\n</FontDlg>\n"
        "</Fonts>\n");
    KX_DEVMODE dm{};
    kx::Copy(dm.szInstalledName[0], 33, u"kept");
    dm.wZoomX2[0] = 77;
    kx::GetFontSettingsFromXML(ctx(), &dm);
    EXPECT_EQ(Str(dm.szWindowsFontName[0]), u"A very long face name that does ");  // 32
    EXPECT_EQ(Str(dm.szInstalledName[0]), u"kept");
    EXPECT_EQ(dm.wZoomY[0], 100);
    // "ZoomX_0" missing from the first table is found in the second; with
    // eight fonts the second table itself is not read.
    EXPECT_EQ(dm.wZoomX[0], 50);
    EXPECT_EQ(dm.wZoomX2[0], 77);
    // The settings name the fonts that are used, the record those that are not.
    EXPECT_EQ(dm.wTTFverwenden, 1);
    EXPECT_EQ(dm.wBMPverwenden, 0);
    EXPECT_EQ(dm.wBitmapFontAbstand, 30);
}

// ------------------------------------------------------------ no file, no root

TEST_F(XmlTest, WithoutFileOrRootEveryReaderAppliesItsDefaults)
{
    KX_DEVMODE dm{};
    dm.wScanPosition = 33;
    dm.dwFlags = PDMFLAG_MIRRORED;
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_NO_FILE);
    EXPECT_EQ(kx::GetLayoutSizeFromXML(ctx(), &dm), kx::XML_NO_FILE);
    EXPECT_FALSE(kx::GetFixedPrinterSettingsFromXML(ctx(), &dm));
    EXPECT_EQ(dm.dwContrast, 100);
    EXPECT_EQ(dm.wScanPosition, 33);
    EXPECT_EQ(dm.dwFlags, PDMFLAG_MIRRORED);
    EXPECT_EQ(dm.FixedData.wMasterUnit, 300);
    EXPECT_EQ(kx::GetFeaturesFromXML(nullptr, nullptr, nullptr), kx::XML_NO_CONTEXT);

    Open("<Other>\n</Other>\n");
    EXPECT_EQ(kx::GetColorPrintFromXML(ctx(), &dm), kx::XML_NO_ROOT);
    EXPECT_EQ(dm.dwColorTolerance, 90);
    EXPECT_EQ(dm.wHorizontalCorrGap, 50);
}

}  // namespace
