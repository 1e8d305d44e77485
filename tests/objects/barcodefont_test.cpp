// Barcode fonts: the face table and the field description, rows of
// data/barcodefont.json (explained there).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/regvalues.h"
#include "objects/barcodefont.h"
#include "settings/barcodesettings.h"

namespace {

using nlohmann::json;

const json& Data()
{
    static const json data = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "barcodefont.json"));
    return data;
}

// Barcode settings with every code's support switch set or cleared.
std::vector<BYTE> Settings(bool bSupported)
{
    std::vector<BYTE> s(kx::reg::kBarCodes1DSize + kx::reg::kBarCodes2DSize, 0);
    kx::bc::Settings1D one;
    one.bSupported = bSupported ? 1 : 0;
    for (WORD id : kx::bc::kRatioRecordIds) kx::bc::Write1D(s.data(), id, one);
    for (WORD id : kx::bc::kPlainRecordIds) kx::bc::Write1D(s.data(), id, one);
    kx::bc::Put32(s.data() + kx::reg::kBarCodes1DSize, kx::reg::kBarCodes2DSize,
                  kx::bc::k2DSupportMask, bSupported ? 0xFFF : 0);
    return s;
}

void CheckFaces(const json& rows, bool bSupported)
{
    const std::vector<BYTE> settings = Settings(bSupported);
    for (const json& row : rows) {
        SCOPED_TRACE(row.dump());
        kx::BarcodeDescription desc{};
        const std::u16string face = kx::Utf8ToUtf16(row[0].get<std::string>());
        EXPECT_EQ(kx::BarcodeFontIdOfFace(face, settings.data(), &desc), row[1].get<int>());
        if (row.size() >= 5 && row[2].is_number()) {
            EXPECT_EQ(desc.wBarcodeId, row[2].get<int>());
            EXPECT_EQ(desc.wV1Dick, row[3].get<int>());
            EXPECT_EQ(desc.wV2Duenn, row[4].get<int>());
        }
    }
}

TEST(BarcodeFont, FaceTable)
{
    CheckFaces(Data().at("faces"), true);
    CheckFaces(Data().at("unsupported"), false);
    EXPECT_EQ(kx::BarcodeFontIdOfFace(u"KX Code 39 2:1", nullptr, nullptr), 0);
}

TEST(BarcodeFont, Descriptions)
{
    for (const json& row : Data().at("descriptions")) {
        SCOPED_TRACE(row.at("name").get<std::string>());
        const json& d = row.at("desc");
        kx::BarcodeDescription desc{};
        desc.wBarcodeId = d.at("id");
        desc.wMode = d.value("mode", 1);
        desc.wV1Dick = d.value("wide", 0);
        desc.wV2Duenn = d.value("narrow", 0);
        desc.wBarcodeZoom = d.value("zoom", 1);
        desc.wHeightMultiplicator = d.value("mult", 10);
        desc.wDrehung = d.value("drehung", 0);
        desc.wHeight = d.value("height", 0);
        desc.wPruefziffer = d.value("check", 0);
        desc.wKlarschrift = d.value("hr", 1);
        desc.wRatio = d.value("ratio", 0);
        desc.wModule = d.value("module", 0);
        const json& run = row.at("run");
        FieldDescription f{};
        const int ok = kx::GetBarcodeDescription(&f, &desc, run[0], run[1], run[2], 300);
        if (row.value("unknown", false)) {
            EXPECT_EQ(ok, 0);
            continue;
        }
        ASSERT_EQ(ok, 1);
        EXPECT_EQ(f.wFontClass, 3);
        EXPECT_EQ(f.wId, desc.wBarcodeId);
        const json& want = row.at("field");
        const std::pair<const char*, unsigned> got[] = {
            {"thick", f.wThick},        {"thin", f.wThin},    {"height", f.wHeight},
            {"rotation", f.dwRotation}, {"flags", f.dwFlags}, {"klarschrift", f.wKlarschrift},
            {"pruef", f.wPruefziffer},  {"ratio", f.wRatio}};
        for (const auto& [key, value] : got) {
            if (want.contains(key)) {
                EXPECT_EQ(value, want[key].get<unsigned>()) << key;
            }
        }
    }
}

}  // namespace
