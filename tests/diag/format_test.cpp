// The bounded formatter: the rows of data/format.json (record templates of
// the printer language, C's conversions, bounds, arguments that do not match
// their conversions), then copying, concatenation and UTF-8.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"

namespace {

using nlohmann::json;

// A text of the table as bytes, one character each.
std::string Bytes(const json& text)
{
    std::string out;
    for (char16_t c : kx::Utf8ToUtf16(text.get<std::string>())) out += static_cast<char>(c);
    return out;
}

// The texts the arguments of a row point to.
struct Store {
    std::deque<std::string> narrow;
    std::deque<std::u16string> wide;
};

kx::FmtArg Arg(const json& a, Store& s)
{
    if (a.is_null()) return static_cast<const char*>(nullptr);
    if (a.is_number_integer()) return a.get<int>();
    if (a.is_number_float()) return a.get<double>();
    if (a.is_string()) return s.narrow.emplace_back(Bytes(a)).c_str();
    if (a.contains("u")) return a["u"].get<unsigned>();
    if (a.contains("l")) return a["l"].get<long>();
    if (a.contains("ul")) return a["ul"].get<unsigned long>();
    if (a.contains("ll")) return a["ll"].get<long long>();
    if (a.contains("ull")) return a["ull"].get<unsigned long long>();
    if (a.contains("c")) return Bytes(a["c"]).at(0);
    if (a.contains("sv")) return std::string_view(s.narrow.emplace_back(Bytes(a["sv"])));
    if (a.contains("p")) return reinterpret_cast<const void*>(a["p"].get<std::uintptr_t>());
    return s.wide.emplace_back(kx::Utf8ToUtf16(a["w"].get<std::string>())).c_str();
}

std::vector<kx::FmtArg> Args(const json& row, Store& s)
{
    std::vector<kx::FmtArg> args;
    for (const json& a : row) args.push_back(Arg(a, s));
    return args;
}

// FmtArgs is an initializer list: one spelled out per argument count.
template <class Char, std::size_t N = 0>
HRESULT Call(Char* buf, std::size_t cch, const Char* fmt, const std::vector<kx::FmtArg>& a)
{
    if constexpr (N > 6) {
        ADD_FAILURE() << a.size() << " arguments";
        return E_FAIL;
    } else {
        if (a.size() != N) return Call<Char, N + 1>(buf, cch, fmt, a);
        return [&]<std::size_t... I>(std::index_sequence<I...>)
        {
            return kx::VFormat(buf, cch, fmt, {a[I]...});
        }
        (std::make_index_sequence<N>{});
    }
}

TEST(Format, TableRows)
{
    const json table = json::parse(
        std::ifstream(std::filesystem::path(__FILE__).parent_path() / "data" / "format.json"));
    for (const json& row : table["narrow"]) {
        SCOPED_TRACE(row.dump());
        Store store;
        const json opt = row.size() > 3 ? row[3] : json::object();
        const std::string hr = opt.value("hr", "S_OK");
        std::vector<char> buf(opt.value("cch", 256), '\x7F');
        EXPECT_EQ(Call(buf.data(), buf.size(), Bytes(row[0]).c_str(), Args(row[1], store)),
                  hr == "S_OK" ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER);
        EXPECT_EQ(std::string(buf.data()), Bytes(row[2]));
    }
    for (const json& row : table["wide"]) {
        Store store;
        char16_t buf[64];
        const std::u16string fmt = kx::Utf8ToUtf16(row[0].get<std::string>());
        EXPECT_EQ(Call(buf, 64, fmt.c_str(), Args(row[1], store)), S_OK);
        EXPECT_EQ(std::u16string(buf), kx::Utf8ToUtf16(row[2].get<std::string>()));
    }
    for (const json& row : table["utf8"]) {
        EXPECT_EQ(kx::Utf8ToUtf16(Bytes(row[0])), kx::Utf8ToUtf16(row[1].get<std::string>()));
        EXPECT_EQ(kx::Utf16ToUtf8(kx::Utf8ToUtf16(row[1].get<std::string>())), Bytes(row[0]));
    }
    for (const json& row : table["utf8_broken"])  // one U+FFFD per invalid sequence, as Windows
        EXPECT_EQ(kx::Utf8ToUtf16(Bytes(row[0])), kx::Utf8ToUtf16(row[1].get<std::string>()))
            << row.dump();
}

TEST(Format, PointersBadBuffersUnboundedTextCopyAndConcatenate)
{
    int x = 0;
    char buf[256];
    ASSERT_EQ(kx::Format(buf, "%p", static_cast<const void*>(&x)), S_OK);
    EXPECT_EQ(std::string(buf).size(), sizeof(void*) * 2);
    EXPECT_EQ(kx::VFormat(buf, 0, "x", {}), E_INVALIDARG);
    EXPECT_EQ(kx::VFormat(static_cast<char*>(nullptr), 8, "x", {}), E_INVALIDARG);
    EXPECT_EQ(kx::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(kx::Cp1252ToUtf8("\x80\x81\xFF"), "\xE2\x82\xAC\xC2\x81\xC3\xBF");
    std::string s = kx::FormatString("%s-%05u", {std::string(400, 'a'), 7u});
    EXPECT_EQ(s, std::string(400, 'a') + "-00007");
    EXPECT_EQ(kx::FormatString(u"%d:%s", {3, "x"}), u"3:x");

    char cat[10] = "abc";
    EXPECT_EQ(kx::Cat(cat, sizeof(cat), "def"), S_OK);
    EXPECT_STREQ(cat, "abcdef");
    EXPECT_EQ(kx::Cat(cat, sizeof(cat), "ghij"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(cat, "abcdefghi");
    EXPECT_EQ(kx::Cat(cat, sizeof(cat), ""), S_OK);
    EXPECT_EQ(kx::Copy(cat, sizeof(cat), "0123456789"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(cat, "012345678");
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(kx::Cat(unterminated, sizeof(unterminated), "x"), E_INVALIDARG);
    EXPECT_EQ(kx::Length("abc", 2), 2u);
    EXPECT_EQ(kx::Length(static_cast<const char*>(nullptr)), 0u);
}

}  // namespace
