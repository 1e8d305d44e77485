// Label layout where data/steps.json does not reach: sizes beyond 32 bits
// and failures; the scaling of the job and of the page (data/scaling.json);
// the unit conversions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "host/records.h"

#include "core/units.h"
#include "job/labellayout.h"
#include "streamfixture.h"

namespace {

using kxtest::StreamTest;
using nlohmann::json;

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

TEST_F(LabelSize, SizesBeyond32BitsAndMissingStructures)
{
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

// The scaling factors of the job and of each page: data/scaling.json.
TEST(ScalingFactors, OfTheJobAndThePage)
{
    const json file = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "scaling.json"));
    for (const json& row : file["rows"]) {
        SCOPED_TRACE(row["name"].get<std::string>());
        KX_DEVMODE dm{};
        DEVMODEW pub{};
        DruckDaten d{};
        kxhost::ApplyDevmode(row["devmode"], "devmode", &dm);
        pub.dmOrientation = row["dmOrientation"];
        pub.dmPaperWidth = 500;
        pub.dmPaperLength = 400;
        kx::SetSkalierung(&d, dm, &pub);
        const double factor = row["factor"];
        EXPECT_DOUBLE_EQ(d.dSkalierung, factor);
        EXPECT_DOUBLE_EQ(d.dSkalierungH, factor);
        EXPECT_EQ(d.bSkalierung, factor != 1.0 ? 1u : 0u);
    }
    for (const json& seq : file["pages"]) {
        SCOPED_TRACE(seq["name"].get<std::string>());
        KX_DEVMODE dm{};
        DEVMODEW pub{};
        DruckDaten d{};
        DEVMODEW* pPub = seq.contains("public_devmode") ? &pub : nullptr;
        kxhost::ApplyDevmode(seq["devmode"], "devmode", &dm);
        kxhost::ApplyPublicDevmode(seq.value("public_devmode", json::object()), "public", &pub);
        kx::SetSkalierung(&d, dm, pPub);
        for (const json& step : seq["steps"]) {
            SCOPED_TRACE(step.dump());
            kxhost::ApplyDevmode(step.value("devmode", json::object()), "devmode", &dm);
            kxhost::ApplyPublicDevmode(step.value("public_devmode", json::object()), "public",
                                       &pub);
            if (step.value("job", false)) kx::SetSkalierung(&d, dm, pPub);
            if (step.contains("label")) {
                d.dwLabelLength = step["label"][0];
                d.dwLabelWidth = step["label"][1];
            }
            kx::SetSkalierungSeite(&d, dm, pPub);
            const json want = step["expect"];
            if (want.contains("factor")) {
                EXPECT_DOUBLE_EQ(d.dSkalierung, want["factor"].get<double>());
                EXPECT_DOUBLE_EQ(d.dSkalierungH, want["factor"].get<double>());
            }
            EXPECT_EQ(d.bSkalierung != 0, want.value("scaled", d.bSkalierung != 0));
            EXPECT_EQ(d.dwLabelLength, want.value("length", d.dwLabelLength));
            EXPECT_EQ(d.dwLabelWidth, want.value("width", d.dwLabelWidth));
            EXPECT_EQ(d.dwLabelLengthUnscaled,
                      want.value("length_unscaled", d.dwLabelLengthUnscaled));
            EXPECT_EQ(d.dwLabelWidthUnscaled, want.value("width_unscaled", d.dwLabelWidthUnscaled));
        }
    }
}

}  // namespace
