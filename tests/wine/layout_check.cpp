// Compares the plug-in's own declarations of the Windows boundary types with
// the system headers: size and alignment of every record, offset and size of
// every field, the values of the constants, the interface identifiers and the
// slot order of IUnknown and IClassFactory.
//
// The project headers reuse the Windows names, so they are read into
// namespace kxb before <windows.h> is seen. Many of the constants are macros
// in the system headers; their project values are captured before those
// macros exist (v_<name>), and compared with the macros afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace kxb {
#include "platform/unidrv.h"
}

// Integral constants declared by both sides.
#define KX_CONSTANTS(X)              \
    X(S_OK)                          \
    X(S_FALSE)                       \
    X(E_NOTIMPL)                     \
    X(E_NOINTERFACE)                 \
    X(E_POINTER)                     \
    X(E_FAIL)                        \
    X(E_OUTOFMEMORY)                 \
    X(E_INVALIDARG)                  \
    X(CLASS_E_NOAGGREGATION)         \
    X(CLASS_E_CLASSNOTAVAILABLE)     \
    X(STRSAFE_E_INSUFFICIENT_BUFFER) \
    X(ERROR_SUCCESS)                 \
    X(ERROR_FILE_NOT_FOUND)          \
    X(ERROR_PATH_NOT_FOUND)          \
    X(ERROR_ACCESS_DENIED)           \
    X(ERROR_INVALID_HANDLE)          \
    X(ERROR_NOT_ENOUGH_MEMORY)       \
    X(ERROR_HANDLE_EOF)              \
    X(ERROR_NOT_SUPPORTED)           \
    X(ERROR_PRINT_CANCELLED)         \
    X(ERROR_FILE_EXISTS)             \
    X(ERROR_INVALID_PARAMETER)       \
    X(ERROR_DISK_FULL)               \
    X(ERROR_INSUFFICIENT_BUFFER)     \
    X(ERROR_ALREADY_EXISTS)          \
    X(ERROR_MORE_DATA)               \
    X(ERROR_NO_MORE_ITEMS)           \
    X(ERROR_INVALID_PRINTER_NAME)    \
    X(CCHDEVICENAME)                 \
    X(CCHFORMNAME)                   \
    X(DM_ORIENTATION)                \
    X(DM_PAPERSIZE)                  \
    X(DM_PAPERLENGTH)                \
    X(DM_PAPERWIDTH)                 \
    X(DM_SCALE)                      \
    X(DM_COPIES)                     \
    X(DM_COLOR)                      \
    X(DM_COLLATE)                    \
    X(DMORIENT_PORTRAIT)             \
    X(DMORIENT_LANDSCAPE)            \
    X(DMCOLOR_MONOCHROME)            \
    X(DMCOLOR_COLOR)                 \
    X(DMPAPER_USER)                  \
    X(BI_RGB)                        \
    X(FM_SEL_ITALIC)                 \
    X(FM_SEL_BOLD)                   \
    X(FO_TYPE_RASTER)                \
    X(FO_TYPE_DEVICE)                \
    X(FO_TYPE_TRUETYPE)              \
    X(FO_SIM_BOLD)                   \
    X(FO_SIM_ITALIC)                 \
    X(GCAPS_FONT_RASTERIZER)         \
    X(INDEX_DrvTextOut)              \
    X(INDEX_DrvEscape)               \
    X(INDEX_DrvStartDoc)             \
    X(PAL_INDEXED)                   \
    X(PAL_BITFIELDS)                 \
    X(PAL_RGB)                       \
    X(PAL_BGR)

// Declared before <windows.h>, whose macros (REFIID, S_OK...) would rewrite them.
namespace captured {
#define KX_CAPTURE(name) constexpr long long v_##name = static_cast<long long>(kxb::name);
KX_CONSTANTS(KX_CAPTURE)
#undef KX_CAPTURE
inline kxb::HANDLE InvalidHandleValue()
{
    return kxb::INVALID_HANDLE_VALUE;
}
}  // namespace captured

namespace kxb {
// An object built on the plug-in's interface declaration and called through
// the system's: each call must land in the method of the same name.
class SlotProbe final : public IClassFactory {
public:
    const char* last = "";
    HRESULT KX_STDCALL QueryInterface(REFIID, void**) override
    {
        last = "QueryInterface";
        return 0;
    }
    ULONG KX_STDCALL AddRef() override
    {
        last = "AddRef";
        return 0;
    }
    ULONG KX_STDCALL Release() override
    {
        last = "Release";
        return 0;
    }
    HRESULT KX_STDCALL CreateInstance(IUnknown*, REFIID, void**) override
    {
        last = "CreateInstance";
        return 0;
    }
    HRESULT KX_STDCALL LockServer(BOOL) override
    {
        last = "LockServer";
        return 0;
    }
};
}  // namespace kxb

