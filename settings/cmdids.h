// The command callback ids of the printer's GPD: the numbers its callback
// commands carry, and the names the trace gives them. The plug-in dispatches
// on them and kxrender names them in job files, both from this table.
#pragma once

#include "platform/kxtypes.h"

namespace kx {

enum : DWORD {
    CMDID_START_JOB = 1,
    CMDID_START_DOC = 2,
    CMDID_START_PAGE = 3,
    CMDID_END_PAGE = 4,
    CMDID_END_DOC = 5,
    CMDID_END_JOB = 6,
    CMDID_COPIES = 7,
    CMDID_PORTRAIT = 8,
    CMDID_LANDSCAPE = 9,
    CMDID_YMOVE_ABS = 10,
    CMDID_YMOVE_RELUP = 11,
    CMDID_YMOVE_RELDOWN = 12,
    CMDID_XMOVE_ABS = 13,
    CMDID_XMOVE_RELLEFT = 14,
    CMDID_XMOVE_RELRIGHT = 15,
    CMDID_CR = 16,
    CMDID_LF = 17,
    CMDID_FF = 18,
    CMDID_PAPERSIZE = 19,
    CMDID_CUSTOM_PAPERSIZE = 20,
    CMDID_RIGHT_MODULE = 21,
    CMDID_LEFT_MODULE = 22,
    // 23 to 29 are used by the GPD but have no name.
    CMDID_RESOLUTION = 30,
    CMDID_SEND_MAGENTA = 31,
    CMDID_SEND_YELLOW = 32,
    CMDID_SEND_CYAN = 33,
    CMDID_SEND_BLACK = 34,
    CMDID_SEND_RED = 35,
    CMDID_SEND_GREEN = 36,
    CMDID_SEND_BLUE = 37,
    // Memory-card output off and on. The trace has no name for them.
    CMDID_MEMCARD_OFF = 50,
    CMDID_MEMCARD_ON = 51,
};

// Every named id with its name.
struct CommandCallbackName {
    DWORD id;
    const char* name;
};
inline constexpr CommandCallbackName kCommandCallbackNames[] = {
    {CMDID_START_JOB, "CMDID_START_JOB"},
    {CMDID_START_DOC, "CMDID_START_DOC"},
    {CMDID_START_PAGE, "CMDID_START_PAGE"},
    {CMDID_END_PAGE, "CMDID_END_PAGE"},
    {CMDID_END_DOC, "CMDID_END_DOC"},
    {CMDID_END_JOB, "CMDID_END_JOB"},
    {CMDID_COPIES, "CMDID_COPIES"},
    {CMDID_PORTRAIT, "CMDID_PORTRAIT"},
    {CMDID_LANDSCAPE, "CMDID_LANDSCAPE"},
    {CMDID_YMOVE_ABS, "CMDID_YMOVE_ABS"},
    {CMDID_YMOVE_RELUP, "CMDID_YMOVE_RELUP"},
    {CMDID_YMOVE_RELDOWN, "CMDID_YMOVE_RELDOWN"},
    {CMDID_XMOVE_ABS, "CMDID_XMOVE_ABS"},
    {CMDID_XMOVE_RELLEFT, "CMDID_XMOVE_RELLEFT"},
    {CMDID_XMOVE_RELRIGHT, "CMDID_XMOVE_RELRIGHT"},
    {CMDID_CR, "CMDID_CR"},
    {CMDID_LF, "CMDID_LF"},
    {CMDID_FF, "CMDID_FF"},
    {CMDID_PAPERSIZE, "CMDID_PAPERSIZE"},
    {CMDID_CUSTOM_PAPERSIZE, "CMDID_CUSTOM_PAPERSIZE"},
    {CMDID_RIGHT_MODULE, "CMDID_RIGHT_MODULE"},
    {CMDID_LEFT_MODULE, "CMDID_LEFT_MODULE"},
    {CMDID_RESOLUTION, "CMDID_RESOLUTION"},
    {CMDID_SEND_MAGENTA, "CMDID_SEND_MAGENTA"},
    {CMDID_SEND_YELLOW, "CMDID_SEND_YELLOW"},
    {CMDID_SEND_CYAN, "CMDID_SEND_CYAN"},
    {CMDID_SEND_BLACK, "CMDID_SEND_BLACK"},
    {CMDID_SEND_RED, "CMDID_SEND_RED"},
    {CMDID_SEND_GREEN, "CMDID_SEND_GREEN"},
    {CMDID_SEND_BLUE, "CMDID_SEND_BLUE"},
    {CMDID_MEMCARD_OFF, "CMDID_MEMCARD_OFF"},
    {CMDID_MEMCARD_ON, "CMDID_MEMCARD_ON"},
};

// True for every id the GPD uses: 1 to 37 (23 to 29 unnamed) and the two
// memory-card ids.
constexpr bool IsCommandCallbackId(DWORD id)
{
    return (id >= CMDID_START_JOB && id <= CMDID_SEND_BLUE) || id == CMDID_MEMCARD_OFF ||
           id == CMDID_MEMCARD_ON;
}

}  // namespace kx
