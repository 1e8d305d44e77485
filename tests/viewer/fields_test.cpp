// Fields drawn by kxview, checked from outside: barcodes decoded again with
// zbarimg, text anchors against the positions the golden jobs gave the text.
// The cases are rows of tests/viewer/data/fields.json.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "viewer/fields.h"
#include "viewer/png_out.h"

namespace kxview {
namespace {

using nlohmann::json;

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

json Table()
{
    return json::parse(Slurp(std::string(KX_SOURCE_DIR) + "/tests/viewer/data/fields.json"));
}

// The label of a golden job: the stream beside it (or in tests/host/golden),
// the resolution from the GPD the job names, the size from its public devmode
// (tenths of a millimetre) unless the row gives one.
struct Job {
    json job;
    std::string stream;
    Label label;
};

Job LoadJob(const json& row)
{
    Job j;
    const std::string path = std::string(KX_SOURCE_DIR) + "/" + row["job"].get<std::string>();
    j.job = json::parse(Slurp(path));
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    const std::string base = path.substr(dir.size(), path.size() - dir.size() - 5);
    j.stream = Slurp(std::string(KX_SOURCE_DIR) + "/tests/host/golden/" + base + ".kxpl");
    const std::string gpd = Slurp(dir + j.job["printer"]["gpd"].get<std::string>());
    const std::size_t at = gpd.find("*MasterUnits: PAIR(");
    j.label.geometry.dpi = std::stoi(gpd.substr(at + 19));
    const json& dm = j.job["public_devmode"];
    j.label.geometry.widthHundredths = row.value("width", dm["dmPaperWidth"].get<long>() * 10);
    j.label.geometry.lengthHundredths = row.value("length", dm["dmPaperLength"].get<long>() * 10);
    j.label.fields = GroupFields(ReadRecords(j.stream));
    return j;
}

// The field's records with its first coordinate 4 cm (`dots`) further down.
FieldRecords Lowered(FieldRecords fr, int dots)
{
    for (Record& r : fr.records) {
        if (r.code == "AM")
            r.param = std::to_string(std::stol(r.param) + 4000) + r.param.substr(r.param.find(';'));
        if (r.code == "AB") {
            char y[8];
            std::snprintf(y, sizeof y, "%04d", std::stoi(r.param.substr(2, 4)) + dots);
            r.param.replace(2, 4, y);
        }
    }
    return fr;
}

std::string Zbar(const Label& label, const std::string& name)
{
    const std::string png = testing::TempDir() + "kxview-" + name + ".png";
    std::string error;
    if (!WritePng(label.canvas, label.geometry.dpi, png, &error)) return "PNG: " + error;
    FILE* p = popen(("zbarimg --raw -q -Si25.min-len=1 " + png + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buf[512];
    std::size_t n = 0;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (p) pclose(p);
    return out;
}

// Every barcode field of a symbology zbar reads, drawn alone on its job's
// label, decodes to its data (or the row's expectation for it).
TEST(Fields, BarcodesDecodeToTheirData)
{
    const json table = Table();
    for (const json& row : table["barcodes"]) {
        const Job job = LoadJob(row);
        for (const FieldRecords& fr : job.label.fields) {
            // The label widened by 8 cm to the left, the field moved 4 cm down
            // and a canvas 8 cm wider and longer still: a code larger than its
            // label decodes all the same (DrawFields reports the cut).
            Label one = job.label;
            one.geometry.widthHundredths += 8000;
            one.fields = {Lowered(fr, one.geometry.Dots(4000))};
            one.canvas = Canvas(one.geometry.WidthDots() + one.geometry.Dots(8000),
                                one.geometry.LengthDots() + one.geometry.Dots(8000));
            const FieldPlacement place = PlaceFields(one).at(0);
            const std::string id = std::to_string(place.type);
            if (place.kind != "barcode" || place.phantom || table["unread"].contains(id)) continue;
            SCOPED_TRACE(row["job"].get<std::string>() + " field " + fr.number);
            Report report;
            DrawFields(one, report);
            if (row.value("refused", json::object()).contains(fr.number)) {
                ASSERT_EQ(report.lines.size(), 1u);
                EXPECT_NE(report.lines[0].find("not drawn"), std::string::npos) << report.lines[0];
                continue;
            }
            EXPECT_TRUE(report.lines.empty()) << report.lines.at(0);
            const std::string want =
                row.value("expect", json::object()).value(fr.number, place.data);
            EXPECT_EQ(Zbar(one, std::to_string(&row - &table["barcodes"][0]) + "-" + fr.number),
                      want + "\n");
        }
    }
}

// A text field's anchor lands within a dot of where the job drew the text;
// the page's turn decides how page positions become label positions.
TEST(Fields, TextAnchorsAtTheJobsPosition)
{
    const json table = Table();
    for (const json& row : table["text"]) {
        const Job job = LoadJob(row);
        const std::vector<FieldPlacement> placed = PlaceFields(job.label);
        const json& items = job.job["pages"][0]["text"];
        const json skip = row.value("skip", json::array());
        const int w = job.label.geometry.WidthDots(), l = job.label.geometry.LengthDots();
        std::size_t field = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (std::find(skip.begin(), skip.end(), i) != skip.end()) continue;
            SCOPED_TRACE(row["job"].get<std::string>() + " text " + std::to_string(i));
            ASSERT_LT(field, placed.size());
            const FieldPlacement& p = placed[field++];
            const int x = items[i]["x"], y = items[i]["y"];
            const std::string map = row["map"];
            const int wantX = map == "portrait" ? x : map == "quarter" ? w - y : y;
            const int wantY = map == "portrait" ? y : map == "quarter" ? x : l - x;
            EXPECT_EQ(p.data, items[i]["text"].get<std::string>());
            EXPECT_NEAR(p.x, wantX, 1);
            EXPECT_NEAR(p.y, wantY, 1);
            const int turns = items[i].value("direction", 0) / 90 + row.value("turn", 0);
            EXPECT_EQ(p.rotation, (turns % 4 + 4) % 4);
        }
    }
}

}  // namespace
}  // namespace kxview
