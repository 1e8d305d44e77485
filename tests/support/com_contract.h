// The COM contract of the plug-in as the driver host sees it: the two entry
// points, the class factory, IPrintOemUni(2) and their answers. One set of
// checks for both builds: test_plugin runs it on the entry points linked in,
// the Wine loader test on those of the loaded module (header only, no test
// framework; failures are counted by kxcheck).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/unidrv.h"
#include "tests/support/driveruni.h"
#include "tests/wine/check.h"

namespace kxtest {

using PFN_DllGetClassObject = HRESULT(KX_STDCALL*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT(KX_STDCALL*)();

namespace comcontract {

using kxcheck::Check;
using kxcheck::CheckHr;

// Any identifier the module does not know.
inline constexpr GUID kUnknownGuid = {
    0x1F0C6E52, 0x3B7D, 0x4A10, {0x9E, 0x21, 0x5C, 0x7A, 0x0B, 0x44, 0xD3, 0x18}};

inline void* const kSentinel = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xBADC0DE));

// An object that is not a helper interface (and an aggregation outer).
class PlainUnknown final : public IUnknown {
public:
    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = IsEqualGUID(riid, IID_IUnknown) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG KX_STDCALL AddRef() override { return 2; }
    ULONG KX_STDCALL Release() override { return 1; }
};

// A refused call: the code expected and the out pointer emptied (read
// through the reference, after the call).
inline void CheckRefused(HRESULT got, HRESULT expected, void* const& out, const std::string& what)
{
    if (CheckHr(got, expected, what)) Check(out == nullptr, "  ... out pointer emptied");
}

inline IClassFactory* GetFactory(PFN_DllGetClassObject getClassObject)
{
    CheckHr(getClassObject(CLSID_OEMRENDER, IID_IClassFactory, nullptr), E_POINTER,
            "DllGetClassObject with no out pointer");
    void* p = kSentinel;
    CheckRefused(getClassObject(kUnknownGuid, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE, p,
                 "DllGetClassObject for another class");
    p = kSentinel;
    CheckRefused(getClassObject(CLSID_OEMRENDER, IID_IPrintOemUni, &p), E_NOINTERFACE, p,
                 "DllGetClassObject asking the factory for IPrintOemUni");

    p = nullptr;
    if (CheckHr(getClassObject(CLSID_OEMRENDER, IID_IUnknown, &p), S_OK,
                "DllGetClassObject for IUnknown") &&
        Check(p != nullptr, "  ... object returned"))
        CheckHr(static_cast<IUnknown*>(p)->Release(), 0, "  ... caller holds the only reference");

    p = nullptr;
    if (!CheckHr(getClassObject(CLSID_OEMRENDER, IID_IClassFactory, &p), S_OK,
                 "DllGetClassObject for IClassFactory") ||
        !Check(p != nullptr, "  ... factory returned"))
        return nullptr;
    auto* factory = static_cast<IClassFactory*>(p);
    p = nullptr;
    if (CheckHr(factory->QueryInterface(IID_IClassFactory, &p), S_OK,
                "factory QueryInterface IClassFactory")) {
        Check(p == factory, "  ... the same object");
        CheckHr(static_cast<HRESULT>(factory->Release()), 1, "  ... counted");
    }
    p = kSentinel;
    CheckRefused(factory->QueryInterface(IID_IPrintOemUni, &p), E_NOINTERFACE, p,
                 "factory QueryInterface IPrintOemUni");
    return factory;
}

inline void CheckCreateInstance(PFN_DllCanUnloadNow canUnloadNow, IClassFactory* factory)
{
    PlainUnknown outer;
    void* p = kSentinel;
    CheckRefused(factory->CreateInstance(&outer, IID_IPrintOemUni, &p), CLASS_E_NOAGGREGATION, p,
                 "CreateInstance with an outer object");
    // A refused query leaves no object alive behind it.
    for (const GUID& iid : {kUnknownGuid, IID_IClassFactory}) {
        p = kSentinel;
        CheckRefused(factory->CreateInstance(nullptr, iid, &p), E_NOINTERFACE, p,
                     "CreateInstance for an interface the plug-in lacks");
        CheckHr(canUnloadNow(), S_OK, "  ... DllCanUnloadNow after it");
    }
    CheckHr(factory->CreateInstance(nullptr, IID_IPrintOemUni, nullptr), E_POINTER,
            "CreateInstance with no out pointer");
}

inline void CheckQueryInterface(IPrintOemUni* plugin)
{
    void* p = nullptr;
    for (const GUID& iid : {IID_IPrintOemUni2, IID_IUnknown}) {
        p = nullptr;
        if (CheckHr(plugin->QueryInterface(iid, &p), S_OK,
                    "QueryInterface IPrintOemUni2, IUnknown") &&
            Check(p == plugin, "  ... the same object"))
            plugin->Release();
    }
    for (const GUID& iid : {kUnknownGuid, IID_IClassFactory}) {
        p = kSentinel;
        CheckRefused(plugin->QueryInterface(iid, &p), E_NOINTERFACE, p,
                     "QueryInterface for an interface the plug-in lacks");
    }
    CheckHr(static_cast<HRESULT>(plugin->AddRef()), 2, "AddRef counts up");
    CheckHr(static_cast<HRESULT>(plugin->Release()), 1, "Release counts down");
}

inline void CheckGetInfo(IPrintOemUni* plugin)
{
    DWORD value = 0;
    DWORD needed = 99;
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof value, &needed), S_OK,
            "GetInfo signature");
    Check(std::memcmp(&value, "KXDM", 4) == 0 && needed == 4, "  ... 'K','X','D','M', 4 bytes");
    value = 0;
    needed = 99;
    CheckHr(plugin->GetInfo(OEMGI_GETVERSION, &value, sizeof value, &needed), S_OK,
            "GetInfo version");
    Check(value == 0x6602 && needed == 4, "  ... 0x6602, 4 bytes");
    // Interface version, publisher info and modes the plug-in does not know.
    for (DWORD mode :
         {DWORD{OEMGI_GETINTERFACEVERSION}, DWORD{OEMGI_GETPUBLISHERINFO}, 0u, 2u, 4u, 5u, 100u}) {
        needed = 99;
        CheckHr(plugin->GetInfo(mode, &value, sizeof value, &needed), E_FAIL,
                "GetInfo mode " + std::to_string(mode));
        Check(needed == 0, "  ... 0 bytes needed");
    }
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof value, nullptr), E_FAIL,
            "GetInfo with no size pointer");
    // Too small a buffer or none: the size is reported, the buffer left alone.
    WORD small = 0x5A5A;
    needed = 0;
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, &small, sizeof small, &needed), S_OK,
            "GetInfo signature into 2 bytes");
    Check(needed == 4 && small == 0x5A5A, "  ... 4 bytes needed, buffer untouched");
    needed = 0;
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, nullptr, 4, &needed), S_OK,
            "GetInfo signature into no buffer");
    Check(needed == 4, "  ... 4 bytes needed");
}

