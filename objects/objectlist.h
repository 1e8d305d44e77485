// Object list output: at page end the page's printer fields (PrnObject, in
// drawing order in pDruckDaten->pObjectList) are sent and then freed.
//
// On the way out each field record is corrected against the page's text
// table (core/pageparts.h): its y comes from the table where the host drew
// the page in image parts, a text the host split at an image-part boundary is
// joined again, fields that ended up empty or above the label are dropped and
// the later ones renumbered, and on request every field is repeated for
// several rows of labels. Records without their AM record (direct output,
// recall) pass unchanged.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/oempdev.h"

namespace kx {

// Page end: sends the fields of pDruckDaten->pObjectList, each with its
// colour flag. Returns the last result of the output channel (S_OK when
// nothing was sent), or E_FAIL when the devmode has no resolution, the page
// has no text table or a work buffer cannot be had; then nothing is sent and
// the list stays for DeletePrnObject.
HRESULT SendObjectList(OEM_PDEV* pOemPDev, PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv);

// Frees every object of the list and its text, each freed block lowering
// iNewZaehler by one, and clears the list head (the callers clear it too).
void DeletePrnObject(OEM_PDEV* pOemPDev);

// pBuffer (cbSize bytes from new[], owned by the caller) receives pszText with
// the first occurrence of pszSearch replaced by pszReplace, cut to the buffer;
// returns pBuffer. When pszSearch is not found, pBuffer is freed and null
// returned.
char* ReplaceStringWithStringA_New(const char* pszText, const char* pszSearch,
                                   const char* pszReplace, std::size_t cbSize, char* pBuffer);

// A new buffer of kReplaceWideChars characters (delete[] it) holding pszText
// with its first ")[" replaced by pszReplace, cut to the buffer; null when
// the text has no ")[" or there is no memory.
constexpr std::size_t kReplaceWideChars = 61;
WCHAR* ReplaceStringWithString_New(const WCHAR* pszText, const WCHAR* pszReplace);

// In one text table entry (kAMSatzTextChars wide characters): the first
// occurrence of placeholder is replaced by replacement, and what followed the
// placeholder's closing ">" is kept; the result is cut to the entry. False
// when the entry does not hold the placeholder.
bool ReplaceEntryPlaceholder(WCHAR* pszEntry, std::u16string_view placeholder,
                             std::u16string_view replacement);

}  // namespace kx
