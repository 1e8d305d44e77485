// The command font interpreter.
//
// Decisions of this module:
//   - Exactly nCommands commands are read from the list, each non-empty
//     string taking the next position and colour; a one-character command
//     keeps its place but is not interpreted.
//   - Short-command correction searches all entries of the page, before and
//     after the open one; the first that completes it wins.
//   - Rows of labels side by side count with the page number on the label
//     (wSeitennummer), as the job keeps no row counter of its own.
//   - A record's comment and " \r\n" follow only when the job writes
//     readable data (LogFileEnable 1 or 3, or EnableCSV 1).
//   - ENDFORMFEED asks for one form feed at the document end (bEndFormFeed);
//     FORMFEED keeps its meaning, a form feed after the page's print start.
//   - A barcode shorthand entry outside the label, or of an unknown keyword,
//     gives its field number back.
#include "objects/cmdinterp.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/format.h"
#include "core/jobcontext.h"
#include "core/output.h"
#include "core/regvalues.h"
#include "core/trace.h"
#include "core/units.h"
#include "diag/logfile.h"
#include "objects/cmdbarcode.h"
#include "objects/cmdfont.h"
#include "objects/kvbb.h"
#include "platform/platform.h"

namespace kx {

namespace {

// An entry of this many characters or more does not fit the working buffers
// and is skipped.
constexpr std::size_t kWorkChars = 4000;

struct Entry {
    std::string text;
    POINTL pos;
    WORD wColor;
};

// The page's commands: each non-empty string of the list is one command and
// takes the next position and colour; the empty strings between them (the
// second zero byte after each command) take nothing. Exactly nCommands
// commands are read.
std::vector<Entry> ReadEntries(const KVBBBuffer& kv)
{
    std::vector<Entry> entries;
    const DWORD count = std::min(kv.nCommands, kMaxCommands);
    const std::size_t size = std::min(kv.nCmdSize, kCommandListSize);
    std::size_t at = 0;
    while (entries.size() < count && at < size) {
        const std::size_t len = Length(kv.pszCommand + at, size - at);
        if (len > 0) {
            const std::size_t i = entries.size();
            entries.push_back(
                {std::string(kv.pszCommand + at, len), kv.ptlCommandPos[i], kv.wCommandColor[i]});
        }
        at += len + 1;
    }
    return entries;
}

bool Has(std::string_view s, std::string_view what)
{
    return s.find(what) != std::string_view::npos;
}

// An application may draw one command in several runs. An entry that opens
// "<" without its ">", or holds "AM[]" without "BM[]", takes the text of the
// first entry on the same line (same y; same x on a landscape page) that
// holds the missing part alone; in that entry the completing character is
// overwritten with "-", so that it completes nothing else and is dropped.
void CorrectShortCommands(std::vector<Entry>& entries, bool bLandscape)
{
    for (Entry& e : entries) {
        const bool bOpenTag = Has(e.text, "<") && !Has(e.text, ">");
        const bool bOpenField = Has(e.text, "AM[]") && !Has(e.text, "BM[]");
        if (!bOpenTag && !bOpenField) continue;
        for (Entry& c : entries) {
            if (&c == &e) continue;
            const std::size_t mark =
                bOpenTag ? (Has(c.text, "<") ? std::string::npos : c.text.find('>'))
                         : (Has(c.text, "AM[]") ? std::string::npos : c.text.find("BM[]"));
            if (mark == std::string::npos) continue;
            if (bLandscape ? c.pos.x != e.pos.x : c.pos.y != e.pos.y) {
                TraceA(
                    "UNI(KommandoFont):  SendCommands() Y-Positionen passen nicht zusammen |%s| "
                    "|%s| \r\n",
                    e.text, c.text);
                continue;
            }
            e.text += c.text;
            c.text[mark] = '-';
            break;
        }
    }
}

// The digits at the start of s (nothing gives 0), held below 10 digits.
DWORD Number(std::string_view s, std::size_t* pUsed = nullptr)
{
    DWORD v = 0;
    std::size_t i = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (v < 100000000) v = v * 10 + static_cast<DWORD>(s[i] - '0');
    if (pUsed) *pUsed = i;
    return v;
}

// Millimetres with "," or "." as decimal sign, in hundredths (12,5 -> 1250);
// digits after the second decimal are dropped.
DWORD Hundredths(std::string_view s)
{
    std::size_t used = 0;
    DWORD v = Number(s, &used) * 100;
    if (used < s.size() && (s[used] == ',' || s[used] == '.')) {
        const std::string_view frac = s.substr(used + 1);
        if (!frac.empty() && frac[0] >= '0' && frac[0] <= '9') v += (frac[0] - '0') * 10;
        if (frac.size() > 1 && frac[1] >= '0' && frac[1] <= '9') v += frac[1] - '0';
    }
    return v;
}

std::string_view TrimEnd(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t next = s.find(sep, at);
        parts.push_back(s.substr(at, next == std::string_view::npos ? next : next - at));
        if (next == std::string_view::npos) return parts;
        at = next + 1;
    }
}

// A number of at most nine digits, so that it converts without overflow.
bool IsInteger(std::string_view s)
{
    if (!s.empty() && s[0] == '-') s.remove_prefix(1);
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The parameters of a field after its position on a scaled page, in the
// forms "0;type;rotation;..." of eight or nine numbers (a field with a foot
// point or a barcode with its ratio); other forms stay as they are. Decided,
// as the field records of drawn text scale: a vector font (type 4 or 6)
// scales its character height (fifth value) with the y factor and its width
// (sixth) with the x factor, a barcode (type 30 on) its height (fourth) with
// the y factor; truncated.
std::string RescaleFieldParams(std::string_view params, double dScaleX, double dScaleY)
{
    const std::vector<std::string_view> v = Split(params, ';');
    if ((v.size() != 8 && v.size() != 9) || v[0] != "0" ||
        !std::all_of(v.begin(), v.end(), IsInteger))
        return std::string(params);
    long long n[9] = {};
    for (std::size_t i = 0; i < v.size(); ++i) n[i] = std::stoll(std::string(v[i]));
    if (n[1] == 4 || n[1] == 6) {
        n[4] = static_cast<long long>(n[4] * dScaleY);
        n[5] = static_cast<long long>(n[5] * dScaleX);
    } else if (n[1] >= 30) {
        n[3] = static_cast<long long>(n[3] * dScaleY);
    }
    if (v.size() == 8)
        return FormatString("0;%d;%d;%d;%d;%d;%d;%d", {n[1], n[2], n[3], n[4], n[5], n[6], n[7]});
    return FormatString("0;%d;%d;%d;%d;%d;%d;%d;%d",
                        {n[1], n[2], n[3], n[4], n[5], n[6], n[7], n[8]});
}

// The third value of the parameters, when it is one digit, is the field's
// rotation: the page's rotation index is added to it.
std::string AddRotation(std::string params, DWORD dwRotation)
{
    const std::vector<std::string_view> v = Split(params, ';');
    if (v.size() < 3 || v[2].size() != 1 || v[2][0] < '0' || v[2][0] > '9') return params;
    const std::size_t at = static_cast<std::size_t>(v[2].data() - v[0].data());
    params[at] = static_cast<char>('0' + (v[2][0] - '0' + dwRotation) % 4);
    return params;
}

struct Keyword {
    const char* name;
    const char* record;  // null: nothing is sent
    const char* comment;
    DWORD dwZero;  // what a value of 0 becomes
};

// Tested in this order: ENDFORMFEED holds FORMFEED.
constexpr Keyword kKeywords[] = {
    {"SPEED", "FCAA--r%03lu-----", "\t// SPEED", 100},
    {"CONTRAST", "FCAB--r%03lu-----", "\t// CONTRAST", 100},
    {"LENGTH", "FCCL--r%07u-", "\t// LENGTH", 5000},
    {"WIDTH", "FCCO--r%07u-", "\t// WIDTH", 10000},
    {"COPIES", "FBBA--r%05u---", "\t// COPIES", 1},
    {"SINGLECUT", nullptr, nullptr, 0},
    {"ENDFORMFEED", nullptr, nullptr, 0},
    {"FORMFEED", nullptr, nullptr, 0},
    {"ROTATE", nullptr, nullptr, 0},
    {"ENDCUT", nullptr, nullptr, 0},
    {"NO_FBC", nullptr, nullptr, 0},
};

class Interpreter {
public:
    Interpreter(JobContext& ctx, AutoImportFn pfnAutoImport)
        : m_ctx(ctx),
          m_pfnAutoImport(pfnAutoImport),
          m_dm(*ctx.Devmode()),
          m_d(*ctx.Data()),
          m_doc(*ctx.Doc()),
          m_pi(*ctx.Interface()),
          m_kv(*ctx.Job()->pKVBBBuffer)
    {
        const PRN_INTERFACE& pi = m_pi;
        m_bReadable = pi.bLogFileEnable == 1 || pi.bLogFileEnable == 3 || pi.bEnableCSV == 1;
        const LONG mu =
            m_dm.FixedData.wMasterUnit ? m_dm.FixedData.wMasterUnit : kDefaultMasterUnit;
        m_W = static_cast<LONG>(static_cast<long long>(m_d.dwLabelWidth) * 2540 / mu);
        m_L = static_cast<LONG>(static_cast<long long>(m_d.dwLabelLength) * 2540 / mu);
        // The right edge a barcode may reach, in the unit of the positions
        // and rounded as they are: a command at the label's left edge
        // (x' = MulDiv of the width) still lies on the label.
        const bool bMm = m_pi.dwExtendedProtocol == 1;
        m_edgeX = bMm ? MulDiv(static_cast<LONG>(m_d.dwLabelWidth), 2540, mu)
                      : static_cast<LONG>(m_d.dwLabelWidth);
    }

    void Run(std::vector<Entry>& entries)
    {
        for (Entry& e : entries) {
            if (!m_ctx.Ok()) return;
            if (e.text.size() < 2 || e.text.size() >= kWorkChars) continue;
            One(e);
        }
    }

private:
    // Sends one record: start character, text, end character; the comment
    // and " \r\n" only when the job writes readable data.
    void Record(std::string_view text, const char* comment = "")
    {
        if (!m_ctx.Ok()) return;
        std::string buf;
        buf += m_d.cStart;
        buf += text;
        buf += m_d.cEnd;
        if (m_bReadable) {
            buf += comment;
            buf += " \r\n";
        }
        m_ctx.Keep(SendData(kChannelFirstFile, m_ctx.DevObj(), m_ctx.UniDrv(), buf.data(),
                            static_cast<DWORD>(buf.size())));
    }

    // The entry's position turned with the content by the job's angle, each
    // coordinate a magnitude. On a landscape page without an angle the
    // layout rotation decides, and the page's rotation index then does not
    // count for the entry.
    POINTL Turn(POINTL p, DWORD& dwRotIndex) const
    {
        if (!(m_dm.dwFlags & PDMFLAG_DREHEN) || m_dm.FixedData.wMasterUnit == 0) return p;
        const long long x = p.x, y = p.y, W = m_W, L = m_L;
        std::pair<long long, long long> r{x, y};
        if (!m_d.bLandscape_CC) {
            switch (m_d.dwWinkel_CC) {
                case 90:
                    r = {y, W - x};
                    break;
                case 180:
                    r = {W - x, L - y};
                    break;
                case 270:
                    r = {L - y, x};
                    break;
                default:
                    break;
            }
        } else {
            switch (m_d.dwWinkel_CC) {
                case 0:
                    if (m_dm.wLayoutDrehung == 270)
                        r = {L - y, x};
                    else if (m_dm.wLayoutDrehung != 0)
                        r = {L - y, W - x};
                    dwRotIndex = 0;
                    break;
                case 180:
                    r = {y, W - x};
                    break;
                case 270:
                    r = {W - x, L - y};
                    break;
                default:
                    break;
            }
        }
        auto magnitude = [](long long v) {
            return static_cast<LONG>(std::min<long long>(v < 0 ? -v : v, INT32_MAX));
        };
        return {magnitude(r.first), magnitude(r.second)};
    }

    // Offset of a page (or row) of a label of several: k places of the
    // label width and the gap.
    long long PlaceShift(WORD wPlaces) const
    {
        const int page = m_d.wSeitennummer;
        if (wPlaces == 0 || page < 1) return 0;
        const long long k = m_dm.wMehrereSeitenAusrichtung ? page - 1 : wPlaces - page + 1;
        if (k < 0) return 0;
        return k * (m_W + static_cast<long long>(m_dm.wMehrereSeitenAbstand) * 10);
    }

    void One(Entry& e)
    {
        DWORD dwRotIndex = m_d.dwRotation_CC % 4;
        POINTL pos = Turn(e.pos, dwRotIndex);

        std::string_view text = e.text;
        DWORD dwExtraRot = 0;
        for (const auto& [prefix, rot] :
             {std::pair<std::string_view, DWORD>{"<@90>", 1}, {"<@180>", 2}, {"<@270>", 3}})
            if (text.substr(0, prefix.size()) == prefix) {
                dwExtraRot = rot;
                text.remove_prefix(prefix.size());
                break;
            }

        const long long shift = PlaceShift(m_dm.wMehrereSeiten) + PlaceShift(m_dm.wMehrereReihen);
        pos.x = static_cast<LONG>(std::clamp<long long>(pos.x + shift, INT32_MIN, INT32_MAX));

        if (text.empty()) return;
        std::size_t at;
        if ((at = text.find("<#")) != std::string_view::npos)
            Shorthand(text.substr(at), pos, (m_dm.dwDrehung + dwExtraRot + dwRotIndex) % 4,
                      m_edgeX + shift, e.wColor);
        else if ((at = text.find("AM[")) != std::string_view::npos)
            TextField(text.substr(at), pos, dwRotIndex, e.wColor);
        else if ((at = text.find("AC[")) != std::string_view::npos && m_d.dwFields > 0)
            FieldRecord("AC[%d]", text.substr(at), false);
        else if ((at = text.find("BM[")) != std::string_view::npos && m_d.dwFields > 0)
            FieldRecord("BM[%d]", text.substr(at), true);
        else if ((at = text.find("<!")) != std::string_view::npos)
            Keyword(text, at);
        else if (Has(text, "<@"))
            return;  // taken when the command was collected
        else if (Has(text, "<$")) {
            if (m_pfnAutoImport)
                m_ctx.Keep(m_pfnAutoImport(m_ctx.DevObj(), m_ctx.UniDrv(), e.text.c_str()));
        } else if (text[0] == 'F' || (text[0] == ' ' && text.size() > 1 && text[1] == 'F')) {
            // A raw printer command. Decided: a leading blank is not sent, so
            // that the record begins with its command letters.
            Record(text[0] == ' ' ? text.substr(1) : text);
        } else {
            TraceA("UNI(KommandoFont):  SendCommands() verworfen |%s| \r\n", text);
        }
    }

    // "AC[" or "BM[" of the last field: the field's number and what follows
    // the "]".
    void FieldRecord(const char* head, std::string_view text, bool bData)
    {
        const std::size_t close = text.find(']');
        std::string_view rest = close == std::string_view::npos ? "" : text.substr(close + 1);
        if (bData) rest = TrimEnd(rest);
        Record(FormatString(head, {m_d.dwFields}) + std::string(rest));
    }

    // A text field "AM[]params BM[]data": the next field number, the entry's
    // position (y first) in front of the parameters, the page's rotation
    // index added to the field's rotation. A given number in "AM[k]" (and
    // "BM[k]") is replaced by the field's; a given "AM[k]" keeps its own
    // position values.
    void TextField(std::string_view text, POINTL pos, DWORD dwRotIndex, WORD wColor)
    {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            TraceA("UNI(KommandoFont):  SendCommands() AM[ ohne ] |%s| \r\n", text);
            return;
        }
        const bool bGivenNumber = close > 3;
        std::string_view rest = text.substr(close + 1);
        const std::size_t bm = rest.find("BM[");
        std::string_view params = rest.substr(0, bm);
        std::string_view data;
        if (bm != std::string_view::npos) {
            const std::size_t bmClose = rest.find(']', bm);
            data = bmClose == std::string_view::npos ? "" : TrimEnd(rest.substr(bmClose + 1));
        }
        // Decided: "AM[k]" brings its own position, its first two values;
        // the parameters (the form that rescaling and rotation read) follow
        // them.
        std::size_t own = 0;
        if (bGivenNumber) {
            const std::size_t first = params.find(';');
            const std::size_t second =
                first == std::string_view::npos ? first : params.find(';', first + 1);
            own = second == std::string_view::npos ? params.size() : second + 1;
        }
        std::string p(params.substr(own));
        if (m_d.bSkalierung) p = RescaleFieldParams(p, m_d.dSkalierung, m_d.dSkalierungH);
        p = std::string(params.substr(0, own)) + AddRotation(std::move(p), dwRotIndex);

        const DWORD n = ++m_d.dwFields;
        std::string am = FormatString("AM[%d]", {n});
        if (!bGivenNumber) am += FormatString("%d;%d;", {pos.y, pos.x});
        Record(am + p);
        if (bm != std::string_view::npos) Record(FormatString("BM[%d]", {n}) + std::string(data));
        Colour(n, wColor);
    }

    void Shorthand(std::string_view text, POINTL pos, DWORD dwRotation, long long maxX, WORD wColor)
    {
        const DWORD n = ++m_d.dwFields;
        if (pos.x < 0 || pos.x > maxX) {
            --m_d.dwFields;
            TraceA("UNI(KommandoFont):  SendCommands() ausserhalb |%s| x %d \r\n", text, pos.x);
            if (CLogFile* log = GetJobLogFile(m_ctx.Device()))
                log->WriteLine(u"Command outside of label \r\n", nullptr, 0);
            return;
        }
        const BYTE* p2D = m_ctx.Job()->pBarcodeDevmode
                              ? m_ctx.Job()->pBarcodeDevmode + reg::kBarCodes1DSize
                              : nullptr;
        const ShorthandRecords recs =
            ComposeShorthand(text, ShorthandContext{n, pos.y, pos.x, dwRotation, &m_dm, p2D});
        if (!recs.bKnown) {
            --m_d.dwFields;
            return;
        }
        Record(recs.am);
        if (!recs.ac.empty()) Record(recs.ac);
        Record(recs.bm);
        Colour(n, wColor);
    }

    // A field prints with the second head when its colour class belongs to
    // the chosen ribbon (or, with the ribbons swapped, has no colour).
    void Colour(DWORD n, WORD wClass)
    {
        const DEVMODEW* pub = m_ctx.PublicDevmode();
        if (!pub || pub->dmColor != 2) return;
        const WORD f = m_dm.wFarbband;
        bool match = false;
        if (m_dm.wChangeColorRibbon == 0)
            match = (wClass == 2 && f == 1 && m_kv.dwPaletteColours == 256) ||
                    (wClass == 3 && f == 2) || (wClass == 4 && f == 3) || (wClass == 5 && f == 4) ||
                    (wClass == 6 && f == 5) || (wClass == 8 && f == 6);
        else if (m_dm.wChangeColorRibbon == 1)
            match = wClass == 0;
        if (match) Record(FormatString("AC[%u]PH=2", {n}));
    }

    void Keyword(std::string_view text, std::size_t open)
    {
        const std::size_t close = text.find('>', open + 2);
        if (close == std::string_view::npos) {
            TraceA("UNI(KommandoFont):  SendCommands() ohne > |%s| \r\n", text);
            return;
        }
        std::string kw(text.substr(open + 2, close - open - 2));
        for (char& c : kw)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        for (const auto& k : kKeywords) {
            const std::size_t at = kw.find(k.name);
            if (at == std::string::npos) continue;
            const std::size_t valueAt = std::min(kw.size(), at + std::strlen(k.name) + 1);
            const std::string_view value = std::string_view(kw).substr(valueAt);
            const std::string_view name = k.name;
            if (k.record) {
                DWORD v = name == "LENGTH" || name == "WIDTH" ? Hundredths(value) : Number(value);
                if (v == 0) v = k.dwZero;
                Record(FormatString(k.record, {v}), k.comment);
            } else if (name == "SINGLECUT") {
                m_doc.bSingleCut = TRUE;
            } else if (name == "ENDFORMFEED") {
                m_doc.bEndFormFeed = TRUE;
            } else if (name == "FORMFEED") {
                m_doc.bFormFeed = TRUE;
            } else if (name == "ENDCUT") {
                m_d.bEndCut = TRUE;
            } else if (name == "NO_FBC") {
                m_doc.dwNo_FBC = 1;
            }
            return;
        }
        TraceA("UNI(KommandoFont):  SendCommands() unbekannt |%s| \r\n", text);
        if (m_pi.dwDebugFile == 1)
            if (CLogFile* log = GetJobLogFile(m_ctx.Device())) {
                const std::u16string line =
                    FormatString(u"\r\n  undefined or unknown: %s ",
                                 {plat::MultiByteToWide(plat::kCpAcp, text)});
                log->WriteLine(line.c_str(), nullptr, 0);
            }
    }

    JobContext& m_ctx;
    AutoImportFn m_pfnAutoImport;
    KX_DEVMODE& m_dm;
    DruckDaten& m_d;
    DocDaten& m_doc;
    const PRN_INTERFACE& m_pi;
    const KVBBBuffer& m_kv;
    bool m_bReadable = false;
    LONG m_W = 0;      // label width and length, 1/100 mm
    LONG m_edgeX = 0;  // the right edge of the label for a barcode's x
    LONG m_L = 0;
};

}  // namespace

