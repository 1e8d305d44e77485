// The job start (CMDID_START_JOB): the per-job structures, the printer's
// settings, the job's output paths, the job header and the job commands,
// and the buffers of the raster path.
//
// Decisions of this module:
//   - The GPD names are formed right after the printer name: the printer's
//     own XML settings file is found through them, and the devmode step
//     already reads it.
//   - A print-file name that GetPrnFileName refuses (bRetval 0) is not kept:
//     no print file, log or trace file is written for the job, which is what
//     a refused name asks of its caller.
//   - The devmode fallback keeps the header (size, signature, version) of
//     the devmode the host handed in. When no saved record exists at all,
//     the job's own devmode stays and only the untrustworthy option fields
//     are reset; among them are the older cutter mode (wCutterMode) and the
//     cutter control mode.
//   - The log file opens only once the print-file name and the memory card
//     are settled; the devmode and barcode sections read before are written
//     right after it opens.
//   - A path (or a name that becomes part of one) that does not fit its
//     fixed field is not used: its step ends with a trace line, the field
//     stays empty and the job start's result is the failure.
//   - Language 9 sets dwNo_FBC (no print start) once pDocDaten exists.
//   - A broken job's print file that cannot be opened for appending is
//     created anew, so that the continued job still leaves a print file.
//   - A memory-card job names its print file itself when nothing else asked
//     for one: the card receives the print file.
//   - The job's document name and total page count are read from the
//     spooler here too: the memory-card name needs them before SendParam
//     reads the job information.
//   - The scanner's mode stays in the devmode, where the device option
//     commands take it from; the job keeps no second copy.
//   - The areas of pZeichenBuffer are handed to the text collections by the
//     text module, which lays out pKVBBBuffer.
//   - The colour mode of the page image record is 2 only for a colour model
//     (DOC_FEATURE_COLORPRINT): the devmode carries no separate colour
//     request.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/jobcontext.h"
#include "core/jobheap.h"
#include "core/printeroptions.h"
#include "core/printerparam.h"
#include "core/record.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "diag/prnfile.h"
#include "diag/version.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/labellayout.h"
#include "objects/kvbb.h"
#include "options/deviceparam.h"
#include "platform/platform.h"
#include "raster/bandcapture.h"
#include "raster/bitmap.h"
#include "raster/dither.h"
#include "raster/pageimage.h"
#include "settings/devmodeops.h"
#include "settings/forms.h"
#include "settings/gpd.h"
#include "settings/models.h"
#include "settings/registry.h"
#include "settings/xmlreader.h"
#include "settings/xmlsettings.h"

namespace kx {

namespace {

constexpr DWORD kFeatureQueueJob = 0x4;  // the printer can discard an aborted job
constexpr DWORD kSprachOhneFBC = 9;      // language setting that means "no print start"
constexpr DWORD kDatenspeicherWaitMs = 1000;

// The defaults of the placeholder strings (printer functions).
constexpr char16_t kDefaultTime[] = u"=CL(0;0;1)<HH:MI:SS>";
constexpr char16_t kDefaultDate[] = u"=CL(0;0;1)<DD.MO.YYYY>";
constexpr char16_t kDefaultNum[] = u"=CN(0;0;4;+1;1)0000";
constexpr char16_t kDefaultExtNum[] = u"=CC(+1;2;0;0;1;999)050";
constexpr char16_t kDefaultUser[] = u"=UG(5;0;0;0;0;\"Artikel-Nr. ?\")<12345>";
constexpr char16_t kDefaultLink[] = u"=SC(1;\" \";2;)";

std::u16string_view View(const WCHAR* s, std::size_t cch = KX_MAX_PATH)
{
    return std::u16string_view(s, Length(s, cch));
}

std::string Narrow(std::u16string_view s)
{
    return plat::WideToMultiByte(plat::kCpAcp, s);
}

// What the job start finds out on its way, for its later steps. The
// records themselves are reached through the JobContext.
struct Findings {
    bool bAbbruch = false;    // "DAAbbruch" was set: the job continues a broken one
    bool bContinued = false;  // and its counters were read
    PRINTER_OPTIONS options{};
    plat::JobInfo job;  // the spooler's view of the job (document, pages)
    // The allocation counters when the job start began (device blocks and
    // objects, process blocks and objects), for the trace file.
    int counters[4] = {};
};

// Allocates one member; a failure is traced in the member's words and makes
// the job start's result E_FAIL.
template <class T>
T* NewMember(JobContext& ctx, DWORD dwSize, const char16_t* pszName)
{
    void* block = CreateJobBuffer(ctx.Device(), dwSize, pszName);
    if (!block) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() konnte %s nicht anlegen \r\n", pszName);
        ctx.Keep(E_FAIL);
    }
    return static_cast<T*>(block);
}

// A job already runs on this device state: a second start would lose its
// blocks, so it is refused and the running job left alone.
bool SecondJob(const JobContext& ctx)
{
    const KX_POP* op = ctx.Device()->pOp;
    if (!op) return false;
    Trace(u"UNI(CC-Klassen):  StartJob() ERROR - zweiter DA mit identischem pOemPDev 0x%x \r\n",
          static_cast<const void*>(ctx.Device()));
    if (op->pTreiberPfadDatei) Trace(u"UNI(CC-Klassen):  StartJob() pTreiberPfadDatei aktiv \r\n");
    if (op->pTreiberstrukturen)
        Trace(u"UNI(CC-Klassen):  StartJob() pTreiberstrukturen aktiv \r\n");
    if (op->pDruckDaten) Trace(u"UNI(CC-Klassen):  StartJob() pDruckDaten aktiv \r\n");
    if (op->pDocDaten) Trace(u"UNI(CC-Klassen):  StartJob() pDocDaten aktiv \r\n");
    Trace(u"UNI(CC-Klassen):  StartJob() ... deshalb Abbruch \r\n");
    return true;
}

// Copies a path (or a name that becomes part of one) into its fixed field.
// A path that does not fit is never cut into a different path: the field
// is left empty, the failure traced and kept as the job start's result, and
// the caller's step ends.
template <class C>
bool CopyPath(JobContext& ctx, C* field, std::basic_string_view<C> path, const char16_t* what)
{
    C copy[KX_MAX_PATH];
    const HRESULT hr = Copy(copy, KX_MAX_PATH, path);
    if (FAILED(hr)) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() %s zu lang (%u Zeichen) - nicht verwendet \r\n",
              what, path.size());
        field[0] = 0;
        ctx.Keep(hr);
        return false;
    }
    std::memcpy(field, copy, sizeof(copy));
    return true;
}

