// The printer's feature list and the two device-settings records that the
// settings user interface keeps per printer ("SuppFeatures",
// "PhotocellParam", "ShiftOptimParam") and that the XML settings fill.
#pragma once

#include "platform/kxtypes.h"

// The feature list: one word of bits per feature group.
constexpr int MAX_FEATURES = 12;
constexpr DWORD FEATURE_LIST_SIZE = MAX_FEATURES * sizeof(DWORD);  // 48 bytes

constexpr int FEATURE_INTERFACE = 0;
constexpr int FEATURE_PRINT = 1;
constexpr int FEATURE_PHOTOCELL = 2;
constexpr int FEATURE_DISPENSER = 3;
constexpr int FEATURE_CUTTER = 4;
constexpr int FEATURE_SCANNER = 5;
constexpr int FEATURE_KRM = 6;
// Index 7 carries no feature group. The XML settings never fill it and the
// readers leave it zero; it stays reserved so that the list keeps the layout
// the settings user interface writes.
constexpr int FEATURE_RESERVED_7 = 7;
constexpr int FEATURE_KRMC = 8;
constexpr int FEATURE_APPLICATOR = 9;
constexpr int FEATURE_SHIFTOPTIM = 10;
constexpr int FEATURE_RESERVED_11 = 11;  // always 0

// FEATURE_INTERFACE bits.
constexpr DWORD FEATURE_INTERFACE_COMPRESSION = 0x1;
constexpr DWORD FEATURE_INTERFACE_EXTENDED_PROT = 0x2;
constexpr DWORD FEATURE_INTERFACE_QUEUE_JOB = 0x4;
constexpr DWORD FEATURE_INTERFACE_JOBNAME = 0x8;
constexpr DWORD FEATURE_INTERFACE_CODEPAGE = 0x10;
constexpr DWORD FEATURE_INTERFACE_CLEAR_PRINT_MEM = 0x20;
constexpr DWORD FEATURE_INTERFACE_CONTLABEL = 0x40;
constexpr DWORD FEATURE_INTERFACE_USERDEF_SOHETB = 0x80;
constexpr DWORD FEATURE_INTERFACE_EXTENDED_CODEPAGE = 0x100;
constexpr DWORD FEATURE_INTERFACE_BM_JOBNAME = 0x200;

// FEATURE_PRINT bits.
constexpr DWORD FEATURE_PRINT_Y_OFFSET = 0x1;
constexpr DWORD FEATURE_PRINT_X_OFFSET = 0x2;
constexpr DWORD FEATURE_PRINT_TEAROFF_OFFSET = 0x4;
constexpr DWORD FEATURE_PRINT_CONTRAST = 0x8;
constexpr DWORD FEATURE_PRINT_SPEED = 0x10;
constexpr DWORD FEATURE_PRINT_SPEED_10_STEP = 0x20;
constexpr DWORD FEATURE_PRINT_LABELCHANGE = 0x40;

// FEATURE_PHOTOCELL bits.
constexpr DWORD FEATURE_PHOTOCELL_TYPE = 0x1;
constexpr DWORD FEATURE_PHOTOCELL_RIBBON_CONTROL = 0x2;
constexpr DWORD FEATURE_PHOTOCELL_SENSIBILITY = 0x4;
constexpr DWORD FEATURE_PHOTOCELL_SCANPOSITION = 0x8;
constexpr DWORD FEATURE_PHOTOCELL_RIBBON_CONT_2 = 0x10;
constexpr DWORD FEATURE_PHOTOCELL_NORMAL_2 = 0x20;
constexpr DWORD FEATURE_PHOTOCELL_ULTRASONIC = 0x40;
constexpr DWORD FEATURE_PHOTOCELL_REFLEXION = 0x80;
constexpr DWORD FEATURE_PHOTOCELL_RIBBON_SAVE = 0x100;

// FEATURE_DISPENSER bits.
constexpr DWORD FEATURE_DISPENSER_ON = 0x1;
constexpr DWORD FEATURE_DISPENSER_IO_STATIC = 0x2;
constexpr DWORD FEATURE_DISPENSER_IO_DYNAMIC = 0x4;
constexpr DWORD FEATURE_DISPENSER_PHOTOCELL = 0x8;
constexpr DWORD FEATURE_DISPENSER_CONTINOUS = 0x10;
constexpr DWORD FEATURE_DISPENSER_SEPARATE_OFFSET = 0x20;
constexpr DWORD FEATURE_DISPENSER_NO_OFFSET = 0x40;
constexpr DWORD FEATURE_DISPENSER_NO_LEVEL = 0x80;

