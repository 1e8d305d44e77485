// The line-oriented XML settings reader: the process-wide stream, OpenXML,
// CloseXML and ReadXML.
#include "settings/xmlreader.h"

#include <string>

#include "core/format.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "core/oempdev.h"

namespace kx {

namespace {

// A read-only byte stream over a file, read the way a C stream opened with
// "r" reads on Windows (text mode): a carriage return directly before a line
// feed is dropped and a Ctrl-Z byte ends the file. Positions are byte offsets
// into the file, as ftell reports them.
class XmlStream {
public:
    bool Open(std::u16string_view path)
    {
        Close();
        h_ = plat::CreateFile(path, plat::kGenericRead, plat::kShareRead | plat::kShareWrite,
                              plat::kOpenExisting);
        if (h_ == plat::kInvalidHandle) return false;
        Reset(0);
        return true;
    }

    void Close()
    {
        if (h_ != plat::kInvalidHandle) plat::CloseHandle(h_);
        h_ = plat::kInvalidHandle;
        Reset(0);
    }

    bool IsOpen() const { return h_ != plat::kInvalidHandle; }

    std::uint64_t Tell() const { return bufStart_ + pos_; }

    bool Seek(std::uint64_t position)
    {
        if (!IsOpen()) return false;
        // Within the bytes already read (a small file is read once): only
        // the read position moves. The file itself stands at the buffer's
        // end, where the next read continues.
        if (position >= bufStart_ && position <= bufStart_ + len_) {
            pos_ = static_cast<std::size_t>(position - bufStart_);
            return true;
        }
        std::uint64_t now = 0;
        if (!plat::SetFilePointer(h_, static_cast<std::int64_t>(position), plat::kFileBegin, &now))
            return false;
        Reset(now);
        return true;
    }