inline void CheckMethods(IPrintOemUni* plugin)
{
    // The three implemented; nothing else, however close.
    auto answer = [plugin](const char* name, HRESULT expected) {
        char text[40];
        std::snprintf(text, sizeof text, "%s", name);
        CheckHr(plugin->GetImplementedMethod(text), expected,
                std::string("GetImplementedMethod \"") + name + "\"");
    };
    for (const char* name : {"CommandCallback", "FilterGraphics", "ImageProcessing"})
        answer(name, S_OK);
    for (const char* name :
         {"Compression", "DownloadFontHeader", "DownloadCharGlyph", "HalftonePattern",
          "MemoryUsage", "OutputCharStr", "SendFontCmd", "TextOutAsBitmap", "TTDownloadMethod",
          "TTYGetInfo", "WritePrinter", "commandcallback", "CommandCallbackX", "Command", "",
          "Image", "FilterGraphics "})
        answer(name, S_FALSE);
    CheckHr(plugin->GetImplementedMethod(nullptr), S_FALSE, "GetImplementedMethod null");

    // Every slot of the table answers as declared: the ones not implemented,
    // the trivial ones, and a refusal of an empty band.
    auto* uni = static_cast<IPrintOemUni2*>(plugin);
    INT r = 0;
    DWORD dw = 0;
    OEMMEMORYUSAGE mu{100, 0, 0};
    const HRESULT notImpl[] = {
        uni->Compression(nullptr, nullptr, nullptr, 0, 0, &r),
        uni->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0),
        uni->MemoryUsage(nullptr, &mu),
        uni->TTYGetInfo(nullptr, 0, nullptr, 0, &dw),
        uni->DownloadFontHeader(nullptr, nullptr, &dw),
        uni->DownloadCharGlyph(nullptr, nullptr, 0, &dw, &dw),
        uni->TTDownloadMethod(nullptr, nullptr, &dw),
        uni->OutputCharStr(nullptr, nullptr, 0, 0, nullptr),
        uni->SendFontCmd(nullptr, nullptr, nullptr),
        uni->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, 0),
        uni->WritePrinter(nullptr, nullptr, 0, &dw),
    };
    for (HRESULT hr : notImpl) CheckHr(hr, E_NOTIMPL, "a method not implemented");
    CheckHr(uni->DriverDMS(nullptr, nullptr, 0, &dw), S_OK, "DriverDMS");
    CheckHr(uni->ResetPDEV(nullptr, nullptr), S_OK, "ResetPDEV");
    BYTE line[4] = {1, 2, 3, 4};
    CheckHr(uni->FilterGraphics(nullptr, line, 4), E_FAIL, "FilterGraphics without a device");
    OEMDMPARAM dm{};
    CheckHr(uni->DevMode(OEMDM_SIZE, &dm), S_OK, "DevMode size");
    Check(dm.cbBufSize == 4620, "  ... 4620 bytes", std::to_string(dm.cbBufSize));
}

