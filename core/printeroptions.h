// The "PrinterOptions" block (28 bytes, fourteen 16-bit words) that the
// settings user interface keeps per printer: which peripherals are fitted
// and a few module switches.
//
// Layout chosen here (the words the job start, the label size and the
// automatic import read; the others are carried unread):
//   words 0-1  dwAusstattung   fitted equipment, P_OPTIONS_... bits
//   words 2-3  dwOptionen2     second options word (print modules, bellmark)
//   word  4    wModulTyp       print-module type (0 KRM-c, 1 KRM-i)
//   word  10   wSpeedLumetra   0: the speed of the print module (dwSpeed_Lumet_c)
//   word  11   dwModule        1: the left module (bCorrectXPos)
#pragma once

#include <cstddef>

#include "platform/kxtypes.h"

// Equipment bits of dwAusstattung.
constexpr DWORD P_OPTIONS_DISPENSER = 0x1;
constexpr DWORD P_OPTIONS_CUTTER = 0x100;
constexpr DWORD P_OPTIONS_CUTTER_MODE = 0x1000;  // the cutter mode may be set
constexpr DWORD P_OPTIONS_SCANNER = 0x10000;
constexpr DWORD P_OPTIONS_APPLICATOR = 0x1000000;

// Bits of the second options word.
constexpr DWORD P_OPTIONS_KRMC = 0x10;
constexpr DWORD P_OPTIONS_KRMI = 0x1000;
constexpr DWORD P_OPTIONS_BELLMARK = 0x100000;
constexpr DWORD P_OPTIONS_LUMETRA = 0x1000000;

#pragma pack(push, 1)
struct PRINTER_OPTIONS {
    DWORD dwAusstattung;
    DWORD dwOptionen2;
    WORD wModulTyp;
    WORD wReserved5[5];
    WORD wSpeedLumetra;
    WORD dwModule;
    WORD wReserved12[2];
};
#pragma pack(pop)
static_assert(sizeof(PRINTER_OPTIONS) == 28);
static_assert(offsetof(PRINTER_OPTIONS, wSpeedLumetra) == 20 &&
              offsetof(PRINTER_OPTIONS, dwModule) == 22);
