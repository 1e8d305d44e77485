// The run-length code of the printer's graphics: the line records of the
// graphics filter and the PCX data of the graphics records share it.
//
// Bytes are coded left to right in runs of equal bytes of at most 63:
//   a run of n bytes of value v (2 <= n <= 63)   0xC0 | n, v
//   a single byte v below 0xC0                   v
//   a single byte v of 0xC0 or above             0xC1, v
// A run that reaches 63 is written out at once (0xFF, v) and the next equal
// byte starts a new run. Runs never cross the end of the input, so a PCX row
// is coded by one call per row.
#pragma once

#include <cstddef>
#include <span>

#include "platform/kxtypes.h"

namespace kx {

constexpr std::size_t kMaxRunLength = 63;

// Worst-case output of n input bytes: every byte a single byte of 0xC0 or
// above. n bytes never need more than twice their size.
constexpr std::size_t RunLengthWorstCase(std::size_t n)
{
    return 2 * n;
}

// Codes in into out and returns the bytes written. With out at least
// RunLengthWorstCase(in.size()) the whole input is coded; a shorter out
// receives as many whole codes as fit (the caller sees the shortfall in the
// returned size being less than a complete coding would need, see
// RunLengthSize).
std::size_t EncodeRunLength(std::span<const BYTE> in, std::span<BYTE> out);

// The exact size the coding of in takes, without writing it.
std::size_t RunLengthSize(std::span<const BYTE> in);

// Decodes run-length data (used by tests and tools). Stops at the end of in
// or when out is full; returns the bytes written. A count byte at the very
// end of in without its value is ignored.
std::size_t DecodeRunLength(std::span<const BYTE> in, std::span<BYTE> out);

}  // namespace kx
