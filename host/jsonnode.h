// Checked access to a JSON value of the job file. Every accessor knows where
// in the file its value stands and fails with a JobError that says so, in
// the form "pages[0].text[2].height: must be a number from 1 to 10000".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/jobfile.h"

namespace kxhost {

class Node {
public:
    Node(const nlohmann::json& value, std::string where) : v_(&value), where_(std::move(where)) {}

    const std::string& where() const { return where_; }
    const nlohmann::json& json() const { return *v_; }

    [[noreturn]] void Fail(const std::string& message) const;

    // An object whose keys are all among `allowed` (a misspelt key is an
    // error, not silently ignored).
    void ExpectObject(std::initializer_list<std::string_view> allowed) const;
    void ExpectObject() const;
    bool IsObject() const { return v_->is_object(); }
    bool IsArray() const { return v_->is_array(); }
    bool IsString() const { return v_->is_string(); }
    bool IsNumber() const { return v_->is_number(); }

    // A member that may be missing (null counts as missing).
    std::optional<Node> Get(std::string_view key) const;
    // A member that must be there.
    Node Need(std::string_view key) const;
    // The members of an object, in file order, and the items of an array.
    std::vector<std::pair<std::string, Node>> Members() const;
    std::vector<Node> Items() const;

    std::string Str() const;
    std::u16string WStr() const;
    bool Bool() const;
    // An integer within [lo, hi]: a JSON number without fraction, or a
    // string in decimal or "0x" hexadecimal.
    std::int64_t Int(std::int64_t lo, std::int64_t hi) const;
    // Bytes given as a hexadecimal string ("1B 43", "1b43") or an array of
    // numbers 0..255.
    std::vector<std::uint8_t> Bytes() const;

    // The value as it appears in the file, shortened, for messages.
    std::string Show() const;

private:
    const nlohmann::json* v_;
    std::string where_;
};

// "a" + key -> "a.key"; "" + key -> "key".
std::string Child(const std::string& where, std::string_view key);
std::string Item(const std::string& where, std::size_t index);

// UTF-8 (as the JSON library has checked it) to UTF-16 and back.
std::u16string Utf16(std::string_view utf8);
std::string Utf8(std::u16string_view utf16);

}  // namespace kxhost
