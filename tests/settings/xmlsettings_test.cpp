// The XML settings reader families: the example settings file read
// completely, then the rules of each reader one by one.
#include <cstring>
#include <string>

#include "settings/xmlsettings.h"
#include "xmltest.h"

namespace {

using kxtest::XmlTest;
using std::u16string;

// The offsets at which the data-transmission settings are stored.
static_assert(offsetof(PRN_INTERFACE, bCompress) == 0);
static_assert(offsetof(PRN_INTERFACE, dwExtendedProtocol) == 4);
static_assert(offsetof(PRN_INTERFACE, dwSendGerParam) == 8);
static_assert(offsetof(PRN_INTERFACE, dwClearPrintMemory) == 16);
static_assert(offsetof(PRN_INTERFACE, bLogFileEnable) == 32);
static_assert(offsetof(PRN_INTERFACE, dwQueueJob) == 40);
static_assert(offsetof(PRN_INTERFACE, bLogFileTimeStamp) == 44);
static_assert(offsetof(PRN_INTERFACE, dwLogFilesCount) == 48);
static_assert(offsetof(PRN_INTERFACE, dwSendEtiParam) == 52);
static_assert(offsetof(PRN_INTERFACE, dwOwnEtb) == 60);
static_assert(offsetof(PRN_INTERFACE, dwEtbSohAutomatik) == 64);
static_assert(offsetof(PRN_INTERFACE, dwPrefixSuffix) == 68);
static_assert(offsetof(PRN_INTERFACE, dwExternalFile) == 76);
static_assert(offsetof(PRN_INTERFACE, bSendPrintStart) == 1648);
static_assert(offsetof(PRN_INTERFACE, bEnableCSV) == 1656);
static_assert(offsetof(PRN_INTERFACE, dwBackupFormat) == 1660);
static_assert(offsetof(PRN_INTERFACE, dwBackupCSVKopf) == 2188);
static_assert(offsetof(PRN_INTERFACE, dwLangMode) == 2196);
static_assert(offsetof(PRN_INTERFACE, wPreviewWidth) == 2214);
static_assert(offsetof(PRN_INTERFACE, wPreviewHeight) == 2216);

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
    EXPECT_EQ(pi.bCompress, 1u);
    EXPECT_EQ(pi.dwExtendedProtocol, 1u);
    EXPECT_EQ(pi.dwClearPrintMemory, 0u);
    EXPECT_EQ(pi.dwSohEtb, 2u);
    EXPECT_EQ(pi.dwOwnSoh, 94u);
    EXPECT_EQ(pi.dwOwnEtb, 95u);
    EXPECT_EQ(pi.dwDatenspeicher, 2u);
    EXPECT_EQ(pi.dwQueueJob, 1u);
    EXPECT_EQ(pi.dwPrinterTime, 1u);
    EXPECT_EQ(pi.dwPrnFileComment, 1u);
    EXPECT_EQ(pi.bLogFileEnable, 1u);
    EXPECT_EQ(pi.bLogFileTimeStamp, 0u);
    EXPECT_EQ(pi.dwLogFilesCount, 20u);
    EXPECT_EQ(pi.wPreviewFile, 1);
    EXPECT_EQ(pi.wPreviewWidth, 640);
    EXPECT_EQ(pi.wPreviewHeight, 480);
    EXPECT_EQ(pi.wPreviewRatio, 1);
    EXPECT_EQ(pi.dwSendGerParam, 0u);
    EXPECT_EQ(pi.dwSendEtiParam, 1u);
    EXPECT_EQ(pi.dwPrefixSuffix, 1u);
    EXPECT_EQ(pi.dwExternalFile, 1u);
    EXPECT_EQ(pi.dwSendJobName, 1u);
    EXPECT_EQ(pi.dwLangMode, 1u);
    EXPECT_EQ(pi.dwSprache, 3u);
    EXPECT_EQ(pi.bEnableBackup, 1u);
    EXPECT_EQ(pi.bEnableCSV, 1u);
    EXPECT_EQ(pi.dwBackupFormat, 2u);
    EXPECT_EQ(pi.dwBackupPathCombine, 1u);
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
    EXPECT_EQ(shift.lRCorrection, -3);
    EXPECT_EQ(shift.lXShift, 15);
    EXPECT_EQ(shift.lYShift, -20);
    EXPECT_EQ(shift.lLanes, 2);
    EXPECT_EQ(shift.lRShift, 5);
    EXPECT_EQ(shift.bNichtSenden, 0);
    EXPECT_EQ(shift.reserved24, 0);

