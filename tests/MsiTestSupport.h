// The Windows Installer test package (tests/data/msi, built by wixl) and what
// tests read from it, shared by the tests that install it.
#pragma once

#include "WinTestSupport.h"
#include "framework/Handles.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

namespace testing_support {

inline std::wstring TestPackagePath() { return WinePath(PEL_TEST_MSI); }

// A value of the test package's Property table, read from the package file itself, so tests
// compare what the service reports with what the package holds. Empty when it cannot be read.
inline std::wstring PackageProperty(const wchar_t* name)
{
    CMsiHandle database;
    if (MsiOpenDatabaseW(TestPackagePath().c_str(), MSIDBOPEN_READONLY, database.Receive()) !=
        ERROR_SUCCESS)
        return std::wstring();
    const std::wstring query =
        std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property` = '") + name + L"'";
    CMsiHandle view;
    CMsiHandle record;
    if (MsiDatabaseOpenViewW(database.Get(), query.c_str(), view.Receive()) != ERROR_SUCCESS ||
        MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS ||
        MsiViewFetch(view.Get(), record.Receive()) != ERROR_SUCCESS)
        return std::wstring();
    std::vector<wchar_t> buffer(1024, L'\0');
    DWORD chars = static_cast<DWORD>(buffer.size());
    if (MsiRecordGetStringW(record.Get(), 1, buffer.data(), &chars) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(buffer.data(), chars);
}

} // namespace testing_support
