// Placeholder expansion of collected field text. The cases are rows of
// data/varfields.json (settings, stored start values and text in; text, the
// phantom flag and what becomes of the stored values out); this file runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "objects/varfields.h"

namespace {

using nlohmann::json;

kx::PlaceholderInputs Inputs(const json& in)
{
    kx::PlaceholderInputs p;
    p.sign = in.value("sign", "\u00A7");
    p.time = in.value("time", "=CL(0;0;1)<HH:MI:SS>");
    p.date = in.value("date", "=CL(0;0;1)<DD.MO.YYYY>");
    p.num = in.value("num", "");
    p.ext = in.value("ext", "");
    p.aux1 = in.value("aux1", "");
    p.aux2 = in.value("aux2", "");
    p.user = in.value("user", "");
    p.link = in.value("link", "");
    p.wSpecNumStyle = in.value("style", 0);
    p.dwCopies = in.value("copies", 1u);
    p.dwNumCopiesMod = in.value("copies_mod", 0u);
    p.userName = in.value("user_name", "");
    p.printerName = in.value("printer_name", "");
    p.computerName = in.value("computer_name", "");
    const json now = in.value("now", json::array({2025, 3, 14, 11, 2, 10}));
    p.now.wYear = now[0];
    p.now.wMonth = now[1];
    p.now.wDay = now[2];
    p.now.wHour = now[3];
    p.now.wMinute = now[4];
    p.now.wSecond = now[5];
    return p;
}

void ExpectStored(const json& row, const char* name, const kx::StoredStartValue& v)
{
    const json want = row.value(name, json::object());
    static const char* const kActions[] = {"keep", "write", "delete"};
    EXPECT_EQ(kActions[v.action], want.value("action", "keep")) << name;
    if (v.action == kx::StoredStartValue::kWrite) {
        EXPECT_EQ(v.value, want.at("value")) << name;
    }
}

TEST(VarFields, Rows)
{
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "varfields.json";
    const json file = json::parse(std::ifstream(path));
    for (const json& row : file.at("rows")) {
        SCOPED_TRACE(row.at("name").get<std::string>());
        const json in = row.value("in", json::object());
        kx::PlaceholderResult r;
        for (const char* name : {"num", "ext"}) {
            const json stored = row.value("stored", json::object());
            if (!stored.contains(name)) continue;
            kx::StoredStartValue& v = name[0] == 'n' ? r.num : r.ext;
            v.bStored = true;
            v.value = stored[name];
        }
        std::string text = row.at("text");
        kx::ExpandPlaceholders(text, Inputs(in), r);
        EXPECT_EQ(text, row.at("out").get<std::string>());
        EXPECT_EQ(r.bPhantom != 0, row.value("phantom", false));
        EXPECT_EQ(r.bSnWarning, row.value("warning", false));
        ExpectStored(row, "num", r.num);
        ExpectStored(row, "ext", r.ext);
    }
}

}  // namespace
