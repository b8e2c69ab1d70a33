#include "engine/PackageInstaller.h"

#include "config/InstallConfig.h"
#include "engine/MsiService.h"
#include "engine/Prerequisites.h"
#include "engine/ProgramTrust.h"
#include "engine/RunOutcome.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// How often a running setup program's exit code is looked at while the wait
// sleeps on its process handle.
constexpr DWORD kSetupWaitSliceMs = 200;

bool HasExtension(const std::wstring& path, const wchar_t* extension)
{
    return lstrcmpiW(PathFindExtensionW(path.c_str()), extension) == 0;
}

// Sleeps on the process until it ends (or its state can no longer be read).
// The end is taken from the signalled handle, never from the exit code: a
// program that ends with 259 reads exactly like one still running
// (STILL_ACTIVE) and would be waited for forever.
void WaitForProgram(HANDLE process)
{
    for (;;) {
        const DWORD wait = WaitForSingleObject(process, kSetupWaitSliceMs);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED)
            return;
        DWORD code = 0;
        if (!GetExitCodeProcess(process, &code))
            return;
    }
}

// A result or exit code as support looks it up: decimal, or hexadecimal for an HRESULT.
std::wstring CodeText(DWORD code)
{
    if (code < 0x80000000u)
        return std::to_wstring(code);
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", static_cast<unsigned>(code));
    return text;
}

std::wstring FileName(const std::wstring& path) { return PathFindFileNameW(path.c_str()); }

// The file name without folder and extension.
std::wstring FileStem(const std::wstring& path)
{
    std::wstring name = FileName(path);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// What a setup program's exit code says. Setup programs report success in
// several codes; any other code is logged, and what the program was to
// install decides whether the item failed.
const wchar_t* SetupExitMeaning(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return L"success";
    case ERROR_PRODUCT_VERSION:
        return L"success: another version is there already";
    case ERROR_SUCCESS_REBOOT_INITIATED:
        return L"success: restart started";
    case ERROR_SUCCESS_REBOOT_REQUIRED:
        return L"success: restart needed";
    default:
        return L"not a success code; what is installed afterwards decides";
    }
}

// The item as the run log names it when it fails.
std::wstring ItemTitle(const InstallItem& item)
{
    switch (item.kind) {
    case InstallItemKind::Prerequisite:
        return L"Prerequisite " + item.name;
    case InstallItemKind::LanguagePack:
        return L"Language pack " + std::to_wstring(item.langId) + L" (" + FileName(item.localPath) + L")";
    default:
        return L"Package " + FileName(item.localPath);
    }
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The version the main package should carry, and where that version comes from.
std::wstring ExpectedPackageVersion(const InstallItem& item, std::wstring& source)
{
    const ManifestInfo& manifest = TheInstallConfig().m_manifest;
    if (manifest.standalone) {
        source = L"the manifest's standalone_version";
        return manifest.standaloneVersion;
    }
    const bool patch = item.kind == InstallItemKind::PatchPackage;
    source = patch ? L"the version document's patch_install version" : L"the version document's fresh_install version";
    return patch ? manifest.patchInstall.productVersion : manifest.freshInstall.productVersion;
}

void WriteInstallFailure(UINT result)
{
    wchar_t line[96];
    wsprintfW(line, L"TRACE_DEBUG: MSI Installation failed. Error Code: %d\r\n",
              static_cast<int>(result));
    TraceLine(line);
}

} // namespace

