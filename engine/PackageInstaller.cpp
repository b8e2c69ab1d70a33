#include "engine/PackageInstaller.h"

#include "config/InstallConfig.h"
#include "engine/MsiService.h"
#include "engine/ProgramTrust.h"
#include "engine/RunOutcome.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"

#include <windows.h>
#include <shlwapi.h>

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
        // installation fails; one that runs and fails does not stop it.
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
        RunSetupProgram(item);
        return true;
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
        LogLine(L"Setup program " + FileName(item.localPath) + L": exit code " + CodeText(exitCode));
        NoteRestartRequest(exitCode);
    } else {
        LogLine(L"Setup program " + FileName(item.localPath) + L": exit code unknown (error " +
                CodeText(GetLastError()) + L")");
    }
    return true;
}

void NoteRestartRequest(DWORD resultCode)
{
    if (resultCode == ERROR_SUCCESS_REBOOT_REQUIRED)
        NoteRebootRequired();
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
    return MsiService::IsInstallSuccess(RunMsiInstallation(state, item));
}
