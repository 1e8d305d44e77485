// PRN_INTERFACE: the printer's interface and file settings (2236 bytes).
//
// Written by the settings user interface into "PrinterInterface" and filled
// from the "DataTransmission" XML settings. The offsets of the fields that the
// XML settings fill are fixed; the few switches the XML does not carry live in
// otherwise unused slots, chosen here:
//   12   dwJobIdent      job identification (page number / job name records)
//   24   dwTrennseite    separator page: 0 none, 1/2 after print start, 3/4 at document start
//   1640 bLeereSeiten    suppress empty pages
//   2200 dwDebugImage    debug-image level (diagnostic BMP/JPEG files)
//   2208 dwQueueJob2     second abort switch (both must be 0 to discard an aborted job)
#pragma once

#include "platform/kxtypes.h"

constexpr DWORD PRN_INTERFACE_SIZE = 2236;
constexpr int PRN_PATH_CHARS = 260;

#pragma pack(push, 1)
struct PRN_INTERFACE {
    DWORD bCompress;           // 0   "Compression": line path, run-length graphics
    DWORD dwExtendedProtocol;  // 4   "ExtendedProtocol"
    DWORD dwSendGerParam;      // 8   "TransmitParameter": 0 = the plug-in sends device parameters
    DWORD dwJobIdent;          // 12
    DWORD dwClearPrintMemory;  // 16  "ClearPrintMemory"
    DWORD dwSohEtb;            // 20  "SohEtb": 0 SOH/ETB, 1 ^/_, other = user-defined
    DWORD dwTrennseite;        // 24
    DWORD dwPrnFileComment;    // 28  "PrnFileComment": 0 no print file, 1/3 with comments, 2 without
    DWORD bLogFileEnable;      // 32  "LogFileEnable"
    DWORD dwDebugFile;         // 36  "DebugFile": 2 or more opens the trace file
    DWORD dwQueueJob;          // 40  "QueueJob": abort switch
    DWORD bLogFileTimeStamp;   // 44  "LogFileTimeStamp"
    DWORD dwLogFilesCount;     // 48  "LogFilesCount"
    DWORD dwSendEtiParam;      // 52  "TransmitLabelParameter": 0 = the plug-in sends label parameters
    DWORD dwOwnSoh;            // 56  "OwnSoh": user-defined start character
    DWORD dwOwnEtb;            // 60  "OwnEtb": user-defined end character
    DWORD dwEtbSohAutomatik;   // 64  "EtbSohAutomatik"
    DWORD dwPrefixSuffix;      // 68  "PrefixSuffix"
    DWORD dwDatenspeicher;     // 72  "DataMemory"
    DWORD dwExternalFile;      // 76  "UseExternalFile"
    WCHAR wcLogFilePath[PRN_PATH_CHARS];       // 80   "LogFilePath"
    WCHAR wcPreSufFilePath[PRN_PATH_CHARS];    // 600  "PreSufFilePath"
    WCHAR wcExternalFilePath[PRN_PATH_CHARS];  // 1120 "ExternalFilePath"
    DWORD bLeereSeiten;                        // 1640
    DWORD dwSendJobName;                       // 1644 "SendJobName"
    DWORD bSendPrintStart;                     // 1648 "SendPrintStart": 1 = no print-start record
    DWORD bEnableBackup;                       // 1652 "EnableBackup"
    DWORD bEnableCSV;                          // 1656 "EnableCSV"
    DWORD dwBackupFormat;                      // 1660 "BackupFormat"
    WCHAR wcBackupFilePath[PRN_PATH_CHARS];    // 1664 "BackupFilePath"
    DWORD dwBackupPathCombine;                 // 2184 "BackupPathCombine"
    DWORD dwBackupCSVKopf;                     // 2188 "BackupCSVKopf"
    DWORD dwSprache;                           // 2192 "Language": 0 German, 1 English, 2 Spanish, 3 French
    DWORD dwLangMode;                          // 2196 "Lang_Mode"
    DWORD dwDebugImage;                        // 2200
    DWORD dwPrinterTime;                       // 2204 "PrinterTime": send PC time and date
    DWORD dwQueueJob2;                         // 2208
    WORD wPreviewFile;                         // 2212 "PreviewFile"
    WORD wPreviewWidth;                        // 2214 "PreviewWidth"
    WORD wPreviewHeight;                       // 2216 "PreviewHeight"
    WORD wPreviewRatio;                        // 2218 "PreviewRatio"
    BYTE reserved2220[16];
};
#pragma pack(pop)
static_assert(sizeof(PRN_INTERFACE) == PRN_INTERFACE_SIZE);
static_assert(offsetof(PRN_INTERFACE, dwSohEtb) == 20 && offsetof(PRN_INTERFACE, dwPrnFileComment) == 28);
static_assert(offsetof(PRN_INTERFACE, dwDebugFile) == 36 && offsetof(PRN_INTERFACE, dwOwnSoh) == 56);
static_assert(offsetof(PRN_INTERFACE, dwDatenspeicher) == 72 && offsetof(PRN_INTERFACE, wcLogFilePath) == 80);
static_assert(offsetof(PRN_INTERFACE, wcPreSufFilePath) == 600);
static_assert(offsetof(PRN_INTERFACE, wcExternalFilePath) == 1120);
static_assert(offsetof(PRN_INTERFACE, dwSendJobName) == 1644 && offsetof(PRN_INTERFACE, bEnableBackup) == 1652);
static_assert(offsetof(PRN_INTERFACE, wcBackupFilePath) == 1664);
static_assert(offsetof(PRN_INTERFACE, dwBackupPathCombine) == 2184 && offsetof(PRN_INTERFACE, dwSprache) == 2192);
static_assert(offsetof(PRN_INTERFACE, dwPrinterTime) == 2204 && offsetof(PRN_INTERFACE, wPreviewFile) == 2212);
static_assert(offsetof(PRN_INTERFACE, wPreviewRatio) == 2218);

// Comments and line endings go into the stream when the print file asks for
// comments (1 or 3) or a backup is kept.
inline bool CommentsOn(const PRN_INTERFACE& pi)
{
    return pi.dwPrnFileComment == 1 || pi.dwPrnFileComment == 3 || pi.bEnableBackup == 1;
}
