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
//     are reset. "The two further device-option modes" reset with the others
//     are the older cutter mode (wCutterMode) and the cutter control mode.
//   - The log file is opened at step 18; the devmode and barcode sections
//     that the devmode step would log are written right after it opens.
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

#include "diag/logfile.h"
#include "diag/prnfile.h"
#include "core/trace.h"
#include "diag/version.h"
#include "core/jobheap.h"
#include "job/jobsteps.h"
#include "job/jobstream.h"
#include "job/labellayout.h"
#include "core/printeroptions.h"
#include "core/record.h"
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
#include "core/printerparam.h"
#include "settings/registry.h"
#include "core/regvalues.h"
#include "settings/xmlreader.h"
#include "settings/xmlsettings.h"

namespace kx {

namespace {

constexpr DWORD kDocFeatureUtf8 = 0x20000;  // newer protocol: UTF-8 text, named memory-card files
constexpr DWORD kDocFeatureSplitFile = 0x40000;  // two-colour model with a split print file
constexpr DWORD kFeatureQueueJob = 0x4;          // the printer can discard an aborted job
constexpr DWORD kSprachOhneFBC = 9;              // language setting that means "no print start"
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

// One run of the job start.
struct Start {
    PDEVOBJ pdevobj = nullptr;
    IPrintOemDriverUni* pUniDrv = nullptr;
    OEM_PDEV* p = nullptr;
    KX_DEVMODE* pKX = nullptr;
    const DEVMODEW* pub = nullptr;
    HANDLE hPrinter = nullptr;
    KX_POP* op = nullptr;
    HRESULT hr = S_OK;
    bool bAbbruch = false;    // "DAAbbruch" was set: the job continues a broken one
    bool bContinued = false;  // and its counters were read
    PRINTER_OPTIONS options{};
    plat::JobInfo job;
    // The allocation counters when the job start began (device blocks and
    // objects, process blocks and objects), for the trace file.
    int counters[4] = {};  // the spooler's view of the job (document, pages)

