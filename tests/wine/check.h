// The checks of the programs that run under Wine (tests/wine/*.cpp and
// tests/*/win32/*_test.cpp): one PASS or FAIL line per check, and an exit
// status that tells whether any failed.
#pragma once

#include <cstdio>
#include <string>

namespace kxcheck {

inline int failures = 0;

// detail is printed after a failure only (an error code, the values seen).
inline bool Check(bool ok, const std::string& what, const std::string& detail = "")
{
    std::printf("%s %s%s\n", ok ? "PASS" : "FAIL", what.c_str(),
                ok || detail.empty() ? "" : (" (" + detail + ")").c_str());
    if (!ok) ++failures;
    return ok;
}

// A result code against the one expected, both shown.
inline bool CheckHr(long got, long expected, const std::string& what)
{
    char line[64];
    std::snprintf(line, sizeof line, "got 0x%08lX, expected 0x%08lX",
                  static_cast<unsigned long>(got), static_cast<unsigned long>(expected));
    return Check(got == expected, what, line);
}

// The summary line and the program's exit status.
inline int Finish()
{
    std::printf("%s: %d check(s) failed\n", failures ? "FAIL" : "PASS", failures);
    return failures ? 1 : 0;
}

}  // namespace kxcheck
