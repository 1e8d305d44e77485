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

// Every case of data/job-errors.json: the base job with the case's patch,
// refused with a message that says where and what - when the file is read,
// or for "run" cases when the job runs on the real plug-in.
TEST_F(JobFile, EveryMistakeNamesItsPlace)
{
    const fs::path hostDir = kSourceDir / "tests" / "host";
    std::ifstream in(hostDir / "data" / "job-errors.json");
    const json table = json::parse(in);
    int n = 0;
    for (const json& c : table.at("cases")) {
        SCOPED_TRACE("case " + std::to_string(n++) + ": " + c.dump().substr(0, 160));
        json job = table.at("base");
        job.merge_patch(c.value("patch", json::object()));
        std::string text = c.contains("text") ? c["text"].get<std::string>() : job.dump();
        if (c.contains("blank_image")) {
            const fs::path blank =
                WritePbm("blank.pbm", c["blank_image"][0], c["blank_image"][1], {});
            for (const char* list : {"pages", "events"})
                if (job.contains(list)) job[list][0]["image"] = blank.string();
            text = job.dump();
        }
        std::string got;
        try {
            kxhost::Job parsed = kxhost::ParseJob(text, hostDir / "job.json", hostDir);
            if (c.value("run", false)) {
                const kxhost::RunReport r = kxhost::RunJob(parsed, RealModule(dir_ / "state"));
                if (r.exitCode != kxhost::kExitOk) got = AllErrors(r);
                if (c["error"].is_null()) {
                    EXPECT_NE(r.exitCode, kxhost::kExitJobFile) << got;
                }
            }
        } catch (const kxhost::JobError& e) {
            got = e.what();
        }
        if (!c["error"].is_null()) {
            EXPECT_NE(got.find(c["error"].get<std::string>()), std::string::npos)
                << "got \"" << got << "\"";
        }
    }
    EXPECT_THROW(kxhost::LoadJob(dir_ / "absent.json"), kxhost::JobError);
}

TEST_F(JobFile, TheDocumentedExampleRuns)
{
    const std::string text = ReadFile(kSourceDir / "docs" / "job-format.md");
    std::size_t from = text.find("```json\n");
    ASSERT_NE(from, std::string::npos);
    from += 8;
    std::string example = text.substr(from, text.find("```", from) - from);
    kxhost::Job job = kxhost::ParseJob(example, kExamples / "example.json", kExamples);
    EXPECT_EQ(job.pages.size(), 1u);
    kxhost::RunReport r = kxhost::RunJob(job, RealModule(dir_ / "state"));
    EXPECT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_EQ(r.texts, 3u);
}

}  // namespace
}  // namespace kxhosttest
