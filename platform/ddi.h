// GDI driver (DDI) structures that cross the boundary between the driver host
// and the plug-in, written from the public documentation. Layouts match the
// Windows x64 ABI; sizes and offsets that the plug-in relies on are checked
// below, and a Windows-only test compares them with the system headers.
#pragma once

#include "kxtypes.h"

using HSURF = HANDLE;
using DHSURF = HANDLE;
using DHPDEV = HANDLE;
using HDEV = HANDLE;
using HPALETTE = HANDLE;
// Generic DDI entry (the table holds differently typed functions).
using PFN = void (*)();
using FWORD = SHORT;
using PTRDIFF = LONG;

// ---------------------------------------------------------------- bitmaps
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
using PBITMAPINFOHEADER = BITMAPINFOHEADER*;

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
static_assert(sizeof(RGBQUAD) == 4);

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

constexpr DWORD BI_RGB = 0;

// ---------------------------------------------------------------- fonts
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[32];
};
static_assert(sizeof(LOGFONTW) == 92);

struct PANOSE {
    BYTE bFamilyType;
    BYTE bSerifStyle;
    BYTE bWeight;
    BYTE bProportion;
    BYTE bContrast;
    BYTE bStrokeVariation;
    BYTE bArmStyle;
    BYTE bLetterform;
    BYTE bMidline;
    BYTE bXHeight;
};
static_assert(sizeof(PANOSE) == 10);

struct IFIMETRICS {
    ULONG cjThis;
    ULONG cjIfiExtra;
    PTRDIFF dpwszFamilyName;
    PTRDIFF dpwszStyleName;
    PTRDIFF dpwszFaceName;
    PTRDIFF dpwszUniqueName;
    PTRDIFF dpFontSim;
    LONG lEmbedId;
    LONG lItalicAngle;
    LONG lCharBias;
    PTRDIFF dpCharSets;
    BYTE jWinCharSet;
    BYTE jWinPitchAndFamily;
    USHORT usWinWeight;
    ULONG flInfo;
    USHORT fsSelection;
    USHORT fsType;
    FWORD fwdUnitsPerEm;
    FWORD fwdLowestPPEm;
    FWORD fwdWinAscender;
    FWORD fwdWinDescender;
    FWORD fwdMacAscender;
    FWORD fwdMacDescender;
    FWORD fwdMacLineGap;
    FWORD fwdTypoAscender;
    FWORD fwdTypoDescender;
    FWORD fwdTypoLineGap;
    FWORD fwdAveCharWidth;
    FWORD fwdMaxCharInc;
    FWORD fwdCapHeight;
    FWORD fwdXHeight;
    FWORD fwdSubscriptXSize;
    FWORD fwdSubscriptYSize;
    FWORD fwdSubscriptXOffset;
    FWORD fwdSubscriptYOffset;
    FWORD fwdSuperscriptXSize;
    FWORD fwdSuperscriptYSize;
    FWORD fwdSuperscriptXOffset;
    FWORD fwdSuperscriptYOffset;
    FWORD fwdUnderscoreSize;
    FWORD fwdUnderscorePosition;
    FWORD fwdStrikeoutSize;
    FWORD fwdStrikeoutPosition;
    BYTE chFirstChar;
    BYTE chLastChar;
    BYTE chDefaultChar;
    BYTE chBreakChar;
    WCHAR wcFirstChar;
    WCHAR wcLastChar;
    WCHAR wcDefaultChar;
    WCHAR wcBreakChar;
    POINTL ptlBaseline;
    POINTL ptlAspect;
    POINTL ptlCaret;
    RECTL rclFontBox;
    BYTE achVendId[4];
    ULONG cKerningPairs;
    ULONG ulPanoseCulture;
    PANOSE panose;
#if UINTPTR_MAX > 0xFFFFFFFFu
    PVOID Align;
#endif
};

// fsSelection bits of IFIMETRICS, and the simulation flags of FONTOBJ.
constexpr USHORT FM_SEL_ITALIC = 0x0001;
constexpr USHORT FM_SEL_BOLD = 0x0020;
constexpr FLONG FO_TYPE_RASTER = 0x1;
constexpr FLONG FO_TYPE_DEVICE = 0x2;
constexpr FLONG FO_TYPE_TRUETYPE = 0x4;
constexpr FLONG FO_SIM_BOLD = 0x2000;
constexpr FLONG FO_SIM_ITALIC = 0x4000;

struct GLYPHDEF;
struct GLYPHPOS {
    HGLYPH hg;
    GLYPHDEF* pgdf;
    POINTL ptl;
};

struct STROBJ {
    ULONG cGlyphs;
    FLONG flAccel;
    ULONG ulCharInc;
    RECTL rclBkGround;
    GLYPHPOS* pgp;
    PWSTR pwszOrg;
};

struct FONTOBJ {
    ULONG iUniq;
    ULONG iFace;
    ULONG cxMax;
    FLONG flFontType;
    ULONG_PTR iTTUniq;
    ULONG_PTR iFile;
    SIZEL sizLogResPpi;
    ULONG ulStyleSize;
    PVOID pvConsumer;
    PVOID pvProducer;
};

// ---------------------------------------------------------------- surfaces
struct SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
};

struct CLIPOBJ {
    ULONG iUniq;
    RECTL rclBounds;
    BYTE iDComplexity;
    BYTE iFComplexity;
    BYTE iMode;
    BYTE fjOptions;
};

struct BRUSHOBJ {
    ULONG iSolidColor;
    PVOID pvRbrush;
    FLONG flColorType;
};

