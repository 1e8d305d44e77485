// The simulated registry beyond what both backends promise (contract.h):
// persistence in its text files, another writer of them, odd names and data,
// concurrent writers.
#include <fstream>
#include <thread>

#include "platform/platform.h"
#include "support/harness.h"

namespace {

using namespace kx::plat;

constexpr std::u16string_view kKey = u"SOFTWARE\\Orvane\\Driver\\Label";

std::string Bytes(std::u16string_view s)
{
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

// The whole value as stored, or "" with *rc set.
std::string Read(Hive hive, std::u16string_view key, std::u16string_view name,
                 std::uint32_t* type = nullptr, std::uint32_t* rc = nullptr)
{
    std::uint32_t cb = 0;
    std::uint32_t r = RegGetValue(hive, key, name, nullptr, nullptr, &cb);
    std::string data(cb, '\0');
    if (r == 0) r = RegGetValue(hive, key, name, type, data.data(), &cb);
    if (rc) *rc = r;
    return r == 0 ? data : std::string();
}

class RegistryTest : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    std::string HivePath(const char* name) const
    {
        return sandbox.dir() + "/state/registry/" + name;
    }
};

TEST_F(RegistryTest, ValuesPersistAsReadableTextPerHive)
{
    ASSERT_EQ(0u, RegSetDword(Hive::CurrentUser, kKey, u"DAPageNr", 42));
    std::u16string text = u"C:\\Users\\Jörg \"x\"";
    text.push_back(0);
    ASSERT_EQ(0u, RegSetValue(Hive::LocalMachine, kKey, u"Path", kRegSz, text.data(),
                              static_cast<std::uint32_t>(text.size() * 2)));

    std::string hkcu = kxtest::SimSandbox::ReadHostFile(HivePath("HKCU.reg"));
    std::string hklm = kxtest::SimSandbox::ReadHostFile(HivePath("HKLM.reg"));
    EXPECT_NE(std::string::npos, hkcu.find("[SOFTWARE\\Orvane\\Driver\\Label]\n"));
    EXPECT_NE(std::string::npos, hkcu.find("\"DAPageNr\"=dword:0000002a\n"));
    EXPECT_NE(std::string::npos, hklm.find("\"Path\"=sz:\"C:\\\\Users\\\\Jörg \\\"x\\\"\"\n"));
    EXPECT_EQ(std::string::npos, hkcu.find("Path")) << "each hive has its own file";
    EXPECT_FALSE(kxtest::SimSandbox::HostFileExists(HivePath("HKLM.reg.tmp")));
}

TEST_F(RegistryTest, AnotherWriterOfTheFileIsSeenAtOnce)
{
    // The plug-in module and the host each keep their own copy of the layer;
    // a write by the other copy shows up only in the file.
    ASSERT_EQ(0u, RegSetDword(Hive::CurrentUser, kKey, u"DAAbbruch", 1));
    std::uint32_t v = 0;
    ASSERT_TRUE(RegGetDword(Hive::CurrentUser, kKey, u"DAAbbruch", &v));
    EXPECT_EQ(1u, v);
    {
        std::ofstream out(HivePath("HKCU.reg"), std::ios::trunc);
        out << "; written elsewhere\r\n[SOFTWARE\\Orvane\\Driver\\Label]\r\n"
               "\"DAAbbruch\"=dword:00000000\r\n"
               "this line means nothing\r\n"
               "\"DAFieldNr\"=dword:00000007\r\n";
    }
    ASSERT_TRUE(RegGetDword(Hive::CurrentUser, kKey, u"DAAbbruch", &v));
    EXPECT_EQ(0u, v);
    ASSERT_TRUE(RegGetDword(Hive::CurrentUser, kKey, u"DAFieldNr", &v));
    EXPECT_EQ(7u, v);
    // A write keeps what the other writer added.
    ASSERT_EQ(0u, RegSetDword(Hive::CurrentUser, kKey, u"DAPageNr", 3));
    ASSERT_TRUE(RegGetDword(Hive::CurrentUser, kKey, u"DAFieldNr", &v));
    EXPECT_EQ(7u, v);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling)
{
    ASSERT_EQ(0u, RegSetDword(Hive::CurrentUser, u"Software\\Étiquette", u"Zähler", 1));
    ASSERT_EQ(0u, RegSetDword(Hive::CurrentUser, u"SOFTWARE\\éTIQUETTE\\", u"ZÄHLER", 2));
    std::uint32_t v = 0;
    ASSERT_TRUE(RegGetDword(Hive::CurrentUser, u"\\software\\ÉTIQUETTE", u"zähler", &v));
    EXPECT_EQ(2u, v);
    std::string hkcu = kxtest::SimSandbox::ReadHostFile(HivePath("HKCU.reg"));
    EXPECT_NE(std::string::npos, hkcu.find("[Software\\Étiquette]"));
    EXPECT_NE(std::string::npos, hkcu.find("\"Zähler\"=dword:00000002"));
    EXPECT_EQ(std::string::npos, hkcu.find("ZÄHLER")) << "one value, not two";
}

TEST_F(RegistryTest, OddNamesAndDataSurviveTheFileByteForByte)
{
    struct Case {
        std::u16string name;
        std::uint32_t type;
        std::string data;
    };
    std::u16string lone = u"a";
    lone.push_back(0xD800);
    const Case cases[] = {
        {u"", kRegSz, Bytes(std::u16string(u"default\0", 8))},
        {u"quote\"back\\slash", kRegSz, Bytes(std::u16string(u"line\r\nnext\t\x01\0", 13))},
        {lone, kRegSz, Bytes(lone + u'\0')},
        {u"no terminator", kRegSz, Bytes(u"abc")},
        {u"inner NUL", kRegExpandSz, Bytes(std::u16string(u"a\0b\0", 4))},
        {u"odd size", kRegSz, std::string("\x41\x00\x42", 3)},
        {u"list", kRegMultiSz, Bytes(std::u16string(u"one\0two\0\0", 9))},
        {u"empty list", kRegMultiSz, Bytes(std::u16string(u"\0", 1))},
        {u"qword", 11, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {u"short dword", kRegDword, std::string("\x01\x02", 2)},
        {u"empty", kRegBinary, std::string()},
        {u"emoji \U0001F5A8", kRegSz, Bytes(std::u16string(u"\U0001F5A8\0", 3))},
    };
    for (const Case& c : cases)
        ASSERT_EQ(0u, RegSetValue(Hive::CurrentUser, kKey, c.name, c.type, c.data.data(),
                                  static_cast<std::uint32_t>(c.data.size())));
    for (const Case& c : cases) {
        std::uint32_t type = 0, rc = 0;
        std::string data = Read(Hive::CurrentUser, kKey, c.name, &type, &rc);
        EXPECT_EQ(0u, rc);
        EXPECT_EQ(c.type, type);
        EXPECT_TRUE(kxtest::BytesEqual(c.data, data));
    }
    std::string hkcu = kxtest::SimSandbox::ReadHostFile(HivePath("HKCU.reg"));
    EXPECT_NE(std::string::npos, hkcu.find("@=sz:\"default\"\n"));
    EXPECT_NE(std::string::npos, hkcu.find("\"list\"=multi_sz:\"one\",\"two\"\n"));
    EXPECT_NE(std::string::npos, hkcu.find("\"no terminator\"=hex(1):61,00,62,00,63,00\n"));
    EXPECT_NE(std::string::npos, hkcu.find("\"a\\uD800\"=sz:"));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing)
{
    auto name = [](int id, int i) {
        return u"w" + std::u16string(1, static_cast<char16_t>(u'0' + id)) + u"_" +
               std::u16string(1, static_cast<char16_t>(u'A' + i));
    };
    auto writer = [&](int id) {
        for (int i = 0; i < 25; ++i)
            RegSetDword(Hive::CurrentUser, kKey, name(id, i), static_cast<std::uint32_t>(i));
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    for (int id = 1; id <= 2; ++id) {
        for (int i = 0; i < 25; ++i) {
            std::uint32_t v = 0;
            EXPECT_TRUE(RegGetDword(Hive::CurrentUser, kKey, name(id, i), &v));
            EXPECT_EQ(static_cast<std::uint32_t>(i), v);
        }
    }
}

}  // namespace
