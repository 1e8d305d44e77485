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
