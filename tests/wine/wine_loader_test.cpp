// Loads the plug-in module the way the driver host does (LoadLibrary, the two
// exports, the class factory, IPrintOemUni) and checks its COM behaviour
// across the real module boundary. Prints one PASS or FAIL line per check and
// exits non-zero when any check failed.
//
//   wine_loader_test.exe [path of KXDRVUNI-266.dll]
// Without an argument the module next to the program is loaded.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/unidrv.h"
#include "tests/support/driveruni.h"
#include "tests/wine/check.h"
#include "win32_module.h"

namespace {

using PFN_DllGetClassObject = HRESULT(KX_STDCALL*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT(KX_STDCALL*)();

using kxcheck::Check;
using kxcheck::CheckHr;

// Any identifier the module does not know.
constexpr GUID kUnknownGuid = {
    0x1F0C6E52, 0x3B7D, 0x4A10, {0x9E, 0x21, 0x5C, 0x7A, 0x0B, 0x44, 0xD3, 0x18}};

void* const kSentinel = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xBADC0DE));

using FakeHelper = kxtest::FakeDriverUni;  // counts the references the plug-in holds

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

struct Module {
    void* handle = nullptr;
    PFN_DllGetClassObject getClassObject = nullptr;
    PFN_DllCanUnloadNow canUnloadNow = nullptr;
};

bool LoadPlugin(const std::u16string& path, Module& m)
{
    m.handle = kxwine::OpenModule(path);
    if (!Check(m.handle != nullptr, "LoadLibraryW", "error " + std::to_string(kxwine::LastError())))
        return false;
    m.getClassObject =
        reinterpret_cast<PFN_DllGetClassObject>(kxwine::FindExport(m.handle, "DllGetClassObject"));
    m.canUnloadNow =
        reinterpret_cast<PFN_DllCanUnloadNow>(kxwine::FindExport(m.handle, "DllCanUnloadNow"));
    Check(m.getClassObject != nullptr, "GetProcAddress DllGetClassObject");
    Check(m.canUnloadNow != nullptr, "GetProcAddress DllCanUnloadNow");
    Check(kxwine::FindExport(m.handle, "DllMain") == nullptr, "DllMain is not exported");
    return m.getClassObject && m.canUnloadNow;
}