    PHOTOCELL_PARAM cell;
    std::memset(&cell, 0xEE, sizeof(cell));
    EXPECT_EQ(kx::GetPhotocellFromXML(ctx(), &cell), kx::XML_FOUND);
    BYTE raw[sizeof(cell)];
    std::memcpy(raw, &cell, sizeof(cell));
    EXPECT_EQ(cell.dwPhotocellType, 2);
    EXPECT_EQ(cell.dwRibbonControl, 2);
    EXPECT_EQ(raw[20], 2);  // the ribbon-save word at byte 20
    EXPECT_EQ(raw[21], 0);
    EXPECT_EQ(cell.reserved4, 0);
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

    // Printer: 104 bytes of head at 203 dpi.
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 104u);
    EXPECT_EQ(dm.FixedData.wMasterUnit, 203);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 832u);
    EXPECT_EQ(dm.FixedData.lMaxSizeY, 20000u);
    EXPECT_EQ(dm.FixedData.wPrintHeadWidth, 1041);    // 832 dots = 104.1 mm
    EXPECT_EQ(dm.FixedData.wMaxPrintableWidth, 832);  // back in dots
    EXPECT_EQ(dm.FixedData.wDurchlassbreite, 1041);

    // Layout and size.
    EXPECT_EQ(dm.dwAusrichtung, 1);
    EXPECT_EQ(dm.dmOrientation, 2);
    EXPECT_EQ(dm.dwWinkel, 0);
    EXPECT_EQ(dm.wSkalierung, 95);
    EXPECT_EQ(dm.wFitToPage, 1);
    EXPECT_EQ(dm.wMehrereSeiten, 1);
    EXPECT_EQ(dm.wMehrereSeitenAbstand, 20);
    EXPECT_EQ(dm.wMehrereSeitenAusrichtung, 2);
    EXPECT_EQ(dm.wMehrereReihen, 1);
    EXPECT_EQ(dm.wRotate90Steps, 3);
    EXPECT_EQ(dm.dmPaperSize, 256u);
    EXPECT_EQ(dm.dmPaperLength, 700);
    EXPECT_EQ(dm.dmPaperWidth, 1000);
    EXPECT_EQ(dm.wCorrection, 1);
    EXPECT_EQ(dm.wAutoCollate, 1);
    EXPECT_EQ(dm.wAnzahlKopien, 3);
    EXPECT_EQ(dm.wManuellesMultipage, 0);
    EXPECT_EQ(dm.wInfinite, 0);

    // Print parameters.
    EXPECT_EQ(dm.dwContrast, 110);
    EXPECT_EQ(dm.dwSpeed, 75);
    EXPECT_EQ(dm.lYOffset, -5);
    EXPECT_EQ(dm.lXOffset, 12);
    EXPECT_EQ(dm.dwSpeed_Lumet_c, 90);
    EXPECT_EQ(dm.wMemCard, 0);
    EXPECT_EQ(dm.TearOffOffset, 150u);
    EXPECT_EQ(dm.wScanPosition, 12);
    EXPECT_EQ(dm.wLabelChange, 1);

    // Material and columns.
    EXPECT_EQ(dm.dwLabelType, 1u);
    EXPECT_EQ(dm.dwGap, 30u);
    EXPECT_EQ(dm.dwMaterial, 2);
    EXPECT_EQ(dm.wMaxMaterial, 4);
    EXPECT_EQ(dm.wBelegOffset, 8);
    EXPECT_EQ(dm.wBelegFontH1, 12);
    EXPECT_EQ(dm.dwMultiLabelWidth, 480);
    EXPECT_EQ(dm.dwMultiGapWidth, 30);
    EXPECT_EQ(dm.sMultiColNumber, 2);

    // All switches of the file: rotated, inverse, user form, manual copies,
    // multi-column, job print collated, font split correction.
    EXPECT_EQ(dm.dwFlags, PDMFLAG_ROTATED | PDMFLAG_INVERS | PDMFLAG_ENABLE_USERFORM |
                              PDMFLAG_KOPIEN_MANUELL | PDMFLAG_MULTICOL | PDMFLAG_JOBDRUCK |
                              PDMFLAG_JOBDRUCK_SORTIERT | PDMFLAG_FONTSPLITCORR);

    // Print job.
    const WORD copies[10] = {2, 1, 4, 1, 1, 1, 1, 1, 1, 5};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(dm.wKopieProSeite[i], copies[i]) << "page " << i + 1;
    EXPECT_EQ(Str(dm.szPrintOrder), u"1,3,2");

    // Colour printing.
    EXPECT_EQ(dm.wColorContrast, 95);
    EXPECT_EQ(dm.wFarbband, 3);
    EXPECT_EQ(dm.dwRGBColorOwn1, 0xFF0000u);
    EXPECT_EQ(dm.wColorSeam, 2);
    EXPECT_EQ(dm.wColorChannel, 1);
    EXPECT_EQ(dm.dwColorTolerance, 85);
    EXPECT_EQ(dm.wNoColorOptimization, 0);
    EXPECT_EQ(dm.wHorizontalCorrGap, 40);
    EXPECT_EQ(dm.wChangeColorRibbon, 1);

    // Print quality.
    EXPECT_EQ(dm.wDruckmodus, 1);
    EXPECT_EQ(dm.wGrafikFilter, 3);
    EXPECT_EQ(dm.wPhotoFilter, 4);
    EXPECT_EQ(dm.wEmpfindlichkeit, 140);
    EXPECT_EQ(dm.dwBrightnessAll, 10u);
    EXPECT_EQ(dm.dwBrightnessCurve, 2u);
    EXPECT_EQ(dm.wBrightnessContrast, 5);

    // Fonts: ten slots, the last two in the second table.
    EXPECT_EQ(dm.wAnzahlFonts, 10);
    EXPECT_EQ(Str(dm.szWindowsFontName[1]), u"Courier New");
    EXPECT_EQ(dm.wPrinterFont[1], 5);
    EXPECT_EQ(dm.wZoomX[1], 120);
    EXPECT_EQ(dm.wZoomY[1], 80);
    EXPECT_EQ(dm.wFontID[1], 2);
    EXPECT_EQ(Str(dm.szInstalledName[1]), u"Monospace 821");
    EXPECT_EQ(Str(dm.szInstalledName[7]), u"Swiss 721 Condensed");
    EXPECT_EQ(Str(dm.szWindowsFontName2[0]), u"Georgia");
    EXPECT_EQ(dm.wPrinterFont2[0], 14);
    EXPECT_EQ(dm.wZoomX2[0], 110);
    EXPECT_EQ(dm.wZoomY2[0], 90);
    EXPECT_EQ(dm.wFontID2[1], 10);
    EXPECT_EQ(Str(dm.szInstalledName2[1]), u"Monospace 821 Bold");
    // Slots of the second table that the file does not have.
    EXPECT_EQ(dm.wZoomX2[5], 100);
    EXPECT_EQ(dm.wFontID2[5], 100);
    EXPECT_EQ(Str(dm.szWindowsFontName2[5]), u"");
    EXPECT_EQ(dm.wSpecNumStyle, 1);
    EXPECT_EQ(dm.dwAux1UseDirect, 0u);
    EXPECT_EQ(dm.dwAux2UseDirect, 1u);
    EXPECT_EQ(Str(dm.szTime), u"hh:mm");
    EXPECT_EQ(Str(dm.szNumString), u"0001");
    EXPECT_EQ(Str(dm.szExtNumString), u"A0001");
    EXPECT_EQ(Str(dm.szAux1String), u"Batch");
    EXPECT_EQ(Str(dm.szAux2String), u"Line 2");
    EXPECT_EQ(Str(dm.szDate), u"DD.MM.YYYY");
    EXPECT_EQ(Str(dm.szUserString), u"Shift A");
    EXPECT_EQ(Str(dm.szLinkString), u"Order");
    EXPECT_EQ(Str(dm.szIdentSign), u"$");
    EXPECT_EQ(dm.wTTFInvers, 0);
    EXPECT_EQ(dm.wTTFverwenden, 0);  // TrueType used
    EXPECT_EQ(dm.wTTFDesegm, 1);
    EXPECT_EQ(dm.wBMPverwenden, 1);  // bitmap fonts not used
    EXPECT_EQ(dm.wBitmapFontZoom, 2);
    EXPECT_EQ(dm.wBitmapFontZoomY, 3);
    EXPECT_EQ(dm.wBitmapFontAbstand, 25);
    EXPECT_EQ(dm.wKurzbefehlKorrektur, 1);
}

