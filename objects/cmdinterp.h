// The command font interpreter: at page end the commands collected from
// text in the command font (objects/cmdfont.h) are read as a small label
// language and sent as KXPL records - text fields ("AM[]...BM[]"),
// attribute and data records of fields, barcode shorthand ("<#...>"),
// keywords ("<!SPEED=...>"), raw KXPL commands ("F...") and the switch to
// one of the printer's document settings files ("<$1>" ... "<$5>").
#pragma once

#include "core/oempdev.h"

namespace kx {

// What the interpreter calls outside its layer: the automatic import of a
// document settings file for an entry holding "<$". Given by the page end;
// null imports nothing.
using AutoImportFn = HRESULT (*)(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv,
                                 const char* pszEntry);

// Page end: finishes a command still being collected, interprets the
// page's command list and sends its records through the output channel;
// empties the list. S_OK when nothing was collected.
HRESULT SendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, AutoImportFn pfnAutoImport);

}  // namespace kx
