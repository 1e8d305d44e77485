#include "settings/devmodeops.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/regvalues.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "settings/devmodeconv.h"
#include "settings/forms.h"
#include "settings/gpd.h"
#include "settings/registry.h"

namespace kx {

namespace {

// The conversion cache: one record, the printer handle it was read for and a
// marker. Process-wide and unguarded; it serves one printer at a time and is
// reset when the device is disabled.
//
// The cache also keeps whether its read found a record. A handle whose read
// failed is answered from the cache with the same failure, so a repeated
// request leaves the output as the first one did instead of overwriting it
// with the empty cache record.
KX_DEVMODE gKX_DevmodeCache;
HANDLE gKX_HandleGespeichert = INVALID_HANDLE_VALUE;
BOOL gKX_DevmodeGespeichert = FALSE;
BOOL gKX_DevmodeGelesen = FALSE;

// Where the private record of a saved DEVMODE may start, counted back from
// the DEVMODE's end: the sizes of the current and the older layouts.
constexpr DWORD kLayoutSizes[] = {KX_DEVMODE_SIZE, 2216, 2008, 1952};
// When no candidate at the end carries a marker, every start in this window
// of the buffer is tried.
constexpr std::size_t kScanFirst = 1001;
constexpr std::size_t kScanLast = 1200;

// Public DEVMODE fields read from a saved DEVMODE blob.
constexpr std::size_t kDmSizeOffset = offsetof(DEVMODEW, dmSize);
constexpr std::size_t kDmDriverExtraOffset = offsetof(DEVMODEW, dmDriverExtra);

// The largest legacy cutter interval that is moved to its new place.
constexpr WORD kMaxLegacyCutterInterval = 500;

void SetHeader(KX_DEVMODE* pDevmode)
{
    pDevmode->dwSize = KX_DEVMODE_SIZE;
    pDevmode->dwSignature = KX_SIGNATURE;
    pDevmode->dwVersion = KX_DEVMODE_VERSION;
}

// Writes a wide text into a field of the packed record (the field is not
// necessarily aligned, so no typed pointer to it is formed).
template <std::size_t N>
void SetField(KX_DEVMODE* pDevmode, std::size_t offset, const char16_t (&text)[N])
{
    std::memcpy(reinterpret_cast<BYTE*>(pDevmode) + offset, text, N * sizeof(char16_t));
}

// Does the private record starting at byte `start` of a saved DEVMODE carry a
// validity marker? Starts that leave no room for the marker field are not.
bool CandidateHasMarker(const std::vector<BYTE>& blob, long long start)
{
    constexpr std::size_t kPw = offsetof(KX_DEVMODE, szPassword);
    if (start < 0) return false;
    std::size_t s = static_cast<std::size_t>(start);
    if (s > blob.size() || blob.size() - s < kPw + sizeof(WCHAR) * KX_PASSWORD_CHARS) return false;
    WCHAR pw[KX_PASSWORD_CHARS];
    std::memcpy(pw, blob.data() + s + kPw, sizeof(pw));
    return HasValidMarker(pw, KX_PASSWORD_CHARS);
}

// Finds the private record in a saved DEVMODE (public part, the host's own
// private data, the plug-ins' records, ours last). The DEVMODE ends at
// dmSize + dmDriverExtra; the record is tried at the end minus the size of
// the machine's record, of the current layout and of the older ones, and,
// for "DevModes2" only, at every start of the scan window. True with *pStart
// when a candidate carries a marker.
bool FindPrivateRecord(const std::vector<BYTE>& blob, DWORD dwHLMGroesse, bool bPerUserKey,
                       std::size_t* pStart)
{
    if (blob.size() < kDmDriverExtraOffset + sizeof(WORD)) return false;
    WORD dmSize = 0;
    WORD dmDriverExtra = 0;
    std::memcpy(&dmSize, blob.data() + kDmSizeOffset, sizeof(dmSize));
    std::memcpy(&dmDriverExtra, blob.data() + kDmDriverExtraOffset, sizeof(dmDriverExtra));
    const long long end = static_cast<long long>(dmSize) + dmDriverExtra;

    // The candidate sizes in order (a plain array: at most the machine's size,
    // the current size and the older layouts).
    DWORD sizes[2 + std::size(kLayoutSizes)];
    std::size_t count = 0;
    if (dwHLMGroesse) sizes[count++] = dwHLMGroesse;
    sizes[count++] = KX_DEVMODE_SIZE;
    if (!bPerUserKey)
        for (std::size_t i = 1; i < std::size(kLayoutSizes); ++i) sizes[count++] = kLayoutSizes[i];
    for (std::size_t i = 0; i < count; ++i) {
        const DWORD size = sizes[i];
        long long start = end - static_cast<long long>(size);
        if (CandidateHasMarker(blob, start)) {
            Trace(
                u"UNI(devmodeUNI):  ReadDevmodeSettings() Kennung am Ende - %u Bytes, Start: "
                u"%d \r\n",
                size, start);
            *pStart = static_cast<std::size_t>(start);
            return true;
        }
    }
    if (bPerUserKey) return false;
    for (std::size_t start = kScanFirst; start <= kScanLast; ++start) {
        if (CandidateHasMarker(blob, static_cast<long long>(start))) {
            Trace(u"UNI(devmodeUNI):  ReadDevmodeSettings() Kennung gefunden bei Start: %u \r\n",
                  start);
            *pStart = start;
            return true;
        }
    }
    return false;
}

// The model block must be usable: a master unit and head widths.
bool FixedDataMissing(const KX_DEVMODE& dm)
{
    return dm.FixedData.wMasterUnit == 0 || dm.FixedData.wMasterUnit > 600 ||
           dm.FixedData.dwHeadWidthByte == 0 || dm.FixedData.wPrintHeadWidth == 0;
}

void FillFixedDataFromGPD(HANDLE hPrinter, KX_DEVMODE* pDevmode)
{
    plat::DriverInfo driver;
    if (!plat::GetPrinterDriver(hPrinter, &driver) || driver.dataFile.empty()) {
        Trace(u"ERROR UNI(devmodeUNI):  ReadDevmodeSettings() kein GPD: %u \r\n",
              plat::GetLastError());
        return;
    }
    DWORD dwDocFeatures = pDevmode->FixedData.dwDocFeatures;
    GetFixedPrinterSettingsFromGPD(nullptr, pDevmode, &dwDocFeatures, driver.dataFile.c_str());
    pDevmode->FixedData.dwDocFeatures = dwDocFeatures;
    Trace(
        u"UNI(devmodeUNI):  ReadDevmodeSettings() FixedData aus %s - wMasterUnit: %u, "
        u"dwHeadWidthByte: %u \r\n",
        driver.dataFile, pDevmode->FixedData.wMasterUnit, pDevmode->FixedData.dwHeadWidthByte);
}

// The user's saved DEVMODE: "Printers\DevModes2", else "Printers\DevModePerUser".
// True with the private record copied into *pRecord (which is zero before).
bool ReadUserDevmode(const std::u16string& name, DWORD dwHLMGroesse, KX_DEVMODE* pRecord)
{
    if (name.empty()) return false;
    std::uint32_t userSize = 0;
    if (plat::RegGetValue(plat::Hive::CurrentUser, reg::kDevModes2Key, name, nullptr, nullptr,
                          &userSize) != ERROR_SUCCESS ||
        userSize == 0) {
        userSize = 0;
        if (plat::RegGetValue(plat::Hive::CurrentUser, reg::kDevModePerUserKey, name, nullptr,
                              nullptr, &userSize) != ERROR_SUCCESS)
            userSize = 0;
    }
    Trace(u"UNI(devmodeUNI):  ReadDevmodeSettings() %s - Groesse HKCU: %u, dwHLMGroesse: %u \r\n",
          name, userSize, dwHLMGroesse);
    if (userSize <= 4) return false;

    std::vector<BYTE> blob;
    bool bPerUserKey = false;
    DWORD rc = ReadRegistryValue(plat::Hive::CurrentUser, reg::kDevModes2Key, name, &blob);
    if (rc != ERROR_SUCCESS) {
        bPerUserKey = true;
        rc = ReadRegistryValue(plat::Hive::CurrentUser, reg::kDevModePerUserKey, name, &blob);
    }
    if (rc != ERROR_SUCCESS) {
        Trace(u"UNI(devmodeUNI):  ReadDevmodeSettings() HKCU DEVMODE nicht lesbar: %u \r\n", rc);
        return false;
    }
    std::size_t start = 0;
    if (!FindPrivateRecord(blob, dwHLMGroesse, bPerUserKey, &start)) {
        Trace(u"UNI(devmodeUNI):  ReadDevmodeSettings() HKCU DEVMODE ohne Kennung (%u Bytes) \r\n",
              blob.size());
        return false;
    }
    // As much of the record as the DEVMODE's private part and the blob hold,
    // at most one current record. (Taking the machine record's size as the
    // limit would cut a current record short whenever the machine still has an
    // older or no record of its own.)
    WORD dmDriverExtra = 0;
    std::memcpy(&dmDriverExtra, blob.data() + kDmDriverExtraOffset, sizeof(dmDriverExtra));
    std::size_t n = std::min<std::size_t>({dmDriverExtra, sizeof(KX_DEVMODE), blob.size() - start});
    std::memcpy(pRecord, blob.data() + start, n);
    return true;
}

// The printer's own record into *pRecord (cleared first).
bool ReadMachineDevmode(HANDLE hPrinter, KX_DEVMODE* pRecord)
{
    std::memset(pRecord, 0, sizeof(*pRecord));
    std::vector<BYTE> blob;
    DWORD rc = ReadPrinterDataValue(hPrinter, reg::kPrinterDataKey, reg::kPrivateDevmode, &blob);
    if (rc != ERROR_SUCCESS || blob.empty()) {
        Trace(u"ERROR UNI(devmodeUNI):  ReadDevmodeSettings() PrivateDevmode nicht lesbar: %u \r\n",
              rc);
        return false;
    }
    std::memcpy(pRecord, blob.data(), std::min<std::size_t>(blob.size(), sizeof(*pRecord)));
    return true;
}

int ReadDevmodeSettingsImpl(HANDLE hPrinter, KX_DEVMODE* pOut, WCHAR* pszName)
{
    const std::u16string name = RealPrinterName(hPrinter);
    // A printer name that does not fit would name another printer's
    // settings: the caller gets none.
    if (pszName && FAILED(Copy(pszName, kPrinterNameChars, name))) {
        Trace(u"ERROR UNI(DevmodeOps):  ReadDevmodeSettings() Druckername zu lang: %s \r\n", name);
        pszName[0] = 0;
    }

    DWORD dwHLMGroesse = 0;
    if (IsValidHandle(hPrinter)) {
        std::uint32_t needed = 0;
        DWORD rc = plat::GetPrinterDataEx(hPrinter, reg::kPrinterDataKey, reg::kPrivateDevmode,
                                          nullptr, nullptr, 0, &needed);
        if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) dwHLMGroesse = needed;
    }

