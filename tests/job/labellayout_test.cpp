// Label layout records: length, gap, width, alignment, columns, copies,
// offsets, speed, contrast, label type, material, rotation; the scaling of
// the page onto the label; the unit conversions.
#include <gtest/gtest.h>

#include "job/labellayout.h"
#include "core/printeroptions.h"
#include "core/units.h"
#include "settings/models.h"
#include "core/regvalues.h"
#include "streamfixture.h"

namespace {

using kxtest::BytesEqual;
using kxtest::StreamTest;

TEST(Units, RoundHalfAwayFromZeroAndMasterUnitZeroAs300)
{
    EXPECT_EQ(kx::MulDiv(5, 1, 2), 3);
    EXPECT_EQ(kx::MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(kx::MulDiv(5, -1, 2), -3);
    EXPECT_EQ(kx::MulDiv(-5, -1, -2), -3);
    EXPECT_EQ(kx::MulDiv(7, 1, 3), 2);
    EXPECT_EQ(kx::MulDiv(1, 1, 0), -1);
    EXPECT_EQ(kx::MulDiv(INT32_MAX, 2, 1), -1);  // does not fit 32 bits
    EXPECT_EQ(kx::MulDiv(INT32_MIN, 1, 1), INT32_MIN);

    EXPECT_EQ(kx::MasterUnitToMm10(800, 203), 1001);  // 1000.98
    EXPECT_EQ(kx::MasterUnitToMm(800, 203), 100);
    EXPECT_EQ(kx::MasterUnitToMm100(800, 203), 10010);
    EXPECT_EQ(kx::MasterUnitToMm10(1181, 300), 1000);
    EXPECT_EQ(kx::MasterUnitToMm10(-1181, 300), -1000);
    EXPECT_EQ(kx::Mm10ToMasterUnit(500, 300), 591);  // 590.55
    // 600 dots at the default of 300 dpi are 50.8 mm.
    EXPECT_EQ(kx::MasterUnitToMm10(600, 0), 508);
    EXPECT_EQ(kx::MasterUnitToMm(600, 0), 51);
    EXPECT_EQ(kx::MasterUnitToMm100(600, 0), 5080);
    EXPECT_EQ(kx::Mm10ToMasterUnit(508, 0), 600);
}

class LabelSize : public StreamTest {
protected:
    void SetUp() override
    {
        StreamTest::SetUp();
        device.iface().dwExtendedProtocol = 1;
        device.devmode.dwGap = 30;
        device.data.dwCopies = 2;
    }
};

TEST_F(LabelSize, FirstPageWithCommentsOff)
{
    CommentsOff();
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(BytesEqual("^FCCL--r0010000-_^FCCM--r00300---_^FCCO--r0005000-_^FBBA--r00002---_",
                           Spool()));
    EXPECT_TRUE(BytesEqual(
        "^FCCL--r0010000-_\r\n^FCCM--r00300---_\r\n^FCCO--r0005000-_\r\n^FBBA--r00002---_\r\n",
        PrintFile()));
}

TEST_F(LabelSize, FirstPageWithComments)
{
    CommentsOn();
    device.devmode.dwFlags = PDMFLAG_KOPIEN_MANUELL;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    // The spooler stream does not change with the comments.
    EXPECT_TRUE(BytesEqual("^FCCL--r0010000-_^FCCM--r00300---_^FCCO--r0005000-_^FBBA--r00002---_",
                           Spool()));
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_\t// Label Length 100.0 mm\r\n"
                   "^FCCM--r00300---_\t// Gap Length  3.0 mm \r\n"
                   "^FCCO--r0005000-_\t// Label Width 50.0 mm \r\n"
                   "^FBBA--r00002---_\t// Copies 2 man.\r\n",
                   PrintFile()));
}

TEST_F(LabelSize, LaterPagesCarryOnlyLengthAndWidth)
{
    CommentsOn();
    device.data.dwPage = 2;
    device.devmode.wSkalierung = 80;
    device.data.dwDocFeatures = 0x100 | 0x10;  // alignment and columns: first page only
    device.settings.dwFeature[1] = 0x1F;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(BytesEqual("^FCCL--r0010000-_^FCCO--r0005000-_", Spool()));
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_\t// Label Length (scaled)100.0 mm\r\n"
                   "^FCCO--r0005000-_\t// Label Width (scaled) 50.0 mm \r\n",
                   PrintFile()));
}

