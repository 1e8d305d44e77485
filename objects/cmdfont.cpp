// Command-font text.
//
// Decisions of this module:
//   - A new command (a run holding "AM[", "BM[", "<#", "<!" or "<@", or a
//     run on a new line) finishes the command being collected when the
//     collection holds text and the text handled last was command-font
//     text. The finished command is counted in nCommands like one finished
//     by CheckKommandoBuffer, so that every command of the list has its own
//     position and colour entry; the interpreter reads exactly nCommands.
//   - The colour entry of a command is the text colour of its first run.
//   - "<!ROTATE>" sets the document's rotation flag, which is dwRotate 1 of
//     the document data: the page end then sends the rotation record.
//   - Commands beyond kMaxCommands per page are dropped (traced): the list
//     has no position for them.
//   - A command finished by the next one gets its position as one finished
//     later: scaled with the page and read as rotated on a rotated page.
//     Placed unrotated, the commands of one rotated page would mix two
//     kinds of positions, and the interpreter turns them all alike.
#include "objects/cmdfont.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/pageparts.h"
#include "core/trace.h"
#include "objects/devicefont.h"
#include "objects/kvbb.h"
#include "objects/prnobject.h"
#include "platform/engine.h"
#include "platform/platform.h"

namespace kx {

namespace {

LONG Clamp32(long long v)
{
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

bool StartsCommand(std::string_view run)
{
    for (std::string_view m : {"AM[", "BM[", "<#", "<!", "<@"})
        if (run.find(m) != std::string_view::npos) return true;
    return false;
}

// Appends a finished command and its two zero bytes to the page's list, as
// much as fits.
void AppendToList(KVBBBuffer& kv, std::string_view command)
{
    if (!kv.pszCommand) return;
    const DWORD room = kCommandListSize - std::min(kv.nCmdSize, kCommandListSize);
    const DWORD n = std::min<DWORD>(room, static_cast<DWORD>(command.size()));
    std::memcpy(kv.pszCommand + kv.nCmdSize, command.data(), n);
    kv.nCmdSize += n;
    for (int i = 0; i < 2 && kv.nCmdSize < kCommandListSize; ++i) kv.pszCommand[kv.nCmdSize++] = 0;
}

// Gives the command just appended its position; false when the page holds
// as many commands as it can.
bool CountCommand(KVBBBuffer& kv, POINTL pos)
{
    if (kv.nCommands >= kMaxCommands) {
        Trace(u"UNI(ddiTextOutUni):  Kommandoliste voll, Befehl verworfen \r\n");
        return false;
    }
    kv.ptlCommandPos[kv.nCommands++] = pos;
    kv.ptlLastCommandPos = pos;
    return true;
}

void ClearCollection(KVBBBuffer& kv)
{
    kv.kommando.dwSize = 0;
    if (kv.kommando.pText) std::memset(kv.kommando.pText, 0, kKommandoAreaSize);
}

std::string_view Collected(const KVBBBuffer& kv)
{
    if (!kv.kommando.pText) return {};
    return {kv.kommando.pText, std::min(kv.kommando.dwSize, kKommandoAreaSize)};
}

// The number that starts at text[at] (digits after an optional sign), 0
// when there is none.
long NumberAt(std::string_view text, std::size_t at)
{
    if (at >= text.size()) return 0;
    std::string digits;
    for (std::size_t i = at; i < text.size() && digits.size() < 9; ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)) || (digits.empty() && c == '-'))
            digits += c;
        else
            break;
    }
    return digits.empty() || digits == "-" ? 0 : std::strtol(digits.c_str(), nullptr, 10);
}

// "<@angle;foot;i>": rotation, foot point and inverse printing of the next
// field. Every other command clears a pending rotation.
void TakeOneShotValues(std::string_view command, DocDaten& doc)
{
    const auto at = command.find("<@");
    if (at == std::string_view::npos || command.find('>', at) == std::string_view::npos) {
        doc.dwRotate = 0;
        return;
    }
    const long angle = NumberAt(command, at + 2);
    doc.dwRotate = angle == 90 ? 1 : angle == 180 ? 2 : angle == 270 ? 3 : 0;
    const std::string_view rest = command.substr(at);
    if (rest.find(";i") != std::string_view::npos || rest.find(";I") != std::string_view::npos)
        doc.dwInvers = 1;
    const auto semi = rest.find(';');
    if (semi != std::string_view::npos) {
        const long foot = NumberAt(rest, semi + 1);
        doc.dwFusspunkt = foot > 0 ? static_cast<DWORD>(foot) : 0;
    }
}

}  // namespace

// The printer position of the command being collected: scaled with the
// page, on a rotated page read as rotated. A command finished by the next
// one is placed the same way as one finished later, so that the commands of
// a rotated page all have positions of one kind.
static POINTL CommandPosition(OEM_PDEV* pOemPDev, const KVBBBuffer& kv, const DruckDaten& d,
                              KX_DEVMODE* pKX_Devmode)
{
    POINTL pos = kv.kommando.ptPos;
    if (d.bSkalierung) {
        pos.x = static_cast<LONG>(
            std::clamp(pos.x * d.dSkalierung, double(INT32_MIN), double(INT32_MAX)));
        pos.y = static_cast<LONG>(
            std::clamp(pos.y * d.dSkalierungH, double(INT32_MIN), double(INT32_MAX)));
    }
    POINTL printer;
    GetPrnObjectPos(pOemPDev, pos, &printer, d.bLandscape_CC ? 3 : 0, pKX_Devmode);
    return printer;
}