    KX_DEVMODE rec{};
    bool bUser = ReadUserDevmode(name, dwHLMGroesse, &rec);
    // A record of no known generation stays as it was read and is judged by
    // the checks below like any other.
    if (bUser && rec.wVersion < KX_BODY_VERSION_CURRENT) Devmode_Konverter(&rec);
    if (bUser) {
        if (FixedDataMissing(rec)) FillFixedDataFromGPD(hPrinter, &rec);
        bool bPasswortFehler = !HasValidMarker(rec);
        bUser = rec.dmPaperWidth != 0 && rec.dmPaperSize != 0 && rec.dmPaperLength != 0 &&
                !bPasswortFehler && rec.FixedData.wMasterUnit != 0 &&
                rec.FixedData.dwHeadWidthByte != 0;
        Trace(
            u"UNI(devmodeUNI):  ReadDevmodeSettings() HKCU dmPaperSize: %u, dmPaperLength: %d, "
            u"dmPaperWidth: %d, wMasterUnit: %u, dwHeadWidthByte: %u, bPasswortFehler: %d -> "
            u"%s \r\n",
            rec.dmPaperSize, rec.dmPaperLength, rec.dmPaperWidth, rec.FixedData.wMasterUnit,
            rec.FixedData.dwHeadWidthByte, bPasswortFehler, bUser ? u"HKCU" : u"HKLM");
    }
    if (!bUser && !ReadMachineDevmode(hPrinter, &rec)) return DEVMODE_READ_FAILED;