    // fgets into a buffer of XML_LINE_CHARS + 1 characters: reads up to and
    // including the next line feed, at most XML_LINE_CHARS characters.
    // False at the end of the file when nothing was read.
    bool GetLine(std::string& line)
    {
        line.clear();
        while (static_cast<int>(line.size()) < XML_LINE_CHARS) {
            int c = Next();
            if (c < 0) break;
            line.push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        return !line.empty();
    }

private:
    void Reset(std::uint64_t start)
    {
        bufStart_ = start;
        len_ = pos_ = 0;
        eof_ = false;
    }

    int Peek()
    {
        if (pos_ == len_) {
            if (eof_ || !IsOpen()) return -1;
            bufStart_ += len_;
            len_ = pos_ = 0;
            std::uint32_t got = 0;
            if (!plat::ReadFile(h_, buf_, sizeof(buf_), &got) || got == 0) {
                eof_ = true;
                return -1;
            }
            len_ = got;
        }
        return static_cast<unsigned char>(buf_[pos_]);
    }

    // The next character in text mode, -1 at the end of the file.
    int Next()
    {
        int c = Peek();
        if (c < 0) return -1;
        if (c == 0x1A) {  // Ctrl-Z: end of the text
            eof_ = true;
            len_ = pos_;
            return -1;
        }
        ++pos_;
        if (c == '\r' && Peek() == '\n') {
            ++pos_;
            return '\n';
        }
        return c;
    }

    plat::Handle h_ = plat::kInvalidHandle;
    char buf_[4096];
    std::uint64_t bufStart_ = 0;  // file offset of buf_[0]
    std::size_t len_ = 0;
    std::size_t pos_ = 0;
    bool eof_ = false;
};

// The process-wide reader state: one open file, its flag, and the line at
// which the next lookup without rewind resumes. Unguarded by design: the
// settings are read on one thread, one file at a time.
XmlStream gXmlStream;
bool gbXmlOpen = false;
std::uint64_t gXmlResume = 0;

// One line of the file as wide text. The file is 8-bit text in the system
// code page; a NUL byte ends the line's text.
// Every ANSI code page agrees with ASCII, so a pure ASCII line (nearly all
// lines of a settings file) is widened without the conversion.
std::u16string Widen(const std::string& line)
{
    std::size_t nul = line.find('\0');
    std::string_view text(line.data(), nul == std::string::npos ? line.size() : nul);
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::u16string(text.begin(), text.end());
    return plat::MultiByteToWide(plat::kCpAcp, text);
}

bool Contains(const std::u16string& line, std::u16string_view name)
{
    return line.find(name) != std::u16string::npos;
}

// The value of a line: the text between the first ">" and the following
// "</". A line without ">" has an empty value; a line without a closing tag
// after it (an element cut by the line limit, say) gives the rest of the
// line without its line end.
void TakeValue(const std::u16string& line, WCHAR* out)
{
    std::size_t open = line.find(u'>');
    if (open == std::u16string::npos) {
        out[0] = 0;
        return;
    }
    std::u16string_view rest = std::u16string_view(line).substr(open + 1);
    std::size_t close = rest.find(u"</");
    if (close != std::u16string_view::npos) {
        rest = rest.substr(0, close);
    } else {
        while (!rest.empty() && (rest.back() == u'\n' || rest.back() == u'\r'))
            rest.remove_suffix(1);
    }
    // A value too long for the field is not taken (it may be a path).
    if (FAILED(Copy(out, XML_VALUE_CHARS, rest))) out[0] = 0;
}

}  // namespace

int OpenXML(std::u16string_view pszPath)
{
    if (gbXmlOpen) CloseXML();
    // A new file starts its lookups at its beginning.
    gXmlResume = 0;
    if (pszPath.empty() || !gXmlStream.Open(pszPath)) {
        Trace(u"ERROR UNI(XMLSettings):  OpenXML() Datei %s nicht vorhanden, Fehler %u \r\n",
              pszPath, plat::GetLastError());
        return XML_NO_FILE;
    }
    gbXmlOpen = true;
    Trace(u"UNI(XMLSettings):  OpenXML() %s geoeffnet \r\n", pszPath);
    return XML_FOUND;
}

int CloseXML()
{
    if (!gbXmlOpen) return 0;
    gXmlStream.Close();
    gbXmlOpen = false;
    Trace(u"UNI(XMLSettings):  CloseXML() \r\n");
    return 1;
}

bool IsXMLOpen()
{
    return gbXmlOpen;
}

std::u16string XmlSettingsFilePath(const OEM_PDEV* ctx)
{
    if (!ctx || !ctx->pOp || !ctx->pOp->pTreiberPfadDatei) return {};
    const WCHAR* base = ctx->pOp->pTreiberPfadDatei->wcGPD_OhneDateiendung;
    std::size_t n = Length(base, KX_MAX_PATH);
    if (n == 0 || n == static_cast<std::size_t>(KX_MAX_PATH)) return {};
    return std::u16string(base, n) + u".XML";
}

int ReadXML(OEM_PDEV* ctx, const WCHAR* pwRoot, const WCHAR* pwItem1, const WCHAR* pwItem2,
            WCHAR* pszValueOut, BOOL bRewind)
{
    if (!ctx || !pwRoot || !pwItem1 || !pszValueOut) return XML_NO_CONTEXT;
    if (!gbXmlOpen && OpenXML(XmlSettingsFilePath(ctx)) != XML_FOUND) return XML_NO_FILE;

    const std::u16string root(pwRoot);
    const std::u16string openTag = u"<" + root + u">";
    const std::u16string closeTag = u"</" + root + u">";
    const std::u16string_view item1(pwItem1);

    if (!gXmlStream.Seek(bRewind ? 0 : gXmlResume))
        Trace(u"ERROR UNI(XMLSettings):  ReadXML() fseek ERROR \r\n");

    // The root: every line examined here becomes the resume point, so that
    // after a hit the next lookup starts again at the root's own line.
    std::string raw;
    bool rootFound = false;
    for (;;) {
        std::uint64_t at = gXmlStream.Tell();
        if (!gXmlStream.GetLine(raw)) break;
        gXmlResume = at;
        if (Contains(Widen(raw), openTag)) {
            rootFound = true;
            break;
        }
    }
    if (!rootFound) {
        Trace(u"ERROR UNI(XMLSettings):  ReadXML() falscher Root <%s> \r\n", pwRoot);
        return XML_NO_ROOT;
    }

    // The closing root tag bounds the section and the element search; it is
    // tested first, so that a name that is part of the root's own name
    // ("Size" in "</LayoutSize>") never matches the closing line.
    bool sectionFound = false;
    while (gXmlStream.GetLine(raw)) {
        std::u16string line = Widen(raw);
        if (Contains(line, closeTag)) break;
        if (Contains(line, item1)) {
            if (!pwItem2) {
                TakeValue(line, pszValueOut);
                return XML_FOUND;
            }
            sectionFound = true;
            break;
        }
    }
    if (!sectionFound) {
        Trace(u"ERROR UNI(XMLSettings):  ReadXML() falscher Item 1 <%s> \r\n", pwItem1);
        return XML_NO_SECTION;
    }

    // The element: searched from the section onwards up to the end of the
    // root, not of the section.
    const std::u16string_view item2(pwItem2);
    while (gXmlStream.GetLine(raw)) {
        std::u16string line = Widen(raw);
        if (Contains(line, closeTag)) break;
        if (Contains(line, item2)) {
            TakeValue(line, pszValueOut);
            return XML_FOUND;
        }
    }
    Trace(u"ERROR UNI(XMLSettings):  ReadXML() falscher Item 2 <%s> \r\n", pwItem2);
    return XML_NO_ELEMENT;
}

std::int32_t XmlToInt(const WCHAR* pszValue)
{
    if (!pszValue) return 0;
    const WCHAR* p = pszValue;
    while (*p == u' ' || (*p >= u'\t' && *p <= u'\r')) ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = (*p++ == u'-');
    // Accumulated as a magnitude that stops growing past the 32-bit limits.
    std::int64_t magnitude = 0;
    constexpr std::int64_t kCap = std::int64_t{INT32_MAX} + 1;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        magnitude = magnitude * 10 + (*p - u'0');
        if (magnitude > kCap) magnitude = kCap;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);  // -2^31 at most
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

}  // namespace kx
