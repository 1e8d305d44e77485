// The device parameter senders (module SendPrinterParam): one command group
// per peripheral, each sent only when the model has the feature.
//
// - The senders work on copies of the settings (DISPENSER_PARAM, ...), so
//   forced and adjusted modes never change the host's devmode.
// - Photocell type and ribbon control are unsigned: a type above 5 or a
//   negative ribbon setting is not sent. A model whose document features
//   hold DOC_FEATURE_NO_RIBBON_CONTROL gets both ribbon digits 0.
// - Dispenser: mode 0 (off, or forced off by an active cutter) sends only the
//   mode, so that its common offset record "FCCC" never overwrites the
//   cutter's offset; the photocell level is left out with the feature
//   "No_Level", the offset with "No_Offset"; "Separate_Offset" selects the
//   dispenser's own offset record "FCSDA".
// - A recall job skips the print modules KRM-i and the bellmark; KRM-c does
//   not test the skip flag.
// - KRM-c: the mode always, the offset with its feature "Offset", the cycle
//   with "Cycle", and "FCADO r1" in the print-module family form only.
// - Device settings: the label scan position needs the photocell feature
//   "Scanposition", the tear-off offset the print feature "Tearoff_Offset";
//   the tear-off offset is a signed 16-bit value (the settings file stores
//   only the low 16 bits of the field).
// - The PWM value of the light sensor is sent on the first page only, like
//   the rest of SendPrinterParam.
#include "options/deviceparam.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/jobcontext.h"
#include "core/record.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "platform/platform.h"

