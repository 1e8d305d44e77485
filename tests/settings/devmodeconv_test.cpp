// The conversion of older devmode records (rows of data/devmodeconv.json) and
// the writer of old layouts that the host tool uses.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "host/jsonnode.h"
#include "host/records.h"
#include "printer_fixture.h"
#include "settings/devmodeconv.h"

namespace {

using kx::DevmodeGeneration;
using kxtest::Bytes;
using kxtest::ToBytes;
using nlohmann::json;

json Rows()
{
    return json::parse(std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" /
                                     "devmodeconv.json"))["rows"];
}

void PutMarker(KX_DEVMODE* dm, const std::string& marker)
{
    const WCHAR* text = marker == "devmode" ? DEVMODE_PASSWORT : DEVMODE_PASSWORT_ALT;
    if (marker != "none")
        std::memcpy(reinterpret_cast<BYTE*>(dm) + offsetof(KX_DEVMODE, szPassword), text,
                    sizeof(DEVMODE_PASSWORT));
}

TEST(DevmodeConversion, Rows)
{
    for (const json& row : Rows()) {
        const std::string name = row["name"];
        KX_DEVMODE dm{};
        BYTE* p = reinterpret_cast<BYTE*>(&dm);
        for (const json& f : row["old"]) {
            const DWORD v = f[2];
            std::memcpy(p + f[0].get<int>(), &v, f[1].get<int>());
        }
        for (const json& t : row.value("texts", json::array())) {
            const std::u16string text = kxhost::Utf16(t[1].get<std::string>());
            std::memcpy(p + t[0].get<int>(), text.c_str(), text.size() * 2);
        }
        PutMarker(&dm, row.value("marker", "alternative"));
        EXPECT_STREQ(kx::DevmodeGenerationName(kx::RecogniseDevmodeGeneration(dm)),
                     row["generation"].get<std::string>().c_str())
            << name;

        const KX_DEVMODE input = dm;
        kx::Devmode_Konverter(&dm);
        KX_DEVMODE want = row.value("unchanged", false) ? input : dm;
        kxhost::ApplyDevmode(row["expect"], name, &want);
        const Bytes got = ToBytes(dm), wanted = ToBytes(want);
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], wanted[i]) << name << ", byte " << i;
    }
}

// A current record written in each old layout is found to be of that
// generation and comes back with the fields that layout holds.
TEST(DevmodeConversion, WrittenLayoutsComeBack)
{
    KX_DEVMODE cur = kxtest::SavedRecord(7);
    cur.dwFlags = PDMFLAG_ROTATED | PDMFLAG_LANDSCAPE_DISABLE;
    cur.wTTFInvers = 1;
    cur.wBelegFontH1 = 100;  // 2.4.1 tells itself from 2.4.0 by this word
    cur.cutter_dwInterval = 4;
    cur.cutter_wInterval = 6;
    cur.FixedData.lMaxSizeX = 1248;
    cur.FixedData.wMaxPrintableWidth = 1248;
    std::memcpy(reinterpret_cast<BYTE*>(&cur) + offsetof(KX_DEVMODE, szPrintOrder), u"2,1", 8);
    for (const char* g : {"2.3.3", "2.4.0", "2.4.1", "2.4.2", "2.5.2", "2.6.0", "2.6.2"}) {
        const DevmodeGeneration gen = kx::DevmodeGenerationFromName(g);
        const Bytes old = kx::WriteDevmodeLayout(cur, gen);
        ASSERT_EQ(old.size(), kx::DevmodeGenerationSize(gen)) << g;
        KX_DEVMODE dm{};
        std::memcpy(&dm, old.data(), old.size());
        EXPECT_EQ(kx::RecogniseDevmodeGeneration(dm), gen) << g;
        kx::Devmode_Konverter(&dm);
        EXPECT_TRUE(HasValidMarker(dm)) << g;
        EXPECT_EQ(dm.lXOffset, 7) << g;
        EXPECT_EQ(dm.dmPaperLength, 1500) << g;
        EXPECT_EQ(dm.dwFlags, cur.dwFlags) << g;
        EXPECT_EQ(dm.wTTFInvers, 1) << g;
        EXPECT_EQ(dm.FixedData.wMasterUnit, 300) << g;
        EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 128u) << g;
        char16_t order[4];
        std::memcpy(order, reinterpret_cast<const BYTE*>(&dm) + offsetof(KX_DEVMODE, szPrintOrder),
                    sizeof(order));
        EXPECT_EQ(std::u16string(order), u"2,1") << g;
        const bool hasCutter = gen != DevmodeGeneration::G233;
        EXPECT_EQ(dm.cutter_dwInterval, hasCutter ? 4 : 1) << g;
        EXPECT_EQ(dm.cutter_wInterval, gen == DevmodeGeneration::G262 ? 6 : 340) << g;
        // The print-head width in 1/10 mm came with 2.4.2.
        const bool hasHead = gen >= DevmodeGeneration::G242;
        EXPECT_EQ(dm.FixedData.wPrintHeadWidth, hasHead ? 867 : 0) << g;
    }
    EXPECT_TRUE(kx::WriteDevmodeLayout(cur, DevmodeGeneration::Current).empty());
}

}  // namespace
