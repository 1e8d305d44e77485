// The output channel: every byte of printer data leaves through here, to the
// spooler (IPrintOemDriverUni::DrvWriteSpoolBuf) and as a mirror into the
// print file or files.
//
// Several writers need slightly different channels (the command callback
// counts all its bytes as print data, the raster writers mirror only into the
// first file, the graphics record watches for a cancelled print job). They
// all run the one implementation below with a ChannelKind that states the
// difference.
#pragma once

#include <string_view>

#include "core/oempdev.h"

namespace kx {

struct ChannelKind {
    const char16_t* module;     // trace prefix, e.g. u"KxDrvUni"
    DWORD traceDataMax;         // data of 3..traceDataMax bytes is traced as text
    bool allPrintData;          // every byte counts as print data (split mode: second file)
    bool firstFileOnly;         // never mirror into the second print file
    bool watchCancel;           // a failed spooler write with error 63 sets bPrintCancelled
};

// The channels of the plug-in's writers.
extern const ChannelKind kChannelStandard;        // job stream, device options
extern const ChannelKind kChannelCommandCallback;  // form feed, line feed of the callbacks
extern const ChannelKind kChannelRaster;           // raster bitmap and graphics filter
extern const ChannelKind kChannelGraphics;         // graphics records
extern const ChannelKind kChannelFirstFile;        // command font, automatic import

// Writes cbData bytes. bPrintData: in split mode the bytes belong to the second
// (colour) file; bNoSpool: print files only; bNoFile: spooler only;
// bBothFiles (graphics channel): mirror into the second file as well.
HRESULT SendData(const ChannelKind& kind, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                 const void* pData, DWORD cbData, BOOL bPrintData = FALSE, BOOL bNoSpool = FALSE,
                 BOOL bNoFile = FALSE, BOOL bBothFiles = FALSE);

// The standard channel.
inline HRESULT SendData(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const void* pData,
                        DWORD cbData, BOOL bPrintData = FALSE, BOOL bNoSpool = FALSE,
                        BOOL bNoFile = FALSE)
{
    return SendData(kChannelStandard, pdevobj, pUniDrv, pData, cbData, bPrintData, bNoSpool,
                    bNoFile);
}

// The comment writer: text1 + text2 + "\r\n" joined in 100 characters (a
// line that does not fit is not written: STRSAFE_E_INSUFFICIENT_BUFFER) and
// written into the print file only.
HRESULT SendeKommentar(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const char* pszText1,
                       const char* pszText2 = "");

// The command callback's comment writer: the same line through the callback
// channel, so it reaches the spooler as well as the print file.
HRESULT SendeKommentarCC(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, const char* pszText1,
                         const char* pszText2 = "");

// Opens the print file(s) of the job: wcPrnFileName + ".prn", or in split mode
// 1 wcPrnFileName + "_bw.prn" and "_col.prn". bAppend continues an existing
// file. TRUE when the first file is open.
BOOL OpenPrnFile(DWORD dwSplitMode, OEM_PDEV* pOemPDev, BOOL bAppend);

}  // namespace kx