namespace kx {

namespace {

// Every device command is formatted into a buffer of this size.
constexpr std::size_t kCmdBuffer = 50;

// Each sender is one step with its own context: it needs the job's
// settings and print data, and its first failed record is its result.
bool RequireJob(JobContext& ctx, const char16_t* pszWho)
{
    return ctx.Require(
        kNeedSettings | kNeedData,
        u"ERROR UNI(SendPrinterParam):  %s() Strukturen fehlen - pOemPDev: %p, pOp: %p \r\n",
        {pszWho, static_cast<const void*>(ctx.Device()), static_cast<const void*>(ctx.Job())});
}

// The writer of one sender: separate records in a 50-character buffer, as
// print data. It stops at the step's first failure.
class Sender {
public:
    explicit Sender(JobContext& ctx) : m_w(ctx) { m_w.SetPrintData(TRUE); }
    char S() const { return m_w.cStart(); }
    char E() const { return m_w.cEnd(); }
    HRESULT Result() const { return m_w.Result(); }
    HRESULT Send(const char* comment, const char* valueFmt, FmtArgs valueArgs, const char* fmt,
                 FmtArgs args)
    {
        return m_w.Separate(comment, valueFmt, valueArgs, kCmdBuffer, fmt, args);
    }

private:
    RecordWriter m_w;
};

// Sign character and magnitude of a signed setting.
long long Magnitude(LONG v)
{
    return std::llabs(static_cast<long long>(v));
}

void LogError(const OEM_PDEV* pdev, const char16_t* pszText)
{
    Trace(u"ERROR UNI(SendPrinterParam):  %s \r\n", pszText);
    WriteJobLog(pdev, u"%s", pszText);
}

void* CreateHeapBuffer_SPP(DWORD dwSize, const char16_t* pszName)
{
    void* p = plat::HeapAlloc(dwSize, true);
    if (!p)
        Trace(u"ERROR UNI(SendPrinterParam):  CreateHeapBuffer_SPP() %s: kein Speicher (%u) \r\n",
              pszName, dwSize);
    return p;
}

}  // namespace

// ------------------------------------------------------------ settings copies

DISPENSER_PARAM DispenserParam(const KX_DEVMODE& dm)
{
    return {dm.dispenser_dwMode, dm.dispenser_dwPhotocellLevel, dm.dispenser_lOffset,
            dm.dispenser_dwStartDelay};
}

DWORD CutterInterval(const KX_DEVMODE& dm)
{
    return dm.cutter_dwInterval != 0 ? dm.cutter_dwInterval : dm.cutter_wInterval;
}

CUTTER_PARAM CutterParam(const KX_DEVMODE& dm)
{
    return {dm.cutter_dwMode,     CutterInterval(dm),   dm.cutter_wIntervalReset,
            dm.cutter_lOffset,    dm.cutter_lAltOffset, dm.cutter_bAltOffset,
            dm.cutter_lDoubleCut, dm.cutter_lCutWidth,  dm.cutter_wControlMode};
}

SCANNER_PARAM ScannerParam(const KX_DEVMODE& dm)
{
    return {dm.scanner_dwMode,
            dm.scanner_dwPort,
            dm.scanner_dwNoReads,
            dm.scanner_dwFeedLabels,
            static_cast<DWORD>(dm.scanner_dwOffset),
            dm.scanner_dwLength,
            dm.scanner_dwScanMode,
            dm.scanner_dwDelay,
            dm.scanner_dwTimeout};
}

APPLICATOR_PARAM ApplicatorParam(const KX_DEVMODE& dm)
{
    return {
        dm.applicator_dwMode,         dm.applicator_dwApplicationMode, dm.applicator_dwDelayAirOn,
        dm.applicator_dwDelayAirOff,  dm.applicator_dwVacuumControl,   dm.applicator_dwBlowTime,
        dm.applicator_dwWaitPosition, dm.applicator_dwEnrolTime,       dm.applicator_dwCleaningTime,
        dm.applicator_dwTimeoutHub,   dm.applicator_dwPressureControl, dm.applicator_dwPressureTime,
        dm.applicator_dwVacuumDelay};
}

KRM_PARAM KrmParam(const KX_DEVMODE& dm)
{
    return {dm.krm_dwServicePosition, dm.krm_dwBackSpeed, dm.krm_dwMode,       dm.krm_dwCycle,
            dm.krm_dwPrintPosition,   dm.krm_dwOffset,    dm.krm_dwRibbonSpeed};
}

KRMC_PARAM KrmcParam(const KX_DEVMODE& dm)
{
    return {dm.krmc_dwMode, dm.krmc_dwOffset, dm.krmc_dwOffsetZusatz, dm.krmc_dwCycle};
}

BELLMARK_PARAM BellmarkParam(const KX_DEVMODE& dm)
{
    return {dm.bellmark_dwSendMask, dm.bellmark_dwFirstLabelOffset, dm.bellmark_dwGap,
            dm.bellmark_dwLanes,    dm.bellmark_dwWASRow,           dm.bellmark_dwWASHost,
            dm.bellmark_dwWASOffset};
}

// ------------------------------------------------------------ senders

HRESULT SendPhotocellParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                           const PRINTER_PARAM* pPrinterParam)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pPrinterParam || !RequireJob(ctx, u"SendPhotocellParam")) return E_FAIL;
    Sender s(ctx);
    const DWORD f = pPrinterParam->dwFeatures[FEATURE_PHOTOCELL];
    const PHOTOCELL_PARAM& pc = pPrinterParam->photocellParam;

    if (f & (FEATURE_PHOTOCELL_TYPE | FEATURE_PHOTOCELL_ULTRASONIC)) {
        const auto type = static_cast<unsigned long>(static_cast<DWORD>(pc.dwPhotocellType));
        if (type <= 5)
            s.Send("\t// Photocell Type  ", "%d ", {static_cast<int>(type)},
                   "%cFCDE--r%1lu-------%c", {s.S(), type, s.E()});
        else
            Trace(u"ERROR UNI(SendPrinterParam):  SendPhotocellParam() Typ %u ungueltig \r\n",
                  type);
    }

    if (f & (FEATURE_PHOTOCELL_RIBBON_CONTROL | FEATURE_PHOTOCELL_RIBBON_CONT_2)) {
        const DWORD r = static_cast<DWORD>(pc.dwRibbonControl);
        const bool bCont2 = (f & FEATURE_PHOTOCELL_RIBBON_CONT_2) != 0;
        if (r < (bCont2 ? 2u : 3u)) {
            int iOnOff = r > 0 ? 1 : 0;
            int iStrong = (r == 2 || (r == 1 && bCont2)) ? 1 : 0;
            if (ctx.Data()->dwDocFeatures & DOC_FEATURE_NO_RIBBON_CONTROL) iOnOff = iStrong = 0;
            const char* text =
                iOnOff == 0 ? "Off - Weak " : (iStrong ? "On - Strong " : "On - Weak ");
            s.Send("\t// Ribbon-Control ", "%s", {text}, "%cFCDB--r%d%d------%c",
                   {s.S(), iOnOff, iStrong, s.E()});
        }
    }

    if ((ctx.Settings()->dwDeviceOptionFlags & DEVOPTFLAG_RIBBON_SAVE) && pc.wRibbonSave >= 1) {
        const unsigned value = pc.wRibbonSave - 1u;
        s.Send("\t// Ribbon Save ", "%s", {pc.wRibbonSave == 1 ? "off " : "on "},
               "%cFCDJ--r%u-------%c", {s.S(), value, s.E()});
    }
    return s.Result();
}

