#include "plugin/intrface.h"

#include <cstring>
#include <new>

#include "core/devmode.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "plugin/cmdcallback.h"
#include "plugin/devstate.h"
#include "plugin/guard.h"
#include "raster/bandcapture.h"
#include "settings/devmodeops.h"

namespace kx {

std::atomic<long> g_cComponents{0};
std::atomic<long> g_cServerLocks{0};

long ReleaseCount(std::atomic<long>& count)
{
    long cur = count.load();
    while (cur > 0 && !count.compare_exchange_weak(cur, cur - 1)) {
    }
    return cur > 0 ? cur - 1 : -1;
}

namespace {

void TraceEntry(const char16_t* method)
{
    Trace(u"UNI(IKXDriverUni):  IKXDriverUni::%s() entry.\r\n", method);
}

void TraceNotImpl(const char16_t* method)
{
    Trace(u"UNI(IKXDriverUni):  IKXDriverUni::%s() entry - E_NOTIMPL .\r\n", method);
}

constexpr DWORD kDriverVersion = 0x30100;
// The interface version and record size the driver host announces; traced
// as such, whatever the call carried.
constexpr DWORD kTracedIntfVersion = 0x10000;
constexpr DWORD kTracedDedSize = 48;

DRVFN g_HookTable[] = {
    {INDEX_DrvTextOut, reinterpret_cast<PFN>(&OEMTextOut)},
    {INDEX_DrvEscape, reinterpret_cast<PFN>(&OEMEscape)},
    {INDEX_DrvStartDoc, reinterpret_cast<PFN>(&OEMStartDoc)},
};

}  // namespace

// ------------------------------------------------------------ IKXDriverUni

IKXDriverUni::IKXDriverUni() { ++g_cComponents; }

IKXDriverUni::~IKXDriverUni()
{
    if (m_pOEMHelp) {
        m_pOEMHelp->Release();
        m_pOEMHelp = nullptr;
    }
    ReleaseCount(g_cComponents);
}

HRESULT IKXDriverUni::QueryInterface(REFIID riid, void** ppv)
{
    return GuardedCom(u"IKXDriverUni::QueryInterface", [&] {
        TraceEntry(u"QueryInterface");
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPrintOemUni) ||
            IsEqualGUID(riid, IID_IPrintOemUni2)) {
            *ppv = static_cast<IPrintOemUni2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    });
}

ULONG IKXDriverUni::AddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG IKXDriverUni::Release()
{
    long left = ReleaseCount(m_cRef);
    if (left < 0) return 0;  // already at 0: nothing to do
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT IKXDriverUni::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded)
{
    return GuardedCom(u"IKXDriverUni::GetInfo", [&] {
        TraceEntry(u"GetInfo");
        if (dwMode > 4) {
            // A mode this interface does not know: no size to report either.
            if (pcbNeeded) *pcbNeeded = 0;
            return E_FAIL;
        }
        return hrGetInfo(dwMode, pBuffer, cbSize, pcbNeeded);
    });
}

HRESULT IKXDriverUni::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam)
{
    return GuardedCom(u"IKXDriverUni::DevMode", [&] {
        TraceEntry(u"DevMode");
        return hrOEMDevMode(dwMode, pOemDMParam);
    });
}

HRESULT IKXDriverUni::EnableDriver(DWORD dwOEMintfVersion, DWORD dwSize, DRVENABLEDATA* pded)
{
    (void)dwOEMintfVersion;
    (void)dwSize;
    return GuardedCom(u"IKXDriverUni::EnableDriver", [&] {
        TraceEntry(u"EnableDriver");
        if (!pded) return E_FAIL;
        pded->iDriverVersion = kDriverVersion;
        pded->c = sizeof(g_HookTable) / sizeof(g_HookTable[0]);
        pded->pdrvfn = g_HookTable;
        Trace(
            u"UNI(enable):  EnableDriverOEM() dwOEMintfVersion: 0x%x, dwSize: %d, pded->c: %d "
            u"\r\n",
            kTracedIntfVersion, kTracedDedSize, pded->c);
        return S_OK;
    });
}

