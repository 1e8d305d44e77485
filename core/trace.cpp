#include "core/trace.h"

#include <atomic>
#include <string>

#include "platform/platform.h"

namespace kx::trace {

namespace {

// The process-wide trace stream. Shared without a lock, like the host's own
// spooler threads share it; the handle is published atomically so that a
// closing thread never leaves a dangling value behind for a reader.
std::atomic<plat::Handle> gFile{nullptr};
std::u16string gFileName;

void WriteUtf8(const std::string& text)
{
    plat::Handle h = gFile.load();
    if (!h || text.empty()) return;
    std::uint32_t written = 0;
    plat::WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written);
}

template <class C>
std::size_t DropFinalLineFeed(const C* buf)
{
    std::size_t n = Length(buf, kLineChars);
    if (n > 0 && buf[n - 1] == C('\n')) --n;
    return n;
}

}  // namespace

bool IsOpen() { return gFile.load() != nullptr; }

std::u16string FileName() { return IsOpen() ? gFileName : std::u16string(); }

bool Open(std::u16string_view prnFileBase)
{
    if (IsOpen()) {
        Close();
        Trace(u"kxdrvlib:  CloseDebugFile() vorherige Debug Datei geschlossen \r\n");
    }
    std::u16string base(prnFileBase);
    std::u16string name = base + u"-print-dbg.txt";
    if (plat::PathFileExists(name)) {
        for (int n = 0; n < 20; ++n) {
            std::u16string candidate =
                base + u"-" + Utf8ToUtf16(std::to_string(n)) + u"-print-dbg.txt";
            if (!plat::PathFileExists(candidate)) {
                name = candidate;
                break;
            }
        }
    }
    plat::Handle h = plat::CreateFile(name, plat::kGenericWrite, plat::kShareRead,
                                      plat::kCreateAlways);
    if (h == plat::kInvalidHandle) {
        TraceA("kxdrvlib:  OpenDebugFile() Open failed on input file %s \r\n",
               Utf16ToUtf8(name));
        return false;
    }
    gFileName = name;
    gFile.store(h);
    return true;
}

void Close()
{
    plat::Handle h = gFile.exchange(nullptr);
    if (h) plat::CloseHandle(h);
    gFileName.clear();
}

void WriteWide(const char16_t* fmt, FmtArgs args)
{
    if (!IsOpen()) return;
    char16_t line[kLineChars];
    // A cut line is written as far as it goes: the trace is for reading only.
    (void)VFormat(line, kLineChars, fmt, args);
    WriteUtf8(Utf16ToUtf8(std::u16string_view(line, DropFinalLineFeed(line))));
}

void WriteNarrow(const char* fmt, FmtArgs args)
{
    if (!IsOpen()) return;
    char line[kLineChars];
    // A cut line is written as far as it goes: the trace is for reading only.
    (void)VFormat(line, kLineChars, fmt, args);
    WriteUtf8(Cp1252ToUtf8(std::string_view(line, DropFinalLineFeed(line))));
}

}  // namespace kx::trace