// ------------------------------------------------------------ features

TEST_F(XmlTest, FeatureGroupWithoutItsFirstElementIsEmpty)
{
    Open(
        "<Features>\n"
        "<Interface>\n<Compression>0</Compression>\n<Jobname>1</Jobname>\n</Interface>\n"
        "<Cutter>\n<Double_Cut>1</Double_Cut>\n<Control>1</Control>\n</Cutter>\n"
        "</Features>\n");
    DWORD features[MAX_FEATURES];
    std::memset(features, 0xEE, sizeof(features));
    ULONG size = 0;
    EXPECT_EQ(kx::GetFeaturesFromXML(ctx(), &size, features), kx::XML_FOUND);
    // Interface is there (its first element says 0); Extended_Codepage is
    // missing and so counts as present.
    EXPECT_EQ(features[FEATURE_INTERFACE],
              FEATURE_INTERFACE_JOBNAME | FEATURE_INTERFACE_EXTENDED_CODEPAGE);
    // Cutter has no "Mode": nothing of it counts.
    EXPECT_EQ(features[FEATURE_CUTTER], 0u);
    for (int i : {FEATURE_PRINT, FEATURE_PHOTOCELL, FEATURE_RESERVED_7, FEATURE_RESERVED_11})
        EXPECT_EQ(features[i], 0u) << i;
}

