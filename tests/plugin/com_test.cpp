// The COM surface as the driver host sees it: entry points, class factory,
// interface methods and their answers.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/cmdcallback.h"
#include "plugin/devstate.h"
#include "plugin/intrface.h"
#include "support/device.h"

KX_EXPORT HRESULT KX_STDCALL DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KX_EXPORT HRESULT KX_STDCALL DllCanUnloadNow();

namespace {

using kxtest::FakeDriverUni;

constexpr GUID kOtherClsid = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};

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

TEST(EntryPoints, ClassObjectOnlyForTheRenderClass)
{
    void* pv = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(kOtherClsid, IID_IClassFactory, &pv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, nullptr), E_POINTER);
    pv = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(CLSID_OEMRENDER, IID_IPrintOemUni, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
}

TEST(EntryPoints, FactoryAnswersItsInterfacesAndRefusesAggregation)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_OEMRENDER, IID_IUnknown, reinterpret_cast<void**>(&factory)),
              S_OK);
    void* pv = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, &pv), S_OK);
    EXPECT_EQ(pv, factory);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(factory->QueryInterface(IID_IPrintOemUni, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);

    pv = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(static_cast<IUnknown*>(factory), IID_IPrintOemUni, &pv),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUni, nullptr), E_POINTER);
    // A failed query leaves no object alive behind it.
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(EntryPoints, CanUnloadOnlyWithoutObjectsAndLocks)
{
    ASSERT_EQ(DllCanUnloadNow(), S_OK);
    IPrintOemUni* uni = CreatePlugin();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(uni->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    // An unlock without a lock does not drive the count below zero.
    kx::IKXClassFactory* other = new kx::IKXClassFactory;
    EXPECT_EQ(other->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(other->LockServer(FALSE), S_OK);
    EXPECT_EQ(other->LockServer(TRUE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(other->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(other->Release(), 0u);
}

TEST(Interface, QueryInterfaceAndCounts)
{
    IPrintOemUni* uni = CreatePlugin();
    void* pv = nullptr;
    EXPECT_EQ(uni->QueryInterface(IID_IPrintOemUni2, &pv), S_OK);
    EXPECT_EQ(pv, static_cast<void*>(uni));
    EXPECT_EQ(uni->QueryInterface(IID_IUnknown, &pv), S_OK);
    EXPECT_EQ(uni->QueryInterface(IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(uni->AddRef(), 4u);
    EXPECT_EQ(uni->Release(), 3u);
    EXPECT_EQ(uni->Release(), 2u);
    EXPECT_EQ(uni->Release(), 1u);
    EXPECT_EQ(uni->Release(), 0u);
}

TEST(Interface, ImplementedMethodsAreExactlyThree)
{
    IPrintOemUni* uni = CreatePlugin();
    for (const char* name : {"CommandCallback", "FilterGraphics", "ImageProcessing"}) {
        EXPECT_EQ(uni->GetImplementedMethod(const_cast<char*>(name)), S_OK) << name;
    }
    for (const char* name :
         {"Compression", "DownloadFontHeader", "DownloadCharGlyph", "HalftonePattern",
          "MemoryUsage", "OutputCharStr", "SendFontCmd", "TextOutAsBitmap", "TTDownloadMethod",
          "TTYGetInfo", "WritePrinter", "commandcallback", "CommandCallbackX", "Command", "",
          "Image", "FilterGraphics "}) {
        EXPECT_EQ(uni->GetImplementedMethod(const_cast<char*>(name)), S_FALSE) << name;
    }
    EXPECT_EQ(uni->GetImplementedMethod(nullptr), S_FALSE);
    uni->Release();
}

TEST(Interface, GetInfoSignatureVersionAndRefusals)
{
    IPrintOemUni* uni = CreatePlugin();
    DWORD value = 0, needed = 77;
    EXPECT_EQ(uni->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof(value), &needed), S_OK);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(std::memcmp(&value, "KXDM", 4), 0);
    EXPECT_EQ(uni->GetInfo(OEMGI_GETVERSION, &value, sizeof(value), &needed), S_OK);
    EXPECT_EQ(value, 0x6602u);

    for (DWORD mode : {0u, 2u, 4u, 5u, 100u}) {
        needed = 77;
        EXPECT_EQ(uni->GetInfo(mode, &value, sizeof(value), &needed), E_FAIL) << mode;
        EXPECT_EQ(needed, 0u) << mode;
    }
    EXPECT_EQ(kx::hrGetInfo(OEMGI_GETINTERFACEVERSION, &value, 4, &needed), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(kx::hrGetInfo(OEMGI_GETPUBLISHERINFO, &value, 4, &needed), E_FAIL);
    EXPECT_EQ(kx::plat::GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(needed, 0u);

    // A short buffer: the size is reported, the buffer untouched, S_OK.
    BYTE small[2] = {0xAA, 0xBB};
    EXPECT_EQ(uni->GetInfo(OEMGI_GETSIGNATURE, small, sizeof(small), &needed), S_OK);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(small[0], 0xAA);
    EXPECT_EQ(small[1], 0xBB);
    EXPECT_EQ(kx::plat::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(uni->GetInfo(OEMGI_GETSIGNATURE, nullptr, 4, &needed), S_OK);
    EXPECT_EQ(uni->GetInfo(OEMGI_GETSIGNATURE, &value, 4, nullptr), E_FAIL);
    uni->Release();
}

TEST(Interface, PublishDriverInterfaceKeepsTheFirstHelper)
{
    IPrintOemUni* uni = CreatePlugin();
    FakeDriverUni first, second;
    EXPECT_EQ(uni->PublishDriverInterface(nullptr), E_FAIL);
    EXPECT_EQ(uni->PublishDriverInterface(&first), S_OK);
    EXPECT_EQ(first.refs, 2u);
    EXPECT_EQ(uni->PublishDriverInterface(&second), S_OK);
    EXPECT_EQ(second.refs, 1u);
    EXPECT_EQ(static_cast<kx::IKXDriverUni*>(uni)->Helper(), &first);
    // DisableDriver gives the helper back; Release does the same if still held.
    EXPECT_EQ(uni->DisableDriver(), S_OK);
    EXPECT_EQ(first.refs, 1u);
    EXPECT_EQ(uni->PublishDriverInterface(&second), S_OK);
    EXPECT_EQ(second.refs, 2u);
    uni->Release();
    EXPECT_EQ(second.refs, 1u);
}

TEST(Interface, EnableDriverInstallsThreeHooksInOrder)
{
    IPrintOemUni* uni = CreatePlugin();
    DRVENABLEDATA ded{};
    EXPECT_EQ(uni->EnableDriver(0x20000, sizeof(ded), &ded), S_OK);
    EXPECT_EQ(ded.iDriverVersion, 0x30100u);
    ASSERT_EQ(ded.c, 3u);
    EXPECT_EQ(ded.pdrvfn[0].iFunc, INDEX_DrvTextOut);
    EXPECT_EQ(ded.pdrvfn[1].iFunc, INDEX_DrvEscape);
    EXPECT_EQ(ded.pdrvfn[2].iFunc, INDEX_DrvStartDoc);
    EXPECT_EQ(reinterpret_cast<void*>(ded.pdrvfn[0].pfn), reinterpret_cast<void*>(&kx::OEMTextOut));
    EXPECT_EQ(reinterpret_cast<void*>(ded.pdrvfn[2].pfn),
              reinterpret_cast<void*>(&kx::OEMStartDoc));
    uni->Release();
}

TEST(Interface, UnimplementedSlotsAndTrivialOnes)
{
    IPrintOemUni2* uni = static_cast<IPrintOemUni2*>(CreatePlugin());
    INT r = 0;
    DWORD dw = 0;
    OEMMEMORYUSAGE mu{100, 0, 0};
    EXPECT_EQ(uni->Compression(nullptr, nullptr, nullptr, 0, 0, &r), E_NOTIMPL);
    EXPECT_EQ(uni->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(uni->MemoryUsage(nullptr, &mu), E_NOTIMPL);
    EXPECT_EQ(uni->TTYGetInfo(nullptr, 0, nullptr, 0, &dw), E_NOTIMPL);
    EXPECT_EQ(uni->DownloadFontHeader(nullptr, nullptr, &dw), E_NOTIMPL);
    EXPECT_EQ(uni->DownloadCharGlyph(nullptr, nullptr, 0, &dw, &dw), E_NOTIMPL);
    EXPECT_EQ(uni->TTDownloadMethod(nullptr, nullptr, &dw), E_NOTIMPL);
    EXPECT_EQ(uni->OutputCharStr(nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(uni->SendFontCmd(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(uni->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, 0),
              E_NOTIMPL);
    EXPECT_EQ(uni->WritePrinter(nullptr, nullptr, 0, &dw), E_NOTIMPL);
    EXPECT_EQ(uni->DriverDMS(nullptr, nullptr, 0, &dw), S_OK);
    EXPECT_EQ(uni->ResetPDEV(nullptr, nullptr), S_OK);
    uni->Release();
}

TEST(Interface, FilterGraphicsRefusesEmptyInput)
{
    IPrintOemUni* uni = CreatePlugin();
    kxtest::TestDevice device;
    BYTE line[4] = {1, 2, 3, 4};
    EXPECT_EQ(uni->FilterGraphics(nullptr, line, 4), E_FAIL);
    EXPECT_EQ(uni->FilterGraphics(device.dev(), nullptr, 4), E_FAIL);
    EXPECT_EQ(uni->FilterGraphics(device.dev(), line, 0), E_FAIL);
    EXPECT_EQ(device.pdev.iNewZaehler, 0);
    uni->Release();
}

// Without a private devmode there is no job to start, and the boundaries
// that need the job's structures refuse; the job end finds nothing to free.
TEST(Interface, BoundaryCommandsWithoutAJob)
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
    OEMDMPARAM dm{};
    EXPECT_EQ(uni->DevMode(OEMDM_SIZE, &dm), S_OK);
    EXPECT_EQ(dm.cbBufSize, 4620u);
    uni->Release();
}

}  // namespace
