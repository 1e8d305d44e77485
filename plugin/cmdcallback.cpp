#include "plugin/cmdcallback.h"

#include "core/format.h"
#include "core/trace.h"
#include "job/jobstream.h"
#include "core/output.h"

namespace kx {

namespace {

constexpr DWORD DOC_FEATURE_COLORPRINT = 0x800;
constexpr DWORD DOC_FEATURE_QUALITY = 0x1000;  // bGrafikFaehig: the raster goes the image path

const char16_t* CallbackName(DWORD id)
{
    static const char16_t* const kNames[] = {
        u"NULL",                  u"CMDID_START_JOB",     u"CMDID_START_DOC",
        u"CMDID_START_PAGE",      u"CMDID_END_PAGE",      u"CMDID_END_DOC",
        u"CMDID_END_JOB",         u"CMDID_COPIES",        u"CMDID_PORTRAIT",
        u"CMDID_LANDSCAPE",       u"CMDID_YMOVE_ABS",     u"CMDID_YMOVE_RELUP",
        u"CMDID_YMOVE_RELDOWN",   u"CMDID_XMOVE_ABS",     u"CMDID_XMOVE_RELLEFT",
        u"CMDID_XMOVE_RELRIGHT",  u"CMDID_CR",            u"CMDID_LF",
        u"CMDID_FF",              u"CMDID_PAPERSIZE",     u"CMDID_CUSTOM_PAPERSIZE",
        u"CMDID_RIGHT_MODULE",    u"CMDID_LEFT_MODULE",   u" ",
        u" ",                     u" ",                   u" ",
        u" ",                     u" ",                   u" ",
        u"CMDID_RESOLUTION",      u"CMDID_SEND_MAGENTA",  u"CMDID_SEND_YELLOW",
        u"CMDID_SEND_CYAN",       u"CMDID_SEND_BLACK",    u"CMDID_SEND_RED",
        u"CMDID_SEND_GREEN",      u"CMDID_SEND_BLUE",     u"NULL"};
    return id < sizeof(kNames) / sizeof(kNames[0]) ? kNames[id] : u"NULL";
}

// One call's view of its arguments. Parameters beyond dwCount read as 0: the
// GPD always passes what a command needs, but a short list must not crash.
struct Call {
    PDEVOBJ pdevobj;
    DWORD dwCount;
    PDWORD pdwParams;
    IPrintOemDriverUni* pUniDrv;

