// The private devmode record KX_DEVMODE and the feature-token record.
//
// KX_DEVMODE is a storage format shared with the settings user interface and
// kept by the registry and the spooler: every offset below is binding and is
// checked at compile time.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "platform/kxtypes.h"

// The model block: what the printer model is (from the GPD or XML settings).
struct KX_FIXEDDATA {
    DWORD dwHeadWidthByte;  // print-head width in bytes of 8 dots
    WORD wMasterUnit;       // resolution, dots per inch
    WORD wDurchlassbreite;  // clear width, lMaxSizeX * 254 / wMasterUnit
    DWORD lMaxSizeX;        // maximum printable width, dots
    DWORD lMaxSizeY;        // maximum printable length, dots
    DWORD bQuality;         // graphics (quality) printing possible
    DWORD dwDocFeatures;    // DOC_FEATURE_... bits of the model
    WORD wMaxPrintableWidth;
    WORD wPrintHeadWidth;  // 1/10 mm
};
static_assert(sizeof(KX_FIXEDDATA) == 28);

constexpr DWORD KX_DEVMODE_SIZE = 4620;
// The signature bytes 'K' 'X' 'D' 'M' in memory order.
constexpr DWORD KX_SIGNATURE = 0x4D44584Bu;
constexpr DWORD KX_DEVMODE_VERSION = 0x6602;

// The validity markers. A record counts as genuine only when szPassword holds
// one of these five-character texts. The render module and the settings user
// interface (and the host tool that writes devmodes) all take them from here;
// changing one orphans every record saved before. DEVMODE_PASSWORT is what
// new records carry; the alternative is accepted in its place on reading.
inline constexpr WCHAR DEVMODE_PASSWORT[] = u"Kx7dQ";
inline constexpr WCHAR DEVMODE_PASSWORT_ALT[] = u"Kx7uQ";
constexpr std::size_t DEVMODE_PASSWORT_CHARS = 5;
static_assert(sizeof(DEVMODE_PASSWORT) / sizeof(WCHAR) == DEVMODE_PASSWORT_CHARS + 1);
static_assert(sizeof(DEVMODE_PASSWORT_ALT) / sizeof(WCHAR) == DEVMODE_PASSWORT_CHARS + 1);

// dwFlags bits.
constexpr DWORD PDMFLAG_ROTATED = 0x1;
constexpr DWORD PDMFLAG_MIRRORED = 0x2;
constexpr DWORD PDMFLAG_MULTICOL = 0x8;
constexpr DWORD PDMFLAG_MULTICOL_OLD = 0x10;
constexpr DWORD PDMFLAG_NO_SPLIT_CORRECTION = 0x80;
constexpr DWORD PDMFLAG_FONTSPLITCORR = 0x100;
constexpr DWORD PDMFLAG_OBJECTLIST_0x200 = 0x200;
constexpr DWORD PDMFLAG_BARCODE_DESEGMENT = 0x400;
constexpr DWORD PDMFLAG_BARCODE_AUTOCORR = 0x800;
constexpr DWORD PDMFLAG_BARCODE_FNC1_ENDE = 0x1000;
constexpr DWORD PDMFLAG_JOBDRUCK = 0x4000;
constexpr DWORD PDMFLAG_JOBDRUCK_SORTIERT = 0x8000;
constexpr DWORD PDMFLAG_KOPIEN_MANUELL = 0x10000;
constexpr DWORD PDMFLAG_INVERS = 0x20000;
constexpr DWORD PDMFLAG_DREHEN = 0x40000;
constexpr DWORD PDMFLAG_BARCODE_LINEEND = 0x800000;
constexpr DWORD PDMFLAG_LANDSCAPE_DISABLE = 0x2000000;
constexpr DWORD PDMFLAG_BARCODE_DESEGMENT_IGNORE = 0x4000000;
constexpr DWORD PDMFLAG_ENABLE_USERFORM = 0x8000000;

#pragma pack(push, 1)
// Pages side by side on one label at most (manual multi-page): the number
// of per-page copy counts the devmode keeps.
constexpr DWORD kMaxMultiPages = 10;