// ---------------------------------------------------------------- device
struct CIECHROMA {
    LONG x;
    LONG y;
    LONG Y;
};
struct COLORINFO {
    CIECHROMA Red, Green, Blue, Cyan, Magenta, Yellow, AlignmentWhite;
    LONG RedGamma, GreenGamma, BlueGamma;
    LONG MagentaInCyanDye, YellowInCyanDye, CyanInMagentaDye;
    LONG YellowInMagentaDye, CyanInYellowDye, MagentaInYellowDye;
};
static_assert(sizeof(COLORINFO) == 120);

struct GDIINFO {
    ULONG ulVersion;
    ULONG ulTechnology;
    ULONG ulHorzSize;
    ULONG ulVertSize;
    ULONG ulHorzRes;
    ULONG ulVertRes;
    ULONG cBitsPixel;
    ULONG cPlanes;
    ULONG ulNumColors;
    ULONG flRaster;
    ULONG ulLogPixelsX;
    ULONG ulLogPixelsY;
    ULONG flTextCaps;
    ULONG ulDACRed;
    ULONG ulDACGreen;
    ULONG ulDACBlue;
    ULONG ulAspectX;
    ULONG ulAspectY;
    ULONG ulAspectXY;
    LONG xStyleStep;
    LONG yStyleStep;
    LONG denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI;
    ULONG ulPrimaryOrder;
    ULONG ulHTPatternSize;
    ULONG ulHTOutputFormat;
    ULONG flHTFlags;
    ULONG ulVRefresh;
    ULONG ulBltAlignment;
    ULONG ulPanningHorzRes;
    ULONG ulPanningVertRes;
    ULONG xPanningAlignment;
    ULONG yPanningAlignment;
    ULONG cxHTPat;
    ULONG cyHTPat;
    BYTE* pHTPatA;
    BYTE* pHTPatB;
    BYTE* pHTPatC;
    ULONG flShadeBlend;
    ULONG ulPhysicalPixelCharacteristics;
    ULONG ulPhysicalPixelGamma;
};

struct DEVINFO {
    FLONG flGraphicsCaps;
    LOGFONTW lfDefaultFont;
    LOGFONTW lfAnsiVarFont;
    LOGFONTW lfAnsiFixFont;
    ULONG cFonts;
    ULONG iDitherFormat;
    USHORT cxDither;
    USHORT cyDither;
    HPALETTE hpalDefault;
    FLONG flGraphicsCaps2;
};

constexpr FLONG GCAPS_FONT_RASTERIZER = 0x40000000;

struct DRVFN {
    ULONG iFunc;
    PFN pfn;
};

struct DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
};

// DDI function indices the plug-in hooks.
constexpr ULONG INDEX_DrvStartDoc = 35;
constexpr ULONG INDEX_DrvTextOut = 23;
constexpr ULONG INDEX_DrvEscape = 24;

// Palette modes of EngCreatePalette.
constexpr ULONG PAL_INDEXED = 0x1;
constexpr ULONG PAL_BITFIELDS = 0x2;
constexpr ULONG PAL_RGB = 0x4;
constexpr ULONG PAL_BGR = 0x8;

// The hooked DDI entry points, as the driver host calls them.
using PFN_DrvTextOut = BOOL(KX_STDCALL*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                         BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX);
using PFN_DrvEscape = ULONG(KX_STDCALL*)(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID);
using PFN_DrvStartDoc = BOOL(KX_STDCALL*)(SURFOBJ*, PWSTR, DWORD);

// The engine calls, resolved at run time (gdi32 on Windows, else the host).
using PFN_STROBJ_vEnumStart = void(KX_STDCALL*)(STROBJ*);
using PFN_STROBJ_bEnumPositionsOnly = BOOL(KX_STDCALL*)(STROBJ*, ULONG*, GLYPHPOS**);
using PFN_FONTOBJ_pifi = IFIMETRICS*(KX_STDCALL*)(FONTOBJ*);
using PFN_EngCreatePalette = HPALETTE(KX_STDCALL*)(ULONG, ULONG, ULONG*, FLONG, FLONG, FLONG);
using PFN_EngDeletePalette = BOOL(KX_STDCALL*)(HPALETTE);

#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(IFIMETRICS) == 192);
static_assert(offsetof(IFIMETRICS, fsSelection) == 52);
static_assert(offsetof(IFIMETRICS, panose) == 172);
static_assert(sizeof(GLYPHPOS) == 24 && offsetof(GLYPHPOS, ptl) == 16);
static_assert(sizeof(STROBJ) == 48 && offsetof(STROBJ, pgp) == 32 &&
              offsetof(STROBJ, pwszOrg) == 40);
static_assert(sizeof(FONTOBJ) == 64 && offsetof(FONTOBJ, sizLogResPpi) == 32 &&
              offsetof(FONTOBJ, pvConsumer) == 48);
static_assert(sizeof(SURFOBJ) == 80 && offsetof(SURFOBJ, dhpdev) == 16 &&
              offsetof(SURFOBJ, pvScan0) == 56 && offsetof(SURFOBJ, iType) == 76);
static_assert(sizeof(GDIINFO) == 320 && offsetof(GDIINFO, cBitsPixel) == 24 &&
              offsetof(GDIINFO, ulNumColors) == 32 && offsetof(GDIINFO, ciDevice) == 108 &&
              offsetof(GDIINFO, pHTPatA) == 280);
static_assert(sizeof(DEVINFO) == 312 && offsetof(DEVINFO, cFonts) == 280 &&
              offsetof(DEVINFO, iDitherFormat) == 284 && offsetof(DEVINFO, hpalDefault) == 296 &&
              offsetof(DEVINFO, flGraphicsCaps2) == 304);
static_assert(sizeof(DRVFN) == 16 && sizeof(DRVENABLEDATA) == 16);
#endif
