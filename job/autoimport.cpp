// Decisions of this module:
// - The marker is looked for in the order "<$1>" to "<$5>"; the first one
//   the entry holds names the file.
// - An empty path (no marker, no "XMLDocSetFiles", a slot beyond the stored
//   value or an empty slot) imports nothing. A settings file still left open
//   by another reader is closed: the import reads only the file it names.
// - The label records reuse the job's own senders with the temporary
//   record: SendMaterial as it is, and SendLabelSettings (job/labellayout.h)
//   for gap (or the older label record), alignment, columns, offsets, speed
//   and contrast. Length, width and copies stay those of the job's page.
// - The device parameters follow the job's rules: photocell, shift
//   optimisation and peripherals only when the job sends device parameters
//   (dwSendGerParam 0) - the photocell and shift optimisation, as at the job
//   start, only on the first page -, the device settings only when it sends
//   the label parameters (dwSendEtiParam 0).
// - The default device options record has no reader in this plug-in: it is
//   built and traced for the settings dialog's view of a new installation.
#include "job/autoimport.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/output.h"
#include "core/printerparam.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "job/labellayout.h"
#include "options/deviceparam.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "settings/registry.h"
#include "settings/xmlsettings.h"

namespace kx {

namespace {

constexpr std::size_t kPathChars = 260;
constexpr int kDocFiles = 5;

// A zero-filled block of the process heap, freed with its owner.
struct HeapBlockFree {
    void operator()(void* p) const { FreeHeapBuffer(GetProcessHeapHandle(), p); }
};
template <class T>
using HeapBlock = std::unique_ptr<T, HeapBlockFree>;
template <class T>
HeapBlock<T> NewHeapBlock(DWORD cb, const char16_t* pszName)
{
    return HeapBlock<T>(static_cast<T*>(CreateHeapBuffer(GetProcessHeapHandle(), cb, pszName)));
}

// 1 to 5 for the first marker "<$1>" ... "<$5>" the entry holds, else 0.
int MarkerNumber(std::string_view entry)
{
    for (int k = 1; k <= kDocFiles; ++k) {
        const char marker[] = {'<', '$', static_cast<char>('0' + k), '>', '\0'};
        if (entry.find(marker) != std::string_view::npos) return k;
    }
    return 0;
}

// The path of document settings file nFile (1 to 5) in the registry value
// "XMLDocSetFiles" (five paths of 260 wide characters); empty when the value
// is shorter or the slot empty.
std::u16string DocSettingsPath(const BYTE* pValue, std::size_t cbValue, int nFile)
{
    std::u16string path;
    if (!pValue || nFile < 1 || nFile > kDocFiles) return path;
    const std::size_t first = (nFile - 1) * kPathChars * sizeof(char16_t);
    for (std::size_t i = 0; i < kPathChars; ++i) {
        const std::size_t at = first + i * sizeof(char16_t);
        if (at + sizeof(char16_t) > cbValue) break;
        char16_t c;
        std::memcpy(&c, pValue + at, sizeof(c));
        if (c == u'\0') break;
        path += c;
    }
    return path;
}

// The job writes readable data: an information log or a CSV backup.
bool Readable(const PRN_INTERFACE& pi)
{
    return pi.bLogFileEnable == 1 || pi.bLogFileEnable == 3 || pi.bEnableCSV == 1;
}

// A line of the import into the stream (spooler and first print file).
void SendLine(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, std::string_view text)
{
    SendData(kChannelFirstFile, pdevobj, pUniDrv, text.data(), static_cast<DWORD>(text.size()));
}

// The temporary record from the open settings file: model data (else from
// the GPD), layout, print parameters, material, print job, colour and
// quality (as far as the model has them) and fonts.
void ReadDocSettings(JobContext& ctx, KX_DEVMODE* pDM)
{
    OEM_PDEV* pdev = ctx.Device();
    DWORD dwDocFeatures = ctx.Data()->dwDocFeatures;
    if (GetFixedPrinterSettingsFromXML(pdev, pDM)) {
        if (pDM->FixedData.bQuality == 1) dwDocFeatures |= DOC_FEATURE_QUALITY;
    } else if (ctx.Files()) {
        Trace(u"UNI(AutoImport):  AutoImport() kein HeadWidthByte - GPD \r\n");
        GetFixedPrinterSettingsFromGPD(pdev, pDM, &dwDocFeatures, ctx.Files()->wcGPD_DateiKomplett);
    }
    GetLayoutSizeFromXML(pdev, pDM);
    GetPrintParameterFromXML(pdev, pDM);
    GetMaterialMulticolFromXML(pdev, pDM);
    GetPrintjobFromXML(pdev, pDM);
    if (dwDocFeatures & DOC_FEATURE_COLORPRINT) GetColorPrintFromXML(pdev, pDM);
    if (dwDocFeatures & DOC_FEATURE_QUALITY) GetPrintQualitySettingsFromXML(pdev, pDM);
    GetFontSettingsFromXML(pdev, pDM);
}

// The parameter import record: the file's feature list and data
// transmission, and the photocell and shift optimisation where the printer
// has them.
void ReadImportParam(JobContext& ctx, PRINTER_PARAM* pParam)
{
    OEM_PDEV* pdev = ctx.Device();
    const Treiberstrukturen& ts = *ctx.Settings();
    pParam->dwSize = PRINTER_PARAM_SIZE;
    pParam->dwVersion = PRINTER_PARAM_VERSION;
    ULONG ulSize = 0;
    GetFeaturesFromXML(pdev, &ulSize, pParam->dwFeatures);
    GetDataTransmissionParamFromXML(pdev, &pParam->prnInterface);
    if (ts.dwFeature[FEATURE_PHOTOCELL] != 0) GetPhotocellFromXML(pdev, &pParam->photocellParam);
    if (ts.dwFeature[FEATURE_SHIFTOPTIM] != 0) GetShiftoptimFromXML(pdev, &pParam->shiftOptimParam);
}

}  // namespace

BOOL GetDefaultDeviceOptions(DWORD dwDeviceOptionFlags, DEFAULT_DEVICE_OPTIONS* pOptions)
{
    if (!pOptions) return FALSE;
    std::memset(pOptions, 0, sizeof(*pOptions));
    if (dwDeviceOptionFlags == 0) return FALSE;
    pOptions->dwSize = DEFAULT_DEVICE_OPTIONS_SIZE;
    pOptions->dwVersion = DEFAULT_DEVICE_OPTIONS_VERSION;
    pOptions->dwDeviceOptionFlags = dwDeviceOptionFlags;
    Trace(
        u"UNI(AutoImport):  GetDefaultDeviceOptions() Neuinstallation dwDeviceOptionFlags: 0x%x "
        u"\r\n",
        dwDeviceOptionFlags);
    return TRUE;
}

HRESULT AutoImport(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const char* pszEntry)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pszEntry ||
        !ctx.Require(kNeedDevice | kNeedJob | kNeedSettings | kNeedData,
                     u"ERROR UNI(AutoImport):  AutoImport() mind. eine Struktur = NULL \r\n"))
        return E_FAIL;

    const int nFile = MarkerNumber(pszEntry);
    std::u16string path;
    if (nFile != 0) {
        DWORD cbValue = 0;
        const std::vector<BYTE> value =
            GetRegistryBuffer_New(ctx.Device(), reg::kXMLDocSetFiles, ctx.Printer(), &cbValue);
        path = DocSettingsPath(value.data(), value.size(), nFile);
    }
    Trace(u"UNI(AutoImport):  AutoImport() Datei %d: %s \r\n", nFile, path);
    if (path.empty() || OpenXML(path) != XML_FOUND) {
        Trace(u"ERROR UNI(AutoImport):  AutoImport() keine Datei %s \r\n", path);
        return S_OK;
    }

    const DruckDaten& d = *ctx.Data();
    const Treiberstrukturen& ts = *ctx.Settings();
    const bool bReadable = Readable(ts.prnInterface);
    HRESULT hr = S_OK;

    auto pDM = NewHeapBlock<KX_DEVMODE>(KX_DEVMODE_SIZE, u"pKX_DevmodeImport");
    if (!pDM) {
        CloseXML();
        return E_OUTOFMEMORY;
    }
    ReadDocSettings(ctx, pDM.get());

    if (bReadable) SendLine(pdevobj, pUniDrv, "\r\n\t// <$... XML File Settings ");
    if (d.dwSendEtiParam == 0) {
        // Both run; the first failure is the import's result.
        hr = SendMaterial(pdevobj, pUniDrv, pDM.get());
        const HRESULT hrSize = SendLabelSettings(pdevobj, pUniDrv, pDM.get());
        if (SUCCEEDED(hr)) hr = hrSize;
    }
    if (bReadable) SendLine(pdevobj, pUniDrv, "\r\n");

    // Without room for the import record the file's device parameters are
    // skipped; those of the temporary record still go.
    auto pParam = NewHeapBlock<PRINTER_PARAM>(PRINTER_PARAM_SIZE, u"pPrinterParamImport");
    if (pParam) ReadImportParam(ctx, pParam.get());
    DEFAULT_DEVICE_OPTIONS options;
    GetDefaultDeviceOptions(ts.dwDeviceOptionFlags, &options);
    CloseXML();

    if (d.dwSendGerParam == 0) {
        if (pParam) SendPrinterParam(pdevobj, pUniDrv, pParam.get());
        SendDevmodePrinterParam(pdevobj, pUniDrv, pDM.get());
    }
    if (d.dwSendEtiParam == 0) SendDeviceSettingsParam(pdevobj, pUniDrv, pDM.get());
    if (bReadable) SendLine(pdevobj, pUniDrv, "\r\n");

    Trace(u"UNI(AutoImport):  AutoImport() Ende - hResult: 0x%x \r\n", hr);
    return hr;
}

}  // namespace kx
