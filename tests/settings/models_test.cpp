// The model capability tables: the rule mechanism, the catalogue and the
// printer's "DriverName" fallback.
#include <set>
#include <string>

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

// The words of every rule reach that very rule: no rule is shadowed by a broader
// one before it (a bare family before its type numbers, a short family word
// before the longer word containing it), and between them the rules yield
// exactly the catalogue's values.
TEST(ModelCatalogue, EveryRuleReachableAndEveryValueYielded)
{
    const std::set<DWORD> docValues = {
        0x100,    0x116,    0x136,    0x156,      0x15E,      0x1156,    0x115E,
        0x115F,   0x4001,   0x10026,  0x14020,    0x14026,    0x1405E,   0x21156,
        0x2115E,  0x2115F,  0x2155E,  0x2191E,    0x2195E,    0x2915E,   0x2955E,
        0x61956,  0x6195E,  0x6195F,  0x121116,   0x12155E,   0x129116,  0x129556,
        0x1A110E, 0x1A9106, 0x201156, 0x20115E,   0x241956,   0x3010B6,  0x301116,
        0x301136, 0x30115E, 0x42110E, 0x200A110E, 0x40001401, 0x40021401};
    const std::set<DWORD> optionValues = {6,     14,    17,    33,    144,    177,   258,
                                          259,   262,   1035,  1038,  1041,   32768, 65794,
                                          65798, 65538, 65542, 65550, 66562,  66570, 66574,
                                          66576, 66736, 66737, 98448, 163840, 327942};
    ASSERT_EQ(41u, docValues.size());
    ASSERT_EQ(27u, optionValues.size());
    for (bool doc : {true, false}) {
        std::span<const ModelRule> rules = doc ? DocFeatureRules() : DeviceOptionRules();
        std::set<DWORD> reached;
        for (const ModelRule& rule : rules) {
            std::u16string name = Words(rule);
            ASSERT_LE(name.size(), kModelNameChars);
            const ModelRule* first = nullptr;
            for (const ModelRule& r : rules)
                if (!first && ModelRuleHolds(r, name.c_str())) first = &r;
            EXPECT_EQ(&rule, first) << Utf16ToUtf8(name);
            reached.insert(doc ? GetDocFeaturesIntern(nullptr, name.c_str())
                               : GetDeviceOptionsFlagsIntern(nullptr, nullptr, name.c_str()));
        }
        EXPECT_EQ(doc ? docValues : optionValues, reached);
    }
}

TEST(ModelCatalogue, TypeNumberWinsWhateverTheWordOrder)
{
    EXPECT_EQ(0x2955Eu, GetDocFeaturesIntern(nullptr, u"406x Vela"));
    EXPECT_EQ(0x2955Eu, GetDocFeaturesIntern(nullptr, u"Type 406x of the Vela line"));
    EXPECT_EQ(0x2915Eu, GetDocFeaturesIntern(nullptr, u"406-Vela"));
    EXPECT_EQ(66736u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"406x_Vela"));
    EXPECT_EQ(0x20115Eu, GetDocFeaturesIntern(nullptr, u"806 Velantra"));
    EXPECT_EQ(0x201156u, GetDocFeaturesIntern(nullptr, u"Velantra 406x"));
    // The two-colour marker adds colour printing and 0x40000 to the family's value.
    EXPECT_EQ(0x2115Eu | 0x40800u, GetDocFeaturesIntern(nullptr, u"Vela 406x Duo"));
    EXPECT_EQ(0x6195Fu, GetDocFeaturesIntern(nullptr, u"Duo 203 Terna"));
}

TEST(ModelCatalogue, CaseEmptyLongAndDummyNames)
{
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u"vela 406x"));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u"VELA"));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"terna"));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u""));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, nullptr));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, nullptr));
    // The dummy model gets its value only when no family claims the name.
    EXPECT_EQ(0x100u, GetDocFeaturesIntern(nullptr, u"Dummy-Printer"));
    EXPECT_EQ(0x2115Eu, GetDocFeaturesIntern(nullptr, u"Dummy Vela"));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"Dummy-Printer"));
    // Only the first 39 characters of a name are looked at.
    std::u16string padded(kModelNameChars - 4, u'-');
    EXPECT_EQ(0x2115Eu, GetDocFeaturesIntern(nullptr, (padded + u"Vela").c_str()));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, (padded + u"-Vela").c_str()));
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
