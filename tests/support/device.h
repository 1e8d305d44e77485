// A device context as the driver host sets it up for one job: the DEVOBJ with
// public and private devmode, the plug-in's device state and the per-job
// structures, all owned by the test.
#pragma once

#include <memory>

#include "core/oempdev.h"
#include "support/harness.h"

namespace kxtest {

struct TestDevice {
    DEVMODEW publicDM{};
    KX_DEVMODE devmode{};
    OEM_PDEV pdev{};
    KX_POP op{};
    TreiberPfadDatei files{};
    Treiberstrukturen settings{};
    DruckDaten data{};
    DocDaten doc{};
    DEVOBJ devobj{};
    FakeDriverUni uni;

    // With withJob, pOp and its name, settings and print-data members exist
    // (command characters "^" and "_", no print files).
    explicit TestDevice(bool withJob = true);
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    PDEVOBJ dev() { return &devobj; }
    PRN_INTERFACE& iface() { return settings.prnInterface; }
    // Sets the print file base name (a Windows path without extension).
    void SetPrnFileName(std::u16string_view base);
    void CloseFiles();
    ~TestDevice() { CloseFiles(); }
};

}  // namespace kxtest