    if (!pOut) return DEVMODE_READ_FOUND;
    if (!bUser && rec.wVersion < KX_BODY_VERSION_CURRENT) Devmode_Konverter(&rec);
    if (rec.wLegacyCutterInterval >= 1 && rec.wLegacyCutterInterval <= kMaxLegacyCutterInterval) {
        rec.cutter_wInterval = rec.wLegacyCutterInterval;
        rec.wLegacyCutterInterval = 0;
    }
    std::memcpy(pOut, &rec, sizeof(rec));
    return DEVMODE_READ_COPIED;
}

// OEMDM_MERGE: the private record from the saved settings, then the public
// paper, collation and colour fields as the feature tokens ask.
HRESULT MergeDevmode(POEMDMPARAM p)
{
    KX_DEVMODE* priv = static_cast<KX_DEVMODE*>(p->pOEMDMOut);
    const KX_DEVMODE* privIn = static_cast<const KX_DEVMODE*>(p->pOEMDMIn);
    DEVMODEW* out = p->pPublicDMOut;
    const DEVMODEW* in = p->pPublicDMIn;
    HANDLE hPrinter = p->hPrinter;

    const std::u16string name = RealPrinterName(hPrinter);
    DEVMODE_FTKN ftkn{};
    ReadDevmodeFtknSettings(hPrinter, name.c_str(), &ftkn);

    ConvertOEMDevmode(hPrinter, privIn, priv);
    SetHeader(priv);

    switch (ftkn.dwPrioritaet) {
        case 1:  // the private record's label wins
            out->dmOrientation = priv->dmOrientation;
            out->dmPaperSize = static_cast<SHORT>(priv->dmPaperSize & 0xFFFF);
            out->dmPaperWidth = priv->dmPaperWidth;
            out->dmPaperLength = priv->dmPaperLength;
            out->dmFields |= DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;
            out->dmScale = 100;
            break;
        case 2:  // the form of the private record's label wins
            GetFormIDfromSizes(hPrinter, priv, nullptr);
            if (out->dmPaperSize != static_cast<SHORT>(priv->dmPaperSize & 0xFFFF))
                out->dmPaperSize = static_cast<SHORT>(priv->dmPaperSize & 0xFFFF);
            out->dmFields |= DM_PAPERSIZE | DM_SCALE;
            out->dmScale = 100;
            break;
        default: {  // the application's paper settings, made consistent
            const SHORT P = out->dmPaperSize;
            if (P > DMPAPER_USER) {
                if (out->dmPaperLength >= 1 && out->dmPaperWidth >= 1) {
                    out->dmPaperSize =
                        ftkn.wPapierModus == DMPAPER_USER
                            ? DMPAPER_USER
                            : static_cast<SHORT>(GetFormIDfromSizes(hPrinter, out->dmPaperLength,
                                                                    out->dmPaperWidth, nullptr));
                    out->dmFields &= ~(DM_PAPERLENGTH | DM_PAPERWIDTH);
                    out->dmFields |= DM_PAPERSIZE;
                }
            } else if (P == DMPAPER_USER) {
                if (in) {
                    out->dmOrientation = in->dmOrientation;
                    out->dmPaperWidth = in->dmPaperWidth;
                    out->dmPaperLength = in->dmPaperLength;
                }
                out->dmFields |= DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;
            } else if (P >= 1 && in) {
                bool sizeChanged = out->dmPaperLength != in->dmPaperLength ||
                                   out->dmPaperWidth != in->dmPaperWidth;
                if (sizeChanged && P == in->dmPaperSize) {
                    int form =
                        GetFormIDfromSizes(hPrinter, in->dmPaperLength, in->dmPaperWidth, nullptr);
                    if (form > 0 && form != P) {
                        out->dmPaperWidth = in->dmPaperWidth;
                        out->dmPaperLength = in->dmPaperLength;
                        out->dmPaperSize = static_cast<SHORT>(form);
                        priv->dmPaperSize = static_cast<DWORD>(form);
                    }
                } else if (ftkn.wPapierModus == DMPAPER_USER) {
                    out->dmPaperSize = static_cast<SHORT>(
                        GetFormIDfromSizes(hPrinter, in->dmPaperLength, in->dmPaperWidth, nullptr));
                    out->dmFields |= DM_PAPERSIZE;
                }
            }
            out->dmScale = 100;
            break;
        }
    }

    if (ftkn.wCollate == 2) out->dmFields &= ~DM_COLLATE;

    const bool colourModel = (ftkn.dwDocFeatures & 0x800) != 0;
    const bool colourChosen = ftkn.wDruckmodus != 0 || ftkn.wFarbband != 0;
    if (!(colourModel && colourChosen))
        out->dmColor = ftkn.wDruckmodus != 0 ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
    if (ftkn.wFarbmodus == 1 && colourModel && colourChosen) out->dmColor = DMCOLOR_COLOR;

    Trace(
        u"UNI(devmodeUNI):  hrOEMDevMode() OEMDM_MERGE - dwPrioritaet: %u, dmPaperSize: %d, "
        u"dmPaperLength: %d, dmPaperWidth: %d, dmFields: 0x%x, dmColor: %d \r\n",
        ftkn.dwPrioritaet, out->dmPaperSize, out->dmPaperLength, out->dmPaperWidth, out->dmFields,
        out->dmColor);
    return S_OK;
}

}  // namespace