HRESULT IKXDriverUni::DisableDriver()
{
    return GuardedCom(u"IKXDriverUni::DisableDriver", [&] {
        TraceEntry(u"DisableDriver");
        if (m_pOEMHelp) {
            m_pOEMHelp->Release();
            m_pOEMHelp = nullptr;
        }
        return S_OK;
    });
}

HRESULT IKXDriverUni::EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG, HSURF*, ULONG,
                                 GDIINFO* pGdiInfo, ULONG cjDevInfo, DEVINFO* pDevInfo,
                                 DRVENABLEDATA* pded, PDEVOEM* pDevOem)
{
    return GuardedCom(u"IKXDriverUni::EnablePDEV", [&] {
        TraceEntry(u"EnablePDEV");
        OEM_PDEV* pOemPDev =
            kx::EnablePDEV(pdevobj, pPrinterName, pGdiInfo, cjDevInfo, pDevInfo, pded);
        if (pDevOem && pOemPDev) *pDevOem = pOemPDev;
        return S_OK;
    });
}

HRESULT IKXDriverUni::DisablePDEV(PDEVOBJ pdevobj)
{
    return GuardedCom(u"IKXDriverUni::DisablePDEV", [&] {
        TraceEntry(u"DisablePDEV");
        return OEMDisablePDEV(pdevobj, m_pOEMHelp);
    });
}

HRESULT IKXDriverUni::ResetPDEV(PDEVOBJ, PDEVOBJ)
{
    return GuardedCom(u"IKXDriverUni::ResetPDEV", [&] {
        TraceEntry(u"ResetPDEV");
        Trace(u"UNI(enable):  OEMResetPDEV() entry.\r\n");
        return S_OK;
    });
}

HRESULT IKXDriverUni::PublishDriverInterface(IUnknown* pIUnknown)
{
    return GuardedCom(u"IKXDriverUni::PublishDriverInterface", [&] {
        TraceEntry(u"PublishDriverInterface");
        if (m_pOEMHelp) return S_OK;
        void* pv = nullptr;
        HRESULT hr = pIUnknown ? pIUnknown->QueryInterface(IID_IPrintOemDriverUni, &pv) : E_FAIL;
        if (SUCCEEDED(hr) && pv) {
            m_pOEMHelp = static_cast<IPrintOemDriverUni*>(pv);
            return S_OK;
        }
        m_pOEMHelp = nullptr;
        return E_FAIL;
    });
}

HRESULT IKXDriverUni::GetImplementedMethod(PSTR pMethodName)
{
    return GuardedCom(u"IKXDriverUni::GetImplementedMethod", [&] {
        TraceEntry(u"GetImplementedMethod");
        return ImplementedMethod(pMethodName);
    });
}

HRESULT IKXDriverUni::DriverDMS(PVOID, PVOID, DWORD, PDWORD)
{
    return GuardedCom(u"IKXDriverUni::DriverDMS", [&] {
        TraceEntry(u"DriverDMS");
        return S_OK;
    });
}

HRESULT IKXDriverUni::CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount,
                                      PDWORD pdwParams, INT* piResult)
{
    return GuardedCom(u"IKXDriverUni::CommandCallback", [&] {
        TraceEntry(u"CommandCallback");
        return CommandCallbackOEM(pdevobj, dwCallbackID, dwCount, pdwParams, piResult, m_pOEMHelp);
    });
}

HRESULT IKXDriverUni::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                      PBITMAPINFOHEADER pBitmapInfoHeader, PBYTE pColorTable,
                                      DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult)
{
    // A failure hands nothing back to the host.
    if (ppbResult) *ppbResult = nullptr;
    return GuardedCom(u"IKXDriverUni::ImageProcessing", [&] {
        TraceEntry(u"ImageProcessing");
        HRESULT hr = CaptureBand(pdevobj, pSrcBitmap, pBitmapInfoHeader, pColorTable, dwCallbackID,
                                 pIPParams);
        if (FAILED(hr)) return hr;
        // The band is consumed here; the host sends nothing of it.
        if (ppbResult) *ppbResult = reinterpret_cast<PBYTE>(static_cast<ULONG_PTR>(1));
        return S_OK;
    });
}