// The names of the GPD, from the driver's data file: the full name, the
// name without its extension, the folder, the file name and the bare model
// name. The printer's XML settings file is found through them.
void GpdNames(JobContext& ctx, TreiberPfadDatei* f)
{
    plat::DriverInfo info;
    if (!plat::GetPrinterDriver(ctx.Printer(), &info) || info.dataFile.empty()) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() GetPrinterDriver ERROR %u \r\n",
              plat::GetLastError());
        return;
    }
    const std::u16string& full = info.dataFile;
    std::size_t slash = full.find_last_of(u"\\/");
    std::u16string path =
        slash == std::u16string::npos ? std::u16string() : full.substr(0, slash + 1);
    std::u16string file = slash == std::u16string::npos ? full : full.substr(slash + 1);
    std::size_t dot = file.rfind(u'.');
    std::u16string bare = dot == std::u16string::npos ? file : file.substr(0, dot);
    const std::u16string noExtension = path + bare;
    const struct {
        WCHAR* field;
        std::u16string_view value;
    } names[] = {{f->wcGPD_DateiKomplett, full},
                 {f->wcGPD_OhneDateiendung, noExtension},
                 {f->wcGPD_NurPfad, path},
                 {f->wcGPD_NurDateiMitEndung, file},
                 {f->wcGPD_NurName, bare}};
    for (const auto& n : names) {
        if (!CopyPath(ctx, n.field, n.value, u"GPD-Name")) {
            for (const auto& m : names) m.field[0] = 0;
            return;
        }
    }
    Trace(u"UNI(CC-Klassen):  StartJob() wcGPD_NurName: %s \r\n", f->wcGPD_NurName);
}

// The per-job root, the barcode settings and the names: printer, registry
// keys, GPD names, driver folder, and the spooler's view of the job.
bool CreateRootAndNames(JobContext& ctx, Findings& found)
{
    KX_POP* op = NewMember<KX_POP>(ctx, sizeof(KX_POP), u"pOp");
    if (!op) return false;
    ctx.Device()->pOp = op;
    ctx.Device()->hOpHeap = GetProcessHeapHandle();
    op->pBarcodeDevmode = NewMember<BYTE>(ctx, BARCODE_DEVMODE_SIZE, u"pBarcodeDevmode");
    TreiberPfadDatei* f =
        NewMember<TreiberPfadDatei>(ctx, sizeof(TreiberPfadDatei), u"pTreiberPfadDatei");
    op->pTreiberPfadDatei = f;
    if (!f) return true;
    f->hPrnFile = INVALID_HANDLE_VALUE;
    f->hPrnFile2 = INVALID_HANDLE_VALUE;
    f->hRecallFile = INVALID_HANDLE_VALUE;

    if (!GetRealPrinterName(ctx.Printer(), f->wcPrinterName))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() GetRealPrinterName ERROR \r\n");
    if (!BuildRegistryKeys(f->wcPrinterName, f->szRegKey, f->szHLMRegKey))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Registry-Schluessel fuer %s ERROR \r\n",
              f->wcPrinterName);
    Trace(u"UNI(CC-Klassen):  StartJob() Drucker: %s, szRegKey: %s \r\n", f->wcPrinterName,
          f->szRegKey);
    if (!GetRegistryRecord(ctx.Device(), reg::kPrinterOptions, ctx.Printer(), &found.options,
                           sizeof(found.options)))
        Trace(
            u"UNI(CC-Klassen):  StartJob() PrinterOptions weder in HKCU noch in den "
            u"Druckerdaten \r\n");
    GpdNames(ctx, f);
    if (!GetDriverPathComplete(ctx.Printer(), f->wcDriverDirectory))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() GetDriverPathComplete ERROR \r\n");
    // The spooler's view of the job: its document name and page count.
    if (!plat::GetJob(ctx.Printer(), ctx.Device()->dwJobId, &found.job))
        Trace(u"UNI(CC-Klassen):  StartJob() GetJob(%u) ERROR %u \r\n", ctx.Device()->dwJobId,
              plat::GetLastError());
    f->dwTotalPages = found.job.totalPages;
    return true;
}

// The interface settings: the registry's, else those of the printer's XML
// settings file.
void ReadInterface(JobContext& ctx)
{
    Treiberstrukturen* t =
        NewMember<Treiberstrukturen>(ctx, sizeof(Treiberstrukturen), u"pTreiberstrukturen");
    ctx.Job()->pTreiberstrukturen = t;
    if (!t) return;
    std::memset(&t->prnInterface, 0, sizeof(t->prnInterface));
    if (!GetRegistryRecord(ctx.Device(), reg::kPrinterInterface, ctx.Printer(), &t->prnInterface,
                           sizeof(t->prnInterface))) {
        // No settings in the registry: the printer's own settings file.
        Trace(u"UNI(CC-Klassen):  StartJob() PrinterInterface fehlt - XML-Einstellungen \r\n");
        if (GetDataTransmissionParamFromXML(ctx.Device(), &t->prnInterface) != XML_FOUND)
            Trace(u"UNI(CC-Klassen):  StartJob() XML-Einstellungen nicht lesbar: %s \r\n",
                  XmlSettingsFilePath(ctx.Device()));
        CloseXML();
    }
    const PRN_INTERFACE& pi = t->prnInterface;
    t->bSendPrintStart = pi.bSendPrintStart;
    t->dwSprache = pi.dwSprache;
    t->bLogFileEnable = pi.bLogFileEnable;
    Trace(
        u"UNI(CC-Klassen):  StartJob() bSendPrintStart: %d, dwSprache: %d, bEnableBackup: %d, "
        u"bLogFileEnable: %d, dwPrnFileComment: %d \r\n",
        pi.bSendPrintStart, pi.dwSprache, pi.bEnableBackup, pi.bLogFileEnable, pi.dwPrnFileComment);
}

