// Text interception.
//
// Decisions of this module:
//   - A barcode font whose handler fails hands its text back, as any text no
//     class takes.
//   - The recall identifier text is the devmode's szMemCardRecallKennung;
//     the recall switch of the document data is bRecallSchalter.
//   - The face name of the text log is the font's face from its metrics,
//     also for device fonts; a font without metrics logs "ungültig".
#include "objects/textout.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "core/format.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "objects/barcodefont.h"
#include "objects/cmdfont.h"
#include "objects/cmdinterp.h"
#include "objects/devicefont.h"
#include "objects/kvbb.h"
#include "objects/textconv.h"
#include "objects/varfields.h"
#include "objects/vectorfont.h"
#include "platform/engine.h"
#include "platform/platform.h"
#include "settings/models.h"

namespace kx {

namespace {

// Font class of the text log for printer-resident fonts.
constexpr int kLogDeviceFont = -3;
constexpr int kLogCommandFont = -2;

// The heading mode of document labels, switched by the marker texts "<h1>"
// and "</h1>". It outlives the call and the job, as the markers may come in
// any document of the process.
bool g_bHeading = false;

// The worker of one call: the handlers and buffer checks the classification
// runs. Created for the call and counted in iNewZaehler while it lives.
class TextOutput {
public:
    explicit TextOutput(OEM_PDEV* p) : p_(p) { ++p_->iNewZaehler; }
    ~TextOutput() { --p_->iNewZaehler; }
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;

    // Finishes the collections named, in the order given.
    enum Buffer { Bitmap, Vector, Barcode, Command };
    void Flush(std::initializer_list<Buffer> order, KX_DEVMODE* dm) const
    {
        for (Buffer b : order) {
            switch (b) {
                case Bitmap:
                    CheckBuffer_VectorBitmap(p_, dm, 1);
                    break;
                case Vector:
                    CheckBuffer_VectorBitmap(p_, dm, 0);
                    break;
                case Barcode:
                    CheckBarcodeBuffer(p_, dm);
                    break;
                case Command:
                    CheckKommandoBuffer(p_, dm);
                    break;
            }
        }
    }

    BOOL BarcodeText(STROBJ* pstro, BarcodeDescription* desc, const std::u16string& face,
                     BOOL* pbDuplicate, KX_DEVMODE* dm, int iFontId) const
    {
        return BarcodeTextOut(p_, pstro, desc, face.c_str(), pbDuplicate, dm, iFontId);
    }

    BOOL CommandText(STROBJ* pstro, BOOL* pbHandled, KX_DEVMODE* dm) const
    {
        return CommandTextOut(p_, pstro, pbHandled, dm);
    }

    BOOL Device(STROBJ* pstro, ULONG iFace, KX_DEVMODE* dm) const
    {
        return DeviceTextOut(p_, pstro, iFace, dm);
    }

    int VectorText(STROBJ* pstro, int iTrueTypeIndex, bool bItalic, bool bBold,
                   const std::u16string& face, KX_DEVMODE* dm) const
    {
        return VectorTextOut(p_, pstro, iTrueTypeIndex, bItalic, bBold, face.c_str(), dm);
    }

