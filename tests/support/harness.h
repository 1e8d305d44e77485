// Shared test helpers: a sandboxed simulated Windows, byte comparison, and
// the driver host's helper interface (support/driveruni.h).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim.h"
#include "support/driveruni.h"

namespace kxtest {

// A fresh state and root folder per test, a fixed clock, removed afterwards.
class SimSandbox {
public:
    SimSandbox();
    ~SimSandbox();
    const std::string& dir() const { return dir_; }
    // Host path of a Windows path ("C:\x" -> <root>/c/x).
    std::string HostPath(std::u16string_view windowsPath) const;
    // Whole content of a host file ("" when missing).
    static std::string ReadHostFile(const std::string& path);
    static bool HostFileExists(const std::string& path);

private:
    std::string dir_;
};

// Printable form of bytes for failure messages, and a hex dump around the
// first difference of two byte strings.
std::string Escape(const std::string& bytes);
::testing::AssertionResult BytesEqual(const std::string& expected, const std::string& actual);

}  // namespace kxtest
