// Simulated backend: configuration, last error, time, identity, code pages,
// heap blocks and the engine calls.
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/backend.h"
#include "platform/codepages.h"
#include "platform/sim_internal.h"

namespace kx::plat {

namespace sim::detail {

namespace {

// Sleep under a fixed clock advances the clock of this copy of the layer.
// The offset belongs to one setting of the clock: a new KX_SIM_CLOCK or a new
// KX_SIM_CLOCK_EPOCH (bumped by Configure and SetClock) starts it afresh.
struct ClockState {
    std::mutex mutex;
    std::string clock;
    std::string epoch;
    std::int64_t offsetMs = 0;
    std::uint64_t sleptMs = 0;  // all simulated sleeping, for GetTickCount64
};
ClockState& Clock()
{
    static ClockState state;
    return state;
}

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

void SetEnv(const char* name, const std::string& value)
{
    if (value.empty())
        ::unsetenv(name);
    else
        ::setenv(name, value.c_str(), 1);
}

void BumpClockEpoch()
{
    unsigned long long n = std::strtoull(Env("KX_SIM_CLOCK_EPOCH").c_str(), nullptr, 10);
    SetEnv("KX_SIM_CLOCK_EPOCH", std::to_string(n + 1));
    ClockState& c = Clock();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.clock = Env("KX_SIM_CLOCK");
    c.epoch = Env("KX_SIM_CLOCK_EPOCH");
    c.offsetMs = 0;
}

std::int64_t ToMs(const SystemTime& t)
{
    std::int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay);
    return ((days * 24 + t.wHour) * 60 + t.wMinute) * 60000 + t.wSecond * 1000 + t.wMilliseconds;
}

SystemTime FromMs(std::int64_t ms)
{
    std::int64_t days = ms / 86400000;
    std::int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
    std::int64_t z = days + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    SystemTime t;
    t.wYear = static_cast<std::uint16_t>(y);
    t.wMonth = static_cast<std::uint16_t>(m);
    t.wDay = static_cast<std::uint16_t>(d);
    t.wDayOfWeek = static_cast<std::uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01: Thursday
    t.wHour = static_cast<std::uint16_t>(rest / 3600000);
    t.wMinute = static_cast<std::uint16_t>(rest / 60000 % 60);
    t.wSecond = static_cast<std::uint16_t>(rest / 1000 % 60);
    t.wMilliseconds = static_cast<std::uint16_t>(rest % 1000);
    return t;
}

std::optional<std::uint64_t> ParseUnsigned(const std::string& s)
{
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s.c_str(), &end, 10);
    if (errno || *end || s[0] == '-') return std::nullopt;
    return v;
}

}  // namespace

bool Fail(std::uint32_t code)
{
    SetLastError(code);
    return false;
}

std::string ToUtf8(std::u16string_view s)
{
    return EncodeCodePage(kCpUtf8, s);
}
std::u16string FromUtf8(std::string_view s)
{
    return DecodeCodePage(kCpUtf8, s);
}

char16_t FoldChar(char16_t c)
{
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x178;
    return c;
}

