// Stand-in for the Direct3D driver header that <winddi.h> includes but
// MinGW-w64 does not ship. <winddi.h> uses nothing from it.
#pragma once