HRESULT SendShiftOptimParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                            const SHIFT_OPTIM_PARAM* pShift)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pShift || !RequireJob(ctx, u"SendShiftOptimParam")) return E_FAIL;
    Sender s(ctx);
    const SHIFT_OPTIM_PARAM& p = *pShift;
    auto sign = [](LONG v) { return v < 0 ? '-' : '+'; };

    s.Send("\t// R correction  ", "%d ", {static_cast<long>(p.lRCorrection)},
           "%cFCDRFCr%c%04ld---%c",
           {s.S(), p.lRCorrection < 0 ? '-' : '0', Magnitude(p.lRCorrection), s.E()});
    s.Send("\t// X Shift  ", "%.1f ", {p.lXShift / 10.0}, "%cFCDRSXr%c%05d--%c",
           {s.S(), sign(p.lXShift), Magnitude(p.lXShift), s.E()});
    s.Send("\t// Y Shift  ", "%.1f ", {p.lYShift / 10.0}, "%cFCDRSYr%c%05d--%c",
           {s.S(), sign(p.lYShift), Magnitude(p.lYShift), s.E()});
    s.Send("\t// lanes  ", "%d ", {static_cast<long>(p.lLanes)}, "%cFCDRSRr%06d--%c",
           {s.S(), static_cast<long>(p.lLanes), s.E()});
    s.Send("\t// R Shift  ", "%.1f ", {p.lRShift / 10.0}, "%cFCDRSZr%c%05d--%c",
           {s.S(), sign(p.lRShift), Magnitude(p.lRShift), s.E()});
    return s.Result();
}

HRESULT SendDispenserParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                           const DISPENSER_PARAM* pDispenser)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pDispenser || !RequireJob(ctx, u"SendDispenserParam")) return E_FAIL;
    Sender s(ctx);
    const DISPENSER_PARAM& d = *pDispenser;
    const DWORD f = ctx.Settings()->dwFeature[FEATURE_DISPENSER];

    s.Send("\t// Dispenser Mode", "%d ", {d.dwMode}, "%cFCDC--r%1lu-------%c",
           {s.S(), static_cast<unsigned long>(d.dwMode), s.E()});
    if (d.dwMode == 0) return s.Result();
    if (!(f & FEATURE_DISPENSER_NO_LEVEL))
        s.Send("\t// Dispenser PhotocellLevel", "%d ", {d.dwPhotocellLevel},
               "%cFCCF--r+%02lu-----%c",
               {s.S(), static_cast<unsigned long>(d.dwPhotocellLevel), s.E()});
    if (!(f & FEATURE_DISPENSER_NO_OFFSET))
        s.Send("\t// Dispenser extra Offset", "%d ", {static_cast<long>(d.lOffset)},
               (f & FEATURE_DISPENSER_SEPARATE_OFFSET) ? "%cFCSDA-r+%03ld----%c"
                                                       : "%cFCCC--r+%03ld----%c",
               {s.S(), static_cast<long>(d.lOffset), s.E()});
    s.Send("\t// Dispenser Start signal delay", "%d ", {d.dwStartDelay}, "%cFCSDD-r%03lu-----%c",
           {s.S(), static_cast<unsigned long>(d.dwStartDelay), s.E()});
    return s.Result();
}

