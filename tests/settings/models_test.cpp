// The model capability tables: the rule mechanism, the catalogue and the
// printer's "DriverName" fallback.
#include <set>
#include <string>

#include "diag/format.h"
#include "platform/platform.h"
#include "settings/models.h"
#include "support/harness.h"

namespace {

using namespace kx;

std::u16string Words(const ModelRule& rule)
{
    std::u16string name;
    for (const char16_t* s : rule.szAlle)
        if (s) name += std::u16string(s) + u" ";
    if (rule.szEines[0]) name += rule.szEines[0];
    return name;
}

// Index of the first rule that holds for the name, or -1.
int FirstHolding(std::span<const ModelRule> rules, const std::u16string& name)
{
    for (size_t i = 0; i < rules.size(); ++i)
        if (ModelRuleHolds(rules[i], name.c_str())) return static_cast<int>(i);
    return -1;
}

TEST(ModelRules, AndOrAndNot)
{
    const ModelRule rule{7, {u"Ab", u"12"}, {u"x", u"y"}, {u"Duo"}};
    EXPECT_TRUE(ModelRuleHolds(rule, u"Ab 12x"));
    EXPECT_TRUE(ModelRuleHolds(rule, u"y-12-Ab"));
    EXPECT_FALSE(ModelRuleHolds(rule, u"Ab 12"));       // none of the "or" strings
    EXPECT_FALSE(ModelRuleHolds(rule, u"Ab x"));        // an "and" string missing
    EXPECT_FALSE(ModelRuleHolds(rule, u"Ab 12x Duo"));  // an "and-not" string present
    EXPECT_FALSE(ModelRuleHolds(rule, u"ab 12x"));      // case-sensitive

    const ModelRule orOnly{1, {}, {u"Aa", u"Bb"}};
    EXPECT_TRUE(ModelRuleHolds(orOnly, u"xBb"));
    EXPECT_FALSE(ModelRuleHolds(orOnly, u"Cc"));
    // A rule that asks for nothing never holds, so it cannot swallow the chain.
    EXPECT_FALSE(ModelRuleHolds(ModelRule{1, {}, {}, {u"Aa"}}, u"Cc"));

    const ModelRule chain[] = {{1, {u"Ab", u"12"}}, {2, {u"Ab"}}};
    EXPECT_EQ(1u, MatchModelRules(chain, u"12 Ab"));
    EXPECT_EQ(2u, MatchModelRules(chain, u"Ab 1"));
    EXPECT_EQ(0u, MatchModelRules(chain, u"Cd"));
    EXPECT_EQ(0u, MatchModelRules(chain, u""));
    EXPECT_EQ(0u, MatchModelRules(chain, nullptr));
}

TEST(ModelCatalogue, YieldsExactlyTheDocumentFeatureValues)
{
    const std::set<DWORD> expected = {
        0x100,    0x116,    0x136,    0x156,      0x15E,      0x1156,    0x115E,
        0x115F,   0x4001,   0x10026,  0x14020,    0x14026,    0x1405E,   0x21156,
        0x2115E,  0x2115F,  0x2155E,  0x2191E,    0x2195E,    0x2915E,   0x2955E,
        0x61956,  0x6195E,  0x6195F,  0x121116,   0x12155E,   0x129116,  0x129556,
        0x1A110E, 0x1A9106, 0x201156, 0x20115E,   0x241956,   0x3010B6,  0x301116,
        0x301136, 0x30115E, 0x42110E, 0x200A110E, 0x40001401, 0x40021401};
    ASSERT_EQ(41u, expected.size());
    std::set<DWORD> reached;
    for (const ModelRule& rule : DocFeatureRules())
        reached.insert(GetDocFeaturesIntern(nullptr, Words(rule).c_str()));
    EXPECT_EQ(expected, reached);
}

TEST(ModelCatalogue, YieldsExactlyTheDeviceOptionValues)
{
    const std::set<DWORD> expected = {6,     14,    17,    33,    144,    177,   258,
                                      259,   262,   1035,  1038,  1041,   32768, 65794,
                                      65798, 65538, 65542, 65550, 66562,  66570, 66574,
                                      66576, 66736, 66737, 98448, 163840, 327942};
    ASSERT_EQ(27u, expected.size());
    std::set<DWORD> reached;
    for (const ModelRule& rule : DeviceOptionRules())
        reached.insert(GetDeviceOptionsFlagsIntern(nullptr, nullptr, Words(rule).c_str()));
    EXPECT_EQ(expected, reached);
}

// No rule is shadowed by an earlier one: the words of every rule reach that
// very rule. A broader rule placed before a narrower one, or a short
// family word before the longer word containing it, fails here.
TEST(ModelCatalogue, EveryRuleIsReachable)
{
    for (auto rules : {DocFeatureRules(), DeviceOptionRules()}) {
        for (size_t i = 0; i < rules.size(); ++i) {
            std::u16string name = Words(rules[i]);
            EXPECT_LE(name.size(), kModelNameChars);
            EXPECT_EQ(static_cast<int>(i), FirstHolding(rules, name)) << Utf16ToUtf8(name);
        }
    }
}

TEST(ModelCatalogue, TypeNumberWinsWhateverTheWordOrder)
{
    EXPECT_EQ(0x2955Eu, GetDocFeaturesIntern(nullptr, u"Vela 406x"));
    EXPECT_EQ(0x2955Eu, GetDocFeaturesIntern(nullptr, u"406x Vela"));
    EXPECT_EQ(0x2955Eu, GetDocFeaturesIntern(nullptr, u"Type 406x of the Vela line"));
    EXPECT_EQ(0x2915Eu, GetDocFeaturesIntern(nullptr, u"406-Vela"));
    EXPECT_EQ(0x2115Eu, GetDocFeaturesIntern(nullptr, u"Vela"));
    EXPECT_EQ(66736u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"406x_Vela"));
    // The longer family word wins over the shorter one inside it.
    EXPECT_EQ(0x20115Eu, GetDocFeaturesIntern(nullptr, u"806 Velantra"));
    EXPECT_EQ(0x201156u, GetDocFeaturesIntern(nullptr, u"Velantra 406x"));
    EXPECT_EQ(0x21156u, GetDocFeaturesIntern(nullptr, u"Kelvaron"));
    EXPECT_EQ(0x129116u, GetDocFeaturesIntern(nullptr, u"Kelva"));
    // The two-colour marker adds colour printing and 0x40000 to the family's value.
    EXPECT_EQ(0x2115Eu | 0x40800u, GetDocFeaturesIntern(nullptr, u"Vela 406x Duo"));
    EXPECT_EQ(0x6195Eu, GetDocFeaturesIntern(nullptr, u"Duo Vela"));
    EXPECT_EQ(0x6195Fu, GetDocFeaturesIntern(nullptr, u"Terna 203 Duo"));
    EXPECT_EQ(0x241956u, GetDocFeaturesIntern(nullptr, u"Velantra Duo"));
}