TEST_F(XmlTest, ExtendedCodepageZeroClearsItsBit)
{
    Open(
        "<Features>\n<Interface>\n<Compression>1</Compression>\n"
        "<Extended_Codepage>0</Extended_Codepage>\n</Interface>\n</Features>\n");
    DWORD features[MAX_FEATURES];
    ULONG size = 0;
    kx::GetFeaturesFromXML(ctx(), &size, features);
    EXPECT_EQ(features[FEATURE_INTERFACE], FEATURE_INTERFACE_COMPRESSION);
}

TEST_F(XmlTest, KrmSectionMustStandBeforeKrmc)
{
    const char* krm = "<KRM>\n<ServicePnt>1</ServicePnt>\n<Offset>0</Offset>\n</KRM>\n";
    const char* krmc = "<KRMC>\n<IO_Static>1</IO_Static>\n<Offset>1</Offset>\n</KRMC>\n";
    DWORD features[MAX_FEATURES];
    ULONG size = 0;

    Open(std::string("<Features>\n") + krm + krmc + "</Features>\n");
    kx::GetFeaturesFromXML(ctx(), &size, features);
    EXPECT_EQ(features[FEATURE_KRM], FEATURE_KRM_SERVICEPNT);
    EXPECT_EQ(features[FEATURE_KRMC], FEATURE_KRMC_IO_STATIC | FEATURE_KRMC_OFFSET);

    // The other way round "KRM" finds the KRMC section, and the KRMC offset
    // is taken for the KRM group.
    Open(std::string("<Features>\n") + krmc + krm + "</Features>\n");
    kx::GetFeaturesFromXML(ctx(), &size, features);
    EXPECT_EQ(features[FEATURE_KRM], FEATURE_KRM_SERVICEPNT | FEATURE_KRM_OFFSET);
}

