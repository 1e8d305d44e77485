// Prefix and suffix files: user-defined command lines that are copied into
// the stream at five fixed points of every job.
//
// The file (PRN_INTERFACE wcPreSufFilePath, switched on by dwPrefixSuffix
// above 0) is a text file. A section begins after the first line that
// contains its keyword anywhere; each following line is one command, sent
// between the job's start and end characters as it stands (a percent sign is
// an ordinary character); the section ends before a line shorter than two
// characters (an empty line), before a line that contains another section's
// keyword, or at the end of the file. Lines are read as a C runtime reads a
// text file with fgets into 260 characters: "\r\n" counts as "\n", a Ctrl-Z
// ends the file, a line of more than 259 characters is read in pieces, and a
// NUL ends the line's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/unidrv.h"

namespace kx {

// The sections of a file, numbered as the file's keywords are, and where the
// callers send them. Callers pass these names, never the bare numbers.
enum PrefixSuffixPoint : DWORD {
    PS_POST_DEVICE = 1,      // job start, after the device parameters (SendParam)
    PS_POST_DOCUMENT = 2,    // start of the first page of a label, after its set-up
    PS_POST_DATA = 3,        // page end, after the page's objects and graphic
    PS_PRE_PRINTSTART = 4,   // page end, before the print start
    PS_POST_PRINTSTART = 5,  // document end, after the print start
};
constexpr DWORD kPrefixSuffixSections = PS_POST_PRINTSTART;

// "POST_DEVICE" ... "POST_PRINTSTART" for 1 to 5, else null.
const char* PrefixSuffixKeyword(DWORD dwSection);

// Characters of the line buffer (the longest line is one less).
constexpr std::size_t kPrefixSuffixLineChars = 260;

// What one section of a file holds.
struct PrefixSuffixSection {
    bool bEmptyFile = false;         // the first read found nothing
    bool bFound = false;             // the keyword line was found
    int iKeywordLine = 0;            // number of the keyword line (1-based), or of lines read
    std::vector<std::string> lines;  // the command lines, without their line feed
};

// Reads section dwSection (1..5) from the bytes of a prefix/suffix file.
PrefixSuffixSection ParsePrefixSuffix(std::string_view fileBytes, DWORD dwSection);

// Sends the lines of section dwSection of the job's prefix/suffix file, each
// as start character, line, end character (and, with comments on, the
// section's comment "\t// PS <keyword> \n"). The callers run it only when
// the interface setting dwPrefixSuffix is above 0. S_OK when the file does
// not exist or holds no such section; else the result of the last write.
HRESULT ReadPrefixSuffix(PDEVOBJ pdevobj, IPrintOemDriverUni* pUniDrv, DWORD dwSection);

}  // namespace kx
