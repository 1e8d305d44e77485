// Internals of the simulated backend, shared by its *_sim.cpp files.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/sim.h"

namespace kx::plat::sim::detail {

// ---- Win32 error codes the simulation reports
constexpr std::uint32_t kErrFileNotFound = 2;
constexpr std::uint32_t kErrPathNotFound = 3;
constexpr std::uint32_t kErrAccessDenied = 5;
constexpr std::uint32_t kErrInvalidHandle = 6;
constexpr std::uint32_t kErrNotEnoughMemory = 8;
constexpr std::uint32_t kErrInvalidData = 13;
constexpr std::uint32_t kErrNotSameDevice = 17;
constexpr std::uint32_t kErrWriteFault = 29;
constexpr std::uint32_t kErrSharingViolation = 32;
constexpr std::uint32_t kErrFileExists = 80;
constexpr std::uint32_t kErrInvalidParameter = 87;
constexpr std::uint32_t kErrDiskFull = 112;
constexpr std::uint32_t kErrInvalidName = 123;
constexpr std::uint32_t kErrNegativeSeek = 131;
constexpr std::uint32_t kErrDirNotEmpty = 145;
constexpr std::uint32_t kErrAlreadyExists = 183;
constexpr std::uint32_t kErrFilenameExcedRange = 206;
constexpr std::uint32_t kErrMoreData = 234;
constexpr std::uint32_t kErrDirectory = 267;
constexpr std::uint32_t kErrUnknownPrinterDriver = 1797;
constexpr std::uint32_t kErrInvalidPrinterName = 1801;
constexpr std::uint32_t kErrResourceTypeNotFound = 1813;
constexpr std::uint32_t kErrInvalidPrinterState = 1906;
constexpr std::uint32_t kErrSplNoStartDoc = 3004;

// Sets the last error and returns false (for "return Fail(code);").
bool Fail(std::uint32_t code);

// ---- text
std::string ToUtf8(std::u16string_view s);
std::u16string FromUtf8(std::string_view s);
// Case folding for names: ASCII and Latin-1 letters compare equal to their
// capitals (ÿ to Ÿ); everything else compares exactly.
char16_t FoldChar(char16_t c);
std::u16string Fold(std::u16string_view s);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);

// ---- clock
// The fixed local time when one is configured (Sleep advances it).
std::optional<SystemTime> FixedNow();
// Days since 1970-01-01 of a civil date, and back.
std::int64_t DaysFromCivil(int y, unsigned m, unsigned d);
// "YYYY-MM-DD hh:mm:ss[.mmm]"; nullopt when malformed.
std::optional<SystemTime> ParseTime(std::string_view text);
std::string FormatTime(const SystemTime& t);
// A local time as FILETIME (UTC) of this machine's time zone.
std::uint64_t LocalTimeToFileTime(const SystemTime& t);

// ---- state folder
std::string StateDir();

// ---- registry-shaped stores
// A tree of keys with typed values. Keys are addressed by their full path
// ("A\B\C"); every ancestor of a key exists as a key of its own. Names keep
// the case they were created with and compare case-insensitively.
struct RegValue {
    std::u16string name;
    std::uint32_t type = 0;
    std::string data;
};
struct RegKey {
    std::u16string path;
    std::vector<RegValue> values;  // in the order they were created

    const RegValue* Find(std::u16string_view name) const;
    RegValue* Find(std::u16string_view name);
    void Set(std::u16string_view name, std::uint32_t type, std::string data);
    void SetSz(std::u16string_view name, std::u16string_view text);
    void SetDword(std::u16string_view name, std::uint32_t value);
    bool Remove(std::u16string_view name);
    // The text of a string value (up to its first NUL); "" when missing.
    std::u16string GetSz(std::u16string_view name) const;
    std::uint32_t GetDword(std::u16string_view name, std::uint32_t fallback = 0) const;
};

// "a\\b\c\" -> "a\b\c": empty segments are dropped.
std::u16string NormalizeKeyPath(std::u16string_view path);

class RegTree {
public:
    const RegKey* Find(std::u16string_view path) const;
    RegKey* Find(std::u16string_view path);
    // The key, created with its ancestors when missing.
    RegKey& Create(std::u16string_view path);
    // Removes the key and everything below it; false when it did not exist.
    bool DeleteTree(std::u16string_view path);
    // Direct subkeys of a key, in folded name order.
    std::vector<const RegKey*> Children(std::u16string_view path) const;

    // The file form: a readable text (see registry_sim.cpp).
    std::string Serialize(std::string_view title) const;
    static RegTree Parse(std::string_view text);

private:
    std::map<std::u16string, RegKey> keys_;  // by folded normalized path
};

// A RegTree kept in one text file. Every read goes to the file, so that the
// other copy of this layer in the process (and other processes) always see
// the latest writes; writes replace the file atomically under a lock.
class RegFile {
public:
    explicit RegFile(std::string path) : path_(std::move(path)) {}
    RegTree Read() const;
    // Reads the tree, lets change() edit it and writes it back when change()
    // returns true. 0 or a Win32 error code for a failed write.
    template <class F>
    std::uint32_t Update(F&& change)
    {
        int lock = Lock();
        RegTree tree = Read();
        std::uint32_t rc = 0;
        if (change(tree)) rc = Write(tree);
        Unlock(lock);
        return rc;
    }

private:
    int Lock() const;
    void Unlock(int fd) const;
    std::uint32_t Write(const RegTree& tree) const;
    std::string path_;
};

// The hive files and the private stores of the simulation.
RegFile HiveFile(Hive hive);
RegFile JobsFile();
RegFile VersionsFile();

// ---- handles
// Every handle of the simulation points to a heap object that starts with a
// magic number naming its kind. The objects are never given back to the
// system: a closed one is marked dead and reused for a later handle of its
// kind, so that a stale or foreign handle reads a wrong magic number and
// gives ERROR_INVALID_HANDLE instead of touching freed memory. Handles work
// across the copies of this layer in one process, as they must: the host
// opens a printer and the plug-in module uses the handle.
struct SimObject {
    std::uint32_t magic = 0;
};
constexpr std::uint32_t kDeadMagic = 0xDEADDEADu;

// The object behind h when it is a live T, else null.
template <class T>
T* FromHandle(Handle h)
{
    auto addr = reinterpret_cast<std::uintptr_t>(h);
    if (!h || h == kInvalidHandle || addr < 0x10000 || addr % alignof(T) != 0) return nullptr;
    auto* obj = static_cast<SimObject*>(h);
    if (obj->magic != T::kMagic) return nullptr;
    return static_cast<T*>(obj);
}

// New and closed objects of one kind.
template <class T>
class HandlePool {
public:
    T* Get()
    {
        T* p = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                p = free_.back();
                free_.pop_back();
            }
        }
        if (p)
            *p = T{};
        else
            p = new T{};
        p->magic = T::kMagic;
        return p;
    }
    void Put(T* p)
    {
        *p = T{};
        p->magic = kDeadMagic;
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(p);
    }

private:
    std::mutex mutex_;
    std::vector<T*> free_;
};

}  // namespace kx::plat::sim::detail
