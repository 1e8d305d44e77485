// Simulated backend: the registry, kept as readable text files.
//
// A file starts with comment lines (";") and then holds one section per key:
//
//   [SOFTWARE\Orvane\Driver\Label]
//   "Count"=dword:00000003
//   "Name"=sz:"Printer \"one\""
//   "Blob"=hex:01,02,ff
//
// sim.h lists the value forms. A key path that needs escapes is written as a
// quoted string inside the brackets. Lines the reader does not understand are
// skipped, so a hand-edited file loses only what it got wrong.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/sim_internal.h"

namespace kx::plat {

namespace sim::detail {

namespace {

namespace fs = std::filesystem;

bool IsLoneSurrogate(std::u16string_view s, std::size_t i)
{
    char16_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00)
        return !(i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000);
    if (c >= 0xDC00 && c < 0xE000) return !(i > 0 && s[i - 1] >= 0xD800 && s[i - 1] < 0xDC00);
    return false;
}

bool NeedsEscape(std::u16string_view s, std::size_t i)
{
    char16_t c = s[i];
    return c < 0x20 || c == 0x7F || c == u'"' || c == u'\\' || IsLoneSurrogate(s, i);
}

// "text" with escapes, as UTF-8.
std::string Quote(std::u16string_view s)
{
    std::string r = "\"";
    std::size_t run = 0;  // start of the characters not yet written
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!NeedsEscape(s, i)) continue;
        r += ToUtf8(s.substr(run, i - run));
        run = i + 1;
        char16_t c = s[i];
        switch (c) {
            case u'"':
                r += "\\\"";
                break;
            case u'\\':
                r += "\\\\";
                break;
            case u'\n':
                r += "\\n";
                break;
            case u'\r':
                r += "\\r";
                break;
            case u'\t':
                r += "\\t";
                break;
            default: {
                char buf[8];
                std::snprintf(buf, sizeof(buf), "\\u%04X", static_cast<unsigned>(c));
                r += buf;
            }
        }
    }
    r += ToUtf8(s.substr(run));
    r += '"';
    return r;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after it.
bool Unquote(std::string_view line, std::size_t& pos, std::u16string* out)
{
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    std::u16string r;
    std::string raw;  // UTF-8 not yet decoded
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') {
            r += FromUtf8(raw);
            *out = std::move(r);
            return true;
        }
        if (c != '\\') {
            raw.push_back(c);
            continue;
        }
        if (pos >= line.size()) return false;
        char e = line[pos++];
        char16_t ch;
        switch (e) {
            case '"':
                ch = u'"';
                break;
            case '\\':
                ch = u'\\';
                break;
            case 'n':
                ch = u'\n';
                break;
            case 'r':
                ch = u'\r';
                break;
            case 't':
                ch = u'\t';
                break;
            case 'u': {
                if (pos + 4 > line.size()) return false;
                unsigned v = 0;
                for (int k = 0; k < 4; ++k) {
                    int d = HexDigit(line[pos++]);
                    if (d < 0) return false;
                    v = v * 16 + static_cast<unsigned>(d);
                }
                ch = static_cast<char16_t>(v);
                break;
            }
            default:
                return false;
        }
        r += FromUtf8(raw);
        raw.clear();
        r.push_back(ch);
    }
    return false;
}

std::string Bytes(std::u16string_view s)
{
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(char16_t));
}

std::u16string Chars(std::string_view bytes)
{
    std::u16string r(bytes.size() / 2, u'\0');
    if (!r.empty()) std::memcpy(r.data(), bytes.data(), r.size() * 2);
    return r;
}

// A string value that is one text with exactly one terminating NUL.
bool CleanText(const std::string& data, std::u16string* text)
{
    if (data.size() < 2 || data.size() % 2) return false;
    std::u16string chars = Chars(data);
    if (chars.back() != 0) return false;
    chars.pop_back();
    if (chars.find(u'\0') != std::u16string::npos) return false;
    *text = std::move(chars);
    return true;
}