// The print file's name from the naming rules, without a final backslash.
// A refused name is not kept, and the files that would need it are
// switched off.
void FormPrnFileName(JobContext& ctx)
{
    TreiberPfadDatei* f = ctx.Files();
    Treiberstrukturen* t = ctx.Settings();
    PRN_INTERFACE& pi = t->prnInterface;
    DWORD bRetval = 1;
    const WCHAR* name = GetPrnFileName(ctx.Printer(), u"", nullptr, 1, &pi, &bRetval);
    if (!bRetval) {
        Trace(u"UNI(CC-Klassen):  StartJob() ACHTUNG - GetPrnFileName bRetval: %d \r\n", bRetval);
        t->bLogFileEnable = 0;
        pi.bLogFileEnable = 0;
        pi.dwPrnFileComment = 0;
        f->wcPrnFileName[0] = 0;
        return;
    }
    if (!CopyPath(ctx, f->wcPrnFileName, std::u16string_view(name ? name : u""), u"wcPrnFileName"))
        return;
    std::size_t n = Length(f->wcPrnFileName, KX_MAX_PATH);
    if (n && f->wcPrnFileName[n - 1] == u'\\') f->wcPrnFileName[n - 1] = 0;
}

// The files of the job: a broken job's print file to continue, collation
// by re-sending (which needs a print file), the print file's name when
// anything asks for one, and the trace file.
void NamesOfTheFiles(JobContext& ctx, Findings& found)
{
    TreiberPfadDatei* f = ctx.Files();
    Treiberstrukturen* t = ctx.Settings();
    if (!f) return;
    DWORD dwAbbruch = 0;
    if (ReadJobDword(f, reg::kDAAbbruch, &dwAbbruch) && dwAbbruch != 0) {
        found.bAbbruch = true;
        Trace(u"UNI(CC-Klassen):  StartJob() HCU %s - vorherigen Abbruch erkannt \r\n",
              f->szRegKey);
        std::uint32_t type = 0;
        std::uint32_t cb = sizeof(f->wcPrnFileName) - sizeof(WCHAR);
        WCHAR name[KX_MAX_PATH] = {};
        if (plat::RegGetValue(plat::Hive::CurrentUser, f->szRegKey, reg::kDAPrnFileName, &type,
                              name, &cb) == 0)
            CopyPath(ctx, f->wcPrnFileName, View(name), u"DAPrnFileName");
    }
    if (!t) return;
    PRN_INTERFACE& pi = t->prnInterface;

    // Collated copies are made by sending the print file again: it must
    // exist, and without comments.
    if (CollatedByResend(ctx.DevObj()) && pi.dwPrnFileComment == 0) pi.dwPrnFileComment = 2;

    if (!f->wcPrnFileName[0] &&
        (t->bLogFileEnable == 1 || pi.dwPrnFileComment > 0 || pi.dwDebugFile >= 2 ||
         pi.bEnableBackup == 1 || pi.dwDebugImage > 0))
        FormPrnFileName(ctx);
    Trace(u"UNI(CC-Klassen):  StartJob() wcPrnFileName: %s \r\n", f->wcPrnFileName);

    if (pi.dwDebugFile >= 2 && f->wcPrnFileName[0] && trace::Open(View(f->wcPrnFileName)))
        Trace(
            u"UNI(CC-Klassen):  StartJob() Zaehler bei Jobbeginn - pOemPDev->iHAllocZaehler: %d, "
            u"iNewZaehler: %d, iHAllocZaehlerUNI: %d, iNewZaehlerUNI: %d \r\n",
            found.counters[0], found.counters[1], found.counters[2], found.counters[3]);
}

// The private devmode: a job's devmode without its marker is replaced by
// the printer's saved one (its untrustworthy option fields reset first when
// that lacks the marker too); text fields are terminated, the barcode
// settings read, placeholders given their defaults, and model data that the
// record lacks taken from the XML settings or the GPD.
void PrivateDevmode(JobContext& ctx)
{
    KX_DEVMODE* pKX = ctx.Devmode();
    if (!HasValidMarker(*pKX)) {
        Trace(
            u"UNI(CC-Klassen):  StartJob() Devmode ohne Kennung - gespeicherten Devmode lesen "
            u"\r\n");
        auto* reg = static_cast<KX_DEVMODE*>(
            CreateJobBuffer(ctx.Device(), KX_DEVMODE_SIZE, u"pKX_DevmodeReg"));
        if (reg) {
            bool found = ReadDevmodeSettings(ctx.Printer(), reg, nullptr) == DEVMODE_READ_COPIED;
            KX_DEVMODE* target = found ? reg : pKX;
            if (!HasValidMarker(*target)) {
                target->dwFlags = 0;
                target->wAnzahlKopien = 1;
                target->wSkalierung = 100;
                target->wFitToPage = 0;
                target->wDruckmodus = 0;
                target->wSplitPrnFile = 0;
                target->dispenser_dwMode = 0;
                target->cutter_dwMode = 0;
                target->scanner_dwMode = 0;
                target->applicator_dwMode = 0;
                target->wCutterMode = 0;
                target->cutter_wControlMode = 0;
            }
            if (found) {
                constexpr std::size_t kHeader =
                    12;  // size, signature, version of the host's record
                std::memcpy(reinterpret_cast<BYTE*>(pKX) + kHeader,
                            reinterpret_cast<const BYTE*>(reg) + kHeader,
                            KX_DEVMODE_SIZE - kHeader);
            }
            FreeJobBlock(ctx.Device(), reg);
        }
    }
    Trace(u"UNI(CC-Klassen):  StartJob() dwContrast: %d, dwSpeed: %d \r\n", pKX->dwContrast,
          pKX->dwSpeed);

    for (DevmodeText field :
         {KX_DM_TEXT(szPassword), KX_DM_TEXT(szPrintOrder), KX_DM_TEXT(szTime),
          KX_DM_TEXT(szNumString), KX_DM_TEXT(szExtNumString), KX_DM_TEXT(szLinkString),
          KX_DM_TEXT(szAux1String), KX_DM_TEXT(szAux2String), KX_DM_TEXT(szIdentSign),
          KX_DM_TEXT(szUserString), KX_DM_TEXT(szDate), KX_DM_TEXT(szMemCardVerz)})
        TerminateDevmodeText(pKX, field);
    for (std::size_t i = 0; i < 8; ++i) {
        constexpr std::size_t kName = 33;
        for (std::size_t base :
             {offsetof(KX_DEVMODE, szWindowsFontName), offsetof(KX_DEVMODE, szInstalledName),
              offsetof(KX_DEVMODE, szWindowsFontName2), offsetof(KX_DEVMODE, szInstalledName2)})
            TerminateDevmodeText(pKX, DevmodeText{base + i * kName * sizeof(WCHAR), kName});
    }

    if (ctx.Files() && ctx.Job()->pBarcodeDevmode)
        ReadBarcodeSettings(ctx.Printer(), ctx.Files()->wcPrinterName, ctx.Job()->pBarcodeDevmode,
                            ctx.Job()->pBarcodeDevmode + reg::kBarCodes1DSize);

    if ((pKX->dwFlags & PDMFLAG_MULTICOL) && pKX->sMultiColNumber <= 1) {
        Trace(
            u"UNI(CC-Klassen):  StartJob() nur eine Multicol-Spalte, also PDMFLAG_MULTICOL "
            u"abschalten \r\n");
        pKX->dwFlags &= ~PDMFLAG_MULTICOL;
    }

    struct {
        DevmodeText field;
        const char16_t* value;
    } const defaults[] = {
        {KX_DM_TEXT(szTime), kDefaultTime},       {KX_DM_TEXT(szDate), kDefaultDate},
        {KX_DM_TEXT(szNumString), kDefaultNum},   {KX_DM_TEXT(szExtNumString), kDefaultExtNum},
        {KX_DM_TEXT(szUserString), kDefaultUser}, {KX_DM_TEXT(szLinkString), kDefaultLink}};
    for (const auto& d : defaults)
        if (GetDevmodeText(pKX, d.field).empty()) SetDevmodeText(pKX, d.field, d.value);

    // Model data that the record lacks comes from the printer's settings
    // file, else from its GPD.
    KX_FIXEDDATA& fixed = pKX->FixedData;
    if (fixed.wMasterUnit == 0 || fixed.dwHeadWidthByte == 0 || fixed.lMaxSizeX == 0 ||
        fixed.lMaxSizeY == 0) {
        Trace(u"UNI(CC-Klassen):  StartJob() FixedData unvollstaendig - XML / GPD \r\n");
        std::u16string xml = XmlSettingsFilePath(ctx.Device());
        bool fromXml = false;
        if (!xml.empty() && OpenXML(xml) == XML_FOUND)
            fromXml = GetFixedPrinterSettingsFromXML(ctx.Device(), pKX);
        else
            Trace(u"UNI(CC-Klassen):  StartJob() XML-Datei %s nicht lesbar \r\n", xml);
        CloseXML();
        if (!fromXml && ctx.Files()) {
            DWORD features = 0;
            GetFixedPrinterSettingsFromGPD(ctx.Device(), pKX, &features,
                                           ctx.Files()->wcGPD_DateiKomplett);
        }
    }
}

