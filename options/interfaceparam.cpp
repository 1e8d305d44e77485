// Interface parameters: the job-start step SendParam and the printer
// parameter record that the device parameter senders read.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/jobcontext.h"
#include "core/record.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "options/deviceparam.h"
#include "options/prefixsuffix.h"
#include "platform/platform.h"
#include "settings/registry.h"

namespace kx {

namespace {

std::u16string_view View(const WCHAR* s, std::size_t cch)
{
    return {s, Length(s, cch)};
}

bool Contains(std::u16string_view text, std::u16string_view what)
{
    return !what.empty() && text.find(what) != std::u16string_view::npos;
}

// The extension rule of job names: cut at a point four characters from the
// end, else at the first point.
std::u16string_view CutExtension(std::u16string_view name)
{
    if (name.size() >= 4 && name[name.size() - 4] == u'.') return name.substr(0, name.size() - 4);
    const std::size_t dot = name.find(u'.');
    return dot == std::u16string_view::npos ? name : name.substr(0, dot);
}

// Short name of the document: the part after " - " of an application title
// "Microsoft ... - name", without folder, without extension.
std::u16string_view ShortName(std::u16string_view doc)
{
    const std::size_t dash = doc.find(u" - ");
    if (Contains(doc, u"Microsoft ") && dash != std::u16string_view::npos)
        doc = doc.substr(dash + 3);
    const std::size_t slash = doc.find_last_of(u"\\/");
    if (slash != std::u16string_view::npos) doc = doc.substr(slash + 1);
    return CutExtension(doc);
}

// Names of the JOB_INFO_2 status bits, as the log lists them. The bit 0x2000
// is named WAITING, as the printer status calls it.
void AppendStatusNames(std::u16string* out, DWORD dwStatus)
{
    static const struct {
        DWORD bit;
        const char16_t* name;
    } kNames[] = {{0x1, u"PAUSED"},
                  {0x2, u"ERROR"},
                  {0x4, u"DELETING"},
                  {0x8, u"SPOOLING"},
                  {0x10, u"PRINTING"},
                  {0x20, u"OFFLINE"},
                  {0x40, u"PAPEROUT"},
                  {0x80, u"PRINTED"},
                  {0x100, u"DELETED"},
                  {0x200, u"BLOCKED_DEVQ"},
                  {0x400, u"USER_INTERVENTION"},
                  {0x800, u"RESTART"},
                  {0x2000, u"WAITING"}};
    for (const auto& n : kNames) {
        if (!(dwStatus & n.bit)) continue;
        out->push_back(u' ');
        out->append(n.name);
    }
}

void WriteJobInformation(const OEM_PDEV* pdev, HANDLE hPrinter, const plat::JobInfo& ji)
{
    CLogFile* pLog = GetJobLogFile(pdev);
    if (!pLog) return;
    std::u16string status;
    AppendStatusNames(&status, ji.status);
    pLog->Write(u"Job Information[JOB_INFO_2]");
    pLog->Write(u"\t Document Name      = %s", ji.document);
    pLog->Write(u"\t Print Status       = 0x%x%s", ji.status, status);
    pLog->Write(u"\t Pages              = %d (?)", ji.totalPages);
    // The spooler's job size is not among the job fields the platform reads.
    pLog->Write(u"\t Size               = %d Bytes", 0);
    pLog->Write(u"\t JobId              = %d", ji.jobId);
    pLog->WritePrinterInfos(u"SendParam", hPrinter);
    pLog->WriteDriverInfos(u"SendParam", hPrinter);
}

// One record value for GetPrinterParam: the user's key when allowed, else
// the printer's data (through the handle, or the machine's key without one).
// A value longer than its record counts as read (its first cbRecord bytes
// are taken); a shorter one fills the beginning of the record. 0 or the
// registry error.
DWORD ReadParamValue(bool bUserAllowed, const std::u16string& userKey,
                     const std::u16string& machineKey, HANDLE hPrinter, const char16_t* pszName,
                     void* pRecord, DWORD cbRecord, DWORD* pcbValue)
{
    std::vector<BYTE> value;
    DWORD rc = ERROR_FILE_NOT_FOUND;
    if (bUserAllowed) rc = ReadRegistryValue(plat::Hive::CurrentUser, userKey, pszName, &value);
    if (rc != ERROR_SUCCESS || value.empty()) {
        if (hPrinter)
            rc = ReadPrinterDataValue(hPrinter, reg::kPrinterDataKey, pszName, &value);
        else
            rc = ReadRegistryValue(plat::Hive::LocalMachine, machineKey, pszName, &value);
    }
    if (rc == ERROR_SUCCESS && value.empty()) rc = ERROR_FILE_NOT_FOUND;
    *pcbValue = static_cast<DWORD>(value.size());
    if (rc != ERROR_SUCCESS) return rc;
    std::memcpy(pRecord, value.data(), std::min<std::size_t>(value.size(), cbRecord));
    return ERROR_SUCCESS;
}

bool ReadParamRecord(bool bUserAllowed, const std::u16string& userKey,
                     const std::u16string& machineKey, HANDLE hPrinter, const char16_t* pszName,
                     const char16_t* pszRecord, const char16_t* pszFeature, void* pRecord,
                     DWORD cbRecord)
{
    DWORD cbValue = 0;
    const DWORD rc = ReadParamValue(bUserAllowed, userKey, machineKey, hPrinter, pszName, pRecord,
                                    cbRecord, &cbValue);
    if (rc != ERROR_SUCCESS) {
        Trace(u"ERROR UNI(SendPrinterParam):  GetPrinterParam() %s %s nicht gelesen: %u \r\n",
              pszFeature, pszName, rc);
        return false;
    }
    if (cbValue < cbRecord)
        Trace(
            u"UNI(SendPrinterParam):  GetPrinterParam() %s hat ein altes Format - cbNeeded: %d, "
            u"sizeof(%s): %d \r\n",
            pszRecord, cbValue, pszRecord, cbRecord);
    return true;
}

}  // namespace

BOOL GetPrinterParam(OEM_PDEV* pOemPDev, HANDLE hPrinter, PRINTER_PARAM* pPrinterParam)
{
    if (!pPrinterParam || !pOemPDev) {
        Trace(
            u"ERROR UNI(SendPrinterParam):  GetPrinterParam() pPrinterParam oder pOemPDev fehlt "
            u"\r\n");
        return FALSE;
    }
    std::memset(pPrinterParam, 0, sizeof(*pPrinterParam));
    pPrinterParam->dwSize = PRINTER_PARAM_SIZE;
    pPrinterParam->dwVersion = PRINTER_PARAM_VERSION;
    const JobContext ctx(pOemPDev);
    TreiberPfadDatei* files = ctx.Files();
    Treiberstrukturen* ts = ctx.Settings();

    // The keys: the job's, or, before it has any, those of the printer name.
    std::u16string userKey, machineKey;
    if (files && files->szRegKey[0]) {
        userKey = View(files->szRegKey, KX_MAX_PATH);
        machineKey = View(files->szHLMRegKey, KX_MAX_PATH);
    } else {
        const std::u16string_view name =
            files ? View(files->wcPrinterName, KX_MAX_PATH) : std::u16string_view();
        userKey = UserRegKey(name);
        machineKey = MachineRegKey(name);
    }

    // Per-user values are used only when they were written for this version:
    // the user's "DriverVersion" holds the version number of the plug-in's
    // version text (the part before " - ", which is the build time). An
    // empty version text never matches.
    bool bUserAllowed = false;
    std::vector<BYTE> version;
    if (ReadRegistryValue(plat::Hive::CurrentUser, userKey, reg::kDriverVersion, &version) !=
            ERROR_SUCCESS ||
        version.empty()) {
        Trace(u"UNI(SendPrinterParam):  GetPrinterParam() Versionsinfo nicht vorhanden \r\n");
    } else {
        std::u16string stored(version.size() / 2, u'\0');
        std::memcpy(stored.data(), version.data(), stored.size() * 2);
        std::string_view own =
            files ? std::string_view(files->szPlugInVersion,
                                     Length(files->szPlugInVersion, sizeof(files->szPlugInVersion)))
                  : std::string_view();
        own = own.substr(0, own.find(" - "));
        std::u16string ownW(own.begin(), own.end());
        if (Contains(View(stored.c_str(), stored.size()), ownW)) {
            Trace(u"UNI(SendPrinterParam):  GetPrinterParam() Versionen sind identisch \r\n");
            bUserAllowed = true;
        }
    }
    if (ts) ts->bVersionIdentisch = bUserAllowed ? 1 : 0;

    if (ts) std::memcpy(pPrinterParam->dwFeatures, ts->dwFeature, FEATURE_LIST_SIZE);
    Trace(
        u"UNI(SendPrinterParam):  GetPrinterParam() CopyMemory MAX_FEATURES * sizeof(DWORD): %d "
        u"\r\n",
        FEATURE_LIST_SIZE);

    bool bOk = ts != nullptr;
    if (pPrinterParam->dwFeatures[FEATURE_INTERFACE] != 0)
        bOk &= ReadParamRecord(bUserAllowed, userKey, machineKey, hPrinter, reg::kPrinterInterface,
                               u"PRN_INTERFACE", u"FEATURE_INTERFACE", &pPrinterParam->prnInterface,
                               sizeof(PRN_INTERFACE));
    // A group whose record cannot be read loses its feature word in the
    // record, so that its sender sends nothing instead of zeros.
    if (pPrinterParam->dwFeatures[FEATURE_PHOTOCELL] != 0 &&
        !ReadParamRecord(bUserAllowed, userKey, machineKey, hPrinter, reg::kPhotocellParam,
                         u"PHOTOCELL_PARAM", u"FEATURE_PHOTOCELL", &pPrinterParam->photocellParam,
                         sizeof(PHOTOCELL_PARAM))) {
        pPrinterParam->dwFeatures[FEATURE_PHOTOCELL] = 0;
        bOk = false;
    }
    if (pPrinterParam->dwFeatures[FEATURE_SHIFTOPTIM] != 0 &&
        !ReadParamRecord(bUserAllowed, userKey, machineKey, hPrinter, reg::kShiftOptimParam,
                         u"SHIFT_OPTIM_PARAM", u"FEATURE_SHIFTOPTIM",
                         &pPrinterParam->shiftOptimParam, sizeof(SHIFT_OPTIM_PARAM))) {
        pPrinterParam->dwFeatures[FEATURE_SHIFTOPTIM] = 0;
        bOk = false;
    }
    Trace(u"UNI(SendPrinterParam):  GetPrinterParam() Ende - bRetval: %d \r\n", bOk ? 1 : 0);
    return bOk ? TRUE : FALSE;
}

HRESULT SendParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, KX_DEVMODE* pKX_Devmode)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!ctx.Require(kNeedFiles | kNeedSettings | kNeedData,
                     u"ERROR UNI(SendPrinterParam):  SendParam() Strukturen fehlen \r\n"))
        return E_FAIL;
    OEM_PDEV* pdev = ctx.Device();
    TreiberPfadDatei* files = ctx.Files();
    Treiberstrukturen* ts = ctx.Settings();
    DruckDaten* dd = ctx.Data();

    // The job as the spooler knows it.
    plat::JobInfo ji;
    const bool bJob = plat::GetJob(pdevobj->hPrinter, pdev->dwJobId, &ji);
    if (!bJob) Trace(u"SendParam(GetJob 2) ERROR: %u \r\n", plat::GetLastError());

    // A direct-output recall of a memory-card file sends no device
    // parameters: it sets dwSendGerParam (none at job or page start), both
    // skip flags and bRecallDirekt, and no later call clears them. Without a
    // devmode the document name is searched for "recall"/"Recall".
    if (bJob) {
        bool bRecall = false;
        if (pKX_Devmode) {
            WCHAR marker[sizeof(pKX_Devmode->szMemCardRecallKennung) / sizeof(WCHAR)];
            std::memcpy(marker, pKX_Devmode->szMemCardRecallKennung, sizeof(marker));
            bRecall = Contains(ji.document, View(marker, std::size(marker)));
        } else {
            bRecall = Contains(ji.document, u"recall") || Contains(ji.document, u"Recall");
        }
        if (bRecall) {
            Trace(u"UNI(SendPrinterParam):  SendParam() Direktausgabe recall erkannt: %s \r\n",
                  ji.document);
            dd->dwSendGerParam = 1;
            dd->bKeineGerParam = 1;
            dd->bKeineBellmarkParam = 1;
            dd->bRecallDirekt = 1;
        }
    }

    // The job information block of the log, once per job, in the call with
    // the devmode only.
    if (pKX_Devmode && bJob && dd->dwPage < 2 && !ts->bDisablePDEV)
        WriteJobInformation(pdev, pdevobj->hPrinter, ji);

    // Names and total pages.
    if (bJob) {
        // Document names are shown in comments, the log and the journal,
        // never opened: a cut one is harmless.
        (void)Copy(files->wcDocName, KX_MAX_PATH, ji.document);
        (void)Copy(files->wcKurzName, KX_MAX_PATH, ShortName(ji.document));
        (void)Format(dd->szJobName, KX_MAX_PATH, "%s", CutExtension(ji.document));
        files->dwTotalPages = ji.totalPages;
    }

    // The commands of the job start. The job start calls SendParam twice;
    // the first call has no devmode yet and only reads the job, so that
    // nothing is sent twice.
    if (!pKX_Devmode) return S_OK;
    if (dd->dwSendGerParam != 0) {
        Trace(
            u"UNI(SendPrinterParam):  SendParam() dwSendGerParam: %u - keine Geraeteparameter \r\n",
            dd->dwSendGerParam);
        return S_OK;
    }
    RecordWriter w(pdevobj, pUniDrv);
    w.SetPrintData(TRUE);
    if (dd->bMultiPage == 1) {
        if (!ts->bDisablePDEV)
            w.Separate("\t\t\t\t // MultiPage ", "%s", {dd->bManuellesMultipage ? "(manuell)" : ""},
                       RecordWriter::kBuffer, "%cFBF---r%c", {w.cStart(), w.cEnd()});
        return w.Result();
    }
    // Like every switch of the interface settings, the clear-memory switch
    // counts when it is exactly 1.
    if (ts->prnInterface.dwClearPrintMemory == 1)
        w.Separate("\t// delete print memory ", "%cFGA---r--------%c", {w.cStart(), w.cEnd()});
    if (FAILED(w.Result())) return w.Result();
    if (!SendPrinterParam(pdevobj, pUniDrv, nullptr)) {
        WriteJobLog(pdev, u"\r\n SendPrinterParam Error \r\n");
        return E_FAIL;
    }
    if (ts->prnInterface.dwPrefixSuffix > 0)
        return ReadPrefixSuffix(pdevobj, pUniDrv, PS_POST_DEVICE);
    return S_OK;
}

}  // namespace kx