// A multi-string made of non-empty texts, each NUL-terminated, and a final
// NUL (a single NUL for the empty list).
bool CleanMulti(const std::string& data, std::vector<std::u16string>* list)
{
    if (data.size() < 2 || data.size() % 2) return false;
    std::u16string chars = Chars(data);
    if (chars.back() != 0) return false;
    chars.pop_back();
    list->clear();
    if (chars.empty()) return true;
    if (chars.back() != 0) return false;
    std::size_t start = 0;
    while (start < chars.size()) {
        std::size_t end = chars.find(u'\0', start);
        if (end == start) return false;
        list->push_back(chars.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

std::string HexBytes(const std::string& data)
{
    // By table rather than a formatted print per byte: settings blocks of a
    // few kilobytes are written with every value set.
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string r;
    r.reserve(data.size() * 3);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (i) r += ',';
        r += kDigits[b >> 4];
        r += kDigits[b & 15];
    }
    return r;
}

std::string ValueLine(const RegValue& v)
{
    std::string line = v.name.empty() ? "@" : Quote(v.name);
    line += '=';
    std::u16string text;
    std::vector<std::u16string> list;
    char buf[32];
    if ((v.type == kRegSz || v.type == kRegExpandSz) && CleanText(v.data, &text)) {
        line += v.type == kRegSz ? "sz:" : "expand_sz:";
        line += Quote(text);
    } else if (v.type == kRegMultiSz && CleanMulti(v.data, &list)) {
        line += "multi_sz:";
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (i) line += ',';
            line += Quote(list[i]);
        }
    } else if (v.type == kRegDword && v.data.size() == 4) {
        std::uint32_t d;
        std::memcpy(&d, v.data.data(), 4);
        std::snprintf(buf, sizeof(buf), "dword:%08x", d);
        line += buf;
    } else {
        if (v.type == kRegBinary) {
            line += "hex:";
        } else {
            std::snprintf(buf, sizeof(buf), "hex(%x):", v.type);
            line += buf;
        }
        line += HexBytes(v.data);
    }
    return line;
}

void SkipBlanks(std::string_view line, std::size_t& pos)
{
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

bool ParseHexList(std::string_view s, std::string* out)
{
    out->clear();
    out->reserve(s.size() / 3 + 1);
    std::size_t pos = 0;
    SkipBlanks(s, pos);
    if (pos == s.size()) return true;
    while (true) {
        SkipBlanks(s, pos);
        if (pos + 2 > s.size()) return false;
        int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(static_cast<char>(hi * 16 + lo));
        pos += 2;
        SkipBlanks(s, pos);
        if (pos == s.size()) return true;
        if (s[pos++] != ',') return false;
    }
}

bool ParseValueLine(std::string_view line, RegValue* v)
{
    std::size_t pos = 0;
    if (line[0] == '@') {
        v->name.clear();
        pos = 1;
    } else if (!Unquote(line, pos, &v->name)) {
        return false;
    }
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos++] != '=') return false;
    SkipBlanks(line, pos);
    std::size_t colon = line.find(':', pos);
    if (colon == std::string_view::npos) return false;
    std::string_view kind = line.substr(pos, colon - pos);
    std::string_view rest = line.substr(colon + 1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    if (kind == "sz" || kind == "expand_sz") {
        std::size_t p = 0;
        std::u16string text;
        if (!Unquote(rest, p, &text) || p != rest.size()) return false;
        v->type = kind == "sz" ? kRegSz : kRegExpandSz;
        text.push_back(u'\0');
        v->data = Bytes(text);
        return true;
    }
    if (kind == "multi_sz") {
        std::u16string all;
        std::size_t p = 0;
        while (p < rest.size()) {
            std::u16string item;
            if (!Unquote(rest, p, &item)) return false;
            all += item;
            all.push_back(u'\0');
            SkipBlanks(rest, p);
            if (p < rest.size() && rest[p++] != ',') return false;
            SkipBlanks(rest, p);
        }
        all.push_back(u'\0');
        v->type = kRegMultiSz;
        v->data = Bytes(all);
        return true;
    }
    if (kind == "dword") {
        if (rest.size() != 8) return false;
        std::uint32_t d = 0;
        for (char c : rest) {
            int x = HexDigit(c);
            if (x < 0) return false;
            d = d * 16 + static_cast<std::uint32_t>(x);
        }
        v->type = kRegDword;
        v->data.assign(reinterpret_cast<const char*>(&d), 4);
        return true;
    }
    if (kind == "hex") {
        v->type = kRegBinary;
        return ParseHexList(rest, &v->data);
    }
    if (kind.size() > 5 && kind.substr(0, 4) == "hex(" && kind.back() == ')') {
        std::uint32_t t = 0;
        for (char c : kind.substr(4, kind.size() - 5)) {
            int x = HexDigit(c);
            if (x < 0 || t > 0x0FFFFFFF) return false;
            t = t * 16 + static_cast<std::uint32_t>(x);
        }
        v->type = t;
        return ParseHexList(rest, &v->data);
    }
    return false;
}

std::string KeyLine(std::u16string_view path)
{
    bool quote = !path.empty() && path[0] == u'"';
    for (std::size_t i = 0; i < path.size() && !quote; ++i) {
        char16_t c = path[i];
        quote = c < 0x20 || c == 0x7F || IsLoneSurrogate(path, i);
    }
    return "[" + (quote ? Quote(path) : ToUtf8(path)) + "]";
}

std::u16string FoldedPath(std::u16string_view path)
{
    return Fold(NormalizeKeyPath(path));
}

}  // namespace

