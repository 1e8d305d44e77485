// The promises the platform layer makes on both backends: the same calls
// give the same results and error codes on the simulated Windows (checked by
// test_platform) and on the real system (platform_win32_test under Wine).
// Each check reports through the caller's Check; the calls work in
// HKCU\\Software\\KxPlatformTest and a folder below the temporary folder,
// and remove both.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace kxcontract {

using namespace kx::plat;
using CheckFn = bool (*)(bool ok, const char* what);

inline bool Fails(bool ok, std::uint32_t error)
{
    return !ok && GetLastError() == error;
}

inline void Registry(CheckFn Check)
{
    const std::u16string_view key = u"Software\\KxPlatformTest\\Label";
    Check(RegSetDword(Hive::CurrentUser, key, u"Count", 42) == 0, "registry: set a DWORD");
    std::uint32_t v = 0;
    Check(
        RegGetDword(Hive::CurrentUser, u"SOFTWARE\\kxplatformtest\\LABEL", u"count", &v) && v == 42,
        "registry: names compare without case");
    std::uint32_t type = 0, cb = 0;
    Check(RegGetValue(Hive::CurrentUser, key, u"Count", &type, nullptr, &cb) == 0 && cb == 4 &&
              type == kRegDword,
          "registry: null data asks for the size");
    char small[2];
    cb = sizeof(small);
    Check(RegGetValue(Hive::CurrentUser, key, u"Count", &type, small, &cb) == 234 && cb == 4,
          "registry: short buffer gives ERROR_MORE_DATA and the size");
    Check(RegGetValue(Hive::CurrentUser, key, u"Missing", &type, small, &cb) == 2,
          "registry: missing value");
    Check(RegDeleteValue(Hive::CurrentUser, key, u"Count") == 0 &&
              RegDeleteValue(Hive::CurrentUser, key, u"Count") == 2,
          "registry: delete a value once");
    Check(RegGetValue(Hive::LocalMachine, key, u"Count", &type, small, &cb) == 2,
          "registry: the machine's hive is another one");
    Check(RegDeleteValue(Hive::CurrentUser, u"Software\\KxPlatformTest\\None", u"x") == 2,
          "registry: delete in a missing key");
    Check(RegSetValue(Hive::CurrentUser, key, u"Big", kRegBinary, "12345678", 8) == 0 &&
              !RegGetDword(Hive::CurrentUser, key, u"Big", &v) && GetLastError() == 13 && v == 42,
          "registry: a DWORD reader refuses other sizes and leaves its output");
    Check(RegSetDword(Hive::CurrentUser, u"Software\\KxPlatformTest\\Label\\Sub", u"b", 2) == 0 &&
              RegSetDword(Hive::CurrentUser, u"Software\\KxPlatformTest\\Label2", u"c", 3) == 0 &&
              RegDeleteTree(Hive::CurrentUser, u"software\\kxplatformtest\\label") == 0 &&
              !RegGetDword(Hive::CurrentUser, u"Software\\KxPlatformTest\\Label\\Sub", u"b", &v) &&
              RegGetDword(Hive::CurrentUser, u"Software\\KxPlatformTest\\Label2", u"c", &v),
          "registry: a tree goes with its subkeys, a sibling of a like name stays");
    Check(RegDeleteTree(Hive::CurrentUser, u"Software\\KxPlatformTest") == 0 &&
              RegDeleteTree(Hive::CurrentUser, u"Software\\KxPlatformTest") == 2,
          "registry: delete a tree once");
    Check(RegDeleteTree(Hive::CurrentUser, u"") == 87, "registry: the hive itself is refused");
}

