// The model catalogue as a reader sees it: the plug-in's two rule chains
// (document features, device option flags) printed as Markdown tables, for
// `kxrender --models` and docs/models.md.
#pragma once

#include <string>

namespace kxhost {

// Both chains in the order they are tested, one row per rule: the model-name
// words the rule asks for, its value in hex and the named bits of the value.
std::string ModelCatalogue();

}  // namespace kxhost