    // The vector index of a TrueType face (-1 when vector fonts are off or
    // a record is missing); *pFace gets the face name.
    int VectorIndex(FONTOBJ* pfo, const KX_DEVMODE& dm, std::u16string* pFace) const
    {
        const KX_POP* op = p_->pOp;
        if (!op->pTreiberstrukturen || !op->pDocDaten || !op->pTreiberstrukturen->bUseInternalTTF ||
            !pfo)
            return -1;
        *pFace = FaceName(pfo);
        return VectorTrueTypeIndex(pFace->c_str(), (pfo->flFontType & FO_SIM_BOLD) != 0,
                                   (pfo->flFontType & FO_SIM_ITALIC) != 0, dm);
    }

private:
    OEM_PDEV* p_;
};

bool Contains(const STROBJ* pstro, std::u16string_view what)
{
    if (!pstro->pwszOrg) return false;
    return std::u16string_view(pstro->pwszOrg, pstro->cGlyphs).find(what) !=
           std::u16string_view::npos;
}

void LogLine(const OEM_PDEV* p, const std::string& line)
{
    if (CLogFile* log = GetJobLogFile(p)) log->WriteLine(nullptr, line.c_str(), 1);
}

// The text line of the information log for one call.
void TextToLogfile(const OEM_PDEV* p, const STROBJ* pstro, int iTrueTypeIndex, WORD wCodepage,
                   const std::u16string* face, bool bItalic)
{
    const KX_POP* op = p->pOp;
    if (op->pTreiberstrukturen->bLogFileEnable != 1 || !pstro->pwszOrg) return;
    const std::u16string_view text(pstro->pwszOrg, pstro->cGlyphs);
    if (iTrueTypeIndex == kLogCommandFont && text == u" ") return;
    const std::string name = !face           ? std::string()
                             : face->empty() ? std::string("ungültig")
                                             : plat::WideToMultiByte(plat::kCpAcp, *face);
    if (iTrueTypeIndex >= 31 && op->pTreiberstrukturen->bSH3 && wCodepage == 16) {
        std::string utf8(text.size() * 3 + 1, '\0');
        int n = static_cast<int>(text.size());
        UnicodeToUTF8Ex(utf8.data(), reinterpret_cast<const WCHAR*>(text.data()), &n);
        utf8.resize(static_cast<std::size_t>(n));
        LogLine(p, name + (bItalic ? " (i)" : "") + " : " + utf8);
        return;
    }
    const KVBBBuffer& kv = *op->pKVBBBuffer;
    std::string colour;
    if (kv.dwFarbmodus == kFarbmodusMehrfarbig && kv.dwPaletteColours == 256)
        if (const char* c = ColourName(kv.ulTextColor)) colour = std::string(" (") + c + ")";
    if (colour.empty() && bItalic) colour = " (i)";
    LogLine(p, name + colour + ": " + plat::WideToMultiByte(plat::kCpAcp, text));
}

// The colour the text is drawn in: in colour printing, the ribbon colour it
// matches; otherwise the brush's colour as it is.
void TakeTextColour(const BRUSHOBJ* pboFore, const DruckDaten& d, KVBBBuffer& kv,
                    const KX_DEVMODE& dm)
{
    if (!pboFore) return;
    const ULONG c = pboFore->iSolidColor;
    if (c > 10 && (d.dwDocFeatures & DOC_FEATURE_COLORPRINT)) {
        const DWORD swapped = (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF);
        if (kv.pRibbonPalette)
            kv.ulTextColor =
                RibbonColourIndex(swapped, kv.pRibbonPalette, dm.wFarbband, dm.dwColorTolerance);
    } else {
        kv.ulTextColor = c;
    }
}

}  // namespace

std::u16string FaceName(FONTOBJ* pfo)
{
    const IFIMETRICS* ifi = pfo ? engine::FONTOBJ_pifi(pfo) : nullptr;
    if (!ifi || ifi->dpwszFaceName <= 0 || static_cast<ULONG>(ifi->dpwszFaceName) >= ifi->cjThis)
        return {};
    const auto* name =
        reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(ifi) + ifi->dpwszFaceName);
    const std::size_t room =
        (ifi->cjThis - static_cast<ULONG>(ifi->dpwszFaceName)) / sizeof(char16_t);
    std::size_t n = 0;
    while (n < room && n < kFaceNameChars - 1 && name[n]) ++n;
    return std::u16string(name, n);
}