// ------------------------------------------------------------ data transmission

TEST_F(XmlTest, DataTransmissionDefaults)
{
    Open(
        "<DataTransmission>\n<Backup>\n"
        "<BackupFilePath>C:\\no\\such\\dir</BackupFilePath>\n"
        "</Backup>\n</DataTransmission>\n");
    PRN_INTERFACE pi;
    std::memset(&pi, 0xEE, sizeof(pi));
    pi.dwLangMode = 2;
    pi.dwSprache = 1;
    EXPECT_EQ(kx::GetDataTransmissionParamFromXML(ctx(), &pi), kx::XML_FOUND);
    EXPECT_EQ(pi.bCompress, 1u);
    EXPECT_EQ(pi.dwExtendedProtocol, 1u);
    EXPECT_EQ(pi.dwDatenspeicher, 4u);
    EXPECT_EQ(pi.bLogFileTimeStamp, 1u);
    EXPECT_EQ(pi.dwLogFilesCount, 50u);
    EXPECT_EQ(pi.wPreviewWidth, 500);
    EXPECT_EQ(pi.wPreviewHeight, 400);
    EXPECT_EQ(pi.dwSohEtb, 0u);
    EXPECT_EQ(pi.dwDebugFile, 0u);
    EXPECT_EQ(pi.bEnableBackup, 0u);
    // A directory that does not exist is not kept; missing paths are empty.
    EXPECT_EQ(Str(pi.wcBackupFilePath), u"");
    EXPECT_EQ(Str(pi.wcLogFilePath), u"");
    // Language and its mode stay as they were.
    EXPECT_EQ(pi.dwLangMode, 2u);
    EXPECT_EQ(pi.dwSprache, 1u);
}

// ------------------------------------------------------------ device settings

TEST_F(XmlTest, DeviceSettingsDefaults)
{
    Open(
        "<DeviceSettings>\n<Photocell>\n<RibbonSave>1</RibbonSave>\n</Photocell>\n"
        "</DeviceSettings>\n");
    SHIFT_OPTIM_PARAM shift;
    std::memset(&shift, 0xEE, sizeof(shift));
    EXPECT_EQ(kx::GetShiftoptimFromXML(ctx(), &shift), kx::XML_FOUND);
    EXPECT_EQ(shift.lRCorrection, -1);
    EXPECT_EQ(shift.lXShift, 0);
    EXPECT_EQ(shift.lLanes, 1);
    PHOTOCELL_PARAM cell;
    std::memset(&cell, 0xEE, sizeof(cell));
    EXPECT_EQ(kx::GetPhotocellFromXML(ctx(), &cell), kx::XML_FOUND);
    EXPECT_EQ(cell.dwPhotocellType, 0);
    EXPECT_EQ(cell.dwRibbonControl, 1);
    EXPECT_EQ(cell.wRibbonSave, 1);
}

// ------------------------------------------------------------ print parameters

