// zlib streams (a two-byte header, deflate blocks, an Adler-32 trailer) as
// PNG files hold their image data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kxhost {

class InflateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Inflates a whole zlib stream: stored, fixed and dynamic Huffman blocks, the
// Adler-32 of the result checked. The output never grows past limit bytes: a
// stream that would give more is an error, so a corrupt stream costs no more
// memory than the caller expects. Bytes after the trailer are ignored.
// Throws InflateError.
std::vector<std::uint8_t> ZlibInflate(const std::uint8_t* data, std::size_t size,
                                      std::size_t limit);

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);

}  // namespace kxhost
