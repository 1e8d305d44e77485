// Simulated backend: files and directories under the root folder, folders,
// the module name and version resources.
//
// Share modes are kept as open-file-description locks on bytes far beyond
// any real data, one byte per right or denial. Such locks conflict between
// any two open descriptions, also inside one process, so two handles of the
// plug-in module and the host see each other as two Windows handles would.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/sim_internal.h"

namespace kx::plat {

using namespace sim::detail;

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kFileReadData = 0x1;
constexpr std::uint32_t kFileWriteData = 0x2;
constexpr std::uint32_t kFileAppendData = 0x4;
constexpr std::size_t kMaxPath = 260;
constexpr std::size_t kMaxDirectoryPath = 248;  // room left for an 8.3 name
constexpr std::uint32_t kErrGenFailure = 31;

// ---- path mapping

struct WinPath {
    std::string base;                   // host folder of the drive or share
    std::vector<std::u16string> parts;  // names below it
    std::size_t windowsLength = 0;      // length of the full Windows form
    bool longForm = false;              // "\\?\" prefix: no length limit, names kept as given
    bool trailingSeparator = false;
};

WinPath ParseWinPath(std::u16string_view path)
{
    WinPath r;
    std::u16string p(path);
    for (char16_t& c : p)
        if (c == u'/') c = u'\\';
    if (p.rfind(u"\\\\?\\", 0) == 0 || p.rfind(u"\\\\.\\", 0) == 0) {
        r.longForm = true;
        p.erase(0, 4);
        if (p.size() >= 4 && EqualNoCase(p.substr(0, 4), u"UNC\\")) p = u"\\\\" + p.substr(4);
    }
    r.trailingSeparator = !p.empty() && p.back() == u'\\';
    std::string root = sim::Current().rootDir;
    std::u16string_view rest = p;
    std::size_t fixed = 0;
    std::size_t prefixLength;
    if (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\') {
        r.base = root + "/unc";
        rest = std::u16string_view(p).substr(2);
        fixed = 2;  // server and share stay
        prefixLength = 2;
    } else if (p.size() >= 2 && p[1] == u':' &&
               ((p[0] >= u'a' && p[0] <= u'z') || (p[0] >= u'A' && p[0] <= u'Z'))) {
        r.base = root + "/" + static_cast<char>(p[0] | 0x20);
        rest = std::u16string_view(p).substr(2);
        prefixLength = 3;
    } else {
        r.base = root + "/c";
        prefixLength = 3;
    }
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t end = rest.find(u'\\', i);
        if (end == std::u16string_view::npos) end = rest.size();
        std::u16string part(rest.substr(i, end - i));
        i = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (r.parts.size() > fixed) r.parts.pop_back();
            continue;
        }
        // Windows drops trailing dots and blanks of a name, but not of a
        // search pattern, where "*." means "names without an extension".
        if (!r.longForm && part.find_first_of(u"*?") == std::u16string::npos) {
            while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
            if (part.empty()) continue;
        }
        r.parts.push_back(std::move(part));
    }
    r.windowsLength = prefixLength;
    for (std::size_t k = 0; k < r.parts.size(); ++k)
        r.windowsLength += r.parts[k].size() + (k ? 1 : 0);
    return r;
}

std::string Join(const std::string& base, const std::vector<std::u16string>& parts,
                 std::size_t count)
{
    std::string r = base;
    for (std::size_t k = 0; k < count; ++k) {
        r += '/';
        r += ToUtf8(parts[k]);
    }
    return r;
}

// Gives a fresh root the folders of a Windows drive C, once.
void EnsureDrive(const std::string& base)
{
    std::error_code ec;
    if (fs::is_directory(base, ec)) return;
    std::string root = sim::Current().rootDir;
    if (base == root + "/c") {
        std::string user = ToUtf8(sim::Current().userName);
        for (const char* dir :
             {"/Windows/System32/spool/drivers/x64/3", "/Windows/Temp", "/ProgramData"})
            fs::create_directories(base + dir, ec);
        for (const char* dir : {"/Documents", "/AppData/Local", "/AppData/Roaming"})
            fs::create_directories(base + "/Users/" + user + dir, ec);
    }
    fs::create_directories(base, ec);
}