TEST(ModelCatalogue, CaseEmptyAndDummy)
{
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u"vela 406x"));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u"VELA 406X"));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"terna"));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u""));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, nullptr));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, u"Unknown 406x"));
    // The dummy model gets its value only when no family claims the name.
    EXPECT_EQ(0x100u, GetDocFeaturesIntern(nullptr, u"Dummy-Printer"));
    EXPECT_EQ(0x2115Eu, GetDocFeaturesIntern(nullptr, u"Dummy Vela"));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"Dummy-Printer"));
    // Only the first 39 characters of a name are looked at.
    std::u16string padded(kModelNameChars - 4, u'-');
    EXPECT_EQ(0x2115Eu, GetDocFeaturesIntern(nullptr, (padded + u"Vela").c_str()));
    EXPECT_EQ(0u, GetDocFeaturesIntern(nullptr, (padded + u"-Vela").c_str()));
}

class DriverNameTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    plat::Handle hPrinter = nullptr;

    void SetUp() override
    {
        plat::sim::PrinterSetup printer;
        printer.name = u"Label";
        printer.driverName = u"KX Label Driver";
        plat::sim::AddPrinter(printer);
        ASSERT_EQ(0u, plat::OpenPrinter(u"Label", &hPrinter));
    }
    void TearDown() override
    {
        if (hPrinter) plat::ClosePrinter(hPrinter);
    }
    void SetDriverName(const std::u16string& name)
    {
        ASSERT_EQ(0u, plat::SetPrinterDataEx(hPrinter, u"PrinterDriverData", u"DriverName",
                                             plat::kRegSz, name.c_str(),
                                             static_cast<std::uint32_t>((name.size() + 1) * 2)));
    }
};

TEST_F(DriverNameTest, NameComesFromThePrinterWhenNoneIsGiven)
{
    SetDriverName(u"Terna 203c");
    EXPECT_EQ(0x2191Eu, GetDocFeaturesIntern(hPrinter, nullptr));
    EXPECT_EQ(0x2191Eu, GetDocFeaturesIntern(hPrinter, u""));
    EXPECT_EQ(65550u, GetDeviceOptionsFlagsIntern(nullptr, hPrinter, nullptr));
    // The caller's name wins.
    EXPECT_EQ(0x156u, GetDocFeaturesIntern(hPrinter, u"Sundo"));
}

TEST_F(DriverNameTest, NameMustFitFortyBytes)
{
    SetDriverName(u"Terna 203c 19 chars");  // 19 characters and the NUL: 40 bytes
    EXPECT_EQ(0x2191Eu, GetDocFeaturesIntern(hPrinter, nullptr));
    SetDriverName(u"Terna 203c 20 chars!");  // 42 bytes: the name stays empty
    EXPECT_EQ(0u, GetDocFeaturesIntern(hPrinter, nullptr));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, hPrinter, nullptr));
}

TEST_F(DriverNameTest, MissingValueGivesNothing)
{
    EXPECT_EQ(0u, GetDocFeaturesIntern(hPrinter, nullptr));
    EXPECT_EQ(0u, GetDeviceOptionsFlagsIntern(nullptr, hPrinter, nullptr));
}

}  // namespace
