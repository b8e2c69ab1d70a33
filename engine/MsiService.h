// The Windows Installer calls the installer makes, with the arguments it
// passes and the way it reads their results, in one place: the UI levels and external handler around an installation, and
// the installation itself with its command-line properties.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

namespace MsiService {

// Message filter for the external UI handler: FATALEXIT, ERROR, WARNING, USER,
// INFO, RESOLVESOURCE, OUTOFDISKSPACE, ACTIONSTART, ACTIONDATA, PROGRESS,
// COMMONDATA, INITIALIZE, TERMINATE, SHOWDIALOG and INSTALLEND; not FILESINUSE.
constexpr DWORD kExternalUiFilter = 0x8007FDF;

// Properties for a package whose product is installed already: reinstall
// everything from the new package and never restart the machine.
constexpr const wchar_t kReinstallProperties[] =
    L"REINSTALL=ALL REINSTALLMODE=vomus REBOOT=ReallySuppress";

// INSTALLDIR="folder"; the caller passes the folder without a trailing backslash.
std::wstring InstallDirProperty(const std::wstring& folder);

// TRANSFORMS="path".
std::wstring TransformsProperty(const std::wstring& transformPath);

// No user interface of the service's own except the source-resolution dialog;
// set before each installation. The previous level is not kept.
void SetQuietInternalUi();

// The service's basic progress UI, without a window; set by the progress
// handler on the first message of an installation.
void SetBasicInternalUi();

// Registers the handler for kExternalUiFilter with its context; the service
// calls it on the installing thread, inside InstallProduct. The previous
// handler is not kept.
void SetExternalUiHandler(INSTALLUI_HANDLERW handler, void* context);

// The service's own log of an installation: every message kind with extra
// debugging information (the documented verbose set, "voicewarmupx" on the
// msiexec command line).
constexpr DWORD kVerboseLogMode =
    INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_OUTOFDISKSPACE | INSTALLLOGMODE_INFO | INSTALLLOGMODE_COMMONDATA |
    INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING | INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA |
    INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_USER | INSTALLLOGMODE_PROPERTYDUMP | INSTALLLOGMODE_EXTRADEBUG;

// Writes the service's verbose log of the installations that follow in this
// process to `path` (replaced), flushed after each line so that it is whole
// even when the process is ended from outside; the folder must exist.
// Returns the service's result.
UINT EnableVerboseLog(const std::wstring& path);

// No service log for the installations that follow.
void DisableLog();

// Installs a package; an empty command line is passed as none at all.
UINT InstallProduct(const std::wstring& packagePath, const std::wstring& commandLine);

// What a package file says it is: its ProductCode and ProductVersion properties.
struct PackageIdentity
{
    std::wstring productCode;
    std::wstring productVersion;
};

// Reads the identity from the package's Property table (the database opened read-only,
// nothing installed, no machine state looked at). Returns the service's result;
// ERROR_SUCCESS when the table was read, a property it lacks being left empty.
UINT ReadPackageIdentity(const std::wstring& packagePath, PackageIdentity& identity);

// ERROR_SUCCESS and ERROR_SUCCESS_REBOOT_REQUIRED (3010) are success.
inline bool IsInstallSuccess(UINT result)
{
    return result == ERROR_SUCCESS || result == ERROR_SUCCESS_REBOOT_REQUIRED;
}

} // namespace MsiService