// "SuppFeatures" of the printer data; missing there, the feature list of the
// printer's settings file.
void GetFeatures(JobContext& ctx, DWORD* pFeatures)
{
    std::memset(pFeatures, 0, FEATURE_LIST_SIZE);
    std::vector<BYTE> value;
    DWORD rc =
        ReadPrinterDataValue(ctx.Printer(), reg::kPrinterDataKey, reg::kSuppFeatures, &value);
    if (rc == 0) {
        // Up to twelve words; a longer record of a newer settings interface
        // keeps its first twelve.
        std::memcpy(pFeatures, value.data(),
                    std::min<std::size_t>(value.size(), FEATURE_LIST_SIZE));
    } else if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_INVALID_HANDLE) {
        Trace(u"UNI(CC-Klassen):  GetFeatures() SuppFeatures fehlt (%u) - XML-Einstellungen \r\n",
              rc);
        ULONG size = 0;
        if (GetFeaturesFromXML(ctx.Device(), &size, pFeatures) != XML_FOUND)
            Trace(u"UNI(CC-Klassen):  GetFeatures() XML-Datei %s nicht lesbar \r\n",
                  XmlSettingsFilePath(ctx.Device()));
        CloseXML();
    } else {
        Trace(u"ERROR UNI(CC-Klassen):  GetFeatures() GetPrinterData ERROR %u \r\n", rc);
    }
}

// The print data of the job: copies, option words, scaling, the model's
// features, memory card and multi-page switches, and the counters of a
// continued job.
void PrintData(JobContext& ctx, Findings& found)
{
    DruckDaten* d = NewMember<DruckDaten>(ctx, sizeof(DruckDaten), u"pDruckDaten");
    ctx.Job()->pDruckDaten = d;
    if (!d) return;
    KX_DEVMODE* pKX = ctx.Devmode();
    Treiberstrukturen* t = ctx.Settings();
    d->dwCopies = 1;
    d->dwAusstattung = found.options.dwAusstattung;
    d->dwOptionen2 = found.options.dwOptionen2;
    d->dwModulTyp = found.options.wModulTyp;
    SetSkalierung(d, *pKX, ctx.PublicDevmode());

    const WCHAR* model = ctx.Files() ? ctx.Files()->wcGPD_NurName : u"";
    d->dwDocFeatures = GetDocFeaturesIntern(ctx.Printer(), model);
    if (t && (d->dwDocFeatures & DOC_FEATURE_SPLIT_FILE) && pKX->wSplitPrnFile == 1)
        t->prnInterface.dwPrnFileComment = 1;
    if (pKX->FixedData.bQuality) {
        d->dwDocFeatures |= DOC_FEATURE_QUALITY;
        Trace(u"UNI(CC-Klassen):  StartJob() bQuality ColorMode vorhanden \r\n");
    }
    const KX_FIXEDDATA& fixed = pKX->FixedData;
    if (fixed.lMaxSizeX == 0 || fixed.lMaxSizeY == 0)
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() lMaxSizeX oder lMaxSizeY ist 0 \r\n");
    if (fixed.dwHeadWidthByte == 0 || fixed.wMasterUnit == 0)
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() dwHeadWidthByte oder dwMasterUnit ist 0 \r\n");

    d->bMemCard = pKX->wMemCard;
    d->szJobName[0] = 0;
    if (pKX->dwFlags & PDMFLAG_JOBDRUCK) d->bMultiPage = 1;
    if (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) {
        d->bMultiPage = 0;
    } else if (ctx.PublicDevmode() && ctx.PublicDevmode()->dmCollate == 1 &&
               ctx.PublicDevmode()->dmCopies > 1 && pKX->wMehrereSeiten == 0 &&
               pKX->wAutoCollate == 1) {
        d->bMultiPage = 1;
        Trace(
            u"UNI(CC-Klassen):  StartJob() Mehrbahnen durch Anwendung aktiviert - "
            u"SORTIEREN_DRUCKJOB - bMultiPage \r\n");
    }
    pKX->FixedData.dwDocFeatures = d->dwDocFeatures;

    if (found.bAbbruch) {
        DWORD page = 0, fields = 0;
        if (ReadJobDword(ctx.Files(), reg::kDAPageNr, &page) &&
            ReadJobDword(ctx.Files(), reg::kDAFieldNr, &fields)) {
            d->dwPage = page;
            d->dwFields = fields;
            found.bContinued = true;
            if (t) t->bDisablePDEV = 1;
            Trace(u"UNI(CC-Klassen):  StartJob() Fortsetzung - dwPage: %u, dwFields: %u \r\n", page,
                  fields);
        }
    }
}

