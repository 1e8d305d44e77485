// The job's named values land at the binary places the plug-in reads: the
// offsets below are those of the stored records, written out by hand.
#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "host/records.h"

namespace {

using nlohmann::json;

template <class T>
T At(const void* record, std::size_t offset)
{
    T v;
    std::memcpy(&v, static_cast<const std::uint8_t*>(record) + offset, sizeof(v));
    return v;
}

std::u16string WideAt(const void* record, std::size_t offset)
{
    std::u16string s;
    for (std::size_t i = offset;; i += 2) {
        char16_t c = At<char16_t>(record, i);
        if (!c) return s;
        s.push_back(c);
    }
}

TEST(Records, DevmodeFieldsByName)
{
    KX_DEVMODE dm{};
    dm.wKopieProSeite[5] = 9;
    kxhost::ApplyDevmode(json{{"dwGap", 30},
                              {"dmPaperLength", -5},
                              {"wKopieProSeite", {2, 3}},
                              {"szWindowsFontName", {"Arial", "Courier"}},
                              {"FixedData", {{"wMasterUnit", 203}}},
                              {"FixedData.dwHeadWidthByte", 104},
                              {"dwFlags", {"PDMFLAG_ROTATED", "INVERS", 4096}},
                              {"szDevice", "Dev"},
                              {"cutter_lOffset", -200},
                              {"szIdentSign", "§"}},
                         "devmode", &dm);
    EXPECT_EQ(At<std::uint32_t>(&dm, 32), 30u);
    EXPECT_EQ(At<std::int16_t>(&dm, 20), -5);
    EXPECT_EQ(At<std::uint16_t>(&dm, 56), 2);
    EXPECT_EQ(At<std::uint16_t>(&dm, 58), 3);
    EXPECT_EQ(At<std::uint16_t>(&dm, 66), 9);  // untouched slot 5
    EXPECT_EQ(WideAt(&dm, 1400), u"Arial");
    EXPECT_EQ(WideAt(&dm, 1400 + 66), u"Courier");
    EXPECT_EQ(At<std::uint16_t>(&dm, 1940), 203);
    EXPECT_EQ(At<std::uint32_t>(&dm, 1936), 104u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 12), 0x21001u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&dm) + 1986), "Dev");
    EXPECT_EQ(At<std::int32_t>(&dm, 2016), -200);
    EXPECT_EQ(WideAt(&dm, 1348), u"§");
}

TEST(Records, DeviceOptionFieldsByEitherName)
{
    KX_DEVMODE dm{};
    kxhost::ApplyDevmode(json{{"wEtikettenLSEnable", 1},
                              {"szMemCardRecallKennung", "RCL"},
                              {"dispenser_dwPhotocellLevel", 3},
                              {"dispenser_lOffset", -7},
                              {"cutter_wIntervalReset", 1},
                              {"cutter_lDoubleCut", 12},
                              {"cutter_lCutWidth", -25},
                              {"scanner_dwNoReads", 2},
                              {"scanner_dwTimeout", 900},
                              {"applicator_dwVacuumDelay", 40},
                              {"dwOption2116", 55},
                              {"cutter_lAltOffset", -30},
                              {"krm_dwOffset", 6},
                              {"krmc_dwCycle", 4},
                              {"bellmark_dwSendMask", 0x11},
                              {"bellmark_dwWASOffset", 8}},
                         "devmode", &dm);
    EXPECT_EQ(At<std::uint16_t>(&dm, 262), 1);
    EXPECT_EQ(WideAt(&dm, 494), u"RCL");
    EXPECT_EQ(At<std::uint32_t>(&dm, 1996), 3u);
    EXPECT_EQ(At<std::int32_t>(&dm, 2000), -7);
    EXPECT_EQ(At<std::uint16_t>(&dm, 2014), 1);
    EXPECT_EQ(At<std::int32_t>(&dm, 2020), 12);
    EXPECT_EQ(At<std::int32_t>(&dm, 2024), -25);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2040), 2u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2064), 900u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2120), 40u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2116), 55u);
    EXPECT_EQ(At<std::int32_t>(&dm, 2124), -30);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2152), 6u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2172), 4u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2176), 0x11u);
    EXPECT_EQ(At<std::uint32_t>(&dm, 2200), 8u);
}

