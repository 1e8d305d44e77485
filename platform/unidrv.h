// The driver host's plug-in interfaces and the records passed through them,
// written from the public documentation of the universal printer driver's
// render plug-in interface. Method order is the vtable order; it must not
// change.
#pragma once

#include "ddi.h"

// ---------------------------------------------------------------- DEVMODEW
constexpr int CCHDEVICENAME = 32;
constexpr int CCHFORMNAME = 32;

struct DEVMODEW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    SHORT dmOrientation;
    SHORT dmPaperSize;
    SHORT dmPaperLength;
    SHORT dmPaperWidth;
    SHORT dmScale;
    SHORT dmCopies;
    SHORT dmDefaultSource;
    SHORT dmPrintQuality;
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmNup;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODEW) == 220);
static_assert(offsetof(DEVMODEW, dmSize) == 68 && offsetof(DEVMODEW, dmFields) == 72);
static_assert(offsetof(DEVMODEW, dmOrientation) == 76 && offsetof(DEVMODEW, dmCopies) == 86);
static_assert(offsetof(DEVMODEW, dmColor) == 92 && offsetof(DEVMODEW, dmCollate) == 100);
static_assert(offsetof(DEVMODEW, dmFormName) == 102 && offsetof(DEVMODEW, dmBitsPerPel) == 168);
using PDEVMODEW = DEVMODEW*;

constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_PAPERLENGTH = 0x00000004;
constexpr DWORD DM_PAPERWIDTH = 0x00000008;
constexpr DWORD DM_SCALE = 0x00000010;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr DWORD DM_COLOR = 0x00000800;
constexpr DWORD DM_COLLATE = 0x00008000;
constexpr SHORT DMORIENT_PORTRAIT = 1;
constexpr SHORT DMORIENT_LANDSCAPE = 2;
constexpr SHORT DMCOLOR_MONOCHROME = 1;
constexpr SHORT DMCOLOR_COLOR = 2;
constexpr SHORT DMPAPER_USER = 256;

// ---------------------------------------------------------------- records
struct DRVPROCS;
struct DEVOBJ {
    DWORD dwSize;
    PVOID pdevOEM;  // the plug-in's per-device state (OEM_PDEV)
    HANDLE hEngine;
    HANDLE hPrinter;
    HANDLE hOEM;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;  // the plug-in's private devmode
    DRVPROCS* pDrvProcs;
};
using PDEVOBJ = DEVOBJ*;
using PDEVOEM = PVOID;

struct OEMDMPARAM {
    DWORD cbSize;
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    PDEVMODEW pPublicDMIn;
    PDEVMODEW pPublicDMOut;
    PVOID pOEMDMIn;
    PVOID pOEMDMOut;
    DWORD cbBufSize;
};
using POEMDMPARAM = OEMDMPARAM*;

struct IPPARAMS {
    DWORD dwSize;
    POINT ptOffset;
    PSTR pHalftoneOption;
    BOOL bBanding;
    BOOL bBlankBand;
};
using PIPPARAMS = IPPARAMS*;

struct OEMMEMORYUSAGE {
    DWORD dwFixedMemoryUsage;
    DWORD dwPercentMemoryUsage;
    DWORD dwMaxBandSize;
};
using POEMMEMORYUSAGE = OEMMEMORYUSAGE*;

struct UNIFONTOBJ;
using PUNIFONTOBJ = UNIFONTOBJ*;
struct FINVOCATION;
using PFINVOCATION = FINVOCATION*;

#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(DEVOBJ) == 64 && offsetof(DEVOBJ, pdevOEM) == 8 &&
              offsetof(DEVOBJ, pPublicDM) == 40 && offsetof(DEVOBJ, pOEMDM) == 48);
static_assert(sizeof(OEMDMPARAM) == 72 && offsetof(OEMDMPARAM, pPublicDMIn) == 32 &&
              offsetof(OEMDMPARAM, pOEMDMOut) == 56 && offsetof(OEMDMPARAM, cbBufSize) == 64);
static_assert(sizeof(IPPARAMS) == 32 && offsetof(IPPARAMS, pHalftoneOption) == 16 &&
              offsetof(IPPARAMS, bBlankBand) == 28);
#endif

// GetInfo modes.
constexpr DWORD OEMGI_GETSIGNATURE = 1;
constexpr DWORD OEMGI_GETINTERFACEVERSION = 2;
constexpr DWORD OEMGI_GETVERSION = 3;
constexpr DWORD OEMGI_GETPUBLISHERINFO = 4;

// DevMode modes.
constexpr DWORD OEMDM_SIZE = 1;
constexpr DWORD OEMDM_DEFAULT = 2;
constexpr DWORD OEMDM_CONVERT = 3;
constexpr DWORD OEMDM_MERGE = 4;

// ---------------------------------------------------------------- COM
struct IUnknown {
    virtual HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG KX_STDCALL AddRef() = 0;
    virtual ULONG KX_STDCALL Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT KX_STDCALL CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) = 0;
    virtual HRESULT KX_STDCALL LockServer(BOOL fLock) = 0;
};

