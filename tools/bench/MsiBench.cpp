// Package installation benchmark: the installer's own path (InstallMsiPackage
// with its progress handler) against `msiexec /i <package> /qn` with the same
// INSTALLDIR, and against a bare in-process MsiInstallProductW without UI or
// handler (which shows what the handler itself costs). Each installation
// starts with the product absent and is removed again (untimed) before the
// next one; the order of the three ways rotates from run to run.
//
//   MsiBench <package.msi> [runs]
//
// Prints one line per installation and a summary line with the medians and
// the ratios installer / msiexec and installer / bare.
#include "config/InstallConfig.h"
#include "config/ProductInfo.h"
#include "engine/MsiService.h"
#include "engine/PackageInstaller.h"
#include "framework/Handles.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double Now()
{
    static const LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

std::wstring ProductCodeOf(const std::wstring& package)
{
    CMsiHandle database;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.Receive()) != ERROR_SUCCESS)
        return std::wstring();
    CMsiHandle view;
    CMsiHandle record;
    if (MsiDatabaseOpenViewW(database.Get(),
                             L"SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'",
                             view.Receive()) != ERROR_SUCCESS ||
        MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS ||
        MsiViewFetch(view.Get(), record.Receive()) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t code[64] = {};
    DWORD chars = 64;
    if (MsiRecordGetStringW(record.Get(), 1, code, &chars) != ERROR_SUCCESS)
        return std::wstring();
    return code;
}

bool IsInstalled(const std::wstring& code)
{
    std::wstring version;
    return QueryProductInfo(code, INSTALLPROPERTY_VERSIONSTRING, version) ==
           ERROR_SUCCESS;
}

UINT Remove(const std::wstring& code)
{
    MsiSetExternalUIW(nullptr, 0, nullptr);
    MsiService::SetQuietInternalUi();
    return MsiConfigureProductW(code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
}

// The installer's path, as the install worker takes it for the main package.
double ThroughInstaller(const std::wstring& package, UINT& result)
{
    InstallerProgressState state;
    InstallItem item;
    item.name = L"package";
    item.localPath = package;
    const double start = Now();
    result = RunMsiInstallation(state, item);
    return Now() - start;
}

double ThroughMsiexec(const std::wstring& package, const std::wstring& folder, UINT& result)
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring exe = std::wstring(system) + L"\\msiexec.exe";
    std::wstring commandLine = L"\"" + exe + L"\" /i \"" + package + L"\" /qn " +
                               MsiService::InstallDirProperty(folder);
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        result = GetLastError();
        return 0.0;
    }
    CHandle process(started.hProcess);
    CHandle thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    const double seconds = Now() - start;
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    result = code;
    return seconds;
}

// The service alone: no UI of its own, no external handler.
double ThroughBareService(const std::wstring& package, const std::wstring& folder, UINT& result)
{
    MsiSetExternalUIW(nullptr, 0, nullptr);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const double start = Now();
    result = MsiService::InstallProduct(package, MsiService::InstallDirProperty(folder));
    return Now() - start;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: MsiBench <package.msi> [runs]\n");
        return 2;
    }
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
    const std::wstring package = full;
    const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    const std::wstring code = ProductCodeOf(package);
    if (code.empty()) {
        std::fwprintf(stderr, L"cannot read the product code of %ls\n", package.c_str());
        return 2;
    }
    if (IsInstalled(code))
        Remove(code);

    // The same existing INSTALLDIR for both ways.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"PelMsiBench Target";
    CreateDirectoryW(folder.c_str(), nullptr);
    TheInstallConfig().m_strInstallFolder = folder + L"\\";
    TheInstallConfig().m_uiStrings.m_nLanguageId = 1033;

    const wchar_t* const names[] = {L"installer", L"msiexec", L"bare"};
    std::vector<double> seconds[3];
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < 3; ++step) {
            const int way = (run + step) % 3;
            UINT result = 0;
            const double took = way == 0   ? ThroughInstaller(package, result)
                                : way == 1 ? ThroughMsiexec(package, folder, result)
                                           : ThroughBareService(package, folder, result);
            const bool installed = IsInstalled(code);
            std::wprintf(L"run=%d way=%ls seconds=%.3f result=%u installed=%d\n", run + 1,
                         names[way], took, result, installed ? 1 : 0);
            if (!MsiService::IsInstallSuccess(result) || !installed)
                return 1;
            seconds[way].push_back(took);
            const UINT removed = Remove(code);
            if (removed != ERROR_SUCCESS || IsInstalled(code)) {
                std::fwprintf(stderr, L"removal failed: %u\n", removed);
                return 1;
            }
        }
    }
    const double own = Median(seconds[0]);
    const double msiexec = Median(seconds[1]);
    const double bare = Median(seconds[2]);
    std::wprintf(L"summary runs=%d installer_median=%.3f msiexec_median=%.3f bare_median=%.3f "
                 L"ratio_msiexec=%.3f ratio_bare=%.3f\n",
                 runs, own, msiexec, bare, own / msiexec, own / bare);
    return 0;
}
