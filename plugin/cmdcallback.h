// Dispatch of the driver host's command callbacks: a table from command id
// to handler. The job, document and page boundaries go to the job stream,
// copies, paper size, form feed and line feed to the label geometry
// (job/labelgeometry.h); orientation, cursor moves, module side and
// memory-card switching are single values of the job kept here.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Command ids as the printer description numbers them.
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
    CMDID_RESOLUTION = 30,
    CMDID_SEND_MAGENTA = 31,
    CMDID_SEND_YELLOW = 32,
    CMDID_SEND_CYAN = 33,
    CMDID_SEND_BLACK = 34,
    CMDID_SEND_RED = 35,
    CMDID_SEND_GREEN = 36,
    CMDID_SEND_BLUE = 37,
    CMDID_MEMCARD_OFF = 50,
    CMDID_MEMCARD_ON = 51,
};

HRESULT CommandCallbackOEM(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                           INT* piResult, IPrintOemDriverUni* pUniDrv);

}  // namespace kx