HRESULT SendCutterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const CUTTER_PARAM* pCutter)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pCutter || !RequireJob(ctx, u"SendCutterParam")) return E_FAIL;
    const CUTTER_PARAM& c = *pCutter;
    if (c.dwMode == 0xFFFFFFFF) return S_OK;

    // Mode adjustments: several pages per label cut only at the end of the
    // label; an interval cut without control flag counts labels itself; the
    // combined cut needs a printer where cutter and dispenser work together.
    DWORD dwMode = c.dwMode;
    bool bForced = false;
    if (ctx.Data()->bMultiPage) {
        if (dwMode == 7) dwMode = 6;
    } else {
        if (dwMode == 4 && c.dwControlFlag == 0) dwMode = 5;
        if (dwMode == 6 && !(ctx.Settings()->dwDeviceOptionFlags & DEVOPTFLAG_CUTTER_DISPENSER)) {
            dwMode = 0;
            bForced = true;
        }
        if (dwMode == 7) dwMode = 6;
    }
    Trace(u"UNI(SendPrinterParam):  SendCutterParam() Mode %u -> %u \r\n", c.dwMode, dwMode);

    Sender s(ctx);
    const bool bModeSettable = (ctx.Data()->dwAusstattung & P_OPTIONS_CUTTER_MODE) != 0;
    const unsigned long ulModeDigit = bModeSettable ? dwMode : 0;
    s.Send("\t// Cuttermode  ", "%d ", {ulModeDigit}, "%cFCDD--r%1lu-------%c",
           {s.S(), ulModeDigit, s.E()});
    if (!bModeSettable) return s.Result();

    if (dwMode == 4 || dwMode == 5) {
        if (c.bIntervalReset == 1)
            s.Send("\t// Cutter Intervall Reset ", "%d ", {c.bIntervalReset}, "%cFBBDA-r--------%c",
                   {s.S(), s.E()});
        s.Send("\t// Cutter Intervall  ", "%d ", {c.dwInterval}, "%cFBBD--r%04lu----%c",
               {s.S(), static_cast<unsigned long>(c.dwInterval), s.E()});
    }
    if (dwMode == 0 && !bForced) return s.Result();

    const DWORD f = ctx.Settings()->dwFeature[FEATURE_CUTTER];
    const long lOffset = c.bAltOffset == 1 ? c.lAltOffset : c.lOffset;
    s.Send("\t// Cutteroffset  ", "%d ", {lOffset},
           (f & FEATURE_CUTTER_SEPARATE_OFFSET) ? "%cFCSCA-r+%03ld----%c" : "%cFCCC--r+%03ld----%c",
           {s.S(), lOffset, s.E()});
    if (dwMode == 0) return s.Result();

    if (f & FEATURE_CUTTER_DOUBLE_CUT)
        s.Send("\t// Doublecut ", "%d ", {static_cast<long>(c.lDoubleCut)}, "%cFCSCB-r+%03ld----%c",
               {s.S(), static_cast<long>(c.lDoubleCut), s.E()});
    if (f & FEATURE_CUTTER_CUT_WIDTH) {
        // Tenths of a millimetre to whole millimetres, halves away from zero.
        const long long w = c.lCutWidth;
        const long long lWidth = w >= 0 ? (w + 5) / 10 : (w - 5) / 10;
        s.Send("\t// Cutwidth ", "%d ", {lWidth}, "%cFCSCC-r%03ld-----%c", {s.S(), lWidth, s.E()});
    }
    if (f & FEATURE_CUTTER_CONTROL)
        s.Send("\t// Cutter Control-Flag ", "%d ", {c.dwControlFlag}, "%cFCSCD-r%lu-------%c",
               {s.S(), static_cast<unsigned long>(c.dwControlFlag), s.E()});
    return s.Result();
}

HRESULT SendScannerParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                         const SCANNER_PARAM* pScanner)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pScanner || !RequireJob(ctx, u"SendScannerParam")) return E_FAIL;
    Sender s(ctx);
    const SCANNER_PARAM& p = *pScanner;

    unsigned long ulMode = 0;
    if (ctx.Data()->dwAusstattung & P_OPTIONS_SCANNER_MODE) ulMode = p.dwMode == 4 ? 1 : p.dwMode;
    const unsigned long ulPort = p.dwPort;
    const unsigned long ulFeed = (p.dwFeedLabels == 0 ? 1 : p.dwFeedLabels) - 1;
    if (p.dwNoReads == 0)
        s.Send("\t// Scanner", "Mode %d", {ulMode}, "%cFCDM--r%1lu%1lu-%1lu----%c",
               {s.S(), ulMode, ulPort, ulFeed, s.E()});
    else
        s.Send("\t// Scanner", "Mode %d", {ulMode}, "%cFCDM--r%1lu%1lu%1lu%1lu----%c",
               {s.S(), ulMode, ulPort, static_cast<unsigned long>(p.dwNoReads - 1), ulFeed, s.E()});
    if (ulMode == 0) return s.Result();

    auto ul = [](DWORD v) { return static_cast<unsigned long>(v); };
    s.Send("\t// Scan offset", "%.1f mm", {p.dwOffset / 10.0}, "%cFCDMA-r%04lu----%c",
           {s.S(), ul(p.dwOffset), s.E()});
    s.Send("\t// Scan lenght", "%.1f mm", {p.dwLength / 10.0}, "%cFCDMB-r%04lu----%c",
           {s.S(), ul(p.dwLength), s.E()});
    s.Send("\t// Scan mode", "%d ", {p.dwScanMode}, "%cFCDMC-r%1lu-------%c",
           {s.S(), ul(p.dwScanMode), s.E()});
    s.Send("\t// Scan delay", "%d ms \n", {p.dwDelay}, "%cFCDMD-r%04lu----%c",
           {s.S(), ul(p.dwDelay), s.E()});
    s.Send("\t// Scan timeout", "%d ", {p.dwTimeout}, "%cFCDME-r%04lu----%c",
           {s.S(), ul(p.dwTimeout), s.E()});
    return s.Result();
}

