// kxview --explain: every record of a stream in order, with its offset, its
// meaning in words and its values.
#pragma once

#include <ostream>
#include <string_view>

namespace kxview {

// Writes one line (or a few, for field records) per record of the stream.
void Explain(std::string_view stream, std::ostream& out);

}  // namespace kxview