TEST_F(LabelSize, LengthAtTheResolutionOfTheModel)
{
    device.devmode.FixedData.wMasterUnit = 203;
    device.data.dwLabelLength = 800;  // 1000.98 tenths
    device.data.dwPage = 3;
    kx::SendLabelSize(device.dev(), &device.uni);
    EXPECT_EQ(Spool().substr(0, 17), "^FCCL--r0010010-_");
}

// Which of the page's sizes becomes the label's length and width.
struct Orientation {
    const char* name;
    DWORD bLandscape_CC, dwWinkel_CC, dwFlags;
    WORD wFitToPage, wCorrection;
    SHORT dmOrientation;
    const char* expected;
};

class LabelSizeOrientation : public LabelSize, public ::testing::WithParamInterface<Orientation> {};

TEST_P(LabelSizeOrientation, LengthAndWidth)
{
    const Orientation& o = GetParam();
    device.data.dwPage = 2;
    device.data.bLandscape_CC = o.bLandscape_CC;
    device.data.dwWinkel_CC = o.dwWinkel_CC;
    device.devmode.dwFlags = o.dwFlags;
    device.devmode.wFitToPage = o.wFitToPage;
    device.devmode.wCorrection = o.wCorrection;
    device.devmode.dmPaperLength = 800;
    device.devmode.dmPaperWidth = 567;
    device.publicDM.dmOrientation = o.dmOrientation;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(BytesEqual(o.expected, Spool()));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LabelSizeOrientation,
    ::testing::Values(
        Orientation{"Portrait", 0, 0, 0, 0, 0, 1, "^FCCL--r0010000-_^FCCO--r0005000-_"},
        // Landscape turns the content, not the label.
        Orientation{"Landscape", 1, 90, 0, 0, 0, 2, "^FCCL--r0010000-_^FCCO--r0005000-_"},
        // A turned label: a quarter turn against the page swaps the sizes.
        Orientation{"PortraitTurned90", 0, 90, PDMFLAG_DREHEN, 0, 0, 1,
                    "^FCCL--r0005000-_^FCCO--r0010000-_"},
        Orientation{"PortraitTurned180", 0, 180, PDMFLAG_DREHEN, 0, 0, 1,
                    "^FCCL--r0010000-_^FCCO--r0005000-_"},
        Orientation{"LandscapeTurnedBack", 1, 0, PDMFLAG_DREHEN, 0, 0, 2,
                    "^FCCL--r0005000-_^FCCO--r0010000-_"},
        Orientation{"LandscapeTurnedFurther", 1, 90, PDMFLAG_DREHEN, 0, 0, 2,
                    "^FCCL--r0010000-_^FCCO--r0005000-_"},
        // Fit to page: a landscape page lies across the label, whose width
        // is then the devmode's length.
        Orientation{"FitLandscape", 0, 0, 0, 1, 0, 2, "^FCCL--r0005000-_^FCCO--r0008000-_"},
        Orientation{"FitLandscapeDisabled", 0, 0, PDMFLAG_LANDSCAPE_DISABLE, 1, 0, 2,
                    "^FCCL--r0010000-_^FCCO--r0005000-_"},
        // Correction mode 3: the devmode's size as it stands.
        Orientation{"Correction3", 0, 0, 0, 0, 3, 1, "^FCCL--r0008000-_^FCCO--r0005670-_"}),
    [](const ::testing::TestParamInfo<Orientation>& info) { return info.param.name; });

TEST_F(LabelSize, OlderRecordOnTheStandardProtocol)
{
    CommentsOn();
    device.iface().dwExtendedProtocol = 0;
    device.devmode.dwGap = 25;  // 2.5 mm: 3 mm
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(BytesEqual("^EE030100_^FCCO--r0005000-_^FBBA--r00002---_", Spool()));
    EXPECT_TRUE(
        BytesEqual("^EE030100_\t// Gap Length 3, LabelLength 100 \r\n\r\n"
                   "^FCCO--r0005000-_\t// Label Width 50.0 mm \r\n"
                   "^FBBA--r00002---_\t// Copies 2\r\n",
                   PrintFile()));
}