HRESULT SendApplicatorParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                            const APPLICATOR_PARAM* pApplicator)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pApplicator || !RequireJob(ctx, u"SendApplicatorParam")) return E_FAIL;
    Sender s(ctx);
    const APPLICATOR_PARAM& a = *pApplicator;
    struct Row {
        const char* fmt;
        DWORD value;
        const char* comment;
        const char* valueFmt;
    };
    const Row rows[] = {
        {"%cFCPA--r%u-------%c", a.dwMode, "\t// Applicator working mode", "%d "},
        {"%cFCPB--r%u-------%c", a.dwApplicationMode, "\t// Applicator application mode", "%d "},
        {"%cFCPC--r%04u----%c", a.dwDelayAirOn, "\t// Applicator delay air on", "%d [ms]"},
        {"%cFCPD--r%04u----%c", a.dwDelayAirOff, "\t// Applicator delay air off", "%d "},
        {"%cFCPE--r%u-------%c", a.dwVacuumControl, "\t// Applicator vacuum control", "%d "},
        {"%cFCPF--r%04u----%c", a.dwBlowTime, "\t// Applicator blowtime", "%d "},
        {"%cFCPG--r%u-------%c", a.dwWaitPosition, "\t// Applicator waitposition", "%d "},
        {"%cFCPH--r%04u----%c", a.dwEnrolTime, "\t// Applicator enrolltime", "%d "},
        {"%cFCPK--r%04u----%c", a.dwCleaningTime, "\t// Applicator cleaningtime", "%d "},
        {"%cFCPL--r%04u----%c", a.dwTimeoutHub, "\t// Applicator Timeout Hub", "%d "},
        {"%cFCPM--r%01u-------%c", a.dwPressureControl, "\t// Applicator pressure control", "%d"},
        {"%cFCPN--r%04u----%c", a.dwPressureTime, "\t// Applicator pressure time", "%d "},
        {"%cFCPO--r%04u----%c", a.dwVacuumDelay, "\t// Applicator vacuum delay", "%d "},
    };
    for (const Row& r : rows)
        s.Send(r.comment, r.valueFmt, {r.value}, r.fmt, {s.S(), r.value, s.E()});
    return s.Result();
}

HRESULT SendKRMParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const KRM_PARAM* pKrm,
                     BOOL bExtended)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKrm || !RequireJob(ctx, u"SendKRMParam")) return E_FAIL;
    Sender s(ctx);
    const KRM_PARAM& k = *pKrm;
    const DWORD f = ctx.Settings()->dwFeature[FEATURE_KRM];
    auto ul = [](DWORD v) { return static_cast<unsigned long>(v); };

    if (f & FEATURE_KRM_SERVICEPNT) {
        const unsigned long ulPos = ul(k.dwServicePosition) * 10;
        s.Send("\t// KRM i Service Position ", "%d ", {ulPos}, "%cFCADD-r%04lu----%c",
               {s.S(), ulPos, s.E()});
    }
    if (f & FEATURE_KRM_BACKSPEED)
        s.Send("\t// KRM i BackSpeed ", "%d ", {k.dwBackSpeed}, "%cFCADG-r%03lu-----%c",
               {s.S(), ul(k.dwBackSpeed), s.E()});
    if (f & FEATURE_KRM_MODE)
        s.Send("\t// KRM i Mode ", "%d ", {k.dwMode}, "%cFCADH-r%lu-------%c",
               {s.S(), ul(k.dwMode), s.E()});
    if (f & FEATURE_KRM_CYCLE)
        s.Send("\t// KRM i Cycle ", "%d ", {k.dwCycle}, "%cFCADI-r%02lu------%c",
               {s.S(), ul(k.dwCycle), s.E()});
    if (f & FEATURE_KRM_PRINTPOSITION)
        s.Send("\t// KRM i Printposition ", "%d ", {k.dwPrintPosition}, "%cFCADK-r%05lu---%c",
               {s.S(), ul(k.dwPrintPosition), s.E()});
    if (f & FEATURE_KRM_OFFSET)
        s.Send("\t// KRM i Offset ", "%3.1f mm ", {k.dwOffset / 10.0},
               bExtended ? "%cFCADLAr%05lu--0%c" : "%cFCADL-r%04lu----%c",
               {s.S(), ul(k.dwOffset), s.E()});
    if (f & FEATURE_KRM_RIBBONSPEED)
        s.Send("\t// KRM i RibbonSpeed ", "%d ", {k.dwRibbonSpeed}, "%cFCADM-r%03lu-----%c",
               {s.S(), ul(k.dwRibbonSpeed), s.E()});
    if ((f & FEATURE_KRM_MODE) && bExtended)
        s.Send("\t// Lumetra i mode", "%d ", {0}, "%cFCADO-r0-------%c", {s.S(), s.E()});
    return s.Result();
}