struct Resolved {
    std::string path;  // host path of the whole name
    std::string dir;   // host path of the folder that holds the last name
    std::u16string last;
    bool driveRoot = false;
    bool trailingSeparator = false;
};

bool ValidName(std::u16string_view name, bool wildcards)
{
    for (char16_t c : name) {
        if (c < 0x20) return false;
        switch (c) {
            case u'<':
            case u'>':
            case u':':
            case u'"':
            case u'|':
                return false;
            case u'*':
            case u'?':
                if (!wildcards) return false;
                break;
            default:
                break;
        }
    }
    return true;
}

// Maps a Windows path for a file function; false with the last error set
// when the path cannot name a file.
bool Resolve(std::u16string_view path, Resolved* out, bool wildcardsInLast = false,
             std::size_t maxLength = kMaxPath)
{
    if (path.empty()) return Fail(kErrPathNotFound);
    WinPath w = ParseWinPath(path);
    for (std::size_t k = 0; k < w.parts.size(); ++k) {
        bool last = k + 1 == w.parts.size();
        if (!ValidName(w.parts[k], wildcardsInLast && last)) return Fail(kErrInvalidName);
    }
    if (!w.longForm && w.windowsLength >= maxLength) return Fail(kErrFilenameExcedRange);
    std::size_t fixed = 0;
    if (w.base.size() >= 4 && w.base.compare(w.base.size() - 4, 4, "/unc") == 0) {
        if (w.parts.size() < 2) return Fail(kErrInvalidName);
        fixed = 2;
    }
    std::string driveBase = Join(w.base, w.parts, fixed);
    EnsureDrive(driveBase);
    out->path = Join(w.base, w.parts, w.parts.size());
    out->driveRoot = w.parts.size() == fixed;
    out->dir = out->driveRoot ? out->path : Join(w.base, w.parts, w.parts.size() - 1);
    out->last = out->driveRoot ? std::u16string() : w.parts.back();
    out->trailingSeparator = w.trailingSeparator;
    return true;
}

bool IsDir(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ERROR_FILE_NOT_FOUND when the folder exists, else ERROR_PATH_NOT_FOUND.
std::uint32_t NotFound(const Resolved& r)
{
    return IsDir(r.dir) ? kErrFileNotFound : kErrPathNotFound;
}

std::uint32_t FromErrno(int e, const Resolved& r)
{
    switch (e) {
        case ENOENT:
            return NotFound(r);
        case ENOTDIR:
            return kErrPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return kErrAccessDenied;
        case EEXIST:
            return kErrFileExists;
        case ENOSPC:
        case EDQUOT:
            return kErrDiskFull;
        case ENOTEMPTY:
            return kErrDirNotEmpty;
        case ENAMETOOLONG:
            return kErrFilenameExcedRange;
        case EBUSY:
        case ETXTBSY:
            return kErrSharingViolation;
        case EXDEV:
            return kErrNotSameDevice;
        default:
            return kErrGenFailure;
    }
}

std::uint64_t ToFileTime(const struct timespec& ts)
{
    return static_cast<std::uint64_t>(
        (static_cast<std::int64_t>(ts.tv_sec) + 11644473600LL) * 10000000LL + ts.tv_nsec / 100);
}

// With a fixed clock, what this layer writes carries the fixed time.
void Stamp(int fd)
{
    std::optional<SystemTime> now = FixedNow();
    if (!now) return;
    std::uint64_t ft = LocalTimeToFileTime(*now);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ft / 10000000) - 11644473600LL);
    times[1].tv_nsec = static_cast<long>(ft % 10000000 * 100);
    ::futimens(fd, times);
}

// ---- share modes