struct KX_DEVMODE {
    DWORD dwSize;
    DWORD dwSignature;
    DWORD dwVersion;
    DWORD dwFlags;
    DWORD dmPaperSize;
    SHORT dmPaperLength;
    SHORT dmPaperWidth;
    SHORT dmOrientation;
    BYTE reserved26[2];
    DWORD dwLabelType;
    DWORD dwGap;
    WORD dwMaterial;
    WORD wMaxMaterial;
    WORD sMultiColNumber;
    BYTE reserved42[2];
    WORD dwMultiLabelWidth;
    WORD wCorrection;
    WORD dwMultiGapWidth;
    WORD wVersion;
    WORD dwAusrichtung;
    WORD wAltGroesse;
    WORD wKopieProSeite[kMaxMultiPages];
    BYTE reserved76[4];
    WORD wSpecNumStyle;
    BYTE reserved82[2];
    DWORD dwAux1UseDirect;
    DWORD dwAux2UseDirect;
    LONG lXOffset;
    LONG lYOffset;
    WORD dwContrast;
    BYTE reserved102[2];
    WORD dwSpeed;
    BYTE reserved106[2];
    WORD dwSpeed_Lumet_c;
    WORD wMemCard;
    WCHAR szPassword[6];
    DWORD dwKommandoFontFlags;
    WORD wBarcodeDP;
    WORD wMemCard_Recall;
    WORD dwDrehung;
    WORD wAutoCollate;
    WORD wRotate90Steps;
    WORD wCodepage;
    WORD wCodepageSenden;  // 1: the page start sends wCodepage to the printer
    WORD wTTFverwenden;
    WORD wBMPverwenden;
    WORD wTTFInvers;
    WORD wBMPInvers;
    WORD wTTFDesegm;
    WORD wCrystalActive;
    WORD wAnzahlKopien;
    WORD wFitToPage;
    WORD wBitmapFontZoom;
    WORD wBitmapFontAbstand;
    WORD wBitmapFontZoomY;
    WORD wKurzbefehlKorrektur;
    BYTE reserved166[2];
    WORD wFarbband;
    BYTE reserved170[2];
    DWORD dwColorField1;
    DWORD dwColorField2;
    WORD wColorContrast;
    WORD wNoColorOptimization;
    BYTE reserved184[2];
    WORD wHorizontalCorrGap;
    DWORD dwRGBColorOwn1;
    BYTE reserved192[4];
    WORD wColorSeam;
    WORD wColorChannel;
    WORD wBrightnessContrast;
    WORD wEmpfindlichkeit;
    WORD dwWinkel;
    WORD wSplitPrnFile;
    WORD wGrafikFilter;
    BYTE reserved210[2];
    DWORD dwBrightnessAll;
    DWORD dwBrightnessCurve;
    WORD wDruckmodus;
    WORD wPhotoFilter;
    WORD dwColorTolerance;
    WORD wChangeColorRibbon;
    BYTE reserved228[24];
    WORD wCutterMode;
    BYTE reserved254[2];
    WORD wReserved256;
    WORD wBelegOffset;
    WORD wBelegFontH1;
    WORD wEtikettenLSEnable;  // 1: the first page sends the light-sensor PWM value PWMwertLS
    WORD PWMwertLS;
    BYTE reserved266[2];
    WORD wLayoutDrehung;
    WORD w9999;
    DWORD TearOffOffset;
    WORD wScanPosition;
    WORD wLabelChange;
    WORD wSkalierung;
    WORD wInfinite;
    WORD wMehrereSeiten;
    WORD wMehrereSeitenAbstand;
    WORD wMehrereSeitenAusrichtung;
    WORD wMehrereReihen;
    WORD wManuellesMultipage;
    BYTE reserved294[14];
    WCHAR szPrintOrder[32];
    WCHAR szTime[61];
    // Memory-card recall marker: a document whose name contains it is a
    // direct-output recall job (the device options send nothing).
    WCHAR szMemCardRecallKennung[61];
    WCHAR szNumString[61];
    WCHAR szExtNumString[61];
    WCHAR szLinkString[101];
    BYTE reserved1062[42];
    WCHAR szAux1String[61];
    WCHAR szAux2String[61];
    WCHAR szIdentSign[2];
    WORD wPrinterFont[8];
    WORD wZoomX[8];
    WORD wZoomY[8];
    WCHAR szWindowsFontName[8][33];
    WORD wAnzahlFonts;
    BYTE reserved1930[6];
    KX_FIXEDDATA FixedData;  // includes the model's dwDocFeatures
    BYTE reserved1964[12];
    WORD wLegacyCutterInterval;
    BYTE reserved1978[8];
    char szDevice[7];
    BYTE reserved1993[1];
    // The device option block, 1994 to 2216, read by the device parameter
    // commands (options/deviceparam.h, docs/device-options.md). Offsets are
    // in 1/10 mm and times in ms unless noted. A word that the defaults fill
    // keeps its dwOptionNNNN name beside the name of its setting.
    WORD dispenser_dwMode;
    DWORD dispenser_dwPhotocellLevel;
    union {
        DWORD dwOption2000;
        LONG dispenser_lOffset;  // extra offset
    };
    union {
        DWORD dwOption2004;
        DWORD dispenser_dwStartDelay;  // start signal delay
    };
    DWORD cutter_dwMode;
    WORD cutter_dwInterval;
    WORD cutter_wIntervalReset;  // 1: reset the interval counter first
    LONG cutter_lOffset;
    LONG cutter_lDoubleCut;
    union {
        DWORD dwOption2024;
        LONG cutter_lCutWidth;
    };
    WORD cutter_wControlMode;
    WORD cutter_wInterval;
    DWORD scanner_dwMode;
    DWORD scanner_dwPort;
    union {
        DWORD dwOption2040;
        DWORD scanner_dwNoReads;
    };
    union {
        DWORD dwOption2044;
        DWORD scanner_dwFeedLabels;
    };
    LONG scanner_dwOffset;
    DWORD scanner_dwLength;
    DWORD scanner_dwScanMode;
    DWORD scanner_dwDelay;
    DWORD scanner_dwTimeout;
    BYTE reserved2068[4];
    DWORD applicator_dwMode;  // working mode
    DWORD applicator_dwApplicationMode;
    DWORD applicator_dwDelayAirOn;
    union {
        DWORD dwOption2084;
        DWORD applicator_dwDelayAirOff;
    };
    union {
        DWORD dwOption2088;
        DWORD applicator_dwVacuumControl;
    };
    union {
        DWORD dwOption2092;
        DWORD applicator_dwBlowTime;
    };
    union {
        DWORD dwOption2096;
        DWORD applicator_dwWaitPosition;
    };
    DWORD applicator_dwEnrolTime;
    union {
        DWORD dwOption2104;
        DWORD applicator_dwCleaningTime;
    };
    DWORD applicator_dwTimeoutHub;
    union {
        DWORD dwOption2112;
        DWORD applicator_dwPressureControl;
    };
    union {
        DWORD dwOption2116;
        DWORD applicator_dwPressureTime;
    };
    DWORD applicator_dwVacuumDelay;
    LONG cutter_lAltOffset;  // the cutter offset used instead when cutter_bAltOffset is 1
    DWORD cutter_bAltOffset;
    DWORD krm_dwServicePosition;  // mm
    DWORD krm_dwBackSpeed;
    DWORD krm_dwMode;
    DWORD krm_dwCycle;
    DWORD krm_dwPrintPosition;
    DWORD krm_dwOffset;
    DWORD krm_dwRibbonSpeed;
    DWORD krmc_dwMode;
    DWORD krmc_dwOffset;
    DWORD krmc_dwOffsetZusatz;  // the digit after the offset
    DWORD krmc_dwCycle;
    DWORD bellmark_dwSendMask;  // BMFLAG_... bits
    DWORD bellmark_dwFirstLabelOffset;
    DWORD bellmark_dwGap;  // mm
    DWORD bellmark_dwLanes;
    DWORD bellmark_dwWASRow;
    DWORD bellmark_dwWASHost;
    DWORD bellmark_dwWASOffset;
    BYTE reserved2204[12];
    WORD wFontID[8];
    WCHAR szInstalledName[8][33];
    WORD wPrinterFont2[8];
    WORD wZoomX2[8];
    WORD wZoomY2[8];
    WCHAR szWindowsFontName2[8][33];
    WORD wFontID2[8];
    WCHAR szInstalledName2[8][33];
    WCHAR szUserString[101];
    WCHAR szDate[101];
    WCHAR szMemCardVerz[168];
};
#pragma pack(pop)
static_assert(sizeof(KX_DEVMODE) == KX_DEVMODE_SIZE);
static_assert(offsetof(KX_DEVMODE, dwSize) == 0);
static_assert(offsetof(KX_DEVMODE, dwSignature) == 4);
static_assert(offsetof(KX_DEVMODE, dwVersion) == 8);
static_assert(offsetof(KX_DEVMODE, dwFlags) == 12);
static_assert(offsetof(KX_DEVMODE, dmPaperSize) == 16);
static_assert(offsetof(KX_DEVMODE, dmPaperLength) == 20);
static_assert(offsetof(KX_DEVMODE, dmPaperWidth) == 22);
static_assert(offsetof(KX_DEVMODE, dmOrientation) == 24);
static_assert(offsetof(KX_DEVMODE, dwLabelType) == 28);
static_assert(offsetof(KX_DEVMODE, dwGap) == 32);
static_assert(offsetof(KX_DEVMODE, dwMaterial) == 36);
static_assert(offsetof(KX_DEVMODE, wMaxMaterial) == 38);
static_assert(offsetof(KX_DEVMODE, sMultiColNumber) == 40);
static_assert(offsetof(KX_DEVMODE, dwMultiLabelWidth) == 44);
static_assert(offsetof(KX_DEVMODE, wCorrection) == 46);
static_assert(offsetof(KX_DEVMODE, dwMultiGapWidth) == 48);
static_assert(offsetof(KX_DEVMODE, wVersion) == 50);
static_assert(offsetof(KX_DEVMODE, dwAusrichtung) == 52);
static_assert(offsetof(KX_DEVMODE, wAltGroesse) == 54);
static_assert(offsetof(KX_DEVMODE, wKopieProSeite) == 56);
static_assert(offsetof(KX_DEVMODE, wSpecNumStyle) == 80);
static_assert(offsetof(KX_DEVMODE, dwAux1UseDirect) == 84);
static_assert(offsetof(KX_DEVMODE, dwAux2UseDirect) == 88);
static_assert(offsetof(KX_DEVMODE, lXOffset) == 92);
static_assert(offsetof(KX_DEVMODE, lYOffset) == 96);
static_assert(offsetof(KX_DEVMODE, dwContrast) == 100);
static_assert(offsetof(KX_DEVMODE, dwSpeed) == 104);
static_assert(offsetof(KX_DEVMODE, dwSpeed_Lumet_c) == 108);
static_assert(offsetof(KX_DEVMODE, wMemCard) == 110);
static_assert(offsetof(KX_DEVMODE, szPassword) == 112);
static_assert(offsetof(KX_DEVMODE, dwKommandoFontFlags) == 124);
static_assert(offsetof(KX_DEVMODE, wBarcodeDP) == 128);
static_assert(offsetof(KX_DEVMODE, wMemCard_Recall) == 130);
static_assert(offsetof(KX_DEVMODE, dwDrehung) == 132);
static_assert(offsetof(KX_DEVMODE, wAutoCollate) == 134);
static_assert(offsetof(KX_DEVMODE, wRotate90Steps) == 136);
static_assert(offsetof(KX_DEVMODE, wCodepage) == 138);
static_assert(offsetof(KX_DEVMODE, wCodepageSenden) == 140);
static_assert(offsetof(KX_DEVMODE, wTTFverwenden) == 142);
static_assert(offsetof(KX_DEVMODE, wBMPverwenden) == 144);
static_assert(offsetof(KX_DEVMODE, wTTFInvers) == 146);
static_assert(offsetof(KX_DEVMODE, wBMPInvers) == 148);
static_assert(offsetof(KX_DEVMODE, wTTFDesegm) == 150);
static_assert(offsetof(KX_DEVMODE, wCrystalActive) == 152);
static_assert(offsetof(KX_DEVMODE, wAnzahlKopien) == 154);
static_assert(offsetof(KX_DEVMODE, wFitToPage) == 156);
static_assert(offsetof(KX_DEVMODE, wBitmapFontZoom) == 158);
static_assert(offsetof(KX_DEVMODE, wBitmapFontAbstand) == 160);
static_assert(offsetof(KX_DEVMODE, wBitmapFontZoomY) == 162);
static_assert(offsetof(KX_DEVMODE, wKurzbefehlKorrektur) == 164);
static_assert(offsetof(KX_DEVMODE, wFarbband) == 168);
static_assert(offsetof(KX_DEVMODE, dwColorField1) == 172);
static_assert(offsetof(KX_DEVMODE, dwColorField2) == 176);
static_assert(offsetof(KX_DEVMODE, wColorContrast) == 180);
static_assert(offsetof(KX_DEVMODE, wNoColorOptimization) == 182);
static_assert(offsetof(KX_DEVMODE, wHorizontalCorrGap) == 186);
static_assert(offsetof(KX_DEVMODE, dwRGBColorOwn1) == 188);
static_assert(offsetof(KX_DEVMODE, wColorSeam) == 196);
static_assert(offsetof(KX_DEVMODE, wColorChannel) == 198);
static_assert(offsetof(KX_DEVMODE, wBrightnessContrast) == 200);
static_assert(offsetof(KX_DEVMODE, wEmpfindlichkeit) == 202);
static_assert(offsetof(KX_DEVMODE, dwWinkel) == 204);
static_assert(offsetof(KX_DEVMODE, wSplitPrnFile) == 206);
static_assert(offsetof(KX_DEVMODE, wGrafikFilter) == 208);
static_assert(offsetof(KX_DEVMODE, dwBrightnessAll) == 212);
static_assert(offsetof(KX_DEVMODE, dwBrightnessCurve) == 216);
static_assert(offsetof(KX_DEVMODE, wDruckmodus) == 220);
static_assert(offsetof(KX_DEVMODE, wPhotoFilter) == 222);
static_assert(offsetof(KX_DEVMODE, dwColorTolerance) == 224);
static_assert(offsetof(KX_DEVMODE, wChangeColorRibbon) == 226);
static_assert(offsetof(KX_DEVMODE, wCutterMode) == 252);
static_assert(offsetof(KX_DEVMODE, wReserved256) == 256);
static_assert(offsetof(KX_DEVMODE, wBelegOffset) == 258);
static_assert(offsetof(KX_DEVMODE, wBelegFontH1) == 260);
static_assert(offsetof(KX_DEVMODE, PWMwertLS) == 264);
static_assert(offsetof(KX_DEVMODE, wLayoutDrehung) == 268);
static_assert(offsetof(KX_DEVMODE, w9999) == 270);
static_assert(offsetof(KX_DEVMODE, TearOffOffset) == 272);
static_assert(offsetof(KX_DEVMODE, wScanPosition) == 276);
static_assert(offsetof(KX_DEVMODE, wLabelChange) == 278);
static_assert(offsetof(KX_DEVMODE, wSkalierung) == 280);
static_assert(offsetof(KX_DEVMODE, wInfinite) == 282);
static_assert(offsetof(KX_DEVMODE, wMehrereSeiten) == 284);
static_assert(offsetof(KX_DEVMODE, wMehrereSeitenAbstand) == 286);
static_assert(offsetof(KX_DEVMODE, wMehrereSeitenAusrichtung) == 288);
static_assert(offsetof(KX_DEVMODE, wMehrereReihen) == 290);
static_assert(offsetof(KX_DEVMODE, wManuellesMultipage) == 292);
static_assert(offsetof(KX_DEVMODE, szPrintOrder) == 308);
static_assert(offsetof(KX_DEVMODE, szTime) == 372);
static_assert(offsetof(KX_DEVMODE, szNumString) == 616);
static_assert(offsetof(KX_DEVMODE, szExtNumString) == 738);
static_assert(offsetof(KX_DEVMODE, szLinkString) == 860);
static_assert(offsetof(KX_DEVMODE, szAux1String) == 1104);
static_assert(offsetof(KX_DEVMODE, szAux2String) == 1226);
static_assert(offsetof(KX_DEVMODE, szIdentSign) == 1348);
static_assert(offsetof(KX_DEVMODE, wPrinterFont) == 1352);
static_assert(offsetof(KX_DEVMODE, wZoomX) == 1368);
static_assert(offsetof(KX_DEVMODE, wZoomY) == 1384);
static_assert(offsetof(KX_DEVMODE, szWindowsFontName) == 1400);
static_assert(offsetof(KX_DEVMODE, wAnzahlFonts) == 1928);
static_assert(offsetof(KX_DEVMODE, FixedData) == 1936);
static_assert(offsetof(KX_DEVMODE, wLegacyCutterInterval) == 1976);
static_assert(offsetof(KX_DEVMODE, szDevice) == 1986);
static_assert(offsetof(KX_DEVMODE, dispenser_dwMode) == 1994);
static_assert(offsetof(KX_DEVMODE, dwOption2000) == 2000);
static_assert(offsetof(KX_DEVMODE, dwOption2004) == 2004);
static_assert(offsetof(KX_DEVMODE, cutter_dwMode) == 2008);
static_assert(offsetof(KX_DEVMODE, cutter_dwInterval) == 2012);
static_assert(offsetof(KX_DEVMODE, cutter_lOffset) == 2016);
static_assert(offsetof(KX_DEVMODE, dwOption2024) == 2024);
static_assert(offsetof(KX_DEVMODE, cutter_wControlMode) == 2028);
static_assert(offsetof(KX_DEVMODE, cutter_wInterval) == 2030);
static_assert(offsetof(KX_DEVMODE, scanner_dwMode) == 2032);
static_assert(offsetof(KX_DEVMODE, dwOption2040) == 2040);
static_assert(offsetof(KX_DEVMODE, dwOption2044) == 2044);
static_assert(offsetof(KX_DEVMODE, scanner_dwOffset) == 2048);
static_assert(offsetof(KX_DEVMODE, applicator_dwMode) == 2072);
static_assert(offsetof(KX_DEVMODE, dwOption2084) == 2084);
static_assert(offsetof(KX_DEVMODE, dwOption2088) == 2088);
static_assert(offsetof(KX_DEVMODE, dwOption2092) == 2092);
static_assert(offsetof(KX_DEVMODE, dwOption2096) == 2096);
static_assert(offsetof(KX_DEVMODE, dwOption2104) == 2104);
static_assert(offsetof(KX_DEVMODE, dwOption2112) == 2112);
static_assert(offsetof(KX_DEVMODE, dwOption2116) == 2116);
static_assert(offsetof(KX_DEVMODE, wEtikettenLSEnable) == 262);
static_assert(offsetof(KX_DEVMODE, szMemCardRecallKennung) == 494);
static_assert(offsetof(KX_DEVMODE, dispenser_dwPhotocellLevel) == 1996);
static_assert(offsetof(KX_DEVMODE, dispenser_lOffset) == 2000);
static_assert(offsetof(KX_DEVMODE, dispenser_dwStartDelay) == 2004);
static_assert(offsetof(KX_DEVMODE, cutter_wIntervalReset) == 2014);
static_assert(offsetof(KX_DEVMODE, cutter_lDoubleCut) == 2020);
static_assert(offsetof(KX_DEVMODE, cutter_lCutWidth) == 2024);
static_assert(offsetof(KX_DEVMODE, scanner_dwPort) == 2036);
static_assert(offsetof(KX_DEVMODE, scanner_dwNoReads) == 2040);
static_assert(offsetof(KX_DEVMODE, scanner_dwFeedLabels) == 2044);
static_assert(offsetof(KX_DEVMODE, scanner_dwLength) == 2052);
static_assert(offsetof(KX_DEVMODE, scanner_dwTimeout) == 2064);
static_assert(offsetof(KX_DEVMODE, applicator_dwApplicationMode) == 2076);
static_assert(offsetof(KX_DEVMODE, applicator_dwDelayAirOff) == 2084);
static_assert(offsetof(KX_DEVMODE, applicator_dwEnrolTime) == 2100);
static_assert(offsetof(KX_DEVMODE, applicator_dwTimeoutHub) == 2108);
static_assert(offsetof(KX_DEVMODE, applicator_dwPressureTime) == 2116);
static_assert(offsetof(KX_DEVMODE, applicator_dwVacuumDelay) == 2120);
static_assert(offsetof(KX_DEVMODE, cutter_lAltOffset) == 2124);
static_assert(offsetof(KX_DEVMODE, krm_dwServicePosition) == 2132);
static_assert(offsetof(KX_DEVMODE, krmc_dwMode) == 2160);
static_assert(offsetof(KX_DEVMODE, bellmark_dwSendMask) == 2176);
static_assert(offsetof(KX_DEVMODE, bellmark_dwWASOffset) == 2200);
static_assert(offsetof(KX_DEVMODE, wFontID) == 2216);
static_assert(offsetof(KX_DEVMODE, szInstalledName) == 2232);
static_assert(offsetof(KX_DEVMODE, wPrinterFont2) == 2760);
static_assert(offsetof(KX_DEVMODE, wZoomX2) == 2776);
static_assert(offsetof(KX_DEVMODE, wZoomY2) == 2792);
static_assert(offsetof(KX_DEVMODE, szWindowsFontName2) == 2808);
static_assert(offsetof(KX_DEVMODE, wFontID2) == 3336);
static_assert(offsetof(KX_DEVMODE, szInstalledName2) == 3352);
static_assert(offsetof(KX_DEVMODE, szUserString) == 3880);
static_assert(offsetof(KX_DEVMODE, szDate) == 4082);
static_assert(offsetof(KX_DEVMODE, szMemCardVerz) == 4284);
static_assert(offsetof(KX_DEVMODE, FixedData.wMasterUnit) == 1940);
static_assert(offsetof(KX_DEVMODE, FixedData.dwDocFeatures) == 1956);
static_assert(offsetof(KX_DEVMODE, FixedData.wPrintHeadWidth) == 1962);

