// kxview's labels against the golden jobs' page images, and streams a printer
// must survive (tests/viewer/data/pages.json, bad_streams.json).
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "viewer/interpret.h"

namespace {

using nlohmann::json;

const std::string kGolden = std::string(KX_SOURCE_DIR) + "/tests/host/golden/";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

json Table(const char* name)
{
    return json::parse(ReadAll(std::string(KX_SOURCE_DIR) + "/tests/viewer/data/" + name));
}

// A PBM image (P1 or P4), 1 = black.
kxview::Canvas ReadPbm(const std::string& path)
{
    const std::string s = ReadAll(path);
    std::size_t at = 2;
    auto token = [&] {
        while (at < s.size() && (std::isspace(static_cast<unsigned char>(s[at])) || s[at] == '#'))
            if (s[at] == '#')
                at = s.find('\n', at);
            else
                ++at;
        const std::size_t from = at;
        while (at < s.size() && !std::isspace(static_cast<unsigned char>(s[at]))) ++at;
        return s.substr(from, at - from);
    };
    const bool binary = s.compare(0, 2, "P4") == 0;
    const int w = std::stoi(token()), h = std::stoi(token());
    kxview::Canvas c(w, h);
    ++at;  // the one blank after the height
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (binary) {
                const std::size_t byte = at + std::size_t(y) * ((w + 7) / 8) + x / 8;
                c.Set(x, y, (static_cast<unsigned char>(s[byte]) >> (7 - x % 8)) & 1);
            } else {
                while (s[at] != '0' && s[at] != '1') ++at;
                c.Set(x, y, s[at++] == '1');
            }
        }
    return c;
}

kxview::Canvas Turned(const kxview::Canvas& c, int degrees)
{
    if (degrees == 90) {  // clockwise: row = source column, column = last row - source row
        kxview::Canvas t(c.height, c.width);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) t.Set(c.height - 1 - y, x, c.At(x, y));
        return t;
    }
    if (degrees == 180) {
        kxview::Canvas t(c.width, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) t.Set(c.width - 1 - x, c.height - 1 - y, c.At(x, y));
        return t;
    }
    return c;
}

// Stream text of the tables: each character below 256 is one byte.
std::string Bytes(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0 && i + 1 < utf8.size())
            out += char(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        else
            out += char(c);
    }
    return out;
}

std::string Hex(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

TEST(Pages, GoldenLabelsMatchTheirPageImages)
{
    const json table = Table("pages.json");
    for (const json& c : table["cases"]) {
        const std::string name = c["stream"];
        SCOPED_TRACE(name + ": " + c["why"].get<std::string>());
        kxview::ViewOptions options;
        options.dpi = c.value("dpi", 0);
        options.headMm = c.value("head", 0.0);
        kxview::Report report;
        auto labels = kxview::Interpret(ReadAll(kGolden + name + ".kxpl"), options, report);
        ASSERT_EQ(labels.size(), c["labels"].get<std::size_t>());
        if (labels.empty()) continue;
        const kxview::Canvas& got = labels.at(c.value("label", 1) - 1).canvas;
        ASSERT_EQ(got.width, c["size"][0].get<int>());
        ASSERT_EQ(got.height, c["size"][1].get<int>());

        kxview::Canvas want(got.width, got.height);
        if (c.contains("image")) {
            const kxview::Canvas page =
                Turned(ReadPbm(kGolden + c["image"].get<std::string>()), c.value("turn", 0));
            for (const json& at : c["at"])
                for (int y = 0; y < page.height; ++y)
                    for (int x = 0; x < page.width; ++x)
                        if (page.At(x, y)) want.Set(x + at[0].get<int>(), y + at[1].get<int>());
        }
        for (const json& line : c.value("lines", json::array())) {
            const std::string bytes = Hex(line[2]);
            for (std::size_t i = 0; i < bytes.size() * 8; ++i)
                if ((static_cast<unsigned char>(bytes[i / 8]) >> (7 - i % 8)) & 1)
                    want.Set(line[1].get<int>() + int(i), line[0].get<int>());
        }
        const int skipFrom = c.contains("skip_rows") ? c["skip_rows"][0].get<int>() : -1;
        const int skipTo = c.contains("skip_rows") ? c["skip_rows"][1].get<int>() : -1;
        int wrong = 0;
        for (int y = 0; y < got.height; ++y) {
            if (y >= skipFrom && y <= skipTo) continue;
            for (int x = 0; x < got.width; ++x)
                if (got.At(x, y) != want.At(x, y) && ++wrong <= 5)
                    ADD_FAILURE() << "dot " << x << "," << y << " is "
                                  << (got.At(x, y) ? "black" : "white");
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(Pages, BadStreamsAreReportedNotFatal)
{
    const json table = Table("bad_streams.json");
    for (const json& c : table["cases"]) {
        SCOPED_TRACE(c["name"].get<std::string>());
        std::string stream = Bytes(c["before"]);
        if (c.contains("pcx")) {
            const json& p = c["pcx"];
            std::string header(128, '\0');
            auto word = [&](std::size_t at, int v) {
                header[at] = char(v & 0xFF);
                header[at + 1] = char(v >> 8);
            };
            header[0] = char(p.value("maker", 10));
            header[1] = 5;
            header[2] = 1;
            header[3] = char(p.value("bits", 1));
            word(6, p.value("ymin", 0));
            word(8, p["xmax"]);
            word(10, p["ymax"]);
            header[19] = header[20] = header[21] = char(0xFF);  // entry 1 white
            header[65] = 1;
            word(66, p["bpl"]);
            stream += header + Hex(c["data"]) + Bytes(c["after"]);
        }
        kxview::Report report;
        const auto labels = kxview::Interpret(stream, {}, report);
        EXPECT_EQ(labels.size(), c["labels"].get<std::size_t>());
        std::string all;
        for (const auto& line : report.lines) all += line + "\n";
        EXPECT_NE(all.find(c["report"].get<std::string>()), std::string::npos) << all;
    }
}

}  // namespace