    DWORD Param(DWORD i) const { return (pdwParams && i < dwCount) ? pdwParams[i] : 0; }
    OEM_PDEV* OemPDev() const { return GetOemPDev(pdevobj); }
    DruckDaten* Data() const
    {
        OEM_PDEV* p = OemPDev();
        return (p && p->pOp) ? p->pOp->pDruckDaten : nullptr;
    }
    const PRN_INTERFACE* Interface() const
    {
        OEM_PDEV* p = OemPDev();
        return (p && p->pOp && p->pOp->pTreiberstrukturen) ? &p->pOp->pTreiberstrukturen->prnInterface
                                                            : nullptr;
    }
};

// Runs a boundary handler with the worker count raised around it.
HRESULT Counted(const Call& c, HRESULT (*handler)(PDEVOBJ, IPrintOemDriverUni*))
{
    OEM_PDEV* p = c.OemPDev();
    if (p) ++p->iNewZaehler;
    HRESULT hr = handler(c.pdevobj, c.pUniDrv);
    if (p) --p->iNewZaehler;
    return hr;
}

void Copies(const Call& c, DruckDaten* d)
{
    d->dwCopies = c.Param(0);
    const DEVMODEW* pub = c.pdevobj->pPublicDM;
    const KX_DEVMODE* priv = GetKxDevmode(c.pdevobj);
    // Collated copies are made by re-sending the print file at the job end.
    if (pub && priv && pub->dmCollate == 1 && pub->dmCopies > 1 && priv->wAutoCollate == 0)
        d->dwCopies = 1;
    if (priv && (priv->dwFlags & PDMFLAG_KOPIEN_MANUELL)) d->dwCopies = priv->wAnzahlKopien;
}

HRESULT FormFeed(const Call& c, DruckDaten* d)
{
    char record[50];
    HRESULT hr = Format(record, "%cFE----r--------%c", d->cStart, d->cEnd);
    if (FAILED(hr)) return hr;
    hr = SendData(kChannelCommandCallback, c.pdevobj, c.pUniDrv, record,
                  static_cast<DWORD>(Length(record, sizeof(record))));
    if (FAILED(hr)) return hr;
    const PRN_INTERFACE* pi = c.Interface();
    if (pi && CommentsOn(*pi)) return SendeKommentarCC(c.pdevobj, c.pUniDrv, "\t// FormFeed ");
    return SendData(kChannelCommandCallback, c.pdevobj, c.pUniDrv, "\r\n", 2);
}

}  // namespace

HRESULT SendLineFeed(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, DWORD dwFeed)
{
    OEM_PDEV* p = GetOemPDev(pdevobj);
    DruckDaten* d = (p && p->pOp) ? p->pOp->pDruckDaten : nullptr;
    DWORD features = d ? d->dwDocFeatures : 0;
    const DEVMODEW* pub = pdevobj ? pdevobj->pPublicDM : nullptr;
    Trace(u"UNI(CommandCallback):  SendLineFeed() dmColor: %d, dwFeed: %d, bFarbdrucker: %d, "
          u"bGrafikFaehig: 0x%x \r\n",
          pub ? pub->dmColor : 0, dwFeed, (features & DOC_FEATURE_COLORPRINT) ? 1 : 0,
          features & DOC_FEATURE_QUALITY);
    if (features & DOC_FEATURE_QUALITY) return S_OK;
    const BYTE feed[5] = {0x1B, 0x42, 0x00, static_cast<BYTE>(dwFeed & 0xFF),
                          static_cast<BYTE>((dwFeed >> 8) & 0xFF)};
    return SendData(kChannelCommandCallback, pdevobj, pUniDrv, feed, sizeof(feed));
}

void PaperSize(PDEVOBJ pdevobj, DruckDaten* d, DWORD dwCount, const DWORD* params)
{
    auto param = [&](DWORD i) { return (params && i < dwCount) ? params[i] : 0; };
    const KX_DEVMODE* priv = GetKxDevmode(pdevobj);
    DWORD dwFlags = priv ? priv->dwFlags : 0;
    Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) dwFlags: 0x%x, "
          u"bLandscape_CC: %d \r\n",
          dwFlags, d->bLandscape_CC);
    d->dwLabelLength = param(0);
    d->dwLabelWidth = param(1);

    bool landscapeDisabled = false;
    if (d->bLandscape_CC == 1 && (dwFlags & PDMFLAG_LANDSCAPE_DISABLE)) {
        DWORD t = d->dwLabelLength;
        d->dwLabelLength = d->dwLabelWidth;
        d->dwLabelWidth = t;
        d->bLandscape_CC = 0;
        landscapeDisabled = true;
        Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) "
              u"PDMFLAG_LANDSCAPE_DISABLE - drehe Etikettendaten \r\n");
    }

    d->dwWinkel_CC = (priv && (dwFlags & PDMFLAG_DREHEN)) ? priv->dwWinkel : 0;
    d->dwRotation_CC = 0;
    if (d->bLandscape_CC == 1 && !landscapeDisabled) {
        d->dwWinkel_CC += 90;
    } else if (priv && priv->wCorrection == 1 && priv->dmOrientation == 2) {
        d->dwWinkel_CC += 90;
    }
    if (d->dwWinkel_CC > 359) d->dwWinkel_CC -= 360;
    switch (d->dwWinkel_CC) {
        case 90: d->dwRotation_CC = 3; break;
        case 180: d->dwRotation_CC = 2; break;
        case 270: d->dwRotation_CC = 1; break;
        default: break;
    }
    Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) dwWinkel_CC: %d - "
          u"dwRotation_CC: %d, bLandscape_CC: %d  \r\n",
          d->dwWinkel_CC, d->dwRotation_CC, d->bLandscape_CC);
    Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) dwLabelLength: %d, "
          u"dwLabelWidth: %d \r\n",
          d->dwLabelLength, d->dwLabelWidth);

    if (dwCount > 2) d->nCursorOriginX = static_cast<LONG>(param(2));

    DWORD headWidthByte = priv ? priv->FixedData.dwHeadWidthByte : 0;
    DWORD headDots = headWidthByte * 8;
    if (d->bCorrectXPos) {
        d->nLeftMargin = 0;
    } else if (d->nCursorOriginX == 0) {
        d->nLeftMargin = headDots > d->dwLabelWidth
                             ? static_cast<LONG>(headWidthByte - d->dwLabelWidth / 8)
                             : 0;
    }
    d->nRightMargin = headDots < d->dwLabelWidth ? static_cast<LONG>(d->dwLabelWidth - headDots) : 0;
    Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) nLeftMargin: %d, "
          u"nRightMargin: %d \r\n",
          d->nLeftMargin, d->nRightMargin);
}