IClassFactory* GetFactory(const Module& m)
{
    CheckHr(m.getClassObject(CLSID_OEMRENDER, IID_IClassFactory, nullptr), E_POINTER,
            "DllGetClassObject with no out pointer");

    void* p = kSentinel;
    CheckHr(m.getClassObject(kUnknownGuid, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE,
            "DllGetClassObject for another class");
    Check(p == nullptr, "  ... out pointer emptied");

    p = kSentinel;
    CheckHr(m.getClassObject(CLSID_OEMRENDER, IID_IPrintOemUni, &p), E_NOINTERFACE,
            "DllGetClassObject asking the factory for IPrintOemUni");
    Check(p == nullptr, "  ... out pointer emptied");

    p = nullptr;
    if (CheckHr(m.getClassObject(CLSID_OEMRENDER, IID_IUnknown, &p), S_OK,
                "DllGetClassObject for IUnknown") &&
        Check(p != nullptr, "  ... object returned"))
        CheckHr(static_cast<IUnknown*>(p)->Release(), 0, "  ... caller holds the only reference");

    p = nullptr;
    if (!CheckHr(m.getClassObject(CLSID_OEMRENDER, IID_IClassFactory, &p), S_OK,
                 "DllGetClassObject for IClassFactory") ||
        !Check(p != nullptr, "  ... factory returned"))
        return nullptr;
    return static_cast<IClassFactory*>(p);
}

void CheckCreateInstance(const Module& m, IClassFactory* factory)
{
    PlainUnknown outer;
    void* p = kSentinel;
    CheckHr(factory->CreateInstance(&outer, IID_IPrintOemUni, &p), CLASS_E_NOAGGREGATION,
            "CreateInstance with an outer object");
    Check(p == nullptr, "  ... out pointer emptied");

    p = kSentinel;
    CheckHr(factory->CreateInstance(nullptr, kUnknownGuid, &p), E_NOINTERFACE,
            "CreateInstance for an unknown interface");
    Check(p == nullptr, "  ... out pointer emptied");
    CheckHr(m.canUnloadNow(), S_OK, "DllCanUnloadNow after a refused CreateInstance");
    CheckHr(factory->CreateInstance(nullptr, IID_IPrintOemUni, nullptr), E_POINTER,
            "CreateInstance with no out pointer");
}

void CheckQueryInterface(IPrintOemUni* plugin)
{
    void* p = nullptr;
    if (CheckHr(plugin->QueryInterface(IID_IPrintOemUni2, &p), S_OK,
                "QueryInterface IPrintOemUni2")) {
        Check(p == plugin, "  ... the same object");
        auto* second = static_cast<IPrintOemUni2*>(p);
        CheckHr(second->WritePrinter(nullptr, nullptr, 0, nullptr), E_NOTIMPL,
                "IPrintOemUni2::WritePrinter (slot 26)");
        second->Release();
    }
    p = nullptr;
    if (CheckHr(plugin->QueryInterface(IID_IUnknown, &p), S_OK, "QueryInterface IUnknown")) {
        Check(p == plugin, "  ... the same object");
        static_cast<IUnknown*>(p)->Release();
    }
    p = kSentinel;
    CheckHr(plugin->QueryInterface(kUnknownGuid, &p), E_NOINTERFACE,
            "QueryInterface unknown interface");
    Check(p == nullptr, "  ... out pointer emptied");
    p = kSentinel;
    CheckHr(plugin->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE,
            "QueryInterface IClassFactory");

    CheckHr(static_cast<HRESULT>(plugin->AddRef()), 2, "AddRef counts up");
    CheckHr(static_cast<HRESULT>(plugin->Release()), 1, "Release counts down");
}

void CheckGetInfo(IPrintOemUni* plugin)
{
    DWORD value = 0;
    DWORD needed = 99;
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof value, &needed), S_OK,
            "GetInfo signature");
    Check(std::memcmp(&value, "KXDM", 4) == 0, "  ... bytes 'K','X','D','M'");
    Check(needed == 4, "  ... 4 bytes needed");

    value = 0;
    needed = 99;
    CheckHr(plugin->GetInfo(OEMGI_GETVERSION, &value, sizeof value, &needed), S_OK,
            "GetInfo version");
    Check(value == 0x6602, "  ... 0x6602");

    needed = 99;
    CheckHr(plugin->GetInfo(OEMGI_GETINTERFACEVERSION, &value, sizeof value, &needed), E_FAIL,
            "GetInfo interface version");
    Check(needed == 0, "  ... 0 bytes needed");
    needed = 99;
    CheckHr(plugin->GetInfo(OEMGI_GETPUBLISHERINFO, &value, sizeof value, &needed), E_FAIL,
            "GetInfo publisher info");
    Check(needed == 0, "  ... 0 bytes needed");
    needed = 99;
    CheckHr(plugin->GetInfo(5, &value, sizeof value, &needed), E_FAIL, "GetInfo mode 5");
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof value, nullptr), E_FAIL,
            "GetInfo with no size pointer");

    // Too small a buffer: the size is reported, the buffer left alone.
    WORD small = 0x5A5A;
    needed = 0;
    CheckHr(plugin->GetInfo(OEMGI_GETSIGNATURE, &small, sizeof small, &needed), S_OK,
            "GetInfo signature into 2 bytes");
    Check(needed == 4 && small == 0x5A5A, "  ... 4 bytes needed, buffer untouched");
}

void CheckImplementedMethods(IPrintOemUni* plugin)
{
    struct {
        const char* name;
        HRESULT expected;
    } const cases[] = {
        {"CommandCallback", S_OK},    {"ImageProcessing", S_OK},     {"FilterGraphics", S_OK},
        {"Compression", S_FALSE},     {"commandcallback", S_FALSE},  {"WritePrinter", S_FALSE},
        {"TextOutAsBitmap", S_FALSE}, {"CommandCallbackX", S_FALSE}, {"", S_FALSE},
    };
    for (const auto& c : cases) {
        char name[40];
        std::snprintf(name, sizeof name, "%s", c.name);
        CheckHr(plugin->GetImplementedMethod(name), c.expected,
                std::string("GetImplementedMethod \"") + c.name + "\"");
    }
}

void CheckEnableDriver(IPrintOemUni* plugin)
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

