// Device parameter commands: the KXPL commands that set up the printer's
// peripherals (photocell and ribbon control, shift optimisation, dispenser,
// cutter, scanner, applicator, the KRM-i and KRM-c print modules, bellmark)
// and a few device settings (label scan position, label change, tear-off
// offset, light-sensor PWM), and the job-start step SendParam around them.
//
// Every command is a separate record: the record goes to the spooler and the
// print file (in split mode the second print file), and its comment line -
// or a bare "\r\n" when comments are off - goes to the print file only, so
// the spooler stream carries the device commands back to back.
//
// Where the senders take their values (docs/device-options.md lists them all):
//   printer parameter record PRINTER_PARAM (GetPrinterParam, below): the
//     feature words, the photocell record (type, ribbon control, ribbon
//     save) and the shift-optimisation record;
//   private devmode (settings/devmode.h): the option block 1994..2216
//     (dispenser_..., cutter_..., scanner_..., applicator_..., krm_...,
//     krmc_..., bellmark_...), wScanPosition, wLabelChange, TearOffOffset,
//     wEtikettenLSEnable and PWMwertLS, szMemCardRecallKennung;
//   job state: pDruckDaten dwAusstattung and dwOptionen2 (P_OPTIONS_... bits
//     of job/printeroptions.h, from "PrinterOptions"), dwModulTyp, dwPage,
//     bMultiPage, dwDocFeatures, dwSendGerParam, bKeineGerParam,
//     bKeineBellmarkParam; pTreiberstrukturen dwFeature[] (the model's
//     capability words per peripheral, FEATURE_... indexes, the bellmark
//     word at index FEATURE_BELLMARK), dwDeviceOptionFlags, prnInterface and
//     dwDialogeEnable.
#pragma once

#include <cstddef>

#include "core/oempdev.h"
#include "core/printeroptions.h"
#include "core/printerparam.h"
#include "core/prn_interface.h"
#include "settings/models.h"

// The printer parameter record (2352 bytes): what GetPrinterParam reads from
// the registry, and what the automatic import builds from a settings file.
#pragma pack(push, 1)
struct PRINTER_PARAM {
    DWORD dwSize;                       // 0     PRINTER_PARAM_SIZE
    DWORD dwVersion;                    // 4     PRINTER_PARAM_VERSION
    DWORD dwFeatures[MAX_FEATURES];     // 8     the model's feature words
    PRN_INTERFACE prnInterface;         // 56    "PrinterInterface"
    BYTE reserved2292[8];               // 2292
    PHOTOCELL_PARAM photocellParam;     // 2300  "PhotocellParam"
    SHIFT_OPTIM_PARAM shiftOptimParam;  // 2324  "ShiftOptimParam"
};
#pragma pack(pop)
constexpr DWORD PRINTER_PARAM_SIZE = 2352;
constexpr DWORD PRINTER_PARAM_VERSION = 1;
static_assert(sizeof(PRINTER_PARAM) == PRINTER_PARAM_SIZE);
static_assert(offsetof(PRINTER_PARAM, dwFeatures) == 8);
static_assert(offsetof(PRINTER_PARAM, prnInterface) == 56);
static_assert(offsetof(PRINTER_PARAM, photocellParam) == 2300);
static_assert(offsetof(PRINTER_PARAM, shiftOptimParam) == 2324);

// The feature list has no group of its own for the bellmark lane; its
// capability word is index 7, which the XML settings never fill, so it comes
// only from the printer's "SuppFeatures".
constexpr int FEATURE_BELLMARK = FEATURE_RESERVED_7;
constexpr DWORD FEATURE_BELLMARK_FIRSTLABEL = 0x10;
constexpr DWORD FEATURE_BELLMARK_GAP = 0x20;
constexpr DWORD FEATURE_BELLMARK_LANES = 0x40;
constexpr DWORD FEATURE_BELLMARK_WAS = 0x2000;

// Send mask of the bellmark settings (bellmark_dwSendMask).
constexpr DWORD BMFLAG_SEND = 0x1;
constexpr DWORD BMFLAG_LANES = 0x10;
constexpr DWORD BMFLAG_REQUIRED = BMFLAG_SEND | BMFLAG_LANES;

// dwAusstattung: the scanner mode may be set (else the mode digit is 0).
constexpr DWORD P_OPTIONS_SCANNER_MODE = 0x100000;

// dwDialogeEnable: the peripherals that the device parameters set up.
constexpr DWORD DIALOG_PHOTOCELL = 0x2;
constexpr DWORD DIALOG_SHIFTOPTIM = 0x4;
constexpr DWORD DIALOG_CUTTER = 0x8;
constexpr DWORD DIALOG_DISPENSER = 0x10;
constexpr DWORD DIALOG_SCANNER = 0x20;
constexpr DWORD DIALOG_APPLICATOR = 0x40;
constexpr DWORD DIALOG_KRMC = 0x80;
constexpr DWORD DIALOG_KRM = 0x100;

// Modes that leave the printer's own setting alone: no command is sent.
constexpr DWORD CUTTER_MODE_PRINTER = 8;
constexpr DWORD DISPENSER_MODE_PRINTER = 7;
constexpr DWORD SCANNER_MODE_PRINTER = 5;
constexpr DWORD APPLICATOR_MODE_PRINTER = 4;

