// The KXPL byte stream cut into its records, as the printer reads it: one
// reader for kxview and for the tests that look into streams. It knows the
// framing only (start and end characters, the binary payloads that follow
// graphics, line and store records, comments and line ends); what a record
// means is for the interpreter (label.h) and the explainer (explain.h).
//
// This reader shares nothing with the plug-in's writers: it is written from
// the printer's side so that it can disagree with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kxview {

enum class RecordKind {
    Command,    // configuration record: six letters, "r", parameter ("FCCL", "0001000")
    Field,      // field record: AM[n], BM[n], AC[n], BV[name], and AB, B, C, A, EE of the
                // standard protocol; code is the letters, param the rest
    Graphic,    // AX: position in param, the PCX file (header and run-length data) in payload
    Line,       // D: row, byte offset and byte count in param, the dot bytes in payload
    LineRle,    // ESC "A" 0x01: byte offset in param, run-length coded dot bytes in payload
    LineFeed,   // ESC "B" 0x00: the rows to advance in param
    LineAbort,  // ESC "C"
    Store,      // M, MA: the file name in param, the bytes stored in payload
    Announce,   // "KXPLStartStop" with the new start and end characters, or "----" (reset)
    Comment,    // tab, "//", text up to the line end; param is the text after "//"
    LineEnd,    // "\r\n" (or a lone "\n")
    Text,       // bytes outside any record (pass-through data, stray characters)
    Broken,     // a record cut short or malformed: param says what is wrong
};

struct Record {
    std::size_t offset = 0;  // first byte in the stream
    std::size_t length = 0;  // bytes taken, payload and end character included
    RecordKind kind = RecordKind::Text;
    std::string code;          // letters that name it: "FCCL", "AM", "AX", "D", "M", ...
    std::string number;        // field number or name between "[" and "]" of AM/BM/AC/BV
    std::string param;         // the parameter text (filling "-" kept as sent)
    std::string_view payload;  // binary data that belongs to the record (view into the stream)
    unsigned char start = 0;   // the start and end characters in force for this record
    unsigned char end = 0;
};

// The characters a printer takes as start and end of a record before any
// announcement: SOH/ETB and "^"/"_" both.
bool IsOwnStart(unsigned char c);

// Reads records one after another. Never throws and never reads outside the
// stream; a record that is cut short becomes a Broken record and reading goes
// on after it. Memory stays bounded by the stream (records hold views and
// short strings).
class StreamReader {
public:
    explicit StreamReader(std::string_view stream);

    // The next record, or false at the end of the stream.
    bool Next(Record& r);

    // The user-defined characters in force (0 when the printer's own apply).
    unsigned char UserStart() const { return userStart_; }
    unsigned char UserEnd() const { return userEnd_; }

private:
    bool IsStart(unsigned char c) const;
    unsigned char EndFor(unsigned char start) const;
    void ReadFramed(Record& r);
    void ReadEscape(Record& r);
    void ReadAnnounce(Record& r);
    void ReadComment(Record& r);
    void ReadText(Record& r);
    void ReadGraphic(Record& r, std::size_t afterEnd);
    void ReadLine(Record& r, std::size_t body);
    void ReadStore(Record& r, std::size_t afterEnd);
    std::size_t FindEnd(std::size_t from, unsigned char end) const;

    std::string_view s_;
    std::size_t pos_ = 0;
    unsigned char userStart_ = 0;
    unsigned char userEnd_ = 0;
};

// All records of a stream.
std::vector<Record> ReadRecords(std::string_view stream);

// The bytes of PCX run-length data that decode to `need` bytes, from `at`;
// the result stops at the end of the data when it runs out first, and
// *produced (when given) tells how many bytes were decoded.
std::size_t PcxCodedLength(std::string_view data, std::size_t at, std::size_t need,
                           std::size_t* produced = nullptr);

// A little-endian 16-bit value at `at` (0 when outside the data).
unsigned Word16(std::string_view data, std::size_t at);

}  // namespace kxview