TextOutResult InterceptTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ*, RECTL*, RECTL*,
                               BRUSHOBJ* pboFore, BRUSHOBJ*, POINTL*, MIX)
{
    auto* pdevobj = pso ? static_cast<PDEVOBJ>(pso->dhpdev) : nullptr;
    OEM_PDEV* p = GetOemPDev(pdevobj);
    KX_DEVMODE* dm = GetKxDevmode(pdevobj);
    if (!pstro || !pfo || !p || !dm) return TextOutResult::Failed;
    KX_POP* op = p->pOp;
    if (!op || !op->pTreiberstrukturen || !op->pDruckDaten || !op->pDocDaten || !op->pKVBBBuffer) {
        LogLine(p, "\r\n [TextOut] ERROR mind. eine Struktur = NULL");
        return TextOutResult::HandBack;
    }
    DruckDaten& d = *op->pDruckDaten;
    DocDaten& doc = *op->pDocDaten;
    KVBBBuffer& kv = *op->pKVBBBuffer;
    TraceA("UNI(ddiTextOutUni):  TextOut() Start - Job: %s \r\n", d.szJobName);

    if (const DEVMODEW* pub = pdevobj->pPublicDM) {
        doc.dmPaperWidth = pub->dmPaperWidth;
        doc.dmPaperLength = pub->dmPaperLength;
        doc.dmOrientation = pub->dmOrientation;
    }
    TakeTextColour(pboFore, d, kv, *dm);

    if (dm->dwLabelType == 2) {
        if (Contains(pstro, u"<h1>")) {
            g_bHeading = true;
            return TextOutResult::Taken;
        }
        if (Contains(pstro, u"</h1>")) {
            g_bHeading = false;
            return TextOutResult::Taken;
        }
        if (g_bHeading) {
            pfo->flFontType |= FO_TYPE_DEVICE;
            pfo->iFace = dm->wBelegFontH1 + 1u;
        }
    }

    TextOutput* worker = new (std::nothrow) TextOutput(p);
    if (!worker) {
        Trace(u"UNI(ddiTextOutUni):  TextOut() new TextOutput ERROR \r\n");
        return TextOutResult::HandBack;
    }
    const std::u16string face = FaceName(pfo);
    bool taken = false;
    bool decided = false;

    if ((pfo->flFontType & FO_TYPE_DEVICE) && dm->wBMPverwenden == 0) {
        worker->Flush({TextOutput::Vector, TextOutput::Barcode, TextOutput::Command}, dm);
        TextToLogfile(p, pstro, kLogDeviceFont, dm->wCodepage, &face, false);
        if (!kv.bitmap.pText) kv.bitmap.dwSize = 0;
        taken = worker->Device(pstro, pfo->iFace, dm) != FALSE;
        decided = true;
    } else if (!HasValidMarker(*dm)) {
        const std::u16string pw(dm->szPassword,
                                std::find(dm->szPassword, std::end(dm->szPassword), 0));
        Trace(u"UNI(ddiTextOutUni):  TextOut(ERROR) szPassword: %s falsch \r\n", pw.c_str());
        delete worker;
        return TextOutResult::HandBack;
    } else if ((pfo->flFontType & FO_TYPE_TRUETYPE) && face == kCommandFace) {
        // Command-font text: the collections of the other classes end here.
        // It is never printed, also when its handler could not use it.
        worker->Flush({TextOutput::Bitmap, TextOutput::Vector, TextOutput::Barcode}, dm);
        if (dm->wCrystalActive && pstro->pwszOrg)
            ConvertCrystalString(pstro->pwszOrg, pstro->cGlyphs);
        TextToLogfile(p, pstro, kLogCommandFont, dm->wCodepage, &face, false);
        if (!kv.kommando.pText) kv.kommando.dwSize = 0;
        BOOL bHandled = FALSE;
        worker->CommandText(pstro, &bHandled, dm);
        kv.dwCurrentFont = kCurrentCommandFont;
        decided = true;
        taken = true;
    } else if (pfo->flFontType & FO_TYPE_TRUETYPE) {
        std::u16string vface = face;
        int index = -1;
        if (d.bRecallDirekt) {
            // A direct recall prints in the printer's standard vector font.
            index = 3;
            vface = u"Swiss 721 LP";
        } else if (d.bVektorSchrift) {
            index = worker->VectorIndex(pfo, *dm, &vface);
        }
        if (index >= 0 && op->pTreiberstrukturen->bUseInternalTTF == 1) {
            const std::u16string_view recall(
                dm->szMemCardRecallKennung,
                Length(dm->szMemCardRecallKennung, std::size(dm->szMemCardRecallKennung)));
            if (!recall.empty() && Contains(pstro, recall)) {
                Trace(u"UNI(ddiTextOutUni):  TextOut() Direktausgabe recall erkannt \r\n");
                d.bRecallText = 1;
                dm->wTTFDesegm = 1;
                doc.dwDirectWO_AM_BM = 1;
                doc.bRecallSchalter = 1;
                d.bRecallDirekt = 0;
            }
            if (dm->wCrystalActive && pstro->pwszOrg)
                ConvertCrystalString(pstro->pwszOrg, pstro->cGlyphs);
            // User fonts keep the full UTF-16 text.
            if (index < 31 && pstro->pwszOrg) ConvertToNormalWide(pstro->pwszOrg, pstro->cGlyphs);
            worker->Flush({TextOutput::Bitmap, TextOutput::Command, TextOutput::Barcode}, dm);
            if (!kv.vektor.pText) kv.vektor.dwSize = 0;
            const bool bItalic =
                (pfo->flFontType & FO_SIM_ITALIC) || ItalicWord(vface.c_str()) != nullptr;
            const bool bBold = (pfo->flFontType & FO_SIM_BOLD) != 0;
            if (pstro->cGlyphs != 0) {
                TextToLogfile(p, pstro, index, dm->wCodepage, &vface, bItalic);
                const int r = worker->VectorText(pstro, index, bItalic, bBold, vface, dm);
                taken = r == kVectorDone || r == kVectorOutside;
            }
            kv.dwCurrentFont = kCurrentVectorFont;
            decided = true;
        } else if (index > -2) {
            BarcodeDescription bdesc{};
            const int fontId = GetBarcodeFontID(pfo, &bdesc, p);
            if (fontId != 0) {
                worker->Flush({TextOutput::Vector, TextOutput::Bitmap, TextOutput::Command}, dm);
                if (!kv.barcode.pText) kv.barcode.dwSize = 0;
                if (pstro->pwszOrg) ConvertToNormalWide(pstro->pwszOrg, pstro->cGlyphs);
                TextToLogfile(p, pstro, -1, dm->wCodepage, &face, false);
                BOOL bDuplicate = FALSE;
                taken = worker->BarcodeText(pstro, &bdesc, face, &bDuplicate, dm, fontId) != FALSE;
                if (taken && !bDuplicate) kv.dwCurrentFont = kCurrentBarcodeFont;
                decided = true;
            }
        }
    }

    if (!decided || !taken) {
        // Text no class takes goes back to the host after the pending
        // collections have been finished.
        const bool pending =
            kv.bitmap.dwSize || kv.vektor.dwSize || kv.barcode.dwSize || kv.kommando.dwSize;
        if (pstro->cGlyphs > 0 && pending) {
            if (kv.bitmap.dwSize) worker->Flush({TextOutput::Bitmap}, dm);
            if (kv.vektor.dwSize) worker->Flush({TextOutput::Vector}, dm);
            if (kv.barcode.dwSize) worker->Flush({TextOutput::Barcode}, dm);
            if (kv.kommando.dwSize) worker->Flush({TextOutput::Command}, dm);
        }
        if (!decided) TextToLogfile(p, pstro, -1, dm->wCodepage, &face, false);
        kv.dwCurrentFont = kCurrentGraphics;
        Trace(u"UNI(ddiTextOutUni):  TextOut() keine Vektor- und keine Barcode-Schrift \r\n");
        delete worker;
        return TextOutResult::HandBack;
    }
    if (kv.dwFarbmodus == kFarbmodusMehrfarbig && pboFore) kv.ulPrevTextColor = kv.ulTextColor;
    Trace(u"UNI(ddiTextOutUni):  TextOut() Ende \r\n");
    delete worker;
    return TextOutResult::Taken;
}

}  // namespace kx