namespace kx {

// The settings of one peripheral as its sender reads them: copies taken
// from the devmode, so that the mode adjustments never touch the devmode
// that the host owns.
struct DISPENSER_PARAM {
    DWORD dwMode;
    DWORD dwPhotocellLevel;
    LONG lOffset;
    DWORD dwStartDelay;
};
struct CUTTER_PARAM {
    DWORD dwMode;  // 0xFFFFFFFF: nothing is sent
    DWORD dwInterval;
    DWORD bIntervalReset;
    LONG lOffset;
    LONG lAltOffset;
    DWORD bAltOffset;
    LONG lDoubleCut;
    LONG lCutWidth;  // 1/10 mm
    DWORD dwControlFlag;
};
struct SCANNER_PARAM {
    DWORD dwMode;
    DWORD dwPort;
    DWORD dwNoReads;
    DWORD dwFeedLabels;
    DWORD dwOffset;
    DWORD dwLength;
    DWORD dwScanMode;
    DWORD dwDelay;
    DWORD dwTimeout;
};
struct APPLICATOR_PARAM {
    DWORD dwMode;  // working mode
    DWORD dwApplicationMode;
    DWORD dwDelayAirOn;
    DWORD dwDelayAirOff;
    DWORD dwVacuumControl;
    DWORD dwBlowTime;
    DWORD dwWaitPosition;
    DWORD dwEnrolTime;
    DWORD dwCleaningTime;
    DWORD dwTimeoutHub;
    DWORD dwPressureControl;
    DWORD dwPressureTime;
    DWORD dwVacuumDelay;
};
struct KRM_PARAM {
    DWORD dwServicePosition;  // mm
    DWORD dwBackSpeed;
    DWORD dwMode;
    DWORD dwCycle;
    DWORD dwPrintPosition;
    DWORD dwOffset;  // 1/10 mm
    DWORD dwRibbonSpeed;
};
struct KRMC_PARAM {
    DWORD dwMode;
    DWORD dwOffset;
    DWORD dwOffsetZusatz;
    DWORD dwCycle;
};
struct BELLMARK_PARAM {
    DWORD dwSendMask;
    DWORD dwFirstLabelOffset;
    DWORD dwGap;  // mm
    DWORD dwLanes;
    DWORD dwWASRow;
    DWORD dwWASHost;
    DWORD dwWASOffset;
};

DISPENSER_PARAM DispenserParam(const KX_DEVMODE& dm);
CUTTER_PARAM CutterParam(const KX_DEVMODE& dm);
SCANNER_PARAM ScannerParam(const KX_DEVMODE& dm);
APPLICATOR_PARAM ApplicatorParam(const KX_DEVMODE& dm);
KRM_PARAM KrmParam(const KX_DEVMODE& dm);
KRMC_PARAM KrmcParam(const KX_DEVMODE& dm);
BELLMARK_PARAM BellmarkParam(const KX_DEVMODE& dm);

// The cut interval: cutter_dwInterval, or, when that is 0, the interval a
// converted older record carries at cutter_wInterval.
DWORD CutterInterval(const KX_DEVMODE& dm);

// Job start and first page: photocell and shift optimisation (from the
// record, or, when pPrinterParam is null, from a record that GetPrinterParam
// fills for this call) and the light-sensor PWM value. Sends nothing after
// the first page. FALSE when a sender failed (the others still run).
BOOL SendPrinterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, PRINTER_PARAM* pPrinterParam);

// First page: cutter, dispenser, scanner, applicator, print modules and
// bellmark, each when fitted, in this order. FALSE when a sender failed.
BOOL SendDevmodePrinterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, KX_DEVMODE* pKX_Devmode);

// First page: label scan position, label change and tear-off offset, each
// when the model has the feature. The result of the last write.
HRESULT SendDeviceSettingsParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                                KX_DEVMODE* pKX_Devmode);

// The senders of one peripheral. Each writes its commands in a fixed order
// and stops at the first failure; the result is negative when the job
// structures are missing, a record did not fit or a write failed.
HRESULT SendPhotocellParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                           const PRINTER_PARAM* pPrinterParam);
HRESULT SendShiftOptimParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                            const SHIFT_OPTIM_PARAM* pShift);
HRESULT SendDispenserParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                           const DISPENSER_PARAM* pDispenser);
HRESULT SendCutterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const CUTTER_PARAM* pCutter);
HRESULT SendScannerParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                         const SCANNER_PARAM* pScanner);
HRESULT SendApplicatorParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                            const APPLICATOR_PARAM* pApplicator);
// bExtended: the print-module family form (offset "FCADLA", mode "FCADO").
HRESULT SendKRMParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const KRM_PARAM* pKrm,
                     BOOL bExtended);
HRESULT SendKRMcParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const KRMC_PARAM* pKrmc,
                      BOOL bExtended);
HRESULT SendBellmarkParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                          const BELLMARK_PARAM* pBellmark);

// Fills the printer parameter record (zeroed first) from the registry: the
// model's feature words from the job, then "PrinterInterface",
// "PhotocellParam" and "ShiftOptimParam" for the groups the features enable,
// per user when the user's "DriverVersion" matches this plug-in, else from
// the printer's data. TRUE when every read succeeded.
BOOL GetPrinterParam(OEM_PDEV* pOemPDev, HANDLE hPrinter, PRINTER_PARAM* pPrinterParam);

// The job-start step, called twice by the job start: first with a null
// devmode (job information, total pages, names, recall detection by the
// word "recall"), then with the devmode (recall detection by the devmode's
// marker, the job information block of the log, and - unless the device
// parameters are left to the printer or the job is a recall - the
// multi-page or clear-memory command, the device parameters and prefix
// section 1).
HRESULT SendParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, KX_DEVMODE* pKX_Devmode);

}  // namespace kx
