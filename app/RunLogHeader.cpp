#include "app/RunLogHeader.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"

#include <windows.h>

#include <cstring>

namespace {

std::wstring DottedVersion(DWORD high, DWORD low)
{
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
           std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

std::wstring ModulePath()
{
    std::wstring path(32768, L'\0');
    const DWORD chars = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(chars < path.size() ? chars : 0);
    return path;
}

} // namespace

std::wstring ProgramVersionText()
{
    // The fixed part of the version resource follows its key, aligned to 32 bits; it is
    // found by its signature, which needs no version.dll.
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? ::LockResource(loaded) : nullptr);
    const DWORD size = found ? ::SizeofResource(nullptr, found) : 0;
    for (DWORD at = 0; bytes && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, bytes + at, sizeof info);
        if (info.dwSignature == 0xFEEF04BD)
            return DottedVersion(info.dwFileVersionMS, info.dwFileVersionLS);
    }
    return L"unknown";
}

std::wstring WindowsVersionText()
{
    struct OsVersion
    {
        ULONG size, major, minor, build, platform;
        WCHAR servicePack[128];
    } version = {sizeof(OsVersion), 0, 0, 0, 0, {}};
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    using GetVersionFn = LONG(WINAPI*)(OsVersion*);
    using WineVersionFn = const char*(CDECL*)();
    auto getVersion = reinterpret_cast<GetVersionFn>(
        reinterpret_cast<void*>(ntdll ? ::GetProcAddress(ntdll, "RtlGetVersion") : nullptr));
    if (!getVersion || getVersion(&version) != 0)
        return L"Windows (version unknown)";
    std::wstring text = L"Windows " + std::to_wstring(version.major) + L"." +
                        std::to_wstring(version.minor) + L"." + std::to_wstring(version.build);
    if (version.servicePack[0])
        text += std::wstring(L" ") + version.servicePack;
    if (auto wine = reinterpret_cast<WineVersionFn>(
            reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")))) {
        text += L" (Wine ";
        for (const char* c = wine(); c && *c; ++c)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        text += L")";
    }
    return text;
}

std::wstring ElevationText()
{
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return L"unknown";
    CHandle token(raw);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        return L"unknown";
    return elevation.TokenIsElevated ? L"elevated" : L"not elevated";
}

void WriteRunLogHeader(const std::wstring& optionsText)
{
    LogLine(L"Installer " + ProgramVersionText() + L" started: " + ModulePath());
    LogLine(L"Command line: " + std::wstring(::GetCommandLineW()));
    LogLine(L"Options: " + optionsText);
    LogLine(WindowsVersionText() + L", " + ElevationText() + L", user language " +
            std::to_wstring(::GetUserDefaultUILanguage()) + L", process " +
            std::to_wstring(::GetCurrentProcessId()));
    LogLine(L"Log file: " + RunLogPath());
}