// ---- RegKey

const RegValue* RegKey::Find(std::u16string_view name) const
{
    for (const RegValue& v : values)
        if (EqualNoCase(v.name, name)) return &v;
    return nullptr;
}

RegValue* RegKey::Find(std::u16string_view name)
{
    for (RegValue& v : values)
        if (EqualNoCase(v.name, name)) return &v;
    return nullptr;
}

void RegKey::Set(std::u16string_view name, std::uint32_t type, std::string data)
{
    RegValue* v = Find(name);
    if (!v) {
        values.push_back(RegValue{std::u16string(name), type, {}});
        v = &values.back();
    }
    v->type = type;
    v->data = std::move(data);
}

void RegKey::SetSz(std::u16string_view name, std::u16string_view text)
{
    std::u16string t(text);
    t.push_back(u'\0');
    Set(name, kRegSz, Bytes(t));
}

void RegKey::SetDword(std::u16string_view name, std::uint32_t value)
{
    Set(name, kRegDword, std::string(reinterpret_cast<const char*>(&value), 4));
}

bool RegKey::Remove(std::u16string_view name)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (EqualNoCase(it->name, name)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

std::u16string RegKey::GetSz(std::u16string_view name) const
{
    const RegValue* v = Find(name);
    if (!v) return {};
    std::u16string s = Chars(v->data);
    std::size_t nul = s.find(u'\0');
    if (nul != std::u16string::npos) s.resize(nul);
    return s;
}

std::uint32_t RegKey::GetDword(std::u16string_view name, std::uint32_t fallback) const
{
    const RegValue* v = Find(name);
    if (!v || v->data.size() != 4) return fallback;
    std::uint32_t d;
    std::memcpy(&d, v->data.data(), 4);
    return d;
}

// ---- RegTree

std::u16string NormalizeKeyPath(std::u16string_view path)
{
    std::u16string r;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t end = path.find(u'\\', i);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > i) {
            if (!r.empty()) r.push_back(u'\\');
            r.append(path.substr(i, end - i));
        }
        i = end + 1;
    }
    return r;
}

const RegKey* RegTree::Find(std::u16string_view path) const
{
    auto it = keys_.find(FoldedPath(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey* RegTree::Find(std::u16string_view path)
{
    auto it = keys_.find(FoldedPath(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey& RegTree::Create(std::u16string_view path)
{
    std::u16string norm = NormalizeKeyPath(path);
    // Every ancestor first; an existing one keeps the case it was made with.
    RegKey* key = nullptr;
    std::size_t end = 0;
    while (true) {
        end = norm.find(u'\\', end);
        std::u16string prefix = norm.substr(0, end);
        auto [it, added] = keys_.try_emplace(Fold(prefix));
        if (added) it->second.path = prefix;
        key = &it->second;
        if (end == std::u16string::npos) break;
        ++end;
    }
    return *key;
}

bool RegTree::DeleteTree(std::u16string_view path)
{
    std::u16string folded = FoldedPath(path);
    auto it = keys_.find(folded);
    if (it == keys_.end()) return false;
    std::u16string prefix = folded + u'\\';
    keys_.erase(it);
    for (auto k = keys_.begin(); k != keys_.end();) {
        if (folded.empty() || k->first.compare(0, prefix.size(), prefix) == 0)
            k = keys_.erase(k);
        else
            ++k;
    }
    return true;
}

std::vector<const RegKey*> RegTree::Children(std::u16string_view path) const
{
    std::u16string folded = FoldedPath(path);
    std::u16string prefix = folded.empty() ? folded : folded + u'\\';
    std::vector<const RegKey*> r;
    for (const auto& [name, key] : keys_) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (name.find(u'\\', prefix.size()) != std::u16string::npos) continue;
        r.push_back(&key);
    }
    return r;
}

std::string RegTree::Serialize(std::string_view title) const
{
    std::string out = "; ";
    out += title;
    out += "\n; Written by the simulated Windows; one [key] section per key.\n";
    for (const auto& [name, key] : keys_) {
        if (key.path.empty() && key.values.empty()) continue;
        out += '\n';
        out += KeyLine(key.path);
        out += '\n';
        for (const RegValue& v : key.values) {
            out += ValueLine(v);
            out += '\n';
        }
    }
    return out;
}

RegTree RegTree::Parse(std::string_view text)
{
    RegTree tree;
    RegKey* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::size_t start = 0;
        SkipBlanks(line, start);
        line.remove_prefix(start);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            std::size_t close = line.rfind(']');
            current = nullptr;
            if (close == std::string_view::npos || close == 0) continue;
            std::string_view inner = line.substr(1, close - 1);
            std::u16string path;
            if (!inner.empty() && inner[0] == '"') {
                std::size_t p = 0;
                if (!Unquote(inner, p, &path)) continue;
            } else {
                path = FromUtf8(inner);
            }
            current = &tree.Create(path);
            continue;
        }
        RegValue v;
        if (current && ParseValueLine(line, &v)) current->Set(v.name, v.type, std::move(v.data));
    }
    return tree;
}

// ---- RegFile

RegTree RegFile::Read() const
{
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof(buf))) > 0) text.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return RegTree::Parse(text);
}

