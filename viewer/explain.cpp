#include "viewer/explain.h"

namespace kxview {

void Explain(std::string_view, std::ostream&) {}

}  // namespace kxview