void SetDevmodeDefaults(KX_DEVMODE* pDevmode)
{
    KX_DEVMODE& dm = *pDevmode;
    // What a default record does not decide: the label size, the marker and
    // the model block.
    const DWORD dmPaperSize = dm.dmPaperSize;
    const SHORT dmPaperLength = dm.dmPaperLength;
    const SHORT dmPaperWidth = dm.dmPaperWidth;
    WCHAR szPassword[KX_PASSWORD_CHARS];
    std::memcpy(szPassword,
                reinterpret_cast<const BYTE*>(pDevmode) + offsetof(KX_DEVMODE, szPassword),
                sizeof(szPassword));
    const KX_FIXEDDATA fixed = dm.FixedData;

    std::memset(pDevmode, 0, sizeof(KX_DEVMODE));
    SetHeader(pDevmode);
    dm.dmPaperSize = dmPaperSize;
    dm.dmPaperLength = dmPaperLength;
    dm.dmPaperWidth = dmPaperWidth;
    std::memcpy(reinterpret_cast<BYTE*>(pDevmode) + offsetof(KX_DEVMODE, szPassword), szPassword,
                sizeof(szPassword));
    dm.FixedData = fixed;

    dm.dmOrientation = 1;
    dm.dwGap = 20;
    dm.sMultiColNumber = 1;
    dm.dwMultiLabelWidth = 500;
    dm.dwMultiGapWidth = 20;
    for (int i = 0; i < 10; ++i) dm.wKopieProSeite[i] = 1;
    dm.dwContrast = 100;
    dm.dwSpeed = 100;
    dm.dwSpeed_Lumet_c = 100;
    dm.wBitmapFontZoom = 1;
    dm.wBitmapFontAbstand = 30;
    dm.wBitmapFontZoomY = 1;
    dm.dwColorField1 = 100;
    dm.wColorContrast = 100;
    dm.wHorizontalCorrGap = 50;
    dm.wEmpfindlichkeit = 128;
    dm.wGrafikFilter = 2;
    dm.wDruckmodus = 2;
    dm.wPhotoFilter = 5;
    dm.dwColorTolerance = 90;
    dm.wCutterMode = 8;
    dm.wReserved256 = 7;
    dm.wBelegOffset = 5;
    dm.wBelegFontH1 = 10;
    dm.TearOffOffset = 120;
    dm.wScanPosition = 10;
    dm.wSkalierung = 100;
    SetField(pDevmode, offsetof(KX_DEVMODE, szPrintOrder), u"1");
    SetField(pDevmode, offsetof(KX_DEVMODE, szIdentSign), u"\u00A7");
    for (int i = 0; i < 8; ++i) {
        dm.wZoomX[i] = 100;
        dm.wZoomY[i] = 100;
        dm.wFontID[i] = 100;
    }
    std::memcpy(dm.szDevice, "Device", sizeof(dm.szDevice));
    // The device option block. The unnamed option words and the reserved word
    // at 256 are carried with the values the settings interface and the device
    // option commands expect; their meaning is theirs, not the record's.
    dm.dwOption2000 = 25;
    dm.dwOption2004 = 110;
    dm.cutter_dwInterval = 1;
    dm.cutter_lOffset = 200;
    dm.dwOption2024 = 1200;
    dm.dwOption2040 = 1;
    dm.dwOption2044 = 1;
    dm.dwOption2084 = 500;
    dm.dwOption2088 = 1;
    dm.dwOption2092 = 100;
    dm.dwOption2096 = 1;
    dm.dwOption2104 = 100;
    dm.dwOption2112 = 1;
    dm.dwOption2116 = 50;
    SetHeader(pDevmode);
}

