// kxview: draws the labels a KXPL stream prints as PNG files, or explains
// every record of it.
//
//   kxview STREAM.kxpl -o LABEL.png [--label N] [--dpi D] [--width MM]
//          [--length MM] [--head MM] [--explain]
//
// Exit status: 0 drawn (or explained), 1 usage error, 2 the stream cannot be
// read, holds no label, or a picture cannot be written.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "viewer/explain.h"
#include "viewer/fields.h"
#include "viewer/interpret.h"
#include "viewer/png_out.h"

namespace {

constexpr const char* kUsage =
    "usage: kxview STREAM.kxpl -o LABEL.png [--label N] [--dpi D] [--width MM] [--length MM] "
    "[--head MM] [--explain]\n";

int Usage(const std::string& message)
{
    std::fprintf(stderr, "kxview: %s\n%s", message.c_str(), kUsage);
    return 1;
}

// A number argument within its bounds; false for text, trailing characters
// or a value out of range.
bool Value(const char* text, double low, double high, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= low && v <= high)) return false;
    out = v;
    return true;
}

// OUT with "-N" before its extension: label.png -> label-2.png.
std::string Numbered(const std::string& out, std::size_t n)
{
    const std::size_t slash = out.find_last_of('/');
    const std::size_t dot = out.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && dot != 0 && (slash == std::string::npos || dot > slash + 1);
    const std::size_t at = hasExtension ? dot : out.size();
    return out.substr(0, at) + "-" + std::to_string(n) + out.substr(at);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string input, output;
    double labelNumber = 0;
    bool explain = false;
    kxview::ViewOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double v = 0;
        if (arg == "--explain") {
            explain = true;
        } else if (arg == "-o") {
            if (!hasValue) return Usage("-o needs a file name");
            output = argv[++i];
        } else if (arg == "--label") {
            if (!hasValue || !Value(argv[++i], 1, 1e6, labelNumber) ||
                labelNumber != double(long(labelNumber)))
                return Usage("--label needs a label number from 1");
        } else if (arg == "--dpi") {
            if (!hasValue || !Value(argv[++i], 50, 2400, v))
                return Usage("--dpi needs a resolution from 50 to 2400");
            options.dpi = int(v);
        } else if (arg == "--width" || arg == "--length" || arg == "--head") {
            if (!hasValue || !Value(argv[++i], 1, 2000, v))
                return Usage(arg + " needs millimetres from 1 to 2000");
            (arg == "--width"    ? options.widthMm
             : arg == "--length" ? options.lengthMm
                                 : options.headMm) = v;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else if (input.empty()) {
            input = arg;
        } else {
            return Usage("one stream at a time (" + arg + ")");
        }
    }
    if (input.empty()) return Usage("no stream given");
    if (output.empty() && !explain) return Usage("no output file given (-o LABEL.png)");

    std::ifstream file(input, std::ios::binary);
    std::ostringstream bytes;
    if (!file || !(bytes << file.rdbuf())) {
        std::fprintf(stderr, "kxview: cannot read %s\n", input.c_str());
        return 2;
    }
    const std::string stream = bytes.str();
    if (explain) {
        kxview::Explain(stream, std::cout);
        if (output.empty()) return 0;
    }

    kxview::Report report;
    std::vector<kxview::Label> labels = kxview::Interpret(stream, options, report);
    int status = 0;
    if (labels.empty()) {
        report.lines.push_back("kxview: " + input + " holds no label");
        status = 2;
    } else if (labelNumber > labels.size()) {
        report.lines.push_back("kxview: " + input + " holds " + std::to_string(labels.size()) +
                               " labels, no label " + std::to_string(long(labelNumber)));
        status = 1;
    }
    for (std::size_t i = 0; status == 0 && i < labels.size(); ++i) {
        if (labelNumber > 0 && i + 1 != std::size_t(labelNumber)) continue;
        kxview::Label& label = labels[i];
        kxview::DrawFields(label, report);
        kxview::FinishLabel(label);
        const bool one = labelNumber > 0 || labels.size() == 1;
        const std::string path = one ? output : Numbered(output, i + 1);
        std::string error;
        if (!kxview::WritePng(label.canvas, label.geometry.dpi, path, &error)) {
            report.lines.push_back("kxview: " + path + ": " + error);
            status = 2;
        } else if (!one) {
            report.lines.push_back("label " + std::to_string(i + 1) + ": " + path);
        }
    }
    for (const std::string& line : report.lines) std::fprintf(stderr, "%s\n", line.c_str());
    return status;
}