HRESULT SendKRMcParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const KRMC_PARAM* pKrmc,
                      BOOL bExtended)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKrmc || !RequireJob(ctx, u"SendKRMcParam")) return E_FAIL;
    Sender s(ctx);
    const KRMC_PARAM& k = *pKrmc;
    const DWORD f = ctx.Settings()->dwFeature[FEATURE_KRMC];
    auto ul = [](DWORD v) { return static_cast<unsigned long>(v); };

    s.Send("\t// KRM c Mode", "%d ", {k.dwMode}, "%cFCDC--r%1lu-------%c",
           {s.S(), ul(k.dwMode), s.E()});
    if (f & FEATURE_KRMC_OFFSET)
        s.Send("\t// KRM c Offset", "%d %d", {k.dwOffset, k.dwOffsetZusatz},
               "%cFCADLAr%05lu--%lu%c", {s.S(), ul(k.dwOffset), ul(k.dwOffsetZusatz), s.E()});
    if (f & FEATURE_KRMC_CYCLE)
        s.Send("\t// KRM c Cycle", "%d ", {k.dwCycle}, "%cFCADI-r%02lu------%c",
               {s.S(), ul(k.dwCycle), s.E()});
    if (bExtended) s.Send("\t// Lumetra c mode", "%d ", {1}, "%cFCADO-r1-------%c", {s.S(), s.E()});
    return s.Result();
}

HRESULT SendBellmarkParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                          const BELLMARK_PARAM* pBellmark)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pBellmark || !RequireJob(ctx, u"SendBellmarkParam")) return E_FAIL;
    const BELLMARK_PARAM& b = *pBellmark;
    if ((b.dwSendMask & BMFLAG_REQUIRED) != BMFLAG_REQUIRED) {
        Trace(u"UNI(SendPrinterParam):  SendBellmarkParam() Sendemaske 0x%x - nichts senden \r\n",
              b.dwSendMask);
        return S_OK;
    }
    Sender s(ctx);
    const DWORD f = ctx.Settings()->dwFeature[FEATURE_BELLMARK];
    auto ul = [](DWORD v) { return static_cast<unsigned long>(v); };

    if ((f & FEATURE_BELLMARK_FIRSTLABEL) && b.dwSendMask == BMFLAG_REQUIRED)
        s.Send("\t// First Label Offset ", "%d ", {b.dwFirstLabelOffset}, "%cFCNB--r%05lu0--%c",
               {s.S(), ul(b.dwFirstLabelOffset), s.E()});
    if (f & FEATURE_BELLMARK_GAP) {
        const unsigned long ulGap = ul(b.dwGap) * 10;
        s.Send("\t// Gap ", "%d ", {ulGap}, "%cFCCM--r%05lu---%c", {s.S(), ulGap, s.E()});
    }
    if (f & FEATURE_BELLMARK_LANES)
        s.Send("\t// Lanes ", "%d ", {b.dwLanes}, "%cFCNA--r%02lu------%c",
               {s.S(), ul(b.dwLanes), s.E()});
    if (f & FEATURE_BELLMARK_WAS) {
        s.Send("\t// WAS row ", "%d ", {b.dwWASRow}, "%cFCNWMRr%03lu-----%c",
               {s.S(), ul(b.dwWASRow), s.E()});
        s.Send("\t// WAS host ", "%d ", {b.dwWASHost}, "%cFCNWMDr%04lu----%c",
               {s.S(), ul(b.dwWASHost), s.E()});
        s.Send("\t// WAS offset ", "%d ", {b.dwWASOffset}, "%cFCNWMOr%04lu----%c",
               {s.S(), ul(b.dwWASOffset), s.E()});
    }
    return s.Result();
}

// ------------------------------------------------------------ the three entry points

