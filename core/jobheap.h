// The heap blocks of a job and the allocation counters that make leaks show.
//
// Every per-job block comes zero-filled from the process heap through
// CreateHeapBuffer. Two kinds of counters follow the allocations:
//   per device   OEM_PDEV::iHAllocZaehler (heap blocks of the job) and
//                OEM_PDEV::iNewZaehler (live worker objects);
//   per process  iHAllocZaehlerUNI (every counted heap block of the plug-in,
//                raster pixels included) and iNewZaehlerUNI (worker objects).
// The job start and the job end trace them, so that a block that is never
// freed shows as a count that does not return to its start.
#pragma once

#include "core/oempdev.h"

namespace kx {

// Process-wide count of live worker objects (the job's log object among
// them). Reported in the trace only.
extern int iNewZaehlerUNI;
// Process-wide count of live counted heap blocks: the job's blocks and the
// pixel blocks of Bitmap and PCX. Reported in the trace only.
extern int iHAllocZaehlerUNI;

// The process heap as the job's blocks name it (never null).
HANDLE GetProcessHeapHandle();

// A zero-filled block of dwSize bytes from hHeap; null (traced with pszName)
// when hHeap is null, dwSize is 0 or the heap has no room. Counts the block
// in iHAllocZaehlerUNI.
void* CreateHeapBuffer(HANDLE hHeap, DWORD dwSize, const char16_t* pszName);
// Frees a block of CreateHeapBuffer; null does nothing.
void FreeHeapBuffer(HANDLE hHeap, void* pBlock);

// The same with the device's counter: the block is counted in
// pOemPDev->iHAllocZaehler as well.
void* CreateJobBuffer(OEM_PDEV* pOemPDev, DWORD dwSize, const char16_t* pszName);
// Frees a block of CreateJobBuffer (null does nothing) and lowers the
// counters.
void FreeJobBlock(OEM_PDEV* pOemPDev, void* pBlock);

}  // namespace kx