// The switches of the job: compression, parameter sending, the supported
// features, the device option flags, the module side, UTF-8 text, the
// internal TrueType switch and the end cut.
void Switches(JobContext& ctx, Findings& found)
{
    DruckDaten* d = ctx.Data();
    Treiberstrukturen* t = ctx.Settings();
    if (!d || !t) return;
    const KX_DEVMODE* pKX = ctx.Devmode();
    const PRN_INTERFACE& pi = t->prnInterface;
    d->bCompress = pi.bCompress;
    if ((pKX->dwFlags & PDMFLAG_MULTICOL) &&
        !((d->dwDocFeatures & DOC_FEATURE_UTF8) && !(pKX->dwFlags & PDMFLAG_MULTICOL_OLD)))
        d->bCompress = 0;
    d->dwSendGerParam = pi.dwSendGerParam;
    d->dwSendEtiParam = pi.dwSendEtiParam;
    GetFeatures(ctx, t->dwFeature);
    const WCHAR* model = ctx.Files() ? ctx.Files()->wcGPD_NurName : u"";
    t->dwDeviceOptionFlags = GetDeviceOptionsFlagsIntern(ctx.Device(), ctx.Printer(), model);
    d->bCorrectXPos = 0;
    if (t->dwDeviceOptionFlags >= DEVOPTFLAG_PRINT_MODULE)
        d->dwSendGerParam = pi.dwSendGerParam > 1 ? 1 : 0;
    if (t->dwDeviceOptionFlags & DEVOPTFLAG_PRINTER_OPTIONS) {
        if (found.options.dwModule == 1) d->bCorrectXPos = 1;
        if (pKX->dwAusrichtung == 1 || pKX->dwAusrichtung == 2) d->bCorrectXPos = 0;
    }
    if (d->dwDocFeatures & DOC_FEATURE_UTF8) d->bUTF8 = 1;
    t->bUseInternalTTF = pKX->wTTFverwenden == 0 ? 1 : 0;
    // The settings' TrueType switch is also the job's vector-font switch, and
    // the model's UTF-8 feature the text's UTF-8 switch.
    d->bVektorSchrift = t->bUseInternalTTF;
    t->bSH3 = d->bUTF8;
    d->bEndCut =
        (d->dwAusstattung & P_OPTIONS_CUTTER) &&
        (pKX->cutter_dwMode == 6 || (pKX->cutter_dwMode == 4 && pKX->cutter_wControlMode == 0));
    Trace(
        u"UNI(CC-Klassen):  StartJob() bCompress: %d, dwSendGerParam: %d, dwSendEtiParam: %d, "
        u"dwFeature: 0x%x, dwDeviceOptionFlags: 0x%x, bEndCut: %d \r\n",
        d->bCompress, d->dwSendGerParam, d->dwSendEtiParam, t->dwFeature[0], t->dwDeviceOptionFlags,
        d->bEndCut);
}

// The job's document name as the memory-card file takes it.
std::u16string MemCardName(std::u16string name)
{
    std::size_t ms = name.find(u"Microsoft ");
    std::size_t dash = name.find(u" - ");
    if (ms != std::u16string::npos && dash != std::u16string::npos) name = name.substr(dash + 3);
    if (name.size() >= 4 && name[name.size() - 4] == u'.')
        name.resize(name.size() - 4);
    else if (std::size_t dot = name.find(u'.'); dot != std::u16string::npos)
        name.resize(dot);
    // Characters that no file name may hold.
    for (char16_t& c : name)
        if (std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) c = u'_';
    return name;
}