    TreiberPfadDatei* files() const { return op ? op->pTreiberPfadDatei : nullptr; }
    Treiberstrukturen* settings() const { return op ? op->pTreiberstrukturen : nullptr; }
    DruckDaten* data() const { return op ? op->pDruckDaten : nullptr; }
    DocDaten* doc() const { return op ? op->pDocDaten : nullptr; }
};

// Allocates one member; a failure is traced in the member's words and makes
// the job start's result E_FAIL.
template <class T>
T* NewMember(Start& s, DWORD dwSize, const char16_t* pszName)
{
    void* block = CreateJobBuffer(s.p, dwSize, pszName);
    if (!block) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() konnte %s nicht anlegen \r\n", pszName);
        s.hr = E_FAIL;
    }
    return static_cast<T*>(block);
}

// Step 1: a job already runs on this device state.
bool SecondJob(const Start& s)
{
    const KX_POP* op = s.p->pOp;
    if (!op) return false;
    Trace(u"UNI(CC-Klassen):  StartJob() ERROR - zweiter DA mit identischem pOemPDev 0x%x \r\n",
          static_cast<const void*>(s.p));
    if (op->pTreiberPfadDatei) Trace(u"UNI(CC-Klassen):  StartJob() pTreiberPfadDatei aktiv \r\n");
    if (op->pTreiberstrukturen)
        Trace(u"UNI(CC-Klassen):  StartJob() pTreiberstrukturen aktiv \r\n");
    if (op->pDruckDaten) Trace(u"UNI(CC-Klassen):  StartJob() pDruckDaten aktiv \r\n");
    if (op->pDocDaten) Trace(u"UNI(CC-Klassen):  StartJob() pDocDaten aktiv \r\n");
    Trace(u"UNI(CC-Klassen):  StartJob() ... deshalb Abbruch \r\n");
    return true;
}

// Step 10: the names of the GPD, from the driver's data file.
void GpdNames(Start& s, TreiberPfadDatei* f)
{
    plat::DriverInfo info;
    if (!plat::GetPrinterDriver(s.hPrinter, &info) || info.dataFile.empty()) {
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
    Copy(f->wcGPD_DateiKomplett, KX_MAX_PATH, full);
    Copy(f->wcGPD_OhneDateiendung, KX_MAX_PATH, path + bare);
    Copy(f->wcGPD_NurPfad, KX_MAX_PATH, path);
    Copy(f->wcGPD_NurDateiMitEndung, KX_MAX_PATH, file);
    Copy(f->wcGPD_NurName, KX_MAX_PATH, bare);
    Trace(u"UNI(CC-Klassen):  StartJob() wcGPD_NurName: %s \r\n", f->wcGPD_NurName);
}

// Steps 2 and 3: the root, the names and the registry keys.
bool CreateRootAndNames(Start& s)
{
    s.op = NewMember<KX_POP>(s, sizeof(KX_POP), u"pOp");
    if (!s.op) return false;
    s.p->pOp = s.op;
    s.p->hOpHeap = GetProcessHeapHandle();
    s.op->pBarcodeDevmode = NewMember<BYTE>(s, BARCODE_DEVMODE_SIZE, u"pBarcodeDevmode");
    TreiberPfadDatei* f =
        NewMember<TreiberPfadDatei>(s, sizeof(TreiberPfadDatei), u"pTreiberPfadDatei");
    s.op->pTreiberPfadDatei = f;
    if (!f) return true;
    f->hPrnFile = INVALID_HANDLE_VALUE;
    f->hPrnFile2 = INVALID_HANDLE_VALUE;
    f->hRecallFile = INVALID_HANDLE_VALUE;

    if (!GetRealPrinterName(s.hPrinter, f->wcPrinterName))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() GetRealPrinterName ERROR \r\n");
    if (!BuildRegistryKeys(f->wcPrinterName, f->szRegKey, f->szHLMRegKey))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Registry-Schluessel fuer %s ERROR \r\n",
              f->wcPrinterName);
    Trace(u"UNI(CC-Klassen):  StartJob() Drucker: %s, szRegKey: %s \r\n", f->wcPrinterName,
          f->szRegKey);
    if (!GetRegistryRecord(s.p, reg::kPrinterOptions, s.hPrinter, &s.options, sizeof(s.options)))
        Trace(
            u"UNI(CC-Klassen):  StartJob() PrinterOptions weder in HKCU noch in den "
            u"Druckerdaten \r\n");
    GpdNames(s, f);
    if (!GetDriverPathComplete(s.hPrinter, f->wcDriverDirectory))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() GetDriverPathComplete ERROR \r\n");
    // The spooler's view of the job: its document name and page count.
    if (!plat::GetJob(s.hPrinter, s.p->dwJobId, &s.job))
        Trace(u"UNI(CC-Klassen):  StartJob() GetJob(%u) ERROR %u \r\n", s.p->dwJobId,
              plat::GetLastError());
    f->dwTotalPages = s.job.totalPages;
    return true;
}

// Step 4: the interface settings.
void ReadInterface(Start& s)
{
    Treiberstrukturen* t =
        NewMember<Treiberstrukturen>(s, sizeof(Treiberstrukturen), u"pTreiberstrukturen");
    s.op->pTreiberstrukturen = t;
    if (!t) return;
    std::memset(&t->prnInterface, 0, sizeof(t->prnInterface));
    if (!GetRegistryRecord(s.p, reg::kPrinterInterface, s.hPrinter, &t->prnInterface,
                           sizeof(t->prnInterface))) {
        // No settings in the registry: the printer's own settings file.
        Trace(u"UNI(CC-Klassen):  StartJob() PrinterInterface fehlt - XML-Einstellungen \r\n");
        if (GetDataTransmissionParamFromXML(s.p, &t->prnInterface) != XML_FOUND)
            Trace(u"UNI(CC-Klassen):  StartJob() XML-Einstellungen nicht lesbar: %s \r\n",
                  XmlSettingsFilePath(s.p));
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

// Step 7: the print file's name from the naming rules. A refused name is
// not kept, and the files that would need it are switched off.
void FormPrnFileName(Start& s)
{
    TreiberPfadDatei* f = s.files();
    Treiberstrukturen* t = s.settings();
    PRN_INTERFACE& pi = t->prnInterface;
    DWORD bRetval = 1;
    const WCHAR* name = GetPrnFileName(s.hPrinter, u"", nullptr, 1, &pi, &bRetval);
    if (!bRetval) {
        Trace(u"UNI(CC-Klassen):  StartJob() ACHTUNG - GetPrnFileName bRetval: %d \r\n", bRetval);
        t->bLogFileEnable = 0;
        pi.bLogFileEnable = 0;
        pi.dwPrnFileComment = 0;
        f->wcPrnFileName[0] = 0;
        return;
    }
    Copy(f->wcPrnFileName, KX_MAX_PATH, View(name));
    std::size_t n = Length(f->wcPrnFileName, KX_MAX_PATH);
    if (n && f->wcPrnFileName[n - 1] == u'\\') f->wcPrnFileName[n - 1] = 0;
}

// Steps 5 to 8: the broken job, collation, the print-file name and the trace.
void NamesOfTheFiles(Start& s)
{
    TreiberPfadDatei* f = s.files();
    Treiberstrukturen* t = s.settings();
    if (!f) return;
    DWORD dwAbbruch = 0;
    if (ReadJobDword(f, reg::kDAAbbruch, &dwAbbruch) && dwAbbruch != 0) {
        s.bAbbruch = true;
        Trace(u"UNI(CC-Klassen):  StartJob() HCU %s - vorherigen Abbruch erkannt \r\n",
              f->szRegKey);
        std::uint32_t type = 0;
        std::uint32_t cb = sizeof(f->wcPrnFileName) - sizeof(WCHAR);
        WCHAR name[KX_MAX_PATH] = {};
        if (plat::RegGetValue(plat::Hive::CurrentUser, f->szRegKey, reg::kDAPrnFileName, &type,
                              name, &cb) == 0)
            Copy(f->wcPrnFileName, KX_MAX_PATH, View(name));
    }
    if (!t) return;
    PRN_INTERFACE& pi = t->prnInterface;

    // Collated copies are made by sending the print file again: it must
    // exist, and without comments.
    if (CollatedByResend(s.pdevobj) && pi.dwPrnFileComment == 0) pi.dwPrnFileComment = 2;

    if (!f->wcPrnFileName[0] &&
        (t->bLogFileEnable == 1 || pi.dwPrnFileComment > 0 || pi.dwDebugFile >= 2 ||
         pi.bEnableBackup == 1 || pi.dwDebugImage > 0))
        FormPrnFileName(s);
    Trace(u"UNI(CC-Klassen):  StartJob() wcPrnFileName: %s \r\n", f->wcPrnFileName);

    if (pi.dwDebugFile >= 2 && f->wcPrnFileName[0] && trace::Open(View(f->wcPrnFileName)))
        Trace(
            u"UNI(CC-Klassen):  StartJob() Zaehler bei Jobbeginn - pOemPDev->iHAllocZaehler: %d, "
            u"iNewZaehler: %d, iHAllocZaehlerUNI: %d, iNewZaehlerUNI: %d \r\n",
            s.counters[0], s.counters[1], s.counters[2], s.counters[3]);
}

// Step 9, first half: the private devmode.
void PrivateDevmode(Start& s)
{
    KX_DEVMODE* pKX = s.pKX;
    if (!HasValidMarker(*pKX)) {
        Trace(
            u"UNI(CC-Klassen):  StartJob() Devmode ohne Kennung - gespeicherten Devmode lesen "
            u"\r\n");
        auto* reg =
            static_cast<KX_DEVMODE*>(CreateJobBuffer(s.p, KX_DEVMODE_SIZE, u"pKX_DevmodeReg"));
        if (reg) {
            bool found = ReadDevmodeSettings(s.hPrinter, reg, nullptr) == DEVMODE_READ_COPIED;
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
            FreeJobBlock(s.p, reg);
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

    if (s.files() && s.op->pBarcodeDevmode)
        ReadBarcodeSettings(s.hPrinter, s.files()->wcPrinterName, s.op->pBarcodeDevmode,
                            s.op->pBarcodeDevmode + reg::kBarCodes1DSize);

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
        std::u16string xml = XmlSettingsFilePath(s.p);
        bool fromXml = false;
        if (!xml.empty() && OpenXML(xml) == XML_FOUND)
            fromXml = GetFixedPrinterSettingsFromXML(s.p, pKX);
        else
            Trace(u"UNI(CC-Klassen):  StartJob() XML-Datei %s nicht lesbar \r\n", xml);
        CloseXML();
        if (!fromXml && s.files()) {
            DWORD features = 0;
            GetFixedPrinterSettingsFromGPD(s.p, pKX, &features, s.files()->wcGPD_DateiKomplett);
        }
    }
}

// "SuppFeatures" of the printer data; missing there, the feature list of the
// printer's settings file.
void GetFeatures(Start& s, DWORD* pFeatures)
{
    std::memset(pFeatures, 0, FEATURE_LIST_SIZE);
    std::vector<BYTE> value;
    DWORD rc = ReadPrinterDataValue(s.hPrinter, reg::kPrinterDataKey, reg::kSuppFeatures, &value);
    if (rc == 0) {
        // Up to twelve words; a longer record of a newer settings interface
        // keeps its first twelve.
        std::memcpy(pFeatures, value.data(),
                    std::min<std::size_t>(value.size(), FEATURE_LIST_SIZE));
    } else if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_INVALID_HANDLE) {
        Trace(u"UNI(CC-Klassen):  GetFeatures() SuppFeatures fehlt (%u) - XML-Einstellungen \r\n",
              rc);
        ULONG size = 0;
        if (GetFeaturesFromXML(s.p, &size, pFeatures) != XML_FOUND)
            Trace(u"UNI(CC-Klassen):  GetFeatures() XML-Datei %s nicht lesbar \r\n",
                  XmlSettingsFilePath(s.p));
        CloseXML();
    } else {
        Trace(u"ERROR UNI(CC-Klassen):  GetFeatures() GetPrinterData ERROR %u \r\n", rc);
    }
}

// Steps 11 to 13: the print data of the job.
void PrintData(Start& s)
{
    DruckDaten* d = NewMember<DruckDaten>(s, sizeof(DruckDaten), u"pDruckDaten");
    s.op->pDruckDaten = d;
    if (!d) return;
    KX_DEVMODE* pKX = s.pKX;
    Treiberstrukturen* t = s.settings();
    d->dwCopies = 1;
    d->dwAusstattung = s.options.dwAusstattung;
    d->dwOptionen2 = s.options.dwOptionen2;
    d->dwModulTyp = s.options.wModulTyp;
    SetSkalierung(d, *pKX, s.pub);

    const WCHAR* model = s.files() ? s.files()->wcGPD_NurName : u"";
    d->dwDocFeatures = GetDocFeaturesIntern(s.hPrinter, model);
    if (t && (d->dwDocFeatures & kDocFeatureSplitFile) && pKX->wSplitPrnFile == 1)
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
    } else if (s.pub && s.pub->dmCollate == 1 && s.pub->dmCopies > 1 && pKX->wMehrereSeiten == 0 &&
               pKX->wAutoCollate == 1) {
        d->bMultiPage = 1;
        Trace(
            u"UNI(CC-Klassen):  StartJob() Mehrbahnen durch Anwendung aktiviert - "
            u"SORTIEREN_DRUCKJOB - bMultiPage \r\n");
    }
    pKX->FixedData.dwDocFeatures = d->dwDocFeatures;

    if (s.bAbbruch) {
        DWORD page = 0, fields = 0;
        if (ReadJobDword(s.files(), reg::kDAPageNr, &page) &&
            ReadJobDword(s.files(), reg::kDAFieldNr, &fields)) {
            d->dwPage = page;
            d->dwFields = fields;
            s.bContinued = true;
            if (t) t->bDisablePDEV = 1;
            Trace(u"UNI(CC-Klassen):  StartJob() Fortsetzung - dwPage: %u, dwFields: %u \r\n", page,
                  fields);
        }
    }
}

// Step 15: the switches of the job.
void Switches(Start& s)
{
    DruckDaten* d = s.data();
    Treiberstrukturen* t = s.settings();
    if (!d || !t) return;
    const KX_DEVMODE* pKX = s.pKX;
    const PRN_INTERFACE& pi = t->prnInterface;
    d->bCompress = pi.bCompress;
    if ((pKX->dwFlags & PDMFLAG_MULTICOL) &&
        !((d->dwDocFeatures & kDocFeatureUtf8) && !(pKX->dwFlags & PDMFLAG_MULTICOL_OLD)))
        d->bCompress = 0;
    d->dwSendGerParam = pi.dwSendGerParam;
    d->dwSendEtiParam = pi.dwSendEtiParam;
    GetFeatures(s, t->dwFeature);
    const WCHAR* model = s.files() ? s.files()->wcGPD_NurName : u"";
    t->dwDeviceOptionFlags = GetDeviceOptionsFlagsIntern(s.p, s.hPrinter, model);
    d->bCorrectXPos = 0;
    if (t->dwDeviceOptionFlags >= 128) d->dwSendGerParam = pi.dwSendGerParam > 1 ? 1 : 0;
    if (t->dwDeviceOptionFlags & 1) {
        if (s.options.dwModule == 1) d->bCorrectXPos = 1;
        if (pKX->dwAusrichtung == 1 || pKX->dwAusrichtung == 2) d->bCorrectXPos = 0;
    }
    if (d->dwDocFeatures & kDocFeatureUtf8) d->bUTF8 = 1;
    t->bUseInternalTTF = pKX->wTTFverwenden == 0 ? 1 : 0;
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
std::string MemCardDirectory(const Start& s)
{
    if (!(s.data()->dwDocFeatures & kDocFeatureUtf8)) return "A:\\";
    std::string dir = Narrow(GetDevmodeText(s.pKX, KX_DM_TEXT(szMemCardVerz)));
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

// Step 17: output to the printer's memory card.
void MemoryCard(Start& s)
{
    DruckDaten* d = s.data();
    Treiberstrukturen* t = s.settings();
    TreiberPfadDatei* f = s.files();
    if (!d || !t || !f || !d->bMemCard) return;
    PRN_INTERFACE& pi = t->prnInterface;
    if (pi.dwPrnFileComment == 0)
        pi.dwPrnFileComment = 2;
    else
        d->bKeepPrnFile = 1;
    if (s.doc()) s.doc()->dwNo_FBC = 1;

    std::u16string card;
    if (d->dwDocFeatures & kDocFeatureUtf8) {
        // The card file is named after the job; the print file beside it.
        const std::u16string dir = u"C:\\logfiles\\";
        if (!plat::IsDirectory(dir) && !plat::CreateDirectory(dir))
            Trace(u"ERROR UNI(CC-Klassen):  StartJob() CreateDirectory %s ERROR %u \r\n", dir,
                  plat::GetLastError());
        card = MemCardName(s.job.document);
        if (card.empty()) card = u"Job";
        Copy(f->wcPrnFileName, KX_MAX_PATH, dir + card);
    } else {
        // The card's file is the print file: it needs a name even when
        // nothing else asked for one.
        if (!f->wcPrnFileName[0]) FormPrnFileName(s);
        if (!f->wcPrnFileName[0]) {
            Trace(u"ERROR UNI(CC-Klassen):  StartJob() bMemCard ohne Druckdatei \r\n");
            return;
        }
        std::u16string_view name = View(f->wcPrnFileName);
        std::size_t slash = name.find_last_of(u'\\');
        card = std::u16string(slash == std::u16string_view::npos ? name : name.substr(slash + 1));
    }
    Copy(d->szMemCardFile, KX_MAX_PATH, Narrow(card));
    Copy(d->szMemCardDir, KX_MAX_PATH, MemCardDirectory(s));
    Trace(u"UNI(CC-Klassen):  StartJob() bMemCard - Datei %s, Verzeichnis %s \r\n",
          d->szMemCardFile, d->szMemCardDir);

    if (!s.pKX->wMemCard_Recall || !f->wcPrnFileName[0]) return;
    std::u16string_view base = View(f->wcPrnFileName);
    std::size_t slash = base.find_last_of(u'\\');
    std::u16string recall =
        std::u16string(slash == std::u16string_view::npos ? std::u16string_view()
                                                          : base.substr(0, slash + 1)) +
        u"Recall_" + card + u".prn";
    Copy(f->wcRecallFileName, KX_MAX_PATH, recall);
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
    if (d->dwDocFeatures & kDocFeatureUtf8) file += ".prn";
    std::string record =
        FormatString("%cFMB---r%s%s%c\r\n", {d->cStart, d->szMemCardDir, file, d->cEnd});
    if (!plat::WriteFile(h, record.data(), static_cast<std::uint32_t>(record.size()), &written))
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Recall-Datei schreiben ERROR %u \r\n",
              plat::GetLastError());
}

// Step 18: the information log.
void OpenLog(Start& s)
{
    TreiberPfadDatei* f = s.files();
    Treiberstrukturen* t = s.settings();
    if (!f || !t || t->bLogFileEnable != 1) return;
    if (!OpenJobLogFile(s.p, s.hPrinter, t->bLogFileEnable)) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() Log-Datei nicht geoeffnet \r\n");
        return;
    }
    CLogFile* log = GetJobLogFile(s.p);
    JobLog(s.p, s.bAbbruch ? "[... continue]" : "[START_JOB]");
    JobLogF(s.p, "\t Print File Name    = %s.prn \r\n", PrnFileNameA(f));
    log->WritePrivateDevMode(u"StartJob", s.pKX);
    if (s.op->pBarcodeDevmode) log->WriteBarcodeSettings(u"StartJob", s.op->pBarcodeDevmode);
}

// Step 19: the print file.
void OpenPrintFile(Start& s)
{
    TreiberPfadDatei* f = s.files();
    Treiberstrukturen* t = s.settings();
    if (!f || !t) return;
    const PRN_INTERFACE& pi = t->prnInterface;
    if (!(pi.dwPrnFileComment > 0 || pi.bEnableBackup == 1) || IsValidHandle(f->hPrnFile)) return;
    if (!f->wcPrnFileName[0]) {
        Trace(u"UNI(CC-Klassen):  StartJob() kein Dateiname - keine Druckdatei \r\n");
        return;
    }
    BOOL ok = OpenPrnFile(s.pKX->wSplitPrnFile, s.p, s.bAbbruch ? TRUE : FALSE);
    if (!ok && s.bAbbruch) ok = OpenPrnFile(s.pKX->wSplitPrnFile, s.p, FALSE);
    if (!ok) {
        f->hPrnFile = INVALID_HANDLE_VALUE;
        f->hPrnFile2 = INVALID_HANDLE_VALUE;
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() OpenPrnFile ERROR \r\n");
    }
}

}  // namespace

HRESULT SendHeader(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobParts j(pdevobj);
    if (!j.files) return E_FAIL;
    plat::SystemTime now = plat::GetLocalTime();
    plat::DriverInfo driver;
    if (!plat::GetPrinterDriver(pdevobj->hPrinter, &driver))
        Trace(u"ERROR UNI(CC-Klassen):  SendHeader() GetPrinterDriver ERROR %u \r\n",
              plat::GetLastError());
    char windows[kWindowsTextChars] = {};
    char version[kWindowsTextChars] = {};
    GetWindowsVersion(windows, version);
    const std::string lines[][2] = {
        {"// printed at: ",
         FormatString("%02u.%02u.%02u %02u:%02u:%02u",
                      {now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond})},
        {"// Manufacturer: ", Narrow(driver.provider)},
        {"// Printer: ", Narrow(View(j.files->wcPrinterName))},
        {"// PlugIn-Version: ", j.files->szPlugInVersion},
        {"// OS-Version: ", windows},
        {"//             ", version},
        {"", ""}};
    HRESULT hr = S_OK;
    for (const auto& line : lines) {
        HRESULT r = SendeKommentar(pdevobj, pUniDrv, line[0].c_str(), line[1].c_str());
        if (FAILED(r)) hr = r;
    }
    return hr;
}

namespace {

// Steps 20 and 21: the header and the job commands.
void JobCommands(Start& s)
{
    DruckDaten* d = s.data();
    Treiberstrukturen* t = s.settings();
    TreiberPfadDatei* f = s.files();
    if (!d || !t || !f) return;
    const PRN_INTERFACE& pi = t->prnInterface;

    GetDriverVersionInfo(s.pdevobj);
    RecordWriter w(s.pdevobj, s.pUniDrv);
    if (w.CommentsOn()) {
        SendHeader(s.pdevobj, s.pUniDrv);
        w.Comment("\t// START_JOB ", TimeOfDay().c_str());
    }
    const char cS = w.cStart(), cE = w.cEnd();

    if (t->dwFeature[0] > 127 && pi.dwEtbSohAutomatik == 1)
        w.Joined("\t\t// Userdefined Start/Stop \r\n", "KXPLStartStop%02X%02X",
                 {static_cast<unsigned char>(cS), static_cast<unsigned char>(cE)});
    if (!t->bDisablePDEV) {
        // A collated job's print file is sent once per copy: the data
        // transfer start goes to the spooler only.
        BOOL bNoFile = s.pub && s.pub->dmCollate == 1;
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
        if (w.Ok() && !(d->dwDocFeatures & kDocFeatureUtf8)) Warte(kDatenspeicherWaitMs);
    } else if (pi.dwDatenspeicher == 3) {
        w.Joined("\t// Data memory  \r\n", "", {});
    }
    if ((t->dwFeature[0] & kFeatureQueueJob) && pi.dwQueueJob == 0 && pi.dwQueueJob2 == 0)
        w.Joined("\t// old job aborted \r\n", "%cRD----r0-------%c%cRD----r2-------%c",
                 {cS, cE, cS, cE});
    s.hr = FAILED(w.Result()) && SUCCEEDED(s.hr) ? w.Result() : s.hr;

    // Device parameters: first the job information (total pages, recall
    // detection), then the manual multi-page decision, then the options.
    HRESULT hrParam = SendParam(s.pdevobj, s.pUniDrv, nullptr);
    const KX_DEVMODE* pKX = s.pKX;
    if (pKX->wMehrereSeiten == 0 && pKX->wMehrereReihen == 0 && s.pub && s.pub->dmCollate == 0 &&
        pKX->wManuellesMultipage == 1 && s.pub->dmCopies == 1 &&
        (f->dwTotalPages > 1 || s.bContinued)) {
        d->bMultiPage = 1;
        d->bManuellesMultipage = 1;
        Trace(u"UNI(CC-Klassen):  StartJob() manuelles Multipage - bMultiPage \r\n");
    }
    if (SUCCEEDED(hrParam)) hrParam = SendParam(s.pdevobj, s.pUniDrv, s.pKX);
    if (FAILED(hrParam)) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() SendParam ERROR 0x%x \r\n", hrParam);
        JobLog(s.p, "\r\n[START_JOB] SendParam ERROR ");
    }
    if (CLogFile* log = GetJobLogFile(s.p)) log->WriteInterfaceParam(u"StartJob", &t->prnInterface);

