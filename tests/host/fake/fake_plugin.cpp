// A stand-in render plug-in for the host's tests. It answers the driver
// host like the real module (signature, version, devmode size, the three
// DDI hooks) and writes a transcript of every call it receives, one line
// each, into the printer stream through DrvWriteSpoolBuf: the tests read
// exactly what kxrender handed over, in the order it did.
//
// It links its own copy of the simulated Windows, as the real module does,
// so that a failed spooler write shows the last error the host left behind.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/devmode.h"
#include "platform/platform.h"
#include "platform/unidrv.h"

namespace {

IPrintOemDriverUni* gHelper = nullptr;
std::string gPending;  // lines written before the helper arrived
DEVOBJ* gDevobj = nullptr;
PFN_DrvTextOut gHostTextOut = nullptr;
long gObjects = 0;

void Line(const std::string& text)
{
    std::string line = text + "\n";
    if (!gHelper) {
        gPending += line;
        return;
    }
    DWORD written = 0;
    HRESULT hr =
        gHelper->DrvWriteSpoolBuf(gDevobj, line.data(), static_cast<DWORD>(line.size()), &written);
    if (FAILED(hr)) {
        // Reported once per failure through the abort path, with the last
        // error the spooler write left.
        char abort[96];
        std::snprintf(abort, sizeof(abort), "write failed 0x%08X, last error %u\n",
                      static_cast<unsigned>(hr), kx::plat::GetLastError());
        gHelper->DrvWriteAbortBuf(gDevobj, abort, static_cast<DWORD>(std::strlen(abort)), 100);
    }
}

std::string Num(long long v)
{
    return std::to_string(v);
}

std::string Utf8(const WCHAR* s, std::size_t n)
{
    std::string out;
    for (std::size_t i = 0; i < n && s[i]; ++i)
        out.push_back(s[i] < 0x80 ? static_cast<char>(s[i]) : '?');
    return out;
}

template <class F>
F Engine(const char* name)
{
    return reinterpret_cast<F>(kx::plat::ResolveEngineCall(name));
}

BOOL KX_STDCALL FakeStartDoc(SURFOBJ* pso, PWSTR doc, DWORD jobId)
{
    Line("StartDoc job=" + Num(jobId) + " doc=" + Utf8(doc, 64) +
         " dhpdev=" + (pso && pso->dhpdev == gDevobj ? "devobj" : "other"));
    return TRUE;
}

ULONG KX_STDCALL FakeEscape(SURFOBJ*, ULONG iEsc, ULONG, PVOID, ULONG, PVOID)
{
    Line("Escape " + Num(iEsc));
    return 0;
}

BOOL KX_STDCALL FakeTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                            RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                            BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix)
{
    auto enumStart = Engine<PFN_STROBJ_vEnumStart>("STROBJ_vEnumStart");
    auto enumPositions = Engine<PFN_STROBJ_bEnumPositionsOnly>("STROBJ_bEnumPositionsOnly");
    auto pifi = Engine<PFN_FONTOBJ_pifi>("FONTOBJ_pifi");
    std::string line = "TextOut \"" + Utf8(pstro->pwszOrg, pstro->cGlyphs) +
                       "\" glyphs=" + Num(pstro->cGlyphs) + " pgp=" + (pstro->pgp ? "1" : "0");
    // The positions, as a plug-in enumerates them.
    enumStart(pstro);
    std::string batches, positions;
    ULONG count = 0;
    GLYPHPOS* pgp = nullptr;
    BOOL more;
    do {
        more = enumPositions(pstro, &count, &pgp);
        batches += (batches.empty() ? "" : ",") + Num(count);
        for (ULONG i = 0; i < count; ++i)
            positions += " " + Num(pgp[i].ptl.x) + "," + Num(pgp[i].ptl.y);
    } while (more);
    const IFIMETRICS* ifi = pifi(pfo);
    const auto* base = reinterpret_cast<const BYTE*>(ifi);
    const auto* face = reinterpret_cast<const WCHAR*>(base + ifi->dpwszFaceName);
    char hex[64];
    std::snprintf(hex, sizeof(hex), " type=0x%X accel=0x%X fore=0x%06X",
                  static_cast<unsigned>(pfo->flFontType), static_cast<unsigned>(pstro->flAccel),
                  static_cast<unsigned>(pboFore->iSolidColor));
    line += " batches=" + batches + " at" + positions + " face=" + Utf8(face, 32) +
            " iFace=" + Num(pfo->iFace) + hex + " em=" + Num(ifi->fwdUnitsPerEm) +
            " weight=" + Num(ifi->usWinWeight) + " box=" + Num(pstro->rclBkGround.left) + "," +
            Num(pstro->rclBkGround.top) + "," + Num(pstro->rclBkGround.right) + "," +
            Num(pstro->rclBkGround.bottom) + " opaque=" + (prclOpaque ? "1" : "0") +
            " clip=" + Num(pco->rclBounds.right) + "x" + Num(pco->rclBounds.bottom) +
            " mix=" + Num(mix) + " surface=" + (pso->dhpdev == gDevobj ? "devobj" : "other");
    Line(line);
    // TrueType text goes back to the host; device-font text is taken.
    if (pfo->flFontType & FO_TYPE_TRUETYPE)
        return gHostTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque,
                            pptlOrg, mix);
    return TRUE;
}

