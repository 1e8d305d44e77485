// A device in the middle of a job whose print file is open, for the tests of
// the page-level commands: what reached the spooler and what reached the
// print file can be compared byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/output.h"
#include "raster/bandcapture.h"
#include "support/device.h"

namespace kxtest {

class StreamTest : public PrintFileTest {
protected:
    Bildverarbeitung bild{};
    Bildanteile baender{};

    void SetUp() override
    {
        OpenPrintFile();
        device.op.pBildverarbeitung = &bild;
        device.op.pBildanteile = &baender;
        // A 300 dpi model with a 104 mm head; a label of 100 x 50 mm.
        device.devmode.FixedData.wMasterUnit = 300;
        device.devmode.FixedData.wPrintHeadWidth = 1040;
        device.devmode.wSkalierung = 100;
        device.data.dwLabelLength = 1181;  // 100.0 mm
        device.data.dwLabelWidth = 591;    // 50.0 mm
        device.data.dwPage = 1;
    }

    void CommentsOn() { device.iface().dwPrnFileComment = 1; }
    void CommentsOff() { device.iface().dwPrnFileComment = 2; }

    std::string Spool() const { return device.uni.spool; }
};

}  // namespace kxtest