// The szPassword field: six wide characters (a marker and its terminator).
constexpr std::size_t KX_PASSWORD_CHARS = 6;
static_assert(sizeof(KX_DEVMODE::szPassword) == KX_PASSWORD_CHARS * sizeof(WCHAR));

// True when the cch characters at szPassword (up to the first NUL) contain
// one of the two validity markers. Reads no further than cch characters, so
// that it can test a candidate inside an untrusted buffer.
inline bool HasValidMarker(const WCHAR* szPassword, std::size_t cch)
{
    std::size_t len = 0;
    while (len < cch && szPassword[len] != 0) ++len;
    for (const WCHAR* marker : {DEVMODE_PASSWORT, DEVMODE_PASSWORT_ALT}) {
        for (std::size_t start = 0; start + DEVMODE_PASSWORT_CHARS <= len; ++start) {
            std::size_t i = 0;
            while (i < DEVMODE_PASSWORT_CHARS && szPassword[start + i] == marker[i]) ++i;
            if (i == DEVMODE_PASSWORT_CHARS) return true;
        }
    }
    return false;
}

inline bool HasValidMarker(const KX_DEVMODE& dm)
{
    WCHAR pw[KX_PASSWORD_CHARS];
    std::memcpy(pw, dm.szPassword, sizeof(pw));  // the field is not aligned
    return HasValidMarker(pw, KX_PASSWORD_CHARS);
}

// Writes DEVMODE_PASSWORT and its terminator into szPassword, as every
// writer of a saved record must. (A writer should also store wVersion
// KX_DEVMODE_VERSION and w9999 0x9999, so that readers take the body for the
// current layout instead of handing it to the converter.)
inline void SetValidMarker(KX_DEVMODE* pDevmode)
{
    std::memcpy(reinterpret_cast<BYTE*>(pDevmode) + offsetof(KX_DEVMODE, szPassword),
                DEVMODE_PASSWORT, sizeof(DEVMODE_PASSWORT));
}

// The feature-token record "DevmodeFtkn" (24 bytes).
#pragma pack(push, 1)
struct DEVMODE_FTKN {
    WORD dwPrioritaet;
    WORD wDruckmodus;
    WORD wFarbband;
    WORD wFarbmodus;
    DWORD dwDocFeatures;
    WORD wPapierModus;
    WORD reserved14;
    DWORD reserved16;
    WORD wCollate;
    WORD reserved22;
};
#pragma pack(pop)
static_assert(sizeof(DEVMODE_FTKN) == 24);
static_assert(offsetof(DEVMODE_FTKN, dwDocFeatures) == 8 && offsetof(DEVMODE_FTKN, wCollate) == 20);