inline void CheckEnableDriver(IPrintOemUni* plugin)
{
    DRVENABLEDATA ded{};
    if (!CheckHr(plugin->EnableDriver(0x00010000, sizeof ded, &ded), S_OK, "EnableDriver")) return;
    Check(ded.iDriverVersion == 0x30100, "  ... driver version 0x30100");
    if (!Check(ded.c == 3 && ded.pdrvfn != nullptr, "  ... three hooks")) return;
    Check(ded.pdrvfn[0].iFunc == INDEX_DrvTextOut && ded.pdrvfn[1].iFunc == INDEX_DrvEscape &&
              ded.pdrvfn[2].iFunc == INDEX_DrvStartDoc,
          "  ... text out, escape, start document");
    Check(ded.pdrvfn[0].pfn && ded.pdrvfn[1].pfn && ded.pdrvfn[2].pfn, "  ... entry points set");
}

inline void CheckUnload(PFN_DllCanUnloadNow canUnloadNow, IClassFactory* factory,
                        IPrintOemUni* plugin)
{
    CheckHr(canUnloadNow(), S_FALSE, "DllCanUnloadNow while an object lives");
    CheckHr(static_cast<HRESULT>(plugin->Release()), 0, "last Release");
    CheckHr(canUnloadNow(), S_OK, "DllCanUnloadNow after the last Release");

    // Locks count; an unlock without a lock does not drive the count below zero.
    const std::pair<BOOL, HRESULT> locks[] = {
        {TRUE, S_FALSE}, {FALSE, S_OK}, {FALSE, S_OK}, {TRUE, S_FALSE}, {FALSE, S_OK}};
    for (const auto& [lock, answer] : locks) {
        CheckHr(factory->LockServer(lock), S_OK, lock ? "LockServer(TRUE)" : "LockServer(FALSE)");
        CheckHr(canUnloadNow(), answer, "  ... DllCanUnloadNow after it");
    }
}

inline void CheckHelperInterface(IClassFactory* factory)
{
    void* p = nullptr;
    if (!CheckHr(factory->CreateInstance(nullptr, IID_IPrintOemUni, &p), S_OK,
                 "CreateInstance for the helper checks"))
        return;
    auto* plugin = static_cast<IPrintOemUni*>(p);
    PlainUnknown notHelper;
    CheckHr(plugin->PublishDriverInterface(nullptr), E_FAIL, "PublishDriverInterface(null)");
    CheckHr(plugin->PublishDriverInterface(&notHelper), E_FAIL,
            "PublishDriverInterface without the helper interface");

    FakeDriverUni helper, other;
    CheckHr(plugin->PublishDriverInterface(&helper), S_OK, "PublishDriverInterface");
    Check(helper.refs == 2, "  ... the plug-in holds one reference");
    CheckHr(plugin->PublishDriverInterface(&other), S_OK, "PublishDriverInterface again");
    Check(other.refs == 1 && helper.refs == 2, "  ... the first helper is kept");
    CheckHr(plugin->DisableDriver(), S_OK, "DisableDriver");
    Check(helper.refs == 1, "  ... releases the helper");

    CheckHr(plugin->PublishDriverInterface(&other), S_OK, "PublishDriverInterface after it");
    Check(other.refs == 2, "  ... the new helper is held");
    plugin->Release();
    Check(other.refs == 1, "last Release releases the helper");
}

}  // namespace comcontract

// The whole contract, from a module with no object alive to one that can be
// unloaded again.
inline void CheckComContract(PFN_DllGetClassObject getClassObject, PFN_DllCanUnloadNow canUnloadNow)
{
    using namespace comcontract;
    CheckHr(canUnloadNow(), S_OK, "DllCanUnloadNow before any object");
    IClassFactory* factory = GetFactory(getClassObject);
    if (!factory) return;
    CheckCreateInstance(canUnloadNow, factory);
    void* p = nullptr;
    if (CheckHr(factory->CreateInstance(nullptr, IID_IPrintOemUni, &p), S_OK,
                "CreateInstance IPrintOemUni") &&
        Check(p != nullptr, "  ... object returned")) {
        auto* plugin = static_cast<IPrintOemUni*>(p);
        CheckQueryInterface(plugin);
        CheckGetInfo(plugin);
        CheckMethods(plugin);
        CheckEnableDriver(plugin);
        CheckUnload(canUnloadNow, factory, plugin);
    }
    CheckHelperInterface(factory);
    CheckHr(canUnloadNow(), S_OK, "DllCanUnloadNow at the end");
    CheckHr(static_cast<HRESULT>(factory->Release()), 0, "factory Release");
}

}  // namespace kxtest
