// Shared helpers of the host's tests: a scratch folder per test, job files
// written into it, and runs of kxrender's job runner against the real
// plug-in module or the transcript-writing stand-in.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/jobfile.h"
#include "host/session.h"

namespace kxhosttest {

namespace fs = std::filesystem;

inline const fs::path kSourceDir = KX_SOURCE_DIR;
inline const fs::path kExamples = kSourceDir / "examples";

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file into the scratch folder and returns its path.
    fs::path Write(const std::string& name, const std::string& content);
    // A PBM (P1) image of width x height with the given dark pixels.
    fs::path WritePbm(const std::string& name, int width, int height,
                      const std::vector<std::pair<int, int>>& dark);

    // A job for the 300 dpi image-path model of the examples, to be
    // completed by the test.
    nlohmann::json BaseJob() const;
    // Parses a job written as job.json into the scratch folder.
    kxhost::Job Parse(const nlohmann::json& job);
    // The message of the JobError the job file gives ("" when it parses).
    std::string ParseError(const nlohmann::json& job);
    kxhost::RunReport Run(const nlohmann::json& job, const fs::path& plugin);
    kxhost::RunReport RunFake(const nlohmann::json& job) { return Run(job, KX_FAKE_PLUGIN_FILE); }
    kxhost::RunReport RunReal(const nlohmann::json& job) { return Run(job, KX_PLUGIN_FILE); }

    // The transcript lines the stand-in wrote from the first line starting
    // with `from` (all lines when empty).
    static std::vector<std::string> Lines(const std::string& stream, const std::string& from = "");
    static std::string AllErrors(const kxhost::RunReport& r);

    fs::path dir_;
};

}  // namespace kxhosttest