// ---------------------------------------------------------------------------
// From here on the system's declarations are visible.
// Order matters: <winddi.h> and <strsafe.h> build on <windows.h>.
#include <windows.h>

#include <winddi.h>

#define STRSAFE_NO_DEPRECATE
#include <strsafe.h>

// Field lists: every field the plug-in declares, in declaration order.
// clang-format off
#define KX_FIELDS_GUID(F) F(Data1) F(Data2) F(Data3) F(Data4)
#define KX_FIELDS_POINTL(F) F(x) F(y)
#define KX_FIELDS_SIZEL(F) F(cx) F(cy)
#define KX_FIELDS_RECTL(F) F(left) F(top) F(right) F(bottom)
#define KX_FIELDS_SYSTEMTIME(F) \
    F(wYear) F(wMonth) F(wDayOfWeek) F(wDay) F(wHour) F(wMinute) F(wSecond) F(wMilliseconds)
#define KX_FIELDS_DEVMODEW(F) \
    F(dmDeviceName) F(dmSpecVersion) F(dmDriverVersion) F(dmSize) F(dmDriverExtra) \
    F(dmFields) F(dmOrientation) F(dmPaperSize) F(dmPaperLength) F(dmPaperWidth) F(dmScale) \
    F(dmCopies) F(dmDefaultSource) F(dmPrintQuality) F(dmColor) F(dmDuplex) \
    F(dmYResolution) F(dmTTOption) F(dmCollate) F(dmFormName) F(dmLogPixels) \
    F(dmBitsPerPel) F(dmPelsWidth) F(dmPelsHeight) F(dmNup) F(dmDisplayFrequency) \
    F(dmICMMethod) F(dmICMIntent) F(dmMediaType) F(dmDitherType) F(dmReserved1) \
    F(dmReserved2) F(dmPanningWidth) F(dmPanningHeight)
#define KX_FIELDS_BITMAPFILEHEADER(F) \
    F(bfType) F(bfSize) F(bfReserved1) F(bfReserved2) F(bfOffBits)
#define KX_FIELDS_BITMAPINFOHEADER(F) \
    F(biSize) F(biWidth) F(biHeight) F(biPlanes) F(biBitCount) F(biCompression) \
    F(biSizeImage) F(biXPelsPerMeter) F(biYPelsPerMeter) F(biClrUsed) F(biClrImportant)
#define KX_FIELDS_RGBQUAD(F) F(rgbBlue) F(rgbGreen) F(rgbRed) F(rgbReserved)
#define KX_FIELDS_PALETTEENTRY(F) F(peRed) F(peGreen) F(peBlue) F(peFlags)
#define KX_FIELDS_LOGFONTW(F) \
    F(lfHeight) F(lfWidth) F(lfEscapement) F(lfOrientation) F(lfWeight) F(lfItalic) \
    F(lfUnderline) F(lfStrikeOut) F(lfCharSet) F(lfOutPrecision) F(lfClipPrecision) \
    F(lfQuality) F(lfPitchAndFamily) F(lfFaceName)
#define KX_FIELDS_PANOSE(F) \
    F(bFamilyType) F(bSerifStyle) F(bWeight) F(bProportion) F(bContrast) \
    F(bStrokeVariation) F(bArmStyle) F(bLetterform) F(bMidline) F(bXHeight)
#define KX_FIELDS_IFIMETRICS(F) \
    F(cjThis) F(cjIfiExtra) F(dpwszFamilyName) F(dpwszStyleName) F(dpwszFaceName) \
    F(dpwszUniqueName) F(dpFontSim) F(lEmbedId) F(lItalicAngle) F(lCharBias) F(dpCharSets) \
    F(jWinCharSet) F(jWinPitchAndFamily) F(usWinWeight) F(flInfo) F(fsSelection) F(fsType) \
    F(fwdUnitsPerEm) F(fwdLowestPPEm) F(fwdWinAscender) F(fwdWinDescender) \
    F(fwdMacAscender) F(fwdMacDescender) F(fwdMacLineGap) F(fwdTypoAscender) \
    F(fwdTypoDescender) F(fwdTypoLineGap) F(fwdAveCharWidth) F(fwdMaxCharInc) \
    F(fwdCapHeight) F(fwdXHeight) F(fwdSubscriptXSize) F(fwdSubscriptYSize) \
    F(fwdSubscriptXOffset) F(fwdSubscriptYOffset) F(fwdSuperscriptXSize) \
    F(fwdSuperscriptYSize) F(fwdSuperscriptXOffset) F(fwdSuperscriptYOffset) \
    F(fwdUnderscoreSize) F(fwdUnderscorePosition) F(fwdStrikeoutSize) \
    F(fwdStrikeoutPosition) F(chFirstChar) F(chLastChar) F(chDefaultChar) F(chBreakChar) \
    F(wcFirstChar) F(wcLastChar) F(wcDefaultChar) F(wcBreakChar) F(ptlBaseline) \
    F(ptlAspect) F(ptlCaret) F(rclFontBox) F(achVendId) F(cKerningPairs) F(ulPanoseCulture) \
    F(panose) F(Align)
