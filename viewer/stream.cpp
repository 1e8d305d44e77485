#include "viewer/stream.h"

#include <algorithm>
#include <cctype>

namespace kxview {
namespace {

constexpr unsigned char kSoh = 0x01;
constexpr unsigned char kEtb = 0x17;
constexpr unsigned char kEsc = 0x1B;
constexpr std::string_view kAnnounce = "KXPLStartStop";
constexpr std::size_t kPcxHeader = 128;
constexpr std::size_t kPcxPalette = 769;  // 0x0C and 256 x 3 bytes after 8-bit data

bool Upper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool Digit(char c)
{
    return c >= '0' && c <= '9';
}

// A configuration record's six command characters: letters, digits and the
// "-" filling, beginning with a letter.
bool IsCommandName(std::string_view six)
{
    if (six.size() != 6 || !Upper(six[0])) return false;
    return std::all_of(six.begin(), six.end(),
                       [](char c) { return Upper(c) || Digit(c) || c == '-'; });
}

int HexDigit(char c)
{
    if (Digit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Trimmed(std::string_view name)
{
    while (!name.empty() && name.back() == '-') name.remove_suffix(1);
    return std::string(name);
}

}  // namespace

bool IsOwnStart(unsigned char c)
{
    return c == kSoh || c == '^';
}

unsigned Word16(std::string_view data, std::size_t at)
{
    if (at + 1 >= data.size()) return 0;
    return unsigned(static_cast<unsigned char>(data[at])) |
           (unsigned(static_cast<unsigned char>(data[at + 1])) << 8);
}

std::size_t PcxCodedLength(std::string_view data, std::size_t at, std::size_t need,
                           std::size_t* produced_out)
{
    std::size_t i = at, produced = 0;
    while (produced < need && i < data.size()) {
        const auto b = static_cast<unsigned char>(data[i++]);
        if (b >= 0xC0) {
            if (i >= data.size()) break;  // a run count without its value
            ++i;
            produced += b & 0x3F;
        } else {
            ++produced;
        }
    }
    if (produced_out) *produced_out = produced;
    return i - at;
}

StreamReader::StreamReader(std::string_view stream) : s_(stream) {}

bool StreamReader::IsStart(unsigned char c) const
{
    return IsOwnStart(c) || (userStart_ != 0 && c == userStart_);
}

unsigned char StreamReader::EndFor(unsigned char start) const
{
    if (start == kSoh) return kEtb;
    if (start == '^') return '_';
    return userEnd_;
}

std::size_t StreamReader::FindEnd(std::size_t from, unsigned char end) const
{
    const std::size_t at = s_.find(static_cast<char>(end), from);
    return at == std::string_view::npos ? s_.size() : at;
}

bool StreamReader::Next(Record& r)
{
    if (pos_ >= s_.size()) return false;
    r = Record{};
    r.offset = pos_;
    const auto c = static_cast<unsigned char>(s_[pos_]);
    const std::string_view rest = s_.substr(pos_);
    if (c == kEsc) {
        ReadEscape(r);
    } else if (rest.starts_with(kAnnounce)) {
        ReadAnnounce(r);
    } else if (rest.starts_with("\r\n") || c == '\n' || c == '\r') {
        r.kind = RecordKind::LineEnd;
        r.length = rest.starts_with("\r\n") ? 2 : 1;
    } else if ((c == '\t' || c == '/') && rest.find_first_not_of('\t') != std::string_view::npos &&
               rest.substr(rest.find_first_not_of('\t')).starts_with("//")) {
        ReadComment(r);
    } else if (IsStart(c)) {
        ReadFramed(r);
    } else {
        ReadText(r);
    }
    r.length = std::max<std::size_t>(r.length, 1);  // always make progress
    pos_ = std::min(s_.size(), r.offset + r.length);
    return true;
}

void StreamReader::ReadText(Record& r)
{
    r.kind = RecordKind::Text;
    std::size_t i = pos_ + 1;
    while (i < s_.size()) {
        const auto c = static_cast<unsigned char>(s_[i]);
        if (IsStart(c) || c == kEsc || c == '\r' || c == '\n' || c == '\t' || c == '/' ||
            s_.substr(i).starts_with(kAnnounce))
            break;
        ++i;
    }
    r.length = i - pos_;
    r.param = std::string(s_.substr(pos_, r.length));
}

void StreamReader::ReadComment(Record& r)
{
    r.kind = RecordKind::Comment;
    std::size_t stop = s_.find_first_of("\r\n", pos_);
    if (stop == std::string_view::npos) stop = s_.size();
    const std::size_t slashes = s_.find("//", pos_);
    r.param = std::string(s_.substr(slashes + 2, stop - slashes - 2));
    r.length = stop - pos_;
}

void StreamReader::ReadAnnounce(Record& r)
{
    r.kind = RecordKind::Announce;
    r.code = std::string(kAnnounce);
    const std::size_t at = pos_ + kAnnounce.size();
    if (at + 4 > s_.size()) {
        r.kind = RecordKind::Broken;
        r.param = "announcement cut short";
        r.length = s_.size() - pos_;
        return;
    }
    r.length = kAnnounce.size() + 4;
    r.param = std::string(s_.substr(at, 4));
    if (r.param == "----") {
        userStart_ = userEnd_ = 0;
        return;
    }
    const int d[4] = {HexDigit(r.param[0]), HexDigit(r.param[1]), HexDigit(r.param[2]),
                      HexDigit(r.param[3])};
    if (std::any_of(std::begin(d), std::end(d), [](int v) { return v < 0; }) ||
        (d[0] << 4 | d[1]) == (d[2] << 4 | d[3])) {
        r.kind = RecordKind::Broken;
        r.param = "announcement with characters \"" + r.param + "\" that are not two hex pairs";
        return;
    }
    userStart_ = static_cast<unsigned char>(d[0] << 4 | d[1]);
    userEnd_ = static_cast<unsigned char>(d[2] << 4 | d[3]);
}

void StreamReader::ReadEscape(Record& r)
{
    const std::string_view rest = s_.substr(pos_);
    if (rest.size() >= 2 && rest[1] == 'C') {
        r.kind = RecordKind::LineAbort;
        r.code = "ESC C";
        r.length = 2;
        return;
    }
    if (rest.size() >= 5 && rest[1] == 'B' && rest[2] == 0) {
        r.kind = RecordKind::LineFeed;
        r.code = "ESC B";
        r.param = std::to_string(Word16(rest, 3));
        r.length = 5;
        return;
    }
    if (rest.size() >= 7 && rest[1] == 'A' && rest[2] == 1) {
        const std::size_t len = Word16(rest, 5);
        r.code = "ESC A";
        r.param = std::to_string(Word16(rest, 3));
        if (7 + len > rest.size()) {
            r.kind = RecordKind::Broken;
            r.param = "ESC A line of " + std::to_string(len) + " bytes cut short";
            r.length = rest.size();
            return;
        }
        r.kind = RecordKind::LineRle;
        r.payload = rest.substr(7, len);
        r.length = 7 + len;
        return;
    }
    r.kind = RecordKind::Broken;
    r.param = "unknown or cut escape sequence";
    r.length = 1;
}

void StreamReader::ReadFramed(Record& r)
{
    r.start = static_cast<unsigned char>(s_[pos_]);
    r.end = EndFor(r.start);
    const std::size_t body = pos_ + 1;
    const std::string_view rest = s_.substr(body);
    const std::size_t end = FindEnd(body, r.end);
    auto finish = [&](RecordKind kind) {
        r.kind = kind;
        if (end >= s_.size()) {
            r.kind = RecordKind::Broken;
            r.param = "record without its end character: " + std::string(rest.substr(0, 40));
            r.length = s_.size() - pos_;
            return false;
        }
        r.length = end + 1 - pos_;
        return true;
    };
    if (rest.size() > 6 && rest[6] == 'r' && IsCommandName(rest.substr(0, 6))) {
        r.code = Trimmed(rest.substr(0, 6));
        if (finish(RecordKind::Command)) r.param = std::string(s_.substr(body + 7, end - body - 7));
        return;
    }
    // "AX", "000", Y and X (six digits each) and "1", then the PCX file.
    if (rest.starts_with("AX") && end - body == 18 &&
        std::all_of(rest.begin() + 2, rest.begin() + 18, Digit)) {
        r.code = "AX";
        r.kind = RecordKind::Graphic;
        r.param = std::string(s_.substr(body + 2, 16));
        r.length = end + 1 - pos_;
        ReadGraphic(r, end + 1);
        return;
    }
    if (rest.size() >= 1 && rest[0] == 'D' && rest.size() >= 11 &&
        std::all_of(rest.begin() + 1, rest.begin() + 11, Digit)) {
        r.code = "D";
        ReadLine(r, body);
        return;
    }
    if (rest.starts_with("AM[") || rest.starts_with("BM[") || rest.starts_with("AC[") ||
        rest.starts_with("BV[")) {
        r.code = std::string(rest.substr(0, 2));
        if (!finish(RecordKind::Field)) return;
        const std::string_view inner = s_.substr(body + 3, end - body - 3);
        const std::size_t close = inner.find(']');
        if (close == std::string_view::npos) {
            r.kind = RecordKind::Broken;
            r.param = r.code + "[ without its closing \"]\"";
            return;
        }
        r.number = std::string(inner.substr(0, close));
        r.param = std::string(inner.substr(close + 1));
        return;
    }
    if (rest.starts_with("MA:") || (rest.starts_with("M") && !rest.starts_with("M["))) {
        r.code = rest.starts_with("MA:") ? "MA" : "M";
        if (finish(RecordKind::Store)) ReadStore(r, end + 1);
        return;
    }
    // Standard protocol: AB and EE, then A, B and C followed by the field number.
    for (std::string_view code : {"AB", "EE", "A", "B", "C"}) {
        if (!rest.starts_with(code)) continue;
        if (code.size() == 1 && (rest.size() < 3 || !Digit(rest[1]) || !Digit(rest[2]))) continue;
        r.code = std::string(code);
        if (!finish(RecordKind::Field)) return;
        std::size_t at = body + code.size();
        if (code.size() == 1 && code != "A") {
            r.number = std::string(s_.substr(at, 2));
            at += 2;
        }
        r.param = std::string(s_.substr(at, end - at));
        return;
    }
    // Anything else framed: direct text or a raw command the driver passed on.
    if (finish(RecordKind::Field)) r.param = std::string(s_.substr(body, end - body));
}

void StreamReader::ReadGraphic(Record& r, std::size_t afterEnd)
{
    const std::string_view pcx = s_.substr(std::min(afterEnd, s_.size()));
    if (pcx.size() < kPcxHeader) {
        r.kind = RecordKind::Broken;
        r.param = "graphics record cut short in its PCX header";
        r.length = s_.size() - pos_;
        return;
    }
    const unsigned yMin = Word16(pcx, 6), yMax = Word16(pcx, 10);
    const unsigned bytesPerLine = Word16(pcx, 66);
    const unsigned planes = static_cast<unsigned char>(pcx[65]);
    const unsigned bits = static_cast<unsigned char>(pcx[3]);
    const std::size_t rows = yMax >= yMin ? yMax - yMin + 1 : 0;
    const std::size_t need = rows * bytesPerLine * std::max(1u, planes);
    std::size_t produced = 0;
    const std::size_t coded = PcxCodedLength(pcx, kPcxHeader, need, &produced);
    std::size_t total = kPcxHeader + coded;
    if (bits == 8 && planes == 1) total += kPcxPalette;
    // Data that ends before the rows are complete is cut short too.
    if (total > pcx.size() || produced < need) {
        r.kind = RecordKind::Broken;
        r.param = "graphics record cut short in its PCX data";
        r.payload = pcx;
        r.length = s_.size() - pos_;
        return;
    }
    r.payload = pcx.substr(0, total);
    r.length = afterEnd + total - pos_;
}

void StreamReader::ReadLine(Record& r, std::size_t body)
{
    // "D", four digits row, three digits byte offset, three digits byte count,
    // the bytes, the end character.
    r.param = std::string(s_.substr(body + 1, 10));
    const std::size_t count = std::stoul(r.param.substr(7, 3));
    const std::size_t data = body + 11;
    if (data + count + 1 > s_.size()) {
        r.kind = RecordKind::Broken;
        r.param = "line record D" + r.param + " cut short";
        r.length = s_.size() - pos_;
        return;
    }
    r.kind = static_cast<unsigned char>(s_[data + count]) == r.end ? RecordKind::Line
                                                                   : RecordKind::Broken;
    r.payload = s_.substr(data, count);
    if (r.kind == RecordKind::Broken) r.param = "line record D" + r.param + " without its end";
    r.length = data + count + 1 - pos_;
}

void StreamReader::ReadStore(Record& r, std::size_t afterEnd)
{
    // The name and "*" and the byte count, then the end character, then the bytes.
    const std::string text(
        s_.substr(pos_ + 1 + r.code.size(), afterEnd - 2 - pos_ - r.code.size()));
    const std::size_t star = text.rfind('*');
    const std::string digits = star == std::string::npos ? "" : text.substr(star + 1);
    if (digits.empty() || digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), Digit)) {
        // Not a store record after all: framed text that begins with "M".
        r.kind = RecordKind::Field;
        r.param = r.code + text;
        r.code.clear();
        return;
    }
    r.param = text.substr(0, star);
    const std::size_t count = std::stoul(digits);
    if (afterEnd + count > s_.size()) {
        r.kind = RecordKind::Broken;
        r.param = "store record of " + digits + " bytes cut short";
        r.length = s_.size() - pos_;
        return;
    }
    r.payload = s_.substr(afterEnd, count);
    r.length = afterEnd + count - pos_;
}

std::vector<Record> ReadRecords(std::string_view stream)
{
    std::vector<Record> out;
    StreamReader reader(stream);
    Record r;
    while (reader.Next(r)) out.push_back(std::move(r));
    return out;
}

}  // namespace kxview