BOOL SendPrinterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, PRINTER_PARAM* pPrinterParam)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!RequireJob(ctx, u"SendPrinterParam")) return FALSE;
    if (ctx.Data()->dwPage >= 2) {
        Trace(u"UNI(SendPrinterParam):  SendPrinterParam() nicht auf Seite %u \r\n",
              ctx.Data()->dwPage);
        return TRUE;
    }

    // The own record goes back to the heap however the sending ends (an
    // exception included).
    struct HeapBlock {
        void operator()(PRINTER_PARAM* p) const { plat::HeapFree(p); }
    };
    std::unique_ptr<PRINTER_PARAM, HeapBlock> own;
    if (!pPrinterParam) {
        own.reset(
            static_cast<PRINTER_PARAM*>(CreateHeapBuffer_SPP(PRINTER_PARAM_SIZE, u"pPrinterParam")));
        PRINTER_PARAM* pOwn = own.get();
        if (!pOwn) return FALSE;
        // Values that cannot be read stay zero; the senders then send nothing
        // for those groups.
        GetPrinterParam(ctx.Device(), pdevobj->hPrinter, pOwn);
        pPrinterParam = pOwn;
    }

    BOOL bOk = TRUE;
    if (pPrinterParam->dwFeatures[FEATURE_PHOTOCELL] != 0) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_PHOTOCELL;
        if (FAILED(SendPhotocellParam(pdevobj, pUniDrv, pPrinterParam))) {
            LogError(ctx.Device(), u"SendPrinterParam() FEATURE_PHOTOCELL Error");
            bOk = FALSE;
        }
    }
    if (pPrinterParam->dwFeatures[FEATURE_SHIFTOPTIM] != 0 &&
        pPrinterParam->shiftOptimParam.bNichtSenden == 0) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_SHIFTOPTIM;
        if (FAILED(SendShiftOptimParam(pdevobj, pUniDrv, &pPrinterParam->shiftOptimParam))) {
            LogError(ctx.Device(), u"SendPrinterParam() FEATURE_SHIFTOPTIM Error");
            bOk = FALSE;
        }
    }
    if (CLogFile* pLog = GetJobLogFile(ctx.Device()))
        pLog->WritePrinterParam(u"SendPrinterParam", pPrinterParam->dwFeatures,
                                &pPrinterParam->photocellParam, &pPrinterParam->shiftOptimParam);

    const KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    if (pKX && pKX->wEtikettenLSEnable == 1) {
        Sender s(ctx);
        const unsigned uPwm = pKX->PWMwertLS;
        if (FAILED(
                s.Send("\t// PWM ", "%d ", {uPwm}, "%cFCDEB-r%03u-----%c", {s.S(), uPwm, s.E()}))) {
            Trace(u"ERROR UNI(SendPrinterParam):  SendPrinterParam() PWM nicht gesendet \r\n");
            bOk = FALSE;
        }
    }

    return bOk;
}

