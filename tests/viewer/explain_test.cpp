// kxview --explain: whole listings of short golden streams, written by hand
// from the record formats, and a table of single records with the line each
// must give.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "viewer/explain.h"

namespace {

const std::string kData = std::string(KX_SOURCE_DIR) + "/tests/viewer/data/explain/";
const std::string kGolden = std::string(KX_SOURCE_DIR) + "/tests/host/golden/";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Explained(std::string_view stream)
{
    std::ostringstream out;
    kxview::Explain(stream, out);
    return out.str();
}

TEST(Explain, ListingsOfGoldenStreams)
{
    for (const char* name : {"stream-sohetb", "stream-userdef", "barcode-standard-203",
                             "barcode-1d-landscape-300", "image-square-300", "stream-memcard"}) {
        EXPECT_EQ(Explained(ReadFile(kGolden + name + ".kxpl")), ReadFile(kData + name + ".txt"))
            << name;
    }
}

TEST(Explain, SingleRecords)
{
    const auto rows = nlohmann::json::parse(ReadFile(kData + "records.json"));
    for (const auto& row : rows) {
        const std::string listing = Explained(row["stream"].get<std::string>());
        std::string expected;
        for (const auto& line : row["lines"]) expected += line.get<std::string>() + "\n";
        // The first line is the listing's header.
        EXPECT_EQ(listing.substr(listing.find('\n') + 1), expected) << row["case"];
    }
}

}  // namespace