TEST(Records, StringsAreClearedBehindTheirText)
{
    KX_DEVMODE dm{};
    kxhost::ApplyDevmode(json{{"szPrintOrder", "1,2,3,4"}}, "devmode", &dm);
    kxhost::ApplyDevmode(json{{"szPrintOrder", "7"}}, "devmode", &dm);
    EXPECT_EQ(WideAt(&dm, 308), u"7");
    for (std::size_t i = 310; i < 308 + 64; ++i)
        EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&dm)[i], 0) << i;
}

TEST(Records, InterfaceByElementName)
{
    PRN_INTERFACE pi{};
    kxhost::ApplyInterface(json{{"Compression", 1},
                                {"OwnSoh", 94},
                                {"LogFilePath", "C:\\logs"},
                                {"PreviewWidth", 640},
                                {"dwTrennseite", 3},
                                {"Language", -1}},
                           "interface", &pi);
    EXPECT_EQ(At<std::uint32_t>(&pi, 0), 1u);
    EXPECT_EQ(At<std::uint32_t>(&pi, 56), 94u);
    EXPECT_EQ(WideAt(&pi, 80), u"C:\\logs");
    EXPECT_EQ(At<std::uint16_t>(&pi, 2214), 640);
    EXPECT_EQ(At<std::uint16_t>(&pi, 2216), 0);
    EXPECT_EQ(At<std::uint32_t>(&pi, 24), 3u);
    EXPECT_EQ(At<std::uint32_t>(&pi, 2192), 0xFFFFFFFFu);
}

TEST(Records, FeaturesSetAndClearBits)
{
    DWORD f[MAX_FEATURES] = {};
    f[FEATURE_CUTTER] = 0x1F;
    kxhost::ApplyFeatures(json{{"Interface", {{"Extended_Prot", 1}, {"BM_Jobname", true}}},
                               {"Cutter", {{"Double_Cut", 0}}},
                               {"Shiftoptim", {{"RShift", 1}}}},
                          "features", f);
    EXPECT_EQ(f[0], 0x202u);
    EXPECT_EQ(f[4], 0x1Du);
    EXPECT_EQ(f[10], 0x20u);
    EXPECT_EQ(f[7], 0u);
}

TEST(Records, PublicDevmodeFieldsAndTheirFieldBits)
{
    DEVMODEW dm{};
    kxhost::ApplyPublicDevmode(json{{"dmOrientation", "landscape"},
                                    {"dmPaperWidth", 1000},
                                    {"dmCopies", 3},
                                    {"dmCollate", 1},
                                    {"dmFormName", "Label"}},
                               "public_devmode", &dm);
    EXPECT_EQ(At<std::int16_t>(&dm, 76), 2);
    EXPECT_EQ(At<std::int16_t>(&dm, 82), 1000);
    EXPECT_EQ(At<std::int16_t>(&dm, 86), 3);
    EXPECT_EQ(At<std::int16_t>(&dm, 100), 1);
    EXPECT_EQ(WideAt(&dm, 102), u"Label");
    EXPECT_EQ(dm.dmFields, DM_ORIENTATION | DM_PAPERWIDTH | DM_COPIES | DM_COLLATE | 0x10000u);
    kxhost::ApplyPublicDevmode(json{{"dmFields", 0}}, "public_devmode", &dm);
    EXPECT_EQ(dm.dmFields, 0u);
}

TEST(Records, FeatureTokens)
{
    DEVMODE_FTKN f{};
    kxhost::ApplyFtkn(
        json{
            {"dwPrioritaet", 1}, {"dwDocFeatures", {"DOC_FEATURE_COLORPRINT", 1}}, {"wCollate", 2}},
        "devmode_ftkn", &f);
    EXPECT_EQ(At<std::uint16_t>(&f, 0), 1);
    EXPECT_EQ(At<std::uint32_t>(&f, 8), 0x801u);
    EXPECT_EQ(At<std::uint16_t>(&f, 20), 2);
}

}  // namespace
