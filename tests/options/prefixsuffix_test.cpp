// Prefix and suffix files: the section rules of the reader, and the records
// that reach the spooler and the print file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/output.h"
#include "options/prefixsuffix.h"
#include "support/device.h"

namespace {

using kx::ParsePrefixSuffix;
using kxtest::BytesEqual;
using kxtest::SimSandbox;
using kxtest::TestDevice;
using Lines = std::vector<std::string>;

// A text of data/prefixsuffix.json: a string, or pieces of which [text, n]
// stands for n copies.
std::string Text(const nlohmann::json& v)
{
    if (v.is_string()) return v.get<std::string>();
    std::string all;
    for (const nlohmann::json& piece : v) {
        if (piece.is_string()) {
            all += piece.get<std::string>();
        } else {
            for (int i = 0; i < piece[1].get<int>(); ++i) all += piece[0].get<std::string>();
        }
    }
    return all;
}

TEST(PrefixSuffixParse, SectionRules)
{
    const auto data = nlohmann::json::parse(std::ifstream(
        std::filesystem::path(__FILE__).parent_path() / "data" / "prefixsuffix.json"));
    const std::string file = data.at("file");
    for (const nlohmann::json& c : data.at("cases")) {
        SCOPED_TRACE(c.dump().substr(0, 120));
        const std::string text = c["text"] == "file" ? file : Text(c["text"]);
        auto r = ParsePrefixSuffix(text, c["section"].get<int>());
        Lines lines;
        for (const nlohmann::json& line : c["lines"]) lines.push_back(Text(line));
        EXPECT_EQ(r.lines, lines);
        EXPECT_EQ(r.bFound, c["found"].get<bool>());
    }
    EXPECT_EQ(ParsePrefixSuffix(file, kx::PS_POST_DOCUMENT).iKeywordLine, 12);  // lines searched
    EXPECT_TRUE(ParsePrefixSuffix("", 3).bEmptyFile);
    EXPECT_TRUE(ParsePrefixSuffix("\x1A[POST_DATA]\nA1\n", 3).bEmptyFile);
    EXPECT_EQ(kx::PrefixSuffixKeyword(6), nullptr);
    EXPECT_STREQ(kx::PrefixSuffixKeyword(4), "PRE_PRINTSTART");
}

class PrefixSuffixFile : public kxtest::PrintFileTest {
protected:
    void SetUp() override
    {
        OpenPrintFile();
        device.iface().dwPrefixSuffix = 1;
        device.iface().dwPrnFileComment = 2;
        kx::Copy(device.iface().wcPreSufFilePath, PRN_PATH_CHARS, u"C:\\ps\\label.txt");
    }
    void Write(const std::string& text)
    {
        const std::string path = sandbox.HostPath(u"C:\\ps\\label.txt");
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
};

// Each line goes whole to the spooler and the print file in one write: start
// character, line, end character and, with comments on, the section's comment
// ending in a bare line feed.
TEST_F(PrefixSuffixFile, RecordsOfASection)
{
    Write(
        "[POST_DEVICE]\r\nFCDL--r1-------\r\n\r\n[POST_DATA]\r\nFBE---r%s\r\nFBBA--r00002---"
        "\r\n\r\nFE----r--------\r\n");
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, kx::PS_POST_DATA), S_OK);
    const std::string records = "^FBE---r%s_^FBBA--r00002---_";
    EXPECT_TRUE(BytesEqual(records, device.uni.spool));
    EXPECT_TRUE(BytesEqual(records, PrintFile()));
    EXPECT_EQ(device.uni.writeCalls, 2);

    device.uni.spool.clear();
    ASSERT_TRUE(kx::OpenPrnFile(0, &device.pdev, FALSE));
    device.iface().dwPrnFileComment = 1;
    device.data.cStart = 0x01;
    device.data.cEnd = 0x17;
    Write("POST_PRINTSTART\nFCDD--r1-------\n");
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, kx::PS_POST_PRINTSTART), S_OK);
    const std::string record =
        "\x01"
        "FCDD--r1-------\x17\t// PS POST_PRINTSTART \n";
    EXPECT_TRUE(BytesEqual(record, device.uni.spool));
    EXPECT_TRUE(BytesEqual(record, PrintFile()));
}

TEST_F(PrefixSuffixFile, NothingToSend)
{
    // A missing file is no error.
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, kx::PS_POST_DOCUMENT), S_OK);
    kx::Copy(device.iface().wcPreSufFilePath, PRN_PATH_CHARS, u"");
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, kx::PS_POST_DOCUMENT), S_OK);
    kx::Copy(device.iface().wcPreSufFilePath, PRN_PATH_CHARS, u"C:\\ps\\label.txt");
    // A section directly followed by another section's keyword; no section; empty file.
    for (const char* text : {"[POST_DOCUMENT]\r\n[POST_DATA]\r\nFE----r--------\r\n",
                             "[POST_DATA]\r\nFE----r--------\r\n", ""}) {
        Write(text);
        EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, kx::PS_POST_DOCUMENT), S_OK);
    }
    EXPECT_EQ(device.uni.writeCalls, 0);
    EXPECT_EQ(PrintFile(), "");
}

TEST_F(PrefixSuffixFile, FailuresAndMissingStructures)
{
    Write("POST_DATA\nA1\nA2\n");
    device.uni.failWrites = true;
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, kx::PS_POST_DATA), E_FAIL);
    EXPECT_EQ(device.uni.writeCalls, 1);  // the first failure stops the section
    TestDevice idle(false);
    EXPECT_EQ(kx::ReadPrefixSuffix(idle.dev(), &idle.uni, kx::PS_POST_DATA), E_FAIL);
    EXPECT_EQ(kx::ReadPrefixSuffix(nullptr, &idle.uni, kx::PS_POST_DATA), E_FAIL);
    EXPECT_EQ(kx::ReadPrefixSuffix(device.dev(), &device.uni, 9), E_FAIL);
}

}  // namespace