DRVFN gHooks[] = {
    {INDEX_DrvTextOut, reinterpret_cast<PFN>(&FakeTextOut)},
    {INDEX_DrvEscape, reinterpret_cast<PFN>(&FakeEscape)},
    {INDEX_DrvStartDoc, reinterpret_cast<PFN>(&FakeStartDoc)},
};

struct FakeDevice {
    int unused;
};
FakeDevice gDevice;

class FakePlugin final : public IPrintOemUni2 {
public:
    FakePlugin() { ++gObjects; }
    ~FakePlugin() { --gObjects; }

    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPrintOemUni) ||
            IsEqualGUID(riid, IID_IPrintOemUni2)) {
            *ppv = static_cast<IPrintOemUni2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG KX_STDCALL AddRef() override { return ++refs_; }
    ULONG KX_STDCALL Release() override
    {
        ULONG left = --refs_;
        if (left == 0) {
            Line("Release");
            delete this;
        }
        return left;
    }
    HRESULT KX_STDCALL GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override
    {
        Line("GetInfo " + Num(dwMode) + " cb=" + Num(cbSize));
        *pcbNeeded = 4;
        DWORD v = dwMode == OEMGI_GETSIGNATURE ? KX_SIGNATURE : KX_DEVMODE_VERSION;
        std::memcpy(pBuffer, &v, 4);
        return S_OK;
    }
    HRESULT KX_STDCALL DevMode(DWORD dwMode, POEMDMPARAM p) override
    {
        std::string line = "DevMode " + Num(dwMode);
        if (dwMode == OEMDM_SIZE) p->cbBufSize = sizeof(KX_DEVMODE);
        if (dwMode == OEMDM_DEFAULT) {
            KX_DEVMODE dm{};
            dm.dwSize = sizeof(dm);
            dm.dwSignature = KX_SIGNATURE;
            dm.dwVersion = KX_DEVMODE_VERSION;
            dm.dwGap = 20;
            dm.wSkalierung = 100;
            std::memcpy(p->pOEMDMOut, &dm, sizeof(dm));
        }
        if (dwMode == OEMDM_MERGE) {
            KX_DEVMODE dm;
            std::memcpy(&dm, p->pOEMDMIn, sizeof(dm));
            const DEVMODEW* pub = p->pPublicDMIn;
            line += " private " + Num(dm.dmPaperLength) + "x" + Num(dm.dmPaperWidth) +
                    " orient=" + Num(dm.dmOrientation) + " gap=" + Num(dm.dwGap) +
                    " dpi=" + Num(dm.FixedData.wMasterUnit) +
                    " head=" + Num(dm.FixedData.dwHeadWidthByte) +
                    " max=" + Num(dm.FixedData.lMaxSizeX) + "x" + Num(dm.FixedData.lMaxSizeY) +
                    " quality=" + Num(dm.FixedData.bQuality) +
                    " marker=" + (HasValidMarker(dm) ? "1" : "0") + " version=" + Num(dm.wVersion) +
                    " public " + Num(pub->dmPaperLength) + "x" + Num(pub->dmPaperWidth) +
                    " orient=" + Num(pub->dmOrientation) + " copies=" + Num(pub->dmCopies) +
                    " extra=" + Num(pub->dmDriverExtra) +
                    " same=" + (std::memcmp(p->pOEMDMIn, p->pOEMDMOut, sizeof(dm)) ? "0" : "1");
        }
        Line(line);
        return S_OK;
    }
    HRESULT KX_STDCALL EnableDriver(DWORD version, DWORD cbSize, DRVENABLEDATA* pded) override
    {
        Line("EnableDriver " + Num(version) + " " + Num(cbSize));
        pded->iDriverVersion = 0x30100;
        pded->c = 3;
        pded->pdrvfn = gHooks;
        return S_OK;
    }
    HRESULT KX_STDCALL DisableDriver() override
    {
        Line("DisableDriver");
        if (gHelper) gHelper->Release();
        gHelper = nullptr;
        return S_OK;
    }
    HRESULT KX_STDCALL EnablePDEV(PDEVOBJ pdevobj, PWSTR name, ULONG, HSURF*, ULONG, GDIINFO* gi,
                                  ULONG, DEVINFO* di, DRVENABLEDATA* pded,
                                  PDEVOEM* pDevOem) override
    {
        gDevobj = pdevobj;
        for (ULONG i = 0; i < pded->c; ++i)
            if (pded->pdrvfn[i].iFunc == INDEX_DrvTextOut)
                gHostTextOut = reinterpret_cast<PFN_DrvTextOut>(pded->pdrvfn[i].pfn);
        Line("EnablePDEV " + Utf8(name, 64) + " bpp=" + Num(gi->cBitsPixel) +
             " colors=" + Num(gi->ulNumColors) + " res=" + Num(gi->ulHorzRes) + "x" +
             Num(gi->ulVertRes) + " dpi=" + Num(gi->ulLogPixelsX) + " fonts=" + Num(di->cFonts) +
             " printer=" + (pdevobj->hPrinter ? "1" : "0"));
        *pDevOem = &gDevice;
        return S_OK;
    }
    HRESULT KX_STDCALL DisablePDEV(PDEVOBJ pdevobj) override
    {
        Line(std::string("DisablePDEV ") + (pdevobj->pdevOEM == &gDevice ? "device" : "other"));
        return S_OK;
    }
    HRESULT KX_STDCALL ResetPDEV(PDEVOBJ, PDEVOBJ) override { return S_OK; }
    HRESULT KX_STDCALL PublishDriverInterface(IUnknown* pIUnknown) override
    {
        void* pv = nullptr;
        pIUnknown->QueryInterface(IID_IPrintOemDriverUni, &pv);
        gHelper = static_cast<IPrintOemDriverUni*>(pv);
        std::string pending;
        pending.swap(gPending);
        Line(pending + "PublishDriverInterface");
        return S_OK;
    }
    HRESULT KX_STDCALL GetImplementedMethod(PSTR name) override
    {
        bool yes = !std::strcmp(name, "CommandCallback") || !std::strcmp(name, "ImageProcessing") ||
                   !std::strcmp(name, "FilterGraphics");
        if (yes) Line(std::string("GetImplementedMethod ") + name);
        return yes ? S_OK : S_FALSE;
    }
    HRESULT KX_STDCALL DriverDMS(PVOID, PVOID, DWORD, PDWORD) override { return S_OK; }
    HRESULT KX_STDCALL CommandCallback(PDEVOBJ pdevobj, DWORD id, DWORD count, PDWORD params,
                                       INT* piResult) override
    {
        std::string line = "CC " + Num(id);
        for (DWORD i = 0; i < count; ++i) line += " " + Num(params[i]);
        if (pdevobj != gDevobj) line += " (other devobj)";
        Line(line);
        *piResult = count ? static_cast<INT>(params[0]) : 0;
        // Id 23 stands for a command the printer description does not know.
        return id == 23 ? E_FAIL : S_OK;
    }
    HRESULT KX_STDCALL ImageProcessing(PDEVOBJ, PBYTE bits, PBITMAPINFOHEADER h, PBYTE table,
                                       DWORD id, PIPPARAMS ip, PBYTE* ppbResult) override
    {
        // Dark pixels of the band and the first row that has one.
        int stride = static_cast<int>((h->biWidth * h->biBitCount + 31) / 32 * 4);
        long dark = 0;
        int firstRow = -1;
        for (int y = 0; y < h->biHeight; ++y) {
            const BYTE* row = bits + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < h->biWidth; ++x) {
                bool isDark = h->biBitCount == 1 ? !((row[x / 8] >> (7 - x % 8)) & 1)
                              : h->biBitCount == 8
                                  ? row[x] < 128
                                  : row[x * 3] + row[x * 3 + 1] + row[x * 3 + 2] < 384;
                if (isDark) {
                    ++dark;
                    if (firstRow < 0) firstRow = y;
                }
            }
        }
        Line("ImageProcessing id=" + Num(id) + " " + Num(h->biWidth) + "x" + Num(h->biHeight) +
             " bpp=" + Num(h->biBitCount) + " size=" + Num(h->biSizeImage) + " clr=" +
             Num(h->biClrUsed) + " table=" + (table ? "1" : "0") + " at=" + Num(ip->ptOffset.x) +
             "," + Num(ip->ptOffset.y) + " banding=" + Num(ip->bBanding) +
             " blank=" + Num(ip->bBlankBand) + " dark=" + Num(dark) + " firstrow=" + Num(firstRow));
        *ppbResult = reinterpret_cast<PBYTE>(1);
        return S_OK;
    }
    HRESULT KX_STDCALL FilterGraphics(PDEVOBJ, PBYTE buf, DWORD len) override
    {
        std::string hex;
        for (DWORD i = 0; i < len; ++i) {
            char b[4];
            std::snprintf(b, sizeof(b), "%02X", buf[i]);
            hex += b;
        }
        Line("FilterGraphics " + hex);
        return S_OK;
    }
    HRESULT KX_STDCALL Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE,
                                       DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL MemoryUsage(PDEVOBJ, POEMMEMORYUSAGE) override { return E_NOTIMPL; }
    HRESULT KX_STDCALL TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DownloadFontHeader(PDEVOBJ, PUNIFONTOBJ, DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL DownloadCharGlyph(PDEVOBJ, PUNIFONTOBJ, HGLYPH, PDWORD, DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL TTDownloadMethod(PDEVOBJ, PUNIFONTOBJ, DWORD*) override { return E_NOTIMPL; }
    HRESULT KX_STDCALL OutputCharStr(PDEVOBJ, PUNIFONTOBJ, DWORD, DWORD, PVOID) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL SendFontCmd(PDEVOBJ, PUNIFONTOBJ, PFINVOCATION) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL TextOutAsBitmap(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                       BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) override
    {
        return E_NOTIMPL;
    }
    HRESULT KX_STDCALL WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 1;
};

class FakeFactory final : public IClassFactory {
public:
    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG KX_STDCALL AddRef() override { return ++refs_; }
    ULONG KX_STDCALL Release() override
    {
        ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }
    HRESULT KX_STDCALL CreateInstance(IUnknown*, REFIID riid, void** ppv) override
    {
        auto* p = new FakePlugin;
        HRESULT hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }
    HRESULT KX_STDCALL LockServer(BOOL) override { return S_OK; }

private:
    ULONG refs_ = 1;
};

}  // namespace

KX_EXPORT HRESULT KX_STDCALL DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (!IsEqualGUID(clsid, CLSID_OEMRENDER)) return CLASS_E_CLASSNOTAVAILABLE;
    // The module stays loaded between the runs of a test program: a new
    // client starts a new transcript.
    gPending.clear();
    auto* f = new FakeFactory;
    HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
}

KX_EXPORT HRESULT KX_STDCALL DllCanUnloadNow()
{
    return gObjects == 0 ? S_OK : S_FALSE;
}