enum LockSlot { kHasRead, kHasWrite, kDeniesRead, kDeniesWrite, kDeniesDelete, kSlotCount };
constexpr off_t kLockBase = 0x7FFF000000000000LL;

bool Held(int fd, LockSlot slot)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + slot;
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

void Take(int fd, LockSlot slot)
{
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + slot;
    fl.l_len = 1;
    ::fcntl(fd, F_OFD_SETLK, &fl);
}

bool AnyHeld(int fd)
{
    for (int s = 0; s < kSlotCount; ++s)
        if (Held(fd, static_cast<LockSlot>(s))) return true;
    return false;
}

// Whether a file may be deleted or renamed: every handle to it must share
// deletion.
bool DeleteShared(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return true;
    bool denied = Held(fd, kDeniesDelete);
    ::close(fd);
    return !denied;
}

// ---- file handles

struct FileObj : SimObject {
    static constexpr std::uint32_t kMagic = 0x4B58464Cu;  // "KXFL"
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
};

HandlePool<FileObj>& Files()
{
    // Never destroyed: handles may still be used while the process exits.
    static auto* pool = new HandlePool<FileObj>;
    return *pool;
}

bool Match(std::u16string_view pattern, std::u16string_view name)
{
    std::size_t p = 0, n = 0, star = std::u16string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || FoldChar(pattern[p]) == FoldChar(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

bool CopyContents(int from, int to)
{
    char buf[65536];
    while (true) {
        ssize_t n = ::read(from, buf, sizeof(buf));
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        ssize_t done = 0;
        while (done < n) {
            ssize_t w = ::write(to, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += w;
        }
    }
}

}  // namespace

// ------------------------------------------------------------ paths

namespace sim {

std::string MapPath(std::u16string_view windowsPath)
{
    WinPath w = ParseWinPath(windowsPath);
    return Join(w.base, w.parts, w.parts.size());
}

}  // namespace sim

// ------------------------------------------------------------ file handles

Handle CreateFile(std::u16string_view path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition)
{
    if (disposition < kCreateNew || disposition > kTruncateExisting) {
        Fail(kErrInvalidParameter);
        return kInvalidHandle;
    }
    bool read = access & (kGenericRead | kGenericAll | kFileReadData);
    bool write = access & (kGenericWrite | kGenericAll | kFileWriteData | kFileAppendData);
    if (disposition == kTruncateExisting && !write) {
        Fail(kErrInvalidParameter);
        return kInvalidHandle;
    }
    Resolved r;
    if (!Resolve(path, &r)) return kInvalidHandle;
    if (r.trailingSeparator && !r.driveRoot) {
        Fail(IsDir(r.path) ? kErrAccessDenied : kErrInvalidName);
        return kInvalidHandle;
    }
    struct stat st;
    bool existed = ::stat(r.path.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) {
        Fail(disposition == kCreateNew ? kErrFileExists : kErrAccessDenied);
        return kInvalidHandle;
    }
    int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (disposition == kCreateNew) flags |= O_CREAT | O_EXCL;
    if (disposition == kCreateAlways || disposition == kOpenAlways) flags |= O_CREAT;
    int fd = ::open(r.path.c_str(), flags, 0644);
    if (fd < 0) {
        Fail(FromErrno(errno, r));
        return kInvalidHandle;
    }
    // As in Windows, a handle without data access neither checks nor records
    // sharing.
    bool shareRead = share & kShareRead, shareWrite = share & kShareWrite;
    if ((read || write) &&
        ((read && Held(fd, kDeniesRead)) || (write && Held(fd, kDeniesWrite)) ||
         (!shareRead && Held(fd, kHasRead)) || (!shareWrite && Held(fd, kHasWrite)))) {
        ::close(fd);
        Fail(kErrSharingViolation);
        return kInvalidHandle;
    }
    if (read || write) {
        if (read) Take(fd, kHasRead);
        if (write) Take(fd, kHasWrite);
        if (!shareRead) Take(fd, kDeniesRead);
        if (!shareWrite) Take(fd, kDeniesWrite);
        if (!(share & kShareDelete)) Take(fd, kDeniesDelete);
    }
    bool truncate = existed && (disposition == kCreateAlways || disposition == kTruncateExisting);
    if (truncate && ::truncate(r.path.c_str(), 0) != 0) {
        std::uint32_t rc = FromErrno(errno, r);
        ::close(fd);
        Fail(rc);
        return kInvalidHandle;
    }
    if (!existed || truncate) Stamp(fd);
    FileObj* f = Files().Get();
    f->fd = fd;
    f->canRead = read;
    f->canWrite = write;
    bool opened = existed && (disposition == kCreateAlways || disposition == kOpenAlways);
    SetLastError(opened ? kErrAlreadyExists : 0);
    return f;
}

bool ReadFile(Handle h, void* data, std::uint32_t cbData, std::uint32_t* cbRead)
{
    if (cbRead) *cbRead = 0;
    FileObj* f = FromHandle<FileObj>(h);
    if (!f) return Fail(kErrInvalidHandle);
    if (!f->canRead) return Fail(kErrAccessDenied);
    if (cbData && !data) return Fail(kErrInvalidParameter);
    std::uint32_t done = 0;
    while (done < cbData) {
        ssize_t n = ::read(f->fd, static_cast<char*>(data) + done, cbData - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (cbRead) *cbRead = done;
            return Fail(kErrGenFailure);
        }
        if (n == 0) break;
        done += static_cast<std::uint32_t>(n);
    }
    if (cbRead) *cbRead = done;
    return true;
}

bool WriteFile(Handle h, const void* data, std::uint32_t cbData, std::uint32_t* cbWritten)
{
    if (cbWritten) *cbWritten = 0;
    FileObj* f = FromHandle<FileObj>(h);
    if (!f) return Fail(kErrInvalidHandle);
    if (!f->canWrite) return Fail(kErrAccessDenied);
    if (cbData && !data) return Fail(kErrInvalidParameter);
    std::uint32_t done = 0;
    while (done < cbData) {
        ssize_t n = ::write(f->fd, static_cast<const char*>(data) + done, cbData - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (cbWritten) *cbWritten = done;
            return Fail(errno == ENOSPC || errno == EDQUOT ? kErrDiskFull : kErrGenFailure);
        }
        done += static_cast<std::uint32_t>(n);
    }
    if (done) Stamp(f->fd);
    if (cbWritten) *cbWritten = done;
    return true;
}

bool SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method,
                    std::uint64_t* newPosition)
{
    FileObj* f = FromHandle<FileObj>(h);
    if (!f) return Fail(kErrInvalidHandle);
    int whence;
    switch (method) {
        case kFileBegin:
            whence = SEEK_SET;
            break;
        case kFileCurrent:
            whence = SEEK_CUR;
            break;
        case kFileEnd:
            whence = SEEK_END;
            break;
        default:
            return Fail(kErrInvalidParameter);
    }
    off_t pos = ::lseek(f->fd, static_cast<off_t>(distance), whence);
    if (pos < 0) return Fail(errno == EINVAL ? kErrNegativeSeek : kErrInvalidParameter);
    if (newPosition) *newPosition = static_cast<std::uint64_t>(pos);
    return true;
}

bool GetFileSize(Handle h, std::uint64_t* size)
{
    FileObj* f = FromHandle<FileObj>(h);
    if (!f) return Fail(kErrInvalidHandle);
    if (!size) return Fail(kErrInvalidParameter);
    struct stat st;
    if (::fstat(f->fd, &st) != 0) return Fail(kErrGenFailure);
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool GetFileTime(Handle h, std::uint64_t* lastWriteTime)
{
    FileObj* f = FromHandle<FileObj>(h);
    if (!f) return Fail(kErrInvalidHandle);
    if (!lastWriteTime) return Fail(kErrInvalidParameter);
    struct stat st;
    if (::fstat(f->fd, &st) != 0) return Fail(kErrGenFailure);
    *lastWriteTime = ToFileTime(st.st_mtim);
    return true;
}

bool CloseHandle(Handle h)
{
    FileObj* f = FromHandle<FileObj>(h);
    if (!f) return Fail(kErrInvalidHandle);
    ::close(f->fd);
    Files().Put(f);
    return true;
}

// ------------------------------------------------------------ files and folders

bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists)
{
    Resolved src, dst;
    if (!Resolve(from, &src) || !Resolve(to, &dst)) return false;
    int in = ::open(src.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(FromErrno(errno, src));
    struct stat sst;
    ::fstat(in, &sst);
    auto fail = [&](std::uint32_t code, int out = -1) {
        ::close(in);
        if (out >= 0) ::close(out);
        return Fail(code);
    };
    if (S_ISDIR(sst.st_mode)) return fail(kErrAccessDenied);
    if (Held(in, kDeniesRead)) return fail(kErrSharingViolation);
    struct stat dst_st;
    if (::stat(dst.path.c_str(), &dst_st) == 0) {
        if (S_ISDIR(dst_st.st_mode)) return fail(kErrAccessDenied);
        if (failIfExists) return fail(kErrFileExists);
        if (dst_st.st_dev == sst.st_dev && dst_st.st_ino == sst.st_ino)
            return fail(kErrSharingViolation);
    }
    int out = ::open(dst.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (out < 0) return fail(FromErrno(errno, dst));
    if (AnyHeld(out)) return fail(kErrSharingViolation, out);
    if (::ftruncate(out, 0) != 0 || !CopyContents(in, out))
        return fail(errno == ENOSPC ? kErrDiskFull : kErrGenFailure, out);
    struct timespec times[2] = {sst.st_atim, sst.st_mtim};
    ::futimens(out, times);
    ::close(out);
    ::close(in);
    return true;
}

bool MoveFile(std::u16string_view from, std::u16string_view to)
{
    Resolved src, dst;
    if (!Resolve(from, &src) || !Resolve(to, &dst)) return false;
    if (src.driveRoot || dst.driveRoot) return Fail(kErrAccessDenied);
    struct stat st;
    if (::lstat(src.path.c_str(), &st) != 0) return Fail(FromErrno(errno, src));
    struct stat dst_st;
    if (::lstat(dst.path.c_str(), &dst_st) == 0) return Fail(kErrAlreadyExists);
    if (!IsDir(dst.dir)) return Fail(kErrPathNotFound);
    bool dir = S_ISDIR(st.st_mode);
    if (!dir && !DeleteShared(src.path)) return Fail(kErrSharingViolation);
    if (::rename(src.path.c_str(), dst.path.c_str()) == 0) return true;
    if (errno != EXDEV || dir)
        return Fail(errno == EINVAL ? kErrAccessDenied : FromErrno(errno, src));
    // Another file system (another drive folder mounted elsewhere): copy and
    // delete, as MoveFileW does across volumes.
    if (!CopyFile(from, to, true)) return false;
    if (::unlink(src.path.c_str()) != 0) return Fail(FromErrno(errno, src));
    return true;
}

bool DeleteFile(std::u16string_view path)
{
    Resolved r;
    if (!Resolve(path, &r)) return false;
    struct stat st;
    if (::lstat(r.path.c_str(), &st) != 0) return Fail(FromErrno(errno, r));
    if (S_ISDIR(st.st_mode)) return Fail(kErrAccessDenied);
    if (!DeleteShared(r.path)) return Fail(kErrSharingViolation);
    if (::unlink(r.path.c_str()) != 0) return Fail(FromErrno(errno, r));
    return true;
}

bool CreateDirectory(std::u16string_view path)
{
    Resolved r;
    if (!Resolve(path, &r, false, kMaxDirectoryPath)) return false;
    if (r.driveRoot) return Fail(kErrAlreadyExists);
    if (::mkdir(r.path.c_str(), 0755) == 0) return true;
    if (errno == EEXIST) return Fail(kErrAlreadyExists);
    if (errno == ENOENT || errno == ENOTDIR) return Fail(kErrPathNotFound);
    return Fail(FromErrno(errno, r));
}

bool RemoveDirectory(std::u16string_view path)
{
    Resolved r;
    if (!Resolve(path, &r)) return false;
    if (r.driveRoot) return Fail(kErrAccessDenied);
    struct stat st;
    if (::lstat(r.path.c_str(), &st) != 0) return Fail(FromErrno(errno, r));
    if (!S_ISDIR(st.st_mode)) return Fail(kErrDirectory);
    if (::rmdir(r.path.c_str()) == 0) return true;
    if (errno == EEXIST || errno == ENOTEMPTY) return Fail(kErrDirNotEmpty);
    return Fail(FromErrno(errno, r));
}

bool PathFileExists(std::u16string_view path)
{
    Resolved r;
    if (!Resolve(path, &r)) return false;
    struct stat st;
    if (::stat(r.path.c_str(), &st) != 0) return Fail(FromErrno(errno, r));
    if (r.trailingSeparator && !S_ISDIR(st.st_mode)) return Fail(kErrInvalidName);
    return true;
}

bool IsDirectory(std::u16string_view path)
{
    Resolved r;
    if (!Resolve(path, &r)) return false;
    struct stat st;
    if (::stat(r.path.c_str(), &st) != 0) return Fail(FromErrno(errno, r));
    if (!S_ISDIR(st.st_mode)) return Fail(kErrDirectory);
    return true;
}

bool FindFiles(std::u16string_view pattern, std::vector<FindData>* found)
{
    if (!found) return Fail(kErrInvalidParameter);
    found->clear();
    Resolved r;
    if (!Resolve(pattern, &r, true)) return false;
    if (r.driveRoot || r.trailingSeparator) return Fail(kErrFileNotFound);
    // "*.*" is everything; a pattern ending in "." asks for names without one.
    std::u16string match = r.last;
    bool noDot = false;
    if (match == u"*.*") {
        match = u"*";
    } else if (match.size() > 1 && match.back() == u'.') {
        while (!match.empty() && match.back() == u'.') match.pop_back();
        noDot = true;
    }
    DIR* d = ::opendir(r.dir.c_str());
    if (!d) return Fail(kErrPathNotFound);
    while (struct dirent* e = ::readdir(d)) {
        std::string hostName = e->d_name;
        if (hostName == "." || hostName == "..") continue;
        std::u16string name = FromUtf8(hostName);
        if (noDot && name.find(u'.') != std::u16string::npos) continue;
        if (!Match(match, name)) continue;
        struct stat st;
        if (::stat((r.dir + "/" + hostName).c_str(), &st) != 0) continue;
        FindData fd;
        fd.name = std::move(name);
        fd.isDirectory = S_ISDIR(st.st_mode);
        fd.size = fd.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
        fd.lastWriteTime = ToFileTime(st.st_mtim);
        found->push_back(std::move(fd));
    }
    ::closedir(d);
    if (found->empty()) return Fail(kErrFileNotFound);
    // The order NTFS lists a folder in: by the names in capitals.
    std::sort(found->begin(), found->end(),
              [](const FindData& a, const FindData& b) { return Fold(a.name) < Fold(b.name); });
    return true;
}

bool GetDiskFreeSpace(std::u16string_view path, std::uint64_t* freeBytes)
{
    if (!freeBytes) return Fail(kErrInvalidParameter);
    Resolved r;
    if (!Resolve(path.empty() ? u"C:\\" : path, &r)) return false;
    struct stat st;
    if (::stat(r.path.c_str(), &st) != 0) return Fail(kErrPathNotFound);
    if (!S_ISDIR(st.st_mode)) return Fail(kErrDirectory);
    if (std::optional<std::uint64_t> configured = sim::Current().freeBytes) {
        *freeBytes = *configured;
        return true;
    }
    struct statvfs vfs;
    if (::statvfs(r.path.c_str(), &vfs) != 0) return Fail(kErrGenFailure);
    *freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return true;
}

std::u16string GetFolderPath(Folder folder)
{
    std::u16string profile = u"C:\\Users\\" + sim::Current().userName;
    switch (folder) {
        case Folder::Windows:
            return u"C:\\Windows";
        case Folder::System:
            return u"C:\\Windows\\System32";
        case Folder::CommonAppData:
            return u"C:\\ProgramData";
        case Folder::LocalAppData:
            return profile + u"\\AppData\\Local";
        case Folder::AppData:
            return profile + u"\\AppData\\Roaming";
        case Folder::Personal:
            return profile + u"\\Documents";
        case Folder::Temp:
            return u"C:\\Windows\\Temp";
        case Folder::Profile:
            return profile;
    }
    SetLastError(kErrInvalidParameter);
    return {};
}

std::u16string GetModuleFileName()
{
    return u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KXDRVUNI-266.dll";
}

// ------------------------------------------------------------ versions

namespace {

std::u16string FileNameOf(std::u16string_view path)
{
    std::size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

std::u16string VersionText(const std::uint16_t (&v)[4])
{
    return FromUtf8(std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                    "." + std::to_string(v[3]));
}

void ParseVersionText(std::u16string_view text, std::uint16_t (&v)[4])
{
    int i = 0;
    v[0] = v[1] = v[2] = v[3] = 0;
    for (char16_t c : text) {
        if (c == u'.') {
            if (++i == 4) break;
        } else if (c >= u'0' && c <= u'9') {
            v[i] = static_cast<std::uint16_t>(v[i] * 10 + (c - u'0'));
        }
    }
}

}  // namespace

bool GetFileVersionInfo(std::u16string_view path, VersionInfo* info)
{
    if (!info) return Fail(kErrInvalidParameter);
    std::u16string name = FileNameOf(path);
    if (name.empty()) return Fail(kErrInvalidParameter);
    RegTree versions = VersionsFile().Read();
    const RegKey* key = versions.Find(name);
    if (!key) {
        // As Windows: a file named with its folder must exist first (error 2
        // or 3, set by the check); one without a version resource gives
        // ERROR_RESOURCE_TYPE_NOT_FOUND. A bare name stands for a system
        // module, which is always there.
        if (path.find_first_of(u"\\/:") != std::u16string_view::npos && !PathFileExists(path))
            return false;
        return Fail(kErrResourceTypeNotFound);
    }
    VersionInfo r;
    ParseVersionText(key->GetSz(u"FileVersion"), r.fileVersion);
    ParseVersionText(key->GetSz(u"ProductVersion"), r.productVersion);
    r.productName = key->GetSz(u"ProductName");
    r.fileDescription = key->GetSz(u"FileDescription");
    r.companyName = key->GetSz(u"CompanyName");
    r.fileVersionText = key->GetSz(u"FileVersionText");
    *info = std::move(r);
    return true;
}

namespace sim {

void SetFileVersion(std::u16string_view fileName, const VersionInfo& info)
{
    std::u16string name = FileNameOf(fileName);
    if (name.empty()) return;
    VersionsFile().Update([&](RegTree& versions) {
        RegKey& key = versions.Create(name);
        key.SetSz(u"FileVersion", VersionText(info.fileVersion));
        key.SetSz(u"ProductVersion", VersionText(info.productVersion));
        key.SetSz(u"ProductName", info.productName);
        key.SetSz(u"FileDescription", info.fileDescription);
        key.SetSz(u"CompanyName", info.companyName);
        key.SetSz(u"FileVersionText", info.fileVersionText);
        return true;
    });
}

}  // namespace sim

}  // namespace kx::plat