TEST_F(XmlTest, SpeedWithBlanksAndUnitReadsTheNumber)
{
    Open(
        "<PrintParameter>\n<Print>\n<Contrast>90</Contrast>\n"
        "<Speed>  75 mm</Speed>\n</Print>\n</PrintParameter>\n");
    KX_DEVMODE dm{};
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(dm.dwSpeed, 75);
    EXPECT_EQ(dm.dwContrast, 90);
}

TEST_F(XmlTest, PrintParametersFallBackToTheLayoutRoot)
{
    const char* layout =
        "<LayoutSize>\n<Print>\n<Contrast>80</Contrast>\n<Speed>60</Speed>\n</Print>\n"
        "</LayoutSize>\n";
    KX_DEVMODE dm{};

    // No print-parameter root: the layout root serves.
    Open(layout);
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(dm.dwContrast, 80);
    EXPECT_EQ(dm.dwSpeed, 60);

    // A print-parameter root without "Contrast" hands over to the layout
    // root for every later lookup, even where it has the value itself.
    Open(std::string("<PrintParameter>\n<Print>\n<Speed>120</Speed>\n</Print>\n"
                     "</PrintParameter>\n") +
         layout);
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(dm.dwContrast, 80);
    EXPECT_EQ(dm.dwSpeed, 60);

    // Neither root has it: the defaults.
    Open("<PrintParameter>\n<Print>\n<Speed>120</Speed>\n</Print>\n</PrintParameter>\n");
    dm.dwContrast = dm.dwSpeed = 7;
    dm.wScanPosition = 33;
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(dm.dwContrast, 100);
    EXPECT_EQ(dm.dwSpeed, 100);
    EXPECT_EQ(dm.dwSpeed_Lumet_c, 100);
    EXPECT_EQ(dm.wScanPosition, 33);  // no default: unchanged
}

TEST_F(XmlTest, NumbersOutOfRangeKeepTheFieldsWidth)
{
    Open(
        "<PrintParameter>\n<Print>\n<Contrast>70000</Contrast>\n"
        "<Speed>-1</Speed>\n<YOffset>99999999999</YOffset>\n"
        "<XOffset>-99999999999</XOffset>\n<TearOffOffset>65537</TearOffOffset>\n"
        "</Print>\n</PrintParameter>\n"
        "<LayoutSize>\n<Size>\n<PaperLength>40000</PaperLength>\n</Size>\n</LayoutSize>\n");
    KX_DEVMODE dm{};
    kx::GetPrintParameterFromXML(ctx(), &dm);
    EXPECT_EQ(dm.dwContrast, 70000 & 0xFFFF);
    EXPECT_EQ(dm.dwSpeed, 0xFFFF);
    EXPECT_EQ(dm.lYOffset, INT32_MAX);
    EXPECT_EQ(dm.lXOffset, INT32_MIN);
    EXPECT_EQ(dm.TearOffOffset, 1u);
    kx::GetLayoutSizeFromXML(ctx(), &dm);
    EXPECT_EQ(dm.dmPaperLength, static_cast<SHORT>(40000 - 65536));
}

// ------------------------------------------------------------ layout and size

TEST_F(XmlTest, LayoutSwitchesCorrectionAndDefaults)
{
    Open(
        "<LayoutSize>\n<Layout>\n<Rotate>1</Rotate>\n<Mirror>2</Mirror>\n</Layout>\n"
        "<Size>\n<Correction>-15</Correction>\n</Size>\n</LayoutSize>\n");
    KX_DEVMODE dm{};
    dm.dwFlags = PDMFLAG_MIRRORED | PDMFLAG_INVERS;
    dm.wFitToPage = 4;
    EXPECT_EQ(kx::GetLayoutSizeFromXML(ctx(), &dm), kx::XML_FOUND);
    // 1 sets, any other value clears, a missing switch stays.
    EXPECT_EQ(dm.dwFlags, PDMFLAG_ROTATED | PDMFLAG_INVERS);
    EXPECT_EQ(dm.wCorrection, 15);
    EXPECT_EQ(dm.wFitToPage, 4);
    EXPECT_EQ(dm.wSkalierung, 100);
    EXPECT_EQ(dm.dmPaperSize, 0u);
    EXPECT_EQ(dm.dmPaperLength, 50);
    EXPECT_EQ(dm.dmPaperWidth, 1085);
    EXPECT_EQ(dm.wAnzahlKopien, 1);
}