int RegFile::Lock() const
{
    std::error_code ec;
    fs::create_directories(fs::path(path_).parent_path(), ec);
    int fd = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    return fd;
}

void RegFile::Unlock(int fd) const
{
    if (fd >= 0) ::close(fd);
}

std::uint32_t RegFile::Write(const RegTree& tree) const
{
    std::string title = "Simulated registry file " + fs::path(path_).filename().string();
    std::string text = tree.Serialize(title);
    std::string tmp = path_ + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno == ENOSPC ? kErrDiskFull : kErrAccessDenied;
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            std::uint32_t rc = errno == ENOSPC ? kErrDiskFull : kErrWriteFault;
            ::close(fd);
            ::unlink(tmp.c_str());
            return rc;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path_.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return kErrWriteFault;
    }
    return 0;
}

RegFile HiveFile(Hive hive)
{
    return RegFile(StateDir() +
                   (hive == Hive::CurrentUser ? "/registry/HKCU.reg" : "/registry/HKLM.reg"));
}
RegFile JobsFile()
{
    return RegFile(StateDir() + "/jobs.reg");
}
RegFile VersionsFile()
{
    return RegFile(StateDir() + "/versions.reg");
}

}  // namespace sim::detail

using namespace sim::detail;

// ------------------------------------------------------------ registry API

std::uint32_t RegGetValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t* type, void* data, std::uint32_t* cbData)
{
    if (data && !cbData) return kErrInvalidParameter;
    RegTree tree = HiveFile(hive).Read();
    const RegKey* key = tree.Find(subKey);
    const RegValue* v = key ? key->Find(name) : nullptr;
    if (!v) return kErrFileNotFound;
    if (type) *type = v->type;
    if (!cbData) return 0;
    std::uint32_t size = static_cast<std::uint32_t>(v->data.size());
    if (data && *cbData < size) {
        *cbData = size;
        return kErrMoreData;
    }
    if (data && size) std::memcpy(data, v->data.data(), size);
    *cbData = size;
    return 0;
}

std::uint32_t RegSetValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                          std::uint32_t type, const void* data, std::uint32_t cbData)
{
    if (cbData && !data) return kErrInvalidParameter;
    std::string bytes =
        cbData ? std::string(static_cast<const char*>(data), cbData) : std::string();
    return HiveFile(hive).Update([&](RegTree& tree) {
        tree.Create(subKey).Set(name, type, std::move(bytes));
        return true;
    });
}

std::uint32_t RegDeleteValue(Hive hive, std::u16string_view subKey, std::u16string_view name)
{
    std::uint32_t result = 0;
    std::uint32_t rc = HiveFile(hive).Update([&](RegTree& tree) {
        RegKey* key = tree.Find(subKey);
        if (!key || !key->Remove(name)) {
            result = kErrFileNotFound;
            return false;
        }
        return true;
    });
    return rc ? rc : result;
}

std::uint32_t RegDeleteTree(Hive hive, std::u16string_view subKey)
{
    if (NormalizeKeyPath(subKey).empty()) return kErrInvalidParameter;
    std::uint32_t result = 0;
    std::uint32_t rc = HiveFile(hive).Update([&](RegTree& tree) {
        if (!tree.DeleteTree(subKey)) {
            result = kErrFileNotFound;
            return false;
        }
        return true;
    });
    return rc ? rc : result;
}

}  // namespace kx::plat
