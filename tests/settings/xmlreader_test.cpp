// The line-oriented settings reader. The lookups (result codes, values, the
// resume point without rewind, the line limit, text mode) are sequences in
// data/xmlreader.json; the rest is checked here.
#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "settings/xmlreader.h"
#include "xmltest.h"

namespace {

using kxtest::XmlTest;
using nlohmann::json;
using std::u16string;

constexpr const char* kSmall =
    "<Root>\r\n"
    "  <Sect>\r\n"
    "    <Elem>  75 mm</Elem>\r\n"
    "  </Sect>\r\n"
    "  <Flat>12</Flat>\r\n"
    "</Root>\r\n";

TEST_F(XmlTest, Lookups)
{
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "xmlreader.json";
    const json rows = json::parse(std::ifstream(path));
    const std::pair<const char*, int> kResults[] = {{"FOUND", kx::XML_FOUND},
                                                    {"NO_ROOT", kx::XML_NO_ROOT},
                                                    {"NO_SECTION", kx::XML_NO_SECTION},
                                                    {"NO_ELEMENT", kx::XML_NO_ELEMENT}};
    for (const json& seq : rows["sequences"]) {
        for (const json& step : seq["lookups"]) {
            SCOPED_TRACE(seq["name"].get<std::string>() + ": " + step.dump());
            if (step.is_string()) {  // the file, in code page 1252
                std::string bytes;
                for (char16_t c :
                     kx::Utf8ToUtf16(rows["files"][step.get<std::string>()].get<std::string>()))
                    bytes += static_cast<char>(c);
                Open(bytes);
                continue;
            }
            const json& at = step["at"];
            const std::u16string root = kx::Utf8ToUtf16(at[0].get<std::string>());
            const std::u16string item1 = kx::Utf8ToUtf16(at[1].get<std::string>());
            const std::u16string item2 =
                at[2].is_null() ? u"" : kx::Utf8ToUtf16(at[2].get<std::string>());
            kx::Copy(value, kx::XML_VALUE_CHARS, u"kept");
            int result = kx::ReadXML(ctx(), root.c_str(), item1.c_str(),
                                     at[2].is_null() ? nullptr : item2.c_str(), value,
                                     step.value("rewind", true) ? TRUE : FALSE);
            const std::string want = step["result"];
            auto it = std::find_if(std::begin(kResults), std::end(kResults),
                                   [&](const auto& r) { return want == r.first; });
            ASSERT_NE(it, std::end(kResults));
            EXPECT_EQ(result, it->second);
            EXPECT_EQ(u16string(value), kx::Utf8ToUtf16(step.value("value", "kept")));
        }
    }
}

TEST_F(XmlTest, NoFileNoContextAndClosing)
{
    EXPECT_EQ(kx::OpenXML(u"C:\\xml\\none.xml"), kx::XML_NO_FILE);
    EXPECT_EQ(kx::CloseXML(), 0);
    Open(kSmall);
    EXPECT_EQ(kx::ReadXML(nullptr, u"Root", u"Sect", u"Elem", value, TRUE), kx::XML_NO_CONTEXT);
    EXPECT_EQ(kx::CloseXML(), 1);
    EXPECT_FALSE(kx::IsXMLOpen());
}

TEST_F(XmlTest, WithoutOpenFileThePrintersOwnSettingsFileIsRead)
{
    // The GPD "C:\drv\KX4-203.GPD" has its settings in "C:\drv\KX4-203.XML".
    kx::Copy(device.files.wcGPD_OhneDateiendung, KX_MAX_PATH, u"C:\\drv\\KX4-203");
    EXPECT_EQ(Read(u"Root", u"Flat", nullptr), kx::XML_NO_FILE);
    Write(u"C:\\drv\\KX4-203.XML", kSmall);
    EXPECT_EQ(Read(u"Root", u"Flat", nullptr), kx::XML_FOUND);
    EXPECT_TRUE(kx::IsXMLOpen());
    kx::CloseXML();
    // Without a job there is no data file and so no settings file.
    kxtest::TestDevice idle(false);
    EXPECT_EQ(kx::ReadXML(&idle.pdev, u"Root", u"Flat", nullptr, value, TRUE), kx::XML_NO_FILE);
}

TEST_F(XmlTest, LookupWithoutRewindResumesAtThePreviousRoot)
{
    Open("<A>\n<S>\n<E>1</E>\n</S>\n</A>\n<B>\n<S>\n<E>2</E>\n</S>\n</B>\n");
    EXPECT_EQ(Read(u"A", u"S", u"E", true), kx::XML_FOUND);
    // B stands after A: found from A's line on.
    EXPECT_EQ(Read(u"B", u"S", u"E", false), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"2");
    // The scan now starts at B's line, after A.
    EXPECT_EQ(Read(u"A", u"S", u"E", false), kx::XML_NO_ROOT);
    EXPECT_EQ(Read(u"A", u"S", u"E", true), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"1");
    // A root that was searched to the end leaves the scan at the last line:
    // even an existing root is not found without rewind.
    EXPECT_EQ(Read(u"C", u"S", u"E", true), kx::XML_NO_ROOT);
    EXPECT_EQ(Read(u"A", u"S", u"E", false), kx::XML_NO_ROOT);
    // A missing section or element keeps the root's line.
    EXPECT_EQ(Read(u"B", u"X", u"E", true), kx::XML_NO_SECTION);
    EXPECT_EQ(Read(u"B", u"S", u"E", false), kx::XML_FOUND);
    // A new file starts at its beginning.
    Open("<A>\n<S>\n<E>3</E>\n</S>\n</A>\n");
    EXPECT_EQ(Read(u"A", u"S", u"E", false), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"3");
}

TEST_F(XmlTest, NamesAreSubstringsAndTheRootBoundsTheSearch)
{
    Open(
        "<Root>\n"
        "<First>\n<Shared>1</Shared>\n</First>\n"
        "<Second>\n<OnlyHere>2</OnlyHere>\n</Second>\n"
        "</Root>\n"
        "<Next>\n<First>\n<Later>3</Later>\n</First>\n</Next>\n");
    // An element missing from its section is taken from a later section ...
    EXPECT_EQ(Read(u"Root", u"First", u"OnlyHere"), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"2");
    // ... but never from beyond the root.
    EXPECT_EQ(Read(u"Root", u"First", u"Later"), kx::XML_NO_ELEMENT);
    EXPECT_EQ(Read(u"Root", u"Sec", u"Here"), kx::XML_FOUND);
    EXPECT_EQ(Read(u"Root", u"second", u"OnlyHere"), kx::XML_NO_SECTION);
    EXPECT_EQ(Read(u"root", u"Second", u"OnlyHere"), kx::XML_NO_ROOT);
    // A name that is part of the root's own name never matches its closing tag.
    EXPECT_EQ(Read(u"Next", u"xt", nullptr), kx::XML_NO_SECTION);
}

TEST_F(XmlTest, ValueIsTheTextBetweenFirstTagAndClosingTag)
{
    Open(
        "<R>\n"
        "<A>x > y</A>\n"
        "<B></B>\n"
        "<C>no end\n"
        "D without tags\n"
        "</R>\n");
    EXPECT_EQ(Read(u"R", u"A", nullptr), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"x > y");
    EXPECT_EQ(Read(u"R", u"B", nullptr), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"");
    EXPECT_EQ(Read(u"R", u"C", nullptr), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"no end");
    EXPECT_EQ(Read(u"R", u"D without", nullptr), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"");
}

TEST_F(XmlTest, LinesLongerThan259CharactersAreReadInPieces)
{
    std::string longValue(300, 'x');
    std::string pad(259, ' ');
    std::string split(255, ' ');
    Open(
        "<R>\n"
        "<Long>" +
        longValue +
        "</Long>\n"
        // The tag starts exactly where the second piece of the line begins.
        + pad +
        "<Late>80</Late>\n"
        // The tag is cut in two by the limit.
        + split +
        "<Cut>1</Cut>\n"
        "</R>\n");
    ASSERT_EQ(Read(u"R", u"Long", nullptr), kx::XML_FOUND);
    // The first 259 characters, without the closing tag.
    EXPECT_EQ(u16string(value), u16string(259 - 6, u'x'));
    EXPECT_EQ(Read(u"R", u"Late", nullptr), kx::XML_FOUND);
    EXPECT_EQ(kx::XmlToInt(value), 80);
    EXPECT_EQ(Read(u"R", u"<Cut>", nullptr), kx::XML_NO_SECTION);
}

TEST_F(XmlTest, TextModeReading)
{
    // CR LF ends a line, a lone CR does not; Ctrl-Z ends the file. The file
    // is in the system code page (1252 here).
    Open("<R>\r\n<A>1\r</A>\r\n<B>\xA7</B>\r\n</R>\r\n\x1A<Z>\r\n<S>1</S>\r\n</Z>\r\n");
    EXPECT_EQ(Read(u"R", u"A", nullptr), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"1\r");
    EXPECT_EQ(Read(u"R", u"B", nullptr), kx::XML_FOUND);
    EXPECT_EQ(u16string(value), u"\u00A7");
    EXPECT_EQ(Read(u"Z", u"S", nullptr), kx::XML_NO_ROOT);
}

TEST(XmlToInt, ReadsNumbersTheWayTheSettingsFilesWriteThem)
{
    EXPECT_EQ(kx::XmlToInt(u"  75 mm"), 75);
    EXPECT_EQ(kx::XmlToInt(u"\t-15"), -15);
    EXPECT_EQ(kx::XmlToInt(u"+007"), 7);
    EXPECT_EQ(kx::XmlToInt(u"abc"), 0);
    EXPECT_EQ(kx::XmlToInt(u"- 5"), 0);
    EXPECT_EQ(kx::XmlToInt(u"2147483648"), INT32_MAX);
    EXPECT_EQ(kx::XmlToInt(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(kx::XmlToInt(u"-99999999999999999999999"), INT32_MIN);
}

}  // namespace
