#include "support/device.h"

#include "core/format.h"
#include "platform/platform.h"

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

}  // namespace kxtest
