#include "objects/objectlist.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "core/format.h"
#include "core/jobheap.h"
#include "core/output.h"
#include "core/pageparts.h"
#include "core/trace.h"
#include "core/units.h"
#include "objects/prnobject.h"
#include "objects/varfields.h"
#include "platform/platform.h"

namespace kx {

namespace {

constexpr DWORD kWorkBufferSize = 4096;
// Font ids from here on are barcodes.
constexpr DWORD kFirstBarcodeFontId = 30;

// Text assembled in one of the work buffers. What does not fit is left out
// and remembered, so that a cut record is never sent.
class WorkText {
public:
    WorkText(char* buf, std::size_t cap) : buf_(buf), cap_(cap) { buf_[0] = 0; }

    void Append(std::string_view s)
    {
        if (!fits_ || len_ + s.size() >= cap_) {
            fits_ = false;
            return;
        }
        std::memcpy(buf_ + len_, s.data(), s.size());
        len_ += s.size();
        buf_[len_] = 0;
    }
    void Append(char c) { Append(std::string_view(&c, 1)); }
    void AppendNumber(long long v) { Append(std::to_string(v)); }

    bool Fits() const { return fits_; }
    std::string_view View() const { return {buf_, len_}; }

private:
    char* buf_;
    std::size_t cap_;
    std::size_t len_ = 0;
    bool fits_ = true;
};

// The number at the start of s as atol reads it (blanks, a sign, digits;
// nothing gives 0), held to 32 bits.
LONG LeadingNumber(std::string_view s)
{
    std::size_t pos = 0;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) negative = s[pos++] == '-';
    long long v = 0;
    for (; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos) {
        v = v * 10 + (s[pos] - '0');
        if (v > INT32_MAX) break;
    }
    v = std::min<long long>(v, INT32_MAX);
    return static_cast<LONG>(negative ? -v : v);
}

std::u16string_view Bounded(const WCHAR* s, std::size_t cch)
{
    return {s, Length(s, cch)};
}
template <std::size_t N>
std::u16string_view Bounded(const WCHAR (&s)[N])
{
    return Bounded(s, N);
}

// Entries of the text table in use: iAnzahlAMSaetze is the entry the next
// field takes, except at the last entry, which is reused and so in use.
int TableEntries(const Bildanteile& ba)
{
    const int next = std::clamp(ba.iAnzahlAMSaetze, 0, kMaxAMSaetze - 1);
    return next == kMaxAMSaetze - 1 ? kMaxAMSaetze : next;
}

// Texts the host split at an image-part boundary come back as two entries in
// neighbouring image parts, in the same font and at the same drawn y: the
// second part is appended to the first and emptied, and both are marked as
// joined. Band capture clears wBildTeile when it lets the page buffer go,
// which happens at page end before the fields are sent, so the last image
// part is the highest one an entry lies in, not wBildTeile.
void JoinSplitTexts(Bildanteile& ba, int entries, DWORD dwFlags)
{
    WORD lastPart = 0;
    for (int i = 0; i < entries; ++i) lastPart = std::max(lastPart, ba.wAMSatzBildTeil[i]);
    for (int i = 0; i < entries && ba.wAMSatzBildTeil[i] != lastPart; ++i) {
        const DWORD font = ba.lAMSatzTextFontID[i];
        const DWORD needed =
            font < kFirstBarcodeFontId ? PDMFLAG_FONTSPLITCORR : PDMFLAG_OBJECTLIST_0x200;
        if (!(dwFlags & needed)) continue;
        for (int k = i + 1; k < entries; ++k) {
            if (ba.wAMSatzBildTeil[k] != ba.wAMSatzBildTeil[i] + 1 ||
                ba.lAMSatzTextFontID[k] != font || ba.lAMSatzTextYPos[k] != ba.lAMSatzTextYPos[i])
                continue;
            Trace(u"UNI(ObjectList):  SendObjectList() gleiche Barcodes |%s| + |%s| \r\n",
                  Bounded(ba.szAMSatzText[i], kAMSatzTextChars),
                  Bounded(ba.szAMSatzText[k], kAMSatzTextChars));
            const std::u16string second(Bounded(ba.szAMSatzText[k], kAMSatzTextChars));
            if (FAILED(Cat(ba.szAMSatzText[i], kAMSatzTextChars, second)))
                Trace(u"UNI(ObjectList):  SendObjectList() Text gekürzt \r\n");
            ba.szAMSatzText[k][0] = 0;
            ba.bAMSatzVerbunden[i] = 1;
            ba.bAMSatzVerbunden[k] = 1;
        }
    }
}

// The settings strings take the place of their placeholders in the table, so
// that a joined text goes out with them. The first entry is left as it is,
// and the serial-number placeholder is not replaced here.
void ReplaceTablePlaceholders(Bildanteile& ba, int entries, const KX_DEVMODE& dm)
{
    const WCHAR sign = PlaceholderSign(dm);
    auto placeholder = [sign](const char16_t* name) {
        return std::u16string(u"<") + sign + name + u">";
    };
    const std::pair<std::u16string, std::u16string_view> pairs[] = {
        {placeholder(u"time"), Bounded(dm.szTime)},
        {placeholder(u"date"), Bounded(dm.szDate)},
        {placeholder(u"num"), Bounded(dm.szNumString)},
        {placeholder(u"ext"), Bounded(dm.szExtNumString)},
        {placeholder(u"aux1"), Bounded(dm.szAux1String)},
        {placeholder(u"aux2"), Bounded(dm.szAux2String)},
        {placeholder(u"user"), Bounded(dm.szUserString)},
        {placeholder(u"link"), Bounded(dm.szLinkString)},
    };
    for (int i = 1; i < entries; ++i)
        for (const auto& [name, value] : pairs)
            ReplaceEntryPlaceholder(ba.szAMSatzText[i], name, value);
}

// Writes rec into out with the digits of its first "BM[" record set to n.
void RenumberFirstBM(std::string_view rec, LONG n, WorkText& out)
{
    const std::size_t bm = rec.find("BM[");
    const std::size_t close = bm == std::string_view::npos ? bm : rec.find(']', bm);
    if (close == std::string_view::npos) {
        out.Append(rec);
        return;
    }
    out.Append(rec.substr(0, bm + 3));
    out.AppendNumber(n);
    out.Append(rec.substr(close));
}

// One row copy of a rebuilt record: every "[n]" becomes "[fieldNr]", and the
// second AM value (between the first two ";" after the "]") moves by shift.
void BuildRowCopy(std::string_view rec, LONG n, DWORD fieldNr, long long shift, WorkText& out)
{
    const std::size_t close = rec.find(']');
    const std::size_t xBegin = close == std::string_view::npos ? close : rec.find(';', close);
    const std::size_t xEnd = xBegin == std::string_view::npos ? xBegin : rec.find(';', xBegin + 1);
    const std::string from = FormatString("[%d]", {n});
    const std::string to = FormatString("[%u]", {fieldNr});
    for (std::size_t pos = 0; pos < rec.size() && out.Fits();) {
        if (xEnd != std::string_view::npos && pos == xBegin + 1) {
            out.AppendNumber(LeadingNumber(rec.substr(pos, xEnd - pos)) + shift);
            pos = xEnd;
        } else if (rec.compare(pos, from.size(), from) == 0) {
            out.Append(to);
            pos += from.size();
        } else {
            out.Append(rec[pos++]);
        }
    }
}

struct ListOutput {
    PDEVOBJ pdevobj;
    IPrintOemDriverUni* pUniDrv;
    HRESULT hr = S_OK;

