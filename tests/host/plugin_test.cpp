// kxrender against the real plug-in module: what holds whatever the job
// stream does - one last error across the two copies of the simulated
// Windows, the answers of the value callbacks outside a job, and a clean
// teardown.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include "host_fixture.h"
#include "platform/platform.h"
#include "platform/unidrv.h"

namespace kxhosttest {
namespace {

using nlohmann::json;

class RealPlugin : public HostTest {};

TEST_F(RealPlugin, LastErrorSetInTheModuleIsTheHosts)
{
    void* module = ::dlopen(KX_PLUGIN_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << ::dlerror();
    auto getClassObject = reinterpret_cast<HRESULT(KX_STDCALL*)(REFCLSID, REFIID, void**)>(
        ::dlsym(module, "DllGetClassObject"));
    ASSERT_NE(getClassObject, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        getClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    IPrintOemUni* uni = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUni, reinterpret_cast<void**>(&uni)),
              S_OK);
    factory->Release();

    // A buffer too small: the module sets ERROR_INSUFFICIENT_BUFFER in its
    // own copy of the layer; the host reads it in its copy.
    kx::plat::SetLastError(0);
    DWORD needed = 0;
    BYTE small[2] = {};
    EXPECT_EQ(uni->GetInfo(OEMGI_GETSIGNATURE, small, sizeof(small), &needed), S_OK);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(kx::plat::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(uni->GetInfo(OEMGI_GETINTERFACEVERSION, small, sizeof(small), &needed), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(uni->Release(), 0u);
    ::dlclose(module);
}

TEST_F(RealPlugin, ValueCallbacksOutsideAJobWriteNothing)
{
    json job = BaseJob();
    job["public_devmode"] = {{"dmPaperWidth", 500}, {"dmPaperLength", 300}};
    job["events"] = {
        {{"call", "StartDoc"}, {"job_id", 17}},
        {{"call", "CommandCallback"}, {"id", "FF"}, {"expect", "S_OK"}},
        {{"call", "CommandCallback"}, {"id", "YMOVE_RELDOWN"}, {"params", {5}}, {"expect", "S_OK"}},
        {{"call", "CommandCallback"}, {"id", "LF"}, {"expect", "E_FAIL"}},
        {{"call", "CommandCallback"}, {"id", "SEND_CYAN"}, {"expect", "E_FAIL"}},
        {{"call", "CommandCallback"}, {"id", 23}, {"expect", "E_FAIL"}},
        {{"call", "CommandCallback"}, {"id", "RESOLUTION"}, {"params", {300}}, {"expect", "S_OK"}},
        {{"call", "FilterGraphics"}, {"data", "FF00"}, {"expect", "E_FAIL"}},
        {{"call", "TextOut"},
         {"text", "back"},
         {"font", "Arial"},
         {"x", 10},
         {"y", 40},
         {"height", 30}},
        {{"call", "DisablePDEV"}, {"expect", "S_OK"}},
    };
    kxhost::RunReport r = RunReal(job);
    EXPECT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.spoolWrites, 0u);
    EXPECT_EQ(r.signature, "KXDM");
    EXPECT_EQ(r.version, 0x6602u);
    // The 24-bit surface's palette is made and deleted through the host's
    // engine calls, and the module lets go of everything.
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
    ASSERT_EQ(r.handedBack.size(), 1u);
    EXPECT_EQ(r.handedBack[0], "events[8]: \"back\" (TrueType face \"Arial\": outside a job)");
    EXPECT_TRUE(r.files.empty());
}

}  // namespace
}  // namespace kxhosttest