// ------------------------------------------------------------ printer

TEST_F(XmlTest, MasterUnitZeroCountsAs300)
{
    Open(
        "<Printer>\n<HeadWidthByte>80</HeadWidthByte>\n<MasterUnit>0</MasterUnit>\n"
        "<MaxSizeX>70000</MaxSizeX>\n</Printer>\n");
    KX_DEVMODE dm{};
    dm.FixedData.lMaxSizeY = 1234;
    EXPECT_TRUE(kx::GetFixedPrinterSettingsFromXML(ctx(), &dm));
    EXPECT_EQ(dm.FixedData.wMasterUnit, 300);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 70000u - 65536u);  // low 16 bits
    EXPECT_EQ(dm.FixedData.lMaxSizeY, 1234u);
    // 640 dots at 300 dpi: 541.87 -> 542 tenths; back: 542.0 dots; 4464
    // dots: 3779.52 -> 3780 tenths.
    EXPECT_EQ(dm.FixedData.wPrintHeadWidth, 542);
    EXPECT_EQ(dm.FixedData.wMaxPrintableWidth, 640);
    EXPECT_EQ(dm.FixedData.wDurchlassbreite, 3780);
}

TEST_F(XmlTest, PrinterWithoutHeadWidth)
{
    Open("<Printer>\n<MaxSizeX>600</MaxSizeX>\n</Printer>\n");
    KX_DEVMODE dm{};
    dm.FixedData.dwHeadWidthByte = 53;
    EXPECT_FALSE(kx::GetFixedPrinterSettingsFromXML(ctx(), &dm));
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 53u);
    EXPECT_EQ(dm.FixedData.wMasterUnit, 300);
    // 53 * 8 * 254 / 300 = 358.99 -> 359; 359 * 300 / 254 = 424.02 -> 424;
    // 600 * 254 / 300 = 508.
    EXPECT_EQ(dm.FixedData.wPrintHeadWidth, 359);
    EXPECT_EQ(dm.FixedData.wMaxPrintableWidth, 424);
    EXPECT_EQ(dm.FixedData.wDurchlassbreite, 508);
}

TEST_F(XmlTest, RoundingIsHalfAwayFromZero)
{
    // 1 byte = 8 dots at 4064 dpi is exactly 0.5 tenths of a millimetre.
    Open(
        "<Printer>\n<HeadWidthByte>1</HeadWidthByte>\n<MasterUnit>4064</MasterUnit>\n"
        "<MaxSizeX>8</MaxSizeX>\n</Printer>\n");
    KX_DEVMODE dm{};
    kx::GetFixedPrinterSettingsFromXML(ctx(), &dm);
    EXPECT_EQ(dm.FixedData.wPrintHeadWidth, 1);
    EXPECT_EQ(dm.FixedData.wDurchlassbreite, 1);
    EXPECT_EQ(dm.FixedData.wMaxPrintableWidth, 16);  // 1 * 4064 / 254
}

// ------------------------------------------------------------ fonts

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
        EXPECT_EQ(kx::GetFontSettingsFromXML(ctx(), &dm), kx::XML_FOUND);
        EXPECT_EQ(Str(dm.szIdentSign), c.sign) << c.line;
    }
}