TEST_F(LabelSize, OlderRecordWithANegativeGap)
{
    CommentsOn();
    device.iface().dwExtendedProtocol = 0;
    device.devmode.dwGap = static_cast<DWORD>(-25);  // -3 mm
    device.data.dwPage = 2;
    kx::SendLabelSize(device.dev(), &device.uni);
    // The record's unsigned field shows the value's 32-bit two's complement,
    // as the printer's formatting always has; the comment shows the sign.
    EXPECT_TRUE(BytesEqual("^EE42949672930100_^FCCO--r0005000-_", Spool()));
    EXPECT_NE(PrintFile().find("\t// Gap Length -3, LabelLength 100 \r\n"), std::string::npos);
}

TEST_F(LabelSize, ExtendedPrinterWithoutGapAndCopies)
{
    device.iface().dwExtendedProtocol = 0;
    device.settings.dwFeature[11] = 1;  // takes the extended records, no per-page copies
    kx::SendLabelSize(device.dev(), &device.uni);
    EXPECT_TRUE(BytesEqual("^FCCL--r0010000-_^FCCO--r0005000-_", Spool()));
}

TEST_F(LabelSize, GapOfEndlessAndLimitedMaterial)
{
    CommentsOn();
    device.devmode.dwLabelType = 1;
    device.data.bMultiPage = 1;  // no copies here
    kx::SendLabelSize(device.dev(), &device.uni);
    device.devmode.dwLabelType = 0;
    device.devmode.dwGap = 777;  // at most 50 mm
    kx::SendLabelSize(device.dev(), &device.uni);
    device.data.dwDocFeatures = 0x400000;  // no gap record on this model
    kx::SendLabelSize(device.dev(), &device.uni);
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_^FCCM--r00000---_^FCCO--r0005000-_"
                   "^FCCL--r0010000-_^FCCM--r05000---_^FCCO--r0005000-_"
                   "^FCCL--r0010000-_^FCCO--r0005000-_",
                   Spool()));
    const std::string file = PrintFile();
    EXPECT_NE(file.find("^FCCM--r00000---_\t// Gap Length  0 mm \r\n"), std::string::npos);
    EXPECT_NE(file.find("^FCCM--r05000---_\t// Gap Length  50.0 mm \r\n"), std::string::npos);
}

TEST_F(LabelSize, SeveralPagesSideBySide)
{
    device.data.dwPage = 2;
    device.devmode.wMehrereSeiten = 1;
    device.devmode.wMehrereSeitenAbstand = 20;  // 2 x 50.0 mm + 2.0 mm
    kx::SendLabelSize(device.dev(), &device.uni);
    EXPECT_TRUE(BytesEqual("^FCCL--r0010000-_^FCCO--r0010200-_", Spool()));
}

TEST_F(LabelSize, MultiColumnMaterial)
{
    CommentsOn();
    device.data.bMultiPage = 1;
    device.data.dwDocFeatures = 0x10;
    device.devmode.dwFlags = PDMFLAG_MULTICOL;
    device.devmode.dwMultiLabelWidth = 500;
    device.devmode.dwMultiGapWidth = 20;
    device.devmode.sMultiColNumber = 12;  // at most 9
    device.devmode.wMehrereSeiten = 3;    // not applied to a column's width
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_^FCCM--r00300---_^FCCO--r0005000-_"
                   "^FCCHA-r9-------_^FCCHB-r520-----_",
                   Spool()));
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_\t// Label Length 100.0 mm\r\n"
                   "^FCCM--r00300---_\t// Gap Length  3.0 mm \r\n"
                   "^FCCO--r0005000-_\t// Label Width (Multi label) 50.0 mm \r\n"
                   "^FCCHA-r9-------_\t// MultiColumn 9\r\n"
                   "^FCCHB-r520-----_\t// MultiColumn ColWidth 52.0 mm \r\n",
                   PrintFile()));
}

