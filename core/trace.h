// Trace output for support staff.
//
// One process-wide trace file, open only while a job asks for it (the
// "DebugFile" interface setting 2 or more). While it is closed, a trace call
// returns before formatting anything. Lines are formatted into 368 characters
// (longer lines are cut), a final line feed is dropped (so lines that end in
// "\r\n" are separated by carriage returns in the file), and the text is
// written as UTF-8 in binary mode so that the file is byte-identical on every
// platform.
#pragma once

#include <string_view>

#include "core/format.h"

namespace kx::trace {

constexpr std::size_t kLineChars = 368;

bool IsOpen();

// Opens the trace file of a job: <prnFileBase>"-print-dbg.txt", or, when that
// exists, <prnFileBase>"-"n"-print-dbg.txt" for the first free n of 0..19
// (when all twenty are taken, the plain name is overwritten). An open trace
// file is closed first. Returns false when the file cannot be created.
bool Open(std::u16string_view prnFileBase);

// Closes the trace file; tracing stops.
void Close();

// The name of the open trace file (empty when closed).
std::u16string FileName();

void WriteWide(const char16_t* fmt, FmtArgs args);
void WriteNarrow(const char* fmt, FmtArgs args);

}  // namespace kx::trace

// Wide trace line.
template <class... A>
inline void Trace(const char16_t* fmt, const A&... args)
{
    if (!kx::trace::IsOpen()) return;
    kx::trace::WriteWide(fmt, {kx::FmtArg(args)...});
}

// Narrow trace line (for narrow arguments: command buffers, narrow names).
template <class... A>
inline void TraceA(const char* fmt, const A&... args)
{
    if (!kx::trace::IsOpen()) return;
    kx::trace::WriteNarrow(fmt, {kx::FmtArg(args)...});
}
