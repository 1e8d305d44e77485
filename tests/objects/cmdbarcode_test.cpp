// Barcode shorthand of the command font: the rows of data/cmdbarcode.json
// (entry and context in, AM, AC and BM records out) and the symbology each
// keyword names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/regvalues.h"
#include "host/records.h"
#include "objects/cmdbarcode.h"

namespace {

using nlohmann::json;

const json& Data()
{
    static const json data = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "cmdbarcode.json"));
    return data;
}

// A list of pieces, a string or [string, count]; each character is the
// byte of its code.
std::string Pieces(const json& list)
{
    std::string r;
    for (const json& p : list) {
        const bool bRepeated = p.is_array();
        std::string piece;
        for (char16_t c : kx::Utf8ToUtf16((bRepeated ? p[0] : p).get<std::string>()))
            piece += static_cast<char>(c);
        for (int i = 0; i < (bRepeated ? p[1].get<int>() : 1); ++i) r += piece;
    }
    return r;
}

struct Row {
    KX_DEVMODE dm{};
    std::vector<BYTE> settings;
    kx::ShorthandContext ctx{};

    explicit Row(const json& row)
    {
        json values = row.value("devmode", json::object());
        if (!values.contains("szLinkString")) values["szLinkString"] = "=SC(1;\" \";2;)";
        kxhost::ApplyDevmode(values, "devmode", &dm);
        const json c = row.value("ctx", json::object());
        ctx = {c.value("field", 3u),
               c.value("y", 1000),
               c.value("x", 2000),
               c.value("rotation", 0u),
               &dm,
               nullptr};
        if (row.contains("settings")) {
            settings.assign(kx::reg::kBarCodes1DSize + kx::reg::kBarCodes2DSize, 0);
            kxhost::ApplyBarcodeSettings(row["settings"], "settings", settings.data(),
                                         settings.data() + kx::reg::kBarCodes1DSize);
            ctx.p2D = settings.data() + kx::reg::kBarCodes1DSize;
        }
    }
};

TEST(CmdBarcode, Records)
{
    for (const json& row : Data().at("rows")) {
        SCOPED_TRACE(row.at("why").get<std::string>());
        const Row r(row);
        const kx::ShorthandRecords out = kx::ComposeShorthand(Pieces(row["entry"]), r.ctx);
        EXPECT_TRUE(out.bKnown);
        EXPECT_EQ(out.am, row["am"].get<std::string>());
        EXPECT_EQ(out.ac, row.value("ac", ""));
        EXPECT_EQ(out.bm, Pieces(row["bm"]));
    }
}

// The fifth value of the AM record is the symbology; an unknown keyword or
// an entry without ">" composes nothing.
TEST(CmdBarcode, Symbologies)
{
    const Row r(json::object());
    for (const json& row : Data().at("symbologies")) {
        const std::string entry = row[0];
        const kx::ShorthandRecords out = kx::ComposeShorthand(entry, r.ctx);
        const int sym = row[1];
        EXPECT_EQ(out.bKnown, sym != 0) << entry;
        if (sym == 0) {
            EXPECT_TRUE(out.am.empty() && out.ac.empty() && out.bm.empty()) << entry;
            continue;
        }
        EXPECT_EQ(out.am.rfind(kx::FormatString("AM[3]1000;2000;0;%d;", {sym}), 0), 0u)
            << entry << " -> " << out.am;
    }
}

}  // namespace