void CheckHelperInterface(IClassFactory* factory)
{
    void* p = nullptr;
    if (!CheckHr(factory->CreateInstance(nullptr, IID_IPrintOemUni, &p), S_OK,
                 "CreateInstance for the helper checks"))
        return;
    auto* plugin = static_cast<IPrintOemUni*>(p);

    PlainUnknown notHelper;
    CheckHr(plugin->PublishDriverInterface(&notHelper), E_FAIL,
            "PublishDriverInterface without the helper interface");

    FakeHelper helper, other;
    CheckHr(plugin->PublishDriverInterface(&helper), S_OK, "PublishDriverInterface");
    Check(helper.refs == 2, "  ... the plug-in holds one reference");
    CheckHr(plugin->PublishDriverInterface(&other), S_OK, "PublishDriverInterface again");
    Check(other.refs == 1 && helper.refs == 2, "  ... the first helper is kept");
    CheckHr(plugin->DisableDriver(), S_OK, "DisableDriver");
    Check(helper.refs == 1, "  ... releases the helper");

    CheckHr(plugin->PublishDriverInterface(&other), S_OK, "PublishDriverInterface after it");
    plugin->Release();
    Check(other.refs == 1, "last Release releases the helper");
}

void CheckUnload(const Module& m, IClassFactory* factory, IPrintOemUni* plugin)
{
    CheckHr(m.canUnloadNow(), S_FALSE, "DllCanUnloadNow while an object lives");
    CheckHr(static_cast<HRESULT>(plugin->Release()), 0, "last Release");
    CheckHr(m.canUnloadNow(), S_OK, "DllCanUnloadNow after the last Release");

    CheckHr(factory->LockServer(TRUE), S_OK, "LockServer(TRUE)");
    CheckHr(m.canUnloadNow(), S_FALSE, "DllCanUnloadNow while locked");
    CheckHr(factory->LockServer(FALSE), S_OK, "LockServer(FALSE)");
    CheckHr(m.canUnloadNow(), S_OK, "DllCanUnloadNow after unlocking");
}

void CheckVersionResource(const std::u16string& path)
{
    const kxwine::FileVersion v = kxwine::ReadFileVersion(path);
    if (!Check(v.resourceSize > 0, "version resource present")) return;
    const std::uint32_t ms = (KX_VERSION_MAJOR << 16) | KX_VERSION_MINOR;
    const std::uint32_t ls = (KX_VERSION_PATCH << 16) | KX_VERSION_TWEAK;
    Check(v.fileVersionMS == ms && v.fileVersionLS == ls, "  ... file version of the project");
    Check(v.productVersionMS == ms && v.productVersionLS == ls,
          "  ... product version of the project");
    Check(v.fileType == 2 /* VFT_DLL */, "  ... file type DLL");
    Check(v.fileDescription == u"Label printer render plug-in", "  ... file description");
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", KX_VERSION_MAJOR, KX_VERSION_MINOR,
                  KX_VERSION_PATCH, KX_VERSION_TWEAK);
    Check(v.fileVersionText == std::u16string(text, text + std::strlen(text)),
          std::string("  ... file version text ") + text);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::u16string path =
        argc > 1 ? kxwine::FromAnsi(argv[1]) : kxwine::ProgramDirectory() + u"KXDRVUNI-266.dll";
    Module m;
    if (!LoadPlugin(path, m)) return 1;

    CheckHr(m.canUnloadNow(), S_OK, "DllCanUnloadNow before any object");
    if (IClassFactory* factory = GetFactory(m)) {
        CheckCreateInstance(m, factory);
        void* p = nullptr;
        if (CheckHr(factory->CreateInstance(nullptr, IID_IPrintOemUni, &p), S_OK,
                    "CreateInstance IPrintOemUni") &&
            Check(p != nullptr, "  ... object returned")) {
            auto* plugin = static_cast<IPrintOemUni*>(p);
            CheckQueryInterface(plugin);
            CheckGetInfo(plugin);
            CheckImplementedMethods(plugin);
            CheckEnableDriver(plugin);
            CheckUnload(m, factory, plugin);
        }
        CheckHelperInterface(factory);
        CheckHr(m.canUnloadNow(), S_OK, "DllCanUnloadNow at the end");
        CheckHr(static_cast<HRESULT>(factory->Release()), 0, "factory Release");
    }
    Check(kxwine::CloseModule(m.handle), "FreeLibrary");
    CheckVersionResource(path);

    return kxcheck::Finish();
}
