// The line-oriented reader of the XML settings files.
//
// The settings files are simple: every element stands on a line of its own,
// a value is the text of its line between the first ">" and the following
// "</", and names are found as plain, case-sensitive substrings of a line.
// There is no XML parser behind this; ReadXML looks up one value at a time:
//
//   <Root>                        the root (pwRoot)
//     <Section>                   the section, item 1 (pwItem1)
//       <Element>value</Element>  the element, item 2 (pwItem2)
//
// With pwItem2 null the value stands on the section's own line.
//
// One file is open at a time: the stream, its "open" flag and the resume
// point of the scan are process-wide and unguarded. XML settings are read on
// the job's thread (job start or an automatic import), one file at a time,
// and every reader family run ends with CloseXML.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/kxtypes.h"

struct OEM_PDEV;

namespace kx {

// Results of ReadXML (and of the readers built on it).
constexpr int XML_NO_FILE = 0;     // no file open and none could be opened
constexpr int XML_NO_CONTEXT = 1;  // no context, or a name or the value buffer missing
constexpr int XML_FOUND = 5;       // value found
constexpr int XML_NO_ROOT = 6;     // root not found
constexpr int XML_NO_SECTION = 7;  // section (item 1) not found within the root
constexpr int XML_NO_ELEMENT = 8;  // element (item 2) not found within the root

// A line is read with at most this many characters; the rest of a longer
// line comes back as the next line.
constexpr int XML_LINE_CHARS = 259;
// Size of the value buffer of ReadXML, in characters with the terminator.
constexpr int XML_VALUE_CHARS = 260;

// Opens a settings file for the lookups that follow. A file that is still
// open is closed first. 5 when the file was opened, 0 when there is no such
// file (or it cannot be read).
int OpenXML(std::u16string_view pszPath);

// Closes the open file. 1, or 0 when nothing was open.
int CloseXML();

// True while a settings file is open.
bool IsXMLOpen();

// Looks up one value. When no file is open, the printer's own settings file
// is opened first (see XmlSettingsFilePath). bRewind starts the scan at the
// beginning of the file; otherwise it resumes at the line in which the
// previous lookup found its root. On success pszValueOut (XML_VALUE_CHARS
// characters) receives the value; on failure it is left as it was.
int ReadXML(OEM_PDEV* ctx, const WCHAR* pwRoot, const WCHAR* pwItem1, const WCHAR* pwItem2,
            WCHAR* pszValueOut, BOOL bRewind);

// The printer's own settings file: the printer's driver data file (the GPD
// named in the job's driver path record) without its extension, with ".XML"
// appended - "C:\...\KX4-203.GPD" has its settings in "C:\...\KX4-203.XML".
// Empty when the device state has no job or the job no data file name.
std::u16string XmlSettingsFilePath(const OEM_PDEV* ctx);

// A number as the settings files write it: leading blanks skipped, an
// optional sign, decimal digits, trailing text ignored, no number = 0. A
// value beyond the 32-bit range gives the nearest limit.
std::int32_t XmlToInt(const WCHAR* pszValue);

}  // namespace kx
