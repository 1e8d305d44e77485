// The one test device, shared by the tests, the fuzz targets and the
// benchmarks (no test framework): a device context as the driver host sets
// it up for one job - the DEVOBJ with public and private devmode, the
// plug-in's device state and the per-job structures, all owned by the caller -
// and, on request, the raster records of a page.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "core/oempdev.h"
#include "raster/bandcapture.h"
#include "support/driveruni.h"

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
    // The raster records (WithRaster): page image with its colour tables,
    // band parts, line buffer.
    Bildverarbeitung bv{};
    Bildanteile ba{};
    RGBQUAD tables[3][256]{};
    BYTE graphBuf[GRAPHBUF_SIZE]{};

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
    // Wires the raster records into the job (grey table first, the page heap
    // a dummy handle) and sets the model's resolution and largest page.
    void WithRaster(WORD dpi, DWORD maxX, DWORD maxY);
    ~TestDevice();
};

// A simulated Windows of its own for a program that runs many inputs (the
// fuzz targets): state and drives in a temporary folder named after the
// program, removed when the program ends.
void ScratchSimulation(const std::string& name);

// Stops a fuzz target where the code broke one of its promises.
inline void Require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace kxtest