// The memory-card directory as the store and recall records write it.
std::string MemCardDirectory(const JobContext& ctx)
{
    if (!(ctx.Data()->dwDocFeatures & DOC_FEATURE_UTF8)) return "A:\\";
    std::string dir = Narrow(GetDevmodeText(ctx.Devmode(), KX_DM_TEXT(szMemCardVerz)));
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

// Output to the printer's memory card: the print file is kept (or made) for
// the card, no print start is sent, and the card's file name, folder and
// optional recall file are set up.
void MemoryCard(JobContext& ctx, Findings& found)
{
    DruckDaten* d = ctx.Data();
    Treiberstrukturen* t = ctx.Settings();
    TreiberPfadDatei* f = ctx.Files();
    if (!d || !t || !f || !d->bMemCard) return;
    PRN_INTERFACE& pi = t->prnInterface;
    if (pi.dwPrnFileComment == 0)
        pi.dwPrnFileComment = 2;
    else
        d->bKeepPrnFile = 1;
    if (ctx.Doc()) ctx.Doc()->dwNo_FBC = 1;

    std::u16string card;
    if (d->dwDocFeatures & DOC_FEATURE_UTF8) {
        // The card file is named after the job; the print file beside it.
        const std::u16string dir = u"C:\\logfiles\\";
        if (!plat::IsDirectory(dir) && !plat::CreateDirectory(dir))
            Trace(u"ERROR UNI(CC-Klassen):  StartJob() CreateDirectory %s ERROR %u \r\n", dir,
                  plat::GetLastError());
        card = MemCardName(found.job.document);
        if (card.empty()) card = u"Job";
        if (!CopyPath(ctx, f->wcPrnFileName, std::u16string_view(dir + card), u"wcPrnFileName"))
            return;
    } else {
        // The card's file is the print file: it needs a name even when
        // nothing else asked for one.
        if (!f->wcPrnFileName[0]) FormPrnFileName(ctx);
        if (!f->wcPrnFileName[0]) {
            Trace(u"ERROR UNI(CC-Klassen):  StartJob() bMemCard ohne Druckdatei \r\n");
            return;
        }
        std::u16string_view name = View(f->wcPrnFileName);
        std::size_t slash = name.find_last_of(u'\\');
        card = std::u16string(slash == std::u16string_view::npos ? name : name.substr(slash + 1));
    }
    if (!CopyPath(ctx, d->szMemCardFile, std::string_view(Narrow(card)), u"szMemCardFile") ||
        !CopyPath(ctx, d->szMemCardDir, std::string_view(MemCardDirectory(ctx)), u"szMemCardDir"))
        return;
    Trace(u"UNI(CC-Klassen):  StartJob() bMemCard - Datei %s, Verzeichnis %s \r\n",
          d->szMemCardFile, d->szMemCardDir);

    if (!ctx.Devmode()->wMemCard_Recall || !f->wcPrnFileName[0]) return;
    std::u16string_view base = View(f->wcPrnFileName);
    std::size_t slash = base.find_last_of(u'\\');
    std::u16string recall =
        std::u16string(slash == std::u16string_view::npos ? std::u16string_view()
                                                          : base.substr(0, slash + 1)) +
        u"Recall_" + card + u".prn";
    if (!CopyPath(ctx, f->wcRecallFileName, std::u16string_view(recall), u"wcRecallFileName"))
        return;
    HANDLE h = plat::CreateFile(recall, plat::kGenericWrite, plat::kShareRead, plat::kOpenAlways);
    if (!IsValidHandle(h)) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Recall-Datei %s ERROR %u \r\n", recall,
              plat::GetLastError());
        return;
    }
    f->hRecallFile = h;
    std::uint64_t size = 0;
    std::uint32_t written = 0;
    if (plat::GetFileSize(h, &size) && size == 0) {
        static constexpr char kHead[] =
            "// Recall file for printer CF card file\r\n// Delete unnecessary or redundant "
            "lines.\r\n\r\n";
        plat::WriteFile(h, kHead, sizeof(kHead) - 1, &written);
    }
    plat::SetFilePointer(h, 0, plat::kFileEnd, nullptr);
    std::string file = d->szMemCardFile;
    if (d->dwDocFeatures & DOC_FEATURE_UTF8) file += ".prn";
    std::string record =
        FormatString("%cFMB---r%s%s%c\r\n", {d->cStart, d->szMemCardDir, file, d->cEnd});
    if (!plat::WriteFile(h, record.data(), static_cast<std::uint32_t>(record.size()), &written))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Recall-Datei schreiben ERROR %u \r\n",
              plat::GetLastError());
}

// The information log, with the devmode and barcode sections that the job
// start has read.
void OpenLog(JobContext& ctx, Findings& found)
{
    TreiberPfadDatei* f = ctx.Files();
    Treiberstrukturen* t = ctx.Settings();
    if (!f || !t || t->bLogFileEnable != 1) return;
    if (!OpenJobLogFile(ctx.Device(), ctx.Printer(), t->bLogFileEnable)) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Log-Datei nicht geoeffnet \r\n");
        return;
    }
    CLogFile* log = GetJobLogFile(ctx.Device());
    JobLog(ctx.Device(), found.bAbbruch ? "[... continue]" : "[START_JOB]");
    JobLogF(ctx.Device(), "\t Print File Name    = %s.prn \r\n", PrnFileNameA(f));
    log->WritePrivateDevMode(u"StartJob", ctx.Devmode());
    if (ctx.Job()->pBarcodeDevmode)
        log->WriteBarcodeSettings(u"StartJob", ctx.Job()->pBarcodeDevmode);
}

// The print file, when comments or a backup ask for one; a broken job's
// file is continued, or created anew when it cannot be opened.
void OpenPrintFile(JobContext& ctx, Findings& found)
{
    TreiberPfadDatei* f = ctx.Files();
    Treiberstrukturen* t = ctx.Settings();
    if (!f || !t) return;
    const PRN_INTERFACE& pi = t->prnInterface;
    if (!(pi.dwPrnFileComment > 0 || pi.bEnableBackup == 1) || IsValidHandle(f->hPrnFile)) return;
    if (!f->wcPrnFileName[0]) {
        Trace(u"UNI(CC-Klassen):  StartJob() kein Dateiname - keine Druckdatei \r\n");
        return;
    }
    BOOL ok =
        OpenPrnFile(ctx.Devmode()->wSplitPrnFile, ctx.Device(), found.bAbbruch ? TRUE : FALSE);
    if (!ok && found.bAbbruch) ok = OpenPrnFile(ctx.Devmode()->wSplitPrnFile, ctx.Device(), FALSE);
    if (!ok) {
        f->hPrnFile = INVALID_HANDLE_VALUE;
        f->hPrnFile2 = INVALID_HANDLE_VALUE;
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() OpenPrnFile ERROR \r\n");
    }
}

}  // namespace

HRESULT SendHeader(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    const TreiberPfadDatei* files = JobContext(pdevobj, pUniDrv).Files();
    if (!files) return E_FAIL;
    plat::SystemTime now = plat::GetLocalTime();
    plat::DriverInfo driver;
    if (!plat::GetPrinterDriver(pdevobj->hPrinter, &driver))
        Trace(u"ERROR UNI(CC-Klassen):  SendHeader() GetPrinterDriver ERROR %u \r\n",
              plat::GetLastError());
    char windows[kWindowsTextChars] = {};
    char version[kWindowsTextChars] = {};
    GetWindowsVersion(windows, version);
    // The texts are made before the table: GCC 12 frees a string twice when an
    // allocation fails in the middle of an aggregate of strings.
    const std::string printedAt =
        FormatString("%02u.%02u.%02u %02u:%02u:%02u",
                     {now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond});
    const std::string provider = Narrow(driver.provider);
    const std::string printer = Narrow(View(files->wcPrinterName));
    const char* const lines[][2] = {{"// printed at: ", printedAt.c_str()},
                                    {"// Manufacturer: ", provider.c_str()},
                                    {"// Printer: ", printer.c_str()},
                                    {"// PlugIn-Version: ", files->szPlugInVersion},
                                    {"// OS-Version: ", windows},
                                    {"//             ", version},
                                    {"", ""}};
    HRESULT hr = S_OK;
    for (const auto& line : lines) {
        HRESULT r = SendeKommentar(pdevobj, pUniDrv, line[0], line[1]);
        if (FAILED(r)) hr = r;
    }
    return hr;
}

