#include "host/jsonnode.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kxhost {

using nlohmann::json;

std::string Child(const std::string& where, std::string_view key)
{
    return where.empty() ? std::string(key) : where + "." + std::string(key);
}

std::string Item(const std::string& where, std::size_t index)
{
    return where + "[" + std::to_string(index) + "]";
}

std::u16string Utf16(std::string_view s)
{
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else {
            cp = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf8(std::u16string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

void Node::Fail(const std::string& message) const
{
    throw JobError(where_.empty() ? message : where_ + ": " + message);
}

std::string Node::Show() const
{
    std::string text = v_->dump();
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

namespace {

const char* TypeName(const json& v)
{
    switch (v.type()) {
        case json::value_t::object:
            return "an object";
        case json::value_t::array:
            return "an array";
        case json::value_t::string:
            return "a string";
        case json::value_t::boolean:
            return "true/false";
        case json::value_t::null:
            return "null";
        default:
            return "a number";
    }
}

}  // namespace

void Node::ExpectObject() const
{
    if (!v_->is_object()) Fail(std::string("must be an object, not ") + TypeName(*v_));
}

void Node::ExpectObject(std::initializer_list<std::string_view> allowed) const
{
    ExpectObject();
    for (const auto& [key, value] : v_->items()) {
        if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
        std::string list;
        for (std::string_view a : allowed) {
            if (!list.empty()) list += ", ";
            list += a;
        }
        throw JobError(Child(where_, key) + ": unknown key (known here: " + list + ")");
    }
}

std::optional<Node> Node::Get(std::string_view key) const
{
    ExpectObject();
    auto it = v_->find(std::string(key));
    if (it == v_->end() || it->is_null()) return std::nullopt;
    return Node(*it, Child(where_, key));
}

Node Node::Need(std::string_view key) const
{
    std::optional<Node> n = Get(key);
    if (!n) Fail("missing key \"" + std::string(key) + "\"");
    return *n;
}

std::vector<std::pair<std::string, Node>> Node::Members() const
{
    ExpectObject();
    std::vector<std::pair<std::string, Node>> out;
    for (const auto& [key, value] : v_->items())
        out.emplace_back(key, Node(value, Child(where_, key)));
    return out;
}

std::vector<Node> Node::Items() const
{
    if (!v_->is_array()) Fail(std::string("must be an array, not ") + TypeName(*v_));
    std::vector<Node> out;
    for (std::size_t i = 0; i < v_->size(); ++i) out.emplace_back((*v_)[i], Item(where_, i));
    return out;
}

std::string Node::Str() const
{
    if (!v_->is_string()) Fail(std::string("must be a string, not ") + TypeName(*v_));
    return v_->get<std::string>();
}

std::u16string Node::WStr() const
{
    return Utf16(Str());
}

bool Node::Bool() const
{
    if (v_->is_boolean()) return v_->get<bool>();
    if (v_->is_number_integer() && (v_->get<std::int64_t>() == 0 || v_->get<std::int64_t>() == 1))
        return v_->get<std::int64_t>() == 1;
    Fail(std::string("must be true or false, not ") + Show());
}

std::int64_t Node::Int(std::int64_t lo, std::int64_t hi) const
{
    auto range = [&] {
        return "must be an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
    };
    std::int64_t value = 0;
    if (v_->is_number_integer()) {
        if (v_->is_number_unsigned() && v_->get<std::uint64_t>() > INT64_MAX)
            Fail(range() + " (got " + Show() + ")");
        value = v_->get<std::int64_t>();
    } else if (v_->is_number_float()) {
        double d = v_->get<double>();
        if (std::floor(d) != d || std::fabs(d) > 9e15) Fail(range() + " (got " + Show() + ")");
        value = static_cast<std::int64_t>(d);
    } else if (v_->is_string()) {
        std::string s = v_->get<std::string>();
        bool neg = !s.empty() && s[0] == '-';
        std::string digits = neg ? s.substr(1) : s;
        int base = 10;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            base = 16;
            digits = digits.substr(2);
        }
        if (digits.empty() || digits.size() > 16) Fail(range() + " (got " + Show() + ")");
        std::uint64_t u = 0;
        for (char c : digits) {
            int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                        ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                        : -1;
            if (d < 0) Fail(range() + " (got " + Show() + ")");
            u = u * base + d;
        }
        if (u > static_cast<std::uint64_t>(INT64_MAX)) Fail(range() + " (got " + Show() + ")");
        value = neg ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
    } else {
        Fail(range() + ", not " + TypeName(*v_));
    }
    if (value < lo || value > hi) Fail(range() + " (got " + Show() + ")");
    return value;
}

std::vector<std::uint8_t> Node::Bytes() const
{
    std::vector<std::uint8_t> out;
    if (v_->is_array()) {
        for (const Node& item : Items()) out.push_back(static_cast<std::uint8_t>(item.Int(0, 255)));
        return out;
    }
    if (!v_->is_string()) Fail("must be a hexadecimal string or an array of bytes");
    std::string hex;
    for (char c : v_->get<std::string>()) {
        if (c == ' ' || c == ',' || c == ':' || c == '\n') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            Fail("must be hexadecimal digits, not " + Show());
        hex.push_back(c);
    }
    if (hex.size() % 2) Fail("has an odd number of hexadecimal digits");
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

}  // namespace kxhost
