// The device parameter commands: one sender per peripheral (photocell,
// shift optimisation, cutter, dispenser, scanner, applicator, print
// modules, bellmark) and the device settings of the first page.
#pragma once

#include "plugin/oempdev.h"

// The printer parameter record (2352 bytes): the model's feature words, the
// interface settings and the photocell and shift-optimisation parameters,
// filled from the registry by GetPrinterParam.
struct PRINTER_PARAM;

namespace kx {

// Photocell and shift optimisation (first page only), then the light-sensor
// PWM value. Without a record (null) one is allocated, filled and freed.
BOOL SendPrinterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, PRINTER_PARAM* pPrinterParam);

// Cutter, dispenser, scanner, applicator, print modules and bellmark.
BOOL SendDevmodePrinterParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, KX_DEVMODE* pKX_Devmode);

// Label scan position, label change and tear-off offset.
HRESULT SendDeviceSettingsParam(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                                KX_DEVMODE* pKX_Devmode);

}  // namespace kx