#define KX_FIELDS_GLYPHPOS(F) F(hg) F(pgdf) F(ptl)
#define KX_FIELDS_STROBJ(F) F(cGlyphs) F(flAccel) F(ulCharInc) F(rclBkGround) F(pgp) F(pwszOrg)
#define KX_FIELDS_FONTOBJ(F) \
    F(iUniq) F(iFace) F(cxMax) F(flFontType) F(iTTUniq) F(iFile) F(sizLogResPpi) \
    F(ulStyleSize) F(pvConsumer) F(pvProducer)
#define KX_FIELDS_SURFOBJ(F) \
    F(dhsurf) F(hsurf) F(dhpdev) F(hdev) F(sizlBitmap) F(cjBits) F(pvBits) F(pvScan0) \
    F(lDelta) F(iUniq) F(iBitmapFormat) F(iType) F(fjBitmap)
#define KX_FIELDS_CLIPOBJ(F) \
    F(iUniq) F(rclBounds) F(iDComplexity) F(iFComplexity) F(iMode) F(fjOptions)
#define KX_FIELDS_BRUSHOBJ(F) F(iSolidColor) F(pvRbrush) F(flColorType)
#define KX_FIELDS_CIECHROMA(F) F(x) F(y) F(Y)
#define KX_FIELDS_COLORINFO(F) \
    F(Red) F(Green) F(Blue) F(Cyan) F(Magenta) F(Yellow) F(AlignmentWhite) F(RedGamma) \
    F(GreenGamma) F(BlueGamma) F(MagentaInCyanDye) F(YellowInCyanDye) F(CyanInMagentaDye) \
    F(YellowInMagentaDye) F(CyanInYellowDye) F(MagentaInYellowDye)
#define KX_FIELDS_GDIINFO(F) \
    F(ulVersion) F(ulTechnology) F(ulHorzSize) F(ulVertSize) F(ulHorzRes) F(ulVertRes) \
    F(cBitsPixel) F(cPlanes) F(ulNumColors) F(flRaster) F(ulLogPixelsX) F(ulLogPixelsY) \
    F(flTextCaps) F(ulDACRed) F(ulDACGreen) F(ulDACBlue) F(ulAspectX) F(ulAspectY) \
    F(ulAspectXY) F(xStyleStep) F(yStyleStep) F(denStyleStep) F(ptlPhysOffset) \
    F(szlPhysSize) F(ulNumPalReg) F(ciDevice) F(ulDevicePelsDPI) F(ulPrimaryOrder) \
    F(ulHTPatternSize) F(ulHTOutputFormat) F(flHTFlags) F(ulVRefresh) F(ulBltAlignment) \
    F(ulPanningHorzRes) F(ulPanningVertRes) F(xPanningAlignment) F(yPanningAlignment) \
    F(cxHTPat) F(cyHTPat) F(pHTPatA) F(pHTPatB) F(pHTPatC) F(flShadeBlend) \
    F(ulPhysicalPixelCharacteristics) F(ulPhysicalPixelGamma)
#define KX_FIELDS_DEVINFO(F) \
    F(flGraphicsCaps) F(lfDefaultFont) F(lfAnsiVarFont) F(lfAnsiFixFont) F(cFonts) \
    F(iDitherFormat) F(cxDither) F(cyDither) F(hpalDefault) F(flGraphicsCaps2)
#define KX_FIELDS_DRVFN(F) F(iFunc) F(pfn)
#define KX_FIELDS_DRVENABLEDATA(F) F(iDriverVersion) F(c) F(pdrvfn)
// clang-format on