inline void Files(CheckFn Check)
{
    std::u16string dir = GetFolderPath(Folder::Temp) + u"\\KxPlatformTest";
    std::u16string a = dir + u"\\a.prn", b = dir + u"\\B.PRN", c = dir + u"\\c.log";
    DeleteFile(a);
    DeleteFile(b);
    DeleteFile(c);
    for (const char16_t* left : {u"\\d.prn", u"\\e.prn"}) DeleteFile(dir + left);
    RemoveDirectory(dir + u"\\sub2");
    RemoveDirectory(dir);
    Check(CreateDirectory(dir) && Fails(CreateDirectory(dir), 183), "files: directory once");
    Check(Fails(CreateDirectory(dir + u"\\x\\y"), 3), "files: one level at a time");

    Handle h = CreateFile(a, kGenericWrite, kShareRead, kCreateNew);
    std::uint32_t n = 0;
    Check(h != kInvalidHandle && WriteFile(h, "hello", 5, &n) && n == 5, "files: create and write");
    Check(CreateFile(a, kGenericWrite, 0, kOpenExisting) == kInvalidHandle && GetLastError() == 32,
          "files: a second writer is a sharing violation");
    Check(Fails(DeleteFile(a), 32), "files: an open file is not deleted");
    std::uint64_t size = 0, time = 0;
    SystemTime local;
    Check(GetFileSize(h, &size) && size == 5, "files: size");
    Check(GetFileTime(h, &time) && FileTimeToLocalTime(time, &local) && local.wYear >= 2020,
          "files: last-write time as local time");
    Check(CloseHandle(h) && Fails(CloseHandle(h), 6), "files: close once");

    Check(CreateFile(a, kGenericWrite, 0, kCreateNew) == kInvalidHandle && GetLastError() == 80,
          "files: CREATE_NEW on an existing file");
    Check(CreateFile(dir + u"\\none", kGenericRead, 0, kOpenExisting) == kInvalidHandle &&
              GetLastError() == 2,
          "files: OPEN_EXISTING without the file");
    Check(CreateFile(dir + u"\\no\\none", kGenericRead, 0, kOpenExisting) == kInvalidHandle &&
              GetLastError() == 3,
          "files: OPEN_EXISTING without the folder");
    h = CreateFile(a, kGenericWrite, 0, kOpenAlways);
    Check(h != kInvalidHandle && GetLastError() == 183,
          "files: OPEN_ALWAYS reports an existing file");
    CloseHandle(h);

    Check(CopyFile(a, b, true) && Fails(CopyFile(a, b, true), 80), "files: copy without overwrite");
    Check(Fails(MoveFile(a, b), 183), "files: move does not replace");
    Check(MoveFile(a, c), "files: move");

    std::vector<FindData> found;
    Check(FindFiles(dir + u"\\*.prn", &found) && found.size() == 1 && found[0].name == u"B.PRN" &&
              found[0].size == 5,
          "files: wildcards match without case");
    Check(FindFiles(dir + u"\\*", &found) && found.size() == 2, "files: no . and .. entries");
    Check(Fails(FindFiles(dir + u"\\*.jpg", &found), 2), "files: nothing found");
    Check(Fails(FindFiles(dir + u"\\nodir\\*", &found), 3), "files: folder missing");
    Check(IsDirectory(dir) && Fails(IsDirectory(c), 267) && PathFileExists(c),
          "files: directories and files");
    Check(Fails(RemoveDirectory(dir), 145), "files: a full folder stays");

    h = CreateFile(c, kGenericRead, kShareRead, kOpenExisting);
    char buf[8] = {};
    std::uint64_t pos = 0;
    Check(SetFilePointer(h, 1, kFileBegin, &pos) && pos == 1 && ReadFile(h, buf, 8, &n) && n == 4 &&
              std::string(buf) == "ello",
          "files: seek and read");
    Check(Fails(SetFilePointer(h, -5, kFileBegin, &pos), 131), "files: negative seek");
    Check(Fails(WriteFile(h, "x", 1, &n), 5), "files: no writing through a reading handle");
    CloseHandle(h);

    // Dispositions.
    const std::u16string d = dir + u"\\d.prn";
    Check(CreateFile(dir + u"\\no\\x", kGenericWrite, 0, kCreateAlways) == kInvalidHandle &&
              GetLastError() == 3,
          "files: CREATE_ALWAYS without the folder");
    h = CreateFile(d, kGenericWrite, 0, kCreateNew);
    Check(h != kInvalidHandle && GetLastError() == 0, "files: CREATE_NEW of a new file");
    WriteFile(h, "0123456789", 10, &n);
    CloseHandle(h);
    h = CreateFile(d, kGenericWrite, 0, kCreateAlways);
    Check(h != kInvalidHandle && GetLastError() == 183 && GetFileSize(h, &size) && size == 0,
          "files: CREATE_ALWAYS truncates an existing file");
    WriteFile(h, "abc", 3, &n);
    CloseHandle(h);
    h = CreateFile(d, kGenericWrite, 0, kTruncateExisting);
    Check(h != kInvalidHandle && GetFileSize(h, &size) && size == 0, "files: TRUNCATE_EXISTING");
    CloseHandle(h);
    Check(CreateFile(dir + u"\\gone", kGenericWrite, 0, kTruncateExisting) == kInvalidHandle &&
              GetLastError() == 2,
          "files: TRUNCATE_EXISTING without the file");
    h = CreateFile(dir + u"\\e.prn", kGenericWrite, 0, kOpenAlways);
    Check(h != kInvalidHandle && GetLastError() == 0, "files: OPEN_ALWAYS of a new file");
    CloseHandle(h);
    Check(CreateFile(dir, kGenericRead, kShareRead, kOpenExisting) == kInvalidHandle &&
              GetLastError() == 5,
          "files: a folder is not opened as a file");

    // Reading and writing, seeking past the end.
    h = CreateFile(d, kGenericRead | kGenericWrite, 0, kCreateAlways);
    WriteFile(h, "hello world", 11, &n);
    Check(SetFilePointer(h, -5, kFileEnd, &pos) && pos == 6 && ReadFile(h, buf, 8, &n) && n == 5 &&
              ReadFile(h, buf, 8, &n) && n == 0,
          "files: seek from the end; at the end a read succeeds with nothing");
    Check(SetFilePointer(h, 20, kFileBegin, nullptr) && WriteFile(h, "!", 1, &n) &&
              GetFileSize(h, &size) && size == 21,
          "files: a write past the end extends the file");
    CloseHandle(h);
    h = CreateFile(d, kGenericWrite, 0, kOpenExisting);
    Check(Fails(ReadFile(h, buf, 1, &n), 5), "files: no reading through a writing handle");
    CloseHandle(h);

    // Sharing between handles.
    h = CreateFile(d, kGenericWrite, kShareRead, kOpenExisting);
    Handle r = CreateFile(d, kGenericRead, kShareRead | kShareWrite, kOpenExisting);
    Check(r != kInvalidHandle, "files: a reader that lets the writer write");
    Check(CreateFile(d, kGenericRead, kShareRead, kOpenExisting) == kInvalidHandle &&
              GetLastError() == 32,
          "files: a reader that would stop the writer");
    Check(CreateFile(d, kGenericWrite, 0, kCreateAlways) == kInvalidHandle &&
              GetFileSize(h, &size) && size == 21,
          "files: an open file is not overwritten");
    Check(Fails(MoveFile(d, dir + u"\\m.prn"), 32) && Fails(CopyFile(b, d, false), 32),
          "files: an open file is neither moved nor copied onto");
    CloseHandle(h);
    CloseHandle(r);
    h = CreateFile(d, kGenericWrite, kShareRead | kShareDelete, kOpenExisting);
    Check(DeleteFile(d), "files: FILE_SHARE_DELETE lets an open file be deleted");
    CloseHandle(h);

    // Copying, moving and deleting.
    Check(CopyFile(b, c, false) && Fails(CopyFile(dir + u"\\none", d, false), 2) &&
              Fails(CopyFile(b, dir + u"\\no\\x", false), 3) && !CopyFile(b, b, false),
          "files: copy over, from nothing, into nothing, onto itself");
    Check(Fails(MoveFile(dir + u"\\none", d), 2) && CreateDirectory(dir + u"\\sub") &&
              MoveFile(dir + u"\\sub", dir + u"\\sub2") && Fails(DeleteFile(dir + u"\\sub2"), 5) &&
              RemoveDirectory(dir + u"\\sub2"),
          "files: move a folder; a folder is not deleted as a file");
    Check(Fails(DeleteFile(dir + u"\\none"), 2) && Fails(DeleteFile(dir + u"\\no\\x"), 3) &&
              Fails(RemoveDirectory(c), 267) && Fails(RemoveDirectory(dir + u"\\none"), 2),
          "files: delete what is not there");
    DeleteFile(dir + u"\\e.prn");
    Check(DeleteFile(c) && DeleteFile(b) && RemoveDirectory(dir), "files: clean up");
}