std::u16string Fold(std::u16string_view s)
{
    std::u16string r(s);
    for (char16_t& c : r) c = FoldChar(c);
    return r;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

std::int64_t DaysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yoe = y - era * 400;
    std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<SystemTime> ParseTime(std::string_view text)
{
    // "YYYY-MM-DD hh:mm:ss" with an optional fraction of up to three digits.
    std::size_t pos = 0;
    auto number = [&](std::size_t digits, unsigned* out) {
        unsigned v = 0;
        for (std::size_t i = 0; i < digits; ++i, ++pos) {
            if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
            v = v * 10 + static_cast<unsigned>(text[pos] - '0');
        }
        *out = v;
        return true;
    };
    auto literal = [&](char c) { return pos < text.size() && text[pos++] == c; };
    unsigned y, mo, d, h, mi, s, ms = 0;
    if (!number(4, &y) || !literal('-') || !number(2, &mo) || !literal('-') || !number(2, &d) ||
        !literal(' ') || !number(2, &h) || !literal(':') || !number(2, &mi) || !literal(':') ||
        !number(2, &s))
        return std::nullopt;
    if (pos < text.size()) {
        if (!literal('.')) return std::nullopt;
        std::size_t digits = text.size() - pos;
        if (digits < 1 || digits > 3 || !number(digits, &ms)) return std::nullopt;
        for (std::size_t i = digits; i < 3; ++i) ms *= 10;
    }
    static const unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1601 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo == 2 && d == 29 && !leap) return std::nullopt;
    SystemTime t;
    t.wYear = static_cast<std::uint16_t>(y);
    t.wMonth = static_cast<std::uint16_t>(mo);
    t.wDay = static_cast<std::uint16_t>(d);
    t.wHour = static_cast<std::uint16_t>(h);
    t.wMinute = static_cast<std::uint16_t>(mi);
    t.wSecond = static_cast<std::uint16_t>(s);
    t.wMilliseconds = static_cast<std::uint16_t>(ms);
    return FromMs(ToMs(t));  // fills in the day of the week
}

std::string FormatTime(const SystemTime& t)
{
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return buf;
}

std::optional<SystemTime> FixedNow()
{
    std::string raw = Env("KX_SIM_CLOCK");
    std::optional<SystemTime> base = ParseTime(raw);
    if (!base) return std::nullopt;
    ClockState& c = Clock();
    std::lock_guard<std::mutex> lock(c.mutex);
    std::string epoch = Env("KX_SIM_CLOCK_EPOCH");
    if (raw != c.clock || epoch != c.epoch) {
        c.clock = raw;
        c.epoch = epoch;
        c.offsetMs = 0;
    }
    return FromMs(ToMs(*base) + c.offsetMs);
}

std::uint64_t LocalTimeToFileTime(const SystemTime& t)
{
    struct tm tm {};
    tm.tm_year = t.wYear - 1900;
    tm.tm_mon = t.wMonth - 1;
    tm.tm_mday = t.wDay;
    tm.tm_hour = t.wHour;
    tm.tm_min = t.wMinute;
    tm.tm_sec = t.wSecond;
    tm.tm_isdst = -1;
    time_t secs = ::mktime(&tm);
    return static_cast<std::uint64_t>(
        (static_cast<std::int64_t>(secs) + 11644473600LL) * 10000000LL + t.wMilliseconds * 10000LL);
}

std::string StateDir()
{
    return sim::Current().stateDir;
}

}  // namespace sim::detail

using namespace sim::detail;

// ------------------------------------------------------------ configuration

namespace sim {

Config Current()
{
    Config c;
    c.stateDir = Env("KX_SIM_STATE");
    if (c.stateDir.empty()) c.stateDir = "./kxsim-state";
    c.rootDir = Env("KX_SIM_ROOT");
    if (c.rootDir.empty()) c.rootDir = c.stateDir + "/drives";
    c.fixedClock = FixedNow();
    std::string user = Env("KX_SIM_USER");
    if (!user.empty()) c.userName = FromUtf8(user);
    std::string computer = Env("KX_SIM_COMPUTER");
    if (!computer.empty()) c.computerName = FromUtf8(computer);
    if (auto bytes = ParseUnsigned(Env("KX_SIM_FREE_BYTES")))
        c.freeBytes = *bytes;
    else if (auto mb = ParseUnsigned(Env("KX_SIM_FREE_MB")))
        c.freeBytes = *mb * 1024 * 1024;
    c.spoolFile = Env("KX_SIM_SPOOL");
    return c;
}

void Configure(const Config& config)
{
    SetEnv("KX_SIM_STATE", config.stateDir);
    SetEnv("KX_SIM_ROOT", config.rootDir);
    SetEnv("KX_SIM_CLOCK", config.fixedClock ? FormatTime(*config.fixedClock) : "");
    SetEnv("KX_SIM_USER", ToUtf8(config.userName));
    SetEnv("KX_SIM_COMPUTER", ToUtf8(config.computerName));
    if (config.freeBytes) {
        SetEnv("KX_SIM_FREE_BYTES", std::to_string(*config.freeBytes));
        SetEnv("KX_SIM_FREE_MB", std::to_string(*config.freeBytes / (1024 * 1024)));
    } else {
        SetEnv("KX_SIM_FREE_BYTES", "");
        SetEnv("KX_SIM_FREE_MB", "");
    }
    SetEnv("KX_SIM_SPOOL", config.spoolFile);
    BumpClockEpoch();
}

void SetClock(const SystemTime& t)
{
    SetEnv("KX_SIM_CLOCK", FormatTime(t));
    BumpClockEpoch();
}

void SetSpoolFile(const std::string& hostPath)
{
    SetEnv("KX_SIM_SPOOL", hostPath);
}

}  // namespace sim

