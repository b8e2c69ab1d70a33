#include "engine/MsiService.h"

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

} // namespace MsiService