BOOL SendDevmodePrinterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, KX_DEVMODE* pKX_Devmode)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKX_Devmode || !RequireJob(ctx, u"SendDevmodePrinterParam")) return FALSE;
    const KX_DEVMODE& dm = *pKX_Devmode;
    const DWORD dwAus = ctx.Data()->dwAusstattung;
    const DWORD dwAus2 = ctx.Data()->dwOptionen2;
    BOOL bOk = TRUE;
    auto check = [&](HRESULT hr, const char16_t* pszError) {
        if (FAILED(hr)) {
            LogError(ctx.Device(), pszError);
            bOk = FALSE;
        }
    };

    bool bCutterActive = false;
    if (dwAus & P_OPTIONS_CUTTER) {
        CUTTER_PARAM c = CutterParam(dm);
        if (dwAus & P_OPTIONS_CUTTER_MODE)
            ctx.Settings()->dwDialogeEnable |= DIALOG_CUTTER;
        else
            c.dwMode = 0;
        if (c.dwMode != CUTTER_MODE_PRINTER)
            check(SendCutterParam(pdevobj, pUniDrv, &c),
                  u"SendDevmodePrinterParam() FEATURE_CUTTER Error");
        bCutterActive = c.dwMode >= 1 && c.dwMode <= 7;
    }

    if (dwAus & P_OPTIONS_DISPENSER) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_DISPENSER;
        DISPENSER_PARAM d = DispenserParam(dm);
        if (d.dwMode != DISPENSER_MODE_PRINTER) {
            if (bCutterActive &&
                !(ctx.Settings()->dwDeviceOptionFlags & DEVOPTFLAG_CUTTER_DISPENSER))
                d.dwMode = 0;
            check(SendDispenserParam(pdevobj, pUniDrv, &d),
                  u"SendDevmodePrinterParam() FEATURE_DISPENSER Error");
        }
    }

    if (dwAus & P_OPTIONS_SCANNER) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_SCANNER;
        const SCANNER_PARAM p = ScannerParam(dm);
        if (p.dwMode != SCANNER_MODE_PRINTER)
            check(SendScannerParam(pdevobj, pUniDrv, &p),
                  u"SendDevmodePrinterParam() DEVOPTFLAG_SCANNER Error");
    }

    if (dwAus & P_OPTIONS_APPLICATOR) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_APPLICATOR;
        const APPLICATOR_PARAM a = ApplicatorParam(dm);
        if (a.dwMode != APPLICATOR_MODE_PRINTER)
            check(SendApplicatorParam(pdevobj, pUniDrv, &a),
                  u"SendDevmodePrinterParam() DEVOPTFLAG_APPLICATOR Error");
    }

    const bool bKrmi = ctx.Settings()->dwFeature[FEATURE_KRM] != 0 && (dwAus2 & P_OPTIONS_KRMI) &&
                       !ctx.Data()->bKeineGerParam;
    const bool bKrmc = ctx.Settings()->dwFeature[FEATURE_KRMC] != 0 && (dwAus2 & P_OPTIONS_KRMC);
    const KRM_PARAM krm = KrmParam(dm);
    const KRMC_PARAM krmc = KrmcParam(dm);
    auto sendKrmi = [&](BOOL bExtended) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_KRM;
        check(SendKRMParam(pdevobj, pUniDrv, &krm, bExtended),
              u"SendPrinterParam() FEATURE_KRM Error");
    };
    auto sendKrmc = [&](BOOL bExtended) {
        ctx.Settings()->dwDialogeEnable |= DIALOG_KRMC;
        check(SendKRMcParam(pdevobj, pUniDrv, &krmc, bExtended),
              u"SendPrinterParam() FEATURE_KRMC Error");
    };
    if (dwAus2 & P_OPTIONS_LUMETRA) {
        // The print-module family carries one module: its type decides.
        if (ctx.Data()->dwModulTyp == 1 && bKrmi) sendKrmi(TRUE);
        if (ctx.Data()->dwModulTyp == 0 && bKrmc) sendKrmc(TRUE);
    } else {
        if (bKrmi) sendKrmi(FALSE);
        if (bKrmc) sendKrmc(FALSE);
    }

    if (ctx.Settings()->dwFeature[FEATURE_BELLMARK] != 0 && (dwAus2 & P_OPTIONS_BELLMARK) &&
        !ctx.Data()->bKeineBellmarkParam) {
        const BELLMARK_PARAM b = BellmarkParam(dm);
        check(SendBellmarkParam(pdevobj, pUniDrv, &b),
              u"SendPrinterParam() FEATURE_BELLMARK Error");
    }
    Trace(
        u"UNI(SendPrinterParam):  SendDevmodePrinterParam() Ende - dwDialogeEnable: 0x%x, bOk: %d "
        u"\r\n",
        ctx.Settings()->dwDialogeEnable, bOk);
    return bOk;
}

HRESULT SendDeviceSettingsParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                                KX_DEVMODE* pKX_Devmode)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!pKX_Devmode || !RequireJob(ctx, u"SendDeviceSettingsParam")) return E_FAIL;
    const KX_DEVMODE& dm = *pKX_Devmode;
    Sender s(ctx);
    const DWORD fPhotocell = ctx.Settings()->dwFeature[FEATURE_PHOTOCELL];
    const DWORD fPrint = ctx.Settings()->dwFeature[FEATURE_PRINT];

    if (fPhotocell & FEATURE_PHOTOCELL_SCANPOSITION) {
        const unsigned long ulPos = dm.wScanPosition;
        s.Send("\t// Label Scanposition", " %d %%", {ulPos}, "%cFCDEA-r%02lu------%c",
               {s.S(), ulPos, s.E()});
    }
    if (fPrint & FEATURE_PRINT_LABELCHANGE) {
        const int iChange = dm.wLabelChange ? 1 : 0;
        s.Send("\t// Label change", "%d ", {iChange}, "%cFCSDFCr%d-------%c",
               {s.S(), iChange, s.E()});
    }
    if (fPrint & FEATURE_PRINT_TEAROFF_OFFSET) {
        const long lTearOff = static_cast<std::int16_t>(dm.TearOffOffset & 0xFFFF);
        s.Send("\t// TearOff Offset", "%2.1f mm ", {lTearOff / 10.0}, "%cFCCG--r+%03ld----%c",
               {s.S(), lTearOff, s.E()});
    }
    return s.Result();
}

}  // namespace kx
