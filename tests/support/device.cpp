#include "support/testdevice.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/format.h"
#include "platform/platform.h"
#include "platform/sim.h"

namespace kxtest {

TestDevice::TestDevice(bool withJob)
{
    publicDM.dmSize = sizeof(DEVMODEW);
    publicDM.dmDriverExtra = sizeof(KX_DEVMODE);
    publicDM.dmCopies = 1;
    publicDM.dmOrientation = 1;
    devmode.dwSize = KX_DEVMODE_SIZE;
    devmode.dwSignature = KX_SIGNATURE;
    devmode.dwVersion = KX_DEVMODE_VERSION;
    devobj.dwSize = sizeof(DEVOBJ);
    devobj.pPublicDM = &publicDM;
    devobj.pOEMDM = &devmode;
    devobj.pdevOEM = &pdev;
    files.hPrnFile = INVALID_HANDLE_VALUE;
    files.hPrnFile2 = INVALID_HANDLE_VALUE;
    files.hRecallFile = INVALID_HANDLE_VALUE;
    kx::Copy(files.szRegKey, KX_MAX_PATH, u"SOFTWARE\\Orvane\\Driver\\KX Test Printer");
    if (withJob) {
        pdev.pOp = &op;
        op.pTreiberPfadDatei = &files;
        op.pTreiberstrukturen = &settings;
        op.pDruckDaten = &data;
        op.pDocDaten = &doc;
        data.cStart = '^';
        data.cEnd = '_';
        data.dwCopies = 1;
    }
}

void TestDevice::SetPrnFileName(std::u16string_view base)
{
    kx::Copy(files.wcPrnFileName, KX_MAX_PATH, base);
}

void TestDevice::CloseFiles()
{
    for (HANDLE* h : {&files.hPrnFile, &files.hPrnFile2}) {
        if (IsValidHandle(*h)) kx::plat::CloseHandle(*h);
        *h = INVALID_HANDLE_VALUE;
    }
}

void TestDevice::WithRaster(WORD dpi, DWORD maxX, DWORD maxY)
{
    op.pBildverarbeitung = &bv;
    op.pBildanteile = &ba;
    op.hBufferHeap = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1000));
    op.pGraphBuf = graphBuf;
    bv.prgbq = tables[0];
    devmode.FixedData.wMasterUnit = dpi;
    devmode.FixedData.lMaxSizeX = maxX;
    devmode.FixedData.lMaxSizeY = maxY;
}

TestDevice::~TestDevice()
{
    CloseFiles();
    if (op.pBildverarbeitung == &bv) kx::vFreeBuffer(&pdev);
}

void ScratchSimulation(const std::string& name)
{
    static std::filesystem::path dir;
    dir = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });
    kx::plat::sim::Config cfg;
    cfg.stateDir = (dir / "state").string();
    cfg.rootDir = (dir / "root").string();
    kx::plat::sim::Configure(cfg);
}

}  // namespace kxtest