BOOL ConvertOEMDevmode(HANDLE hPrinter, const KX_DEVMODE* pOEMDevIn, KX_DEVMODE* pOEMDevOut)
{
    if (!pOEMDevIn || !pOEMDevOut) {
        Trace(u"ERROR UNI(devmodeUNI):  ConvertOEMDevmode() invalid parameters. \r\n");
        return FALSE;
    }
    if (pOEMDevIn->dwSignature != pOEMDevOut->dwSignature) {
        Trace(
            u"ERROR UNI(devmodeUNI):  ConvertOEMDevmode() Unknown DEVMODE signature, pOEMDMIn "
            u"ignored. \r\n");
    } else {
        if (!gKX_DevmodeGespeichert || gKX_HandleGespeichert != hPrinter) {
            std::memset(&gKX_DevmodeCache, 0, sizeof(gKX_DevmodeCache));
            SetHeader(&gKX_DevmodeCache);
            gKX_DevmodeGelesen =
                ReadDevmodeSettings(hPrinter, &gKX_DevmodeCache, nullptr) == DEVMODE_READ_COPIED;
            gKX_DevmodeGespeichert = TRUE;
            gKX_HandleGespeichert = hPrinter;
        } else {
            Trace(u"UNI(devmodeUNI):  ConvertOEMDevmode() gespeicherter Devmode - gelesen: %d \r\n",
                  gKX_DevmodeGelesen);
        }
        if (gKX_DevmodeGelesen) {
            // Never more than one record, whatever the stored sizes claim.
            std::size_t n = std::min<std::size_t>(
                {gKX_DevmodeCache.dwSize, pOEMDevOut->dwSize, sizeof(KX_DEVMODE)});
            std::memmove(pOEMDevOut, &gKX_DevmodeCache, n);
        }
    }
    SetHeader(pOEMDevOut);
    return TRUE;
}