TEST_F(LabelSize, SingleColumnAndAlignment)
{
    CommentsOn();
    device.data.bMultiPage = 1;
    device.data.dwDocFeatures = 0x10 | 0x100 | 0x1;
    device.devmode.dwAusrichtung = 2;
    kx::SendLabelSize(device.dev(), &device.uni);
    device.devmode.dwAusrichtung = 3;  // no such alignment: nothing
    kx::SendLabelSize(device.dev(), &device.uni);
    device.data.dwDocFeatures = 0x80;  // fixed to the centre
    kx::SendLabelSize(device.dev(), &device.uni);
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_^FCCO--r0005000-_^FCCJ--r2-------_^FCCHA-r1-------_"
                   "^FCCL--r0010000-_^FCCO--r0005000-_^FCCHA-r1-------_"
                   "^FCCL--r0010000-_^FCCM--r00300---_^FCCO--r0005000-_^FCCJ--r1-------_",
                   Spool()));
    const std::string file = PrintFile();
    EXPECT_NE(file.find("^FCCJ--r2-------_\t// Label Alignment - right\r\n"), std::string::npos);
    EXPECT_NE(file.find("^FCCHA-r1-------_\t// MultiColumn 1\r\n"), std::string::npos);
    EXPECT_NE(file.find("^FCCJ--r1-------_\t// Label Alignment - center\r\n"), std::string::npos);
}

TEST_F(LabelSize, OffsetsSpeedAndContrast)
{
    CommentsOn();
    device.data.bMultiPage = 1;
    device.data.dwDocFeatures = 0x1 | DOC_FEATURE_COLORPRINT;
    device.settings.dwFeature[1] = 0x1 | 0x2 | 0x8 | 0x10;
    device.devmode.lYOffset = -15;
    device.devmode.lXOffset = 20;
    device.devmode.dwSpeed = 100;
    device.devmode.dwContrast = 80;
    device.devmode.wColorContrast = 95;
    device.devmode.dwLabelType = 1;
    device.publicDM.dmColor = DMCOLOR_COLOR;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_^FCCO--r0005000-_^FCCD--r-015----_^FCCE--r+020----_"
                   "^FCAA--r100-----_^FCAB-2r095-----_^FCAB--r080-----_",
                   Spool()));
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_\t// Label Length 100.0 mm\r\n"
                   "^FCCO--r0005000-_\t// Label Width 50.0 mm \r\n"
                   "^FCCD--r-015----_\t// Y-Offset -1.5 mm endless\r\n"
                   "^FCCE--r+020----_\t// X-Offset +2.0 mm \r\n"
                   "^FCAA--r100-----_\t// Speed 100\r\n"
                   "^FCAB-2r095-----_\t// Color Contrast 95\r\n"
                   "^FCAB--r080-----_\t// Contrast 80\r\n",
                   PrintFile()));
}

TEST_F(LabelSize, SpeedOfThePrintModuleModels)
{
    device.data.bMultiPage = 1;
    device.data.dwPage = 0;
    device.data.dwDocFeatures = 0x1;
    device.settings.dwFeature[1] = 0x10;
    device.settings.dwDeviceOptionFlags = 128;
    device.devmode.dwSpeed = 100;
    device.devmode.dwSpeed_Lumet_c = 50;
    // No option block: the ordinary speed.
    kx::SendLabelSize(device.dev(), &device.uni);
    PRINTER_OPTIONS options{};
    options.wSpeedLumetra = 0;
    ASSERT_EQ(kx::plat::RegSetValue(kx::plat::Hive::CurrentUser, device.files.szRegKey,
                                    kx::reg::kPrinterOptions, kx::plat::kRegBinary, &options,
                                    sizeof(options)),
              0u);
    kx::SendLabelSize(device.dev(), &device.uni);
    options.wSpeedLumetra = 1;
    kx::plat::RegSetValue(kx::plat::Hive::CurrentUser, device.files.szRegKey,
                          kx::reg::kPrinterOptions, kx::plat::kRegBinary, &options,
                          sizeof(options));
    kx::SendLabelSize(device.dev(), &device.uni);
    EXPECT_TRUE(
        BytesEqual("^FCCL--r0010000-_^FCCO--r0005000-_^FCAA--r100-----_"
                   "^FCCL--r0010000-_^FCCO--r0005000-_^FCAA--r050-----_"
                   "^FCCL--r0010000-_^FCCO--r0005000-_^FCAA--r100-----_",
                   Spool()));
}

