// A spooler that refuses a write, at every write of every golden job: the
// n-th DrvWriteSpoolBuf fails, once as a cancelled job (last error 63) and
// once as a failed device (last error 31). The host goes on calling the
// plug-in the way a driver host does, so the job is ended by its own
// END_DOC and END_JOB (or by DisablePDEV). Whatever the write, the run ends
// without a leftover reference, palette or stray abort, nothing reaches
// the printer after a cancellation, and the next job on the same printer
// prints exactly what a job that never saw a failure prints.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host_fixture.h"
#include "support/harness.h"

namespace kxhosttest {
namespace {

struct Fault {
    std::uint32_t error;
    const char* name;
};
constexpr Fault kFaults[] = {{63, "cancelled"}, {31, "device failure"}};

class SpoolFailure : public HostTest, public ::testing::WithParamInterface<std::string> {
protected:
    kxhost::Job job_;

    kxhost::RunReport RunIn(const fs::path& state, std::optional<kxhost::SpoolFault> fault)
    {
        kxhost::Job job = job_;
        if (fault) {
            job.faults = {*fault};
            job.continueOnError = true;
        }
        return kxhost::RunJob(job, RealModule(state));
    }
};

TEST_P(SpoolFailure, EveryWriteMayFail)
{
    const fs::path jobFile =
        (kGoldenDir / nlohmann::json::parse(ReadFile(kGoldenDir / (GetParam() + ".expect.json")))
                          .at("job")
                          .get<std::string>())
            .lexically_normal();
    job_ = kxhost::LoadJob(jobFile);
    bool ownFaults = !job_.faults.empty();
    if (job_.events)
        for (const kxhost::JobEvent& e : *job_.events)
            ownFaults = ownFaults || e.kind == kxhost::EventKind::Fault;
    if (ownFaults) GTEST_SKIP() << "the job fails writes of its own";

    const kxhost::RunReport reference = RunIn(dir_ / "reference", std::nullopt);
    if (reference.exitCode != kxhost::kExitOk) GTEST_SKIP() << "the job is meant to fail";
    // A job that breaks itself off is continued by the next one: there is
    // no untroubled next job to compare with.
    if (RunIn(dir_ / "reference", std::nullopt).output != reference.output)
        GTEST_SKIP() << "the job leaves a broken-off job behind";
    for (const Fault& f : kFaults) {
        for (std::uint64_t n = 1; n <= reference.spoolWrites; ++n) {
            // A long job's middle writes repeat one kind (a field record after
            // another): every eighth of them stands for the rest.
            const std::uint64_t edge = 32;
            if (n > edge && n + edge <= reference.spoolWrites && n % 8 != 0) continue;
            SCOPED_TRACE(testing::Message() << f.name << " at write " << n);
            const fs::path state =
                dir_ / ("run-" + std::to_string(f.error) + "-" + std::to_string(n));
            kxhost::RunReport r = RunIn(state, kxhost::SpoolFault{n, 1, f.error});
            EXPECT_EQ(r.failedWrites, 1u);
            for (const std::string& w : r.warnings)
                EXPECT_EQ(w.find("still"), std::string::npos) << w;
            for (const std::string& w : r.warnings)
                EXPECT_EQ(w.find("not deleted"), std::string::npos) << w;
            // The next job prints as if nothing had happened; a job broken
            // off is continued by it first.
            kxhost::RunReport next = RunIn(state, std::nullopt);
            if (next.output != reference.output) next = RunIn(state, std::nullopt);
            EXPECT_EQ(next.exitCode, kxhost::kExitOk) << AllErrors(next);
            EXPECT_TRUE(kxtest::BytesEqual(reference.output, next.output));
            std::error_code ec;
            fs::remove_all(state, ec);
            if (HasFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, SpoolFailure, ::testing::ValuesIn(GoldenJobs()), GoldenTestName);

}  // namespace
}  // namespace kxhosttest