struct IPrintOemUni : IUnknown {
    virtual HRESULT KX_STDCALL GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                                       PDWORD pcbNeeded) = 0;
    virtual HRESULT KX_STDCALL DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) = 0;
    virtual HRESULT KX_STDCALL EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                            DRVENABLEDATA* pded) = 0;
    virtual HRESULT KX_STDCALL DisableDriver() = 0;
    virtual HRESULT KX_STDCALL EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                          HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                          ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded,
                                          PDEVOEM* pDevOem) = 0;
    virtual HRESULT KX_STDCALL DisablePDEV(PDEVOBJ pdevobj) = 0;
    virtual HRESULT KX_STDCALL ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) = 0;
    virtual HRESULT KX_STDCALL PublishDriverInterface(IUnknown* pIUnknown) = 0;
    virtual HRESULT KX_STDCALL GetImplementedMethod(PSTR pMethodName) = 0;
    virtual HRESULT KX_STDCALL DriverDMS(PVOID pDevObj, PVOID pBuffer, DWORD cbSize,
                                         PDWORD pcbNeeded) = 0;
    virtual HRESULT KX_STDCALL CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount,
                                               PDWORD pdwParams, INT* piResult) = 0;
    virtual HRESULT KX_STDCALL ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                               PBITMAPINFOHEADER pBitmapInfoHeader,
                                               PBYTE pColorTable, DWORD dwCallbackID,
                                               PIPPARAMS pIPParams, PBYTE* ppbResult) = 0;
    virtual HRESULT KX_STDCALL FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) = 0;
    virtual HRESULT KX_STDCALL Compression(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf,
                                           DWORD dwInLen, DWORD dwOutLen, INT* piResult) = 0;
    virtual HRESULT KX_STDCALL HalftonePattern(PDEVOBJ pdevobj, PBYTE pHTPattern,
                                               DWORD dwHTPatternX, DWORD dwHTPatternY,
                                               DWORD dwHTNumPatterns, DWORD dwCallbackID,
                                               PBYTE pResource, DWORD dwResourceSize) = 0;
    virtual HRESULT KX_STDCALL MemoryUsage(PDEVOBJ pdevobj, POEMMEMORYUSAGE pMemoryUsage) = 0;
    virtual HRESULT KX_STDCALL TTYGetInfo(PDEVOBJ pdevobj, DWORD dwInfoIndex, PVOID pOutputBuf,
                                          DWORD dwSize, DWORD* pcbcNeeded) = 0;
    virtual HRESULT KX_STDCALL DownloadFontHeader(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                  DWORD* pdwResult) = 0;
    virtual HRESULT KX_STDCALL DownloadCharGlyph(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, HGLYPH hGlyph,
                                                 PDWORD pdwWidth, DWORD* pdwResult) = 0;
    virtual HRESULT KX_STDCALL TTDownloadMethod(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                DWORD* pdwResult) = 0;
    virtual HRESULT KX_STDCALL OutputCharStr(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD dwType,
                                             DWORD dwCount, PVOID pGlyph) = 0;
    virtual HRESULT KX_STDCALL SendFontCmd(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                           PFINVOCATION pFInv) = 0;
    virtual HRESULT KX_STDCALL TextOutAsBitmap(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                               CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                                               BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque,
                                               POINTL* pptlOrg, MIX mix) = 0;
};

struct IPrintOemUni2 : IPrintOemUni {
    virtual HRESULT KX_STDCALL WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer,
                                            PDWORD pcbWritten) = 0;
};

// The driver host's helper interface, handed over by PublishDriverInterface.
struct IPrintOemDriverUni : IUnknown {
    virtual HRESULT KX_STDCALL DrvGetDriverSetting(PVOID pdriverobj, PCSTR Feature, PVOID pOutput,
                                                   DWORD cbSize, PDWORD pcbNeeded,
                                                   PDWORD pdwOptionsReturned) = 0;
    virtual HRESULT KX_STDCALL DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                DWORD* pdwResult) = 0;
    virtual HRESULT KX_STDCALL DrvXMoveTo(PDEVOBJ pdevobj, INT x, DWORD dwFlags, INT* piResult) = 0;
    virtual HRESULT KX_STDCALL DrvYMoveTo(PDEVOBJ pdevobj, INT y, DWORD dwFlags, INT* piResult) = 0;
    virtual HRESULT KX_STDCALL DrvGetStandardVariable(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pBuffer,
                                                      DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT KX_STDCALL DrvGetGPDData(PDEVOBJ pdevobj, DWORD dwType, PVOID pInputData,
                                             PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT KX_STDCALL DrvUniTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                             CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                                             BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque,
                                             POINTL* pptlBrushOrg, MIX mix) = 0;
    virtual HRESULT KX_STDCALL DrvWriteAbortBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                DWORD dwWait) = 0;
};

// Interface and class identifiers.
inline constexpr GUID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID CLSID_OEMRENDER = {
    0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr GUID IID_IPrintOemDriverUni = {
    0xD67EBBF1, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
inline constexpr GUID IID_IPrintOemUni = {
    0xD67EBBF0, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
inline constexpr GUID IID_IPrintOemUni2 = {
    0xB91220AC, 0x15CC, 0x4E7A, {0xA2, 0x1E, 0x95, 0x91, 0xF3, 0x4D, 0x6F, 0x6C}};