// ------------------------------------------------------------ last error

// The last error is the calling thread's, as on Windows, and it is one per
// process although the host and the plug-in module each link their own copy
// of this layer: a program that exports kx_sim_last_error_slot (every copy of
// the layer defines it; an executable built with exported symbols makes it
// visible, a module built with hidden symbols does not) hands all copies its
// slot for the calling thread. Without such a program each copy keeps its own.

namespace {

thread_local std::uint32_t tLastError = 0;

using LastErrorSlotFn = std::uint32_t* (*)();

std::uint32_t& LastErrorSlot()
{
    static const auto pfnHostSlot =
        reinterpret_cast<LastErrorSlotFn>(::dlsym(RTLD_DEFAULT, "kx_sim_last_error_slot"));
    return pfnHostSlot ? *pfnHostSlot() : tLastError;
}

}  // namespace

std::uint32_t GetLastError()
{
    return LastErrorSlot();
}
void SetLastError(std::uint32_t code)
{
    LastErrorSlot() = code;
}

// ------------------------------------------------------------ time

SystemTime GetLocalTime()
{
    if (std::optional<SystemTime> fixed = FixedNow()) return *fixed;
    auto now = std::chrono::system_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    time_t secs = static_cast<time_t>(ms / 1000);
    struct tm tm {};
    ::localtime_r(&secs, &tm);
    SystemTime t;
    t.wYear = static_cast<std::uint16_t>(tm.tm_year + 1900);
    t.wMonth = static_cast<std::uint16_t>(tm.tm_mon + 1);
    t.wDayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
    t.wDay = static_cast<std::uint16_t>(tm.tm_mday);
    t.wHour = static_cast<std::uint16_t>(tm.tm_hour);
    t.wMinute = static_cast<std::uint16_t>(tm.tm_min);
    t.wSecond = static_cast<std::uint16_t>(tm.tm_sec);
    t.wMilliseconds = static_cast<std::uint16_t>(ms % 1000);
    return t;
}

bool FileTimeToLocalTime(std::uint64_t fileTime, SystemTime* local)
{
    if (!local) return Fail(kErrInvalidParameter);
    // FILETIME is unsigned; Windows refuses values with the top bit set.
    if (fileTime >= 0x8000000000000000ULL) return Fail(kErrInvalidParameter);
    std::int64_t secs = static_cast<std::int64_t>(fileTime / 10000000) - 11644473600LL;
    time_t t = static_cast<time_t>(secs);
    struct tm tm {};
    if (!::localtime_r(&t, &tm)) return Fail(kErrInvalidParameter);
    SystemTime r;
    r.wYear = static_cast<std::uint16_t>(tm.tm_year + 1900);
    r.wMonth = static_cast<std::uint16_t>(tm.tm_mon + 1);
    r.wDayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
    r.wDay = static_cast<std::uint16_t>(tm.tm_mday);
    r.wHour = static_cast<std::uint16_t>(tm.tm_hour);
    r.wMinute = static_cast<std::uint16_t>(tm.tm_min);
    r.wSecond = static_cast<std::uint16_t>(tm.tm_sec);
    r.wMilliseconds = static_cast<std::uint16_t>(fileTime / 10000 % 1000);
    *local = r;
    return true;
}