TEST_F(LabelSize, UnusableSizesAndMissingStructures)
{
    device.data.dwPage = 2;
    device.data.dwLabelLength = 0;
    device.devmode.wMehrereSeitenAbstand = 0;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), S_OK);  // the width still went
    EXPECT_TRUE(BytesEqual("^FCCO--r0005000-_", Spool()));
    device.data.dwLabelWidth = 0;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), E_INVALIDARG);
    // Sizes that do not fit 32 bits, a master unit of 0: no crash.
    device.data.dwLabelLength = 0xFFFFFFFF;
    device.data.dwLabelWidth = 0x7FFFFFFF;
    device.devmode.FixedData.wMasterUnit = 0;
    device.devmode.wMehrereSeiten = 0xFFFF;
    device.devmode.wMehrereReihen = 0xFFFF;
    device.devmode.wMehrereSeitenAbstand = 0xFFFF;
    kx::SendLabelSize(device.dev(), &device.uni);

    device.op.pTreiberstrukturen = nullptr;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), E_INVALIDARG);
    EXPECT_EQ(kx::SendMaterial(device.dev(), &device.uni, &device.devmode), E_INVALIDARG);
    device.op.pTreiberstrukturen = &device.settings;
    device.devobj.pOEMDM = nullptr;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), E_INVALIDARG);
    EXPECT_EQ(kx::SendRotateMirror(device.dev(), &device.uni, nullptr), E_INVALIDARG);
}

TEST_F(LabelSize, AFailedWriteStopsTheRest)
{
    device.uni.failWrites = true;
    EXPECT_EQ(kx::SendLabelSize(device.dev(), &device.uni), E_FAIL);
    EXPECT_EQ(device.uni.writeCalls, 1);
}

TEST_F(StreamTest, MaterialAndLabelType)
{
    CommentsOn();
    device.data.dwDocFeatures = 0x8;
    device.devmode.wMaxMaterial = 3;
    device.devmode.dwMaterial = 2;
    device.devmode.dwLabelType = 2;
    EXPECT_EQ(kx::SendMaterial(device.dev(), &device.uni, &device.devmode), S_OK);
    device.devmode.dwLabelType = 0;
    device.devmode.wMaxMaterial = 0;  // no material to choose
    EXPECT_EQ(kx::SendMaterial(device.dev(), &device.uni, &device.devmode), S_OK);
    device.data.dwDocFeatures = 0x1;  // no label type on this model
    EXPECT_EQ(kx::SendMaterial(device.dev(), &device.uni, &device.devmode), S_OK);
    device.data.dwSendEtiParam = 1;  // the printer keeps its own label parameters
    EXPECT_EQ(kx::SendMaterial(device.dev(), &device.uni, &device.devmode), E_INVALIDARG);
    EXPECT_TRUE(BytesEqual("^FCDA--r1-------_^FCDNC-r0002----_^FCDA--r0-------_", Spool()));
    EXPECT_TRUE(
        BytesEqual("^FCDA--r1-------_\t// LabelType endless 1\r\n"
                   "^FCDNC-r0002----_\t// Material 2\r\n"
                   "^FCDA--r0-------_\t// LabelType single 0\r\n",
                   PrintFile()));
}

