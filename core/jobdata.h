// The per-job structures: pOp and its members.
//
// They live from the job start to the job end and are reached only through
// OEM_PDEV::pOp. Every block is allocated zero-filled from the process heap
// through CreateHeapBuffer and counted in OEM_PDEV::iHAllocZaehler; all
// members are therefore plain data (zero is a valid initial state), except
// the log object, which is created and deleted on its own.
#pragma once

#include "core/prn_interface.h"
#include "core/regvalues.h"
#include "platform/kxtypes.h"

class CLogFile;
struct PrnObject;

constexpr int KX_MAX_PATH = 260;

// Sizes of the plain byte blocks of a job.
constexpr DWORD BARCODE_DEVMODE_SIZE =
    kx::reg::kBarCodes1DSize + kx::reg::kBarCodes2DSize;  // 1-D then 2-D settings
constexpr DWORD BILDANTEILE_SIZE = 83424;
constexpr DWORD ZEICHENBUFFER_SIZE = 11000;
constexpr DWORD RGBBUFFER_SIZE = 3072;
constexpr DWORD GRAPHBUF_SIZE = 768;
constexpr DWORD KVBBBUFFER_SIZE = 2096;       // the text module's KVBBBuffer must fit
constexpr DWORD BILDVERARBEITUNG_SIZE = 128;  // the page image record must fit
constexpr DWORD DOCDATEN_SIZE = 52;

// Names, registry keys, print files and the log.
struct TreiberPfadDatei {
    WCHAR wcPrinterName[KX_MAX_PATH];
    WCHAR wcPrnFileName[KX_MAX_PATH];  // base path of the print file, no extension
    WCHAR szRegKey[KX_MAX_PATH];       // HKCU "SOFTWARE\Orvane\Driver\<printer>"
    WCHAR szHLMRegKey[KX_MAX_PATH];    // HKLM "...\Printers\<printer>\PrinterDriverData"
    WCHAR wcRecallFileName[KX_MAX_PATH];
    HANDLE hRecallFile;
    HANDLE hPrnFile;   // first (or black) print file
    HANDLE hPrnFile2;  // colour print file of the split mode
    char szPlugInVersion[64];
    DWORD dwTotalPages;
    WCHAR wcGPD_DateiKomplett[KX_MAX_PATH];
    WCHAR wcGPD_OhneDateiendung[KX_MAX_PATH];
    WCHAR wcGPD_NurPfad[KX_MAX_PATH];
    WCHAR wcGPD_NurDateiMitEndung[KX_MAX_PATH];
    WCHAR wcGPD_NurName[KX_MAX_PATH];
    CLogFile* pLogFile;
    WCHAR wcDriverDirectory[KX_MAX_PATH];  // directory of the driver files, no final backslash
    // The spooler's document name of the job and its short form (no folder,
    // no "Microsoft ... - " prefix, no extension); filled by SendParam.
    WCHAR wcDocName[KX_MAX_PATH];
    WCHAR wcKurzName[KX_MAX_PATH];
};

// Interface settings, supported features and job switches.
struct Treiberstrukturen {
    DWORD dwDeviceOptionFlags;
    PRN_INTERFACE prnInterface;
    DWORD dwFeature[12];  // supported-features words of the printer
    DWORD bDisablePDEV;   // the job is being ended (or continued) on the host's behalf
    DWORD bUseInternalTTF;
    DWORD bSH3;  // UTF-8 text for user vector fonts
    DWORD bLogFileEnable;
    DWORD bSendPrintStart;
    DWORD dwSprache;
    // Peripherals set up by the device option commands (photocell 2, shift
    // optimisation 4, cutter 8, dispenser 16, scanner 32, applicator 64,
    // KRM-c 128, KRM-i 0x100); the document end reads the cutter's bit.
    DWORD dwDialogeEnable;
    DWORD dwVectorFontMin;  // printer data "VectorFontMin"/"VectorFontMax"
    DWORD dwVectorFontMax;
    // The user's "DriverVersion" matches this plug-in, so per-user printer
    // parameters may be used (GetPrinterParam).
    DWORD bVersionIdentisch;
};

