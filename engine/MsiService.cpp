#include "engine/MsiService.h"

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

} // namespace

std::wstring InstallDirProperty(const std::wstring& folder)
{
    return QuotedProperty(L"INSTALLDIR", folder);
}

std::wstring TransformsProperty(const std::wstring& transformPath)
{
    return QuotedProperty(L"TRANSFORMS", transformPath);
}

UINT GetProductInfo(const std::wstring& productCode, const wchar_t* attribute,
                    std::wstring& value)
{
    value.clear();
    std::vector<wchar_t> buffer(kProductInfoChars, L'\0');
    // A value longer than the buffer is reported as ERROR_MORE_DATA with its
    // length; it is read again with that room rather than shown cut. The value
    // may change between the calls, hence the loop (bounded, for safety).
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD chars = static_cast<DWORD>(buffer.size());
        const UINT result =
            ::MsiGetProductInfoW(productCode.c_str(), attribute, buffer.data(), &chars);
        if (result == ERROR_SUCCESS) {
            if (chars > buffer.size() - 1)
                chars = static_cast<DWORD>(buffer.size() - 1);
            value.assign(buffer.data(), chars);
            return result;
        }
        if (result != ERROR_MORE_DATA)
            return result;
        buffer.assign(static_cast<size_t>(chars) + 1, L'\0');
    }
    return ERROR_MORE_DATA;
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

UINT InstallProduct(const std::wstring& packagePath, const std::wstring& commandLine)
{
    return ::MsiInstallProductW(packagePath.c_str(),
                                commandLine.empty() ? nullptr : commandLine.c_str());
}

} // namespace MsiService