HRESULT SendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, AutoImportFn pfnAutoImport)
{
    JobContext ctx(pdevobj, pUniDrv);
    if (!ctx.Require(kNeedDevice | kNeedDevmode | kNeedJob | kNeedData | kNeedDoc | kNeedSettings,
                     u"ERROR UNI(KommandoFont):  SendCommands() mind. eine Struktur = NULL \r\n"))
        return ctx.Result();
    KVBBBuffer* kv = ctx.Job()->pKVBBBuffer;
    if (!kv || !kv->pszCommand) {
        Trace(u"ERROR UNI(KommandoFont):  SendCommands() pKVBBBuffer nicht gesetzt \r\n");
        return E_FAIL;
    }
    if (kv->kommando.dwSize != 0) CheckKommandoBuffer(ctx.Device(), ctx.Devmode());
    if (kv->nCommands == 0) return S_OK;

    try {
        std::vector<Entry> entries = ReadEntries(*kv);
        if (ctx.Devmode()->wKurzbefehlKorrektur != 0)
            CorrectShortCommands(entries, ctx.Data()->bLandscape_CC != 0);
        Interpreter(ctx, pfnAutoImport).Run(entries);
    } catch (const std::bad_alloc&) {
        // What was sent stays sent; the rest of the page is lost.
        Trace(u"ERROR UNI(KommandoFont):  SendCommands() kein Speicher \r\n");
        ctx.Keep(E_OUTOFMEMORY);
    }

    // The list is empty for the next page.
    std::memset(kv->pszCommand, 0, std::min(kv->nCmdSize, kCommandListSize));
    kv->nCmdSize = 0;
    kv->nCommands = 0;
    return ctx.Result();
}

}  // namespace kx