void ResetDevmodeCache()
{
    gKX_DevmodeGespeichert = FALSE;
    gKX_DevmodeGelesen = FALSE;
    gKX_HandleGespeichert = INVALID_HANDLE_VALUE;
}

int ReadDevmodeSettings(HANDLE hPrinter, KX_DEVMODE* pKX_DevmodeOut, WCHAR* pszPrinterNameOut)
{
    try {
        return ReadDevmodeSettingsImpl(hPrinter, pKX_DevmodeOut, pszPrinterNameOut);
    } catch (const std::bad_alloc&) {
        Trace(u"ERROR UNI(devmodeUNI):  ReadDevmodeSettings() kein Speicher \r\n");
        return DEVMODE_READ_FAILED;
    }
}

BOOL ReadDevmodeFtknSettings(HANDLE hPrinter, const WCHAR* pszPrinterName, DEVMODE_FTKN* pFtkn)
{
    if (!pFtkn) return FALSE;
    std::memset(pFtkn, 0, sizeof(*pFtkn));
    bool found =
        ReadPrinterRecord(hPrinter, pszPrinterName, reg::kDevmodeFtkn, pFtkn, sizeof(*pFtkn));
    Trace(
        u"UNI(devmodeUNI):  ReadDevmodeFtknSettings() dwPrioritaet: %u, wDruckmodus: %u, "
        u"wFarbband: %u, wFarbmodus: %u, dwDocFeatures: 0x%x, wPapierModus: %u, wCollate: %u "
        u"\r\n",
        pFtkn->dwPrioritaet, pFtkn->wDruckmodus, pFtkn->wFarbband, pFtkn->wFarbmodus,
        pFtkn->dwDocFeatures, pFtkn->wPapierModus, pFtkn->wCollate);
    return found ? TRUE : FALSE;
}

HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam)
{
    if (!pOemDMParam || dwMode < OEMDM_SIZE || dwMode > OEMDM_MERGE) {
        Trace(u"ERROR UNI(devmodeUNI):  hrOEMDevMode() ungueltige Parameter - dwMode: %u \r\n",
              dwMode);
        plat::SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    OEMDMPARAM* p = pOemDMParam;
    try {
        switch (dwMode) {
            case OEMDM_SIZE:
                // Always the size of our record. A public devmode that comes
                // with the request does not change it: its dmDriverExtra
                // measures the host's whole private area (its own data and
                // every plug-in's record), and answering that would let the
                // area grow with every round trip.
                p->cbBufSize = KX_DEVMODE_SIZE;
                return S_OK;
            case OEMDM_DEFAULT:
                // A buffer that the host declares smaller than our record is
                // not written into.
                if (!p->pOEMDMOut || (p->cbBufSize != 0 && p->cbBufSize < KX_DEVMODE_SIZE)) {
                    Trace(
                        u"ERROR UNI(devmodeUNI):  hrOEMDevMode() OEMDM_DEFAULT ohne "
                        u"pOEMDMOut - cbBufSize: %u \r\n",
                        p->cbBufSize);
                    return E_FAIL;
                }
                SetDevmodeDefaults(static_cast<KX_DEVMODE*>(p->pOEMDMOut));
                p->cbBufSize = KX_DEVMODE_SIZE;
                return S_OK;
            case OEMDM_CONVERT:
                if (p->pOEMDMIn && p->pOEMDMOut)
                    ConvertOEMDevmode(p->hPrinter, static_cast<const KX_DEVMODE*>(p->pOEMDMIn),
                                      static_cast<KX_DEVMODE*>(p->pOEMDMOut));
                return S_OK;
            default:
                if (!p->pOEMDMIn || !p->pOEMDMOut || !p->pPublicDMOut) {
                    Trace(
                        u"ERROR UNI(devmodeUNI):  hrOEMDevMode() OEMDM_MERGE ungueltige "
                        u"Parameter \r\n");
                    return E_FAIL;
                }
                return MergeDevmode(p);
        }
    } catch (...) {
        Trace(u"ERROR UNI(devmodeUNI):  hrOEMDevMode() Ausnahme - dwMode: %u \r\n", dwMode);
        return E_FAIL;
    }
}

}  // namespace kx
