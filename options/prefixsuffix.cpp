// Prefix and suffix files: the user's command lines, copied into the stream
// at the five points of a job that options/prefixsuffix.h lists.
#include "options/prefixsuffix.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>

#include "core/jobcontext.h"
#include "core/record.h"
#include "core/trace.h"
#include "diag/logfile.h"
#include "platform/platform.h"

namespace kx {

namespace {

// Indexed by section - 1.
constexpr const char* kKeywords[] = {"POST_DEVICE", "POST_DOCUMENT", "POST_DATA", "PRE_PRINTSTART",
                                     "POST_PRINTSTART"};
constexpr const char* kComments[] = {"\t// PS POST_DEVICE \n", "\t// PS POST_DOCUMENT \n",
                                     "\t// PS POST_DATA \n", "\t// PS PRE_PRINTSTART \n",
                                     "\t// PS POST_PRINTSTART \n"};
static_assert(std::size(kKeywords) == kPrefixSuffixSections &&
              std::size(kComments) == kPrefixSuffixSections);
constexpr char kCtrlZ = 0x1A;

// fgets over a text-mode stream fed by a block reader. A file is read the way
// the C runtime on Windows reads a text file with fgets into 260 characters,
// so that one file behaves alike on every platform: "\r\n" becomes "\n", a
// Ctrl-Z ends the file, a line of more than 259 characters arrives in pieces
// of 259, and a NUL ends the text of its line (CText). Reading stops with the
// section, so a large file costs only what precedes the section.
class TextLines {
public:
    // read(buffer, size) returns the bytes read, 0 at the end.
    explicit TextLines(std::function<std::size_t(char*, std::size_t)> read)
        : m_read(std::move(read))
    {}

    // The next line, at most kPrefixSuffixLineChars - 1 characters including
    // its "\n"; false when the end came before any character.
    bool Next(std::string* line)
    {
        line->clear();
        while (line->size() < kPrefixSuffixLineChars - 1) {
            int c = Get();
            if (c < 0) break;
            if (c == '\r' && Peek() == '\n') continue;
            line->push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        return !line->empty();
    }

private:
    int Peek()
    {
        if (m_pos == m_len && !Fill()) return -1;
        return static_cast<unsigned char>(m_buf[m_pos]);
    }
    int Get()
    {
        const int c = Peek();
        if (c >= 0) ++m_pos;
        return c;
    }
    bool Fill()
    {
        if (m_end) return false;
        m_pos = 0;
        m_len = m_read(m_buf, sizeof(m_buf));
        if (m_len > sizeof(m_buf)) m_len = 0;
        // Text mode: a Ctrl-Z is the end of the file.
        if (const void* z = std::memchr(m_buf, kCtrlZ, m_len)) {
            m_len = static_cast<std::size_t>(static_cast<const char*>(z) - m_buf);
            m_end = true;
        }
        if (m_len == 0) m_end = true;
        return m_len > 0;
    }

    std::function<std::size_t(char*, std::size_t)> m_read;
    char m_buf[4096];
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_end = false;
};

// The text of a line as a C string sees it.
std::string_view CText(const std::string& line)
{
    return std::string_view(line.c_str());
}

// Only another section's keyword ends a section: a line that holds the
// section's own keyword again is an ordinary command line.
bool HasOtherKeyword(std::string_view text, DWORD dwSection)
{
    for (DWORD i = 1; i <= kPrefixSuffixSections; ++i)
        if (i != dwSection && text.find(kKeywords[i - 1]) != std::string_view::npos) return true;
    return false;
}

PrefixSuffixSection ReadSection(TextLines& in, DWORD dwSection)
{
    PrefixSuffixSection r;
    const char* keyword = PrefixSuffixKeyword(dwSection);
    if (!keyword) return r;
    std::string line;
    if (!in.Next(&line)) {
        r.bEmptyFile = true;
        return r;
    }
    int n = 0;
    do {
        ++n;
        if (CText(line).find(keyword) != std::string_view::npos) {
            r.bFound = true;
            break;
        }
    } while (in.Next(&line));
    r.iKeywordLine = n;
    if (!r.bFound) return r;
    while (in.Next(&line)) {
        std::string_view text = CText(line);
        if (text.size() < 2 || HasOtherKeyword(text, dwSection)) break;
        r.lines.emplace_back(text.substr(0, text.find('\n')));
    }
    return r;
}

}  // namespace

const char* PrefixSuffixKeyword(DWORD dwSection)
{
    return dwSection >= 1 && dwSection <= kPrefixSuffixSections ? kKeywords[dwSection - 1]
                                                                : nullptr;
}

PrefixSuffixSection ParsePrefixSuffix(std::string_view fileBytes, DWORD dwSection)
{
    TextLines in([&fileBytes](char* buf, std::size_t size) {
        const std::size_t n = std::min(size, fileBytes.size());
        if (n == 0) return n;
        std::memcpy(buf, fileBytes.data(), n);
        fileBytes.remove_prefix(n);
        return n;
    });
    return ReadSection(in, dwSection);
}

HRESULT ReadPrefixSuffix(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, DWORD dwSection)
{
    const JobContext ctx(pdevobj, pUniDrv);
    OEM_PDEV* pdev = ctx.Device();
    Treiberstrukturen* ts = ctx.Settings();
    if (!ts || !PrefixSuffixKeyword(dwSection)) {
        Trace(u"ERROR UNI(SendPrinterParam):  ReadPrefixSuffix() Abschnitt %d ohne Strukturen \r\n",
              dwSection);
        return E_FAIL;
    }
    const WCHAR* pwFileName = ts->prnInterface.wcPreSufFilePath;
    const std::u16string_view path(pwFileName, Length(pwFileName, PRN_PATH_CHARS));

    HANDLE hFile = plat::CreateFile(path, plat::kGenericRead, plat::kShareRead | plat::kShareWrite,
                                    plat::kOpenExisting);
    if (hFile == plat::kInvalidHandle) {
        Trace(u"ReadPrefixSuffix() ERROR - keine Datei %s vorhanden \r\n", path);
        WriteJobLog(pdev, u"keine Prefix/Suffix Datei [%s]", path);
        return S_OK;
    }
    TextLines in([hFile](char* buf, std::size_t size) -> std::size_t {
        std::uint32_t cbRead = 0;
        if (!plat::ReadFile(hFile, buf, static_cast<std::uint32_t>(size), &cbRead)) return 0;
        return cbRead;
    });
    const PrefixSuffixSection section = ReadSection(in, dwSection);
    plat::CloseHandle(hFile);

    if (section.bEmptyFile) WriteJobLog(pdev, u"Prefix/Suffix ERROR [%d]: %s", dwSection, path);
    if (!section.bFound) {
        Trace(u"ReadPrefixSuffix(nicht gefunden) %d. Zeile \r\n", section.iKeywordLine);
        return S_OK;
    }

    // The lines count as print data, like the device commands around them.
    RecordWriter w(pdevobj, pUniDrv);
    w.SetPrintData(TRUE);
    const char* comment = w.CommentsOn() ? kComments[dwSection - 1] : "";
    bool bFirst = true;
    for (const std::string& line : section.lines) {
        if (bFirst) WriteJobLog(pdev, u"Prefix/Suffix [%s]", path);
        bFirst = false;
        WriteJobLog(pdev, u"Prefix/Suffix [%d]: %s", dwSection, line);
        // The line is an argument of the formatter, not its format: a percent
        // sign in it is an ordinary character.
        if (FAILED(w.Bare(400, "%c%s%c%s", {w.cStart(), line, w.cEnd(), comment}))) break;
    }
    return w.Result();
}

}  // namespace kx