TEST_F(StreamTest, RotationAndMirroring)
{
    CommentsOn();
    device.data.dwDocFeatures = DOC_FEATURE_ROTATE | DOC_FEATURE_MIRROR | DOC_FEATURE_ROTATE_STEPS;
    device.devmode.dwFlags = PDMFLAG_ROTATED;
    device.devmode.wRotate90Steps = 2;
    EXPECT_EQ(kx::SendRotateMirror(device.dev(), &device.uni, &device.devmode), S_OK);
    // A multi-column material is never turned or mirrored.
    device.devmode.dwFlags = PDMFLAG_ROTATED | PDMFLAG_MIRRORED | PDMFLAG_MULTICOL;
    device.devmode.wRotate90Steps = 7;
    EXPECT_EQ(kx::SendRotateMirror(device.dev(), &device.uni, &device.devmode), S_OK);
    device.data.dwDocFeatures = DOC_FEATURE_MIRROR;
    device.devmode.dwFlags = PDMFLAG_MIRRORED;
    EXPECT_EQ(kx::SendRotateMirror(device.dev(), &device.uni, &device.devmode), S_OK);
    EXPECT_TRUE(
        BytesEqual("^FCDN--r1-------_^FCDO--r0-------_^FCDND-r2-------_"
                   "^FCDN--r0-------_^FCDO--r0-------_^FCDND-r7-------_"
                   "^FCDO--r1-------_",
                   Spool()));
    EXPECT_TRUE(
        BytesEqual("^FCDN--r1-------_\t// Label Rotated - yes\r\n"
                   "^FCDO--r0-------_\t// Label Mirrored - no\r\n"
                   "^FCDND-r2-------_\t// Label Rotated 180\xB0\r\n"
                   "^FCDN--r0-------_\t// Label Rotated - no\r\n"
                   "^FCDO--r0-------_\t// Label Mirrored - no\r\n"
                   "^FCDND-r7-------_\t// Label Rotated 0\xB0\r\n"
                   "^FCDO--r1-------_\t// Label Mirrored - yes\r\n",
                   PrintFile()));
}

// The job's scaling factors.
struct Skalierung {
    const char* name;
    WORD wSkalierung, wMehrereSeiten, wMehrereReihen, wAbstand, wHead;
    SHORT dmOrientation;
    DWORD dwFlags;
    WORD dwWinkel, wFitToPage;
    double expected;
};

class ScalingFactors : public ::testing::TestWithParam<Skalierung> {};