// FEATURE_CUTTER bits.
constexpr DWORD FEATURE_CUTTER_MODE = 0x1;
constexpr DWORD FEATURE_CUTTER_DOUBLE_CUT = 0x2;
constexpr DWORD FEATURE_CUTTER_CUT_WIDTH = 0x4;
constexpr DWORD FEATURE_CUTTER_SEPARATE_OFFSET = 0x8;
constexpr DWORD FEATURE_CUTTER_CONTROL = 0x10;

// FEATURE_SCANNER bits.
constexpr DWORD FEATURE_SCANNER_MODE = 0x1;
constexpr DWORD FEATURE_SCANNER_PORTS_2 = 0x2;

// FEATURE_KRM bits.
constexpr DWORD FEATURE_KRM_SERVICEPNT = 0x1;
constexpr DWORD FEATURE_KRM_BACKSPEED = 0x8;
constexpr DWORD FEATURE_KRM_MODE = 0x10;
constexpr DWORD FEATURE_KRM_CONDITION = 0x20;
constexpr DWORD FEATURE_KRM_CYCLE = 0x40;
constexpr DWORD FEATURE_KRM_OFFSET = 0x80;
constexpr DWORD FEATURE_KRM_RIBBONSPEED = 0x100;
constexpr DWORD FEATURE_KRM_PRINTPOSITION = 0x200;

// FEATURE_KRMC bits.
constexpr DWORD FEATURE_KRMC_IO_STATIC = 0x1;
constexpr DWORD FEATURE_KRMC_IO_DYNAMIC = 0x2;
constexpr DWORD FEATURE_KRMC_CONTINOUS = 0x4;
constexpr DWORD FEATURE_KRMC_OFFSET = 0x8;
constexpr DWORD FEATURE_KRMC_CYCLE = 0x10;

// FEATURE_APPLICATOR bits.
constexpr DWORD FEATURE_APPLICATOR_MODE = 0x1;

// FEATURE_SHIFTOPTIM bits.
constexpr DWORD FEATURE_SHIFTOPTIM_MODE = 0x1;
constexpr DWORD FEATURE_SHIFTOPTIM_RCORRECTION = 0x2;
constexpr DWORD FEATURE_SHIFTOPTIM_XSHIFT = 0x4;
constexpr DWORD FEATURE_SHIFTOPTIM_YSHIFT = 0x8;
constexpr DWORD FEATURE_SHIFTOPTIM_LANES = 0x10;
constexpr DWORD FEATURE_SHIFTOPTIM_RSHIFT = 0x20;

#pragma pack(push, 1)
// "PhotocellParam" (24 bytes). The slots between the named fields are
// written by the settings user interface and carried unread.
struct PHOTOCELL_PARAM {
    LONG dwPhotocellType;  // 0   photocell type 0..5
    LONG reserved4;
    LONG dwRibbonControl;  // 8   ribbon control: 0 off, 1 on weak, 2 on strong
    LONG reserved12[2];
    WORD wRibbonSave;  // 20  ribbon save: 1 off, 2 on
    WORD reserved22;
};

// "ShiftOptimParam" (28 bytes).
struct SHIFT_OPTIM_PARAM {
    LONG lRCorrection;  // 0
    LONG lXShift;       // 4   1/10 mm
    LONG lYShift;       // 8   1/10 mm
    LONG lLanes;        // 12
    LONG lRShift;       // 16  1/10 mm
    LONG bNichtSenden;  // 20  1: the shift commands are not sent
    LONG reserved24;
};
#pragma pack(pop)
static_assert(sizeof(PHOTOCELL_PARAM) == 24);
static_assert(offsetof(PHOTOCELL_PARAM, dwRibbonControl) == 8);
static_assert(offsetof(PHOTOCELL_PARAM, wRibbonSave) == 20);
static_assert(sizeof(SHIFT_OPTIM_PARAM) == 28);
static_assert(offsetof(SHIFT_OPTIM_PARAM, lRShift) == 16);
