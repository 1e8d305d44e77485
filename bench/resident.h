// The resident set of this process, for the benchmarks that report peak
// memory (Linux /proc).
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace kxbench {

// Large blocks always come from (and go back to) the system, as the process
// heap of Windows serves them, so the resident set follows the live pixel
// blocks; by default the allocator would raise this limit after the first
// free and keep the memory. Set before any benchmark runs.
inline const bool kFixedMmapThreshold = mallopt(M_MMAP_THRESHOLD, 128 * 1024) == 1;

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), -1 when unread.
inline long ProcKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return -1;
}

// Starts a new peak (VmHWM) from the present resident set.
inline bool ResetPeak()
{
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    f.flush();
    return bool(f);
}

}  // namespace kxbench