namespace {

int g_checks = 0;
int g_failures = 0;

// One record: collects its mismatches and prints one PASS line or the FAILs.
class Record {
public:
    Record(const char* name, std::size_t ourSize, std::size_t sysSize, std::size_t ourAlign,
           std::size_t sysAlign)
        : name_(name), size_(sysSize)
    {
        Compare("size", ourSize, sysSize);
        Compare("alignment", ourAlign, sysAlign);
    }
    ~Record()
    {
        if (failures_ == 0) std::printf("PASS %s: size %zu, %d fields\n", name_, size_, fields_);
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    void Field(const char* field, std::size_t ourOffset, std::size_t sysOffset, std::size_t ourSize,
               std::size_t sysSize)
    {
        ++fields_;
        char what[96];
        std::snprintf(what, sizeof what, "%s offset", field);
        Compare(what, ourOffset, sysOffset);
        std::snprintf(what, sizeof what, "%s size", field);
        Compare(what, ourSize, sysSize);
    }

private:
    void Compare(const char* what, std::size_t ours, std::size_t sys)
    {
        ++g_checks;
        if (ours == sys) return;
        ++failures_;
        ++g_failures;
        std::printf("FAIL %s %s: ours %zu, system %zu\n", name_, what, ours, sys);
    }

    const char* name_;
    std::size_t size_;
    int fields_ = 0;
    int failures_ = 0;
};

void Expect(bool ok, const char* what)
{
    ++g_checks;
    if (!ok) {
        ++g_failures;
        std::printf("FAIL %s\n", what);
    }
}

void CompareConstant(const char* name, long long ours, long long sys)
{
    ++g_checks;
    if (ours == sys) return;
    ++g_failures;
    std::printf("FAIL constant %s: ours %lld (0x%llx), system %lld (0x%llx)\n", name, ours,
                static_cast<unsigned long long>(ours), sys, static_cast<unsigned long long>(sys));
}

template <class Ours, class Sys>
void CompareScalar(const char* name)
{
    ++g_checks;
    if (sizeof(Ours) == sizeof(Sys) && std::is_signed_v<Ours> == std::is_signed_v<Sys>) return;
    ++g_failures;
    std::printf("FAIL type %s: ours %zu bytes %s, system %zu bytes %s\n", name, sizeof(Ours),
                std::is_signed_v<Ours> ? "signed" : "unsigned", sizeof(Sys),
                std::is_signed_v<Sys> ? "signed" : "unsigned");
}

#define KX_FIELD(f) \
    rec.Field(#f, offsetof(Ours, f), offsetof(Sys, f), sizeof(Ours::f), sizeof(Sys::f));
#define KX_RECORD(ourType, sysType, fields)                                           \
    do {                                                                              \
        using Ours = kxb::ourType;                                                    \
        using Sys = ::sysType;                                                        \
        Record rec(#ourType, sizeof(Ours), sizeof(Sys), alignof(Ours), alignof(Sys)); \
        fields(KX_FIELD)                                                              \
    } while (0)

void CheckScalars()
{
#define KX_SCALAR(name) CompareScalar<kxb::name, ::name>(#name);
    KX_SCALAR(BYTE)
    KX_SCALAR(WORD)
    KX_SCALAR(DWORD)
    KX_SCALAR(UINT)
    KX_SCALAR(INT)
    KX_SCALAR(ULONG)
    KX_SCALAR(LONG)
    KX_SCALAR(USHORT)
    KX_SCALAR(SHORT)
    KX_SCALAR(FLONG)
    KX_SCALAR(BOOL)
    KX_SCALAR(HRESULT)
    KX_SCALAR(WCHAR)
    KX_SCALAR(ULONG_PTR)
    KX_SCALAR(LONG_PTR)
    KX_SCALAR(SIZE_T)
    KX_SCALAR(MIX)
    KX_SCALAR(HGLYPH)
    KX_SCALAR(FWORD)
    KX_SCALAR(PTRDIFF)
#undef KX_SCALAR
    Expect(sizeof(kxb::HANDLE) == sizeof(::HANDLE), "type HANDLE: size");
    Expect(sizeof(kxb::PFN) == sizeof(::PFN), "type PFN: size");
}

void CheckRecords()
{
    KX_RECORD(GUID, GUID, KX_FIELDS_GUID);
    KX_RECORD(POINT, POINT, KX_FIELDS_POINTL);
    KX_RECORD(POINTL, POINTL, KX_FIELDS_POINTL);
    KX_RECORD(SIZEL, SIZEL, KX_FIELDS_SIZEL);
    KX_RECORD(RECTL, RECTL, KX_FIELDS_RECTL);
    KX_RECORD(SYSTEMTIME, SYSTEMTIME, KX_FIELDS_SYSTEMTIME);
    KX_RECORD(DEVMODEW, DEVMODEW, KX_FIELDS_DEVMODEW);
    KX_RECORD(BITMAPFILEHEADER, BITMAPFILEHEADER, KX_FIELDS_BITMAPFILEHEADER);
    KX_RECORD(BITMAPINFOHEADER, BITMAPINFOHEADER, KX_FIELDS_BITMAPINFOHEADER);
    KX_RECORD(RGBQUAD, RGBQUAD, KX_FIELDS_RGBQUAD);
    KX_RECORD(PALETTEENTRY, PALETTEENTRY, KX_FIELDS_PALETTEENTRY);
    KX_RECORD(LOGFONTW, LOGFONTW, KX_FIELDS_LOGFONTW);
    KX_RECORD(PANOSE, PANOSE, KX_FIELDS_PANOSE);
    KX_RECORD(IFIMETRICS, IFIMETRICS, KX_FIELDS_IFIMETRICS);
    KX_RECORD(GLYPHPOS, GLYPHPOS, KX_FIELDS_GLYPHPOS);
    KX_RECORD(STROBJ, STROBJ, KX_FIELDS_STROBJ);
    KX_RECORD(FONTOBJ, FONTOBJ, KX_FIELDS_FONTOBJ);
    KX_RECORD(SURFOBJ, SURFOBJ, KX_FIELDS_SURFOBJ);
    KX_RECORD(CLIPOBJ, CLIPOBJ, KX_FIELDS_CLIPOBJ);
    KX_RECORD(BRUSHOBJ, BRUSHOBJ, KX_FIELDS_BRUSHOBJ);
    KX_RECORD(CIECHROMA, CIECHROMA, KX_FIELDS_CIECHROMA);
    KX_RECORD(COLORINFO, COLORINFO, KX_FIELDS_COLORINFO);
    KX_RECORD(GDIINFO, GDIINFO, KX_FIELDS_GDIINFO);
    KX_RECORD(DEVINFO, DEVINFO, KX_FIELDS_DEVINFO);
    KX_RECORD(DRVFN, DRVFN, KX_FIELDS_DRVFN);
    KX_RECORD(DRVENABLEDATA, DRVENABLEDATA, KX_FIELDS_DRVENABLEDATA);
}

void CheckConstants()
{
#define KX_COMPARE(name) CompareConstant(#name, captured::v_##name, static_cast<long long>(name));
    KX_CONSTANTS(KX_COMPARE)
#undef KX_COMPARE
    Expect(captured::InvalidHandleValue() == INVALID_HANDLE_VALUE, "constant INVALID_HANDLE_VALUE");
}

void CheckIdentifiers()
{
    Expect(std::memcmp(&kxb::IID_IUnknown, &__uuidof(::IUnknown), sizeof(::GUID)) == 0,
           "IID_IUnknown");
    Expect(std::memcmp(&kxb::IID_IClassFactory, &__uuidof(::IClassFactory), sizeof(::GUID)) == 0,
           "IID_IClassFactory");
}

void CheckSlots()
{
    kxb::SlotProbe probe;
    // Read back through a volatile so that the optimiser cannot see the
    // object's type behind the pointer, as at a real module boundary.
    ::IClassFactory* volatile opaque = reinterpret_cast<::IClassFactory*>(&probe);
    ::IClassFactory* sys = opaque;
    void* out = nullptr;
    auto expectSlot = [&](const char* name) {
        char what[64];
        std::snprintf(what, sizeof what, "IClassFactory slot of %s (reached %s)", name, probe.last);
        Expect(std::strcmp(probe.last, name) == 0, what);
        probe.last = "";
    };
    sys->QueryInterface(__uuidof(::IUnknown), &out);
    expectSlot("QueryInterface");
    sys->AddRef();
    expectSlot("AddRef");
    sys->Release();
    expectSlot("Release");
    sys->CreateInstance(nullptr, __uuidof(::IUnknown), &out);
    expectSlot("CreateInstance");
    sys->LockServer(TRUE);
    expectSlot("LockServer");
}

}  // namespace

int main()
{
    CheckScalars();
    CheckRecords();
    CheckConstants();
    CheckIdentifiers();
    CheckSlots();
    std::printf("%s layout: %d checks, %d differences\n", g_failures ? "FAIL" : "PASS", g_checks,
                g_failures);
    return g_failures ? 1 : 0;
}
