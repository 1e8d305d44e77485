// A KXPL stream from arbitrary bytes through the whole viewer: the reader,
// the explanation, the labels with their graphics, the fields drawn and the
// finished label. A stream is whatever file a user opens, so nothing in it
// may be trusted. The first byte picks the resolution the command line would
// give (0: found from the stream), the rest is the stream.
#include <cstdint>
#include <sstream>
#include <string_view>

#include "viewer/explain.h"
#include "viewer/fields.h"
#include "viewer/interpret.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    static constexpr int kDpi[4] = {0, 203, 300, 600};
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::ostringstream listing;
    kxview::Explain(stream, listing);
    kxview::ViewOptions options;
    options.dpi = kDpi[data[0] & 3];
    if (data[0] & 4) options.headMm = 104;
    kxview::Report report;
    std::vector<kxview::Label> labels = kxview::Interpret(stream, options, report);
    for (kxview::Label& label : labels) {
        kxview::DrawFields(label, report);
        kxview::FinishLabel(label);
    }
    return 0;
}
