// The promises both backends keep (contract.h), on the simulated Windows;
// platform_win32_test holds the real system to the same checks under Wine.
#include "contract.h"
#include "support/harness.h"

namespace {

bool Check(bool ok, const char* what)
{
    EXPECT_TRUE(ok) << what << " (last error " << kx::plat::GetLastError() << ")";
    return ok;
}

TEST(Contract, Registry)
{
    kxtest::SimSandbox sandbox;
    kxcontract::Registry(Check);
}

TEST(Contract, Files)
{
    kxtest::SimSandbox sandbox;
    kxcontract::Files(Check);
}

TEST(Contract, CodePages)
{
    kxtest::SimSandbox sandbox;
    kxcontract::CodePages(Check);
}

}  // namespace
