// One opened registry key for the installer's few reads and writes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "config/Table.h"

// Opening never fails loudly: the key is created or opened for reading and
// writing, or else opened read-only, or else left without handles. An object
// without handles answers every query with nothing and every write with an
// error code. Destruction closes what the object holds.
class CRegistryKey
{
public:
    // An empty object, to be given a handle with Attach.
    CRegistryKey() = default;

    // Creates the key below root when it is missing (so that reading below a
    // missing key creates it wherever the process may write), or falls back
    // to read-only access.
    CRegistryKey(HKEY root, const std::wstring& path);

    ~CRegistryKey();

    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Takes ownership of a key the caller opened (read-only) as the read
    // handle. Whatever the object held before is closed first.
    void Attach(HKEY key);

    bool IsOpen() const { return m_hRead != nullptr; }
    bool CanWrite() const { return m_hWrite != nullptr; }
    HKEY ReadHandle() const { return m_hRead; }
    const std::wstring& Path() const { return m_path; }

    // The text of a REG_SZ or REG_EXPAND_SZ value (not expanded), up to its
    // first null character; nothing when the value is missing, unreadable or
    // of another type.
    std::optional<std::wstring> QueryString(const wchar_t* name) const;

    // A REG_DWORD value; false when it is missing or of another type or size.
    bool QueryDword(const wchar_t* name, DWORD& value) const;

    // Writes a REG_SZ value with its terminating null. ERROR_CANTWRITE (1013)
    // without a write handle; otherwise the registry's error code. Every
    // write goes to the run log with its key, value, data and failure.
    LONG SetString(const wchar_t* name, const std::wstring& text);

    // Writes a REG_DWORD value. ERROR_CANTWRITE (1013) without a write handle.
    LONG SetDword(const wchar_t* name, DWORD value);

    // Adds the name of every subkey to table, in enumeration order.
    // ERROR_SUCCESS when all were listed; otherwise the error that ended the
    // listing (the names listed so far stay in the table).
    LONG EnumSubkeys(Table<wchar_t, wchar_t*>& table) const;

private:
    void Close();

    HKEY m_hRead = nullptr;
    HKEY m_hWrite = nullptr;
    std::wstring m_path;
    const wchar_t* m_rootName = L"";   // "HKLM" and the like, for the run log
};