HRESULT IKXDriverUni::FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen)
{
    return GuardedCom(u"IKXDriverUni::FilterGraphics", [&] {
        TraceEntry(u"FilterGraphics");
        OEM_PDEV* pOemPDev = GetOemPDev(pdevobj);
        if (!pdevobj || !pBuf || dwLen == 0 || !pOemPDev) return E_FAIL;
        // The worker marker goes down again however the filter ends.
        struct WorkerMark {
            OEM_PDEV* p;
            explicit WorkerMark(OEM_PDEV* pdev) : p(pdev) { ++p->iNewZaehler; }
            ~WorkerMark() { --p->iNewZaehler; }
        } mark(pOemPDev);
        Trace(u"UNI(FilterGraphics):  FilterGraphicsOEM() Start FG_Klasse: 0x%x \r\n", pdevobj);
        HRESULT hr = FilterGraphicsLine(pdevobj, m_pOEMHelp, pBuf, dwLen);
        Trace(u"UNI(FilterGraphics):  FilterGraphicsOEM() Ende FG_Klasse: 0x%x \r\n", pdevobj);
        return hr;
    });
}

// The slots below do no work; their entry trace is all that could fail.

HRESULT IKXDriverUni::Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*)
{
    return GuardedCom(u"IKXDriverUni::Compression", [] {
        TraceEntry(u"Compression");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE, DWORD)
{
    return GuardedCom(u"IKXDriverUni::HalftonePattern", [] {
        TraceNotImpl(u"HalftonePattern");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::MemoryUsage(PDEVOBJ, POEMMEMORYUSAGE pMemoryUsage)
{
    return GuardedCom(u"IKXDriverUni::MemoryUsage", [&] {
        TraceEntry(u"MemoryUsage");
        if (pMemoryUsage)
            Trace(u"UNI(IKXDriverUni):  IKXDriverUni::MemoryUsage() dwFixedMemoryUsage: %u \r\n",
                  pMemoryUsage->dwFixedMemoryUsage);
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*)
{
    return GuardedCom(u"IKXDriverUni::TTYGetInfo", [] {
        TraceEntry(u"TTYGetInfo");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::DownloadFontHeader(PDEVOBJ, PUNIFONTOBJ, DWORD*)
{
    return GuardedCom(u"IKXDriverUni::DownloadFontHeader", [] {
        TraceNotImpl(u"DownloadFontHeader");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::DownloadCharGlyph(PDEVOBJ, PUNIFONTOBJ, HGLYPH, PDWORD, DWORD*)
{
    return GuardedCom(u"IKXDriverUni::DownloadCharGlyph", [] {
        TraceNotImpl(u"DownloadCharGlyph");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::TTDownloadMethod(PDEVOBJ, PUNIFONTOBJ, DWORD*)
{
    return GuardedCom(u"IKXDriverUni::TTDownloadMethod", [] {
        TraceNotImpl(u"TTDownloadMethod");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::OutputCharStr(PDEVOBJ, PUNIFONTOBJ, DWORD, DWORD, PVOID)
{
    return GuardedCom(u"IKXDriverUni::OutputCharStr", [] {
        TraceEntry(u"OutputCharStr");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::SendFontCmd(PDEVOBJ, PUNIFONTOBJ, PFINVOCATION)
{
    return GuardedCom(u"IKXDriverUni::SendFontCmd", [] {
        TraceEntry(u"SendFontCmd");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::TextOutAsBitmap(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                      BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX)
{
    return GuardedCom(u"IKXDriverUni::TextOutAsBitmap", [] {
        TraceEntry(u"TextOutAsBitmap");
        return E_NOTIMPL;
    });
}

HRESULT IKXDriverUni::WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD)
{
    return GuardedCom(u"IKXDriverUni::WritePrinter", [] {
        TraceEntry(u"WritePrinter");
        return E_NOTIMPL;
    });
}

// ------------------------------------------------------------ class factory

HRESULT IKXClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG IKXClassFactory::AddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG IKXClassFactory::Release()
{
    long left = ReleaseCount(m_cRef);
    if (left < 0) return 0;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT IKXClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    IKXDriverUni* pObj = new (std::nothrow) IKXDriverUni;
    if (!pObj) return E_OUTOFMEMORY;
    HRESULT hr = pObj->QueryInterface(riid, ppv);
    pObj->Release();  // a successful caller now holds the only reference
    return hr;
}

HRESULT IKXClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        ++g_cServerLocks;
    else
        ReleaseCount(g_cServerLocks);
    return S_OK;
}

// ------------------------------------------------------------ free functions

HRESULT hrGetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded)
{
    if (!pcbNeeded) {
        Trace(u"LIB(getinfo):  hrGetInfo() exit pcbNeeded is NULL! INVALID_PARAMETER\r\r\n");
        plat::SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    if (dwMode != OEMGI_GETSIGNATURE && dwMode != OEMGI_GETVERSION &&
        dwMode != OEMGI_GETPUBLISHERINFO) {
        Trace(u"LIB(getinfo):  hrGetInfo() exit pcbNeeded is NULL! INVALID_PARAMETER\r\r\n");
        plat::SetLastError(ERROR_INVALID_PARAMETER);
        *pcbNeeded = 0;
        return E_FAIL;
    }
    *pcbNeeded = sizeof(DWORD);
    if (cbSize < sizeof(DWORD) || !pBuffer) {
        Trace(u"LIB(getinfo):  hrGetInfo() exit insufficient buffer!\r\r\n");
        plat::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return S_OK;  // the host reads the size and asks again
    }
    DWORD value = 0;
    switch (dwMode) {
        case OEMGI_GETSIGNATURE: value = KX_SIGNATURE; break;
        case OEMGI_GETVERSION: value = KX_DEVMODE_VERSION; break;
        default:
            Trace(u"LIB(getinfo):  hrGetInfo() exit mode not supported.\r\r\n");
            *pcbNeeded = 0;
            plat::SetLastError(ERROR_NOT_SUPPORTED);
            return E_FAIL;
    }
    std::memcpy(pBuffer, &value, sizeof(value));
    Trace(u"LIB(getinfo):  hrGetInfo() exit S_OK, (*pBuffer is %#x).\r\r\n", value);
    return S_OK;
}

HRESULT ImplementedMethod(const char* pMethodName)
{
    if (!pMethodName) return S_FALSE;
    // Dispatch on the first letter, then compare the whole name exactly.
    switch (pMethodName[0]) {
        case 'C':
            if (std::strcmp(pMethodName, "CommandCallback") == 0) return S_OK;
            break;
        case 'F':
            if (std::strcmp(pMethodName, "FilterGraphics") == 0) return S_OK;
            break;
        case 'I':
            if (std::strcmp(pMethodName, "ImageProcessing") == 0) return S_OK;
            break;
        default: break;
    }
    return S_FALSE;
}

HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return GuardedCom(u"DllGetClassObject", [&] {
        if (!IsEqualGUID(rclsid, CLSID_OEMRENDER)) {
            Trace(u"ERROR UNI(IKXDriverUni):  DllGetClassObject:\tClass not available!\r\n");
            return CLASS_E_CLASSNOTAVAILABLE;
        }
        IKXClassFactory* pFactory = new (std::nothrow) IKXClassFactory;
        if (!pFactory) {
            Trace(u"ERROR UNI(IKXDriverUni):  DllGetClassObject:\tOut of Memory!\r\n");
            return E_OUTOFMEMORY;
        }
        HRESULT hr = pFactory->QueryInterface(riid, ppv);
        pFactory->Release();
        return hr;
    });
}

HRESULT CanUnloadNow()
{
    return (g_cComponents.load() == 0 && g_cServerLocks.load() == 0) ? S_OK : S_FALSE;
}

}  // namespace kx