bool InstallPackage(InstallerProgressState& state, const InstallItem& item)
{
    if (HasExtension(item.localPath, L".exe")) {
        // A program that nothing vouches for is not started, and the
        // installation fails, as it does when the program cannot be started
        // (the file is no program). One that runs is judged by what it
        // installed, not by its exit code.
        const CFileHandle held = HoldProgramFile(item.localPath);
        std::wstring reason;
        bool trusted = MayRunSetupProgram(item, reason);
        // A file that another program holds open for writing could change
        // between the check and the start.
        if (trusted && !held.IsValid() && GetFileAttributesW(item.localPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
            reason += L"; but it is open for writing elsewhere: not started";
            trusted = false;
        }
        TraceLine(L"TRACE_DEBUG: setup program " + reason + L"\r\n");
        if (!trusted)
            return false;
        if (!RunSetupProgram(item)) {
            LogLine(ItemTitle(item) + L": its setup program did not start; the installation fails");
            return false;
        }
        return IsSetupResultInstalled(item);
    }
    if (HasExtension(item.localPath, L".msi"))
        return InstallMsiPackage(state, item);
    LogLine(L"Nothing to run for " + item.localPath + L" (its package uses it)");
    return true;
}

std::wstring SetupCommandLine(const InstallItem& item)
{
    std::wstring commandLine = L"\"" + item.localPath + L"\"";
    if (!item.arguments.empty())
        commandLine += L" " + item.arguments;
    return commandLine;
}

bool RunSetupProgram(const InstallItem& item)
{
    // The path goes in as the application name and quoted on the command
    // line: a download folder with blanks must start this file and no other
    // (unquoted, "C:\Pel Files\x.exe" would first try "C:\Pel.exe").
    std::wstring commandLine = SetupCommandLine(item);
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    LogLine(L"Setup program: " + commandLine);
    if (!CreateProcessW(item.localPath.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        LogLine(L"Setup program not started: error " + CodeText(GetLastError()));
        return false;
    }
    CHandle process(started.hProcess);
    CHandle thread(started.hThread);
    WaitForProgram(process.Get());
    // A setup program that asks for a restart says so in its exit code; the run's outcome
    // then tells the caller of the installer to restart.
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.Get(), &exitCode)) {
        LogLine(L"Setup program " + FileName(item.localPath) + L": exit code " + CodeText(exitCode) + L" (" +
                SetupExitMeaning(exitCode) + L")");
        NoteRestartRequest(exitCode);
    } else {
        LogLine(L"Setup program " + FileName(item.localPath) + L": exit code unknown (error " +
                CodeText(GetLastError()) + L")");
    }
    return true;
}

void NoteRestartRequest(DWORD resultCode)
{
    if (resultCode == ERROR_SUCCESS_REBOOT_REQUIRED || resultCode == ERROR_SUCCESS_REBOOT_INITIATED)
        NoteRebootRequired();
}

bool IsSetupResultInstalled(const InstallItem& item)
{
    if (item.kind == InstallItemKind::Prerequisite) {
        const PrerequisiteState state = DetectPrerequisite(item.name);
        if (state == PrerequisiteState::Missing) {
            LogLine(ItemTitle(item) + L": still missing after its setup program ran; the installation fails");
            return false;
        }
        LogLine(ItemTitle(item) + (state == PrerequisiteState::Present
                                       ? L": found after its setup program ran"
                                       : L": no detector for it; counted as installed as its program ran"));
        return true;
    }
    if (item.kind == InstallItemKind::LanguagePack) {
        const std::vector<int> installed = TheInstallConfig().GetInstalledLanguagePacks();
        if (std::find(installed.begin(), installed.end(), item.langId) == installed.end()) {
            LogLine(ItemTitle(item) + L": not among the installed language packs after its setup program "
                                      L"ran; the installation fails");
            return false;
        }
        LogLine(ItemTitle(item) + L": installed");
    }
    return true;
}

bool IsExpectedPackage(const InstallItem& item)
{
    if (item.kind != InstallItemKind::FullPackage && item.kind != InstallItemKind::PatchPackage)
        return true;
    const std::wstring& productCode = TheInstallConfig().m_manifest.productCode;
    const std::wstring name = FileName(item.localPath);
    MsiService::PackageIdentity identity;
    const UINT read = MsiService::ReadPackageIdentity(item.localPath, identity);
    if (read != ERROR_SUCCESS) {
        LogLine(L"Windows Installer package " + name + L": its properties cannot be read (error " +
                CodeText(read) + L"); Windows Installer judges it");
        return true;
    }
    if (!productCode.empty() && !EqualIgnoringCase(identity.productCode, productCode)) {
        LogLine(L"Windows Installer package " + name + L": ProductCode " + identity.productCode +
                L" is not the manifest's product_code " + productCode +
                L": another product's package, refused like a failed download");
        return false;
    }
    std::wstring source;
    const std::wstring expected = ExpectedPackageVersion(item, source);
    LogLine(L"Windows Installer package " + name + L": ProductCode " + identity.productCode + L", ProductVersion " +
            identity.productVersion +
            (expected.empty()                     ? L"; " + source + L" is not given"
             : identity.productVersion == expected ? L", as " + source + L" says"
                                                   : L", but " + source + L" is " + expected +
                                                         L" (noted only; the package is installed)"));
    return true;
}

