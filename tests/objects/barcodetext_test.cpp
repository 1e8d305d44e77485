// Barcode data: the rows of data/barcodetext.json (mnemonics, chain fields,
// the link placeholder) and the low bytes of a glyph run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "host/records.h"
#include "objects/barcodefont.h"

namespace {

using nlohmann::json;

const json& Data()
{
    static const json data = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "barcodetext.json"));
    return data;
}

// Each character of a piece is the byte of its code (all below 256).
std::string Bytes(const std::string& utf8)
{
    std::string r;
    for (char16_t c : kx::Utf8ToUtf16(utf8)) r += static_cast<char>(c);
    return r;
}

std::string Pieces(const json& list)
{
    std::string r;
    for (const json& p : list) {
        if (p.is_string()) {
            r += Bytes(p);
            continue;
        }
        for (int i = 0; i < p[1].get<int>(); ++i) r += Bytes(p[0]);
    }
    return r;
}

KX_DEVMODE Devmode(const json& row)
{
    KX_DEVMODE dm{};
    json values = row.value("devmode", json::object());
    if (!values.contains("szLinkString")) values["szLinkString"] = "=SC(1;\" \";2;)";
    kxhost::ApplyDevmode(values, "devmode", &dm);
    return dm;
}

TEST(BarcodeText, Mnemonics)
{
    for (const json& row : Data().at("mnemonics")) {
        SCOPED_TRACE(row.at("why").get<std::string>());
        EXPECT_EQ(kx::BarcodeSonderzeichenErsetzen(Pieces(row["text"])), Pieces(row["out"]));
    }
}

TEST(BarcodeText, ChainField)
{
    for (const json& row : Data().at("chain")) {
        SCOPED_TRACE(row.at("why").get<std::string>());
        const KX_DEVMODE dm = Devmode(row);
        EXPECT_EQ(kx::Kettenfeld_new(Pieces(row["text"]), dm, kx::LinkPlaceholder(dm)),
                  Pieces(row["out"]));
    }
    for (const json& row : Data().at("placeholder")) {
        const KX_DEVMODE dm = Devmode({{"devmode", {{"szIdentSign", row[0]}}}});
        EXPECT_EQ(kx::LinkPlaceholder(dm), Bytes(row[1])) << row[0];
    }
}

TEST(BarcodeText, WideToSmallKeepsTheLowByte)
{
    EXPECT_EQ(kx::ConvertWideToSmall(u"A\u0141\uffa7"), std::string("AA\xa7"));
}

}  // namespace