    void Send(std::string_view text, DWORD dwColor)
    {
        hr = SendData(pdevobj, pUniDrv, text.data(), static_cast<DWORD>(text.size()),
                      dwColor == 1 ? TRUE : FALSE);
    }
};

}  // namespace

HRESULT SendObjectList(OEM_PDEV* pOemPDev, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
{
    KX_DEVMODE* pKX = GetKxDevmode(pdevobj);
    KX_POP* pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    DruckDaten* d = pOp ? pOp->pDruckDaten : nullptr;
    if (!pKX || !d) {
        Trace(u"ERROR UNI(ObjectList):  SendObjectList() Devmode oder pDruckDaten fehlt \r\n");
        return E_FAIL;
    }
    const WORD wMasterUnit = pKX->FixedData.wMasterUnit;
    if (wMasterUnit == 0) {
        Trace(u"ERROR UNI(ObjectList):  SendObjectList() FixedData.wMasterUnit ERROR \r\n");
        return E_FAIL;
    }
    Bildanteile* ba = pOp->pBildanteile;
    if (!ba) {
        Trace(u"ERROR UNI(ObjectList):  SendObjectList() pBildanteile ERROR \r\n");
        return E_FAIL;
    }
    const HANDLE heap = GetProcessHeapHandle();
    char* szAMSatzInhalt =
        static_cast<char*>(CreateHeapBuffer(heap, kWorkBufferSize, u"szAMSatzInhalt"));
    if (!szAMSatzInhalt) {
        Trace(u"ERROR UNI(ObjectList):  SendObjectList() szAMSatzInhalt Alloc ERROR \r\n");
        return E_FAIL;
    }
    char* szSendData = static_cast<char*>(CreateHeapBuffer(heap, kWorkBufferSize, u"szSendData"));
    if (!szSendData) {
        Trace(u"ERROR UNI(ObjectList):  SendObjectList() szSendData Alloc ERROR \r\n");
        FreeHeapBuffer(heap, szAMSatzInhalt);
        return E_FAIL;
    }

    // The table's corrected y positions in hundredths of a millimetre.
    const int entries = TableEntries(*ba);
    LONG yKorrMm100[kMaxAMSaetze] = {};
    for (int e = 0; e < entries; ++e) {
        const long long v = static_cast<long long>(ba->lAMSatzTextYPosKorr[e]) * 2540 / wMasterUnit;
        const double scaled = d->bSkalierung ? v * d->dSkalierungH : static_cast<double>(v);
        yKorrMm100[e] = static_cast<LONG>(std::clamp(scaled, double{INT32_MIN}, double{INT32_MAX}));
    }
    JoinSplitTexts(*ba, entries, pKX->dwFlags);
    ReplaceTablePlaceholders(*ba, entries, *pKX);

    const DEVMODEW* pub = pdevobj->pPublicDM;
    const SHORT orientation = pub ? pub->dmOrientation : 0;
    const bool turned = (pKX->dwFlags & PDMFLAG_DREHEN) != 0;
    const WORD rows = pKX->wMehrereReihen;
    // Row copies move across by the label's width, or by its length when the
    // content is turned a quarter.
    const DWORD across = turned && (pKX->dwWinkel == 90 || pKX->dwWinkel == 270) ? d->dwLabelLength
                                                                                 : d->dwLabelWidth;
    const long long labelMm100 = MulDiv(static_cast<LONG>(across), 2540, wMasterUnit);

    ListOutput out{pdevobj, pUniDrv};
    LONG i = 0;
    LONG s = 0;  // fields dropped so far
    for (PrnObject* obj = d->pObjectList; obj; obj = obj->pNext) {
        ++i;
        if (!obj->pszSendData) {
            Trace(u"ERROR UNI(ObjectList):  SendObjectList() pObjectList->pszSendData ERROR \r\n");
            continue;
        }
        const std::string_view text(obj->pszSendData);
        const std::size_t am = text.find(FormatString("AM[%d]", {i}));
        if (am == std::string_view::npos) {
            TraceA("UNI(ObjectList):  SendObjectList() sende direkt |%s| \r\n", text);
            out.Send(text, obj->dwColor);
            continue;
        }
        const std::size_t close = text.find(']', am);
        LONG y = LeadingNumber(text.substr(close + 1));
        const std::size_t semi = text.find(';', close);
        std::string_view rest = semi == std::string_view::npos ? "" : text.substr(semi);

        const int entry = i - 1;  // the field's text table entry
        const bool hasEntry = entry < entries;
        bool drop = false;
        WorkText restText(szAMSatzInhalt, kWorkBufferSize);
        restText.Append(rest);
        if (!(pKX->dwFlags & PDMFLAG_NO_SPLIT_CORRECTION) && y >= 0 && hasEntry) {
            const std::string bmHead = FormatString("BM[%d]", {i});
            const std::size_t bm = rest.find(bmHead);
            if (orientation == DMORIENT_LANDSCAPE && bm != std::string_view::npos &&
                ba->bAMSatzVerbunden[entry]) {
                // The joined text replaces the field's contents and anything
                // after them.
                const std::string joined = plat::WideToMultiByte(
                    plat::kCpAcp, Bounded(ba->szAMSatzText[entry], kAMSatzTextChars));
                drop = joined.empty();
                restText = WorkText(szAMSatzInhalt, kWorkBufferSize);
                restText.Append(rest.substr(0, bm + bmHead.size()));
                restText.Append(joined);
                restText.Append(d->cEnd);
                restText.Append("\r\n");
            } else if (orientation == DMORIENT_PORTRAIT && !(turned && pKX->dwWinkel != 0) &&
                       yKorrMm100[entry] != 0) {
                y = yKorrMm100[entry];
            }
        }

        if (!rows && (y < 0 || drop)) {
            Trace(u"UNI(ObjectList):  SendObjectList() Feld %d entfällt (y %d) \r\n", i, y);
            if (d->dwFields > 0) --d->dwFields;
            ++s;
            continue;
        }

        const LONG n = i - s;
        WorkText rec(szSendData, kWorkBufferSize);
        rec.Append(d->cStart);
        rec.Append(FormatString("AM[%d]", {n}));
        rec.AppendNumber(y);
        if (s > 0)
            RenumberFirstBM(restText.View(), n, rec);
        else
            rec.Append(restText.View());
        if (!restText.Fits() || !rec.Fits()) {
            // Untrusted text too long for the work buffers: the field goes
            // out as it was made rather than cut.
            Trace(u"ERROR UNI(ObjectList):  SendObjectList() Feld %d zu lang, sende direkt \r\n",
                  i);
            out.Send(text, obj->dwColor);
            continue;
        }
        if (!rows) {
            out.Send(rec.View(), obj->dwColor);
            continue;
        }
        for (LONG c = 1; c <= static_cast<LONG>(rows) + 1; ++c) {
            ++d->dwReihenKopien;
            ++d->dwReihenFeldNr;
            // j runs from wMehrereReihen down to 0, or up from 0 with
            // wMehrereSeitenAusrichtung; it never falls below 0 here.
            const long long j = pKX->wMehrereSeitenAusrichtung ? c - 1 : rows - c + 1;
            const long long shift = j * labelMm100 + j * pKX->wMehrereSeitenAbstand * 10;
            WorkText copy(szAMSatzInhalt, kWorkBufferSize);
            BuildRowCopy(rec.View(), n, d->dwReihenFeldNr, shift, copy);
            if (!copy.Fits()) {
                Trace(u"ERROR UNI(ObjectList):  SendObjectList() Reihe %d zu lang \r\n", c);
                continue;
            }
            out.Send(copy.View(), obj->dwColor);
        }
    }
    FreeHeapBuffer(heap, szSendData);
    FreeHeapBuffer(heap, szAMSatzInhalt);
    return out.hr;
}

void DeletePrnObject(OEM_PDEV* pOemPDev)
{
    DruckDaten* d = pOemPDev && pOemPDev->pOp ? pOemPDev->pOp->pDruckDaten : nullptr;
    if (!d) return;
    PrnObject* obj = d->pObjectList;
    while (obj) {
        PrnObject* next = obj->pNext;
        if (obj->pszSendData) {
            delete[] obj->pszSendData;
            --pOemPDev->iNewZaehler;
        }
        delete obj;
        --pOemPDev->iNewZaehler;
        obj = next;
    }
    // No pointer to freed objects is left behind.
    d->pObjectList = nullptr;
}

char* ReplaceStringWithStringA_New(const char* pszText, const char* pszSearch,
                                   const char* pszReplace, std::size_t cbSize, char* pBuffer)
{
    const std::string_view text = pszText ? pszText : "";
    const std::string_view search = pszSearch ? pszSearch : "";
    const std::size_t at = search.empty() ? std::string_view::npos : text.find(search);
    if (at == std::string_view::npos || !pBuffer || cbSize == 0) {
        Trace(u"UNI(ObjectList):  ReplaceStringWithStringA_New() %s nicht gefunden \r\n", search);
        delete[] pBuffer;
        return nullptr;
    }
    std::memset(pBuffer, 0, cbSize);
    std::string result(text.substr(0, at));
    result += pszReplace ? pszReplace : "";
    result += text.substr(at + search.size());
    if (FAILED(Copy(pBuffer, cbSize, result)))
        Trace(u"UNI(ObjectList):  ReplaceStringWithStringA_New() gekürzt \r\n");
    return pBuffer;
}

WCHAR* ReplaceStringWithString_New(const WCHAR* pszText, const WCHAR* pszReplace)
{
    constexpr std::u16string_view search = u")[";
    const std::u16string_view text = pszText ? pszText : u"";
    const std::size_t at = text.find(search);
    if (at == std::u16string_view::npos) {
        Trace(u"UNI(ObjectList):  ReplaceStringWithString_New() %s nicht gefunden \r\n", search);
        return nullptr;
    }
    WCHAR* pBuffer = new (std::nothrow) WCHAR[kReplaceWideChars]();
    if (!pBuffer) return nullptr;
    std::u16string result(text.substr(0, at));
    result += pszReplace ? pszReplace : u"";
    result += text.substr(at + search.size());
    if (FAILED(Copy(pBuffer, kReplaceWideChars, result)))
        Trace(u"UNI(ObjectList):  ReplaceStringWithString_New() gekürzt \r\n");
    return pBuffer;
}

bool ReplaceEntryPlaceholder(WCHAR* pszEntry, std::u16string_view placeholder,
                             std::u16string_view replacement)
{
    const std::u16string_view text = Bounded(pszEntry, kAMSatzTextChars);
    const std::size_t at = placeholder.empty() ? text.npos : text.find(placeholder);
    if (at == text.npos) return false;
    std::size_t closing = text.find(u'>', at);
    if (closing == text.npos) closing = at + placeholder.size() - 1;
    std::u16string result(text.substr(0, at));
    result += replacement;
    result += text.substr(std::min(closing + 1, text.size()));
    if (FAILED(Copy(pszEntry, kAMSatzTextChars, result)))
        Trace(u"UNI(ObjectList):  SendObjectList() Platzhalter: Text gekürzt \r\n");
    return true;
}

}  // namespace kx