namespace {

// The header and the job commands: user-defined command characters, data
// transfer start, printer time, data memory, the discard of an aborted job,
// the device parameters and the colour print head mode.
void JobCommands(JobContext& ctx, Findings& found)
{
    DruckDaten* d = ctx.Data();
    Treiberstrukturen* t = ctx.Settings();
    TreiberPfadDatei* f = ctx.Files();
    if (!d || !t || !f) return;
    const PRN_INTERFACE& pi = t->prnInterface;

    GetDriverVersionInfo(ctx.DevObj());
    RecordWriter w(ctx.DevObj(), ctx.UniDrv());
    if (w.CommentsOn()) {
        SendHeader(ctx.DevObj(), ctx.UniDrv());
        w.Comment("\t// START_JOB ", TimeOfDay().c_str());
    }
    const char cS = w.cStart(), cE = w.cEnd();

    if (t->dwFeature[0] > 127 && pi.dwEtbSohAutomatik == 1)
        w.Joined("\t\t// Userdefined Start/Stop \r\n", "KXPLStartStop%02X%02X",
                 {static_cast<unsigned char>(cS), static_cast<unsigned char>(cE)});
    if (!t->bDisablePDEV) {
        // A collated job's print file is sent once per copy: the data
        // transfer start goes to the spooler only.
        BOOL bNoFile = ctx.PublicDevmode() && ctx.PublicDevmode()->dmCollate == 1;
        w.Joined("\t// Data transfer start \r\n", RecordWriter::kBuffer, "%cFJDTS-r--------%c",
                 {cS, cE}, bNoFile);
    }
    if (pi.dwPrinterTime == 1) {
        plat::SystemTime now = plat::GetLocalTime();
        w.Joined("\t// PC time \r\n", "%cFCIB--r%02u%02u%02u--%c",
                 {cS, now.wHour, now.wMinute, now.wSecond, cE});
        w.Joined("\t// PC date \r\n", "%cFCIA--r%02u%02u%02u--%c",
                 {cS, now.wDay, now.wMonth, now.wYear - 2000, cE});
    }
    if (pi.dwDatenspeicher <= 2) {
        w.Joined("\t// Data memory  \r\n", "%cFCGD--r%u-------%c", {cS, pi.dwDatenspeicher, cE});
        if (w.Ok() && !(d->dwDocFeatures & DOC_FEATURE_UTF8)) Warte(kDatenspeicherWaitMs);
    } else if (pi.dwDatenspeicher == 3) {
        w.Joined("\t// Data memory  \r\n", "", {});
    }
    if ((t->dwFeature[0] & kFeatureQueueJob) && pi.dwQueueJob == 0 && pi.dwQueueJob2 == 0)
        w.Joined("\t// old job aborted \r\n", "%cRD----r0-------%c%cRD----r2-------%c",
                 {cS, cE, cS, cE});
    ctx.Keep(w.Result());

    // Device parameters: first the job information (total pages, recall
    // detection), then the manual multi-page decision, then the options.
    HRESULT hrParam = SendParam(ctx.DevObj(), ctx.UniDrv(), nullptr);
    const KX_DEVMODE* pKX = ctx.Devmode();
    if (pKX->wMehrereSeiten == 0 && pKX->wMehrereReihen == 0 && ctx.PublicDevmode() &&
        ctx.PublicDevmode()->dmCollate == 0 && pKX->wManuellesMultipage == 1 &&
        ctx.PublicDevmode()->dmCopies == 1 && (f->dwTotalPages > 1 || found.bContinued)) {
        d->bMultiPage = 1;
        d->bManuellesMultipage = 1;
        Trace(u"UNI(CC-Klassen):  StartJob() manuelles Multipage - bMultiPage \r\n");
    }
    if (SUCCEEDED(hrParam)) hrParam = SendParam(ctx.DevObj(), ctx.UniDrv(), ctx.Devmode());
    if (FAILED(hrParam)) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() SendParam ERROR 0x%x \r\n", hrParam);
        JobLog(ctx.Device(), "\r\n[START_JOB] SendParam ERROR ");
    }
    if (CLogFile* log = GetJobLogFile(ctx.Device()))
        log->WriteInterfaceParam(u"StartJob", &t->prnInterface);

    if (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) {
        RecordWriter head(ctx.DevObj(), ctx.UniDrv());
        unsigned mode = (pKX->wFarbband >= 1 && pKX->wFarbband <= 6) ? 0
                        : pKX->wFarbband == 7                        ? 2
                                                                     : 1;
        head.Joined("\t// print head mode \r\n", "%cFCDL--r%u-------%c", {cS, mode, cE});
        ctx.Keep(head.Result());
    }
}

// The raster path: the page image record and its colour tables (image
// path), or the line buffer of the graphics filter (line path).
void RasterPreparation(JobContext& ctx)
{
    DruckDaten* d = ctx.Data();
    ctx.Job()->hBufferHeap = GetProcessHeapHandle();
    auto* bv = NewMember<Bildverarbeitung>(ctx, BILDVERARBEITUNG_SIZE, u"pBildverarbeitung");
    ctx.Job()->pBildverarbeitung = bv;
    if (!bv) JobLog(ctx.Device(), "\r\n[START_JOB]) pOemPDev->pOp->pBildverarbeitung ERROR ");
    ctx.Job()->pRGBBuffer = NewMember<BYTE>(ctx, RGBBUFFER_SIZE, u"pRGBBuffer");
    if (!bv || !ctx.Job()->pRGBBuffer || !d) return;
    auto* tables = reinterpret_cast<RGBQUAD*>(ctx.Job()->pRGBBuffer);
    bv->prgbq = tables;
    bv->prgbqSaved = tables + 256;
    bv->prgbqColour = tables + 512;
    bv->dwFarbmodus = (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) ? 2 : 1;
    if (d->dwDocFeatures & DOC_FEATURE_QUALITY) {
        FillGreyPalette(bv->prgbq);
        FillColorPalette_250Grey(bv->prgbqSaved);
        FillColorPalette_6Colors(bv->prgbqColour);
        if (ctx.Devmode()->wFarbband == 6) {
            const DWORD c = ctx.Devmode()->dwRGBColorOwn1;  // 0x00BBGGRR
            for (RGBQUAD* table : {bv->prgbqSaved, bv->prgbqColour}) {
                table[8].rgbRed = static_cast<BYTE>(c);
                table[8].rgbGreen = static_cast<BYTE>(c >> 8);
                table[8].rgbBlue = static_cast<BYTE>(c >> 16);
            }
        }
    } else {
        ctx.Job()->pGraphBuf = NewMember<BYTE>(ctx, GRAPHBUF_SIZE, u"pGraphBuf");
    }
}

