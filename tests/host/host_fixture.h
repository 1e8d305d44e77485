// Shared helpers of the host's tests: a scratch folder per test, job files
// written into it, and runs of kxrender's job runner against the real
// plug-in module.
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
inline const fs::path kGoldenDir = kSourceDir / "tests" / "host" / "golden";

// A file's bytes ("" when it cannot be read).
std::string ReadFile(const fs::path& p);
// The golden jobs of these folders below kGoldenDir ("" for the top), each
// named by its expectation file without ".expect.json", sorted.
std::vector<std::string> GoldenJobs(std::initializer_list<const char*> folders = {""});
// A test name of a golden job's name.
std::string GoldenTestName(const ::testing::TestParamInfo<std::string>& info);
// Runs on the real plug-in module with its state (and drives) in state.
kxhost::RunOptions RealModule(const fs::path& state);

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
    // Runs the job on the real plug-in module.
    kxhost::RunReport RunReal(const nlohmann::json& job);
    static std::string AllErrors(const kxhost::RunReport& r);

    fs::path dir_;
};

}  // namespace kxhosttest
