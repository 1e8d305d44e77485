// Prefix and suffix files: the section rules of the reader, and the records
// that reach the spooler and the print file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

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

TEST(PrefixSuffixParse, SectionRules)
{
    const std::string file =
        "; commands of the line\r\n"
        "[POST_DEVICE]\r\n"
        "FCDL--r0-------\r\n"
        "[POST_DATA]\r\n"
        "FBE---rA\r\n"
        "FBE---rB\r\n"
        "\r\n"
        "FBE---rnot sent\r\n"
        "[PRE_PRINTSTART]\n"
        "[POST_PRINTSTART]\n"
        "X\n"
        "last line without line feed";
    using std::string;
    const struct {
        string text;
        int section;
        Lines lines;
        bool found;
    } cases[] = {
        // A section ends before a short line, another section's keyword or the end.
        {file, kx::PS_POST_DEVICE, {"FCDL--r0-------"}, true},
        {file, kx::PS_POST_DATA, {"FBE---rA", "FBE---rB"}, true},
        {file, kx::PS_PRE_PRINTSTART, {}, true},
        {file, kx::PS_POST_PRINTSTART, {"X", "last line without line feed"}, true},
        {file, kx::PS_POST_DOCUMENT, {}, false},
        // Text mode: a last line of one character is too short; a lone CR is text.
        {"POST_DATA\nAB\nC", 3, {"AB"}, true},
        {"POST_DATA\na\rb\r\n", 3, {"a\rb"}, true},
        // The own keyword again is a command; a percent sign is text.
        {"[POST_DATA]\n[POST_DATA]\n100%d\n", 3, {"[POST_DATA]", "100%d"}, true},
        // Ctrl-Z ends the file; a NUL ends the text of its line.
        {"POST_DATA\nAB\x1A"
         "CD\n",
         3,
         {"AB"},
         true},
        {string("POST_DATA\nAB\0CD\nEF\n", 19), 3, {"AB", "EF"}, true},
        {string("POST_DATA\n\0CD\nEF\n", 17), 3, {}, true},
        // A line of 300 characters arrives as 259 and 41.
        {"POST_DATA\n" + string(300, 'x') + "\n", 3, {string(259, 'x'), string(41, 'x')}, true},
        // The keyword split across two pieces of a long line is not found.
        {string(255, ' ') + "POST_DATA\nA1\n", 3, {}, false},
        // Section numbers outside 1..5.
        {"POST_DATA\nA1\n", 0, {}, false},
        {"POST_DATA\nA1\n", 6, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40) + " / " + std::to_string(c.section));
        auto r = ParsePrefixSuffix(c.text, c.section);
        EXPECT_EQ(r.lines, c.lines);
        EXPECT_EQ(r.bFound, c.found);
    }
    EXPECT_EQ(ParsePrefixSuffix(file, kx::PS_POST_DOCUMENT).iKeywordLine, 12);  // lines searched
    EXPECT_TRUE(ParsePrefixSuffix("", 3).bEmptyFile);
    EXPECT_TRUE(ParsePrefixSuffix("\x1A[POST_DATA]\nA1\n", 3).bEmptyFile);
    EXPECT_EQ(kx::PrefixSuffixKeyword(6), nullptr);
    EXPECT_STREQ(kx::PrefixSuffixKeyword(4), "PRE_PRINTSTART");
}

class PrefixSuffixFile : public ::testing::Test {
protected:
    SimSandbox sandbox;
    TestDevice device;

    void SetUp() override
    {
        ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
        device.SetPrnFileName(u"C:\\out\\job");
        ASSERT_TRUE(kx::OpenPrnFile(0, &device.pdev, FALSE));
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
    std::string File()
    {
        device.CloseFiles();
        return SimSandbox::ReadHostFile(sandbox.HostPath(u"C:\\out\\job.prn"));
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
    EXPECT_TRUE(BytesEqual(records, File()));
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
    EXPECT_TRUE(BytesEqual(record, File()));
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
    EXPECT_EQ(File(), "");
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
