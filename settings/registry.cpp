#include "settings/registry.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/format.h"
#include "core/trace.h"
#include "core/regvalues.h"

namespace kx {

namespace {

bool IsServerName(std::u16string_view name)
{
    return name.size() >= 2 && name.substr(0, 2) == u"\\\\";
}

// A value whose size changes between the size query and the read is read
// again; after this many tries the read counts as failed.
constexpr int kReadTries = 3;

// The text of a NUL-terminated wide field (empty for null).
std::u16string_view View(const WCHAR* s, std::size_t cch = kRegKeyChars)
{
    return s ? std::u16string_view(s, Length(s, cch)) : std::u16string_view();
}

// Where a value was found.
enum class Store { None, User, PrinterData, Machine };

}  // namespace

std::u16string UserRegKey(std::u16string_view printerName)
{
    std::u16string key = reg::kRegKeyDriver;
    // "\\server\name" without its first backslash keeps one separator.
    if (IsServerName(printerName))
        key.append(printerName.substr(1));
    else {
        key.push_back(u'\\');
        key.append(printerName);
    }
    return key;
}

std::u16string MachineRegKey(std::u16string_view printerName)
{
    std::u16string key = reg::kHLMKeyPrinters;
    key.push_back(u'\\');
    if (IsServerName(printerName)) {
        for (char16_t c : printerName) key.push_back(c == u'\\' ? u',' : c);
    } else {
        key.append(printerName);
    }
    key.push_back(u'\\');
    key.append(reg::kPrinterDataKey);
    return key;
}

bool BuildRegistryKeys(const WCHAR* pszPrinterName, WCHAR* pszRegKey, WCHAR* pszHLMRegKey)
{
    std::u16string_view name = View(pszPrinterName);
    if (name.empty()) {
        if (pszRegKey) pszRegKey[0] = 0;
        if (pszHLMRegKey) pszHLMRegKey[0] = 0;
        return false;
    }
    bool fits = true;
    if (pszRegKey) fits &= Copy(pszRegKey, kRegKeyChars, UserRegKey(name)) == S_OK;
    if (pszHLMRegKey) fits &= Copy(pszHLMRegKey, kRegKeyChars, MachineRegKey(name)) == S_OK;
    Trace(u"UNI(Registry):  BuildRegistryKeys() szRegKey: %s, szHLMRegKey: %s \r\n",
          pszRegKey ? pszRegKey : u"", pszHLMRegKey ? pszHLMRegKey : u"");
    return fits;
}

DWORD ReadRegistryValue(plat::Hive hive, std::u16string_view key, std::u16string_view name,
                        std::vector<BYTE>* out)
{
    out->clear();
    DWORD rc = ERROR_MORE_DATA;
    for (int i = 0; i < kReadTries && rc == ERROR_MORE_DATA; ++i) {
        std::uint32_t cb = 0;
        rc = plat::RegGetValue(hive, key, name, nullptr, nullptr, &cb);
        if (rc != ERROR_SUCCESS) break;
        out->assign(cb, 0);
        if (cb == 0) break;
        rc = plat::RegGetValue(hive, key, name, nullptr, out->data(), &cb);
        if (rc == ERROR_SUCCESS) out->resize(std::min<std::size_t>(cb, out->size()));
    }
    if (rc != ERROR_SUCCESS) out->clear();
    return rc;
}

DWORD ReadPrinterDataValue(HANDLE hPrinter, std::u16string_view key, std::u16string_view name,
                           std::vector<BYTE>* out)
{
    out->clear();
    if (!IsValidHandle(hPrinter)) return ERROR_INVALID_HANDLE;
    DWORD rc = ERROR_MORE_DATA;
    for (int i = 0; i < kReadTries && rc == ERROR_MORE_DATA; ++i) {
        std::uint32_t needed = 0;
        rc = plat::GetPrinterDataEx(hPrinter, key, name, nullptr, nullptr, 0, &needed);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
        out->assign(needed, 0);
        if (needed == 0) {
            rc = ERROR_SUCCESS;
            break;
        }
        rc = plat::GetPrinterDataEx(hPrinter, key, name, nullptr, out->data(), needed, &needed);
        if (rc == ERROR_SUCCESS) out->resize(std::min<std::size_t>(needed, out->size()));
    }
    if (rc != ERROR_SUCCESS) out->clear();
    return rc;
}

std::vector<BYTE> GetRegistryBuffer_New(const OEM_PDEV* pdev, const WCHAR* pszValueName,
                                        HANDLE hPrinter, DWORD* pcbSize)
{
    if (pcbSize) *pcbSize = 0;
    std::vector<BYTE> buffer;
    if (!pszValueName || !pszValueName[0]) return buffer;
    const TreiberPfadDatei* pFiles = pdev && pdev->pOp ? pdev->pOp->pTreiberPfadDatei : nullptr;
    std::u16string_view regKey = pFiles ? View(pFiles->szRegKey) : std::u16string_view();
    std::u16string_view hlmKey = pFiles ? View(pFiles->szHLMRegKey) : std::u16string_view();

    // Ask each store for the size with a four-byte buffer: success or "more
    // data" means the store has the value.
    auto has = [](DWORD rc) {
        return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA || rc == ERROR_INSUFFICIENT_BUFFER;
    };
    BYTE probe[4];
    std::uint32_t cb = 0;
    Store store = Store::None;
    if (regKey.empty()) {
        Trace(u"UNI(Registry):  GetRegistryBuffer_New() kein szRegKey %s vorhanden \r\n",
              pszValueName);
    } else {
        cb = sizeof(probe);
        DWORD rc =
            plat::RegGetValue(plat::Hive::CurrentUser, regKey, pszValueName, nullptr, probe, &cb);
        if (has(rc))
            store = Store::User;
        else
            Trace(u"UNI(Registry):  GetRegistryBuffer_New() HKCU %s - %s: %u \r\n", regKey,
                  pszValueName, rc);
    }
    if (store == Store::None) {
        DWORD rc;
        if (IsValidHandle(hPrinter)) {
            rc = plat::GetPrinterData(hPrinter, pszValueName, nullptr, probe, sizeof(probe), &cb);
            if (has(rc)) store = Store::PrinterData;
        } else if (!hlmKey.empty()) {
            cb = sizeof(probe);
            rc = plat::RegGetValue(plat::Hive::LocalMachine, hlmKey, pszValueName, nullptr, probe,
                                   &cb);
            if (has(rc)) store = Store::Machine;
        } else {
            rc = ERROR_FILE_NOT_FOUND;
        }
        if (store == Store::None) {
            Trace(u"UNI(Registry):  GetRegistryBuffer_New() %s nicht vorhanden: %u \r\n",
                  pszValueName, rc);
            return buffer;
        }
    }

    DWORD rc;
    try {
        buffer.assign(cb, 0);
    } catch (const std::bad_alloc&) {
        Trace(u"ERROR UNI(Registry):  GetRegistryBuffer_New() kein Speicher fuer %s (%u) \r\n",
              pszValueName, cb);
        return {};
    }
    std::uint32_t got = cb;
    switch (store) {
        case Store::User:
            rc = plat::RegGetValue(plat::Hive::CurrentUser, regKey, pszValueName, nullptr,
                                   buffer.data(), &got);
            break;
        case Store::PrinterData:
            rc = plat::GetPrinterData(hPrinter, pszValueName, nullptr, buffer.data(), cb, &got);
            break;
        default:
            rc = plat::RegGetValue(plat::Hive::LocalMachine, hlmKey, pszValueName, nullptr,
                                   buffer.data(), &got);
            break;
    }
    if (rc != ERROR_SUCCESS || cb == 0) {
        Trace(
            u"ERROR UNI(Registry):  GetRegistryBuffer_New() ERROR szKey %s konnte nicht "
            u"gelesen werden: %u \r\n",
            pszValueName, rc);
        return {};
    }
    // A value that shrank since its size was asked keeps the zeros behind it.
    if (pcbSize) *pcbSize = cb;
    Trace(u"UNI(Registry):  GetRegistryBuffer_New() %s: %u Bytes (%s) \r\n", pszValueName, cb,
          store == Store::User ? u"HKCU" : u"HKLM");
    return buffer;
}

bool GetRegistryRecord(const OEM_PDEV* pdev, const WCHAR* pszValueName, HANDLE hPrinter,
                       void* pRecord, DWORD cbRecord)
{
    DWORD cb = 0;
    std::vector<BYTE> value = GetRegistryBuffer_New(pdev, pszValueName, hPrinter, &cb);
    if (value.empty() || !pRecord) return false;
    std::memcpy(pRecord, value.data(), std::min<std::size_t>(cbRecord, value.size()));
    return true;
}

bool ReadPrinterRecord(HANDLE hPrinter, const WCHAR* pszPrinterName, std::u16string_view valueName,
                       void* pRecord, DWORD cbRecord)
{
    if (!pRecord) return false;
    std::u16string_view name = View(pszPrinterName);
    std::vector<BYTE> value;
    DWORD rc = ERROR_FILE_NOT_FOUND;
    const char16_t* where = u"";
    try {
        if (!name.empty())
            rc = ReadRegistryValue(plat::Hive::CurrentUser, UserRegKey(name), valueName, &value);
        if (rc == ERROR_SUCCESS && !value.empty()) {
            where = u"HKCU";
        } else {
            if (rc != ERROR_SUCCESS)
                Trace(u"UNI(Registry):  ReadPrinterRecord() HKCU %s: %u \r\n", valueName, rc);
            if (IsValidHandle(hPrinter))
                rc = ReadPrinterDataValue(hPrinter, reg::kPrinterDataKey, valueName, &value);
            else if (!name.empty())
                rc = ReadRegistryValue(plat::Hive::LocalMachine, MachineRegKey(name), valueName,
                                       &value);
            else
                rc = ERROR_FILE_NOT_FOUND;
            where = u"HKLM";
        }
    } catch (const std::bad_alloc&) {
        Trace(u"ERROR UNI(Registry):  ReadPrinterRecord() kein Speicher fuer %s \r\n", valueName);
        return false;
    }
    if (rc != ERROR_SUCCESS || value.empty()) {
        Trace(u"UNI(Registry):  ReadPrinterRecord() %s nicht vorhanden: %u \r\n", valueName, rc);
        return false;
    }
    std::memcpy(pRecord, value.data(), std::min<std::size_t>(cbRecord, value.size()));
    Trace(u"UNI(Registry):  ReadPrinterRecord() %s: %u Bytes aus %s \r\n", valueName, value.size(),
          where);
    return true;
}

void ReadBarcodeSettings(HANDLE hPrinter, const WCHAR* pszPrinterName, BYTE* p1DBarcodes,
                         BYTE* p2DBarcodes)
{
    if (p1DBarcodes)
        ReadPrinterRecord(hPrinter, pszPrinterName, reg::kBarCodes1D, p1DBarcodes,
                          reg::kBarCodes1DSize);
    if (p2DBarcodes)
        ReadPrinterRecord(hPrinter, pszPrinterName, reg::kBarCodes2D, p2DBarcodes,
                          reg::kBarCodes2DSize);
}

}  // namespace kx
