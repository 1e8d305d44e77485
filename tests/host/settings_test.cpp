// The installed versions in the print file's header, with the real plug-in
// module. (The settings records a job stores are checked by the golden jobs
// of golden/registry/.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host_fixture.h"

namespace kxhosttest {
namespace {

using nlohmann::json;
class Settings : public HostTest {
protected:
    json Job()
    {
        json job = BaseJob();
        job["printer"]["name"] = "Label 1";
        job["printer"]["settings"] = (kExamples / "settings" / "shipping-403x.xml").string();
        job["files"] = {{"C:\\ProgramData\\Orvane\\Log\\", ""}};
        job["public_devmode"] = {{"dmPaperWidth", 1000}, {"dmPaperLength", 1500}};
        job["events"] = {{{"call", "CommandCallback"}, {"id", "CR"}}};
        return job;
    }
};

TEST_F(Settings, InstalledVersionsReachThePrintFileHeader)
{
    json job = Job();
    job.erase("events");
    job["pages"] = {{{"image", WritePbm("p.pbm", 8, 2, {}).string()}}};
    job["printer"]["driver_version"] = "2.66.3.1";
    job["environment"]["windows_build"] = 19045;
    kxhost::RunReport r = RunReal(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    std::ifstream in(dir_ / "root" / "c" / "ProgramData" / "Orvane" / "Log" / "Label 1.prn",
                     std::ios::binary);
    std::stringstream print;
    print << in.rdbuf();
    // The settings module's version, the render module's file time (the
    // fixed clock when it was installed), the system's name and version.
    EXPECT_NE(print.str().find("// PlugIn-Version: 2.66.3.1 - 0201.2025.0304\r\n"
                               "// OS-Version: Windows 10 Pro\r\n"
                               "//             Version 22H2 (Build 19045)\r\n"),
              std::string::npos)
        << print.str().substr(0, 300);
}

}  // namespace
}  // namespace kxhosttest
