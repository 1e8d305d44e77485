// The stream reader's framing: every case of data/stream.json is a stream
// (text, or hex for binary data) and the records it must be cut into.
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "viewer/stream.h"

namespace {

using nlohmann::json;

const char* KindName(kxview::RecordKind k)
{
    using K = kxview::RecordKind;
    switch (k) {
        case K::Command:
            return "Command";
        case K::Field:
            return "Field";
        case K::Graphic:
            return "Graphic";
        case K::Line:
            return "Line";
        case K::LineRle:
            return "LineRle";
        case K::LineFeed:
            return "LineFeed";
        case K::LineAbort:
            return "LineAbort";
        case K::Store:
            return "Store";
        case K::Announce:
            return "Announce";
        case K::Comment:
            return "Comment";
        case K::LineEnd:
            return "LineEnd";
        case K::Text:
            return "Text";
        case K::Broken:
            return "Broken";
    }
    return "?";
}

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

TEST(Stream, CutIntoRecords)
{
    std::ifstream in(std::string(KX_SOURCE_DIR) + "/tests/viewer/data/stream.json");
    const json table = json::parse(in);
    for (const json& c : table.at("cases")) {
        SCOPED_TRACE(c.at("name").get<std::string>());
        const std::string stream =
            c.contains("hex") ? FromHex(c["hex"]) : c.at("text").get<std::string>();
        const std::vector<kxview::Record> got = kxview::ReadRecords(stream);
        const json& want = c.at("records");
        ASSERT_EQ(got.size(), want.size());
        std::size_t next = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const kxview::Record& r = got[i];
            SCOPED_TRACE("record " + std::to_string(i) + ": " + r.param);
            EXPECT_EQ(r.offset, next) << "records follow each other without gaps";
            next = r.offset + r.length;
            EXPECT_EQ(KindName(r.kind), want[i][0].get<std::string>());
            EXPECT_EQ(r.code, want[i][1].get<std::string>());
            EXPECT_EQ(r.number, want[i][2].get<std::string>());
            if (!want[i][3].is_null()) {
                EXPECT_EQ(r.param, want[i][3].get<std::string>());
            }
            if (r.kind != kxview::RecordKind::Broken) {
                EXPECT_EQ(r.payload.size(), want[i][4].get<std::size_t>());
            }
        }
        EXPECT_EQ(next, stream.size()) << "the records cover the whole stream";
    }
}

}  // namespace
