// The shape in which every command record reaches the printer.
//
// A record is built from a printf-style template with the job's start and end
// characters, e.g. "%cFCCL--r%07u-%c". It then reaches its line ending in one
// of two ways, fixed per command:
//   joined    record and comment (comments on) or "\r\n" (comments off) in one
//             buffer: both go to the spooler and the print file;
//   separate  the record alone through the channel, then the comment line (or
//             a bare "\r\n") into the print file only, so that the spooler
//             stream carries the records back to back.
// A writer stops at the first failure: formatting that does not fit, a
// concatenation that does not fit or a failed write. Later records of the
// same step are not sent and the failure stays the step's result.
#pragma once

#include "core/format.h"
#include "core/jobcontext.h"
#include "core/output.h"

namespace kx {

// SOH/ETB for setting 0, "^"/"_" for 1; any other setting takes the user's
// own pair when the printer supports it (bit 7 of the first features word),
// else "^"/"_".
void ChooseCommandChars(const PRN_INTERFACE& pi, DWORD dwFeature0, char* pcStart, char* pcEnd);

class RecordWriter {
public:
    // Default size of a record buffer (record plus comment must fit).
    static constexpr std::size_t kBuffer = 80;

    // A writer with an error of its own: its failure ends its own records.
    RecordWriter(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);
    // A writer of the context's step: it writes nothing once the step has
    // failed, and its own failure becomes the step's sticky error.
    explicit RecordWriter(JobContext& ctx);
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    char cStart() const { return m_cStart; }
    char cEnd() const { return m_cEnd; }
    bool CommentsOn() const { return m_comments; }
    HRESULT Result() const { return m_ctx ? m_ctx->Result() : m_hr; }
    bool Ok() const { return SUCCEEDED(Result()); }

    // Marks the records of this writer as print data: in split print-file
    // mode they go to the second print file instead of the first (the
    // device option commands). Comment lines stay in the first file.
    void SetPrintData(BOOL bPrintData) { m_bPrintData = bPrintData; }

    // Record and comment (or "\r\n") in one buffer of cch characters.
    // bNoFile sends it to the spooler only.
    HRESULT Joined(const char* comment, std::size_t cch, const char* fmt, FmtArgs args,
                   BOOL bNoFile = FALSE);
    HRESULT Joined(const char* comment, const char* fmt, FmtArgs args)
    {
        return Joined(comment, kBuffer, fmt, args);
    }

    // The record alone, then the comment line with its formatted value (or a
    // bare "\r\n") into the print file. bNoFile keeps the record itself out
    // of the print file (its comment line still goes there).
    HRESULT Separate(const char* comment, const char* valueFmt, FmtArgs valueArgs, std::size_t cch,
                     const char* fmt, FmtArgs args, BOOL bNoFile = FALSE);
    HRESULT Separate(const char* comment, const char* fmt, FmtArgs args)
    {
        return Separate(comment, "", {}, kBuffer, fmt, args);
    }

    // The record alone, with no line ending anywhere.
    HRESULT Bare(std::size_t cch, const char* fmt, FmtArgs args);
    HRESULT Bare(const char* fmt, FmtArgs args) { return Bare(kBuffer, fmt, args); }

    // A free-standing comment line (print file only), written only when
    // comments are on.
    HRESULT Comment(const char* text1, const char* text2 = "");

    // A bare "\r\n" into the print file, whatever the comment setting.
    HRESULT LineEnd();

private:
    HRESULT Fail(HRESULT hr);
    // Formats one record into a buffer of cch characters (512 at most), adds
    // tail when one is given and sends it as the writer's data. who names the
    // caller in the trace line of a record that does not fit.
    HRESULT SendRecord(const char* who, std::size_t cch, const char* fmt, FmtArgs args,
                       const char* tail, BOOL bNoFile);

    void TakeJob(const JobContext& ctx);

    PDEVOBJ m_pdevobj;
    IPrintOemDriverUni* m_pUniDrv;
    JobContext* m_ctx = nullptr;
    char m_cStart = '^';
    char m_cEnd = '_';
    bool m_comments = false;
    BOOL m_bPrintData = FALSE;
    HRESULT m_hr = S_OK;
};

}  // namespace kx
