#include "job/labelgeometry.h"

#include "core/format.h"
#include "core/jobcontext.h"
#include "core/output.h"
#include "core/trace.h"
#include "settings/models.h"

namespace kx {

namespace {

// A landscape request on a printer that must not turn: the size comes in
// turned, so it is turned back and the page counts as portrait. True when
// that happened.
bool TurnBackLandscape(DruckDaten* d, DWORD dwFlags)
{
    if (d->bLandscape_CC != 1 || !(dwFlags & PDMFLAG_LANDSCAPE_DISABLE)) return false;
    DWORD t = d->dwLabelLength;
    d->dwLabelLength = d->dwLabelWidth;
    d->dwLabelWidth = t;
    d->bLandscape_CC = 0;
    Trace(
        u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) "
        u"PDMFLAG_LANDSCAPE_DISABLE - drehe Etikettendaten \r\n");
    return true;
}

// The label's angle: the devmode's turn (when asked for) plus a quarter
// turn for a landscape page, or for a landscape devmode with size
// correction; and its quarter-turn code (90 -> 3, 180 -> 2, 270 -> 1).
void SetAngle(DruckDaten* d, const KX_DEVMODE* priv, bool landscapeDisabled)
{
    const DWORD dwFlags = priv ? priv->dwFlags : 0;
    d->dwWinkel_CC = (priv && (dwFlags & PDMFLAG_DREHEN)) ? priv->dwWinkel : 0;
    d->dwRotation_CC = 0;
    if (d->bLandscape_CC == 1 && !landscapeDisabled) {
        d->dwWinkel_CC += 90;
    } else if (priv && priv->wCorrection == 1 && priv->dmOrientation == 2) {
        d->dwWinkel_CC += 90;
    }
    if (d->dwWinkel_CC > 359) d->dwWinkel_CC -= 360;
    switch (d->dwWinkel_CC) {
        case 90:
            d->dwRotation_CC = 3;
            break;
        case 180:
            d->dwRotation_CC = 2;
            break;
        case 270:
            d->dwRotation_CC = 1;
            break;
        default:
            break;
    }
}

// The margins of the label against the print head: a label narrower than
// the head leaves bytes free on the left (unless the left module places it
// at the head's start, or a cursor origin keeps the margin it had), one
// wider than the head has dots beyond it on the right.
void SetMargins(DruckDaten* d, const KX_DEVMODE* priv)
{
    const DWORD headWidthByte = priv ? priv->FixedData.dwHeadWidthByte : 0;
    const DWORD headDots = headWidthByte * 8;
    if (d->bCorrectXPos) {
        d->nLeftMargin = 0;
    } else if (d->nCursorOriginX == 0) {
        d->nLeftMargin =
            headDots > d->dwLabelWidth ? static_cast<LONG>(headWidthByte - d->dwLabelWidth / 8) : 0;
    }
    d->nRightMargin =
        headDots < d->dwLabelWidth ? static_cast<LONG>(d->dwLabelWidth - headDots) : 0;
}

}  // namespace

void SetCopies(PDEVOBJ pdevobj, DWORD dwCopies)
{
    JobContext ctx(pdevobj);
    DruckDaten* d = ctx.Data();
    if (!d) return;
    d->dwCopies = dwCopies;
    const DEVMODEW* pub = ctx.PublicDevmode();
    const KX_DEVMODE* priv = ctx.Devmode();
    if (pub && priv && pub->dmCollate == 1 && pub->dmCopies > 1 && priv->wAutoCollate == 0)
        d->dwCopies = 1;
    if (priv && (priv->dwFlags & PDMFLAG_KOPIEN_MANUELL)) d->dwCopies = priv->wAnzahlKopien;
}

void PaperSize(PDEVOBJ pdevobj, DWORD dwCount, const DWORD* pdwParams)
{
    JobContext ctx(pdevobj);
    DruckDaten* d = ctx.Data();
    if (!d) return;
    // Parameters beyond dwCount read as 0: the GPD always passes what the
    // command needs, but a short list must not crash.
    auto param = [&](DWORD i) { return (pdwParams && i < dwCount) ? pdwParams[i] : 0; };
    const KX_DEVMODE* priv = ctx.Devmode();
    const DWORD dwFlags = priv ? priv->dwFlags : 0;
    Trace(
        u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) dwFlags: 0x%x, "
        u"bLandscape_CC: %d \r\n",
        dwFlags, d->bLandscape_CC);
    d->dwLabelLength = param(0);
    d->dwLabelWidth = param(1);
    const bool landscapeDisabled = TurnBackLandscape(d, dwFlags);
    SetAngle(d, priv, landscapeDisabled);
    Trace(
        u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) dwWinkel_CC: %d - "
        u"dwRotation_CC: %d, bLandscape_CC: %d  \r\n",
        d->dwWinkel_CC, d->dwRotation_CC, d->bLandscape_CC);
    Trace(
        u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) dwLabelLength: %d, "
        u"dwLabelWidth: %d \r\n",
        d->dwLabelLength, d->dwLabelWidth);

    if (dwCount > 2) d->nCursorOriginX = static_cast<LONG>(param(2));
    SetMargins(d, priv);
    Trace(
        u"UNI(CommandCallback):  CommandCallback(CMDID_CUSTOM_PAPERSIZE) nLeftMargin: %d, "
        u"nRightMargin: %d \r\n",
        d->nLeftMargin, d->nRightMargin);
}

HRESULT FormFeed(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    JobContext ctx(pdevobj, pUniDrv);
    const DruckDaten* d = ctx.Data();
    if (!d) return S_OK;
    char record[50];
    HRESULT hr = Format(record, "%cFE----r--------%c", d->cStart, d->cEnd);
    if (FAILED(hr)) return hr;
    hr = SendData(kChannelCommandCallback, pdevobj, pUniDrv, record,
                  static_cast<DWORD>(Length(record, sizeof(record))));
    if (FAILED(hr)) return hr;
    if (ctx.CommentsOn()) return SendeKommentarCC(pdevobj, pUniDrv, "\t// FormFeed ");
    return SendData(kChannelCommandCallback, pdevobj, pUniDrv, "\r\n", 2);
}

HRESULT SendLineFeed(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, DWORD dwFeed)
{
    JobContext ctx(pdevobj, pUniDrv);
    const DruckDaten* d = ctx.Data();
    const DWORD features = d ? d->dwDocFeatures : 0;
    const DEVMODEW* pub = ctx.PublicDevmode();
    Trace(
        u"UNI(CommandCallback):  SendLineFeed() dmColor: %d, dwFeed: %d, bFarbdrucker: %d, "
        u"bGrafikFaehig: 0x%x \r\n",
        pub ? pub->dmColor : 0, dwFeed, (features & DOC_FEATURE_COLORPRINT) ? 1 : 0,
        features & DOC_FEATURE_QUALITY);
    if (features & DOC_FEATURE_QUALITY) return S_OK;
    const BYTE feed[5] = {0x1B, 0x42, 0x00, static_cast<BYTE>(dwFeed & 0xFF),
                          static_cast<BYTE>((dwFeed >> 8) & 0xFF)};
    return SendData(kChannelCommandCallback, pdevobj, pUniDrv, feed, sizeof(feed));
}

}  // namespace kx