void Sleep(std::uint32_t milliseconds)
{
    if (FixedNow()) {
        ClockState& c = Clock();
        std::lock_guard<std::mutex> lock(c.mutex);
        c.offsetMs += milliseconds;
        c.sleptMs += milliseconds;
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t GetTickCount64()
{
    struct timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000 +
                       static_cast<std::uint64_t>(ts.tv_nsec) / 1000000;
    ClockState& c = Clock();
    std::lock_guard<std::mutex> lock(c.mutex);
    return ms + c.sleptMs;
}

// ------------------------------------------------------------ identity

std::u16string GetUserName()
{
    return sim::Current().userName;
}
std::u16string GetComputerName()
{
    return sim::Current().computerName;
}
std::uint16_t GetNativeProcessorArchitecture()
{
    return 9;
}

// ------------------------------------------------------------ code pages

std::uint32_t GetACP()
{
    return kCp1252;
}
std::uint32_t GetOEMCP()
{
    return kCp437;
}

namespace {
std::uint32_t Resolve(std::uint32_t codePage)
{
    if (codePage == kCpAcp) return GetACP();
    if (codePage == kCpOemCp) return GetOEMCP();
    return codePage;
}
}  // namespace

std::u16string MultiByteToWide(std::uint32_t codePage, std::string_view text)
{
    std::uint32_t cp = Resolve(codePage);
    if (!KnownCodePage(cp)) {
        SetLastError(kErrInvalidParameter);
        return {};
    }
    return DecodeCodePage(cp, text);
}

std::string WideToMultiByte(std::uint32_t codePage, std::u16string_view text, bool* usedDefault)
{
    if (usedDefault) *usedDefault = false;
    std::uint32_t cp = Resolve(codePage);
    if (!KnownCodePage(cp)) {
        SetLastError(kErrInvalidParameter);
        return {};
    }
    return EncodeCodePage(cp, text, usedDefault);
}

// ------------------------------------------------------------ heap blocks

namespace backend {

namespace {
// A header in front of each block keeps its size; 16 bytes keep the block
// aligned for every fundamental type.
constexpr std::size_t kHeader = 16;

// The test hook that can make an allocation fail (sim::SetHeapFaultHook).
std::atomic<sim::HeapFaultHook> gHeapFaultHook{nullptr};

}  // namespace

void* RawAlloc(std::size_t size, bool zero)
{
    if (sim::HeapFaultHook hook = gHeapFaultHook.load(); hook && hook()) return nullptr;
    if (size > SIZE_MAX - kHeader) return nullptr;
    void* raw = zero ? std::calloc(1, size + kHeader) : std::malloc(size + kHeader);
    if (!raw) return nullptr;
    std::memcpy(raw, &size, sizeof(size));
    return static_cast<char*>(raw) + kHeader;
}

std::size_t RawFree(void* p)
{
    char* raw = static_cast<char*>(p) - kHeader;
    std::size_t size;
    std::memcpy(&size, raw, sizeof(size));
    std::free(raw);
    return size;
}

}  // namespace backend

void sim::SetHeapFaultHook(HeapFaultHook hook)
{
    backend::gHeapFaultHook.store(hook);
}

// ------------------------------------------------------------ engine calls

void* ResolveEngineCall(const char* name)
{
    if (!name) return nullptr;
    return ::dlsym(RTLD_DEFAULT, name);
}

}  // namespace kx::plat

// The slot of the calling thread in this copy of the layer (see GetLastError).
extern "C" __attribute__((visibility("default"))) std::uint32_t* kx_sim_last_error_slot()
{
    return &kx::plat::tLastError;
}