// The character buffer of the text collections, the colour state of the
// text hook and the vector-font limits.
void TextPreparation(JobContext& ctx)
{
    ctx.Job()->pZeichenBuffer = NewMember<BYTE>(ctx, ZEICHENBUFFER_SIZE, u"pZeichenBuffer");
    if (KVBBBuffer* kv = ctx.Job()->pKVBBBuffer) {
        AttachTextAreas(kv, ctx.Job()->pZeichenBuffer);
        // The text hook matches text colours against the ribbon colours of
        // the ribbon-colour bitmap's table.
        if (const Bildverarbeitung* bv = ctx.Job()->pBildverarbeitung) {
            kv->dwFarbmodus = bv->dwFarbmodus;
            if (ctx.Data() && (ctx.Data()->dwDocFeatures & DOC_FEATURE_QUALITY))
                kv->pRibbonPalette = bv->prgbqColour;
            kv->dwPaletteColours = ctx.Device()->cPalColors;
        }
    }
    Treiberstrukturen* t = ctx.Settings();
    if (!t || ctx.Devmode()->wAnzahlFonts == 0) return;
    for (auto [name, target] : {std::pair{reg::kVectorFontMin, &t->dwVectorFontMin},
                                std::pair{reg::kVectorFontMax, &t->dwVectorFontMax}}) {
        std::uint32_t type = 0, cb = 0;
        DWORD v = 0;
        if (plat::GetPrinterData(ctx.Printer(), name, &type, &v, sizeof(v), &cb) == 0) *target = v;
    }
}

// The job's own blocks: document data, band parts and text collections,
// and the switches and command characters they carry.
void CreateJobBlocks(JobContext& ctx)
{
    KX_POP* op = ctx.Job();
    op->pDocDaten = NewMember<DocDaten>(ctx, DOCDATEN_SIZE, u"pDocDaten");
    op->pBildanteile = NewMember<Bildanteile>(ctx, BILDANTEILE_SIZE, u"pBildanteile");
    op->pKVBBBuffer = NewMember<KVBBBuffer>(ctx, KVBBBUFFER_SIZE, u"pKVBBBuffer");
    // The language setting 9 means a printer that gets no print start.
    if (ctx.Doc() && ctx.Settings() && ctx.Settings()->dwSprache == kSprachOhneFBC)
        ctx.Doc()->dwNo_FBC = 1;
}

// The job is set up: a continued job's registry markers go, and the next
// broken job is detected afresh.
void FinishStart(JobContext& ctx, const Findings& found)
{
    if (CollatedByResend(ctx.DevObj()) && !found.bContinued && ctx.Files())
        WriteJobDword(ctx.Files(), reg::kDAGesPages, ctx.Files()->dwTotalPages);
    if (Treiberstrukturen* t = ctx.Settings()) t->bDisablePDEV = 0;
    if (found.bAbbruch)
        for (const char16_t* name :
             {reg::kDAAbbruch, reg::kDAPageNr, reg::kDAFieldNr, reg::kDAPrnFileName})
            DeleteJobValue(ctx.Files(), name);
}

}  // namespace

HRESULT StartJob(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!ctx.Require(kNeedDevice | kNeedDevmode,
                     u"ERROR UNI(CC-Klassen):  StartJob() pOemPDev oder pKX_Devmode = NULL \r\n"))
        return E_FAIL;
    const OEM_PDEV* p = ctx.Device();
    Trace(
        u"UNI(CC-Klassen):  StartJob() Start - pOemPDev->iHAllocZaehler: %d, iNewZaehler: %d, "
        u"iHAllocZaehlerUNI: %d, iNewZaehlerUNI: %d \r\n",
        p->iHAllocZaehler, p->iNewZaehler, iHAllocZaehlerUNI, iNewZaehlerUNI);
    Findings found;
    found.counters[0] = p->iHAllocZaehler;
    found.counters[1] = p->iNewZaehler;
    found.counters[2] = iHAllocZaehlerUNI;
    found.counters[3] = iNewZaehlerUNI;
    if (SecondJob(ctx)) return E_FAIL;
    if (!CreateRootAndNames(ctx, found)) return E_FAIL;

    // A failed step is kept as the result; the start goes on as far as the
    // blocks that exist allow, so that the job end can free them.
    ReadInterface(ctx);
    NamesOfTheFiles(ctx, found);
    PrivateDevmode(ctx);
    PrintData(ctx, found);
    CreateJobBlocks(ctx);
    Switches(ctx, found);
    if (DruckDaten* d = ctx.Data(); d && ctx.Settings())
        ChooseCommandChars(ctx.Settings()->prnInterface, ctx.Settings()->dwFeature[0], &d->cStart,
                           &d->cEnd);
    MemoryCard(ctx, found);
    OpenLog(ctx, found);
    OpenPrintFile(ctx, found);
    JobCommands(ctx, found);
    RasterPreparation(ctx);
    TextPreparation(ctx);
    FinishStart(ctx, found);

    Trace(
        u"UNI(CC-Klassen):  StartJob() Ende - pOemPDev: 0x%x, pOemPDev->iHAllocZaehler: %d "
        u"(11), pOemPDev->iNewZaehler: %d (1) \r\n",
        static_cast<const void*>(p), p->iHAllocZaehler, p->iNewZaehler);
    return ctx.Result();
}

}  // namespace kx
