// The model capability tables: the rule mechanism, the catalogue (names as
// rows of data/models.json) and the printer's "DriverName" fallback.
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "platform/platform.h"
#include "settings/models.h"
#include "support/harness.h"

namespace {

using namespace kx;

// A name made of a rule's words: its "and" strings and its first "or" string.
std::u16string Words(const ModelRule& rule)
{
    std::u16string name;
    for (const char16_t* s : rule.szAlle)
        if (s) name += std::u16string(s) + u" ";
    if (rule.szEines[0]) name += rule.szEines[0];
    return name;
}

TEST(ModelRules, AndOrAndNot)
{
    const ModelRule rule{7, {u"Ab", u"12"}, {u"x", u"y"}, {u"Duo"}};
    EXPECT_TRUE(ModelRuleHolds(rule, u"y-12-Ab"));
    EXPECT_FALSE(ModelRuleHolds(rule, u"Ab 12"));       // no "or" string
    EXPECT_FALSE(ModelRuleHolds(rule, u"Ab x"));        // an "and" string missing
    EXPECT_FALSE(ModelRuleHolds(rule, u"Ab 12x Duo"));  // an "and-not" string present
    EXPECT_FALSE(ModelRuleHolds(rule, u"ab 12x"));      // case-sensitive
    // A rule that asks for nothing never holds, so it cannot swallow the chain.
    EXPECT_FALSE(ModelRuleHolds(ModelRule{1, {}, {}, {u"Aa"}}, u"Cc"));
    const ModelRule chain[] = {{1, {u"Ab", u"12"}}, {2, {}, {u"Ab", u"Cd"}}};
    EXPECT_EQ(1u, MatchModelRules(chain, u"12 Ab"));
    EXPECT_EQ(2u, MatchModelRules(chain, u"Cd 12"));
    EXPECT_EQ(0u, MatchModelRules(chain, u"Ef"));
    EXPECT_EQ(0u, MatchModelRules(chain, nullptr));
}

// The words of every rule reach that very rule: no rule is shadowed by a
// broader one before it (a bare family before its type numbers, a short family
// word before the longer word containing it).
TEST(ModelCatalogue, EveryRuleReachable)
{
    for (bool doc : {true, false}) {
        std::span<const ModelRule> rules = doc ? DocFeatureRules() : DeviceOptionRules();
        for (const ModelRule& rule : rules) {
            std::u16string name = Words(rule);
            ASSERT_LE(name.size(), kModelNameChars);
            const ModelRule* first = nullptr;
            for (const ModelRule& r : rules)
                if (!first && ModelRuleHolds(r, name.c_str())) first = &r;
            EXPECT_EQ(&rule, first) << Utf16ToUtf8(name);
        }
    }
}

// The names of data/models.json.
TEST(ModelCatalogue, Names)
{
    const nlohmann::json file = nlohmann::json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "models.json"));
    for (const auto& row : file["rows"]) {
        const std::u16string name = row[0].is_null() ? u"" : Utf8ToUtf16(row[0].get<std::string>());
        const char16_t* p = row[0].is_null() ? nullptr : name.c_str();
        if (!row[1].is_null()) {
            EXPECT_EQ(std::stoul(row[1].get<std::string>(), nullptr, 16),
                      GetDocFeaturesIntern(nullptr, p))
                << row.dump();
        }
        if (!row[2].is_null()) {
            EXPECT_EQ(row[2], GetDeviceOptionsFlagsIntern(nullptr, nullptr, p)) << row.dump();
        }
    }
}

TEST(ModelDriverName, ReadFromThePrinterInto40Bytes)
{
    kxtest::SimSandbox sandbox;
    plat::sim::PrinterSetup printer;
    printer.name = u"Label";
    printer.driverName = u"KX Label Driver";
    plat::sim::AddPrinter(printer);
    plat::Handle h = nullptr;
    ASSERT_EQ(0u, plat::OpenPrinter(u"Label", &h));
    auto set = [h](const std::u16string& name) {
        ASSERT_EQ(0u, plat::SetPrinterDataEx(h, u"PrinterDriverData", u"DriverName", plat::kRegSz,
                                             name.c_str(),
                                             static_cast<std::uint32_t>((name.size() + 1) * 2)));
    };
    EXPECT_EQ(0u, GetDocFeaturesIntern(h, nullptr));  // no value yet
    set(u"Terna 203c 19 chars");                      // 19 characters and the NUL: 40 bytes
    EXPECT_EQ(0x2191Eu, GetDocFeaturesIntern(h, nullptr));
    EXPECT_EQ(0x2191Eu, GetDocFeaturesIntern(h, u""));
    EXPECT_EQ(65550u, GetDeviceOptionsFlagsIntern(nullptr, h, nullptr));
    EXPECT_EQ(0x156u, GetDocFeaturesIntern(h, u"Sundo"));  // the caller's name wins
    set(u"Terna 203c 20 chars!");                          // 42 bytes: the name stays empty
    EXPECT_EQ(0u, GetDocFeaturesIntern(h, nullptr));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, h, nullptr));
    plat::ClosePrinter(h);
}

}  // namespace