TEST_P(ScalingFactors, OfTheJob)
{
    const Skalierung& s = GetParam();
    KX_DEVMODE dm{};
    DEVMODEW pub{};
    DruckDaten d{};
    dm.wSkalierung = s.wSkalierung;
    dm.wMehrereSeiten = s.wMehrereSeiten;
    dm.wMehrereReihen = s.wMehrereReihen;
    dm.wMehrereSeitenAbstand = s.wAbstand;
    dm.FixedData.wPrintHeadWidth = s.wHead;
    dm.dwFlags = s.dwFlags;
    dm.dwWinkel = s.dwWinkel;
    dm.wFitToPage = s.wFitToPage;
    pub.dmOrientation = s.dmOrientation;
    pub.dmPaperWidth = 500;
    pub.dmPaperLength = 400;
    kx::SetSkalierung(&d, dm, &pub);
    EXPECT_DOUBLE_EQ(d.dSkalierung, s.expected);
    EXPECT_DOUBLE_EQ(d.dSkalierungH, s.expected);
    EXPECT_EQ(d.bSkalierung, s.expected != 1.0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Job, ScalingFactors,
    ::testing::Values(Skalierung{"Unset", 0, 0, 0, 0, 0, 1, 0, 0, 0, 1.0},
                      Skalierung{"Percent", 125, 0, 0, 0, 0, 1, 0, 0, 0, 1.25},
                      Skalierung{"AtMost200", 300, 0, 0, 0, 0, 1, 0, 0, 0, 2.0},
                      Skalierung{"AtLeast50", 20, 0, 0, 0, 0, 1, 0, 0, 0, 0.5},
                      Skalierung{"FitToPageLeavesItToThePage", 150, 1, 0, 0, 0, 1, 0, 0, 1, 1.0},
                      // Two pages of 50.0 mm with 2.0 mm between them on a 104 mm head fit.
                      Skalierung{"TwoPagesFit", 100, 1, 0, 20, 1040, 1, 0, 0, 0, 1.0},
                      // On an 80 mm head: 78 / 100.
                      Skalierung{"TwoPagesShrink", 100, 1, 0, 20, 800, 1, 0, 0, 0, 0.78},
                      Skalierung{"ThreeRowsShrink", 120, 0, 2, 0, 1200, 1, 0, 0, 0, 0.8},
                      // Landscape: the page's length lies across the head. 78 / 80.
                      Skalierung{"Landscape", 100, 1, 0, 20, 800, 2, 0, 0, 0, 0.975},
                      Skalierung{"LandscapeDisabled", 100, 1, 0, 20, 800, 2,
                                 PDMFLAG_LANDSCAPE_DISABLE, 0, 0, 0.78},
                      Skalierung{"Turned90", 100, 1, 0, 20, 800, 1, PDMFLAG_DREHEN, 90, 0, 0.975},
                      Skalierung{"LandscapeDisabledTurned180", 100, 1, 0, 20, 800, 2,
                                 PDMFLAG_LANDSCAPE_DISABLE | PDMFLAG_DREHEN, 180, 0, 0.975},
                      // A head too narrow for the spacing alone: the percentage stands.
                      Skalierung{"NoHeadWidth", 90, 1, 0, 20, 0, 1, 0, 0, 0, 0.9}),
    [](const ::testing::TestParamInfo<Skalierung>& info) { return info.param.name; });

TEST(ScalingFactorsOfThePage, FitToPageScalesToTheDevmodeSize)
{
    KX_DEVMODE dm{};
    DEVMODEW pub{};
    DruckDaten d{};
    dm.FixedData.wMasterUnit = 300;
    dm.wFitToPage = 1;
    dm.dmPaperWidth = 600;
    dm.dmPaperLength = 1200;
    pub.dmPaperWidth = 500;
    pub.dmPaperLength = 1000;
    pub.dmOrientation = DMORIENT_PORTRAIT;
    kx::SetSkalierung(&d, dm, &pub);
    d.dwLabelLength = 1181;  // 100.0 mm
    d.dwLabelWidth = 591;    // 50.0 mm
    kx::SetSkalierungSeite(&d, dm, &pub);
    EXPECT_DOUBLE_EQ(d.dSkalierung, 1.2);
    EXPECT_DOUBLE_EQ(d.dSkalierungH, 1.2);
    EXPECT_EQ(d.bSkalierung, 1u);
    EXPECT_EQ(d.dwLabelLengthUnscaled, 1181u);
    EXPECT_EQ(d.dwLabelWidthUnscaled, 591u);
    EXPECT_EQ(d.dwLabelLength, 1417u);  // 1200 tenths at 300 dpi: 1417.3
    EXPECT_EQ(d.dwLabelWidth, 709u);    // 708.7

    // Landscape: the page's length is compared with the devmode's width.
    pub.dmOrientation = DMORIENT_LANDSCAPE;
    d.dwLabelLength = 591;
    d.dwLabelWidth = 1181;
    kx::SetSkalierungSeite(&d, dm, &pub);
    EXPECT_DOUBLE_EQ(d.dSkalierung, 1.2);
    EXPECT_DOUBLE_EQ(d.dSkalierungH, 1.2);

    // The page already has the label's size.
    dm.dmPaperWidth = 500;
    dm.dmPaperLength = 1000;
    pub.dmOrientation = DMORIENT_PORTRAIT;
    d.dwLabelLength = 1181;
    d.dwLabelWidth = 591;
    kx::SetSkalierungSeite(&d, dm, &pub);
    EXPECT_EQ(d.bSkalierung, 0u);
    EXPECT_EQ(d.dwLabelLength, 1181u);

    // No public size: no factor.
    pub.dmPaperWidth = 0;
    pub.dmPaperLength = 0;
    dm.dmPaperWidth = 900;
    kx::SetSkalierungSeite(&d, dm, &pub);
    EXPECT_EQ(d.bSkalierung, 0u);
}

TEST(ScalingFactorsOfThePage, ThePercentageScalesEachPage)
{
    KX_DEVMODE dm{};
    DruckDaten d{};
    dm.FixedData.wMasterUnit = 300;
    dm.wSkalierung = 50;
    kx::SetSkalierung(&d, dm, nullptr);
    d.dwLabelLength = 1181;
    d.dwLabelWidth = 591;
    kx::SetSkalierungSeite(&d, dm, nullptr);
    EXPECT_EQ(d.dwLabelLength, 590u);  // truncated
    EXPECT_EQ(d.dwLabelWidth, 295u);
    EXPECT_EQ(d.dwLabelLengthUnscaled, 1181u);
    // Sizes beyond 32 bits after scaling stay within them.
    dm.wSkalierung = 200;
    kx::SetSkalierung(&d, dm, nullptr);
    d.dwLabelLength = 0xFFFFFFFF;
    kx::SetSkalierungSeite(&d, dm, nullptr);
    EXPECT_EQ(d.dwLabelLength, 0xFFFFFFFFu);
}

}  // namespace