inline void CodePages(CheckFn Check)
{
    bool used = true;
    Check(MultiByteToWide(kCp1252, "\x80\x81") == u"\u20AC\u0081", "code pages: 1252 to UTF-16");
    Check(WideToMultiByte(kCp1252, u"\u20AC\u0081", &used) == "\x80\x81" && !used,
          "code pages: UTF-16 to 1252");
    Check(WideToMultiByte(kCp1252, u"a\u0100", &used) == "a?" && used,
          "code pages: no look-alikes, a default instead");
    Check(MultiByteToWide(kCp437, "\xc9\xb3") == u"\u2554\u2502", "code pages: 437 boxes");
    Check(WideToMultiByte(kCp437, u"\u2554\u20AC", &used) == "\xc9?" && used,
          "code pages: 437 lacks the euro");
    Check(MultiByteToWide(kCpSymbol, "\rA") == u"\r\uF041" &&
              WideToMultiByte(kCpSymbol, u"\uF041A", &used) == "AA" && !used,
          "code pages: symbol");
    Check(WideToMultiByte(kCpUtf8, u"G\u00F6\U0001F5A8", &used) == "G\xc3\xb6\xf0\x9f\x96\xa8" &&
              !used,
          "code pages: to UTF-8");
    std::u16string lone = u"x";
    lone.push_back(0xD800);
    Check(WideToMultiByte(kCpUtf8, lone) == "x\xef\xbf\xbd", "code pages: lone surrogate");
    Check(MultiByteToWide(kCpUtf8, "a\xff") == u"a\uFFFD", "code pages: invalid UTF-8");
    Check(MultiByteToWide(12345, "a").empty() && GetLastError() == 87,
          "code pages: unknown code page");

    Check(GetACP() == 1252 && GetOEMCP() == 437 &&
              MultiByteToWide(kCpAcp, "\x80\xe4") == MultiByteToWide(kCp1252, "\x80\xe4") &&
              MultiByteToWide(kCpOemCp, "\x80\xe4") == MultiByteToWide(kCp437, "\x80\xe4"),
          "code pages: ANSI 1252, OEM 437");
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    for (std::uint32_t cp : {kCp1252, kCp437, kCp850, kCpSymbol}) {
        const std::u16string wide = MultiByteToWide(cp, all);
        Check(wide.size() == 256 && WideToMultiByte(cp, wide, &used) == all && !used,
              ("code pages: every byte of " + std::to_string(cp) + " comes back").c_str());
    }
    Check(MultiByteToWide(kCp1252, "\x82\x9f\xe9\x8d\x90") == u"\u201A\u0178\u00E9\u008D\u0090",
          "code pages: 1252, its unassigned bytes as C1 controls");
    Check(WideToMultiByte(kCp1252, u"?", &used) == "?" && !used,
          "code pages: a real question mark is no default");
    Check(MultiByteToWide(kCp437, "\xcd\xbb\xdb\xe1\xe3\r\n\x7f") ==
                  u"\u2550\u2557\u2588\u00DF\u03C0\r\n\x7f" &&
              MultiByteToWide(kCp850, "\x9d\xd5") == u"\u00D8\u0131",
          "code pages: 437 and 850");
    Check(MultiByteToWide(kCpSymbol, "\xff ") == u"\uF0FF\uF020" &&
              WideToMultiByte(kCpSymbol, u"\u00B7\r", &used) == "\xb7\r" && !used &&
              WideToMultiByte(kCpSymbol, u"\u20AC", &used) == "?" && used,
          "code pages: symbol and the private use area");
    const std::pair<const char*, std::u16string> invalid[] = {
        {"a\xc3", u"a\uFFFD"},
        {"\xc3(", u"\uFFFD("},
        {"\xc0\xaf", u"\uFFFD\uFFFD"},
        {"\xe2\x82x", u"\uFFFDx"},
    };
    for (const auto& [bytes, wide] : invalid)
        Check(MultiByteToWide(kCpUtf8, bytes) == wide, "code pages: broken UTF-8, one U+FFFD each");
    std::u16string pair = u"x";
    pair.push_back(0xDC00);
    pair.push_back(0xD800);
    Check(WideToMultiByte(kCpUtf8, pair) == "x\xef\xbf\xbd\xef\xbf\xbd" &&
              WideToMultiByte(kCpUtf8, std::u16string(u"a\0b", 3)) == std::string("a\0b", 3),
          "code pages: lone surrogates; a NUL inside the text");
}

}  // namespace kxcontract