HRESULT CommandCallbackOEM(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                           INT* piResult, IPrintOemDriverUni* pUniDrv)
{
    if (piResult) *piResult = 0;
    Trace(u"UNI(CommandCallback):  CommandCallbackOEM(%s) entry.\r\n", CallbackName(dwCallbackID));
    Trace(u"UNI(CommandCallback):          dwCount      = %d\r\n", dwCount);
    for (DWORD i = 0; pdwParams && i < dwCount && i < 3; ++i)
        Trace(u"UNI(CommandCallback):          pdwParams(%d) = %d\r\n", i, pdwParams[i]);
    if (!pdevobj) Trace(u"UNI(CommandCallback):  CommandCallbackOEM() pDevObj = NULL \r\n");

    Call c{pdevobj, dwCount, pdwParams, pUniDrv};
    auto setResult = [&](DWORD v) {
        if (piResult) *piResult = static_cast<INT>(v);
    };

    switch (dwCallbackID) {
        case CMDID_START_JOB: return Counted(c, StartJob);
        case CMDID_START_DOC: return Counted(c, StartDoc);
        case CMDID_START_PAGE: return StartPage(pdevobj, pUniDrv);
        case CMDID_END_PAGE: return EndPage(pdevobj, pUniDrv);
        case CMDID_END_DOC: return Counted(c, EndDoc);
        case CMDID_END_JOB: {
            HRESULT hr = Counted(c, EndJob);
            OEM_PDEV* p = c.OemPDev();
            Trace(u"UNI(CommandCallback):  CommandCallbackOEM(CMDID_END_JOB) iHAllocZaehler: %d, "
                  u"iNewZaehler: %d \r\n",
                  p ? p->iHAllocZaehler : 0, p ? p->iNewZaehler : 0);
            return hr;
        }
        default: break;
    }

    DruckDaten* d = c.Data();
    switch (dwCallbackID) {
        case CMDID_COPIES:
            if (d && pdevobj) Copies(c, d);
            return S_OK;
        case CMDID_PORTRAIT:
            if (d) d->bLandscape_CC = 0;
            return S_OK;
        case CMDID_LANDSCAPE:
            if (d) {
                d->bLandscape_CC = 1;
                Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_LANDSCAPE) bLandscape_CC = "
                      u"TRUE \r\n");
            }
            return S_OK;
        case CMDID_YMOVE_ABS:
        case CMDID_YMOVE_RELDOWN: {
            setResult(c.Param(0));
            if (!d) return S_OK;
            if (dwCallbackID == CMDID_YMOVE_ABS)
                d->lCursorY = static_cast<LONG>(c.Param(0));
            else
                d->lCursorY += static_cast<LONG>(c.Param(0));
            if (d->bCompress) return SendLineFeed(pdevobj, pUniDrv, c.Param(0));
            return S_OK;
        }
        case CMDID_XMOVE_ABS:
            setResult(c.Param(0));
            if (d) d->lCursorX = static_cast<LONG>(c.Param(0));
            return S_OK;
        case CMDID_CR:
            if (d) d->lCursorX = 0;
            return S_OK;
        case CMDID_FF:
            return d ? FormFeed(c, d) : S_OK;
        case CMDID_PAPERSIZE:
            Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_PAPERSIZE) \r\n");
            [[fallthrough]];
        case CMDID_CUSTOM_PAPERSIZE:
            if (d) PaperSize(pdevobj, d, dwCount, pdwParams);
            return S_OK;
        case CMDID_RIGHT_MODULE:
            if (d) d->bCorrectXPos = 0;
            return S_OK;
        case CMDID_LEFT_MODULE:
            if (d) d->bCorrectXPos = 1;
            return S_OK;
        case CMDID_RESOLUTION:
            // The resolution comes from the model data; the callback only reports it.
            if (c.Param(0))
                Trace(u"UNI(CommandCallback):  CommandCallback(CMDID_RESOLUTION) %d DPI \r\n",
                      c.Param(0));
            return S_OK;
        case CMDID_MEMCARD_OFF:
            if (d) d->bMemCard = 0;
            return S_OK;
        case CMDID_MEMCARD_ON:
            if (d) d->bMemCard = 1;
            return S_OK;
        default:
            Trace(u"UNI(CommandCallback):  dwCallbackID %u not supported.\r\n", dwCallbackID);
            return E_FAIL;
    }
}

}  // namespace kx
