// The plug-in's COM objects: IKXDriverUni (the render plug-in the driver host
// talks to) and its class factory, with the module-wide counts that decide
// whether the module may be unloaded.
#pragma once

#include <atomic>

#include "platform/unidrv.h"

namespace kx {

// Live IKXDriverUni objects and outstanding server locks.
extern std::atomic<long> g_cComponents;
extern std::atomic<long> g_cServerLocks;

// Interlocked decrement that never goes below 0: the new count, or -1 when
// the count was already 0 and nothing changed.
long ReleaseCount(std::atomic<long>& count);

class IKXDriverUni final : public IPrintOemUni2 {
public:
    IKXDriverUni();
    ~IKXDriverUni();
    IKXDriverUni(const IKXDriverUni&) = delete;
    IKXDriverUni& operator=(const IKXDriverUni&) = delete;

    // IUnknown
    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override;
    ULONG KX_STDCALL AddRef() override;
    ULONG KX_STDCALL Release() override;

    // IPrintOemUni
    HRESULT KX_STDCALL GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                               PDWORD pcbNeeded) override;
    HRESULT KX_STDCALL DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
    HRESULT KX_STDCALL EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                    DRVENABLEDATA* pded) override;
    HRESULT KX_STDCALL DisableDriver() override;
    HRESULT KX_STDCALL EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                  HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                  ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded,
                                  PDEVOEM* pDevOem) override;
    HRESULT KX_STDCALL DisablePDEV(PDEVOBJ pdevobj) override;
    HRESULT KX_STDCALL ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) override;
    HRESULT KX_STDCALL PublishDriverInterface(IUnknown* pIUnknown) override;
    HRESULT KX_STDCALL GetImplementedMethod(PSTR pMethodName) override;
    HRESULT KX_STDCALL DriverDMS(PVOID pDevObj, PVOID pBuffer, DWORD cbSize,
                                 PDWORD pcbNeeded) override;
    HRESULT KX_STDCALL CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount,
                                       PDWORD pdwParams, INT* piResult) override;
    HRESULT KX_STDCALL ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                       PBITMAPINFOHEADER pBitmapInfoHeader, PBYTE pColorTable,
                                       DWORD dwCallbackID, PIPPARAMS pIPParams,
                                       PBYTE* ppbResult) override;
    HRESULT KX_STDCALL FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) override;
    HRESULT KX_STDCALL Compression(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf, DWORD dwInLen,
                                   DWORD dwOutLen, INT* piResult) override;
    HRESULT KX_STDCALL HalftonePattern(PDEVOBJ pdevobj, PBYTE pHTPattern, DWORD dwHTPatternX,
                                       DWORD dwHTPatternY, DWORD dwHTNumPatterns,
                                       DWORD dwCallbackID, PBYTE pResource,
                                       DWORD dwResourceSize) override;
    HRESULT KX_STDCALL MemoryUsage(PDEVOBJ pdevobj, POEMMEMORYUSAGE pMemoryUsage) override;
    HRESULT KX_STDCALL TTYGetInfo(PDEVOBJ pdevobj, DWORD dwInfoIndex, PVOID pOutputBuf,
                                  DWORD dwSize, DWORD* pcbcNeeded) override;
    HRESULT KX_STDCALL DownloadFontHeader(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                          DWORD* pdwResult) override;
    HRESULT KX_STDCALL DownloadCharGlyph(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, HGLYPH hGlyph,
                                         PDWORD pdwWidth, DWORD* pdwResult) override;
    HRESULT KX_STDCALL TTDownloadMethod(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                        DWORD* pdwResult) override;
    HRESULT KX_STDCALL OutputCharStr(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD dwType,
                                     DWORD dwCount, PVOID pGlyph) override;
    HRESULT KX_STDCALL SendFontCmd(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                   PFINVOCATION pFInv) override;
    HRESULT KX_STDCALL TextOutAsBitmap(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                                       RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                       BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) override;

    // IPrintOemUni2
    HRESULT KX_STDCALL WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer,
                                    PDWORD pcbWritten) override;

    IPrintOemDriverUni* Helper() const { return m_pOEMHelp; }

private:
    std::atomic<long> m_cRef{1};
    IPrintOemDriverUni* m_pOEMHelp = nullptr;
};

class IKXClassFactory final : public IClassFactory {
public:
    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override;
    ULONG KX_STDCALL AddRef() override;
    ULONG KX_STDCALL Release() override;
    HRESULT KX_STDCALL CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT KX_STDCALL LockServer(BOOL fLock) override;

private:
    std::atomic<long> m_cRef{1};
};

// The signature and version answer of GetInfo.
HRESULT hrGetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded);

// S_OK for the three methods the plug-in implements, S_FALSE for any other.
HRESULT ImplementedMethod(const char* pMethodName);

// The exported entry points' work.
HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT CanUnloadNow();

}  // namespace kx