// Print data of the job.
struct DruckDaten {
    DWORD dwPage;    // page counter of the job
    DWORD dwFields;  // field counter of the job
    WORD wPagesSincePrintStart;
    DWORD bPageCancelled;
    DWORD dwCopies;
    DWORD bLandscape_CC;
    DWORD dwLabelLength;  // dots, as the host passes it
    DWORD dwLabelWidth;
    DWORD dwLabelLengthUnscaled;
    DWORD dwLabelWidthUnscaled;
    DWORD dwWinkel_CC;    // 0, 90, 180 or 270 degrees
    DWORD dwRotation_CC;  // quarter-turn code: 90 -> 3, 180 -> 2, 270 -> 1
    LONG nCursorOriginX;
    LONG nLeftMargin;   // bytes
    LONG nRightMargin;  // dots
    DWORD bCorrectXPos;
    LONG lCursorX;
    LONG lCursorY;
    char cStart;
    char cEnd;
    DWORD bCompress;
    DWORD dwDocFeatures;
    DWORD bMultiPage;
    DWORD bManuellesMultipage;
    double dSkalierung;
    double dSkalierungH;
    DWORD bSkalierung;
    DWORD bMemCard;
    char szMemCardDir[KX_MAX_PATH];
    char szMemCardFile[KX_MAX_PATH];
    DWORD bPrintCancelled;
    DWORD bPrintStarted;
    DWORD dwSendGerParam;
    DWORD dwSendEtiParam;
    DWORD bEndCut;
    DWORD bUTF8;
    WORD wOptionWords[3];  // words of the "PrinterOptions" block kept for the job
    char szJobName[KX_MAX_PATH];
    PrnObject* pObjectList;  // the page's field objects
    // Raster graphics: the line counter of the graphics filter, the offsets
    // that move the page's graphic (dots), the page number on a label of
    // several pages and the column counter of the graphics records.
    DWORD dwLine;
    LONG iBitmapOffset;
    LONG iBitmapOffsetLinks;
    WORD wSeitennummer;
    WORD wSpaltenZaehler;
    // The "PrinterOptions" block as the job keeps it (job/printeroptions.h):
    // fitted equipment (P_OPTIONS_...), the second options word and the
    // print-module type.
    DWORD dwAusstattung;
    DWORD dwOptionen2;
    DWORD dwModulTyp;
    // Page end and document end.
    DWORD dwFieldsMS;      // dwFields at the last page end
    DWORD dwFieldsColour;  // fields of the colour part (split print file)
    DWORD dwNumPages;      // pages ended
    DWORD dwNumCopiesMod;  // modified copy count pending for the page end (0: none)
    LONG lNumStep;         // step and interval of the last numerator placeholder sent
    LONG lNumInterval;
    DWORD bBildinhaltVorhanden;  // the page's raster has content
    DWORD dwLineAtPageEnd;       // dwLine when the last page ended (line path)
    DWORD bRecallDirekt;         // the job prints a memory-card recall directly
    DWORD bKeepPrnFile;          // memory card: the print file stays after the job
    // Set by SendParam for a direct-output recall: no print-module (KRM) and
    // no bellmark parameters are sent.
    DWORD bKeineGerParam;
    DWORD bKeineBellmarkParam;
    // Text: vector fonts are looked up for TrueType faces (set at job start
    // with bUseInternalTTF: the settings' TrueType switch is the job's
    // vector-font switch), a recall text was met on the page (its fields go
    // out bare), and the counter of scan fields.
    DWORD bVektorSchrift;
    DWORD bRecallText;
    DWORD dwScanZaehler;
    // Several rows of labels (the devmode's wMehrereReihen): the object list
    // output counts every row copy it sends and numbers the copies' fields
    // with a running counter of its own. Both run on over the job.
    DWORD dwReihenKopien;
    DWORD dwReihenFeldNr;
};

// Document data.
struct DocDaten {
    // The public devmode's paper width, length (tenths of a millimetre) and
    // orientation (1 portrait, 2 landscape), copied by every text call.
    SHORT dmPaperWidth;
    SHORT dmPaperLength;
    SHORT dmOrientation;
    WORD wReserved;
    DWORD dwRotate;  // quarter turns added to the next field; 1 also rotates the document
    DWORD bInvers;
    DWORD dwNo_FBC;       // no print start is sent
    DWORD bSingleCut;     // single-cut request of the page end
    DWORD bFormFeed;      // form-feed request of the page end
    DWORD bDirectOutput;  // direct-output (recall) job
    // One-shot values of the next field and the direct-output switches of
    // the text: dwFusspunkt is appended to the next field, dwInvers prints
    // the next vector text inverse, dwDirectWO_AM_BM sends text without
    // field records, bRecallSchalter marks that a recall text switched it on.
    DWORD dwFusspunkt;
    DWORD dwInvers;
    DWORD dwDirectWO_AM_BM;
    DWORD bRecallSchalter;
    // Form-feed request of the document end only (a command-font
    // "ENDFORMFEED"); bFormFeed also feeds after every print start.
    DWORD bEndFormFeed;
};
static_assert(sizeof(DocDaten) <= DOCDATEN_SIZE);

// The band parts, the page image record and the pending text collections
// are laid out by the raster and text modules that own them.
struct Bildanteile;
struct Bildverarbeitung;
struct KVBBBuffer;

// pOp: the per-job root. Each member is paired with the heap it came from.
struct KX_POP {
    BYTE* pBarcodeDevmode;
    TreiberPfadDatei* pTreiberPfadDatei;
    Treiberstrukturen* pTreiberstrukturen;
    DruckDaten* pDruckDaten;
    DocDaten* pDocDaten;
    Bildanteile* pBildanteile;
    KVBBBuffer* pKVBBBuffer;
    Bildverarbeitung* pBildverarbeitung;
    BYTE* pZeichenBuffer;
    BYTE* pRGBBuffer;
    BYTE* pGraphBuf;
    HANDLE hBufferHeap;
};
