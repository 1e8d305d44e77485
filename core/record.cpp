#include "core/record.h"

#include "core/trace.h"

namespace kx {

void ChooseCommandChars(const PRN_INTERFACE& pi, DWORD dwFeature0, char* pcStart, char* pcEnd)
{
    char s = '^', e = '_';
    if (pi.dwSohEtb == 0) {
        s = 0x01;
        e = 0x17;
    } else if (pi.dwSohEtb != 1 && (dwFeature0 & 0x80)) {
        s = static_cast<char>(pi.dwOwnSoh & 0xFF);
        e = static_cast<char>(pi.dwOwnEtb & 0xFF);
    }
    *pcStart = s;
    *pcEnd = e;
}

RecordWriter::RecordWriter(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv)
    : m_pdevobj(pdevobj), m_pUniDrv(pUniDrv)
{
    TakeJob(JobContext(pdevobj, pUniDrv));
}

RecordWriter::RecordWriter(JobContext& ctx)
    : m_pdevobj(ctx.DevObj()), m_pUniDrv(ctx.UniDrv()), m_ctx(&ctx)
{
    TakeJob(ctx);
}

// The command characters and the comment switch of the job; without print
// data nothing can be written.
void RecordWriter::TakeJob(const JobContext& ctx)
{
    if (!ctx.Data()) {
        Fail(E_FAIL);
        return;
    }
    m_cStart = ctx.StartChar();
    m_cEnd = ctx.EndChar();
    m_comments = ctx.CommentsOn();
}

HRESULT RecordWriter::Fail(HRESULT hr)
{
    if (m_ctx) return m_ctx->Keep(hr);
    if (FAILED(hr) && SUCCEEDED(m_hr)) m_hr = hr;
    return hr;
}

HRESULT RecordWriter::SendRecord(const char* who, std::size_t cch, const char* fmt, FmtArgs args,
                                 const char* tail, BOOL bNoFile)
{
    char buf[512];
    if (cch > sizeof(buf)) cch = sizeof(buf);
    HRESULT hr = VFormat(buf, cch, fmt, args);
    if (SUCCEEDED(hr) && tail) hr = Cat(buf, cch, tail);
    if (FAILED(hr)) {
        TraceA("ERROR UNI(CC-Klassen):  %s() Puffer zu klein fuer |%s| \r\n", who, fmt);
        return Fail(hr);
    }
    return Fail(SendData(m_pdevobj, m_pUniDrv, buf, static_cast<DWORD>(Length(buf, cch)),
                         m_bPrintData, FALSE, bNoFile));
}

HRESULT RecordWriter::Joined(const char* comment, std::size_t cch, const char* fmt, FmtArgs args,
                             BOOL bNoFile)
{
    if (!Ok()) return Result();
    return SendRecord("Joined", cch, fmt, args, m_comments && comment ? comment : "\r\n", bNoFile);
}

HRESULT RecordWriter::Separate(const char* comment, const char* valueFmt, FmtArgs valueArgs,
                               std::size_t cch, const char* fmt, FmtArgs args, BOOL bNoFile)
{
    if (!Ok()) return Result();
    HRESULT hr = SendRecord("Separate", cch, fmt, args, nullptr, bNoFile);
    if (FAILED(hr)) return hr;
    if (!m_comments || !comment) return Fail(SendeKommentar(m_pdevobj, m_pUniDrv, ""));
    char value[100];
    hr = VFormat(value, sizeof(value), valueFmt ? valueFmt : "", valueArgs);
    if (FAILED(hr)) return Fail(hr);
    return Fail(SendeKommentar(m_pdevobj, m_pUniDrv, comment, value));
}

HRESULT RecordWriter::Bare(std::size_t cch, const char* fmt, FmtArgs args)
{
    if (!Ok()) return Result();
    return SendRecord("Bare", cch, fmt, args, nullptr, FALSE);
}

HRESULT RecordWriter::LineEnd()
{
    if (!Ok()) return Result();
    return Fail(SendeKommentar(m_pdevobj, m_pUniDrv, ""));
}

HRESULT RecordWriter::Comment(const char* text1, const char* text2)
{
    if (!Ok()) return Result();
    if (!m_comments) return S_OK;
    return Fail(SendeKommentar(m_pdevobj, m_pUniDrv, text1, text2));
}

}  // namespace kx
