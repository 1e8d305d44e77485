// The XML settings reader families: the example settings file read
// completely and the rules of each reader, as rows of data/xmlsettings.json.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/records.h"

#include "settings/xmlsettings.h"
#include "xmltest.h"

namespace {

using kxtest::XmlTest;
using nlohmann::json;

// ------------------------------------------------------------ the rules

// Each expected field: writing it into a copy of the record must change nothing.
template <class Record, class Apply>
void ExpectFields(const Record& actual, const json& fields, Apply apply)
{
    for (const auto& [name, value] : fields.items()) {
        Record same = actual;
        apply(json{{name, value}}, &same);
        EXPECT_EQ(0, std::memcmp(&same, &actual, sizeof actual)) << name << " is not " << value;
    }
}

TEST_F(XmlTest, Rules)
{
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "xmlsettings.json";
    const json rows = json::parse(std::ifstream(path));
    const char* const kGroups[] = {"Interface", "Print",      "Photocell", "Dispenser",
                                   "Cutter",    "Scanner",    "KRM",       "Reserved 7",
                                   "KRMC",      "Applicator", "Shiftoptim"};
    const std::pair<const char*, int> kResults[] = {
        {"FOUND", kx::XML_FOUND}, {"NO_FILE", kx::XML_NO_FILE}, {"NO_ROOT", kx::XML_NO_ROOT}};
    for (const json& row : rows["rows"]) {
        SCOPED_TRACE(row["name"].get<std::string>());
        kx::CloseXML();
        const json files = row.value("files", json::object());
        for (const auto& [path, text] : files.items())
            Write(kx::Utf8ToUtf16(path), text.get<std::string>());
        for (const json& dir : row.value("dirs", json::array()))
            ASSERT_TRUE(kx::plat::CreateDirectory(kx::Utf8ToUtf16(dir.get<std::string>())));
        if (row.value("example", false)) Open(kxtest::ExampleSettings());
        if (row.contains("xml")) {  // written in code page 1252
            std::string bytes;
            for (char16_t c : kx::Utf8ToUtf16(row["xml"].get<std::string>()))
                bytes += static_cast<char>(c);
            Open(bytes);
        }
        KX_DEVMODE dm{};
        kxhost::ApplyDevmode(row.value("devmode_before", json::object()), "before", &dm);
        PRN_INTERFACE pi;
        std::memset(&pi, 0xEE, sizeof(pi));
        kxhost::ApplyInterface(row.value("interface_before", json::object()), "before", &pi);
        SHIFT_OPTIM_PARAM shift;
        std::memset(&shift, 0xEE, sizeof(shift));
        PHOTOCELL_PARAM cell;
        std::memset(&cell, 0xEE, sizeof(cell));
        DWORD features[MAX_FEATURES] = {};
        ULONG size = 0;
        for (const json& reader : row["read"]) {
            const std::string r = reader;
            json got;
            if (r == "Features") got = kx::GetFeaturesFromXML(ctx(), &size, features);
            if (r == "DataTransmission") got = kx::GetDataTransmissionParamFromXML(ctx(), &pi);
            if (r == "Shiftoptim") got = kx::GetShiftoptimFromXML(ctx(), &shift);
            if (r == "Photocell") got = kx::GetPhotocellFromXML(ctx(), &cell);
            if (r == "FixedPrinterSettings")
                got = kx::GetFixedPrinterSettingsFromXML(ctx(), &dm) != FALSE;
            if (r == "PrintParameter") got = kx::GetPrintParameterFromXML(ctx(), &dm);
            if (r == "LayoutSize") got = kx::GetLayoutSizeFromXML(ctx(), &dm);
            if (r == "FontSettings") got = kx::GetFontSettingsFromXML(ctx(), &dm);
            if (r == "ColorPrint") got = kx::GetColorPrintFromXML(ctx(), &dm);
            if (r == "MaterialMulticol") got = kx::GetMaterialMulticolFromXML(ctx(), &dm);
            if (r == "Printjob") got = kx::GetPrintjobFromXML(ctx(), &dm);
            if (r == "PrintQualitySettings") got = kx::GetPrintQualitySettingsFromXML(ctx(), &dm);
            ASSERT_FALSE(got.is_null()) << r;
            if (!row.contains("results") || !row["results"].contains(r)) continue;
            json want = row["results"][r];
            for (const auto& [name, code] : kResults)
                if (want == name) want = code;
            EXPECT_EQ(got, want) << r;
        }
        ExpectFields(dm, row.value("devmode", json::object()),
                     [](const json& v, KX_DEVMODE* d) { kxhost::ApplyDevmode(v, "expect", d); });
        ExpectFields(
            pi, row.value("interface", json::object()),
            [](const json& v, PRN_INTERFACE* p) { kxhost::ApplyInterface(v, "expect", p); });
        EXPECT_EQ(size, row.value("features_size", size));
        const json wantFeatures = row.value("features", json::object());
        for (const auto& [group, value] : wantFeatures.items()) {
            auto it = std::find(std::begin(kGroups), std::end(kGroups), group);
            ASSERT_NE(it, std::end(kGroups)) << group;
            const std::string v = value.is_string() ? value.get<std::string>() : value.dump();
            EXPECT_EQ(features[it - std::begin(kGroups)], std::stoul(v, nullptr, 0)) << group;
        }
        const LONG* shiftFields = &shift.lRCorrection;
        const json wantShift = row.value("shift", json::array());
        for (std::size_t i = 0; i < wantShift.size(); ++i)
            if (!wantShift[i].is_null()) {
                EXPECT_EQ(shiftFields[i], wantShift[i]) << "shift " << i;
            }
        const LONG cellFields[] = {cell.dwPhotocellType, cell.reserved4,     cell.dwRibbonControl,
                                   cell.reserved12[0],   cell.reserved12[1], cell.wRibbonSave,
                                   cell.reserved22};
        const json wantCell = row.value("photocell", json::array());
        for (std::size_t i = 0; i < wantCell.size(); ++i)
            if (!wantCell[i].is_null()) {
                EXPECT_EQ(cellFields[i], wantCell[i]) << "photocell " << i;
            }
    }
    EXPECT_EQ(kx::GetFeaturesFromXML(nullptr, nullptr, nullptr), kx::XML_NO_CONTEXT);
}

}  // namespace