    if (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) {
        RecordWriter head(s.pdevobj, s.pUniDrv);
        unsigned mode = (pKX->wFarbband >= 1 && pKX->wFarbband <= 6) ? 0
                        : pKX->wFarbband == 7                        ? 2
                                                                     : 1;
        head.Joined("\t// print head mode \r\n", "%cFCDL--r%u-------%c", {cS, mode, cE});
        if (FAILED(head.Result()) && SUCCEEDED(s.hr)) s.hr = head.Result();
    }
}

// Step 23: the page image record and the colour tables.
void RasterPreparation(Start& s)
{
    DruckDaten* d = s.data();
    s.op->hBufferHeap = GetProcessHeapHandle();
    auto* bv = NewMember<Bildverarbeitung>(s, BILDVERARBEITUNG_SIZE, u"pBildverarbeitung");
    s.op->pBildverarbeitung = bv;
    if (!bv) JobLog(s.p, "\r\n[START_JOB]) pOemPDev->pOp->pBildverarbeitung ERROR ");
    s.op->pRGBBuffer = NewMember<BYTE>(s, RGBBUFFER_SIZE, u"pRGBBuffer");
    if (!bv || !s.op->pRGBBuffer || !d) return;
    auto* tables = reinterpret_cast<RGBQUAD*>(s.op->pRGBBuffer);
    bv->prgbq = tables;
    bv->prgbqSaved = tables + 256;
    bv->prgbqColour = tables + 512;
    bv->dwFarbmodus = (d->dwDocFeatures & DOC_FEATURE_COLORPRINT) ? 2 : 1;
    if (d->dwDocFeatures & DOC_FEATURE_QUALITY) {
        FillGreyPalette(bv->prgbq);
        FillColorPalette_250Grey(bv->prgbqSaved);
        FillColorPalette_6Colors(bv->prgbqColour);
        if (s.pKX->wFarbband == 6) {
            const DWORD c = s.pKX->dwRGBColorOwn1;  // 0x00BBGGRR
            for (RGBQUAD* table : {bv->prgbqSaved, bv->prgbqColour}) {
                table[8].rgbRed = static_cast<BYTE>(c);
                table[8].rgbGreen = static_cast<BYTE>(c >> 8);
                table[8].rgbBlue = static_cast<BYTE>(c >> 16);
            }
        }
    } else {
        s.op->pGraphBuf = NewMember<BYTE>(s, GRAPHBUF_SIZE, u"pGraphBuf");
    }
}

// Step 24: the character buffer and the vector-font limits.
void TextPreparation(Start& s)
{
    // The text module hands the areas of this buffer to its collections
    // when it lays out pKVBBBuffer.
    s.op->pZeichenBuffer = NewMember<BYTE>(s, ZEICHENBUFFER_SIZE, u"pZeichenBuffer");
    Treiberstrukturen* t = s.settings();
    if (!t || s.pKX->wAnzahlFonts == 0) return;
    for (auto [name, target] : {std::pair{reg::kVectorFontMin, &t->dwVectorFontMin},
                                std::pair{reg::kVectorFontMax, &t->dwVectorFontMax}}) {
        std::uint32_t type = 0, cb = 0;
        DWORD v = 0;
        if (plat::GetPrinterData(s.hPrinter, name, &type, &v, sizeof(v), &cb) == 0) *target = v;
    }
}

}  // namespace

