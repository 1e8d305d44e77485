// Label layout where data/steps.json does not reach: a negative gap, the
// print module's speed from the registry, unusable sizes and failures; the
// scaling of the page onto the label; the unit conversions.
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
