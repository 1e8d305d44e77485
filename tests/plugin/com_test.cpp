// The COM surface as the driver host sees it: the contract both builds keep
// (tests/support/com_contract.h, also run on the DLL under Wine), and what
// only the linked-in plug-in shows: its hooks, error codes and device checks.
#include <gtest/gtest.h>

#include "plugin/cmdcallback.h"
#include "plugin/devstate.h"
#include "plugin/intrface.h"
#include "support/com_contract.h"
#include "support/device.h"

KX_EXPORT HRESULT KX_STDCALL DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KX_EXPORT HRESULT KX_STDCALL DllCanUnloadNow();

namespace {

IPrintOemUni* CreatePlugin()
{
    IClassFactory* factory = nullptr;
    EXPECT_EQ(
        DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    IPrintOemUni* uni = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUni, reinterpret_cast<void**>(&uni)),
              S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    return uni;
}

TEST(Com, ContractOfTheEntryPointsFactoryAndInterface)
{
    const int before = kxcheck::failures;
    kxtest::CheckComContract(&DllGetClassObject, &DllCanUnloadNow);
    EXPECT_EQ(kxcheck::failures, before) << "see the FAIL lines above";
}

TEST(Com, HooksAndErrorCodes)
{
    IPrintOemUni* uni = CreatePlugin();
    DRVENABLEDATA ded{};
    EXPECT_EQ(uni->EnableDriver(0x20000, sizeof(ded), &ded), S_OK);
    ASSERT_EQ(ded.c, 3u);
    EXPECT_EQ(reinterpret_cast<void*>(ded.pdrvfn[0].pfn), reinterpret_cast<void*>(&kx::OEMTextOut));
    EXPECT_EQ(reinterpret_cast<void*>(ded.pdrvfn[1].pfn), reinterpret_cast<void*>(&kx::OEMEscape));
    EXPECT_EQ(reinterpret_cast<void*>(ded.pdrvfn[2].pfn),
              reinterpret_cast<void*>(&kx::OEMStartDoc));

    // (The interface version's and a short buffer's last errors: the host's
    // RealPlugin.LastErrorSetInTheModuleIsTheHosts.)
    DWORD value = 0, needed = 77;
    EXPECT_EQ(kx::hrGetInfo(OEMGI_GETPUBLISHERINFO, &value, 4, &needed), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), ERROR_NOT_SUPPORTED);

    kxtest::TestDevice device;
    BYTE line[4] = {1, 2, 3, 4};
    EXPECT_EQ(uni->FilterGraphics(device.dev(), nullptr, 4), E_FAIL);
    EXPECT_EQ(uni->FilterGraphics(device.dev(), line, 0), E_FAIL);
    EXPECT_EQ(device.pdev.iNewZaehler, 0);
    uni->Release();
}

// Without a private devmode there is no job to start, and the boundaries
// that need the job's structures refuse; the job end finds nothing to free.
TEST(Com, BoundaryCommandsWithoutAJob)
{
    IPrintOemUni* uni = CreatePlugin();
    kxtest::TestDevice device(false);
    device.devobj.pOEMDM = nullptr;
    INT result = 5;
    for (DWORD id : {kx::CMDID_START_JOB, kx::CMDID_START_DOC, kx::CMDID_START_PAGE,
                     kx::CMDID_END_PAGE, kx::CMDID_END_DOC}) {
        EXPECT_EQ(uni->CommandCallback(device.dev(), id, 0, nullptr, &result), E_FAIL) << id;
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(uni->CommandCallback(device.dev(), kx::CMDID_END_JOB, 0, nullptr, &result), S_OK);
    EXPECT_EQ(device.pdev.pOp, nullptr);
    EXPECT_EQ(device.pdev.iNewZaehler, 0);
    device.devobj.pOEMDM = &device.devmode;
    // A band without bits is refused, and nothing is handed back to the host.
    PBYTE pbResult = reinterpret_cast<PBYTE>(0x1);
    BITMAPINFOHEADER bih{};
    EXPECT_EQ(uni->ImageProcessing(device.dev(), nullptr, &bih, nullptr, 0, nullptr, &pbResult),
              E_FAIL);
    EXPECT_EQ(pbResult, nullptr);
    uni->Release();
}

}  // namespace
