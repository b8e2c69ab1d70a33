#include "engine/MsiService.h"

#include "framework/Handles.h"

#include <msiquery.h>

#include <vector>

namespace MsiService {

namespace {

// A property value in double quotes. Inside quotes the service reads two
// double quotes as one, so a quote in the value cannot end it early and add
// properties of its own.
std::wstring QuotedProperty(const wchar_t* name, const std::wstring& value)
{
    std::wstring out = name;
    out += L"=\"";
    for (wchar_t c : value) {
        if (c == L'"')
            out += L'"';
        out += c;
    }
    out += L'"';
    return out;
}

// A string field of a record, read whole however long it is.
UINT RecordString(MSIHANDLE record, UINT field, std::wstring& value)
{
    std::vector<wchar_t> buffer(64, L'\0');
    DWORD chars = static_cast<DWORD>(buffer.size());
    UINT result = ::MsiRecordGetStringW(record, field, buffer.data(), &chars);
    if (result == ERROR_MORE_DATA) {
        buffer.assign(chars + 1, L'\0');
        chars = static_cast<DWORD>(buffer.size());
        result = ::MsiRecordGetStringW(record, field, buffer.data(), &chars);
    }
    if (result == ERROR_SUCCESS)
        value.assign(buffer.data(), chars);
    return result;
}

} // namespace

std::wstring InstallDirProperty(const std::wstring& folder)
{
    return QuotedProperty(L"INSTALLDIR", folder);
}

std::wstring TransformsProperty(const std::wstring& transformPath)
{
    return QuotedProperty(L"TRANSFORMS", transformPath);
}

void SetQuietInternalUi()
{
    ::MsiSetInternalUI(static_cast<INSTALLUILEVEL>(INSTALLUILEVEL_NONE |
                                                   INSTALLUILEVEL_SOURCERESONLY),
                       nullptr);
}

void SetBasicInternalUi() { ::MsiSetInternalUI(INSTALLUILEVEL_BASIC, nullptr); }

void SetExternalUiHandler(INSTALLUI_HANDLERW handler, void* context)
{
    ::MsiSetExternalUIW(handler, kExternalUiFilter, context);
}

UINT EnableVerboseLog(const std::wstring& path)
{
    return ::MsiEnableLogW(kVerboseLogMode, path.c_str(), INSTALLLOGATTRIBUTES_FLUSHEACHLINE);
}

void DisableLog() { ::MsiEnableLogW(0, nullptr, 0); }

UINT InstallProduct(const std::wstring& packagePath, const std::wstring& commandLine)
{
    return ::MsiInstallProductW(packagePath.c_str(),
                                commandLine.empty() ? nullptr : commandLine.c_str());
}

UINT ReadPackageIdentity(const std::wstring& packagePath, PackageIdentity& identity)
{
    identity = PackageIdentity();
    CMsiHandle database;
    UINT result = ::MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_READONLY, database.Receive());
    if (result != ERROR_SUCCESS)
        return result;
    CMsiHandle view;
    result = ::MsiDatabaseOpenViewW(database.Get(),
                                    L"SELECT `Property`, `Value` FROM `Property` WHERE "
                                    L"`Property` = 'ProductCode' OR `Property` = 'ProductVersion'",
                                    view.Receive());
    if (result == ERROR_SUCCESS)
        result = ::MsiViewExecute(view.Get(), 0);
    if (result != ERROR_SUCCESS)
        return result;
    CMsiHandle record;
    while ((result = ::MsiViewFetch(view.Get(), record.Receive())) == ERROR_SUCCESS) {
        std::wstring name;
        std::wstring value;
        result = RecordString(record.Get(), 1, name);
        if (result == ERROR_SUCCESS)
            result = RecordString(record.Get(), 2, value);
        if (result != ERROR_SUCCESS)
            return result;
        (name == L"ProductCode" ? identity.productCode : identity.productVersion) = value;
    }
    return result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result;
}

} // namespace MsiService