void GetPrnObjectPos(OEM_PDEV* pOemPDev, POINTL pt, POINTL* pOut, int iRotation,
                     KX_DEVMODE* pKX_Devmode)
{
    if (!pOut) return;
    *pOut = PrinterPosition(pOemPDev, pt, pKX_Devmode, iRotation == 3, false);
}

void CheckKommandoBuffer(OEM_PDEV* pOemPDev, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pKVBBBuffer) {
        Trace(
            u"UNI(ddiTextOutUni):  CheckKommandoBuffer() pOemPDev->pOp->pKVBBBuffer nicht "
            u"gesetzt \r\n");
        return;
    }
    KVBBBuffer& kv = *op->pKVBBBuffer;
    const std::string command(Collected(kv));
    if (command.size() < 2 || kv.dwCurrentFont != kCurrentCommandFont || !op->pDocDaten ||
        !op->pDruckDaten || !pKX_Devmode)
        return;
    DocDaten& doc = *op->pDocDaten;
    const DruckDaten& d = *op->pDruckDaten;
    TakeOneShotValues(command, doc);
    AppendToList(kv, command);
    if (command.find("<!ROTATE>") != std::string::npos) doc.dwRotate = 1;

    CountCommand(kv, CommandPosition(pOemPDev, kv, d, pKX_Devmode));
    ClearCollection(kv);
}

BOOL DrawCommandGlyphs(OEM_PDEV* pOemPDev, ULONG cGlyphs, const WCHAR* pwszText, POINTL pt,
                       BOOL* pbHandled, KX_DEVMODE* pKX_Devmode)
{
    KX_POP* op = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!op || !op->pKVBBBuffer || !op->pBildanteile || !op->pDocDaten || !op->pDruckDaten ||
        !pKX_Devmode)
        return FALSE;
    if (pbHandled) *pbHandled = TRUE;
    if (cGlyphs == 0 || !pwszText) return TRUE;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    Bildanteile& ba = *op->pBildanteile;
    const DocDaten& doc = *op->pDocDaten;
    const DruckDaten& d = *op->pDruckDaten;
    const std::string run =
        plat::WideToMultiByte(plat::kCpAcp, std::u16string_view(pwszText, cGlyphs));

    bool bNew = StartsCommand(run);
    if (bNew) Trace(u"UNI(ddiTextOutUni):  DrawCommandGlyphs() neuen Anfang gefunden \r\n");
    if (!bNew && ba.lGlyphPosY_Old > 0 && ba.lGlyphPosY_Old < pt.y && !d.bLandscape_CC) {
        bNew = true;
        Trace(u"UNI(ddiTextOutUni):  DrawCommandGlyphs() neue Zeile gefunden \r\n");
        if (!pKX_Devmode->wTTFDesegm)
            Trace(u"UNI(ddiTextOutUni):  DrawCommandGlyphs() Zeilensprung erkannt \r\n");
    }
    const WORD wPart = std::min<WORD>(ba.wBildTeile, kMaxBildTeile - 1);
    const POINTL partOffset = ImagePartOffset(ba, doc, wPart);
    if (bNew && kv.kommando.dwSize > 0 && kv.dwCurrentFont == kCurrentCommandFont) {
        // The command collected so far ends where the new one begins.
        AppendToList(kv, Collected(kv));
        POINTL pos = CommandPosition(pOemPDev, kv, d, pKX_Devmode);
        if (pos.x < 0) pos.x = Clamp32(static_cast<long long>(pos.x) + partOffset.x);
        pos.y = Clamp32(static_cast<long long>(pos.y) + partOffset.y);
        CountCommand(kv, pos);
        ClearCollection(kv);
        kv.dwCurrentFont = 0;
    }
    if (kv.kommando.dwSize == 0) {
        Trace(u"UNI(ddiTextOutUni):  DrawCommandGlyphs() Neueintrag \r\n");
        // The colour of the command's first run, taken once the command
        // before it has been counted, so that it lands in this command's
        // entry and not in the one before.
        if (kv.nCommands < kMaxCommands)
            kv.wCommandColor[kv.nCommands] = static_cast<WORD>(kv.ulTextColor);
        kv.kommando.ptPos = {Clamp32(static_cast<long long>(pt.x) + partOffset.x),
                             Clamp32(static_cast<long long>(pt.y) + partOffset.y)};
        ba.lGlyphPosY_Old = pt.y;
    }
    CollectRun(kv.kommando, kKommandoAreaSize, false, kv.kommando.ptPos, 0, kv.kommando.desc, run);
    kv.dwCurrentFont = kCurrentCommandFont;
    return TRUE;
}

BOOL CommandTextOut(OEM_PDEV* pOemPDev, STROBJ* pstro, BOOL* pbHandled, KX_DEVMODE* pKX_Devmode)
{
    if (pbHandled) *pbHandled = FALSE;
    if (!pOemPDev || !pstro || !pKX_Devmode) return FALSE;
    if (pstro->pgp) {
        // Positions handed over as one array carry no runs to tell the
        // command's pieces apart.
        Trace(u"UNI(ddiTextOutUni):  CommandTextOut() ohne Glyphpositionen \r\n");
        return FALSE;
    }
    if (!pstro->pwszOrg || pstro->cGlyphs == 0) return TRUE;
    const std::u16string text(pstro->pwszOrg, pstro->cGlyphs);
    BOOL result = TRUE;
    ForEachGlyphBatch(pstro, static_cast<ULONG>(text.size()),
                      [&](const GLYPHPOS* pgp, ULONG c, ULONG done) {
                          if (!DrawCommandGlyphs(pOemPDev, c, text.data() + done, pgp[0].ptl,
                                                 pbHandled, pKX_Devmode)) {
                              result = FALSE;
                              return false;
                          }
                          return true;
                      });
    return result;
}

}  // namespace kx