HRESULT StartJob(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    OEM_PDEV* p = GetOemPDev(pdevobj);
    KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    if (!p || !pKX) {
        Trace(u"ERROR UNI(CC-Klassen):  StartJob() pOemPDev oder pKX_Devmode = NULL \r\n");
        return E_FAIL;
    }
    Trace(
        u"UNI(CC-Klassen):  StartJob() Start - pOemPDev->iHAllocZaehler: %d, iNewZaehler: %d, "
        u"iHAllocZaehlerUNI: %d, iNewZaehlerUNI: %d \r\n",
        p->iHAllocZaehler, p->iNewZaehler, iHAllocZaehlerUNI, iNewZaehlerUNI);
    Start s;
    s.pdevobj = pdevobj;
    s.pUniDrv = pUniDrv;
    s.p = p;
    s.pKX = pKX;
    s.pub = pdevobj->pPublicDM;
    s.hPrinter = pdevobj->hPrinter;
    s.counters[0] = p->iHAllocZaehler;
    s.counters[1] = p->iNewZaehler;
    s.counters[2] = iHAllocZaehlerUNI;
    s.counters[3] = iNewZaehlerUNI;
    if (SecondJob(s)) return E_FAIL;
    if (!CreateRootAndNames(s)) return E_FAIL;

    ReadInterface(s);
    NamesOfTheFiles(s);
    PrivateDevmode(s);
    PrintData(s);

    s.op->pDocDaten = NewMember<DocDaten>(s, sizeof(DocDaten), u"pDocDaten");
    s.op->pBildanteile = NewMember<Bildanteile>(s, BILDANTEILE_SIZE, u"pBildanteile");
    s.op->pKVBBBuffer = NewMember<KVBBBuffer>(s, KVBBBUFFER_SIZE, u"pKVBBBuffer");
    if (s.doc() && s.settings() && s.settings()->dwSprache == kSprachOhneFBC) s.doc()->dwNo_FBC = 1;

    Switches(s);
    if (DruckDaten* d = s.data(); d && s.settings())
        ChooseCommandChars(s.settings()->prnInterface, s.settings()->dwFeature[0], &d->cStart,
                           &d->cEnd);
    MemoryCard(s);
    OpenLog(s);
    OpenPrintFile(s);
    JobCommands(s);

    if (CollatedByResend(pdevobj) && !s.bContinued && s.files())
        WriteJobDword(s.files(), reg::kDAGesPages, s.files()->dwTotalPages);

    RasterPreparation(s);
    TextPreparation(s);

    if (Treiberstrukturen* t = s.settings()) t->bDisablePDEV = 0;
    if (s.bAbbruch)
        for (const char16_t* name :
             {reg::kDAAbbruch, reg::kDAPageNr, reg::kDAFieldNr, reg::kDAPrnFileName})
            DeleteJobValue(s.files(), name);

    Trace(
        u"UNI(CC-Klassen):  StartJob() Ende - pOemPDev: 0x%x, pOemPDev->iHAllocZaehler: %d "
        u"(11), pOemPDev->iNewZaehler: %d (1) \r\n",
        static_cast<const void*>(p), p->iHAllocZaehler, p->iNewZaehler);
    return s.hr;
}

}  // namespace kx