TEST_F(XmlTest, FontSlotsAndTheSecondTable)
{
    Open(
        "<Fonts>\n<Unicode>\n"
        "<AnzahlFonts>8</AnzahlFonts>\n"
        "<Original_FontName_0>A very long face name that does not fit</Original_FontName_0>\n"
        "<FontID_0>4</FontID_0>\n"
        "<ZoomX_0_2>50</ZoomX_0_2>\n"
        "</Unicode>\n<FontDlg>\n<TTF_use>0</TTF_use>\n<BMP_use>5</BMP_use>\n</FontDlg>\n"
        "</Fonts>\n");
    KX_DEVMODE dm{};
    kx::Copy(dm.szInstalledName[0], 33, u"kept");
    dm.wPrinterFont[0] = 6;
    dm.wZoomX2[0] = 77;
    EXPECT_EQ(kx::GetFontSettingsFromXML(ctx(), &dm), kx::XML_FOUND);
    EXPECT_EQ(Str(dm.szWindowsFontName[0]), u"A very long face name that does ");  // 32
    EXPECT_EQ(dm.wFontID[0], 4);
    EXPECT_EQ(dm.wZoomY[0], 100);
    // Names are substrings: "ZoomX_0" missing from the first table is
    // found in the second.
    EXPECT_EQ(dm.wZoomX[0], 50);
    EXPECT_EQ(dm.wPrinterFont[0], 6);
    EXPECT_EQ(Str(dm.szInstalledName[0]), u"kept");
    // Eight fonts: the second table is not read.
    EXPECT_EQ(dm.wZoomX2[0], 77);
    // The settings name the fonts that are used, the record those that are not.
    EXPECT_EQ(dm.wTTFverwenden, 1);
    EXPECT_EQ(dm.wBMPverwenden, 0);
    EXPECT_EQ(dm.wBitmapFontZoom, 1);
    EXPECT_EQ(dm.wBitmapFontZoomY, 1);
    EXPECT_EQ(dm.wBitmapFontAbstand, 30);
}

// ------------------------------------------------------------ no file

TEST_F(XmlTest, WithoutAFileEveryReaderAppliesItsDefaults)
{
    KX_DEVMODE dm{};
    dm.wScanPosition = 33;
    dm.dwFlags = PDMFLAG_MIRRORED;
    EXPECT_EQ(kx::GetPrintParameterFromXML(ctx(), &dm), kx::XML_NO_FILE);
    EXPECT_EQ(kx::GetLayoutSizeFromXML(ctx(), &dm), kx::XML_NO_FILE);
    EXPECT_EQ(kx::GetColorPrintFromXML(ctx(), &dm), kx::XML_NO_FILE);
    EXPECT_FALSE(kx::GetFixedPrinterSettingsFromXML(ctx(), &dm));
    EXPECT_EQ(dm.dwContrast, 100);
    EXPECT_EQ(dm.wScanPosition, 33);
    EXPECT_EQ(dm.dwFlags, PDMFLAG_MIRRORED);
    EXPECT_EQ(dm.dmPaperWidth, 1085);
    EXPECT_EQ(dm.dwColorTolerance, 90);
    EXPECT_EQ(dm.FixedData.wMasterUnit, 300);
    DWORD features[MAX_FEATURES];
    ULONG size = 0;
    EXPECT_EQ(kx::GetFeaturesFromXML(ctx(), &size, features), kx::XML_NO_FILE);
    EXPECT_EQ(features[FEATURE_INTERFACE], 0u);
    EXPECT_EQ(kx::GetFeaturesFromXML(nullptr, &size, features), kx::XML_NO_CONTEXT);
    EXPECT_EQ(kx::GetLayoutSizeFromXML(ctx(), nullptr), kx::XML_NO_CONTEXT);
}

TEST_F(XmlTest, ReaderReportsAMissingRoot)
{
    Open("<Other>\n</Other>\n");
    KX_DEVMODE dm{};
    EXPECT_EQ(kx::GetColorPrintFromXML(ctx(), &dm), kx::XML_NO_ROOT);
    EXPECT_EQ(dm.wColorContrast, 100);
    EXPECT_EQ(dm.wHorizontalCorrGap, 50);
}

}  // namespace
