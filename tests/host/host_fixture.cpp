#include "host_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kxhosttest {

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> GoldenJobs(std::initializer_list<const char*> folders)
{
    std::vector<std::string> names;
    const std::string suffix = ".expect.json";
    for (const char* folder : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(kGoldenDir / folder, ec)) {
            const std::string file = entry.path().filename().string();
            if (file.ends_with(suffix))
                names.push_back(folder + file.substr(0, file.size() - suffix.size()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string GoldenTestName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

kxhost::RunOptions RealModule(const fs::path& state)
{
    kxhost::RunOptions options;
    options.plugin = KX_PLUGIN_FILE;
    options.env.state = state;
    return options;
}

void HostTest::SetUp()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    dir_ = fs::temp_directory_path() / ("kxhost-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

void HostTest::TearDown()
{
    std::error_code ec;
    if (!HasFailure()) fs::remove_all(dir_, ec);
}

fs::path HostTest::Write(const std::string& name, const std::string& content)
{
    fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

fs::path HostTest::WritePbm(const std::string& name, int width, int height,
                            const std::vector<std::pair<int, int>>& dark)
{
    std::vector<std::string> rows(height, std::string(width, '0'));
    for (auto [x, y] : dark) rows[y][x] = '1';
    std::string text = "P1\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    for (const std::string& r : rows) text += r + "\n";
    return Write(name, text);
}

nlohmann::json HostTest::BaseJob() const
{
    return {
        {"printer",
         {{"name", "P"}, {"model", "Vela 403x"}, {"gpd", (kExamples / "Vela_403x.gpd").string()}}},
        {"environment", {{"clock", "2025-01-02 03:04:05"}}},
    };
}

kxhost::Job HostTest::Parse(const nlohmann::json& job)
{
    fs::path file = dir_ / "job.json";
    return kxhost::ParseJob(job.dump(), file, dir_);
}

kxhost::RunReport HostTest::RunReal(const nlohmann::json& job)
{
    kxhost::RunOptions options = RealModule(dir_ / "state");
    options.env.root = dir_ / "root";
    return kxhost::RunJob(Parse(job), options);
}

std::string HostTest::AllErrors(const kxhost::RunReport& r)
{
    std::string all;
    for (const std::string& e : r.errors) all += e + "\n";
    return all;
}

}  // namespace kxhosttest