MsiCommandLineInputs MsiCommandLineInputsFromConfig()
{
    CInstallConfig& config = TheInstallConfig();
    MsiCommandLineInputs inputs;
    inputs.productInstalled = config.IsProductInstalled();
    inputs.installFolder = config.m_strInstallFolder;
    inputs.installFolderExists = PathFileExistsW(inputs.installFolder.c_str()) != FALSE;
    inputs.languageId = config.m_uiStrings.m_nLanguageId;
    inputs.transformPath = config.GetTransformPath(inputs.languageId);
    inputs.transformExists = IsExistingFile(inputs.transformPath);
    return inputs;
}

std::wstring ComposeMsiCommandLine(const MsiCommandLineInputs& inputs)
{
    std::wstring commandLine;
    if (inputs.productInstalled) {
        commandLine = MsiService::kReinstallProperties;
    } else if (inputs.installFolderExists) {
        std::vector<wchar_t> folder(inputs.installFolder.begin(), inputs.installFolder.end());
        folder.push_back(L'\0');
        PathRemoveBackslashW(folder.data());
        commandLine = MsiService::InstallDirProperty(folder.data());
    }
    // Windows fails the whole package (1624) for a transform file that is not
    // there; without its file the package installs in its own language.
    if (inputs.languageId != 1033 && inputs.transformExists) {
        if (!commandLine.empty())
            commandLine += L' ';
        commandLine += MsiService::TransformsProperty(inputs.transformPath);
    }
    return commandLine;
}

UINT RunMsiInstallation(InstallerProgressState& state, const InstallItem& item)
{
    state.ResetForPackage();
    MsiService::SetQuietInternalUi();
    MsiService::SetExternalUiHandler(InstallerUiHandler, &state);
    const std::wstring commandLine = ComposeMsiCommandLine(MsiCommandLineInputsFromConfig());
    LogLine(L"Windows Installer package " + item.localPath + L", properties: " +
            (commandLine.empty() ? std::wstring(L"none") : commandLine));
    // The service's own verbose log goes beside the run log, one file per package.
    const std::wstring serviceLog = RunLogCompanionPath(L"msi_" + FileStem(item.localPath));
    const UINT logging = serviceLog.empty() ? ERROR_NOT_READY : MsiService::EnableVerboseLog(serviceLog);
    if (!serviceLog.empty())
        LogLine(logging == ERROR_SUCCESS ? L"Windows Installer log: " + serviceLog
                                         : L"Windows Installer log not enabled (error " + CodeText(logging) +
                                               L"): " + serviceLog);
    const UINT result = MsiService::InstallProduct(item.localPath, commandLine);
    // The state is the handler's context only for this call: leaving it
    // registered would hand a later installation in this process a pointer
    // to a state that may be gone. The log file is this package's only.
    MsiService::SetExternalUiHandler(nullptr, nullptr);
    if (logging == ERROR_SUCCESS)
        MsiService::DisableLog();
    LogLine(L"Windows Installer package " + FileName(item.localPath) + L": result " + CodeText(result) + L", " +
            std::to_wstring(state.progressMessages) + L" progress messages");
    NoteRestartRequest(result);
    if (result != ERROR_SUCCESS)
        WriteInstallFailure(result);
    return result;
}

bool InstallMsiPackage(InstallerProgressState& state, const InstallItem& item)
{
    if (!IsExpectedPackage(item)) {
        state.failureKind = kFailureServerUnusable;
        return false;
    }
    return MsiService::IsInstallSuccess(RunMsiInstallation(state, item));
}
