// The job file reader: what it takes, and that every kind of mistake in a
// job file ends with a message that says where and what.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host_fixture.h"

namespace kxhosttest {
namespace {

using nlohmann::json;

class JobFile : public HostTest {
protected:
    json WithPage()
    {
        json job = BaseJob();
        job["pages"] = {{{"image", WritePbm("p.pbm", 8, 2, {}).string()}}};
        return job;
    }
};

TEST_F(JobFile, ReadsTheKeysAndFillsTheDefaults)
{
    json job = WithPage();
    job["printer"]["name"] = "\\\\srv\\Label";
    job["environment"] = {{"clock", "2025-03-14T09:26:53.250"}, {"user", "ann"}, {"job_id", 9}};
    job["registry"] = {
        {"user", {{"NumStartValue", 5}, {"Text", "x"}, {"Blob", {{"hex", "01 ff"}}}}},
        {"machine", {{"List", {{"multi_sz", {"a", "b"}}}}}}};
    job["files"] = {{"C:\\data\\in.txt", "hello"}, {"C:\\out\\", ""}};
    job["faults"] = {{{"write", 3}}};
    kxhost::Job j = Parse(job);
    EXPECT_EQ(j.printerName, u"\\\\srv\\Label");
    EXPECT_EQ(j.model, u"Vela 403x");
    EXPECT_EQ(j.provider, u"Orvane");
    EXPECT_EQ(j.document, u"job.json");
    EXPECT_EQ(*j.clock, "2025-03-14 09:26:53.250");
    EXPECT_EQ(j.jobId, 9u);
    EXPECT_EQ(j.settingsStore, "both");
    EXPECT_EQ(j.devmodeMarker, "current");
    // Object members come in name order.
    ASSERT_EQ(j.userValues.size(), 3u);
    EXPECT_EQ(j.userValues[0].name, "Blob");
    EXPECT_EQ(j.userValues[0].type, 3u);  // REG_BINARY
    EXPECT_EQ(j.userValues[0].data, (std::vector<std::uint8_t>{1, 0xFF}));
    EXPECT_EQ(j.userValues[1].type, 4u);  // REG_DWORD
    EXPECT_EQ(j.userValues[1].data, (std::vector<std::uint8_t>{5, 0, 0, 0}));
    EXPECT_EQ(j.userValues[2].type, 1u);  // REG_SZ
    EXPECT_EQ(j.userValues[2].data, (std::vector<std::uint8_t>{'x', 0, 0, 0}));
    EXPECT_EQ(j.machineValues[0].data,
              (std::vector<std::uint8_t>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    EXPECT_EQ(j.files.at("C:\\data\\in.txt"), (std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(j.directories, (std::vector<std::string>{"C:\\out\\"}));
    EXPECT_EQ(j.faults[0].write, 3u);
    EXPECT_EQ(j.faults[0].error, 63u);
    EXPECT_EQ(j.faults[0].count, 1u);
    ASSERT_EQ(j.pages.size(), 1u);
    EXPECT_TRUE(j.pages[0].raster.blankBands);
}

TEST_F(JobFile, CallbacksByNameOrNumber)
{
    EXPECT_EQ(kxhost::CallbackId("START_JOB"), 1u);
    EXPECT_EQ(kxhost::CallbackId("CMDID_CUSTOM_PAPERSIZE"), 20u);
    EXPECT_EQ(kxhost::CallbackId("MEMCARD_ON"), 51u);
    EXPECT_FALSE(kxhost::CallbackId("START"));
    EXPECT_TRUE(kxhost::IsCallbackId(23));  // known to the printer description, unnamed
    EXPECT_FALSE(kxhost::IsCallbackId(38));
    EXPECT_FALSE(kxhost::IsCallbackId(0));
    EXPECT_EQ(kxhost::HResultName(static_cast<std::int32_t>(0x80004001u)),
              "0x80004001 (not implemented)");
    EXPECT_EQ(kxhost::HResultName(0), "S_OK");
    EXPECT_EQ(kxhost::HResultName(0x1234), "0x00001234");
}

struct BadJob {
    const char* name;
    std::function<void(json&)> edit;
    const char* message;
};

TEST_F(JobFile, EveryMistakeNamesItsPlace)
{
    const BadJob cases[] = {
        {"no printer", [](json& j) { j.erase("printer"); }, "missing key \"printer\""},
        {"no model", [](json& j) { j["printer"].erase("model"); },
         "printer: missing key \"model\""},
        {"name of wrong type", [](json& j) { j["printer"]["name"] = 5; },
         "printer.name: must be a string, not a number"},
        {"misspelt key", [](json& j) { j["page"] = json::array(); },
         "page: unknown key (known here: printer,"},
        {"misspelt page key", [](json& j) { j["pages"][0]["imgae"] = "x"; },
         "pages[0].imgae: unknown key"},
        {"no pages", [](json& j) { j.erase("pages"); }, "missing key \"pages\" (or \"events\")"},
        {"empty pages", [](json& j) { j["pages"] = json::array(); },
         "pages: must list at least one page"},
        {"pages and events", [](json& j) { j["events"] = json::array(); },
         "events: give either \"pages\" or \"events\", not both"},
        {"bits", [](json& j) { j["pages"][0]["bits"] = 4; },
         "pages[0].bits: must be 1, 8 or 24 bits per pixel (got 4)"},
        {"band height", [](json& j) { j["pages"][0]["band_height"] = 0; },
         "pages[0].band_height: must be an integer from 1 to 65535 (got 0)"},
        {"fraction", [](json& j) { j["pages"][0]["band_height"] = 2.5; },
         "pages[0].band_height: must be an integer from 1 to 65535 (got 2.5)"},
        {"missing image", [](json& j) { j["pages"][0]["image"] = "nowhere.png"; },
         "pages[0].image: no such file: "},
        {"missing gpd", [](json& j) { j["printer"]["gpd"] = "none.gpd"; },
         "printer.gpd: no such file"},
        {"long model", [](json& j) { j["printer"]["model"] = std::string(40, 'M'); },
         "printer.model: must be a model name of 1 to 39 characters"},
        {"server name", [](json& j) { j["printer"]["name"] = "\\\\server"; },
         "printer.name: a server printer is named"},
        {"driver version", [](json& j) { j["printer"]["driver_version"] = "2.66"; },
         "printer.driver_version: must be a version \"a.b.c.d\" (got \"2.66\")"},
        {"windows build", [](json& j) { j["environment"]["windows_build"] = 0; },
         "environment.windows_build: must be an integer from 1 to 65535 (got 0)"},
        {"xml devmode without file", [](json& j) { j["printer"]["xml_devmode"] = true; },
         "printer.xml_devmode: needs a \"settings\" file"},
        {"devmode field",
         [](json& j) {
             j["devmode"] = {{"dwGapp", 1}};
         },
         "devmode.dwGapp: not a KX_DEVMODE field (known: dwSize,"},
        {"devmode range",
         [](json& j) {
             j["devmode"] = {{"dwContrast", 70000}};
         },
         "devmode.dwContrast: must be an integer from 0 to 65535 (got 70000)"},
        {"devmode signed",
         [](json& j) {
             j["devmode"] = {{"dmPaperWidth", 40000}};
         },
         "devmode.dmPaperWidth: must be an integer from -32768 to 32767"},
        {"devmode flag",
         [](json& j) {
             j["devmode"] = {{"dwFlags", {"PDMFLAG_ROTATE"}}};
         },
         "devmode.dwFlags[0]: unknown flag \"PDMFLAG_ROTATE\""},
        {"devmode string",
         [](json& j) {
             j["devmode"] = {{"szPrintOrder", std::string(32, '1')}};
         },
         "devmode.szPrintOrder: is longer than the field's 31 characters"},
        {"devmode array",
         [](json& j) {
             j["devmode"] = {{"wZoomX", json::array({1, 2, 3, 4, 5, 6, 7, 8, 9})}};
         },
         "devmode.wZoomX: has 9 entries, the field holds 8"},
        {"devmode ansi",
         [](json& j) {
             j["devmode"] = {{"szDevice", "Gerät"}};
         },
         "devmode.szDevice: must be plain ASCII text"},
        {"fixed data",
         [](json& j) {
             j["devmode"] = {{"FixedData", {{"wMaster", 1}}}};
         },
         "devmode.FixedData.wMaster: not a KX_DEVMODE field"},
        {"interface",
         [](json& j) {
             j["interface"] = {{"Compresion", 1}};
         },
         "interface.Compresion: not an interface setting (known: Compression,"},
        {"interface path",
         [](json& j) {
             j["interface"] = {{"LogFilePath", std::string(260, 'x')}};
         },
         "interface.LogFilePath: is longer than the field's 259 characters"},
        {"feature group",
         [](json& j) {
             j["features"] = {{"Laser", {{"On", 1}}}};
         },
         "features.Laser: not a feature group"},
        {"feature element",
         [](json& j) {
             j["features"] = {{"Cutter", {{"On", 1}}}};
         },
         "features.Cutter.On: not an element of Cutter (known: Mode,"},
        {"feature value",
         [](json& j) {
             j["features"] = {{"Cutter", {{"Mode", 2}}}};
         },
         "features.Cutter.Mode: must be true or false, not 2"},
        {"ftkn",
         [](json& j) {
             j["devmode_ftkn"] = {{"wPrio", 1}};
         },
         "devmode_ftkn.wPrio: not a DevmodeFtkn field"},
        {"public field",
         [](json& j) {
             j["public_devmode"] = {{"dmPaperWdth", 1}};
         },
         "public_devmode.dmPaperWdth: not a public devmode field"},
        {"orientation",
         [](json& j) {
             j["public_devmode"] = {{"dmOrientation", "sideways"}};
         },
         "public_devmode.dmOrientation: must be 1, 2, \"portrait\" or \"landscape\""},
        {"marker", [](json& j) { j["devmode_marker"] = "old"; },
         "devmode_marker: must be \"current\", \"alternative\" or \"none\""},
        {"options",
         [](json& j) {
             j["printer_options"] =
                 json::array({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
         },
         "printer_options: has more than the block's 14 words"},
        {"barcodes", [](json& j) { j["barcodes_2d"] = std::string(602, '0'); },
         "barcodes_2d: is longer than the record's 300 bytes"},
        {"registry type",
         [](json& j) {
             j["registry"] = {{"user", {{"X", {{"qword", 1}}}}}};
         },
         "registry.user.X.qword: unknown key"},
        {"registry hex",
         [](json& j) {
             j["registry"] = {{"machine", {{"X", {{"hex", "123"}}}}}};
         },
         "registry.machine.X.hex: has an odd number of hexadecimal digits"},
        {"file path",
         [](json& j) {
             j["files"] = {{"data.txt", "x"}};
         },
         "files.data.txt: must be a Windows path with a drive letter"},
        {"clock", [](json& j) { j["environment"]["clock"] = "2025-13-01 00:00:00"; },
         "environment.clock: must be a local time \"YYYY-MM-DD hh:mm:ss\""},
        {"render path",
         [](json& j) {
             j["render"] = {{"path", "raster"}};
         },
         "render.path: must be \"auto\", \"image\" or \"lines\""},
        {"on error", [](json& j) { j["on_error"] = "ignore"; },
         "on_error: must be \"stop\" or \"continue\""},
        {"fault result",
         [](json& j) {
             j["faults"] = {{{"write", 1}, {"hresult", "S_OK"}}};
         },
         "faults[0].hresult: a failed write needs a failure code"},
        {"fault without write",
         [](json& j) {
             j["faults"] = {{{"error", 63}}};
         },
         "faults[0]: missing key \"write\""},
        {"text without font",
         [](json& j) {
             j["pages"][0]["text"] = {{{"text", "a"}, {"x", 0}, {"y", 0}, {"height", 9}}};
         },
         "pages[0].text[0]: needs a \"font\" (TrueType face) or a \"device_font\" (index)"},
        {"text without height",
         [](json& j) {
             j["pages"][0]["text"] = {{{"text", "a"}, {"font", "A"}, {"x", 0}, {"y", 0}}};
         },
         "pages[0].text[0]: missing key \"height\""},
        {"positions",
         [](json& j) {
             j["pages"][0]["text"] = {{{"text", "ab"},
                                       {"font", "A"},
                                       {"x", 0},
                                       {"y", 0},
                                       {"height", 9},
                                       {"positions", {{0, 0}}}}};
         },
         "pages[0].text[0].positions: has 1 positions for 2 characters"},
        {"direction",
         [](json& j) {
             j["pages"][0]["text"] = {{{"text", "a"},
                                       {"font", "A"},
                                       {"x", 0},
                                       {"y", 0},
                                       {"height", 9},
                                       {"direction", 45}}};
         },
         "pages[0].text[0].direction: must be 0, 90, 180 or 270"},
        {"colour",
         [](json& j) {
             j["pages"][0]["text"] = {{{"text", "a"},
                                       {"font", "A"},
                                       {"x", 0},
                                       {"y", 0},
                                       {"height", 9},
                                       {"colour", "red"}}};
         },
         "pages[0].text[0].colour: must be a colour \"#RRGGBB\" (got \"red\")"},
    };
    for (const BadJob& c : cases) {
        json job = WithPage();
        c.edit(job);
        std::string message = ParseError(job);
        EXPECT_NE(message.find(c.message), std::string::npos)
            << c.name << ": got \"" << message << "\"";
    }
}

TEST_F(JobFile, EveryMistakeInRecordedCallsNamesItsPlace)
{
    const std::pair<json, const char*> cases[] = {
        {{{"call", "CommandCallback"}, {"id", "START_JB"}},
         "events[0].id: unknown callback \"START_JB\" (known: START_JOB,"},
        {{{"call", "CommandCallback"}, {"id", 99}},
         "events[0].id: 99 is not a callback id of the printer description (1 to 37, 50, 51)"},
        {{{"call", "CommandCallback"}}, "events[0]: missing key \"id\""},
        {{{"call", "CommandCallback"}, {"id", 1}, {"params", "1"}},
         "events[0].params: must be an array, not a string"},
        {{{"call", "CommandCallback"}, {"id", 1}, {"expect", "E_WHATEVER"}},
         "events[0].expect: must be an integer"},
        {{{"call", "Print"}}, "events[0].call: unknown call \"Print\" (known: StartDoc,"},
        {{{"call", "ImageProcessing"}}, "events[0]: missing key \"image\""},
        {{{"call", "ImageProcessing"}, {"image", "no.png"}}, "events[0].image: no such file"},
        {{{"call", "FilterGraphics"}, {"data", "zz"}},
         "events[0].data: must be hexadecimal digits, not \"zz\""},
        {{{"call", "Fault"}, {"write", 0}}, "events[0].write: must be an integer from 1 to"},
        {{{"call", "DisablePDEV"}, {"when", 1}}, "events[0].when: unknown key"},
        {{{"call", "TextOut"}, {"text", "a"}, {"x", 0}, {"y", 0}, {"height", 9}},
         "events[0]: needs a \"font\""},
    };
    for (const auto& [event, message] : cases) {
        json job = BaseJob();
        job["events"] = {event};
        std::string got = ParseError(job);
        EXPECT_NE(got.find(message), std::string::npos)
            << event.dump() << ": got \"" << got << "\"";
    }
}

TEST_F(JobFile, FilesThatAreNoJobs)
{
    EXPECT_NE(ParseError(json::array()).find("must be an object, not an array"), std::string::npos);
    std::string message;
    try {
        kxhost::ParseJob("{\"printer\": ", dir_ / "job.json", dir_);
    } catch (const kxhost::JobError& e) {
        message = e.what();
    }
    EXPECT_EQ(message.rfind("not valid JSON: ", 0), 0u) << message;
    EXPECT_THROW(kxhost::LoadJob(dir_ / "absent.json"), kxhost::JobError);
}

TEST_F(JobFile, TheDocumentedExampleRuns)
{
    std::ifstream in(kSourceDir / "docs" / "job-format.md");
    std::stringstream doc;
    doc << in.rdbuf();
    const std::string text = doc.str();
    std::size_t from = text.find("```json\n");
    ASSERT_NE(from, std::string::npos);
    from += 8;
    std::string example = text.substr(from, text.find("```", from) - from);
    kxhost::Job job = kxhost::ParseJob(example, kExamples / "example.json", kExamples);
    EXPECT_EQ(job.pages.size(), 1u);
    kxhost::RunOptions options;
    options.plugin = KX_PLUGIN_FILE;
    options.env.state = dir_ / "state";
    kxhost::RunReport r = kxhost::RunJob(job, options);
    EXPECT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_EQ(r.texts, 3u);
}

}  // namespace
}  // namespace kxhosttest
